"""Fixtures of the wizard's end-to-end tests: the build with the local servers' URL built in,
the test CA trusted inside the prefix, the local update server and partner platform serving
the demo release, and one setup.exe run per test (the prefix cleaned before and after)."""
from __future__ import annotations

import os
import sys
from pathlib import Path

import pytest

sys.path.insert(0, str(Path(__file__).resolve().parent))
import wizardlib  # noqa: E402

import demo_build as localbuild  # noqa: E402  (tools/demolib, put on the path by wizardlib)
import demo_release as release  # noqa: E402

inst = wizardlib.inst


@pytest.fixture(scope="session")
def build():
    if not os.environ.get("WINEPREFIX") or not os.environ.get("DISPLAY"):
        pytest.skip("needs the Wine prefix and display of tools/test")
    bdir = localbuild.ensure_built()
    os.environ["ORFEDA_WIN32_BUILD"] = str(bdir)
    return bdir


@pytest.fixture(scope="session")
def certdir(build):
    from devserver import make_certificates
    folder = wizardlib.REPO / "build" / "devserver-ca"
    make_certificates(str(folder))
    marker = Path(inst.prefix()) / ".orfeda-silent-ca"
    if not marker.exists() or marker.read_bytes() != (folder / "ca.der").read_bytes():
        wizardlib.trust_ca(build, folder / "ca.der")
        marker.write_bytes((folder / "ca.der").read_bytes())
    return folder


@pytest.fixture(scope="session")
def releases(build, tmp_path_factory):
    """A folder for release trees; the demo release in "demo"."""
    folder = tmp_path_factory.mktemp("releases")
    release.make_release(folder / "demo", release.ReleaseSpec(), folder / "demo-work")
    return folder


@pytest.fixture(scope="session")
def server(certdir, releases):
    from devserver import DevServer
    s = DevServer(str(releases / "demo"), port=localbuild.local_port(), certdir=str(certdir))
    s.start()
    yield s
    s.stop()


@pytest.fixture
def setup(build, server):
    inst.clean_installation()
    s = wizardlib.Setup(build)
    yield s
    s.kill()
    server.faults.clear()
    inst.clean_installation()
