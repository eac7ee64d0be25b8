#!/usr/bin/env python3
"""Runs the extraction job on mutated PDFs and images.

Usage: extraction_mutations.py FILEPROBE COUNT [SEED]

Base inputs are made here (a small PDF with a text layer, PNG, JPEG, GIF and
TIFF images with text) plus every fixture under tests/fixtures; from them it
derives truncations, bit flips and swapped bytes, and a set of hand-made
hostile files (a PDF whose cross-reference chain loops, a PNG claiming
100000x100000 pixels and a BMP 20000x20000, a JPEG with megabytes of EXIF,
an image named .pdf and a PDF named .png), and runs each base input once as it is. Every run must write exactly one JSON line with a method
of "text", "ocr" or "filename", exit 0, write nothing to standard error,
stay under the helper's memory limit and end within its processor bound,
and carry no junk character (private use, U+FFFD, C0 or C1 controls other
than line feed and tab) in its text or warning.
Prints the outcomes by method and exits non-zero on the first violation.
"""
import collections
import concurrent.futures
import json
import os
import random
import resource
import struct
import subprocess
import sys
import tempfile
import threading
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
FIXTURES = os.path.join(HERE, "..", "tests", "fixtures")
sys.path.insert(0, FIXTURES)
import write_pdf  # noqa: E402  (the fixtures' PDF writer)
MEMORY_LIMIT_KIB = 2 * 1024 * 1024  # the helper's address-space limit
# The helper's processor bound, with room for the parent. Processor time,
# not wall time: on a loaded machine an honest run waits for processors.
PROCESSOR_LIMIT_SECONDS = 130
METHODS = {"text", "ocr", "filename"}


def text_pdf(lines):
    """A one-page PDF with a Helvetica text layer, offsets computed."""
    content = b"BT /F1 18 Tf 40 700 Td 22 TL " + b" ".join(
        b"(" + line.encode("latin-1") + b") '" for line in lines) + b" ET"
    objects = [
        b"<< /Type /Catalog /Pages 2 0 R >>",
        b"<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 4 0 R "
        b"/Resources << /Font << /F1 5 0 R >> >> >>",
        b"<< /Length %d >>\nstream\n" % len(content) + content + b"\nendstream",
        b"<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>",
    ]
    return write_pdf.serialize(objects, 1)


def looping_xref_pdf():
    """Two cross-reference sections whose /Prev entries point at each other."""
    body, first_xref = text_pdf(["looping cross references"])
    second = len(body)
    tail = (b"xref\n0 1\n0000000000 65535 f \ntrailer\n<< /Size 6 /Root 1 0 R /Prev %d >>\n"
            b"startxref\n%d\n%%%%EOF\n" % (first_xref, second))
    looped = body.replace(b"/Root 1 0 R >>", b"/Root 1 0 R /Prev %010d >>" % second, 1)
    return looped + tail


def png_chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(
        ">I", zlib.crc32(kind + data) & 0xFFFFFFFF)


def png(width, height, rows):
    header = struct.pack(">IIBBBBB", width, height, 8, 0, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", header) +
            png_chunk(b"IDAT", zlib.compress(rows)) + png_chunk(b"IEND", b""))


def striped_png():
    width, height = 120, 40
    rows = b"".join(b"\x00" + bytes((255 if (x // 6 + y // 8) % 2 else 0) for x in range(width))
                    for y in range(height))
    return png(width, height, rows)


def huge_claim_png():
    return png(100000, 100000, b"\x00" * 64)


def huge_claim_bmp():
    """A run-length encoded BMP whose few bytes claim 20000x20000 pixels, 1.6 GB
    decoded."""
    palette = b"\x00\x00\x00\x00\xff\xff\xff\x00"
    pixels = b"\x00\x01"  # end of the bitmap
    offset = 14 + 40 + len(palette)
    info = struct.pack("<IiiHHIIiiII", 40, 20000, 20000, 1, 8, 1, len(pixels), 0, 0, 2, 0)
    return b"BM" + struct.pack("<IHHI", offset + len(pixels), 0, 0, offset) + info + palette + pixels


def with_huge_exif(jpeg):
    """A JPEG with sixty 64 KiB APP1 segments of EXIF after its SOI marker."""
    tiff = b"II*\x00\x08\x00\x00\x00" + struct.pack("<H", 0xFFFF)  # 65535 entries claimed
    segment_body = b"Exif\x00\x00" + tiff
    segment_body += b"\xAB" * (65533 - len(segment_body))
    segment = b"\xFF\xE1" + struct.pack(">H", len(segment_body) + 2) + segment_body
    return jpeg[:2] + segment * 60 + jpeg[2:]


def rendered_images(folder):
    """PNG, JPEG, GIF and TIFF images with a line of text, through ImageMagick."""
    made = {}
    for suffix in ("png", "jpg", "gif", "tif"):
        path = os.path.join(folder, "base." + suffix)
        result = subprocess.run(
            ["convert", "-size", "360x80", "xc:white", "-fill", "black", "-pointsize", "28",
             "-annotate", "+10+50", "Hello 2026", path],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=False)
        if result.returncode == 0 and os.path.exists(path):
            with open(path, "rb") as f:
                made[suffix] = f.read()
    return made


def base_inputs(folder):
    inputs = {"pdf": text_pdf(["fileprobe robustness base document line one",
                               "with a second line of text for the layer"])[0],
              "png": striped_png()}
    inputs.update(rendered_images(folder))
    if os.path.isdir(FIXTURES):
        for name in sorted(os.listdir(FIXTURES)):
            path = os.path.join(FIXTURES, name)
            suffix = name.rsplit(".", 1)[-1].lower()
            if os.path.isfile(path) and os.path.getsize(path) < 4 * 1024 * 1024 and \
                    suffix in ("pdf", "png", "jpg", "jpeg", "gif", "tif", "tiff", "webp", "bmp"):
                with open(path, "rb") as f:
                    inputs["fixture-" + name] = f.read()
    return inputs


def suffix_of(key):
    return key.rsplit(".", 1)[-1] if "." in key else key


def mutations(inputs, count, rng):
    """(name, suffix, bytes) triples: the hostile set and the intact inputs
    first, then random mutants."""
    hostile = [("xref-loop", "pdf", looping_xref_pdf()),
               ("huge-claim", "png", huge_claim_png()),
               ("huge-claim-bmp", "bmp", huge_claim_bmp()),
               ("image-named-pdf", "pdf", inputs["png"]),
               ("pdf-named-png", "png", inputs["pdf"]),
               ("empty", "png", b""),
               ("empty-pdf", "pdf", b"")]
    if "jpg" in inputs:
        hostile.append(("huge-exif", "jpg", with_huge_exif(inputs["jpg"])))
    keys = sorted(inputs)
    # Every base input once as it is, so that the checks (no junk character
    # among them) hold for each fixture, not only for its mutants.
    intact = [("%s-intact" % key, "pdf" if suffix_of(key) == "pdf" else suffix_of(key),
               inputs[key]) for key in keys]
    first = hostile + intact
    yield from first[:count]
    for index in range(max(0, count - len(first))):
        key = keys[index % len(keys)]
        data = bytearray(inputs[key])
        kind = rng.choice(("truncate", "flip", "swap"))
        if kind == "truncate" or len(data) < 4:
            data = data[:rng.randrange(0, max(1, len(data)))]
        elif kind == "flip":
            for _ in range(rng.randint(1, 8)):
                position = rng.randrange(len(data))
                data[position] ^= 1 << rng.randrange(8)
        else:
            for _ in range(rng.randint(1, 4)):
                a, b = rng.randrange(len(data)), rng.randrange(len(data))
                data[a], data[b] = data[b], data[a]
        suffix = suffix_of(key)
        yield ("%s-%s-%d" % (key, kind, index), "pdf" if suffix == "pdf" else suffix, bytes(data))


def junk_characters(text):
    """The characters of `text` that carry no text and must never be returned."""
    def junk(c):
        code = ord(c)
        return ((code < 0x20 and code not in (0x09, 0x0A)) or 0x7F <= code <= 0x9F or
                0xE000 <= code <= 0xF8FF or code >= 0xF0000 or code == 0xFFFD)
    return [c for c in text if junk(c)]


def run_measured(command):
    """Standard output, standard error, exit status and the processor time
    of the run with the children it waited for (the helper)."""
    child = subprocess.Popen(command, stdin=subprocess.DEVNULL,
                             stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    streams = {}

    def drain(name, stream):
        streams[name] = stream.read()

    readers = [threading.Thread(target=drain, args=("out", child.stdout)),
               threading.Thread(target=drain, args=("err", child.stderr))]
    for reader in readers:
        reader.start()
    _, status, usage = os.wait4(child.pid, 0)
    for reader in readers:
        reader.join()
    child.returncode = os.waitstatus_to_exitcode(status)
    child.stdout.close()
    child.stderr.close()
    return (streams["out"], streams["err"], child.returncode,
            usage.ru_utime + usage.ru_stime)


def run_one(fileprobe, folder, name, suffix, data):
    path = os.path.join(folder, "%s.%s" % (name.replace("/", "_"), suffix))
    with open(path, "wb") as f:
        f.write(data)
    out, err, returncode, processor = run_measured([fileprobe, path])
    os.unlink(path)
    problems = []
    if returncode != 0:
        problems.append("exit status %s" % returncode)
    if err:
        problems.append("standard error: %r" % err[:200])
    if out.count(b"\n") != 1 or not out.endswith(b"\n"):
        problems.append("not exactly one line: %r" % out[:200])
    method = None
    try:
        result = json.loads(out)
        method = result.get("method")
        if method not in METHODS or not isinstance(result.get("text"), str):
            problems.append("bad result: %r" % out[:200])
        elif junk_characters(result["text"] + result.get("warning", "")):
            problems.append("junk characters: %r" % out[:200])
    except (ValueError, AttributeError):
        problems.append("not JSON: %r" % out[:200])
    if processor > PROCESSOR_LIMIT_SECONDS:
        problems.append("took %.1f s of processor time" % processor)
    return name, method, problems


def main():
    fileprobe = os.path.abspath(sys.argv[1])
    count = int(sys.argv[2])
    seed = int(sys.argv[3]) if len(sys.argv) > 3 else 20261206
    rng = random.Random(seed)
    outcomes = collections.Counter()
    failures = []
    with tempfile.TemporaryDirectory() as folder:
        inputs = base_inputs(folder)
        with concurrent.futures.ThreadPoolExecutor(max_workers=os.cpu_count() or 2) as pool:
            futures = [pool.submit(run_one, fileprobe, folder, name, suffix, data)
                       for name, suffix, data in mutations(inputs, count, rng)]
            for future in futures:
                name, method, problems = future.result()
                outcomes[method or "invalid"] += 1
                if problems:
                    failures.append((name, problems))
    peak_kib = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss
    print("mutated inputs: %d, by method: %s, largest child %d MiB" % (
        sum(outcomes.values()), dict(sorted(outcomes.items())), peak_kib // 1024))
    if peak_kib > MEMORY_LIMIT_KIB:
        failures.append(("memory", ["a run used %d KiB" % peak_kib]))
    for name, problems in failures[:20]:
        print("FAILED %s: %s" % (name, "; ".join(problems)))
    print("%d passed, %d failed" % (sum(outcomes.values()) - len(failures), len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
