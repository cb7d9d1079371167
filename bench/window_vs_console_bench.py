#!/usr/bin/env python3
"""What the progress window costs a batch run: the same zip batch run with `vorland BATCH /B`
(a) with the progress window on a private Xvfb display and (b) as a console run (VORLAND_CONSOLE=1,
standard error a file, not a terminal), alternating, median of --runs runs each (at least 5).
Target: window / console at most 1.05.

The source tree is made once in a temporary folder: --files files (3,000 by default) in nested
folders, about --mb MiB (200 by default) of mixed data: text, repetitive records, random bytes and a
few larger files. The section rebuilds its archive every run (UpdateZip=0), so every run compresses
everything.
Usage: bench/window_vs_console_bench.py [PATH-TO-VORLAND] [--runs N] [--files N] [--mb N]
"""

import argparse
import os
import random
import resource
import statistics
import subprocess
import sys
import tempfile
import time
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "e2e"))
from xsession import XSession  # noqa: E402

TARGET_RATIO = 1.05
WORDS = ("backup archive section folder update rebuild copy changed unchanged batch file source target "
         "mask include exclude before after command engine deflate stored window progress console").split()


def make_tree(root, files, megabytes, seed=2026):
    """Files of four kinds in rotation; sizes drawn so the whole comes near `megabytes` MiB."""
    rng = random.Random(seed)
    text = " ".join(rng.choice(WORDS) for _ in range(400000)).encode()
    records = b"".join(b"%08d;%s;%d;%s\n" % (i, rng.choice(WORDS).encode(), rng.randint(0, 10**6),
                                             rng.choice(WORDS).encode()) for i in range(100000))
    noise = rng.randbytes(8 * 2**20)
    # A few large files (4 to 12 MiB, beyond the engine's single-piece size) carry a third of the
    # data; the rest is spread over the other files.
    large = max(1, files // 600)
    budget = megabytes * 2**20
    large_sizes = [rng.randint(4 * 2**20, 12 * 2**20) for _ in range(large)]
    scale = min(1.0, budget / 3 / sum(large_sizes))
    large_sizes = [int(s * scale) for s in large_sizes]
    small_mean = (budget - sum(large_sizes)) / max(1, files - large)
    total = 0
    for i in range(files):
        folder = os.path.join(root, "p%02d" % (i % 20), "q%03d" % (i // 40), "r" if i % 5 == 0 else "")
        os.makedirs(folder, exist_ok=True)
        if i < large:
            size = large_sizes[i]
        else:
            size = max(1, int(rng.expovariate(1.0 / small_mean)))
        kind = i % 4
        pool = (text, records, noise, text + noise)[kind]
        data = bytearray()
        while len(data) < size:
            start = rng.randrange(0, len(pool) - 1)
            data += pool[start:start + size - len(data)]
        name = "f%05d.%s" % (i, ("txt", "csv", "bin", "dat")[kind])
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)
        total += size
    return total


def write_batch(path, archive, source):
    lines = ["[BatchParameters]", "Before=", "After=", "Password=", "UpdateZip=0", "",
             "[Tree]", "Zip=" + archive, "Compress=1", "Dir=" + source, "Suffix=", "Ignore=", "Recurse=1",
             "DirName=1", "Comments=", ""]
    with open(path, "w", newline="") as f:
        f.write("\r\n".join(lines) + "\r\n")


def run(vorland, batch, env, log, cpu=None):
    """Wall time of one run; its processor time (user + system) is appended to `cpu`."""
    with open(log, "wb") as err:
        before = resource.getrusage(resource.RUSAGE_CHILDREN)
        start = time.monotonic()
        result = subprocess.run([vorland, batch, "/B"], env=env, stdin=subprocess.DEVNULL,
                                stdout=subprocess.DEVNULL, stderr=err, timeout=1800)
        elapsed = time.monotonic() - start
        after = resource.getrusage(resource.RUSAGE_CHILDREN)
    if cpu is not None:
        cpu.append(after.ru_utime + after.ru_stime - before.ru_utime - before.ru_stime)
    if result.returncode != 0:
        with open(log, "rb") as f:
            sys.exit("vorland %s /B ended with %d:\n%s" % (batch, result.returncode,
                                                          f.read().decode(errors="replace")[-3000:]))
    return elapsed


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("vorland", nargs="?", default=os.path.join(HERE, "..", "build", "bin", "vorland"))
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--files", type=int, default=3000)
    parser.add_argument("--mb", type=int, default=200)
    parser.add_argument("--keep", help="make the tree and batch in this folder and keep them (for profiling)")
    args = parser.parse_args()
    if args.runs < 5:
        sys.exit("--runs: at least 5")
    vorland = os.path.abspath(args.vorland)
    if not os.access(vorland, os.X_OK):
        sys.exit("no program at %s (build it: cmake --build build --target vorland)" % vorland)

    session = XSession()
    tmp_holder = None
    try:
        if args.keep:
            tmp = os.path.abspath(args.keep)
            os.makedirs(tmp, exist_ok=True)
        else:
            tmp_holder = tempfile.TemporaryDirectory(prefix="vorland-winbench-")
            tmp = tmp_holder.name
        source = os.path.join(tmp, "src")
        if not os.path.isdir(source):
            total = make_tree(source, args.files, args.mb)
            print("Tree: %d files, %.1f MiB" % (args.files, total / 2**20))
        archive = os.path.join(tmp, "tree.zip")
        batch = os.path.join(tmp, "tree.vrl")
        write_batch(batch, archive, source)
        settings = os.path.join(tmp, "settings")
        os.makedirs(os.path.join(settings, "config"), exist_ok=True)
        os.makedirs(os.path.join(settings, "data"), exist_ok=True)
        private = {"XDG_CONFIG_HOME": os.path.join(settings, "config"), "XDG_DATA_HOME": os.path.join(settings, "data")}
        window_env = session.env(**private)
        console_env = dict(os.environ, VORLAND_CONSOLE="1", **private)
        console_env.pop("DISPLAY", None)
        console_env.pop("WAYLAND_DISPLAY", None)
        log = os.path.join(tmp, "stderr.log")

        # Warm-up: the page cache holds the tree, the archive exists once.
        run(vorland, batch, console_env, log)
        with zipfile.ZipFile(archive) as z:
            entries = len(z.infolist())
        if entries < args.files:
            sys.exit("the archive holds %d entries, expected %d" % (entries, args.files))
        run(vorland, batch, window_env, log)
        with open(log, "rb") as f:
            if b"without windows" in f.read():
                sys.exit("the window run could not open the display %s" % session.display)

        window, console, window_cpu, console_cpu = [], [], [], []
        for i in range(args.runs):
            # Alternate which goes first, so a drift in the machine's load touches both alike.
            order = ((window, window_cpu, window_env), (console, console_cpu, console_env)) if i % 2 == 0 else \
                ((console, console_cpu, console_env), (window, window_cpu, window_env))
            for times, cpu, env in order:
                times.append(run(vorland, batch, env, log, cpu))
        load = os.getloadavg()
        w, c = statistics.median(window), statistics.median(console)
        print("Zip batch of %d files, %d runs each, alternating (load average %.2f %.2f %.2f):"
              % (args.files, args.runs, load[0], load[1], load[2]))
        print("  window (Xvfb)     median %7.2f s   runs %s" % (w, " ".join("%.2f" % t for t in window)))
        print("  console           median %7.2f s   runs %s" % (c, " ".join("%.2f" % t for t in console)))
        print("  ratio window/console %.3f  (target: at most %.2f) %s"
              % (w / c, TARGET_RATIO, "ok" if w / c <= TARGET_RATIO else "OVER"))
        # Processor time (user + system, every thread) is steadier than wall time on a busy machine.
        wc, cc = statistics.median(window_cpu), statistics.median(console_cpu)
        print("  processor time: window median %.2f s, console median %.2f s, ratio %.3f" % (wc, cc, wc / cc))
    finally:
        session.stop()
        if tmp_holder is not None:
            tmp_holder.cleanup()


if __name__ == "__main__":
    main()
