#!/usr/bin/env python3
"""Makes the large ZIP archives of the extraction tests at build time:

    make_large_archives.py OUTDIR

OUTDIR/many.zip         70000 empty stored members d/00000 .. d/69999: more
                        than 65535 entries, so Python's zipfile writes a
                        ZIP64 end record and locator.
OUTDIR/big-deflate64.zip one member zeros.bin of 4 GiB + 1245220 bytes of
                        zeros, Deflate64 (method 9), both sizes in ZIP64
                        blocks: one literal, then matches of the longest
                        Deflate64 length (65538) at distance 1, in one
                        fixed-Huffman block, so that the archive stays
                        small (about 240 KB).
OUTDIR/big.tsv          size and CRC-32 (hex) of zeros.bin.
"""
import os
import struct
import sys
import zipfile
import zlib

LONGEST = 65538
MATCHES = 65553  # 1 + MATCHES * LONGEST bytes: just past 4 GiB
STAMP = 0x5221 << 16  # 2021-01-01 00:00:00: date << 16 | time


class Bits:
    """Deflate's bit order: fields low bit first, Huffman codes high bit first."""

    def __init__(self):
        self.value = 0
        self.count = 0

    def put(self, value, width):
        self.value |= value << self.count
        self.count += width

    def code(self, code, width):
        self.put(int(format(code, "0%db" % width)[::-1], 2), width)

    def bytes(self):
        return self.value.to_bytes((self.count + 7) // 8, "little")


def zero_stream():
    bits = Bits()
    bits.put(1, 1)  # final block
    bits.put(1, 2)  # fixed Huffman codes
    bits.code(0x30, 8)  # literal 0
    for _ in range(MATCHES):
        bits.code(0xC0 + (285 - 280), 8)  # length code 285: 3 + 16 extra bits in Deflate64
        bits.put(LONGEST - 3, 16)
        bits.code(0, 5)  # distance code 0: distance 1
    bits.code(0, 7)  # end of block
    return bits.bytes()


def zeros_crc(size):
    crc, chunk = 0, bytes(1 << 26)
    while size > 0:
        crc = zlib.crc32(chunk[: min(size, len(chunk))], crc)
        size -= len(chunk)
    return crc


def big_archive(path):
    size = 1 + MATCHES * LONGEST
    data = zero_stream()
    crc = zeros_crc(size)
    name = b"zeros.bin"
    local_extra = struct.pack("<HHQQ", 1, 16, size, len(data))
    local = struct.pack("<IHHHIIIIHH", 0x04034B50, 45, 0, 9, STAMP, crc, 0xFFFFFFFF, 0xFFFFFFFF, len(name),
                        len(local_extra)) + name + local_extra
    central = struct.pack("<IHHHHIIIIHHHHHII", 0x02014B50, 45, 45, 0, 9, STAMP, crc, 0xFFFFFFFF, 0xFFFFFFFF,
                          len(name), len(local_extra), 0, 0, 0, 0, 0) + name + local_extra
    offset = len(local) + len(data)
    end = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, 1, 1, len(central), offset, 0)
    with open(path, "wb") as out:
        out.write(local + data + central + end)
    return size, crc


def main(argv):
    outdir = argv[1]
    os.makedirs(outdir, exist_ok=True)
    with zipfile.ZipFile(os.path.join(outdir, "many.zip"), "w", zipfile.ZIP_STORED) as archive:
        for i in range(70000):
            archive.writestr(zipfile.ZipInfo("d/%05d" % i, (2021, 1, 1, 0, 0, 0)), b"")
    size, crc = big_archive(os.path.join(outdir, "big-deflate64.zip"))
    with open(os.path.join(outdir, "big.tsv"), "w") as out:
        out.write("%d\t%08x\n" % (size, crc))
    open(os.path.join(outdir, "done"), "w").close()


if __name__ == "__main__":
    main(sys.argv)
