#!/usr/bin/env bash
# Starts the window from the build tree; without a display, says what to use instead.
set -euo pipefail
build=${1:-build}
if [[ ! -x "$build/bin/quirebind" ]]; then
  echo "The window is not built yet; the command-line converter is $build/bin/quirebind-cli." >&2
  exit 0
fi
if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
  echo "No display found. Start the window on a virtual one with" >&2
  echo "  xvfb-run -s '-screen 0 1024x768x24' $build/bin/quirebind" >&2
  echo "or convert from the command line with $build/bin/quirebind-cli --help" >&2
  exit 1
fi
exec "$build/bin/quirebind"
