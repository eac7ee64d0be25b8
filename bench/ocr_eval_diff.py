#!/usr/bin/env python3
"""Two runs of bench/ocr_eval_split.py side by side, from their --json files:
fileprobe's mean CER by half and group in each, the change, and the pages
that changed most.

  bench/ocr_eval_diff.py BEFORE.json AFTER.json [--half tune|valid|all]
                         [--column fileprobe] [--top N]

Only documents in both files are compared. A change that helps one half and
hurts the other is noise.
"""
import argparse
import json

GROUP_ORDER = ["strip", "paragraph", "page", "multi-column", "heading+list", "small text",
               "large text", "degraded", "1-bit", "1-bit page", "turned", "EXIF-rotated", "real",
               "other language"]
STEADY = 0.01  # a page whose CER moved less than this is unchanged


def load(path, column):
    data = json.load(open(path, encoding="utf-8"))
    return {d["name"]: (d["half"], d["group"], d["cer"][column]) for d in data["documents"]}


def mean(values):
    values = list(values)
    return sum(values) / len(values) if values else float("nan")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("before")
    parser.add_argument("after")
    parser.add_argument("--half", choices=("tune", "valid", "all"), default="all")
    parser.add_argument("--column", default="fileprobe")
    parser.add_argument("--top", type=int, default=10)
    args = parser.parse_args()
    before, after = load(args.before, args.column), load(args.after, args.column)
    names = [n for n in before if n in after]
    halves = ("tune", "valid") if args.half == "all" else (args.half,)
    for half in halves:
        chosen = [n for n in names if before[n][0] == half]
        print("== %s: %s mean CER, before -> after" % (half, args.column))
        print("%-16s %4s %8s %8s %8s %7s %7s" % ("group", "n", "before", "after", "change",
                                                  "better", "worse"))
        groups = sorted({before[n][1] for n in chosen},
                        key=lambda g: GROUP_ORDER.index(g) if g in GROUP_ORDER else 99)
        for group in groups + ["ALL covered"]:
            members = [n for n in chosen if (before[n][1] == group if group != "ALL covered"
                                             else before[n][1] != "other language")]
            b, a = mean(before[n][2] for n in members), mean(after[n][2] for n in members)
            better = sum(after[n][2] < before[n][2] - STEADY for n in members)
            worse = sum(after[n][2] > before[n][2] + STEADY for n in members)
            print("%-16s %4d %8.4f %8.4f %+8.4f %7d %7d" % (group[:16], len(members), b, a,
                                                          a - b, better, worse))
        moved = sorted(chosen, key=lambda n: after[n][2] - before[n][2])
        print("-- most worse")
        for n in reversed(moved[-args.top:]):
            if after[n][2] > before[n][2] + STEADY:
                print("%+8.4f  %6.4f -> %6.4f  %s" % (after[n][2] - before[n][2], before[n][2],
                                                      after[n][2], n))
        print("-- most better")
        for n in moved[:args.top]:
            if after[n][2] < before[n][2] - STEADY:
                print("%+8.4f  %6.4f -> %6.4f  %s" % (after[n][2] - before[n][2], before[n][2],
                                                      after[n][2], n))
        print()


if __name__ == "__main__":
    main()
