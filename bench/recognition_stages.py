#!/usr/bin/env python3
"""Where recognition spends its processor time, stage by stage, beside the
stock CLI on the same documents: each document is read once by fileprobe
and once by `tesseract --psm 3` under `perf record` (one thread), and each
sample is given to the first stage whose function is on its call chain.

  bench/recognition_stages.py [--build DIR] --from-run RUN.json
      [--only REGEX] [--every N]

The documents are those of a saved bench/ocr_eval_split.py --json run (by
default every eighth generated page and every real scan). perf unwinds the
chains by DWARF, so a document takes a few seconds more than it reads;
a sample of twenty documents tells the shares to a few hundredths.
Functions the compiler inlined (the reading by bands is) count for their
caller.
"""
import argparse
import collections
import json
import os
import re
import subprocess
import tempfile

ENV = dict(os.environ, OMP_THREAD_LIMIT="1")
FREQUENCY = "1000"  # samples a second: one a millisecond

# fileprobe's stages, the first that matches a sample's chain wins: the
# narrower stages come before the stages that call them.
STAGES = [
    ("orientation model", "modelLook"),
    ("Korean model start", "koreanEngine"),
    ("Korean re-reading", "correctDoubtfulWords"),
    ("turned and laid out", "turned"),
    ("skew", "levelled"),
    ("uneven light", "evenlyLit"),
    ("blocks reduced", "reducedBlocks"),
    ("layout", "layOut"),
    ("sample lines", "readSample"),
    ("reading (regions, bands)", "readPlan"),
    ("ground", "greyOf"),
    ("engine start", "TessBaseAPI::Init"),
    ("image decoding", "vips_"),
]
CLI_STAGES = [
    ("engine start", "TessBaseAPI::Init"),
    ("line recognition", "RecognizeLine"),
    ("layout", "FindLines"),
]


def frame(function):
    """A call-chain frame of `function` (of any function it begins, when it
    ends in "_"): perf prints a frame as name+0xoffset."""
    rest = r"\w*" if function.endswith("_") else ""
    return re.compile(r"(?<![A-Za-z0-9_])" + re.escape(function) + rest + r"(\+0x|\()")


def samples(command):
    with tempfile.TemporaryDirectory() as scratch:
        data = os.path.join(scratch, "perf.data")
        subprocess.run(["perf", "record", "-q", "-o", data, "-F", FREQUENCY, "--call-graph",
                        "dwarf,32768", "--"] + command, capture_output=True, env=ENV)
        script = subprocess.run(["perf", "script", "-i", data], capture_output=True,
                                text=True, errors="replace").stdout
    return [chain for chain in script.split("\n\n") if chain.strip()]


def stage_counts(chains, stages):
    frames = [(name, frame(function)) for name, function in stages]
    counts = collections.Counter()
    for chain in chains:
        counts[next((name for name, at in frames if at.search(chain)), "other")] += 1
    return counts


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--build", default=os.path.join(os.path.dirname(__file__), "..", "build"))
    parser.add_argument("--from-run", required=True)
    parser.add_argument("--only", default=r"^p\d+-|scans/|derived/")
    parser.add_argument("--every", type=int, default=8, help="every Nth generated page")
    args = parser.parse_args()

    documents = [d for d in json.load(open(args.from_run))["documents"]
                 if re.search(args.only, d["name"])]
    generated = [d for d in documents if re.match(r"p\d+-", d["name"])]
    chosen = generated[::args.every] + [d for d in documents if d not in generated]
    fileprobe = os.path.join(args.build, "bin", "fileprobe")
    ours, theirs = collections.Counter(), collections.Counter()
    for document in chosen:
        ours.update(stage_counts(samples([fileprobe, document["path"]]), STAGES))
        theirs.update(stage_counts(samples(["tesseract", document["path"], "-", "-l", "kor+eng",
                                            "--psm", "3"]), CLI_STAGES))
    cli = sum(theirs.values())
    print(f"{len(chosen)} documents; processor seconds, and as a share of the CLI's whole time")
    print(f"fileprobe {sum(ours.values()) / 1000:7.1f} s  {sum(ours.values()) / cli:5.2f}x")
    for name, count in ours.most_common():
        print(f"  {name:26s} {count / 1000:7.1f} s  {count / cli:5.3f}")
    print(f"CLI --psm 3 {cli / 1000:5.1f} s")
    for name, count in theirs.most_common():
        print(f"  {name:26s} {count / 1000:7.1f} s  {count / cli:5.3f}")


if __name__ == "__main__":
    main()
