"""Benchmark: the silent install of a large release against the local update server, and in
the same run a native baseline doing the same work (curl download, md5sum, unzip, cp -r).

Run through tools/bench-silent (it prepares the build, the prefix and the display).
Prints the figures; it asserts nothing.
"""
from __future__ import annotations

import argparse
import json
import re
import shutil
import subprocess
import sys
import tempfile
import time
from pathlib import Path

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))
sys.path.insert(0, str(HERE.parent / "devserver"))

import demo_installation as inst  # noqa: E402
import demo_build as localbuild  # noqa: E402
import demo_release as release  # noqa: E402
from demo_run import trust_ca  # noqa: E402


def baseline(url: str, cafile: Path, work: Path, version: str, pversion: str) -> dict:
    """The same work natively: key login, list, download, MD5, unpack, copy into a root."""
    def curl(*args):
        return subprocess.run(["curl", "-sS", "--fail", "--cacert", str(cafile), *args],
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
            md5 = subprocess.run(["md5sum", str(local)], check=True, stdout=subprocess.PIPE,
                                 text=True).stdout.split()[0]
            assert md5 == f["checksum"].lower(), f["filename"]
            steps["md5sum"] += time.time() - t
            folder = work / Path(f["filename"]).stem
            t = time.time()
            subprocess.run(["unzip", "-q", "-o", str(local), "-d", str(folder)], check=True)
            steps["unzip"] += time.time() - t
            dest = target if app == "orfeda_2018" else target / "partner"
            dest.mkdir(parents=True, exist_ok=True)
            t = time.time()
            subprocess.run(["cp", "-r", str(folder / "files") + "/.", str(dest)], check=True)
            steps["cp"] += time.time() - t
    return {"seconds": time.time() - start, "steps": steps}


def main(argv: list[str]) -> int:
    ap = argparse.ArgumentParser(prog="tools/bench-silent")
    ap.add_argument("--files", type=int, default=2000)
    ap.add_argument("--file-size", type=int, default=100 * 1024)
    ap.add_argument("--runs", type=int, default=2, help="alternating runs of each; the best counts")
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
        server = DevServer(str(root), port=localbuild.local_port(), certdir=str(certdir))
        server.start()
        try:
            results, bases = [], []
            for run in range(a.runs):
                base_dir = work / f"base{run}"
                base_dir.mkdir()
                bases.append(baseline(server.url, certdir / "ca.pem", base_dir, "2.5.0.0", "1.0.3"))
                shutil.rmtree(base_dir)
                inst.clean_installation()
                res = inst.run_setup(["-silent", "/username", "bench", "/password", "bench"], timeout=1800)
                # The next run's clean-up removes the log: keep its text now.
                res.raw_log = res.log_path.read_bytes().decode("cp1252", "replace") if res.log_path else ""
                results.append(res)
                print(f"  run {run + 1}: setup.exe {results[-1].seconds:.1f} s, baseline {bases[-1]['seconds']:.1f} s")
            result = min(results, key=lambda r: r.seconds)
            result.peak_working_set = max(r.peak_working_set for r in results)
            result.peak_private = max(r.peak_private for r in results)
            base = min(bases, key=lambda b: b["seconds"])
        finally:
            server.stop()
        installed = sum(1 for p in inst.host_path(inst.DEFAULT_ROOT_WIN).rglob("*") if p.is_file())
        ratio = result.seconds / base["seconds"] if base["seconds"] else float("nan")
        print(f"setup.exe -silent : exit code {result.exit_code}, {result.seconds:.1f} s (best of {a.runs}), "
              f"{installed} files installed")
        print(f"  peak working set : {result.peak_working_set / 1048576:.1f} MB, "
              f"peak private bytes: {result.peak_private / 1048576:.1f} MB")
        # Where the time went, from the log's time stamps (one-second resolution).
        marks = ("silent install started...", "| Download File...", "| Check MD5...",
                 "| Extracting Files...", "| finished", "start components", "ORFEDAINSTALLPATH",
                 "end components", "setup finished...")
        raw = result.raw_log.splitlines()
        for line in raw:
            if any(m in line for m in marks):
                print("    " + line[:110])
        print(f"native baseline   : {base['seconds']:.1f} s (curl + md5sum + unzip + cp -r), best of {a.runs}")
        print("  baseline steps  : " + ", ".join(f"{k} {v:.1f} s" for k, v in base["steps"].items()))
        print(f"ratio             : {ratio:.2f} x the baseline")
        inst.clean_installation()
        shutil.rmtree(inst.host_path(inst.TEMP_WIN + r"\Orfeda"), ignore_errors=True)
        return 0 if result.exit_code == 0 else 1
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
