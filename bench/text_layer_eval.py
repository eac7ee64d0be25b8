#!/usr/bin/env python3
"""Reading order and padding of fileprobe's PDF text against pdftotext.

  text_layer_eval.py [--corpus DIR] [--binary FILEPROBE] [--baseline FILEPROBE]

Runs FILEPROBE (default: build/bin/fileprobe of this checkout, or
$FILEPROBE_BINARY) as a child on every PDF in DIR/pdf (default:
$FILEPROBE_EXTRACTION_DEV, else ../shared/extraction-dev beside the
checkout) and compares its text with `pdftotext -l 3 FILE -`, poppler's
default reading order over the same three pages. PDFs where pdftotext finds
no word have no text layer and are skipped. With --baseline (or
$FILEPROBE_BASELINE_BINARY) a second build is measured in the same run, so
that two versions stand side by side.

Figures, per file:
  order   word-order agreement: the share of the reference's adjacent word
          pairs (bigrams, counted with multiplicity) that also occur in
          fileprobe's text. Words are runs of non-white-space after NFC, so
          line breaks, blank lines and padding do not count; interleaved
          columns break nearly every pair, a block moved elsewhere breaks
          only the pairs at its two edges.
  ws      white-space share: white-space characters / all characters of
          the text, for fileprobe and for pdftotext (ref).
  method  fileprobe's method: pages with fewer than 40 characters of text
          layer are recognised instead, so "ocr" files compare OCR output.

Targets: order >= 0.97 on every file; ws at most 0.05 above ref. The
summary line gives the lowest order, the largest ws excess and the files
that miss either target. Needs pdftotext (poppler-utils).
"""
import argparse
import collections
import json
import os
import subprocess
import sys
import unicodedata

ORDER_TARGET = 0.97
WHITESPACE_EXCESS_TARGET = 0.05
PAGES = "3"  # fileprobe reads the first three pages


def words(text):
    return unicodedata.normalize("NFC", text).split()


def bigrams(text):
    tokens = words(text)
    return collections.Counter(zip(tokens, tokens[1:]))


def order_agreement(reference, candidate):
    wanted = bigrams(reference)
    total = sum(wanted.values())
    if total == 0:
        return 1.0
    return sum((wanted & bigrams(candidate)).values()) / total


def whitespace_share(text):
    return sum(c.isspace() for c in text) / len(text) if text else 0.0


def pdftotext(path):
    done = subprocess.run(["pdftotext", "-q", "-enc", "UTF-8", "-l", PAGES, path, "-"],
                          capture_output=True, check=False)
    return done.stdout.decode("utf-8", "replace")


def fileprobe(binary, path):
    done = subprocess.run([binary, path], capture_output=True, check=False)
    try:
        result = json.loads(done.stdout)
        return result["text"], result["method"]
    except (ValueError, KeyError, TypeError):
        return "", "broken"


def measure(binary, path, reference):
    text, method = fileprobe(binary, path)
    return {"order": order_agreement(reference, text), "ws": whitespace_share(text),
            "method": method}


def main():
    repo = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--corpus", default=os.environ.get(
        "FILEPROBE_EXTRACTION_DEV", os.path.join(repo, "..", "shared", "extraction-dev")))
    parser.add_argument("--binary", default=os.environ.get(
        "FILEPROBE_BINARY", os.path.join(repo, "build", "bin", "fileprobe")))
    parser.add_argument("--baseline", default=os.environ.get("FILEPROBE_BASELINE_BINARY"))
    arguments = parser.parse_args()
    folder = os.path.join(arguments.corpus, "pdf")
    builds = [("now", arguments.binary)]
    if arguments.baseline:
        builds.insert(0, ("before", arguments.baseline))

    header = "%-44s %6s" % ("file", "ref ws")
    for name, _ in builds:
        header += " | %-6s %6s %6s %6s" % (name, "method", "order", "ws")
    print(header)
    figures = {name: [] for name, _ in builds}
    for entry in sorted(os.listdir(folder)):
        if not entry.lower().endswith(".pdf"):
            continue
        path = os.path.join(folder, entry)
        reference = pdftotext(path)
        if not words(reference):
            print("%-44s no text layer, skipped" % entry[:-4])
            continue
        reference_ws = whitespace_share(reference)
        line = "%-44s %6.3f" % (entry[:-4][:44], reference_ws)
        for name, binary in builds:
            measured = measure(binary, path, reference)
            measured["excess"] = measured["ws"] - reference_ws
            measured["file"] = entry[:-4]
            figures[name].append(measured)
            line += " | %-6s %6s %6.3f %6.3f" % ("", measured["method"], measured["order"],
                                                  measured["ws"])
        print(line)

    for name, _ in builds:
        rows = figures[name]
        if not rows:
            continue
        missed = [r["file"] for r in rows
                  if r["order"] < ORDER_TARGET or r["excess"] > WHITESPACE_EXCESS_TARGET]
        print("summary %s: %d files, order min %.3f mean %.3f (target >= %.2f), "
              "ws excess max %+.3f (target <= %.2f), missing a target: %s" % (
                  name, len(rows), min(r["order"] for r in rows),
                  sum(r["order"] for r in rows) / len(rows), ORDER_TARGET,
                  max(r["excess"] for r in rows), WHITESPACE_EXCESS_TARGET,
                  ", ".join(missed) or "none"))


if __name__ == "__main__":
    sys.exit(main())
