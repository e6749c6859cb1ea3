"""The win32 build that talks to the local servers.

The server URLs are built into setup.exe, so the demo and the silent-install tests use a
build of their own (build/win32-local) whose URLs name a local port. The port is derived
from the checkout's path, so two checkouts on one machine do not meet on the same port.
"""
from __future__ import annotations

import fcntl
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
    """Configures (when needed) and builds setup.exe and the test programs; returns the folder.
    Test runs at the same time (the shards of tools/test) take turns: one builds, the others
    find it built."""
    bdir = build_dir()
    bdir.mkdir(parents=True, exist_ok=True)
    with open(bdir.parent / "win32-local.lock", "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        _build(bdir, jobs, quiet)
        shard = os.environ.get("ORFEDA_E2E_SHARD", "")
        return _shard_copy(bdir, shard) if shard.isdigit() and shard != "1" else bdir


def _shard_copy(bdir: Path, shard: str) -> Path:
    """The programs of the build in a folder of the shard's own: setup.exe writes its ZIP
    library files and its fallback log next to itself, which a run in another shard must not
    meet."""
    dest = bdir.parent / f"win32-local-shard{shard}"
    shutil.copytree(bdir, dest, dirs_exist_ok=True, ignore=shutil.ignore_patterns(
        "CMakeFiles", "*.obj", "*.a", "*.d", ".ninja_*", "DelZip192*.dll", "Setup_*.log"))
    return dest


def _build(bdir: Path, jobs: int, quiet: bool) -> Path:
    url = local_url()
    out = subprocess.DEVNULL if quiet else None
    # The Windows architecture follows tools/lib/wine.sh (x86_64 where 32-bit Wine cannot
    # run); a folder configured for the other one is configured anew.
    arch = os.environ.get("ORFEDA_WINDOWS_ARCH", "i686")
    cache = bdir / "CMakeCache.txt"
    if cache.exists() and f"/{arch}-w64-mingw32-gcc-ar" not in cache.read_text():
        cache.unlink()
        shutil.rmtree(bdir / "CMakeFiles", ignore_errors=True)
    # A folder configured with this URL is left to the build, which configures again by
    # itself when a CMake file has changed.
    options = {"ORFEDA_UPDATE_SERVER_URL": url, "ORFEDA_PARTNER_PLATFORM_URL": url}
    # tools/test compiles both Windows builds through ccache (ORFEDA_COMPILER_LAUNCHER, a
    # CMake list), so that this one compiles only what the URL changes.
    launcher = os.environ.get("ORFEDA_COMPILER_LAUNCHER")
    if launcher:
        options["CMAKE_C_COMPILER_LAUNCHER"] = options["CMAKE_CXX_COMPILER_LAUNCHER"] = launcher
    lines = cache.read_text().splitlines() if cache.exists() else []
    if not all(any(line.startswith(f"{name}:") and line.endswith(f"={value}") for line in lines)
               for name, value in options.items()):
        subprocess.run(["cmake", "-S", str(ROOT), "-B", str(bdir), "-G", "Ninja",
                        f"-DCMAKE_TOOLCHAIN_FILE={ROOT / 'cmake' / 'mingw-i686.cmake'}",
                        "-DCMAKE_BUILD_TYPE=Release", f"-DORFEDA_WINDOWS_ARCH={arch}",
                        *[f"-D{name}={value}" for name, value in options.items()]],
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
