#!/usr/bin/env bash
# Makes the recognition evaluation set beside this script: each sample is an
# image rendered from one of the prose texts, in several Nanum fonts and
# sizes, some noisy or blurred, some stored turned with an EXIF orientation.
# NAME.txt is its ground truth; NAME.upright.png (for turned samples) is the
# same page stored upright, for tools that ignore the orientation tag.
#   bench/ocr_set/make_set.sh
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
cd "$here"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
rm -f sample_*

n=0
sample() { # sample PROSE FONT SIZE EFFECT: one evaluation image
  local prose=$1 font=$2 size=$3 effect=$4
  n=$((n + 1))
  local name
  name=$(printf 'sample_%02d_%s_%s_%s_%s' "$n" "$prose" "${font// /}" "$size" "$effect")
  pango-view -q --font="$font $size" --dpi=150 --margin=30 --width=1600 --wrap=word \
    --background=white --foreground=black -o "$work/page.png" --text="$(cat "prose_$prose.txt")"
  cp "prose_$prose.txt" "$name.txt"
  case $effect in
    clean) convert "$work/page.png" -colorspace Gray "$name.png" ;;
    noisy) convert "$work/page.png" -attenuate 0.6 +noise Gaussian -colorspace Gray "$name.png" ;;
    blurred) convert "$work/page.png" -blur 0x1.2 -colorspace Gray -quality 80 "$name.jpg" ;;
    photo)
      convert "$work/page.png" -background '#efece4' -rotate 0.8 -attenuate 0.4 +noise Gaussian \
        -blur 0x0.6 -quality 85 "$name.jpg" ;;
    exif6 | exif8 | exif3)
      local orientation=${effect#exif} turn
      case $orientation in 6) turn=-90 ;; 8) turn=90 ;; 3) turn=180 ;; esac
      convert "$work/page.png" -colorspace Gray "$name.upright.png"
      convert "$work/page.png" -colorspace Gray -rotate "$turn" -quality 90 "$work/turned.jpg"
      python3 ../../tests/fixtures/set_orientation.py "$work/turned.jpg" "$name.jpg" "$orientation"
      ;;
  esac
}

sample ko NanumGothic 14 clean
sample en NanumGothic 14 clean
sample mixed NanumMyeongjo 16 clean
sample ko NanumMyeongjo 12 clean
sample en NanumBarunGothic 11 clean
sample mixed NanumSquareR 20 clean
sample ko NanumGothic 16 noisy
sample mixed NanumBarunGothic 14 noisy
sample en NanumMyeongjo 14 blurred
sample ko NanumSquareR 14 blurred
sample mixed NanumGothic 14 photo
sample ko NanumMyeongjo 18 photo
sample mixed NanumGothic 14 exif6
sample ko NanumBarunGothic 14 exif8
sample en NanumMyeongjo 16 exif3
