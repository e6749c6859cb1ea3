"""The release download of a silent run under Wine against the local HTTPS update server: a
large archive over several connections where the server answers ranges and over one stream
where it does not, the same result either way; a checksum mismatch and a broken download
(ranged or not) fail as before and leave nothing under the archive's names and nothing
unpacked; so does an archive whose directory or whose last entry is damaged (with a matching
sum), which the program has begun to unpack while it downloaded; nobody else can open the
archive for writing while it downloads."""
from __future__ import annotations

import os
import shutil
import struct
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
# Where the archive is unpacked while it downloads, before its sum was checked.
ASIDE_WIN = STAGING_WIN + r"\.unpacking-0"
# 24 files of 1 MiB, stored: an archive of about 24 MiB, which the program fetches as its
# first range (1 MiB), its end (1 MiB) and three more ranges.
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
    return [p for p in (ARCHIVE_WIN, ARCHIVE_WIN + ".part", UNPACKED_WIN, ASIDE_WIN) if inst.host_path(p).exists()]


def damaged_release(large_release: Path, name: str) -> Path:
    """A copy of the large release whose archive is damaged after it was made, so that the
    server lists it with the sum of its damaged bytes: "directory" spoils the signature of
    the central directory's last record, "last-entry" a byte of the last file's data (its
    CRC then fails, after every other file was unpacked)."""
    root = large_release.parent / f"damaged-{name}"
    if root.exists():
        return root
    shutil.copytree(large_release, root)
    archive = root / "stable" / "orfeda_2018" / LATEST / release.RELEASE_ARCHIVE
    data = bytearray(archive.read_bytes())
    with zipfile.ZipFile(archive) as z:
        infos = sorted(z.infolist(), key=lambda i: i.header_offset)
    if name == "directory":
        at = data.rfind(b"PK\x01\x02")
    else:
        last = infos[-1]
        name_len, extra_len = struct.unpack_from("<HH", data, last.header_offset + 26)
        at = last.header_offset + 30 + name_len + extra_len + last.compress_size // 2
        assert last.compress_size > 0
    data[at] ^= 0xFF
    archive.write_bytes(bytes(data))
    return root


@pytest.mark.parametrize("faults,ranges", [(None, ["bytes=0-1048575", 4]), ({"no_ranges": True}, None)],
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
        # The end of the archive (its directory) is asked for before the rest.
        assert any(a.endswith(f"-{size - 1}") for a in asked[1:1 + 4]), asked
    assert not inst.host_path(ASIDE_WIN).exists()


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


@pytest.mark.parametrize("damage", ["directory", "last-entry"])
@pytest.mark.parametrize("faults", [None, {"no_ranges": True}], ids=["ranged", "server-without-ranges"])
def test_a_damaged_archive_with_a_matching_sum_leaves_nothing(build, certdir, large_release, clean, damage,
                                                              faults):
    result, _ = run(damaged_release(large_release, damage), certdir, faults)
    assert result.exit_code == 1603, "\n".join(result.log[-20:])
    assert result.log[-2:] == ["| error extracting!", "exit"], "\n".join(result.log[-12:])
    # The engine's reason, as before the download and the unpacking overlapped.
    assert any(line.startswith("Ziperror : ") for line in result.log), "\n".join(result.log[-12:])
    assert [p for p in nothing_left() if p != ARCHIVE_WIN] == []
    assert not inst.host_path(inst.DEFAULT_ROOT_WIN).exists()


class Watch:
    """Looks at the download area every 50 ms during a run: whether the partial archive, the
    folder unpacked aside (with files in it) and the archive's folder exist."""

    def __init__(self):
        import threading
        self.seen: list[tuple[bool, bool, bool]] = []
        self._stop = threading.Event()
        self._thread = threading.Thread(target=self._look, daemon=True)
        self._thread.start()

    def _look(self):
        part, aside, unpacked = (inst.host_path(p) for p in (ARCHIVE_WIN + ".part", ASIDE_WIN, UNPACKED_WIN))
        while not self._stop.wait(0.05):
            files = aside.is_dir() and any(f for _, _, f in os.walk(aside))
            self.seen.append((part.exists(), files, unpacked.exists()))

    def wait(self, timeout):
        self._stop.set()
        self._thread.join(timeout)


def test_the_archive_is_unpacked_aside_while_it_downloads(build, certdir, large_release, clean):
    watch = None

    def start():
        nonlocal watch
        watch = Watch()
        return watch

    # Every answer stalls halfway for 2 s, so the download is seen half done.
    result, _ = run(large_release, certdir, {"stall_download": 2}, during=start)
    assert result.exit_code == 0, "\n".join(result.log[-20:])
    # Files were unpacked aside while the archive was still downloading...
    assert (True, True, False) in watch.seen, watch.seen
    # ...and its folder appeared only once the archive was complete and checked.
    assert not any(part and unpacked for part, _, unpacked in watch.seen), watch.seen
    assert not inst.host_path(ASIDE_WIN).exists()
    assert (inst.host_path(inst.DEFAULT_ROOT_WIN) / "data").is_dir()


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
