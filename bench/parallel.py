#!/usr/bin/env python3
"""Pages recognised side by side against one after the other, measured in
one run with the two readings interleaved (the probe build of the helper
has a road for each reading). Prints ratios; the machine may be shared, so
read them together with the load it reports.

  parallel.py readings BUILD_DIR SCAN_PDF [ROUNDS] [CONCURRENT]
  parallel.py concurrent BUILD_DIR SCAN_PDF ROUNDS [CONCURRENT]
  parallel.py pages BUILD_DIR SCAN_PDF PAGE_PDF...
  parallel.py crowd BUILD_DIR SCAN_PDF [COUNT]

readings:

  - wall time and processor time (user + system) of one run of each
    reading, and their ratios;
  - peak address space (VmPeak, sampled) and peak resident memory (maxrss)
    of the helper reading side by side, with three engines and one;
  - CONCURRENT runs at once of each reading: wall time until all ended.
concurrent: that last part alone, ROUNDS rounds.
pages: the wall time side by side on three or more processors, worked out
  from the processor time of each page read alone (PAGE_PDF, one page
  each, in order) and of its rendering (pdftoppm at the same size): page i
  starts once pages 0..i are rendered, and ends its own processor time
  later; against the slowest page's recognition and rendering.
crowd: COUNT (24) extractions of SCAN_PDF by the built fileprobe at once;
  every answer against a lone run's.
"""
import os
import resource
import statistics
import subprocess
import sys
import threading
import time

ENVIRONMENT = {"OMP_THREAD_LIMIT": "1"}
SAMPLE_SECONDS = 0.02


def peak_address_space(pid, peaks):
    """Samples VmPeak of `pid` until it ends; keeps the largest in peaks[0] (KiB)."""
    path = "/proc/%d/status" % pid
    while True:
        try:
            with open(path) as status:
                for line in status:
                    if line.startswith("VmPeak:"):
                        peaks[0] = max(peaks[0], int(line.split()[1]))
        except (FileNotFoundError, ProcessLookupError):
            return
        time.sleep(SAMPLE_SECONDS)


def run_helper(probe, road, scan):
    """One run: (wall s, processor s, maxrss KiB, sampled VmPeak KiB, answer)."""
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.monotonic()
    with open(scan, "rb") as stdin:
        child = subprocess.Popen([probe, road], stdin=stdin, stdout=subprocess.PIPE,
                                 stderr=subprocess.DEVNULL, env=ENVIRONMENT)
        peaks = [0]
        sampler = threading.Thread(target=peak_address_space, args=(child.pid, peaks))
        sampler.start()
        answer, _ = child.communicate()
        sampler.join()
    wall = time.monotonic() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
    # ru_maxrss of children is the largest of any child so far, so it is
    # exact only for the largest run; the caller keeps the maximum.
    return wall, cpu, after.ru_maxrss, peaks[0], answer


def concurrent_wall(probe, road, scan, count):
    """Wall time until `count` simultaneous runs of `road` all ended."""
    start = time.monotonic()
    children = []
    for _ in range(count):
        stdin = open(scan, "rb")
        children.append((subprocess.Popen([probe, road], stdin=stdin, stdout=subprocess.PIPE,
                                          stderr=subprocess.DEVNULL, env=ENVIRONMENT), stdin))
    answers = set()
    for child, stdin in children:
        answers.add(child.communicate()[0])
        stdin.close()
    return time.monotonic() - start, answers


def processor_seconds(command, stdin_path=None, runs=3):
    """Median user + system seconds of `command`."""
    spent = []
    for _ in range(runs):
        before = resource.getrusage(resource.RUSAGE_CHILDREN)
        stdin = open(stdin_path, "rb") if stdin_path else subprocess.DEVNULL
        subprocess.run(command, stdin=stdin, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, env=ENVIRONMENT, check=False)
        after = resource.getrusage(resource.RUSAGE_CHILDREN)
        spent.append((after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime))
    return statistics.median(spent)


def pages(build, scan, page_pdfs):
    probe = os.path.join(build, "libexec/fileprobe/fileprobe-extract-probe")
    alone = [processor_seconds([probe, "pdf-sequential"], page) for page in page_pdfs]
    # pdftoppm renders as the helper does: the whole page, grey, longer side 1800.
    # Without an output name it writes the one page to standard output.
    render = [processor_seconds(["pdftoppm", "-gray", "-scale-to", "1800", page])
              for page in page_pdfs]
    whole = processor_seconds([probe, "pdf-sequential"], scan)
    slowest = max(range(len(alone)), key=lambda i: alone[i])
    print("processor time of each page read alone (start-up, engine, rendering and recognition):")
    for i, (a, r) in enumerate(zip(alone, render)):
        print("  page %d: %5.2f s, of which rendering %4.2f s" % (i + 1, a, r))
    print("one after the other, whole document: %5.2f s" % whole)
    for processors in (2, len(alone)):
        wall = scheduled_wall(alone, render, processors)
        print("side by side on %d free processors: %5.2f s = x%.2f of one after the other, "
              "x%.2f of the slowest page alone (%5.2f s)"
              % (processors, wall, wall / whole, wall / alone[slowest], alone[slowest]))


def scheduled_wall(alone, render, threads):
    """The wall time of `threads` threads on as many free processors: the
    calling thread renders the pages in order (page i is ready once pages
    0..i are rendered) and then reads pages too; each page goes to the
    thread free first and takes its own time read alone, less its
    rendering. Conservative: each page still pays the start-up and the
    engine's loading, which threads share or overlap."""
    # The calling thread (0) reads only once every page is rendered.
    free = [sum(render)] + [0.0] * (threads - 1)
    ready = 0.0
    ends = []
    for a, r in zip(alone, render):
        ready += r
        thread = min(range(threads), key=lambda t: free[t])
        start = max(ready, free[thread])
        free[thread] = start + (a - r)
        ends.append(free[thread])
    return max(ends)


def crowd(build, scan, count):
    fileprobe = os.path.join(build, "bin/fileprobe")
    lone = subprocess.run([fileprobe, scan], capture_output=True, check=False).stdout
    print("%d extractions at once of %s; load average %s" % (
        count, os.path.basename(scan), " ".join("%.2f" % x for x in os.getloadavg())))
    start = time.monotonic()
    children = [subprocess.Popen([fileprobe, scan], stdout=subprocess.PIPE,
                                 stderr=subprocess.PIPE) for _ in range(count)]
    outcomes = [child.communicate() for child in children]
    wall = time.monotonic() - start
    same = sum(1 for out, _ in outcomes if out == lone)
    quiet = all(err == b"" for _, err in outcomes)
    print("  all ended after %.1f s; %d of %d answers the same as a lone run's; stderr empty: %s"
          % (wall, same, count, quiet))
    for out, _ in outcomes:
        if out != lone:
            print("  differs: %s" % out[:200])


def main():
    mode = sys.argv.pop(1)
    if mode == "pages":
        return pages(sys.argv[1], sys.argv[2], sys.argv[3:])
    if mode == "concurrent":  # concurrent BUILD SCAN ROUNDS [COUNT]: that part alone
        probe = os.path.join(sys.argv[1], "libexec/fileprobe/fileprobe-extract-probe")
        count = int(sys.argv[4]) if len(sys.argv) > 4 else 4
        return concurrent_readings(probe, sys.argv[2], count, int(sys.argv[3]), {})
    if mode == "crowd":
        return crowd(sys.argv[1], sys.argv[2], int(sys.argv[3]) if len(sys.argv) > 3 else 24)
    build, scan = sys.argv[1], sys.argv[2]
    rounds = int(sys.argv[3]) if len(sys.argv) > 3 else 5
    concurrent = int(sys.argv[4]) if len(sys.argv) > 4 else 4
    probe = os.path.join(build, "libexec/fileprobe/fileprobe-extract-probe")
    readings = ["pdf-sequential", "pdf", "pdf-three-engines"]
    print("scan: %s; %d processors; load average %s" % (
        os.path.basename(scan), len(os.sched_getaffinity(0)),
        " ".join("%.2f" % x for x in os.getloadavg())))

    walls = {r: [] for r in readings}
    cpus = {r: [] for r in readings}
    peaks = {r: 0 for r in readings}
    answers = {r: set() for r in readings}
    for _ in range(rounds):
        for road in readings:  # interleaved
            wall, cpu, _, peak, answer = run_helper(probe, road, scan)
            walls[road].append(wall)
            cpus[road].append(cpu)
            peaks[road] = max(peaks[road], peak)
            answers[road].add(answer)
    same = len(set().union(*answers.values())) == 1
    print("%d rounds, interleaved; every answer the same: %s" % (rounds, same))
    base_wall = statistics.median(walls["pdf-sequential"])
    base_cpu = statistics.median(cpus["pdf-sequential"])
    for road in readings:
        wall = statistics.median(walls[road])
        cpu = statistics.median(cpus[road])
        print("  %-18s wall %6.2f s (x%.2f)  processor %6.2f s (x%.2f)  VmPeak %4d MiB" % (
            road, wall, wall / base_wall, cpu, cpu / base_cpu, peaks[road] // 1024))

    # Resident memory: one run each on its own, so ru_maxrss is its own.
    for road in readings:
        rss = subprocess.run(["/usr/bin/time", "-f", "%M", probe, road], stdin=open(scan, "rb"),
                             stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, env=ENVIRONMENT)
        print("  %-18s peak resident %4d MiB" % (road, int(rss.stderr.split()[-1]) // 1024))

    concurrent_readings(probe, scan, concurrent, max(1, rounds // 2), answers)


def concurrent_readings(probe, scan, concurrent, rounds, answers):
    readings = ["pdf-sequential", "pdf"]
    for road in readings:
        answers.setdefault(road, set())
    print("%d concurrent runs, interleaved, %d rounds:" % (concurrent, rounds))
    totals = {r: [] for r in readings}
    for _ in range(rounds):
        for road in readings:
            wall, got = concurrent_wall(probe, road, scan, concurrent)
            totals[road].append(wall)
            answers[road] |= got
    base = statistics.median(totals["pdf-sequential"])
    for road in readings:
        wall = statistics.median(totals[road])
        print("  %-18s all ended after %6.2f s (x%.2f)" % (road, wall, wall / base))
    print("every answer the same: %s" % (len(set().union(*answers.values())) == 1))


if __name__ == "__main__":
    main()
