"""The demo's work once the build and the Wine prefix are ready: a demo release on the
local update server, setup.exe -silent against it, and a readable report."""
from __future__ import annotations

import argparse
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))
sys.path.insert(0, str(HERE.parent / "devserver"))

import demo_installation as inst  # noqa: E402
import demo_build as localbuild  # noqa: E402
import demo_release as release  # noqa: E402


def trust_ca(build: Path, certdir: Path) -> None:
    der = certdir / "ca.der"
    marker = inst.prefix() / ".orfeda-silent-ca"
    if marker.exists() and marker.read_bytes() == der.read_bytes():
        return
    subprocess.run(["wine", str(build / "trust_ca.exe"), "Z:" + str(der).replace("/", "\\")],
                   check=True, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, timeout=120)
    marker.write_bytes(der.read_bytes())


def main(argv: list[str]) -> int:
    ap = argparse.ArgumentParser(prog="tools/demo", allow_abbrev=False)
    ap.add_argument("--username", default="demo")
    ap.add_argument("--password", default="demo")
    ap.add_argument("--keep", action="store_true", help="keep the previous installation in the prefix")
    args, passthrough = ap.parse_known_args(argv)
    setup_args = ["-silent", "/username", args.username, "/password", args.password]
    # "--user me" becomes "/user me": every other option goes to the silent install as is.
    i = 0
    while i < len(passthrough):
        a = passthrough[i]
        if a.startswith("--"):
            setup_args.append("/" + a[2:])
            if i + 1 < len(passthrough) and not passthrough[i + 1].startswith("--"):
                setup_args.append(passthrough[i + 1])
                i += 1
        else:
            setup_args.append(a)
        i += 1

    from devserver import DevServer, make_certificates
    build = localbuild.build_dir()
    certdir = localbuild.ROOT / "build" / "devserver-ca"
    make_certificates(str(certdir))
    trust_ca(build, certdir)
    if not args.keep:
        inst.clean_installation()

    work = Path(tempfile.mkdtemp(prefix="orfeda-demo-"))
    try:
        root = release.make_release(work / "releases", release.ReleaseSpec(), work / "work")
        def value_of(name):
            if name in setup_args and setup_args.index(name) + 1 < len(setup_args):
                return setup_args[setup_args.index(name) + 1]
            return None
        users = value_of("/user") or "all"
        path_arg = value_of("/path")
        install_root = (path_arg.rstrip("\\") + r"\Palvoro Fax\Palvoro") if path_arg else inst.DEFAULT_ROOT_WIN
        server = DevServer(str(root), port=localbuild.local_port(), certdir=str(certdir))
        server.start()
        try:
            print(f"Update server  : {server.url}  (release tree {root})")
            print("Command        : setup.exe " + " ".join(setup_args))
            result = inst.run_setup(setup_args)
        finally:
            server.stop()
        print(inst.report(result, users=users, install_root_win=install_root))
        return 0 if result.exit_code in (0, 3010) else 1
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
