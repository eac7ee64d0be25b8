#!/usr/bin/env bash
# Start-up cost of the option jobs against an empty C++ program, measured
# side by side. Target: each option job at most 2.5x the empty program.
#   bench/startup.sh [BUILD_DIR] [RUNS]
set -euo pipefail
build=${1:-build}
runs=${2:-400}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
source "$(dirname "$0")/plan.sh"
fileprobe=$(realpath "$build/bin/fileprobe")
plan empty "$runs" "$(realpath "$build/bench/empty_program")"
plan move_bad_count "$runs" "$fileprobe" --move-exclusive
plan copy_bad_count "$runs" "$fileprobe" --copy-metadata-fd 3 4
plan inspect_empty "$runs" "$fileprobe" --inspect-paths
printf '[]' > "$work/empty_request"
echo "Option-job start-up against an empty C++ program ($runs runs each, interleaved):"
"$build/bench/spawn_bench" --stdin "$work/empty_request" \
  "empty C++ program=$work/empty" \
  "--move-exclusive (bad count)=$work/move_bad_count" \
  "--copy-metadata-fd 3 4=$work/copy_bad_count" \
  "--inspect-paths []=$work/inspect_empty"
