"""The install wizard: keyboard and buttons through the four pages, the
quit confirmation and its rollback, the summary, the destination checks,
the Choose Directory dialog and the free-space warning."""

import os
import shutil
import time

from e2elib import check, check_equal, scenario

PAGE1 = "Choose Destination Location"
PAGE2 = "Select Program Folder"
PAGE3 = "Start Copying Files"
PAGE4 = "Setup Complete"
DEFAULT_DEST = "C:\\Program Files\\Velto"
SUBDIRS = ("DLL", "Upload", "Download")


def in_front(s, window, what=None):
    s.wait_until(lambda: (s.foreground() or {}).get("hwnd") == window.hwnd, 10, (what or window.text) + " in front")


def start(s):
    s.make_installer("C:\\e2e\\SETUP.EXE")
    setup = s.run_setup()
    page = s.wait_window(PAGE1, timeout=30)
    in_front(s, page)
    return setup, page


def page_and_front(s, caption, pid):
    page = s.wait_window(caption, pid=pid)
    in_front(s, page)
    return page


def child(s, window, cls, index=0):
    found = [c for c in s.window(window.hwnd).children if c["class"].lower() == cls.lower()]
    check(len(found) > index, "%s has no %s number %d" % (window, cls, index))
    return found[index]


def expect_gone_soon(s, window):
    s.wait_gone(window)


def expect_summary(s, page, dest, folder):
    memo = child(s, page, "Edit")
    expected = "\r\n".join(["Destination Directory", "     " + dest, "", "Program Folder", "     " + folder])
    check_equal(memo["text"], expected, "summary on page 3")


def exit_dialog(s, pid):
    dialog = s.wait_window("Exit Setup", pid=pid)
    in_front(s, dialog)
    return dialog


def default_button(s, window):
    """Texts of the buttons drawn as default (BS_DEFPUSHBUTTON)."""
    return [b["text"] for b in s.window(window.hwnd).buttons() if b["style"] & 0x0F == 1]


@scenario("wizard-keys-summary-rollback")
def keys_summary_rollback(s):
    """Enter moves on, Esc asks, Enter and Esc in "Exit Setup" resume, the
    summary follows Back and Next, and Alt+X removes what Next created."""
    before = s.snapshot()
    setup, page1 = start(s)
    s.expect_text(page1, DEFAULT_DEST)
    check_equal(default_button(s, page1), ["&Next >"], "default button of page 1")
    s.screenshot("page1-choose-destination")
    check(not os.path.exists(s.path(DEFAULT_DEST)), "the default destination exists before Next")

    # Esc on page 1 asks; Enter in the question resumes.
    s.press("Escape")
    dialog = exit_dialog(s, page1.pid)
    check_equal(default_button(s, dialog), ["&Resume"], "default button of Exit Setup")
    s.screenshot("exit-setup")
    s.press("Return")
    s.wait_gone(dialog)
    in_front(s, page1)

    # Enter: the checks create the default destination without asking.
    s.press("Return")
    page2 = page_and_front(s, PAGE2, page1.pid)
    for name in SUBDIRS:
        check(os.path.isdir(s.path(DEFAULT_DEST + "\\" + name)), "%s was not created by Next" % name)
    check(not any(w.hwnd == page1.hwnd for w in s.windows()), "page 1 still shown beside page 2")
    s.screenshot("page2-select-program-folder")
    edit = child(s, page2, "Edit")
    check_equal(edit["text"], "Velto", "folder name on page 2")

    # Esc asks, Esc resumes.
    s.press("Escape")
    dialog = exit_dialog(s, page2.pid)
    s.press("Escape")
    s.wait_gone(dialog)
    in_front(s, page2)

    # An empty folder name passes unchecked.
    s.probe.ask("settext %d " % edit["hwnd"])
    s.press("Return")
    page3 = page_and_front(s, PAGE3, page1.pid)
    expect_summary(s, page3, DEFAULT_DEST, "")

    # Back, another name, Next: the summary follows.
    s.click(page3, "< &Back")
    page2 = page_and_front(s, PAGE2, page1.pid)
    s.probe.ask("settext %d Velto Tools" % edit["hwnd"])
    s.press("Return")
    page3 = page_and_front(s, PAGE3, page1.pid)
    expect_summary(s, page3, DEFAULT_DEST, "Velto Tools")
    s.screenshot("page3-start-copying")

    # Typing into the summary changes nothing.
    memo = child(s, page3, "Edit")
    s.probe.ask("key %d %d" % (memo["hwnd"], 0x41))
    expect_summary(s, page3, DEFAULT_DEST, "Velto Tools")

    # Esc, then Alt+X: everything Next made goes, exit code 0.
    s.press("Escape")
    dialog = exit_dialog(s, page3.pid)
    s.press("alt+x")
    check_equal(s.wait_exit(setup), 0, "exit code after Exit Setup")
    s.expect_same(before, s.snapshot(), "cancelling on page 3")


@scenario("wizard-close-page2-rollback")
def close_page2(s):
    """The close box of page 2 asks too; Exit Setup removes the destination."""
    before = s.snapshot()
    setup, page1 = start(s)
    s.click(page1, "&Next >")
    page2 = page_and_front(s, PAGE2, page1.pid)
    check(os.path.isdir(s.path(DEFAULT_DEST + "\\Download")), "Next did not create the destination")
    s.close(page2)
    dialog = exit_dialog(s, page2.pid)
    s.click(dialog, "E&xit Setup")
    check_equal(s.wait_exit(setup), 0, "exit code after closing page 2")
    s.expect_same(before, s.snapshot(), "closing page 2")


@scenario("wizard-last-page")
def last_page(s):
    """On page 4 Esc does nothing and Enter presses Finish; a ticked box
    starts VELTO.EXE from the destination when it was installed."""
    s.make_installer("C:\\e2e\\SETUP.EXE", files=s.sample_files())
    setup = s.run_setup()
    page1 = s.wait_window(PAGE1, timeout=30)
    in_front(s, page1)
    s.press("Return")
    page_and_front(s, PAGE2, page1.pid)
    s.press("Return")
    page_and_front(s, PAGE3, page1.pid)
    s.press("Return")
    page4 = s.wait_window(PAGE4, pid=page1.pid, timeout=60)
    in_front(s, page4)
    check_equal(default_button(s, page4), ["Finish"], "default button of page 4")
    s.screenshot("page4-setup-complete")
    s.press("Escape")
    time.sleep(1)
    check(not s.find("Exit Setup", pid=page4.pid), "Esc on page 4 asked to exit")
    check(setup.running() and s.find(PAGE4, pid=page4.pid), "Esc on page 4 changed the page")

    installed = os.path.exists(s.path(DEFAULT_DEST + "\\VELTO.EXE"))
    s.press("Return")
    check_equal(s.wait_exit(setup), 0, "exit code after Finish")
    if installed:
        # VELTO.EXE writes VELTO.INI beside itself when it starts: the quoted
        # path with its space started the right program.
        ini = s.path(DEFAULT_DEST + "\\VELTO.INI")
        s.wait_until(lambda: os.path.exists(ini), 20, "VELTO.INI written by the started program")


def make_read_only(host_path, read_only):
    os.chmod(host_path, 0o555 if read_only else 0o755)


@scenario("wizard-choose-directory")
def choose_directory(s):
    """Browse: the dialog opens on the destination, asks before it creates
    a path, refuses a read-only directory; page 1 refuses one too; the
    directories it made go again on Exit Setup."""
    os.makedirs(s.path("C:\\Locked"))
    make_read_only(s.path("C:\\Locked"), True)
    before = s.snapshot()
    setup, page1 = start(s)

    s.click(page1, "B&rowse...")
    dialog = s.wait_window("Choose Directory", pid=page1.pid)
    in_front(s, dialog)
    edit = child(s, dialog, "Edit")
    check_equal(edit["text"], DEFAULT_DEST, "path box when Browse opens")
    check_equal(default_button(s, dialog), ["OK"], "default button of Choose Directory")
    s.screenshot("choose-directory")

    # Keyboard: Tab to the list, Down to a subdirectory, Enter opens it
    # (the dialog stays) and the path box follows the list.
    s.press("Tab", "Down", "Return")
    s.wait_until(lambda: child(s, dialog, "Edit")["text"] == "C:\\Program Files\\Common Files", 10,
                 "the opened directory in the path box")
    check(s.find("Choose Directory", pid=page1.pid), "Enter in the directory list closed the dialog")

    # A path that does not exist: the question; No keeps the dialog.
    target = "C:\\Chosen\\Velto"
    s.probe.ask("settext %d %s" % (edit["hwnd"], target))
    s.click(dialog, "OK")
    question = s.wait_window("Confirm", pid=page1.pid)
    s.expect_text(question, "The directory:\r\n\r\n'%s'\r\n\r\ndoes not exist.  Do you want the directory to be "
                            "created?" % target)
    s.screenshot("create-question")
    s.click(question, "&No")
    s.wait_gone(question)
    check(s.find("Choose Directory", pid=page1.pid), "No closed the dialog")
    check(not os.path.exists(s.path("C:\\Chosen")), "No created the directory")

    # A read-only directory is refused; the dialog stays.
    s.probe.ask("settext %d C:\\Locked" % edit["hwnd"])
    s.click(dialog, "OK")
    error = s.wait_window("Error", pid=page1.pid)
    s.expect_text(error, "The specified directory:\r\n\r\n'C:\\Locked'\r\n\r\nis invalid, incomplete, or write "
                         "protected.  Please type a full path with drive letter; for example 'C:\\APPS'.")
    s.screenshot("invalid-directory")
    s.click(error, "OK")
    s.wait_gone(error)
    check(s.find("Choose Directory", pid=page1.pid), "the error closed the dialog")

    # Yes creates it and the page shows it.
    s.probe.ask("settext %d %s" % (edit["hwnd"], target))
    s.click(dialog, "OK")
    question = s.wait_window("Confirm", pid=page1.pid)
    s.click(question, "&Yes")
    s.wait_gone(dialog)
    check(os.path.isdir(s.path(target)), "Yes did not create the directory")
    s.expect_text(page1, target)
    s.screenshot("page1-chosen")

    # Page 1 refuses a destination that has become read-only.
    make_read_only(s.path(target), True)
    s.click(page1, "&Next >")
    error = s.wait_window("Error", pid=page1.pid)
    s.expect_text(error, "The specified directory:\r\n\r\n'%s'\r\n\r\nis invalid, incomplete, or write "
                         "protected.  Please type a full path with drive letter; for example 'C:\\APPS'." % target)
    s.click(error, "OK")
    s.wait_gone(error)
    check(s.find(PAGE1, pid=page1.pid), "page 1 left after the refusal")
    make_read_only(s.path(target), False)

    s.click(page1, "Cancel")
    dialog = exit_dialog(s, page1.pid)
    s.click(dialog, "E&xit Setup")
    check_equal(s.wait_exit(setup), 0, "exit code after Exit Setup")
    s.expect_same(before, s.snapshot(), "Exit Setup after Browse")
    make_read_only(s.path("C:\\Locked"), False)


@scenario("wizard-low-free-space")
def low_free_space(s):
    """A destination on a drive with less than 2,000,000 free bytes (a
    1 MB file system as drive T:) warns; Yes stays, No goes on."""
    with s.small_drive("t", "1m") as mount:
        os.makedirs(os.path.join(mount, "Velto"))
        setup, page1 = start(s)
        s.click(page1, "B&rowse...")
        dialog = s.wait_window("Choose Directory", pid=page1.pid)
        edit = child(s, dialog, "Edit")
        s.probe.ask("settext %d T:\\Velto" % edit["hwnd"])
        s.click(dialog, "OK")
        s.wait_gone(dialog)
        s.expect_text(page1, "T:\\Velto")
        in_front(s, page1)

        s.press("Return")
        warning = s.wait_window("Warning", pid=page1.pid)
        s.expect_text(warning, "The specified drive:\r\n\r\n'T:\\Velto'\r\n\r\n has insufficent free disk space.  "
                               "Do you want to choose a different drive?")
        s.screenshot("low-free-space")
        in_front(s, warning)
        s.press("Return")  # Yes: choose another drive
        s.wait_gone(warning)
        check(s.find(PAGE1, pid=page1.pid), "Yes left page 1")
        check(not os.path.exists(os.path.join(mount, "Velto", "DLL")), "Yes went on with the checks")

        in_front(s, page1)
        s.press("Return")
        warning = s.wait_window("Warning", pid=page1.pid)
        in_front(s, warning)
        s.press("Escape")  # No: go on
        page_and_front(s, PAGE2, page1.pid)
        for name in SUBDIRS:
            check(os.path.isdir(os.path.join(mount, "Velto", name)), "%s not created on drive T:" % name)
        s.press("Escape")
        dialog = exit_dialog(s, page1.pid)
        s.click(dialog, "E&xit Setup")
        check_equal(s.wait_exit(setup), 0, "exit code after Exit Setup")
        check_equal(sorted(os.listdir(os.path.join(mount, "Velto"))), [], "drive T: after the rollback")
