"""The wizard's install and finish pages under Wine, driven through the real windows from the
login against the local update server and partner platform: the installation the install
page shows, the finish page's link choices and what the installation leaves (files, links,
registry, exit code), a driver package asking for a restart, and a failed installation."""
from __future__ import annotations

import shutil
import sys
from pathlib import Path

import pytest

sys.path.insert(0, str(Path(__file__).resolve().parent))
from wizardlib import (  # noqa: E402
    BTN_NEXT, CB_LANG, DOCS, ERROR_RETRY, LOGIN, WS_EX_APPWINDOW, choose_and_install, in_order, inst, places_match,
    serving, sign_in, texts, winelib, zip_dlls)

import demo_release as release  # noqa: E402  (tools/demolib, put on the path by wizardlib)

pytestmark = pytest.mark.skipif(sys.platform != "linux", reason="runs Windows programs under Wine")

INSTALL, FINISH = "TInstallForm", "TFinishForm"
LB_INSTALL_TEXT, LB_INSTALL, PB_INSTALL, GB_INSTALL = range(1501, 1505)
LB_FINISH_TEXT, LB_RESTART, CB_SHORTCUT, CB_STARTMENU, CB_AUTOSTART, BTN_CLOSE, GB_FINISH = range(1601, 1608)
INSTALL_PLACES = {LB_INSTALL_TEXT: (272, 40), GB_INSTALL: (272, 164, 385, 133), LB_INSTALL: (288, 204),
                  PB_INSTALL: (288, 260, 353, 17)}
FINISH_PLACES = {LB_FINISH_TEXT: (272, 40), GB_FINISH: (272, 164, 385, 109), CB_SHORTCUT: (288, 189, 345),
                 CB_STARTMENU: (288, 214, 345), CB_AUTOSTART: (288, 239, 345), BTN_CLOSE: (582, 424, 75, 25)}
ROOT_WIN = inst.DEFAULT_ROOT_WIN
LATEST = "2.5.0.0"
PRINTER = "Palvoro Fax"
RESTART = {
    "en": "Windows must be restarted to complete the installation of the printer driver. "
          "Please restart Windows after Setup has closed.",
    "de": "Windows muss neu gestartet werden, um die Installation des Druckertreibers abzuschließen. "
          "Bitte starten Sie Windows neu, nachdem Setup beendet wurde.",
}
TEXTS = {
    "en": {LB_INSTALL_TEXT: "Please wait while Setup is working...", GB_INSTALL: "Install...",
           LB_FINISH_TEXT: "Setup has finished installation.\r\n\r\nClick finish to close Setup.",
           GB_FINISH: "Advanced", CB_SHORTCUT: "Create Shortcut", CB_STARTMENU: "Create StartMenu",
           CB_AUTOSTART: "Add AutoStart", BTN_CLOSE: "Close"},
    "de": {LB_INSTALL_TEXT: "Bitte warten Sie während das Setup die Installation durchführt...",
           GB_INSTALL: "Installiert...",
           LB_FINISH_TEXT: "Die Installation wurde beendet.\r\n\r\nDrücken sie \"Fertig stellen\" um das Setup "
                           "zu verlassen.",
           GB_FINISH: "Erweitert", CB_SHORTCUT: "Erstelle Desktop-Verknüpfung",
           CB_STARTMENU: "Erstelle Start-Menü Einträge", CB_AUTOSTART: "Auto Start hinzufügen",
           BTN_CLOSE: "Fertig stellen"},
}
KINDS = {"desktop": CB_SHORTCUT, "autostart": CB_AUTOSTART, "startmenu": CB_STARTMENU}
VALUE_OF = {"desktop": "ShortCut", "autostart": "AutoStart", "startmenu": "StartMenu"}


def release_with_driver(releases: Path, driver: str) -> Path:
    """The demo release whose partner package's driver package installs and asks for a restart
    ("reboot") or fails (1603, "fail")."""
    root = releases / f"driver-{driver}"
    if not root.exists():
        release.make_release(root, release.ReleaseSpec(driver=driver), releases / f"driver-{driver}-work")
    return root


def start(setup, language: str):
    if language == "de":
        winelib.select(index=1, cls=LOGIN, pid=setup.pid, id=CB_LANG)
        assert winelib.wait(text_is="Weiter >", cls=LOGIN, pid=setup.pid, id=BTN_NEXT)
    sign_in(setup, "alice", "secret")


def look_at_install_page(setup, language: str):
    """The install page while the driver packages run: its place, texts and a screenshot."""
    assert winelib.wait(text_is=PRINTER, cls=INSTALL, pid=setup.pid, id=LB_INSTALL, timeout_ms=120000), setup.log()
    win = setup.page(INSTALL, all=True)
    assert win["caption"] == "" and win["exstyle"] & WS_EX_APPWINDOW
    assert (win["client"]["w"], win["client"]["h"]) == (694, 471)
    assert not places_match(win, INSTALL_PLACES)
    shown = texts(win)
    for cid in (LB_INSTALL_TEXT, GB_INSTALL):
        assert shown[cid] == TEXTS[language][cid]
    assert 70 <= winelib.find_control(win, id=PB_INSTALL)["pos"] <= 80
    winelib.screenshot(DOCS / f"install_page_{language}.png", cls=INSTALL, pid=setup.pid)
    return win


# (name, language, Users, links left ticked, components unticked)
RUNS = [
    ("all-links-for-anyone", "en", "all", ("desktop", "autostart", "startmenu"), ()),
    ("no-links-just-me-manual-unticked", "de", "me", (), (1,)),
]


@pytest.mark.parametrize("name,language,users,ticked,untick", RUNS, ids=[r[0] for r in RUNS])
def test_install_and_finish_leave_the_installation_as_chosen(setup, server, build, name, language, users,
                                                            ticked, untick):
    start(setup, language)
    choose_and_install(setup, just_me=users == "me", untick=untick)
    install = look_at_install_page(setup, language)

    finish = winelib.window(cls=FINISH, pid=setup.pid, timeout_ms=120000)
    assert finish, setup.log()
    # The finish page opens where the install page was, which is hidden, at its end.
    assert (finish["rect"]["x"], finish["rect"]["y"]) == (install["rect"]["x"], install["rect"]["y"])
    install = setup.page(INSTALL, all=True)
    assert not install["visible"] and winelib.find_control(install, id=PB_INSTALL)["pos"] == 100
    assert (finish["client"]["w"], finish["client"]["h"]) == (694, 471)
    assert not places_match(finish, FINISH_PLACES)
    shown = texts(finish)
    for cid in (LB_FINISH_TEXT, GB_FINISH, CB_SHORTCUT, CB_STARTMENU, CB_AUTOSTART, BTN_CLOSE):
        assert shown[cid].replace("&", "").replace("\r\n", "\n") == TEXTS[language][cid].replace("\r\n", "\n"), cid
    assert not winelib.find_control(finish, id=LB_RESTART)["visible"]
    for cid in KINDS.values():
        assert winelib.find_control(finish, id=cid)["checked"] == 1
    winelib.screenshot(DOCS / f"finish_page_{language}.png", cls=FINISH, pid=setup.pid)

    for kind, cid in KINDS.items():
        if kind not in ticked:
            winelib.tick(on=False, cls=FINISH, pid=setup.pid, id=cid)
    winelib.click(cls=FINISH, pid=setup.pid, id=BTN_CLOSE)
    assert setup.exit_code(timeout=120) == 0

    log = setup.log()
    missing = in_order(log, [
        "| Summary end", "-" * 59, "start install", "start components", "component : Orfeda",
        f"ForceDirectories {ROOT_WIN} ok", "CreateOrfedaini ok", "Createupdatercfg ok", "component : Orfeda",
        f"ORFEDAINSTALLPATH : {ROOT_WIN}\\Orfeda.exe", "SetGlobalEnvironment done",
        "start install printer driver...", "OS x64...", "found x64 PrinterDriver...",
        "Execution of novaPDF8PrinterDriver(x64) succeed.", "OS x64...", "found x64 PDF OEM...",
        "Execution of novaPDF8OEM(x64) succeed.", "end components", "Add program information...",
        "install finished", "RegWriteUninstall ok"])
    assert not missing, "log lines missing or out of order: %s\n%s" % (missing, "\n".join(log))
    assert not [line for line in log if "failed" in line or line.startswith("Error")], "\n".join(log)

    installed = inst.host_path(ROOT_WIN)
    for rel in ("Orfeda.exe", "uninstall.exe", "readme.txt", "doc/manual.txt", f"partner/nova/{release.DRIVER}",
                "partner/image/ShortCut.ico", "Orfeda.ini", "updater.cfg"):
        assert (installed / rel).is_file(), rel
    assert (inst.host_path(rf"C:\Program Files\{release.DRIVER_FOLDER}") / release.DRIVER_MARKER).is_file()

    # The registry as an administrator finds it, the links as chosen, the ZIP DLLs gone.
    hive = "HKCU" if users == "me" else "HKLM"
    entry = inst.reg_query(rf"{hive}\{inst.UNINSTALL_PARENT}\{inst.APPLICATION}", "64")
    assert entry["DisplayVersion"] == LATEST and entry["DisplayName"] == inst.APPLICATION
    assert entry["UninstallString"] == (
        '"' + ROOT_WIN + r'\uninstall.exe" -uninstall "\Software\Palvoro Fax\Palvoro\uninstall"')
    assert {"username", "password", "language", "partnertag"} <= set(
        inst.reg_query(rf"HKCU\{inst.PRODUCT_KEY}\options", "64"))
    uninstall = inst.reg_query(rf"HKLM\{inst.PRODUCT_KEY}\uninstall")
    assert uninstall["Users"] == users and uninstall["InstPath"] == ROOT_WIN
    for kind, link in inst.links(users).items():
        assert link.is_file() == (kind in ticked), kind
        assert uninstall[VALUE_OF[kind]] == ("-1" if kind in ticked else "0"), kind
    assert inst.reg_query(inst.ENV_KEY, "")["ORFEDAINSTALLPATH"] == ROOT_WIN + r"\Orfeda.exe"
    assert not any(p.exists() for p in zip_dlls(build))


@pytest.mark.parametrize("language", ["en", "de"])
def test_a_driver_package_asking_for_a_restart_is_told_and_ends_with_3010(setup, server, releases, language):
    with serving(server, release_with_driver(releases, "reboot")):
        start(setup, language)
        choose_and_install(setup)
        finish = winelib.window(cls=FINISH, pid=setup.pid, timeout_ms=180000)
    assert finish, setup.log()
    restart = winelib.find_control(finish, id=LB_RESTART)
    assert restart["visible"] and restart["text"] == RESTART[language]
    winelib.click(cls=FINISH, pid=setup.pid, id=BTN_CLOSE)
    assert setup.exit_code(timeout=120) == 3010
    log = setup.log()
    assert "Windows must be restarted to complete the installation" in log
    assert log.count("RegWriteUninstall ok") == 1
    assert all(link.is_file() for link in inst.links("all").values())


def test_finish_runs_once_and_tells_of_a_desktop_link_it_cannot_make(setup, server):
    # A folder where the public desktop's link would go: the link cannot be saved there.
    blocker = inst.links("all")["desktop"]
    blocker.mkdir(parents=True)
    try:
        start(setup, "en")
        choose_and_install(setup)
        assert winelib.window(cls=FINISH, pid=setup.pid, timeout_ms=180000), setup.log()
        winelib.click(cls=FINISH, pid=setup.pid, id=BTN_CLOSE)
        box = "Error: User: all CreateLink"
        assert winelib.msgbox(box, timeout_ms=60000) is not None, setup.log()
        # The finishing steps wait for the box; Finish is disabled, and a second press (posted
        # to the disabled button) starts nothing.
        assert winelib.wait(enabled=False, cls=FINISH, pid=setup.pid, id=BTN_CLOSE)
        assert winelib.press(f"#{BTN_CLOSE}", cls=FINISH, pid=setup.pid)
        assert winelib.press("OK", text_has=box)
        assert setup.exit_code(timeout=120) == 0
        log = setup.log()
        assert log.count(box) == 1 and log.count("RegWriteUninstall ok") == 1, "\n".join(log)
        uninstall = inst.reg_query(rf"HKLM\{inst.PRODUCT_KEY}\uninstall")
        assert (uninstall["ShortCut"], uninstall["AutoStart"], uninstall["StartMenu"]) == ("0", "-1", "-1")
    finally:
        shutil.rmtree(blocker, ignore_errors=True)


def test_a_failed_installation_tells_the_user_and_ends_with_1603(setup, server, releases):
    with serving(server, release_with_driver(releases, "fail")):
        start(setup, "en")
        choose_and_install(setup)
        assert winelib.msgbox(ERROR_RETRY, timeout_ms=180000) is not None, setup.log()
    # The page that failed stays behind the box; no finish page opens.
    assert setup.page(INSTALL)["visible"]
    assert not winelib.windows(cls=FINISH, pid=setup.pid, all=True, timeout_ms=0)
    assert winelib.press("OK", text_has=ERROR_RETRY)
    assert setup.exit_code() == 1603
    log = setup.log()
    missing = in_order(log, ["Execution of novaPDF8PrinterDriver(x64) failed.", "Printer not installed!",
                             "end components", "Add program information...", "install failed"])
    assert not missing, "log lines missing or out of order: %s\n%s" % (missing, "\n".join(log))
    assert "install finished" not in log
    # What was installed can be removed through the uninstall entry.
    assert inst.reg_query(rf"HKLM\{inst.UNINSTALL_PARENT}\{inst.APPLICATION}", "64")
