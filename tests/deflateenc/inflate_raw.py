#!/usr/bin/env python3
"""Inflates raw Deflate streams with zlib and compares them with their input.

Usage: inflate_raw.py DIR

DIR holds pairs NAME.deflate (a raw Deflate stream, no zlib or gzip wrapper)
and NAME.raw (the bytes it must inflate to). A stream passes when zlib
(wbits -15) inflates it to exactly the raw bytes, reaches the end of the
final block, and leaves no bytes unused. Prints one line per failure and a
summary; exits with 1 when anything failed.
"""
import os
import sys
import zlib


def check(stream, expected):
    inflater = zlib.decompressobj(wbits=-15)
    try:
        output = inflater.decompress(stream) + inflater.flush()
    except zlib.error as error:
        return "zlib error: %s" % error
    if not inflater.eof:
        return "stream has no final block end"
    if inflater.unused_data:
        return "%d bytes after the final block" % len(inflater.unused_data)
    if output != expected:
        for i, (a, b) in enumerate(zip(output, expected)):
            if a != b:
                return "output differs at byte %d" % i
        return "output has %d bytes, expected %d" % (len(output), len(expected))
    return None


def main():
    directory = sys.argv[1]
    names = sorted(n[:-len(".deflate")] for n in os.listdir(directory) if n.endswith(".deflate"))
    failures = 0
    for name in names:
        with open(os.path.join(directory, name + ".deflate"), "rb") as f:
            stream = f.read()
        with open(os.path.join(directory, name + ".raw"), "rb") as f:
            expected = f.read()
        problem = check(stream, expected)
        if problem:
            failures += 1
            print("FAIL %s: %s" % (name, problem))
    print("%d streams, %d failed (zlib %s)" % (len(names), failures, zlib.ZLIB_RUNTIME_VERSION))
    return 1 if failures or not names else 0


if __name__ == "__main__":
    sys.exit(main())
