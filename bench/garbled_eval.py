#!/usr/bin/env python3
"""Text layers that are junk, and controls whose layer is right.

  garbled_eval.py [--corpus DIR] [--binary FILEPROBE] [--baseline FILEPROBE]
                  [--repeat N]

Runs FILEPROBE (default: build/bin/fileprobe of this checkout, or
$FILEPROBE_BINARY) as a child on every PDF of DIR/INDEX.tsv (default:
$FILEPROBE_GARBLED_DEV, else ../shared/garbled-dev beside the checkout),
read in place, and checks each answer against the INDEX's `expected` column:

  ocr         method "ocr" (the junk pages were recognised), no junk
  clean:WORD  any method, no junk, WORD still in the text
  text        method "text", no junk, and word order against
              `pdftotext -l 3` (junk characters aside) at least 0.97
  info        measured and shown, not judged

Junk characters: private use (U+E000-F8FF, planes 15-16), U+FFFD, and the C0
and C1 controls other than line feed and tab, in the text or the warning.

With --baseline (or $FILEPROBE_BASELINE_BINARY) the control PDFs, whose
layers are right and never recognised, are also timed with both builds
side by side, alternating, N runs each (default 9); the figures are the
median wall-clock and processor times (user and system, the helper's
included) per file and the ratios of the sums of the medians (target at
most 1.05; on a shared machine the processor time is the steadier one). Needs pdftotext (poppler-utils).
"""
import argparse
import csv
import json
import os
import resource
import statistics
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from text_layer_eval import ORDER_TARGET, order_agreement, pdftotext  # noqa: E402

TIME_RATIO_TARGET = 1.05


def is_junk(character):
    c = ord(character)
    control = (c < 0x20 and c not in (0x09, 0x0A)) or 0x7F <= c <= 0x9F
    private = 0xE000 <= c <= 0xF8FF or c >= 0xF0000
    return control or private or c == 0xFFFD


def junk_count(text):
    return sum(1 for c in text if is_junk(c))


def without_junk(text):
    return "".join(" " if is_junk(c) else c for c in text)


def children_cpu():
    usage = resource.getrusage(resource.RUSAGE_CHILDREN)
    return usage.ru_utime + usage.ru_stime


def run(binary, path):
    """The answer, the wall-clock time and the processor time (user and
    system, the helper's included) of one run, and its standard error."""
    cpu_before = children_cpu()
    started = time.monotonic()
    done = subprocess.run([binary, path], capture_output=True, check=False)
    elapsed = time.monotonic() - started
    cpu = children_cpu() - cpu_before
    try:
        result = json.loads(done.stdout)
    except ValueError:
        result = {"text": "", "method": "broken"}
    return result, elapsed, cpu, done.stderr


def judge(expected, result, reference):
    text = result.get("text", "")
    junk = junk_count(text) + junk_count(result.get("warning", ""))
    order = order_agreement(without_junk(reference), text)
    if expected == "ocr":
        passed = result["method"] == "ocr" and junk == 0
    elif expected.startswith("clean:"):
        passed = junk == 0 and expected[len("clean:"):] in text
    elif expected == "text":
        passed = result["method"] == "text" and junk == 0 and order >= ORDER_TARGET
    else:
        passed = None
    return passed, junk, order


def timing(binary, baseline, paths, repeat):
    """Per path, the median wall-clock and processor times of the baseline
    and of the build, run alternately so that both see the same load."""
    runs = {path: ([], []) for path in paths}
    for _ in range(repeat):
        for path in paths:
            for index, build in enumerate((baseline, binary)):
                runs[path][index].append(run(build, path)[1:3])
    medians = {}
    for path, (before, now) in runs.items():
        medians[path] = tuple(statistics.median(t[kind] for t in times)
                              for times in (before, now) for kind in (0, 1))
    return medians


def main():
    repo = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--corpus", default=os.environ.get(
        "FILEPROBE_GARBLED_DEV", os.path.join(repo, "..", "shared", "garbled-dev")))
    parser.add_argument("--binary", default=os.environ.get(
        "FILEPROBE_BINARY", os.path.join(repo, "build", "bin", "fileprobe")))
    parser.add_argument("--baseline", default=os.environ.get("FILEPROBE_BASELINE_BINARY"))
    parser.add_argument("--repeat", type=int, default=9)
    arguments = parser.parse_args()

    with open(os.path.join(arguments.corpus, "INDEX.tsv"), encoding="utf-8") as index:
        rows = list(csv.DictReader(index, delimiter="\t"))
    print("%-46s %-12s %-8s %5s %6s %s" % ("file", "expected", "method", "junk", "order",
                                            "result"))
    failed = []
    stderr_bytes = 0
    for row in rows:
        path = os.path.join(arguments.corpus, row["file"])
        result, _, _, stderr = run(arguments.binary, path)
        stderr_bytes += len(stderr)
        passed, junk, order = judge(row["expected"], result, pdftotext(path))
        verdict = {True: "pass", False: "FAIL", None: "info"}[passed]
        if passed is False:
            failed.append(row["file"])
        print("%-46s %-12s %-8s %5d %6.3f %s" % (row["file"][:46], row["expected"][:12],
                                                 result["method"], junk, order, verdict))
        if passed is None:
            print("    %s" % result.get("text", "")[:300].replace("\n", " "))
    judged = sum(1 for row in rows if row["expected"] != "info")
    print("summary: %d of %d judged cases pass; failing: %s; stderr bytes: %d" % (
        judged - len(failed), judged, ", ".join(failed) or "none", stderr_bytes))

    if arguments.baseline:
        controls = [os.path.join(arguments.corpus, row["file"]) for row in rows
                    if row["file"].startswith("control/")]
        medians = timing(arguments.binary, arguments.baseline, controls, arguments.repeat)
        print("%-46s %9s %9s %6s %9s %9s %6s" % ("control", "before s", "now s", "ratio",
                                                 "cpu bef", "cpu now", "ratio"))
        for path, (wall_before, cpu_before, wall_now, cpu_now) in medians.items():
            print("%-46s %9.3f %9.3f %6.3f %9.3f %9.3f %6.3f" % (
                os.path.relpath(path, arguments.corpus)[:46], wall_before, wall_now,
                wall_now / wall_before, cpu_before, cpu_now, cpu_now / max(cpu_before, 1e-6)))
        totals = [sum(m[i] for m in medians.values()) for i in range(4)]
        print("timing: controls wall %.3f s before, %.3f s now, ratio %.3f; processor "
              "%.3f s before, %.3f s now, ratio %.3f (target <= %.2f)" % (
                  totals[0], totals[2], totals[2] / totals[0], totals[1], totals[3],
                  totals[3] / totals[1], TIME_RATIO_TARGET))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
