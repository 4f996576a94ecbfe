#!/usr/bin/env python3
"""The machinery of the desktop scenarios: a virtual X server with a Wine
prefix of its own, the message boxes on its screen, and the run of one
scenario. A scenario starts tsuchi.exe with the paths a drop would give
it, then waits for each box it expects: the box must come up with the
expected title, text and buttons, and is answered with a key press sent to
its X window. A box that was not expected, or an expected box that does
not come, fails the scenario; then the program must end with code 0 and
the scenario checks the files on disk.

Needs Xvfb, xdotool, xwd and netpbm (xwdtopnm, pnmtopng). The helper
box_probe.exe, a Windows program run in the same prefix, reads what X
cannot: the text and the buttons inside a box.
"""
import os
import re
import shutil
import signal
import subprocess
import time

BOX_TIMEOUT = 30      # seconds for an expected box to come up
EXIT_TIMEOUT = 30     # seconds for the program to end after its last box
POLL = 0.25

JA = "ja_JP.UTF-8"    # a Japanese Windows system: ANSI code page 932
C = "C"               # a Western one: ANSI code page 1252

FINISH = "終了"
ERROR = "エラー"
CONFIRM = "作業確認!?"
OVERWRITE = "上書き確認!?"
FORMAT_QUESTION = "LZH 形式で圧縮？、[いいえ]なら ZIP"

# The buttons of each box kind as the system labels them: a Japanese system
# draws Japanese labels, and the mnemonics y and n that the answers press
# are in both languages.
BUTTONS = {
    JA: {"ok": ["OK"], "yes_no": ["はい(&Y)", "いいえ(&N)"], "yes_no_cancel": ["はい(&Y)", "いいえ(&N)", "キャンセル"]},
    C: {"ok": ["OK"], "yes_no": ["&Yes", "&No"], "yes_no_cancel": ["&Yes", "&No", "Cancel"]},
}


class Failure(Exception):
    pass


def poll_until(found, timeout, failure):
    """Calls found() every POLL seconds until it returns something true,
    and returns that; raises Failure(failure) after timeout seconds."""
    deadline = time.monotonic() + timeout
    while True:
        result = found()
        if result:
            return result
        if time.monotonic() > deadline:
            raise Failure(failure)
        time.sleep(POLL)


def win(path):
    """The Windows form of a path on Wine's Z: drive, as a drop gives it."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


# ----------------------------------------------------------------------
# The desktop: a virtual X server and a Wine prefix
# ----------------------------------------------------------------------

class Desktop:
    def __init__(self, wine, deliverables, helpers, work):
        self.wine = wine
        self.deliverables = deliverables
        self.wineserver = os.path.join(os.path.dirname(wine), "wineserver")
        self.helpers = helpers
        self.work = work
        self.prefix = os.path.join(work, "prefix")
        self.xvfb = None
        self.display = None

    def start(self):
        missing = [tool for tool in ("Xvfb", "xdotool", "xwd", "xwdtopnm", "pnmtopng", self.wineserver)
                   if shutil.which(tool) is None]
        if missing:
            raise Failure("missing tools: " + ", ".join(missing))
        # Without the locale, Wine would quietly run as a Western system.
        locales = subprocess.run(["locale", "-a"], capture_output=True, text=True).stdout.split()
        if not any(name.lower().replace("-", "") == "ja_jp.utf8" for name in locales):
            raise Failure("the ja_JP.UTF-8 locale is not generated (locale-gen)")
        self.start_display()
        # A prefix of the scenarios' own, made once; the Mono and Gecko
        # installers are left out, or their questions would be boxes too.
        env = self.env(JA)
        env["WINEDLLOVERRIDES"] = "mscoree,mshtml="
        subprocess.run([self.wine, "wineboot", "-u"], env=env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=300)
        subprocess.run([self.wineserver, "-w"], env=env, timeout=300)
        self.start_server()

    def start_display(self):
        # Xvfb picks a free display number itself and writes it to the pipe.
        # Without -noreset it resets whenever its last client leaves, and a
        # window program that connects during the reset is refused ("cannot
        # open display"): between two zenity boxes nothing else is connected.
        read_end, write_end = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24", "-nolisten", "tcp", "-noreset"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end) as pipe:
            number = pipe.readline().strip()
        if not number:
            raise Failure("Xvfb did not start")
        self.display = ":" + number
        print("virtual display %s (Xvfb process %d)" % (self.display, self.xvfb.pid), flush=True)

    def stop_display(self):
        if self.xvfb is not None:
            self.xvfb.send_signal(signal.SIGTERM)
            try:
                self.xvfb.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.xvfb.kill()
                self.xvfb.wait()

    def start_server(self):
        # One server for the whole run, kept alive between scenarios: a
        # server that a scenario's first Wine process starts would belong
        # to whichever process came first.
        subprocess.run([self.wineserver, "-p"], env=self.env(JA), stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)

    def stop_server(self):
        subprocess.run([self.wineserver, "-k"], env=self.env(C), stderr=subprocess.DEVNULL, timeout=60)
        subprocess.run([self.wineserver, "-w"], env=self.env(C), stderr=subprocess.DEVNULL, timeout=60)

    def restart_server(self):
        self.stop_server()
        self.start_server()

    def stop(self):
        if self.display is not None:
            self.stop_server()
        self.stop_display()

    def env(self, lang):
        env = {k: v for k, v in os.environ.items() if not k.startswith("LC_")}
        env.update(LANG=lang, DISPLAY=self.display or "", WINEPREFIX=self.prefix, WINEDEBUG="-all", TZ="UTC")
        return env

    def boxes(self, lang):
        """The message boxes on the screen: a list of (title, text, buttons)."""
        listing = os.path.join(self.work, "boxes.txt")
        if os.path.exists(listing):
            os.remove(listing)
        subprocess.run([self.wine, os.path.join(self.helpers, "box_probe.exe"), win(listing)], env=self.env(lang),
                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=90)
        if not os.path.exists(listing):
            raise Failure("box_probe wrote no list")
        with open(listing, encoding="utf-8", errors="replace") as f:
            out = f.read()
        found = []
        for line in out.splitlines():
            kind, _, value = line.partition(" ")
            value = re.sub(r"\\(.)", lambda m: "\n" if m.group(1) == "n" else m.group(1), value)
            if kind == "box":
                found.append([value, "", []])
            elif kind == "text" and found:
                found[-1][1] += value
            elif kind == "button" and found:
                found[-1][2].append(value)
        return [tuple(b) for b in found]

    def xdotool(self, *args):
        return subprocess.run(["xdotool", *args], env=self.env(C), capture_output=True, text=True, timeout=30)

    def x_windows(self, title):
        """The visible X windows whose name can be the title. Wine writes
        the title into WM_NAME in the charset of the program's locale, so
        where that charset lacks a character a stand-in arrives; xdotool
        matches bytes. So the exact title is tried first, then a pattern
        that takes any one byte for each character beyond ASCII. (The probe
        has read the exact title from Windows already.)"""
        exact = "^" + re.escape(title) + "$"
        lossy = "^" + "".join(re.escape(ch) if ord(ch) < 0x80 else "." for ch in title) + "$"
        for pattern in (exact, lossy):
            found = self.xdotool("search", "--onlyvisible", "--name", pattern).stdout.split()
            if found:
                return found
        return []

    def answer(self, title, key, screenshot=None):
        """Finds the box's X window by its title, optionally photographs
        it, sends it the key and waits until it has closed."""
        window = poll_until(lambda: self.x_windows(title), BOX_TIMEOUT, "no X window titled %r" % title)[-1]
        if screenshot:
            take_screenshot(self, window, screenshot)
        self.press(window, key)
        # A box closes as soon as it takes its answer; one still up after a
        # few seconds missed the key (a synthetic event can be lost while
        # the window is still taking focus), and gets it once more.
        resend_at = time.monotonic() + 5
        resent = False

        def closed():
            nonlocal resent
            if window not in self.x_windows(title):
                return True
            if not resent and time.monotonic() > resend_at:
                self.press(window, key)
                resent = True
            return False
        poll_until(closed, BOX_TIMEOUT, "box %r did not close after it was answered" % title)

    def press(self, window, key):
        # No window manager runs: focus the window directly.
        self.xdotool("windowfocus", "--sync", window)
        self.xdotool("key", "--window", window, key)


def take_screenshot(desktop, window, path):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    xwd = subprocess.run(["xwd", "-id", window, "-silent"], env=desktop.env(C), capture_output=True,
                         check=True, timeout=30).stdout
    ppm = subprocess.run(["xwdtopnm"], input=xwd, capture_output=True, check=True, timeout=30).stdout
    png = subprocess.run(["pnmtopng"], input=ppm, capture_output=True, check=True, timeout=30).stdout
    with open(path, "wb") as f:
        f.write(png)
    if dark_pixels(ppm) < 50:
        raise Failure("the screenshot of the box shows no text")
    print("screenshot of a Japanese message box: %s" % path, flush=True)


def dark_pixels(ppm):
    """Counts the near-black pixels of a binary PPM (P6, maxval 255)."""
    fields = ppm.split(maxsplit=4)
    if fields[0] != b"P6":
        return 0
    pixels = fields[4]
    return sum(1 for i in range(0, len(pixels) - 2, 3) if pixels[i] + pixels[i + 1] + pixels[i + 2] < 150)


# ----------------------------------------------------------------------
# Scenarios
# ----------------------------------------------------------------------

class Box:
    """An expected message box. text is the exact text, or a compiled
    pattern the whole text must match; key answers it; check, when given,
    runs while the box is up."""

    def __init__(self, title, text, buttons, key, check=None, screenshot=False):
        self.title, self.text, self.buttons, self.key = title, text, buttons, key
        self.check, self.screenshot = check, screenshot

    def verify(self, seen, lang):
        title, text, buttons = seen
        if title != self.title:
            raise Failure("unexpected box %r: %r (waiting for %r)" % (title, text, self.title))
        ok = self.text.fullmatch(text) if isinstance(self.text, re.Pattern) else text == self.text
        if not ok:
            raise Failure("box %r says %r, expected %r" % (title, text, getattr(self.text, "pattern", self.text)))
        if buttons != BUTTONS[lang][self.buttons]:
            raise Failure("box %r has buttons %r, expected %r" % (title, buttons, BUTTONS[lang][self.buttons]))


def ok_box(title, text, check=None):
    return Box(title, text, "ok", "Return", check)


def finished_creating(archive, report=None):
    text = "保存名: %s\n" % archive
    return ok_box(FINISH, text + "レポート: " + report if report else text)


def finished_extracting(dest, check=None):
    return ok_box(FINISH, "展開先: %s\n" % win(dest), check)


def run_scenario(desktop, scenario, ws, artifacts):
    """Runs one scenario in the folder ws (made afresh)."""
    shutil.rmtree(ws, ignore_errors=True)
    os.makedirs(ws)
    app = os.path.join(ws, "app")
    os.makedirs(app)
    for name in ("tsuchi.exe", "kanna.dll", "nomi.dll"):
        if name not in scenario.missing:
            shutil.copy(os.path.join(desktop.deliverables, name), app)
    context = scenario.setup(desktop, ws)
    cwd = os.path.join(ws, scenario.cwd)
    os.makedirs(cwd, exist_ok=True)
    argv = [desktop.wine, os.path.join(app, "tsuchi.exe")] + scenario.args(ws, context)
    program = subprocess.Popen(argv, cwd=cwd, env=desktop.env(scenario.lang), stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL)
    try:
        for expected in scenario.boxes(ws, context):
            seen = wait_for_box(desktop, scenario.lang, program, expected.title)
            expected.verify(seen, scenario.lang)
            if expected.check:
                expected.check(ws, context)
            shot = os.path.join(artifacts, "messagebox-ja.png") if expected.screenshot else None
            desktop.answer(expected.title, expected.key, shot)
        def ended():
            unexpected = desktop.boxes(scenario.lang)
            if unexpected:
                raise Failure("unexpected box %r: %r" % unexpected[0][:2])
            return program.poll() is not None
        poll_until(ended, EXIT_TIMEOUT, "the program did not end")
        if program.returncode != 0:
            raise Failure("exit code %d" % program.returncode)
        scenario.check(ws, context)
    finally:
        if program.poll() is None:
            program.kill()
            program.wait()
            # Whatever it left on the screen goes with the server; the next
            # scenario starts a new one once this one has ended.
            desktop.restart_server()


def wait_for_box(desktop, lang, program, title):
    """The first box on the screen, once one is up."""
    def up():
        seen = desktop.boxes(lang)
        if not seen and program.poll() is not None:
            raise Failure("the program ended (code %d) before the box %r" % (program.returncode, title))
        return seen
    return poll_until(up, BOX_TIMEOUT, "the box %r did not come up" % title)[0]
