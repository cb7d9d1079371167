#!/usr/bin/env python3
"""Reads an archive with Python's zipfile and checks it against the files it was made from.

Usage: check_zip.py ARCHIVE [--root DIR] [--password P] [--no-test]
Prints one line per entry: name, method, flags, SHA-1 of the raw local record (header + data), and
exits 1 when an entry fails its CRC or differs from ROOT/name.
"""
import hashlib
import os
import struct
import sys
import zipfile


def raw_record_digest(handle, info):
    handle.seek(info.header_offset)
    header = handle.read(30)
    name_len, extra_len = struct.unpack("<HH", header[26:30])
    digest = hashlib.sha1(header)
    remaining = name_len + extra_len + info.compress_size
    while remaining > 0:
        block = handle.read(min(remaining, 1 << 20))
        if not block:
            break
        digest.update(block)
        remaining -= len(block)
    return digest.hexdigest()


def same_content(archive, info, path, password):
    with archive.open(info, pwd=password) as entry, open(path, "rb") as source:
        while True:
            a = entry.read(1 << 20)
            b = source.read(1 << 20)
            if a != b:
                return False
            if not a:
                return True


def main():
    args = sys.argv[1:]
    archive_path = args.pop(0)
    root = None
    password = None
    test = True
    while args:
        option = args.pop(0)
        if option == "--root":
            root = args.pop(0)
        elif option == "--password":
            password = args.pop(0).encode("utf-8")
        elif option == "--no-test":
            test = False
    failures = 0
    with zipfile.ZipFile(archive_path) as archive, open(archive_path, "rb") as handle:
        if password is not None:
            archive.setpassword(password)
        for info in archive.infolist():
            print("%s\t%d\t%d\t%s" % (info.filename, info.compress_type, info.flag_bits,
                                      raw_record_digest(handle, info)))
            if info.is_dir():
                continue
            if root is not None:
                path = os.path.join(root, info.filename)
                if not os.path.exists(path) or not same_content(archive, info, path, password):
                    print("DIFFERS: %s" % info.filename)
                    failures += 1
            elif test:
                with archive.open(info, pwd=password) as entry:
                    while entry.read(1 << 20):
                        pass
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
