#!/usr/bin/env python3
"""Ask fileprobe which of a few paths may be treated as ordinary files.

Usage: inspect_paths.py [FILEPROBE]   (default: fileprobe on PATH)

Writes the request as a JSON array on standard input, closes it, and reads
the one report line. Exits non-zero when the report is not what it shows.
"""
import json
import os
import subprocess
import sys
import tempfile

MAXIMUM_PATHS = 1024  # a larger request is refused as a whole


def inspect(fileprobe, paths):
    if len(paths) > MAXIMUM_PATHS:
        raise ValueError("split the request: at most 1,024 paths")
    run = subprocess.run([fileprobe, "--inspect-paths"], input=json.dumps(paths).encode(),
                         stdout=subprocess.PIPE, stderr=subprocess.PIPE, check=False)
    report = json.loads(run.stdout)
    return run.returncode, report


def main():
    fileprobe = sys.argv[1] if len(sys.argv) > 1 else "fileprobe"
    with tempfile.TemporaryDirectory() as folder:
        document = os.path.join(folder, "report.txt")
        with open(document, "w") as f:
            f.write("hello\n")
        hidden = os.path.join(folder, ".settings")
        os.mkdir(hidden)
        link = os.path.join(folder, "shortcut")
        os.symlink(document, link)

        status, report = inspect(fileprobe, [document, hidden, link, "relative/path"])
        for entry in report["entries"]:
            verdict = entry.get("error", "accepted")
            print(f"{entry['path']}: {verdict} (hidden={entry['hidden']}, readable={entry['readable']})")

        entries = report["entries"]
        ok = (status == 0 and "error" not in report and len(entries) == 4
              and "error" not in entries[0] and entries[0]["readable"]
              and "error" not in entries[1] and entries[1]["hidden"]
              and entries[2]["error"] == "심볼릭 링크 경로는 검사하지 않아요."
              and entries[3]["error"] == "올바른 절대 경로가 아니에요.")

        # A request that is not an array of strings is refused with status 2.
        status, report = inspect(fileprobe, [1, 2])
        ok = ok and status == 2 and report["entries"] == [] and "error" in report
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
