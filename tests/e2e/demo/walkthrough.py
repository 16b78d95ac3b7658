"""The demo: the sample product's whole life on an Xvfb screen, one
screenshot per step. Run by `make demo` when there is no display."""

import os

from e2elib import check, scenario

DEST = "C:\\Program Files\\Velto"


def page(s, caption, shot):
    window = s.wait_window(caption, timeout=60)
    s.screenshot(shot)
    return window


@scenario("demo", timeout=300)
def demo(s):
    s.make_installer("C:\\demo\\VELTO-SETUP.EXE", files=s.sample_files())
    setup = s.run("C:\\demo\\VELTO-SETUP.EXE")
    s.click(page(s, "Choose Destination Location", "destination"), "&Next >")
    s.click(page(s, "Select Program Folder", "program-folder"), "&Next >")
    s.click(page(s, "Start Copying Files", "summary"), "&Next >")
    finish = page(s, "Setup Complete", "complete")
    s.click(finish, "Finish")
    velto = s.wait_window("Velto - Technology Demo", timeout=30)
    s.screenshot("product-running")
    s.wait_exit(setup, timeout=30)
    s.close(velto)

    uninstaller = s.run(DEST + "\\UNINST.EXE")
    confirm = s.wait_window("Confirm", timeout=30)
    s.screenshot("uninstall-confirm")
    s.click(confirm, "&Yes")
    s.wait_exit(uninstaller, timeout=60)
    s.wait_until(lambda: not _exists(s, DEST), 20, "removal of the destination")
    s.screenshot("uninstalled")
    check(not _exists(s, DEST), "the destination is still there")


def _exists(s, windows_path):
    return os.path.exists(s.path(windows_path))
