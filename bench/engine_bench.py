#!/usr/bin/env python3
"""Benchmark of the zip engine (through zipengine-driver) beside Info-ZIP zip and 7-Zip.

Usage: engine_bench.py DRIVER [--corpus standard|text|mixed] [--runs N] [--peer-runs N] [--large-mb M]
                       [--small N] [--no-7z] [--keep]
(--peer-runs: runs of 7-Zip, which is much slower; default the same as --runs)

Generates a deterministic corpus of the kinds a backup sees under a temporary folder: "standard"
(small source and text files, binaries, already-compressed files, two large files), "text" (45,000
source and documentation files, about 450 MB) or "mixed" (15,000 files: binaries, compressed files
and two large files, about 560 MB), then times, for each tool, a
fresh archive at level 9, an update with nothing changed and an update after 1% of the files
changed. Prints the median wall time, CPU time, peak memory and archive size of each, and their
ratios to Info-ZIP. A benchmark, never a test: it does not fail on timing.
"""
import gzip
import os
import random
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

WORDS = ("int void return struct class const static if else for while auto size_t std string vector "
         "template namespace include define buffer length offset value result error file path name "
         "the of and to in is that it for on with as was by be at this from or have an they which "
         "backup archive section folder update changed record entry index table report total").split()


def text_block(rng, size):
    out = []
    length = 0
    while length < size:
        line = " " * (4 * rng.randint(0, 3)) + " ".join(rng.choice(WORDS) for _ in range(rng.randint(3, 12)))
        if rng.random() < 0.3:
            line += " = %d;" % rng.randint(0, 100000)
        out.append(line)
        length += len(line) + 1
    return ("\n".join(out) + "\n").encode()[:size]


def binary_block(rng, size):
    # Machine code and tables: short tokens from a small set, offsets, and stretches of noise;
    # compresses about 2:1 like executables and databases do.
    tokens = [bytes(rng.getrandbits(8) for _ in range(rng.randint(2, 7))) for _ in range(512)]
    out = bytearray()
    while len(out) < size:
        if rng.random() < 0.15:
            out += rng.randbytes(rng.randint(8, 64))
        else:
            for _ in range(8):
                out += rng.choice(tokens)
            out += rng.randint(0, 1 << 16).to_bytes(4, "little")
    return bytes(out[:size])


def make_corpus(root, small_count, large_mb):
    rng = random.Random(20261207)
    for i in range(small_count):
        folder = os.path.join(root, "src", "m%02d" % (i % 40), "p%03d" % (i % 400))
        os.makedirs(folder, exist_ok=True)
        suffix = (".c", ".h", ".txt", ".md", ".py")[i % 5]
        with open(os.path.join(folder, "f%05d%s" % (i, suffix)), "wb") as f:
            f.write(text_block(rng, int(rng.lognormvariate(8.0, 1.0)) + 50))
    os.makedirs(os.path.join(root, "bin"), exist_ok=True)
    for i in range(60):
        with open(os.path.join(root, "bin", "b%03d.so" % i), "wb") as f:
            f.write(binary_block(rng, rng.randint(20_000, 1_500_000)))
    os.makedirs(os.path.join(root, "media"), exist_ok=True)
    for i in range(100):
        payload = text_block(rng, rng.randint(10_000, 600_000))
        name = os.path.join(root, "media", "c%03d" % i)
        if i % 2:
            with open(name + ".gz", "wb") as f:
                f.write(gzip.compress(payload, 6, mtime=0))
        else:
            with open(name + ".jpg", "wb") as f:
                f.write(rng.randbytes(len(payload) // 3))
    os.makedirs(os.path.join(root, "large"), exist_ok=True)
    block_rng = random.Random(7)
    text = [text_block(block_rng, 1 << 20) for _ in range(8)]
    data = [binary_block(block_rng, 1 << 20) for _ in range(8)]
    with open(os.path.join(root, "large", "server.log"), "wb") as f:
        for i in range(large_mb):
            f.write(text[(i * 5) % 8])
    with open(os.path.join(root, "large", "database.db"), "wb") as f:
        for i in range(large_mb):
            f.write(data[(i * 3) % 8])


def make_text_corpus(root, count=45000):
    rng = random.Random(20261208)
    for i in range(count):
        folder = os.path.join(root, "src", "m%02d" % (i % 45), "p%03d" % (i % 900))
        os.makedirs(folder, exist_ok=True)
        suffix = (".c", ".h", ".txt", ".md", ".py", ".html")[i % 6]
        with open(os.path.join(folder, "f%05d%s" % (i, suffix)), "wb") as f:
            f.write(text_block(rng, min(int(rng.lognormvariate(8.6, 1.0)) + 50, 2_000_000)))


def make_mixed_corpus(root, count=15000, large_mb=140):
    rng = random.Random(20261209)
    tokens = binary_block(rng, 1 << 16)
    for i in range(count - 200):
        folder = os.path.join(root, "bin", "d%03d" % (i % 150))
        os.makedirs(folder, exist_ok=True)
        size = min(int(rng.lognormvariate(9.3, 1.1)), 3_000_000)
        # Each binary: a run of the shared token stream from a random place, and noise of its own.
        start = rng.randrange(len(tokens))
        body = bytearray()
        while len(body) < size:
            body += tokens[start:start + size - len(body)] + rng.randbytes(min(64, size // 50 + 1))
            start = 0
        with open(os.path.join(folder, "b%05d%s" % (i, (".so", ".o", ".exe", ".db", ".bin")[i % 5])), "wb") as f:
            f.write(bytes(body[:size]))
    make_corpus(root, 0, large_mb)


def run(argv, cwd):
    # /usr/bin/time reports the peak resident memory of the tool itself.
    with tempfile.NamedTemporaryFile("r", suffix=".time") as report:
        # Nothing another run wrote is still waiting for the disk: no tool pays at its own sync for the
        # previous tool's writes (the archive copied into place, or a whole archive another tool wrote).
        os.sync()
        start = time.monotonic()
        proc = subprocess.run(["/usr/bin/time", "-f", "%U %S %M", "-o", report.name] + argv, cwd=cwd,
                              stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        wall = time.monotonic() - start
        if proc.returncode not in (0, 12):  # zip: 12 = nothing to do
            sys.exit("%s failed (%d): %s" % (argv[0], proc.returncode, proc.stderr.decode(errors="replace")))
        user, system, peak_kib = report.read().split()[-3:]
    return wall, float(user) + float(system), int(peak_kib) / 1024.0


def ratio(value, base):
    # Times below the clock's resolution count as 10 ms.
    return max(value, 0.01) / max(base, 0.01)


def median_of(samples):
    return tuple(statistics.median(s[i] for s in samples) for i in range(3))


def main():
    args = sys.argv[1:]
    driver = os.path.abspath(args.pop(0))
    runs, peer_runs, large_mb, small, keep, corpus_kind, with_7z = 3, None, 250, 30000, False, "standard", True
    while args:
        option = args.pop(0)
        if option == "--runs":
            runs = int(args.pop(0))
        elif option == "--peer-runs":
            peer_runs = int(args.pop(0))
        elif option == "--large-mb":
            large_mb = int(args.pop(0))
        elif option == "--small":
            small = int(args.pop(0))
        elif option == "--keep":
            keep = True
        elif option == "--corpus":
            corpus_kind = args.pop(0)
        elif option == "--no-7z":
            with_7z = False
    work = tempfile.mkdtemp(prefix="vorland-bench-")
    corpus = os.path.join(work, "corpus")
    out = os.path.join(work, "out")
    os.makedirs(out)
    try:
        print("generating corpus in %s ..." % corpus, flush=True)
        if corpus_kind == "text":
            make_text_corpus(corpus)
        elif corpus_kind == "mixed":
            make_mixed_corpus(corpus)
        else:
            make_corpus(corpus, small, large_mb)
        files = sum(len(f) for _, _, f in os.walk(corpus))
        size = sum(os.path.getsize(os.path.join(d, n)) for d, _, fs in os.walk(corpus) for n in fs)
        print("corpus: %d files, %.1f MiB; %d cores" % (files, size / 1048576, os.cpu_count()), flush=True)

        tools = {
            "engine": lambda a, update: [driver, "-q", "-C", corpus + "/", "-r"] + (["-u"] if update else []) +
                                        ["-9", "-S", "default", a, "*"],
            "zip": lambda a, update: ["zip", "-r", "-q", "-9"] + (["-u"] if update else []) + [a, "."],
            "7z": lambda a, update: ["7z", "a", "-tzip", "-mx=9", "-mmt=2", a, "."],
        }
        if not with_7z:
            del tools["7z"]
        results = {}
        # The tools take turns, run after run, so that a change in the machine's load hits them alike.
        samples = {tool: [] for tool in tools}
        for r in range(runs):
            for tool in tools:
                if tool == "7z" and peer_runs is not None and r >= peer_runs:
                    continue
                archive = os.path.join(out, "%s-%d.zip" % (tool, r))
                if os.path.exists(archive):
                    os.remove(archive)
                samples[tool].append(run(tools[tool](archive, False), corpus))
                shutil.copy(archive, os.path.join(out, tool + "-base.zip"))
        for tool in tools:
            results[("fresh", tool)] = median_of(samples[tool]) + (os.path.getsize(os.path.join(out, tool + "-base.zip")),)
            print("fresh %-6s wall %.2f cpu %.2f peak %.1f MiB size %d" % ((tool,) + results[("fresh", tool)]),
                  flush=True)

        def updates(label):
            samples = {tool: [] for tool in ("engine", "zip")}
            for r in range(runs):
                for tool in samples:
                    archive = os.path.join(out, "%s-upd.zip" % tool)
                    shutil.copy(os.path.join(out, tool + "-base.zip"), archive)
                    samples[tool].append(run(tools[tool](archive, True), corpus))
            for tool in samples:
                archive = os.path.join(out, "%s-upd.zip" % tool)
                results[(label, tool)] = median_of(samples[tool]) + (os.path.getsize(archive),)
                print("%s %-6s wall %.2f cpu %.2f peak %.1f MiB size %d" % ((label, tool) + results[(label, tool)]),
                      flush=True)

        check = subprocess.run(["unzip", "-tq", os.path.join(out, "engine-base.zip")], capture_output=True, text=True)
        print("unzip -t of the engine's archive: %s" % check.stdout.strip(), flush=True)
        updates("update-none")
        # 1% of the files changed: rewritten with new content and a newer time.
        all_files = sorted(os.path.join(d, n) for d, _, fs in os.walk(corpus) for n in fs)
        rng = random.Random(99)
        later = time.time() + 120
        for path in rng.sample([p for p in all_files if "/large/" not in p], len(all_files) // 100):
            with open(path, "ab") as f:
                f.write(b"changed\n")
            os.utime(path, (later, later))
        updates("update-1pct")

        print()
        print("%-12s %-6s %9s %9s %9s %12s | %7s %7s %7s %7s" %
              ("case", "tool", "wall s", "cpu s", "peak MiB", "size", "wall/IZ", "cpu/IZ", "mem/IZ", "size/IZ"))
        for (label, tool), (wall, cpu, mem, size) in results.items():
            base = results[(label, "zip")]
            print("%-12s %-6s %9.2f %9.2f %9.1f %12d | %7.3f %7.3f %7.3f %7.4f" %
                  (label, tool, wall, cpu, mem, size, ratio(wall, base[0]), ratio(cpu, base[1]), ratio(mem, base[2]),
                   ratio(size, base[3])))
        print("(medians of %d runs, 7-Zip %d; IZ = Info-ZIP zip -r -9, updates against zip -r -u -9; load %s)" %
              (runs, runs if peer_runs is None else peer_runs, " ".join("%.1f" % x for x in os.getloadavg())))
    finally:
        if not keep:
            shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
