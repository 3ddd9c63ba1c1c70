#!/usr/bin/env bash
# Writes the benchmarks' Chinese novel in GBK to the file named by $1: volume and chapter
# headings with Chinese numerals ("第十二章 风起"), paragraphs of 20 to 200 characters indented
# with two ideographic spaces, about 16 KB of GBK per chapter, 3,000 chapters in 10 volumes
# (about 50 MB). A fixed seed keeps it the same from run to run. CHAPTERS=n makes a shorter one
# (n x 16 KB) and SEED=s another of the same kind, for the library benchmark's many novels.
#
#   bench/gen_novel.sh OUT.txt
set -euo pipefail
out=${1:?usage: gen_novel.sh OUT.txt}
awk -v chapters="${CHAPTERS:-3000}" -v seed="${SEED:-7}" -v perVolume=300 -v chapterBytes=25000 'BEGIN {
  srand(seed)
  n = split("我们 今天 图书馆 看书 然后 回家 吃饭 这本 小说 讲的 是 一个 年轻人 在 北京 " \
            "工作 的 故事 春眠 不觉晓 处处 闻啼鸟 夜来 风雨声 花落 知多少 山河 江湖 " \
            "少年 剑客 明月 长风 城门 客栈 师父 弟子 天下 英雄 秋水 寒烟 古道 西风", w, " ")
  split("零 一 二 三 四 五 六 七 八 九", d, " ")
  split("风起 归来 夜雨 长歌 入京 别离 问剑 初雪 渡江 远行", t, " ")
  for (c = 1; c <= chapters; c++) {
    if ((c - 1) % perVolume == 0)
      print "第" cn(int((c - 1) / perVolume) + 1) "卷 " t[1 + int(rand() * 10)]
    print "第" cn(c) "章 " t[1 + int(rand() * 10)] t[1 + int(rand() * 10)]
    written = 0
    while (written < chapterBytes) {
      len = 10 + int(rand() * 90); line = "　　"
      for (i = 0; i < len; i++) {
        line = line w[1 + int(rand() * n)]
        if (rand() < 0.12) line = line "，"
      }
      line = line "。"
      print line
      written += length(line) + 1  # bytes in mawk: UTF-8 takes 3 per character
    }
  }
}
# Chinese numerals up to 9999: 一百零三, 一千二百一十, ...
function cn(x,   s, q, r) {
  if (x < 10) return d[x + 1]
  if (x < 20) return "十" (x % 10 ? d[x % 10 + 1] : "")
  if (x < 100) return d[int(x / 10) + 1] "十" (x % 10 ? d[x % 10 + 1] : "")
  if (x < 1000) {
    q = int(x / 100); r = x % 100
    s = d[q + 1] "百"
    if (r == 0) return s
    if (r < 10) return s "零" d[r + 1]
    return s (r < 20 ? "一" : "") cn(r)
  }
  q = int(x / 1000); r = x % 1000
  s = d[q + 1] "千"
  if (r == 0) return s
  if (r < 100) return s "零" (r >= 10 && r < 20 ? "一" : "") cn(r)
  return s cn(r)
}' | iconv -f UTF-8 -t GBK > "$out"
