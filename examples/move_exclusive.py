#!/usr/bin/env python3
"""Move a file with fileprobe, only if it is still the file the caller saw.

Usage: move_exclusive.py [FILEPROBE]   (default: fileprobe on PATH)

The caller identifies the item by device and inode (as os.lstat reports
them); the move never replaces an existing name. Exits non-zero when the
results are not what it shows.
"""
import json
import os
import subprocess
import sys
import tempfile

EEXIST = 17  # results carry macOS errno numbers
ESTALE = 70  # the item at the source is not the one identified


def move(fileprobe, source, destination, device, inode):
    run = subprocess.run(
        [fileprobe, "--move-exclusive", source, destination, str(device), str(inode)],
        stdout=subprocess.PIPE, stderr=subprocess.PIPE, stdin=subprocess.DEVNULL, check=False)
    return run.returncode, json.loads(run.stdout)


def main():
    fileprobe = sys.argv[1] if len(sys.argv) > 1 else "fileprobe"
    with tempfile.TemporaryDirectory() as folder:
        inbox = os.path.join(folder, "inbox")
        archive = os.path.join(folder, "archive")
        os.mkdir(inbox)
        os.mkdir(archive)
        source = os.path.join(inbox, "invoice.pdf")
        with open(source, "w") as f:
            f.write("data")
        seen = os.lstat(source)

        status, result = move(fileprobe, source, os.path.join(archive, "invoice.pdf"),
                              seen.st_dev, seen.st_ino)
        print("first move:", result, "status", status)
        ok = status == 0 and result == {"ok": True, "errno": 0}

        # The name is now taken: a second file is not moved over it.
        other = os.path.join(inbox, "other.pdf")
        with open(other, "w") as f:
            f.write("other")
        seen = os.lstat(other)
        status, result = move(fileprobe, other, os.path.join(archive, "invoice.pdf"),
                              seen.st_dev, seen.st_ino)
        print("onto an existing name:", result, "status", status)
        ok = ok and status == 3 and result["errno"] == EEXIST

        # A wrong inode means "not the item you looked at": nothing moves.
        status, result = move(fileprobe, other, os.path.join(archive, "other.pdf"),
                              seen.st_dev, seen.st_ino + 1)
        print("wrong identity:", result, "status", status)
        ok = ok and status == 3 and result["errno"] == ESTALE and os.path.exists(other)
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
