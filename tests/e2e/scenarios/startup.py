"""Start-up of the setup program: the harness itself, damaged installers,
the backdrop, closing it, and the single-instance guard."""

import os
import shutil
import time

from e2elib import (PRODUCT_TITLE, check, check_equal, scenario, scenario_module, sha256_file, with_signature,
                    with_trailer_checksum_broken)

FIRST_PAGE = "Choose Destination Location"
SCREEN = [0, 0, 1024, 768]


@scenario("harness")
def harness(s):
    """Programs start with a current directory on drive C: and their exit
    code reaches the driver; the probe reads windows of the prefix."""
    shutil.copy(s.config.winprobe_exe, s.work)
    probe = s.run("C:\\e2e\\winprobe.exe", ["cwd"])
    check_equal(s.wait_exit(probe), 0, "exit code of a succeeding program")
    with open(probe.log_path, "rb") as f:
        check(b'"cwd":"C:\\\\e2e"' in f.read(), "current directory is not C:\\e2e")
    failing = s.run("C:\\e2e\\winprobe.exe", ["no-such-command"])
    check_equal(s.wait_exit(failing), 1, "exit code of a failing program")
    decoy = s.run("C:\\e2e-probe\\winprobe.exe", ["decoy", "Decoy"])
    window = s.wait_window("Decoy", cls="WinProbeDecoy")
    s.screenshot("decoy")
    s.close(window)
    check_equal(s.wait_exit(decoy), 0, "exit code of the closed decoy window")


def expect_single_error_box(s, program, text):
    """The error box is the only window the program shows; after OK the
    program ends with exit code 0."""
    box = s.wait_window("Setup", cls="#32770", what="error box 'Setup'")
    s.screenshot("error-box")
    s.expect_text(box, text)
    buttons = [b["text"] for b in s.window(box.hwnd).buttons()]
    check_equal(buttons, ["OK"], "buttons of the error box")
    others = [w for w in s.new_windows() if w.hwnd != box.hwnd]
    check(not others, "other windows beside the error box: %s" % "; ".join(map(str, others)))
    s.click(box, "OK")
    check_equal(s.wait_exit(program), 0, "exit code after the error box")
    seen = [w for h, w in s.seen.items() if h not in s.baseline and h != box.hwnd]
    check(not seen, "windows shown beside the error box: %s" % "; ".join(map(str, seen)))


DAMAGED = [
    ("corrupt-trailer-checksum", with_trailer_checksum_broken),
    ("corrupt-signature-lowercase", lambda data: with_signature(data, b"ins")),
    ("corrupt-signature-other", lambda data: with_signature(data, b"XYZ")),
]


def damaged_installer_scenario(name, damage):
    @scenario(name)
    def run(s):
        path = s.make_installer("C:\\e2e\\SETUP.EXE")
        s.rewrite(path, damage)
        digest = sha256_file(path)
        setup = s.run_setup()
        expect_single_error_box(s, setup, "Setup Corrupt..")
        check_equal(sha256_file(path), digest, "installer file after the run")
        # Under /S: no box, refused before any change, the box's text logged.
        silent = s.run("C:\\e2e\\SETUP.EXE", ["/S", "/LOG=C:\\e2e\\corrupt.log"])
        check_equal(s.wait_exit(silent, 60), 2, "exit code of SETUP.EXE /S")
        check(not s.new_windows(), "windows of the silent run: %s" % s.new_windows())
        with open(s.path("C:\\e2e\\corrupt.log"), "rb") as f:
            text = f.read().decode("cp1252")
        check("  Setup: Setup Corrupt..\r\n" in text and "Exit code 2: refused" in text, "log: %r" % text)


for _name, _damage in DAMAGED:
    damaged_installer_scenario(_name, _damage)


def mul_div(a, b, c):
    """The Windows MulDiv for non-negative values: rounded to nearest."""
    return (a * b + c // 2) // c


def expected_band_blue(height):
    """Blue value of each client row of the backdrop at this height."""
    blue = [None] * height
    for i in range(256):
        for y in range(mul_div(i, height, 256), mul_div(i + 1, height, 256)):
            blue[y] = 255 - i
    return blue


def start_installer(s, name="C:\\e2e\\SETUP.EXE"):
    """Starts a valid installer and waits for the backdrop and first page."""
    setup = s.run_setup(name)
    page = s.wait_window(FIRST_PAGE, timeout=30)
    backdrop = s.wait_window("Setup", pid=page.pid, predicate=lambda w: w.cls != "#32770", what="backdrop")
    return setup, backdrop, page


@scenario("backdrop-and-first-page")
def backdrop_and_first_page(s):
    s.make_installer("C:\\e2e\\SETUP.EXE")
    setup, backdrop, page = start_installer(s)
    check_equal(backdrop.rect, SCREEN, "backdrop's outer rectangle")
    check(setup.running(), "setup ended while its first page is shown")
    shot = s.screenshot("backdrop")
    left, top, right, bottom = backdrop.client
    height = bottom - top
    check(0 < height < 768 and right - left > 0, "backdrop's client area %r" % (backdrop.client,))

    # Every row of a column left of the title and the centred page: the
    # band colours of this client height (three rows each near 768).
    x = left + 5
    wrong = []
    for y, blue in enumerate(expected_band_blue(height)):
        pixel = shot.pixel(x, top + y)
        if pixel != (0, 0, blue):
            wrong.append("row %d: %r instead of %r" % (y, pixel, (0, 0, blue)))
    check(not wrong, "gradient of the backdrop (client height %d): %s" % (height, "; ".join(wrong[:8])))
    check_equal([shot.pixel(x, top + y) for y in (0, 1, 2)], [(0, 0, 255)] * 3, "first three rows")
    check_equal([shot.pixel(x, bottom - 1 - y) for y in (0, 1, 2)], [(0, 0, 0)] * 3, "last three rows")

    # The title: white from (20, 20), over a black shadow 5 pixels to the
    # right and down; both are the same glyphs, so the shadow's far edges
    # are the white text's plus 5.
    region = (left + 10, top + 10, min(right, left + 1000), top + 100)
    white = shot.find((255, 255, 255), *region)
    black = shot.find((0, 0, 0), *region)
    check(white is not None, "no white title pixels near (20, 20)")
    check(black is not None, "no black shadow pixels near (25, 25)")
    check(20 <= white[0] - left <= 32 and 20 <= white[1] - top <= 45,
          "white title starts at %r, not near (20, 20)" % ((white[0] - left, white[1] - top),))
    check_equal((black[2] - white[2], black[3] - white[3]), (5, 5), "shadow offset at the far edges")
    check(white[2] - white[0] > 100, "title too narrow for %r: %r" % (PRODUCT_TITLE, white))

    # The page is over the backdrop, centred.
    pl, pt, pr, pb = page.rect
    check_equal(((1024 - (pr - pl)) // 2, (768 - (pb - pt)) // 2), (pl, pt), "first page's position")
    check(page.visible and page.pid == backdrop.pid, "first page not shown by the setup process")


@scenario("close-backdrop-resume-then-exit")
def close_backdrop(s):
    s.make_installer("C:\\e2e\\SETUP.EXE")
    setup, backdrop, page = start_installer(s)
    before = s.snapshot()

    # "&Resume" and the Esc key both keep everything as it was.
    for way in ("button", "escape"):
        s.close(backdrop)
        dialog = s.wait_window("Exit Setup", pid=backdrop.pid)
        s.screenshot("exit-setup-%s" % way)
        s.expect_text(dialog, "E&xit Setup")
        if way == "button":
            s.click(dialog, "&Resume")
        else:
            s.wait_until(lambda: (s.foreground() or {}).get("hwnd") == dialog.hwnd, 10, "Exit Setup in front")
            s.press("Escape")
        s.wait_gone(dialog)
        s.screenshot("resumed-%s" % way)
        check(setup.running(), "setup ended after resuming by %s" % way)
        check(any(w.hwnd == backdrop.hwnd for w in s.windows()), "backdrop gone after resuming by %s" % way)
        check(any(w.hwnd == page.hwnd for w in s.windows()), "first page gone after resuming by %s" % way)
        s.expect_same(before, s.snapshot(), "resuming by " + way)

    s.close(backdrop)
    dialog = s.wait_window("Exit Setup", pid=backdrop.pid)
    s.click(dialog, "E&xit Setup")
    check_equal(s.wait_exit(setup), 0, "exit code after Exit Setup")
    s.screenshot("ended")
    left = [w for w in s.windows() if w.pid == backdrop.pid]
    check(not left, "windows left after the end: %s" % "; ".join(map(str, left)))
    s.expect_same(before, s.snapshot(), "Exit Setup")


def expect_ends_silently(s, program, known_pids, what, timeout=30, exit_code=0):
    """The program ends with `exit_code` without showing a window: no
    visible window of an unknown process appears while it runs."""
    deadline = time.monotonic() + timeout
    while program.running():
        strangers = [w for w in s.new_windows() if w.pid not in known_pids]
        check(not strangers, "%s showed a window: %s" % (what, "; ".join(map(str, strangers))))
        check(time.monotonic() < deadline, "%s still runs after %ss" % (what, timeout))
        time.sleep(0.1)
    check_equal(program.exit_code(5), exit_code, "exit code of " + what)


@scenario("single-instance")
def single_instance(s):
    s.make_installer("C:\\e2e\\SETUP.EXE")
    first, backdrop, page = start_installer(s)
    decoy = s.run("C:\\e2e-probe\\winprobe.exe", ["decoy", "Decoy"])
    decoy_window = s.wait_window("Decoy", cls="WinProbeDecoy")
    s.wait_until(lambda: (s.foreground() or {}).get("hwnd") == decoy_window.hwnd, 10, "decoy in front")
    known = {backdrop.pid, decoy_window.pid}

    # A second copy ends at once and brings the first to the front.
    second = s.run_setup("C:\\e2e\\SETUP.EXE")
    expect_ends_silently(s, second, known, "a second copy")
    s.wait_until(lambda: (s.foreground() or {}).get("pid") == backdrop.pid, 10, "first copy in front")
    s.screenshot("first-in-front")
    # A silent one has installed nothing either, and says so with the code
    # deployment tools retry on, 1618; its log says why. Wine hands the
    # code's low byte on to the host (82).
    expect_ends_silently(s, s.run("C:\\e2e\\SETUP.EXE", ["/S", "/LOG=C:\\e2e\\second.log"]), known,
                         "a second copy with /S", exit_code=1618 & 0xFF)
    with open(s.path("C:\\e2e\\second.log"), "rb") as f:
        text = f.read().decode("cp1252")
    check("Another copy of Setup is running.\r\n" in text and text.endswith(
        "Exit code 1618: another copy of Setup is running; nothing was changed\r\n"), "log of the second copy: %r" % text)

    # An uninstaller (any letter case) beside exactly one instance goes on.
    with open(s.path("C:\\e2e\\SETUP.EXE"), "rb") as f:
        image = f.read()
    for folder, name in (("u1", "uninst.exe"), ("u2", "UNINST.EXE")):
        target = s.path("C:\\e2e\\%s\\%s" % (folder, name))
        os.makedirs(os.path.dirname(target))
        with open(target, "wb") as f:
            f.write(image)
    uninstaller = s.run("C:\\e2e\\u1\\uninst.exe")
    beside = s.wait_window(FIRST_PAGE, predicate=lambda w: w.pid not in known, timeout=30,
                           what="first page of the uninstaller beside one instance")
    s.screenshot("uninstaller-beside-one")
    check(uninstaller.running(), "the uninstaller beside one instance ended")
    known.add(beside.pid)

    # Beside two instances it ends, also under the name UNINST.EXE.
    third = s.run("C:\\e2e\\u2\\UNINST.EXE")
    expect_ends_silently(s, third, known, "an uninstaller beside two instances")
    check(first.running() and uninstaller.running(), "a running instance ended")
    s.close(decoy_window)
    s.wait_exit(decoy)


def set_screen_dpi(s, dpi):
    """The resolution Wine gives the screen to every process started from
    now on (read once per process, from the user's desktop settings)."""
    scenario_module("uninstall").wine_tool(s, "reg", "add", "HKCU\\Control Panel\\Desktop", "/v", "LogPixels",
                                           "/t", "REG_DWORD", "/d", str(dpi), "/f")


def size_of(rect):
    left, top, right, bottom = rect
    return (right - left, bottom - top)


@scenario("pages-and-boxes-at-144-and-192-dpi", timeout=240)
def high_dpi(s):
    """On a screen of 144 and of 192 pixels per inch every window is laid out
    larger by that over 96: the backdrop's title, a wizard page, a message
    box and a dialog, each with its text in a font of the same scale."""
    s.make_installer("C:\\e2e\\SETUP.EXE", files=s.sample_files())
    # Too long for "DLL\\WSOCK32.DLL" below it, and broken over lines in
    # the refusal's box.
    dest = "C:\\Velto"
    while len(dest) < 240:
        dest += "\\" + "L" * min(100, 240 - len(dest) - 1)
    for dpi in (144, 192):
        def scaled(v):
            return (v * dpi + 48) // 96
        set_screen_dpi(s, dpi)
        setup = s.run_setup()
        page = s.wait_window(FIRST_PAGE, timeout=30)
        backdrop = s.wait_window("Setup", pid=page.pid, predicate=lambda w: w.cls != "#32770", what="backdrop")
        check_equal(size_of(page.client), (scaled(336), scaled(280)), "first page's client area at %d dpi" % dpi)
        buttons = {b["text"]: b for b in page.buttons()}
        check_equal(size_of(buttons["&Next >"]["rect"]), (scaled(75), scaled(23)), "Next button at %d dpi" % dpi)
        shot = s.screenshot("first-page-%d-dpi" % dpi)

        # The title at the scaled place. (Its glyphs are smoothed at these
        # sizes, so the shadow's exact edges are not measured here.)
        left, top, right, _ = backdrop.client
        region = (left + 5, top + 5, min(right, left + 1000), top + scaled(100))
        white = shot.find((255, 255, 255), *region)
        check(white is not None, "no title near the top-left corner at %d dpi" % dpi)
        check(scaled(20) <= white[0] - left <= scaled(32) and scaled(20) <= white[1] - top <= scaled(45),
              "white title starts at %r at %d dpi" % ((white[0] - left, white[1] - top), dpi))
        # The title's letters are as high as 24 points at this resolution
        # (about a third of an inch), not those of 96 pixels per inch.
        check(white[3] - white[1] >= 24 * dpi // 72 * 55 // 100,
              "title only %d pixels high at %d dpi" % (white[3] - white[1], dpi))

        # A message box: its broken path fits the screen, its button scaled.
        scenario_module("reliability").destination_via_browse(s, page, dest)
        s.click(page, "&Next >")
        box = s.wait_window("Error", cls="TMessageForm", pid=page.pid, what="the refusal")
        s.screenshot("message-box-%d-dpi" % dpi)
        bl, _, br, _ = box.rect
        check(bl >= 0 and br <= 1024, "the box is wider than the screen at %d dpi: %r" % (dpi, box.rect))
        ok = [b for b in s.window(box.hwnd).buttons() if b["text"] == "OK"]
        check(ok and size_of(ok[0]["rect"]) == (scaled(75), scaled(25)), "OK button at %d dpi: %r" % (dpi, ok))
        s.click(box, "OK")

        # A dialog: "Exit Setup".
        s.click(page, "Cancel")
        dialog = s.wait_window("Exit Setup", pid=page.pid)
        check_equal(size_of(dialog.client), (scaled(320), scaled(176)), "Exit Setup's client area at %d dpi" % dpi)
        s.screenshot("exit-setup-%d-dpi" % dpi)
        s.click(dialog, "E&xit Setup")
        check_equal(s.wait_exit(setup, 60), 0, "exit code after Exit Setup at %d dpi" % dpi)
