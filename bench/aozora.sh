#!/usr/bin/env bash
# Aozora Bunko markup: times quirebind-cli on one 1 MB Aozora Bunko text, with
# `--conventions auto` (readings as ruby, annotations applied, vertical EPUB 3) and with
# `--conventions none` (every character as it stands) in the same run, so that the ratio shows
# what the markup costs. The text is the shared corpus's kokoro (Shift_JIS) repeated to 1 MB
# when ../shared/corpus has it, else a generated one with a reading every 20 characters and an
# annotation every 400. Target: the whole conversion with markup well under 0.2 s.
#
#   bench/aozora.sh [build-folder]      (default: build; RUNS=n runs each n times, best kept)
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-build}" && pwd)
cli="$build/bin/quirebind-cli"
runs=${RUNS:-5}
[[ -x "$cli" ]] || { echo "aozora.sh: $cli not built" >&2; exit 1; }
command -v iconv >/dev/null || { echo "aozora.sh: iconv is not installed" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/qb-aozora-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

corpus="${QB_CORPUS_DIR:-$here/../../shared/corpus}/kokoro_orig_sjis.txt"
text="$work/book.txt"
if [[ -f "$corpus" ]]; then
  source_name="kokoro_orig_sjis.txt repeated"
  iconv -f CP932 -t UTF-8 "$corpus" > "$work/one.txt"
  while [[ $(stat -c %s "$text" 2>/dev/null || echo 0) -lt 1048576 ]]; do
    cat "$work/one.txt" >> "$text"
  done
else
  source_name="generated"
  awk 'BEGIN {
    srand(3)
    split("私 先生 海 鎌倉 友達 電報 学校 宿 別荘 茶屋", k, " ")
    split("わたくし せんせい うみ かまくら ともだち でんぽう がっこう やど べっそう ちゃや", r, " ")
    print "題名"; print "著者"; print ""
    print "-------------------------------------------------------"
    print "【テキスト中に現れる記号について】"
    print "-------------------------------------------------------"
    for (c = 1; c <= 90; c++) {
      print "［＃５字下げ］" c "［＃「" c "」は中見出し］"
      for (p = 0; p < 12; p++) {
        line = "　"
        for (i = 0; i < 20; i++) {
          j = 1 + int(rand() * 10)
          line = line "それは" k[j] "《" r[j] "》のことで、"
          if (i % 10 == 9) line = line "大事［＃「大事」に傍点］"
        }
        print line "。"
      }
    }
  }' > "$text"
fi
bytes=$(stat -c %s "$text")

# Best CPU time (user + system) and best wall time of $runs runs, in seconds: on a machine
# that other work keeps busy the wall time says little.
best() {
  local cpu=999 wall=999 out
  for _ in $(seq "$runs"); do
    /usr/bin/time -o "$work/time" -f "%U %S %e" "$@" >/dev/null 2>&1
    out=$(tail -1 "$work/time")
    cpu=$(awk -v a="$cpu" -v r="$out" 'BEGIN { split(r, f, " "); t = f[1] + f[2]; print (t < a ? t : a) }')
    wall=$(awk -v a="$wall" -v r="$out" 'BEGIN { split(r, f, " "); print (f[3] < a ? f[3] : a) }')
  done
  echo "$cpu $wall"
}

read -r with_cpu with_wall < <(best "$cli" -q -y -t A -a B -o "$work/with" --conventions auto "$text")
read -r without_cpu without_wall < <(best "$cli" -q -y -t A -a B -o "$work/without" --conventions none "$text")
ratio=$(awk -v a="$with_cpu" -v b="$without_cpu" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }')
met=$(awk -v a="$with_cpu" 'BEGIN { print (a < 0.2 ? "met" : "NOT met") }')

echo "Text: $bytes bytes of UTF-8 ($source_name); best of $runs runs"
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "quirebind-cli --conventions auto: CPU $with_cpu s, wall $with_wall s"
echo "quirebind-cli --conventions none: CPU $without_cpu s, wall $without_wall s"
echo "CPU markup / none: $ratio; CPU under 0.2 s: $met"
