#!/usr/bin/env bash
# Chapter headings: times quirebind-cli on one generated 50 MB GBK novel of 3,000 chapters
# (ten volumes of 300), with `--chapters auto` and without, in the same run. Prints wall time,
# CPU time and peak memory (/usr/bin/time -v) of both, checks that the book has an entry for
# every chapter and volume, checks the targets (auto within 1.5 times the run without chapters;
# peak memory at most twice the file plus 32 MiB) and writes the table into bench/README.md.
#
#   bench/chapters.sh [build-folder]      (default: build; RUNS=n runs each n times, best kept)
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-build}" && pwd)
cli="$build/bin/quirebind-cli"
runs=${RUNS:-3}
[[ -x "$cli" ]] || { echo "chapters.sh: $cli not built" >&2; exit 1; }
for tool in iconv unzip; do
  command -v "$tool" >/dev/null || { echo "chapters.sh: $tool is not installed" >&2; exit 1; }
done
[[ -x /usr/bin/time ]] || { echo "chapters.sh: /usr/bin/time is not installed" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/qb-chapters-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

# The novel, the same one for every benchmark that reads it.
"$here/gen_novel.sh" "$work/novel.txt"
size=$(stat -c %s "$work/novel.txt")
echo "chapters.sh: novel of $size bytes in GBK" >&2

# measure <label> <args...>: one run; prints "<wall s> <CPU s> <peak KiB>".
measure() {
  rm -rf "$work/out"
  /usr/bin/time -v -o "$work/time.out" "$cli" -q -y -t Bench -a Bench -o "$work/out" "$@" \
    "$work/novel.txt" >/dev/null 2>"$work/stderr" || {
    echo "chapters.sh: failed: $*" >&2
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

read -r off_t off_c off_m < <(best)
read -r auto_t auto_c auto_m < <(best --chapters auto)

# The book of the last run: one entry per chapter and volume, nested, under the size cap.
entries=$(unzip -p "$work/out/Bench.epub" OEBPS/fb.ncx | grep -c '<navPoint')
pages=$(unzip -Z1 "$work/out/Bench.epub" | grep -c '\.html$')
largest_page=$(unzip -Zl "$work/out/Bench.epub" | awk '/\.html$/ { if ($4 > m) m = $4 } END { print m }')
expected=$((3000 + 10))
[[ $entries -eq $expected ]] || { echo "chapters.sh: $entries contents entries, not $expected" >&2; exit 1; }

mem_limit=$(( 2 * size / 1024 + 32 * 1024 ))
ratio=$(awk -v a="$auto_t" -v b="$off_t" 'BEGIN { printf "%.2f", a / b }')
cpu_ratio=$(awk -v a="$auto_c" -v b="$off_c" 'BEGIN { printf "%.2f", a / b }')
verdict() { if "$@"; then echo met; else echo MISSED; fi; }
time_ok=$(verdict awk -v r="$cpu_ratio" 'BEGIN { exit !(r <= 1.5) }')
mem_ok=$(verdict test "$auto_m" -le "$mem_limit" -a "$off_m" -le "$mem_limit")

machine="$(uname -srm), $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//'), \
$(nproc) cores"
report="Run on $(date -u '+%Y-%m-%d %H:%M UTC'), $machine; best of $runs runs.
Novel: $size bytes of GBK, 3,000 chapters in 10 volumes; with chapters the book has $pages page
files (largest $largest_page bytes) and $entries contents entries.

| run | wall time (s) | CPU time (s) | peak memory (MiB) |
|---|---:|---:|---:|
| quirebind-cli, no chapters | $off_t | $off_c | $(( off_m / 1024 )) |
| quirebind-cli --chapters auto | $auto_t | $auto_c | $(( auto_m / 1024 )) |

- auto within 1.5 x the run without chapters: CPU $cpu_ratio, wall $ratio: $time_ok
- peak memory at most 2 x the file + 32 MiB ($(( mem_limit / 1024 )) MiB): $mem_ok
- load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "$report"

readme="$here/README.md"
if [[ -f $readme ]] && grep -q '<!-- chapters.sh:begin -->' "$readme"; then
  REPORT="$report" awk '
    /<!-- chapters.sh:begin -->/ { print; print ENVIRON["REPORT"]; skip = 1; next }
    /<!-- chapters.sh:end -->/ { skip = 0 }
    !skip { print }' "$readme" > "$work/README.md"
  cp "$work/README.md" "$readme"
  echo "chapters.sh: figures written to $readme" >&2
fi
