#!/usr/bin/env python3
"""Start-up time of the real program to the first painted main window, on a private Xvfb display.

Every run starts `vorland` with empty settings folders (XDG_CONFIG_HOME and XDG_DATA_HOME new and
temporary) and VORLAND_FIRST_PAINT_MARK=1: the main window's first paint writes
"first-paint <CLOCK_MONOTONIC ns>" to standard error and ends the program. The time runs from just
before the process is started to that mark. One warm-up run (fonts, caches), then the median of
--runs runs (at least 10). Target: under 300 ms.

Modes: `empty` (no argument: the batch editor opens on a new batch) and `sections` (a batch file of
--sections sections, 1,000 by default, given as the argument).
Usage: bench/first_paint_bench.py [PATH-TO-VORLAND] [--runs N] [--mode empty|sections|both]
"""

import argparse
import os
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "e2e"))
from xsession import XSession  # noqa: E402

TARGET_MS = 300.0


def write_batch(path, sections, source):
    lines = ["[BatchParameters]", "Before=", "After=", "Password=", "UpdateZip=1", ""]
    for i in range(sections):
        lines += ["[Section %04d]" % i, "Zip=" + os.path.join(source, "archive%04d.zip" % i), "Compress=1",
                  "Dir=" + source, "Suffix=*.txt;*.doc", "Ignore=*.tmp", "Recurse=1", "DirName=1", "Comments=", ""]
    with open(path, "w", newline="") as f:
        f.write("\r\n".join(lines) + "\r\n")


def one_run(vorland, args, session, timeout=30.0):
    """Milliseconds from just before the start to the first paint; exits on a run without the mark."""
    with tempfile.TemporaryDirectory(prefix="vorland-paint-") as home:
        config = os.path.join(home, "config")
        data = os.path.join(home, "data")
        os.makedirs(config)
        os.makedirs(data)
        env = session.env(XDG_CONFIG_HOME=config, XDG_DATA_HOME=data, VORLAND_FIRST_PAINT_MARK="1")
        start = time.clock_gettime_ns(time.CLOCK_MONOTONIC)
        process = subprocess.Popen([vorland] + args, env=env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                   stderr=subprocess.PIPE)
        try:
            _, err = process.communicate(timeout=timeout)
        except subprocess.TimeoutExpired:
            process.kill()
            process.communicate()
            sys.exit("vorland %s: no first paint within %.0f s" % (" ".join(args), timeout))
    text = err.decode(errors="replace")
    for line in text.splitlines():
        if line.startswith("first-paint "):
            return (int(line.split()[1]) - start) / 1e6
    sys.exit("vorland %s ended (exit code %d) without painting its main window:\n%s"
             % (" ".join(args), process.returncode, text.strip()))


def measure(vorland, args, session, runs):
    one_run(vorland, args, session)  # warm-up
    return [one_run(vorland, args, session) for _ in range(runs)]


def report(title, times):
    median = statistics.median(times)
    load = os.getloadavg()
    print("%s: median %.1f ms over %d runs (min %.1f, max %.1f); %s 300 ms; load average %.2f %.2f %.2f"
          % (title, median, len(times), min(times), max(times), "under" if median < TARGET_MS else "NOT under",
             load[0], load[1], load[2]))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("vorland", nargs="?", default=os.path.join(HERE, "..", "build", "bin", "vorland"))
    parser.add_argument("--runs", type=int, default=10)
    parser.add_argument("--mode", choices=("empty", "sections", "both"), default="both")
    parser.add_argument("--sections", type=int, default=1000)
    args = parser.parse_args()
    if args.runs < 10:
        sys.exit("--runs: at least 10")
    vorland = os.path.abspath(args.vorland)
    if not os.access(vorland, os.X_OK):
        sys.exit("no program at %s (build it: cmake --build build --target vorland)" % vorland)

    session = XSession()
    try:
        print("vorland: %s, display %s" % (vorland, session.display))
        if args.mode in ("empty", "both"):
            report("No argument (batch editor, new batch)", measure(vorland, [], session, args.runs))
        if args.mode in ("sections", "both"):
            with tempfile.TemporaryDirectory(prefix="vorland-paint-batch-") as tmp:
                batch = os.path.join(tmp, "sections.vrl")
                write_batch(batch, args.sections, tmp)
                report("Batch file of %d sections" % args.sections, measure(vorland, [batch], session, args.runs))
    finally:
        session.stop()


if __name__ == "__main__":
    main()
