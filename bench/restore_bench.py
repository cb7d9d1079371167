#!/usr/bin/env python3
"""Benchmark of reading archives back: `vorland --test` and `vorland --restore` against Info-ZIP
unzip on an archive of the text corpus written by `zip -r -9`, and the time a batch run's
"Test archives after writing" (Verify=1) adds to a fresh archive and to an update after 1% of the
files changed.

Runs are paired (vorland then its peer, or the run without then with Verify, one after the other)
and each figure is the median of --runs pairs, so load from other work on a shared machine falls on
both sides. A benchmark, never a test: it does not fail on timing.
Usage: bench/restore_bench.py PATH-TO-VORLAND [--files N] [--runs N] [--keep]
"""

import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from engine_bench import make_text_corpus  # noqa: E402


def timed(argv, env=None, expect=0):
    start = time.perf_counter()
    result = subprocess.run(argv, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    elapsed = time.perf_counter() - start
    if result.returncode != expect:
        sys.exit("%s failed (%d): %s" % (" ".join(argv[:3]), result.returncode, result.stderr.decode(errors="replace")))
    return elapsed


def write_batch(path, archive, src, verify):
    lines = ["[BatchParameters]", "Before=", "After=", "Password=", "UpdateZip=1"]
    if verify:
        lines.append("Verify=1")
    lines += ["", "[Text]", "Zip=" + archive, "Compress=1", "Dir=" + src, "Suffix=", "Ignore=", "Recurse=1",
              "DirName=0", "Comments=", ""]
    with open(path, "w", newline="") as f:
        f.write("\r\n".join(lines) + "\r\n")


def paired(runs, first, second):
    a, b = [], []
    for _ in range(runs):
        a.append(first())
        b.append(second())
    return statistics.median(a), statistics.median(b)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("vorland")
    parser.add_argument("--files", type=int, default=45000)
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--keep", action="store_true")
    args = parser.parse_args()
    vorland = os.path.abspath(args.vorland)
    env = dict(os.environ, DISPLAY="", WAYLAND_DISPLAY="")
    work = tempfile.mkdtemp(prefix="restore-bench-")
    try:
        make_text_corpus(work, args.files)
        src = os.path.join(work, "src")
        archive = os.path.join(work, "text.zip")
        subprocess.run(["zip", "-qr", "-9", archive, "."], cwd=src, check=True)
        size = sum(os.path.getsize(os.path.join(d, f)) for d, _, fs in os.walk(src) for f in fs)
        print("text corpus: %d files, %.0f MB; archive %.0f MB" % (args.files, size / 1e6, os.path.getsize(archive) / 1e6))

        test = paired(args.runs, lambda: timed([vorland, "--test", archive], env),
                      lambda: timed(["unzip", "-tqq", archive]))
        # Every restore writes into a folder of its own, with the previous one's writes on the disk
        # first: neither tool pays for the other's writeback, and none for a removal of tens of
        # thousands of files just before it (the file system then searches longer for free inodes).
        outputs = iter(range(2 * args.runs))

        def restore_with(argv):
            def run():
                out = os.path.join(work, "out-%d" % next(outputs))
                os.sync()
                return timed(argv(out), env)
            return run

        restore_v = restore_with(lambda out: [vorland, "--restore", archive, "--to", out])
        restore_u = restore_with(lambda out: ["unzip", "-o", "-q", archive, "-d", out])
        restore = paired(args.runs, restore_v, restore_u)
        print("%-34s %9s %9s %7s" % ("", "vorland", "unzip", "ratio"))
        for name, (v, u) in (("test (--test / unzip -t)", test), ("restore (--restore / unzip -o -q)", restore)):
            print("%-34s %8.2fs %8.2fs %7.2f" % (name, v, u, v / u))

        # Verify's added time: the same batch run without and with Verify=1.
        runs_archive = os.path.join(work, "run.zip")
        plain, checked = os.path.join(work, "plain.vrl"), os.path.join(work, "verify.vrl")
        write_batch(plain, runs_archive, src, False)
        write_batch(checked, runs_archive, src, True)

        def fresh(batch):
            def run():
                if os.path.exists(runs_archive):
                    os.remove(runs_archive)
                return timed([vorland, batch, "/B"], env)
            return run

        fresh_times = paired(args.runs, fresh(plain), fresh(checked))
        base = os.path.join(work, "base.zip")
        shutil.copyfile(runs_archive, base)
        names = sorted(os.path.join(d, f) for d, _, fs in os.walk(src) for f in fs)
        for name in names[:: 100]:
            with open(name, "ab") as f:
                f.write(b"changed\n")

        def update(batch):
            def run():
                shutil.copyfile(base, runs_archive)
                return timed([vorland, batch, "/B"], env)
            return run

        update_times = paired(args.runs, update(plain), update(checked))
        print("%-34s %9s %9s %7s" % ("", "plain", "Verify=1", "added"))
        for name, (p, c) in (("fresh archive", fresh_times), ("update, 1% changed", update_times)):
            print("%-34s %8.2fs %8.2fs %7.2f" % (name, p, c, (c - p) / p))
    finally:
        if args.keep:
            print("kept", work)
        else:
            shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
