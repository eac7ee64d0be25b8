#!/usr/bin/env bash
# The style checks of CI: the folder layers, the two extraction processes
# kept apart in the built binaries, clang-format over every C and C++ file,
# and clang-tidy over src/ with the build's compile_commands.json.
#   scripts/check-style.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
jobs=${JOBS:-2}

scripts/check-layers.sh

# fileprobe needs the C library alone (libc.so.6 and the dynamic loader;
# no parsing library, no libseccomp) and holds none of the helper's code;
# the helper holds none of the job's.
others=$(readelf -d "$build/bin/fileprobe" | sed -n 's/.*Shared library: \[\(.*\)\]/\1/p' |
  grep -v -E '^(libc\.so\.6|ld-linux.*)$' || true)
if [[ -n $others ]]; then
  echo "bin/fileprobe needs more than the C library:" $others >&2
  exit 1
fi
if nm -C --defined-only "$build/bin/fileprobe" | grep -E 'confineProcess|pdfRoadAnswer'; then
  echo "bin/fileprobe holds code of the extraction helper" >&2
  exit 1
fi
if nm -C --defined-only "$build/libexec/fileprobe/fileprobe-extract" |
  grep -E 'runExtractionJob|runHelper\('; then
  echo "fileprobe-extract holds code of the extraction job" >&2
  exit 1
fi

git ls-files '*.cc' '*.h' '*.c' | xargs clang-format-14 --dry-run --Werror

git ls-files 'src/*.cc' |
  xargs -P "$jobs" -n 4 clang-tidy-14 -p "$build" --quiet --warnings-as-errors='*' 2>/dev/null
