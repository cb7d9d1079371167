#!/usr/bin/env python3
"""Benchmark of whole batch runs of `vorland FILE /B` against the tools people script instead.

1. Copy mode: a copy section over 10,000 files that are already copied and unchanged, against
   `rsync -a` over the same unchanged tree (target: at most 1.5 times rsync's wall time).
2. Zip mode: a zip section that rebuilds the archive of the same files, against `zip -r -9`.

Every figure is the best of several runs; ratios are vorland / peer (below 1: vorland is faster).
Usage: bench/batch_run_bench.py [PATH-TO-VORLAND] [--files N] [--repeat N]
"""

import argparse
import os
import random
import resource
import shutil
import subprocess
import sys
import tempfile
import time

WORDS = ("backup archive section folder update rebuild copy changed unchanged vorland batch file "
         "source target mask include exclude before after command engine deflate stored").split()


def make_corpus(root, count, seed=1234):
    """count files in folders of 100, 200 bytes to 24 KiB, two thirds text, one third random."""
    rng = random.Random(seed)
    total = 0
    for i in range(count):
        folder = os.path.join(root, "d%03d" % (i // 100), "sub" if i % 3 == 0 else "")
        os.makedirs(folder, exist_ok=True)
        size = rng.randint(200, 24 * 1024)
        if i % 3 == 2:
            data = rng.randbytes(size)
        else:
            text = " ".join(rng.choice(WORDS) for _ in range(size // 6 + 1))
            data = text.encode()[:size]
        with open(os.path.join(folder, "file%05d.%s" % (i, "bin" if i % 3 == 2 else "txt")), "wb") as f:
            f.write(data)
        total += size
    return total


def write_batch(path, sections, update):
    lines = ["[BatchParameters]", "Before=", "After=", "Password=", "UpdateZip=%d" % update, ""]
    for name, zip_name, compress, src in sections:
        lines += ["[%s]" % name, "Zip=" + zip_name, "Compress=%d" % compress, "Dir=" + src, "Suffix=",
                  "Ignore=", "Recurse=1", "DirName=0", "Comments=", ""]
    with open(path, "w", newline="") as f:
        f.write("\r\n".join(lines) + "\r\n")


def timed(argv, env=None):
    """Wall time of one run; fails loudly when the tool fails."""
    start = time.perf_counter()
    result = subprocess.run(argv, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    elapsed = time.perf_counter() - start
    if result.returncode != 0:
        sys.exit("%s failed (%d): %s" % (argv[0], result.returncode, result.stderr.decode(errors="replace")))
    return elapsed


def best_of(repeat, argv, env=None, before=None):
    times = []
    for _ in range(repeat):
        if before:
            before()
        times.append(timed(argv, env))
    return min(times)


def peak_rss_mib(argv, env=None):
    """Peak resident memory of one run (the largest child so far, measured in a fresh process)."""
    code = ("import resource, subprocess, sys\n"
            "subprocess.run(sys.argv[1:], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)\n"
            "print(resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss)\n")
    out = subprocess.run([sys.executable, "-c", code] + argv, env=env, capture_output=True, text=True)
    return int(out.stdout.strip() or 0) / 1024.0


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser()
    parser.add_argument("vorland", nargs="?", default=os.path.join(here, "..", "build", "bin", "vorland"))
    parser.add_argument("--files", type=int, default=10000)
    parser.add_argument("--repeat", type=int, default=5)
    args = parser.parse_args()
    vorland = os.path.abspath(args.vorland)
    for tool in ("rsync", "zip"):
        if shutil.which(tool) is None:
            sys.exit("needs %s (scripts/packages.txt)" % tool)
    env = dict(os.environ, DISPLAY="", WAYLAND_DISPLAY="")

    with tempfile.TemporaryDirectory(prefix="vorland-bench-") as tmp:
        src = os.path.join(tmp, "src")
        total = make_corpus(src, args.files)
        print("Corpus: %d files, %.1f MiB, in %s" % (args.files, total / 2**20, src))

        # Copy mode: both targets first filled once; then the timed runs find every file unchanged.
        copy_batch = os.path.join(tmp, "copy.vrl")
        write_batch(copy_batch, [("Copy", os.path.join(tmp, "vorland-copy"), 0, src)], 1)
        timed([vorland, copy_batch, "/B"], env)
        rsync_target = os.path.join(tmp, "rsync-copy") + "/"
        timed(["rsync", "-a", src + "/", rsync_target])
        t_vorland = best_of(args.repeat, [vorland, copy_batch, "/B"], env)
        t_rsync = best_of(args.repeat, ["rsync", "-a", src + "/", rsync_target])
        print("Copy mode, %d unchanged files (best of %d):" % (args.files, args.repeat))
        print("  vorland copy section  %8.3f s" % t_vorland)
        print("  rsync -a              %8.3f s" % t_rsync)
        print("  ratio vorland/rsync   %8.2f   (target: at most 1.50)" % (t_vorland / t_rsync))

        # Zip mode: a rebuild each time (the old archive goes), against zip -r -9 into a new archive.
        archive = os.path.join(tmp, "vorland.zip")
        zip_batch = os.path.join(tmp, "zip.vrl")
        write_batch(zip_batch, [("Zip", archive, 1, src)], 0)
        peer = os.path.join(tmp, "peer.zip")

        def remove_peer():
            if os.path.exists(peer):
                os.unlink(peer)

        zip_repeat = max(1, min(args.repeat, 3))
        t_vzip = best_of(zip_repeat, [vorland, zip_batch, "/B"], env)
        t_zip = best_of(zip_repeat, ["sh", "-c", 'cd "$0" && zip -r -9 -q "$1" .', src, peer], before=remove_peer)
        m_vzip = peak_rss_mib([vorland, zip_batch, "/B"], env)
        remove_peer()
        m_zip = peak_rss_mib(["sh", "-c", 'cd "$0" && zip -r -9 -q "$1" .', src, peer])
        s_vzip = os.path.getsize(archive)
        s_zip = os.path.getsize(peer)
        print("Zip mode, rebuild of %d files (best of %d):" % (args.files, zip_repeat))
        print("  vorland zip section   %8.3f s  %8.1f MiB peak  %10d bytes" % (t_vzip, m_vzip, s_vzip))
        print("  zip -r -9             %8.3f s  %8.1f MiB peak  %10d bytes" % (t_zip, m_zip, s_zip))
        print("  ratio vorland/zip     time %.2f  memory %.2f  size %.3f" % (t_vzip / t_zip, m_vzip / max(m_zip, 0.1),
                                                                         s_vzip / s_zip))


if __name__ == "__main__":
    main()
