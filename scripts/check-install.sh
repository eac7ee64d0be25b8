#!/usr/bin/env bash
# Installs the build in BUILD_DIR into a temporary prefix, moves the build
# tree out of sight, and runs every example against the installed copy: an
# installed fileprobe must work without its build tree.
#   scripts/check-install.sh BUILD_DIR
set -euo pipefail
build=$(realpath "${1:-build}")
source_dir=$(cd "$(dirname "$0")/.." && pwd)
prefix=$(mktemp -d /tmp/fileprobe-prefix.XXXXXX)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
installed="$prefix/bin/fileprobe"
[[ -x $installed ]] || { echo "no fileprobe in $prefix/bin"; exit 1; }
[[ -f $prefix/share/man/man1/fileprobe.1 ]] || { echo "no man page installed"; exit 1; }
# The probe build of the helper attempts forbidden operations for the tests;
# it must never be installed.
[[ ! -e $prefix/libexec/fileprobe/fileprobe-extract-probe ]] || { echo "probe installed"; exit 1; }
# The installed copy finds everything relative to itself, so a copy of the
# whole prefix elsewhere works as well.
moved=$(mktemp -d /tmp/fileprobe-moved.XXXXXX)
trap 'rm -rf "$prefix" "$moved"' EXIT
cp -a "$prefix/." "$moved/"
for example in "$source_dir"/examples/*.py; do
  python3 "$example" "$moved/bin/fileprobe" >/dev/null || { echo "failed: $example"; exit 1; }
done
echo "installed copy passed every example"
