"""Walks setup.exe's wizard (run without arguments) through its pages the way a user does,
with the window test tool: the login, the download, the component, location and summary
pages, the install page and the finish page; or, when an installation exists, the
maintenance page's Update. Optionally saves a screenshot of every page it meets.

Used by tools/demo --wizard / --update and by the wizard's end-to-end tests.
"""
from __future__ import annotations

import contextlib
import importlib.util
import subprocess
import sys
import time
from dataclasses import dataclass
from pathlib import Path

import demo_installation as inst
from demo_release import ROOT

if "winelib" not in sys.modules:
    _spec = importlib.util.spec_from_file_location("winelib", ROOT / "tests" / "pylib" / "winelib.py")
    _module = importlib.util.module_from_spec(_spec)
    _spec.loader.exec_module(_module)
    sys.modules["winelib"] = _module
winelib = sys.modules["winelib"]

# The pages' window classes and the control ids the walk uses.
LOGIN, DOWNLOAD, MAINTENANCE = "TCredentialsForm", "TDownloadForm", "TUpdateForm"
COMPONENTS, LOCATION, SUMMARY = "TComponentForm", "TLocationForm", "TSummaryForm"
INSTALL, FINISH = "TInstallForm", "TFinishForm"
ED_USER, ED_PASS, CB_LANG, BTN_LOGIN_NEXT = 1004, 1006, 1009, 1010
BB_UPDATE = 1304
CLB_LIST, CB_JUSTME, BTN_COMPONENTS_NEXT, BTN_COMPONENTS_BACK = 1202, 1204, 1205, 1206
ED_PATH, BTN_LOCATION_NEXT, BTN_LOCATION_BACK = 1301, 1303, 1304
BTN_INSTALL, BTN_SUMMARY_BACK = 1403, 1404
LB_RESTART, CB_SHORTCUT, CB_STARTMENU, CB_AUTOSTART, BTN_CLOSE = range(1602, 1607)


@dataclass
class WizardChoices:
    """What the user enters and picks on the way."""
    username: str = "alice"            # the account of tools/devserver
    password: str = "secret"
    language: str = "en"               # "en" or "de", picked on the login page
    tick: tuple[str, ...] = ()         # components ticked besides "Orfeda" (the others start unticked)
    just_me: bool = False              # Just me instead of For Anyone
    destination: str | None = None     # typed on the location page; None keeps its default
    links: tuple[bool, bool, bool] = (True, True, True)  # desktop, start menu, autostart


class WizardWalk:
    """One run of setup.exe without arguments, walked page by page. Each step waits for its
    page and raises AssertionError (with the log's end) when it does not come."""

    def __init__(self, exe: Path | None = None, shots: Path | None = None, timeout_s: float = 180):
        self.exe = exe or inst.setup_exe()
        self.shots = shots
        self.timeout_ms = int(timeout_s * 1000)
        self.started = time.time()
        self.taken: list[Path] = []
        self.language = "en"
        self.proc = winelib.start([], exe=self.exe)
        win = winelib.window(cls=LOGIN, timeout_ms=30000)
        if not win:
            self.kill()
            raise AssertionError("the login page did not appear")
        self.pid = win["pid"]

    # What the run left.
    def log(self) -> list[str]:
        return inst.log_lines(inst.newest_log(self.started))

    def exit_code(self, timeout: float = 60) -> int:
        return winelib.finish(self.proc, timeout)

    def kill(self) -> None:
        if self.proc.poll() is None:
            subprocess.run(["wine", "taskkill", "/f", "/pid", str(getattr(self, "pid", 0))],
                           env=winelib.env(), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                           timeout=60)
            with contextlib.suppress(Exception):
                self.proc.wait(30)

    def page(self, cls: str, timeout_ms: int | None = None):
        """The page once it is visible."""
        win = winelib.window(cls=cls, pid=self.pid, timeout_ms=timeout_ms or self.timeout_ms)
        if not win:
            raise AssertionError(f"page {cls} did not appear; log ends:\n" + "\n".join(self.log()[-15:]))
        return win

    def shot(self, cls: str, name: str) -> None:
        if self.shots is None:
            return
        path = self.shots / f"{len(self.taken) + 1:02d}_{name}_{self.language}.png"
        with contextlib.suppress(Exception):  # a page that went away meanwhile has no picture
            self.taken.append(winelib.screenshot(path, cls=cls, pid=self.pid))

    # The pages, in the order a user meets them.
    def login(self, choices: WizardChoices) -> None:
        self.language = choices.language
        if choices.language == "de":
            winelib.select(index=1, cls=LOGIN, pid=self.pid, id=CB_LANG)
            winelib.wait(text_is="Weiter >", cls=LOGIN, pid=self.pid, id=BTN_LOGIN_NEXT)
        winelib.set_text(choices.username, cls=LOGIN, pid=self.pid, id=ED_USER)
        winelib.set_text(choices.password, cls=LOGIN, pid=self.pid, id=ED_PASS)
        self.shot(LOGIN, "login")
        winelib.click(cls=LOGIN, pid=self.pid, id=BTN_LOGIN_NEXT)

    def download(self) -> None:
        """The download page while it works (when it is still there to be seen)."""
        if winelib.window(cls=DOWNLOAD, pid=self.pid, timeout_ms=30000):
            self.shot(DOWNLOAD, "download")

    def components(self, choices: WizardChoices) -> None:
        self.page(COMPONENTS)
        for name in choices.tick:
            winelib.tick(item=name, cls=COMPONENTS, pid=self.pid, id=CLB_LIST)
        if choices.just_me:
            winelib.click(cls=COMPONENTS, pid=self.pid, id=CB_JUSTME)
        self.shot(COMPONENTS, "components")
        winelib.click(cls=COMPONENTS, pid=self.pid, id=BTN_COMPONENTS_NEXT)

    def location(self, choices: WizardChoices) -> str:
        """Returns the destination the page goes on with."""
        win = self.page(LOCATION)
        if choices.destination is not None:
            winelib.set_text(choices.destination, cls=LOCATION, pid=self.pid, id=ED_PATH)
            destination = choices.destination
        else:
            destination = winelib.find_control(win, id=ED_PATH)["text"]
        self.shot(LOCATION, "location")
        winelib.click(cls=LOCATION, pid=self.pid, id=BTN_LOCATION_NEXT)
        return destination

    def summary(self) -> None:
        self.page(SUMMARY)
        self.shot(SUMMARY, "summary")
        winelib.click(cls=SUMMARY, pid=self.pid, id=BTN_INSTALL)

    def maintenance(self) -> None:
        self.page(MAINTENANCE)
        self.shot(MAINTENANCE, "maintenance")
        winelib.click(cls=MAINTENANCE, pid=self.pid, id=BB_UPDATE)

    def install(self) -> None:
        """The install page while it works, when it is still there to be seen: a short run
        may already have handed over to the finish page."""
        deadline = time.time() + 60
        while time.time() < deadline:
            shown = {w["class"] for w in winelib.windows(pid=self.pid, timeout_ms=0)}
            if INSTALL in shown:
                self.shot(INSTALL, "install")
                return
            if FINISH in shown or self.proc.poll() is not None:
                return
            time.sleep(0.2)

    def finish(self, choices: WizardChoices) -> dict:
        """Sets the three boxes, takes the page's picture and presses its button. Returns the
        page as it was before the press."""
        win = self.page(FINISH)
        for box, on in zip((CB_SHORTCUT, CB_STARTMENU, CB_AUTOSTART), choices.links):
            if not on:
                winelib.tick(on=False, cls=FINISH, pid=self.pid, id=box)
        win = self.page(FINISH)
        self.shot(FINISH, "finish")
        winelib.click(cls=FINISH, pid=self.pid, id=BTN_CLOSE)
        return win

    # Whole walks.
    def new_installation(self, choices: WizardChoices) -> tuple[int, dict]:
        """Login to finish; returns the exit code and the finish page as it was shown."""
        self.login(choices)
        self.download()
        self.components(choices)
        self.location(choices)
        self.summary()
        self.install()
        finish = self.finish(choices)
        return self.exit_code(120), finish

    def update(self, choices: WizardChoices) -> tuple[int, dict]:
        """Login, the maintenance page's Update, download, install (the update) and finish."""
        self.login(choices)
        self.maintenance()
        self.download()
        self.install()
        finish = self.finish(choices)
        return self.exit_code(120), finish
