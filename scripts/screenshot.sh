#!/usr/bin/env bash
# Makes docs/screenshot.png: the window on a virtual display, with a few text files listed.
# Builds nothing: run `make build` (or pass another build folder) first.
#
#   scripts/screenshot.sh [build-folder] [output.png]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
out=${2:-docs/screenshot.png}
if [[ ! -x "$build/bin/quirebind" ]]; then
  echo "screenshot: $build/bin/quirebind is not built" >&2
  exit 1
fi
command -v xvfb-run >/dev/null || { echo "screenshot: xvfb-run is missing (scripts/install-deps.sh)" >&2; exit 1; }

# A private copy of the program, so that its settings and work folder stay out of the build tree.
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
cp "$build/bin/quirebind" "$stage/"
cp -r "$build/bin/epubfiles" "$stage/"
printf '[Options]\nSavePath=/home/reader/Books\n' > "$stage/config.ini"

mkdir -p "$(dirname "$out")"
books=/home/reader/Documents/Harbour\ Tales
xvfb-run -a -s "-screen 0 1024x768x24" "$stage/quirebind" --screenshot "$(realpath -m "$out")" \
  "$books/01 The Quiet Harbour.txt" "$books/02 Lanterns.txt" "$books/03 The Salt Road.txt" \
  "$books/04 Winter Nets.txt" "$books/05 Homecoming.txt"
echo "screenshot: wrote $out"
