#!/usr/bin/env python3
"""Benchmark of updates at scale: many tiny files, beside Info-ZIP zip.

Usage: scale_bench.py DRIVER [VORLAND] [--files N[,N...]] [--runs N] [--dir DIR] [--keep] [--no-zip]

For each count (default 100000), generates that many tiny files (16 to 400 bytes, 100 to a folder)
in a tmpfs when there is one (/dev/shm), builds a level-9 archive of them with each tool, then times:
  update-none   an update with nothing changed,
  update-1pct   an update after 1% of the files got new content and a newer time,
with the engine alone (zipengine-driver), with the whole program (`vorland FILE /B` on a batch of one
zip section with UpdateZip=1, when VORLAND is given) and with `zip -r -u -9 -q`, the tools taking
turns run after run. Prints the median wall time, CPU time, peak memory (the tool's own, from
/usr/bin/time) and archive size of each, and their ratios to Info-ZIP, with the load average.
A benchmark, never a test: it does not fail on timing.
"""
import os
import random
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

WORDS = b"alpha beta gamma delta note todo main value entry record table index item list".split()


def make_tiny_files(root, count, seed=4242):
    rng = random.Random(seed)
    for i in range(count):
        folder = os.path.join(root, "d%04d" % (i // 100))
        if i % 100 == 0:
            os.makedirs(folder, exist_ok=True)
        size = rng.randint(16, 400)
        data = b" ".join(rng.choice(WORDS) for _ in range(size // 5 + 1))[:size]
        with open(os.path.join(folder, "file%07d.txt" % i), "wb") as f:
            f.write(data)


def change_one_percent(root, seed=99):
    paths = sorted(os.path.join(d, n) for d, _, fs in os.walk(root) for n in fs)
    later = time.time() + 120
    for path in random.Random(seed).sample(paths, max(1, len(paths) // 100)):
        with open(path, "ab") as f:
            f.write(b"changed\n")
        os.utime(path, (later, later))


def write_batch(path, archive, source):
    lines = ["[BatchParameters]", "Before=", "After=", "Password=", "UpdateZip=1", "",
             "[Zip]", "Zip=" + archive, "Compress=1", "Dir=" + source, "Suffix=", "Ignore=", "Recurse=1",
             "DirName=0", "Comments=", ""]
    with open(path, "w", newline="") as f:
        f.write("\r\n".join(lines) + "\r\n")


def run(argv, cwd, env=None):
    """Wall, CPU and peak memory (MiB) of one run of the tool, from /usr/bin/time."""
    with tempfile.NamedTemporaryFile("r", suffix=".time") as report:
        # Nothing another run wrote is still waiting for the disk: no tool pays at its own sync for the
        # previous tool's writes (the archive copied into place, or a whole archive another tool wrote).
        os.sync()
        start = time.monotonic()
        proc = subprocess.run(["/usr/bin/time", "-f", "%U %S %M", "-o", report.name] + argv, cwd=cwd, env=env,
                              stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        wall = time.monotonic() - start
        if proc.returncode not in (0, 12):  # zip: 12 = nothing to do
            sys.exit("%s failed (%d): %s" % (argv[0], proc.returncode, proc.stderr.decode(errors="replace")[-2000:]))
        user, system, peak_kib = report.read().split()[-3:]
    return wall, float(user) + float(system), int(peak_kib) / 1024.0


def ratio(value, base):
    return max(value, 0.01) / max(base, 0.01)


def main():
    args = sys.argv[1:]
    if not args:
        sys.exit(__doc__)
    driver = os.path.abspath(args.pop(0))
    vorland = None
    if args and not args[0].startswith("--"):
        vorland = os.path.abspath(args.pop(0))
    counts, runs, parent, keep, with_zip = [100000], 3, None, False, True
    while args:
        option = args.pop(0)
        if option == "--files":
            counts = [int(c) for c in args.pop(0).split(",")]
        elif option == "--runs":
            runs = int(args.pop(0))
        elif option == "--dir":
            parent = args.pop(0)
        elif option == "--keep":
            keep = True
        elif option == "--no-zip":
            with_zip = False
    if parent is None and os.path.isdir("/dev/shm"):
        parent = "/dev/shm"
    env = dict(os.environ, DISPLAY="", WAYLAND_DISPLAY="")
    for count in counts:
        work = tempfile.mkdtemp(prefix="vorland-scale-", dir=parent)
        try:
            corpus = os.path.join(work, "files")
            out = os.path.join(work, "out")
            os.makedirs(out)
            print("generating %d tiny files in %s ..." % (count, corpus), flush=True)
            make_tiny_files(corpus, count)
            batch = os.path.join(out, "update.vrl")
            tools = {
                "engine": lambda a: [driver, "-q", "-C", corpus + "/", "-r", "-u", "-9", "-S", "default", a, "*"],
            }
            if vorland:
                tools["program"] = lambda a: [vorland, batch, "/B"]
            if with_zip:
                tools["zip"] = lambda a: ["zip", "-r", "-q", "-u", "-9", a, "."]
            for tool in tools:
                base = os.path.join(out, tool + "-base.zip")
                if tool == "program":
                    shutil.copy(os.path.join(out, "engine-base.zip"), base)
                else:
                    run(tools[tool](base), corpus, env)
            results = {}
            for label in ("update-none", "update-1pct"):
                if label == "update-1pct":
                    change_one_percent(corpus)
                samples = {tool: [] for tool in tools}
                for r in range(runs):
                    for tool in tools:  # the tools take turns
                        archive = os.path.join(out, tool + "-upd.zip")
                        shutil.copy(os.path.join(out, tool + "-base.zip"), archive)
                        if tool == "program":
                            write_batch(batch, archive, corpus)
                        samples[tool].append(run(tools[tool](archive), corpus, env) + (os.path.getsize(archive),))
                for tool, s in samples.items():
                    results[(label, tool)] = tuple(statistics.median(x[i] for x in s) for i in range(4))
                    print("%s %-7s wall %.2f cpu %.2f peak %.1f MiB size %d" % ((label, tool) + results[(label, tool)]),
                          flush=True)
            print()
            print("%d files: %-12s %-7s %8s %8s %9s %11s | %7s %7s %7s %7s" %
                  (count, "case", "tool", "wall s", "cpu s", "peak MiB", "size", "wall/IZ", "cpu/IZ", "mem/IZ",
                   "size/IZ"))
            for (label, tool), (wall, cpu, mem, size) in results.items():
                line = "%-12s %-7s %8.2f %8.2f %9.1f %11d" % (label, tool, wall, cpu, mem, size)
                if with_zip:
                    base = results[(label, "zip")]
                    line += " | %7.3f %7.3f %7.3f %7.4f" % (ratio(wall, base[0]), ratio(cpu, base[1]),
                                                          ratio(mem, base[2]), ratio(size, base[3]))
                print(" " * (len(str(count)) + 8) + line)
            print("(medians of %d runs, tools alternating; IZ = zip -r -u -9; %d cores; load %s; %s)" %
                  (runs, os.cpu_count(), " ".join("%.2f" % x for x in os.getloadavg()),
                   time.strftime("%Y-%m-%d %H:%M UTC", time.gmtime())), flush=True)
        finally:
            if not keep:
                shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
