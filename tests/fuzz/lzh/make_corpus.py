#!/usr/bin/env python3
"""Writes the seeds of fuzz_lzh that give every method of the library one
archive, from the checked-in fixtures (the other seeds are plain copies of
fixtures):

    make_corpus.py

Level-0 archives keep their first members up to about 3 KiB, so that the
fuzzer mutates small inputs. -lh4- has no archive of its own (jlha writes
-lh5- for it): its seed is jlha's -lh5- archive with the method ids
renamed and the header checksums made again, which decodes the same while
its matches stay within 4 KiB. Level 3, -lzs-, -lz5-, -pm1- and -pm2- are
among the copies.
"""
import os

HERE = os.path.dirname(os.path.abspath(__file__))
FIXTURES = os.path.join(HERE, "..", "..", "fixtures")
BUDGET = 3000

# seed name: (fixture, keep members within the budget)
SEEDS = {
    "methods-lh1.lzh": ("generated/methods-lh1.lzh", True),
    "methods-lz4.lzh": ("generated/methods-lz4.lzh", True),
    "methods-pm0.lzh": ("generated/methods-pm0.lzh", True),
    "jp-lh6-l0.lzh": ("jlha/jp-lh6-l0.lzh", False),
    "jp-lh7-l2.lzh": ("jlha/jp-lh7-l2.lzh", False),
    "l2-macbinary.lzh": ("generated/l2-macbinary.lzh", False),
}


def level0_members(archive):
    """(offset, length) of each member of a level-0 archive: the header
    (byte 0 + 2 bytes) and the compressed size at offset 7."""
    at = 0
    while at < len(archive) and archive[at] != 0:
        size = archive[at] + 2 + int.from_bytes(archive[at + 7:at + 11], "little")
        yield at, size
        at += size


def cut(archive):
    kept = b""
    for at, size in level0_members(archive):
        if kept and len(kept) + size > BUDGET:
            break
        kept += archive[at:at + size]
    return kept + b"\0"


def renamed(archive, old, new):
    """The level-0 archive with method old renamed new in every header and
    each header's checksum (the sum of bytes 2 .. end) made again."""
    out = bytearray(archive)
    for at, _ in level0_members(archive):
        end = at + archive[at] + 2
        if out[at + 2:at + 7] == old:
            out[at + 2:at + 7] = new
            out[at + 1] = sum(out[at + 2:end]) & 0xFF
    return bytes(out)


def main():
    seeds = {}
    for name, (fixture, keep_small) in SEEDS.items():
        with open(os.path.join(FIXTURES, fixture), "rb") as f:
            data = f.read()
        seeds[name] = cut(data) if keep_small else data
    with open(os.path.join(FIXTURES, "jlha/jp-l0.lzh"), "rb") as f:
        seeds["jp-lh4-l0.lzh"] = renamed(f.read(), b"-lh5-", b"-lh4-")
    for name, data in sorted(seeds.items()):
        with open(os.path.join(HERE, "corpus", name), "wb") as f:
            f.write(data)
        print("%-22s %d bytes" % (name, len(data)))


if __name__ == "__main__":
    main()
