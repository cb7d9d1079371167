#!/usr/bin/env python3
"""Byte-identity check of two builds of the zip engine on the engine benchmark's corpora.

Usage: archive_identity.py DRIVER LIB_A LIB_B [--corpus standard|text|mixed|all] [--scale F] [--keep]

Makes the corpora of engine_bench.py (the same generators; --scale F multiplies their file counts
and large-file sizes, 1 = the benchmark's own size) with fixed times, then runs the one DRIVER
(zipengine-driver) with library A and with library B on the same cases: a fresh archive at levels
0, 1, 6 and 9, an update with nothing changed and an update after 1% of the files changed (both from
the level-9 archive each library made). Each case prints one line: identical, or the first offset
where the archives differ; the callbacks each run printed (progress lines aside) are compared too.
A restructuring of the engine that keeps its behaviour leaves every line "identical". Exit code 1
when a case differs or a run fails.
"""
import os
import random
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import engine_bench  # noqa: E402  (the corpus generators)

LEVELS = (0, 1, 6, 9)
# Local time of every file and folder of the corpus, then of the changed files: an update decides by
# size and time, and the archive stores the time.
FIXED_TIME = 1_764_000_000
CHANGED_TIME = FIXED_TIME + 86_400


def make(kind, root, scale):
    def scaled(n):
        return max(1, int(n * scale))

    if kind == "text":
        engine_bench.make_text_corpus(root, scaled(45000))
    elif kind == "mixed":
        engine_bench.make_mixed_corpus(root, scaled(15000), scaled(140))
    else:
        engine_bench.make_corpus(root, scaled(30000), scaled(250))
    fix_times(root)


def fix_times(root):
    # Files get distinct times (a second apart in name order); folders last, as making files moved them.
    paths = sorted(os.path.join(d, n) for d, _, names in os.walk(root) for n in names)
    for i, path in enumerate(paths):
        os.utime(path, (FIXED_TIME + i, FIXED_TIME + i))
    for folder, _, _ in os.walk(root, topdown=False):
        os.utime(folder, (FIXED_TIME, FIXED_TIME))


def change_one_percent(root):
    paths = sorted(os.path.join(d, n) for d, _, names in os.walk(root) for n in names)
    rng = random.Random(99)
    for path in rng.sample([p for p in paths if "/large/" not in p], max(1, len(paths) // 100)):
        with open(path, "ab") as f:
            f.write(b"changed\n")
        os.utime(path, (CHANGED_TIME, CHANGED_TIME))


def engine_run(driver, corpus, archive, level, update):
    argv = [driver, "-q", "-C", corpus + "/", "-r"] + (["-u"] if update else []) + \
           ["-%d" % level, "-S", "default", archive, "*"]
    proc = subprocess.run(argv, cwd=corpus, capture_output=True)
    if proc.returncode != 0:
        raise RuntimeError("%s failed (%d): %s" % (driver, proc.returncode, proc.stderr.decode(errors="replace")))
    return proc.stdout


def first_difference(path_a, path_b):
    # Offset of the first differing byte, or None when the files are equal.
    offset = 0
    with open(path_a, "rb") as a, open(path_b, "rb") as b:
        while True:
            block_a, block_b = a.read(1 << 20), b.read(1 << 20)
            if block_a != block_b:
                n = next((i for i, (x, y) in enumerate(zip(block_a, block_b)) if x != y), min(len(block_a),
                                                                                              len(block_b)))
                return offset + n
            if not block_a:
                return None
            offset += len(block_a)


def check_corpus(kind, scale, drivers, work, keep):
    corpus = os.path.join(work, "corpus-" + kind)
    out = os.path.join(work, "out-" + kind)
    os.makedirs(out, exist_ok=True)
    make(kind, corpus, scale)
    files = sum(len(names) for _, _, names in os.walk(corpus))
    size = sum(os.path.getsize(os.path.join(d, n)) for d, _, names in os.walk(corpus) for n in names)
    print("%s corpus: %d files, %.1f MiB" % (kind, files, size / 1048576), flush=True)
    # Both libraries write to the same path in turn, so the callbacks name the same archive.
    archive = os.path.join(out, "archive.zip")

    def case(label, level, update, base=None):
        kept, logs = {}, {}
        for side, driver in drivers.items():
            if base is None:
                if os.path.exists(archive):
                    os.remove(archive)
            else:
                shutil.copy(base[side], archive)
            logs[side] = engine_run(driver, corpus, archive, level, update)
            kept[side] = os.path.join(out, "%s-%s.%s.zip" % (kind, label, side))
            os.replace(archive, kept[side])
        offset = first_difference(kept["A"], kept["B"])
        sizes = (os.path.getsize(kept["A"]), os.path.getsize(kept["B"]))
        verdict = "identical (%d bytes)" % sizes[0] if offset is None else \
            "DIFFERS at offset %d (sizes %d and %d)" % (offset, sizes[0], sizes[1])
        if logs["A"] != logs["B"]:
            verdict += "; callbacks DIFFER"
        print("%-8s %-13s %s" % (kind, label, verdict), flush=True)
        return kept, offset is None and logs["A"] == logs["B"]

    def drop(kept):
        # Archives compared are removed at once (a full-size corpus makes several GiB of them).
        if not keep:
            for path in kept.values():
                os.remove(path)

    same = True
    fresh9 = None
    for level in LEVELS:
        kept, ok = case("fresh-%d" % level, level, False)
        same &= ok
        if level == 9:
            fresh9 = kept  # the base of the updates
        else:
            drop(kept)
    kept, ok = case("update-none", 9, True, fresh9)
    same &= ok
    drop(kept)
    change_one_percent(corpus)
    kept, ok = case("update-1pct", 9, True, fresh9)
    same &= ok
    drop(kept)
    if not keep:
        shutil.rmtree(corpus)
        shutil.rmtree(out)
    return same


def main():
    args = sys.argv[1:]
    if len(args) < 3:
        sys.exit(__doc__)
    driver, lib_a, lib_b = (os.path.abspath(a) for a in args[:3])
    args = args[3:]
    kinds, scale, keep = ("standard", "text", "mixed"), 1.0, False
    while args:
        option = args.pop(0)
        if option == "--corpus":
            value = args.pop(0)
            kinds = ("standard", "text", "mixed") if value == "all" else (value,)
        elif option == "--scale":
            scale = float(args.pop(0))
        elif option == "--keep":
            keep = True
        else:
            sys.exit(__doc__)
    work = tempfile.mkdtemp(prefix="vorland-identity-")
    try:
        # The driver loads libzipengine.so from its own folder: one folder per library.
        drivers = {}
        for side, library in (("A", lib_a), ("B", lib_b)):
            folder = os.path.join(work, side)
            os.makedirs(folder)
            shutil.copy(driver, folder)
            shutil.copy(library, os.path.join(folder, "libzipengine.so"))
            drivers[side] = os.path.join(folder, os.path.basename(driver))
        same = all([check_corpus(kind, scale, drivers, work, keep) for kind in kinds])
        print("all identical" if same else "some cases DIFFER")
        return 0 if same else 1
    except RuntimeError as error:
        print(error)
        return 1
    finally:
        if not keep:
            shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
