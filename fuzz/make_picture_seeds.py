#!/usr/bin/env python3
"""Writes the seed corpus of the picture fuzz target (fuzz/corpus/picture) beside the program's own
artwork JPEGs already there.

A small JPEG writer of its own, so the seeds cover the shapes the decoder must handle: grayscale,
YCbCr with 4:4:4, 4:2:2 and 4:2:0 sampling and odd sizes, restart markers, comment and application
markers, CMYK and YCCK with the Adobe marker, and progressive streams with successive approximation
of the DC values and runs of empty blocks. Blocks carry a DC value and one low AC value, enough for a
decodable picture; the picture itself does not matter."""
import os
import struct
import sys

out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "corpus", "picture")
os.makedirs(out, exist_ok=True)

# Huffman tables: every DC category 0..11 gets a 4-bit code, every AC symbol (end-of-band runs and
# run/size pairs) an 8-bit code. Wasteful but valid, and one pair of tables serves every scan.
DC_SYMBOLS = list(range(12))
AC_SYMBOLS = [r << 4 for r in range(16)] + [(r << 4) | s for r in range(16) for s in range(1, 11)]


def canonical(symbols, length):
    return {symbol: (code, length) for code, symbol in enumerate(symbols)}


DC_CODES = canonical(DC_SYMBOLS, 4)
AC_CODES = canonical(AC_SYMBOLS, 8)


def dht(table_class, table_id, symbols, length):
    counts = [0] * 16
    counts[length - 1] = len(symbols)
    body = bytes([(table_class << 4) | table_id]) + bytes(counts) + bytes(symbols)
    return segment(0xC4, body)


def segment(marker, body):
    return struct.pack(">BBH", 0xFF, marker, len(body) + 2) + body


class Bits:
    def __init__(self):
        self.data = bytearray()
        self.acc = 0
        self.count = 0

    def put(self, value, length):
        for i in range(length - 1, -1, -1):
            self.acc = (self.acc << 1) | ((value >> i) & 1)
            self.count += 1
            if self.count == 8:
                self.data.append(self.acc)
                if self.acc == 0xFF:
                    self.data.append(0)
                self.acc = 0
                self.count = 0

    def flush(self):
        if self.count:
            self.put((1 << (8 - self.count)) - 1, 8 - self.count)


def category(value):
    return abs(value).bit_length()


def magnitude_bits(value):
    size = category(value)
    return (value if value >= 0 else value + (1 << size) - 1), size


def put_symbol(bits, codes, symbol):
    code, length = codes[symbol]
    bits.put(code, length)


def put_value(bits, codes, symbol_high, value):
    raw, size = magnitude_bits(value)
    put_symbol(bits, codes, symbol_high | size)
    if size:
        bits.put(raw, size)


class Picture:
    """Components as (id, h, v); coefficients chosen from the block position."""

    def __init__(self, width, height, components):
        self.width, self.height, self.components = width, height, components
        self.hmax = max(c[1] for c in components)
        self.vmax = max(c[2] for c in components)
        self.mcux = -(-width // (8 * self.hmax))
        self.mcuy = -(-height // (8 * self.vmax))

    def dc(self, index, bx, by):
        return ((bx * 37 + by * 23 + index * 51) % 160) - 80

    def ac(self, index, bx, by):
        return ((bx + by + index) % 5) - 2

    def blocks(self, index):
        """Blocks of one component alone, as a non-interleaved scan walks them."""
        _, h, v = self.components[index]
        width = -(-self.width * h // self.hmax)
        height = -(-self.height * v // self.vmax)
        return [(bx, by) for by in range(-(-height // 8)) for bx in range(-(-width // 8))]

    def mcus(self, indexes):
        """Blocks in scan order: interleaved MCUs, or one component's own blocks."""
        if len(indexes) == 1 and len(self.components) > 1:
            for block in self.blocks(indexes[0]):
                yield [(indexes[0],) + block]
            return
        if len(self.components) == 1:
            for block in self.blocks(0):
                yield [(0,) + block]
            return
        for my in range(self.mcuy):
            for mx in range(self.mcux):
                mcu = []
                for index in indexes:
                    _, h, v = self.components[index]
                    for y in range(v):
                        for x in range(h):
                            mcu.append((index, mx * h + x, my * v + y))
                yield mcu

    def header(self, sof, adobe=None, comment=None, restart=0):
        out = b"\xFF\xD8"
        if adobe is None:
            out += segment(0xE0, b"JFIF\0\x01\x01\x00\x00\x01\x00\x01\x00\x00")
        else:
            out += segment(0xEE, b"Adobe\x00\x64\x00\x00\x00\x00" + bytes([adobe]))
        if comment:
            out += segment(0xFE, comment)
        out += segment(0xDB, b"\x00" + bytes([4] * 64))
        frame = struct.pack(">BHHB", 8, self.height, self.width, len(self.components))
        for cid, h, v in self.components:
            frame += bytes([cid, (h << 4) | v, 0])
        out += segment(sof, frame)
        out += dht(0, 0, DC_SYMBOLS, 4) + dht(1, 0, AC_SYMBOLS, 8)
        if restart:
            out += segment(0xDD, struct.pack(">H", restart))
        return out

    def sos(self, indexes, ss, se, ah, al):
        body = bytes([len(indexes)])
        for index in indexes:
            body += bytes([self.components[index][0], 0x00])
        return segment(0xDA, body + bytes([ss, se, (ah << 4) | al]))

    def baseline(self, adobe=None, comment=None, restart=0):
        indexes = list(range(len(self.components)))
        out = self.header(0xC0, adobe, comment, restart) + self.sos(indexes, 0, 63, 0, 0)
        bits = Bits()
        previous = [0] * len(self.components)
        mcus = list(self.mcus(indexes))
        for number, mcu in enumerate(mcus):
            if restart and number and number % restart == 0:
                bits.flush()
                out += bytes(bits.data) + bytes([0xFF, 0xD0 + (number // restart - 1) % 8])
                bits = Bits()
                previous = [0] * len(self.components)
            for index, bx, by in mcu:
                dc = self.dc(index, bx, by)
                put_value(bits, DC_CODES, 0, dc - previous[index])
                previous[index] = dc
                ac = self.ac(index, bx, by)
                if ac:
                    put_value(bits, AC_CODES, 0, ac)
                put_symbol(bits, AC_CODES, 0x00)
        bits.flush()
        return out + bytes(bits.data) + b"\xFF\xD9"

    def progressive(self, adobe=None, comment=None, refinements=0):
        """DC first with one bit held back, DC refinement, then one AC band per component; or, with
        refinements, every AC coefficient in a band of its own, sent first without its last
        `refinements` bits and then refined one bit a scan (all AC values zero)."""
        indexes = list(range(len(self.components)))
        out = self.header(0xC2, adobe, comment)
        out += self.sos(indexes, 0, 0, 0, 1)
        bits = Bits()
        previous = [0] * len(self.components)
        for mcu in self.mcus(indexes):
            for index, bx, by in mcu:
                dc = self.dc(index, bx, by) >> 1
                put_value(bits, DC_CODES, 0, dc - previous[index])
                previous[index] = dc
        bits.flush()
        out += bytes(bits.data) + self.sos(indexes, 0, 0, 1, 0)
        bits = Bits()
        for mcu in self.mcus(indexes):
            for index, bx, by in mcu:
                bits.put(self.dc(index, bx, by) & 1, 1)
        bits.flush()
        out += bytes(bits.data)
        if refinements:
            return out + self.refined_bands(indexes, refinements) + b"\xFF\xD9"
        for index in indexes:
            out += self.sos([index], 1, 63, 0, 0)
            bits = Bits()
            run = 0

            def end_run():
                if run:
                    size = run.bit_length() - 1
                    put_symbol(bits, AC_CODES, size << 4)
                    if size:
                        bits.put(run - (1 << size), size)

            for bx, by in self.blocks(index):
                ac = self.ac(index, bx, by)
                if ac:
                    end_run()
                    run = 0
                    put_value(bits, AC_CODES, 0, ac)
                run += 1
                if run == 0x7FFF:
                    end_run()
                    run = 0
            end_run()
            bits.flush()
            out += bytes(bits.data)
        return out + b"\xFF\xD9"

    def refined_bands(self, indexes, refinements):
        out = b""
        for index in indexes:
            blocks = len(self.blocks(index))
            for k in range(1, 64):
                for al in range(refinements, -1, -1):
                    out += self.sos([index], k, k, 0 if al == refinements else al + 1, al)
                    # Nothing but one run of empty blocks (refinement scans code it the same way).
                    bits = Bits()
                    size = blocks.bit_length() - 1
                    put_symbol(bits, AC_CODES, size << 4)
                    if size:
                        bits.put(blocks - (1 << size), size)
                    bits.flush()
                    out += bytes(bits.data)
        return out


def save(name, data):
    with open(os.path.join(out, name), "wb") as f:
        f.write(data)


YCC444 = [(1, 1, 1), (2, 1, 1), (3, 1, 1)]
YCC422 = [(1, 2, 1), (2, 1, 1), (3, 1, 1)]
YCC420 = [(1, 2, 2), (2, 1, 1), (3, 1, 1)]
save("gray-16x16.jpg", Picture(16, 16, [(1, 1, 1)]).baseline())
save("ycc444-restart1-24x24.jpg", Picture(24, 24, YCC444).baseline(restart=1))
save("ycc422-restart2-comment-30x9.jpg", Picture(30, 9, YCC422).baseline(comment=b"seed", restart=2))
save("ycc420-odd-33x17.jpg", Picture(33, 17, YCC420).baseline())
save("cmyk-adobe-16x8.jpg", Picture(16, 8, [(1, 1, 1), (2, 1, 1), (3, 1, 1), (4, 1, 1)]).baseline(adobe=0))
save("ycck-adobe-16x16.jpg", Picture(16, 16, [(1, 2, 2), (2, 1, 1), (3, 1, 1), (4, 2, 2)]).baseline(adobe=2))
save("progressive-ycc420-40x24.jpg", Picture(40, 24, YCC420).progressive())
save("progressive-gray-20x12.jpg", Picture(20, 12, [(1, 1, 1)]).progressive(comment=b"p"))
save("progressive-cmyk-adobe-16x16.jpg", Picture(16, 16, [(1, 1, 1), (2, 1, 1), (3, 1, 1), (4, 1, 1)]).progressive(adobe=0))
# Legal, but hundreds of scans: the decoder gives up after its limit of scans.
save("progressive-many-scans.jpg", Picture(16, 16, [(1, 1, 1)]).progressive(refinements=13))
