"""Benchmark: an update of a large installation (by default ~200 MB in 2,000 files, as
tools/bench-silent installs) to a new release of the same size with the real update worker,
against a native baseline doing the same work in the same run (zip -r -1 of the install
root, rm -rf, cp -r of the new files). Each backup level asked for is measured in alternating
runs; medians of each phase (backup, clearing, copy, restore) and the peak memory.

Run through tools/bench-update (it prepares the build, the prefix and the display).
Prints the figures; it asserts nothing.
"""
from __future__ import annotations

import argparse
import os
import random
import re
import shutil
import statistics
import subprocess
import sys
import time
from pathlib import Path

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))

import demo_build as localbuild  # noqa: E402
import demo_installation as inst  # noqa: E402
from demo_bench import pin  # noqa: E402
from demo_release import runexit_exe  # noqa: E402

BENCH_WIN = r"C:\orfeda-bench-update"
# The worker's step texts and the phase each one starts.
PHASES = {"create backup...": "backup", "clear local contents...": "clearing",
          "copy new files...": "copy", "restore files...": "restore"}


def fill(folder: Path, files: int, size: int, seed: int, content: str) -> None:
    """`files` files of `size` bytes in folders of 100, plus the program: incompressible
    ("random"), or half random and half text ("mixed", which deflate halves, as it does
    program files)."""
    rnd = random.Random(seed)
    text = b"Fax printer driver and client program, version and partner settings. " * (size // 64 + 1)
    for i in range(files):
        sub = folder / f"dir{i // 100:03d}"
        sub.mkdir(parents=True, exist_ok=True)
        data = rnd.randbytes(size) if content == "random" else rnd.randbytes(size // 2) + text[:size - size // 2]
        (sub / f"file{i:05d}.bin").write_bytes(data)
    (folder / "Orfeda.exe").write_bytes(b"MZ" + rnd.randbytes(4096))


def prepare(base: Path, files: int, size: int, content: str) -> tuple[Path, Path]:
    """The old installation (kept as a template) and the staging folder with the new release."""
    template, staging = base / "template", base / "staging"
    if not template.exists():
        fill(template, files, size, seed=1, content=content)
        (template / "settings.ini").write_bytes(b"[user]\r\nkept=1\r\n")
        fill(staging / "files", files, size, seed=2, content=content)
        (staging / "setup.json").write_text("{}")
        (staging / "update.json").write_text('{"restore":{"folder":["dir000"],"files":["settings.ini"]}}')
    return template, staging


def fresh_root(template: Path, root: Path) -> None:
    shutil.rmtree(root, ignore_errors=True)
    shutil.copytree(template, root)


def run_worker(build: Path, root_win: str, staging_win: str, temp_win: str, level: int,
               launcher: tuple[str, ...]) -> dict:
    bench = build / "tests" / "update" / "update_bench.exe"
    start = time.time()
    out = subprocess.run([*launcher, "wine", str(runexit_exe()), str(bench), root_win, staging_win, temp_win,
                          str(level)], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True,
                         timeout=1800).stdout
    phases = {name: 0.0 for name in PHASES.values()}
    for step, ms in re.findall(r"^phase (.+?) (\d+)$", out, re.M):
        if step in PHASES:
            phases[PHASES[step]] += int(ms) / 1000
    total = re.search(r"^total (\d+)$", out, re.M)
    outcome = re.search(r"^outcome (\d+)$", out, re.M)
    peak = re.search(r"peakworkingset=(\d+)", out)
    return {"seconds": int(total.group(1)) / 1000 if total else time.time() - start,
            "phases": phases, "ok": bool(outcome) and outcome.group(1) == "0",
            "peak": int(peak.group(1)) if peak else 0}


def baseline(root: Path, staging: Path, work: Path, launcher: tuple[str, ...]) -> dict:
    """The same data work natively: backup (zip -r -1), clearing (rm -rf), copy (cp -r)."""
    phases = {}
    t = time.time()
    subprocess.run([*launcher, "zip", "-q", "-r", "-1", str(work / "backup.zip"), "."], cwd=root, check=True)
    phases["backup"] = time.time() - t
    t = time.time()
    subprocess.run([*launcher, "rm", "-rf", str(root)], check=True)
    phases["clearing"] = time.time() - t
    t = time.time()
    subprocess.run([*launcher, "cp", "-r", str(staging / "files"), str(root)], check=True)
    phases["copy"] = time.time() - t
    (work / "backup.zip").unlink()
    return {"seconds": sum(phases.values()), "phases": phases}


def median(values: list[float]) -> float:
    return statistics.median(values) if values else float("nan")


def main(argv: list[str]) -> int:
    ap = argparse.ArgumentParser(prog="tools/bench-update")
    ap.add_argument("--files", type=int, default=2000)
    ap.add_argument("--file-size", type=int, default=100 * 1024)
    ap.add_argument("--runs", type=int, default=5, help="alternating runs of each; medians count")
    ap.add_argument("--levels", default="0,1,6", help="backup levels to compare (0 stores)")
    ap.add_argument("--content", choices=["random", "mixed"], default="random",
                    help="incompressible files (as tools/bench-silent's release) or half text")
    a = ap.parse_args(argv)
    levels = [int(v) for v in a.levels.split(",")]

    build = localbuild.build_dir()
    base = inst.host_path(BENCH_WIN)
    shutil.rmtree(base, ignore_errors=True)
    t0 = time.time()
    template, staging = prepare(base, a.files, a.file_size, a.content)
    print(f"installation and release: {a.files} files of {a.file_size} bytes each ({a.content}) "
          f"(prepared in {time.time() - t0:.1f} s)")
    root = base / "root"
    work = base / "native"
    work.mkdir(exist_ok=True)
    failures = 0
    try:
        modes = [("one CPU", {0})] if (os.cpu_count() or 1) > 1 else []
        modes.append(("unpinned", None))
        for title, cpus in modes:
            launcher = pin(cpus)
            results: dict[int, list[dict]] = {level: [] for level in levels}
            bases = []
            for run in range(a.runs):
                fresh_root(template, root)
                bases.append(baseline(root, staging, work, launcher))
                for level in levels:
                    fresh_root(template, root)
                    shutil.rmtree(base / "temp", ignore_errors=True)
                    (base / "temp").mkdir()
                    res = run_worker(build, BENCH_WIN + r"\root", BENCH_WIN + r"\staging",
                                     BENCH_WIN + r"\temp", level, launcher)
                    failures += not res["ok"]
                    results[level].append(res)
                    print(f"  {title}, run {run + 1}, backup level {level}: update {res['seconds']:.2f} s, "
                          f"baseline {bases[-1]['seconds']:.2f} s{'' if res['ok'] else '  (FAILED)'}")
            native = median([b["seconds"] for b in bases])
            print(f"{title}: native baseline {native:.2f} s (" + ", ".join(
                f"{k} {median([b['phases'][k] for b in bases]):.2f} s" for k in bases[0]["phases"]) + ")")
            for level in levels:
                rs = results[level]
                total = median([r["seconds"] for r in rs])
                print(f"  backup level {level}: update {total:.2f} s, ratio {total / native:.2f}; " + ", ".join(
                    f"{k} {median([r['phases'][k] for r in rs]):.2f} s" for k in PHASES.values()) +
                    f"; peak working set {max(r['peak'] for r in rs) / 1048576:.1f} MB")
        pin(None)
    finally:
        shutil.rmtree(base, ignore_errors=True)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
