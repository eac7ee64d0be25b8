#!/usr/bin/env bash
# Runs every fuzz target for SECONDS each (default 60) from its seed corpus
# and fails on the first finding. New inputs go to a scratch corpus, so the
# committed seeds change only by hand.
#   fuzz/run.sh BUILD_DIR [SECONDS]
set -euo pipefail
build=${1:-build-fuzz}
seconds=${2:-60}
here=$(cd "$(dirname "$0")" && pwd)
status=0
for target in "$build"/fuzz/*_fuzz; do
  name=$(basename "$target" _fuzz)
  work=$(mktemp -d)
  # The targets that touch the file system make their tree in here.
  scratch=$(mktemp -d)
  echo "== $name: ${seconds}s"
  if ! TMPDIR="$scratch" "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -artifact_prefix="$build/fuzz/$name-" "$work" "$here/corpus/$name" 2> "$build/fuzz/$name.log"; then
    echo "finding in $name; see $build/fuzz/$name.log"
    tail -n 30 "$build/fuzz/$name.log"
    status=1
  fi
  grep -E '^(#[0-9]+\s+DONE|Done [0-9]+ runs)' "$build/fuzz/$name.log" | tail -n 1 || true
  rm -rf "$work" "$scratch"
done
exit $status
