"""The installation: files byte for byte, shortcuts, the uninstall entry and
UNINST.EXE after Finish; cancelling, damage and failures roll everything
back to the machine as it was."""

import glob
import os
import struct
import time

from e2elib import PRODUCT_TITLE, TAIL_SIZE, TRAILER_SIZE, check, check_equal, crc32, scenario, sha256_file

PAGES = ("Choose Destination Location", "Select Program Folder", "Start Copying Files")
DEST = "C:\\Program Files\\Velto"
UNINSTALL_KEY = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Velto"
RECORD = 264


def walk_to_install(s, folder=None, dest=None):
    """Starts setup (with "/D=dest" when given, which the first page must
    show) and presses Next on the first two pages (optionally typing a
    program folder name); returns (program, pid, summary page)."""
    setup = s.run("C:\\e2e\\SETUP.EXE", ["/D=" + dest] if dest else [])
    page = s.wait_window(PAGES[0], timeout=30)
    if dest:
        s.expect_text(page, dest)
    pid = page.pid
    s.click(page, "&Next >")
    page = s.wait_window(PAGES[1], pid=pid)
    if folder is not None:
        edit = [c for c in page.children if c["class"].lower() == "edit"]
        check(edit, "no edit control on %s" % page)
        s.probe.ask("settext %d %s" % (edit[0]["hwnd"], folder))
    s.click(page, "&Next >")
    page = s.wait_window(PAGES[2], pid=pid)
    return setup, pid, page


def install_held_at_exit_setup(s, page, pid):
    """Presses "&Next >" on the summary page and, in the same go, "Cancel" of
    the progress dialog (made hidden at start-up): setup takes the Cancel up
    at its first round of messages with the progress dialog shown, however
    fast the extraction would be, and waits in "Exit Setup". Returns the
    progress dialog and "Exit Setup"."""
    progress = s.find("Decompressing...", pid=pid, visible=False)
    check(progress, "setup %d has no progress dialog" % pid)
    s.click_together((page, "&Next >"), (progress[0], "Cancel"))
    dialog = s.wait_window("Exit Setup", pid=pid)
    return s.wait_window("Decompressing...", pid=pid), dialog


def programs_dir(s):
    """Host path of the Programs folder of the prefix's user."""
    found = glob.glob(os.path.join(s.drive_c, "users", "*", "AppData", "Roaming", "Microsoft", "Windows",
                                   "Start Menu", "Programs")) + \
        glob.glob(os.path.join(s.drive_c, "users", "*", "Start Menu", "Programs"))
    check(found, "no Programs folder in the prefix")
    return found[0]


def windows_path(s, host_path):
    return "C:\\" + os.path.relpath(host_path, s.drive_c).replace("/", "\\")


def expect_box_then_nothing_left(s, setup, pid, text, before, what):
    box = s.wait_window("Setup", cls="#32770", pid=pid, timeout=60, what="error box")
    s.screenshot("error-box")
    s.expect_text(box, text)
    s.click(box, "OK")
    check_equal(s.wait_exit(setup, 30), 0, "exit code after the error box")
    s.expect_same(before, s.snapshot(), what)


def parse_uninstaller(data):
    trailer = data[-4 - TRAILER_SIZE:-4]
    check_equal(struct.unpack("<I", data[-4:])[0], crc32(trailer), "UNINST.EXE trailer checksum")
    image_size, count = struct.unpack("<ii", trailer[:8])
    check_equal(trailer[264:267], b"UNI", "UNINST.EXE signature")
    check_equal(len(data), image_size + count * RECORD + TAIL_SIZE, "UNINST.EXE length")
    records = data[image_size:image_size + count * RECORD]
    check_equal(struct.unpack("<I", data[image_size + count * RECORD:][:4])[0], crc32(records),
                "UNINST.EXE records checksum")
    items = []
    for i in range(count):
        r = records[i * RECORD:(i + 1) * RECORD]
        items.append((r[0], r[2:2 + r[1]].decode("cp1252"), struct.unpack("<I", r[260:264])[0]))
    return image_size, trailer, items


def check_installed(s, files, folder_name):
    dest = s.path(DEST)
    for name, data in files.items():
        where = "DLL\\WSOCK32.DLL" if name.upper() == "WSOCK32.DLL" else name
        path = os.path.join(dest, where.replace("\\", "/"))
        check(os.path.isfile(path), "%s not installed" % where)
        with open(path, "rb") as f:
            check(f.read() == data, "%s differs from the packed file" % where)
    check(not os.path.exists(os.path.join(dest, "wsock32.dll")), "wsock32.dll left at the top level")
    folder = os.path.join(programs_dir(s), folder_name)
    for link, target, description in (("Velto.lnk", "VELTO.EXE", "Velto"),
                                       ("Velto Documentation.lnk", "VELTO.DOC", "Velto Documentation")):
        info = s.probe.ask("shortcut %s" % windows_path(s, os.path.join(folder, link)))
        check_equal(info["target"].upper(), (DEST + "\\" + target).upper(), link + " target")
        check_equal(info["workdir"], DEST, link + " working directory")
        check_equal(info["description"], description, link + " description")
    keys = s.probe.ask("regdump " + UNINSTALL_KEY)["keys"]
    check(keys, "no uninstall key")
    # Values come as (name, type, hex bytes); strings with their terminator,
    # REG_DWORD as four little-endian bytes.
    values = {}
    for name, kind, data in keys[0]["values"]:
        data = bytes.fromhex(data)
        values[name] = (kind, struct.unpack("<I", data)[0] if kind == 4 and len(data) == 4 else
                        data.rstrip(b"\0").decode("cp1252"))
    uninstaller = DEST + "\\UNINST.EXE"
    installed_kb = (sum(len(data) for data in files.values()) + 1023) // 1024
    for name, expected in (("DisplayName", (1, PRODUCT_TITLE)),
                           ("UninstallString", (1, uninstaller)),  # no quotation marks
                           ("DisplayIcon", (1, uninstaller)),
                           ("InstallLocation", (1, DEST)),
                           ("EstimatedSize", (4, installed_kb)),
                           ("NoModify", (4, 1)),
                           ("NoRepair", (4, 1)),
                           ("QuietUninstallString", (1, '"%s" /S' % uninstaller))):
        check_equal(values.get(name), expected, name + " of the uninstall entry")
    return folder


def finish(s, setup, pid, launch):
    page = s.wait_window("Setup Complete", pid=pid, timeout=60)
    s.screenshot("setup-complete")
    if not launch:
        s.click(page, "Yes, launch Velto")
    s.click(page, "Finish")
    check_equal(s.wait_exit(setup, 30), 0, "exit code after Finish")


def check_uninstaller(s, files, folder):
    dest = s.path(DEST)
    with open(s.path("C:\\e2e\\SETUP.EXE"), "rb") as f:
        installer = f.read()
    with open(os.path.join(dest, "UNINST.EXE"), "rb") as f:
        data = f.read()
    image_size, trailer, items = parse_uninstaller(data)
    check(data[:image_size] == installer[:image_size], "UNINST.EXE image differs from the installer's")
    installed = ["DLL\\WSOCK32.DLL" if n.upper() == "WSOCK32.DLL" else n for n in files]
    win_folder = windows_path(s, folder)
    expected = [(2, UNINSTALL_KEY.split("\\", 1)[1]),
                (1, win_folder + "\\Velto Documentation.lnk"),
                (1, win_folder + "\\Velto.lnk"),
                (0, win_folder)]
    expected += [(1, DEST + "\\" + n) for n in reversed(installed)]
    expected += [(0, DEST + "\\Download"), (0, DEST + "\\Upload"), (0, DEST + "\\DLL"), (0, DEST)]
    check_equal([(k, p) for k, p, _ in items], expected, "records of UNINST.EXE")
    check_equal(items[0][2], 0x80000002, "root key of the registry record")


@scenario("install-sample-and-launch", timeout=180)
def install_sample(s):
    files = s.sample_files()
    s.make_installer("C:\\e2e\\SETUP.EXE", files=files)
    setup, pid, page = walk_to_install(s)
    s.click(page, "&Next >")
    s.wait_window("Setup Complete", pid=pid, timeout=60)
    check(not os.path.exists(os.path.join(s.path(DEST), "UNINST.EXE")), "UNINST.EXE before Finish")
    folder = check_installed(s, files, "Velto")
    finish(s, setup, pid, launch=True)
    check_uninstaller(s, files, folder)
    ini = os.path.join(s.path(DEST), "VELTO.INI")
    s.wait_until(lambda: os.path.isfile(ini), 20, "VELTO.INI written by the launched VELTO.EXE")


@scenario("install-mixed-sizes-no-launch", timeout=180)
def install_mixed(s):
    sample = s.sample_files()
    files = {
        "EMPTY.TXT": b"",
        "ONE.BIN": b"\x7f",
        "BLOCK.BIN": os.urandom(16000) * 2,
        "TWOBLOCKS.BIN": (b"velto " * 10667)[:64001],
        "BIG.BIN": os.urandom(1 << 20) * 20,
        "wsock32.dll": sample["WSOCK32.DLL"],
        "VELTO.EXE": sample["VELTO.EXE"],
        "VELTO.DOC": sample["VELTO.DOC"],
    }
    s.make_installer("C:\\e2e\\SETUP.EXE", files=files)
    setup, pid, page = walk_to_install(s, folder="Games\\Velto")
    decompress, dialog = install_held_at_exit_setup(s, page, pid)
    s.expect_text(decompress, "Decompressing files in " + DEST)
    # "&Resume": the installation goes on to its end.
    s.click(dialog, "&Resume")
    s.wait_window("Setup Complete", pid=pid, timeout=120)
    folder = check_installed(s, files, "Games\\Velto")
    finish(s, setup, pid, launch=False)
    time.sleep(2)
    check(not os.path.exists(os.path.join(s.path(DEST), "VELTO.INI")), "VELTO.EXE started with the box cleared")
    with open(os.path.join(s.path(DEST), "UNINST.EXE"), "rb") as f:
        _, _, items = parse_uninstaller(f.read())
    # Both new levels of the program folder, the deeper one first.
    dirs = [p for k, p, _ in items if k == 0 and p.startswith(windows_path(s, programs_dir(s)))]
    win_folder = windows_path(s, folder)
    check_equal(dirs, [win_folder, win_folder.rsplit("\\", 1)[0]], "program folder records")


@scenario("install-cancel-resume-exit", timeout=180)
def install_cancel(s):
    files = {"PART%d.BIN" % i: os.urandom(1 << 20) * 12 for i in range(8)}
    s.make_installer("C:\\e2e\\SETUP.EXE", files=files)
    before = s.snapshot()
    # The destination of "/D=" without "/S" is the one the pages show.
    dest = "C:\\Apps\\Velto"
    setup, pid, page = walk_to_install(s, dest=dest)
    decompress, dialog = install_held_at_exit_setup(s, page, pid)
    s.expect_text(decompress, "Decompressing files in " + dest)
    s.screenshot("exit-setup-over-progress")
    # "&Resume" (which the mixed-sizes installation follows to its end), and
    # Cancel again before the extraction can end: asked again.
    s.click_together((dialog, "&Resume"), (decompress, "Cancel"))
    dialog = s.wait_window("Exit Setup", pid=pid)
    check(any(w.hwnd == decompress.hwnd for w in s.windows()), "progress dialog gone after Resume")
    s.click(dialog, "E&xit Setup")
    expect_box_then_nothing_left(s, setup, pid, "Setup Cancelled..", before, "cancelled setup")


def with_directory(data, edit):
    """The installer with its directory changed by edit(entries) and the
    directory checksum made to match again."""
    trailer = data[-4 - TRAILER_SIZE:-4]
    count = struct.unpack("<i", trailer[4:8])[0]
    start = len(data) - TAIL_SIZE - count * RECORD
    entries = [bytearray(data[start + i * RECORD:start + (i + 1) * RECORD]) for i in range(count)]
    edit(entries)
    directory = b"".join(bytes(e) for e in entries)
    return data[:start] + directory + struct.pack("<I", crc32(directory)) + data[-4 - TRAILER_SIZE:]


def rename_first(entry_name):
    def edit(entries):
        raw = entry_name.encode("cp1252")
        entries[0][0] = len(raw)
        entries[0][1:1 + len(raw)] = raw
    return edit


def flip_stream_byte(data):
    image_size = struct.unpack("<i", data[-4 - TRAILER_SIZE:-4 - TRAILER_SIZE + 4])[0]
    damaged = bytearray(data)
    damaged[image_size + 2000] ^= 0x01
    return bytes(damaged)


DAMAGE = [
    ("install-corrupt-stream", flip_stream_byte),
    ("install-unsafe-name", lambda data: with_directory(data, rename_first("..\\evil.txt"))),
]


def damaged_install_scenario(name, damage):
    @scenario(name, timeout=120)
    def run(s):
        files = {"A.BIN": os.urandom(50000), "B.TXT": b"velto\r\n" * 1000}
        path = s.make_installer("C:\\e2e\\SETUP.EXE", files=files)
        s.rewrite(path, damage)
        before = s.snapshot()
        setup, pid, page = walk_to_install(s)
        s.click(page, "&Next >")
        expect_box_then_nothing_left(s, setup, pid, "Setup Corrupt..", before, name)
        check(not os.path.exists(s.path("C:\\Program Files\\evil.txt")), "evil.txt written outside")


for _name, _damage in DAMAGE:
    damaged_install_scenario(_name, _damage)


@scenario("install-second-shortcut-fails", timeout=120)
def second_shortcut(s):
    """A folder of the user's named "Velto Documentation.lnk" in the program
    folder: "Velto.lnk" is saved, the second shortcut cannot be."""
    s.make_installer("C:\\e2e\\SETUP.EXE", files={"VELTO.DOC": b"doc\r\n" * 100})
    os.makedirs(os.path.join(programs_dir(s), "Velto", "Velto Documentation.lnk"))
    before = s.snapshot()
    setup, pid, page = walk_to_install(s)
    s.click(page, "&Next >")
    expect_box_then_nothing_left(s, setup, pid, "CreateLink failed.", before, "failed shortcut")
