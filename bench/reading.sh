#!/usr/bin/env bash
# Reading the text: times the bare quirebind-cli (paragraphs, chapters, language and conventions
# all detected, title and author from the file) against `--plain` (the window's book: each line
# one paragraph, nothing detected) on the 50 MB GBK novel of gen_novel.sh (chapters.sh's too),
# in the same run. Checks the targets (bare within 1.3 times --plain in CPU time; peak memory at most
# twice the file plus 32 MiB) and writes the table into bench/README.md.
#
#   bench/reading.sh [build-folder]      (default: build; RUNS=n runs each n times, best kept)
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-build}" && pwd)
cli="$build/bin/quirebind-cli"
runs=${RUNS:-3}
[[ -x "$cli" ]] || { echo "reading.sh: $cli not built" >&2; exit 1; }
for tool in iconv unzip; do
  command -v "$tool" >/dev/null || { echo "reading.sh: $tool is not installed" >&2; exit 1; }
done
[[ -x /usr/bin/time ]] || { echo "reading.sh: /usr/bin/time is not installed" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/qb-reading-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

# The novel, the same one for every benchmark that reads it.
"$here/gen_novel.sh" "$work/novel.txt"
size=$(stat -c %s "$work/novel.txt")
echo "reading.sh: novel of $size bytes in GBK" >&2

# measure <args...>: one run in $work/out; prints "<wall s> <CPU s> <peak KiB>".
measure() {
  rm -rf "$work/out"
  mkdir -p "$work/out"
  (cd "$work/out" && /usr/bin/time -v -o "$work/time.out" "$cli" -q -y "$@" "$work/novel.txt") \
    >/dev/null 2>"$work/stderr" || {
    echo "reading.sh: failed: $*" >&2
    cat "$work/stderr" >&2
    exit 1
  }
  awk -F': ' '
    /Elapsed \(wall clock\)/ { n = split($2, p, ":"); wall = 0; for (i = 1; i <= n; i++) wall = wall * 60 + p[i] }
    /User time/ { cpu += $2 } /System time/ { cpu += $2 }
    /Maximum resident set size/ { rss = $2 }
    END { printf "%.2f %.2f %d\n", wall, cpu, rss }' "$work/time.out"
}

# best <args...>: the fastest wall and CPU time of $runs runs and the highest peak memory.
best() {
  local t c m bt="" bc="" bm=0
  for _ in $(seq 1 "$runs"); do
    read -r t c m < <(measure "$@")
    if [[ -z $bt ]] || awk -v a="$t" -v b="$bt" 'BEGIN { exit !(a < b) }'; then bt=$t; fi
    if [[ -z $bc ]] || awk -v a="$c" -v b="$bc" 'BEGIN { exit !(a < b) }'; then bc=$c; fi
    if (( m > bm )); then bm=$m; fi
  done
  echo "$bt $bc $bm"
}

read -r plain_t plain_c plain_m < <(best --plain)
read -r bare_t bare_c bare_m < <(best)

# The bare book: every chapter and volume found, the language read from the text.
book="$work/out/novel.epub"
entries=$(unzip -p "$book" OEBPS/fb.ncx | grep -c '<navPoint')
expected=$((3000 + 10))
[[ $entries -eq $expected ]] || { echo "reading.sh: $entries contents entries, not $expected" >&2; exit 1; }
language=$(unzip -p "$book" OEBPS/fb.opf | grep -o '<dc:language>[^<]*' | cut -d'>' -f2)
[[ $language == zh-CN ]] || { echo "reading.sh: language $language, not zh-CN" >&2; exit 1; }

mem_limit=$(( 2 * size / 1024 + 32 * 1024 ))
ratio=$(awk -v a="$bare_t" -v b="$plain_t" 'BEGIN { printf "%.2f", a / b }')
cpu_ratio=$(awk -v a="$bare_c" -v b="$plain_c" 'BEGIN { printf "%.2f", a / b }')
verdict() { if "$@"; then echo met; else echo MISSED; fi; }
time_ok=$(verdict awk -v r="$cpu_ratio" 'BEGIN { exit !(r <= 1.3) }')
mem_ok=$(verdict test "$bare_m" -le "$mem_limit" -a "$plain_m" -le "$mem_limit")

machine="$(uname -srm), $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//'), \
$(nproc) cores"
report="Run on $(date -u '+%Y-%m-%d %H:%M UTC'), $machine; best of $runs runs.
Novel: $size bytes of GBK, 3,000 chapters in 10 volumes; the bare book has $entries contents
entries and the language $language.

| run | wall time (s) | CPU time (s) | peak memory (MiB) |
|---|---:|---:|---:|
| quirebind-cli --plain | $plain_t | $plain_c | $(( plain_m / 1024 )) |
| quirebind-cli (bare: everything detected) | $bare_t | $bare_c | $(( bare_m / 1024 )) |

- bare within 1.3 x --plain: CPU $cpu_ratio, wall $ratio: $time_ok
- peak memory at most 2 x the file + 32 MiB ($(( mem_limit / 1024 )) MiB): $mem_ok
- load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "$report"

readme="$here/README.md"
if [[ -f $readme ]] && grep -q '<!-- reading.sh:begin -->' "$readme"; then
  REPORT="$report" awk '
    /<!-- reading.sh:begin -->/ { print; print ENVIRON["REPORT"]; skip = 1; next }
    /<!-- reading.sh:end -->/ { skip = 0 }
    !skip { print }' "$readme" > "$work/README.md"
  cp "$work/README.md" "$readme"
  echo "reading.sh: figures written to $readme" >&2
fi
[[ $time_ok == met && $mem_ok == met ]]
