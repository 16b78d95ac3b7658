"""What a vendor ships and an administrator deploys: a signed installer, and
deployment without the wizard: "/S" installs with the defaults (or the
destination of "/D=") and UNINST.EXE "/S" removes the installation, with no
window at all and an exit code that says how it ended."""

import os
import shutil
import struct
import subprocess
import time

from e2elib import PRODUCT_TITLE, check, check_equal, scenario, scenario_module

install = scenario_module("install")
uninstall = scenario_module("uninstall")
reliability = scenario_module("reliability")
startup = scenario_module("startup")


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


def sign(s, path):
    """Signs an installer as a vendor would, with a throwaway certificate;
    returns the signed file's bytes."""
    work = os.path.join(s.prefix, "e2e-signing")
    os.makedirs(work, exist_ok=True)
    out = subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", "key.pem", "-out",
                          "cert.pem", "-days", "2", "-subj", "/CN=Velto Test Vendor"], cwd=work, capture_output=True,
                         text=True, timeout=60)
    check(out.returncode == 0, "openssl: %s" % out.stderr[-300:])
    out = subprocess.run(["osslsigncode", "sign", "-certs", "cert.pem", "-key", "key.pem", "-n", PRODUCT_TITLE,
                          "-in", path, "-out", "signed.exe"], cwd=work, capture_output=True, text=True, timeout=60)
    check(out.returncode == 0, "osslsigncode sign: %s %s" % (out.stdout[-300:], out.stderr[-300:]))
    out = subprocess.run(["osslsigncode", "verify", "-CAfile", "cert.pem", "-in", "signed.exe"], cwd=work,
                         capture_output=True, text=True, timeout=60)
    check(out.returncode == 0, "osslsigncode verify: %s" % out.stdout[-300:])
    os.replace(os.path.join(work, "signed.exe"), path)
    with open(path, "rb") as f:
        return f.read()


def security_directory(image):
    """(offset, size) of the certificate table a PE image names (PE32 or
    PE32+, whose directories start 16 bytes later)."""
    pe = struct.unpack("<I", image[0x3C:0x40])[0]
    at = pe + 24 + (144 if struct.unpack("<H", image[pe + 24:pe + 26])[0] == 0x20B else 128)
    return struct.unpack("<II", image[at:at + 8])


@scenario("signed-installer-installs-and-uninstalls", timeout=240)
def signed_installer(s):
    files = s.sample_files()
    path = s.make_installer("C:\\e2e\\SETUP.EXE", files=files)
    unsigned = open(path, "rb").read()
    signed = sign(s, path)
    check(len(signed) > len(unsigned), "the installer was not signed")
    check_equal(security_directory(signed)[0], len(unsigned), "certificate table right after the installer's data")
    before = s.snapshot()
    setup, pid, page = install.walk_to_install(s)
    s.click(page, "&Next >")
    s.wait_window("Setup Complete", pid=pid, timeout=60)
    install.check_installed(s, files, "Velto")
    install.finish(s, setup, pid, launch=False)
    # UNINST.EXE: a clean unsigned program, its records intact.
    with open(os.path.join(s.path(install.DEST), "UNINST.EXE"), "rb") as f:
        uninst = f.read()
    image_size, _, _ = install.parse_uninstaller(uninst)
    check_equal(security_directory(uninst), (0, 0), "certificate table entry of UNINST.EXE")
    check(b"Velto Test Vendor" not in uninst, "UNINST.EXE carries the certificate")
    # The image is the installer's as it was packed, but for the header's
    # checksum, cleared with the certificate table entry.
    pe = struct.unpack("<I", uninst[0x3C:0x40])[0]
    checksum = pe + 24 + 64
    check_equal(uninst[checksum:checksum + 4], b"\0\0\0\0", "header checksum of UNINST.EXE")
    masked = bytearray(unsigned[:image_size])
    masked[checksum:checksum + 4] = b"\0\0\0\0"
    check(uninst[:image_size] == bytes(masked), "UNINST.EXE image differs from the unsigned installer's")
    # The packaging tool reads the real uninstaller of this build.
    out = subprocess.run([s.config.mksetup, "--dump", os.path.join(s.path(install.DEST), "UNINST.EXE")],
                         capture_output=True, text=True, timeout=60)
    check(out.returncode == 0 and "\\VELTO.EXE" in out.stdout,
          "mksetup --dump UNINST.EXE: %s%s" % (out.stdout, out.stderr))
    uninstall.uninstall_installed(s, install.DEST, "&Yes")
    s.wait_until(lambda: not os.path.exists(s.path(install.DEST)) and not uninstall.batch_files(s),
                 uninstall.BATCH_SECONDS, "removal of the destination and the batch file")
    reliability.expect_machine_as_before(s, before, "a signed installer's install and uninstall")


@scenario("other-architecture-installation-refused", timeout=120)
def other_architecture_refused(s):
    """On 64-bit Windows the i686 and the x86-64 setup program keep their
    uninstall entries in the two registry views but share the program
    folder and its shortcuts: an installation of the other one is refused
    before anything changes, silent or not. A win32 prefix has one view:
    there the entry found is the program's own, and it installs over it."""
    files = {"VELTO.EXE": b"MZ" + b"\0" * 100, "VELTO.DOC": b"doc\r\n"}
    s.make_installer("C:\\e2e\\SETUP.EXE", files=files)
    other = "C:\\Program Files (x86)\\Velto"
    key = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Velto"
    if os.environ.get("WP_ARCH") != "x86-64":
        uninstall.wine_tool(s, "reg", "add", key, "/v", "UninstallString", "/d", other + "\\UNINST.EXE", "/f")
        check_equal(run_without_windows(s, s.run("C:\\e2e\\SETUP.EXE", ["/S"])), 0, "exit code over its own entry")
        return
    uninstall.wine_tool(s, "reg", "add", key, "/v", "UninstallString", "/d", other + "\\UNINST.EXE", "/reg:32", "/f")
    before = s.snapshot()
    check_equal(run_without_windows(s, s.run("C:\\e2e\\SETUP.EXE", ["/S"])), 1, "exit code of SETUP.EXE /S")
    reliability.expect_machine_as_before(s, before, "a silent install over the 32-bit one")
    startup.expect_single_error_box(s, s.run_setup(), "An installation made by the 32-bit setup program is in '%s'."
                                    "\rUninstall it first, then run Setup again." % other)
    reliability.expect_machine_as_before(s, before, "an install over the 32-bit one")


# DLLs a program may load by name besides those it imports: the network
# functions the setup program once imported, two that system DLLs load on
# its behalf, and the common controls.
PLANTED = ("mpr", "version", "uxtheme", "comctl32")


def plant_dlls(s, folder):
    """Lays the test DLL into a folder under each name of PLANTED."""
    planted = os.path.join(s.config.win, "tests", "e2e", "planted.dll")
    for name in PLANTED:
        shutil.copy(planted, os.path.join(s.path(folder), name + ".dll"))


def markers(s, folder):
    """The marker files of the planted DLLs that ran."""
    return sorted(n for n in os.listdir(s.path(folder)) if n.endswith(".ran"))


@scenario("planted-dlls-do-not-run", timeout=240)
def planted_dlls(s):
    """A DLL named like a system DLL beside SETUP.EXE (a download folder) or
    beside UNINST.EXE never runs inside them, even with Wine told to prefer
    such a DLL to its own."""
    files = s.sample_files()
    s.make_installer("C:\\e2e\\SETUP.EXE", files=files)
    plant_dlls(s, "C:\\e2e")
    s.env = dict(s.env, WINEDLLOVERRIDES=s.env["WINEDLLOVERRIDES"] + ";" + ",".join(PLANTED) + "=n,b")
    # What Wine itself loads from a program's folder in every program, before
    # the program's first instruction: the most any program can achieve.
    shutil.copy(s.config.winprobe_exe, s.work)

    def ran_in(program, args):
        check_equal(s.run(program, args).exit_code(120), 0, "exit code of %s %s" % (program, " ".join(args)))
        found = markers(s, "C:\\e2e")
        for name in found:
            os.remove(os.path.join(s.work, name))
        return found
    anyway = ran_in("C:\\e2e\\winprobe.exe", ["cwd"])
    check("mpr.dll.ran" not in anyway and "comctl32.dll.ran" not in anyway, "Wine loads %r anyway" % anyway)
    # The DLLs do run in a program that loads by name from its own folder.
    check("mpr.dll.ran" in ran_in("C:\\e2e\\winprobe.exe", ["load", "mpr.dll"]),
          "the planted mpr.dll did not run in winprobe")

    check_equal(run_without_windows(s, s.run("C:\\e2e\\SETUP.EXE", ["/S"])), 0, "exit code of SETUP.EXE /S")
    check_equal(markers(s, "C:\\e2e"), anyway, "planted DLLs that ran inside SETUP.EXE /S")
    folder = install.check_installed(s, files, "Velto")
    install.check_uninstaller(s, files, folder)

    plant_dlls(s, install.DEST)
    uninstaller = s.run(install.DEST + "\\UNINST.EXE", ["/S"])
    check_equal(run_without_windows(s, uninstaller), 0, "exit code of UNINST.EXE /S")
    check_equal(markers(s, install.DEST), anyway, "planted DLLs that ran inside UNINST.EXE /S")
    s.wait_until(lambda: not os.path.exists(s.path(install.DEST + "\\UNINST.EXE")), uninstall.BATCH_SECONDS,
                 "removal of UNINST.EXE")
    check_equal(markers(s, install.DEST), anyway, "planted DLLs that ran while UNINST.EXE was removed")
