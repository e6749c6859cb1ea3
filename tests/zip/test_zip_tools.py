"""The ZIP engine on archives made at test time by other tools.

Info-ZIP zip (in a UTF-8 and in the C locale, stored, streamed with data descriptors,
ZIP64), 7-Zip, bsdtar (libarchive), Python's zipfile and jar pack the same tree; the
engine's command (tests/zip/zip_cli.cpp) unpacks each archive, natively and as the Windows
builds under Wine (32-bit as in setup.exe, 64-bit as in DelZip192x64.dll), and the
unpacked tree must equal the source tree, names included.
Methods the engine does not support (Deflate64, BZip2) end with an error naming them.
"""
import importlib.util
import io
import os
import pathlib
import random
import shutil
import subprocess
import tempfile
import zipfile

import pytest

ROOT = pathlib.Path(__file__).resolve().parents[2]
HOST_CLI = ROOT / "build" / "host" / "tests" / "zip" / "zip_cli"
WIN_CLI = {
    "wine": ("wine", ROOT / "build" / "win32" / "tests" / "zip" / "zip_cli.exe"),
    # Wine's 64-bit loader directly: the "wine" command goes through the 32-bit one.
    "wine64": ("/usr/lib/wine/wine64" if os.path.exists("/usr/lib/wine/wine64") else "wine",
               ROOT / "build" / "win32" / "tests" / "zip" / "zip_cli64.exe"),
}

_spec = importlib.util.spec_from_file_location("winelib", ROOT / "tests" / "pylib" / "winelib.py")
winelib = importlib.util.module_from_spec(_spec)
_spec.loader.exec_module(winelib)

UNICODE_NAME = "Ünïcødé name.txt"


def make_tree(root):
    rng = random.Random(9)
    files = {
        UNICODE_NAME: b"unicode\n" * 1500,
        "dir/readme.txt": b"".join(b"line %d of a text that compresses\n" % i for i in range(3000)),
        "dir/sub/data.bin": rng.randbytes(100_000),
        "Ordner ä/ß.txt": b"x\n",
        "empty.txt": b"",
    }
    for rel, data in files.items():
        path = root / rel
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_bytes(data)
    (root / "empty dir").mkdir()


def tree(root):
    """Relative paths ("/" separators, folders with a trailing "/") and file contents."""
    out = {}
    for folder, dirs, files in os.walk(root):
        rel = pathlib.Path(folder).relative_to(root).as_posix()
        prefix = "" if rel == "." else rel + "/"
        for d in dirs:
            out[prefix + d + "/"] = None
        for f in files:
            out[prefix + f] = (pathlib.Path(folder) / f).read_bytes()
    return out


def run_tool(cmd, src, env_extra=None, stdout_to=None):
    env = dict(os.environ, LC_ALL="C.UTF-8", LANG="C.UTF-8")
    env.update(env_extra or {})
    if stdout_to:  # through a pipe: the tool cannot seek back, so it streams
        with open(stdout_to, "wb") as f:
            tool = subprocess.Popen(cmd, cwd=src, env=env, stdout=subprocess.PIPE)
            shutil.copyfileobj(tool.stdout, f)
            assert tool.wait() == 0
    else:
        subprocess.run(cmd, cwd=src, env=env, check=True, stdout=subprocess.DEVNULL)


class Unseekable(io.RawIOBase):
    """A write-only stream without seek or tell, as a pipe or a socket is."""

    def __init__(self, f):
        self.f = f

    def writable(self):
        return True

    def write(self, b):
        return self.f.write(b)


def python_zipfile(src, out, compression=zipfile.ZIP_DEFLATED, streamed=False, zip64=False):
    def pack(target):
        with zipfile.ZipFile(target, "w", compression) as z:
            for folder, dirs, files in sorted(os.walk(src)):
                rel = pathlib.Path(folder).relative_to(src).as_posix()
                prefix = "" if rel == "." else rel + "/"
                for d in sorted(dirs):
                    z.writestr(prefix + d + "/", b"")
                for f in sorted(files):
                    with z.open(prefix + f, "w", force_zip64=zip64) as entry:
                        entry.write((pathlib.Path(folder) / f).read_bytes())
    with open(out, "wb") as f:
        pack(Unseekable(f) if streamed else f)


def jar():
    return shutil.which("fastjar") or shutil.which("jar")


MAKERS = {
    "zip": lambda s, o: run_tool(["zip", "-qr", o, "."], s),
    "zip in the C locale": lambda s, o: run_tool(["zip", "-qr", o, "."], s, {"LC_ALL": "C", "LANG": "C"}),
    "zip stored": lambda s, o: run_tool(["zip", "-qr0", o, "."], s),
    "zip streamed": lambda s, o: run_tool(["zip", "-qr", "-", "."], s, stdout_to=o),
    "zip ZIP64": lambda s, o: run_tool(["zip", "-qr", "-fz", o, "."], s),
    "7z": lambda s, o: run_tool(["7z", "a", "-tzip", o, "."], s),
    "7z stored": lambda s, o: run_tool(["7z", "a", "-tzip", "-mx0", o, "."], s),
    "bsdtar": lambda s, o: run_tool(["bsdtar", "--format", "zip", "-cf", o, "."], s),
    "bsdtar streamed": lambda s, o: run_tool(["bsdtar", "--format", "zip", "-cf", "-", "."], s,
                                             stdout_to=o),
    "bsdtar stored ZIP64": lambda s, o: run_tool(
        ["bsdtar", "--format", "zip", "--options", "zip:compression=store,zip:zip64", "-cf", o, "."], s),
    "python zipfile": lambda s, o: python_zipfile(s, o),
    "python zipfile stored": lambda s, o: python_zipfile(s, o, zipfile.ZIP_STORED),
    "python zipfile streamed ZIP64": lambda s, o: python_zipfile(s, o, streamed=True, zip64=True),
    "jar": lambda s, o: run_tool([jar(), "-cMf", o, "."], s),
    "jar stored": lambda s, o: run_tool([jar(), "-cM0f", o, "."], s),
}

UNSUPPORTED = {
    "Deflate64": lambda s, o: run_tool(["7z", "a", "-tzip", "-mm=Deflate64", o, "."], s),
    "BZip2": lambda s, o: run_tool(["zip", "-qr", "-Z", "bzip2", o, "."], s),
}


def engine(kind, *args):
    """Runs zip_cli natively or under Wine; returns its output lines as a dict."""
    if kind == "host":
        if not HOST_CLI.exists():
            pytest.skip("build the host preset first")
        cmd = [str(HOST_CLI)] + [str(a) for a in args]
        env = None
    else:
        loader, exe = WIN_CLI[kind]
        if not exe.exists():
            pytest.skip("build the win32 preset first")
        winelib.ensure_prefix()
        cmd = [loader, str(exe)] + [winelib.to_win(a) if isinstance(a, pathlib.Path) else a for a in args]
        env = winelib.env()
        # Wine turns Windows names into Unix ones in the Unix locale's character set: only a
        # UTF-8 locale holds every name (C.UTF-8 is always there; en_US.UTF-8 may not be).
        env["LANG"] = env["LC_ALL"] = "C.UTF-8"
    # Output into files, not pipes: a Wine service started on the way would inherit a pipe
    # and keep it open after the program ends.
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        rc = subprocess.run(cmd, env=env, stdout=out, stderr=err, stdin=subprocess.DEVNULL, timeout=120).returncode
        out.seek(0)
        err.seek(0)
        assert rc == 0, err.read().decode("utf-8", "replace")
        lines = out.read().decode("utf-8").replace("\r", "").splitlines()
    result = dict(line.split("=", 1) for line in lines if line.startswith(("result=", "message=")))
    result["lines"] = lines
    return result


@pytest.fixture(scope="module")
def source(tmp_path_factory):
    for tool in ("zip", "7z", "bsdtar"):
        if not shutil.which(tool):
            pytest.skip(f"{tool} is missing (tools/bootstrap installs it)")
    if not jar():
        pytest.skip("jar is missing (tools/bootstrap installs fastjar)")
    src = tmp_path_factory.mktemp("source")
    make_tree(src)
    return src


@pytest.mark.parametrize("kind", ["host", "wine", "wine64"])
@pytest.mark.parametrize("maker", MAKERS)
def test_archive_unpacks_to_the_same_tree(source, tmp_path, maker, kind):
    archive = tmp_path / "made by a tool.zip"
    MAKERS[maker](source, archive)
    dest = tmp_path / "out"
    out = engine(kind, "extract", archive, dest)
    assert out["result"] == "0", out.get("message")
    assert tree(dest) == tree(source)
    listed = engine(kind, "list", archive)["lines"]
    assert any(name.endswith(UNICODE_NAME) for name in listed), listed


@pytest.mark.parametrize("kind", ["host", "wine", "wine64"])
@pytest.mark.parametrize("method", UNSUPPORTED)
def test_other_methods_keep_their_clear_error(source, tmp_path, method, kind):
    archive = tmp_path / "other method.zip"
    UNSUPPORTED[method](source, archive)
    dest = tmp_path / "out"
    out = engine(kind, "extract", archive, dest)
    assert out["result"] == "5", out  # kZipUnsupported
    assert f"({method})" in out["message"] and "not supported" in out["message"], out["message"]
    assert not dest.exists(), "nothing is written before the job is refused"
