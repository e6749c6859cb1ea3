"""The demo's work once the build and the Wine prefix are ready: a demo release on the
local update server, setup.exe against it (silently, or through the wizard's pages), and a
readable report."""
from __future__ import annotations

import argparse
import os
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
    if "--wizard" in argv or "--update" in argv:
        # The wizard's options; the silent run's --language stays its own.
        mode = ap.add_mutually_exclusive_group(required=True)
        mode.add_argument("--wizard", action="store_true",
                          help="install through the wizard's pages instead of silently")
        mode.add_argument("--update", action="store_true",
                          help="install 2.4.0.0 silently, then update it to 2.5.0.0 through the maintenance page")
        ap.add_argument("--language", choices=["en", "de", "both"], default="both",
                        help="the wizard's language; both: one run in each")
        ap.add_argument("--shots", default=None,
                        help="folder for the screenshots of the pages (default: build/demo-shots)")
        return walk_wizard(ap.parse_args(argv))
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


def walk_wizard(args) -> int:
    """--wizard / --update: the wizard walked page by page under the virtual display with the
    window tool, a screenshot of every page in each language, and the silent demo's report
    after each run. With a real display (no virtual one was started) the wizard is left to the
    user: the demo starts it and reports once it has ended."""
    import demo_wizard as walk
    from devserver import DevServer, make_certificates
    build = localbuild.build_dir()
    walk.winelib.WINTOOL = build / "tests" / "wintools" / "wintool.exe"
    certdir = localbuild.ROOT / "build" / "devserver-ca"
    make_certificates(str(certdir))
    trust_ca(build, certdir)
    by_hand = os.environ.get("ORFEDA_DEMO_REAL_DISPLAY") == "1"
    shots = Path(args.shots or localbuild.ROOT / "build" / "demo-shots").resolve()
    languages = ["en"] if by_hand else (["en", "de"] if args.language == "both" else [args.language])

    work = Path(tempfile.mkdtemp(prefix="orfeda-demo-"))
    server = None
    failed = False
    try:
        root = release.make_release(work / "releases", release.ReleaseSpec(), work / "work")
        server = DevServer(str(root), port=localbuild.local_port(), certdir=str(certdir))
        server.start()
        print(f"Update server  : {server.url}  (release tree {root})")
        print("Sign in with   : alice / secret (the local partner platform's account)")
        for language in languages:
            inst.clean_installation()
            if args.update:
                first = inst.run_setup(["-silent", "/username", args.username, "/password", args.password,
                                        "/version", "2.4.0.0"])
                print(f"Installed 2.4.0.0 silently: exit code {first.exit_code}")
                if first.exit_code != 0:
                    print(inst.report(first))
                    return 1
            started = time.time()
            if by_hand:
                print("The wizard is open on your display; the demo reports when it has ended.")
                proc = walk.winelib.start([], exe=build / "setup.exe")
                code = walk.winelib.finish(proc, 3600)
            else:
                run = walk.WizardWalk(build / "setup.exe", shots=shots / ("update" if args.update else "wizard"))
                choices = walk.WizardChoices(language=language)
                try:
                    code, _ = run.update(choices) if args.update else run.new_installation(choices)
                finally:
                    run.kill()
                for picture in run.taken:
                    print(f"Screenshot     : {picture}")
            log = inst.newest_log(started)
            result = inst.RunResult(code, time.time() - started, log, inst.log_lines(log), 0, 0)
            print(f"--- {'update' if args.update else 'installation'} through the wizard ({language})")
            print(inst.report(result))
            failed |= code not in (0, 3010)
        return 1 if failed else 0
    finally:
        if server is not None:
            server.stop()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
