"""The win32 build that talks to the local servers.

The server URLs are built into setup.exe, so the demo and the silent-install tests use a
build of their own (build/win32-local) whose URLs name a local port. The port is derived
from the checkout's path, so two checkouts on one machine do not meet on the same port.
"""
from __future__ import annotations

import os
import shutil
import subprocess
import zlib
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]

TARGETS = ["setup", "silent_demo_app", "silent_demo_uninstall", "runexit", "silent_dacl", "silent_tamper",
           "trust_ca", "wintool", "update_bench"]


def local_port() -> int:
    if os.environ.get("ORFEDA_LOCAL_PORT"):
        return int(os.environ["ORFEDA_LOCAL_PORT"])
    return 41000 + zlib.crc32(str(ROOT).encode()) % 8000


def local_url() -> str:
    return f"https://localhost:{local_port()}"


def build_dir() -> Path:
    return ROOT / "build" / "win32-local"


def ensure_built(jobs: int = 2, quiet: bool = True) -> Path:
    """Configures (when needed) and builds setup.exe and the test programs; returns the folder."""
    bdir = build_dir()
    url = local_url()
    out = subprocess.DEVNULL if quiet else None
    # The Windows architecture follows tools/lib/wine.sh (x86_64 where 32-bit Wine cannot
    # run); a folder configured for the other one is configured anew.
    arch = os.environ.get("ORFEDA_WINDOWS_ARCH", "i686")
    cache = bdir / "CMakeCache.txt"
    if cache.exists() and f"/{arch}-w64-mingw32-gcc-ar" not in cache.read_text():
        cache.unlink()
        shutil.rmtree(bdir / "CMakeFiles", ignore_errors=True)
    subprocess.run(["cmake", "-S", str(ROOT), "-B", str(bdir), "-G", "Ninja",
                    f"-DCMAKE_TOOLCHAIN_FILE={ROOT / 'cmake' / 'mingw-i686.cmake'}",
                    "-DCMAKE_BUILD_TYPE=Release", f"-DORFEDA_WINDOWS_ARCH={arch}",
                    f"-DORFEDA_UPDATE_SERVER_URL={url}", f"-DORFEDA_PARTNER_PLATFORM_URL={url}"],
                   check=True, stdout=out)
    # Build only what exists in this checkout (the trust helper comes with the transport).
    available = subprocess.run(["ninja", "-C", str(bdir), "-t", "targets", "all"],
                               stdout=subprocess.PIPE, text=True, check=True).stdout.splitlines()
    targets = [t for t in TARGETS if any(line.startswith(f"{t}:") for line in available)]
    proc = subprocess.run(["cmake", "--build", str(bdir), "-j", str(jobs), "--target", *targets],
                          stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    if proc.returncode != 0:
        raise RuntimeError("win32-local build failed:\n" + proc.stdout[-4000:])
    return bdir


if __name__ == "__main__":
    print(ensure_built(quiet=False))
    print(local_url())
