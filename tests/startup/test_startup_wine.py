"""The real setup.exe under Wine: one copy at a time, start-up checks, help text, log, and
the ZIP engine's library files. Message boxes are read and answered with wintool."""
import datetime
import importlib.util
import pathlib
import re
import subprocess

import pytest

_spec = importlib.util.spec_from_file_location(
    "winelib", pathlib.Path(__file__).resolve().parents[1] / "pylib" / "winelib.py")
winelib = importlib.util.module_from_spec(_spec)
_spec.loader.exec_module(winelib)

pytestmark = pytest.mark.skipif(not winelib.SETUP.exists(), reason="win32 build missing")

RULE = "-" * 59
HELP_TEXT = (
    'Parameter "-Bogus" unknown.\n\nsetup Help\n\nPossible Parameter\n\n'
    "-debug : Start debug mode\n\n-branch : stable or unstable\n\n"
    "-logwin : Open logwin on startup\n\n-shutdown : Force to close app\n\n"
    "-appversion : Shows app version\n\n-version: define version to install\n\n"
    "-partnerversion : define a partnerversion\n\n"
    "-silent : enter parameter for silent install\n"
    "  /install path (if empty then standard path)\n"
    "  /language (if empty then system language)\n  /users (if empty then: all)\n"
    "  /version (if empty then latest will be installed)\n"
    "  /partnerversion (if empty then latest will be installed)")


@pytest.fixture(autouse=True)
def clean_prefix():
    winelib.ensure_prefix()
    winelib.set_dotnet(True)
    winelib.clear_setup_logs()
    yield
    winelib.set_dotnet(True)


def log_name_pattern():
    return re.compile(r"^Setup_(\d{4})-([1-9]\d?)-([1-9]\d?)_(0|[1-9]\d?)-(0|[1-9]\d?)\.log$")


def test_second_copy_ends_at_once_and_help_text_ends_with_1639():
    first = winelib.start(["-Bogus"])
    try:
        # The first copy holds the instance semaphore while its help text waits for OK.
        assert winelib.msgbox(text_has="unknown.") == HELP_TEXT
        assert winelib.run([]) == 1618
        assert winelib.setup_logs() == []

        second = winelib.start(["-appversion"])
        assert winelib.msgbox(text_has="version : 1") == "version : 1.1.2.0"
        assert winelib.press("OK", text_has="version : 1")
        assert winelib.finish(second) == 1618
        assert winelib.setup_logs() == []
    finally:
        winelib.press("OK", text_has="unknown.")
    assert winelib.finish(first) == 1639

    logs = winelib.setup_logs()
    assert len(logs) == 1
    m = log_name_pattern().match(logs[0].name)
    assert m, logs[0].name
    started = datetime.datetime(*map(int, m.groups()))
    assert abs((datetime.datetime.now() - started).total_seconds()) < 180
    lines = winelib.read_log(logs[0])
    stamp = f"{started.year}-{started.month}-{started.day}_{started.hour}-{started.minute}"
    assert [t for _, t in lines[:6]] == [RULE, RULE, "| Setup", "| " + stamp, RULE, RULE]
    # Every line carries the locale's date and time (en-US: M/D/YYYY h:mm:ss AM).
    assert all(re.match(r"^\d{1,2}/\d{1,2}/\d{4} \d{1,2}:\d{2}:\d{2} [AP]M$", s) for s, _ in lines)


def test_missing_dotnet_shows_the_english_message_and_writes_nothing(tmp_path):
    exe = winelib.copy_setup(tmp_path / "app")
    winelib.set_dotnet(False)
    proc = winelib.start([], exe=exe)
    try:
        assert winelib.msgbox() == "NET Framework missing. At least Version 4.0 required!"
    finally:
        winelib.press("OK", cls="#32770")
    assert winelib.finish(proc) == 1603
    assert winelib.setup_logs() == []
    assert not (tmp_path / "app" / "DelZip192.dll").exists()


def test_zip_libraries_are_written_next_to_setup(tmp_path):
    folder = tmp_path / "Downloads"
    exe = winelib.copy_setup(folder)
    (folder / "DelZip192.dll").write_bytes(b"stale")  # an older file is replaced
    proc = winelib.start([], exe=exe)
    try:
        assert winelib.window(cls="TCredentialsForm", timeout_ms=30000), "no login page"
        for name, built in (("DelZip192.dll", "DelZip192.dll"), ("DelZip192x64.dll", "DelZip192x64.dll")):
            written = (folder / name).read_bytes()
            assert written == next(winelib.BUILD.rglob(built)).read_bytes(), name
        logs = winelib.setup_logs()
        assert len(logs) == 1 and log_name_pattern().match(logs[0].name)
        assert len(winelib.read_log(logs[0])) == 6
    finally:
        # The window's close button, confirmed: the user cancelled.
        winelib.wintool("close", "--class", "TCredentialsForm")
        winelib.press("Yes", text_has="Are you sure to cancel setup?")
    assert winelib.finish(proc) == 1602


def test_read_only_program_folder_ends_startup(tmp_path):
    folder = tmp_path / "readonly"
    exe = winelib.copy_setup(folder)
    if subprocess.run(["chattr", "+i", str(folder)], capture_output=True).returncode != 0:
        pytest.skip("cannot make a folder read-only here (chattr +i needs root on ext4)")
    try:
        assert winelib.run([], exe=exe) == 1603
        assert winelib.no_window(cls="#32770")  # the export error shows no box
    finally:
        subprocess.run(["chattr", "-i", str(folder)])
    assert not (folder / "DelZip192.dll").exists()
    assert not (folder / "DelZip192x64.dll").exists()
    assert winelib.setup_logs() == []
