"""Deployment without the wizard: "/S" installs with the defaults (or the
destination of "/D=") and UNINST.EXE "/S" removes the installation, with no
window at all and an exit code that says how it ended."""

import os
import time

from e2elib import check, check_equal, scenario, scenario_module

install = scenario_module("install")
uninstall = scenario_module("uninstall")
reliability = scenario_module("reliability")


def run_without_windows(s, program, timeout=120):
    """Waits for the program's end; no window of it may show meanwhile."""
    deadline = time.monotonic() + timeout
    while program.running():
        shown = [str(w) for w in s.new_windows()]
        check(not shown, "%s showed a window: %s" % (program.name, "; ".join(shown)))
        check(time.monotonic() < deadline, "%s did not end within %ss" % (program.name, timeout))
        time.sleep(0.05)
    return program.exit_code(10)


@scenario("silent-install-and-uninstall", timeout=180)
def silent_install_and_uninstall(s):
    files = s.sample_files()
    s.make_installer("C:\\e2e\\SETUP.EXE", files=files)
    before = s.snapshot()
    check_equal(run_without_windows(s, s.run("C:\\e2e\\SETUP.EXE", ["/S"])), 0, "exit code of SETUP.EXE /S")
    folder = install.check_installed(s, files, "Velto")
    install.check_uninstaller(s, files, folder)
    check(not os.path.exists(os.path.join(s.path(install.DEST), "VELTO.INI")), "VELTO.EXE was started")
    check_equal(reliability.journals(s), [], "setup's journal after a silent install")

    uninstaller = s.run(install.DEST + "\\UNINST.EXE", ["/S"])
    check_equal(run_without_windows(s, uninstaller), 0, "exit code of UNINST.EXE /S")
    s.wait_until(lambda: not os.path.exists(s.path(install.DEST)) and not uninstall.batch_files(s),
                 uninstall.BATCH_SECONDS, "removal of the destination and the batch file")
    s.expect_same(before, s.snapshot(), "silent install and uninstall")


@scenario("silent-install-chosen-destination-and-failures", timeout=180)
def silent_destination_and_failures(s):
    files = {"VELTO.EXE": b"MZ" + b"\0" * 100, "VELTO.DOC": b"doc\r\n" * 50}
    path = s.make_installer("C:\\e2e\\SETUP.EXE", files=files)
    before = s.snapshot()
    # "/D=" as the last argument, spaces and all.
    dest = "C:\\Deploy Here\\Velto"
    check_equal(run_without_windows(s, s.run("C:\\e2e\\SETUP.EXE", ["/S", "/D=" + dest])), 0,
                "exit code with /D=")
    for name, data in files.items():
        with open(s.path(dest + "\\" + name), "rb") as f:
            check(f.read() == data, "%s not installed in %s" % (name, dest))
    uninstaller = s.run(dest + "\\UNINST.EXE", ["/S"])
    check_equal(run_without_windows(s, uninstaller), 0, "exit code of UNINST.EXE /S")
    s.wait_until(lambda: not os.path.exists(s.path(dest)), uninstall.BATCH_SECONDS, "removal of " + dest)
    s.expect_same(before, s.snapshot(), "silent install into a chosen destination")

    # A damaged installer, found out half-way through the files: exit code
    # 1, everything rolled back, no window.
    def damage_last_stream(data):
        at = len(data) - install.TAIL_SIZE - len(files) * install.RECORD - 3
        return data[:at] + bytes([data[at] ^ 0x55]) + data[at + 1:]
    s.rewrite(path, damage_last_stream)
    check_equal(run_without_windows(s, s.run("C:\\e2e\\SETUP.EXE", ["/S"])), 1, "exit code of a damaged /S")
    reliability.expect_machine_as_before(s, before, "a damaged silent install")
