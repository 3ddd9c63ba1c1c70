#!/usr/bin/env bash
# Runs every fuzz target for a bounded time, starting from its committed seeds.
#
#   fuzz/run.sh BUILD_FOLDER [SECONDS_PER_TARGET]
#
# New inputs go to a working corpus in the build folder, never into fuzz/corpus/, so the
# committed seeds stay small. A finding is written to BUILD_FOLDER/fuzz-findings/<target>/ and
# makes the script fail.
set -euo pipefail
build=${1:?usage: fuzz/run.sh BUILD_FOLDER [SECONDS]}
seconds=${2:-60}
here=$(cd "$(dirname "$0")" && pwd)
status=0
for seeds in "$here"/corpus/*/; do
  target=$(basename "$seeds")
  program="$build/bin/${target}_fuzzer"
  work="$build/fuzz-corpus/$target"
  findings="$build/fuzz-findings/$target"
  mkdir -p "$work" "$findings"
  echo "fuzz: $target for ${seconds}s"
  # -max_len leaves room for the page writer's long lines and the zip writer's trees; the
  # memory limit sits well above what one input may take.
  if ! "$program" -max_total_time="$seconds" -timeout=30 -rss_limit_mb=2048 -max_len=8192 \
      -print_final_stats=1 -artifact_prefix="$findings/" "$work" "$seeds" \
      >"$build/fuzz-$target.log" 2>&1; then
    echo "fuzz: $target found a fault; see $build/fuzz-$target.log and $findings/" >&2
    tail -40 "$build/fuzz-$target.log" >&2
    status=1
  else
    grep -E '^stat::(number_of_executed_units|peak_rss_mb)' "$build/fuzz-$target.log" | sed 's/^/  /'
  fi
done
exit $status
