"""The wizard's download page under Wine, driven through its real windows against the local
update server and partner platform of tools/devserver: a login leading to the download of the
release and the partner package and on to the next page, its layout and texts in both
languages, the failures that end the program with 1603 after telling the user, and the
close question."""
from __future__ import annotations

import shutil
import sys
import time
from pathlib import Path

import pytest

sys.path.insert(0, str(Path(__file__).resolve().parent))
from wizardlib import (  # noqa: E402
    BTN_NEXT, CB_LANG, CONFIRM_CANCEL, DOCS, DOWNLOAD, LOGIN, WS_EX_APPWINDOW, in_order,
    inst, places_match, serving, sign_in, texts, winelib, zip_dlls)

import demo_release as release  # noqa: E402  (tools/demolib, put on the path by wizardlib)

pytestmark = pytest.mark.skipif(sys.platform != "linux", reason="runs Windows programs under Wine")

LB_TEXT2, LB_VERSION, LB_DOWNLOAD, PB_DOWNLOAD, GB_DOWNLOAD = range(1201, 1206)
PLACES = {
    LB_TEXT2: (272, 104), GB_DOWNLOAD: (272, 164, 385, 133), LB_VERSION: (504, 180),
    LB_DOWNLOAD: (288, 204), PB_DOWNLOAD: (288, 260, 353, 17),
}
COMPONENTS = "TComponentForm"
LATEST = "2.5.0.0"
PARTNER_VERSION = "1.0.3"
STAGING_WIN = inst.TEMP_WIN + r"\Orfeda\orfeda_release"
ERROR_RETRY = "An error occured. Please try running Setup again."

# The page while the release's archive downloads.
DOWNLOADING = {
    "en": {LB_TEXT2: "Setup is loading the Installation Files.", GB_DOWNLOAD: "Get Maindata...",
           LB_VERSION: f"Version: {LATEST}", LB_DOWNLOAD: f"Download File {release.RELEASE_ARCHIVE}"},
    "de": {LB_TEXT2: "Setup lädt die Dateien zur Installation herunter.", GB_DOWNLOAD: "Lade Hauptdaten...",
           LB_VERSION: f"Version: {LATEST}", LB_DOWNLOAD: f"Lade Datei {release.RELEASE_ARCHIVE}"},
}


def wizard_log_lines(server_url: str) -> list[str]:
    """Every step of both workers, in order, as an English run logs them."""
    return [
        "| Login successful",
        "| Auth User...", "| Auth validate...", "| get defined version...", "| Listfiles...",
        "| Download File...", "| Download File ", "| Check MD5...", "| Extracting Files...",
        "| get components ok", "| finished",
        "| finished", "| Auth validate...", "| Get latest Version...", f"| Server: {server_url}",
        "| Branch: stable", "| Appname: orfeda_2018_kqx", "| get defined version...", "| Listfiles...",
        "| Download File...", "| Download files ", "| Check MD5...", "| Extracting Files...",
        "| CreateVersiontxt ok", "| finished",
    ]


def release_variant(releases: Path, name: str | None) -> Path | None:
    """A variant of the demo release tree: "damaged" cuts the latest release archive short (it
    is listed with its own sum), "no-partner-version" has the partner package's application
    without any version."""
    if name is None:
        return None
    root = releases / name
    if not root.exists():
        shutil.copytree(releases / "demo", root)
        if name == "damaged":
            archive = root / "stable" / release.APPNAME / LATEST / release.RELEASE_ARCHIVE
            data = archive.read_bytes()
            archive.write_bytes(data[:len(data) * 2 // 3])
        elif name == "no-partner-version":
            shutil.rmtree(root / "stable" / f"{release.APPNAME}_{release.PARTNER}" / PARTNER_VERSION)
    return root


def test_download_reaches_the_next_page_and_a_second_login_downloads_afresh(setup, server):
    sign_in(setup, "alice", "secret")
    dl = setup.page(DOWNLOAD, all=True, timeout_ms=30000)
    assert dl, setup.log()
    components = winelib.window(cls=COMPONENTS, pid=setup.pid, timeout_ms=120000)
    assert components, setup.log()
    # The next page opens where the download page was, which is hidden, its labels showing the
    # last step of the partner package.
    assert (components["rect"]["x"], components["rect"]["y"]) == (dl["rect"]["x"], dl["rect"]["y"])
    dl = setup.page(DOWNLOAD, all=True)
    assert not dl["visible"]
    shown = texts(dl)
    assert shown[LB_VERSION] == f"Partner Version: {PARTNER_VERSION}"
    assert shown[GB_DOWNLOAD] == "Get Partnerdata..." and shown[LB_DOWNLOAD] == "finished"
    assert winelib.find_control(dl, id=PB_DOWNLOAD)["pos"] == 100

    log = setup.log()
    missing = in_order(log, wizard_log_lines(server.url))
    assert not missing, "log lines missing or out of order: %s\n%s" % (missing, "\n".join(log))
    assert "exit" not in log

    # The staging folder: the unpacked release with the partner package below files\partner.
    staging = inst.host_path(STAGING_WIN)
    assert (staging / "setup.json").is_file()
    assert (staging / "files" / "readme.txt").read_text().strip() == f"Orfeda demo release {LATEST}"
    assert (staging / "files" / "Orfeda.exe").is_file()
    assert (staging / "files" / "partner" / "version.txt").read_bytes() == PARTNER_VERSION.encode() + b"\r\n"
    assert (staging / "files" / "partner" / "nova" / release.DRIVER).is_file()
    assert (staging / "files" / "partner" / "image" / "ShortCut.ico").is_file()

    # Back to the login page and a second login: a new download page makes the download area
    # afresh (the first page lets go of it) and reaches the next page again.
    winelib.click(cls=COMPONENTS, pid=setup.pid, ctl="< Back")
    assert winelib.wait(visible=True, cls=LOGIN, pid=setup.pid, all=True)
    winelib.click(cls=LOGIN, pid=setup.pid, id=BTN_NEXT)
    second = winelib.window(cls=COMPONENTS, pid=setup.pid, timeout_ms=120000)
    assert second and second["hwnd"] != components["hwnd"], setup.log()
    assert len(winelib.windows(cls=DOWNLOAD, pid=setup.pid, all=True)) == 2
    log = setup.log()
    assert log.count("| Auth User...") == 2 and log.count("| Extracting Files...") == 4, "\n".join(log)
    assert not [line for line in log if line.startswith("Cannot prepare")]
    assert (staging / "files" / "partner" / "version.txt").is_file()


@pytest.mark.parametrize("language", ["en", "de"])
def test_layout_and_texts_while_the_release_downloads(setup, server, language):
    # Each archive's download stops halfway for a while: time to look at the page.
    server.faults["stall_download"] = 8
    if language == "de":
        winelib.select(index=1, cls=LOGIN, pid=setup.pid, id=CB_LANG)
        assert winelib.wait(text_is="Weiter >", cls=LOGIN, pid=setup.pid, id=BTN_NEXT)
    want = DOWNLOADING[language]
    sign_in(setup, "alice", "secret")
    assert winelib.wait(text_is=want[LB_DOWNLOAD], cls=DOWNLOAD, pid=setup.pid, id=LB_DOWNLOAD,
                        timeout_ms=60000), setup.log()
    win = setup.page(DOWNLOAD)
    assert win["caption"] == ""
    assert win["exstyle"] & WS_EX_APPWINDOW
    assert (win["client"]["w"], win["client"]["h"]) == (694, 471)
    assert not places_match(win, PLACES)
    assert {k: v for k, v in texts(win).items() if k in want} == want
    assert winelib.find_control(win, id=PB_DOWNLOAD)["pos"] == 60
    # No buttons: the page only shows what the workers report.
    assert not [c for c in win["controls"] if c["class"].lower() == "button" and c["id"] != GB_DOWNLOAD]
    assert not setup.page(all=True)["visible"]  # the login page
    DOCS.mkdir(exist_ok=True)
    winelib.screenshot(DOCS / f"download_page_{language}.png", cls=DOWNLOAD, pid=setup.pid)

    # The partner phase: its version, the bar started again.
    assert winelib.wait(text_is=f"Partner Version: {PARTNER_VERSION}", cls=DOWNLOAD, pid=setup.pid,
                        id=LB_VERSION, timeout_ms=60000)
    assert winelib.find_control(setup.page(DOWNLOAD, all=True), id=PB_DOWNLOAD)["pos"] < 100
    server.faults.clear()
    assert winelib.window(cls=COMPONENTS, pid=setup.pid, timeout_ms=60000), setup.log()


NO_DATA = "No Data available. Close setup."
FAILURES = [
    # id, server faults, release tree, the boxes shown in turn, the log's last lines before the last box
    ("refused-key", {"refuse_key": True}, None, [ERROR_RETRY], ["| Auth User...", "auth_key failed, OuMessage: *"]),
    ("checksum-mismatch", {"bad_checksum": True}, None, [ERROR_RETRY],
     ["| Download File ", "| Check MD5...", "| Checksum incorrect...", "File exists *", "FileSize *"]),
    ("damaged-archive", {}, "damaged", [ERROR_RETRY],
     ["| Check MD5...", "| Extracting Files...", "Extract Exception: *", "Ziperror : *", "| error extracting!"]),
    # The worker waits while the box it asked for is open on the UI thread.
    ("no-partner-version", {}, "no-partner-version", [NO_DATA, ERROR_RETRY],
     ["| Appname: orfeda_2018_kqx", "| get defined version...",
      "update_getLatestVersion, OuMessage: No version available"]),
]


@pytest.mark.parametrize("name,faults,tree,boxes,ending", FAILURES, ids=[f[0] for f in FAILURES])
def test_a_failed_download_tells_the_user_and_ends_with_1603(setup, server, releases, build, name, faults,
                                                             tree, boxes, ending):
    server.faults.update(faults)
    with serving(server, release_variant(releases, tree)):
        sign_in(setup, "alice", "secret")
        for box in boxes:
            assert winelib.msgbox(box, timeout_ms=60000) is not None, setup.log()
            assert setup.page(DOWNLOAD)["visible"]
            log = setup.log()
            if box != boxes[-1]:
                # Nothing more happens until the box is closed.
                time.sleep(1)
                assert setup.log() == log
            assert winelib.press("OK", text_has=box)
            if box == boxes[-1]:
                tail = log[-len(ending):]
                assert len(tail) == len(ending) and all(
                    line == want or (want.endswith(" *") and line.startswith(want[:-1]))
                    for line, want in zip(tail, ending)), "log ends:\n" + "\n".join(log[-12:])
        assert setup.exit_code() == 1603
    assert "exit" not in log
    # What was not checked in this run was not unpacked.
    if tree != "no-partner-version":
        assert not (inst.host_path(STAGING_WIN) / "files").exists()


def test_closing_asks_no_goes_on_and_yes_ends_with_1602(setup, server, build):
    server.faults["stall_download"] = 8
    sign_in(setup, "alice", "secret")
    assert winelib.wait(text_is=f"Download File {release.RELEASE_ARCHIVE}", cls=DOWNLOAD, pid=setup.pid,
                        id=LB_DOWNLOAD, timeout_ms=60000), setup.log()
    # No: the page stays and the download goes on (into the partner package).
    winelib.wintool("close", "--class", DOWNLOAD, "--pid", setup.pid)
    assert winelib.press("No", text_has=CONFIRM_CANCEL)
    assert winelib.wait(text_is=f"Partner Version: {PARTNER_VERSION}", cls=DOWNLOAD, pid=setup.pid,
                        id=LB_VERSION, timeout_ms=60000)
    assert setup.page(DOWNLOAD)["visible"]
    # Yes: the program ends with 1602 and removes the ZIP engine's library files, as a cancel
    # on the login page does; no page follows.
    winelib.wintool("close", "--class", DOWNLOAD, "--pid", setup.pid)
    assert winelib.press("Yes", text_has=CONFIRM_CANCEL)
    assert setup.exit_code() == 1602
    assert not any(p.exists() for p in zip_dlls(build))
