"""What the wizard's end-to-end tests share: one run of setup.exe without arguments driven
through its windows, the login, and the control ids of the pages (see conftest.py for the
fixtures: the local build, the CA, the servers with a release, a run per test)."""
from __future__ import annotations

import contextlib
import pathlib
import subprocess
import sys
import time

REPO = pathlib.Path(__file__).resolve().parents[2]
sys.path.insert(0, str(REPO / "tools" / "demolib"))
sys.path.insert(0, str(REPO / "tools" / "devserver"))

import demo_installation as inst  # noqa: E402
import demo_wizard  # noqa: E402

winelib = demo_wizard.winelib

DOCS = REPO / "docs"
LOGIN = "TCredentialsForm"
DOWNLOAD = "TDownloadForm"

# Control ids of the login page.
WELCOME, TEXT1, LB_USER, ED_USER, LB_PASS, ED_PASS, LB_ERROR, PB_LOGIN, CB_LANG, BTN_NEXT, \
    BTN_CANCEL, BTN_SETTINGS, GB_CRED, GB_LANG = range(1001, 1015)
WS_EX_APPWINDOW = 0x40000
CONFIRM_CANCEL = "Are you sure to cancel setup?"


class Setup:
    """One run of setup.exe without arguments: its login page and its end."""

    def __init__(self, build: pathlib.Path):
        self.exe = build / "setup.exe"
        self.started = time.time()
        self.proc = winelib.start([], exe=self.exe)
        self.win = winelib.window(cls=LOGIN, timeout_ms=30000)
        assert self.win, "the login page did not appear"
        self.pid = self.win["pid"]

    def page(self, cls=LOGIN, all=False, timeout_ms=10000):
        return winelib.window(cls=cls, pid=self.pid, all=all, timeout_ms=timeout_ms)

    def control(self, cid, cls=LOGIN):
        return winelib.find_control(self.page(cls, all=True), id=cid)

    def exit_code(self, timeout=30):
        return winelib.finish(self.proc, timeout)

    def log(self) -> list[str]:
        return inst.log_lines(inst.newest_log(self.started))

    def kill(self):
        if self.proc.poll() is None:
            subprocess.run(["wine", "taskkill", "/f", "/pid", str(self.pid)], env=winelib.env(),
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)
            with contextlib.suppress(Exception):
                self.proc.wait(30)


def trust_ca(build, ca_der: pathlib.Path):
    """Trusts the test CA in the prefix's stores that setup.exe reads (trust_ca.exe)."""
    subprocess.run([winelib.wine(), str(build / "trust_ca.exe"), winelib.to_win(ca_der)],
                   env=winelib.env(), check=True, stdin=subprocess.DEVNULL,
                   stdout=subprocess.DEVNULL, timeout=120)


def zip_dlls(build):
    return [build / n for n in ("DelZip192.dll", "DelZip192x64.dll")]


def sign_in(s: Setup, user: str, password: str):
    winelib.set_text(user, cls=LOGIN, pid=s.pid, id=ED_USER)
    winelib.set_text(password, cls=LOGIN, pid=s.pid, id=ED_PASS)
    winelib.click(cls=LOGIN, pid=s.pid, id=BTN_NEXT)


def texts(win) -> dict[int, str]:
    return {c["id"]: c["text"] for c in win["controls"]}


def places_match(win, places: dict, scale: float = 1.0) -> list:
    """The controls whose place (x, y[, w[, h]]) in the client area differs from `places`
    by more than 3 pixels, as (id, found, wanted)."""
    wrong = []
    for cid, place in places.items():
        c = winelib.find_control(win, id=cid)
        got = (c["x"], c["y"], c["w"], c["h"])[:len(place)] if c else None
        if got is None or not all(abs(a - b * scale) <= 3 for a, b in zip(got, place)):
            wrong.append((cid, got, place))
    return wrong


def in_order(lines: list[str], expected: list[str]) -> list[str]:
    """The expected lines that are not found in this order in the log (empty: all found).
    An expected line ending in " *" matches any line it starts."""
    i = 0
    missing = []
    for want in expected:
        j = i
        while j < len(lines) and not (lines[j] == want or (want.endswith(" *") and lines[j].startswith(want[:-1]))):
            j += 1
        if j == len(lines):
            missing.append(want)
        else:
            i = j + 1
    return missing


ERROR_RETRY = "An error occured. Please try running Setup again."
COMPONENTS, LOCATION, SUMMARY = "TComponentForm", "TLocationForm", "TSummaryForm"
# Control ids of the component, location and summary pages that lead to the install page.
CLB_COMPONENTS, CB_ANYONE, CB_JUSTME, COMPONENTS_NEXT = 1202, 1203, 1204, 1205
LOCATION_NEXT, SUMMARY_INSTALL = 1303, 1403


@contextlib.contextmanager
def serving(server, root: pathlib.Path | None):
    """The server answers from another release tree inside the block."""
    if root is None:
        yield
        return
    before = server.state.root
    server.state.root = str(root)
    try:
        yield
    finally:
        server.state.root = before


def choose_and_install(s: Setup, just_me: bool = False, untick: tuple[int, ...] = ()):
    """From the component page (after a download) through the location and summary pages to
    Install: the given component rows unticked, For Anyone or Just me, the default folder."""
    page = winelib.window(cls=COMPONENTS, pid=s.pid, timeout_ms=180000)
    assert page, s.log()
    for index in untick:
        winelib.tick(on=False, index=index, cls=COMPONENTS, pid=s.pid, id=CLB_COMPONENTS)
    winelib.click(cls=COMPONENTS, pid=s.pid, id=CB_JUSTME if just_me else CB_ANYONE)
    winelib.click(cls=COMPONENTS, pid=s.pid, id=COMPONENTS_NEXT)
    assert winelib.window(cls=LOCATION, pid=s.pid), s.log()
    winelib.click(cls=LOCATION, pid=s.pid, id=LOCATION_NEXT)
    assert winelib.window(cls=SUMMARY, pid=s.pid), s.log()
    winelib.click(cls=SUMMARY, pid=s.pid, id=SUMMARY_INSTALL)
