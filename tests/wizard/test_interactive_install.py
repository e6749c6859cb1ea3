"""The whole interactive installation under Wine, walked through the real pages of setup.exe
against the local update server and partner platform: login, download, components, location,
summary, install and finish. What it leaves is checked the way an administrator would (the
tree, ini and cfg, registry values, links, environment, scripts, driver packages)."""
from __future__ import annotations

import sys
from pathlib import Path

import pytest

sys.path.insert(0, str(Path(__file__).resolve().parent))
from wizardlib import inst, serving, winelib  # noqa: E402

import demo_release as release  # noqa: E402  (tools/demolib, put on the path by wizardlib)
import demo_wizard as walk  # noqa: E402

pytestmark = pytest.mark.skipif(sys.platform != "linux", reason="runs Windows programs under Wine")

JUST_ME_ROOT = r"C:\Apps\Palvoro Fax\Palvoro"
RESTART = {"en": "Windows must be restarted to complete the installation of the printer driver.",
           "de": "Windows muss neu gestartet werden, um die Installation des Druckertreibers abzuschließen."}

# The pages' own tests (test_install_pages.py) run For Anyone with all links, Just me without
# links, and the restart; these add an own folder, a second component and the checks of
# everything the installation left.
VARIANTS = [
    # id, choices, release variant, exit code
    ("just me in German, own folder", walk.WizardChoices(language="de", just_me=True,
                                                          destination=JUST_ME_ROOT), None, 0),
    ("manual ticked, no links", walk.WizardChoices(tick=("Manual",), links=(False, False, False)), None, 0),
    ("driver asks for a restart", walk.WizardChoices(), "reboot", 3010),
]


@pytest.fixture(scope="module")
def reboot_release(releases):
    root = releases / "reboot"
    if not root.exists():
        release.make_release(root, release.ReleaseSpec(driver="reboot"), releases / "reboot-work")
    return root


@pytest.fixture
def clean(build, server):
    inst.clean_installation(extra_roots=(JUST_ME_ROOT,))
    yield
    server.faults.clear()
    inst.clean_installation(extra_roots=(JUST_ME_ROOT,))


@pytest.mark.parametrize("choices,variant,code", [v[1:] for v in VARIANTS], ids=[v[0] for v in VARIANTS])
def test_interactive_installation(build, server, reboot_release, clean, tmp_path, choices, variant, code):
    users = "me" if choices.just_me else "all"
    with serving(server, reboot_release if variant == "reboot" else None):
        run = walk.WizardWalk(build / "setup.exe", shots=tmp_path / "shots")
        try:
            run.login(choices)
            run.download()
            run.components(choices)
            root = run.location(choices)
            run.summary()
            run.install()
            finish = run.finish(choices)
            exit_code = run.exit_code(120)
        finally:
            run.kill()
    log = run.log()
    assert exit_code == code, "\n".join(log[-30:])
    assert root == (choices.destination or inst.DEFAULT_ROOT_WIN)

    # The finish page tells about a restart only when a driver package asked for one.
    restart = winelib.find_control(finish, id=walk.LB_RESTART)
    if code == 3010:
        assert restart and restart["visible"] and restart["text"].startswith(RESTART[choices.language])
    else:
        assert not restart or not restart["visible"]

    problems = inst.installation_problems(root, users=users, links_made=choices.links)
    assert not problems, "\n".join(problems + log[-30:])
    # The summary named what was ticked; the log has the steps of the install and finish.
    summary = log[log.index("| Summary"):log.index("| Summary end")]
    assert ("|    Manual" in summary) == ("Manual" in choices.tick)
    for line in ("start install", "start components", "component : Orfeda", "end components",
                 "Add program information...", "install finished"):
        assert line in log, line
    assert not [l for l in log if l.startswith("Exception")], "\n".join(log)
    # The ZIP engine's library files are gone.
    assert not (build / "DelZip192.dll").exists() and not (build / "DelZip192x64.dll").exists()

    # Every page that waits for the user was met and could be seen.
    names = [p.name.split("_", 1)[1] for p in run.taken]
    for page in ("login", "components", "location", "summary", "finish"):
        assert f"{page}_{choices.language}.png" in names, names


def test_a_second_login_uses_the_newest_pages(build, server, clean):
    """Back through the summary, location and component pages to the login page; a second
    login downloads afresh and the newest pages' choices are what gets installed."""
    first = walk.WizardChoices(just_me=True, destination=JUST_ME_ROOT, tick=("Manual",))
    run = walk.WizardWalk(build / "setup.exe")
    try:
        run.login(first)
        run.components(first)
        run.location(first)
        run.page(walk.SUMMARY)
        winelib.click(cls=walk.SUMMARY, pid=run.pid, id=walk.BTN_SUMMARY_BACK)
        run.page(walk.LOCATION)
        winelib.click(cls=walk.LOCATION, pid=run.pid, id=walk.BTN_LOCATION_BACK)
        run.page(walk.COMPONENTS)
        winelib.click(cls=walk.COMPONENTS, pid=run.pid, id=walk.BTN_COMPONENTS_BACK)
        assert winelib.wait(visible=True, cls=walk.LOGIN, pid=run.pid, all=True)
        winelib.click(cls=walk.LOGIN, pid=run.pid, id=walk.BTN_LOGIN_NEXT)
        # The second login's pages start from their defaults: For Anyone, the default folder.
        second = walk.WizardChoices()
        win = run.page(walk.COMPONENTS)
        assert not [c for c in win["controls"] if c["id"] == walk.CB_JUSTME and c["checked"] == 1]
        run.components(second)
        root = run.location(second)
        assert root == inst.DEFAULT_ROOT_WIN
        run.summary()
        run.install()
        run.finish(second)
        code = run.exit_code(120)
    finally:
        run.kill()
    log = run.log()
    assert code == 0, "\n".join(log[-30:])
    assert log.count("| Auth User...") == 2
    problems = inst.installation_problems(inst.DEFAULT_ROOT_WIN, users="all")
    assert not problems, "\n".join(problems)
    assert not (inst.host_path(JUST_ME_ROOT) / "Orfeda.exe").exists()
