"""The window tool against its fixture window under Wine: reading every control, acting as
a user (with the notifications the program gets), keys through the program's own message
loop, a screenshot, answer times and the display DPI."""
import importlib.util
import pathlib
import subprocess
import time

import pytest

_spec = importlib.util.spec_from_file_location(
    "winelib", pathlib.Path(__file__).resolve().parents[1] / "pylib" / "winelib.py")
winelib = importlib.util.module_from_spec(_spec)
_spec.loader.exec_module(winelib)

TOOLS = winelib.BUILD / "tests" / "wintools"
CAPTION = "Wintool fixture"
SEL = {"caption": CAPTION}

pytestmark = pytest.mark.skipif(not (TOOLS / "fixture_window64.exe").exists(),
                                reason="win32 build missing")


@pytest.fixture(scope="module")
def programs():
    """The fixture and the tool of one bitness: 32-bit as setup.exe, unless this machine
    starts only 64-bit programs."""
    winelib.ensure_prefix()
    if winelib.can_run_32bit():
        return TOOLS / "fixture_window.exe", winelib.WINTOOL
    return TOOLS / "fixture_window64.exe", winelib.WINTOOL64


@pytest.fixture
def start_fixture(programs, monkeypatch):
    exe, tool = programs
    monkeypatch.setattr(winelib, "WINTOOL", tool)
    started = []

    def start():
        assert winelib.no_window(**SEL), "a fixture window of an earlier run is still open"
        started.append(subprocess.Popen([winelib.wine(), str(exe)], env=winelib.env(),
                                        stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL))
        win = winelib.window(timeout_ms=30000, **SEL)
        assert win, "the fixture window did not appear"
        return win

    yield start
    for proc in started:
        # A window the test closed itself is not waited for.
        winelib.wintool("close", "--caption", CAPTION, "--timeout", 0)
        try:
            proc.wait(15)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()


def ctl(win, id):
    return winelib.find_control(win, id=id)


def events(win=None):
    return ctl(win or winelib.window(**SEL), 110)["items"]


def scaled(v, dpi):
    return int(v * dpi / 96 + 0.5)  # MulDiv rounds halves up


@pytest.mark.parametrize("dpi", [96, 144])
def test_reads_every_control_in_physical_pixels(start_fixture, dpi):
    with winelib.dpi(dpi):
        win = start_fixture()
    assert win["dpi"] == dpi and win["exe"].startswith("fixture_window")
    assert (win["client"]["w"], win["client"]["h"]) == (scaled(480, dpi), scaled(360, dpi))
    nxt = ctl(win, 1)
    assert (nxt["x"], nxt["y"], nxt["w"], nxt["h"]) == tuple(scaled(v, dpi) for v in (395, 325, 75, 25))
    assert nxt["kind"] == "default_push" and nxt["default"] and not ctl(win, 2)["default"]
    assert ctl(win, 101)["focused"] and ctl(win, 101)["class"] == "Edit"
    assert (ctl(win, 102)["items"], ctl(win, 102)["selected"]) == (["English", "German"], 0)
    assert [(ctl(win, i)["kind"], ctl(win, i)["checked"]) for i in (103, 104, 105)] == [
        ("checkbox", 0), ("radio", 1), ("radio", 0)]
    assert (ctl(win, 106)["items"], ctl(win, 106)["selected"]) == (["alpha", "beta", "gamma"], [])
    assert ctl(win, 107)["items"] == [{"text": "Orfeda", "checked": True, "selected": False},
                                      {"text": "Manual", "checked": False, "selected": False}]
    assert (ctl(win, 108)["pos"], ctl(win, 108)["min"], ctl(win, 108)["max"]) == (50, 0, 200)
    assert not ctl(win, 109)["enabled"] and ctl(win, 109)["visible"]


def test_actions_reach_the_program_as_a_users_input(start_fixture):
    start_fixture()
    winelib.set_text("alice", id=101, **SEL)
    winelib.select("German", id=102, **SEL)
    winelib.tick(ctl="Remember me", **SEL)
    winelib.tick(ctl="Just me", **SEL)
    winelib.tick(id=107, item="Manual", **SEL)
    winelib.select("beta", id=106, **SEL)
    # The program keeps its first component ticked; a disabled button takes no click.
    with pytest.raises(winelib.WintoolError) as refused:
        winelib.tick(False, id=107, item="Orfeda", **SEL)
    with pytest.raises(winelib.WintoolError) as disabled:
        winelib.click(ctl="Later", **SEL)
    assert (refused.value.returncode, disabled.value.returncode) == (4, 3)
    winelib.click(ctl="Next", **SEL)
    assert winelib.wait(id=111, text_is="done", **SEL)
    assert winelib.wait(id=109, enabled=True, **SEL)

    win = winelib.window(**SEL)
    assert events(win) == ["EN_CHANGE alice", "CBN_SELCHANGE 1", "BN_CLICKED 103 1",
                           "BN_CLICKED 105 1", "LVN_ITEMCHANGED 1 1", "LBN_SELCHANGE 1", "IDOK"]
    assert ctl(win, 101)["text"] == "alice" and ctl(win, 102)["selected"] == 1
    assert [i["checked"] for i in ctl(win, 107)["items"]] == [True, True]
    assert (ctl(win, 104)["checked"], ctl(win, 106)["selected"]) == (0, [1])
    assert not winelib.wait(id=111, text_is="never", timeout_ms=300, **SEL)

    winelib.wintool("close", "--caption", CAPTION)
    assert winelib.no_window(**SEL)


@pytest.mark.parametrize("via", ["input", "post"])
def test_keys_go_through_the_programs_message_loop(start_fixture, via):
    start_fixture()
    # Enter and Escape reach the page's IsDialogMessage (default button, Cancel) and the
    # edit still sees the key being released, as with a typed key.
    winelib.key("Enter", via=via, id=101, **SEL)
    winelib.key("Escape", via=via, id=101, **SEL)
    winelib.key("Alt+R", via=via, **SEL)
    win = winelib.window(**SEL)
    assert events(win)[:4] == ["IDOK", "KEYUP 13", "IDCANCEL", "KEYUP 27"]
    assert "BN_CLICKED 103 1" in events(win) and ctl(win, 103)["focused"]
    winelib.key("Tab", via=via, id=101, **SEL)
    assert winelib.wait(id=102, focused=True, timeout_ms=2000, **SEL)
    if via == "input":  # only real input sets the key state that Shift+Tab needs
        winelib.key("Shift+Tab", via=via, id=101, **SEL)
        assert winelib.wait(id=1, focused=True, timeout_ms=2000, **SEL)


def test_folder_browser_is_driven_through_its_tree(start_fixture, programs):
    start_fixture()
    winelib.click(ctl="Browse...", **SEL)
    browser = {"cls": "#32770", "exe": programs[0].name}
    tree = winelib.find_control(winelib.window(**browser), cls="SysTreeView32")
    assert [i["depth"] for i in tree["items"]][:2] == [0, 1]  # the drive, open, and its folders
    # Each level opens as the user opens it, so the browser fills it on the way.
    winelib.select(tree["items"][0]["text"] + "|windows|system32", ctl_class="SysTreeView32",
                   **browser)
    winelib.click(ctl="OK", **browser)
    assert winelib.no_window(**browser)
    assert events()[-1] == "BROWSED C:\\windows\\system32"


def test_screenshot_is_the_window_as_drawn(start_fixture, tmp_path):
    win = start_fixture()
    png = winelib.screenshot(tmp_path / "fixture.png", **SEL)
    size, colours = subprocess.run(["identify", "-format", "%wx%h %k", str(png)], check=True,
                                   capture_output=True, text=True).stdout.split()
    assert size == f"{win['rect']['w']}x{win['rect']['h']}"
    assert int(colours) > 20  # text, frame, check marks, the progress bar: not blank


def test_answer_times_show_a_blocked_window(start_fixture):
    start_fixture()
    measuring = winelib.start_responsiveness(for_ms=4000, **SEL)
    time.sleep(1.5)
    winelib.click(ctl="Block", **SEL)  # keeps the window busy for 400 ms
    figures = measuring.result()
    assert figures["samples"] > 100 and figures["timeouts"] == 0
    assert figures["max_ms"] >= 300 and figures["over_100ms"] >= 1
