#!/usr/bin/env python3
"""Runs deflate_enc_bench and sets its results beside zlib at level 6.

Usage: deflate_enc_bench.py PATH/TO/deflate_enc_bench [--repeat N] [FILE...]

The benchmark program compresses each input with the reference and the
fast encoder and writes inputs and streams to a scratch directory. This
script then inflates every stream with zlib (raw Deflate, wbits -15) and
checks that it gives the input back, compresses the same input with zlib
at level 6 (best of the same number of runs), and prints one table with
both. Exits with 1 when a check fails.
"""
import os
import subprocess
import sys
import tempfile
import time
import zlib


def main():
    if len(sys.argv) < 2:
        print(__doc__)
        return 2
    program = sys.argv[1]
    rest = sys.argv[2:]
    repeat = 3
    if "--repeat" in rest:
        repeat = int(rest[rest.index("--repeat") + 1])
    with tempfile.TemporaryDirectory(prefix="deflate_enc_bench_") as scratch:
        run = subprocess.run([program, "--out", scratch] + rest, capture_output=True, text=True)
        sys.stdout.write(run.stdout)
        if run.returncode != 0:
            sys.stderr.write(run.stderr)
            print("benchmark program failed")
            return 1
        items = [line.split() for line in run.stdout.splitlines() if line.startswith("item ")]
        failed = 0
        print()
        print("%-12s %10s %8s %8s %12s %12s" % ("input", "bytes", "ours", "zlib -6", "ours fast", "zlib -6"))
        total_in = total_ours = total_zlib = total_fast = total_zlib_s = 0.0
        for _, name, size, compressed, _reference_s, fast_s in items:
            with open(os.path.join(scratch, name + ".raw"), "rb") as f:
                data = f.read()
            with open(os.path.join(scratch, name + ".deflate"), "rb") as f:
                stream = f.read()
            inflater = zlib.decompressobj(wbits=-15)
            try:
                back = inflater.decompress(stream) + inflater.flush()
                ok = back == data and inflater.eof and not inflater.unused_data
            except zlib.error:
                ok = False
            if not ok:
                failed += 1
                print("%s: zlib does NOT inflate our stream to the input" % name)
            best = None
            for _ in range(repeat):
                start = time.perf_counter()
                deflater = zlib.compressobj(6, zlib.DEFLATED, -15)
                theirs = deflater.compress(data) + deflater.flush()
                seconds = time.perf_counter() - start
                best = seconds if best is None else min(best, seconds)
            size = int(size)
            mb = size / 1e6
            fast_s = float(fast_s)
            print("%-12s %10d %7.2f%% %7.2f%% %7.1f MB/s %7.1f MB/s" % (
                name, size, 100.0 * int(compressed) / max(size, 1), 100.0 * len(theirs) / max(size, 1),
                mb / fast_s, mb / best))
            total_in += size
            total_ours += int(compressed)
            total_zlib += len(theirs)
            total_fast += fast_s
            total_zlib_s += best
        print("%-12s %10d %7.2f%% %7.2f%% %7.1f MB/s %7.1f MB/s" % (
            "all", total_in, 100.0 * total_ours / max(total_in, 1), 100.0 * total_zlib / max(total_in, 1),
            total_in / 1e6 / total_fast, total_in / 1e6 / total_zlib_s))
        print("zlib %s; %d of %d streams inflate to their input" % (
            zlib.ZLIB_RUNTIME_VERSION, len(items) - failed, len(items)))
        return 1 if failed or not items else 0


if __name__ == "__main__":
    sys.exit(main())
