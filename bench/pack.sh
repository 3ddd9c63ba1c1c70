#!/usr/bin/env bash
# Packing speed: times the program's packer beside `zip -q -6 -r` on the same generated
# tree (about 100 MB of text in 100 files), in the same run, and prints both times, their
# ratio and the peak memory of each. A second tree of one 100 MB file shows that the
# packer's memory does not grow with file size.
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

# Prints "<seconds> <peak KiB>" for one command.
measure() {
  /usr/bin/time -f '%e %M' -o "$work/time.out" "$@" >/dev/null
  cat "$work/time.out"
}

best() {  # best <label> <command...>: the fastest of $runs runs, with its peak memory
  local label=$1; shift
  local best_t="" best_m=""
  for _ in $(seq 1 "$runs"); do
    rm -f "$work/out.zip" "$work/out.epub"
    read -r t m < <(measure "$@")
    if [[ -z "$best_t" ]] || awk -v a="$t" -v b="$best_t" 'BEGIN { exit !(a < b) }'; then
      best_t=$t; best_m=$m
    fi
  done
  echo "$best_t $best_m"
}

cat "$work"/tree/OEBPS/* > /dev/null  # warm the page cache for both
read -r zip_t zip_m < <(cd "$work/tree" && best zip zip -q -6 -r "$work/out.zip" .)
read -r qb_t qb_m < <(best qb "$packer" "$work/out.epub" "$work/tree")
read -r big_t big_m < <(best qb "$packer" "$work/out.epub" "$work/big")

if command -v unzip >/dev/null; then
  unzip -tqq "$work/out.epub" || { echo "pack.sh: the packed archive does not test clean" >&2; exit 1; }
fi

printf 'zip -q -6 -r : %6.2f s  peak %6d KiB\n' "$zip_t" "$zip_m"
printf 'quirebind    : %6.2f s  peak %6d KiB\n' "$qb_t" "$qb_m"
printf 'ratio        : %6.3f (target <= 1.1)\n' "$(awk -v a="$qb_t" -v b="$zip_t" 'BEGIN { print a / b }')"
printf 'one 100 MB file: %6.2f s  peak %6d KiB (memory independent of file size)\n' "$big_t" "$big_m"
