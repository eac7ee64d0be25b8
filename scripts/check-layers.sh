#!/usr/bin/env bash
# Checks that the folders under src/ depend on each other in one direction
# only: each folder may include its own headers and those of the folders
# listed for it, all of them below it. The CMake libraries enforce the same
# order at link time; this catches the includes of header-only code, which
# static libraries let pass. Exits 1 and lists each offending line otherwise.
set -euo pipefail
cd "$(dirname "$0")/../src"

# Bottom to top.
declare -A allowed=(
  [platform]=""
  [common]="platform"
  [filestate]="common platform"
  [fingerprint]="filestate common platform"
  [inspect]="common platform"
  [fileops]="fingerprint filestate common platform"
  [extract_answer]="common platform"
  [extract]="extract_answer common platform"
  [extract_helper]="extract_answer common platform"
  [entry]="extract inspect fileops common platform"
)

status=0
for folder in */; do
  folder=${folder%/}
  if [[ ! -v allowed[$folder] ]]; then
    echo "src/$folder: a folder without a place in scripts/check-layers.sh" >&2
    status=1
    continue
  fi
  while IFS= read -r line; do
    file=${line%%:*}
    included=$(sed -E 's/.*#include "([^/"]+)\/.*/\1/' <<<"$line")
    if [[ $included != "$folder" && " ${allowed[$folder]} " != *" $included "* ]]; then
      echo "src/$file: $folder may not include $included: ${line#*:}" >&2
      status=1
    fi
  done < <(grep -H -E '^[[:space:]]*#[[:space:]]*include "[^/"]+/' "$folder"/* || true)
done
exit $status
