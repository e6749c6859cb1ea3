"""The wizard's login page under Wine, driven through its real windows with the window tool,
against the local partner platform and update server of tools/devserver: layout at 96 DPI,
the language switch, empty fields, a refused and a successful login, an existing
installation, and Cancel / close with their question and exit codes."""
from __future__ import annotations

import contextlib
import subprocess
import sys
import time
from pathlib import Path

import pytest

sys.path.insert(0, str(Path(__file__).resolve().parent))
from wizardlib import (  # noqa: E402
    BTN_CANCEL, BTN_NEXT, BTN_SETTINGS, CB_LANG, DOCS, DOWNLOAD, ED_PASS, ED_USER, GB_CRED, GB_LANG,
    LB_ERROR, LB_PASS, LB_USER, LOGIN, PB_LOGIN, TEXT1, WELCOME, WS_EX_APPWINDOW, Setup, inst,
    sign_in, texts, trust_ca, winelib, zip_dlls)

pytestmark = pytest.mark.skipif(sys.platform != "linux", reason="runs Windows programs under Wine")

COMPONENTS = "TComponentForm"
MAINTENANCE = "TUpdateForm"

# Places of the login page's controls (client area, 96 DPI).
PLACES = {
    WELCOME: (272, 40), TEXT1: (272, 104), GB_CRED: (272, 164, 385, 133),
    LB_USER: (288, 204), ED_USER: (432, 200, 193), LB_PASS: (288, 244), ED_PASS: (432, 243, 193),
    LB_ERROR: (288, 276), PB_LOGIN: (432, 270, 193, 17), GB_LANG: (272, 320, 385, 57),
    CB_LANG: (432, 344, 193), BTN_NEXT: (582, 424, 75, 25), BTN_CANCEL: (488, 424, 75, 25),
    BTN_SETTINGS: (40, 424, 75, 25),
}
ENGLISH = {
    WELCOME: "Welcome to Palvoro Fax Setup", TEXT1: "Setup will guide you through the installation.",
    GB_CRED: "Please Enter your Lumora Credentials", LB_USER: "Username/Email", LB_PASS: "Password",
    GB_LANG: "Select your language", BTN_NEXT: "Next >", BTN_CANCEL: "Cancel", BTN_SETTINGS: "Settings",
}
GERMAN = {
    WELCOME: "Willkommen zum Palvoro Fax Setup", TEXT1: "Das Setup wird Sie durch die Installation führen.",
    GB_CRED: "Bitte geben Sie ihre Login Daten ein", LB_USER: "Benutzername/Email", LB_PASS: "Passwort",
    GB_LANG: "Wählen Sie ihre Sprache", BTN_NEXT: "Weiter >", BTN_CANCEL: "Abbrechen",
    BTN_SETTINGS: "Einstellungen",
}
UNINSTALL = rf"SOFTWARE\Wow6432Node\Microsoft\Windows\CurrentVersion\Uninstall\{inst.APPLICATION}"


def test_layout_language_switch_and_cancel(setup, build):
    win = setup.win
    assert win["caption"] == ""
    assert win["exstyle"] & WS_EX_APPWINDOW
    assert (win["client"]["w"], win["client"]["h"]) == (694, 471)
    for cid, place in PLACES.items():
        c = winelib.find_control(win, id=cid)
        got = (c["x"], c["y"], c["w"], c["h"])[:len(place)]
        assert all(abs(a - b) <= 3 for a, b in zip(got, place)), (cid, got, place)
    assert {k: v for k, v in texts(win).items() if k in ENGLISH} == ENGLISH
    lang = winelib.find_control(win, id=CB_LANG)
    assert lang["items"] == ["English", "German"] and lang["selected"] == 0
    assert not winelib.find_control(win, id=PB_LOGIN)["visible"]
    assert winelib.find_control(win, id=ED_USER)["focused"]
    DOCS.mkdir(exist_ok=True)
    winelib.screenshot(DOCS / "login_page_en.png", cls=LOGIN, pid=setup.pid)

    winelib.select(index=1, cls=LOGIN, pid=setup.pid, id=CB_LANG)
    assert winelib.wait(text_is="Weiter >", cls=LOGIN, pid=setup.pid, id=BTN_NEXT)
    win = setup.page()
    assert {k: v for k, v in texts(win).items() if k in GERMAN} == GERMAN
    lang = winelib.find_control(win, id=CB_LANG)
    assert lang["items"] == ["Englisch", "Deutsch"] and lang["selected"] == 1
    winelib.screenshot(DOCS / "login_page_de.png", cls=LOGIN, pid=setup.pid)
    winelib.select(index=0, cls=LOGIN, pid=setup.pid, id=CB_LANG)
    assert winelib.wait(text_is="Next >", cls=LOGIN, pid=setup.pid, id=BTN_NEXT)
    assert {k: v for k, v in texts(setup.page()).items() if k in ENGLISH} == ENGLISH

    # Cancel and the close button ask; No keeps the page.
    winelib.click(cls=LOGIN, pid=setup.pid, id=BTN_CANCEL)
    assert winelib.msgbox("Are you sure to cancel setup?") is not None
    assert winelib.press("No", text_has="Are you sure to cancel setup?")
    winelib.wintool("close", "--class", LOGIN, "--pid", setup.pid)
    assert winelib.msgbox("Are you sure to cancel setup?") is not None
    assert winelib.press("No", text_has="Are you sure to cancel setup?")
    assert setup.page()["visible"]
    assert setup.proc.poll() is None
    assert all(p.exists() for p in zip_dlls(build))

    # Yes: exit 1602 and the ZIP engine's library files removed.
    winelib.click(cls=LOGIN, pid=setup.pid, id=BTN_CANCEL)
    assert winelib.press("Yes", text_has="Are you sure to cancel setup?")
    assert setup.exit_code() == 1602
    assert not any(p.exists() for p in zip_dlls(build))


def test_close_button_confirmed_ends_with_1602(setup, build):
    winelib.wintool("close", "--class", LOGIN, "--pid", setup.pid)
    assert winelib.press("Yes", text_has="Are you sure to cancel setup?")
    assert setup.exit_code() == 1602
    assert not any(p.exists() for p in zip_dlls(build))


def test_empty_fields_and_refused_login(setup):
    winelib.click(cls=LOGIN, pid=setup.pid, id=BTN_NEXT)
    assert winelib.wait(text_is="Please enter valid credentials!", cls=LOGIN, pid=setup.pid, id=LB_ERROR)
    winelib.set_text("alice", cls=LOGIN, pid=setup.pid, id=ED_USER)
    winelib.click(cls=LOGIN, pid=setup.pid, id=BTN_NEXT)
    assert "| No credentials entered" in setup.log()

    sign_in(setup, "alice", "wrong")
    assert winelib.wait(text_is='Login incorrect Message: "denied"', cls=LOGIN, pid=setup.pid,
                        id=LB_ERROR, timeout_ms=30000)
    # The worker's last message hides the bar and gives Next back.
    assert winelib.wait(enabled=True, cls=LOGIN, pid=setup.pid, id=BTN_NEXT)
    assert not setup.control(PB_LOGIN)["visible"]
    assert setup.page()["visible"]
    log = setup.log()
    assert "| Login startet" in log and "| Login incorrect" in log


def test_login_reaches_the_next_page_and_back(setup):
    before = setup.page()["rect"]
    # Enter in the user-name field with an empty password moves to the password field.
    winelib.set_text("alice@example.com", cls=LOGIN, pid=setup.pid, id=ED_USER)
    winelib.key("Enter", cls=LOGIN, pid=setup.pid, id=ED_USER)
    assert winelib.wait(focused=True, cls=LOGIN, pid=setup.pid, id=ED_PASS)
    winelib.set_text("secret", cls=LOGIN, pid=setup.pid, id=ED_PASS)
    winelib.key("Enter", cls=LOGIN, pid=setup.pid, id=ED_PASS)
    # The download page opens where the login page was; the login page is hidden.
    nxt = setup.page(DOWNLOAD, all=True, timeout_ms=30000)
    assert nxt, setup.log()
    assert (nxt["rect"]["x"], nxt["rect"]["y"]) == (before["x"], before["y"])
    assert not setup.page(all=True)["visible"]
    # After the download, the component page.
    assert winelib.window(cls=COMPONENTS, pid=setup.pid, timeout_ms=60000), setup.log()
    log = setup.log()
    for line in ("| Login startet", "| Partner = kqx", "| PartnerTag = lumora", "| Login successful",
                 "| Auth User..."):
        assert line in log, log
    assert log.index("| Login successful") < log.index("| Auth User...")

    # Back shows the login page again with its entries.
    winelib.click(cls=COMPONENTS, pid=setup.pid, ctl="< Back")
    assert winelib.wait(visible=True, cls=LOGIN, pid=setup.pid, all=True)
    assert setup.control(ED_USER)["text"] == "alice@example.com"
    assert winelib.wait(enabled=True, cls=LOGIN, pid=setup.pid, id=BTN_NEXT)


def qdapi_requests(server) -> int:
    return sum(1 for r in server.requests if r[1].startswith("/qdapi/"))


@pytest.mark.parametrize("hive,command,with_exe", [
    ("HKCU", r'"{root}\uninstall.exe" -uninstall "\Software\Palvoro Fax\Palvoro\uninstall"', False),
    ("HKLM", r'{root}\uninstall.exe -uninstall "\Software\Palvoro Fax\Palvoro\uninstall"', False),
    ("HKLM", r'"{root}\uninstall.exe" -uninstall "\Software\Palvoro Fax\Palvoro\uninstall"', True),
    ("both", r'"{root}\uninstall.exe" -uninstall "\Software\Palvoro Fax\Palvoro\uninstall"', False),
], ids=["per-user quoted", "machine-wide unquoted", "machine-wide with Orfeda.exe",
        "both: the machine-wide one wins"])
def test_existing_installation(build, server, hive, command, with_exe):
    inst.clean_installation()
    root = r"C:\Program Files (x86)\Palvoro Fax\Palvoro"
    entries = {hive: root}
    if hive == "both":
        entries = {"HKCU": r"C:\users\Public\Per User Copy", "HKLM": root}
    for key_hive, key_root in entries.items():
        subprocess.run(["wine", "reg", "add", rf"{key_hive}\{UNINSTALL}", "/v", "UninstallString", "/t",
                        "REG_SZ", "/d", command.format(root=key_root), "/f", "/reg:64"], env=winelib.env(),
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL)
    if "HKCU" in entries:
        # Wine shows a 32-bit program HKCU\Software\Wow6432Node as its HKCU\Software once that
        # key exists (Windows shares HKCU\Software between both views), so the test CA is
        # trusted again in the user's store setup.exe then reads.
        trust_ca(build, Path(server.certdir) / "ca.der")
    if with_exe:
        folder = inst.host_path(r"C:\Program Files (x86)")
        (folder / "Palvoro Fax" / "Palvoro").mkdir(parents=True, exist_ok=True)
        (folder / "Palvoro Fax" / "Palvoro" / "Orfeda.exe").write_bytes(b"MZ")
    asked_before = qdapi_requests(server)
    s = Setup(build)
    try:
        sign_in(s, "alice", "secret")
        assert winelib.window(cls=MAINTENANCE, pid=s.pid, timeout_ms=60000), s.log()
        assert root in s.log()
        # The update server is asked for a newer version only when "Orfeda.exe" is there.
        assert (qdapi_requests(server) > asked_before) == with_exe
    finally:
        s.kill()
        inst.clean_installation()


# The maintenance page's controls and their places (client area, 96 DPI).
LB_TEXT, BB_INSTALL, LB_INFO1, BB_UPDATE, LB_INFO2, BB_DEINSTALL, LB_INFO3, BTN_M_CANCEL = range(1301, 1309)
MAINTENANCE_PLACES = {
    LB_TEXT: (272, 104), BB_UPDATE: (272, 225, 153, 57), LB_INFO2: (448, 246),
    BB_DEINSTALL: (272, 303, 153, 57), LB_INFO3: (448, 324), BTN_M_CANCEL: (582, 424, 75, 25),
}
MAINTENANCE_TEXTS = {
    "en": {BB_UPDATE: "Update", BB_DEINSTALL: "Uninstall", BTN_M_CANCEL: "Cancel"},
    "de": {BB_UPDATE: "Update", BB_DEINSTALL: "Deinstallieren", BTN_M_CANCEL: "Abbrechen"},
}
INSTALLED_ROOT = r"C:\Program Files (x86)\Palvoro Fax\Palvoro"
UNINSTALL_PARAM = r'-uninstall "\Software\Palvoro Fax\Palvoro\uninstall"'


@contextlib.contextmanager
def installed(build, uninstaller=True, german=False):
    """An installation found by the login (machine-wide entry, the demo uninstaller in its
    root, which records its command line) and a run of setup.exe signed in up to the
    maintenance page."""
    inst.clean_installation()
    command = rf'"{INSTALLED_ROOT}\uninstall.exe" {UNINSTALL_PARAM}'
    subprocess.run(["wine", "reg", "add", rf"HKLM\{UNINSTALL}", "/v", "UninstallString", "/t", "REG_SZ",
                    "/d", command, "/f", "/reg:64"], env=winelib.env(), check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL)
    root = inst.host_path(INSTALLED_ROOT)
    root.mkdir(parents=True, exist_ok=True)
    if uninstaller:
        import shutil
        from demo_release import release_programs
        shutil.copy(release_programs() / "uninstall.exe", root / "uninstall.exe")
    s = Setup(build)
    try:
        if german:
            winelib.select(index=1, cls=LOGIN, pid=s.pid, id=CB_LANG)
            assert winelib.wait(text_is="Weiter >", cls=LOGIN, pid=s.pid, id=BTN_NEXT)
        sign_in(s, "alice", "secret")
        assert winelib.window(cls=MAINTENANCE, pid=s.pid, timeout_ms=60000), s.log()
        yield s, root
    finally:
        s.kill()
        inst.clean_installation()


@pytest.mark.parametrize("lang", ["en", "de"])
def test_maintenance_page_and_uninstall(build, server, lang):
    with installed(build, german=lang == "de") as (s, root):
        win = s.page(MAINTENANCE)
        assert win["caption"] == "" and win["exstyle"] & WS_EX_APPWINDOW
        assert (win["client"]["w"], win["client"]["h"]) == (684, 461)
        for cid, place in MAINTENANCE_PLACES.items():
            c = winelib.find_control(win, id=cid)
            got = (c["x"], c["y"], c["w"], c["h"])[:len(place)]
            assert all(abs(a - b) <= 3 for a, b in zip(got, place)), (cid, got, place)
        assert {k: v for k, v in texts(win).items() if k in MAINTENANCE_TEXTS[lang]} == MAINTENANCE_TEXTS[lang]
        # The re-install choice is never offered.
        for cid in (BB_INSTALL, LB_INFO1):
            assert not winelib.find_control(win, id=cid)["visible"]
        DOCS.mkdir(exist_ok=True)
        winelib.screenshot(DOCS / f"maintenance_page_{lang}.png", cls=MAINTENANCE, pid=s.pid)

        # Uninstall starts the installation's uninstaller with the product's key and ends.
        winelib.click(cls=MAINTENANCE, pid=s.pid, id=BB_DEINSTALL)
        assert s.exit_code() == 0
        called = root / "uninstall-called.txt"
        for _ in range(100):
            if called.exists() and called.read_text():
                break
            time.sleep(0.1)
        assert called.read_text(encoding="utf-8") == UNINSTALL_PARAM
        log = s.log()
        for line in ("start Uninstall.exe", f"InstPath: {INSTALLED_ROOT}", f"s: {INSTALLED_ROOT}",
                     rf"Filename: {INSTALLED_ROOT}\Uninstall.exe", f"param: {UNINSTALL_PARAM}"):
            assert line in log, log


def test_maintenance_page_without_uninstaller_ends_with_1603(build, server):
    with installed(build, uninstaller=False) as (s, root):
        winelib.click(cls=MAINTENANCE, pid=s.pid, id=BB_DEINSTALL)
        assert s.exit_code() == 1603
        assert any(line.startswith(rf"Cannot start the uninstaller {INSTALLED_ROOT}\Uninstall.exe: ")
                   for line in s.log()), s.log()


def test_maintenance_page_cancel_close_and_update(build, server):
    with installed(build) as (s, root):
        # Cancel and the close button ask; No keeps the page.
        winelib.click(cls=MAINTENANCE, pid=s.pid, id=BTN_M_CANCEL)
        assert winelib.press("No", text_has="Are you sure to cancel setup?")
        winelib.wintool("close", "--class", MAINTENANCE, "--pid", s.pid)
        assert winelib.press("No", text_has="Are you sure to cancel setup?")
        assert s.page(MAINTENANCE)["visible"] and s.proc.poll() is None
        # Update goes on to the download, in update mode.
        winelib.click(cls=MAINTENANCE, pid=s.pid, id=BB_UPDATE)
        assert winelib.wait(visible=False, cls=MAINTENANCE, pid=s.pid, all=True)
        assert "start update..." in s.log()
    with installed(build) as (s, root):
        winelib.wintool("close", "--class", MAINTENANCE, "--pid", s.pid)
        assert winelib.press("Yes", text_has="Are you sure to cancel setup?")
        assert s.exit_code() == 1602
        assert not (root / "uninstall-called.txt").exists()


def test_login_page_at_150_percent(build, server):
    """Per-monitor aware: at 144 DPI the page and every control take 1.5 times their size."""
    inst.clean_installation()
    with winelib.dpi(144):
        s = Setup(build)
        try:
            win = s.win
            assert win["dpi"] == 144
            assert (win["client"]["w"], win["client"]["h"]) == (1041, 707)
            for cid, place in PLACES.items():
                c = winelib.find_control(win, id=cid)
                got = (c["x"], c["y"], c["w"], c["h"])[:len(place)]
                assert all(abs(a - b * 1.5) <= 3 for a, b in zip(got, place)), (cid, got, place)
        finally:
            s.kill()


def test_a_running_login_shows_its_progress_and_allows_no_second_one(setup, server):
    server.faults["slow"] = 2  # every platform answer takes two seconds
    try:
        sign_in(setup, "alice", "secret")
        assert winelib.wait(visible=True, cls=LOGIN, pid=setup.pid, id=PB_LOGIN)
        assert not setup.control(BTN_NEXT)["enabled"]
        # Enter (the default button) starts no second login either.
        winelib.key("Enter", cls=LOGIN, pid=setup.pid, id=CB_LANG)
        with pytest.raises(winelib.WintoolError):
            winelib.click(cls=LOGIN, pid=setup.pid, id=BTN_NEXT, timeout_ms=2000)
        assert setup.page(DOWNLOAD, all=True, timeout_ms=60000)
    finally:
        server.faults.clear()
    assert winelib.wait(enabled=True, cls=LOGIN, pid=setup.pid, id=BTN_NEXT, all=True)
    assert not setup.control(PB_LOGIN)["visible"]
    log = setup.log()
    assert log.count("| Login startet") == 1 and log.count("| Login successful") == 1, log
    assert len(winelib.windows(cls=DOWNLOAD, pid=setup.pid, all=True)) == 1


def test_keyboard_escape_asks_to_cancel(setup):
    winelib.key("Escape", cls=LOGIN, pid=setup.pid, id=ED_USER)
    assert winelib.press("No", text_has="Are you sure to cancel setup?")
    assert setup.page()["visible"]
    # Tab goes from the user name to the password.
    winelib.key("Tab", cls=LOGIN, pid=setup.pid, id=ED_USER)
    assert winelib.wait(focused=True, cls=LOGIN, pid=setup.pid, id=ED_PASS)


# Control ids of the proxy settings dialog.
SETTINGS_FORM = "TSettingsForm"
PROXY_AUTO, PROXY_USER, PROXY_SAVE, PROXY_CANCEL = 111, 113, 1, 2


def test_settings_opens_the_proxy_dialog_and_a_login_uses_what_was_saved(setup, monkeypatch):
    if not winelib.can_run_32bit():  # controls on a tab are read by the tool of the same bitness
        monkeypatch.setattr(winelib, "WINTOOL", winelib.WINTOOL64)
    dialog = {"cls": SETTINGS_FORM, "pid": setup.pid}
    winelib.click(cls=LOGIN, pid=setup.pid, id=BTN_SETTINGS)
    win = winelib.window(**dialog)
    assert win and winelib.find_control(win, id=PROXY_AUTO)["checked"] == 1
    # Cancel keeps the record; the dialog keeps what was typed.
    winelib.set_text("proxy-user", id=PROXY_USER, **dialog)
    winelib.click(id=PROXY_CANCEL, **dialog)
    assert winelib.wait(visible=False, all=True, **dialog)
    assert setup.page()["visible"]  # the login page stayed usable
    winelib.click(cls=LOGIN, pid=setup.pid, id=BTN_SETTINGS)
    win = winelib.window(**dialog)
    assert winelib.find_control(win, id=PROXY_USER)["text"] == "proxy-user"
    # No automatic detection: the login goes straight to the platform (no manual proxy is set).
    winelib.tick(False, id=PROXY_AUTO, **dialog)
    winelib.click(id=PROXY_SAVE, **dialog)
    assert winelib.wait(visible=False, all=True, **dialog)
    sign_in(setup, "alice", "secret")
    assert setup.page(DOWNLOAD, all=True, timeout_ms=30000), setup.log()
    assert "| Login successful" in setup.log()
