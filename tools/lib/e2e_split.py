#!/usr/bin/env python3
"""Splits the end-to-end test files into shards of about equal running time.

    e2e_split.py N FILE...     prints "<shard> <file>" lines, shards numbered from 1

A file stays whole in one shard (its module fixtures are shared by its tests). The times
below are what each file took in one pytest run on the 2-CPU CI machine (pytest --durations,
seconds, without the build of build/win32-local); a file not listed counts as DEFAULT. Measure again when a file's time changes a
lot: a badly balanced split only costs time, never a test.
"""
from __future__ import annotations

import sys
from pathlib import PurePosixPath

SECONDS = {
    "choice_pages/test_choice_pages.py": 115,
    "dialogs/test_dialogs.py": 57,
    "net_transport/test_clients_wine.py": 15,
    "net_transport/test_devserver.py": 2,
    "net_transport/test_transport_wine.py": 30,
    "silent/test_silent_download.py": 50,
    "silent/test_silent_install.py": 110,
    "startup/test_startup_wine.py": 18,
    "wintools/test_wintool.py": 50,
    "wizard/test_download_page.py": 111,
    "wizard/test_install_pages.py": 113,
    "wizard/test_interactive_install.py": 107,
    "wizard/test_login_page.py": 128,
    "wizard/test_update_pages.py": 69,
    "zip/test_zip_tools.py": 40,
}
DEFAULT = 60

# Files that run the same program of build/win32 (setup.exe writes its ZIP library files and
# its fallback log next to itself) stay in one shard. build/win32-local needs no such rule:
# each shard runs a copy of its own (tools/demolib/demo_build.py).
TOGETHER = [
    {"startup/test_startup_wine.py", "dialogs/test_dialogs.py"},
]


def key(path: str) -> str:
    parts = PurePosixPath(path).parts
    return "/".join(parts[parts.index("tests") + 1:]) if "tests" in parts else path


def weight(path: str) -> float:
    return SECONDS.get(key(path), DEFAULT)


def split(n: int, files: list[str]) -> list[list[str]]:
    """Longest first, each into the shard with the least time so far."""
    units: dict[int, list[str]] = {}
    for f in files:
        group = next((g for g, names in enumerate(TOGETHER) if key(f) in names), None)
        units.setdefault(group if group is not None else len(TOGETHER) + len(units), []).append(f)
    shards: list[list[str]] = [[] for _ in range(n)]
    load = [0.0] * n
    for unit in sorted(units.values(), key=lambda u: (-sum(map(weight, u)), u)):
        i = load.index(min(load))
        shards[i] += unit
        load[i] += sum(map(weight, unit))
    return shards


def main(argv: list[str]) -> int:
    if len(argv) < 2 or not argv[1].isdigit() or int(argv[1]) < 1:
        print(__doc__, file=sys.stderr)
        return 2
    for i, files in enumerate(split(int(argv[1]), argv[2:]), 1):
        for f in sorted(files):
            print(i, f)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
