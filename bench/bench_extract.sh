#!/usr/bin/env bash
# Text-extraction figures, each measured side by side in one run:
#   1. image OCR of a document photo against the tesseract CLI (target <= 1.05x)
#   2. the first three pages of a 200-page text PDF against pdftotext (<= 1.5x)
#   3. peak memory on a 12000x12000 PNG and a 60 MB JPEG (< 300 MiB each)
# The inputs are made here, in a temporary folder.
#   bench/bench_extract.sh [BUILD_DIR] [OCR_RUNS] [PDF_RUNS]
set -euo pipefail
build=$(realpath "${1:-build}")
ocr_runs=${2:-7}
pdf_runs=${3:-200}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fileprobe=$build/bin/fileprobe
spawn_bench=$build/bench/spawn_bench

source "$(dirname "$0")/plan.sh"

# 1. A photographed page: prose rendered at 150 dpi, slightly turned, noisy,
# on an off-white sheet, stored as a JPEG of 1700 px width.
pango-view -q --font="NanumMyeongjo 13" --dpi=150 --margin=40 --width=720 --wrap=word \
  --background=white -o "$work/page.png" --text="$(for _ in 1 2 3; do
    cat "$here/ocr_set/prose_ko.txt"; echo; cat "$here/ocr_set/prose_en.txt"; echo; done)"
convert "$work/page.png" -background '#f4f1ea' -rotate 1.2 -attenuate 0.4 +noise Gaussian \
  -blur 0x0.7 -resize 1700x -quality 88 "$work/photo.jpg"
plan cli_ocr "$ocr_runs" /usr/bin/tesseract "$work/photo.jpg" - -l kor+eng
plan cli_ocr_block "$ocr_runs" /usr/bin/tesseract "$work/photo.jpg" - -l kor+eng --psm 6
plan fileprobe_ocr "$ocr_runs" "$fileprobe" "$work/photo.jpg"
echo "Image OCR of a $(identify -format '%wx%h' "$work/photo.jpg") document photo ($ocr_runs runs each):"
# The CLI reports its guessed resolution on standard error.
OMP_THREAD_LIMIT=1 "$spawn_bench" 2>/dev/null \
  "tesseract IMG - -l kor+eng [OMP_THREAD_LIMIT 1]=$work/cli_ocr" \
  "fileprobe IMG=$work/fileprobe_ocr" \
  "tesseract ... --psm 6, as fileprobe reads=$work/cli_ocr_block"

# 2. A 200-page PDF with a text layer on every page.
pages=()
for n in $(seq 200); do
  lines=""
  for l in $(seq 40); do lines+="Page $n, line $l: the quick brown fox jumps over the lazy dog.|"; done
  pages+=("text:${lines%|}")
done
python3 "$here/../tests/fixtures/write_pdf.py" "$work/long.pdf" "${pages[@]}"
plan pdftotext "$pdf_runs" /usr/bin/pdftotext -l 3 "$work/long.pdf" -
plan fileprobe_pdf "$pdf_runs" "$fileprobe" "$work/long.pdf"
echo
echo "First three pages of a 200-page text PDF ($pdf_runs runs each):"
"$spawn_bench" "pdftotext -l 3=$work/pdftotext" "fileprobe=$work/fileprobe_pdf"

# 3. Peak resident memory of the job and its helper (GNU time reports the
# largest of the process and the descendants it waited for).
vips text "$work/words.v" "Large scanned sheet 큰 이미지" --dpi 600 --font "NanumGothic"
vips invert "$work/words.v" "$work/inverted.v"
vips embed "$work/inverted.v" "$work/big.png" 400 400 12000 12000 --extend white
# A 12000x9000 photographed page whose sensor noise makes it 60 MB.
vips text "$work/prose.v" "$(cat "$here/ocr_set/prose_mixed.txt")" --width 10000 --dpi 1400 \
  --font NanumGothic
vips invert "$work/prose.v" "$work/prose_dark.v"
vips embed "$work/prose_dark.v" "$work/sheet.v" 800 800 12000 9000 --extend white
vips gaussnoise "$work/noise.v" 12000 9000 --mean 0 --sigma 45
vips add "$work/sheet.v" "$work/noise.v" "$work/noisy.v"
vips cast "$work/noisy.v" "$work/noisy8.v" uchar
vips bandjoin "$work/noisy8.v $work/noisy8.v $work/noisy8.v" "$work/rgb.v"
vips copy "$work/rgb.v" "$work/big.jpg[Q=90]"
echo
echo "Peak memory (limit 300 MiB):"
for file in "$work/big.png" "$work/big.jpg"; do
  kib=$( { /usr/bin/time -f '%M' "$fileprobe" "$file" >/dev/null; } 2>&1 | tail -1)
  printf '  %-8s %s, %5.1f MB: peak %d KiB = %.1f MiB\n' "$(basename "$file")" \
    "$(vipsheader -f width "$file")x$(vipsheader -f height "$file")" \
    "$(awk "BEGIN { print $(stat -c %s "$file") / 1000000 }")" "$kib" \
    "$(awk "BEGIN { print $kib / 1024 }")"
done
