"""The uninstaller: confirmation, removal of files, shortcuts and the
registry key, the hidden self-deleting batch file, damaged uninstallers,
other drives, and an uninstaller beside a running installer.

Most scenarios build UNINST.EXE here, from the real setup program's image
and records naming an installation laid out on disk by the scenario itself,
so the uninstaller is tested on its own. The life-cycle scenarios install
the sample through the wizard and uninstall what setup wrote."""

import glob
import os
import shutil
import struct
import subprocess
import time

from e2elib import PRODUCT_TITLE, Program, check, check_equal, crc32, scenario, short_string, wine_loader

UNINSTALL_KEY = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Velto"
HKLM = 0x80000002
DIRECTORY, FILE, REGISTRY_KEY = 0, 1, 2
QUESTION = "Are you sure you want to uninstall?"
# The batch file runs after the uninstaller has ended; it gets this long.
BATCH_SECONDS = 10
# Records of files already gone, added to one uninstaller.
MISSING_FILES = 200


def record(kind, path, root=0):
    """One 264-byte uninstall record; unused bytes hold junk, as records made
    from uninitialised memory may."""
    raw = path.encode("cp1252")
    assert len(raw) <= 255
    return (bytes([kind, len(raw)]) + raw + b"\xcc" * (255 - len(raw)) + b"\xcc" * 3 +
            struct.pack("<I", root if kind == REGISTRY_KEY else 0xCCCCCCCC))


def uninstaller_bytes(image, records, title=PRODUCT_TITLE):
    body = b"".join(records)
    trailer = struct.pack("<ii", len(image), len(records)) + short_string(title) + b"UNI\0"
    return image + body + struct.pack("<I", crc32(body)) + trailer + struct.pack("<I", crc32(trailer))


def setup_image(s):
    with open(s.config.setup_exe, "rb") as f:
        return f.read()


def programs_folder(s):
    """The Start menu's Programs folder of the prefix's user (C: path)."""
    found = sorted(glob.glob(os.path.join(s.drive_c, "users", "*", "AppData", "Roaming", "Microsoft", "Windows",
                                          "Start Menu", "Programs")) +
                   glob.glob(os.path.join(s.drive_c, "users", "*", "Start Menu", "Programs")))
    found = [f for f in found if os.sep + "Public" + os.sep not in f]
    check(found, "no Start menu Programs folder in the prefix")
    return "C:\\" + os.path.relpath(found[0], s.drive_c).replace("/", "\\")


def temp_folder(s):
    """Host path of the prefix user's temporary folder (where TMP points)."""
    found = [p for p in glob.glob(os.path.join(s.drive_c, "users", "*", "Temp")) + glob.glob(
        os.path.join(s.drive_c, "users", "*", "AppData", "Local", "Temp")) if os.sep + "Public" + os.sep not in p]
    check(found, "no temporary folder in the prefix")
    return found


def private_folders(s):
    """Setup's own folders (journal, batch files) that stand in the
    temporary folder."""
    return [os.path.join(t, n) for t in temp_folder(s) for n in os.listdir(t) if n.upper() == "VELTOSETUP"]


def listing(folder):
    """A folder's names; none when the folder went away meanwhile (the
    batch file removes its own folder while a scenario polls)."""
    try:
        return os.listdir(folder)
    except FileNotFoundError:
        return []


def batch_files(s):
    """The uninstaller's batch files, wherever in the temporary folder."""
    return sorted(name for folder in temp_folder(s) + private_folders(s) for name in listing(folder)
                  if name.upper().startswith("DELUN") and name.upper().endswith(".BAT"))


def wine_tool(s, *args):
    out = subprocess.run([wine_loader()] + list(args), env=s.env, capture_output=True, timeout=120)
    check(out.returncode == 0, "wine %s failed: %s" % (" ".join(args), out.stderr.decode("latin-1")[-500:]))


class Installation:
    """An installation as setup lays it out, made on disk by the scenario:
    destination with its three subfolders and the sample's files, the
    program folder with two shortcuts, the uninstall key, VELTO.INI and
    UNINST.EXE holding the records in the order setup logs them."""

    def __init__(self, s, dest="C:\\Program Files\\Velto", host_dest=None):
        self.s = s
        self.dest = dest
        self.host_dest = host_dest or s.path(dest)
        self.programs = programs_folder(s) + "\\Velto"
        self.files = ["VELTO.EXE", "VELTO.DOC", "README.TXT", "DLL\\WSOCK32.DLL"]
        self.links = ["Velto.lnk", "Velto Documentation.lnk"]
        self.uninstaller = dest + "\\UNINST.EXE"

    def host(self, windows_path):
        if windows_path.upper().startswith(self.dest.upper()):
            return os.path.join(self.host_dest, windows_path[len(self.dest):].lstrip("\\").replace("\\", "/"))
        return self.s.path(windows_path)

    def directories(self):
        """Logged directories as the batch file removes them, deepest first."""
        return [self.programs] + [self.dest + "\\" + d for d in ("Download", "Upload", "DLL")] + [self.dest]

    def records(self):
        recs = [record(REGISTRY_KEY, UNINSTALL_KEY, HKLM)]
        recs += [record(FILE, self.programs + "\\" + link) for link in reversed(self.links)]
        recs.append(record(DIRECTORY, self.programs))
        recs += [record(FILE, self.dest + "\\" + name) for name in reversed(self.files)]
        recs += [record(DIRECTORY, d) for d in self.directories()[1:]]
        return recs

    def create(self):
        s = self.s
        for d in reversed(self.directories()):
            os.makedirs(self.host(d), exist_ok=True)
        for name in self.files:
            with open(self.host(self.dest + "\\" + name), "wb") as f:
                f.write(b"installed " + name.encode() + b"\r\n")
        for link in self.links:
            with open(self.host(self.programs + "\\" + link), "wb") as f:
                f.write(b"shortcut")
        with open(self.host(self.dest + "\\VELTO.INI"), "wb") as f:
            f.write(b"[Velto]\r\nStarted=1\r\n")
        reg = os.path.join(s.prefix, "e2e-velto.reg")
        with open(reg, "w", encoding="utf-16", newline="\r\n") as f:
            f.write("Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\%s]\n"
                    "\"DisplayName\"=\"%s\"\n\"UninstallString\"=\"%s\"\n\n" % (
                        UNINSTALL_KEY, PRODUCT_TITLE, self.uninstaller.replace("\\", "\\\\")))
        wine_tool(s, "reg", "import", reg)
        os.remove(reg)
        self.write_uninstaller(self.records())

    def write_uninstaller(self, records):
        with open(self.host(self.uninstaller), "wb") as f:
            f.write(uninstaller_bytes(setup_image(self.s), records))

    def run_uninstaller(self):
        """Starts UNINST.EXE with its current directory in the destination,
        as the Add/Remove entry or a double click in the folder does."""
        s = self.s
        program = Program(s, self.host_dest, "UNINST.EXE")
        s.programs.append(program)
        return program


def confirm_dialog(s, program_pid=None, what="confirmation"):
    dialog = s.wait_window("Confirm", cls="TMessageForm", pid=program_pid, timeout=30, what=what)
    s.expect_text(dialog, QUESTION)
    labels = [b["text"] for b in s.window(dialog.hwnd).buttons()]
    check_equal(labels, ["&Yes", "&No"], "buttons of the confirmation")
    return dialog


def expect_status_dialog(s, status):
    """'Uninstalling...': 328 x 72 client area, centred, topmost, the label
    centred in its box."""
    l, t, r, b = status.client
    check_equal((r - l, b - t), (328, 72), "client area of the status dialog")
    wl, wt, wr, wb = status.rect
    check_equal((wl, wt), ((1024 - (wr - wl)) // 2, (768 - (wb - wt)) // 2), "position of the status dialog")
    check(status["exstyle"] & 0x8, "status dialog is not topmost")
    labels = [c for c in status.children if c["text"] == "Uninstalling..."]
    check(labels, "no label 'Uninstalling...': %r" % status.child_texts())
    ll, lt, lr, lb = labels[0]["rect"]
    check_equal((ll - l, lt - t, lr - ll, lb - lt), (8, 27, 313, 19), "label of the status dialog")


def wait_batch_done(s, inst, what):
    """Waits (bounded) until the batch file has removed the uninstaller, the
    destination and itself."""
    deadline = time.monotonic() + BATCH_SECONDS
    while time.monotonic() < deadline:
        if not os.path.exists(inst.host(inst.uninstaller)) and not batch_files(s) and \
                not os.path.exists(inst.host_dest):
            return
        time.sleep(0.2)
    left = [p for p in (inst.uninstaller, inst.dest) if os.path.exists(inst.host(p))]
    check(False, "%s: after %ss still there: %s; batch files: %s" % (what, BATCH_SECONDS, left, batch_files(s)))


@scenario("uninstall-no-changes-nothing")
def uninstall_no(s):
    inst = Installation(s)
    inst.create()
    before = s.snapshot()
    for way in ("button", "escape"):
        program = inst.run_uninstaller()
        dialog = confirm_dialog(s)
        if way == "button":
            s.screenshot("confirm")
            s.click(dialog, "&No")
        else:
            s.wait_until(lambda: (s.foreground() or {}).get("hwnd") == dialog.hwnd, 10, "confirmation in front")
            s.press("Escape")
        check_equal(s.wait_exit(program), 0, "exit code after %s" % way)
        s.expect_same(before, s.snapshot(), "answering No by " + way)
        check_equal(batch_files(s), [], "batch files after answering No by " + way)


@scenario("uninstall-yes-removes-everything")
def uninstall_yes(s):
    before = s.snapshot()
    inst = Installation(s)
    inst.create()
    check(s.snapshot() != before, "the installation changed nothing")
    # Files the user deleted already are skipped; the rest goes on.
    gone = [record(FILE, "%s\\deleted%05d.dat" % (inst.dest, i)) for i in range(MISSING_FILES)]
    inst.write_uninstaller(inst.records()[:4] + gone + inst.records()[4:])
    program = inst.run_uninstaller()
    dialog = confirm_dialog(s)
    s.wait_until(lambda: (s.foreground() or {}).get("hwnd") == dialog.hwnd, 10, "confirmation in front")
    s.press("Return")  # "&Yes" is the default button
    check_equal(s.wait_exit(program), 0, "exit code of the uninstaller")
    wait_batch_done(s, inst, "uninstall")
    s.screenshot("after")
    s.expect_same(before, s.snapshot(), "install and uninstall")
    check_equal(batch_files(s), [], "batch files left")


@scenario("uninstall-keeps-user-files")
def uninstall_keeps_user_files(s):
    """A file the product made after installation keeps its directory (and
    the destination above it); nothing else is left."""
    before = s.snapshot()
    inst = Installation(s, dest="C:\\Games\\100%Velto")
    inst.create()
    notes = inst.host(inst.dest + "\\Upload\\notes.txt")
    with open(notes, "wb") as f:
        f.write(b"mine")
    program = inst.run_uninstaller()
    s.click(confirm_dialog(s), "&Yes")
    check_equal(s.wait_exit(program), 0, "exit code of the uninstaller")
    s.wait_until(lambda: not batch_files(s) and not os.path.exists(inst.host(inst.uninstaller)), BATCH_SECONDS,
                 "the batch file's end")
    after = s.snapshot()
    kept = {"Games/", "Games/100%Velto/", "Games/100%Velto/Upload/", "Games/100%Velto/Upload/notes.txt"}
    extra = sorted(f[0] for f in set(after["files"]) - set(before["files"]))
    check_equal(set(extra), kept, "what is left besides the machine as before")
    check_equal(set(after["keys"]), set(before["keys"]), "registry after uninstall")


@scenario("uninstall-corrupt-records")
def uninstall_corrupt(s):
    inst = Installation(s)
    inst.create()
    path = inst.host(inst.uninstaller)
    with open(path, "rb") as f:
        data = bytearray(f.read())
    # One letter of the first file record's path (after the registry record).
    at = len(setup_image(s)) + 264 + 2 + 3
    data[at] ^= 0x01
    with open(path, "wb") as f:
        f.write(data)
    before = s.snapshot()
    program = inst.run_uninstaller()
    s.click(confirm_dialog(s), "&Yes")
    box = s.wait_window("Setup", cls="#32770", what="error box")
    s.screenshot("setup-corrupt")
    s.expect_text(box, "Setup Corrupt..")
    status = s.find("Uninstalling...", cls="TUnInstall1")
    check(status, "no 'Uninstalling...' dialog behind the error box")
    expect_status_dialog(s, status[0])
    s.click(box, "OK")
    check_equal(s.wait_exit(program), 0, "exit code after the error box")
    time.sleep(1)
    s.expect_same(before, s.snapshot(), "a damaged uninstaller")
    check_equal(batch_files(s), [], "batch files after a damaged uninstaller")


@scenario("uninstall-other-drive")
def uninstall_other_drive(s):
    """Destination on D:, started from there, temporary folder on C:: the
    batch file changes drive before it deletes itself."""
    drive_d = os.path.join(s.prefix, "e2e-drive-d")
    os.makedirs(drive_d)
    os.symlink(drive_d, os.path.join(s.prefix, "dosdevices", "d:"))
    before = s.snapshot()
    inst = Installation(s, dest="D:\\Velto", host_dest=os.path.join(drive_d, "Velto"))
    inst.create()
    program = inst.run_uninstaller()
    s.click(confirm_dialog(s), "&Yes")
    check_equal(s.wait_exit(program), 0, "exit code of the uninstaller")
    wait_batch_done(s, inst, "uninstall from drive D:")
    check_equal(os.listdir(drive_d), [], "drive D: after uninstall")
    s.expect_same(before, s.snapshot(), "install and uninstall on drive D:")


@scenario("uninstall-beside-installer")
def uninstall_beside_installer(s):
    inst = Installation(s)
    inst.create()
    s.make_installer("C:\\e2e\\SETUP.EXE")
    installer = s.run_setup()
    page = s.wait_window("Choose Destination Location", timeout=30)
    # The uninstaller beside one running installer goes on to its question.
    uninstaller = inst.run_uninstaller()
    dialog = confirm_dialog(s, what="confirmation beside the installer")
    check(dialog.pid != page.pid, "the question came from the installer")
    s.screenshot("beside-installer")
    # A second uninstaller beside those two ends without a window.
    shutil.copy(inst.host(inst.uninstaller), s.path("C:\\e2e\\UNINST.EXE"))
    second = s.run("C:\\e2e\\UNINST.EXE")
    known = {page.pid, dialog.pid}
    deadline = time.monotonic() + 30
    while second.running():
        strangers = [w for w in s.new_windows() if w.pid not in known]
        check(not strangers, "the second uninstaller showed a window: %s" % "; ".join(map(str, strangers)))
        check(time.monotonic() < deadline, "the second uninstaller still runs")
        time.sleep(0.1)
    check_equal(second.exit_code(5), 0, "exit code of the second uninstaller")
    check(installer.running() and uninstaller.running(), "a running instance ended")
    s.click(dialog, "&No")
    check_equal(s.wait_exit(uninstaller), 0, "exit code of the uninstaller")
    check(os.path.exists(inst.host(inst.uninstaller)), "answering No removed the uninstaller")


# ---------------------------------------------------------------- life cycle

def install_sample(s, installer="C:\\e2e\\SETUP.EXE", start_product=True):
    """Walks the wizard with its defaults: C:\\Program Files\\Velto and the
    default program folder. Returns the destination."""
    setup = s.run_setup(installer)
    page = s.wait_window("Choose Destination Location", timeout=30)
    s.click(page, "&Next >")
    page = s.wait_window("Select Program Folder", pid=page.pid)
    s.click(page, "&Next >")
    page = s.wait_window("Start Copying Files", pid=page.pid)
    s.click(page, "&Next >")
    page = s.wait_window("Setup Complete", pid=page.pid, timeout=60)
    dest = "C:\\Program Files\\Velto"
    if not start_product:
        s.click(page, "Yes, launch Velto")  # untick: the product is started once only
    s.click(page, "Finish")
    check_equal(s.wait_exit(setup, timeout=60), 0, "exit code of setup")
    check(os.path.exists(s.path(dest + "\\UNINST.EXE")), "setup wrote no UNINST.EXE at Finish")
    if start_product:
        product = s.wait_window(PRODUCT_TITLE, cls="VeltoDemoWindow", timeout=30)
        s.wait_until(lambda: os.path.exists(s.path(dest + "\\VELTO.INI")), 10, "VELTO.INI written by the product")
        s.close(product)
        s.wait_until(lambda: not s.find(PRODUCT_TITLE, cls="VeltoDemoWindow"), 10, "the product's end")
    return dest


def uninstall_installed(s, dest, answer):
    program = s.run(dest + "\\UNINST.EXE")
    dialog = confirm_dialog(s)
    s.screenshot("confirm-%s" % answer.strip("&").lower())
    s.click(dialog, answer)
    check_equal(s.wait_exit(program), 0, "exit code of the uninstaller")


def life_cycle(s, installs):
    s.make_installer("C:\\e2e\\SETUP.EXE", files=s.sample_files())
    before = s.snapshot()
    for i in range(installs):
        dest = install_sample(s, start_product=(i == 0))
    installed = s.snapshot()
    check(installed != before, "the installation changed nothing")
    check(os.path.exists(s.path(dest + "\\VELTO.INI")), "VELTO.INI missing after the product's start")

    uninstall_installed(s, dest, "&No")
    s.expect_same(installed, s.snapshot(), "answering No")
    check_equal(batch_files(s), [], "batch files after answering No")

    uninstall_installed(s, dest, "&Yes")
    s.wait_until(lambda: not os.path.exists(s.path(dest)) and not batch_files(s), BATCH_SECONDS,
                 "removal of the destination and the batch file")
    s.screenshot("uninstalled")
    s.expect_same(before, s.snapshot(), "install and uninstall")


@scenario("life-cycle-install-uninstall", timeout=240)
def life_cycle_once(s):
    life_cycle(s, 1)


@scenario("life-cycle-install-twice-uninstall-once", timeout=300)
def life_cycle_twice(s):
    life_cycle(s, 2)
