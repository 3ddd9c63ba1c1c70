#!/usr/bin/env bash
# Conversion speed: times quirebind-cli, packing on one worker and on one per processor, on a
# generated corpus (100 text files, about 80 MB, in UTF-8, windows-1252, GBK and UTF-16LE)
# beside `zip -q -6 -r` of the very book it made, unpacked, and beside calibre's ebook-convert
# and pandoc on the same text joined into one UTF-8 file when they are installed. Prints wall
# time, peak memory and the ratio to zip, checks the targets, and writes the table into
# bench/README.md.
#
#   bench/run.sh [build-folder]      (default: build; RUNS=n runs each tool n times, best kept;
#                                     PEERS=0 leaves out ebook-convert and pandoc)
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-build}" && pwd)
cli="$build/bin/quirebind-cli"
runs=${RUNS:-3}
[[ -x "$cli" ]] || { echo "run.sh: $cli not built" >&2; exit 1; }
for tool in zip unzip iconv; do
  command -v "$tool" >/dev/null || { echo "run.sh: $tool is not installed" >&2; exit 1; }
done
[[ -x /usr/bin/time ]] || { echo "run.sh: /usr/bin/time is not installed" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/qb-run-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

bash "$here/gen_corpus.sh" "$work/corpus"
# Other work on the machine slows every tool; the load says how much to trust the figures.
load_before=$(cut -d' ' -f1-3 /proc/loadavg)
files=("$work"/corpus/*.txt)
corpus_bytes=$(cat "${files[@]}" | wc -c)
largest=$(stat -c %s "${files[@]}" | sort -n | tail -1)

# The same text for the single-file converters: every file decoded to UTF-8, in order.
for f in "${files[@]}"; do
  case $f in
    *.cp1252.txt) iconv -f WINDOWS-1252 -t UTF-8 "$f" ;;
    *.gbk.txt) iconv -f GBK -t UTF-8 "$f" ;;
    *.utf16.txt) iconv -f UTF-16 -t UTF-8 "$f" ;;
    *) cat "$f" ;;
  esac
  echo
done > "$work/all.txt"

# measure <command...>: one run; prints "<wall seconds> <peak KiB> <CPU seconds>".
measure() {
  /usr/bin/time -f '%e %M %U %S' -o "$work/time.out" "$@" >/dev/null 2>"$work/stderr" || {
    echo "run.sh: failed: $*" >&2
    cat "$work/stderr" >&2
    return 1
  }
  tail -1 "$work/time.out" | awk '{ printf "%s %s %.2f\n", $1, $2, $3 + $4 }'
}

# best <command...>: the fastest wall and CPU time of $runs runs and the highest peak memory
# among them. CPU time is the steadier figure on a machine that is busy with other work.
best() {
  local t m c best_t="" best_m=0 best_c=""
  for _ in $(seq 1 "$runs"); do
    rm -rf "$work/out"
    mkdir -p "$work/out"
    read -r t m c < <(measure "$@") || true
    [[ -n ${t:-} ]] || { echo "run.sh: no figures for $*" >&2; exit 1; }
    if [[ -z $best_t ]] || awk -v a="$t" -v b="$best_t" 'BEGIN { exit !(a < b) }'; then
      best_t=$t
    fi
    if [[ -z $best_c ]] || awk -v a="$c" -v b="$best_c" 'BEGIN { exit !(a < b) }'; then
      best_c=$c
    fi
    if (( m > best_m )); then best_m=$m; fi
  done
  echo "$best_t $best_m $best_c"
}

workers=$(nproc)
declare -A secs mem cpu
read -r secs[cli1] mem[cli1] cpu[cli1] < <(best "$cli" --jobs 1 -q -y -t Bench -a Bench -o "$work/out" \
                                           "${files[@]}")
read -r secs[cli] mem[cli] cpu[cli] < <(best "$cli" --jobs "$workers" -q -y -t Bench -a Bench \
                                        -o "$work/out" "${files[@]}")

# zip gets the very tree quirebind-cli packed: mimetype, META-INF/ and OEBPS/.
"$cli" -q -y -t Bench -a Bench -o "$work/book" "${files[@]}" >/dev/null
mkdir -p "$work/unpacked"
unzip -q "$work/book/Bench.epub" -d "$work/unpacked"
unpacked_bytes=$(du -sb "$work/unpacked" | cut -f1)
zip_book() { cd "$work/unpacked" && zip -q -6 -r "$work/out/book.zip" mimetype META-INF OEBPS; }
export -f zip_book
export work
read -r secs[zip] mem[zip] cpu[zip] < <(best bash -c zip_book)
# The packer alone on the same tree, on one worker: what is left of the run's time is the
# decoding and page writing, which no number of workers shortens.
packer="$build/bin/qb_pack_folder"
if [[ -x $packer ]]; then
  read -r secs[pack] mem[pack] cpu[pack] < <(best "$packer" --jobs 1 "$work/out/book.epub" \
                                             "$work/unpacked")
fi

# PEERS=0 leaves the peers out: pandoc alone takes minutes and gigabytes on this corpus.
peers=${PEERS:-1}
if [[ $peers != 0 ]] && command -v ebook-convert >/dev/null; then
  read -r secs[calibre] mem[calibre] cpu[calibre] < <(best ebook-convert "$work/all.txt" "$work/out/all.epub")
fi
if [[ $peers != 0 ]] && command -v pandoc >/dev/null; then
  read -r secs[pandoc] mem[pandoc] cpu[pandoc] < <(best pandoc -f commonmark -t epub2 -o "$work/out/all.epub" \
                                              "$work/all.txt")
fi

declare -A label=([cli1]="quirebind-cli, ${#files[@]} files, 1 worker"
                  [cli]="quirebind-cli, ${#files[@]} files, $workers workers"
                  [zip]="zip -q -6 -r of its unpacked book"
                  [pack]="its packer alone, 1 worker, same tree"
                  [calibre]="ebook-convert, joined text" [pandoc]="pandoc, joined text")
table="| tool | wall time (s) | time / zip | CPU time (s) | CPU / zip | peak memory (MiB) |
|---|---:|---:|---:|---:|---:|"
for p in cli1 cli zip pack calibre pandoc; do
  if [[ -n ${secs[$p]:-} ]]; then
    row=$(awk -v s="${secs[$p]}" -v m="${mem[$p]}" -v z="${secs[zip]}" -v c="${cpu[$p]}" \
              -v zc="${cpu[zip]}" \
              'BEGIN { printf "%.2f | %.2f | %.2f | %.2f | %.1f", s, s / z, c, c / zc, m / 1024 }')
  else
    row="not run | | | | "
  fi
  table+=$'\n'"| ${label[$p]} | $row |"
done

# With every worker the whole run should take at most 0.6 of zip's time; with one, no more than
# the 1.3 it was allowed before the work was shared out.
time_limit=$(awk -v z="${secs[zip]}" 'BEGIN { printf "%.2f", 0.6 * z }')
time1_limit=$(awk -v z="${secs[zip]}" 'BEGIN { printf "%.2f", 1.3 * z }')
mem_limit=$(( 2 * largest / 1024 + 32 * 1024 ))
verdict() { if "$@"; then echo met; else echo MISSED; fi; }
time_ok=$(verdict awk -v s="${secs[cli]}" -v l="$time_limit" 'BEGIN { exit !(s <= l) }')
time1_ok=$(verdict awk -v s="${secs[cli1]}" -v l="$time1_limit" 'BEGIN { exit !(s <= l) }')
mem_ok=$(verdict test "${mem[cli]}" -le "$mem_limit")
mem1_ok=$(verdict test "${mem[cli1]}" -le "$mem_limit")

machine="$(uname -srm), $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//'), \
$(nproc) cores, $(awk '/MemTotal/ { printf "%.0f GiB", $2 / 1048576 }' /proc/meminfo) RAM"
report="Run on $(date -u '+%Y-%m-%d %H:%M UTC'), $machine; best of $runs runs.
Corpus: ${#files[@]} files, $corpus_bytes bytes (largest $largest); the book unpacked is \
$unpacked_bytes bytes.

$table

- quirebind-cli with $workers workers at most 0.6 x zip's wall time (${time_limit} s): $time_ok
- quirebind-cli with 1 worker within 1.3 x zip's wall time (${time1_limit} s): $time1_ok
- load average before: $load_before; at the end: $(cut -d' ' -f1-3 /proc/loadavg)
- peak memory at most 2 x the largest file + 32 MiB ($((mem_limit / 1024)) MiB): $workers workers \
$mem_ok, 1 worker $mem1_ok"

echo "$report"

# The figures go between the markers in bench/README.md; everything else there stays.
readme="$here/README.md"
if [[ -f $readme ]] && grep -q '<!-- run.sh:begin -->' "$readme"; then
  REPORT="$report" awk '
    /<!-- run.sh:begin -->/ { print; print ENVIRON["REPORT"]; skip = 1; next }
    /<!-- run.sh:end -->/ { skip = 0 }
    !skip { print }' "$readme" > "$work/README.md"
  cp "$work/README.md" "$readme"
  echo "run.sh: figures written to $readme" >&2
fi
