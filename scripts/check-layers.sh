#!/usr/bin/env bash
# Checks that the parts of src/ depend on each other in one direction only:
# each part may include its own headers and those of the parts listed for
# it, all of them below it. A part is a folder of src/, or for extraction
# one of the folders of src/extraction. The CMake libraries enforce the
# same order at link time; this catches the includes of header-only code,
# which static libraries let pass. Also checks that system and library
# headers are included only where the system or a library is called.
# Exits 1 and lists each offending line otherwise.
set -euo pipefail
cd "$(dirname "$0")/../src"

# Bottom to top.
#   platform            system-call wrappers: descriptors, status records,
#                       attributes, ACLs, processes, time
#   formats             JSON, Unicode, SHA-256, macOS error numbers
#   common              what every job uses
#   filestate < fingerprint < fileops, and inspect: the file jobs
#   extraction/wire     what the extraction job and its helper share
#   extraction/job      the extraction job, in fileprobe
#   extraction/helper   the helper process: main, confinement, driver,
#                       loading of the bindings
#   extraction/bindings poppler, libvips and tesseract, one module each,
#                       loaded by the helper
#   entry               the entry point and the table of jobs
declare -A allowed=(
  [platform]=""
  [formats]=""
  [common]="formats platform"
  [filestate]="common formats platform"
  [fingerprint]="filestate common formats platform"
  [inspect]="common formats platform"
  [fileops]="fingerprint filestate common formats platform"
  [extraction/wire]="common formats platform"
  [extraction/job]="extraction/wire common formats platform"
  [extraction/helper]="extraction/wire common formats platform"
  [extraction/bindings]="extraction/helper extraction/wire common formats platform"
  [entry]="extraction/job inspect fileops common formats platform"
)

# The parts whose .cc files may include system or library headers (<x.h>,
# <sys/...>, <nlohmann/...>): the wrappers, the formats' libraries, the
# helper's confinement and module loading, and the bindings. The C++
# standard library's headers have no ".h" and may be used anywhere.
declare -A system_headers_in=(
  [platform]=1
  [formats]=1
  [extraction/bindings]=1
)
system_header_files=" extraction/helper/confinement.cc extraction/helper/confinement_probe.cc extraction/helper/module.cc "

status=0
parts=()
for folder in */; do
  folder=${folder%/}
  if [[ $folder == extraction ]]; then
    for sub in extraction/*/; do parts+=("${sub%/}"); done
  else
    parts+=("$folder")
  fi
done

for part in "${parts[@]}"; do
  if [[ ! -v allowed[$part] ]]; then
    echo "src/$part: a folder without a place in scripts/check-layers.sh" >&2
    status=1
    continue
  fi
  while IFS= read -r line; do
    file=${line%%:*}
    included=$(sed -E 's/.*#[[:space:]]*include "(.*)\/[^/]+".*/\1/' <<<"$line")
    if [[ $included != "$part" && " ${allowed[$part]} " != *" $included "* ]]; then
      echo "src/$file: $part may not include $included: ${line#*:}" >&2
      status=1
    fi
  done < <(grep -H -E '^[[:space:]]*#[[:space:]]*include "[^"]+/' "$part"/*.h "$part"/*.cc 2>/dev/null || true)
  [[ -v system_headers_in[$part] ]] && continue
  while IFS= read -r line; do
    file=${line%%:*}
    [[ $system_header_files == *" $file "* ]] && continue
    echo "src/$file: system or library header outside the wrappers: ${line#*:}" >&2
    status=1
  done < <(grep -H -E '^[[:space:]]*#[[:space:]]*include <([^>]*\.h|[^>]*/[^>]*)>' "$part"/*.h "$part"/*.cc 2>/dev/null || true)
done
exit $status
