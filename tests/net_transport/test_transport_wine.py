"""THTTP under Wine against the local HTTPS servers, a TLS 1.0/1.1-only server and a
CONNECT proxy with Basic authentication."""

import os
import subprocess
import sys

import pytest

REPO = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
sys.path.insert(0, os.path.join(REPO, "tools", "devserver"))

from connect_proxy import ConnectProxy  # noqa: E402
from devserver_ctl import serving, wine_prefix  # noqa: E402

BINARY = os.path.join(REPO, "build", "win32", "http_wine_tests.exe")
PROXY_USER, PROXY_PASSWORD = "proxy user", "p@ss:w\u00f6rd"


@pytest.fixture(scope="module")
def servers():
    if not os.path.exists(BINARY):
        pytest.skip("build the win32 preset first")
    with serving() as main, serving(legacy_tls=True) as legacy, \
            ConnectProxy(PROXY_USER, PROXY_PASSWORD) as proxy:
        yield main, legacy, proxy


def run_binary(main, legacy, proxy, gtest_filter="*"):
    env = dict(os.environ, WINEPREFIX=wine_prefix(), WINEDEBUG="-all",
               ORFEDA_DEV_URL=main.url, ORFEDA_LEGACY_URL=legacy.url,
               ORFEDA_PROXY_PORT=str(proxy.port), ORFEDA_PROXY_USER=PROXY_USER,
               ORFEDA_PROXY_PASSWORD=PROXY_PASSWORD)
    return subprocess.run(["wine", BINARY, "--gtest_filter=" + gtest_filter], env=env,
                          stdin=subprocess.DEVNULL, capture_output=True, text=True,
                          errors="replace", timeout=300)


def test_transport_under_wine(servers):
    main, legacy, proxy = servers
    r = run_binary(main, legacy, proxy, "-*AutoDetection*")
    assert r.returncode == 0, r.stdout[-6000:] + r.stderr[-2000:]
    assert "[  PASSED  ]" in r.stdout and "SKIPPED" not in r.stdout, r.stdout[-3000:]
    tunnels = len(proxy.tunnels)

    # Automatic detection with no proxy configured in the prefix goes direct.
    r = run_binary(main, legacy, proxy, "*AutoDetection*")
    assert r.returncode == 0, r.stdout[-6000:] + r.stderr[-2000:]
    assert len(proxy.tunnels) == tunnels

    # The proxy received the Basic credentials and carried the tunnels to the server.
    assert proxy.expected in proxy.auth_headers
    assert proxy.tunnels and all(t.endswith(":%d" % main.port) for t in proxy.tunnels)
    # The redirect was not followed: its target was not asked for after it.
    paths = [r[1] for r in main.requests]
    i = paths.index("/_test/redirect")
    assert paths[i + 1] != "/_test/echo"
