#!/usr/bin/env bash
# One book of many texts: times the whole `quirebind-cli --plain` run on 40 MB in 40 files, on one
# worker and on one per processor, beside `zip -q -6 -r` of the very book it made, unpacked, in
# the same run (medians of RUNS runs, default 3). Prints the ratios (target: at most 0.5 of zip's
# wall time with every worker on a two-core machine), checks that 1, 2 and 8 workers make the
# same archive, and, where perf can sample, how the time divides between reading and decoding
# the texts, writing the pages, deflating and the system's file work.
#
#   bench/one_book.sh [build-folder]      (default: build)
set -euo pipefail

build=$(cd "${1:-build}" && pwd)
cli="$build/bin/quirebind-cli"
runs=${RUNS:-3}
[[ -x "$cli" ]] || { echo "one_book.sh: $cli not built" >&2; exit 1; }
for tool in zip unzip python3; do
  command -v "$tool" >/dev/null || { echo "one_book.sh: $tool is not installed" >&2; exit 1; }
done
[[ -x /usr/bin/time ]] || { echo "one_book.sh: /usr/bin/time is not installed" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/qb-one-book.XXXXXX")
trap 'rm -rf "$work"' EXIT

# 40 texts of 1 MiB of prose-like lines, from fixed seeds so that every run has the same corpus.
mkdir -p "$work/texts"
source "$(dirname "$0")/prose.sh"
words="the of and to in a is that for it as was with be by on not he this are or his from at \
which but have an they you were her she there been one all we their river morning letter garden \
window quietly remember however between thought afternoon question something evening together \
certainly distance shoulder"
for i in $(seq -w 1 40); do
  prose 1048576 "$i" "$words" > "$work/texts/text$i.txt"
done
texts=("$work"/texts/*.txt)
echo "corpus: ${#texts[@]} files, $(cat "${texts[@]}" | wc -c) bytes"

# measure <command...>: one run; prints "<wall seconds> <CPU seconds>".
measure() {
  /usr/bin/time -f '%e %U %S' -o "$work/time.out" "$@" >/dev/null 2>"$work/stderr" || {
    echo "one_book.sh: failed: $*" >&2
    cat "$work/stderr" >&2
    exit 1
  }
  tail -1 "$work/time.out" | awk '{ printf "%s %.2f\n", $1, $2 + $3 }'
}

# median <command...>: the median wall and CPU time of $runs runs.
median() {
  local walls=() cpus=() t c
  for _ in $(seq 1 "$runs"); do
    rm -rf "$work/out"
    mkdir -p "$work/out"
    read -r t c < <(measure "$@")
    walls+=("$t")
    cpus+=("$c")
  done
  local mid=$(( (runs + 1) / 2 ))
  echo "$(printf '%s\n' "${walls[@]}" | sort -g | sed -n "${mid}p")" \
       "$(printf '%s\n' "${cpus[@]}" | sort -g | sed -n "${mid}p")"
}

convert() {  # convert <jobs> <output folder>
  "$cli" --plain --jobs "$1" -q -y -t Bench -a Bench -o "$2" "${texts[@]}"
}

workers=$(nproc)
load_before=$(cut -d' ' -f1-3 /proc/loadavg)
cat "${texts[@]}" >/dev/null  # the page cache holds the texts for every tool alike
declare -A wall cpu
read -r wall[one] cpu[one] < <(median "$cli" --plain --jobs 1 -q -y -t Bench -a Bench \
                                 -o "$work/out" "${texts[@]}")
read -r wall[all] cpu[all] < <(median "$cli" --plain --jobs "$workers" -q -y -t Bench -a Bench \
                                 -o "$work/out" "${texts[@]}")

# zip gets the very tree the run packed: mimetype, META-INF/ and OEBPS/.
for jobs in 1 2 8; do
  convert "$jobs" "$work/book$jobs" >/dev/null
done
mkdir -p "$work/unpacked"
unzip -q "$work/book1/Bench.epub" -d "$work/unpacked"
zip_book() { cd "$work/unpacked" && zip -q -6 -r "$work/out/book.zip" mimetype META-INF OEBPS; }
export -f zip_book
export work
read -r wall[zip] cpu[zip] < <(median bash -c zip_book)

# Every book gets a new identifier and today's date, and its members the times their files were
# written; apart from those, the archives of 1, 2 and 8 workers must agree byte for byte: the
# same members in the same order, the same headers and the same deflated data.
python3 - "$work"/book{1,2,8}/Bench.epub <<'EOF'
import re, struct, sys, zipfile, zlib

def members(path):
    out = []
    with open(path, "rb") as f, zipfile.ZipFile(path) as z:
        for info in z.infolist():
            f.seek(info.header_offset)
            head = f.read(30)
            name_len, extra_len = struct.unpack("<HH", head[26:30])
            fields = head[4:10] + head[14:26]  # all but the time and date
            f.seek(info.header_offset + 30 + name_len + extra_len)
            raw = f.read(info.compress_size)
            if info.filename.endswith(("fb.opf", "fb.ncx")):
                text = z.read(info).decode("utf-8")
                text = re.sub(r"urn:uuid:[0-9a-fA-F-]+", "ID", text)
                text = re.sub(r"\d{4}-\d{2}-\d{2}(T\d{2}:\d{2}:\d{2}Z)?", "DATE", text)
                fields, raw = b"", text.encode()
            out.append((info.filename, fields, raw))
    return out

first = members(sys.argv[1])
for other in sys.argv[2:]:
    if members(other) != first:
        sys.exit("one_book.sh: %s differs from %s" % (other, sys.argv[1]))
print("archives of 1, 2 and 8 workers: the same (%d members)" % len(first))
EOF

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
printf 'zip -q -6 -r of the unpacked book : %6.2f s wall %6.2f s CPU\n' "${wall[zip]}" "${cpu[zip]}"
printf 'quirebind-cli --plain, 1 worker   : %6.2f s wall %6.2f s CPU  %s of zip (wall)\n' \
  "${wall[one]}" "${cpu[one]}" "$(ratio "${wall[one]}" "${wall[zip]}")"
printf 'quirebind-cli --plain, %d workers  : %6.2f s wall %6.2f s CPU  %s of zip (wall), target <= 0.5\n' \
  "$workers" "${wall[all]}" "${cpu[all]}" "$(ratio "${wall[all]}" "${wall[zip]}")"
printf 'load average: %s before, %s after (other work on the machine slows every figure)\n' \
  "$load_before" "$(cut -d' ' -f1-3 /proc/loadavg)"

# Where the CPU time goes, from perf's samples: zlib is deflating; the decoders (iconv, uchardet
# and the program's own UTF-8 checks) and the reading of the texts are reading and decoding; the
# kernel is the system's file work (reads and writes); everything else is writing the pages.
if command -v perf >/dev/null && perf record -q -o "$work/probe.data" true >/dev/null 2>&1; then
  for jobs in 1 "$workers"; do
    perf record -q -F 1999 -o "$work/perf.data" -- "$cli" --plain --jobs "$jobs" -q -y \
      -t Bench -a Bench -o "$work/out" "${texts[@]}" >/dev/null 2>&1
    perf report -i "$work/perf.data" --no-children --sort dso,sym --stdio -g none 2>/dev/null |
      awk -v jobs="$jobs" -v cpu="$( [[ $jobs == 1 ]] && echo "${cpu[one]}" || echo "${cpu[all]}")" '
        /^ *[0-9.]+%/ {
          share = $1; sub("%", "", share)
          dso = $2; sym = $0
          if (dso ~ /libz/) part = "deflate"
          else if (dso ~ /kernel/) part = "system file work"
          else if (sym ~ /[Dd]ecode|[Uu]tf8|[Ii]conv|gconv|uchardet|nsUTF|nsLatin|nsSB|nsMB|nsCJK|nsGB|nsBig5|planDecoding|readFileBytes|detectCharset/ ||
                   dso ~ /uchardet|iconv|gconv/) part = "reading and decoding"
          else part = "pages"
          sum[part] += share
        }
        END {
          printf "%s worker(s), %.2f s CPU:", jobs, cpu
          n = split("reading and decoding,pages,deflate,system file work", parts, ",")
          for (i = 1; i <= n; i++) printf "  %s %.0f%% (%.2f s)", parts[i], sum[parts[i]], sum[parts[i]] * cpu / 100
          printf "\n"
        }'
  done
else
  echo "perf cannot sample here: no division of the time"
fi
