#!/usr/bin/env python3
"""Benchmark of a batch whose Suffix= holds many megabytes of masks, run with /B.

Usage: mask_bench.py VORLAND [--mib N[,N...]] [--runs N] [--dir DIR]

For each size (default 5,25,50 MiB) writes a batch of one zip section whose Suffix= is that many
MiB of small masks ("*.e1;*.e2;..."), plus one case of a single mask of the largest size, over a
folder of a few files, and runs `vorland FILE /B`. Prints the median wall time and peak memory
(from /usr/bin/time) and the peak's ratio to the batch file's size. A benchmark, never a test.
"""
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

MIB = 1024 * 1024


def small_masks(size):
    parts, total, i = [], 0, 0
    while total < size:
        mask = "*.e%d;" % i
        parts.append(mask)
        total += len(mask)
        i += 1
    return "".join(parts)[:size].rstrip(";")


def write_batch(path, archive, source, suffix):
    head = "[BatchParameters]\r\nBefore=\r\nAfter=\r\nPassword=\r\nUpdateZip=0\r\n\r\n[Zip]\r\nZip=%s\r\n" \
           "Compress=1\r\nDir=%s\r\nSuffix=" % (archive, source)
    tail = "\r\nIgnore=\r\nRecurse=1\r\nDirName=0\r\nComments=\r\n"
    with open(path, "w", newline="") as f:
        f.write(head)
        f.write(suffix)
        f.write(tail)


def run(argv, env):
    with tempfile.NamedTemporaryFile("r", suffix=".time") as report:
        start = time.monotonic()
        proc = subprocess.run(["/usr/bin/time", "-f", "%M", "-o", report.name] + argv, env=env,
                              stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        wall = time.monotonic() - start
        if proc.returncode != 0:
            sys.exit("%s failed (%d): %s" % (argv[0], proc.returncode, proc.stderr.decode(errors="replace")[-2000:]))
        peak_kib = int(report.read().split()[-1])
    return wall, peak_kib / 1024.0


def main():
    args = sys.argv[1:]
    if not args:
        sys.exit(__doc__)
    vorland = os.path.abspath(args.pop(0))
    sizes, runs, parent = [5, 25, 50], 3, None
    while args:
        option = args.pop(0)
        if option == "--mib":
            sizes = [int(s) for s in args.pop(0).split(",")]
        elif option == "--runs":
            runs = int(args.pop(0))
        elif option == "--dir":
            parent = args.pop(0)
    env = dict(os.environ, DISPLAY="", WAYLAND_DISPLAY="")
    work = tempfile.mkdtemp(prefix="vorland-masks-", dir=parent)
    try:
        source = os.path.join(work, "files")
        os.makedirs(os.path.join(source, "sub"))
        for i in range(20):
            with open(os.path.join(source, "sub" if i % 2 else "", "f%d.e%d" % (i, i * 7)), "w") as f:
                f.write("content %d\n" % i)
        cases = [("small masks", s, small_masks(s * MIB)) for s in sizes]
        cases.append(("one mask", max(sizes), "*" + "x" * (max(sizes) * MIB - 1)))
        print("%-12s %5s %8s %10s %8s" % ("case", "MiB", "wall s", "peak MiB", "peak/file"))
        for label, size, suffix in cases:
            batch = os.path.join(work, "masks.vrl")
            archive = os.path.join(work, "out.zip")
            write_batch(batch, archive, source, suffix)
            file_mib = os.path.getsize(batch) / MIB
            samples = []
            for _ in range(runs):
                if os.path.exists(archive):
                    os.remove(archive)
                samples.append(run([vorland, batch, "/B"], env))
            wall = statistics.median(s[0] for s in samples)
            peak = statistics.median(s[1] for s in samples)
            print("%-12s %5d %8.2f %10.1f %8.1fx" % (label, size, wall, peak, peak / file_mib), flush=True)
        print("(medians of %d runs; %d cores; load %s; %s)" %
              (runs, os.cpu_count(), " ".join("%.2f" % x for x in os.getloadavg()),
               time.strftime("%Y-%m-%d %H:%M UTC", time.gmtime())))
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
