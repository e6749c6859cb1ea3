"""The release download of a silent run under Wine against the local HTTPS update server: a
large archive over several connections where the server answers ranges and over one stream
where it does not, the same result either way; a checksum mismatch and a broken download
(ranged or not) fail as before and leave nothing under the archive's names and nothing
unpacked; nobody else can open the archive for writing while it downloads."""
from __future__ import annotations

import os
import subprocess
import sys
import zipfile
from pathlib import Path

import pytest

REPO = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(REPO / "tools" / "demolib"))
sys.path.insert(0, str(REPO / "tools" / "devserver"))

import demo_installation as inst  # noqa: E402
import demo_build as localbuild  # noqa: E402
import demo_release as release  # noqa: E402

pytestmark = pytest.mark.skipif(sys.platform != "linux", reason="runs Windows programs under Wine")

ARGS = ["-silent", "/username", "demo", "/password", "secret"]
STAGING_WIN = inst.TEMP_WIN + r"\Orfeda"
ARCHIVE_WIN = STAGING_WIN + "\\" + release.RELEASE_ARCHIVE
UNPACKED_WIN = STAGING_WIN + "\\" + release.RELEASE_ARCHIVE.rsplit(".", 1)[0]
# 24 files of 1 MiB, stored: an archive of about 24 MiB, which the program fetches as its
# first range (1 MiB) and three more ranges at once.
LATEST = "2.5.0.0"
LARGE = {"extra_files": 24, "extra_file_size": 1024 * 1024}


@pytest.fixture(scope="module")
def build():
    if not os.environ.get("WINEPREFIX") or not os.environ.get("DISPLAY"):
        pytest.skip("needs the Wine prefix and display of tools/test")
    bdir = localbuild.ensure_built()
    os.environ["ORFEDA_WIN32_BUILD"] = str(bdir)
    return bdir


@pytest.fixture(scope="module")
def certdir(build):
    from devserver import make_certificates
    folder = REPO / "build" / "devserver-ca"
    make_certificates(str(folder))
    marker = Path(inst.prefix()) / ".orfeda-silent-ca"
    if not marker.exists() or marker.read_bytes() != (folder / "ca.der").read_bytes():
        subprocess.run(["wine", str(build / "trust_ca.exe"), "Z:" + str(folder / "ca.der").replace("/", "\\")],
                       check=True, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, timeout=120)
        marker.write_bytes((folder / "ca.der").read_bytes())
    return folder


@pytest.fixture(scope="module")
def large_release(build, tmp_path_factory):
    base = tmp_path_factory.mktemp("large")
    return release.make_release(base / "root", release.ReleaseSpec(**LARGE), base / "work")


@pytest.fixture
def clean():
    inst.clean_installation()
    yield
    inst.clean_installation()


def run(root: Path, certdir: Path, faults: dict | None = None, during=None):
    """One silent run against the server; returns the run's result and the server's requests
    for the release archive (headers of each)."""
    from devserver import DevServer
    server = DevServer(str(root), port=localbuild.local_port(), certdir=str(certdir), faults=faults)
    server.start()
    try:
        helper = during() if during else None
        result = inst.run_setup(ARGS, timeout=300)
        if helper:
            helper.wait(timeout=150)
        requests = [headers for method, path, headers, body in server.state.requests
                    if method == "GET" and f"filename={release.RELEASE_ARCHIVE}" in path]
    finally:
        server.stop()
    return result, requests


def range_of(headers: dict) -> str:
    return next((v for k, v in headers.items() if k.lower() == "range"), "")


def nothing_left() -> list[str]:
    """What a failed download left under the archive's names or unpacked."""
    return [p for p in (ARCHIVE_WIN, ARCHIVE_WIN + ".part", UNPACKED_WIN) if inst.host_path(p).exists()]


@pytest.mark.parametrize("faults,ranges", [(None, ["bytes=0-1048575", 3]), ({"no_ranges": True}, None)],
                         ids=["ranged", "server-without-ranges"])
def test_large_release_installs_the_same_with_or_without_ranges(build, certdir, large_release, clean,
                                                                faults, ranges):
    result, requests = run(large_release, certdir, faults)
    assert result.exit_code == 0, "\n".join(result.log[-20:])
    assert result.log[-1] == "setup finished..."
    archive = inst.host_path(ARCHIVE_WIN)
    served = large_release / "stable" / "orfeda_2018" / LATEST / release.RELEASE_ARCHIVE
    assert archive.read_bytes() == served.read_bytes()
    with zipfile.ZipFile(archive) as z:
        names = [n for n in z.namelist() if n.startswith("files/") and not n.endswith("/")]
    root = inst.host_path(inst.DEFAULT_ROOT_WIN)
    for name in names:
        assert (root / name[len("files/"):]).is_file(), name
    assert not inst.host_path(ARCHIVE_WIN + ".part").exists()
    asked = [range_of(h) for h in requests]
    if ranges is None:
        assert len(requests) == 1, asked  # the 200 carried the whole file
    else:
        first, later = ranges
        assert asked[0] == first, asked
        assert len(asked) == 1 + later, asked
        size = archive.stat().st_size
        spans = sorted((int(a.split("=")[1].split("-")[0]), int(a.split("-")[1])) for a in asked)
        assert spans[0][0] == 0 and spans[-1][1] == size - 1
        assert all(b[0] == a[1] + 1 for a, b in zip(spans, spans[1:])), spans


@pytest.mark.parametrize("faults,ending", [
    ({"bad_checksum": True}, ["| Checksum incorrect...", f"File exists {ARCHIVE_WIN}", "FileSize *",
                              f"Checksum incorrect...{release.RELEASE_ARCHIVE}"]),
    ({"break_range": True}, ["| Extracting Files...", "| error extracting!", "exit"]),
    ({"break_download": True, "no_ranges": True}, ["| Extracting Files...", "| error extracting!", "exit"]),
], ids=["checksum-mismatch", "broken-range", "broken-stream"])
def test_a_failed_download_leaves_nothing(build, certdir, large_release, clean, faults, ending):
    result, _ = run(large_release, certdir, faults)
    assert result.exit_code == 1603, "\n".join(result.log[-20:])
    tail = result.log[-len(ending):]
    assert all(line == want or (want.endswith(" *") and line.startswith(want[:-1]))
               for line, want in zip(tail, ending)), "\n".join(result.log[-12:])
    if "bad_checksum" not in faults:
        # The transport's reason is logged where the download broke.
        assert any(line.startswith("TQDAPIClient: http get exception inupdate_downloadFile: ")
                   for line in result.log), "\n".join(result.log[-20:])
    assert nothing_left() == []
    assert not inst.host_path(inst.DEFAULT_ROOT_WIN).exists()


def test_nobody_can_write_the_archive_while_it_downloads(build, certdir, large_release, clean, tmp_path):
    planted = tmp_path / "planted.zip"
    with zipfile.ZipFile(planted, "w") as z:
        z.writestr("files/planted.txt", "planted\r\n")
    part = ARCHIVE_WIN + ".part"
    report = tmp_path / "tamper.txt"
    tamper = localbuild.ensure_built() / "tests" / "silent" / "tamper.exe"

    def start():
        # Tries to open the partial archive for writing from the moment it exists, for 10 s
        # (the download stalls halfway for 3 s).
        return subprocess.Popen(["wine", str(tamper), part, part, "Z:" + str(planted).replace("/", "\\"),
                                 "Z:" + str(report).replace("/", "\\"), "10"],
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL)

    result, _ = run(large_release, certdir, {"stall_download": 3}, during=start)
    assert result.exit_code == 0, "\n".join(result.log[-20:])
    found = dict(item.split("=") for item in report.read_text().split())
    assert found["waited"] == "1", found
    assert found["written"] == "0", found
    assert int(found["refused"]) > 0, found
    assert not (inst.host_path(inst.DEFAULT_ROOT_WIN) / "planted.txt").exists()
