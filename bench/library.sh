#!/usr/bin/env bash
# A library at once: times `quirebind-cli --each` on 40 generated texts of 0.5 to 3 MB (a third
# each English prose in UTF-8, French prose in windows-1252 and Chinese novels with chapters in
# GBK) beside zipping the 40 books it made, unpacked, one after another with `zip -q -6 -r`: the
# same deflate work without the reading and page writing. Also the peak memory against
# workers x (2 x the largest text + 32 MiB), and, with PEERS=1 and calibre installed,
# `ebook-convert` on 3 of the texts as a time per book beside ours on the same three. Medians
# of RUNS runs (default 3); the load average is printed beside the figures.
#
#   bench/library.sh [build-folder]      (default: build)
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-build}" && pwd)
cli="$build/bin/quirebind-cli"
runs=${RUNS:-3}
[[ -x "$cli" ]] || { echo "library.sh: $cli not built" >&2; exit 1; }
for tool in zip unzip iconv; do
  command -v "$tool" >/dev/null || { echo "library.sh: $tool is not installed" >&2; exit 1; }
done
[[ -x /usr/bin/time ]] || { echo "library.sh: /usr/bin/time is not installed" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/qb-library-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/texts"

source "$here/prose.sh"
english="the of and to in a is that for it as was with be by on not he this are or his from at \
which but have an they you were her she there been one all we their would when if so no will \
river morning letter garden window quietly remember however between thought afternoon question"
french="le la les de des du et un une est dans pour pas que qui sur avec été élève café garçon \
à où père mère frère sœur théâtre forêt fenêtre déjà très après ça naïf Noël façade"

for i in $(seq 1 40); do
  size=$(( (512 + (i * 389) % 2560) * 1024 ))  # 0.5 to 3 MB
  name=$(printf '%s/texts/book%02d' "$work" "$i")
  case $(( i % 3 )) in
    0) prose "$size" "$i" "$english" paragraphs > "$name.txt" ;;
    1) prose "$size" "$i" "$french $english" paragraphs | iconv -f UTF-8 -t WINDOWS-1252 > "$name.txt" ;;
    2) CHAPTERS=$(( size / 16384 )) SEED=$i bash "$here/gen_novel.sh" "$name.txt" ;;
  esac
done
files=("$work"/texts/*.txt)
texts_bytes=$(cat "${files[@]}" | wc -c)
largest=$(stat -c %s "${files[@]}" | sort -n | tail -1)
load_before=$(cut -d' ' -f1-3 /proc/loadavg)

# measure <command...>: one run; prints "<wall seconds> <peak KiB> <CPU seconds>".
measure() {
  /usr/bin/time -v -o "$work/time.out" "$@" >"$work/stdout" 2>"$work/stderr" || {
    echo "library.sh: failed: $*" >&2
    cat "$work/stdout" "$work/stderr" >&2
    return 1
  }
  awk -F': ' '
    /Elapsed \(wall clock\)/ { n = split($2, p, ":"); wall = (n == 3 ? p[1] * 3600 + p[2] * 60 + p[3] : p[1] * 60 + p[2]) }
    /Maximum resident set size/ { peak = $2 }
    /User time/ { cpu += $2 } /System time/ { cpu += $2 }
    END { printf "%.2f %d %.2f\n", wall, peak, cpu }' "$work/time.out"
}

# median <command...>: the median wall and CPU time of $runs runs and the highest peak memory.
median() {
  local t m c walls=() cpus=() peak=0
  for _ in $(seq 1 "$runs"); do
    rm -rf "$work/out" && mkdir -p "$work/out"
    read -r t m c < <(measure "$@") || true
    [[ -n ${t:-} ]] || { echo "library.sh: no figures for $*" >&2; exit 1; }
    walls+=("$t"); cpus+=("$c")
    if (( m > peak )); then peak=$m; fi
  done
  echo "$(printf '%s\n' "${walls[@]}" | sort -g | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }') \
$peak $(printf '%s\n' "${cpus[@]}" | sort -g | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }')"
}

workers=$(nproc)
declare -A secs mem cpu
read -r secs[each] mem[each] cpu[each] < <(median "$cli" --each -q -y -o "$work/out" "${files[@]}")
grep -q "^40 books made, 0 failed" "$work/stdout" || { echo "library.sh: not every book made" >&2; cat "$work/stdout" >&2; exit 1; }
read -r secs[each1] mem[each1] cpu[each1] < <(median "$cli" --each --jobs 1 -q -y -o "$work/out" \
                                              "${files[@]}")

# zip gets the very trees quirebind-cli packed, one book after another.
"$cli" --each -q -y -o "$work/books" "${files[@]}" >/dev/null
for book in "$work"/books/*.epub; do
  dir="$work/unpacked/$(basename "$book" .epub)"
  mkdir -p "$dir" && unzip -q "$book" -d "$dir"
done
zip_books() {
  for dir in "$work"/unpacked/*/; do
    (cd "$dir" && zip -q -6 -r "$work/out/$(basename "$dir").zip" mimetype META-INF OEBPS)
  done
}
export -f zip_books
export work
read -r secs[zip] mem[zip] cpu[zip] < <(median bash -c zip_books)
# The books are deflated by libdeflate, zip by its own deflate: the sizes say what either gave up.
book_bytes=$(cat "$work"/books/*.epub | wc -c)
zip_bytes=$(cat "$work"/out/*.zip | wc -c)

# calibre for scale, on three of the texts, each its own book, against ours on the same three.
peers=${PEERS:-0}
three=("${files[0]}" "${files[1]}" "${files[2]}")
if [[ $peers != 0 ]] && command -v ebook-convert >/dev/null; then
  calibre_three() { for f in "$@"; do ebook-convert "$f" "$work/out/$(basename "$f" .txt).epub" >/dev/null; done; }
  export -f calibre_three
  read -r secs[calibre] mem[calibre] cpu[calibre] < <(median bash -c 'calibre_three "$@"' _ "${three[@]}")
  read -r secs[three] mem[three] cpu[three] < <(median "$cli" --each --jobs 1 -q -y -o "$work/out" "${three[@]}")
fi

mem_limit=$(( workers * (2 * largest / 1024 + 32 * 1024) ))
mem1_limit=$(( 2 * largest / 1024 + 32 * 1024 ))
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
verdict() { if "$@"; then echo met; else echo MISSED; fi; }

echo "Run on $(date -u '+%Y-%m-%d %H:%M UTC'), $(uname -srm), $(nproc) cores; median of $runs runs."
echo "Texts: ${#files[@]}, $texts_bytes bytes (largest $largest)."
echo
# CPU time is the steadier figure on a machine that other work keeps busy.
echo "| run | wall time (s) | time / zip | CPU time (s) | CPU / zip | peak memory (MiB) |"
echo "|---|---:|---:|---:|---:|---:|"
echo "| quirebind-cli --each, $workers workers | ${secs[each]} | $(ratio "${secs[each]}" "${secs[zip]}") | ${cpu[each]} | $(ratio "${cpu[each]}" "${cpu[zip]}") | $(( mem[each] / 1024 )) |"
echo "| quirebind-cli --each --jobs 1 | ${secs[each1]} | $(ratio "${secs[each1]}" "${secs[zip]}") | ${cpu[each1]} | $(ratio "${cpu[each1]}" "${cpu[zip]}") | $(( mem[each1] / 1024 )) |"
echo "| zip -q -6 -r of the 40 unpacked books, one after another | ${secs[zip]} | 1.00 | ${cpu[zip]} | 1.00 | $(( mem[zip] / 1024 )) |"
if [[ -n ${secs[calibre]:-} ]]; then
  echo "| ebook-convert, 3 texts one after another | ${secs[calibre]} | | ${cpu[calibre]} | | $(( mem[calibre] / 1024 )) |"
  echo "| quirebind-cli --each --jobs 1, the same 3 | ${secs[three]} | | ${cpu[three]} | | $(( mem[three] / 1024 )) |"
fi
echo
echo "- --each on $workers workers at most 0.6 x zip's wall time: $(ratio "${secs[each]}" "${secs[zip]}"), \
$(verdict awk -v s="${secs[each]}" -v z="${secs[zip]}" 'BEGIN { exit !(s <= 0.6 * z) }')"
echo "- peak memory at most $workers x (2 x largest + 32 MiB) = $(( mem_limit / 1024 )) MiB: \
$(verdict test "${mem[each]}" -le "$mem_limit"); one worker within $(( mem1_limit / 1024 )) MiB: \
$(verdict test "${mem[each1]}" -le "$mem1_limit")"
echo "- the 40 books: $book_bytes bytes; zip's archives of them: $zip_bytes bytes \
($(ratio "$book_bytes" "$zip_bytes"))"
if [[ -n ${secs[calibre]:-} ]]; then
  echo "- ebook-convert per book / ours per book, same 3 texts: wall $(ratio "${secs[calibre]}" "${secs[three]}"), \
CPU $(ratio "${cpu[calibre]}" "${cpu[three]}")"
else
  echo "- ebook-convert: not run (PEERS=1 and calibre installed run it)"
fi
echo "- load average before: $load_before; at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
