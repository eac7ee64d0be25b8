#!/usr/bin/env python3
"""Copy the metadata of one file onto another with fileprobe.

Usage: copy_metadata.py [FILEPROBE]   (default: fileprobe on PATH)

The caller opens both items itself and hands them over as descriptors 3
(source) and 4 (destination): dup2 onto 3 and 4 in the child, which
pass_fds keeps open across exec. Exits non-zero when the result is not
what it shows.
"""
import json
import os
import subprocess
import sys
import tempfile


def copy_metadata(fileprobe, source_path, destination_path):
    source = os.open(source_path, os.O_RDONLY)
    destination = os.open(destination_path, os.O_RDONLY)

    def hand_over():
        # Runs in the child between fork and exec. Both are duplicated first,
        # so that placing one cannot overwrite the other when it already sits
        # on 3 or 4.
        parked_source, parked_destination = os.dup(source), os.dup(destination)
        os.dup2(parked_source, 3)
        os.dup2(parked_destination, 4)

    try:
        run = subprocess.run([fileprobe, "--copy-metadata-fd"], preexec_fn=hand_over,
                             pass_fds=(3, 4), stdin=subprocess.DEVNULL,
                             stdout=subprocess.PIPE, stderr=subprocess.PIPE, check=False)
    finally:
        os.close(source)
        os.close(destination)
    return run.returncode, json.loads(run.stdout) if run.stdout else None


def main():
    fileprobe = sys.argv[1] if len(sys.argv) > 1 else "fileprobe"
    with tempfile.TemporaryDirectory() as folder:
        original = os.path.join(folder, "original.txt")
        copy = os.path.join(folder, "copy.txt")
        for path, text in ((original, "original"), (copy, "copy")):
            with open(path, "w") as f:
                f.write(text)
        os.chmod(original, 0o640)
        os.utime(original, ns=(1_600_000_000_123_456_789, 1_600_000_000_987_654_321))
        os.setxattr(original, "user.origin", b"scanner-2")

        status, result = copy_metadata(fileprobe, original, copy)
        print(json.dumps(result, ensure_ascii=False), "status", status)

        after = os.stat(copy)
        ok = (status == 0 and result["ok"] and result["verified"] and result["errno"] == 0
              and set(result["source"]) == {"dev", "ino", "size", "mtimeSec", "mtimeNsec",
                                            "ctimeSec", "ctimeNsec"}
              and after.st_mode & 0o7777 == 0o640
              and after.st_mtime_ns == 1_600_000_000_987_654_321
              and os.getxattr(copy, "user.origin") == b"scanner-2"
              and open(copy).read() == "copy")  # data is never touched
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
