#!/usr/bin/env bash
# Recognition quality on the evaluation set in bench/ocr_set: the character
# error rate (CER) of fileprobe and of the tesseract CLI at several page
# segmentation modes, per sample and on average. The CLI reads the upright
# copy of a turned sample (it ignores EXIF orientation); fileprobe reads the
# turned file itself.
#   bench/ocr_eval.sh [BUILD_DIR]
set -euo pipefail
build=$(realpath "${1:-build}")
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
modes=(3 4 6 11)
export OMP_THREAD_LIMIT=1

header="fileprobe"
for m in "${modes[@]}"; do header+=$(printf ' %9s' "cli-psm$m"); done
printf '%-44s %s\n' sample "$header"
all=()
for truth in "$here"/ocr_set/sample_*.txt; do
  base=${truth%.txt}
  image=$base.png
  [[ -f $image ]] || image=$base.jpg
  upright=$image
  [[ -f $base.upright.png ]] && upright=$base.upright.png
  "$build/bin/fileprobe" "$image" > "$work/fileprobe"
  hypotheses=("$work/fileprobe")
  for m in "${modes[@]}"; do
    tesseract "$upright" - -l kor+eng --psm "$m" > "$work/cli$m" 2>/dev/null
    hypotheses+=("$work/cli$m")
  done
  scores=$(python3 "$here/cer.py" "$truth" "${hypotheses[@]}")
  all+=("$(basename "$base") $scores")
  printf '%-44s' "$(basename "$base")"
  for s in $scores; do printf ' %9s' "$s"; done
  echo
done
printf '%s\n' "${all[@]}" | python3 -c '
import sys
rows = [line.split() for line in sys.stdin if line.strip()]
names = ["fileprobe"] + ["cli-psm%s" % m for m in sys.argv[1:]]
def mean(selected, k):
    return sum(float(r[k + 1]) for r in selected) / len(selected)
groups = [("mean, all samples", rows),
          ("mean, upright samples", [r for r in rows if "exif" not in r[0]]),
          ("mean, EXIF-turned samples", [r for r in rows if "exif" in r[0]])]
for title, selected in groups:
    print("%-44s" % title + "".join(" %9.4f" % mean(selected, k) for k in range(len(names))))
' "${modes[@]}"
