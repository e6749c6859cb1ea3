"""The silent install end to end: setup.exe -silent under Wine against the local HTTPS
update server, checked the way an administrator meets the result (files, registry, links,
environment, the log and the full exit code)."""
from __future__ import annotations

import contextlib
import os
import shutil
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

USERNAME = "demo"
PASSWORD = "pa ss&wörd"
ARGS = ["-silent", "/username", USERNAME, "/password", PASSWORD]
LATEST = "2.5.0.0"
PARTNER_VERSION = "1.0.3"
ROOT_WIN = inst.DEFAULT_ROOT_WIN
DRIVER_LOG = "novaPDF8PrinterDriver(x64)"
OEM_LOG = "novaPDF8OEM(x64)"


def scramble(text: str, key: int = 27193) -> str:
    out = []
    for ch in text:
        r = (ord(ch) & 0xFF) ^ (key >> 8)
        out.append(f"${r:02X}$00")
        key = ((key + r) * 38461 + 21187) % 65536
    return "".join(out)


# --- session set-up: the local build, the CA, the releases --------------------------------

@pytest.fixture(scope="session")
def build():
    if not os.environ.get("WINEPREFIX") or not os.environ.get("DISPLAY"):
        pytest.skip("needs the Wine prefix and display of tools/test")
    bdir = localbuild.ensure_built()
    os.environ["ORFEDA_WIN32_BUILD"] = str(bdir)
    return bdir


@pytest.fixture(scope="session")
def certdir(build, tmp_path_factory):
    from devserver import make_certificates
    folder = REPO / "build" / "devserver-ca"
    make_certificates(str(folder))
    trust = build / "trust_ca.exe"
    marker = Path(inst.prefix()) / ".orfeda-silent-ca"
    if not marker.exists() or marker.read_bytes() != (folder / "ca.der").read_bytes():
        subprocess.run(["wine", str(trust), "Z:" + str(folder / "ca.der").replace("/", "\\")],
                       check=True, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, timeout=120)
        marker.write_bytes((folder / "ca.der").read_bytes())
    return folder


_releases: dict = {}


def release_root(tmp_root: Path, name: str, **changes) -> Path:
    """A release tree per variant, built once per session."""
    if name not in _releases:
        _releases[name] = release.make_release(tmp_root / name, release.ReleaseSpec(**changes),
                                               tmp_root / f"{name}-work")
    return _releases[name]


@pytest.fixture(scope="session")
def releases(tmp_path_factory, build):
    return tmp_path_factory.mktemp("releases")


@contextlib.contextmanager
def update_server(root: Path | None, certdir: Path, faults: dict | None = None):
    """The local update server on the port built into setup.exe; None serves nothing."""
    if root is None:
        yield None
        return
    from devserver import DevServer
    server = DevServer(str(root), port=localbuild.local_port(), certdir=str(certdir), faults=faults)
    server.start()
    try:
        yield server
    finally:
        server.stop()


def clean_installation(extra_roots=()) -> None:
    inst.clean_installation(extra_roots)


@pytest.fixture
def clean():
    clean_installation()
    yield
    clean_installation()


def in_order(lines: list[str], expected: list[str]) -> list[str]:
    """The expected lines that are not found in this order in the log (empty: all found)."""
    i = 0
    missing = []
    for want in expected:
        j = i
        while j < len(lines) and lines[j] != want:
            j += 1
        if j == len(lines):
            missing.append(want)
        else:
            i = j + 1
    return missing


# --- the happy path -----------------------------------------------------------------------

def test_silent_install_for_all_users(build, certdir, releases, clean):
    root = release_root(releases, "demo")
    with update_server(root, certdir) as server:
        result = inst.run_setup(ARGS)
    log = result.log
    assert result.exit_code == 0, "\n".join(log)

    staging = inst.TEMP_WIN + r"\Orfeda\orfeda_release"
    exe = ROOT_WIN + r"\Orfeda.exe"
    missing = in_order(log, [
        "start silent install", "check parameter...", "silent install started...",
        "InstallRec.Provider :=Palvoro Fax", "InstallRec.Producer := Palvoro",
        "InstallRec.PrinterName := Palvoro Fax", "InstallRec.ApplicationName := Palvoro Fax",
        "InstallRec.Partner := kqx",
        "| Auth validate...", "| get defined version...", f"Version:  {LATEST}",
        "| Listfiles...", "| Download File...", "| Download File ",
        f"Download File {release.RELEASE_ARCHIVE}", "| Check MD5...", "| Extracting Files...",
        "| get components ok", "| finished",
        "| Auth validate...", "| Get latest Version...", f"| Server: {server.url}",
        "| Branch: stable", "| Appname: orfeda_2018_kqx", "| get defined version...",
        f"Partner Version: {PARTNER_VERSION}", "| Listfiles...", "| Download files...",
        f"| Download files {release.PARTNER_ARCHIVE}", "| Check MD5...", "| Extracting files...",
        "| CreateVersiontxt ok", "| finished",
        "start preexecute", 'Execution of preexec script "preexec.bat" succeed.', "end preexecute",
        "start components", "component : Orfeda", f"ForceDirectories {ROOT_WIN} ok",
        "CreateOrfedaini ok", "Createupdatercfg ok", f"ORFEDAINSTALLPATH : {exe}",
        f"Execution of {DRIVER_LOG} succeed.", f"Execution of {OEM_LOG} succeed.",
        "Install Printer ok", "end components",
        "start postexecute", 'Execution of postexec script "postexec.bat" succeed.', "end postexecute",
        "Add program information...", "start CreateSoftwareEntryAll", "end CreateSoftwareEntryAll -1",
        "start CreateAutoStartAll", "end CreateAutoStartAll -1",
        "start CreateStartMenuAll", "end CreateStartMenuAll -1",
        "RegWriteUninstall ok", "setup finished...",
    ])
    assert not missing, "log lines missing or out of order: %s\n%s" % (missing, "\n".join(log))
    assert log[-1] == "setup finished..."
    assert not [l for l in log if "failed" in l or "error" in l.lower() or l.startswith("Error")]

    # The installed tree: the release's files and the partner package below "partner".
    installed = inst.host_path(ROOT_WIN)
    for rel in ("Orfeda.exe", "uninstall.exe", "readme.txt", "doc/manual.txt",
                f"partner/nova/{release.DRIVER}", f"partner/nova/{release.OEM}",
                "partner/image/ShortCut.ico"):
        assert (installed / rel).is_file(), rel
    assert (installed / "partner" / "version.txt").read_bytes() == PARTNER_VERSION.encode() + b"\r\n"
    assert not (installed / "version.txt").exists()
    ini = (installed / "Orfeda.ini").read_bytes().decode("cp1252").splitlines()
    assert ini[:5] == ["[details]", "provider=Palvoro Fax", "producer=Palvoro", "language=English",
                       "partner=kqx"]
    cfg = (installed / "updater.cfg").read_bytes().decode("cp1252").splitlines()
    assert cfg[:2] == ["[updater]", rf"inifile='{inst.TEMP_WIN}\Palvoro Fax\Palvoro\updater.ini'"]

    # Registry: options key, the product's uninstall key, the Windows uninstall entry.
    options = inst.reg_query(rf"HKCU\{inst.PRODUCT_KEY}\options", "64")
    assert options == {"username": scramble(USERNAME), "password": scramble(PASSWORD),
                       "language": "English", "partnertag": "lumora"}
    assert inst.reg_query(rf"HKLM\{inst.PRODUCT_KEY}\uninstall") == {
        "PrinterName": "Palvoro Fax", "ApplicationName": "Palvoro Fax", "Provider": "Palvoro Fax",
        "Producer": "Palvoro", "InstPath": ROOT_WIN, "Users": "all",
        "ShortCut": "-1", "AutoStart": "-1", "StartMenu": "-1"}
    entry = inst.reg_query(rf"HKLM\{inst.UNINSTALL_PARENT}\{inst.APPLICATION}", "64")
    assert entry["DisplayName"] == "Palvoro Fax"
    assert entry["DisplayVersion"] == LATEST
    assert entry["Publisher"] == "Palvoro Fax"
    assert entry["Comments"] == "no Comment"
    assert entry["UninstallString"] == (
        '"' + ROOT_WIN + r'\uninstall.exe" -uninstall "\Software\Palvoro Fax\Palvoro\uninstall"')

    # Environment, links, scripts, driver packages, and the ZIP library files removed.
    assert inst.reg_query(inst.ENV_KEY, "")["ORFEDAINSTALLPATH"] == exe
    for kind, link in inst.links("all").items():
        assert link.is_file(), kind
        assert "Orfeda.exe" in link.read_bytes().decode("utf-16-le", "replace") or \
            b"Orfeda.exe" in link.read_bytes(), kind
    for script in ("preexec", "postexec"):
        marker = inst.host_path(staging + rf"\exec\{script}.done")
        assert marker.is_file(), script
    assert (inst.host_path(rf"C:\Program Files\{release.DRIVER_FOLDER}") / release.DRIVER_MARKER).is_file()
    assert (inst.host_path(rf"C:\Program Files\{release.OEM_FOLDER}") / release.OEM_MARKER).is_file()
    # Run by msiexec without a user interface: each package's verbose log lies next to setup's.
    for name in (DRIVER_LOG, OEM_LOG):
        assert package_log(name).stat().st_size > 0, name
    assert not (build / "DelZip192.dll").exists()
    assert not (build / "DelZip192x64.dll").exists()


def test_a_later_run_installs_the_new_release_over_the_old_download(build, certdir, releases, clean):
    """The download area keeps an earlier run's unpacked release; a new version must not be
    mixed with it."""
    root = release_root(releases, "demo")
    with update_server(root, certdir):
        first = inst.run_setup(ARGS + ["/version", "2.4.0.0"])
        assert first.exit_code == 0, "\n".join(first.log)
        second = inst.run_setup(ARGS)
    assert second.exit_code == 0, "\n".join(second.log)
    readme = inst.host_path(ROOT_WIN) / "readme.txt"
    assert readme.read_text().strip() == f"Orfeda demo release {LATEST}"


# --- variants -----------------------------------------------------------------------------

MY_PATH = r"C:\silent-target"
NO_WRITE_PERMISSION = ("You dont have the permission to wright in your choosen folder.\n\r\n\r"
                       "Please choose another destination Folder.")
PROGRAM_FILES_SDDL = "D:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1200a9;;;BU)"

VARIANTS = [
    # id, extra args, release variant (name, release changes), faults, exit code, log ending
    ("user-me", ["/user", "me"], ("demo", {}), None, 0, ["RegWriteUninstall ok", "setup finished..."]),
    ("language-deutsch", ["/language", "Deutsch"], ("demo", {}), None, 0, ["setup finished..."]),
    ("language-german", ["/language", "german"], ("demo", {}), None, 0, ["setup finished..."]),
    ("language-englisch", ["/language", "englisch"], ("demo", {}), None, 0, ["setup finished..."]),
    ("language-french", ["/language", "French"], ("demo", {}), None, 0, ["setup finished..."]),
    ("path-given", ["/path", MY_PATH], ("demo", {}), None, 0, ["setup finished..."]),
    ("path-unwritable", ["/path", r"Q:\no\such\drive"], ("demo", {}), None, 1603,
     [NO_WRITE_PERMISSION, "abort Setup...", "exit"]),
    ("path-relative", ["/path", "relapps"], ("demo", {}), None, 1603,
     [NO_WRITE_PERMISSION, "abort Setup...", "exit"]),
    ("version-known", ["/version", "2.4.0.0"], ("demo", {}), None, 0, ["setup finished..."]),
    ("version-unknown", ["/version", "9.9.9.9"], ("demo", {}), None, 1603,
     ["| get defined version...", "validate of 9.9.9.9 failed"]),
    ("checksum-mismatch", [], ("demo", {}), {"bad_checksum": True}, 1603,
     ["| Checksum incorrect...", "File exists *", "FileSize *",
      f"Checksum incorrect...{release.RELEASE_ARCHIVE}"]),
    ("download-refused", [], ("demo", {}), {"refuse_download": True}, 1603,
     ["| Extracting Files...", "| error extracting!", "exit"]),
    ("server-down", [], None, None, 1603, ["auth_key failed, OuMessage: *", "exit"]),
    ("empty-file-list", [], ("empty", {"versions": ("3.0.0.0",), "empty_versions": ("3.0.0.0",)}),
     None, 1603, ["| Listfiles...", "update_listfiles, OuMessage: "]),
    ("no-orfeda-component", [], ("nocomp", {"components": {"manual": {"Name": "Manual"}}}), None, 0,
     ["setup finished..."]),
    ("broken-manifest", [], ("badjson", {"manifest_text": '{"components": {"orfeda": '}), None, 1603,
     ["| FileExists ok *", "Exception Error in: silent install", "EJSONError : *", "exit"]),
    ("driver-1603", [], ("drvfail", {"driver": "fail"}), None, 1603, ["setup finished..."]),
    ("driver-3010", [], ("drvreboot", {"driver": "reboot"}), None, 3010, ["setup finished..."]),
    # A file that cannot be copied (here a folder in its place) fails the run; the rest is copied.
    ("file-blocked", [], ("demo", {}), None, 1603, ["RegWriteUninstall ok", "setup finished..."]),
    ("partner-file-blocked", [], ("pblocked", {"folders": ("files/partner/image/ShortCut.ico",)}),
     None, 1603, ["RegWriteUninstall ok", "setup finished..."]),
    # Nobody may be at the screen: no dialog is shown, and every message box closes itself
    # (after BOX_TIMEOUT_MS here) with the exit code of what happened.
    ("help-text", ["-bogus"], ("demo", {}), None, 1639, ["start silent install", "check parameter...", "exit"]),
    ("debug-no-password", ["-debug"], ("demo", {}), None, 0, ["setup finished..."]),
    ("temp-nowhere", [], ("demo", {}), None, 1603, []),
    ("dotnet-missing", [], ("demo", {}), None, 1603, []),
    # The download area is made fresh for each run: what anyone left at its place (a folder, a
    # file, a link) is never used, and a link on the way to it is refused.
    ("staging-planted-folder", [], ("demo", {}), None, 0, ["setup finished..."]),
    ("staging-planted-file", [], ("demo", {}), None, 0, ["setup finished..."]),
    # Wine cannot remove a link without touching its target, so under Wine the run refuses
    # the link (on Windows the link alone goes and the run goes on).
    ("staging-planted-link", [], ("demo", {}), None, 1603, ["Cannot prepare the download folder *", "exit"]),
    ("temp-through-link", [], ("demo", {}), None, 1603, ["Cannot prepare the download folder *", "exit"]),
    # Another process tries to rewrite a checked archive while the next file downloads.
    ("archive-rewritten", [], ("demo", {}), {"stall_download": 2}, 0, ["setup finished..."]),
]

# The test hook that shortens the 60 s after which a silent run's boxes close themselves, and
# what else a variant's Windows environment holds.
BOX_TIMEOUT_MS = "3000"
TEMP_LINK_WIN = inst.TEMP_WIN + "Link"  # a link to TEMP, so the log still lands in TEMP
VARIANT_ENV = {"temp-nowhere": {"TEMP": r"Q:\nowhere"}, "temp-through-link": {"TEMP": TEMP_LINK_WIN}}
STAGING_WIN = inst.TEMP_WIN + r"\Orfeda"
PLANTED_WIN = r"C:\silent-planted"  # what a planted link points to
STAGING_SDDL = "O:BAD:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)"
BOX_VARIANTS = ("help-text", "temp-nowhere", "dotnet-missing")


def ends_with(log: list[str], ending: list[str]) -> bool:
    """The log's last lines; an expected line ending in " *" matches any line it starts."""
    tail = log[-len(ending):]
    return len(tail) == len(ending) and all(
        line == want or (want.endswith(" *") and line.startswith(want[:-1]))
        for line, want in zip(tail, ending))


@pytest.mark.parametrize("name,args,variant,faults,code,ending", VARIANTS, ids=[v[0] for v in VARIANTS])
def test_silent_variants(build, certdir, releases, clean, name, args, variant, faults, code, ending,
                         tmp_path):
    root = release_root(releases, variant[0], **variant[1]) if variant else None
    remove_fallback_logs()
    tamper = None
    try:
        prepare_variant(name, root)
        if name == "archive-rewritten":
            tamper = start_tamper(tmp_path)
        env = {"ORFEDA_SILENT_BOX_TIMEOUT_MS": BOX_TIMEOUT_MS, **VARIANT_ENV.get(name, {})}
        with update_server(root, certdir, faults):
            result = inst.run_setup(ARGS + args, timeout=150 if name in BOX_VARIANTS else 300, env=env)
        log = result.log
        assert result.exit_code == code, "\n".join(log)
        assert ends_with(log, ending), "log ends:\n" + "\n".join(log[-12:])
        if name in BOX_VARIANTS:
            # A box was shown, and closed by the test's time-out (not the real one, not a click).
            assert int(BOX_TIMEOUT_MS) / 1000 <= result.seconds < 60, result.seconds
        if tamper:
            tamper.wait(timeout=150)
            check_tamper(tmp_path)
        check_variant(name, log)
    finally:
        if tamper and tamper.poll() is None:
            tamper.kill()
        shutil.rmtree(inst.host_path(MY_PATH), ignore_errors=True)
        undo_variant(name, root)
        remove_fallback_logs()


def test_each_refused_run_leaves_its_reason(build, clean):
    """As a deployment tool meets it: the same refused run (/path below an existing file) again
    and again; every run ends with 1603 and its log says why."""
    blocker = inst.host_path(r"C:\silent-blocker.txt")
    blocker.write_bytes(b"a file, not a folder")
    remove_fallback_logs()
    try:
        for attempt in range(5):
            result = inst.run_setup(ARGS + ["/path", r"C:\silent-blocker.txt\apps"], timeout=120)
            assert result.exit_code == 1603, (attempt, result.log)
            assert ends_with(result.log, [NO_WRITE_PERMISSION, "abort Setup...", "exit"]), (attempt, result.log)
        assert fallback_logs() == []
    finally:
        blocker.unlink(missing_ok=True)


def dacl_tool(*args: str) -> dict[str, str]:
    """Runs the dacl helper; returns {path: DACL as SDDL text}."""
    proc = subprocess.run(["wine", str(release.win32_build() / "tests" / "silent" / "dacl.exe"), *args],
                          stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL,
                          text=True, timeout=60)
    return dict(line.strip().split("|", 1) for line in proc.stdout.splitlines() if "|" in line)


def reference_dacl(sddl: str) -> str:
    """What the file system keeps of the access rules `sddl` on a folder made with them.
    Wine keeps no DACL of a file itself (it maps it to the Unix mode and derives the DACL it
    reports from that), so folders are compared with this reference rather than the text."""
    folder = r"C:\silent-dacl-reference"
    shutil.rmtree(inst.host_path(folder), ignore_errors=True)
    try:
        return dacl_tool("make", folder, sddl)[folder]
    finally:
        shutil.rmtree(inst.host_path(folder), ignore_errors=True)


def program_files_dacl() -> str:
    return reference_dacl(PROGRAM_FILES_SDDL)


def set_dotnet(present: bool) -> None:
    """Registers .NET Framework 4 in the 32-bit view, or removes it."""
    key = r"HKLM\Software\Microsoft\Net Framework Setup\NDP\v4"
    subprocess.run(["wine", "reg", "add" if present else "delete", key, "/reg:32", "/f"],
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL)


def prepare_variant(name: str, root: Path | None) -> None:
    """What the machine (and the update server) holds before the run."""
    staging = inst.host_path(STAGING_WIN)
    if name == "file-blocked":
        (inst.host_path(ROOT_WIN) / "readme.txt").mkdir(parents=True)
    elif name == "dotnet-missing":
        set_dotnet(False)
    elif name == "staging-planted-folder":
        # An earlier run's (or anyone's) folder, with a file of its own beside the archives'.
        (staging / "orfeda_release" / "files").mkdir(parents=True)
        (staging / "orfeda_release" / "files" / "planted.dll").write_bytes(b"planted")
        (staging / "planted.txt").write_bytes(b"planted")
    elif name == "staging-planted-file":
        staging.write_bytes(b"planted")
    elif name == "staging-planted-link":
        target = inst.host_path(PLANTED_WIN)
        (target / "orfeda_release" / "files").mkdir(parents=True)
        (target / "orfeda_release" / "files" / "planted.dll").write_bytes(b"planted")
        staging.symlink_to(target, target_is_directory=True)
    elif name == "temp-through-link":
        inst.host_path(inst.TEMP_WIN).with_name(inst.host_path(inst.TEMP_WIN).name + "Link").symlink_to(
            inst.host_path(inst.TEMP_WIN), target_is_directory=True)
    elif name == "archive-rewritten":
        # A second partner archive, listed after the first: while it downloads the first one
        # has been checked but not yet unpacked.
        folder = root / "stable" / f"orfeda_2018_{release.PARTNER}" / PARTNER_VERSION
        with zipfile.ZipFile(folder / "partner_kqy.zip", "w") as z:
            z.writestr("files/extra.txt", "a second partner archive\r\n")


def undo_variant(name: str, root: Path | None) -> None:
    if name == "dotnet-missing":
        set_dotnet(True)
    elif name == "staging-planted-link":
        inst.host_path(STAGING_WIN).unlink(missing_ok=True)
        shutil.rmtree(inst.host_path(PLANTED_WIN), ignore_errors=True)
    elif name == "temp-through-link":
        temp = inst.host_path(inst.TEMP_WIN)
        temp.with_name(temp.name + "Link").unlink(missing_ok=True)
    elif name == "archive-rewritten":
        (root / "stable" / f"orfeda_2018_{release.PARTNER}" / PARTNER_VERSION / "partner_kqy.zip").unlink(
            missing_ok=True)


def win_path(host: Path) -> str:
    """A host path as Wine's Z: drive shows it."""
    return "Z:" + str(host).replace("/", "\\")


def start_tamper(tmp_path: Path) -> subprocess.Popen:
    """A process that rewrites the first partner archive with one holding "planted.txt" as soon
    as the second one starts to download (the first has been checked by then)."""
    planted = tmp_path / "planted.zip"
    with zipfile.ZipFile(planted, "w") as z:
        z.writestr("files/planted.txt", "planted\r\n")
    archive = STAGING_WIN + "\\" + release.PARTNER_ARCHIVE
    trigger = STAGING_WIN + r"\partner_kqy.zip.part"
    tamper = release.win32_build() / "tests" / "silent" / "tamper.exe"
    return subprocess.Popen(["wine", str(tamper), archive, trigger, win_path(planted),
                             win_path(tmp_path / "tamper.txt"), "120"],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL)


def check_tamper(tmp_path: Path) -> None:
    report = dict(item.split("=") for item in (tmp_path / "tamper.txt").read_text().split())
    # It was there in time, and the archive could not be opened for writing while it waited
    # to be unpacked (it may be rewritten once unpacked, which changes nothing any more).
    assert report["waited"] == "1", report
    assert int(report["refused"]) > 0, report
    assert not (inst.host_path(ROOT_WIN) / "partner" / "planted.txt").exists()
    assert (inst.host_path(ROOT_WIN) / "partner" / "extra.txt").is_file()


def fallback_logs() -> list[list[str]]:
    """The logs written next to setup.exe when the log in TEMP could not be written."""
    return [inst.log_lines(p) for p in sorted(inst.setup_exe().parent.glob("Setup_*.log"))]


def remove_fallback_logs() -> None:
    for p in inst.setup_exe().parent.glob("Setup_*.log"):
        p.unlink()


def package_log(name: str) -> Path:
    """The Windows Installer log of a driver package, in TEMP next to setup's log."""
    return inst.host_path(inst.TEMP_WIN) / f"{name}.log"


def copy_failures(log: list[str], path: str) -> list[str]:
    """The system's reasons logged for a file that could not be copied to `path`."""
    head = f"copy of {path} failed: "
    return [line[len(head):] for line in log if line.startswith(head)]


def check_variant(name: str, log: list[str]) -> None:
    installed = inst.host_path(ROOT_WIN)
    if name == "user-me":
        entry = inst.reg_query(rf"HKCU\{inst.UNINSTALL_PARENT}\{inst.APPLICATION}", "64")
        assert entry["DisplayName"] == "Palvoro Fax"
        assert not inst.reg_query(rf"HKLM\{inst.UNINSTALL_PARENT}\{inst.APPLICATION}", "64")
        assert all(link.is_file() for link in inst.links("me").values())
        assert not any(link.exists() for link in inst.links("all").values())
        assert inst.reg_query(rf"HKLM\{inst.PRODUCT_KEY}\uninstall")["Users"] == "me"
    elif name.startswith("language-"):
        want = {"deutsch": "Deutsch", "german": "Deutsch", "englisch": "English",
                "french": "French"}[name.split("-")[1]]
        ini = (installed / "Orfeda.ini").read_bytes().decode("cp1252")
        assert f"language={want}" in ini.splitlines()
        assert inst.reg_query(rf"HKCU\{inst.PRODUCT_KEY}\options", "64")["language"] == want
    elif name == "path-given":
        target = MY_PATH + r"\Palvoro Fax\Palvoro"
        assert (inst.host_path(target) / "Orfeda.exe").is_file()
        assert not installed.exists()
        assert inst.reg_query(rf"HKLM\{inst.PRODUCT_KEY}\uninstall")["InstPath"] == target
        # The folders made for the install root outside Program Files get its access rules;
        # the folder the administrator named stays as it is.
        wanted = program_files_dacl()
        found = dacl_tool("show", target, MY_PATH + r"\Palvoro Fax", MY_PATH)
        assert found[target] == wanted and found[MY_PATH + r"\Palvoro Fax"] == wanted, found
        assert found[MY_PATH] != wanted, found
    elif name in ("path-unwritable", "path-relative"):
        assert not inst.host_path(inst.TEMP_WIN + r"\Orfeda").exists()
        assert "silent install started..." not in log
        assert not (Path.cwd() / "relapps").exists()  # not even tried
    elif name == "version-known":
        assert "Version:  2.4.0.0" in log
        entry = inst.reg_query(rf"HKLM\{inst.UNINSTALL_PARENT}\{inst.APPLICATION}", "64")
        assert entry["DisplayVersion"] == "2.4.0.0"
    elif name == "debug-no-password":
        # Logged right after the banner; debug mode stays off and the install runs as usual.
        assert log[6:8] == ["No debug password dialog in a silent run. Debugging disabled.",
                            "start silent install"], log[:9]
        assert (installed / "Orfeda.exe").is_file()
    elif name in ("help-text", "temp-nowhere", "dotnet-missing"):
        assert not installed.exists()
        assert not inst.host_path(inst.TEMP_WIN + r"\Orfeda").exists()
        if name != "help-text":
            assert log == []  # ended before the log could be (or was) created
            # The reason went next to the program instead.
            fallback = fallback_logs()
            assert len(fallback) == 1, fallback
            if name == "temp-nowhere":
                assert fallback[0][0].startswith(r"The setup log Q:\nowhere\Setup_"), fallback
                assert fallback[0][1] == "Exception Error in: FormCreate", fallback
                assert fallback[0][2].startswith(r'EInOutError : Cannot create file "Q:\nowhere\Setup_')
            else:
                assert fallback[0][0] == "start-up check failed: .NET Framework 4 missing"
            assert fallback[0][-1] == "exit code 1603", fallback
        else:
            assert fallback_logs() == []
    elif name == "staging-planted-folder":
        staging = inst.host_path(STAGING_WIN)
        assert not (staging / "planted.txt").exists()
        assert not (staging / "orfeda_release" / "files" / "planted.dll").exists()
        assert not (installed / "planted.dll").exists()
        # Made anew with the download area's own access rules.
        assert dacl_tool("show", STAGING_WIN)[STAGING_WIN] == reference_dacl(STAGING_SDDL)
    elif name == "staging-planted-file":
        assert inst.host_path(STAGING_WIN).is_dir()
        assert (installed / "Orfeda.exe").is_file()
    elif name == "staging-planted-link":
        target = inst.host_path(PLANTED_WIN)
        assert sorted(p.name for p in target.iterdir()) == ["orfeda_release"]  # nothing added
        assert (target / "orfeda_release" / "files" / "planted.dll").read_bytes() == b"planted"
        assert not installed.exists()
    elif name == "temp-through-link":
        assert "is a link" in log[-2], log[-2]
        assert not installed.exists()
    elif name in ("version-unknown", "checksum-mismatch", "download-refused", "server-down",
                  "empty-file-list", "broken-manifest"):
        assert not installed.exists()
        assert not inst.reg_query(rf"HKLM\{inst.PRODUCT_KEY}\uninstall")
    elif name == "no-orfeda-component":
        i = log.index("start components")
        assert log[i + 1] == "end components"
        assert not (installed / "Orfeda.exe").exists()
        assert inst.reg_query(rf"HKLM\{inst.UNINSTALL_PARENT}\{inst.APPLICATION}", "64")
        assert all(link.is_file() for link in inst.links("all").values())
    elif name == "driver-1603":
        assert f"Execution of {DRIVER_LOG} failed." in log
        driver_log = inst.TEMP_WIN + rf"\{DRIVER_LOG}.log"
        assert f"Windows Installer log of {DRIVER_LOG}: {driver_log}" in log
        assert package_log(DRIVER_LOG).stat().st_size > 0
        assert "InstallPrinter failed" in log
        assert f"Execution of {OEM_LOG} succeed." in log
    elif name == "file-blocked":
        reasons = copy_failures(log, ROOT_WIN + r"\readme.txt")
        assert len(reasons) == 1 and reasons[0], log
        assert f"copy of files failed with error: 1 file could not be copied into '{ROOT_WIN}'" in log
        # The copy went on with the other files, and so did the run.
        for rel in ("Orfeda.exe", "uninstall.exe", "doc/manual.txt", f"partner/nova/{release.DRIVER}"):
            assert (installed / rel).is_file(), rel
        assert "Install Printer ok" in log
    elif name == "partner-file-blocked":
        partner = inst.TEMP_WIN + r"\Orfeda\orfeda_release\files\partner"
        reasons = copy_failures(log, partner + r"\image\ShortCut.ico")
        assert len(reasons) == 1 and reasons[0], log
        assert f"copy of files failed with error: 1 file could not be copied into '{partner}'" in log
        assert (installed / "partner" / "nova" / release.DRIVER).is_file()
    elif name == "driver-3010":
        i = log.index(f"Execution of {DRIVER_LOG} succeed.")
        assert "restart" in log[i + 1]
        assert "InstallPrinter failed" not in log and "Install Printer ok" in log
        assert package_log(DRIVER_LOG).is_file()  # /norestart: the package only asks
        assert (inst.host_path(rf"C:\Program Files\{release.DRIVER_FOLDER}") / release.DRIVER_MARKER).is_file()
