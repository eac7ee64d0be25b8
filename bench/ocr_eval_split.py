#!/usr/bin/env python3
"""Recognition quality and time on a tuning half and a validation half:
fileprobe against the tesseract CLI (kor+eng, --psm 3 and --psm 6, one
thread each) on the generated pages of bench/ocr_pages.py and the real files
of ../shared/extraction-dev.

  bench/ocr_eval_split.py [--build DIR] [--half tune|valid|all] [--only REGEX]
                          [--jobs N] [--cli-cache DIR] [--refresh-cli] [--keep DIR]
                          [--baseline BUILD] [--json OUT] [--pages DIR]
                          [--corpus DIR] [--no-real] [--no-generated]
  bench/ocr_eval_split.py --from-json RUN.json... [--half H] [--only REGEX]

The halves are fixed in the repository: a generated page's half follows
from its seed (bench/ocr_pages.py), a real file's from
bench/pages/real_files.tsv. Choose settings on "tune"; "valid" is the
check.

The CER is measured with all white space removed after NFC (bench/cer.py,
ignore_space); the older measure, white space runs as one space, is given
in one summary line. A PDF goes to fileprobe as it is and to the CLI as its
pages rendered by `pdftoppm -r 300`; an EXIF-rotated image goes to the CLI
as its upright copy (the CLI ignores the tag), a page turned in its pixels
as it is. The CLI's readings and times are kept in --cli-cache (by the
digest of what it read), since they do not change while fileprobe is tuned;
their times are those of the run that filled the cache (--refresh-cli runs
the CLI again, for a time ratio measured under the same load).
Documents run in --jobs workers (2 by default), each document's readers one
after another, every reader on one thread (OMP_THREAD_LIMIT=1). The run
gives the highest one-minute load average it saw, and says so when other
work ran beside it: then its times are not evidence.
"""
import argparse
import concurrent.futures
import hashlib
import json
import os
import re
import subprocess
import sys
import tempfile
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(HERE)
sys.path.insert(0, HERE)
import cer  # noqa: E402
import ocr_pages  # noqa: E402

MODES = (3, 6)
ENV = dict(os.environ, OMP_THREAD_LIMIT="1")
HALVES = ("tune", "valid")
OTHER = "other language"
GROUP_ORDER = [g for g, _ in ocr_pages.GROUPS] + ["turned", "EXIF-rotated", "real"]
REAL_TABLE = os.path.join(HERE, "pages", "real_files.tsv")
# The targets.
PAGE_MARGIN = 0.05     # no page worse than the better CLI reading by more
TWIN_MARGIN = 0.02     # a turned page against the same page upright
TIME_RATIO = 1.2       # fileprobe's time against --psm 3
OVERALL_FACTOR = 0.5   # overall mean against the better CLI setting's
# A run's own workers keep the load near their number; a load this far
# above it means something else ran beside the run (a build compiling
# beside one made fileprobe's and the CLI's times up to three times longer).
LOAD_MARGIN = 1.0
LOAD_SAMPLE_SECONDS = 30


class Document:
    def __init__(self, name, group, half, path, truth, cli_paths=None, twin=None, kind=""):
        self.name, self.group, self.half, self.path = name, group, half, path
        self.truth = truth
        self.cli_paths = cli_paths or [path]
        self.twin = twin  # the name of the same page upright
        self.kind = kind
        self.covered = group != OTHER


def read_real_table():
    rows = []
    for line in open(REAL_TABLE, encoding="utf-8"):
        if line.startswith("#") or line.startswith("file\t") or not line.strip():
            continue
        name, kind, half = line.rstrip("\n").split("\t")
        rows.append((name, kind, half))
    return rows


def read_index(corpus):
    index = {}
    with open(os.path.join(corpus, "INDEX.tsv"), encoding="utf-8") as rows:
        header = rows.readline().rstrip("\n").split("\t")
        for row in rows:
            fields = dict(zip(header, row.rstrip("\n").split("\t")))
            index[fields["file"]] = fields["truth_file"]
    return index


def run(command):
    subprocess.run(command, check=True, env=ENV, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL)


def pdf_renders(path, work):
    """The pages of a PDF as the CLI reads them: `pdftoppm -r 300`, grey."""
    stem = os.path.join(work, re.sub(r"[^A-Za-z0-9_.-]", "_", os.path.basename(path))[:-4])
    if not any(f.startswith(os.path.basename(stem) + "-") for f in os.listdir(work)):
        run(["pdftoppm", "-r", "300", "-gray", "-png", path, stem])
    return sorted(os.path.join(work, f) for f in os.listdir(work)
                  if f.startswith(os.path.basename(stem) + "-"))


def real_documents(corpus, work):
    index = read_index(corpus)
    table = read_real_table()
    listed = {name for name, _, _ in table}
    present = {folder + "/" + f for folder in ("scans", "derived")
               for f in os.listdir(os.path.join(corpus, folder))}
    if present - listed:
        sys.exit("real files missing from %s: %s" % (REAL_TABLE, sorted(present - listed)))
    documents = []
    for name, kind, half in table:
        path = os.path.join(corpus, name)
        truth = open(os.path.join(corpus, index[name]), encoding="utf-8").read()
        group = OTHER if kind == OTHER else "real"
        stem = os.path.join(work, re.sub(r"[^A-Za-z0-9_.-]", "_", name))
        cli_paths = None
        if name.endswith(".pdf"):
            cli_paths = pdf_renders(path, work)
        elif kind == "EXIF-rotated" or name.endswith("img_exif_orientation.jpg"):
            upright = stem + ".upright.png"
            if not os.path.exists(upright):
                run(["convert", path, "-auto-orient", upright])
            cli_paths = [upright]
        twin = None
        if kind == "sideways":  # its upright twin, made here, in the same half
            upright = stem + ".upright.png"
            if not os.path.exists(upright):
                run(["convert", path, "-rotate", "-90", "-strip", upright])
            documents.append(Document(name + " upright", group, half, upright, truth,
                                      kind="sideways (upright twin)"))
            twin = name + " upright"
        documents.append(Document(name, group, half, path, truth, cli_paths, twin, kind))
    return documents


def generated_documents(pages_dir, corpus, jobs):
    pages = ocr_pages.generate(pages_dir, corpus, jobs)
    folder = pages_dir or ocr_pages.default_out(corpus)
    documents = []
    for p in pages:
        truth = open(os.path.join(folder, p["truth"]), encoding="utf-8").read()
        cli = [os.path.join(folder, p["cli_file"])] if p.get("cli_file") else None
        if p["file"].endswith(".pdf"):
            cli = pdf_renders(os.path.join(folder, p["file"]), folder)
        documents.append(Document(p["name"], p["group"], p["half"],
                                  os.path.join(folder, p["file"]), truth, cli, p.get("twin"),
                                  kind="%s %s %dpx %s" % (p["lang"], p["font"], p["size"],
                                                          p["finish"])))
    return documents


# ---------------------------------------------------------------- readers

def timed(command):
    start = time.monotonic()
    out = subprocess.run(command, env=ENV, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    return out.stdout.decode("utf-8", "replace"), time.monotonic() - start


def fileprobe_reading(build, document):
    out, seconds = timed([os.path.join(build, "bin", "fileprobe"), document.path])
    try:
        return json.loads(out)["text"], seconds
    except (ValueError, KeyError, TypeError):
        return "", seconds


_version = None


def tesseract_version():
    global _version
    if _version is None:
        out = subprocess.run(["tesseract", "--version"], stdout=subprocess.PIPE,
                             stderr=subprocess.STDOUT).stdout.decode()
        _version = out.split("\n")[0].strip()
    return _version


def cli_reading(document, mode, cache, refresh=False):
    digest = hashlib.sha256(tesseract_version().encode())
    for path in document.cli_paths:
        digest.update(open(path, "rb").read())
    key = os.path.join(cache, "%s.psm%d.json" % (digest.hexdigest()[:24], mode))
    if os.path.exists(key) and not refresh:
        saved = json.load(open(key, encoding="utf-8"))
        return saved["text"], saved["seconds"]
    texts, seconds = [], 0.0
    for path in document.cli_paths:
        text, spent = timed(["tesseract", path, "-", "-l", "kor+eng", "--psm", str(mode)])
        texts.append(text)
        seconds += spent
    text = "\n\n".join(texts)
    with open(key + ".part", "w", encoding="utf-8") as f:
        json.dump({"text": text, "seconds": seconds, "document": document.name}, f,
                  ensure_ascii=False)
    os.replace(key + ".part", key)
    return text, seconds


# ---------------------------------------------------------------- summary

def watch_load(done, loads):
    """Samples the one-minute load average into `loads` until `done`."""
    while True:
        loads.append(os.getloadavg()[0])
        if done.wait(LOAD_SAMPLE_SECONDS):
            return


def mean(values):
    values = list(values)
    return sum(values) / len(values) if values else float("nan")


def fmt(value):
    return "%7.4f" % value if value == value else "%7s" % "-"


class Report:
    def __init__(self, documents, results, columns):
        self.documents, self.results, self.columns = documents, results, columns
        self.by_name = {d.name: d for d in documents}

    def cer(self, d, column, key="cer"):
        return self.results[d.name][key][column]

    def best_cli(self, d):
        return min(self.cer(d, "psm%d" % m) for m in MODES)

    def group_table(self, half_docs, label):
        print("\n== %s: mean CER (white space ignored) by group; seconds summed ==" % label)
        cols = self.columns
        print("%-16s %4s" % ("group", "n") + "".join(" %9s" % c for c in cols) +
              " %9s %6s %9s %9s %7s" % ("betterCLI", "", "fp-best", "fp s", "fp/psm3"))
        rows = []
        groups = [g for g in GROUP_ORDER if any(d.group == g for d in half_docs)]
        for group in groups + ["ALL covered", OTHER]:
            if group == "ALL covered":
                chosen = [d for d in half_docs if d.covered]
            else:
                chosen = [d for d in half_docs if d.group == group]
            if not chosen:
                continue
            means = {c: mean(self.cer(d, c) for d in chosen) for c in cols}
            better_mode = min(MODES, key=lambda m: means["psm%d" % m])
            better = means["psm%d" % better_mode]
            fp_seconds = sum(self.results[d.name]["seconds"]["fileprobe"] for d in chosen)
            psm3_seconds = sum(self.results[d.name]["seconds"]["psm3"] for d in chosen)
            print("%-16s %4d" % (group[:16], len(chosen)) +
                  "".join("   %s" % fmt(means[c]) for c in cols) +
                  "   %s %6s   %s %9.1f %6.2fx" % (
                      fmt(better), "psm%d" % better_mode, fmt(means["fileprobe"] - better),
                      fp_seconds, fp_seconds / psm3_seconds if psm3_seconds else float("nan")))
            rows.append((group, means, better, fp_seconds, psm3_seconds))
        return rows

    def worst(self, half_docs, label, count=10):
        print("\n== %s: worst pages (fileprobe minus the better CLI reading) ==" % label)
        chosen = sorted((d for d in half_docs if d.covered),
                        key=lambda d: self.cer(d, "fileprobe") - self.best_cli(d), reverse=True)
        for d in chosen[:count]:
            print("%+7.4f  fp %6.4f psm3 %6.4f psm6 %6.4f  %-13s %s" % (
                self.cer(d, "fileprobe") - self.best_cli(d), self.cer(d, "fileprobe"),
                self.cer(d, "psm3"), self.cer(d, "psm6"), d.group[:13], d.name))

    def twins(self, half_docs, label):
        pairs = [d for d in half_docs if d.twin and d.twin in self.results]
        if not pairs:
            return []
        print("\n== %s: turned and EXIF-rotated pages against the same page upright "
              "(fileprobe CER) ==" % label)
        out = []
        for group in sorted({d.group for d in pairs}, key=lambda g: GROUP_ORDER.index(g)
                            if g in GROUP_ORDER else 99):
            chosen = [d for d in pairs if d.group == group]
            diffs = [self.cer(d, "fileprobe") - self.results[d.twin]["cer"]["fileprobe"]
                     for d in chosen]
            worst = max(range(len(chosen)), key=lambda i: diffs[i])
            print("%-14s n %3d  turned %6.4f  upright %6.4f  difference mean %+.4f max %+.4f"
                  "  (%s)" % (group, len(chosen), mean(self.cer(d, "fileprobe") for d in chosen),
                              mean(self.results[d.twin]["cer"]["fileprobe"] for d in chosen),
                              mean(diffs), diffs[worst], chosen[worst].name))
            out += diffs
        return out

    def targets(self, half_docs, label, rows, diffs):
        print("\n== %s: targets ==" % label)
        by_group = {r[0]: r for r in rows}
        failing = [g for g, means, better, _, _ in rows
                   if g not in ("ALL covered", OTHER) and means["fileprobe"] > better + 1e-9]
        line = lambda ok, text: print("%s  %s" % ("PASS" if ok else "FAIL", text))  # noqa: E731
        line(not failing, "every group at or below the better CLI setting" +
             (" (above: %s)" % ", ".join(failing) if failing else ""))
        if "ALL covered" in by_group:
            _, means, better, fp_s, psm3_s = by_group["ALL covered"]
            line(means["fileprobe"] <= OVERALL_FACTOR * better,
                 "overall mean %.4f at most half the better CLI setting's %.4f (%.4f)" % (
                     means["fileprobe"], better, OVERALL_FACTOR * better))
        covered = [d for d in half_docs if d.covered]
        excess = [(self.cer(d, "fileprobe") - self.best_cli(d), d.name) for d in covered]
        bad = [e for e in excess if e[0] > PAGE_MARGIN]
        line(not bad, "no page worse than its better CLI reading by more than %.2f "
             "(%d worse; worst %+.4f)" % (PAGE_MARGIN, len(bad), max(excess)[0]))
        if diffs:
            bad_twins = [x for x in diffs if x > TWIN_MARGIN]
            line(not bad_twins, "turned/EXIF within %.2f of upright (%d of %d above; max %+.4f)" %
                 (TWIN_MARGIN, len(bad_twins), len(diffs), max(diffs)))
        fp_s = sum(self.results[d.name]["seconds"]["fileprobe"] for d in half_docs)
        psm3_s = sum(self.results[d.name]["seconds"]["psm3"] for d in half_docs)
        line(fp_s <= TIME_RATIO * psm3_s, "time at most %.1fx psm3 (%.1f s against %.1f s: %.2fx)"
             % (TIME_RATIO, fp_s, psm3_s, fp_s / psm3_s if psm3_s else float("nan")))

    def old_measure(self, half_docs, label):
        covered = [d for d in half_docs if d.covered]
        print("\n%s: mean CER with white space runs as one space (older measure): " % label +
              "  ".join("%s %.4f" % (c, mean(self.cer(d, c, "cer_ws") for d in covered))
                        for c in self.columns))


def summarise(documents, results, columns):
    report = Report(documents, results, columns)
    halves = [h for h in HALVES if any(d.half == h for d in documents)]
    for half in halves + (["all"] if len(halves) > 1 else []):
        half_docs = [d for d in documents if half == "all" or d.half == half]
        rows = report.group_table(half_docs, half)
        if half == "all":
            continue
        report.worst(half_docs, half)
        diffs = report.twins(half_docs, half)
        report.targets(half_docs, half + (" (the check)" if half == "valid" else
                                          " (for information)"), rows, diffs)
        report.old_measure(half_docs, half)


def from_json(paths, half, only):
    """The summary of saved runs (--json files); where a document is in
    several, the last file's reading counts."""
    documents, results, columns = {}, {}, None
    for path in paths:
        data = json.load(open(path, encoding="utf-8"))
        for d in data["documents"]:
            documents[d["name"]] = Document(d["name"], d["group"], d["half"], d["path"], "",
                                            twin=d.get("twin"), kind=d.get("kind", ""))
            results[d["name"]] = {k: d[k] for k in ("cer", "cer_ws", "seconds")}
            columns = columns or list(d["cer"])
    chosen = [d for d in documents.values() if half in ("all", d.half)]
    if only:
        names = {d.name for d in chosen if re.search(only, d.name)}
        names |= {d.twin for d in chosen if d.name in names and d.twin}
        chosen = [d for d in chosen if d.name in names]
    summarise(chosen, results, columns)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--build", default=os.path.join(REPO, "build"))
    parser.add_argument("--corpus", default=ocr_pages.DEFAULT_CORPUS)
    parser.add_argument("--half", choices=("tune", "valid", "all"), default="all")
    parser.add_argument("--only", help="documents whose name matches this expression")
    parser.add_argument("--jobs", type=int, default=2, help="documents read at once")
    parser.add_argument("--cli-cache", default="/tmp/fileprobe-ocr-cli-cache",
                        help="folder keeping the CLI's readings between runs")
    parser.add_argument("--refresh-cli", action="store_true",
                        help="run the CLI again and replace its cached readings and times")
    parser.add_argument("--keep", help="folder for every reading and truth (kept)")
    parser.add_argument("--baseline", help="another fileprobe build folder, read side by side")
    parser.add_argument("--json", help="write the per-document results here")
    parser.add_argument("--pages", help="folder of the generated pages (default: under /tmp)")
    parser.add_argument("--no-real", action="store_true", help="generated pages only")
    parser.add_argument("--no-generated", action="store_true", help="real files only")
    parser.add_argument("--from-json", nargs="+", metavar="JSON",
                        help="read nothing: summarise saved --json runs (the last wins)")
    args = parser.parse_args()
    if args.from_json:
        return from_json(args.from_json, args.half, args.only)
    corpus = os.path.abspath(args.corpus)
    if not os.path.exists(os.path.join(args.build, "bin", "fileprobe")):
        sys.exit("no fileprobe in %s/bin (make build)" % args.build)
    os.makedirs(args.cli_cache, exist_ok=True)
    work = os.path.join(tempfile.gettempdir(), "fileprobe-ocr-real-renders")  # PDF pages
    os.makedirs(work, exist_ok=True)

    documents = []
    if not args.no_real:
        documents += real_documents(corpus, work)
    if not args.no_generated:
        documents += generated_documents(args.pages, corpus, args.jobs)
    if args.half != "all":
        documents = [d for d in documents if d.half == args.half]
    if args.only:
        chosen = {d.name for d in documents if re.search(args.only, d.name)}
        # A turned page brings its upright twin along.
        chosen |= {d.twin for d in documents if d.name in chosen and d.twin}
        documents = [d for d in documents if d.name in chosen]
    if args.keep:
        os.makedirs(args.keep, exist_ok=True)

    columns = ["fileprobe"] + (["baseline"] if args.baseline else []) + \
              ["psm%d" % m for m in MODES]
    readers = {"fileprobe": lambda d: fileprobe_reading(args.build, d)}
    if args.baseline:
        readers["baseline"] = lambda d: fileprobe_reading(args.baseline, d)
    for mode in MODES:
        readers["psm%d" % mode] = lambda d, m=mode: cli_reading(d, m, args.cli_cache,
                                                                 args.refresh_cli)

    results = {}
    lock = threading.Lock()
    started = time.monotonic()
    print("%d documents (%s), %d workers; CER with white space ignored" % (
        len(documents), args.half, args.jobs), flush=True)
    print("%-4s %-5s %-13s" % ("#", "half", "group") +
          "".join(" %9s %6s" % (c, "s") for c in columns) + "  document", flush=True)

    def read(document):
        row = {"cer": {}, "cer_ws": {}, "seconds": {}}
        texts = {}
        for c in columns:
            texts[c], row["seconds"][c] = readers[c](document)
            row["cer"][c] = cer.cer(document.truth, texts[c], ignore_space=True)
            row["cer_ws"][c] = cer.cer(document.truth, texts[c])
        if args.keep:
            stem = os.path.join(args.keep, re.sub(r"[^A-Za-z0-9_.-]", "_", document.name))
            for c in columns:
                with open("%s.%s.txt" % (stem, c), "w", encoding="utf-8") as f:
                    f.write(texts[c])
            with open(stem + ".truth.txt", "w", encoding="utf-8") as f:
                f.write(document.truth)
        with lock:
            results[document.name] = row
            print("%-4d %-5s %-13s" % (len(results), document.half, document.group[:13]) +
                  "".join(" %9.4f %6.1f" % (row["cer"][c], row["seconds"][c]) for c in columns) +
                  "  " + document.name, flush=True)

    # Largest first, so that the workers finish together.
    order = sorted(documents, key=lambda d: -os.path.getsize(d.path))
    done = threading.Event()
    loads = []
    watcher = threading.Thread(target=watch_load, args=(done, loads), daemon=True)
    watcher.start()
    with concurrent.futures.ThreadPoolExecutor(max(1, args.jobs)) as pool:
        for future in [pool.submit(read, d) for d in order]:
            future.result()
    wall = time.monotonic() - started
    done.set()
    watcher.join()

    summarise(documents, results, columns)
    print("\nwall time %.0f s for %d documents with %d workers" % (wall, len(documents),
                                                                  args.jobs))
    busiest = max(loads, default=0.0)
    print("load average (1 min) at most %.1f during the run" % busiest)
    if busiest > args.jobs + LOAD_MARGIN:
        print("NOTE  other work ran beside this run: its times are not evidence; "
              "time a build with nothing else running")
    if args.json:
        with open(args.json, "w", encoding="utf-8") as f:
            json.dump({"build": os.path.abspath(args.build), "baseline": args.baseline,
                       "documents": [dict(name=d.name, half=d.half, group=d.group, kind=d.kind,
                                          twin=d.twin, path=d.path, **results[d.name])
                                     for d in documents]}, f, ensure_ascii=False, indent=1)


if __name__ == "__main__":
    main()
