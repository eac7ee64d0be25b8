#!/usr/bin/env python3
"""Extract the text of a file with fileprobe.

Usage: extract_text.py [FILEPROBE [FILE]]
  FILEPROBE  the program (default: fileprobe on PATH)
  FILE       the file to read (default: samples/demo.png beside this folder)

The job always exits 0; what happened is in the result: method "text" (a
PDF's text layer), "ocr" (recognised) or "filename" (only the file name can
be analysed, with a Korean warning saying why). Exits non-zero when the
result is not what it shows.
"""
import json
import os
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))


def extract(fileprobe, path):
    run = subprocess.run([fileprobe, path], stdin=subprocess.DEVNULL,
                         stdout=subprocess.PIPE, stderr=subprocess.PIPE, check=False)
    return run.returncode, json.loads(run.stdout)


def main():
    fileprobe = sys.argv[1] if len(sys.argv) > 1 else "fileprobe"
    sample = sys.argv[2] if len(sys.argv) > 2 else os.path.join(HERE, "..", "samples", "demo.png")

    status, result = extract(fileprobe, sample)
    print(json.dumps(result, ensure_ascii=False))
    ok = status == 0 and result["method"] == "ocr" and result["text"].strip() != ""

    # A file that is no image degrades to the file name, never to an error.
    with tempfile.NamedTemporaryFile("w", suffix=".txt") as notes:
        notes.write("plain text is not an image\n")
        notes.flush()
        status, result = extract(fileprobe, notes.name)
    print(json.dumps(result, ensure_ascii=False))
    ok = ok and status == 0 and result["method"] == "filename" and "warning" in result
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
