#!/usr/bin/env bash
# The exclusive move, measured side by side:
#  1. one move's wall time against an empty C++ program (target <= 2.5x);
#  2. 1,000 moves against `mv -n` from coreutils doing the same renames, one
#     process per rename (target <= 1.0x).
# fileprobe syncs both parent folders after each rename and mv does not, so
# both comparisons run on the disk under /tmp and again on the tmpfs /dev/shm
# (where a sync costs nothing) when it exists: the first pair includes the
# disk's sync time, the second does not.
# Every run moves its own file, so each fileprobe line carries that file's
# device and inode, read beforehand with stat.
#   bench/bench_move.sh [BUILD_DIR] [RUNS_AGAINST_EMPTY]
set -euo pipefail
build=${1:-build}
runs=${2:-400}
moves=1000
work=$(mktemp -d)
shm=
trap 'rm -rf "$work" ${shm:+"$shm"}' EXIT
fileprobe=$(realpath "$build/bin/fileprobe")
empty=$(realpath "$build/bench/empty_program")
mv=$(command -v mv)

# make_files DIR COUNT: DIR/from/0..COUNT-1 and an empty DIR/to.
make_files() {
  mkdir -p "$1/from" "$1/to"
  (cd "$1/from" && seq 0 $(($2 - 1)) | xargs touch)
}

# fileprobe_plan DIR: one move per file of DIR/from into DIR/to.
fileprobe_plan() {
  (cd "$1/from" && stat -c '%d %i %n' -- *) |
    awk -v p="$fileprobe" -v d="$1" 'BEGIN { OFS = "\t" }
      { print p, "--move-exclusive", d "/from/" $3, d "/to/" $3, $1, $2 }'
}

# against_mv DIR LABEL: the 1,000-move comparison with its files under DIR.
against_mv() {
  make_files "$1/fp" "$moves"
  fileprobe_plan "$1/fp" > "$1/fp.plan"
  make_files "$1/mv" "$moves"
  (cd "$1/mv/from" && ls) |
    awk -v p="$mv" -v d="$1/mv" 'BEGIN { OFS = "\t" }
      { print p, "-n", "--", d "/from/" $1, d "/to/" $1 }' > "$1/mv.plan"
  echo
  echo "$moves moves on $2, one process each, against mv -n (interleaved):"
  "$build/bench/spawn_bench" "mv -n=$1/mv.plan" "fileprobe --move-exclusive=$1/fp.plan"
  all_moved "$1/fp" "$1/mv"
}

# Every rename must have happened, or the figures would time failures.
all_moved() {
  local dir left
  for dir in "$@"; do
    left=$(find "$dir/from" -type f | wc -l)
    [[ $left -eq 0 ]] || { echo "bench_move: $left files under $dir were not moved"; exit 1; }
  done
}

# against_empty DIR LABEL: single moves with their files under DIR.
against_empty() {
  make_files "$1/single" "$runs"
  fileprobe_plan "$1/single" > "$1/single.plan"
  for _ in $(seq "$runs"); do printf '%s\n' "$empty"; done > "$1/empty.plan"
  echo
  echo "One move on $2 against an empty C++ program ($runs runs each, interleaved):"
  "$build/bench/spawn_bench" "empty C++ program=$1/empty.plan" \
    "fileprobe --move-exclusive=$1/single.plan"
  all_moved "$1/single"
}

label="$(df --output=fstype "$work" | tail -1) ($work)"
against_empty "$work" "$label"
against_mv "$work" "$label"
if [[ -d /dev/shm ]]; then
  shm=$(mktemp -d -p /dev/shm)
  against_empty "$shm" "tmpfs (/dev/shm)"
  against_mv "$shm" "tmpfs (/dev/shm)"
fi
