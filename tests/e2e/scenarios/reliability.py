"""Nothing lost, whatever happens: keys that keep their meaning, a user's
file and an earlier installation that come back when setup is abandoned, an
installation killed half-way and undone at the next start, paths too long
to log, a full drive, and files other programs hold open. Each scenario
ends with the machine compared to a snapshot taken before it started."""

import os
import subprocess

import struct

from e2elib import Probe, check, check_equal, crc32, scenario, scenario_module, sha256_file, wine_server

install = scenario_module("install")
uninstall = scenario_module("uninstall")

DEST = install.DEST
PAGES = install.PAGES
JOURNAL = "VELTOSETUP.LOG"


def journals(s):
    """Setup's journals in its own folder of the temporary folder."""
    return [os.path.join(d, n) for d in uninstall.private_folders(s) for n in uninstall.listing(d) if n.upper() == JOURNAL]


def expect_machine_as_before(s, before, what):
    s.expect_same(before, s.snapshot(), what)
    check_equal(journals(s), [], "setup's journal after " + what)
    check_equal(uninstall.private_folders(s), [], "setup's own folder after " + what)


def exit_setup(s, setup, page):
    """Cancel on a wizard page and "E&xit Setup": rolled back and ended."""
    s.click(page, "Cancel")
    dialog = s.wait_window("Exit Setup", pid=page.pid)
    s.click(dialog, "E&xit Setup")
    check_equal(s.wait_exit(setup, 60), 0, "exit code after Exit Setup")


def abandon_on_last_page(s, setup, pid):
    page = s.wait_window("Setup Complete", pid=pid, timeout=120)
    s.screenshot("setup-complete")
    s.close(page)
    dialog = s.wait_window("Exit Setup", pid=pid)
    s.click(dialog, "E&xit Setup")
    check_equal(s.wait_exit(setup, 60), 0, "exit code after abandoning on the last page")


def file_hashes(s, windows_dir):
    """sha256 of every file below a folder, by relative path."""
    top = s.path(windows_dir)
    found = {}
    for folder, _, names in os.walk(top):
        for name in names:
            path = os.path.join(folder, name)
            found[os.path.relpath(path, top)] = sha256_file(path)
    return found


def destination_via_browse(s, page, path):
    """Types `path` into Choose Directory and accepts creating it."""
    s.click(page, "B&rowse...")
    dialog = s.wait_window("Choose Directory", pid=page.pid)
    edit = [c for c in s.window(dialog.hwnd).children if c["class"].lower() == "edit"]
    s.probe.ask("settext %d %s" % (edit[0]["hwnd"], path))
    s.click(dialog, "OK")
    question = s.wait_window("Confirm", cls="TMessageForm", pid=page.pid)
    s.click(question, "&Yes")
    s.wait_gone(dialog)


@scenario("keys-keep-their-meaning", timeout=120)
def keys_keep_their_meaning(s):
    s.make_installer("C:\\e2e\\SETUP.EXE")
    before = s.snapshot()
    setup = s.run_setup()
    page = s.wait_window(PAGES[0], timeout=30)
    # Tab to "E&xit Setup", then Esc: resumed. The next time, Enter still
    # means Resume.
    s.click(page, "Cancel")
    dialog = s.wait_window("Exit Setup", pid=page.pid)
    s.press("Tab", "Escape")
    s.wait_gone(dialog)
    s.click(page, "Cancel")
    dialog = s.wait_window("Exit Setup", pid=page.pid)
    s.screenshot("exit-setup-again")
    s.press("Return")
    s.wait_gone(dialog)
    check(setup.running() and s.find(PAGES[0], pid=page.pid), "Enter in Exit Setup did not resume")
    # Choose Directory closed with the focus on Cancel: Enter is OK next
    # time (the default destination does not exist, so OK asks to make it).
    s.click(page, "B&rowse...")
    dialog = s.wait_window("Choose Directory", pid=page.pid)
    s.press("shift+Tab", "shift+Tab", "Escape")
    s.wait_gone(dialog)
    s.click(page, "B&rowse...")
    dialog = s.wait_window("Choose Directory", pid=page.pid)
    s.press("Return")
    question = s.wait_window("Confirm", cls="TMessageForm", pid=page.pid, what="the question of OK")
    s.click(question, "&No")
    s.close(dialog)
    s.wait_gone(dialog)
    # Alt+X always exits.
    s.click(page, "Cancel")
    s.wait_window("Exit Setup", pid=page.pid)
    s.press("alt+x")
    check_equal(s.wait_exit(setup, 60), 0, "exit code after Alt+X")
    expect_machine_as_before(s, before, "the keyboard scenario")


@scenario("abandoned-install-restores-a-users-file", timeout=180)
def users_file_restored(s):
    files = s.sample_files()
    s.make_installer("C:\\e2e\\SETUP.EXE", files=files)
    readme = os.path.join(s.path(DEST), "README.TXT")
    os.makedirs(os.path.dirname(readme))
    mine = b"My own notes, not the product's.\r\n" * 50
    with open(readme, "wb") as f:
        f.write(mine)
    os.chmod(readme, 0o444)
    before = s.snapshot()
    setup, pid, page = install.walk_to_install(s)
    s.click(page, "&Next >")
    s.wait_window("Setup Complete", pid=pid, timeout=120)
    with open(readme, "rb") as f:
        check(f.read() == files["README.TXT"], "README.TXT not replaced by the installation")
    abandon_on_last_page(s, setup, pid)
    with open(readme, "rb") as f:
        check(f.read() == mine, "the user's README.TXT did not come back byte for byte")
    check_equal(os.stat(readme).st_mode & 0o777, 0o444, "mode of the user's README.TXT")
    expect_machine_as_before(s, before, "abandoning on the last page")


@scenario("cancelled-reinstall-keeps-the-first-installation", timeout=300)
def cancelled_reinstall(s):
    files = s.sample_files()
    s.make_installer("C:\\e2e\\SETUP.EXE", files=files)
    pristine = s.snapshot()
    dest = uninstall.install_sample(s, start_product=False)
    installed = s.snapshot()
    folder = install.windows_path(s, install.programs_dir(s))
    hashes = (file_hashes(s, dest), file_hashes(s, folder))
    # The same installer again, through to its last page, then abandoned.
    # Its files are larger, so the uninstall entry it writes differs from the
    # first one's (EstimatedSize) and must be put back.
    files["VELTO.DOC"] = b"A newer manual.\r\n" * 9000
    s.make_installer("C:\\e2e\\SETUP.EXE", files=files)
    setup, pid, page = install.walk_to_install(s)
    s.click(page, "&Next >")
    abandon_on_last_page(s, setup, pid)
    s.expect_same(installed, s.snapshot(), "the cancelled reinstall")
    check_equal((file_hashes(s, dest), file_hashes(s, folder)), hashes, "files and shortcuts of the first installation")
    install.check_installed(s, {n: d for n, d in s.sample_files().items()}, "Velto")
    # The first installation still uninstalls, completely.
    uninstall.uninstall_installed(s, dest, "&Yes")
    s.wait_until(lambda: not os.path.exists(s.path(dest)) and not uninstall.batch_files(s), uninstall.BATCH_SECONDS,
                 "removal of the destination and the batch file")
    expect_machine_as_before(s, pristine, "install, cancelled reinstall and uninstall")


@scenario("killed-install-is-undone-at-the-next-start", timeout=240)
def killed_install(s):
    # Two large files, then many small ones: each file costs far more than
    # its bytes, so the extraction is still at work well after PART1.BIN.
    files = {"PART%d.BIN" % i: os.urandom(1 << 20) * 12 for i in range(2)}
    files.update({"SMALL%04d.TXT" % i: b"small\r\n" * i for i in range(2000)})
    s.make_installer("C:\\e2e\\SETUP.EXE", files=files)
    before = s.snapshot()
    setup, pid, page = install.walk_to_install(s)
    s.click(page, "&Next >")
    s.wait_until(lambda: os.path.exists(os.path.join(s.path(DEST), "PART1.BIN")), 60, "extraction of PART1.BIN")
    s.screenshot("extracting")
    # Every process of the prefix ends at once, as in a power cut: no
    # rollback of its own runs.
    s.probe.close()
    subprocess.run([wine_server(), "-k"], env=s.env, timeout=60)
    subprocess.run([wine_server(), "-w"], env=s.env, timeout=60)
    s.probe = Probe(s)
    check(os.path.exists(os.path.join(s.path(DEST), "PART0.BIN")), "the killed run left nothing to undo")
    check(journals(s), "the killed run left no journal")

    setup = s.run_setup()
    box = s.wait_window("Information", cls="TMessageForm", timeout=60, what="the recovery message")
    s.screenshot("recovered")
    s.expect_text(box, "An earlier installation into '%s' was interrupted.  Setup has removed what it had "
                       "installed and put back the files it had replaced." % DEST)
    check(not os.path.exists(s.path(DEST)), "the interrupted installation's files are still there")
    s.click(box, "OK")
    page = s.wait_window(PAGES[0], timeout=30)
    exit_setup(s, setup, page)
    expect_machine_as_before(s, before, "the killed installation and the next start")


@scenario("long-destination-is-refused", timeout=120)
def long_destination(s):
    s.make_installer("C:\\e2e\\SETUP.EXE", files=s.sample_files())
    before = s.snapshot()
    # 240 bytes: "DLL\WSOCK32.DLL" below it would take 256, one too many.
    dest = "C:\\Velto"
    while len(dest) < 240:
        dest += "\\" + "L" * min(100, 240 - len(dest) - 1)
    check_equal(len(dest), 240, "length of the destination")
    setup = s.run_setup()
    page = s.wait_window(PAGES[0], timeout=30)
    destination_via_browse(s, page, dest)
    s.click(page, "&Next >")
    box = s.wait_window("Error", cls="TMessageForm", pid=page.pid, what="the refusal")
    s.screenshot("too-long")
    # The path is broken over lines to fit the screen; every character is there.
    expected = ("The directory:\r\n\r\n'%s'\r\n\r\nis too long for the files of this program.  Please choose a "
                "directory with a shorter path." % dest).replace("\r\n", "")
    texts = [t.replace("\r\n", "") for t in s.window(box.hwnd).child_texts()]
    check(expected in texts, "the refusal reads %r" % texts)
    left, _, right, _ = box.rect
    check(left >= 0 and right <= 1024, "the refusal is wider than the screen: %r" % (box.rect,))
    s.click(box, "OK")
    check(not os.path.exists(s.path(dest + "\\DLL")), "subdirectories made below a refused destination")
    exit_setup(s, setup, page)
    expect_machine_as_before(s, before, "the refused destination")


@scenario("full-drive-is-rolled-back", timeout=180)
def full_drive(s):
    """Drive E: is a 3 MB tmpfs; the payload does not fit."""
    with s.small_drive("e", "3m") as mount:
        files = {"SMALL.TXT": b"fits\r\n" * 100, "BIG.BIN": os.urandom(5 << 20), "LATER.TXT": b"never\r\n"}
        s.make_installer("C:\\e2e\\SETUP.EXE", files=files)
        before = s.snapshot()
        setup = s.run_setup()
        page = s.wait_window(PAGES[0], timeout=30)
        destination_via_browse(s, page, "E:\\Velto")
        s.click(page, "&Next >")
        page = s.wait_window(PAGES[1], pid=page.pid)
        s.click(page, "&Next >")
        page = s.wait_window(PAGES[2], pid=page.pid)
        s.click(page, "&Next >")
        install.expect_box_then_nothing_left(s, setup, page.pid, "BlockWrite failed.", before, "the full drive")
        check_equal(os.listdir(mount), [], "drive E: after the rollback")
        check_equal(journals(s), [], "setup's journal after the full drive")


@scenario("files-held-open-by-another-program", timeout=300)
def files_held_open(s):
    files = s.sample_files()
    s.make_installer("C:\\e2e\\SETUP.EXE", files=files)
    # Extraction meets a file of the user's that another program holds
    # open: it cannot be kept aside, setup stops and it stays untouched.
    readme = DEST + "\\README.TXT"
    os.makedirs(s.path(DEST))
    with open(s.path(readme), "wb") as f:
        f.write(b"open elsewhere\r\n")
    before = s.snapshot()
    s.probe.ask("hold " + readme)
    setup, pid, page = install.walk_to_install(s)
    s.click(page, "&Next >")
    install.expect_box_then_nothing_left(s, setup, pid, "File in use.", before, "the file held during extraction")
    s.probe.ask("release")
    with open(s.path(readme), "rb") as f:
        check_equal(f.read(), b"open elsewhere\r\n", "the held README.TXT")
    os.remove(s.path(readme))
    os.rmdir(s.path(DEST))

    # The uninstaller meets an installed file held open: it names it.
    pristine = s.snapshot()
    dest = uninstall.install_sample(s, start_product=False)
    s.probe.ask("hold %s\\VELTO.DOC" % dest)
    program = s.run(dest + "\\UNINST.EXE")
    s.click(uninstall.confirm_dialog(s), "&Yes")
    box = s.wait_window("Warning", cls="TMessageForm", timeout=60, what="the list of what was not removed")
    s.screenshot("not-removed")
    s.expect_text(box, "Setup could not remove these items:\r\n\r\n'%s\\VELTO.DOC'\r\n\r\nThey may be in use by another "
                       "program.  You can delete them yourself." % dest)
    s.click(box, "OK")
    check_equal(s.wait_exit(program, 30), 0, "exit code of the uninstaller")
    s.wait_until(lambda: not os.path.exists(s.path(dest + "\\UNINST.EXE")) and not uninstall.batch_files(s),
                 uninstall.BATCH_SECONDS, "the batch file's work")
    s.probe.ask("release")
    check_equal(sorted(os.listdir(s.path(dest))), ["VELTO.DOC"], "what the uninstaller left")
    os.remove(s.path(dest + "\\VELTO.DOC"))
    os.rmdir(s.path(dest))
    expect_machine_as_before(s, pristine, "install and uninstall beside a held file")


def journal_entry(kind, path, root=0, kept=b""):
    """One entry of setup's journal (docs/FORMATS.md)."""
    raw = path.encode("cp1252")
    body = struct.pack("<BB", kind, len(raw)) + raw.ljust(255, b"\0") + b"\0" * 3 + struct.pack("<I", root) + kept
    return struct.pack("<I", len(body)) + body + struct.pack("<I", crc32(body))


@scenario("forged-journal-is-not-replayed")
def forged_journal(s):
    """A journal that another program of the user wrote into the temporary
    folder, naming a file, a folder, a key and a kept copy that no
    installation makes: the installer, which runs with administrator rights,
    acts on none of it. Under /S it ends with a failure code."""
    s.make_installer("C:\\e2e\\SETUP.EXE", files={"VELTO.EXE": b"MZ" + b"\0" * 100})
    for name in ("victim.txt", "victim2.txt"):
        with open(s.path("C:\\" + name), "wb") as f:
            f.write(b"the user's own")
    os.makedirs(s.path("C:\\VictimDir"))
    uninstall.wine_tool(s, "reg", "add", "HKLM\\Software\\VictimKey", "/v", "Data", "/d", "mine", "/f")
    folder = os.path.join(uninstall.temp_folder(s)[0], "VELTOSETUP")
    os.makedirs(folder)
    with open(os.path.join(folder, JOURNAL), "wb") as f:
        f.write(b"VLTJRNL1" + journal_entry(0, "C:\\VictimDir") + journal_entry(1, "C:\\victim.txt") +
                journal_entry(2, "Software\\VictimKey", 0x80000002) +
                journal_entry(1, "C:\\e2e\\SETUP.EXE", kept=b"C:\\victim2.txt"))
    before = s.snapshot()
    check_equal(s.wait_exit(s.run("C:\\e2e\\SETUP.EXE", ["/S", "/LOG=C:\\e2e\\forged.log"]), 60), 2,
                "exit code of SETUP.EXE /S")
    with open(s.path("C:\\e2e\\forged.log"), "rb") as f:
        text = f.read().decode("cp1252")
    os.remove(s.path("C:\\e2e\\forged.log"))
    check("Setup: Setup found the log of an interrupted installation" in text and "Exit code 2: refused" in text,
          "log of the refused journal: %r" % text)
    expect_machine_as_before(s, before, "a forged journal")


# ---------------------------------------------------------------- a kill at every change point

ENDED_AT_POINT = 75  # the exit code of setup-points.exe ended at SETUP_END_AT
REFUSED = 2  # the exit code of a silent run refused before any change
ROLLBACK_INCOMPLETE = 3  # ... of one whose undo could not put a replaced file back
REFUSED_DEST = "Q:\\Velto"  # no such drive: refused after the start-up recovery, before any change


def sweep_step():
    """Every point with SETUP_SWEEP=full; every third one in `make test`."""
    return 1 if os.environ.get("SETUP_SWEEP") == "full" else 3


def silent(s, program, args, end_at=None, timeout=120):
    env = {"SETUP_END_AT": str(end_at)} if end_at else None
    return s.wait_exit(s.run(program, args, env=env), timeout)


def restart(s, what):
    """The installer started again, as after a kill: it recovers what it
    finds, then its destination is refused before it changes anything."""
    check_equal(silent(s, "C:\\e2e\\SETUP.EXE", ["/S", "/D=" + REFUSED_DEST]), REFUSED,
                "exit code of the restart " + what)
    check_equal(journals(s), [], "setup's journal after the restart " + what)


def state(s):
    return s.snapshot(), file_hashes(s, DEST) if os.path.exists(s.path(DEST)) else {}


def uninstall_silently(s):
    check_equal(silent(s, DEST + "\\UNINST.EXE", ["/S"]), 0, "exit code of UNINST.EXE /S")
    s.wait_until(lambda: not os.path.exists(s.path(DEST)) and not uninstall.batch_files(s), uninstall.BATCH_SECONDS,
                 "removal of the destination and the batch file")


def sweep(s, name, run, settle, first=1):
    """Ends `run` at point first, first + step, ... until it runs to its end;
    `settle(n)` checks the machine after each. Returns the points swept."""
    swept = []
    n = first
    while True:
        code = run(n)
        if code != ENDED_AT_POINT:
            print("sweep %s: points %s swept; the run ends with %d, having fewer than %d" % (name, swept, code, n))
            return code
        settle(n)
        swept.append(n)
        n += sweep_step()


@scenario("killed-at-every-change-point", timeout=1800)
def killed_everywhere(s):
    """The test build of the program ends itself at each point where it has
    just changed the machine (runtime/change_point.h): in an installation
    and its rollback, in a reinstall over an earlier version up to its
    Finish, and in an uninstall up to the start of its batch file. After
    each, the next start leaves the whole installation or the machine as
    before, never a mix and never debris."""
    stub = s.config.setup_points_exe
    newer = s.sample_files()
    earlier = dict(newer, **{"VELTO.DOC": b"The earlier manual.\r\n" * 7, "OLD.TXT": b"earlier only\r\n"})
    s.make_installer("C:\\e2e\\EARLIER.EXE", files=earlier, stub=stub)
    s.make_installer("C:\\e2e\\SETUP.EXE", files=newer, stub=stub)
    pristine = s.snapshot()

    # An installation that fails at its last file (a folder stands at its
    # path) and rolls back: ended anywhere, the machine is as before.
    blocker = os.path.join(s.path(DEST), "DLL", "WSOCK32.DLL")
    os.makedirs(blocker)
    blocked = s.snapshot()

    def settle_blocked(n):
        restart(s, "after point %d of a failing install" % n)
        s.expect_same(blocked, s.snapshot(), "a failing install ended at point %d" % n)

    code = sweep(s, "rollback", lambda n: silent(s, "C:\\e2e\\SETUP.EXE", ["/S"], n), settle_blocked)
    check_equal(code, 1, "exit code of the failing install")
    s.expect_same(blocked, s.snapshot(), "the failing install's own rollback")
    os.rmdir(blocker)
    os.rmdir(os.path.dirname(blocker))
    os.rmdir(s.path(DEST))

    # A reinstall over an earlier version, up to and through its Finish:
    # the earlier installation or the newer one, whole.
    def install_earlier():
        check_equal(silent(s, "C:\\e2e\\EARLIER.EXE", ["/S"]), 0, "exit code of the earlier install")

    install_earlier()
    earlier_state = state(s)
    check_equal(silent(s, "C:\\e2e\\SETUP.EXE", ["/S"]), 0, "exit code of the reinstall")
    newer_state = state(s)
    uninstall_silently(s)
    expect_machine_as_before(s, pristine, "a reinstall and its uninstall")
    install_earlier()
    check_equal(state(s), earlier_state, "the earlier installation made again")

    # A replaced file that cannot be put back (another program holds the new
    # one): the restart says so with its own exit code and keeps the
    # journal; the next one, once the file is free, puts it back.
    doc, old_size = DEST + "\\VELTO.DOC", len(earlier["VELTO.DOC"])
    for n in range(1, 20):
        check_equal(silent(s, "C:\\e2e\\SETUP.EXE", ["/S"], n), ENDED_AT_POINT, "a reinstall ended at point %d" % n)
        kept = [f for f in os.listdir(s.path(DEST)) if f.upper().startswith("~KEPT")]
        if os.path.exists(s.path(doc)) and os.path.getsize(s.path(doc)) != old_size and any(
                os.path.getsize(os.path.join(s.path(DEST), f)) == old_size for f in kept):
            break
        restart(s, "after point %d of a reinstall" % n)
    s.probe.ask("hold " + doc)
    check_equal(silent(s, "C:\\e2e\\SETUP.EXE", ["/S", "/D=" + REFUSED_DEST]), ROLLBACK_INCOMPLETE,
                "exit code of a restart that cannot put VELTO.DOC back")
    check(journals(s), "the journal is gone though VELTO.DOC was not put back")
    s.probe.ask("release")
    restart(s, "once VELTO.DOC is free")
    check_equal(state(s), earlier_state, "the earlier installation after VELTO.DOC was put back")
    finished = []

    def settle_reinstall(n):
        restart(s, "after point %d of a reinstall" % n)
        now = state(s)
        if now == newer_state:
            finished.append(n)
            uninstall_silently(s)
            install_earlier()
        else:
            s.expect_same(earlier_state[0], now[0], "a reinstall ended at point %d" % n)
            check_equal(now[1], earlier_state[1], "the earlier files after a reinstall ended at point %d" % n)

    code = sweep(s, "reinstall", lambda n: silent(s, "C:\\e2e\\SETUP.EXE", ["/S"], n), settle_reinstall)
    check_equal(code, 0, "exit code of the reinstall")
    check(finished, "no point of the reinstall's Finish was swept")
    print("sweep reinstall: the newer installation, whole, after points %s; the earlier one after the others" % finished)
    check_equal(state(s), newer_state, "the reinstall run to its end")

    # An uninstall ended anywhere: UNINST.EXE run again finishes it, and no
    # batch file of the first run is left.
    def settle_uninstall(n):
        check_equal(silent(s, DEST + "\\UNINST.EXE", ["/S"]), 0, "exit code of UNINST.EXE after point %d" % n)
        s.wait_until(lambda: not os.path.exists(s.path(DEST)) and not uninstall.batch_files(s),
                     uninstall.BATCH_SECONDS, "the end of the uninstall after point %d" % n)
        expect_machine_as_before(s, pristine, "an uninstall ended at point %d and run again" % n)
        check_equal(silent(s, "C:\\e2e\\SETUP.EXE", ["/S"]), 0, "exit code of the install")

    code = sweep(s, "uninstall", lambda n: silent(s, DEST + "\\UNINST.EXE", ["/S"], n), settle_uninstall)
    check_equal(code, 0, "exit code of the uninstall")
    s.wait_until(lambda: not os.path.exists(s.path(DEST)) and not uninstall.batch_files(s), uninstall.BATCH_SECONDS,
                 "removal of the destination and the batch file")
    expect_machine_as_before(s, pristine, "the sweep")
