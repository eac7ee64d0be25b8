#!/usr/bin/env python3
"""Processor time of two fileprobe builds on the same documents, side by
side: each document is read by both builds one after the other, the order
alternating, so that both see the same load. Every run is one thread
(OMP_THREAD_LIMIT=1); the time is the processor time of fileprobe and its
helper (user and system). Also says which documents the builds answer
differently.

  bench/recognition_time_ab.py BEFORE_BUILD AFTER_BUILD [--rounds N]
      [--only REGEX] [--from-run RUN.json] [--json OUT]

The documents are those of a saved bench/ocr_eval_split.py --json run
(by default the time sample, every generated page numbered ...0 or ...5 and
every real scan); the CLI's --psm 3 time of that run is given for scale.
Processor time moves by a few hundredths between runs; compare builds in
one run, not figures of two runs.
"""
import argparse
import json
import os
import re
import resource
import statistics
import subprocess

ENV = dict(os.environ, OMP_THREAD_LIMIT="1")
TIME_SAMPLE = r"p\d\d[05]-|scans/"


def processor_seconds(build, path):
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    out = subprocess.run([os.path.join(build, "bin", "fileprobe"), path],
                         capture_output=True, env=ENV).stdout
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    spent = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
    return spent, out


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("before")
    parser.add_argument("after")
    parser.add_argument("--rounds", type=int, default=1)
    parser.add_argument("--only", default=TIME_SAMPLE)
    parser.add_argument("--from-run", required=True,
                        help="a bench/ocr_eval_split.py --json run naming the documents")
    parser.add_argument("--json")
    args = parser.parse_args()

    documents = [d for d in json.load(open(args.from_run))["documents"]
                 if re.search(args.only, d["name"])]
    builds = (args.before, args.after)
    rows = []
    for document in documents:
        times = {b: [] for b in builds}
        answers = {}
        for round_ in range(args.rounds):
            for build in (builds if round_ % 2 == 0 else builds[::-1]):
                spent, answers[build] = processor_seconds(build, document["path"])
                times[build].append(spent)
        rows.append({"name": document["name"],
                     "psm3": document["seconds"]["psm3"],
                     "seconds": [statistics.median(times[b]) for b in builds],
                     "same": answers[builds[0]] == answers[builds[1]]})

    psm3 = sum(r["psm3"] for r in rows)
    for i, build in enumerate(builds):
        total = sum(r["seconds"][i] for r in rows)
        print("%-40s %8.2f s  %.3fx the CLI's --psm 3 (%.2f s)" % (build, total, total / psm3, psm3))
    changes = sorted(rows, key=lambda r: r["seconds"][1] - r["seconds"][0])
    print("most faster / slower (after minus before):")
    for r in changes[:8] + changes[-4:]:
        print("  %+6.2f s  %s" % (r["seconds"][1] - r["seconds"][0], r["name"]))
    print("documents answered differently:",
          ", ".join(r["name"] for r in rows if not r["same"]) or "none")
    if args.json:
        json.dump(rows, open(args.json, "w"), indent=1)


if __name__ == "__main__":
    main()
