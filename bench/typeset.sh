#!/usr/bin/env bash
# Typesetting speed: a Chinese novel of about 2 MB made into a book with Noto Serif CJK embedded
# (the font subset to the novel's characters), and the drawn cover, each beside a peer measured
# in the same run: HarfBuzz's own hb-subset on the same font and text, and pango-view drawing
# the same title and author at the cover's size. Prints CPU and wall times, and checks the
# targets on CPU time.
#
#   bench/typeset.sh [build-folder]      (default: build; RUNS=n runs each n times, best kept;
#                                         NOVEL=file.txt: a UTF-8 novel instead of the generated)
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-build}" && pwd)
cli="$build/bin/quirebind-cli"
timing="$build/bin/qb_typeset_timing"
runs=${RUNS:-3}
font=/usr/share/fonts/opentype/noto/NotoSerifCJK-Regular.ttc
face=2  # Noto Serif CJK SC
for program in "$cli" "$timing"; do
  [[ -x "$program" ]] || { echo "typeset.sh: $program not built" >&2; exit 1; }
done
[[ -f "$font" ]] || { echo "typeset.sh: $font missing (fonts-noto-cjk)" >&2; exit 1; }
for tool in hb-subset pango-view iconv; do
  command -v "$tool" >/dev/null || { echo "typeset.sh: $tool is not installed" >&2; exit 1; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/qb-typeset-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

novel="$work/novel.txt"
if [[ -n "${NOVEL:-}" ]]; then
  cp "$NOVEL" "$novel"
else
  # 2 MB of prose from the 3755 common characters of GB2312, the frequent ones far more often,
  # as a novel uses a few thousand distinct characters.
  awk 'BEGIN {
    srand(7); total = 0
    while (total < 700000) {
      n = 40 + int(rand() * 160)
      for (i = 0; i < n; i++) {
        k = int(3755 * rand() ^ 3)
        printf "%c%c", 176 + int(k / 94), 161 + k % 94
      }
      printf "%c%c\n", 161, 163
      total += n + 1
    }
  }' | LC_ALL=C iconv -f GB2312 -t UTF-8 > "$novel"
fi
novel_bytes=$(stat -c %s "$novel")

# best <command...>: the least CPU time (user + system) of $runs runs and the wall time of that
# run, as "<cpu> <wall>" in seconds. CPU time is what to compare on a machine other work keeps
# busy: wall time then counts the waits for a core.
best() {
  local fastest="" wall=""
  for ((r = 0; r < runs; r++)); do
    /usr/bin/time -f '%e %U %S' -o "$work/time.out" "$@" >/dev/null 2>"$work/stderr" || {
      echo "typeset.sh: failed: $*" >&2
      cat "$work/stderr" >&2
      return 1
    }
    local e u s
    read -r e u s < "$work/time.out"
    local cpu
    cpu=$(awk -v u="$u" -v s="$s" 'BEGIN { printf "%.2f", u + s }')
    if [[ -z "$fastest" ]] || awk -v a="$cpu" -v b="$fastest" 'BEGIN { exit !(a < b) }'; then
      fastest=$cpu
      wall=$e
    fi
  done
  echo "$fastest $wall"
}

load_before=$(cut -d' ' -f1-3 /proc/loadavg)
book=("$cli" --plain -y -q -t Novel -a Author)
read -r plain_time plain_wall < <(best "${book[@]}" -o "$work/plain" "$novel")
read -r font_time font_wall < <(best "${book[@]}" -o "$work/font" --font "$font#$face" "$novel")
plain_size=$(stat -c %s "$work/plain/Novel.epub")
font_size=$(stat -c %s "$work/font/Novel.epub")

read -r subset_time subset_wall < <(best "$timing" subset "$font#$face" "$novel" "$work/ours.otf")
read -r _ subset_bytes distinct < <("$timing" subset "$font#$face" "$novel" "$work/ours.otf")
read -r peer_subset_time peer_subset_wall < <(best hb-subset --font-file="$font" --face-index=$face --no-hinting \
  --text-file="$novel" -o "$work/peer.otf")
peer_subset_bytes=$(stat -c %s "$work/peer.otf")
same_subset=differs
cmp -s "$work/ours.otf" "$work/peer.otf" && same_subset=identical

title="三国演义 The Romance of the Three Kingdoms"
author="罗贯中 Luo Guanzhong"
read -r cover_time cover_wall < <(best "$timing" cover "$title" "$author" zh-CN "$work/cover.jpg")
read -r peer_cover_time peer_cover_wall < <(best pango-view --no-display --font="Serif Bold 110" --language=zh-CN \
  --width=1300 --wrap=word-char --align=center --margin=130 --dpi=72 \
  --text="$title
$author" -o "$work/peer.png")
load_after=$(cut -d' ' -f1-3 /proc/loadavg)

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
echo "Novel: $novel_bytes bytes, $distinct distinct characters; font $(stat -c %s "$font") bytes (face $face); best of $runs runs"
echo
echo "| step | ours: CPU (wall) s | peer | peer: CPU (wall) s | CPU ours / peer | size (bytes) |"
echo "|---|---:|---|---:|---:|---:|"
echo "| subset of the font to the novel | $subset_time ($subset_wall) | hb-subset --no-hinting | $peer_subset_time ($peer_subset_wall) | $(ratio "$subset_time" "$peer_subset_time") | $subset_bytes (peer $peer_subset_bytes) |"
echo "| drawn cover, 1600x2560 JPEG | $cover_time ($cover_wall) | pango-view, same text, PNG | $peer_cover_time ($peer_cover_wall) | $(ratio "$cover_time" "$peer_cover_time") | $(stat -c %s "$work/cover.jpg") |"
echo "| whole book, no font | $plain_time ($plain_wall) | | | | $plain_size |"
echo "| whole book, font embedded | $font_time ($font_wall) | | | | $font_size |"
echo
# check <awk condition on a, b> <a> <b> <what>, on CPU times
check() {
  if awk -v a="$2" -v b="$3" "BEGIN { exit !($1) }"; then echo "- $4: met"; else echo "- $4: MISSED"; fi
}
check "a < 1" "$subset_time" 0 "subsetting under a second"
check "a <= 1.5 * b" "$subset_time" "$peer_subset_time" "subsetting within 1.5 x hb-subset's time"
check "a < 1" "$cover_time" 0 "drawing the cover under a second"
check "a - b < 1" "$font_time" "$plain_time" "the font adds under a second to the whole book"
echo "- the subset and hb-subset's: $same_subset"
echo "- load average before: $load_before; at the end: $load_after"
