"""Looks at what a silent install left in the project's Wine prefix, and runs setup.exe.

Used by tools/demo for its report and by the silent-install tests. Everything is read the
way an administrator would see it: files in the prefix, registry values through Wine's
reg tool, links in the shell folders, and the setup's own log in TEMP.
"""
from __future__ import annotations

import os
import re
import subprocess
import time
from dataclasses import dataclass
from pathlib import Path

import shutil
import tempfile

import demo_release as release
from demo_release import ROOT, runexit_exe, win32_build  # noqa: E402  (same folder)

PROVIDER = "Palvoro Fax"
PRODUCER = "Palvoro"
APPLICATION = "Palvoro Fax"
PRODUCT_KEY = rf"Software\{PROVIDER}\{PRODUCER}"
UNINSTALL_PARENT = r"SOFTWARE\Wow6432Node\Microsoft\Windows\CurrentVersion\Uninstall"
ENV_KEY = r"HKLM\System\CurrentControlSet\Control\Session Manager\Environment"

USER = os.environ.get("USER") or "root"
DEFAULT_ROOT_WIN = rf"C:\Program Files (x86)\{PROVIDER}\{PRODUCER}"
TEMP_WIN = rf"C:\users\{USER}\Temp"

LINK_FOLDERS = {
    "all": {
        "desktop": r"C:\users\Public\Desktop",
        "startmenu": r"C:\ProgramData\Microsoft\Windows\Start Menu",
        "autostart": r"C:\ProgramData\Microsoft\Windows\Start Menu\Programs\StartUp",
    },
    "me": {
        "desktop": rf"C:\users\{USER}\Desktop",
        "startmenu": rf"C:\users\{USER}\AppData\Roaming\Microsoft\Windows\Start Menu",
        "autostart": rf"C:\users\{USER}\AppData\Roaming\Microsoft\Windows\Start Menu\Programs\StartUp",
    },
}


def prefix() -> Path:
    return Path(os.environ.get("WINEPREFIX", ROOT / "build" / "wine" / "prefix"))


def host_path(win: str) -> Path:
    """The Linux path of a C: path inside the prefix (case as Wine created it)."""
    m = re.match(r"^[A-Za-z]:\\?(.*)$", win)
    if not m:
        raise ValueError(win)
    rel = m.group(1).replace("\\", "/")
    base = prefix() / "drive_c"
    if not rel:
        return base
    # Wine matches names without regard to case; find the real spelling part by part.
    p = base
    for part in rel.split("/"):
        if not part:
            continue
        cand = p / part
        if not cand.exists() and p.is_dir():
            for child in p.iterdir():
                if child.name.lower() == part.lower():
                    cand = child
                    break
        p = cand
    return p


def setup_exe() -> Path:
    return win32_build() / "setup.exe"


@dataclass
class RunResult:
    exit_code: int
    seconds: float
    log_path: Path | None
    log: list[str]
    peak_working_set: int = 0  # bytes, sampled while it ran
    peak_private: int = 0


def newest_log(since: float) -> Path | None:
    temp = host_path(TEMP_WIN)
    logs = [p for p in temp.glob("Setup_*.log") if p.stat().st_mtime >= since - 1]
    return max(logs, key=lambda p: p.stat().st_mtime) if logs else None


STAMP = r"[0-9]{1,4}[./\-][0-9]{1,2}[./\-][0-9]{1,4} [0-9]{1,2}:[0-9]{2}(?::[0-9]{2})?(?: ?[AP]M)?: "


def log_lines(path: Path | None) -> list[str]:
    """The log's texts without their date and time prefix. A text may itself hold line
    breaks, so a line is everything up to the next line that starts with a time stamp."""
    if not path or not path.exists():
        return []
    content = path.read_bytes().decode("cp1252", errors="replace")
    starts = [m for m in re.finditer(r"(?:^|\r\n)(" + STAMP + ")", content)]
    out = []
    for i, m in enumerate(starts):
        end = starts[i + 1].start() if i + 1 < len(starts) else len(content)
        text = content[m.end():end]
        out.append(text[:-2] if text.endswith("\r\n") else text)
    return out


def run_setup(args: list[str], timeout: float = 300, env: dict[str, str] | None = None,
              launcher: tuple[str, ...] = ()) -> RunResult:
    """Runs setup.exe under Wine through runexit, which reports its full exit code. `env` sets
    variables of setup.exe's Windows environment (TEMP included); `launcher` goes in front of
    the command (e.g. taskset)."""
    start = time.time()
    settings = [a for name, value in (env or {}).items() for a in ("--env", f"{name}={value}")]
    proc = subprocess.run([*launcher, "wine", str(runexit_exe()), *settings, str(setup_exe()), *args],
                          stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL,
                          timeout=timeout, text=True)
    seconds = time.time() - start
    m = re.search(r"exitcode=(\d+)", proc.stdout)
    code = int(m.group(1)) if m else -1
    log = newest_log(start)

    def figure(name):
        f = re.search(name + r"=(\d+)", proc.stdout)
        return int(f.group(1)) if f else 0
    return RunResult(code, seconds, log, log_lines(log), figure("peakworkingset"), figure("peakprivate"))


def reg_query(key: str, view: str = "32") -> dict[str, str]:
    """Values of one registry key (empty when the key is missing)."""
    cmd = ["wine", "reg", "query", key]
    if view:
        cmd.append(f"/reg:{view}")
    proc = subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                          stdin=subprocess.DEVNULL, text=True, errors="replace")
    values = {}
    if proc.returncode != 0:
        return values
    for line in proc.stdout.splitlines():
        m = re.match(r"^\s{4}(.*?)\s{4}(REG_\w+)\s{4}?(.*)$", line)
        if m:
            values[m.group(1)] = m.group(3)
    return values


def links(users: str) -> dict[str, Path]:
    folders = LINK_FOLDERS[users]
    return {
        "desktop": host_path(folders["desktop"]) / f"{APPLICATION}.lnk",
        "startmenu": host_path(folders["startmenu"]) / PROVIDER / f"{APPLICATION}.lnk",
        "autostart": host_path(folders["autostart"]) / f"{APPLICATION}.lnk",
    }


def tree(root: Path, limit: int = 40) -> list[str]:
    lines = []
    if not root.exists():
        return ["(missing)"]
    for p in sorted(root.rglob("*")):
        rel = p.relative_to(root)
        if len(lines) >= limit:
            lines.append("...")
            break
        size = "" if p.is_dir() else f"  ({p.stat().st_size} bytes)"
        lines.append("  " * (len(rel.parts) - 1) + rel.name + ("\\" if p.is_dir() else "") + size)
    return lines


def report(result: RunResult, users: str = "all", install_root_win: str = DEFAULT_ROOT_WIN,
           log_tail: int = 15) -> str:
    out = []
    meaning = {0: "done", 3010: "done, restart required", 1603: "failed", 1602: "cancelled",
               1618: "another copy running", 1639: "unknown argument"}
    out.append(f"Exit code      : {result.exit_code} ({meaning.get(result.exit_code, 'unexpected')})"
               f"  after {result.seconds:.1f} s")
    out.append(f"Install root   : {install_root_win}")
    for line in tree(host_path(install_root_win)):
        out.append("    " + line)
    out.append("Registry")
    hive = "HKCU" if users == "me" else "HKLM"
    for title, key in (("options key", rf"HKCU\{PRODUCT_KEY}\options"),
                       ("product uninstall key", rf"HKLM\{PRODUCT_KEY}\uninstall"),
                       ("Windows uninstall entry", rf"{hive}\{UNINSTALL_PARENT}\{APPLICATION}")):
        # The uninstall entry's path already names Wow6432Node, and Wine redirects a 32-bit
        # reader's HKCU\Software once that node exists there: read those in the 64-bit view.
        values = reg_query(key, "64" if "Wow6432Node" in key or key.startswith("HKCU") else "32")
        out.append(f"  {title}: {key}")
        if not values:
            out.append("      (missing)")
        for name, value in values.items():
            out.append(f"      {name} = {value}")
    env = reg_query(ENV_KEY, "").get("ORFEDAINSTALLPATH", "(missing)")
    out.append(f"Environment    : ORFEDAINSTALLPATH = {env}")
    out.append("Links")
    for kind, path in links(users).items():
        out.append(f"  {kind:10s}: {'present' if path.exists() else 'missing'}  {path}")
    out.append(f"Log file       : {result.log_path}")
    for line in result.log[-log_tail:]:
        out.append("    " + line)
    return "\n".join(out)


def installation_problems(root_win: str = DEFAULT_ROOT_WIN, users: str = "all",
                          links_made: tuple[bool, bool, bool] = (True, True, True),
                          version: str = "2.5.0.0", partner_version: str = "1.0.3") -> list[str]:
    """What an installation of the demo release is missing or holds wrongly, as an
    administrator would look for it: the install root's files, the product ini and
    "updater.cfg", the product's uninstall key (users and the three link choices: desktop,
    start menu, autostart), the Windows uninstall entry, the environment variable, the links,
    the scripts' marker files and the driver packages' files. Empty when all is as it
    should be."""
    problems = []
    root = host_path(root_win)
    for rel in ("Orfeda.exe", "uninstall.exe", "readme.txt", "doc/manual.txt",
                f"partner/nova/{release.DRIVER}", f"partner/nova/{release.OEM}",
                "partner/image/ShortCut.ico"):
        if not (root / rel).is_file():
            problems.append(f"missing file {rel}")
    readme = root / "readme.txt"
    if readme.is_file() and readme.read_text().strip() != f"Orfeda demo release {version}":
        problems.append(f"readme.txt is not the one of {version}: {readme.read_text().strip()!r}")
    partner = root / "partner" / "version.txt"
    if partner.is_file() and partner.read_bytes() != partner_version.encode() + b"\r\n":
        problems.append(f"partner/version.txt holds {partner.read_bytes()!r}")
    ini = root / "Orfeda.ini"
    lines = ini.read_bytes().decode("cp1252").splitlines() if ini.is_file() else []
    if lines[:2] != ["[details]", f"provider={PROVIDER}"] or f"producer={PRODUCER}" not in lines:
        problems.append(f"Orfeda.ini: {lines[:6]}")
    cfg = root / "updater.cfg"
    lines = cfg.read_bytes().decode("cp1252").splitlines() if cfg.is_file() else []
    want_cfg = rf"inifile='{TEMP_WIN}\{PROVIDER}\{PRODUCER}\updater.ini'"
    if lines[:2] != ["[updater]", want_cfg]:
        problems.append(f"updater.cfg: {lines[:3]}")

    flag = {True: "-1", False: "0"}
    want = {"PrinterName": APPLICATION, "ApplicationName": APPLICATION, "Provider": PROVIDER,
            "Producer": PRODUCER, "InstPath": root_win, "Users": users,
            "ShortCut": flag[links_made[0]], "StartMenu": flag[links_made[1]],
            "AutoStart": flag[links_made[2]]}
    got = reg_query(rf"HKLM\{PRODUCT_KEY}\uninstall")
    if got != want:
        problems.append(f"product uninstall key: {got} (expected {want})")
    hive = "HKCU" if users == "me" else "HKLM"
    entry = reg_query(rf"{hive}\{UNINSTALL_PARENT}\{APPLICATION}", "64")
    want_entry = {"DisplayName": APPLICATION, "DisplayVersion": version, "Publisher": PROVIDER,
                  "Comments": "no Comment",
                  "UninstallString": f'"{root_win}\\uninstall.exe" -uninstall "\\{PRODUCT_KEY}\\uninstall"'}
    for name, value in want_entry.items():
        if entry.get(name) != value:
            problems.append(f"uninstall entry {name} = {entry.get(name)!r} (expected {value!r})")
    env = reg_query(ENV_KEY, "").get("ORFEDAINSTALLPATH")
    if env != root_win + r"\Orfeda.exe":
        problems.append(f"ORFEDAINSTALLPATH = {env!r}")

    # links() lists them in the order of the choices: desktop, start menu, autostart.
    for (kind, link), made in zip(links(users).items(), links_made):
        if link.is_file() != made:
            problems.append(f"{kind} link {'missing' if made else 'made though not chosen'}: {link}")
    for users_other in {"all", "me"} - {users}:
        for kind, link in links(users_other).items():
            if link.exists():
                problems.append(f"{kind} link made for the wrong users: {link}")
    staging = TEMP_WIN + r"\Orfeda\orfeda_release"
    for script in ("preexec", "postexec"):
        if not host_path(staging + rf"\exec\{script}.done").is_file():
            problems.append(f"the {script} script did not run")
    for folder, marker in ((release.DRIVER_FOLDER, release.DRIVER_MARKER), (release.OEM_FOLDER, release.OEM_MARKER)):
        if not (host_path(rf"C:\Program Files\{folder}") / marker).is_file():
            problems.append(f"driver package not installed: {folder}")
    return problems


def prefix_is_win64() -> bool:
    """Whether the prefix is a 64-bit one, which keeps the 32-bit programs' HKLM\\Software in
    HKLM\\Software\\Wow6432Node (a 32-bit prefix has only the one view)."""
    try:
        with open(prefix() / "system.reg", encoding="utf-8", errors="replace") as f:
            return any(line.strip() == "#arch=win64" for _, line in zip(range(10), f))
    except OSError:
        return True  # Wine's default for a new prefix on a 64-bit machine


def in_view(key: str, view: str) -> str:
    """The key's full path as a 64-bit program reaches it: a 32-bit view's HKLM\\Software
    key lies below HKLM\\Software\\Wow6432Node in a 64-bit prefix."""
    m = re.match(r"^HKLM\\Software\\(.*)$", key, re.I)
    if view == "32" and m and prefix_is_win64() and not m.group(1).lower().startswith("wow6432node\\"):
        return rf"HKLM\Software\Wow6432Node\{m.group(1)}"
    return key


# The registry keys an installation writes (key, the view setup.exe writes it in) and the
# environment variable's value: what clean_installation() deletes.
# Wine redirects HKCU\Software of 32-bit programs once HKCU\Software\Wow6432Node exists.
CLEANUP_KEYS = ((rf"HKCU\{PRODUCT_KEY}", "64"), (r"HKCU\Software\Wow6432Node", "64"),
                (rf"HKLM\{PRODUCT_KEY}", "32"),
                (rf"HKLM\{UNINSTALL_PARENT}\{APPLICATION}", "64"),
                (rf"HKCU\{UNINSTALL_PARENT}\{APPLICATION}", "64"))
CLEANUP_VALUES = ((ENV_KEY, "ORFEDAINSTALLPATH"),)

_HIVES = {"HKLM": "HKEY_LOCAL_MACHINE", "HKCU": "HKEY_CURRENT_USER"}


def _reg_file_key(key: str) -> str:
    hive, _, rest = key.partition("\\")
    return _HIVES[hive] + "\\" + rest


def cleanup_registry_file() -> str:
    """A regedit file that deletes CLEANUP_KEYS (whole trees, in their views) and the
    CLEANUP_VALUES: "[-KEY]" deletes a key with everything below it, '"name"=-' a value.
    A missing key or value is no error."""
    lines = ["Windows Registry Editor Version 5.00", ""]
    for key, view in CLEANUP_KEYS:
        lines += [f"[-{_reg_file_key(in_view(key, view))}]", ""]
    for key, name in CLEANUP_VALUES:
        lines += [f"[{_reg_file_key(key)}]", f'"{name}"=-', ""]
    return "\r\n".join(lines) + "\r\n"


# Debian's 64-bit loader: in a 64-bit prefix, regedit runs as the 64-bit program, so the paths
# in its file name the views themselves (a 32-bit one would see HKLM\\Software redirected).
WINE64_LOADER = "/usr/lib/wine/wine64"


def regedit_delete(content: str) -> None:
    """Imports a regedit file with Wine's regedit, in one Wine process, and waits for it.
    A failed import is tried once more (one failed once in a whole test run, right after a test
    had killed setup.exe; the cause is not known) before it fails with regedit's own words."""
    loader = WINE64_LOADER if prefix_is_win64() and os.path.exists(WINE64_LOADER) else "wine"
    fd, path = tempfile.mkstemp(prefix="orfeda-clean-", suffix=".reg")
    try:
        with os.fdopen(fd, "wb") as f:
            f.write(b"\xff\xfe" + content.encode("utf-16-le"))
        cmd = [loader, "regedit", "/s", "Z:" + path.replace("/", "\\")]
        for attempt in range(2):
            # Its words go to a file: a Wine service it starts would keep a pipe open.
            with tempfile.TemporaryFile() as err:
                code = subprocess.run(cmd, stdout=subprocess.DEVNULL, stderr=err,
                                      stdin=subprocess.DEVNULL).returncode
                err.seek(0)
                words = err.read().decode("utf-8", "replace").strip()
            if code == 0:
                return
            if attempt == 0:
                time.sleep(0.5)
        raise RuntimeError(f"regedit could not delete the installation's registry entries "
                           f"(exit {code}): {words}")
    finally:
        os.unlink(path)


def clean_installation(extra_roots=()) -> None:
    """Puts the prefix back to a machine without the application: install root, download
    area, setup's and the driver packages' logs, links, registry keys, the environment variable and the demo driver
    packages' files."""
    for root in (DEFAULT_ROOT_WIN, *extra_roots):
        shutil.rmtree(host_path(root), ignore_errors=True)
    shutil.rmtree(host_path(TEMP_WIN + r"\Orfeda"), ignore_errors=True)
    for pattern in ("Setup_*.log", "novaPDF8*.log"):  # setup's logs and the driver packages'
        for log in host_path(TEMP_WIN).glob(pattern):
            log.unlink()
    for users in ("all", "me"):
        for link in links(users).values():
            if link.exists():
                link.unlink()
    # One Wine process for all registry deletions (each Wine process start costs about a second).
    regedit_delete(cleanup_registry_file())
    for folder in (release.DRIVER_FOLDER, release.OEM_FOLDER):
        shutil.rmtree(host_path(rf"C:\Program Files\{folder}"), ignore_errors=True)
