#!/usr/bin/env bash
# Huge inputs: a 1 GiB text file (UTF-8, and again in windows-1252 so it goes through charset
# detection and iconv), a single line of 200 MiB, and a paragraph holding a run of 200 MiB of
# blanks read with --paragraphs blocks (which once took time quadratic in such a run), each
# turned into a book by quirebind-cli.
# Checks that the run succeeds and the book unpacks, and prints wall time and peak memory
# against the target of twice the file plus 32 MiB. Too slow and too big for the test suite.
#
#   bench/bigfile.sh [build-folder]      (default: build; needs about 5 GiB in $TMPDIR)
set -euo pipefail

build=$(cd "${1:-build}" && pwd)
cli="$build/bin/quirebind-cli"
[[ -x "$cli" ]] || { echo "bigfile.sh: $cli not built" >&2; exit 1; }
[[ -x /usr/bin/time ]] || { echo "bigfile.sh: /usr/bin/time is not installed" >&2; exit 1; }
command -v unzip >/dev/null || { echo "bigfile.sh: unzip is not installed" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/qb-bigfile.XXXXXX")
trap 'rm -rf "$work"' EXIT
gib=$((1024 * 1024 * 1024))
mib=$((1024 * 1024))

echo "bigfile: generating inputs in $work"
# yes ends by SIGPIPE once head has enough; that is no failure.
set +o pipefail
yes 'The quick brown fox jumps over the lazy dog; <tags> & ampersands, café, naïve 0123456789' \
  | head -c $gib > "$work/lines-utf8.txt"
# Every "é" a single byte: not UTF-8, so the detector and iconv read it.
printf 'Le caf\xe9 cr\xe8me \xe9tait br\xfbl\xe9 & <froid>; na\xefve fa\xe7ade 0123456789\n' \
  > "$work/unit-1252.txt"
yes "$(cat "$work/unit-1252.txt")" | head -c $gib > "$work/lines-1252.txt"
yes 'word ' | tr -d '\n' | head -c $((200 * mib)) > "$work/one-line.txt"
{ printf 'Before the blanks'; head -c $((200 * mib)) /dev/zero | tr '\0' ' '; printf 'after.\n'; } \
  > "$work/blank-run.txt"
set -o pipefail

status=0
printf '\n| input | size (MiB) | wall time (s) | peak memory (MiB) | limit (MiB) | result |\n'
printf '|---|---:|---:|---:|---:|---|\n'
for input in lines-utf8 lines-1252 one-line blank-run; do
  options=()
  [[ $input == blank-run ]] && options=(--paragraphs blocks)
  file="$work/$input.txt"
  out="$work/out-$input"
  size=$(stat -c %s "$file")
  limit_kib=$(((2 * size + 32 * mib) / 1024))
  if ! /usr/bin/time -f '%e %M' -o "$work/time" \
      "$cli" -q -y "${options[@]}" -t "$input" -a Bench -o "$out" "$file" >/dev/null 2>"$work/err"; then
    result="FAILED: $(head -c 200 "$work/err")"
    status=1
  elif ! unzip -tqq "$out/$input.epub" >/dev/null 2>&1; then
    result="FAILED: the book does not unpack"
    status=1
  else
    result=ok
  fi
  read -r wall peak_kib < "$work/time"
  if [[ $result == ok && $peak_kib -gt $limit_kib ]]; then
    result="over the memory limit"
    status=1
  fi
  printf '| %s | %d | %s | %d | %d | %s |\n' "$input" $((size / mib)) "$wall" \
    $((peak_kib / 1024)) $((limit_kib / 1024)) "$result"
  rm -rf "$out"
done
exit $status
