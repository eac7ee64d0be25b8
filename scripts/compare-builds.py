#!/usr/bin/env python3
"""Runs two builds of fileprobe on the same table of calls and compares them.

Usage: compare-builds.py OLD_BUILD NEW_BUILD

Every call (good and bad inputs of all four jobs) is made once with each
build's bin/fileprobe, each time on a freshly made scene at the same path,
and the standard output, standard error and exit status must be the same.
Numbers that differ between any two runs (inode, device, change times of
the items the metadata copy makes) are masked. Prints one line per call
and exits 1 when any call differs.
"""
import json
import os
import re
import shutil
import subprocess
import sys

SOURCE = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
FIXTURES = os.path.join(SOURCE, "tests", "fixtures")
SCENE = "/tmp/fileprobe-compare"
VARYING = ("dev", "ino", "ctimeSec", "ctimeNsec")


def fresh_scene():
    shutil.rmtree(SCENE, ignore_errors=True)
    os.makedirs(SCENE + "/in")
    os.makedirs(SCENE + "/out")
    os.makedirs(SCENE + "/.hidden")
    os.makedirs(SCENE + "/Tool.app")
    for name in ("in/a.txt", "out/taken.txt", ".hidden/b.txt", "plain"):
        with open(os.path.join(SCENE, name), "w") as f:
            f.write("x")
    os.symlink(SCENE + "/in", SCENE + "/link")
    os.symlink(FIXTURES + "/korean_text.pdf", SCENE + "/linked.pdf")
    os.mkfifo(SCENE + "/fifo")
    with open(SCENE + "/large.pdf", "wb") as f:
        f.truncate(65 * 1024 * 1024)
    os.chmod(SCENE + "/in/a.txt", 0o640)
    for name in ("in/a.txt", "in", "out", "plain"):
        os.utime(f"{SCENE}/{name}", (1000000000, 1000000000 + len(name)))


def identity(path):
    status = os.lstat(path)
    return [str(status.st_dev), str(status.st_ino)]


def extraction(name):
    return {"arguments": [name]}


def inspection(request, extra=()):
    return {"arguments": ["--inspect-paths", *extra], "input": request}


def paths(*names):
    return json.dumps([n if n.startswith("/") else f"{SCENE}/{n}" for n in names])


def move(source, destination, ident=None):
    def make():
        dev_ino = ident() if ident else identity(f"{SCENE}/{source}")
        return ["--move-exclusive", f"{SCENE}/{source}", f"{SCENE}/{destination}", *dev_ino]
    return {"arguments": make}


def copy(source, destination, flags=os.O_RDONLY):
    return {"arguments": ["--copy-metadata-fd"], "descriptors": (source, destination, flags)}


CALLS = {
    "no arguments": {"arguments": []},
    "unknown option is a file name": extraction("--help"),
    "extract png": extraction(FIXTURES + "/scan_page.png"),
    "extract demo": extraction(SOURCE + "/samples/demo.png"),
    "extract text pdf": extraction(FIXTURES + "/korean_text.pdf"),
    "extract two columns pdf": extraction(FIXTURES + "/two_columns.pdf"),
    "extract 39 characters": extraction(FIXTURES + "/text_39.pdf"),
    "extract 10 pages": extraction(FIXTURES + "/text_10_pages.pdf"),
    "extract scanned pdf": extraction(FIXTURES + "/scanned.pdf"),
    "extract locked pdf": extraction(FIXTURES + "/locked.pdf"),
    "extract zero pages": extraction(FIXTURES + "/zero_pages.pdf"),
    "extract private use": extraction(FIXTURES + "/private_use_beside_text.pdf"),
    "extract text as image": extraction(FIXTURES + "/plain.txt"),
    "extract gif": extraction(FIXTURES + "/two_frames.gif"),
    "extract missing": extraction(SCENE + "/missing.pdf"),
    "extract folder": extraction(SCENE + "/in"),
    "extract fifo": extraction(SCENE + "/fifo"),
    "extract too large": extraction(SCENE + "/large.pdf"),
    "extract through link": extraction(SCENE + "/linked.pdf"),
    "extract two arguments": {"arguments": [FIXTURES + "/plain.txt", "x"]},
    "extract empty name": extraction(""),
    "inspect good": inspection(paths("in/a.txt", "in", ".hidden/b.txt", "Tool.app")),
    "inspect refusals": inspection(paths("link/a.txt", "in/../in", "in/./a.txt", "missing",
                                         "in//a.txt", "in/", "relative", "/")),
    "inspect long path": inspection(json.dumps(["/" + "a" * 5000])),
    "inspect empty array": inspection("[]"),
    "inspect not array": inspection('{"a":1}'),
    "inspect not strings": inspection("[1,2]"),
    "inspect bad json": inspection("[\"/a\""),
    "inspect bad utf8": inspection(b'["/\xff"]'),
    "inspect too many": inspection(json.dumps(["/x"] * 1025)),
    "inspect too large": inspection("[" + " " * 1048577 + "]"),
    "inspect empty input": inspection(""),
    "inspect extra argument": inspection("[]", ["x"]),
    "move good": move("in/a.txt", "out/a.txt"),
    "move folder": move("in", "moved"),
    "move taken": move("in/a.txt", "out/taken.txt"),
    "move wrong inode": move("in/a.txt", "out/a.txt", lambda: ["1", "1"]),
    "move plus sign": move("in/a.txt", "out/a.txt",
                           lambda: ["+" + v for v in identity(SCENE + "/in/a.txt")]),
    "move minus zero": move("in/a.txt", "out/a.txt", lambda: ["-0", "-0"]),
    "move not a number": move("in/a.txt", "out/a.txt", lambda: ["x", "1"]),
    "move relative": {"arguments": ["--move-exclusive", "a", "b", "1", "1"]},
    "move dot component": move("in/./a.txt", "out/a.txt"),
    "move trailing slash": move("in/", "moved"),
    "move through link": move("link/a.txt", "out/a.txt"),
    "move missing parent": move("in/a.txt", "none/a.txt"),
    "move symlink": move("link", "moved"),
    "move fifo": move("fifo", "moved"),
    "move too few": {"arguments": ["--move-exclusive", "/a", "/b", "1"]},
    "copy files": copy("in/a.txt", "plain"),
    "copy folders": copy("in", "out"),
    "copy file onto folder": copy("in/a.txt", "out"),
    "copy same item": copy("plain", "plain"),
    "copy o_path": copy("in/a.txt", "plain", os.O_PATH),
    "copy fifo": copy("fifo", "plain", os.O_PATH),
    "copy without descriptors": {"arguments": ["--copy-metadata-fd"]},
    "copy extra argument": {"arguments": ["--copy-metadata-fd", "x"]},
}


def run(binary, call):
    fresh_scene()
    arguments = call["arguments"]
    if callable(arguments):
        arguments = arguments()
    data = call.get("input")
    if isinstance(data, str):
        data = data.encode()
    opened = []
    if "descriptors" in call:
        source, destination, flags = call["descriptors"]
        opened = [os.open(f"{SCENE}/{source}", flags | os.O_NONBLOCK),
                  os.open(f"{SCENE}/{destination}", flags)]

    def hand_over():
        parked = [os.dup(fd) for fd in opened]
        for target, fd in zip((3, 4), parked):
            os.dup2(fd, target)

    try:
        done = subprocess.run([binary, *arguments], input=data if data is not None else b"",
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                              preexec_fn=hand_over if opened else None,
                              pass_fds=(3, 4) if opened else (), timeout=600, check=False)
    finally:
        for fd in opened:
            os.close(fd)
    out = re.sub(r'"(%s)":"[0-9]+"' % "|".join(VARYING), r'"\1":"*"',
                 done.stdout.decode("utf-8", "replace"))
    return out, done.stderr, done.returncode


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    old, new = (os.path.join(build, "bin", "fileprobe") for build in sys.argv[1:])
    differing = 0
    for name, call in CALLS.items():
        before, after = run(old, call), run(new, call)
        same = before == after
        differing += not same
        print(f"{'same' if same else 'DIFFERENT'}  {name}: status {before[2]}  {before[0][:90]}")
        if not same:
            print(f"    old: {before}\n    new: {after}")
    shutil.rmtree(SCENE, ignore_errors=True)
    print(f"{len(CALLS) - differing} of {len(CALLS)} calls alike")
    sys.exit(1 if differing else 0)


if __name__ == "__main__":
    main()
