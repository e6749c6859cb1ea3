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

  Windows and controls (selectors as for press, plus exe="setup.exe", window=HWND,
  all=True for hidden windows; a control by id=N, ctl="text" ("&" ignored),
  ctl_class="Edit", ctl_hwnd=HWND; a failed action raises WintoolError):
  windows(timeout_ms=10000, **sel)   every matching top-level window with its controls, as
                             dicts (see wintool.cpp "dump"); [] when none appeared
  window(**sel)              the first of them, or None
  find_control(win, id=None, text=None, cls=None)  a control's dict from window(), or None
  set_text(text, **ctl_and_sel)      an edit's text replaced as if typed (EN_CHANGE)
  select(item=None, index=None, **ctl_and_sel)  a combo box (CBN_SELCHANGE), list box or
                             list view item chosen as a user chooses it
  tick(on=True, item=None, index=None, **ctl_and_sel)  check box, radio button or a list
                             view item's check box
  click(**ctl_and_sel)       BM_CLICK on a button (refused when hidden or disabled)
  key(name, via="input", **ctl_and_sel)  a key ("Enter", "Escape", "Tab", "Alt+N") as the
                             program's own message loop meets a typed key
  wait(timeout_ms=10000, text_is=, text_contains=, text_re=, enabled=, visible=, checked=,
       focused=, **ctl_and_sel)  True once the window (and control) meets the condition
  screenshot(png_path, client=False, **sel)  the window as the screen shows it, as PNG
                             (the whole window with the frame Wine draws)
  responsiveness(for_ms=3000, every_ms=5, gettext=False, **sel)  figures of the window's
                             answer times (max_ms, p99_ms, over_100ms, ...), as a dict;
                             start_responsiveness(...) runs it in the background and
                             returns an object whose result() gives the dict
  dpi(value)                 context manager: the prefix's display DPI (96 = 100 %,
                             144 = 150 %) for programs started inside it, then put back
  registry_value(key, name, data, kind="REG_DWORD")  context manager: one registry value
                             set for the block, then put back
  can_run_32bit()            whether this machine starts 32-bit Windows programs
  wine()                     the command that starts Windows programs here (used by the
                             window functions; the others keep "wine")
  temp_dir()                 the Unix path of the prefix's TEMP folder
  setup_logs()               the setup log files (Setup_*.log) in TEMP, oldest first
  clear_setup_logs()         deletes them
  read_log(path)             the log's lines as (stamp, text) pairs, decoded from cp1252
  set_dotnet(present)        creates or deletes the .NET 4 key (32-bit view)
  copy_setup(folder)         copies setup.exe into a folder, returns the new path
"""
import atexit
import contextlib
import json
import os
import pathlib
import re
import shutil
import subprocess
import tempfile
import threading

ROOT = pathlib.Path(__file__).resolve().parents[2]
BUILD = ROOT / "build" / "win32"
SETUP = BUILD / "setup.exe"
WINTOOL = BUILD / "tests" / "wintools" / "wintool.exe"
WINTOOL64 = BUILD / "tests" / "wintools" / "wintool64.exe"
RUNEXIT = BUILD / "tests" / "wintools" / "runexit.exe"
PREFIX = pathlib.Path(os.environ.get("ORFEDA_WINEPREFIX", ROOT / "build" / "wine" / "prefix"))
DOTNET_KEY = r"HKLM\Software\Microsoft\Net Framework Setup\NDP\v4"

_started = []
_temp_dir = None


def env():
    e = dict(os.environ)
    e["WINEPREFIX"] = str(PREFIX)
    e.setdefault("WINEDEBUG", "-all")
    e.setdefault("WINEDLLOVERRIDES", "mscoree,mshtml=;winemenubuilder.exe=d")
    e["LANG"] = e["LC_ALL"] = "en_US.UTF-8"
    return e


def ensure_prefix():
    if not all((PREFIX / m).exists() for m in (".orfeda-ready", ".orfeda-unmanaged")):
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


def _utf8_env():
    # Wine decodes a program's arguments in the Unix locale's charset: C.UTF-8 is always
    # there, so texts like "Übernehmen" reach the tool intact even where en_US.UTF-8 is not
    # generated. The tool writes UTF-8 itself.
    e = env()
    e["LC_ALL"] = "C.UTF-8"
    return e


def _run_to_files(cmd, timeout=60):
    """Runs a Windows program with its output in files, not pipes: a Wine process that it
    starts and that outlives it (the desktop process or Wine's services, when no program had
    them running yet) inherits its output handles, and reading a pipe to its end would wait
    for that process. Returns (exit code, stdout bytes, stderr bytes)."""
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        cp = subprocess.run(cmd, env=_utf8_env(), stdout=out, stderr=err, timeout=timeout,
                            stdin=subprocess.DEVNULL)
        out.seek(0)
        err.seek(0)
        return cp.returncode, out.read(), err.read()


# Commands that only look: run once more when the tool itself outlived its time-out (seen a
# few times on a machine loaded with several test runs at once).
_LOOKING = {"dump", "wait", "gone", "msgbox"}


def wintool(*args, timeout=30):
    """Runs wintool.exe; stdout comes back as text with every CR removed."""
    ensure_display()
    cmd = [wine(), str(WINTOOL)] + [str(a) for a in args]
    try:
        code, out, err = _run_to_files(cmd, timeout)
    except subprocess.TimeoutExpired:
        if not args or str(args[0]) not in _LOOKING:
            raise
        code, out, err = _run_to_files(cmd, timeout)
    return subprocess.CompletedProcess(cmd, code, out.decode("utf-8", "replace").replace("\r", ""),
                                       err.decode("utf-8", "replace"))


def _selectors(text_has=None, caption=None, caption_has=None, cls=None, pid=None, exe=None,
               window=None, all=False):
    sel = []
    if exe is not None:
        sel += ["--exe", exe]
    if window is not None:
        sel += ["--window", window]
    if all:
        sel += ["--all"]
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


class WintoolError(RuntimeError):
    """A window action that the tool could not carry out (exit status and reason)."""

    def __init__(self, args, cp):
        super().__init__(f"wintool {' '.join(map(str, args))}: exit {cp.returncode}: "
                         f"{cp.stderr.strip()}")
        self.returncode = cp.returncode


_CONTROL_KEYS = ("id", "ctl", "ctl_class", "ctl_hwnd")


def _split(kwargs):
    """Splits keyword arguments into the control's options and the window selectors."""
    ctl = []
    sel = dict(kwargs)
    for k in _CONTROL_KEYS:
        v = sel.pop(k, None)
        if v is not None:
            ctl += ["--" + k.replace("_", "-"), v]
    return ctl, _selectors(**sel)


def _act(command, extra, timeout_ms, kwargs):
    ctl, sel = _split(kwargs)
    args = [command, *sel, *ctl, *extra, "--timeout", timeout_ms]
    cp = wintool(*args, timeout=timeout_ms / 1000 + 30)
    if cp.returncode != 0:
        raise WintoolError(args, cp)
    return cp


def windows(timeout_ms=10000, **sel):
    cp = wintool("dump", *_selectors(**sel), "--timeout", timeout_ms,
                 timeout=timeout_ms / 1000 + 30)
    if cp.returncode not in (0, 1):
        raise WintoolError(["dump"], cp)
    return json.loads(cp.stdout)["windows"]


def window(timeout_ms=10000, **sel):
    found = windows(timeout_ms, **sel)
    return found[0] if found else None


def _plain(text):
    return re.sub(r"&(.)", r"\1", text)


def find_control(win, id=None, text=None, cls=None):
    for c in win["controls"]:
        if id is not None and c["id"] != id:
            continue
        if text is not None and _plain(c["text"]) != _plain(text):
            continue
        if cls is not None and c["class"].lower() != cls.lower():
            continue
        return c
    return None


def set_text(text, timeout_ms=10000, **kw):
    _act("settext", ["--text", text], timeout_ms, kw)


def select(item=None, index=None, timeout_ms=10000, **kw):
    extra = ["--item", item] if item is not None else ["--index", index]
    _act("select", extra, timeout_ms, kw)


def tick(on=True, item=None, index=None, timeout_ms=10000, **kw):
    extra = [] if on else ["--off"]
    if item is not None:
        extra += ["--item", item]
    elif index is not None:
        extra += ["--index", index]
    _act("tick", extra, timeout_ms, kw)


def click(timeout_ms=10000, **kw):
    _act("click", [], timeout_ms, kw)


def key(name, via="input", timeout_ms=10000, **kw):
    _act("key", ["--key", name, "--via", via], timeout_ms, kw)


def wait(timeout_ms=10000, text_is=None, text_contains=None, text_re=None, enabled=None,
         visible=None, checked=None, focused=False, **kw):
    cond = []
    if text_is is not None:
        cond = ["--text-is", text_is]
    elif text_contains is not None:
        cond = ["--text-contains", text_contains]
    elif text_re is not None:
        cond = ["--text-re", text_re]
    elif enabled is not None:
        cond = ["--enabled" if enabled else "--disabled"]
    elif visible is not None:
        cond = ["--visible" if visible else "--hidden"]
    elif checked is not None:
        cond = ["--checked" if checked else "--unchecked"]
    elif focused:
        cond = ["--focused"]
    try:
        _act("wait", cond, timeout_ms, kw)
    except WintoolError as e:
        if e.returncode == 1:
            return False
        raise
    return True


def screenshot(png_path, client=False, timeout_ms=10000, **sel):
    """Saves the window as the screen shows it (themed controls as drawn) as a PNG file."""
    png = pathlib.Path(png_path)
    png.parent.mkdir(parents=True, exist_ok=True)
    bmp = png.with_suffix(".bmp")
    _act("shot", ["--out", to_win(bmp)] + (["--client"] if client else []), timeout_ms, sel)
    subprocess.run(["convert", str(bmp), str(png)], check=True)
    bmp.unlink()
    return png


class _Measurement:
    """A responsiveness measurement running in a thread of its own while the test acts."""

    def __init__(self, args, timeout):
        ensure_display()
        self._args = args
        self._cp = None
        self._thread = threading.Thread(target=self._run, args=(timeout,), daemon=True)
        self._thread.start()

    def _run(self, timeout):
        self._cp = wintool(*self._args, timeout=timeout)

    def result(self):
        self._thread.join()
        if self._cp.returncode != 0:
            raise WintoolError(self._args, self._cp)
        return json.loads(self._cp.stdout)


def start_responsiveness(for_ms=3000, every_ms=5, gettext=False, **sel):
    args = ["ping", *_selectors(**sel), "--for", for_ms, "--every", every_ms]
    args += ["--gettext"] if gettext else []
    return _Measurement(args, (for_ms or 3_600_000) / 1000 + 60)


def responsiveness(for_ms=3000, every_ms=5, gettext=False, **sel):
    """Answer times of the window over for_ms (0: until it is gone), sampled every every_ms."""
    return start_responsiveness(for_ms, every_ms, gettext, **sel).result()


def _reg_get(key, name):
    """(type, data) of a registry value, or None when it is missing."""
    _, out, _ = _run_to_files([wine(), "reg", "query", key, "/v", name])
    m = re.search(r"^\s+" + re.escape(name) + r"\s+(REG_\w+)\s+(.*?)\s*$",
                  out.decode("utf-8", "replace"), re.M)
    return (m.group(1), m.group(2)) if m else None


def _reg_set(key, name, value):
    if value is None:
        verb = ["delete", key, "/v", name, "/f"]
    else:
        kind, data = value
        if kind == "REG_DWORD":
            data = int(str(data), 0)
        verb = ["add", key, "/v", name, "/t", kind, "/d", str(data), "/f"]
    _run_to_files([wine(), "reg"] + verb)


@contextlib.contextmanager
def registry_value(key, name, data, kind="REG_DWORD"):
    """Sets a value of the prefix's registry for the block, then puts back what was there."""
    old = _reg_get(key, name)
    _reg_set(key, name, (kind, data))
    try:
        yield
    finally:
        _reg_set(key, name, old)


def dpi(value):
    """Programs started inside the block run at this display DPI (144 = 150 %). Wine reads
    the user's desktop value first and the machine's font value only when it is missing."""
    return registry_value(r"HKCU\Control Panel\Desktop", "LogPixels", value)


# Debian's 64-bit loader. Debian's "wine" command starts the 32-bit loader first, also for
# 64-bit programs.
WINE64_LOADER = "/usr/lib/wine/wine64"
_can_run_32bit = None
_wine = None


def wine():
    """The command that starts Windows programs: "wine", or where the kernel runs no 32-bit
    programs (some sandboxes), the 64-bit loader, so that 64-bit programs still run."""
    global _wine
    if _wine is None:
        _wine = "wine"
        if not can_run_32bit() and os.path.exists(WINE64_LOADER):
            _wine = WINE64_LOADER
    return _wine


def can_run_32bit():
    """Whether 32-bit Windows programs start here (they need the kernel's 32-bit support)."""
    global _can_run_32bit
    if _can_run_32bit is None:
        code, _, _ = _run_to_files(["wine", str(RUNEXIT)])
        _can_run_32bit = code == 2  # its usage message: it ran
    return _can_run_32bit
