#!/usr/bin/env bash
# --inspect-paths on 1,024 files eight folders deep, against a C program that
# makes only the system calls the inspection rules need for the same paths
# (the floor), measured side by side. Target: at most 1.5x the floor.
#   bench/bench_inspect.sh [BUILD_DIR] [RUNS]
set -euo pipefail
build=${1:-build}
runs=${2:-200}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
deepest="$work/tree/f1/f2/f3/f4/f5/f6/f7/f8"
mkdir -p "$deepest"
{
  printf '['
  for i in $(seq 1024); do
    : > "$deepest/file-$i.txt"
    [[ $i -gt 1 ]] && printf ','
    printf '"%s"' "$deepest/file-$i.txt"
  done
  printf ']'
} > "$work/request.json"
source "$(dirname "$0")/plan.sh"
fileprobe=$(realpath "$build/bin/fileprobe")
plan floor "$runs" "$(realpath "$build/bench/inspect_floor")"
plan inspect "$runs" "$fileprobe" --inspect-paths
# Both must have accepted every path, or the timing compares different work.
"$fileprobe" --inspect-paths < "$work/request.json" | grep -q '"error"' && {
  echo "bench_inspect: fileprobe refused some paths" >&2; exit 1; }
grep -q '"accepted":1024' <("$build/bench/inspect_floor" < "$work/request.json") || {
  echo "bench_inspect: the floor program did not accept every path" >&2; exit 1; }
echo "--inspect-paths, 1,024 files eight folders deep, against the system-call floor ($runs runs each, interleaved):"
"$build/bench/spawn_bench" --stdin "$work/request.json" \
  "system-call floor (C)=$work/floor" \
  "fileprobe --inspect-paths=$work/inspect"
