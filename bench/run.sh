#!/usr/bin/env bash
# Runs every benchmark against the build in BUILD_DIR and prints its ratios.
set -euo pipefail
build=${1:-build}
here=$(dirname "$0")
for script in "$here"/startup.sh "$here"/bench_*.sh; do
  [[ -x $script ]] || continue
  echo "== $(basename "$script")"
  "$script" "$build"
done
