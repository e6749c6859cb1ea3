"""An update in place under Wine, walked through the real pages: a silent install of 2.4.0.0,
then setup.exe without arguments finds it, and the maintenance page's Update downloads 2.5.0.0,
updates the installation on the install page and ends on the finish page. With an
"update.json" a folder and a file of the old installation come back from the backup."""
from __future__ import annotations

import json
import sys
from pathlib import Path

import pytest

sys.path.insert(0, str(Path(__file__).resolve().parent))
from wizardlib import inst, serving  # noqa: E402

import demo_release as release  # noqa: E402  (tools/demolib, put on the path by wizardlib)
import demo_wizard as walk  # noqa: E402

pytestmark = pytest.mark.skipif(sys.platform != "linux", reason="runs Windows programs under Wine")

OLD, NEW = "2.4.0.0", "2.5.0.0"
RULES = json.dumps({"restore": {"folder": ["profiles"], "files": ["settings.ini"]}})


@pytest.fixture(scope="module")
def rules_release(releases):
    root = releases / "with-update-json"
    if not root.exists():
        release.make_release(root, release.ReleaseSpec(update_json=RULES), releases / "rules-work")
    return root


@pytest.fixture
def clean(build, server):
    inst.clean_installation()
    yield
    inst.clean_installation()


def tree(root: Path) -> dict[str, bytes | None]:
    return {str(p.relative_to(root)): (None if p.is_dir() else p.read_bytes()) for p in sorted(root.rglob("*"))}


@pytest.mark.parametrize("with_rules", [True, False], ids=["with update.json", "without update.json"])
def test_update_through_the_maintenance_page(build, server, releases, rules_release, clean, with_rules):
    with serving(server, rules_release if with_rules else None):
        installed = inst.run_setup(["-silent", "/username", "demo", "/password", "demo", "/version", OLD])
        assert installed.exit_code == 0, "\n".join(installed.log[-20:])
        root = inst.host_path(inst.DEFAULT_ROOT_WIN)
        assert (root / "readme.txt").read_text().strip() == f"Orfeda demo release {OLD}"
        # What the user made of the installation meanwhile.
        (root / "profiles" / "me").mkdir(parents=True)
        (root / "profiles" / "me" / "a.xml").write_bytes(b"old profile")
        (root / "settings.ini").write_bytes(b"old settings")
        before = tree(root)

        run = walk.WizardWalk(build / "setup.exe")
        try:
            code, finish = run.update(walk.WizardChoices())
        finally:
            run.kill()
    log = run.log()
    assert code == 0, "\n".join(log[-40:])
    assert "start update..." in log

    after = tree(root)
    assert after["readme.txt"].strip() == f"Orfeda demo release {NEW}".encode()
    assert after["version.txt"].strip() == NEW.encode()
    assert after["updater.cfg"].startswith(b"[updater]")
    entry = inst.reg_query(rf"HKLM\{inst.UNINSTALL_PARENT}\{inst.APPLICATION}", "64")
    assert entry["DisplayVersion"] == NEW
    if with_rules:
        assert after["profiles/me/a.xml"] == b"old profile"
        assert after["settings.ini"] == b"old settings"
        assert "Succeed to restore folder: profiles" in log and "Succeed to restore file: settings.ini" in log
        staging = inst.TEMP_WIN + r"\Orfeda\orfeda_release"
        assert inst.host_path(staging + r"\exec\preexec.done").is_file()
    else:
        assert "profiles" not in after and "settings.ini" not in after
    # Nothing of the update's own work is left in the root but its lock file.
    assert set(after) - set(before) <= {"version.txt", "updater.lock"}, sorted(set(after) - set(before))


ERROR_RETRY = "An error occured. Please try running Setup again."
APP_RUNNING = "Application still running!"


@pytest.mark.parametrize("case", ["application running", "update.json invalid"])
def test_a_refused_or_failed_update_leaves_the_installation_as_it_was(build, server, releases, clean, case):
    tree_root = None
    if case == "update.json invalid":
        tree_root = releases / "invalid-update-json"
        if not tree_root.exists():
            release.make_release(tree_root, release.ReleaseSpec(update_json="{not json"), releases / "invalid-work")
    app = None
    with serving(server, tree_root):
        installed = inst.run_setup(["-silent", "/username", "demo", "/password", "demo", "/version", OLD])
        assert installed.exit_code == 0, "\n".join(installed.log[-20:])
        root = inst.host_path(inst.DEFAULT_ROOT_WIN)
        (root / "settings.ini").write_bytes(b"old settings")
        before = tree(root)
        if case == "application running":
            app = walk.winelib.start(["/about"], exe=root / "Orfeda.exe")
            assert walk.winelib.msgbox("Demo application", timeout_ms=30000) is not None
        run = walk.WizardWalk(build / "setup.exe")
        try:
            run.login(walk.WizardChoices())
            run.maintenance()
            box = APP_RUNNING if case == "application running" else ERROR_RETRY
            assert walk.winelib.msgbox(box, timeout_ms=180000) is not None, "\n".join(run.log()[-20:])
            assert walk.winelib.press("OK", text_has=box)
            if case == "application running":
                # The worker told the user; no second message follows.
                assert walk.winelib.msgbox(ERROR_RETRY, timeout_ms=3000) is None
            code = run.exit_code(60)
        finally:
            run.kill()
            if app is not None:
                walk.winelib.press("OK", text_has="Demo application")
                walk.winelib.finish(app, 30)
    log = run.log()
    assert code == 1603, "\n".join(log[-30:])
    after = tree(root)
    after.pop("updater.lock", None)
    assert after == before
