#!/usr/bin/env python3
"""Makes the peer data of the ZIP tests at build time:

    make_peer_data.py OUTDIR

OUTDIR/tree/        a source tree: nested folders, empty files, empty
                    folders (one with a Japanese name), a file of more than
                    1 MiB of mixed binary and text, Japanese (UTF-8) names.
                    Built from ../fixtures/payload/make_payload.py and
                    extended here.
OUTDIR/manifest.tsv kind, size, CRC-32, mtime and path of every entry.
OUTDIR/archives/    the tree archived by every peer that is installed:
                      infozip-0/1/6/9.zip   zip -q -r -N (N = 0, 1, 6, 9; UTF-8
                                            names without flag bit 11)
                      python-stored.zip, python-deflated-1.zip,
                      python-deflated-9.zip Python's zipfile
                      7z-mx1/5/9.zip        7z a -tzip -mx=N
                      bsdtar.zip, bsdtar-store.zip
                                            bsdtar --format zip (data
                                            descriptors on every file)
OUTDIR/archives.tsv file, peer, name option ("utf8": extract with /8, as a
                    user would for Info-ZIP's UTF-8 names; "-" none), and
                    what extraction gives ("tree": the whole tree;
                    "descriptor": a clean error at the first data
                    descriptor).
OUTDIR/streams/     raw Deflate streams from Python's zlib (wbits -15) of a
                    few inputs (INPUT.raw) at every level, with the
                    strategies that give stored, fixed and dynamic blocks,
                    and with sync flushes (empty stored blocks between
                    others): INPUT-NAME.deflate.
OUTDIR/streams.tsv  stream file, input file, type of the first block.
OUTDIR/skipped.tsv  peer and reason, for every peer that is missing.

Peers run inside the tree with TZ=UTC and a UTF-8 locale; the tests read
the stamps with TZ=UTC too. Every entry's time is at an even second.
"""
import os
import shutil
import subprocess
import sys
import time
import zipfile
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "fixtures", "payload"))
import make_payload  # noqa: E402

os.environ["TZ"] = "UTC"
time.tzset()
ENV = dict(os.environ, TZ="UTC", LC_ALL="C.UTF-8")
SUMMER, WINTER = make_payload.SUMMER, make_payload.WINTER


def mixed_large():
    """More than 1 MiB: binary stretches, text and random bytes in turn, so
    that an encoder switches between block kinds and matches reach across
    the kinds."""
    out = bytearray()
    seed = 40
    while len(out) < 1100000:
        out += make_payload.binary(seed, 50000)
        out += make_payload.text(seed + 1, 500)
        out += make_payload.random_bytes(seed + 2, 2000)
        seed += 3
    return bytes(out)


TREE = make_payload.TREE + make_payload.JP + [
    ("mixed/", None, WINTER),
    ("mixed/large.bin", mixed_large(), SUMMER),
    ("空/", None, SUMMER),  # an empty folder with a Japanese name
]
TOP = [p.rstrip("/") for p, _, _ in TREE if "/" not in p.rstrip("/")]


def build_tree(root):
    make_payload.write_tree(root, TREE)


def write_manifest(path):
    with open(path, "w", encoding="utf-8", newline="\n") as f:
        f.write("# kind\tsize\tcrc32\tmtime\tpath\n")
        for name, data, mtime in TREE:
            if data is None:
                f.write("d\t0\t-\t%d\t%s\n" % (mtime, name))
            else:
                f.write("f\t%d\t%08x\t%d\t%s\n" % (len(data), zlib.crc32(data), mtime, name))


def python_zip(root, out, method, level=None):
    with zipfile.ZipFile(out, "w", compression=method, compresslevel=level) as z:
        for name, _, _ in TREE:
            z.write(os.path.join(root, name), name)


def make_archives(root, outdir, skipped):
    rows = []
    archives = os.path.join(outdir, "archives")
    os.makedirs(archives)

    def peer(tool, name, argv, option, expect):
        if shutil.which(tool) is None:
            skipped.append((name, tool + " is not installed"))
            return
        subprocess.run(argv, cwd=root, env=ENV, check=True, stdout=subprocess.DEVNULL)
        rows.append((name, tool, option, expect))

    for level in (0, 1, 6, 9):
        name = "infozip-%d.zip" % level
        peer("zip", name, ["zip", "-q", "-r", "-%d" % level, os.path.join(archives, name)] + TOP, "utf8", "tree")
    for name, method, level in (("python-stored.zip", zipfile.ZIP_STORED, None),
                                ("python-deflated-1.zip", zipfile.ZIP_DEFLATED, 1),
                                ("python-deflated-9.zip", zipfile.ZIP_DEFLATED, 9)):
        python_zip(root, os.path.join(archives, name), method, level)
        rows.append((name, "python", "-", "tree"))
    for level in (1, 5, 9):
        name = "7z-mx%d.zip" % level
        peer("7z", name, ["7z", "a", "-bd", "-tzip", "-mx=%d" % level, os.path.join(archives, name)] + TOP,
             "-", "tree")
    peer("bsdtar", "bsdtar.zip", ["bsdtar", "--format", "zip", "-cf", os.path.join(archives, "bsdtar.zip")] + TOP,
         "-", "descriptor")
    peer("bsdtar", "bsdtar-store.zip", ["bsdtar", "--format", "zip", "--options", "zip:compression=store", "-cf",
                                        os.path.join(archives, "bsdtar-store.zip")] + TOP, "-", "descriptor")
    with open(os.path.join(outdir, "archives.tsv"), "w", encoding="utf-8", newline="\n") as f:
        f.write("# file\tpeer\toption\texpect\n")
        for row in rows:
            f.write("\t".join(row) + "\n")


STREAM_INPUTS = {
    "text": lambda: make_payload.text(11, 900),
    "binary": lambda: make_payload.binary(12, 150000),  # matches across the 64 KiB window
    "random": lambda: make_payload.random_bytes(13, 5000),
    "pattern": lambda: b"0123456" * 4000,
    "zeros": lambda: bytes(70000),
    "empty": lambda: b"",
    "one": lambda: b"x",
    # Longer than what the decoder keeps between two writes to the file.
    "long": lambda: make_payload.binary(14, 600000),
}
# Inputs made at a few levels only.
FEW_LEVELS = {"long"}
STRATEGIES = {
    "default": zlib.Z_DEFAULT_STRATEGY,
    "filtered": zlib.Z_FILTERED,
    "huffman": zlib.Z_HUFFMAN_ONLY,
    "rle": zlib.Z_RLE,
    "fixed": zlib.Z_FIXED,
}


def raw_deflate(data, level, strategy, flush_every=0):
    c = zlib.compressobj(level, zlib.DEFLATED, -15, 8, strategy)
    if not flush_every:
        return c.compress(data) + c.flush()
    out = b""
    for i in range(0, len(data), flush_every):
        out += c.compress(data[i:i + flush_every]) + c.flush(zlib.Z_SYNC_FLUSH)
    return out + c.flush()


def make_streams(outdir):
    streams = os.path.join(outdir, "streams")
    os.makedirs(streams)
    rows = []
    for input_name, make in STREAM_INPUTS.items():
        data = make()
        with open(os.path.join(streams, input_name + ".raw"), "wb") as f:
            f.write(data)
        if input_name in FEW_LEVELS:
            variants = [("l%d-default" % level, level, "default", 0) for level in (0, 1, 6, 9)]
            variants.append(("l6-fixed", 6, "fixed", 0))
        else:
            variants = [("l%d-default" % level, level, "default", 0) for level in range(10)]
            variants += [("l%d-%s" % (level, s), level, s, 0) for s in STRATEGIES if s != "default" for level in (1, 6, 9)]
            variants.append(("l6-syncflush", 6, "default", 10000))
        for suffix, level, strategy, flush_every in variants:
            stream = raw_deflate(data, level, STRATEGIES[strategy], flush_every)
            assert zlib.decompress(stream, -15) == data
            name = "%s-%s.deflate" % (input_name, suffix)
            with open(os.path.join(streams, name), "wb") as f:
                f.write(stream)
            rows.append((name, input_name + ".raw", str((stream[0] >> 1) & 3)))
    with open(os.path.join(outdir, "streams.tsv"), "w", encoding="utf-8", newline="\n") as f:
        f.write("# stream\tinput\tfirst block type\n")
        for row in rows:
            f.write("\t".join(row) + "\n")


def main(argv):
    if len(argv) != 2:
        sys.stderr.write(__doc__)
        return 2
    outdir = argv[1]
    if os.path.exists(outdir):
        shutil.rmtree(outdir)
    root = os.path.join(outdir, "tree")
    os.makedirs(root)
    build_tree(root)
    write_manifest(os.path.join(outdir, "manifest.tsv"))
    skipped = []
    make_archives(root, outdir, skipped)
    make_streams(outdir)
    with open(os.path.join(outdir, "skipped.tsv"), "w", encoding="utf-8", newline="\n") as f:
        f.write("# peer\treason\n")
        for row in skipped:
            f.write("\t".join(row) + "\n")
    with open(os.path.join(outdir, "done"), "w") as f:
        f.write("done\n")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
