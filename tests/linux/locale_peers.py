#!/usr/bin/env python3
"""Names across locales: under ja_JP.UTF-8, C.UTF-8 and en_US.UTF-8 the
Linux tsuchi writes LZH and ZIP archives of the Japanese payload tree, and
every peer extracts them under the same locale; then tsuchi extracts
archives whose names carry no mark of their code page (jlha's Shift-JIS
LZH archives, a Latin-1 LZH archive jlha writes under C.UTF-8, and
Info-ZIP's archive of Shift-JIS names without bit 11). The outcome of
each reader in each locale is compared with the table below, which the
README shows: a reader that gets worse fails the test, and so does one
that gets better, so that the table stays true.

    locale_peers.py --bin DIR --work DIR --fixtures DIR
"""
import argparse
import os
import shutil
import subprocess
import sys

LOCALES = ["ja_JP.UTF-8", "C.UTF-8", "en_US.UTF-8"]

# (what, reader): the locales under which the names come out right.
ALL = set(LOCALES)
EXPECTED = {
    ("LZH by tsuchi", "lhasa"): ALL,
    ("LZH by tsuchi", "jlha"): set(),       # jlha reads Shift-JIS or Latin-1, never UTF-8
    ("LZH by tsuchi", "7z"): ALL,
    ("LZH by tsuchi", "bsdtar"): ALL,
    ("ZIP by tsuchi", "unzip"): ALL,
    ("ZIP by tsuchi", "7z"): ALL,
    ("ZIP by tsuchi", "bsdtar"): ALL,
    ("ZIP by tsuchi", "python"): ALL,
    ("jlha Shift-JIS LZH (levels 0, 1, 2)", "tsuchi"): ALL,
    ("jlha Latin-1 LZH", "tsuchi"): {"C.UTF-8", "en_US.UTF-8"},  # "Übersicht" is half-width katakana to ja
    ("Info-ZIP Shift-JIS ZIP, bit 11 clear", "tsuchi"): ALL,
}

LZH_PEERS = {
    "lhasa": lambda a: ["lhasa", "xq", a],
    "jlha": lambda a: ["jlha", "x", a],
    "7z": lambda a: ["7z", "x", "-y", a],
    "bsdtar": lambda a: ["bsdtar", "-xf", a],
}
ZIP_PEERS = {
    "unzip": lambda a: ["unzip", "-q", a],
    "7z": lambda a: ["7z", "x", "-y", a],
    "bsdtar": lambda a: ["bsdtar", "-xf", a],
    "python": lambda a: [sys.executable, "-c", "import sys, zipfile; zipfile.ZipFile(sys.argv[1]).extractall()", a],
}

LATIN = {"Übersicht/café.txt": b"caf\xc3\xa9\n", "Übersicht/Ärger.txt": b"Aerger\n"}

make_payload = None


def environment(lang):
    env = {k: v for k, v in os.environ.items() if not k.startswith("LC_") and k not in ("DISPLAY", "WAYLAND_DISPLAY")}
    env.update(LC_ALL=lang, TZ="UTC")
    return env


def fresh(folder):
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    return folder


def run(argv, cwd, lang, stdin=b""):
    return subprocess.run(argv, cwd=cwd, env=environment(lang), input=stdin, capture_output=True, timeout=300)


def jp_right(root):
    return not make_payload.compare(os.path.join(root, "資料"), "jp", mtimes=False, dirs=False)


def latin_right(root):
    for name, data in LATIN.items():
        path = os.path.join(root, name)
        if not os.path.isfile(path):
            return False
        with open(path, "rb") as f:
            if f.read() != data:
                return False
    return True


def measure(tsuchi, work, fixtures):
    source = fresh(os.path.join(work, "source"))
    make_payload.build(source)
    os.rename(os.path.join(source, "jp"), os.path.join(source, "資料"))
    folder = os.path.join(source, "資料")
    latin = os.path.join(work, "latin.lzh")
    latin_tree = fresh(os.path.join(work, "latin-tree"))
    for name, data in LATIN.items():
        os.makedirs(os.path.join(latin_tree, os.path.dirname(name)), exist_ok=True)
        with open(os.path.join(latin_tree, name), "wb") as f:
            f.write(data)
    if os.path.exists(latin):
        os.remove(latin)
    run(["jlha", "a2o5", latin, "Übersicht"], latin_tree, "C.UTF-8")

    unmarked = [("jlha Shift-JIS LZH (levels 0, 1, 2)",
                 [os.path.join(fixtures, "jlha", "jp-l%d.lzh" % level) for level in (0, 1, 2)]),
                ("jlha Latin-1 LZH", [latin]),
                ("Info-ZIP Shift-JIS ZIP, bit 11 clear", [os.path.join(fixtures, "zip-infozip", "jp-cp932.zip")])]
    measured = {key: set() for key in EXPECTED}
    for lang in LOCALES:
        base = fresh(os.path.join(work, lang))
        archives = {}
        for kind in ("lzh", "zip"):
            archive = os.path.join(base, "資料." + kind)
            run([tsuchi, folder, archive], base, lang)
            archives[kind] = archive
        for what, kind, peers in (("LZH by tsuchi", "lzh", LZH_PEERS), ("ZIP by tsuchi", "zip", ZIP_PEERS)):
            for reader, command in peers.items():
                out = fresh(os.path.join(base, kind + "-" + reader))
                run(command(archives[kind]), out, lang)
                if jp_right(out):
                    measured[(what, reader)].add(lang)
        for what, inputs in unmarked:
            right = True
            for index, archive in enumerate(inputs):
                out = fresh(os.path.join(base, "tsuchi-%d-%s" % (index, os.path.basename(archive))))
                run([tsuchi, archive], out, lang)
                if archive != latin:
                    # The peers' jp archives hold the tree's top names, not 資料.
                    os.makedirs(os.path.join(out, "資料"))
                    for name in os.listdir(out):
                        if name != "資料":
                            os.rename(os.path.join(out, name), os.path.join(out, "資料", name))
                right = right and (latin_right(out) if archive == latin else jp_right(out))
            if right:
                measured[(what, "tsuchi")].add(lang)
    return measured


def main():
    global make_payload
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--fixtures", required=True)
    args = parser.parse_args()
    sys.path.insert(0, os.path.join(args.fixtures, "payload"))
    import make_payload as builder
    make_payload = builder
    work = os.path.abspath(args.work)
    os.makedirs(work, exist_ok=True)
    missing = [tool for tool in ("lhasa", "jlha", "7z", "bsdtar", "unzip") if shutil.which(tool) is None]
    locales = subprocess.run(["locale", "-a"], capture_output=True, text=True).stdout.lower().replace("-", "")
    missing += [lang for lang in LOCALES if lang.lower().replace("-", "") not in locales.split()]
    if missing:
        print("missing: " + ", ".join(missing))
        return 1

    measured = measure(os.path.abspath(os.path.join(args.bin, "tsuchi")), work, os.path.abspath(args.fixtures))
    differences = 0
    print("%-40s %-7s %s" % ("names of", "reader", "  ".join(LOCALES)))
    for (what, reader), expected in EXPECTED.items():
        got = measured[(what, reader)]
        marks = "  ".join(("right" if lang in got else "wrong").ljust(len(lang)) for lang in LOCALES)
        note = "" if got == expected else "   <- expected right under %s" % sorted(expected)
        differences += got != expected
        print("%-40s %-7s %s%s" % (what, reader, marks, note))
    return 1 if differences else 0


if __name__ == "__main__":
    sys.exit(main())
