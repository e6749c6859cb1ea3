"""Helpers for the tests that drive the real setup.exe under Wine.

Import it from any pytest file (the test command runs pytest with --import-mode=importlib):

    import importlib.util, pathlib
    module_spec = importlib.util.spec_from_file_location(
        "winelib", pathlib.Path(__file__).parents[1] / "pylib" / "winelib.py")
    winelib = importlib.util.module_from_spec(module_spec); module_spec.loader.exec_module(winelib)

Everything runs in the project's own prefix (build/wine/prefix, or ORFEDA_WINEPREFIX) and on
the display in DISPLAY; without one, ensure_display() starts Xvfb and stops it at exit.

Functions:
  env()                      environment for wine (prefix, WINEDEBUG, English locale)
  ensure_prefix()            creates the prefix with the .NET key on first use
  ensure_display()           makes sure a display exists (starts Xvfb by pid if needed)
  to_win(path)               a Unix path as Wine sees it ("Z:\\...")
  run(args, exe=SETUP, timeout=60)   runs a program through runexit.exe and returns its
                             full exit code (GetExitCodeProcess, not truncated)
  start(args, exe=SETUP)     starts it in the background; finish(proc, timeout) -> exit code
  wintool(*args, timeout=30) runs wintool.exe, returns the CompletedProcess (text output)
  msgbox(text_has=None, timeout_ms=15000)  waits for a message box and returns its text
                             (None when none appeared)
  press(button="OK", **sel)  presses a button (text or "#id") in the window selected by
                             wintool selectors given as keywords: text_has, caption,
                             caption_has, cls, pid
  no_window(timeout_ms, **sel)  True when no window matches (waits until gone)
  temp_dir()                 the Unix path of the prefix's TEMP folder
  setup_logs()               the setup log files (Setup_*.log) in TEMP, oldest first
  clear_setup_logs()         deletes them
  read_log(path)             the log's lines as (stamp, text) pairs, decoded from cp1252
  set_dotnet(present)        creates or deletes the .NET 4 key (32-bit view)
  copy_setup(folder)         copies setup.exe into a folder, returns the new path
"""
import atexit
import os
import pathlib
import re
import shutil
import subprocess

ROOT = pathlib.Path(__file__).resolve().parents[2]
BUILD = ROOT / "build" / "win32"
SETUP = BUILD / "setup.exe"
WINTOOL = BUILD / "tests" / "wintools" / "wintool.exe"
RUNEXIT = BUILD / "tests" / "wintools" / "runexit.exe"
PREFIX = pathlib.Path(os.environ.get("ORFEDA_WINEPREFIX", ROOT / "build" / "wine" / "prefix"))
DOTNET_KEY = r"HKLM\Software\Microsoft\Net Framework Setup\NDP\v4"

_started = []
_temp_dir = None


def env():
    e = dict(os.environ)
    e["WINEPREFIX"] = str(PREFIX)
    e.setdefault("WINEDEBUG", "-all")
    e.setdefault("WINEDLLOVERRIDES", "mscoree,mshtml=")
    e["LANG"] = e["LC_ALL"] = "en_US.UTF-8"
    return e


def ensure_prefix():
    if not (PREFIX / ".orfeda-ready").exists():
        subprocess.run(["bash", "-c", f'source "{ROOT}/tools/lib/wine.sh"; wine_prepare_prefix'],
                       env=env(), check=True)


def _stop_started():
    for p in _started:
        p.terminate()
        try:
            p.wait(5)
        except subprocess.TimeoutExpired:
            p.kill()


def ensure_display():
    if os.environ.get("DISPLAY"):
        return
    n = 91
    while os.path.exists(f"/tmp/.X{n}-lock") or os.path.exists(f"/tmp/.X11-unix/X{n}"):
        n += 1
    p = subprocess.Popen(["Xvfb", f":{n}", "-screen", "0", "1280x1024x24", "-nolisten", "tcp"],
                         stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    _started.append(p)
    if len(_started) == 1:
        atexit.register(_stop_started)
    os.environ["DISPLAY"] = f":{n}"
    for _ in range(50):
        if os.path.exists(f"/tmp/.X11-unix/X{n}"):
            return
        subprocess.run(["sleep", "0.1"])


def to_win(path):
    return "Z:" + str(pathlib.Path(path).resolve()).replace("/", "\\")


def _runexit_cmd(args, exe):
    return ["wine", str(RUNEXIT), to_win(exe)] + [str(a) for a in args]


def _exit_code(out):
    m = re.search(r"exitcode=(-?\d+)", out or "")
    return int(m.group(1)) if m else None


def run(args, exe=SETUP, timeout=60):
    ensure_display()
    cp = subprocess.run(_runexit_cmd(args, exe), env=env(), capture_output=True, text=True,
                        timeout=timeout, stdin=subprocess.DEVNULL)
    return _exit_code(cp.stdout)


def start(args, exe=SETUP):
    ensure_display()
    return subprocess.Popen(_runexit_cmd(args, exe), env=env(), stdout=subprocess.PIPE,
                            stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL, text=True)


def finish(proc, timeout=60):
    out, _ = proc.communicate(timeout=timeout)
    return _exit_code(out)


def wintool(*args, timeout=30):
    """Runs wintool.exe; stdout comes back as text with every CR removed."""
    ensure_display()
    cp = subprocess.run(["wine", str(WINTOOL)] + [str(a) for a in args], env=env(),
                        capture_output=True, timeout=timeout, stdin=subprocess.DEVNULL)
    cp.stdout = cp.stdout.decode("utf-8", "replace").replace("\r", "")
    cp.stderr = cp.stderr.decode("utf-8", "replace")
    return cp


def _selectors(text_has=None, caption=None, caption_has=None, cls=None, pid=None):
    sel = []
    if text_has is not None:
        sel += ["--text-has", text_has]
    if caption is not None:
        sel += ["--caption", caption]
    if caption_has is not None:
        sel += ["--caption-has", caption_has]
    if cls is not None:
        sel += ["--class", cls]
    if pid is not None:
        sel += ["--pid", pid]
    return sel


def msgbox(text_has=None, timeout_ms=15000):
    cp = wintool("msgbox", *_selectors(text_has=text_has), "--timeout", timeout_ms,
                 timeout=timeout_ms / 1000 + 30)
    if cp.returncode != 0:
        return None
    return cp.stdout.rstrip("\n")


def press(button="OK", timeout_ms=15000, **sel):
    cp = wintool("press", *_selectors(**sel), "--button", button, "--timeout", timeout_ms,
                 timeout=timeout_ms / 1000 + 30)
    return cp.returncode == 0


def no_window(timeout_ms=3000, **sel):
    cp = wintool("gone", *_selectors(**sel), "--timeout", timeout_ms,
                 timeout=timeout_ms / 1000 + 30)
    return cp.returncode == 0


def temp_dir():
    global _temp_dir
    if _temp_dir is None:
        cp = subprocess.run(["wine", "cmd", "/c", "echo", "%TEMP%"], env=env(),
                            capture_output=True, text=True, stdin=subprocess.DEVNULL)
        win = cp.stdout.strip()
        cp = subprocess.run(["winepath", "-u", win], env=env(), capture_output=True, text=True)
        _temp_dir = pathlib.Path(cp.stdout.strip())
    return _temp_dir


def setup_logs():
    return sorted(temp_dir().glob("Setup_*.log"), key=lambda p: p.stat().st_mtime)


def clear_setup_logs():
    for p in setup_logs():
        p.unlink()


def read_log(path):
    lines = pathlib.Path(path).read_bytes().decode("cp1252").split("\r\n")
    if lines and lines[-1] == "":
        lines.pop()
    out = []
    for line in lines:
        stamp, sep, text = line.partition(": ")
        out.append((stamp, text) if sep else ("", line))
    return out


def set_dotnet(present):
    verb = ["add", DOTNET_KEY, "/reg:32", "/f"] if present else ["delete", DOTNET_KEY, "/reg:32", "/f"]
    subprocess.run(["wine", "reg"] + verb, env=env(), capture_output=True,
                   stdin=subprocess.DEVNULL)


def copy_setup(folder):
    folder = pathlib.Path(folder)
    folder.mkdir(parents=True, exist_ok=True)
    dest = folder / "setup.exe"
    shutil.copy2(SETUP, dest)
    return dest
