"""Starting the local servers from Python tests, with the test CA trusted in Wine.

    import sys; sys.path.insert(0, "<repo>/tools/devserver")
    from devserver_ctl import serving

    with serving(root="/tmp/releases", accounts=None, faults={"slow": 2}) as srv:
        srv.url          # https://localhost:PORT (both services)
        srv.faults       # dict, change it while running
        srv.requests     # recent (method, path, headers, body) tuples

The CA is kept in <repo>/build/devserver-ca (generated on first use, never committed) and
trusted once per Wine prefix (WINEPREFIX, default <repo>/build/wine/prefix) with the
trust_ca.exe of the win32 build.
"""

import contextlib
import hashlib
import os
import subprocess

from devserver import DevServer, make_certificates

REPO = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
CA_DIR = os.path.join(REPO, "build", "devserver-ca")


def wine_prefix():
    return os.environ.get("WINEPREFIX") or os.path.join(REPO, "build", "wine", "prefix")


def wine_path(path):
    """The Windows form of a host path (drive Z: is the host's root in a Wine prefix)."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def trust_ca(certdir=CA_DIR, prefix=None):
    """Adds the CA of certdir to the machine's Root store inside the Wine prefix (once)."""
    prefix = prefix or wine_prefix()
    der = os.path.join(certdir, "ca.der")
    with open(der, "rb") as f:
        digest = hashlib.sha1(f.read()).hexdigest()
    marker = os.path.join(prefix, ".orfeda-ca-" + digest)
    if os.path.exists(marker):
        return
    helper = os.path.join(REPO, "build", "win32", "trust_ca.exe")
    if not os.path.exists(helper):
        raise RuntimeError("trust_ca.exe is missing: build the win32 preset first")
    env = dict(os.environ, WINEPREFIX=prefix, WINEDEBUG=os.environ.get("WINEDEBUG", "-all"))
    subprocess.run(["wine", helper, wine_path(der)], env=env, check=True,
                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, timeout=120)
    open(marker, "w").close()


@contextlib.contextmanager
def serving(root="", accounts=None, faults=None, legacy_tls=False, trust=True, port=0,
            certdir=CA_DIR, leaf=None):
    """Runs the servers in this process for the with-block; trusts their CA in Wine.
    leaf=(certificate, key): present that certificate instead of the CA's localhost leaf."""
    make_certificates(certdir)
    if trust:
        trust_ca(certdir)
    server = DevServer(root, accounts, port=port, legacy_tls=legacy_tls, certdir=certdir,
                       faults=faults, leaf=leaf)
    server.start()
    try:
        yield server
    finally:
        server.stop()
