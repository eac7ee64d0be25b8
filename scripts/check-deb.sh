#!/usr/bin/env bash
# Builds the Debian package from BUILD_DIR, installs it on this machine,
# runs the demo file through the installed /usr/bin/fileprobe, and removes
# the package again. Needs root.
#   scripts/check-deb.sh BUILD_DIR
set -euo pipefail
build=$(realpath "${1:-build}")
source_dir=$(cd "$(dirname "$0")/.." && pwd)
out=$(mktemp -d /tmp/fileprobe-deb.XXXXXX)
trap 'rm -rf "$out"' EXIT
(cd "$out" && cpack -G DEB --config "$build/CPackConfig.cmake" >/dev/null)
deb=$(ls "$out"/*.deb)
dpkg-deb --field "$deb" Depends
dpkg -i "$deb" >/dev/null
trap 'dpkg -r fileprobe >/dev/null; rm -rf "$out"' EXIT
line=$(/usr/bin/fileprobe "$source_dir/samples/demo.png")
echo "$line"
python3 -c 'import json,sys; r=json.loads(sys.argv[1]); sys.exit(0 if r["method"]=="ocr" and r["text"] else 1)' "$line"
man -w fileprobe >/dev/null
echo "installed package works"
