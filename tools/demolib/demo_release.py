"""Builds demo and test releases for the update server.

A server root holds <root>/<branch>/<appname>/<version>/<files>: the application's
release ("orfeda_2018") with one archive carrying "setup.json", the scripts and "files",
and the partner package ("orfeda_2018_kqx") with the printer driver packages and the
link icon. The Windows programs inside come from the win32 build (tests/silent), the
driver packages are built here with wixl.
"""
from __future__ import annotations

import json
import os
import shutil
import struct
import subprocess
import uuid
import zipfile
import zlib
from dataclasses import dataclass, field
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
APPNAME = "orfeda_2018"
API_KEY = "k8r2!tWQ5jHMLPD7*x.-~4039"
PARTNER = "kqx"
RELEASE_ARCHIVE = "orfeda_release.zip"
PARTNER_ARCHIVE = "partner_kqx.zip"
DRIVER = "novaPDF8PrinterDriver(x64).msi"
OEM = "novaPDF8OEM(x64).msi"

PREEXEC = "preexec.bat"
POSTEXEC = "postexec.bat"

# The scripts leave a marker next to themselves (the staging folder's "exec"), so a test
# can tell that they ran and with which working folder.
SCRIPT = "@echo off\r\necho {name} ran in %CD%> \"%~dp0{name}.done\"\r\nexit /b {code}\r\n"

WXS = """<?xml version="1.0" encoding="utf-8"?>
<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi">
  <Product Id="*" Name="{title}" Language="1033" Version="8.0.0.0"
           Manufacturer="Orfeda demo" UpgradeCode="{upgrade}">
    <Package InstallerVersion="200" Compressed="yes" InstallScope="perMachine"/>
    <Media Id="1" Cabinet="pkg.cab" EmbedCab="yes"/>
    <Directory Id="TARGETDIR" Name="SourceDir">
      <Directory Id="ProgramFiles64Folder">
        <Directory Id="INSTALLDIR" Name="{folder}">
          <Component Id="Main" Guid="{component}" Win64="yes">
            <File Id="Marker" Name="{marker}" Source="{source}" KeyPath="yes"/>
          </Component>
        </Directory>
      </Directory>
    </Directory>
{extra}
    <Feature Id="All" Level="1"><ComponentRef Id="Main"/></Feature>
  </Product>
</Wix>
"""

# A package that Windows Installer ends with 1603 (its custom action fails) or that
# installs and then asks for a restart (3010).
EXTRA = {
    "ok": "",
    "fail": """    <Binary Id="CaFail" SourceFile="{dll}"/>
    <CustomAction Id="Fail" BinaryKey="CaFail" DllEntry="FailInstall" Execute="immediate" Return="check"/>
    <InstallExecuteSequence><Custom Action="Fail" After="InstallFiles"/></InstallExecuteSequence>""",
    "reboot": """    <InstallExecuteSequence><ScheduleReboot After="InstallFinalize"/></InstallExecuteSequence>""",
}

# Where the packages install their marker file (64-bit Program Files of the prefix).
DRIVER_FOLDER = "OrfedaDemoDriver"
OEM_FOLDER = "OrfedaDemoOEM"
DRIVER_MARKER = "driver.txt"
OEM_MARKER = "oem.txt"


def win32_build() -> Path:
    return Path(os.environ.get("ORFEDA_WIN32_BUILD", ROOT / "build" / "win32-local"))


def release_programs() -> Path:
    """Folder of the win32 build holding Orfeda.exe and uninstall.exe."""
    return win32_build() / "tests" / "silent" / "release-files"


def runexit_exe() -> Path:
    return win32_build() / "tests" / "wintools" / "runexit.exe"


def md5_of(path: Path) -> str:
    import hashlib
    h = hashlib.md5()
    with open(path, "rb") as f:
        for block in iter(lambda: f.read(1 << 20), b""):
            h.update(block)
    return h.hexdigest()


def _ico_16() -> bytes:
    """A 16x16 32-bit icon (a blue square), enough for a link's icon."""
    w = h = 16
    header = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 32, 0, w * h * 4, 0, 0, 0, 0)
    pixels = bytes([0xC0, 0x60, 0x20, 0xFF]) * (w * h)
    mask = b"\x00" * (4 * h)  # 16 bits per row padded to 32
    image = header + pixels + mask
    return struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", w, h, 0, 0, 1, 32, len(image), 22) + image


def _ca_fail_dll(work: Path) -> Path:
    dll = work / "ca_fail.dll"
    if not dll.exists():
        src = ROOT / "tests" / "silent" / "fixtures" / "ca_fail.c"
        subprocess.run(["x86_64-w64-mingw32-gcc-posix", "-shared", "-O2", "-s", "-o", str(dll), str(src),
                        "-Wl,--kill-at"], check=True)
    return dll


def build_msi(work: Path, out: Path, title: str, folder: str, marker: str, kind: str = "ok") -> Path:
    """Builds an x64 Windows Installer package that installs one marker file."""
    work.mkdir(parents=True, exist_ok=True)
    source = work / f"{folder}-{marker}"
    source.write_text(f"{title} installed by the demo driver package\r\n")
    extra = EXTRA[kind]
    if kind == "fail":
        extra = extra.format(dll=_ca_fail_dll(work).name)
    wxs = work / f"{out.stem}-{kind}.wxs"
    # wixl looks up sources relative to its working folder only.
    wxs.write_text(WXS.format(title=title, folder=folder, marker=marker, source=source.name,
                              upgrade=str(uuid.uuid4()).upper(), component=str(uuid.uuid4()).upper(),
                              extra=extra))
    out.parent.mkdir(parents=True, exist_ok=True)
    subprocess.run(["wixl", "-a", "x64", "-o", str(out.resolve()), wxs.name], check=True, cwd=work,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return out


@dataclass
class ReleaseSpec:
    """What one release tree holds; the defaults make the demo release."""
    branch: str = "stable"
    versions: tuple[str, ...] = ("2.4.0.0", "2.5.0.0")  # the last one is the latest
    partner_versions: tuple[str, ...] = ("1.0.3",)
    empty_versions: tuple[str, ...] = ()  # versions listed without any file
    manifest_text: str | None = None       # "setup.json" as given, in place of the built one
    components: dict = field(default_factory=lambda: {
        "orfeda": {"Name": "Orfeda"},
        "manual": {"Name": "Manual", "cmd": "manual.pdf"},
    })
    preexec_code: int = 0
    postexec_code: int = 0
    driver: str = "ok"        # "ok", "fail" (1603), "reboot" (3010) or "none"
    oem: str = "ok"
    extra_files: int = 0      # bulk files for a large release
    extra_file_size: int = 0
    extra_seed: int = 1
    folders: tuple[str, ...] = ()  # empty folders in the release archive ("files/x")
    update_json: str | None = None  # "update.json" beside "setup.json" (the update's restore rules)


def _release_archive(path: Path, rel: ReleaseSpec, version: str) -> None:
    programs = release_programs()
    manifest = {"components": rel.components, "preexec": [PREEXEC], "postexec": [POSTEXEC]}
    bulk = rel.extra_files > 0
    with zipfile.ZipFile(path, "w", zipfile.ZIP_STORED if bulk else zipfile.ZIP_DEFLATED) as z:
        z.writestr("setup.json", rel.manifest_text if rel.manifest_text is not None
                   else json.dumps(manifest, indent=2))
        if rel.update_json is not None:
            z.writestr("update.json", rel.update_json)
        z.writestr(f"exec/{PREEXEC}", SCRIPT.format(name="preexec", code=rel.preexec_code))
        z.writestr(f"exec/{POSTEXEC}", SCRIPT.format(name="postexec", code=rel.postexec_code))
        z.write(programs / "Orfeda.exe", "files/Orfeda.exe")
        z.write(programs / "uninstall.exe", "files/uninstall.exe")
        z.writestr("files/readme.txt", f"Orfeda demo release {version}\r\n")
        z.writestr("files/doc/manual.txt", "The demo release's manual.\r\n")
        for folder in rel.folders:
            z.writestr(folder.rstrip("/") + "/", b"")
        if bulk:
            # Incompressible content, so the archive is as large as the files.
            seed = rel.extra_seed
            for i in range(rel.extra_files):
                block = os.urandom(rel.extra_file_size) if seed is None else \
                    (zlib.crc32(f"{seed}-{i}".encode()).to_bytes(4, "little") * (rel.extra_file_size // 4 + 1))[:rel.extra_file_size]
                z.writestr(f"files/data/{i // 100:03d}/file{i:05d}.bin", block)


def _partner_archive(path: Path, rel: ReleaseSpec, work: Path) -> None:
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
        if rel.driver != "none":
            msi = build_msi(work, work / f"driver-{rel.driver}.msi", "Demo printer driver",
                            DRIVER_FOLDER, DRIVER_MARKER, rel.driver)
            z.write(msi, f"files/nova/{DRIVER}")
        if rel.oem != "none":
            msi = build_msi(work, work / f"oem-{rel.oem}.msi", "Demo printer OEM settings",
                            OEM_FOLDER, OEM_MARKER, rel.oem)
            z.write(msi, f"files/nova/{OEM}")
        z.writestr("files/image/ShortCut.ico", _ico_16())


def make_release(root: Path, rel: ReleaseSpec | None = None, work: Path | None = None) -> Path:
    """Lays out a server root; returns it. Existing content of the root is replaced."""
    rel = rel or ReleaseSpec()
    root = Path(root)
    work = Path(work) if work else root.parent / (root.name + "-work")
    for p in (root, work):
        if p.exists():
            shutil.rmtree(p)
        p.mkdir(parents=True)
    for version in rel.versions:
        folder = root / rel.branch / APPNAME / version
        folder.mkdir(parents=True)
        if version not in rel.empty_versions:
            _release_archive(folder / RELEASE_ARCHIVE, rel, version)
    for version in rel.partner_versions:
        folder = root / rel.branch / f"{APPNAME}_{PARTNER}" / version
        folder.mkdir(parents=True)
        _partner_archive(folder / PARTNER_ARCHIVE, rel, work)
    return root


if __name__ == "__main__":
    import argparse
    ap = argparse.ArgumentParser(description="Lay out a demo release tree for the update server")
    ap.add_argument("root")
    ap.add_argument("--files", type=int, default=0, help="bulk files in the release")
    ap.add_argument("--file-size", type=int, default=0)
    a = ap.parse_args()
    make_release(Path(a.root), ReleaseSpec(extra_files=a.files, extra_file_size=a.file_size))
    print(a.root)
