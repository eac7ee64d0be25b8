#!/usr/bin/env bash
# What the helper's confinement costs per run: the extraction helper on a
# text PDF and on a small image, confined and unconfined, side by side in
# one run. Unconfined runs need the probe build of the helper, which exists
# only in a build with tests (never installed). Target: under 5 ms added.
#   bench/bench_confinement.sh [BUILD_DIR] [PDF_RUNS] [IMAGE_RUNS]
set -euo pipefail
build=$(realpath "${1:-build}")
pdf_runs=${2:-200}
image_runs=${3:-15}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
helper=$build/libexec/fileprobe/fileprobe-extract
probe=$build/libexec/fileprobe/fileprobe-extract-probe
[[ -x $probe ]] || { echo "no $probe: build with -DFILEPROBE_TESTS=ON"; exit 1; }
spawn_bench=$build/bench/spawn_bench
source "$here/plan.sh"

# The helper's own environment, as the extraction job starts it.
run() { env -i OMP_THREAD_LIMIT=1 "$spawn_bench" "$@"; }

plan pdf_confined "$pdf_runs" "$probe" pdf
plan pdf_unconfined "$pdf_runs" "$probe" pdf-unconfined
plan pdf_shipped "$pdf_runs" "$helper" pdf
echo "Text layer of a 3-page PDF ($pdf_runs runs each):"
run --stdin "$here/../tests/fixtures/text_3_pages.pdf" \
  "unconfined=$work/pdf_unconfined" "confined=$work/pdf_confined" \
  "shipped helper (confined)=$work/pdf_shipped"

# A small scan, recognised: 800 px wide, so libvips does not shrink it.
convert "$here/../tests/fixtures/scan_page.png" -resize 800x "$work/small.png"
plan image_confined "$image_runs" "$probe" image
plan image_unconfined "$image_runs" "$probe" image-unconfined
echo
echo "Recognition of an $(identify -format '%wx%h' "$work/small.png") image ($image_runs runs each):"
run --stdin "$work/small.png" \
  "unconfined=$work/image_unconfined" "confined=$work/image_confined"
