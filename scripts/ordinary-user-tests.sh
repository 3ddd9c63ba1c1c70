#!/usr/bin/env bash
# The tests that take an ordinary user's rights, from a clone below a folder only its owner may
# enter (what `mktemp -d` makes, and what new home folders are): they must not depend on that
# user reaching the checkout or the build. Core only, and only the test programs that hold
# such cases, so that CI pays a few minutes for it.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=${JOBS:-$(nproc)}
private=$(mktemp -d)
trap 'rm -rf "$private"' EXIT
chmod 0700 "$private"
git clone --quiet . "$private/quirebind"
cd "$private/quirebind"
launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQB_WITH_GUI=OFF "${launcher[@]}" >/dev/null
cmake --build build -j "$jobs" --target quirebind_cli_test robustness_tests package_tests \
  support_tests
cd build
ctest --output-on-failure -j "$jobs" -R \
  'WithoutWritePermission|ReadOnlySettingsFile|MadeUnreadable|TempFolderTest'
# A case that skipped because it could not take an ordinary user's rights proves nothing: as
# root it always can.
if [ "$(id -u)" = 0 ] && grep -q '^\[  SKIPPED \]' Testing/Temporary/LastTest.log; then
  echo "ordinary-user cases were skipped although running as root" >&2
  exit 1
fi
