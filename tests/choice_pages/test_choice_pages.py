"""The component, location and summary pages under Wine, driven through their real windows
with the window tool. choice_probe.exe opens the component page with the setup state a login
and a download leave (the branded install record, the component list of a small manifest):
the list's rules, For Anyone / Just me, the destination's default, creation and refusals,
the summary and its log lines, Back and forward with the entries kept, the keyboard, and
Cancel / close with their question and exit codes. Places are checked at 96 DPI."""
from __future__ import annotations

import contextlib
import importlib.util
import json
import os
import pathlib
import re
import shutil
import subprocess
import sys

import pytest

REPO = pathlib.Path(__file__).resolve().parents[2]
sys.path.insert(0, str(REPO / "tools" / "demolib"))

import demo_installation as inst  # noqa: E402

_spec = importlib.util.spec_from_file_location("winelib", REPO / "tests" / "pylib" / "winelib.py")
winelib = importlib.util.module_from_spec(_spec)
_spec.loader.exec_module(winelib)

pytestmark = pytest.mark.skipif(sys.platform != "linux", reason="runs Windows programs under Wine")

PROBE = REPO / "build" / "win32" / "tests" / "choice_pages" / "choice_probe.exe"
DOCS = REPO / "docs"
COMPONENTS, LOCATION, SUMMARY, INSTALL = "TComponentForm", "TLocationForm", "TSummaryForm", "TInstallForm"
CONFIRM = "Are you sure to cancel setup?"
NO_WRITE = "You dont have the permission to wright in your choosen folder."
WS_EX_APPWINDOW = 0x40000

# Control ids and places (client area, 96 DPI) of the three pages.
LB_TEXT3, CLB_LIST, CB_ANYONE, CB_JUSTME, C_NEXT, C_BACK, C_CANCEL, GB_COMPONENTS, GB_FOR = range(1201, 1210)
ED_PATH, BTN_BROWSE, L_NEXT, L_BACK, L_CANCEL, GB_PATH = range(1301, 1307)
LB_READY, MEMO, S_INSTALL, S_BACK, S_CANCEL = range(1401, 1406)
BUTTONS = [(582, 424, 75, 25), (488, 424, 75, 25), (392, 424, 75, 25)]
PAGES = {
    COMPONENTS: ({LB_TEXT3: (272, 104), GB_COMPONENTS: (272, 164, 385, 133), CLB_LIST: (272, 188, 385, 107),
                  GB_FOR: (272, 320, 385, 57), CB_ANYONE: (312, 344), CB_JUSTME: (415, 344),
                  **dict(zip((C_NEXT, C_BACK, C_CANCEL), BUTTONS))},
                 {LB_TEXT3: "Please choose Components to Install.", GB_COMPONENTS: "Components",
                  GB_FOR: "Choose Users", CB_ANYONE: "For Anyone", CB_JUSTME: "Just me", C_NEXT: "Next >",
                  C_BACK: "< Back", C_CANCEL: "Cancel"}),
    LOCATION: ({GB_PATH: (272, 164, 385, 133), ED_PATH: (288, 212, 353), BTN_BROWSE: (288, 260),
                **dict(zip((L_NEXT, L_BACK, L_CANCEL), BUTTONS))},
               {GB_PATH: "Destination Folder", BTN_BROWSE: "Browse...", L_NEXT: "Next >", L_BACK: "< Back",
                L_CANCEL: "Cancel"}),
    SUMMARY: ({LB_READY: (272, 40), MEMO: (272, 164, 385, 197),
               **dict(zip((S_INSTALL, S_BACK, S_CANCEL), BUTTONS))},
              {LB_READY: "Setup is ready to install Orfeda on your Computer.\n\nClick Install for installation.",
               S_INSTALL: "Install", S_BACK: "< Back", S_CANCEL: "Cancel"}),
}
THREE = {"orfeda": {"Name": "Orfeda", "cmd": ""}, "manual": {"Name": "Manual", "cmd": ""},
         "tools": {"Name": "Fax Tools", "cmd": ""}}
DEFAULT_ROOT = re.compile(r"^C:\\Program Files( \(x86\))?\\Brixaro\\Fax$")


@pytest.fixture(scope="session")
def probe():
    if not os.environ.get("WINEPREFIX") or not os.environ.get("DISPLAY"):
        pytest.skip("needs the Wine prefix and display of tools/test")
    assert PROBE.exists(), "choice_probe.exe is built with the win32 preset"
    return PROBE


class Probe:
    """One run of choice_probe.exe: the wizard from its component page on."""

    def __init__(self, exe: pathlib.Path, tmp: pathlib.Path, components: dict):
        manifest = tmp / "setup.json"
        manifest.write_text(json.dumps({"components": components}))
        self.logfile = tmp / "choice.log"
        self.dlls = [exe.parent / n for n in ("DelZip192.dll", "DelZip192x64.dll")]
        for d in self.dlls:
            d.write_bytes(b"MZ")
        self.proc = winelib.start([winelib.to_win(manifest), winelib.to_win(self.logfile)], exe=exe)
        win = winelib.window(cls=COMPONENTS, timeout_ms=30000)
        assert win, "the component page did not appear"
        self.pid = win["pid"]
        # The page is found as soon as its window shows; its controls may still be on their way
        # (seen on the first program of a new Wine prefix).
        assert winelib.wait(enabled=True, cls=COMPONENTS, pid=self.pid, id=C_NEXT, timeout_ms=30000)

    def page(self, cls):
        return winelib.window(cls=cls, pid=self.pid, all=True, timeout_ms=10000)

    def visible(self, cls):
        return winelib.window(cls=cls, pid=self.pid, timeout_ms=10000)

    def control(self, cls, cid):
        return winelib.find_control(self.page(cls), id=cid)

    def click(self, cls, cid):
        winelib.click(cls=cls, pid=self.pid, id=cid)

    def text(self, cls, cid):
        return self.control(cls, cid)["text"]

    def box(self, text, button="OK"):
        assert winelib.msgbox(text) is not None, text
        assert winelib.press(button, text_has=text)
        assert winelib.no_window(timeout_ms=15000, text_has=text), text

    def never_opened(self, cls):
        """Whether no page of this class was ever made. Pages are made inside the click that
        opens them; after a box that click showed is gone and the page has answered the tool
        again (visible()), that click has returned, so the page would be there already."""
        return winelib.window(cls=cls, pid=self.pid, all=True, timeout_ms=0) is None

    def log(self):
        return inst.log_lines(self.logfile)

    def exit_code(self, timeout=30):
        return winelib.finish(self.proc, timeout)

    def kill(self):
        if self.proc.poll() is None:
            subprocess.run(["wine", "taskkill", "/f", "/pid", str(self.pid)], env=winelib.env(),
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)
            with contextlib.suppress(Exception):
                self.proc.wait(30)
        for d in self.dlls:
            d.unlink(missing_ok=True)


@pytest.fixture
def run(probe, tmp_path):
    runs = []

    def start(components=THREE):
        runs.append(Probe(probe, tmp_path, components))
        return runs[-1]

    yield start
    for r in runs:
        r.kill()


def checks(win):
    return [(i["text"], i["checked"]) for i in winelib.find_control(win, id=CLB_LIST)["items"]]


def assert_page(win, cls):
    places, texts = PAGES[cls]
    assert win["caption"] == "" and win["exstyle"] & WS_EX_APPWINDOW
    assert (win["client"]["w"], win["client"]["h"]) == (694, 471)
    for cid, place in places.items():
        c = winelib.find_control(win, id=cid)
        got = (c["x"], c["y"], c["w"], c["h"])[:len(place)]
        assert all(abs(a - b) <= 3 for a, b in zip(got, place)), (cls, cid, got, place)
    for cid, text in texts.items():
        assert winelib.find_control(win, id=cid)["text"].replace("\r\n", "\n") == text, (cls, cid)


def corner(win):
    return win["rect"]["x"], win["rect"]["y"]


def test_component_page_list_users_and_keyboard(run):
    p = run()
    win = p.visible(COMPONENTS)
    assert_page(win, COMPONENTS)
    assert checks(win) == [("Orfeda", True), ("Manual", False), ("Fax Tools", False)]
    assert winelib.find_control(win, id=CB_ANYONE)["checked"] == 1
    assert winelib.find_control(win, id=CB_JUSTME)["checked"] == 0
    DOCS.mkdir(exist_ok=True)
    winelib.screenshot(DOCS / "component_page.png", cls=COMPONENTS, pid=p.pid)

    # The application's tick cannot be taken away, by the tool or by the space bar.
    with pytest.raises(winelib.WintoolError):
        winelib.tick(on=False, index=0, cls=COMPONENTS, pid=p.pid, id=CLB_LIST)
    winelib.key("space", cls=COMPONENTS, pid=p.pid, id=CLB_LIST)
    assert checks(p.page(COMPONENTS))[0] == ("Orfeda", True)

    # For Anyone / Just me: a pair, clicking the ticked one keeps it.
    for clicked, anyone, justme in [(CB_ANYONE, 1, 0), (CB_JUSTME, 0, 1), (CB_JUSTME, 0, 1), (CB_ANYONE, 1, 0),
                                    (CB_JUSTME, 0, 1)]:
        p.click(COMPONENTS, clicked)
        assert (p.control(COMPONENTS, CB_ANYONE)["checked"], p.control(COMPONENTS, CB_JUSTME)["checked"]) == \
            (anyone, justme), clicked

    # Escape asks; No keeps the page. Enter is Next: with only the application ticked it goes on.
    before = corner(p.visible(COMPONENTS))
    winelib.key("Escape", cls=COMPONENTS, pid=p.pid, id=CLB_LIST)
    p.box(CONFIRM, "No")
    assert p.visible(COMPONENTS) and p.proc.poll() is None
    winelib.key("Enter", cls=COMPONENTS, pid=p.pid, id=CLB_LIST)
    loc = p.visible(LOCATION)
    assert loc and corner(loc) == before
    assert not p.page(COMPONENTS)["visible"]


def test_a_manifest_without_the_application_needs_a_tick(run):
    p = run({"manual": {"Name": "Manual"}, "tools": {"Name": "Fax Tools"}})
    assert checks(p.visible(COMPONENTS)) == [("Manual", False), ("Fax Tools", False)]
    p.click(COMPONENTS, C_NEXT)
    p.box("Please choose at least one component!")
    assert p.visible(COMPONENTS) and p.never_opened(LOCATION)
    winelib.tick(index=1, cls=COMPONENTS, pid=p.pid, id=CLB_LIST)
    p.click(COMPONENTS, C_NEXT)
    assert p.visible(LOCATION)


def test_location_summary_back_and_install(run, tmp_path):
    created = inst.host_path(r"C:\choice-pages")
    shutil.rmtree(created, ignore_errors=True)
    try:
        p = run()
        winelib.tick(index=2, cls=COMPONENTS, pid=p.pid, id=CLB_LIST)
        p.click(COMPONENTS, CB_JUSTME)
        p.click(COMPONENTS, C_NEXT)
        win = p.visible(LOCATION)
        assert_page(win, LOCATION)
        assert DEFAULT_ROOT.match(p.text(LOCATION, ED_PATH)), p.text(LOCATION, ED_PATH)
        winelib.screenshot(DOCS / "location_page.png", cls=LOCATION, pid=p.pid)

        # Refused destinations: the box, and the page stays with the entry.
        for bad in ["", "   ", r"Q:\Apps\Brixaro\Fax", r"relative\Fax"]:
            winelib.set_text(bad, cls=LOCATION, pid=p.pid, id=ED_PATH)
            p.click(LOCATION, L_NEXT)
            p.box(NO_WRITE)
            assert p.visible(LOCATION) and p.never_opened(SUMMARY), bad
            assert p.text(LOCATION, ED_PATH) == bad

        # A new writable path: created at once with every parent, then the summary.
        target = r"C:\choice-pages\deep\Brixaro\Fax"
        winelib.set_text(target, cls=LOCATION, pid=p.pid, id=ED_PATH)
        p.click(LOCATION, L_NEXT)
        win = p.visible(SUMMARY)
        assert win and (created / "deep" / "Brixaro" / "Fax").is_dir()
        assert_page(win, SUMMARY)
        memo = ["Destination", "  " + target, "", "Components", "  Orfeda", "  Fax Tools", "", "User", "  Just me"]
        assert p.text(SUMMARY, MEMO).split("\r\n") == memo
        winelib.screenshot(DOCS / "summary_page.png", cls=SUMMARY, pid=p.pid)

        # Back to the location page and to the component page: the entries are kept.
        p.click(SUMMARY, S_BACK)
        assert p.visible(LOCATION) and p.text(LOCATION, ED_PATH) == target
        p.click(LOCATION, L_BACK)
        win = p.visible(COMPONENTS)
        assert checks(win) == [("Orfeda", True), ("Manual", False), ("Fax Tools", True)]
        assert winelib.find_control(win, id=CB_JUSTME)["checked"] == 1

        # Forward again: a new location page with the default, a new summary with the new choice.
        winelib.tick(index=1, cls=COMPONENTS, pid=p.pid, id=CLB_LIST)
        p.click(COMPONENTS, CB_ANYONE)
        p.click(COMPONENTS, C_NEXT)
        assert DEFAULT_ROOT.match(p.text(LOCATION, ED_PATH))
        second = r"C:\choice-pages\second"
        winelib.set_text(second, cls=LOCATION, pid=p.pid, id=ED_PATH)
        winelib.key("Enter", cls=LOCATION, pid=p.pid, id=ED_PATH)
        assert p.visible(SUMMARY)
        assert p.text(SUMMARY, MEMO).split("\r\n") == [
            "Destination", "  " + second, "", "Components", "  Orfeda", "  Manual", "  Fax Tools", "", "User",
            "  For Anyone"]

        # The page opens with Install focused: Enter installs.
        assert winelib.wait(focused=True, cls=SUMMARY, pid=p.pid, id=S_INSTALL)
        winelib.key("Enter", cls=SUMMARY, pid=p.pid)
        assert p.visible(INSTALL)
        log = p.log()
        start = log.index("| Summary")
        assert log[start:start + 10] == [
            "| Summary", "|  Destination", "|    " + second, "|  Components", "|    Orfeda", "|    Manual",
            "|    Fax Tools", "|  User", "|   For Anyone", "| Summary end"]
        assert log.count("| Summary") == 1

        # The probe has no release to install: the install page tells the user, and the program
        # ends with the failure's exit code.
        p.box("An error occured. Please try running Setup again.")
        assert p.exit_code() == 1603
        assert "Exception Error in: TInstallData" in p.log()
    finally:
        shutil.rmtree(created, ignore_errors=True)


def test_tab_order_and_folder_browser_on_the_system_drive(run):
    p = run()
    p.click(COMPONENTS, C_NEXT)
    default = p.text(LOCATION, ED_PATH)
    # Tab goes edit, Browse, Back, Next, Cancel and round again.
    assert winelib.wait(focused=True, cls=LOCATION, pid=p.pid, id=ED_PATH)
    for nxt in [BTN_BROWSE, L_BACK, L_NEXT, L_CANCEL, ED_PATH]:
        winelib.key("Tab", cls=LOCATION, pid=p.pid)
        assert winelib.wait(focused=True, timeout_ms=3000, cls=LOCATION, pid=p.pid, id=nxt), nxt
    browser = {"cls": "#32770", "pid": p.pid}
    for pick in [None, "windows"]:
        p.click(LOCATION, BTN_BROWSE)
        win = winelib.window(**browser)
        assert win and winelib.find_control(win, text="Select a directory")
        tree = winelib.find_control(win, cls="SysTreeView32")
        roots = [i["text"] for i in tree["items"] if i["depth"] == 0]
        assert len(roots) == 1 and "C:" in roots[0], roots
        if pick is None:  # cancelled: the edit keeps its text
            winelib.click(ctl="Cancel", **browser)
            assert winelib.no_window(**browser)
            assert p.text(LOCATION, ED_PATH) == default
        else:
            winelib.select(roots[0] + "|" + pick, ctl_class="SysTreeView32", **browser)
            winelib.click(ctl="OK", **browser)
            assert winelib.no_window(**browser)
            assert p.text(LOCATION, ED_PATH).lower() == r"c:\windows\brixaro\fax"


@pytest.mark.parametrize("page, how", [(COMPONENTS, "close"), (LOCATION, "cancel"), (SUMMARY, "close")])
def test_cancel_and_close_ask_and_end_with_1602(run, page, how):
    p = run()
    if page != COMPONENTS:
        p.click(COMPONENTS, C_NEXT)
        p.visible(LOCATION)
    if page == SUMMARY:
        winelib.set_text(r"C:\users\Public", cls=LOCATION, pid=p.pid, id=ED_PATH)
        p.click(LOCATION, L_NEXT)
        assert p.visible(SUMMARY)
    cancel = {COMPONENTS: C_CANCEL, LOCATION: L_CANCEL, SUMMARY: S_CANCEL}[page]

    def ask():
        if how == "close":
            winelib.wintool("close", "--class", page, "--pid", p.pid)
        else:
            p.click(page, cancel)

    ask()
    p.box(CONFIRM, "No")
    assert p.visible(page) and p.proc.poll() is None
    assert all(d.exists() for d in p.dlls)
    ask()
    p.box(CONFIRM, "Yes")
    assert p.exit_code() == 1602
    assert not any(d.exists() for d in p.dlls)
