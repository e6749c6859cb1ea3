"""The update-server and partner platform clients end to end under Wine, over THTTP, against
the local servers."""

import copy
import os
import shutil
import subprocess
import sys

import pytest

REPO = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
sys.path.insert(0, os.path.join(REPO, "tools", "devserver"))

from devserver import DEFAULT_ACCOUNTS  # noqa: E402
from devserver_ctl import serving, wine_path, wine_prefix  # noqa: E402

BINARY = os.path.join(REPO, "build", "win32", "clients_wine_tests.exe")
SETUP = os.path.join(REPO, "build", "win32", "setup.exe")  # carries version 1.1.2.0


def release_root(base):
    layout = {
        ("stable", "1.0.0.9"): {"old.zip": b"old release"},
        ("stable", "1.0.0.10"): {"app.zip": os.urandom(300000), "b c&d.zip": b"second file"},
        ("beta", "1.2.0.0"): {"app.zip": b"beta"},
    }
    for (branch, version), files in layout.items():
        folder = os.path.join(base, branch, "orfeda_2018", version)
        os.makedirs(folder)
        for name, data in files.items():
            with open(os.path.join(folder, name), "wb") as f:
                f.write(data)
    return base


def test_clients_under_wine(tmp_path):
    if not os.path.exists(BINARY):
        pytest.skip("build the win32 preset first")
    accounts = copy.deepcopy(DEFAULT_ACCOUNTS)
    accounts["users"].append({"username": "bob", "email": "bob@example.com",
                              "password": 'pa"ss &w rd%', "partner": "dravin"})
    installed = tmp_path / "install"
    installed.mkdir()
    shutil.copy(SETUP, installed / "Orfeda.exe")
    with serving(root=release_root(str(tmp_path / "releases")), accounts=accounts) as srv:
        env = dict(os.environ, WINEPREFIX=wine_prefix(), WINEDEBUG="-all",
                   ORFEDA_DEV_URL=srv.url,
                   ORFEDA_INSTALLED_EXE=wine_path(str(installed / "Orfeda.exe")))
        r = subprocess.run(["wine", BINARY], env=env, stdin=subprocess.DEVNULL,
                           capture_output=True, text=True, errors="replace", timeout=300)
    assert r.returncode == 0, r.stdout[-6000:] + r.stderr[-2000:]
    assert "[  PASSED  ]" in r.stdout and "SKIPPED" not in r.stdout, r.stdout[-3000:]
