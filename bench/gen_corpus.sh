#!/usr/bin/env bash
# Writes the conversion benchmark's corpus: 100 text files, about 80 MB in all, in the four
# encodings the converter meets (UTF-8, windows-1252, GBK, UTF-16LE with its mark), sizes from
# 200 KB to 4 MB. A fixed seed per file keeps the corpus the same from run to run.
#
#   bench/gen_corpus.sh <folder>
set -euo pipefail
dir=${1:?usage: gen_corpus.sh FOLDER}
mkdir -p "$dir"

source "$(dirname "$0")/prose.sh"

english="the of and to in a is that for it as was with be by on not he this are or his from at \
which but have an they you were her she there been one all we their would when if so no will \
river morning letter garden window quietly remember however between thought afternoon question"
french="le la les de des du et un une est dans pour pas que qui sur avec été élève café garçon \
à où père mère frère sœur théâtre forêt fenêtre déjà très après ça naïf Noël façade Grüße \
Straße über schön Mädchen “quoted” — €"
chinese="我们 今天 图书馆 看书 然后 回家 吃饭 这本 小说 讲的 是 一个 年轻人 在 北京 工作 的 \
故事 春眠 不觉晓 处处 闻啼鸟 夜来 风雨声 花落 知多少 ， 。 “ ” 中文 文字 编码"
mixed="$english $french 東京 大阪 日本語 한국어 Ελληνικά русский текст"

total=0
for i in $(seq 1 100); do
  if (( i == 1 )); then size=4194304; else size=$(( (220 + (i * 137) % 1200) * 1024 )); fi
  name=$(printf '%s/text%03d' "$dir" "$i")
  case $(( i % 4 )) in
    0) prose "$size" "$i" "$mixed" > "$name.utf8.txt"; f="$name.utf8.txt" ;;
    1) prose "$size" "$i" "$english $french" | iconv -f UTF-8 -t WINDOWS-1252 > "$name.cp1252.txt"
       f="$name.cp1252.txt" ;;
    2) prose "$size" "$i" "$chinese $english" | iconv -f UTF-8 -t GBK > "$name.gbk.txt"
       f="$name.gbk.txt" ;;
    3) { printf '\xff\xfe'; prose $(( size / 2 )) "$i" "$mixed" | iconv -f UTF-8 -t UTF-16LE; } \
         > "$name.utf16.txt"
       f="$name.utf16.txt" ;;
  esac
  total=$(( total + $(stat -c %s "$f") ))
done
echo "gen_corpus: 100 files, $total bytes in $dir" >&2
