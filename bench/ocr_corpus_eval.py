#!/usr/bin/env python3
"""Recognition quality and time on real documents: fileprobe against the
tesseract CLI (kor+eng, --psm 3 and --psm 6, one thread each) on the same
images, per group of documents and overall.

  bench/ocr_corpus_eval.py [--build DIR] [--corpus DIR] [--only REGEX]
                           [--cli-cache DIR] [--skip-cli] [--keep DIR]
                           [--baseline BUILD_DIR] [--repeat N]

The corpus is ../shared/extraction-dev beside the repository unless
--corpus names another copy; its files are read in place, never copied into
the repository. Besides its scans and renders, Korean pages are rendered
here from korean/sentences.txt (prose, two columns, a heading with a list,
a low-resolution page), some pages are turned 90, 180 and 270 degrees in
their pixels (no EXIF), and the EXIF-turned samples of bench/ocr_set are
added. A PDF goes to fileprobe as it is and to the CLI as its pages
rendered by `pdftoppm -r 300`; an EXIF-turned image goes to the CLI as its
upright copy where there is one (the CLI ignores EXIF orientation).

CER is measured after NFC and whitespace normalisation (bench/cer.py).
Files whose language kor+eng does not cover are listed apart, outside the
means. --baseline adds a column for another build of fileprobe (the code
before a change). --cli-cache keeps the CLI's outputs and times between runs, since
only fileprobe changes while tuning.

The time of a reader on a document is the median of --repeat rounds (3 by
default); each round runs every reader once, in turn, so that a slow spell
of a shared machine falls on all of them alike.
"""
import statistics
import argparse
import json
import os
import re
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(HERE)
sys.path.insert(0, HERE)
import cer  # noqa: E402

GROUPS = ["upright prose", "multi-column", "low resolution", "sideways", "EXIF-rotated", "photos"]
OTHER = "other language"
MODES = (3, 6)
ENV = dict(os.environ, OMP_THREAD_LIMIT="1")

# Corpus files: name -> group. Every file of scans/ and derived/ is here.
CORPUS = {
    "scans/deskew__deskew-1.png": "upright prose",
    "scans/tesseract.js__meditations.jpg": "upright prose",
    "scans/rapidocr__korean.jpg": "upright prose",
    "derived/dmca_p2_200dpi_skew2.png": "upright prose",
    "derived/pdkids_p2_200dpi_q40.jpg": "upright prose",
    "scans/tesseract-test__8071_093.3B.tif": "multi-column",
    "scans/ocrmypdf__epson.pdf": "multi-column",
    "derived/irs-i1040nr_p2_200dpi.png": "multi-column",
    "derived/irs-i1040nr_p3_200dpi_noise.png": "multi-column",
    "derived/irs-f1040nr_p1_200dpi_q40.jpg": "multi-column",
    "scans/deskew__deskew-3.png": "low resolution",
    "scans/deskew__deskew-4.png": "low resolution",
    "derived/dmca_p1_120dpi.png": "low resolution",
    "derived/irs-i1040nr_p5_300dpi_rot90.png": "sideways",
    "scans/tesseract.js__simple-90.jpg": "EXIF-rotated",
    "scans/deskew__input.jpeg": "photos",
    "scans/donut__sample_image_cord_test_receipt_00004.png": "photos",
    # Languages that kor+eng does not cover (or only in part).
    "scans/deskew__deskew-7.png": OTHER,
    "scans/easyocr__french.jpg": OTHER,
    "scans/kraken__input.jpg": OTHER,
    "scans/rapidocr__img_exif_orientation.jpg": OTHER,
    "derived/pdfjs-issue16063_p1_300dpi.png": OTHER,
    "derived/source-han-serif-readme_p2_200dpi.png": OTHER,
    "derived/source-han-sans-readme_p2_300dpi.png": OTHER,
}


class Document:
    def __init__(self, name, group, path, truth, cli_paths=None, upright_of=None):
        self.name, self.group, self.path, self.truth = name, group, path, truth
        self.cli_paths = cli_paths or [path]  # what the CLI reads, in order
        self.upright_of = upright_of  # name of the same page upright


def run(command, **kwargs):
    subprocess.run(command, check=True, env=ENV, **kwargs)


def truth_of(corpus, index, name):
    return open(os.path.join(corpus, index[name]), encoding="utf-8").read()


def read_index(corpus):
    index = {}
    with open(os.path.join(corpus, "INDEX.tsv"), encoding="utf-8") as rows:
        header = rows.readline().rstrip("\n").split("\t")
        for row in rows:
            fields = dict(zip(header, row.rstrip("\n").split("\t")))
            index[fields["file"]] = fields["truth_file"]
    return index


def render(out, text, font, dpi, width=460, markup=False):
    """Black prose on white as a grey PNG; `width` in points (460: the text
    width of an A4 page)."""
    raw = out + ".raw.png"
    command = ["pango-view", "-q", "--font=" + font, "--dpi=%d" % dpi, "--margin=40",
               "--width=%d" % width, "--wrap=word", "--background=white",
               "--foreground=black", "-o", raw, "--text=" + text]
    if markup:
        command.append("--markup")
    run(command)
    run(["convert", raw, "-colorspace", "Gray", "-depth", "8", out])
    os.remove(raw)


def korean_documents(corpus, work):
    sentences = open(os.path.join(corpus, "korean", "sentences.txt"),
                     encoding="utf-8").read().split("\n")
    take = lambda first, count: sentences[first:first + count]  # noqa: E731
    documents = []

    def add(name, group, path, truth, upright_of=None):
        documents.append(Document(name, group, path, truth, upright_of=upright_of))

    # One block of prose, two fonts and sizes; the second one scanned grey
    # and noisy.
    prose_a = " ".join(take(0, 14))
    path = os.path.join(work, "ko_prose_gothic.png")
    render(path, prose_a, "NanumGothic 12", 200)
    add("ko_prose_gothic", "upright prose", path, prose_a)
    prose_b = " ".join(take(100, 14))
    path = os.path.join(work, "ko_prose_myeongjo_noisy.png")
    render(path + ".clean.png", prose_b, "NanumMyeongjo 12", 200)
    run(["convert", path + ".clean.png", "-seed", "1", "-attenuate", "0.5", "+noise", "Gaussian",
         "-blur", "0x0.5", "-level", "8%,92%", "-colorspace", "Gray", path])
    add("ko_prose_myeongjo_noisy", "upright prose", path, prose_b)
    # A heading over a numbered list.
    items = take(300, 8)
    heading = "회의 안건 정리"
    path = os.path.join(work, "ko_heading_list.png")
    markup = "<span size='x-large' weight='bold'>%s</span>\n\n%s" % (
        heading, "\n".join("%d. %s" % (i + 1, s) for i, s in enumerate(items)))
    render(path, markup, "NanumGothic 12", 200, markup=True)
    add("ko_heading_list", "upright prose", path,
        heading + " " + " ".join("%d. %s" % (i + 1, s) for i, s in enumerate(items)))
    # Two columns side by side with a gutter: read left column, then right.
    left, right = " ".join(take(200, 12)), " ".join(take(212, 12))
    path = os.path.join(work, "ko_two_columns.png")
    render(path + ".l.png", left, "NanumMyeongjo 11", 200, width=220)
    render(path + ".r.png", right, "NanumMyeongjo 11", 200, width=220)
    run(["convert", path + ".l.png", path + ".r.png", "-background", "white", "-gravity",
         "North", "+append", "+repage", "-colorspace", "Gray", path])
    add("ko_two_columns", "multi-column", path, left + " " + right)
    # A low-resolution page: small type at 100 dpi.
    low = " ".join(take(400, 10))
    path = os.path.join(work, "ko_prose_100dpi.png")
    render(path, low, "NanumGothic 11", 100)
    add("ko_prose_100dpi", "low resolution", path, low)
    return documents


def sideways_documents(corpus, index, work, upright):
    """Pages turned in their pixels, without EXIF, each with its upright
    twin's name."""
    documents = []
    by_name = {d.name: d for d in upright}
    for source, degrees in (("ko_prose_gothic", 90), ("ko_prose_gothic", 180),
                            ("ko_prose_gothic", 270), ("ko_two_columns", 90),
                            ("derived/dmca_p2_200dpi_skew2.png", 270)):
        original = by_name[source]
        path = os.path.join(work, "%s_rot%d.png" % (os.path.basename(source).split(".")[0],
                                                    degrees))
        run(["convert", original.path, "-rotate", str(degrees), "-strip", path])
        documents.append(Document("%s rot%d" % (source, degrees), "sideways", path,
                                  original.truth, upright_of=source))
    # The corpus's own sideways page, and its upright twin made here.
    name = "derived/irs-i1040nr_p5_300dpi_rot90.png"
    twin = os.path.join(work, "irs-i1040nr_p5_upright.png")
    run(["convert", os.path.join(corpus, name), "-rotate", "-90", "-strip", twin])
    documents.append(Document(name + " upright", "sideways (upright twin)", twin,
                              truth_of(corpus, index, name)))
    return documents


def corpus_documents(corpus, index, work):
    documents = []
    for name, group in CORPUS.items():
        path = os.path.join(corpus, name)
        cli_paths = None
        if name.endswith(".pdf"):
            stem = os.path.join(work, os.path.basename(name)[:-4])
            run(["pdftoppm", "-r", "300", "-gray", "-png", path, stem])
            cli_paths = sorted(os.path.join(work, f) for f in os.listdir(work)
                               if f.startswith(os.path.basename(stem) + "-"))
        documents.append(Document(name, group, path, truth_of(corpus, index, name), cli_paths,
                                  upright_of=(name + " upright") if group == "sideways" else None))
    return documents


def ocr_set_documents():
    folder = os.path.join(HERE, "ocr_set")
    documents = []
    for name in sorted(os.listdir(folder)):
        if re.match(r"sample_.*_exif\d\.jpg$", name):
            base = os.path.join(folder, name[:-4])
            documents.append(Document("ocr_set/" + name, "EXIF-rotated", base + ".jpg",
                                      open(base + ".txt", encoding="utf-8").read(),
                                      [base + ".upright.png"]))
    return documents


def timed(command):
    start = time.monotonic()
    out = subprocess.run(command, env=ENV, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    return out.stdout.decode("utf-8", "replace"), time.monotonic() - start


def fileprobe_text(build, document):
    out, seconds = timed([os.path.join(build, "bin", "fileprobe"), document.path])
    try:
        return json.loads(out)["text"], seconds
    except (ValueError, KeyError):
        return "", seconds


def safe(name):
    return re.sub(r"[^A-Za-z0-9_.-]", "_", name)


def cli_text(document, mode, cache):
    key = safe(document.name) + ".psm%d.json" % mode
    if cache and os.path.exists(os.path.join(cache, key)):
        saved = json.load(open(os.path.join(cache, key), encoding="utf-8"))
        return saved["text"], saved["seconds"]
    text, seconds = cli_run(document, mode)
    if cache:
        json.dump({"text": text, "seconds": seconds},
                  open(os.path.join(cache, key), "w", encoding="utf-8"))
    return text, seconds


def cli_run(document, mode):
    texts, seconds = [], 0.0
    for path in document.cli_paths:
        text, spent = timed(["tesseract", path, "-", "-l", "kor+eng", "--psm", str(mode)])
        texts.append(text)
        seconds += spent
    return "\n\n".join(texts), seconds


def mean(values):
    return sum(values) / len(values) if values else float("nan")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--build", default=os.path.join(REPO, "build"))
    parser.add_argument("--corpus", default=os.path.join(REPO, "..", "shared", "extraction-dev"))
    parser.add_argument("--only", help="documents whose name matches this expression")
    parser.add_argument("--cli-cache", help="folder keeping the CLI's outputs between runs")
    parser.add_argument("--skip-cli", action="store_true")
    parser.add_argument("--keep", help="folder for the rendered inputs (kept)")
    parser.add_argument("--baseline", help="build folder of fileprobe to compare with")
    parser.add_argument("--repeat", type=int, default=3, help="rounds per document")
    args = parser.parse_args()
    corpus = os.path.abspath(args.corpus)
    index = read_index(corpus)
    if args.cli_cache:
        os.makedirs(args.cli_cache, exist_ok=True)
    work = args.keep or tempfile.mkdtemp(prefix="ocr_corpus_")
    os.makedirs(work, exist_ok=True)

    documents = corpus_documents(corpus, index, work)
    korean = korean_documents(corpus, work)
    documents += korean + ocr_set_documents()
    documents += sideways_documents(corpus, index, work, documents)
    if args.only:
        documents = [d for d in documents if re.search(args.only, d.name)]
    if args.keep:  # each reference beside the inputs, for reading the differences
        for d in documents:
            with open(os.path.join(work, safe(d.name) + ".truth.txt"), "w",
                      encoding="utf-8") as out:
                out.write(d.truth)

    columns = (["fileprobe"] + (["baseline"] if args.baseline else []) +
               ([] if args.skip_cli else ["psm%d" % m for m in MODES]))
    results = {}  # name -> {column: (cer, seconds)}
    print("%-48s %-16s" % ("document", "group") +
          "".join(" %9s %7s" % (c, "s") for c in columns), flush=True)
    readers = {"fileprobe": lambda d: fileprobe_text(args.build, d)}
    if args.baseline:
        readers["baseline"] = lambda d: fileprobe_text(args.baseline, d)
    if not args.skip_cli:
        for mode in MODES:
            readers["psm%d" % mode] = (
                lambda d, m=mode: cli_text(d, m, args.cli_cache) if args.cli_cache
                else cli_run(d, m))
    for document in documents:
        texts, times = {}, {c: [] for c in columns}
        for _ in range(max(1, args.repeat)):
            for c in columns:
                texts[c], seconds = readers[c](document)
                times[c].append(seconds)
        row = {c: (cer.cer(document.truth, texts[c]), statistics.median(times[c]))
               for c in columns}
        results[document.name] = row
        print("%-48s %-16s" % (document.name[-48:], document.group[:16]) +
              "".join(" %9.4f %7.1f" % row[c] for c in columns), flush=True)

    print("\nper group: mean CER, total seconds (one thread each)" +
          ("; fileprobe's time against psm3" if "psm3" in columns else ""))
    print("%-28s %3s" % ("group", "n") + "".join(" %9s %7s" % (c, "s") for c in columns))
    covered = [d for d in documents if d.group in GROUPS]
    for group in GROUPS + ["all covered files", OTHER]:
        chosen = (covered if group == "all covered files"
                  else [d for d in documents if d.group == group])
        if not chosen:
            continue
        cells = ""
        seconds = {c: sum(results[d.name][c][1] for d in chosen) for c in columns}
        for c in columns:
            cells += " %9.4f %7.1f" % (mean([results[d.name][c][0] for d in chosen]), seconds[c])
        if "psm3" in columns and seconds["psm3"] > 0:
            cells += "   %.2fx" % (seconds["fileprobe"] / seconds["psm3"])
        print("%-28s %3d" % (group, len(chosen)) + cells)

    twins = [d for d in documents if d.upright_of and d.upright_of in results]
    if twins:
        print("\nsideways pages next to the same pages upright (fileprobe CER)")
        for d in twins:
            print("%-48s %9.4f  upright %9.4f" % (d.name[-48:], results[d.name]["fileprobe"][0],
                                                  results[d.upright_of]["fileprobe"][0]))


if __name__ == "__main__":
    main()
