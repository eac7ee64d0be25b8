#!/usr/bin/env bash
# One metadata copy between two files on tmpfs whose source has 20
# attributes of 4 KiB, against an empty C++ program (target at most 2.5x)
# and against cp --attributes-only --preserve=all between files of the same
# kind (target at most 1.5x, although fileprobe also verifies), measured
# side by side.
#   bench/bench_metadata.sh [BUILD_DIR] [RUNS]
set -euo pipefail
build=${1:-build}
runs=${2:-400}
work=$(mktemp -d /dev/shm/bench_metadata.XXXXXX)
trap 'rm -rf "$work"' EXIT
value=$(head -c 4096 /dev/zero | tr '\0' v)
for item in source cp_source; do
  : > "$work/$item"
  for i in $(seq 20); do setfattr -n "user.attribute$i" -v "$value" "$work/$item"; done
  chmod 0640 "$work/$item"
done
: > "$work/destination"
: > "$work/cp_destination"
source "$(dirname "$0")/plan.sh"
plan empty "$runs" "$(realpath "$build/bench/empty_program")"
plan copy "$runs" "$(realpath "$build/bin/fileprobe")" --copy-metadata-fd
plan cp "$runs" "$(command -v cp)" --attributes-only --preserve=all "$work/cp_source" "$work/cp_destination"
"$(realpath "$build/bin/fileprobe")" --copy-metadata-fd 3<"$work/source" 4<"$work/destination" |
  grep -q '"ok":true' || { echo "the metadata copy does not succeed here"; exit 1; }
echo "Metadata copy, 20 attributes of 4 KiB on tmpfs ($runs runs each, interleaved):"
"$build/bench/spawn_bench" --fd3 "$work/source" --fd4 "$work/destination" \
  "empty C++ program=$work/empty" \
  "cp --attributes-only --preserve all=$work/cp" \
  "--copy-metadata-fd=$work/copy" | tee "$work/figures"
awk 'function median() { for (i = 1; i < NF; i++) if ($i == "median") return $(i + 1) }
     /^cp / { cp = median() } /^--copy-metadata-fd/ { copy = median() }
     END { printf "--copy-metadata-fd against cp: %.2fx (median)\n", copy / cp }' "$work/figures"
