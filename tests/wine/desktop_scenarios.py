#!/usr/bin/env python3
"""Desktop scenarios of the Windows build: tsuchi.exe with kanna.dll and
nomi.dll beside it, under Wine on a virtual X display, driven through its
real message boxes as a user would drive it. Wine runs as a Japanese
Windows system (LANG=ja_JP.UTF-8: ANSI code page 932, Japanese button
labels), and two scenarios run again as a Western one (LANG=C: code page
1252).

    desktop_scenarios.py --wine WINE64 --bin DIR --helpers DIR --work DIR
                         --fixtures DIR [--only NAME]...

--bin holds the three deliverables, --helpers box_probe.exe and
make_shell_link.exe. Everything is written under --work: the Wine prefix,
one folder per scenario, and artifacts/messagebox-ja.png, a screenshot of
a box with Japanese text for a person to look at.
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import time
import traceback
import zipfile
from dataclasses import dataclass, field
from typing import Callable

from wine_desktop import (C, CONFIRM, ERROR, FINISH, FORMAT_QUESTION, JA, OVERWRITE, Box, Desktop, Failure,
                          finished_creating, finished_extracting, ok_box, run_scenario, win)

FIXTURES = None  # the fixtures folder, set by main
make_payload = None  # the payload tree builder of the fixtures, imported by main


@dataclass
class Scenario:
    name: str
    args: Callable      # (ws, context) -> launcher arguments
    boxes: Callable     # (ws, context) -> expected boxes, in order
    check: Callable     # (ws, context) -> raises Failure
    setup: Callable = lambda desktop, ws: None
    lang: str = JA
    cwd: str = "."      # the launcher's current directory, relative to ws
    missing: tuple = field(default_factory=tuple)


# ----------------------------------------------------------------------
# Inputs
# ----------------------------------------------------------------------

def payload(desktop, ws):
    """The two payload trees, ws/tree (ASCII names) and ws/jp."""
    make_payload.build(ws)


def fixture(ws, source, name):
    """Copies a peer-made archive into ws/in under the given name."""
    os.makedirs(os.path.join(ws, "in"), exist_ok=True)
    target = os.path.join(ws, "in", name)
    shutil.copy(os.path.join(FIXTURES, source), target)
    return target


def with_fixture(source, name, existing=None):
    """A setup that provides one archive and, optionally, files that are
    already in the extraction folder ws/out."""
    def setup(desktop, ws):
        archive = fixture(ws, source, name)
        for path, data in (existing or {}).items():
            full = os.path.join(ws, "out", path)
            os.makedirs(os.path.dirname(full), exist_ok=True)
            with open(full, "wb") as f:
                f.write(data)
        return archive
    return setup


def japanese_folder(desktop, ws):
    """The Japanese payload tree in a folder with a Japanese name."""
    make_payload.build(ws)
    os.rename(os.path.join(ws, "jp"), os.path.join(ws, "資料"))


def shortcut_to_tree(desktop, ws):
    payload(desktop, ws)
    link = os.path.join(ws, "tree.lnk")
    result = subprocess.run([desktop.wine, os.path.join(desktop.helpers, "make_shell_link.exe"), win(link),
                             win(os.path.join(ws, "tree"))], env=desktop.env(JA), capture_output=True, timeout=60)
    if result.returncode != 0 or not os.path.isfile(link):
        raise Failure("make_shell_link could not write the shortcut")


# ----------------------------------------------------------------------
# Checks
# ----------------------------------------------------------------------

def require(problems, what):
    if problems:
        raise Failure("%s: %s" % (what, "; ".join(problems[:8])))


def compare(root, *trees, mtimes=True, dirs=True):
    """Compares root with the union of the named payload trees."""
    names = set()
    for tree in trees:
        names |= {path.rstrip("/") for path, _, _ in make_payload.TREES[tree]}
    problems = []
    for tree in trees:
        for p in make_payload.compare(root, tree, mtimes=mtimes, dirs=dirs):
            if not (p.startswith("unexpected ") and p[len("unexpected "):] in names):
                problems.append(p)
    return problems


def peer(argv, cwd):
    result = subprocess.run(argv, cwd=cwd, capture_output=True, env=dict(os.environ, TZ="UTC"), timeout=120)
    if result.returncode != 0:
        raise Failure("%s failed: %s" % (argv[0], result.stderr.decode("utf-8", "replace")[-500:]))


def peer_folder(ws, archive):
    """A fresh folder for a peer to extract the archive into."""
    if not os.path.isfile(archive):
        raise Failure("no archive %s" % archive)
    out = os.path.join(ws, "peer")
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(out)
    return out


def lhasa_extract(ws, archive):
    """Extracts with lhasa into a fresh folder; returns it."""
    out = peer_folder(ws, archive)
    peer(["lhasa", "xqw=" + out, archive], ws)
    return out


def unzip_extract(ws, archive, extractor="unzip"):
    """Tests the archive with Info-ZIP's unzip and Python's zipfile, then
    extracts it with unzip, or with bsdtar, into a fresh folder; returns
    it. (unzip 6.0 reads every name of an archive made on MS-DOS as code
    page 437, bit 11 notwithstanding, so non-ASCII names need bsdtar.)"""
    out = peer_folder(ws, archive)
    peer(["unzip", "-tq", archive], ws)
    with zipfile.ZipFile(archive) as z:
        bad = z.testzip()
        if bad is not None:
            raise Failure("zipfile finds a bad member %r" % bad)
    if extractor == "unzip":
        peer(["unzip", "-q", archive, "-d", out], ws)
    else:
        peer(["bsdtar", "-xf", archive, "-C", out], ws)
    return out


def decoded_tree(root, encoding):
    """{relative name: bytes, or None for a directory} of a folder whose
    names are bytes in the given encoding."""
    tree = {}
    broot = os.fsencode(root)
    for dirpath, dirnames, filenames in os.walk(broot):
        for n in dirnames + filenames:
            full = os.path.join(dirpath, n)
            rel = os.path.relpath(full, broot).decode(encoding)
            if os.path.isdir(full):
                tree[rel] = None
            else:
                with open(full, "rb") as f:
                    tree[rel] = f.read()
    return tree


def code_page_records(archive):
    """The values of the LZH code-page records (0x46) of an archive."""
    result = subprocess.run([sys.executable, os.path.join(FIXTURES, "lzh_dump.py"), archive],
                            capture_output=True, text=True, check=True)
    return {int(v, 16) for v in re.findall(r"type 0x46 \(\d+ bytes\): .* = 0x([0-9a-f]+)", result.stdout)}


def files_in(folder):
    found = []
    for dirpath, _, filenames in os.walk(folder):
        found += [os.path.relpath(os.path.join(dirpath, n), folder) for n in filenames]
    return sorted(found)


def check_lzh_of_tree(archive_name):
    def check(ws, context):
        out = lhasa_extract(ws, os.path.join(ws, archive_name))
        require(compare(os.path.join(out, "tree"), "tree", dirs=False), "lhasa's extraction")
    return check


def check_zip_of_tree(archive_name, absent=()):
    def check(ws, context):
        out = unzip_extract(ws, os.path.join(ws, archive_name))
        require(compare(os.path.join(out, "tree"), "tree", dirs=False), "unzip's extraction")
        for name in absent:
            if os.path.exists(os.path.join(ws, name)):
                raise Failure("%s was written too" % name)
    return check


def check_extracted(*trees, folder="out"):
    def check(ws, context):
        require(compare(os.path.join(ws, folder), *trees, dirs=False), "extracted files")
    return check


def check_japanese_lzh(ws, context):
    archive = os.path.join(ws, "資料.lzh")
    out = lhasa_extract(ws, archive)
    # lhasa writes the stored names as they are: code page 932 bytes.
    got = decoded_tree(out, "cp932")
    want = {"資料/" + path.rstrip("/"): data for path, data, _ in make_payload.JP}
    got.pop("資料", None)
    if got != want:
        raise Failure("lhasa extracts %r" % sorted(got))
    records = code_page_records(archive)
    if records != {932}:
        raise Failure("code-page records %r, expected 932" % records)


def check_japanese_zip(ws, context):
    archive = os.path.join(ws, "資料.zip")
    out = unzip_extract(ws, archive, extractor="bsdtar")
    with zipfile.ZipFile(archive) as z:
        for info in z.infolist():
            if not info.flag_bits & 0x800:
                raise Failure("%r is stored without the UTF-8 flag" % info.filename)
    require(compare(os.path.join(out, "資料"), "jp", dirs=False), "unzip's extraction")


def check_western_lzh(ws, context):
    """The report's settings line names the code page the archive's names
    are written in: the system's, 1252, and no 0xFF separator, which
    belongs to Japanese systems."""
    check_lzh_of_tree("tree.lzh")(ws, context)
    with open(os.path.join(ws, "tree.lzh_enc_report.txt"), "rb") as f:
        settings = f.read().decode("utf-8-sig").split("\n")[1]
    if settings != "Unicode_Header0x44,45, CP_Header0x46: 1252":
        raise Failure("the report's settings line reads %r" % settings)


# ----------------------------------------------------------------------
# The scenarios
# ----------------------------------------------------------------------

def creation(name, lang, folder, answer, archive, check, setup=payload, screenshot=False):
    """Drops one folder; the format question is answered y (LZH) or n (ZIP)."""
    return Scenario(
        name, lang=lang, setup=setup,
        args=lambda ws, c: [win(os.path.join(ws, folder))],
        boxes=lambda ws, c: [Box(CONFIRM, FORMAT_QUESTION, "yes_no_cancel", answer, screenshot=screenshot),
                             finished_creating(win(ws) + "/" + archive)],
        check=check)


def extraction(name, lang, source, archive_name, trees):
    """Drops one peer-made archive; the launcher's folder is ws/out."""
    return Scenario(
        name, lang=lang, cwd="out", setup=with_fixture(source, archive_name),
        args=lambda ws, archive: [win(archive)],
        boxes=lambda ws, c: [finished_extracting(os.path.join(ws, "out"))],
        check=check_extracted(*trees))


def overwrite(answer, source, archive_name, question, key, check):
    """Extracts an archive whose first member, alpha.txt, is already there.
    Yes ends normally; No and Cancel leave an error line, which goes to a
    report file."""
    final = (lambda ws: finished_extracting(os.path.join(ws, "out"))) if answer == "Yes" else \
        (lambda ws: finished_with_error_report(ws, archive_name))
    return Scenario(
        "overwrite question answered " + answer, cwd="out",
        setup=with_fixture(source, archive_name, {"alpha.txt": b"old"}),
        args=lambda ws, archive: [win(archive)],
        boxes=lambda ws, c: [Box(OVERWRITE, question, "yes_no_cancel", key), final(ws)],
        check=check)


def lzh_done_zip_not_yet(ws, context):
    """While kanna's result box is up, nomi has not run."""
    out = os.path.join(ws, "out")
    if not os.path.isfile(os.path.join(out, "alpha.txt")) or os.path.exists(os.path.join(out, "日本語.txt")):
        raise Failure("the LZH result box came before the LZH job or after the ZIP job")


def mixed_setup(desktop, ws):
    return [fixture(ws, "jlha/tree-l2.lzh", "a.lzh"), fixture(ws, "zip-python/jp-deflated.zip", "b.zip")]


def unchanged_old(name):
    def check(ws, context):
        with open(os.path.join(ws, "out", name), "rb") as f:
            if f.read() != b"old":
                raise Failure("the existing %s was overwritten" % name)
    return check


def error_report(ws, archive_name):
    return os.path.join(ws, "out", archive_name + "_dec_err_report.txt")


def finished_with_error_report(ws, archive_name):
    """A short error list goes to a report file beside the extracted files;
    the result box names it."""
    return ok_box(FINISH, "展開先: %s\nレポート: %s" % (win(os.path.join(ws, "out")),
                                                      os.path.basename(error_report(ws, archive_name))))


def check_error_line(ws, archive_name, suffix):
    with open(error_report(ws, archive_name), "rb") as f:
        report = f.read()
    if not report.startswith(b"\xef\xbb\xbf") or not re.search(r"alpha\.txt" + re.escape(suffix) + "\n",
                                                                  report.decode("utf-8")):
        raise Failure("the report file lacks the line for alpha.txt: %r" % report[:300])


def overwrite_no_check(ws, context):
    unchanged_old("alpha.txt")(ws, context)
    check_error_line(ws, "tree.lzh", " >>スキップ！")
    report = os.path.basename(error_report(ws, "tree.lzh"))
    problems = [p for p in compare(os.path.join(ws, "out"), "tree", dirs=False)
                if p.split(":")[0] not in ("content differs", "mtime differs") or "alpha.txt" not in p]
    require([p for p in problems if p != "unexpected " + report], "the members after the skipped one")


def overwrite_cancel_check(ws, context):
    unchanged_old("alpha.txt")(ws, context)
    check_error_line(ws, "tree.zip", " >>中止！")
    report = os.path.basename(error_report(ws, "tree.zip"))
    if files_in(os.path.join(ws, "out")) != sorted(["alpha.txt", report]):
        raise Failure("members were extracted after Cancel: %r" % files_in(os.path.join(ws, "out"))[:5])


LZH_OVERWRITE = "alpha.txt\n既に存在するが上書きする？、[いいえ]で スキップ、[キャンセル]で 中止。"
ZIP_OVERWRITE = "alpha.txt\n既に存在するが上書きする？ [いいえ]で スキップ、[キャンセル]で 中止。"


def destination_path(ws):
    return os.path.join(ws, "dest", "new", "sub")


def check_nothing_extracted(ws, context):
    if files_in(os.path.join(ws, "out")):
        raise Failure("files were extracted although a library failed to load")


SCENARIOS = [
    creation("create LZH from a folder", JA, "tree", "y", "tree.lzh", check_lzh_of_tree("tree.lzh"),
             screenshot=True),
    creation("create ZIP from a folder", JA, "tree", "n", "tree.zip", check_zip_of_tree("tree.zip")),
    Scenario(
        "out.zip named on the command line", setup=payload,
        args=lambda ws, c: [win(os.path.join(ws, "tree")), win(os.path.join(ws, "out.zip"))],
        boxes=lambda ws, c: [finished_creating(win(os.path.join(ws, "out.zip")))],
        check=check_zip_of_tree("out.zip", absent=("tree.zip", "tree.lzh"))),
    extraction("extract an LZH archive", JA, "jlha/tree-l2.lzh", "tree.lzh", ["tree"]),
    extraction("extract a ZIP archive", JA, "zip-python/tree-deflated.zip", "tree.zip", ["tree"]),
    Scenario(
        "extract a.lzh and b.zip dropped together", cwd="out", setup=mixed_setup,
        args=lambda ws, archives: [win(a) for a in archives],
        boxes=lambda ws, c: [finished_extracting(os.path.join(ws, "out"), check=lzh_done_zip_not_yet),
                             finished_extracting(os.path.join(ws, "out"))],
        check=check_extracted("tree", "jp")),
    overwrite("No", "jlha/tree-l2.lzh", "tree.lzh", LZH_OVERWRITE, "n", overwrite_no_check),
    overwrite("Yes", "zip-python/tree-deflated.zip", "tree.zip", ZIP_OVERWRITE, "y", check_extracted("tree")),
    overwrite("Cancel", "zip-python/tree-deflated.zip", "tree.zip", ZIP_OVERWRITE, "Escape",
              overwrite_cancel_check),
    Scenario(
        "/D: with a new destination directory", cwd="out",
        setup=with_fixture("zip-python/tree-deflated.zip", "tree.zip"),
        args=lambda ws, archive: ["/D:" + win(destination_path(ws)), win(archive)],
        boxes=lambda ws, c: [Box("実行の確認!?", "新しいディレクトリ: %s\n  を作成し、展開先とする？"
                                 % win(destination_path(ws)), "yes_no", "y"),
                             finished_extracting(destination_path(ws))],
        check=check_extracted("tree", folder=os.path.join("dest", "new", "sub"))),
    Scenario(
        "nomi.dll missing: a ZIP job", cwd="out", missing=("nomi.dll",),
        setup=with_fixture("zip-python/tree-deflated.zip", "tree.zip"),
        args=lambda ws, archive: [win(archive)],
        boxes=lambda ws, c: [ok_box(ERROR, "DLLのロードに失敗。")],
        check=check_nothing_extracted),
    Scenario(
        "nomi.dll missing: a.lzh and b.zip dropped together", cwd="out", missing=("nomi.dll",),
        setup=mixed_setup,
        args=lambda ws, archives: [win(a) for a in archives],
        boxes=lambda ws, c: [ok_box(ERROR, "DLLのロードに失敗。")],
        check=check_nothing_extracted),
    Scenario(
        "nomi.dll missing: an LZH job still runs", cwd="out", missing=("nomi.dll",),
        setup=with_fixture("jlha/tree-l2.lzh", "tree.lzh"),
        args=lambda ws, archive: [win(archive)],
        boxes=lambda ws, c: [finished_extracting(os.path.join(ws, "out"))],
        check=check_extracted("tree")),
    Scenario(
        "a shortcut to a folder counts as the folder", setup=shortcut_to_tree,
        args=lambda ws, c: [win(os.path.join(ws, "tree.lnk")), "/zip"],
        boxes=lambda ws, c: [finished_creating(win(ws) + "/tree.zip")],
        check=check_zip_of_tree("tree.zip", absent=("tree.lnk.zip",))),
    creation("Japanese names: create LZH", JA, "資料", "y", "資料.lzh", check_japanese_lzh,
             setup=japanese_folder),
    creation("Japanese names: create ZIP", JA, "資料", "n", "資料.zip", check_japanese_zip,
             setup=japanese_folder),
    extraction("Japanese names: extract LZH with Shift-JIS names", JA, "jlha/jp-l2.lzh", "日本語の書庫.lzh", ["jp"]),
    extraction("Japanese names: extract ZIP with Shift-JIS names", JA, "zip-infozip/jp-cp932.zip", "日本語.zip",
               ["jp"]),
    Scenario(
        "code page 1252: create LZH with a report", lang=C, setup=payload,
        args=lambda ws, c: [win(os.path.join(ws, "tree")), "/rpt"],
        boxes=lambda ws, c: [Box(CONFIRM, FORMAT_QUESTION, "yes_no_cancel", "y"),
                             finished_creating(win(ws) + "/tree.lzh", report="tree.lzh_enc_report.txt")],
        check=check_western_lzh),
    extraction("code page 1252: extract a ZIP archive", C, "zip-python/tree-deflated.zip", "tree.zip", ["tree"]),
]


def main():
    global FIXTURES, make_payload
    parser = argparse.ArgumentParser()
    parser.add_argument("--wine", required=True)
    parser.add_argument("--bin", required=True)
    parser.add_argument("--helpers", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--fixtures", required=True)
    parser.add_argument("--only", action="append", help="run the scenarios whose name contains this")
    options = parser.parse_args()
    FIXTURES = os.path.abspath(options.fixtures)
    sys.path.insert(0, os.path.join(FIXTURES, "payload"))
    import make_payload as builder
    make_payload = builder

    work = os.path.abspath(options.work)
    os.makedirs(work, exist_ok=True)
    chosen = [s for s in SCENARIOS if not options.only or any(o in s.name for o in options.only)]
    desktop = Desktop(options.wine, os.path.abspath(options.bin), os.path.abspath(options.helpers), work)
    failed = []
    started = time.monotonic()
    try:
        try:
            desktop.start()
        except (Failure, subprocess.SubprocessError, OSError) as e:
            print("the desktop could not be set up: %s" % e)
            return 1
        for number, scenario in enumerate(chosen, 1):
            began = time.monotonic()
            folder = os.path.join(work, "scenario-%02d" % number)
            try:
                run_scenario(desktop, scenario, folder, os.path.join(work, "artifacts"))
                print("ok   %-55s %5.1fs" % (scenario.name, time.monotonic() - began), flush=True)
            except (Failure, subprocess.SubprocessError, OSError) as e:
                failed.append(scenario.name)
                print("FAIL %-55s %s" % (scenario.name, e), flush=True)
            except Exception:
                failed.append(scenario.name)
                print("FAIL %-55s" % scenario.name, flush=True)
                traceback.print_exc()
    finally:
        desktop.stop()
    print("%d scenarios, %d failed, %.0fs" % (len(chosen), len(failed), time.monotonic() - started))
    return 1 if failed or not chosen else 0


if __name__ == "__main__":
    sys.exit(main())
