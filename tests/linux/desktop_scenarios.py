#!/usr/bin/env python3
"""Desktop scenarios of the Linux port: tsuchi installed with
`cmake --install`, started the way a file manager starts it ("Open with",
or a drop on the desktop entry: the entry's Exec line with %F replaced by
absolute paths, no terminal), on a virtual X display, every box a real
zenity window answered with a key press by xdotool. Then the Debian
package: built with CPack, unpacked, and run.

    desktop_scenarios.py --build DIR --work DIR --fixtures DIR [--only NAME]...

A small stand-in named zenity, first on PATH, writes down the arguments of
each window (its title, text and buttons) and starts the real zenity; the
windows themselves are found by their titles. A window that was not
expected, or one that does not come, fails the scenario.
"""
import argparse
import json
import os
import shlex
import shutil
import signal
import subprocess
import sys
import traceback

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "wine"))
from wine_desktop import BOX_TIMEOUT, EXIT_TIMEOUT, Desktop, Failure, poll_until  # noqa: E402

JA = "ja_JP.UTF-8"
FINISH = "終了"
CONFIRM = "作業確認!?"
OVERWRITE = "上書き確認!?"
FORMAT_QUESTION = "LZH 形式で圧縮？、[いいえ]なら ZIP"
BUTTONS = {"ok": ["OK"], "yes_no": ["はい(_Y)", "いいえ(_N)"], "yes_no_cancel": ["はい(_Y)", "いいえ(_N)", "キャンセル"]}
YES, NO, CANCEL, OK = "alt+y", "alt+n", "Escape", "Return"

# The stand-in runs the real zenity as its child so that what zenity says
# on its error output and how it ends are kept for a failure message.
STAND_IN = """#!/usr/bin/env python3
import json, os, subprocess, sys
with open(os.environ["ZENITY_LOG"], "a", encoding="utf-8") as log:
    log.write(json.dumps(sys.argv[1:], ensure_ascii=False) + "\\n")
with open(os.environ["ZENITY_LOG"] + ".stderr", "ab") as errors:
    code = subprocess.call([os.environ["REAL_ZENITY"]] + sys.argv[1:], stderr=errors)
    errors.write(b"zenity ended with %d\\n" % code)
sys.exit(code)
"""

make_payload = None  # the payload builder of the fixtures, imported by main


class LinuxDesktop(Desktop):
    """A virtual X server; the window handling (finding a window by its
    title, pressing keys, waiting until it closes) is the Wine desktop's."""

    def __init__(self, prefix, work):
        super().__init__(wine="", deliverables="", helpers="", work=work)
        self.install_prefix = prefix
        self.stand_in_dir = os.path.join(work, "stand-in")
        self.log = os.path.join(work, "zenity-log.txt")

    def start(self):
        missing = [t for t in ("Xvfb", "xdotool", "zenity") if not shutil.which(t)]
        if missing:
            raise Failure("missing tools: " + ", ".join(missing))
        os.makedirs(self.stand_in_dir, exist_ok=True)
        stand_in = os.path.join(self.stand_in_dir, "zenity")
        with open(stand_in, "w") as f:
            f.write(STAND_IN)
        os.chmod(stand_in, 0o755)
        self.real_zenity = shutil.which("zenity")
        self.start_display()

    def stop(self):
        self.stop_display()

    def env(self, lang):
        env = {k: v for k, v in os.environ.items() if not k.startswith("LC_") and k != "WAYLAND_DISPLAY"}
        path = os.pathsep.join([self.stand_in_dir, os.path.join(self.install_prefix, "bin"), env.get("PATH", "")])
        # No accessibility bus: without a session bus GTK may wait for it
        # long enough to miss the window's deadline on a busy machine.
        env.update(LANG=lang, DISPLAY=self.display or "", PATH=path, TZ="UTC", ZENITY_LOG=self.log,
                   REAL_ZENITY=getattr(self, "real_zenity", ""), NO_AT_BRIDGE="1", GDK_BACKEND="x11")
        return env

    def zenity_errors(self):
        try:
            with open(self.log + ".stderr", encoding="utf-8", errors="replace") as f:
                return f.read()[-1500:]
        except FileNotFoundError:
            return ""

    def windows_asked(self):
        """The arguments of every zenity window so far, as
        (title, text, kind, buttons)."""
        if not os.path.exists(self.log):
            return []
        asked = []
        with open(self.log, encoding="utf-8") as f:
            for line in f:
                options = {}
                for argument in json.loads(line):
                    key, _, value = argument.partition("=")
                    options.setdefault(key, []).append(value)
                kind = "ok" if "--info" in options else "yes_no_cancel" if "--extra-button" in options else "yes_no"
                buttons = options.get("--ok-label", []) + options.get("--extra-button", []) + \
                    options.get("--cancel-label", [])
                asked.append((options["--title"][0], options["--text"][0], kind, buttons))
        return asked


class Box:
    def __init__(self, title, text, kind, key):
        self.title, self.text, self.kind, self.key = title, text, kind, key


def desktop_entry(prefix):
    """The installed desktop entry's keys."""
    entry = {}
    with open(os.path.join(prefix, "share", "applications", "tsuchi.desktop"), encoding="utf-8") as f:
        for line in f:
            key, sep, value = line.rstrip("\n").partition("=")
            if sep:
                entry[key] = value
    return entry


def exec_line(prefix, paths):
    """What a file manager runs for the entry and the given files: the Exec
    line with %F replaced by their absolute paths."""
    words = []
    for word in shlex.split(desktop_entry(prefix)["Exec"]):
        words += [os.path.abspath(p) for p in paths] if word == "%F" else [word]
    return words


def run(desktop, paths, cwd, boxes, lang=JA):
    """Starts tsuchi through the desktop entry without a terminal and answers
    the expected windows in order."""
    for log in (desktop.log, desktop.log + ".stderr"):
        if os.path.exists(log):
            os.remove(log)
    os.makedirs(cwd, exist_ok=True)
    output = os.path.join(desktop.work, "tsuchi-output.txt")
    with open(output, "wb") as out:
        program = subprocess.Popen(exec_line(desktop.install_prefix, paths), cwd=cwd, env=desktop.env(lang),
                                   stdin=subprocess.DEVNULL, stdout=out, stderr=subprocess.STDOUT,
                                   start_new_session=True)
    try:
        for number, box in enumerate(boxes, 1):
            def asked():
                seen = desktop.windows_asked()
                if len(seen) < number and program.poll() is not None:
                    raise Failure("tsuchi ended (code %d) before the window %r" % (program.returncode, box.title))
                return seen if len(seen) >= number else None
            title, text, kind, buttons = poll_until(asked, BOX_TIMEOUT, "no window %r" % box.title)[number - 1]
            if (title, kind, buttons) != (box.title, box.kind, BUTTONS[box.kind]):
                raise Failure("window %r %s %r, expected %r %s" % (title, kind, buttons, box.title, box.kind))
            if box.text is not None and text != box.text:
                raise Failure("window %r says %r, expected %r" % (title, text, box.text))
            try:
                desktop.answer(box.title, box.key)
            except Failure as failure:
                raise Failure("%s; tsuchi %s; zenity's error output: %r" % (
                    failure, "running" if program.poll() is None else "ended", desktop.zenity_errors())) from None
        poll_until(lambda: program.poll() is not None, EXIT_TIMEOUT, "tsuchi did not end")
        if program.returncode != 0:
            raise Failure("exit code %d" % program.returncode)
        extra = desktop.windows_asked()[len(boxes):]
        if extra:
            raise Failure("unexpected window %r: %r" % extra[0][:2])
        with open(output, "rb") as f:
            if f.read():
                raise Failure("tsuchi printed to its output although it had windows")
    finally:
        if program.poll() is None:
            os.killpg(program.pid, signal.SIGKILL)
            program.wait()


def require(problems, what):
    if problems:
        raise Failure("%s: %s" % (what, "; ".join(problems[:8])))


def jp_folder(ws):
    """The Japanese payload tree in ws/資料 (names with 0x5C trail bytes in
    Shift-JIS among them); returns its path."""
    make_payload.build(os.path.join(ws, "src"))
    folder = os.path.join(ws, "資料")
    os.rename(os.path.join(ws, "src", "jp"), folder)
    return folder


def peer_extract(ws, argv, lang):
    out = os.path.join(ws, "peer")
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(out)
    env = dict(os.environ, LC_ALL=lang, TZ="UTC")
    result = subprocess.run(argv, cwd=out, env=env, capture_output=True, timeout=120)
    if result.returncode != 0:
        raise Failure("%s failed: %s" % (argv[0], result.stderr.decode("utf-8", "replace")[-300:]))
    return out


# ----------------------------------------------------------------------
# Scenarios
# ----------------------------------------------------------------------

def open_folder_as_zip_and_drop_the_zip(desktop, ws):
    """"Open with" on a folder: No to the format question makes a ZIP
    archive in the file manager's folder; a drop of that archive extracts
    it there again."""
    folder = jp_folder(ws)
    home = os.path.join(ws, "home")
    archive = os.path.join(home, "資料.zip")
    run(desktop, [folder], home, [Box(CONFIRM, FORMAT_QUESTION, "yes_no_cancel", NO),
                                  Box(FINISH, "保存名: %s\n" % archive, "ok", OK)])
    python = [sys.executable, "-c", "import sys, zipfile; zipfile.ZipFile(sys.argv[1]).extractall()", archive]
    extracted = os.path.join(peer_extract(ws, python, JA), "資料")
    require(make_payload.compare(extracted, "jp", mtimes=False, dirs=False), "zipfile's extraction")
    out = os.path.join(ws, "out")
    run(desktop, [archive], out, [Box(FINISH, "展開先: %s\n" % out, "ok", OK)])
    require(make_payload.compare(os.path.join(out, "資料"), "jp", dirs=False), "tsuchi's extraction")


def lzh_with_yes_then_overwrite(desktop, ws):
    """Yes to the format question makes an LZH archive that lhasa reads
    with the right names; extracting it over a file asks before
    overwriting, and Yes replaces the file."""
    folder = jp_folder(ws)
    home = os.path.join(ws, "home")
    archive = os.path.join(home, "資料.lzh")
    run(desktop, [folder], home, [Box(CONFIRM, FORMAT_QUESTION, "yes_no_cancel", YES),
                                  Box(FINISH, "保存名: %s\n" % archive, "ok", OK)])
    require(make_payload.compare(os.path.join(peer_extract(ws, ["lhasa", "xq", archive], JA), "資料"), "jp",
                                 dirs=False), "lhasa's extraction")
    first = sorted(p for p, _, _ in make_payload.JP if not p.endswith("/"))[0]
    stale = os.path.join(ws, "out", "資料", first)
    os.makedirs(os.path.dirname(stale))
    with open(stale, "wb") as f:
        f.write(b"old")
    # The question names the member as it is stored; its text is not
    # checked here.
    boxes = [Box(OVERWRITE, None, "yes_no_cancel", YES),
             Box(FINISH, "展開先: %s\n" % os.path.join(ws, "out"), "ok", OK)]
    run(desktop, [archive], os.path.join(ws, "out"), boxes)
    require(make_payload.compare(os.path.join(ws, "out", "資料"), "jp", dirs=False), "extraction over a file")


def escape_cancels_the_format_question(desktop, ws):
    """Escape on the three-button question is Cancel: nothing is written."""
    folder = jp_folder(ws)
    home = os.path.join(ws, "home")
    run(desktop, [folder], home, [Box(CONFIRM, FORMAT_QUESTION, "yes_no_cancel", CANCEL)])
    if os.listdir(home):
        raise Failure("cancelled, yet %r was written" % os.listdir(home))


SCENARIOS = [open_folder_as_zip_and_drop_the_zip, lzh_with_yes_then_overwrite, escape_cancels_the_format_question]


# ----------------------------------------------------------------------
# Installation and the Debian package
# ----------------------------------------------------------------------

def install(build, prefix):
    shutil.rmtree(prefix, ignore_errors=True)
    subprocess.run(["cmake", "--install", build, "--prefix", prefix], check=True, stdout=subprocess.DEVNULL)
    entry = desktop_entry(prefix)
    problems = []
    for key, want in (("Type", "Application"), ("Terminal", "false"), ("Icon", "tsuchi")):
        if entry.get(key) != want:
            problems.append("%s=%r" % (key, entry.get(key)))
    if "%F" not in entry.get("Exec", ""):
        problems.append("Exec without %F")
    types = set(entry.get("MimeType", "").split(";"))
    for mime in ("application/zip", "application/x-lzh-compressed", "application/x-lha", "inode/directory"):
        if mime not in types:
            problems.append("no MimeType " + mime)
    if "Name" not in entry or "Name[ja]" not in entry:
        problems.append("names in English and Japanese")
    for path in ("lib/tsuchi/tsuchi", "lib/tsuchi/kanna.so", "lib/tsuchi/nomi.so", "bin/tsuchi",
                 "share/icons/hicolor/scalable/apps/tsuchi.svg"):
        if not os.path.exists(os.path.join(prefix, path)):
            problems.append("nothing at " + path)
    require(problems, "the installation")


def debian_package(build, work):
    """Builds the .deb, checks its fields, unpacks it and runs the unpacked
    launcher by its link in usr/bin on absolute paths, from a terminal."""
    out = os.path.join(work, "deb")
    shutil.rmtree(out, ignore_errors=True)
    subprocess.run(["cpack", "-G", "DEB", "--config", os.path.join(build, "CPackConfig.cmake"), "-B", out],
                   check=True, stdout=subprocess.DEVNULL)
    packages = [n for n in os.listdir(out) if n.endswith(".deb")]
    if len(packages) != 1:
        raise Failure("cpack made %r" % packages)
    deb = os.path.join(out, packages[0])
    fields = subprocess.run(["dpkg-deb", "-f", deb, "Package", "Depends", "Architecture"], capture_output=True,
                            text=True, check=True).stdout
    if "Package: tsuchi" not in fields or "libstdc++6" not in fields:
        raise Failure("package fields: %r" % fields)
    root = os.path.join(out, "root")
    subprocess.run(["dpkg-deb", "-x", deb, root], check=True)
    ws = os.path.join(work, "deb-run")
    shutil.rmtree(ws, ignore_errors=True)
    folder = jp_folder(ws)
    archive = os.path.join(ws, "new", "資料.zip")
    os.makedirs(os.path.dirname(archive))
    tsuchi = os.path.join(root, "usr", "bin", "tsuchi")
    env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
    env.update(LC_ALL="C.UTF-8", TZ="UTC")
    result = subprocess.run([tsuchi, folder, archive], input=b"", capture_output=True, env=env, timeout=120)
    if "保存名: %s" % archive not in result.stdout.decode("utf-8", "replace"):
        raise Failure("the packaged tsuchi said %r" % result.stdout.decode("utf-8", "replace"))
    extracted = os.path.join(ws, "out")
    result = subprocess.run([tsuchi, "/D:" + extracted, archive], input=b"y\n", capture_output=True, env=env,
                            timeout=120)
    require(make_payload.compare(os.path.join(extracted, "資料"), "jp", dirs=False), "the packaged extraction")


def main():
    global make_payload
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--fixtures", required=True)
    parser.add_argument("--only", action="append")
    args = parser.parse_args()
    sys.path.insert(0, os.path.join(args.fixtures, "payload"))
    import make_payload as builder
    make_payload = builder

    args.work, args.build = os.path.abspath(args.work), os.path.abspath(args.build)
    os.makedirs(args.work, exist_ok=True)
    prefix = os.path.join(args.work, "prefix")
    failures = 0
    desktop = LinuxDesktop(prefix, args.work)

    def scenario(s):
        def step():
            if desktop.display is None:
                desktop.start()
            s(desktop, reset(os.path.join(args.work, s.__name__)))
        return step
    steps = [("install", lambda: install(args.build, prefix)),
             ("debian_package", lambda: debian_package(args.build, args.work))]
    steps += [(s.__name__, scenario(s)) for s in SCENARIOS]
    try:
        for name, step in steps:
            # Every scenario runs the installed program.
            if args.only and name not in args.only and name != "install":
                continue
            try:
                step()
                print("PASS %s" % name, flush=True)
            except Exception:
                failures += 1
                print("FAIL %s\n%s" % (name, traceback.format_exc()), flush=True)
    finally:
        desktop.stop()
    return 1 if failures else 0


def reset(folder):
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    return folder


if __name__ == "__main__":
    sys.exit(main())
