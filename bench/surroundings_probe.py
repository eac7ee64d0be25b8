#!/usr/bin/env python3
"""Pages photographed or scanned with dark surroundings, read by fileprobe
builds and the stock CLI side by side: an outside check, not part of the
recognition set.

  bench/surroundings_probe.py --build DIR [--baseline DIR] [--pages DIR]
      [--out DIR] [--cli]

Each upright image page of the set's groups of many lines (paragraph, page,
multi-column, small text, degraded, unevenly lit, 1-bit) is copied with
dark grainy bands beside it, as a book's edge or a table shows beside the
paper: on the left, on the right, on both sides, or all round (a frame).
A band is 3-12 % of the page's width and of a grey of 10-43 %, with a
shadow 1-4 % wide between it and the paper. The page's seed chooses the
kind, the sizes and the grain, so the copies are the same on every run;
they keep their page's half and truth.

Reported: mean CER (white space ignored) by half, for each build and, with
--cli, for `tesseract --psm 3` and `--psm 6` (kor+eng, one thread), and the
pages that changed most between the builds.
"""
import argparse
import concurrent.futures
import json
import os
import random
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import cer  # noqa: E402
import ocr_pages  # noqa: E402

GROUPS = ("paragraph", "page", "multi-column", "small text", "degraded", "unevenly lit", "1-bit")
ENV = dict(os.environ, OMP_THREAD_LIMIT="1")


def sh(command):
    subprocess.run(command, shell=True, check=True)


def size_of(path):
    out = subprocess.run(["identify", "-format", "%w %h", path], capture_output=True, text=True)
    width, height = out.stdout.split()
    return int(width), int(height)


def surround(page, source, out):
    """Writes `page` of folder `source` with dark surroundings into `out`."""
    rng = random.Random(page["seed"] * 7919)
    path = os.path.join(source, page["file"])
    width, height = size_of(path)
    kind = rng.choice(["left", "right", "both", "frame"])
    stem = os.path.join(out, os.path.splitext(page["file"])[0] + "-" + kind)
    parts = []

    def band(w, h, tag):
        grey, grain = rng.randint(25, 110), rng.randint(5, 30) / 10
        name = "%s-%s.png" % (stem, tag)
        sh("convert -seed %d -size %dx%d xc:gray%d -attenuate %.1f +noise Gaussian -blur 0x%s "
           "-colorspace gray %s" % (rng.randrange(1 << 30), w, h, grey * 100 // 255, grain,
                                    rng.choice(["0.5", "1", "2"]), name))
        parts.append(name)
        return name

    def shadow(w, h, tag, towards_left):
        name = "%s-%s.png" % (stem, tag)
        sh("convert -size %dx%d gradient:gray20-white -rotate %d -colorspace gray %s"
           % (h, w, -90 if towards_left else 90, name))
        parts.append(name)
        return name

    left = int(width * rng.uniform(0.03, 0.12))
    right = int(width * rng.uniform(0.03, 0.12))
    shade = int(width * rng.uniform(0.01, 0.04))
    row = []
    if kind in ("left", "both", "frame"):
        row += [band(left, height, "l"), shadow(shade, height, "ls", True)]
    row.append(path)
    if kind in ("right", "both", "frame"):
        row += [shadow(shade, height, "rs", False), band(right, height, "r")]
    final = stem + ".png"
    sh("convert %s +append -colorspace gray %s" % (" ".join(row), final))
    if kind == "frame":
        rim = int(height * rng.uniform(0.03, 0.08))
        framed_width, _ = size_of(final)
        top, bottom = band(framed_width, rim, "t"), band(framed_width, rim, "b")
        sh("convert %s %s %s -append -colorspace gray %s" % (top, final, bottom, final))
    for part in parts:
        os.remove(part)
    return {"name": os.path.basename(stem), "half": page["half"], "file": final,
            "truth": os.path.join(source, page["truth"])}


def fileprobe_text(build, path):
    out = subprocess.run([os.path.join(build, "bin", "fileprobe"), path], capture_output=True,
                         env=ENV)
    try:
        return json.loads(out.stdout)["text"]
    except (ValueError, KeyError):
        return ""


def cli_text(mode, path):
    return subprocess.run(["tesseract", path, "-", "-l", "kor+eng", "--psm", str(mode)],
                          capture_output=True, env=ENV).stdout.decode("utf-8", "replace")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--build", required=True)
    parser.add_argument("--baseline")
    parser.add_argument("--pages", help="folder of the set's pages (default: generated)")
    parser.add_argument("--out", default="/tmp/fileprobe-surroundings-probe")
    parser.add_argument("--cli", action="store_true", help="read the pages with the CLI too")
    args = parser.parse_args()
    source = args.pages or ocr_pages.default_out()
    manifest = json.load(open(os.path.join(source, "manifest.json")))
    chosen = [p for p in manifest if p["group"] in GROUPS and not p.get("twin")
              and p["file"].endswith(".png")]
    os.makedirs(args.out, exist_ok=True)
    pages = [surround(p, source, args.out) for p in chosen]

    readers = {"fileprobe": lambda p: fileprobe_text(args.build, p)}
    if args.baseline:
        readers["baseline"] = lambda p: fileprobe_text(args.baseline, p)
    if args.cli:
        readers["psm3"] = lambda p: cli_text(3, p)
        readers["psm6"] = lambda p: cli_text(6, p)

    def read(page):
        truth = open(page["truth"], encoding="utf-8").read()
        return page["name"], {column: cer.cer(truth, reader(page["file"]), ignore_space=True)
                              for column, reader in readers.items()}

    with concurrent.futures.ThreadPoolExecutor(2) as pool:
        results = dict(pool.map(read, pages))
    for half in ("tune", "valid"):
        names = [p["name"] for p in pages if p["half"] == half]
        print("%-5s %3d pages  " % (half, len(names)) + "  ".join(
            "%s %.4f" % (c, sum(results[n][c] for n in names) / len(names)) for c in readers))
    if args.baseline:
        moved = sorted(results, key=lambda n: results[n]["fileprobe"] - results[n]["baseline"])
        for name in moved[:5] + moved[-5:]:
            print("  %+.3f  %.3f -> %.3f  %s" % (
                results[name]["fileprobe"] - results[name]["baseline"],
                results[name]["baseline"], results[name]["fileprobe"], name))


if __name__ == "__main__":
    main()
