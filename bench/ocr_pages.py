#!/usr/bin/env python3
"""Generated pages for the recognition benchmark: Korean and English text
rendered in the shapes people have, each page made from its own seed.

  bench/ocr_pages.py [--out DIR] [--jobs N] [--only REGEX] [--list] [--check]

Every page has a seed; the page's half is fixed by it: even seeds are the
tuning half ("tune"), odd seeds the validation half ("valid"). Seeds are
given out group by group, one after another, so every group alternates
between the halves and is split evenly. A page turned in its pixels or
stored turned with an EXIF orientation carries the seed of its upright
twin, so both are always in the same half. Pages of the tuning half take
their sentences from the even lines of the sentence files, pages of the
validation half from the odd lines, so the halves share no sentence.

The text comes from ../shared/extraction-dev/korean/sentences.txt and
bench/pages/english.txt. Pages are rendered with pango-view (at 72 dpi, so
a font size in points is a size in pixels) and finished with ImageMagick;
the EXIF orientation tag and the image-only PDFs (a G4 image on an A4 page)
are written here. The truth of a page is the text
rendered on it in reading order: a heading, then each column in turn, then
a list's items.

Output (DIR, by default a folder under /tmp named by a digest of this
generator and its texts, reused when it is complete): the images, NAME.txt
for each page's truth, and manifest.json describing every page:
name, seed, half, group, file, truth, twin (the upright page of a turned or
EXIF-rotated page), cli_file (what a reader that ignores EXIF orientation
should read), and the page's shape.
"""
import argparse
import concurrent.futures
import hashlib
import inspect
import json
import os
import random
import re
import struct
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(HERE)
sys.path.insert(0, os.path.join(REPO, "tests", "fixtures"))
from set_orientation import write_with_orientation  # noqa: E402
DEFAULT_CORPUS = os.path.join(REPO, "..", "shared", "extraction-dev")
ENGLISH = os.path.join(HERE, "pages", "english.txt")

KOREAN_FONTS = ["NanumGothic", "NanumMyeongjo", "NanumBarunGothic", "Noto Sans CJK KR",
                "Noto Serif CJK KR"]
ENGLISH_FONTS = ["DejaVu Sans", "DejaVu Serif", "Nimbus Roman", "NanumGothic",
                 "Noto Serif CJK KR"]

# Groups of upright pages and how many pages each has. Seeds are given out in
# this order, starting at 1.
GROUPS = [
    ("strip", 72),         # 1 to 5 lines: one-line strips, short wide paragraphs
    ("paragraph", 42),     # 6 to 12 lines of one paragraph
    ("page", 16),          # 14 to 40 lines, a tall page
    ("multi-column", 30),  # 2 or 3 columns, some under a heading
    ("heading+list", 20),  # a heading, a few lines, a short list
    ("small text", 28),    # text 12 to 18 px
    ("large text", 24),    # text 60 to 100 px
    ("degraded", 40),      # JPEG at low quality, noise, blur, grey, low contrast, skew
    ("1-bit", 28),         # thresholded; PNG 1-bit or G4 TIFF
    ("1-bit page", 4),     # a whole page at 300 dpi in 2 to 4 columns; G4 TIFF or PDF
    ("skewed", 32),        # a scan turned 1.5 to 9 degrees either way; grey or 1-bit
    ("light on dark", 24),  # light letters on a dark ground: signs, banners, slides
    ("short paragraph", 48),  # 2 to 4 lines of 22-34 px on a narrow canvas, small margins
    ("unevenly lit", 32),  # a photo lit from one side, or darkened towards its corners
]
# A whole page at 300 dpi (A4).
PAGE_WIDTH, PAGE_HEIGHT, PAGE_DPI = 2480, 3508, 300
# Turned and EXIF-rotated pages made from upright pages of these groups, per
# half: (turns in the pixels, EXIF orientations).
TWIN_SOURCES = ["strip", "paragraph", "page", "multi-column", "heading+list", "small text",
                "large text", "degraded", "1-bit"]
TURNS = (90, 180, 270)
TURNED_PER_HALF = 18
EXIF_ORIENTATIONS = (3, 6, 8)
EXIF_PER_HALF = 12
# Stored pixels of an EXIF page: the upright page turned clockwise by this
# many degrees; the orientation tag tells a viewer to turn it back.
EXIF_STORED_TURN = {3: 180, 6: 270, 8: 90}
MIN_EMS = 9
# Finishes of the degraded pages, given out in turn; the pairs of equal
# entries keep each finish in both halves (seeds alternate halves).
DEGRADATIONS = ["jpeg", "jpeg", "noise", "noise", "blur", "blur", "grey", "grey",
                "low contrast", "low contrast", "skew", "skew", "jpeg", "noise", "blur",
                "grey", "low contrast", "skew", "jpeg", "jpeg"]


def half_of(seed):
    return "tune" if seed % 2 == 0 else "valid"


class Texts:
    def __init__(self, corpus):
        korean = open(os.path.join(corpus, "korean", "sentences.txt"),
                      encoding="utf-8").read().split("\n")
        english = open(ENGLISH, encoding="utf-8").read().split("\n")
        korean = [s.strip() for s in korean if s.strip()]
        english = [s.strip() for s in english if s.strip()]
        # Even lines for the tuning half, odd lines for the validation half.
        self.korean = {"tune": korean[0::2], "valid": korean[1::2]}
        self.english = {"tune": english[0::2], "valid": english[1::2]}

    def sentence(self, rng, lang, half, used):
        """A sentence not in `used` yet (no sentence twice on a page)."""
        pool = (self.english[half] if lang == "en" or (lang == "mixed" and rng.random() < 0.35)
                else self.korean[half])
        for _ in range(20):
            sentence = rng.choice(pool)
            if sentence not in used:
                break
        used.add(sentence)
        return sentence


def em_width(text):
    """Rough width of a text in ems: Hangul is about one em, Latin half."""
    width = 0.0
    for c in text:
        if "\uac00" <= c <= "\ud7a3" or "\u3000" <= c <= "\u9fff":
            width += 0.95
        elif c == " ":
            width += 0.3
        elif c.isupper() or c.isdigit():
            width += 0.62
        else:
            width += 0.52
    return width


def fill(rng, texts, lang, half, used, ems):
    """Sentences adding up to about `ems` ems; the last one cut at a word."""
    words, total = [], 0.0
    while total < ems:
        for word in texts.sentence(rng, lang, half, used).split():
            width = em_width(word) + 0.3
            if words and total + width > ems:
                return " ".join(words)
            words.append(word)
            total += width
    return " ".join(words)


def run(command):
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)


def png_size(path):
    with open(path, "rb") as f:
        head = f.read(24)
    return struct.unpack(">II", head[16:24])


class Page:
    def __init__(self, seed, group, **shape):
        self.seed, self.group, self.half = seed, group, half_of(seed)
        self.shape = shape
        self.name = ""
        self.twin = None
        self.truth = ""
        self.file = ""
        self.cli_file = None


# ---------------------------------------------------------------- planning

def line_ems(width, size):
    return width / size


def plan_text_block(rng, texts, lang, half, used, width, size, lines):
    """Text for a block `width` px wide of about `lines` lines: the last
    line about half full, a single line nearly full."""
    return fill(rng, texts, lang, half,
                used, line_ems(width, size) * max(lines - 0.5, 0.9) * 0.93)


def choose_lang(rng, english_share=0.18, mixed_share=0.14):
    x = rng.random()
    return "en" if x < english_share else "mixed" if x < english_share + mixed_share else "ko"


def choose_font(rng, lang):
    return rng.choice(ENGLISH_FONTS if lang == "en" else KOREAN_FONTS)


def plan_page(seed, group, index, texts):
    """The layout of one upright page: a list of blocks with their places,
    the canvas size and the finish, drawn from the seed (the finish of a
    degraded or 1-bit page from its place `index` in its group)."""
    rng = random.Random("fileprobe-page-%d" % seed)
    half = half_of(seed)
    used = set()
    lang = choose_lang(rng)
    font = choose_font(rng, lang)
    finish = "clean"
    shape = group
    if group in ("degraded", "1-bit"):
        shape = rng.choice(["strip", "paragraph", "paragraph", "multi-column", "heading+list"])
    elif group == "skewed":
        shape = rng.choice(["strip", "paragraph", "page", "multi-column", "multi-column",
                            "heading+list"])
    elif group == "light on dark":
        shape = rng.choice(["strip", "strip", "paragraph", "multi-column", "heading+list"])
    elif group == "unevenly lit":
        shape = rng.choice(["strip", "paragraph", "paragraph", "multi-column", "heading+list"])
    if group == "strip":
        kind = rng.choice(["one line", "one line", "wide few", "wide few", "wide few", "few"])
        if kind == "one line":
            size = rng.choice([16, 20, 24, 28, 32, 40, 48, 56])
            width = rng.choice([300, 420, 600, 900, 1200, 1600, 2000, 2600, 3200, 4000])
            lines = 1
        elif kind == "wide few":  # short wide paragraphs: a known weak spot
            size = rng.choice([28, 30, 32, 34, 36, 38, 40])
            width = rng.choice([1800, 1960, 2200, 2400, 2560, 2800])
            lines = rng.choice([2, 3, 4, 4, 5])
        else:
            size = rng.choice([20, 24, 28, 32, 36])
            width = rng.choice([500, 700, 900, 1200, 1500])
            lines = rng.choice([2, 3, 4, 5])
    elif group == "short paragraph":  # a caption or a message, cropped close
        size = rng.choice([22, 24, 26, 28, 30, 32, 34])
        width = rng.choice([800, 950, 1100, 1250, 1400, 1550])
        lines = rng.choice([2, 2, 3, 3, 4])
        kind = "few"
    elif group == "small text":
        size = rng.choice([12, 13, 14, 15, 16, 17, 18])
        width = rng.choice([400, 600, 800, 1000, 1300])
        lines = rng.choice([1, 2, 3, 5, 8, 12, 16])
        kind = "small"
    elif group == "large text":
        size = rng.choice([60, 64, 70, 76, 84, 92, 100])
        width = rng.choice([800, 1200, 1600, 2000, 2400, 3000])
        lines = rng.choice([1, 1, 2, 2, 3, 4])
        kind = "large"
    elif shape == "page":
        size = rng.choice([16, 18, 20, 22, 24, 28])
        width = rng.choice([700, 850, 1000, 1200, 1400])
        lines = rng.choice([14, 16, 20, 24, 30, 40])
        kind = "page"
    elif shape == "multi-column":
        size = rng.choice([16, 18, 20, 22, 24, 28, 32])
        kind = "multi-column"
        lines = rng.choice([4, 5, 6, 8, 10, 12])
        width = 0
    elif shape == "heading+list":
        size = rng.choice([18, 20, 24, 28, 32])
        width = rng.choice([700, 900, 1200, 1500, 1800])
        lines = 0
        kind = "heading+list"
    else:  # paragraph, and the strips of degraded and 1-bit pages
        if shape == "strip":
            size = rng.choice([24, 28, 32, 36, 40])
            width = rng.choice([900, 1400, 1960, 2560])
            lines = rng.choice([1, 2, 3, 4])
            kind = "few"
        else:
            size = rng.choice([20, 22, 24, 28, 32, 36])
            width = rng.choice([700, 900, 1100, 1300, 1600, 2000])
            lines = rng.choice([6, 7, 8, 10, 12])
            kind = "paragraph"
    if group == "degraded":  # each finish in turn, so that both halves have each
        finish = DEGRADATIONS[index % len(DEGRADATIONS)]
    elif group == "1-bit":
        finish = ("1-bit png", "1-bit tiff")[(index // 2) % 2]
    elif group == "skewed":  # pairs of seeds, so that both halves have each
        finish = ("skewed scan", "skewed 1-bit scan")[(index // 2) % 2]
    elif group == "light on dark":
        finish = "light on dark"
    elif group == "unevenly lit":  # pairs of seeds, so that both halves have each
        finish = ("side light", "vignette")[(index // 2) % 2]
    if group == "strip":
        margin = rng.choice([6, 12, 24, 40])
    elif group == "short paragraph":
        margin = rng.choice([12, 20, 30, 40, 50])
    else:
        margin = rng.choice([10, 20, 40, 60, 100])

    blocks = []  # (text, font, size, width, x, y-order flag)
    truth = []
    if kind == "multi-column":
        columns = rng.choice([2, 2, 3])
        column_width = rng.choice([360, 440, 520, 620, 760])
        gutter = max(int(size * rng.choice([1.6, 2.2, 3.0])), 30)
        if rng.random() < 0.6:
            heading = fill(rng, texts, lang, half, used,
                           min(columns * column_width / size / 1.5 * 0.7,
                               rng.choice([6, 10, 16])))
            blocks.append(("heading", heading, size * 3 // 2,
                           columns * column_width + (columns - 1) * gutter))
            truth.append(heading)
        for c in range(columns):
            text = plan_text_block(rng, texts, lang, half, used, column_width, size, lines)
            blocks.append(("column", text, size, column_width))
            truth.append(text)
        shape_info = dict(columns=columns, column_width=column_width, gutter=gutter)
    elif kind == "heading+list":
        heading = fill(rng, texts, lang, half, used, rng.choice([5, 8, 12]))
        blocks.append(("heading", heading, size * 3 // 2, width))
        truth.append(heading)
        intro = plan_text_block(rng, texts, lang, half, used, width, size, rng.choice([1, 2, 3]))
        blocks.append(("text", intro, size, width))
        truth.append(intro)
        count = rng.choice([3, 4, 5, 6])
        numbered = rng.random() < 0.5
        items = []
        for i in range(count):
            item = fill(rng, texts, lang, half, used,
                        min(width / size * 0.8, rng.choice([8, 14, 24, 36])))
            items.append(("%d. " % (i + 1) if numbered else "- ") + item)
        blocks.append(("list", "\n".join(items), size, width))
        truth.append(" ".join(items))
        shape_info = dict(columns=1, items=count)
    else:
        # At least MIN_EMS ems of text: a handful of characters gives a CER
        # that says little.
        size = min(size, int(width / MIN_EMS))
        if lines == 1 and rng.random() < 0.4:  # a line that does not fill its strip
            text = fill(rng, texts, lang, half, used,
                        max(MIN_EMS * 0.85, line_ems(width, size) * rng.uniform(0.3, 0.8)))
        else:
            text = plan_text_block(rng, texts, lang, half, used, width, size, lines)
        blocks.append(("text", text, size, width))
        truth.append(text)
        shape_info = dict(columns=1)
    # A canvas taller than the text for some strips (e.g. 1960 x 300 with four
    # lines of 36 px), for some pages a page-like white bottom.
    pad = 0
    if group == "strip" and kind == "wide few" and rng.random() < 0.7:
        pad = -1  # canvas height fixed below, after rendering
    elif rng.random() < 0.15:
        pad = int(size * rng.choice([2, 5, 10]))
    return dict(seed=seed, group=group, half=half, lang=lang, font=font, size=size,
                kind=kind, finish=finish, margin=margin, blocks=blocks, pad=pad,
                truth=" ".join(truth), lines=lines, width=width,
                noise_seed=rng.randrange(1, 10 ** 6), params=rng.random(), **shape_info)


def plan_full_page(seed, index, texts):
    """A whole 1-bit page, A4 at 300 dpi: a heading over 2 to 4 columns of
    9 to 12 pt text, as a scanned newsletter or brochure; stored as a G4
    TIFF or as an image-only PDF holding the G4 image."""
    rng = random.Random("fileprobe-page-%d" % seed)
    half = half_of(seed)
    used = set()
    lang = choose_lang(rng)
    font = choose_font(rng, lang)
    size = rng.choice([38, 42, 46, 50])
    columns = (2, 3, 3, 4)[index % 4]
    margin = 150
    gutter = int(size * rng.choice([1.5, 2.0, 2.5]))
    column_width = (PAGE_WIDTH - 2 * margin - (columns - 1) * gutter) // columns
    lines = rng.choice([28, 32, 36])
    heading = fill(rng, texts, lang, half, used, rng.choice([8, 12, 16]))
    blocks = [("heading", heading, size * 2, PAGE_WIDTH - 2 * margin)]
    truth = [heading]
    for _ in range(columns):
        text = plan_text_block(rng, texts, lang, half, used, column_width, size, lines)
        blocks.append(("column", text, size, column_width))
        truth.append(text)
    return dict(seed=seed, group="1-bit page", half=half, lang=lang, font=font, size=size,
                kind="multi-column", finish=("1-bit tiff", "1-bit pdf")[(index // 2) % 2],
                margin=margin, blocks=blocks, pad=-2, truth=" ".join(truth), lines=lines,
                width=PAGE_WIDTH, noise_seed=rng.randrange(1, 10 ** 6), params=rng.random(),
                columns=columns, column_width=column_width, gutter=gutter)


def g4_pdf(source, target):
    """An image-only PDF of one A4 page at 300 dpi holding the 1-bit image
    `source` as CCITT G4 data, as a scanner writes it."""
    raw = target + ".g4"
    run(["convert", source, "-threshold", "50%", "-type", "bilevel", "group4:" + raw])
    data = open(raw, "rb").read()
    os.remove(raw)
    width, height = png_size(source)
    points = (width * 72.0 / PAGE_DPI, height * 72.0 / PAGE_DPI)
    content = b"q %.2f 0 0 %.2f 0 0 cm /Im0 Do Q" % points
    objects = [
        b"<< /Type /Catalog /Pages 2 0 R >>",
        b"<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 %.2f %.2f] /Contents 4 0 R "
        b"/Resources << /XObject << /Im0 5 0 R >> >> >>" % points,
        b"<< /Length %d >>\nstream\n" % len(content) + content + b"\nendstream",
        b"<< /Type /XObject /Subtype /Image /Width %d /Height %d /ColorSpace /DeviceGray "
        b"/BitsPerComponent 1 /Filter /CCITTFaxDecode /DecodeParms << /K -1 /Columns %d "
        b"/Rows %d /BlackIs1 %s >> /Length %d >>\nstream\n" % (
            width, height, width, height, G4_BLACK_IS_1, len(data)) + data + b"\nendstream",
    ]
    out = b"%PDF-1.4\n"
    offsets = []
    for number, body in enumerate(objects, 1):
        offsets.append(len(out))
        out += b"%d 0 obj\n" % number + body + b"\nendobj\n"
    xref = len(out)
    out += b"xref\n0 %d\n0000000000 65535 f \n" % (len(objects) + 1)
    out += b"".join(b"%010d 00000 n \n" % o for o in offsets)
    out += b"trailer\n<< /Size %d /Root 1 0 R >>\nstartxref\n%d\n%%%%EOF\n" % (
        len(objects) + 1, xref)
    open(target, "wb").write(out)


G4_BLACK_IS_1 = b"false"


def slug(text):
    return re.sub(r"[^A-Za-z0-9]+", "", text)


def page_name(p):
    return "p%03d-%s-%s-%s-%dpx-%s" % (
        p["seed"], slug(p["group"]), p["lang"], slug(p["font"]), p["size"], slug(p["finish"]))


# ---------------------------------------------------------------- rendering

def render_block(out, text, font, size, width, bold=False):
    run(["pango-view", "-q", "--font=%s%s %d" % (font, " Bold" if bold else "", size),
         "--dpi=72", "--margin=2", "--width=%d" % width, "--wrap=word-char",
         "--background=white", "--foreground=black", "-o", out, "--text=" + text])
    return png_size(out)


def render_page(p, out_dir):
    """Renders the upright page; returns (file name, width, height)."""
    name = page_name(p)
    work = os.path.join(out_dir, "." + name)
    os.makedirs(work, exist_ok=True)
    margin, size = p["margin"], p["size"]
    placed = []  # (path, x, y)
    y = margin
    column_x, column_bottom = margin, y
    gap = int(size * 0.8)
    for i, (role, text, block_size, width) in enumerate(p["blocks"]):
        path = os.path.join(work, "b%d.png" % i)
        w, h = render_block(path, text, p["font"], block_size, width, bold=(role == "heading"))
        if role == "column":
            placed.append((path, column_x, y))
            column_x += p["column_width"] + p["gutter"]
            column_bottom = max(column_bottom, y + h)
        else:
            placed.append((path, margin, y))
            y += h + gap
            column_bottom = y
    content_w = max(x + png_size(path)[0] for path, x, _ in placed) + margin
    content_h = max(column_bottom, y - gap) + margin
    W, H = content_w, content_h
    if p["pad"] == -1:  # a short wide paragraph on a fixed strip height
        H = max(H, int(H * (1.1 + 0.4 * p["params"])))
    elif p["pad"] == -2:  # a whole page
        W, H = max(W, PAGE_WIDTH), max(H, PAGE_HEIGHT)
    elif p["pad"] > 0:
        H += p["pad"]
    command = ["convert", "-size", "%dx%d" % (W, H), "xc:white"]
    for path, x, yy in placed:
        command += [path, "-geometry", "+%d+%d" % (x, yy), "-composite"]
    upright = os.path.join(work, "upright.png")
    run(command + ["-colorspace", "Gray", "-depth", "8", upright])
    ext, finish = ".png", p["finish"]
    seed = str(p["noise_seed"])
    k = p["params"]
    if finish == "clean":
        args = []
    elif finish == "jpeg":
        args, ext = ["-quality", str(int(12 + 20 * k))], ".jpg"
    elif finish == "noise":
        args = ["-seed", seed, "-attenuate", "%.2f" % (0.4 + 0.5 * k), "+noise", "Gaussian"]
    elif finish == "blur":
        args = ["-blur", "0x%.2f" % (0.7 + 0.9 * k)]
    elif finish == "grey":
        args = ["+level", "%d%%,%d%%" % (4 + 10 * k, 62 + 18 * k)]
    elif finish == "low contrast":
        args = ["+level", "%d%%,%d%%" % (32 + 12 * k, 82 + 10 * k)]
    elif finish == "skew":  # a slightly turned scan on tinted paper
        args = ["-background", "white", "-rotate", "%.2f" % (0.6 + 1.2 * k) if k < 0.5
                else "-%.2f" % (0.6 + 1.2 * k), "+level", "6%,90%", "-seed", seed,
                "-attenuate", "0.3", "+noise", "Gaussian", "-quality", "80"]
        ext = ".jpg"
    elif finish in ("skewed scan", "skewed 1-bit scan"):
        # Turned either way (by the seed's pairs) on a page grown to hold it.
        degrees = (1.5 + 7.5 * k) * (1 if p["seed"] // 2 % 2 else -1)
        args = ["-background", "white", "-rotate", "%.2f" % degrees, "+level", "4%,94%",
                "-seed", seed, "-attenuate", "0.2", "+noise", "Gaussian"]
        if finish == "skewed 1-bit scan":
            args += ["-threshold", "55%", "-type", "bilevel"]
    elif finish == "light on dark":
        # The page negated onto a ground from near black to mid grey, then
        # softened and stored as a photo would be.
        args, ext = ["-negate", "+level", "%d%%,%d%%" % (6 + 34 * k, 86 + 12 * k),
                     "-blur", "0x0.6", "-quality", "75"], ".jpg"
    elif finish == "side light":
        # Paper falling from white to a grey of 40-65 % across the page, from
        # one side (by the seed), as under a lamp to one side; then JPEG.
        turn = (0, 90, 180, 270)[p["seed"] // 4 % 4]
        across = (W, H) if turn in (0, 180) else (H, W)
        args, ext = ["(", "-size", "%dx%d" % (across[1], across[0]),
                     "gradient:white-gray%d" % (40 + 25 * k), "-rotate", str(turn + 90), ")",
                     "-compose", "multiply", "-composite", "-quality", "75"], ".jpg"
    elif finish == "vignette":
        # Paper darkening from white at the middle to a grey of 20-45 % at the
        # corners, as a phone's lens darkens them; then JPEG.
        args, ext = ["(", "-size", "%dx%d" % (W, H), "radial-gradient:white-gray%d" % (20 + 25 * k),
                     ")", "-compose", "multiply", "-composite", "-quality", "75"], ".jpg"
    elif finish == "1-bit png":
        args = ["-threshold", "%d%%" % (45 + 15 * k), "-type", "bilevel"]
    elif finish == "1-bit tiff":
        args = ["-threshold", "%d%%" % (45 + 15 * k), "-type", "bilevel", "-compress", "Group4"]
        ext = ".tif"
    elif finish == "1-bit pdf":
        final = os.path.join(out_dir, name + ".pdf")
        g4_pdf(upright, final)
        args = None
    else:
        raise ValueError(finish)
    if args is not None:
        final = os.path.join(out_dir, name + ext)
        run(["convert", upright] + args + ["-colorspace", "Gray", "-strip", final]
            if finish not in ("1-bit png", "1-bit tiff", "skewed 1-bit scan") else
            ["convert", upright] + args + ["-strip", final])
    for f in os.listdir(work):
        os.remove(os.path.join(work, f))
    os.rmdir(work)
    return os.path.basename(final), W, H


def make_turned(twin, out_dir, turn):
    source = os.path.join(out_dir, twin["file"])
    ext = os.path.splitext(source)[1]
    name = "%s-rot%d" % (twin["name"], turn)
    extra = ["-compress", "Group4"] if ext == ".tif" else (["-quality", "92"] if ext == ".jpg"
                                                            else [])
    run(["convert", source, "-rotate", str(turn)] + extra + ["-strip",
                                                             os.path.join(out_dir, name + ext)])
    return name, name + ext


def make_exif(twin, out_dir, orientation):
    source = os.path.join(out_dir, twin["file"])
    name = "%s-exif%d" % (twin["name"], orientation)
    stored = os.path.join(out_dir, "." + name + ".jpg")
    run(["convert", source, "-rotate", str(EXIF_STORED_TURN[orientation]), "-colorspace", "Gray",
         "-quality", "92", "-strip", stored])
    write_with_orientation(stored, os.path.join(out_dir, name + ".jpg"), orientation)
    os.remove(stored)
    return name, name + ".jpg"


# ---------------------------------------------------------------- the set

def plan(corpus=DEFAULT_CORPUS):
    """All pages in seed order: (upright plans, derived plans)."""
    texts = Texts(corpus)
    upright, seed = [], 1
    for group, count in GROUPS:
        for index in range(count):
            upright.append(plan_full_page(seed, index, texts) if group == "1-bit page"
                           else plan_page(seed, group, index, texts))
            seed += 1
    derived = []
    for half in ("tune", "valid"):
        candidates = [p for p in upright if p["half"] == half and p["group"] in TWIN_SOURCES]
        step = len(candidates) / (TURNED_PER_HALF + EXIF_PER_HALF)
        picks = [candidates[int(i * step)] for i in range(TURNED_PER_HALF + EXIF_PER_HALF)]
        exif = picks[1::2][:EXIF_PER_HALF]
        turned = [p for p in picks if p not in exif][:TURNED_PER_HALF]
        for i, p in enumerate(turned):
            derived.append(("turned", TURNS[i % len(TURNS)], p))
        for i, p in enumerate(exif):
            derived.append(("EXIF-rotated", EXIF_ORIENTATIONS[i % len(EXIF_ORIENTATIONS)], p))
    return upright, derived


def digest(corpus):
    """Names the set by what makes its files: the plan of every page and
    the code that renders it (not the rest of this file)."""
    upright, derived = plan(corpus)
    h = hashlib.sha256(json.dumps([upright, [(g, how, p["seed"]) for g, how, p in derived]],
                                  ensure_ascii=False, sort_keys=True).encode())
    for function in (render_block, render_page, write_with_orientation, make_turned, make_exif, page_name,
                     g4_pdf):
        h.update(inspect.getsource(function).encode())
    return h.hexdigest()[:12]


def default_out(corpus=DEFAULT_CORPUS):
    return os.path.join("/tmp", "fileprobe-ocr-pages-" + digest(corpus))


def generate(out_dir=None, corpus=DEFAULT_CORPUS, jobs=2, only=None, quiet=False):
    """Makes (or reuses) the set; returns the manifest's list of pages."""
    out_dir = out_dir or default_out(corpus)
    manifest_path = os.path.join(out_dir, "manifest.json")
    if only is None and os.path.exists(manifest_path):
        return json.load(open(manifest_path, encoding="utf-8"))
    os.makedirs(out_dir, exist_ok=True)
    upright, derived = plan(corpus)
    if only:
        wanted = re.compile(only)
        upright = [p for p in upright if wanted.search(page_name(p))]
        names = {page_name(p) for p in upright}
        derived = [d for d in derived if page_name(d[2]) in names]
    if not quiet:
        print("rendering %d pages into %s" % (len(upright) + len(derived), out_dir),
              file=sys.stderr, flush=True)
    pages = {}

    def one(p):
        file, width, height = render_page(p, out_dir)
        entry = dict(name=page_name(p), seed=p["seed"], half=p["half"], group=p["group"],
                     file=file, truth=page_name(p) + ".txt", twin=None, cli_file=None,
                     lang=p["lang"], font=p["font"], size=p["size"], finish=p["finish"],
                     kind=p["kind"], columns=p["columns"], width=width, height=height)
        with open(os.path.join(out_dir, entry["truth"]), "w", encoding="utf-8") as f:
            f.write(p["truth"] + "\n")
        return entry

    with concurrent.futures.ThreadPoolExecutor(max(1, jobs)) as pool:
        for entry in pool.map(one, upright):
            pages[entry["name"]] = entry

    def two(item):
        group, how, p = item
        twin = pages[page_name(p)]
        if group == "turned":
            name, file = make_turned(twin, out_dir, how)
            width, height = ((twin["height"], twin["width"]) if how in (90, 270)
                             else (twin["width"], twin["height"]))
            cli_file = None
        else:
            name, file = make_exif(twin, out_dir, how)
            width, height = twin["width"], twin["height"]  # as displayed
            cli_file = twin["file"]  # readers that ignore the tag get the upright page
        return dict(twin, name=name, group=group, file=file, twin=twin["name"],
                    cli_file=cli_file, turn=how if group == "turned" else 0,
                    orientation=how if group != "turned" else 1, width=width, height=height)

    with concurrent.futures.ThreadPoolExecutor(max(1, jobs)) as pool:
        for entry in pool.map(two, derived):
            pages[entry["name"]] = entry
    result = sorted(pages.values(), key=lambda e: (e["seed"], e["name"]))
    if only is None:
        with open(manifest_path + ".part", "w", encoding="utf-8") as f:
            json.dump(result, f, ensure_ascii=False, indent=1)
        os.replace(manifest_path + ".part", manifest_path)
    return result


def check(pages, out_dir, corpus):
    """Problems of a made set, as sentences; empty when it is sound."""
    problems = []
    by_name = {p["name"]: p for p in pages}
    if len([p for p in pages if p["group"] not in ("turned", "EXIF-rotated")]) < 300:
        problems.append("fewer than 300 upright pages")
    if len(pages) < 320:
        problems.append("fewer than 320 pages")
    for group in {p["group"] for p in pages}:
        halves = {p["half"] for p in pages if p["group"] == group}
        if halves != {"tune", "valid"}:
            problems.append("group %s only in %s" % (group, halves))
    for p in pages:
        if p["half"] != half_of(p["seed"]):
            problems.append("%s: half is not its seed's" % p["name"])
        if not open(os.path.join(out_dir, p["truth"]), encoding="utf-8").read().strip():
            problems.append("%s: empty truth" % p["name"])
        if p["group"] in ("turned", "EXIF-rotated"):
            twin = by_name.get(p["twin"])
            if not twin or twin["half"] != p["half"] or twin["truth"] != p["truth"]:
                problems.append("%s: no upright twin in its half" % p["name"])
                continue
            path = os.path.join(out_dir, p["file"])
            stored = subprocess.run(["identify", "-format", "%w %h %[orientation]", path],
                                    stdout=subprocess.PIPE, check=True).stdout.decode().split()
            w, h = int(stored[0]), int(stored[1])
            turn = p.get("turn") or EXIF_STORED_TURN.get(p.get("orientation"), 0)
            want = (twin["height"], twin["width"]) if turn in (90, 270) else (
                twin["width"], twin["height"])
            if (w, h) != want:
                problems.append("%s: stored %dx%d, not turned %d" % (p["name"], w, h, turn))
            expected = {1: "Undefined", 3: "BottomRight", 6: "RightTop", 8: "LeftBottom"}
            tag = stored[2] if len(stored) > 2 else "Undefined"
            if p["group"] == "EXIF-rotated" and tag != expected[p["orientation"]]:
                problems.append("%s: orientation tag %s" % (p["name"], tag))
    texts = Texts(corpus)
    if set(texts.korean["tune"]) & set(texts.korean["valid"]):
        problems.append("a Korean sentence in both halves")
    return problems


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--out", help="folder for the pages (default: under /tmp)")
    parser.add_argument("--corpus", default=DEFAULT_CORPUS)
    parser.add_argument("--jobs", type=int, default=2)
    parser.add_argument("--only", help="only pages whose name matches (not saved as a set)")
    parser.add_argument("--list", action="store_true", help="print the pages, one a line")
    parser.add_argument("--check", action="store_true",
                        help="check the set: halves, twins, turns, orientation tags")
    args = parser.parse_args()
    corpus = os.path.abspath(args.corpus)
    pages = generate(args.out, corpus, args.jobs, args.only)
    if args.check:
        problems = check(pages, args.out or default_out(corpus), corpus)
        for problem in problems:
            print("problem:", problem)
        if problems:
            sys.exit(1)
        print("set checked: %d pages" % len(pages), file=sys.stderr)
    if args.list:
        for p in pages:
            print("%-56s %-5s %-13s %5dx%-5d %s" % (p["name"], p["half"], p["group"],
                                                   p["width"], p["height"], p["file"]))
    print("%d pages, %.1f MP in all (%.2f MP a page on average)" % (
        len(pages), sum(p["width"] * p["height"] for p in pages) / 1e6,
        sum(p["width"] * p["height"] for p in pages) / 1e6 / max(1, len(pages))),
        file=sys.stderr)


if __name__ == "__main__":
    main()
