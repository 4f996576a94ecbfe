#!/usr/bin/env python3
"""Remakes the seed corpus of fuzz_zip in corpus/:

    python3 make_corpus.py

Small archives of the peers, copied from ../../fixtures (Python's
zipfile, Info-ZIP, 7-Zip, bsdtar with its data descriptors, and a few
hostile ones), and two made here: text.zip by Python's zipfile (a dynamic
Deflate block, an empty Deflate member 03 00, a folder, a name in a
folder) and cross.zip, zopfli's stream cross1.deflate (a code-length
repeat that crosses into the distance lengths) in a ZIP record written
from the format.
"""
import os
import shutil
import struct
import sys
import zipfile
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
FIXTURES = os.path.join(HERE, "..", "..", "fixtures")
sys.path.insert(0, os.path.join(FIXTURES, "payload"))
import make_payload  # noqa: E402

COPIED = [
    "zip-python/jp-deflated.zip",
    "zip-infozip/jp-utf8.zip",
    "zip-7z/jp.zip",
    "zip-bsdtar/jp.zip",
    "hostile/zip-deflate-bad-nlen.zip",
    "hostile/zip-deflate-far-distance.zip",
    "hostile/zip-dotdot-deep.zip",
    "hostile/zip-trunc-stored.zip",
    "hostile/zip-symlink-then-member.zip",
    "hostile/zip-under-link.zip",
    "hostile/zip-named-like-link.zip",
]
STAMP = (2021, 7, 15, 12, 34, 56)


def local_record(name, data, size, crc):
    # local header: signature, version 20, flags 0, method 8, DOS time and
    # date, CRC-32, sizes, name length, extra length 0; then name and data
    time_field = (STAMP[3] << 11) | (STAMP[4] << 5) | (STAMP[5] // 2)
    date_field = ((STAMP[0] - 1980) << 9) | (STAMP[1] << 5) | STAMP[2]
    return struct.pack("<IHHHHHIIIHH", 0x04034B50, 20, 0, 8, time_field, date_field, crc, len(data), size,
                       len(name), 0) + name + data


def main():
    corpus = os.path.join(HERE, "corpus")
    shutil.rmtree(corpus, ignore_errors=True)
    os.makedirs(corpus)
    for path in COPIED:
        shutil.copyfile(os.path.join(FIXTURES, path), os.path.join(corpus, path.replace("/", "-")))
    with zipfile.ZipFile(os.path.join(corpus, "text.zip"), "w", zipfile.ZIP_DEFLATED) as z:
        for name, data in (("a.txt", make_payload.text(5, 12)), ("empty.txt", b""), ("d/", None),
                           ("d/b.txt", make_payload.text(6, 6))):
            info = zipfile.ZipInfo(name, STAMP)
            if data is None:
                z.writestr(info, b"")
            else:
                info.compress_type = zipfile.ZIP_DEFLATED
                z.writestr(info, data)
    with open(os.path.join(FIXTURES, "zopfli", "cross1.deflate"), "rb") as f:
        stream = f.read()
    with open(os.path.join(FIXTURES, "zopfli", "cross1.txt"), "rb") as f:
        text = f.read()
    with open(os.path.join(corpus, "cross.zip"), "wb") as f:
        f.write(local_record(b"cross1.txt", stream, len(text), zlib.crc32(text)))


if __name__ == "__main__":
    main()
