"""What a vendor ships and an administrator deploys: a signed installer, and
deployment without the wizard: "/S" installs with the defaults (or the
destination of "/D=") and UNINST.EXE "/S" removes the installation, with no
window at all and an exit code that says how it ended."""

import glob
import os
import shutil
import re
import struct
import subprocess
import time

import yaml

from e2elib import PRODUCT_TITLE, check, check_equal, scenario, scenario_module, wine_loader

install = scenario_module("install")
uninstall = scenario_module("uninstall")
reliability = scenario_module("reliability")
startup = scenario_module("startup")


# The exit codes of silent runs (the README's table).
SUCCESS, ROLLED_BACK, REFUSED, NOT_ALL_REMOVED, ANOTHER_COPY = 0, 1, 2, 4, 1618


def take_log(s, windows_path=None):
    """The text of a run's log, which is then deleted (it would differ from
    the snapshot taken before): the file named, or the one log that "/LOG"
    alone wrote into the temporary folder."""
    if windows_path:
        found = [s.path(windows_path)]
    else:
        found = [p for t in uninstall.temp_folder(s) for p in glob.glob(os.path.join(t, "VeltoSetup-*.log"))]
        check_equal(len(found), 1, "logs in the temporary folder: %s" % found)
    check(os.path.exists(found[0]), "no log at %s" % found[0])
    with open(found[0], "rb") as f:
        text = f.read().decode("cp1252")
    os.remove(found[0])
    return text


def expect_log(text, *parts):
    """The log holds each part, and starts and ends as every log does."""
    check(re.match(r"\d\d:\d\d:\d\d  Velto setup log, started \d{4}-\d\d-\d\d ", text), "log's start: %r" % text[:80])
    check(re.search(r"  Setup 1\.2, (i686|x86-64)\r\n", text), "version line of the log: %r" % text[:300])
    for part in parts:
        check(part in text, "log lacks %r:\n%s" % (part, text[-3000:]))


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
    check_equal(run_without_windows(s, s.run("C:\\e2e\\SETUP.EXE", ["/S", "/LOG"])), SUCCESS,
                "exit code of SETUP.EXE /S")
    expect_log(take_log(s), "Command line: ", " /S /LOG", "Installer of ", "Made directory %s\r\n" % install.DEST,
               "Made file %s\\VELTO.EXE\r\n" % install.DEST, "Made file %s\\DLL\\WSOCK32.DLL" % install.DEST,
               "Made registry key HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Velto",
               "Velto.lnk\r\n", "Exit code 0: success\r\n")
    folder = install.check_installed(s, files, "Velto")
    install.check_uninstaller(s, files, folder)
    check(not os.path.exists(os.path.join(s.path(install.DEST), "VELTO.INI")), "VELTO.EXE was started")
    check_equal(reliability.journals(s), [], "setup's journal after a silent install")

    uninstaller = s.run(install.DEST + "\\UNINST.EXE", ["/S", "/LOG=C:\\e2e\\uninstall.log"])
    check_equal(run_without_windows(s, uninstaller), SUCCESS, "exit code of UNINST.EXE /S")
    expect_log(take_log(s, "C:\\e2e\\uninstall.log"), "Uninstaller of ",
               "Removed file %s\\VELTO.EXE\r\n" % install.DEST,
               "Left to the batch file, once Setup has ended: directory %s\r\n" % install.DEST,
               "Removed registry key HKEY_LOCAL_MACHINE\\Software\\Microsoft", "Exit code 0: success\r\n")
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
    # An installed file another program holds open: the uninstaller
    # removes the rest and names it, in the log.
    s.probe.ask("hold %s\\VELTO.DOC" % dest)
    uninstaller = s.run(dest + "\\UNINST.EXE", ["/S", "/LOG"])
    check_equal(run_without_windows(s, uninstaller), NOT_ALL_REMOVED, "exit code of UNINST.EXE /S beside a held file")
    expect_log(take_log(s), "Could not remove file %s\\VELTO.DOC\r\n" % dest,
               "  Warning: Setup could not remove these items:\r\n", "      '%s\\VELTO.DOC'\r\n" % dest,
               "Exit code 4: uninstalled, but some items could not be removed\r\n")
    s.wait_until(lambda: not os.path.exists(s.path(dest + "\\UNINST.EXE")) and not uninstall.batch_files(s),
                 uninstall.BATCH_SECONDS, "the batch file's work")
    s.probe.ask("release")
    os.remove(s.path(dest + "\\VELTO.DOC"))
    os.rmdir(s.path(dest))
    os.rmdir(s.path("C:\\Deploy Here"))
    s.expect_same(before, s.snapshot(), "silent install into a chosen destination")

    # Refused before any change: a switch the program does not know, a log
    # in setup's own folder, a destination that is a file.
    private = uninstall.temp_folder(s)[0]
    refusals = [
        (["/S", "/X", "/LOG=C:\\e2e\\refused.log"], "Setup: Setup does not accept the switch '/X'.\r\n"),
        (["/S", "/LOG=C:\\e2e\\refused.log", "/D=C:\\e2e\\SETUP.EXE"], "Setup: MakeDirectory failed."),
    ]
    for args, message in refusals:
        check_equal(run_without_windows(s, s.run("C:\\e2e\\SETUP.EXE", args)), REFUSED, "exit code of %s" % args)
        expect_log(take_log(s, "C:\\e2e\\refused.log"), message, "Exit code 2: refused before any change")
    win_temp = "C:\\" + os.path.relpath(private, s.drive_c).replace("/", "\\")
    for log in (win_temp + "\\VELTOSETUP\\a.log", "C:\\e2e\\veltosetup.log"):
        check_equal(run_without_windows(s, s.run("C:\\e2e\\SETUP.EXE", ["/S", "/LOG=" + log])), REFUSED,
                    "exit code of the log %s" % log)
    check(not os.path.exists(s.path("C:\\e2e\\veltosetup.log")), "a log written as the journal's name")
    check_equal(uninstall.private_folders(s), [], "setup's own folder after a refused log (%s)" % private)
    reliability.expect_machine_as_before(s, before, "refused silent runs")

    # A damaged installer, found out half-way through the files:
    # everything rolled back, no window; the log tells what and why.
    def damage_last_stream(data):
        at = len(data) - install.TAIL_SIZE - len(files) * install.RECORD - 3
        return data[:at] + bytes([data[at] ^ 0x55]) + data[at + 1:]
    s.rewrite(path, damage_last_stream)
    check_equal(run_without_windows(s, s.run("C:\\e2e\\SETUP.EXE", ["/S", "/LOG=C:\\e2e\\damaged.log"])),
                ROLLED_BACK, "exit code of a damaged /S")
    expect_log(take_log(s, "C:\\e2e\\damaged.log"), "Setup: Setup Corrupt..\r\n",
               "Removed file C:\\Program Files\\Velto\\VELTO.EXE\r\n",
               "Removed directory C:\\Program Files\\Velto\r\n", "Exit code 1: failed after changes were made")
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
    check_equal(run_without_windows(s, s.run("C:\\e2e\\SETUP.EXE", ["/S", "/LOG"])), REFUSED,
                "exit code of SETUP.EXE /S")
    expect_log(take_log(s), "Setup: An installation made by the 32-bit setup program is in '%s'.\r\n" % other,
               "      Uninstall it first, then run Setup again.\r\n")
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


README = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "..", "README.md")


def readme_blocks():
    """The README's fenced blocks marked "<!-- deploy-test: NAME -->", by
    name: the commands and files an administrator copies from it."""
    with open(README, encoding="utf-8") as f:
        text = f.read()
    blocks = dict(re.findall(r"<!-- deploy-test: (\w+) -->\n```\w*\n(.*?)```", text, re.S))
    check_equal(sorted(blocks), ["ansible", "detect", "install", "uninstall", "winget"], "marked blocks of the README")
    return blocks


def split_command(line):
    """A command line split as Windows programs split theirs: blanks part
    arguments, quotation marks group and are dropped."""
    args, current, quoted, started = [], "", False, False
    for c in line.strip():
        if c == '"':
            quoted, started = not quoted, True
        elif c in " \t" and not quoted:
            if started:
                args.append(current)
            current, started = "", False
        else:
            current, started = current + c, True
    if started:
        args.append(current)
    return args


ACCEPTED_SWITCH = re.compile(r"^/S$|^/LOG(=.+)?$|^/D=.+$", re.I)


def detect(s, command):
    """Runs the README's detection command; its exit code and output."""
    args = split_command(command)
    check_equal(args[:2], ["reg", "query"], "detection command")
    out = subprocess.run([wine_loader()] + args, env=s.env, capture_output=True, timeout=120)
    return out.returncode, out.stdout.decode("latin-1")


@scenario("deployment-commands-from-the-readme", timeout=300)
def deployment_commands_from_the_readme(s):
    """The install, uninstall and detection commands of the README's
    section for administrators, as written there, and the Ansible tasks and
    winget manifest beside them checked against what the program accepts."""
    blocks = readme_blocks()
    s.make_installer("C:\\e2e\\SETUP.EXE", files=s.sample_files())
    before = s.snapshot()
    install_args = split_command(blocks["install"])
    uninstall_args = split_command(blocks["uninstall"])
    check_equal(install_args[0], "SETUP.EXE", "program of the install command")
    check_equal(uninstall_args[0], install.DEST + "\\UNINST.EXE", "program of the uninstall command")
    for arg in install_args[1:] + uninstall_args[1:]:
        check(ACCEPTED_SWITCH.match(arg), "the README's switch %s" % arg)

    code, output = detect(s, blocks["detect"])
    check(code != 0, "detected before the installation: %s" % output)
    check_equal(run_without_windows(s, s.run("C:\\e2e\\" + install_args[0], install_args[1:])), SUCCESS,
                "exit code of the README's install command")
    expect_log(take_log(s), "Exit code 0: success")
    code, output = detect(s, blocks["detect"])
    check_equal(code, 0, "exit code of the detection after the installation")
    check("DisplayName" in output and PRODUCT_TITLE in output, "detection output: %s" % output)
    check_equal(run_without_windows(s, s.run(uninstall_args[0], uninstall_args[1:])), SUCCESS,
                "exit code of the README's uninstall command")
    expect_log(take_log(s), "Exit code 0: success")
    s.wait_until(lambda: not os.path.exists(s.path(install.DEST)) and not uninstall.batch_files(s),
                 uninstall.BATCH_SECONDS, "removal of the destination")
    code, output = detect(s, blocks["detect"])
    check(code != 0, "detected after the uninstallation: %s" % output)
    key_name = split_command(blocks["detect"])[2].rpartition("\\")[2]

    # Ansible: the tasks install with the program's switches, know the
    # installation by the uninstall entry's key, remove with UNINST.EXE.
    tasks = yaml.safe_load(blocks["ansible"])
    check_equal([t["ansible.windows.win_package"]["state"] for t in tasks], ["present", "absent"], "Ansible states")
    for t in tasks:
        package = t["ansible.windows.win_package"]
        check_equal(package["product_id"], key_name, "Ansible product_id")
        check_equal(package["expected_return_code"], [SUCCESS], "Ansible expected_return_code")
        for arg in split_command(package["arguments"]):
            check(ACCEPTED_SWITCH.match(arg), "Ansible switch %s" % arg)
    check(tasks[0]["ansible.windows.win_package"]["path"].upper().endswith("\\SETUP.EXE"), "Ansible install path")
    check_equal(tasks[1]["ansible.windows.win_package"]["path"], uninstall_args[0], "Ansible uninstall path")

    # winget: the singleton manifest's required fields, and an installation
    # run with the switches assembled as winget assembles them (experience,
    # log, install location last).
    manifest = yaml.safe_load(blocks["winget"])
    for field in ("PackageIdentifier", "PackageVersion", "PackageLocale", "Publisher", "PackageName", "License",
                  "ShortDescription", "Installers", "ManifestType", "ManifestVersion"):
        check(manifest.get(field), "winget manifest lacks %s" % field)
    check_equal(manifest["ManifestType"], "singleton", "ManifestType")
    check(re.match(r"^\d+\.\d+\.\d+$", manifest["ManifestVersion"]), "ManifestVersion")
    installer = manifest["Installers"][0]
    check_equal(installer["InstallerType"], "exe", "InstallerType")
    check(re.match(r"^[0-9A-Fa-f]{64}$", installer["InstallerSha256"]), "InstallerSha256")
    check(installer["InstallerUrl"].startswith("https://"), "InstallerUrl")
    check(installer["Architecture"] in ("x64", "x86"), "Architecture")
    switches = installer["InstallerSwitches"]
    check_equal(sorted(switches), ["InstallLocation", "Log", "Silent", "SilentWithProgress"], "InstallerSwitches")
    check("<LOGPATH>" in switches["Log"] and "<INSTALLPATH>" in switches["InstallLocation"], "winget's tokens")
    entry = installer["AppsAndFeaturesEntries"][0]
    check_equal(entry["DisplayName"], PRODUCT_TITLE, "AppsAndFeaturesEntries DisplayName")
    check_equal(entry["ProductCode"], key_name, "AppsAndFeaturesEntries ProductCode")
    log, dest = "C:\\e2e\\winget install.log", "C:\\Winget Apps\\Velto"
    lines = {" ".join([switches[experience], switches["Log"], switches["InstallLocation"]])
             .replace("<LOGPATH>", log).replace("<INSTALLPATH>", dest) for experience in ("Silent", "SilentWithProgress")}
    for line in sorted(lines):
        check_equal(run_without_windows(s, s.run("C:\\e2e\\SETUP.EXE", split_command(line))), SUCCESS,
                    "exit code of " + line)
        expect_log(take_log(s, log), "Made file %s\\VELTO.EXE" % dest, "Exit code 0: success")
        check_equal(detect(s, blocks["detect"])[0], 0, "detection after winget's installation")
        check_equal(run_without_windows(s, s.run(dest + "\\UNINST.EXE", ["/S"])), SUCCESS,
                    "exit code of the uninstaller winget's installation wrote")
        s.wait_until(lambda: not os.path.exists(s.path(dest)) and not uninstall.batch_files(s),
                     uninstall.BATCH_SECONDS, "removal of " + dest)
    reliability.expect_machine_as_before(s, before, "the README's deployment commands")
