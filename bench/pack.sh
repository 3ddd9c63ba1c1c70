#!/usr/bin/env bash
# Packing speed: times the program's packer, on one worker and on one per processor, beside
# `zip -q -6 -r` on the same generated tree (about 100 MB of text in 100 files), in the same
# run, and prints the times, their ratios and the peak memory of each. A second tree of one
# 100 MB file shows that the packer's memory does not grow with file size.
#
#   bench/pack.sh [build-folder]      (default: build)
set -euo pipefail

build=${1:-build}
packer="$build/bin/qb_pack_folder"
runs=${RUNS:-3}
[[ -x "$packer" ]] || { echo "pack.sh: $packer not built" >&2; exit 1; }
command -v zip >/dev/null || { echo "pack.sh: zip is not installed" >&2; exit 1; }
[[ -x /usr/bin/time ]] || { echo "pack.sh: /usr/bin/time is not installed" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/qb-pack-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

# Text that compresses like prose: words from a fixed vocabulary, in lines of varied length.
# A fixed seed keeps the tree the same from run to run.
generate() {  # generate <file> <bytes> <seed>
  awk -v bytes="$2" -v seed="$3" 'BEGIN {
    srand(seed)
    n = split("the of and to in a is that for it as was with be by on not he I this are or " \
              "his from at which but have an they you were her she there been one all we " \
              "their has would when if so no will more what up out into its about time only " \
              "river morning letter garden window quietly remember however between thought " \
              "afternoon question something evening together certainly distance shoulder " \
              "conversation understand perhaps against himself nothing through again house", w, " ")
    written = 0
    while (written < bytes) {
      len = 6 + int(rand() * 30); line = ""
      for (i = 0; i < len; i++) line = line w[1 + int(rand() * n)] " "
      line = line "."
      print line; written += length(line) + 1
    }
  }' > "$1"
}

mkdir -p "$work/tree/OEBPS" "$work/big/OEBPS"
printf 'application/epub+zip' > "$work/tree/mimetype"
for i in $(seq 1 100); do
  generate "$work/tree/OEBPS/page$i.html" 1048576 "$i"
done
printf 'application/epub+zip' > "$work/big/mimetype"
cat "$work"/tree/OEBPS/page*.html > "$work/big/OEBPS/page1.html"
echo "tree: $(du -sb "$work/tree" | cut -f1) bytes in $(find "$work/tree" -type f | wc -l) files"

# Prints "<wall seconds> <CPU seconds> <peak KiB>" for one command. CPU time is shown too
# because it stays meaningful on a machine that is busy with other work.
measure() {
  /usr/bin/time -f '%e %U %S %M' -o "$work/time.out" "$@" >/dev/null
  awk '{ printf "%s %.2f %s\n", $1, $2 + $3, $4 }' "$work/time.out"
}

best() {  # best <command...>: the fastest of $runs runs, with its CPU time and peak memory
  local best_t="" best_c="" best_m=""
  for _ in $(seq 1 "$runs"); do
    rm -f "$work/out.zip" "$work/out.epub"
    read -r t c m < <(measure "$@")
    if [[ -z "$best_t" ]] || awk -v a="$t" -v b="$best_t" 'BEGIN { exit !(a < b) }'; then
      best_t=$t; best_c=$c; best_m=$m
    fi
  done
  echo "$best_t $best_c $best_m"
}

workers=$(nproc)
load_before=$(cut -d' ' -f1-3 /proc/loadavg)
cat "$work"/tree/OEBPS/* > /dev/null  # warm the page cache for all of them
read -r zip_t zip_c zip_m < <(cd "$work/tree" && best zip -q -6 -r "$work/out.zip" .)
read -r big_t big_c big_m < <(best "$packer" --jobs "$workers" "$work/out.epub" "$work/big")
read -r one_t one_c one_m < <(best "$packer" --jobs 1 "$work/out.epub" "$work/tree")
cp "$work/out.epub" "$work/one.epub"
read -r qb_t qb_c qb_m < <(best "$packer" --jobs "$workers" "$work/out.epub" "$work/tree")

if command -v unzip >/dev/null; then
  unzip -tqq "$work/out.epub" || { echo "pack.sh: the packed archive does not test clean" >&2; exit 1; }
fi
# The number of workers must not change a single byte.
cmp -s "$work/one.epub" "$work/out.epub" ||
  { echo "pack.sh: 1 and $workers workers made different archives" >&2; exit 1; }

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", a / b }'; }
printf 'zip -q -6 -r         : %6.2f s wall  %6.2f s CPU  peak %6d KiB\n' "$zip_t" "$zip_c" "$zip_m"
printf 'quirebind, 1 worker  : %6.2f s wall  %6.2f s CPU  peak %6d KiB\n' "$one_t" "$one_c" "$one_m"
printf 'quirebind, %d workers : %6.2f s wall  %6.2f s CPU  peak %6d KiB\n' "$workers" "$qb_t" "$qb_c" "$qb_m"
printf 'ratio, 1 worker      : %6s wall  %6s CPU  (target <= 1.1)\n' "$(ratio "$one_t" "$zip_t")" "$(ratio "$one_c" "$zip_c")"
printf 'ratio, %d workers     : %6s wall  %6s CPU\n' "$workers" "$(ratio "$qb_t" "$zip_t")" "$(ratio "$qb_c" "$zip_c")"
printf 'one 100 MB file      : %6.2f s wall  %6.2f s CPU  peak %6d KiB (memory does not grow with file size)\n' "$big_t" "$big_c" "$big_m"
printf 'load average         : %s before, %s after (other work on the machine slows every figure)\n' \
  "$load_before" "$(cut -d' ' -f1-3 /proc/loadavg)"
