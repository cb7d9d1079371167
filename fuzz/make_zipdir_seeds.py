#!/usr/bin/env python3
"""Writes the seed corpus of the archive directory readers' fuzz targets (fuzz/corpus/zipdir; the same
seeds serve zipdirectory and enginearchive).

Small archives of every shape the reader must handle: empty, stored and deflated entries, comments,
folder entries, a stub in front, zero padding and trailing bytes, ZIP64 records, names of MS-DOS
hosts, a spanned-set marker and a damaged directory."""
import io
import os
import struct
import sys
import zipfile

out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "corpus", "zipdir")
os.makedirs(out, exist_ok=True)


def archive(entries, comment=b"", compression=zipfile.ZIP_DEFLATED):
    buffer = io.BytesIO()
    with zipfile.ZipFile(buffer, "w", compression) as z:
        for name, data, entry_comment in entries:
            info = zipfile.ZipInfo(name, date_time=(2020, 5, 17, 10, 30, 0))
            info.compress_type = compression
            info.comment = entry_comment
            z.writestr(info, data)
        z.comment = comment
    return buffer.getvalue()


def save(name, data):
    with open(os.path.join(out, name), "wb") as f:
        f.write(data)


def eocd_offset(data):
    return data.rindex(b"PK\x05\x06")


simple = archive([("a.txt", b"hello hello hello\n", b""), ("sub/b.bin", bytes(range(64)), b"entry note")],
                 comment=b"archive comment")
save("two_entries_comments", simple)
save("empty_archive", b"PK\x05\x06" + b"\0" * 18)
save("stored_and_folder", archive([("dir/", b"", b""), ("dir/x", b"x", b"")], compression=zipfile.ZIP_STORED))

# A stub in front whose offsets count from the zip part (the directory looks displaced).
save("stub_in_front", b"MZ" + b"\x90" * 998 + simple)

# Padding after the end record: zeros up to a 512 multiple, and a non-zero tail.
save("zero_padding", simple + b"\0" * (512 - len(simple) % 512))
save("trailing_garbage", simple + b"garbage after the end record")

# An MS-DOS host name with an OEM byte.
dos = bytearray(archive([("cafe.txt", b"x", b"")], compression=zipfile.ZIP_STORED))
central = dos.index(b"PK\x01\x02")
dos[central + 5] = 0  # host system: MS-DOS
for at in (dos.index(b"caf"), dos.rindex(b"caf")):
    dos[at + 3] = 0x84
save("dos_host_oem_name", bytes(dos))

# ZIP64: a ZIP64 extra field in the central header, and the ZIP64 end record and locator, with the
# classic end record saying "look at ZIP64".
plain = bytearray(archive([("big.txt", b"z" * 100, b"")], compression=zipfile.ZIP_STORED))
central = plain.index(b"PK\x01\x02")
end = eocd_offset(plain)
cd_size = end - central
name_len, extra_len = struct.unpack_from("<HH", plain, central + 28)
header = bytearray(plain[central:central + 46 + name_len])
struct.pack_into("<II", header, 20, 0xFFFFFFFF, 0xFFFFFFFF)  # sizes moved to the extra field
struct.pack_into("<I", header, 42, 0xFFFFFFFF)  # offset moved too
extra = struct.pack("<HHQQQ", 1, 24, 100, 100, 0)
struct.pack_into("<H", header, 30, len(extra))
new_central = bytes(header) + extra
zip64_end_at = central + len(new_central)
zip64_end = struct.pack("<IQHHIIQQQQ", 0x06064B50, 44, 45, 45, 0, 0, 1, 1, len(new_central), central)
locator = struct.pack("<IIQI", 0x07064B50, 0, zip64_end_at, 1)
eocd = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, 0xFFFF, 0xFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0)
save("zip64_records", bytes(plain[:central]) + new_central + zip64_end + locator + eocd)

# The first volume of a spanned set starts with the spanning marker.
save("spanned_marker", b"PK\x07\x08" + simple)

# A damaged directory: the entry count says more than there is; a short name.
damaged = bytearray(simple)
end = eocd_offset(damaged)
struct.pack_into("<HH", damaged, end + 8, 9, 9)
save("count_too_high", bytes(damaged))
cut = bytearray(simple)
central = cut.index(b"PK\x01\x02")
struct.pack_into("<H", cut, central + 28, 0xFFF0)
save("name_length_past_end", bytes(cut))

# End records inside the archive comment: one whose fields run past the file, one that states an
# empty directory at offset 0, and one that looks like an exact empty archive where it stands.
for name, fake in (("fake_end_past_file", b"PK\x05\x06" + b"\xff" * 18),
                   ("fake_end_empty", b"PK\x05\x06" + b"\0" * 18)):
    save(name, archive([("a.txt", b"kept", b"")], comment=b"note " + fake + b" end"))
base = archive([("a.txt", b"kept", b"")], comment=b"x" * 40)
at = len(base) - 40 + 5
fake = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, 0, 0, 0, at, 13)
save("fake_end_exact", base[:at] + fake + base[at + 22:])

# The longest comment, with end record signatures spread through it, and an end record just out of
# reach (further back than 64 KiB + 22 bytes from the end).
long_comment = (b"PK\x05\x06" + b"\0" * 18 + b"text " * 20) * 520
save("longest_comment", archive([("a.txt", b"kept", b"")], comment=long_comment[:65535]))
save("end_out_of_reach", simple + b"z" * 65536)
