"""The local servers answer as the update server and the partner platform do (natively,
over real TLS on loopback)."""

import hashlib
import json
import os
import ssl
import sys
import urllib.error
import urllib.parse
import urllib.request

import pytest

REPO = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
sys.path.insert(0, os.path.join(REPO, "tools", "devserver"))

from devserver import BUILT_IN_KEY, DevServer  # noqa: E402

APP = "orfeda_2018"


@pytest.fixture(scope="module")
def srv(tmp_path_factory):
    root = tmp_path_factory.mktemp("releases")
    for version, files in {"1.0.0.9": {"old.zip": b"old"},
                           "1.0.0.10": {"app.zip": b"PK\x03\x04 release", "b c&d.txt": b"x"},
                           "1.0.0.2": {}}.items():
        d = root / "stable" / APP / version
        d.mkdir(parents=True)
        for name, data in files.items():
            (d / name).write_bytes(data)
    (root / "secret.txt").write_bytes(b"outside")
    certdir = tmp_path_factory.mktemp("ca")
    with DevServer(str(root), certdir=str(certdir)) as server:
        server.ctx = ssl.create_default_context(cafile=os.path.join(server.certdir, "ca.pem"))
        yield server


@pytest.fixture(autouse=True)
def no_faults(srv):
    srv.faults.clear()
    yield
    srv.faults.clear()


def call(srv, path, body=None, method=None):
    """(status, content type, body bytes) of one request."""
    data = body.encode("utf-8") if isinstance(body, str) else body
    req = urllib.request.Request(srv.url + path, data=data, method=method)
    if data is not None:
        req.add_header("Content-Type", "application/x-www-form-urlencoded")
    try:
        with urllib.request.urlopen(req, context=srv.ctx, timeout=10) as r:
            return r.status, r.headers.get("Content-Type", ""), r.read()
    except urllib.error.HTTPError as e:
        return e.code, e.headers.get("Content-Type", ""), e.read()


def js(srv, path, body=None, method=None):
    return json.loads(call(srv, path, body, method)[2])


def key_sid(srv):
    return js(srv, "/qdapi/auth/", "key=" + urllib.parse.quote(BUILT_IN_KEY, safe=""))["sid"]


def update(srv, sid, **params):
    q = {"branch": "stable", "appname": APP}
    q.update(params)
    q["sid"] = sid
    return "/qdapi/update/?" + urllib.parse.urlencode(q, quote_via=urllib.parse.quote)


def test_authentication_and_sessions(srv):
    answer = js(srv, "/qdapi/auth/", "key=" + urllib.parse.quote(BUILT_IN_KEY, safe=""))
    assert answer["success"] is True and isinstance(answer["sid"], str)
    sid = answer["sid"]
    assert js(srv, "/qdapi/auth/", "validate=&sid=" + sid) == {"success": True}

    for body in ("key=wrong", "username=alice&password=nope", "validate=&sid=unknown", "x=1"):
        a = js(srv, "/qdapi/auth/", body)
        assert a["success"] is False and a["message"], body
    assert js(srv, "/qdapi/auth/", "username=alice&password=secret")["success"] is True

    srv.faults["refuse_key"] = True
    assert js(srv, "/qdapi/auth/", "key=" + urllib.parse.quote(BUILT_IN_KEY, safe=""))[
        "message"] == "Invalid API key"

    assert js(srv, "/qdapi/auth/", "logout=&sid=" + sid) == {"success": True}
    assert js(srv, "/qdapi/auth/", "validate=&sid=" + sid)["success"] is False
    # Without a session nothing is served.
    assert js(srv, update(srv, sid))["success"] is False


def test_versions_and_list(srv):
    sid = key_sid(srv)
    # Versions sort by their numbers: 1.0.0.10 is the latest.
    assert js(srv, update(srv, sid)) == {"success": True, "message": [{"version": "1.0.0.10"}]}
    assert js(srv, update(srv, sid, version="1.0.0.9"))["message"][0]["version"] == "1.0.0.9"
    assert js(srv, update(srv, sid, version="9.9"))["success"] is False
    assert js(srv, update(srv, sid, appname="other"))["success"] is False

    listed = js(srv, update(srv, sid, version="1.0.0.10", list=""))
    assert listed == {"success": True, "message": [
        {"filename": "app.zip", "checksum": hashlib.md5(b"PK\x03\x04 release").hexdigest()},
        {"filename": "b c&d.txt", "checksum": hashlib.md5(b"x").hexdigest()}]}
    assert js(srv, update(srv, sid, version="1.0.0.2", list="")) == {"success": True, "message": []}

    srv.faults["bad_checksum"] = True
    assert js(srv, update(srv, sid, version="1.0.0.10", list=""))["message"][0]["checksum"] != \
        listed["message"][0]["checksum"]


def test_downloads(srv):
    sid = key_sid(srv)
    status, ctype, body = call(srv, update(srv, sid, version="1.0.0.10", filename="app.zip"))
    assert (status, ctype, body) == (200, "application/zip", b"PK\x03\x04 release")
    status, ctype, body = call(srv, update(srv, sid, version="1.0.0.10", filename="b c&d.txt"))
    assert ctype == "application/octet-stream" and body == b"x"

    # Missing files, names leaving the version folder, and refused downloads are JSON failures.
    for name in ("missing.zip", "../1.0.0.9/old.zip", "..", "../../../secret.txt", "a/b"):
        status, ctype, body = call(srv, update(srv, sid, version="1.0.0.10", filename=name))
        assert "json" in ctype and json.loads(body)["success"] is False, name
    for bad in ({"branch": ".."}, {"appname": "../stable"}, {"version": "../1.0.0.9"}):
        assert js(srv, update(srv, sid, filename="old.zip", **bad))["success"] is False, bad

    srv.faults["refuse_download"] = True
    status, ctype, body = call(srv, update(srv, sid, version="1.0.0.10", filename="app.zip"))
    assert "json" in ctype and json.loads(body) == {"success": False,
                                                    "message": "Download not allowed"}


def test_download_ranges(srv):
    sid = key_sid(srv)
    url = srv.url + update(srv, sid, version="1.0.0.10", filename="app.zip")
    whole = b"PK\x03\x04 release"

    def get(range_header):
        req = urllib.request.Request(url, headers={"Range": range_header} if range_header else {})
        try:
            with urllib.request.urlopen(req, context=srv.ctx, timeout=10) as r:
                return r.status, r.headers.get("Content-Range"), r.headers.get("Accept-Ranges"), r.read()
        except urllib.error.HTTPError as e:
            return e.code, e.headers.get("Content-Range"), None, e.read()

    n = len(whole)
    cases = [
        (None, 200, None, whole),
        ("bytes=0-3", 206, "bytes 0-3/%d" % n, whole[:4]),
        ("bytes=4-", 206, "bytes 4-%d/%d" % (n - 1, n), whole[4:]),
        ("bytes=-7", 206, "bytes %d-%d/%d" % (n - 7, n - 1, n), whole[-7:]),
        ("bytes=5-999", 206, "bytes 5-%d/%d" % (n - 1, n), whole[5:]),
        ("bytes=%d-" % n, 416, "bytes */%d" % n, b""),
        ("bytes=0-1,4-5", 200, None, whole),  # several ranges: the whole file
        ("items=0-3", 200, None, whole),
        ("bytes=3-1", 200, None, whole),
    ]
    for header, status, content_range, body in cases:
        got = get(header)
        assert (got[0], got[1], got[3]) == (status, content_range, body), header
        if status != 416:
            assert got[2] == "bytes", header


def test_fault_switches(srv):
    srv.faults["non_json"] = True
    status, ctype, body = call(srv, "/qdapi/auth/", "key=x")
    assert ctype == "text/html" and not body.startswith(b"{")
    srv.faults.clear()
    srv.faults["redirect"] = True
    status, _, _ = call(srv, "/api/session")
    assert status == 302
    srv.faults.clear()
    # Faults can be switched from outside the process as well.
    assert js(srv, "/_control/faults", json.dumps({"refuse_key": True}))["success"] is True
    assert srv.faults == {"refuse_key": True}


def login(srv, field, name, password):
    first = js(srv, "/api/session")
    assert first["status"] == "ok" and first["server"] == srv.url
    sid = first["sid"]
    answer = js(srv, "/api/session?sid=" + sid, json.dumps({field: name, "password": password}))
    return sid, answer


def test_platform_session(srv):
    sid, answer = login(srv, "username", "alice", "secret")
    assert answer == {"status": "ok"}
    assert js(srv, "/api/session?sid=" + sid) == {"status": "ok", "auth": True}
    user = js(srv, "/api/user?sid=" + sid)
    assert user["status"] == "ok" and user["user"]["partner"] == "kqx"
    assert js(srv, "/api/session?sid=" + sid, method="DELETE") == {"status": "ok"}
    assert js(srv, "/api/session?sid=" + sid)["status"] != "ok"

    sid, answer = login(srv, "email", "alice@example.com", "secret")
    assert answer == {"status": "ok"}
    sid, answer = login(srv, "username", "alice", "wrong")
    assert answer == {"status": "denied"}
    assert js(srv, "/api/session?sid=" + sid) == {"status": "ok", "auth": False}
    assert js(srv, "/api/user?sid=" + sid)["status"] != "ok"


def test_platform_fax_operations(srv):
    sid, _ = login(srv, "username", "alice", "secret")
    phones = js(srv, "/api/phone?sid=" + sid)["phone"]
    assert [k for k, v in phones.items() if v["fax_enable"] is True] == ["4930111", "4930333"]

    uuid = js(srv, "/api/fax?sid=" + sid, json.dumps({"description": "Grüße"}))["uuid"]
    assert js(srv, "/api/fax/%s/ofax.pdf?sid=%s&orientation=landscape" % (uuid, sid),
              b"%PDF-1.4 test")["status"] == "ok"
    job = js(srv, "/api/fax/%s/send?sid=%s" % (uuid, sid), json.dumps({"from": "1", "to": "2"}))
    assert job["status"] == "ok" and job["uuid"]
    fax = js(srv, "/api/fax/%s?sid=%s" % (uuid, sid))["fax"]
    assert fax["description"] == "Grüße" and fax["status"] == "ok"
    (report_id, report), = fax["report"].items()
    assert report["from"] == "1" and "fax_error_code" in report
    assert call(srv, "/api/fax/%s/%s.pdf?sid=%s" % (uuid, uuid, sid))[2] == b"%PDF-1.4 test"
    assert call(srv, "/api/fax/%s/1/%s.png?sid=%s" % (uuid, uuid, sid))[1] == "image/png"
    assert call(srv, "/api/fax/%s/report/%s/%s.pdf?sid=%s" % (uuid, report_id, report_id, sid))[
        1] == "application/pdf"

    tag = js(srv, "/api/user?sid=" + sid)["user"]["tag_all"]
    objects = js(srv, "/api/tag/%s/object?sid=%s&count=500" % (tag, sid))["object"]
    assert [o.get("type") for o in objects.values()][:3] == ["fax", "voice", "fax"]
    assert uuid in objects

    assert js(srv, "/api/fax/%s?sid=%s" % (uuid, sid), method="DELETE") == {"status": "ok"}
    assert call(srv, "/api/fax/%s?sid=%s" % (uuid, sid))[0] == 404
