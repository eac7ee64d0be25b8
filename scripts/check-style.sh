#!/usr/bin/env bash
# The style checks of CI: the folder layers, clang-format over every C and
# C++ file, and clang-tidy over src/ with the build's compile_commands.json.
#   scripts/check-style.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
jobs=${JOBS:-2}

scripts/check-layers.sh

git ls-files '*.cc' '*.h' '*.c' | xargs clang-format-14 --dry-run --Werror

git ls-files 'src/*.cc' |
  xargs -P "$jobs" -n 4 clang-tidy-14 -p "$build" --quiet --warnings-as-errors='*' 2>/dev/null
