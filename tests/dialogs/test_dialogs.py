"""The proxy settings dialog and the debug window, the real windows under Wine: opened from
a stand-in page (dialog_probe.exe, through the program's own message loop) and, for the
debug window, by setup.exe's "-debug" option. Positions are checked at 96 DPI."""
import contextlib
import importlib.util
import pathlib
import re
import subprocess

import pytest

_spec = importlib.util.spec_from_file_location(
    "winelib", pathlib.Path(__file__).resolve().parents[1] / "pylib" / "winelib.py")
winelib = importlib.util.module_from_spec(_spec)
_spec.loader.exec_module(winelib)

PROBE = winelib.BUILD / "tests" / "dialogs" / "dialog_probe.exe"
SHOTS = winelib.BUILD / "screenshots"
PROBE_SEL = {"caption": "DialogProbe"}
SETTINGS = {"cls": "TSettingsForm", "exe": "dialog_probe.exe"}
DEBUG = {"cls": "TDebugForm"}
LOGIN_PAGE = {"cls": "TCredentialsForm", "exe": "setup.exe"}
TOLERANCE = 3

# Control ids of the proxy settings dialog.
TAB, SHEET, GROUP, CHECK, LBL_USER, USER, LBL_PASSWORD, PASSWORD, SAVE, CANCEL = (
    100, 101, 110, 111, 112, 113, 114, 115, 1, 2)
RECORD = 20  # the probe's view of the proxy record

pytestmark = pytest.mark.skipif(not PROBE.exists(), reason="win32 build missing")


@pytest.fixture(autouse=True)
def tool_of_the_programs_bitness(monkeypatch):
    winelib.ensure_prefix()
    # Tab texts are read by the tool of the program's own bitness.
    if not winelib.can_run_32bit():
        monkeypatch.setattr(winelib, "WINTOOL", winelib.WINTOOL64)


@contextlib.contextmanager
def running_probe(dpi=96):
    assert winelib.no_window(**PROBE_SEL), "a probe of an earlier test is still open"
    with winelib.dpi(dpi):
        proc = subprocess.Popen([winelib.wine(), str(PROBE)], env=winelib.env(),
                                stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL)
        try:
            assert winelib.window(timeout_ms=30000, **PROBE_SEL), "the probe did not start"
        except BaseException:
            proc.kill()
            raise
    try:
        yield proc
    finally:
        # A probe the test closed itself is not waited for.
        winelib.wintool("close", "--caption", "DialogProbe", "--timeout", 0)
        try:
            proc.wait(15)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()


@pytest.fixture
def probe():
    with running_probe() as proc:
        yield proc


def ctl(win, id):
    c = winelib.find_control(win, id=id)
    assert c is not None, f"control {id} missing"
    return c


def assert_near(control, *place):
    """The control at (x, y[, w[, h]]) within a few pixels."""
    got = [control[k] for k in ("x", "y", "w", "h")][:len(place)]
    assert all(abs(a - b) <= TOLERANCE for a, b in zip(got, place)), \
        f"control {control['id']} ({control['text']!r}): got {got}, want {list(place)}"


def open_settings():
    winelib.click(ctl="Settings", **PROBE_SEL)
    assert winelib.wait(visible=True, **SETTINGS)
    return winelib.window(**SETTINGS)


def record_is(text):
    return winelib.wait(id=RECORD, text_is=text, timeout_ms=5000, **PROBE_SEL)


def hidden(sel):
    return winelib.wait(visible=False, all=True, **sel)


def test_proxy_dialog_layout_and_first_opening(probe):
    win = open_settings()
    assert win["caption"] == ""
    assert (win["client"]["w"], win["client"]["h"]) == (494, 187)
    assert win["owner"] == 0 and win["dpi"] == 96
    tab = ctl(win, TAB)
    assert tab["items"] == ["Proxy"] and tab["selected"] == 0
    assert_near(tab, 0, 0, 500, 145)
    # Page, group and the group's contents, each relative to what holds it.
    sheet = ctl(win, SHEET)
    assert 0 < sheet["x"] <= 8 and 15 <= sheet["y"] <= 32, sheet
    group = ctl(win, GROUP)
    assert group["kind"] == "groupbox" and group["text"] == "Proxy automatic detection"
    assert_near(group, sheet["x"] + 15, sheet["y"] + 3, 370, 102)
    gx, gy = group["x"], group["y"]
    check = ctl(win, CHECK)
    assert check["kind"] == "checkbox" and check["text"] == "enable automatic detection"
    assert check["checked"] == 1  # automatic detection is on from start-up
    assert_near(check, gx + 32, gy + 26, 312)
    user, password = ctl(win, USER), ctl(win, PASSWORD)
    assert user["text"] == "" and password["text"] == ""
    assert password["password"] and not user["password"]
    assert_near(user, gx + 32, gy + 70, 153)
    assert_near(password, gx + 191, gy + 70, 153)
    for label, edit, text in ((LBL_USER, user, "Username/Email"), (LBL_PASSWORD, password, "Password")):
        lbl = ctl(win, label)
        assert lbl["text"] == text
        assert lbl["x"] == edit["x"] and lbl["y"] + lbl["h"] <= edit["y"] <= lbl["y"] + lbl["h"] + 6
    save, cancel = ctl(win, SAVE), ctl(win, CANCEL)
    assert (save["text"], cancel["text"]) == ("Save", "Cancel")
    assert_near(save, 314, 154, 75, 25)
    assert_near(cancel, 395, 154, 75, 25)
    assert save["default"]
    # Not modal: the page that opened it stays usable.
    assert winelib.window(**PROBE_SEL)["enabled"]
    assert record_is("auto=1|user=|password=")
    winelib.screenshot(SHOTS / "settings_form.png", **SETTINGS)


def test_proxy_dialog_save_cancel_and_what_reopening_shows(probe):
    open_settings()
    # Cancel stores nothing, but the controls keep what was typed.
    winelib.set_text("alice", id=USER, **SETTINGS)
    winelib.tick(False, id=CHECK, **SETTINGS)
    winelib.click(id=CANCEL, **SETTINGS)
    assert hidden(SETTINGS)
    assert record_is("auto=1|user=|password=")
    win = open_settings()
    assert ctl(win, USER)["text"] == "alice" and ctl(win, CHECK)["checked"] == 0
    # Save stores what the controls hold.
    winelib.click(id=SAVE, **SETTINGS)
    assert hidden(SETTINGS)
    assert record_is("auto=0|user=alice|password=")

    # Enter is Save, from an edit.
    open_settings()
    winelib.set_text("s3cr*t pw", id=PASSWORD, **SETTINGS)
    winelib.key("Enter", id=PASSWORD, **SETTINGS)
    assert hidden(SETTINGS)
    assert record_is("auto=0|user=alice|password=s3cr*t pw")

    # Escape is Cancel; so is the close box.
    open_settings()
    winelib.set_text("bob", id=USER, **SETTINGS)
    winelib.tick(True, id=CHECK, **SETTINGS)
    winelib.key("Escape", id=USER, **SETTINGS)
    assert hidden(SETTINGS)
    win = open_settings()
    assert ctl(win, USER)["text"] == "bob" and ctl(win, CHECK)["checked"] == 1
    winelib.wintool("close", "--class", "TSettingsForm")
    assert hidden(SETTINGS)
    assert record_is("auto=0|user=alice|password=s3cr*t pw")

    # One dialog for every press.
    open_settings()
    assert len(winelib.windows(all=True, **SETTINGS)) == 1


def test_proxy_dialog_takes_the_language_on_every_showing(probe):
    win = open_settings()
    winelib.set_text("carol", id=USER, **SETTINGS)
    winelib.click(id=SAVE, **SETTINGS)
    assert hidden(SETTINGS)
    winelib.click(ctl="German", **PROBE_SEL)
    win = open_settings()
    assert ctl(win, TAB)["items"] == ["Proxy"]
    assert ctl(win, GROUP)["text"] == "automatische Proxy Erkennung"
    assert ctl(win, CHECK)["text"] == "aktiviere automatische Erkennung"
    assert ctl(win, LBL_USER)["text"] == "Benutzername/Email"
    assert ctl(win, LBL_PASSWORD)["text"] == "Passwort"
    assert (ctl(win, SAVE)["text"], ctl(win, CANCEL)["text"]) == ("Speichern", "Abbrechen")
    assert win["caption"] == ""
    # The values are those of the controls, not loaded again.
    assert ctl(win, USER)["text"] == "carol"
    winelib.screenshot(SHOTS / "settings_form_german.png", **SETTINGS)
    winelib.click(id=CANCEL, **SETTINGS)
    winelib.click(ctl="English", **PROBE_SEL)
    win = open_settings()
    assert ctl(win, SAVE)["text"] == "Save" and ctl(win, GROUP)["text"] == "Proxy automatic detection"



def test_proxy_dialog_at_150_percent_keeps_its_layout_scaled():
    def scaled(v):
        return int(v * 144 / 96 + 0.5)  # MulDiv rounds halves up

    with running_probe(144):
        win = open_settings()
        assert win["dpi"] == 144
        assert (win["client"]["w"], win["client"]["h"]) == (scaled(494), scaled(187))
        assert_near(ctl(win, SAVE), scaled(314), scaled(154), scaled(75), scaled(25))
        assert_near(ctl(win, CANCEL), scaled(395), scaled(154), scaled(75), scaled(25))
        group = ctl(win, GROUP)
        for id in (CHECK, LBL_USER, USER, LBL_PASSWORD, PASSWORD):
            c = ctl(win, id)
            assert group["x"] < c["x"] and c["x"] + c["w"] < group["x"] + group["w"], c
            assert group["y"] < c["y"] and c["y"] + c["h"] < group["y"] + group["h"], c
        sheet = ctl(win, SHEET)
        assert group["y"] + group["h"] <= sheet["y"] + sheet["h"]


# The debug window's labels by name, with their control ids.
LABELS = {"Label1": 301, "Label2": 302, "Label3": 303, "Label4": 304, "Label10": 310,
          "Label11": 311, "Label12": 312, "Label13": 313, "Label14": 314, "Label15": 315,
          "Label16": 316, "Label19": 319, "Label20": 320, "Label5": 405, "Label6": 406,
          "Label7": 407, "Label8": 408, "Label9": 409, "Label17": 417, "Label18": 418,
          "lblWinVersion": 420, "lblRights": 421, "Label21": 422}
PAGE_CONTROL, TAB_SHEET1, TAB_SHEET2, REFRESH = 200, 201, 202, 330
PROXY_GROUP = {"gbProxySettings": 340, "Panel1": 341, "cbProxyAutoDetect": 342,
               "leProxyAutoDetectUsername": 344, "leProxyAutoDetectPassword": 346,
               "leProxyServer": 348, "leProxyPort": 350, "leProxyUsername": 352,
               "leProxyPassword": 354}
EMPTY_INSTALL_REC = {
    "Label1": "AppliacationName: \r\n", "Label2": "FromDir: \r\n", "Label3": "InstPath: \r\n",
    "Label4": "Language: \r\n", "Label10": "Partner: \r\n", "Label11": "PrinterName: \r\n",
    "Label12": "Provider: \r\n", "Label13": "Producer: \r\n", "Label14": "Server: \r\n",
    "Label15": "SID: \r\n", "Label16": "Users: \r\n", "Label19": "Version\r\n",
    "Label20": "Partner Version\r\n"}


def label(win, name):
    return ctl(win, LABELS[name])["text"]


def test_debug_window_layout_refresh_and_close(probe):
    winelib.click(ctl="Debug", **PROBE_SEL)
    assert winelib.wait(visible=True, **DEBUG)
    win = winelib.window(**DEBUG)
    assert win["caption"] == "DebugForm"
    assert (win["client"]["w"], win["client"]["h"]) == (723, 430)
    assert win["owner"] == winelib.window(**PROBE_SEL)["hwnd"]
    tab = ctl(win, PAGE_CONTROL)
    assert tab["items"] == ["InstallRec Values", "Environment"] and tab["selected"] == 0
    assert_near(tab, 0, 0, 723, 430)
    sheet1, sheet2 = ctl(win, TAB_SHEET1), ctl(win, TAB_SHEET2)
    assert sheet1["visible"] and not sheet2["visible"]
    # The values of the moment of creation, each name on one line and its value below.
    assert {n: label(win, n) for n in EMPTY_INSTALL_REC} == EMPTY_INSTALL_REC
    assert label(win, "Label21") == "false"
    refresh = ctl(win, REFRESH)
    assert refresh["text"] == "refresh" and refresh["enabled"]
    assert_near(refresh, sheet1["x"] + 8, sheet1["y"] + 360, 75, 25)
    # The proxy settings are shown, never edited.
    group = {n: ctl(win, i) for n, i in PROXY_GROUP.items()}
    assert group["gbProxySettings"]["text"] == "Proxy Settings"
    assert group["cbProxyAutoDetect"]["text"] == "Proxy auto. detect"
    assert group["cbProxyAutoDetect"]["checked"] == 1
    assert not any(c["enabled"] for c in group.values())
    assert all(group[n]["text"] == "" for n in PROXY_GROUP if n.startswith("le"))
    edit_labels = [c["text"] for c in win["controls"] if c["id"] in (343, 345, 347, 349, 351, 353)]
    assert edit_labels == ["Proxy Username", "Proxy Password", "Proxy Server", "Proxy Port",
                           "Proxy Username", "Proxy Password"]
    # Every label of the first tab lies inside the page and no two overlap.
    labels1 = [ctl(win, LABELS[n]) for n in EMPTY_INSTALL_REC]
    for a in labels1:
        assert a["x"] + a["w"] <= group["gbProxySettings"]["x"]
        assert a["y"] + a["h"] <= refresh["y"]
        for b in labels1:
            if a is not b:
                assert (a["x"] + a["w"] <= b["x"] or b["x"] + b["w"] <= a["x"] or
                        a["y"] + a["h"] <= b["y"] or b["y"] + b["h"] <= a["y"])

    # A login fills the install record; the tab shows it after "refresh" only.
    winelib.click(ctl="Brand", **PROBE_SEL)
    win = winelib.window(**DEBUG)
    assert label(win, "Label1") == "AppliacationName: \r\n"
    winelib.click(id=REFRESH, **DEBUG)
    assert winelib.wait(id=LABELS["Label1"], text_is="AppliacationName: \r\nBrixaro Fax", **DEBUG)
    win = winelib.window(**DEBUG)
    assert label(win, "Label12") == "Provider: \r\nBrixaro"
    assert label(win, "Label13") == "Producer: \r\nFax"
    assert label(win, "Label11") == "PrinterName: \r\nBrixaro Fax Printer"
    assert label(win, "Label14") == "Server: \r\n" and label(win, "Label15") == "SID: \r\n"
    assert ctl(win, PROXY_GROUP["leProxyServer"])["text"] == "proxy.example"
    assert ctl(win, PROXY_GROUP["leProxyPort"])["text"] == "3128"

    # The second tab: the folders, the Windows version and the rights.
    winelib.select(index=1, id=PAGE_CONTROL, **DEBUG)
    assert winelib.wait(id=TAB_SHEET2, visible=True, **DEBUG)
    win = winelib.window(**DEBUG)
    assert not ctl(win, TAB_SHEET1)["visible"]
    assert label(win, "Label17").startswith("Desktop: \r\nC:\\")
    assert label(win, "Label17").endswith("\\Desktop")
    assert label(win, "Label18").startswith("PublicDesktop: \r\nC:\\")
    # A version the table knows (the prefix's own; the mapping itself is a unit test).
    assert re.fullmatch(r"OS type: Windows (XP|Vista|7|8|8\.1|10)", label(win, "lblWinVersion"))
    assert label(win, "lblRights") in ("(Administrator)", "(NOT Administrator)")
    assert [ctl(win, i)["text"] for i in (402, 403)] == ["Windows Version and Rights", "Silentinstall"]

    # Closing hides it; it is the same window when shown again.
    hwnd = win["hwnd"]
    winelib.wintool("close", "--class", "TDebugForm")
    assert hidden(DEBUG)
    winelib.click(ctl="Debug", **PROBE_SEL)
    assert winelib.wait(visible=True, **DEBUG)
    assert winelib.window(**DEBUG)["hwnd"] == hwnd


def end_setup(proc):
    winelib.wintool("close", "--class", "TQDSetupForm", "--all", "--exe", "setup.exe")
    return winelib.finish(proc, timeout=60)


def test_debug_window_opens_with_the_command_line_values():
    winelib.clear_setup_logs()
    with winelib.dpi(96):
        proc = winelib.start(["-debug", "zorqin", "-branch", "unstable", "-version", "2.4.0.0",
                              "-partnerversion", "1.0.3"])
        # The settings hold until the program has its windows.
        shown = winelib.wait(visible=True, timeout_ms=30000, exe="setup.exe", **DEBUG)
    try:
        assert shown
        win = winelib.window(exe="setup.exe", **DEBUG)
        main = winelib.window(all=True, exe="setup.exe", cls="TQDSetupForm")
        assert win["caption"] == "DebugForm" and win["owner"] == main["hwnd"]
        # It stays beside the wizard's first page.
        assert winelib.wait(visible=True, timeout_ms=30000, **LOGIN_PAGE)
        assert winelib.window(exe="setup.exe", **DEBUG)["visible"]
        assert label(win, "Label19") == "Version\r\n2.4.0.0"
        assert label(win, "Label20") == "Partner Version\r\n1.0.3"
        assert label(win, "Label3") == "InstPath: \r\n"
        assert label(win, "Label21") == "false"
        assert label(win, "Label8") == "rootpath: \r\n" + winelib.to_win(winelib.SETUP.parent) + "\\"
        assert label(win, "Label9").startswith("TEMP: \r\nC:\\")
        # setup.exe asks for administrator rights in its manifest.
        assert label(win, "lblRights") == "(Administrator)"
        winelib.screenshot(SHOTS / "debug_form.png", **DEBUG)
        winelib.select(index=1, id=PAGE_CONTROL, **DEBUG)
        assert winelib.wait(id=TAB_SHEET2, visible=True, **DEBUG)
        winelib.screenshot(SHOTS / "debug_form_environment.png", **DEBUG)
    finally:
        code = end_setup(proc)
    assert code == 0


def test_wrong_debug_password_opens_no_debug_window():
    winelib.clear_setup_logs()
    proc = winelib.start(["-debug", "Zorqin"])
    try:
        assert winelib.msgbox(timeout_ms=30000) == "Wrong Debug Password. Debugging disabled."
        assert winelib.press("OK", cls="#32770")
        # Start-up goes on to the login page; the debug window would have come before it.
        assert winelib.wait(visible=True, timeout_ms=30000, **LOGIN_PAGE)
        assert winelib.windows(timeout_ms=500, all=True, exe="setup.exe", **DEBUG) == []
    finally:
        code = end_setup(proc)
    assert code == 0
