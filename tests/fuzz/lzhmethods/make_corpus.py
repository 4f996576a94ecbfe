#!/usr/bin/env python3
"""Writes the seed corpus of fuzz_lzhmethods: for every method, one small
member taken out of the level-0 fixture archives, as the harness reads it
(method id, original size in 3 bytes, packed data).

    make_corpus.py

-lh4- has no archive of its own (jlha writes -lh5- for it): its seed is
the -lh5- member's data, which decodes the same while its matches stay
within 4 KiB.
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
FIXTURES = os.path.join(HERE, "..", "..", "fixtures")
ARCHIVES = ["jlha/tree-l0.lzh", "jlha/tree-lh6-l0.lzh", "jlha/tree-lh7-l0.lzh"] + [
    "generated/methods-%s.lzh" % m for m in ("lh1", "lzs", "lz5", "lz4", "pm0", "pm1", "pm2")]


def level0_members(archive):
    at = 0
    while at < len(archive) and archive[at] != 0:
        size = archive[at] + 2
        method = archive[at + 2:at + 7].decode()
        packed, original = struct.unpack_from("<II", archive, at + 7)
        yield method, original, archive[at + size:at + size + packed]
        at += size + packed


def main():
    seeds = {}
    for name in ARCHIVES:
        with open(os.path.join(FIXTURES, name), "rb") as f:
            for method, original, packed in level0_members(f.read()):
                if method == "-lhd-" or original < 100 or len(packed) > 4000:
                    continue
                if method not in seeds or len(packed) > len(seeds[method][1]):
                    seeds[method] = (original, packed)
    seeds["-lh4-"] = seeds["-lh5-"]
    for method, (original, packed) in sorted(seeds.items()):
        path = os.path.join(HERE, "corpus", method.strip("-") + ".bin")
        with open(path, "wb") as f:
            f.write(method.encode() + struct.pack("<I", original)[:3] + packed)
        print("%-24s %d bytes" % (os.path.relpath(path, HERE), os.path.getsize(path)))


if __name__ == "__main__":
    main()
