"""THTTP under Wine against the local HTTPS servers, a TLS 1.0/1.1-only server, servers
presenting certificates that must be refused, and CONNECT proxies with Basic
authentication."""

import base64
import contextlib
import datetime
import os
import subprocess
import sys

import pytest

REPO = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
sys.path.insert(0, os.path.join(REPO, "tools", "devserver"))

from connect_proxy import ConnectProxy  # noqa: E402
from devserver import make_certificates  # noqa: E402
from devserver_ctl import CA_DIR, serving, wine_prefix  # noqa: E402

BINARY = os.path.join(REPO, "build", "win32", "http_wine_tests.exe")
PROXY_USER, PROXY_PASSWORD = "proxy user", "p@ss:w\u00f6rd"

# Certificates the client must refuse, by the environment variable that names their server.
REFUSED = ("ORFEDA_UNTRUSTED_URL", "ORFEDA_MISMATCH_URL", "ORFEDA_EXPIRED_URL",
           "ORFEDA_NOT_YET_VALID_URL")


def refused_certificates(folder):
    """Leaf certificates that Windows refuses, made fresh: one for localhost from a CA nobody
    trusts, and from the trusted test CA one for another host name, one that has expired and
    one that is not valid yet. Returns {variable: (certificate, key)}."""
    from cryptography import x509
    from cryptography.hazmat.primitives import hashes, serialization
    from cryptography.hazmat.primitives.asymmetric import ec
    from cryptography.x509.oid import ExtendedKeyUsageOID, NameOID

    def name(cn):
        return x509.Name([x509.NameAttribute(NameOID.COMMON_NAME, cn)])

    def certificate(subject, issuer, public_key, signer, begin, end, ca):
        b = (x509.CertificateBuilder().subject_name(subject).issuer_name(issuer)
             .public_key(public_key).serial_number(x509.random_serial_number())
             .not_valid_before(begin).not_valid_after(end)
             .add_extension(x509.BasicConstraints(ca=ca, path_length=None), critical=True))
        if not ca:
            host = subject.get_attributes_for_oid(NameOID.COMMON_NAME)[0].value
            b = (b.add_extension(x509.ExtendedKeyUsage([ExtendedKeyUsageOID.SERVER_AUTH]),
                                 critical=False)
                 .add_extension(x509.SubjectAlternativeName([x509.DNSName(host)]),
                                critical=False))
        return b.sign(signer, hashes.SHA256())

    with open(os.path.join(CA_DIR, "ca.pem"), "rb") as f:
        ca = x509.load_pem_x509_certificate(f.read())
    with open(os.path.join(CA_DIR, "ca.key"), "rb") as f:
        ca_key = serialization.load_pem_private_key(f.read(), None)
    now = datetime.datetime.utcnow()
    day = datetime.timedelta(days=1)
    stranger_key = ec.generate_private_key(ec.SECP256R1())
    stranger = certificate(name("Unknown Test CA"), name("Unknown Test CA"),
                           stranger_key.public_key(), stranger_key, now - day, now + 30 * day,
                           True)
    cases = {
        "ORFEDA_UNTRUSTED_URL": ("localhost", stranger, stranger_key, now - day, now + 30 * day),
        "ORFEDA_MISMATCH_URL": ("otherhost.example", ca, ca_key, now - day, now + 30 * day),
        "ORFEDA_EXPIRED_URL": ("localhost", ca, ca_key, now - 60 * day, now - 30 * day),
        "ORFEDA_NOT_YET_VALID_URL": ("localhost", ca, ca_key, now + 30 * day, now + 60 * day),
    }
    files = {}
    for variable, (host, issuer, issuer_key, begin, end) in cases.items():
        key = ec.generate_private_key(ec.SECP256R1())
        cert = certificate(name(host), issuer.subject, key.public_key(), issuer_key, begin, end,
                           False)
        paths = (os.path.join(folder, variable + ".pem"), os.path.join(folder, variable + ".key"))
        with open(paths[0], "wb") as f:
            f.write(cert.public_bytes(serialization.Encoding.PEM))
        with open(paths[1], "wb") as f:
            f.write(key.private_bytes(serialization.Encoding.PEM,
                                      serialization.PrivateFormat.PKCS8,
                                      serialization.NoEncryption()))
        files[variable] = paths
    return files


@pytest.fixture(scope="module")
def servers(tmp_path_factory):
    if not os.path.exists(BINARY):
        pytest.skip("build the win32 preset first")
    make_certificates(CA_DIR)
    leaves = refused_certificates(str(tmp_path_factory.mktemp("refused-certificates")))
    with contextlib.ExitStack() as stack:
        main = stack.enter_context(serving())
        legacy = stack.enter_context(serving(legacy_tls=True))
        proxy = stack.enter_context(ConnectProxy(PROXY_USER, PROXY_PASSWORD))
        closing = stack.enter_context(
            ConnectProxy(PROXY_USER, PROXY_PASSWORD, close_after_challenge=True))
        slow = stack.enter_context(ConnectProxy(PROXY_USER, PROXY_PASSWORD, connect_delay=2))
        refused = {v: stack.enter_context(serving(leaf=leaves[v])) for v in REFUSED}
        yield main, legacy, proxy, closing, slow, refused


def run_binary(servers, gtest_filter="*"):
    main, legacy, proxy, closing, slow, refused = servers
    env = dict(os.environ, WINEPREFIX=wine_prefix(), WINEDEBUG="-all",
               ORFEDA_DEV_URL=main.url, ORFEDA_LEGACY_URL=legacy.url,
               ORFEDA_PROXY_PORT=str(proxy.port), ORFEDA_CLOSING_PROXY_PORT=str(closing.port),
               ORFEDA_SLOW_PROXY_PORT=str(slow.port),
               ORFEDA_PROXY_USER=PROXY_USER, ORFEDA_PROXY_PASSWORD=PROXY_PASSWORD)
    env.update({v: srv.url for v, srv in refused.items()})
    return subprocess.run(["wine", BINARY, "--gtest_filter=" + gtest_filter], env=env,
                          stdin=subprocess.DEVNULL, capture_output=True, text=True,
                          errors="replace", timeout=300)


def credential_forms(user, password):
    """Every form in which the proxy's credentials could travel."""
    pair = ("%s:%s" % (user, password)).encode("utf-8")
    return [base64.b64encode(pair).decode("ascii"), password, pair.decode("utf-8")]


def test_transport_under_wine(servers):
    main, legacy, proxy, closing, slow, refused = servers
    r = run_binary(servers, "-*AutoDetection*")
    assert r.returncode == 0, r.stdout[-6000:] + r.stderr[-2000:]
    assert "[  PASSED  ]" in r.stdout and "SKIPPED" not in r.stdout, r.stdout[-3000:]
    tunnels = len(proxy.tunnels)

    # Automatic detection with no proxy configured in the prefix goes direct.
    r = run_binary(servers, "*AutoDetection*")
    assert r.returncode == 0, r.stdout[-6000:] + r.stderr[-2000:]
    assert len(proxy.tunnels) == tunnels

    # The proxy received the Basic credentials and carried the tunnels to the server.
    assert proxy.expected in proxy.auth_headers
    assert not any("via=refused" in r[1] for r in main.requests)
    assert proxy.tunnels and all(t.endswith(":%d" % main.port) for t in proxy.tunnels)
    # A proxy that closes after its challenge never opened a tunnel.
    assert closing.auth_headers and not closing.tunnels
    # The request interrupted while its tunnel was opened had its credentials on the CONNECT.
    assert slow.auth_headers == [slow.expected]

    # The proxy's credentials never reached the server, in no header, path or body, also
    # not over a tunnel that was reused.
    via_proxy = [r for r in main.requests if "via=proxy" in r[1]]
    assert len(via_proxy) >= 3, [r[1] for r in main.requests]
    forms = credential_forms(PROXY_USER, PROXY_PASSWORD)
    for method, path, headers, body in main.requests:
        assert "proxy-authorization" not in {k.lower() for k in headers}, (method, path, headers)
        seen = " ".join([path] + ["%s: %s" % kv for kv in headers.items()])
        seen += body.decode("utf-8", "replace") if body else ""
        assert not any(form in seen for form in forms), (method, path, headers)

    # A refused certificate ends the request before anything is sent to its server.
    for variable, srv in refused.items():
        assert srv.requests == [], (variable, srv.requests)

    # The redirect was not followed: its target was not asked for after it.
    paths = [r[1] for r in main.requests]
    i = paths.index("/_test/redirect")
    assert paths[i + 1] != "/_test/echo"
