"""Benchmark: the silent install of a large release against the local update server, and in
the same run a native baseline doing the same work (curl download, md5sum, unzip, cp -r).

Run through tools/bench-silent (it prepares the build, the prefix and the display).
Prints the figures; it asserts nothing.
"""
from __future__ import annotations

import argparse
import json
import re
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import threading
import time
from pathlib import Path

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))
sys.path.insert(0, str(HERE.parent / "devserver"))

import demo_installation as inst  # noqa: E402
import demo_build as localbuild  # noqa: E402
import demo_release as release  # noqa: E402
from demo_run import trust_ca  # noqa: E402


def baseline(url: str, cafile: Path, work: Path, version: str, pversion: str,
             launcher: tuple[str, ...] = ()) -> dict:
    """The same work natively: key login, list, download, MD5, unpack, copy into a root."""
    def curl(*args):
        return subprocess.run([*launcher, "curl", "-sS", "--fail", "--cacert", str(cafile), *args],
                              check=True, stdout=subprocess.PIPE).stdout

    start = time.time()
    steps = {"download": 0.0, "md5sum": 0.0, "unzip": 0.0, "cp": 0.0}
    sid = json.loads(curl("--data-urlencode", "key=" + release.API_KEY, url + "/qdapi/auth/"))["sid"]
    target = work / "installed"
    for app, ver in (("orfeda_2018", version), ("orfeda_2018_kqx", pversion)):
        q = f"{url}/qdapi/update/?branch=stable&appname={app}&version={ver}&sid={sid}"
        files = json.loads(curl(q + "&list="))["message"]
        for f in files:
            local = work / f["filename"]
            t = time.time()
            curl("-o", str(local), q + "&filename=" + f["filename"])
            steps["download"] += time.time() - t
            t = time.time()
            md5 = subprocess.run([*launcher, "md5sum", str(local)], check=True, stdout=subprocess.PIPE,
                                 text=True).stdout.split()[0]
            assert md5 == f["checksum"].lower(), f["filename"]
            steps["md5sum"] += time.time() - t
            folder = work / Path(f["filename"]).stem
            t = time.time()
            subprocess.run([*launcher, "unzip", "-q", "-o", str(local), "-d", str(folder)], check=True)
            steps["unzip"] += time.time() - t
            dest = target if app == "orfeda_2018" else target / "partner"
            dest.mkdir(parents=True, exist_ok=True)
            t = time.time()
            subprocess.run([*launcher, "cp", "-r", str(folder / "files") + "/.", str(dest)], check=True)
            steps["cp"] += time.time() - t
    return {"seconds": time.time() - start, "steps": steps}


class PhaseWatch:
    """Splits one setup.exe run into its phases from outside, by what appears in the download
    area: the release's download file (sign-in and listing are done), the partner package's
    folder (both packages downloaded, checked and unpacked); the rest of the run is the
    installation itself (scripts, files, driver packages, registry records, links)."""

    def __init__(self) -> None:
        area = inst.host_path(inst.TEMP_WIN) / "Orfeda"
        self.marks = {"download": area / (release.RELEASE_ARCHIVE + ".part"),
                      "unpacked": area / Path(release.PARTNER_ARCHIVE).stem}
        self.seen: dict[str, float] = {}
        self.start = time.time()
        self._stop = threading.Event()
        self._thread = threading.Thread(target=self._watch, daemon=True)
        self._thread.start()

    def _watch(self) -> None:
        # 10 ms steps: the servers' threads share this process and its CPU.
        while not self._stop.wait(0.01):
            for name, path in self.marks.items():
                if name not in self.seen and path.exists():
                    self.seen[name] = time.time() - self.start

    def phases(self, seconds: float) -> dict[str, float]:
        self._stop.set()
        self._thread.join()
        download = self.seen.get("download", float("nan"))
        unpacked = self.seen.get("unpacked", float("nan"))
        return {"sign-in": download, "data": unpacked - download, "install": seconds - unpacked}


def wineservers() -> list[int]:
    """Process ids of the wineserver of this Wine prefix."""
    prefix = os.environ.get("WINEPREFIX", "").encode()
    pids = []
    for entry in Path("/proc").iterdir():
        if not entry.name.isdigit():
            continue
        try:
            if (entry / "comm").read_text().strip() != "wineserver":
                continue
            environ = (entry / "environ").read_bytes().split(b"\0")
        except OSError:
            continue
        if not prefix or b"WINEPREFIX=" + prefix in environ:
            pids.append(int(entry.name))
    return pids


def pin(cpus: set[int] | None) -> tuple[str, ...]:
    """Puts this process (the servers' threads) on the other CPU and the wineserver on
    `cpus`; gives the launcher for the programs measured. None undoes it."""
    every = set(range(os.cpu_count() or 1))
    target = cpus if cpus else every
    for pid in wineservers():
        try:
            os.sched_setaffinity(pid, target)
        except OSError:
            pass
    os.sched_setaffinity(0, (every - cpus) or every if cpus else every)
    if not cpus:
        return ()
    return ("taskset", "-c", ",".join(str(c) for c in sorted(cpus)))


def median(values: list[float]) -> float:
    return statistics.median(values) if values else float("nan")


def main(argv: list[str]) -> int:
    ap = argparse.ArgumentParser(prog="tools/bench-silent")
    ap.add_argument("--files", type=int, default=2000)
    ap.add_argument("--file-size", type=int, default=100 * 1024)
    ap.add_argument("--runs", type=int, default=5, help="alternating runs of each; medians count")
    ap.add_argument("--no-ranges", action="store_true",
                    help="the server answers byte ranges with the whole file (one stream)")
    a = ap.parse_args(argv)

    from devserver import DevServer, make_certificates
    build = localbuild.build_dir()
    certdir = localbuild.ROOT / "build" / "devserver-ca"
    make_certificates(str(certdir))
    trust_ca(build, certdir)
    inst.clean_installation()

    work = Path(tempfile.mkdtemp(prefix="orfeda-bench-"))
    try:
        t0 = time.time()
        rel = release.ReleaseSpec(versions=("2.5.0.0",), extra_files=a.files, extra_file_size=a.file_size)
        root = release.make_release(work / "releases", rel, work / "work")
        archive = root / "stable" / release.APPNAME / "2.5.0.0" / release.RELEASE_ARCHIVE
        print(f"release: {a.files} files of {a.file_size} bytes, archive {archive.stat().st_size / 1e6:.1f} MB "
              f"(built in {time.time() - t0:.1f} s)")
        arch = os.environ.get("ORFEDA_WINDOWS_ARCH", "i686")
        print(f"setup.exe built for {arch} ({'32' if arch == 'i686' else '64'}-bit Wine)")
        server = DevServer(str(root), port=localbuild.local_port(), certdir=str(certdir))
        server.start()
        if a.no_ranges:
            server.faults["no_ranges"] = True
        exit_codes = []
        try:
            modes = [("one CPU", {0})] if (os.cpu_count() or 1) > 1 else []
            modes.append(("unpinned", None))
            for title, cpus in modes:
                launcher = pin(cpus)
                results, bases = [], []
                for run in range(a.runs):
                    base_dir = work / f"base{run}"
                    base_dir.mkdir()
                    bases.append(baseline(server.url, certdir / "ca.pem", base_dir, "2.5.0.0", "1.0.3",
                                          launcher))
                    shutil.rmtree(base_dir)
                    inst.clean_installation()
                    watch = PhaseWatch()
                    res = inst.run_setup(["-silent", "/username", "bench", "/password", "bench"],
                                         timeout=1800, launcher=launcher)
                    # The next run's clean-up removes the log: keep its text now.
                    res.raw_log = res.log_path.read_bytes().decode("cp1252", "replace") if res.log_path else ""
                    res.phases = watch.phases(res.seconds)
                    results.append(res)
                    exit_codes.append(res.exit_code)
                    print(f"  {title}, run {run + 1}: setup.exe {res.seconds:.2f} s, "
                          f"baseline {bases[-1]['seconds']:.2f} s")
                report(title, results, bases, a.runs)
            pin(None)
        finally:
            server.stop()
        installed = sum(1 for p in inst.host_path(inst.DEFAULT_ROOT_WIN).rglob("*") if p.is_file())
        print(f"{installed} files installed by the last run")
        inst.clean_installation()
        shutil.rmtree(inst.host_path(inst.TEMP_WIN + r"\Orfeda"), ignore_errors=True)
        return 0 if exit_codes and all(c == 0 for c in exit_codes) else 1
    finally:
        shutil.rmtree(work, ignore_errors=True)


def report(title: str, results: list, bases: list[dict], runs: int) -> None:
    """Medians of one mode's runs: setup.exe against the native pipeline, phase by phase."""
    setup = median([r.seconds for r in results])
    native = median([b["seconds"] for b in bases])
    print(f"{title}: setup.exe -silent {setup:.2f} s, native pipeline {native:.2f} s "
          f"(medians of {runs}), ratio {setup / native if native else float('nan'):.2f}")
    print("  native phases   : " + ", ".join(
        f"{k} {median([b['steps'][k] for b in bases]):.2f} s" for k in bases[0]["steps"]))
    # The same work side by side: what the native pipeline does besides the data work is its
    # API calls (sign-in and listing); the installation's scripts, driver packages, registry
    # records and links have no native counterpart.
    native_data = median([sum(b["steps"].values()) for b in bases])
    native_api = median([b["seconds"] - sum(b["steps"].values()) for b in bases])
    ph = {k: median([r.phases[k] for r in results]) for k in ("sign-in", "data", "install")}
    print(f"  setup.exe phases: start-up and sign-in {ph['sign-in']:.2f} s (native API calls {native_api:.2f} s), "
          f"download, MD5 and unpacking {ph['data']:.2f} s (native {native_data:.2f} s, ratio "
          f"{ph['data'] / native_data if native_data else float('nan'):.2f}), "
          f"installation {ph['install']:.2f} s")
    print(f"  peak working set: {max(r.peak_working_set for r in results) / 1048576:.1f} MB, "
          f"peak private bytes: {max(r.peak_private for r in results) / 1048576:.1f} MB")
    # Where setup's time went in its median run, from the log's time stamps.
    marks = ("silent install started...", "| Download File...", "| Check MD5...",
             "| Extracting Files...", "| finished", "start components", "ORFEDAINSTALLPATH",
             "end components", "setup finished...")
    middle = sorted(results, key=lambda r: r.seconds)[len(results) // 2]
    for line in middle.raw_log.splitlines():
        if any(m in line for m in marks):
            print("    " + line[:110])


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
