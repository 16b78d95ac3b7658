"""End-to-end driver: runs the real setup program under Wine on an Xvfb
screen, finds its windows by caption and class, reads their texts, presses
their buttons, and checks files, registry, exit codes and screen pixels.

Each scenario gets a fresh copy of the build folder's template Wine prefix
(tests/lib/wineprefix.sh) with its own wineserver, a persistent winprobe.exe
in that prefix to look at windows, and a screenshot folder
<build>/e2e-shots/<scenario>/ where every step leaves NN-step.png.

A scenario is a function taking a Session, registered with @scenario. It
fails by raising ScenarioFailed (see check()) or any other exception; there
is no way to skip one: a scenario that cannot run (no small drive to mount,
a tool missing) fails, and so does a pattern that selects no scenario.
Every wait is bounded, so a hanging program fails its scenario instead of
hanging the run.
"""

import contextlib
import fnmatch
import glob
import hashlib
import importlib.util
import json
import os
import queue
import shutil
import signal
import struct
import subprocess
import sys
import threading
import time
import traceback
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
WINEPREFIX_SH = os.path.join(ROOT, "tests", "lib", "wineprefix.sh")

WINE_ENV = {
    "WINEDEBUG": "-all",
    "WINEDLLOVERRIDES": "mscoree,mshtml,winemenubuilder.exe=d",
}


def wine_loader():
    """The Wine loader of the build under test, called by its own name
    (tests/e2e/run sets it through tests/lib/wineprefix.sh)."""
    return os.environ.get("WINELOADER") or "wine"


def wine_server():
    return os.environ.get("WINESERVER") or "wineserver"

# The product title the sample installer carries.
PRODUCT_TITLE = "Velto - Technology Demo"


class ScenarioFailed(Exception):
    pass


def check(condition, message):
    if not condition:
        raise ScenarioFailed(message)


def check_equal(actual, expected, what):
    if actual != expected:
        raise ScenarioFailed("%s: expected %r, got %r" % (what, expected, actual))


# ---------------------------------------------------------------- registry

_SCENARIOS = []


def scenario(name, timeout=120):
    """Registers a scenario under a unique name."""

    def register(fn):
        if any(s["name"] == name for s in _SCENARIOS):
            raise ValueError("two scenarios are named %r" % name)
        _SCENARIOS.append({"name": name, "fn": fn, "timeout": timeout})
        return fn

    return register


# ---------------------------------------------------------------- installers

def crc32(data):
    """The checksum of the setup files: reflected CRC-32 started from 0 and
    complemented at the end, which is zlib's CRC seeded with 0xFFFFFFFF."""
    return zlib.crc32(data, 0xFFFFFFFF) & 0xFFFFFFFF


TRAILER_SIZE = 268
TAIL_SIZE = 276


def short_string(text):
    raw = text.encode("cp1252")[:255]
    return bytes([len(raw)]) + raw + bytes(255 - len(raw))


def build_installer_bytes(image, title, signature=b"INS"):
    """An installer with no files: image, empty directory, trailer."""
    trailer = struct.pack("<ii", len(image), 0) + short_string(title) + signature + b"\0"
    assert len(trailer) == TRAILER_SIZE
    return image + struct.pack("<I", crc32(b"")) + trailer + struct.pack("<I", crc32(trailer))


def trailer_of(data):
    return data[-4 - TRAILER_SIZE:-4]


def with_trailer_checksum_broken(data):
    """The same file with a wrong trailer checksum."""
    stored = struct.unpack("<I", data[-4:])[0]
    return data[:-4] + struct.pack("<I", stored ^ 0x00000001)


def with_signature(data, signature):
    """The same file with another signature and a checksum that matches it."""
    trailer = bytearray(trailer_of(data))
    trailer[264:267] = signature
    trailer = bytes(trailer)
    return data[:-4 - TRAILER_SIZE] + trailer + struct.pack("<I", crc32(trailer))


def sha256_file(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


# ---------------------------------------------------------------- pictures

class Picture:
    """A screenshot's pixels (RGB, 8 bits per channel)."""

    def __init__(self, path):
        self.path = path
        raw = subprocess.run(["convert", path, "-depth", "8", "ppm:-"], check=True, capture_output=True,
                             timeout=60).stdout
        # P6 header: magic, width, height, maximum, then one whitespace byte.
        fields = []
        pos = 0
        while len(fields) < 4:
            while raw[pos:pos + 1].isspace():
                pos += 1
            if raw[pos:pos + 1] == b"#":
                pos = raw.index(b"\n", pos) + 1
                continue
            end = pos
            while not raw[end:end + 1].isspace():
                end += 1
            fields.append(raw[pos:end])
            pos = end
        self.width, self.height = int(fields[1]), int(fields[2])
        self.data = raw[pos + 1:]

    def pixel(self, x, y):
        i = (y * self.width + x) * 3
        return tuple(self.data[i:i + 3])

    def find(self, color, x0, y0, x1, y1):
        """Bounding box (l, t, r, b; inclusive) of pixels of exactly `color`
        within [x0, x1) x [y0, y1), or None."""
        box = None
        for y in range(y0, y1):
            row = self.data[(y * self.width) * 3:(y * self.width + self.width) * 3]
            for x in range(x0, x1):
                if tuple(row[x * 3:x * 3 + 3]) == color:
                    if box is None:
                        box = [x, y, x, y]
                    else:
                        box = [min(box[0], x), min(box[1], y), max(box[2], x), max(box[3], y)]
        return box


# ---------------------------------------------------------------- windows

class Window(dict):
    """One top-level window as winprobe describes it."""

    hwnd = property(lambda self: self["hwnd"])
    cls = property(lambda self: self["class"])
    text = property(lambda self: self["text"])
    pid = property(lambda self: self["pid"])
    visible = property(lambda self: self["visible"])
    rect = property(lambda self: self["rect"])
    client = property(lambda self: self["client"])
    children = property(lambda self: self.get("children", []))

    def child_texts(self):
        return [c["text"] for c in self.children]

    def buttons(self):
        return [c for c in self.children if c["class"].lower() == "button"]

    def __str__(self):
        return "%s %r (class %s, pid %s, %s)" % (self.hwnd, self.text, self.cls, self.pid,
                                                 "visible" if self.visible else "hidden")


def same_label(a, b):
    """Button and label texts compare with or without their & marks."""
    return a == b or a.replace("&", "") == b.replace("&", "")


class Probe:
    """A winprobe.exe serving commands inside the scenario's prefix."""

    def __init__(self, session):
        self.session = session
        self.log = open(os.path.join(session.shots, "winprobe.log"), "wb")
        self.proc = subprocess.Popen([wine_loader(), "winprobe.exe", "serve"], cwd=session.probe_dir, env=session.env,
                                     stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=self.log)
        self.lines = queue.Queue()
        threading.Thread(target=self._read, daemon=True).start()
        ready = self._reply(60)
        check(ready.get("ready"), "winprobe did not start: %r" % ready)

    def _read(self):
        for line in self.proc.stdout:
            self.lines.put(line)
        self.lines.put(None)

    def _reply(self, timeout):
        try:
            line = self.lines.get(timeout=timeout)
        except queue.Empty:
            raise ScenarioFailed("winprobe did not answer within %ss" % timeout)
        if line is None:
            raise ScenarioFailed("winprobe ended unexpectedly")
        return json.loads(line.decode("latin-1"))

    def ask(self, command, timeout=30):
        self.proc.stdin.write(command.encode("cp1252") + b"\n")
        self.proc.stdin.flush()
        reply = self._reply(timeout)
        check(reply.get("ok"), "winprobe %r: %s" % (command, reply.get("error")))
        return reply

    def close(self):
        try:
            if self.proc.poll() is None:
                self.proc.stdin.write(b"exit\n")
                self.proc.stdin.flush()
                self.proc.wait(timeout=10)
        except Exception:
            self.proc.kill()
        self.log.close()


class Program:
    """A program started under Wine by a scenario (wine's exit code is the
    Windows process's exit code)."""

    def __init__(self, session, windows_dir, name, args=(), env=None):
        self.name = name
        self.log_path = os.path.join(session.shots, "%s-%d.log" % (name.replace("\\", "_"), len(session.programs)))
        self.log = open(self.log_path, "wb")
        self.started = time.monotonic()
        self.proc = subprocess.Popen([wine_loader(), name] + list(args), cwd=windows_dir,
                                     env=dict(session.env, **(env or {})),
                                     stdin=subprocess.DEVNULL, stdout=self.log, stderr=subprocess.STDOUT)

    def running(self):
        return self.proc.poll() is None

    def exit_code(self, timeout):
        try:
            return self.proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            raise ScenarioFailed("%s did not end within %ss" % (self.name, timeout))

    def stop(self):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait(timeout=10)
        self.log.close()


# ---------------------------------------------------------------- session

class Config:
    def __init__(self, host, win, display):
        self.host = os.path.abspath(host)
        self.win = os.path.abspath(win)
        self.build = os.path.dirname(self.win)
        self.display = display
        self.setup_exe = os.path.join(self.win, "src", "setup.exe")
        # The same program, ended at the change point SETUP_END_AT names.
        self.setup_points_exe = os.path.join(self.win, "src", "setup-points.exe")
        self.winprobe_exe = os.path.join(self.win, "tests", "e2e", "winprobe.exe")
        self.mksetup = os.path.join(self.host, "tools", "mksetup", "mksetup")
        self.shots_root = os.path.join(self.build, "e2e-shots")
        self.runs_root = os.path.join(self.build, "wine-runs")


class Session:
    """One scenario's world: prefix, probe, programs, screenshots."""

    def __init__(self, config, name):
        self.config = config
        self.name = name
        self.shots = os.path.join(config.shots_root, name)
        shutil.rmtree(self.shots, ignore_errors=True)
        os.makedirs(self.shots)
        self.step = 0
        self.programs = []
        self.probe = None
        self.prefix = os.path.join(config.runs_root, "e2e-" + name)
        out = subprocess.run([WINEPREFIX_SH, "fresh", config.build, self.prefix], capture_output=True, text=True,
                             timeout=900)
        check(out.returncode == 0, "no Wine prefix: %s" % out.stderr.strip())
        self.env = dict(os.environ, WINEPREFIX=self.prefix, DISPLAY=config.display, **WINE_ENV)
        self.env.pop("WAYLAND_DISPLAY", None)
        self.drive_c = os.path.join(self.prefix, "drive_c")
        # The scenario's own files: installers under C:\e2e, the probe
        # beside them in C:\e2e-probe.
        self.work = self.path("C:\\e2e")
        self.probe_dir = self.path("C:\\e2e-probe")
        os.makedirs(self.work)
        os.makedirs(self.probe_dir)
        shutil.copy(config.winprobe_exe, self.probe_dir)
        self.probe = Probe(self)
        # Windows that were there before the scenario started anything.
        self.baseline = {w.hwnd for w in self.windows(visible_only=False)}
        self.seen = {}

    # -- paths

    def path(self, windows_path):
        """Host path of a C: path inside the prefix."""
        check(windows_path[:2].upper() == "C:", "not on drive C: %s" % windows_path)
        rest = windows_path[2:].replace("\\", "/").lstrip("/")
        return os.path.join(self.drive_c, rest)

    # -- installers

    def make_installer(self, windows_path, title=PRODUCT_TITLE, files=None, stub=None):
        """Packs an installer at windows_path with the packaging tool (files:
        {name: bytes}, default one small document). Returns the host path."""
        target = self.path(windows_path)
        os.makedirs(os.path.dirname(target), exist_ok=True)
        # Beside drive_c, so it goes with the prefix and never shows in C:.
        source = os.path.join(self.prefix, "e2e-payload")
        shutil.rmtree(source, ignore_errors=True)
        os.makedirs(source)
        files = files if files is not None else {"VELTO.DOC": b"Velto technology demo.\r\n" * 40}
        for name, data in files.items():
            os.makedirs(os.path.dirname(os.path.join(source, name.replace("\\", "/"))) or source, exist_ok=True)
            with open(os.path.join(source, name.replace("\\", "/")), "wb") as f:
                f.write(data)
        cmd = [self.config.mksetup, "-q", "-o", target, "--stub", stub or self.config.setup_exe, "--title", title,
               "-C", source] + list(files)
        out = subprocess.run(cmd, capture_output=True, text=True, timeout=120)
        check(out.returncode == 0, "mksetup failed: %s %s" % (out.stdout, out.stderr))
        return target

    def sample_files(self):
        """The sample product's files in the order the demo packs them."""
        payload = os.path.join(self.config.win, "sample", "payload")
        files = {}
        for name in ("VELTO.EXE", "VELTO.DOC", "README.TXT", "WSOCK32.DLL"):
            with open(os.path.join(payload, name), "rb") as f:
                files[name] = f.read()
        return files

    def rewrite(self, host_path, transform):
        with open(host_path, "rb") as f:
            data = f.read()
        with open(host_path, "wb") as f:
            f.write(transform(data))

    # -- programs

    def run(self, windows_path, args=(), env=None):
        """Starts a program of the prefix with its current directory being its
        own folder on drive C: (env: variables added to the session's)."""
        folder, _, name = windows_path.rpartition("\\")
        program = Program(self, self.path(folder), name, args, env)
        self.programs.append(program)
        return program

    def run_setup(self, windows_path="C:\\e2e\\SETUP.EXE"):
        return self.run(windows_path)

    def wait_exit(self, program, timeout=20):
        return program.exit_code(timeout)

    # -- windows

    def windows(self, visible_only=True):
        reply = self.probe.ask("list")
        found = [Window(w) for w in reply["windows"]]
        if visible_only:
            found = [w for w in found if w.visible]
        for w in found:
            if w.visible and w.hwnd not in self.seen:
                self.seen[w.hwnd] = w
        return found

    def new_windows(self):
        """Visible top-level windows that were not there at the start."""
        return [w for w in self.windows() if w.hwnd not in self.baseline]

    def window(self, hwnd):
        return Window(self.probe.ask("window %d" % hwnd)["window"])

    def find(self, caption=None, cls=None, pid=None, visible=True):
        return [w for w in self.windows(visible_only=visible)
                if (caption is None or w.text == caption) and (cls is None or w.cls == cls)
                and (pid is None or w.pid == pid)]

    def wait_window(self, caption=None, cls=None, pid=None, timeout=20, predicate=None, what=None):
        """Waits until a visible top-level window matches; returns it."""
        deadline = time.monotonic() + timeout
        while True:
            for w in self.find(caption, cls, pid):
                if predicate is None or predicate(w):
                    return w
            if time.monotonic() > deadline:
                raise ScenarioFailed("no window %s within %ss; visible: %s" % (
                    what or repr(caption), timeout, "; ".join(str(w) for w in self.windows()) or "none"))
            time.sleep(0.1)

    def wait_until(self, condition, timeout, what):
        deadline = time.monotonic() + timeout
        while not condition():
            if time.monotonic() > deadline:
                raise ScenarioFailed("%s did not happen within %ss" % (what, timeout))
            time.sleep(0.1)

    def wait_gone(self, window, timeout=10):
        self.wait_until(lambda: all(w.hwnd != window.hwnd for w in self.windows()), timeout,
                        "closing of %s" % window)

    def expect_text(self, window, text):
        """The window's own text or one of its children's is exactly `text`."""
        window = self.window(window.hwnd)
        check(window.text == text or text in window.child_texts(),
              "%s shows no %r; texts: %r" % (window, text, window.child_texts()))

    def button(self, window, label):
        window = self.window(window.hwnd)
        matches = [b for b in window.buttons() if same_label(b["text"], label)]
        check(matches, "%s has no button %r; buttons: %r" % (window, label, [b["text"] for b in window.buttons()]))
        return matches[0]

    def click(self, window, label):
        self.probe.ask("click %d" % self.button(window, label)["hwnd"])

    def click_together(self, *presses):
        """Presses buttons, given as (window, label) pairs, in one go: every
        press is queued before the program handles the first, so a later one
        is taken up by the first message processing that follows (even in a
        window that the first press is about to show)."""
        hwnds = [self.button(window, label)["hwnd"] for window, label in presses]
        self.probe.ask("click " + " ".join(str(h) for h in hwnds))

    def close(self, window):
        """Closes a window as its close box does."""
        self.probe.ask("close %d" % window.hwnd)

    def key(self, window, vk):
        self.probe.ask("key %d %d" % (window.hwnd, vk))

    def press(self, *keys):
        """Real keystrokes (X key names such as Return, Escape, Tab, alt+x)
        into whatever window has the keyboard focus."""
        out = subprocess.run(["xdotool", "key", "--delay", "50"] + list(keys), env=self.env, capture_output=True,
                             text=True, timeout=30)
        check(out.returncode == 0, "xdotool key %s: %s" % (" ".join(keys), out.stderr.strip()))

    def foreground(self):
        w = self.probe.ask("foreground")["window"]
        return Window(w) if w else None

    def processes(self):
        return self.probe.ask("procs")["procs"]

    # -- screen

    def screenshot(self, label):
        """Saves the whole screen as NN-label.png; returns its Picture."""
        self.step += 1
        path = os.path.join(self.shots, "%02d-%s.png" % (self.step, label))
        out = subprocess.run(["import", "-display", self.config.display, "-window", "root", path],
                             capture_output=True, text=True, timeout=60)
        check(out.returncode == 0, "screenshot failed: %s" % out.stderr.strip())
        return Picture(path)

    # -- state of the machine

    SNAPSHOT_KEYS = ("HKLM\\Software", "HKCU\\Software")
    # Left out of the registry snapshot: big and never touched by the setup
    # program, or changed by Wine itself.
    # Folders and keys that change by themselves or belong to the driver.
    VOLATILE_PATHS = ("e2e/", "e2e-probe/", "windows/temp/", "users/*/Temp/", "users/*/AppData/Local/Temp/")
    VOLATILE_KEYS = ("HKLM\\Software\\Classes", "HKCU\\Software\\Wine")

    def snapshot(self):
        """Everything a setup could have left: a sorted listing of drive C:
        with sizes and the contents of the Software keys, without the
        driver's own and Wine's volatile parts."""
        files = []
        for top, dirs, names in os.walk(self.drive_c):
            dirs.sort()
            rel_top = os.path.relpath(top, self.drive_c)
            for name in sorted(dirs + names):
                rel = name if rel_top == "." else rel_top + "/" + name
                full = os.path.join(top, name)
                if any(fnmatch.fnmatch(rel + ("/" if os.path.isdir(full) else ""), p + "*")
                       for p in self.VOLATILE_PATHS):
                    continue
                if os.path.islink(full):
                    files.append((rel, "link"))
                elif os.path.isdir(full):
                    files.append((rel + "/", "dir"))
                else:
                    files.append((rel, os.path.getsize(full)))
        keys = []
        for root in self.SNAPSHOT_KEYS:
            command = "regdump " + "|".join((root,) + self.VOLATILE_KEYS)
            for k in self.probe.ask(command, timeout=120)["keys"]:
                keys.append((k["key"], tuple(tuple(v) for v in k["values"])))
        return {"files": files, "keys": keys}

    def expect_same(self, before, after, what):
        problems = []
        for part in ("files", "keys"):
            a, b = set(before[part]), set(after[part])
            for item in sorted(b - a, key=str):
                problems.append("new %s: %s" % (part[:-1], item[0]))
            for item in sorted(a - b, key=str):
                problems.append("lost or changed %s: %s" % (part[:-1], item[0]))
        check(not problems, "%s changed the machine: %s" % (what, "; ".join(problems[:20])))

    # -- drives

    @contextlib.contextmanager
    def small_drive(self, letter, size):
        """A tmpfs of `size` (e.g. "3m") as drive `letter` of the prefix, for
        a full or nearly full disk; yields its host path. Needs root. When
        the scenario ends, every program of the prefix is stopped first, so
        that the file system can go."""
        mount = os.path.join(self.prefix, "drive-" + letter)
        os.makedirs(mount)
        out = subprocess.run(["mount", "-t", "tmpfs", "-o", "size=" + size, "tmpfs", mount], capture_output=True,
                             text=True)
        check(out.returncode == 0, "cannot mount a small drive %s: (needs root): %s" % (letter, out.stderr.strip()))
        try:
            os.symlink(mount, os.path.join(self.prefix, "dosdevices", letter + ":"))
            yield mount
        finally:
            for p in self.programs:
                p.stop()
            subprocess.run([wine_server(), "-k"], env=self.env, capture_output=True)
            subprocess.run(["umount", "-l", mount], capture_output=True)

    # -- end

    def finish(self):
        for p in self.programs:
            try:
                p.stop()
            except Exception:
                pass
        if self.probe:
            self.probe.close()
        subprocess.run([WINEPREFIX_SH, "remove", self.prefix], capture_output=True, timeout=120)


# ---------------------------------------------------------------- runner

class _Timeout(Exception):
    pass


def _alarm(signum, frame):
    raise _Timeout()


def scenario_module(base, folder=None):
    """The scenario file `base`.py, loaded once: a scenario file may use
    another one's helpers through this, and its scenarios are registered
    only once however often it is asked for."""
    name = "e2e_scenarios_" + base
    if name not in sys.modules:
        path = os.path.join(folder or os.path.join(HERE, "scenarios"), base + ".py")
        module_spec = importlib.util.spec_from_file_location(name, path)
        module = importlib.util.module_from_spec(module_spec)
        sys.modules[name] = module
        module_spec.loader.exec_module(module)
    return sys.modules[name]


def load_scenarios(folder=None):
    for path in sorted(glob.glob(os.path.join(folder or os.path.join(HERE, "scenarios"), "*.py"))):
        scenario_module(os.path.splitext(os.path.basename(path))[0], folder)
    return list(_SCENARIOS)


def select(scenarios, patterns):
    """The scenarios whose names match any of the shell patterns (all when
    there are none), and the patterns that match no scenario."""
    if not patterns:
        return list(scenarios), []
    chosen = [s for s in scenarios if any(fnmatch.fnmatchcase(s["name"], p) for p in patterns)]
    unmatched = [p for p in patterns if not any(fnmatch.fnmatchcase(s["name"], p) for s in scenarios)]
    return chosen, unmatched


def main(argv):
    import argparse

    parser = argparse.ArgumentParser(description="Runs the end-to-end scenarios of the setup program.")
    parser.add_argument("--host", help="host build folder")
    parser.add_argument("--win", help="Windows build folder")
    parser.add_argument("--display", help="X display of the Xvfb screen, e.g. :91")
    parser.add_argument("--keep", action="store_true", help="keep each scenario's Wine prefix")
    parser.add_argument("--list", action="store_true",
                        help="print the names of the scenarios the patterns select and run nothing")
    parser.add_argument("--scenario-dir", help="load the scenarios of this folder instead of scenarios/")
    parser.add_argument("patterns", nargs="*", help="run only scenarios whose names match (shell patterns)")
    args = parser.parse_args(argv)

    scenarios, unmatched = select(load_scenarios(args.scenario_dir), args.patterns)
    if unmatched:
        print("e2e: no scenario matches %s" % ", ".join(repr(p) for p in unmatched), file=sys.stderr)
        return 1
    if not scenarios:
        print("e2e: no scenarios found", file=sys.stderr)
        return 1
    if args.list:
        for s in scenarios:
            print(s["name"])
        return 0
    for option in ("host", "win", "display"):
        if not getattr(args, option):
            parser.error("--%s is needed to run scenarios" % option)

    config = Config(args.host, args.win, args.display)
    for needed in (config.setup_exe, config.winprobe_exe, config.mksetup):
        if not os.path.isfile(needed):
            print("e2e: %s is missing (build first)" % needed, file=sys.stderr)
            return 1
    print("e2e: %d scenarios on display %s" % (len(scenarios), args.display))
    sys.stdout.flush()

    passed = failed = 0
    signal.signal(signal.SIGALRM, _alarm)
    for s in scenarios:
        start = time.monotonic()
        session = None
        outcome, detail = "PASS", ""
        signal.alarm(s["timeout"])
        try:
            session = Session(config, s["name"])
            s["fn"](session)
        except ScenarioFailed as e:
            outcome, detail = "FAIL", str(e)
        except _Timeout:
            outcome, detail = "FAIL", "scenario took longer than %ss" % s["timeout"]
        except Exception:
            outcome, detail = "FAIL", traceback.format_exc().strip()
        finally:
            signal.alarm(0)
            if session:
                if outcome == "FAIL":
                    try:
                        session.screenshot("at-failure")
                    except Exception:
                        pass
                if args.keep:
                    for p in session.programs:
                        p.stop()
                    session.probe.close()
                else:
                    session.finish()
        seconds = time.monotonic() - start
        if outcome == "PASS":
            passed += 1
        else:
            failed += 1
        print("%s %s (%.1fs)%s" % (outcome, s["name"], seconds, ": " + detail if detail else ""))
        sys.stdout.flush()

    print("%d passed, %d failed" % (passed, failed))
    return 1 if failed else 0
