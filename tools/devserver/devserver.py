#!/usr/bin/env python3
"""Local HTTPS implementation of the update server and of the partner platform.

For tests, benchmarks and the demo. Python standard library only, plus the `openssl`
command, which generates a test CA and a `localhost` leaf certificate at start.

Update server:    POST /qdapi/auth/, GET /qdapi/update/ over a release root laid out as
                  <root>/<branch>/<appname>/<version>/<files>.
Partner platform: /api/session, /api/user, /api/fax, /api/phone, /api/tag/<tag>/object,
                  accounts from a small JSON file (see DEFAULT_ACCOUNTS).
Transport tests:  /_test/echo, /_test/bytes, /_test/text, /_test/noctype, /_test/redirect,
                  /_test/slow, /_test/status.
Control:          POST /_control/faults with a JSON object switches faults on the fly.

Command line: devserver.py --root DIR [--accounts FILE] [--port 0] [--print-url]
                           [--info-file F] [--fault NAME[=VALUE]]... [--legacy-tls]
It prints its base URL (https://localhost:PORT) on the first line of stdout when
--print-url is given and runs until SIGTERM or SIGINT.
"""

import argparse
import contextlib
import copy
import hashlib
import http.server
import json
import os
import re
import secrets
import shutil
import signal
import socket
import ssl
import subprocess
import sys
import tempfile
import threading
import time
import urllib.parse
import warnings

BUILT_IN_KEY = "k8r2!tWQ5jHMLPD7*x.-~4039"

# Accounts of the partner platform (also the users of the update server's user login).
DEFAULT_ACCOUNTS = {
    "users": [
        {
            "username": "alice",
            "email": "alice@example.com",
            "password": "secret",
            "partner": "kqx",
            "phones": {
                "4930111": {"fax_enable": True},
                "4930222": {"fax_enable": False},
                "4930333": {"fax_enable": True},
            },
            "objects": {
                "f-1001": {"type": "fax", "description": "First fax", "time": "2026-01-02 10:00",
                           "page_count": 2},
                "v-2001": {"type": "voice", "description": "A voice mail"},
                "f-1002": {"type": "fax", "description": "Second fax", "time": "2026-01-03 11:00"},
            },
        }
    ]
}

# Faults the tests can switch on (command line --fault, or POST /_control/faults):
#   refuse_key       the built-in key is refused
#   bad_checksum     listed checksums are wrong
#   refuse_download  downloads are answered with a JSON failure
#   non_json         API answers are an HTML page
#   slow=SECONDS     every API answer is delayed
#   redirect         every API request is answered with 302 to the same path
#   stall_download=SECONDS  each file download stops halfway for that long (the client has
#                    its file open meanwhile), then completes
#   no_ranges        file downloads ignore Range and answer the whole file with 200
#   break_download   each file answer closes the connection halfway
#   break_range      each answer to a range that starts past the first byte closes the
#                    connection halfway
FAULTS = ("refuse_key", "bad_checksum", "refuse_download", "non_json", "slow", "redirect",
          "stall_download", "no_ranges", "break_download", "break_range")

NAME_RE = re.compile(r"^[^/\\\x00-\x1f]{1,200}$")
CHUNK = 1024 * 1024


def version_key(v):
    parts = []
    for p in re.split(r"[.\-]", v):
        parts.append((0, int(p), "") if p.isdigit() else (1, 0, p))
    return parts


_PATTERN = bytes(range(256)) * 4097


def _pattern(offset, length):
    """Bytes offset..offset+length of the test pattern (byte k is k % 256)."""
    out = bytearray()
    while length > 0:
        start = offset % 256
        part = min(length, len(_PATTERN) - start)
        out += _PATTERN[start:start + part]
        offset += part
        length -= part
    return bytes(out)


def byte_range(header, size):
    """(first, last) byte of a single "bytes=" range, None to answer the whole file (no
    header, another unit, several ranges, a malformed one), or "unsatisfiable"."""
    m = re.fullmatch(r"\s*bytes\s*=\s*(\d*)\s*-\s*(\d*)\s*", header or "")
    if not m or (not m.group(1) and not m.group(2)):
        return None
    if not m.group(1):  # the last n bytes
        n = int(m.group(2))
        if n == 0 or size == 0:
            return "unsatisfiable"
        return (max(0, size - n), size - 1)
    first = int(m.group(1))
    last = int(m.group(2)) if m.group(2) else size - 1
    if first >= size:
        return "unsatisfiable"
    if last < first:
        return None
    return (first, min(last, size - 1))


def safe_name(v):
    """A value that may name exactly one entry inside a folder."""
    return v is not None and bool(NAME_RE.match(v)) and v not in (".", "..")


# ---------------------------------------------------------------------------------------------
# Certificates

def _openssl(*args, cwd):
    subprocess.run(["openssl", *args], cwd=cwd, check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)


def make_certificates(folder):
    """Creates ca.pem, ca.der, ca.key, leaf.pem and leaf.key in folder (reused when present)."""
    os.makedirs(folder, exist_ok=True)
    names = ("ca.pem", "ca.der", "leaf.pem", "leaf.key")
    paths = [os.path.join(folder, n) for n in names]
    # Certificates are valid for 30 days; a kept set is renewed after 20.
    if all(os.path.exists(p) for p in paths) and \
            time.time() - min(os.path.getmtime(p) for p in paths) < 20 * 86400:
        return folder
    with open(os.path.join(folder, "ca.ext"), "w") as f:
        f.write("basicConstraints=critical,CA:TRUE\nkeyUsage=critical,keyCertSign,cRLSign\n"
                "subjectKeyIdentifier=hash\n")
    with open(os.path.join(folder, "leaf.ext"), "w") as f:
        f.write("basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature,keyEncipherment\n"
                "extendedKeyUsage=serverAuth\nsubjectAltName=DNS:localhost\n"
                "authorityKeyIdentifier=keyid\n")
    _openssl("req", "-new", "-newkey", "rsa:2048", "-nodes", "-keyout", "ca.key", "-out", "ca.csr",
             "-subj", "/CN=Orfeda Development Test CA", cwd=folder)
    _openssl("x509", "-req", "-in", "ca.csr", "-signkey", "ca.key", "-out", "ca.pem",
             "-days", "30", "-extfile", "ca.ext", "-set_serial", str(secrets.randbits(63)),
             cwd=folder)
    _openssl("x509", "-in", "ca.pem", "-outform", "der", "-out", "ca.der", cwd=folder)
    _openssl("req", "-new", "-newkey", "rsa:2048", "-nodes", "-keyout", "leaf.key", "-out",
             "leaf.csr", "-subj", "/CN=localhost", cwd=folder)
    _openssl("x509", "-req", "-in", "leaf.csr", "-CA", "ca.pem", "-CAkey", "ca.key",
             "-set_serial", str(secrets.randbits(63)), "-out", "leaf.pem", "-days", "30",
             "-extfile", "leaf.ext", cwd=folder)
    return folder


def server_context(certdir, legacy_tls=False, leaf=None):
    """leaf: (certificate, key) PEM files to present instead of the certdir's leaf."""
    ctx = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    cert, key = leaf or (os.path.join(certdir, "leaf.pem"), os.path.join(certdir, "leaf.key"))
    ctx.load_cert_chain(cert, key)
    if legacy_tls:
        # Only TLS 1.0 and 1.1: what an outdated server offers.
        ctx.set_ciphers("DEFAULT:@SECLEVEL=0")
        with warnings.catch_warnings():
            warnings.simplefilter("ignore", DeprecationWarning)
            ctx.minimum_version = ssl.TLSVersion.TLSv1
            ctx.maximum_version = ssl.TLSVersion.TLSv1_1
    else:
        ctx.minimum_version = ssl.TLSVersion.TLSv1_2
    return ctx


# ---------------------------------------------------------------------------------------------
# State shared by the handlers

class State:
    def __init__(self, root, accounts):
        self.root = root
        self.accounts = copy.deepcopy(accounts)
        self.lock = threading.Lock()
        self.faults = {}
        self.qd_sessions = {}       # sid -> "key" or user name
        self.lm_sessions = {}       # sid -> account dict or None (named, not signed in)
        self.faxes = {}             # uuid -> fax record
        self.requests = []          # (method, path, headers dict, body bytes) of recent requests
        self.md5_cache = {}
        self.base_url = ""

    def record(self, method, path, headers, body):
        with self.lock:
            self.requests.append((method, path, headers, body))
            del self.requests[:-500]

    def md5(self, path):
        st = os.stat(path)
        key = (path, st.st_size, st.st_mtime_ns)
        with self.lock:
            if key in self.md5_cache:
                return self.md5_cache[key]
        h = hashlib.md5()
        with open(path, "rb") as f:
            for block in iter(lambda: f.read(CHUNK), b""):
                h.update(block)
        with self.lock:
            self.md5_cache[key] = h.hexdigest()
        return h.hexdigest()

    def find_user(self, field, value, password):
        for u in self.accounts.get("users", []):
            if u.get(field) == value and u.get("password") == password:
                return u
        return None


def _sid():
    return secrets.token_hex(16)


# ---------------------------------------------------------------------------------------------
# Request handler

class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "OrfedaDevServer/1.0"

    def log_message(self, fmt, *args):  # quiet unless asked
        if self.server.verbose:
            sys.stderr.write("devserver: " + (fmt % args) + "\n")

    @property
    def state(self):
        return self.server.state

    # -- plumbing ---------------------------------------------------------------------------
    def _read_body(self):
        length = self.headers.get("Content-Length")
        if self.headers.get("Transfer-Encoding", "").lower() == "chunked":
            data = bytearray()
            while True:
                size = int(self.rfile.readline().split(b";")[0].strip() or b"0", 16)
                if size == 0:
                    self.rfile.readline()
                    break
                data += self.rfile.read(size)
                self.rfile.readline()
            return bytes(data)
        if length:
            n = int(length)
            if n > 512 * 1024 * 1024:
                raise ValueError("body too large")
            return self.rfile.read(n)
        return b""

    def _send(self, status, body, ctype="application/json; charset=utf-8", headers=None):
        if isinstance(body, str):
            body = body.encode("utf-8")
        self.send_response(status)
        if ctype is not None:
            self.send_header("Content-Type", ctype)
        for k, v in (headers or {}).items():
            self.send_header(k, v)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        if self.command != "HEAD":
            self.wfile.write(body)

    def _json(self, obj, status=200):
        self._send(status, json.dumps(obj, ensure_ascii=False, separators=(",", ":")))

    def _send_file(self, path, ctype, name=None):
        size = os.path.getsize(path)
        faults = self.state.faults
        span = None if faults.get("no_ranges") else byte_range(self.headers.get("Range"), size)
        if span == "unsatisfiable":
            return self._send(416, b"", None, {"Content-Range": "bytes */%d" % size})
        start, end = span if span else (0, size - 1)
        self.send_response(206 if span else 200)
        self.send_header("Content-Type", ctype)
        if name:
            self.send_header("Content-Disposition", 'attachment; filename="%s"' % name)
        self.send_header("Accept-Ranges", "bytes")
        if span:
            self.send_header("Content-Range", "bytes %d-%d/%d" % (start, end, size))
        self.send_header("Content-Length", str(end - start + 1))
        self.end_headers()
        if self.command == "HEAD":
            return
        stall = float(faults.get("stall_download") or 0)
        broken = faults.get("break_download") or (faults.get("break_range") and span and start > 0)
        with open(path, "rb") as f:
            f.seek(start)
            left = end - start + 1
            if broken:
                self.wfile.write(f.read(left // 2))
                self.wfile.flush()
                self.close_connection = True
                with contextlib.suppress(OSError):
                    self.connection.shutdown(socket.SHUT_RDWR)
                return
            if stall:
                block = f.read(left // 2)
                self.wfile.write(block)
                self.wfile.flush()
                left -= len(block)
                time.sleep(stall)
            while left > 0:
                block = f.read(min(CHUNK, left))
                if not block:
                    break
                self.wfile.write(block)
                left -= len(block)

    def _dispatch(self):
        url = urllib.parse.urlsplit(self.path)
        if url.scheme:
            # Absolute form (what some clients send through a proxy tunnel): keep path and query.
            self.path = url.path + ("?" + url.query if url.query else "")
        self.url_path = url.path
        self.query = urllib.parse.parse_qs(url.query, keep_blank_values=True)
        try:
            self.body = self._read_body()
        except ValueError:
            self._json({"success": False, "message": "Request too large"}, 413)
            return
        self.state.record(self.command, self.path, dict(self.headers.items()), self.body)
        path = url.path
        try:
            if path.startswith("/_test/"):
                return self._test(path[len("/_test/"):])
            if path == "/_control/faults" and self.command == "POST":
                faults = json.loads(self.body or b"{}")
                with self.state.lock:
                    self.state.faults.clear()
                    self.state.faults.update(faults)
                return self._json({"success": True, "faults": faults})
            if path.startswith("/qdapi/") or path.startswith("/api/"):
                if self._api_faults():
                    return
                if path in ("/qdapi/auth", "/qdapi/auth/"):
                    return self._qd_auth()
                if path in ("/qdapi/update", "/qdapi/update/"):
                    return self._qd_update()
                return self._platform(path)
            self._json({"success": False, "message": "Not found"}, 404)
        except (BrokenPipeError, ConnectionResetError, ssl.SSLError):
            self.close_connection = True

    do_GET = do_POST = do_DELETE = do_PUT = _dispatch

    def _api_faults(self):
        faults = self.state.faults
        if faults.get("slow"):
            time.sleep(float(faults["slow"]))
        if faults.get("redirect"):
            self._send(302, "Moved", "text/plain", {"Location": self.path})
            return True
        if faults.get("non_json"):
            self._send(200, "<html><body>Service unavailable</body></html>", "text/html")
            return True
        return False

    def _q(self, name):
        v = self.query.get(name)
        return v[0] if v else None

    # -- update server --------------------------------------------------------------------------
    def _qd_auth(self):
        if self.command != "POST":
            return self._json({"success": False, "message": "Invalid request"})
        form = urllib.parse.parse_qs(self.body.decode("utf-8", "replace"), keep_blank_values=True)
        f = {k: v[0] for k, v in form.items()}
        st = self.state
        if "key" in f:
            if f["key"] != BUILT_IN_KEY or st.faults.get("refuse_key"):
                return self._json({"success": False, "message": "Invalid API key"})
            sid = _sid()
            with st.lock:
                st.qd_sessions[sid] = "key"
            return self._json({"success": True, "sid": sid})
        if "username" in f:
            if not st.find_user("username", f["username"], f.get("password")):
                return self._json({"success": False, "message": "Invalid username or password"})
            sid = _sid()
            with st.lock:
                st.qd_sessions[sid] = f["username"]
            return self._json({"success": True, "sid": sid})
        if "validate" in f:
            if f.get("sid") in st.qd_sessions:
                return self._json({"success": True})
            return self._json({"success": False, "message": "Invalid session"})
        if "logout" in f:
            with st.lock:
                known = st.qd_sessions.pop(f.get("sid"), None) is not None
            if known:
                return self._json({"success": True})
            return self._json({"success": False, "message": "Invalid session"})
        return self._json({"success": False, "message": "Invalid request"})

    def _qd_update(self):
        st = self.state
        if self._q("sid") not in st.qd_sessions:
            return self._json({"success": False, "message": "Invalid session"})
        branch, app, version = self._q("branch"), self._q("appname"), self._q("version")
        filename = self._q("filename")
        if not safe_name(branch) or not safe_name(app):
            return self._json({"success": False, "message": "Invalid request"})
        app_dir = os.path.join(st.root, branch, app)
        if not os.path.isdir(app_dir):
            return self._json({"success": False, "message": "Application not found"})
        if version is None:
            versions = [d for d in os.listdir(app_dir) if os.path.isdir(os.path.join(app_dir, d))]
            if not versions:
                return self._json({"success": False, "message": "No version available"})
            latest = max(versions, key=version_key)
            return self._json({"success": True, "message": [{"version": latest}]})
        if not safe_name(version) or not os.path.isdir(os.path.join(app_dir, version)):
            return self._json({"success": False, "message": "Version not found"})
        vdir = os.path.join(app_dir, version)
        if filename is not None:
            path = os.path.join(vdir, filename)
            if not safe_name(filename) or not os.path.isfile(path):
                return self._json({"success": False, "message": "File not found"})
            if st.faults.get("refuse_download"):
                return self._json({"success": False, "message": "Download not allowed"})
            ctype = "application/zip" if filename.lower().endswith(".zip") else \
                "application/octet-stream"
            return self._send_file(path, ctype, filename)
        if "list" in self.query:
            files = []
            for name in sorted(os.listdir(vdir)):
                p = os.path.join(vdir, name)
                if os.path.isfile(p):
                    md5 = st.md5(p)
                    if st.faults.get("bad_checksum"):
                        md5 = "0" * 32
                    files.append({"filename": name, "checksum": md5})
            return self._json({"success": True, "message": files})
        return self._json({"success": True, "message": [{"version": version}]})

    # -- partner platform -----------------------------------------------------------------------
    def _session(self):
        """(known, account) for the request's sid."""
        sid = self._q("sid")
        with self.state.lock:
            if sid in self.state.lm_sessions:
                return True, self.state.lm_sessions[sid]
        return False, None

    def _platform(self, path):
        st = self.state
        parts = [urllib.parse.unquote(p) for p in path.split("/")[2:] if p != ""]
        if parts == ["session"]:
            return self._lm_session()
        known, user = self._session()
        if not known or user is None:
            return self._json({"status": "error", "message": "not authenticated"})
        if parts == ["user"] and self.command == "GET":
            u = {k: v for k, v in user.items() if k in ("username", "email", "partner")}
            u["tag_all"] = "all-" + user.get("username", "")
            return self._json({"status": "ok", "user": u})
        if parts == ["phone"] and self.command == "GET":
            return self._json({"status": "ok", "phone": user.get("phones", {})})
        if len(parts) == 3 and parts[0] == "tag" and parts[2] == "object":
            if parts[1] != "all-" + user.get("username", ""):
                return self._json({"status": "error", "message": "unknown tag"})
            objects = dict(user.get("objects", {}))
            with st.lock:
                for uuid, fax in st.faxes.items():
                    if fax["owner"] == user.get("username"):
                        objects[uuid] = {"type": "fax", "description": fax["description"],
                                         "time": fax["time"], "page_count": fax["page_count"]}
            return self._json({"status": "ok", "object": objects})
        if parts and parts[0] == "fax":
            return self._lm_fax(parts[1:], user)
        return self._json({"status": "error", "message": "not found"}, 404)

    def _lm_session(self):
        st = self.state
        sid = self._q("sid")
        if self.command == "GET" and sid is None:
            new = _sid()
            with st.lock:
                st.lm_sessions[new] = None
            return self._json({"status": "ok", "server": st.base_url, "sid": new})
        known, user = self._session()
        if not known:
            return self._json({"status": "error", "message": "invalid session"})
        if self.command == "GET":
            return self._json({"status": "ok", "auth": user is not None})
        if self.command == "DELETE":
            with st.lock:
                st.lm_sessions.pop(sid, None)
            return self._json({"status": "ok"})
        if self.command == "POST":
            try:
                cred = json.loads(self.body.decode("utf-8"))
                if not isinstance(cred, dict):
                    raise ValueError
            except (ValueError, UnicodeDecodeError):
                return self._json({"status": "error", "message": "invalid body"})
            field = "email" if "email" in cred else "username"
            account = st.find_user(field, cred.get(field), cred.get("password"))
            if account is None:
                return self._json({"status": "denied"})
            with st.lock:
                st.lm_sessions[sid] = account
            return self._json({"status": "ok"})
        return self._json({"status": "error", "message": "invalid request"})

    def _lm_fax(self, rest, user):
        st = self.state
        owner = user.get("username")
        if not rest and self.command == "POST":
            try:
                desc = json.loads(self.body.decode("utf-8")).get("description", "")
            except (ValueError, UnicodeDecodeError, AttributeError):
                return self._json({"status": "error", "message": "invalid body"})
            uuid = "fax-" + secrets.token_hex(8)
            with st.lock:
                st.faxes[uuid] = {"owner": owner, "time": time.strftime("%Y-%m-%d %H:%M:%S"),
                                  "description": desc, "page_count": 0, "x_res": "204",
                                  "y_res": "196", "status": "new", "pdf": None,
                                  "orientation": None, "report": {}}
            return self._json({"status": "ok", "uuid": uuid})
        if not rest:
            return self._json({"status": "error", "message": "invalid request"})
        uuid = rest[0]
        with st.lock:
            fax = st.faxes.get(uuid)
        if fax is None or fax["owner"] != owner:
            return self._json({"status": "error", "message": "fax not found"}, 404)
        if len(rest) == 1 and self.command == "GET":
            rec = {k: fax[k] for k in ("owner", "time", "description", "page_count", "x_res",
                                       "y_res", "status")}
            if fax["report"]:
                rec["report"] = fax["report"]
            return self._json({"status": "ok", "fax": rec})
        if len(rest) == 1 and self.command == "DELETE":
            with st.lock:
                st.faxes.pop(uuid, None)
            return self._json({"status": "ok"})
        if rest[1:] == ["ofax.pdf"] and self.command == "POST":
            fax["pdf"] = self.body
            fax["orientation"] = self._q("orientation")
            fax["page_count"] = 1
            fax["status"] = "ok"
            return self._json({"status": "ok"})
        if rest[1:] == ["send"] and self.command == "POST":
            try:
                body = json.loads(self.body.decode("utf-8"))
            except (ValueError, UnicodeDecodeError):
                return self._json({"status": "error", "message": "invalid body"})
            job = "job-" + secrets.token_hex(8)
            rid = "rep-" + secrets.token_hex(4)
            fax["report"][rid] = {"incoming": False, "from": body.get("from"), "to": body.get("to"),
                                  "time_start": fax["time"], "time_end": fax["time"],
                                  "status": "ok", "sip_status_code": 200, "fax_error_code": 0}
            return self._json({"status": "ok", "uuid": job})
        if rest[1:] == [uuid + ".pdf"] and self.command == "GET":
            return self._send(200, fax["pdf"] or b"%PDF-1.4\n%%EOF\n", "application/pdf")
        if rest[1:] == ["1", uuid + ".png"] and self.command == "GET":
            return self._send(200, b"\x89PNG\r\n\x1a\n" + b"\0" * 16, "image/png")
        if len(rest) == 4 and rest[1] == "report" and rest[3] == rest[2] + ".pdf":
            if rest[2] not in fax["report"]:
                return self._json({"status": "error", "message": "report not found"}, 404)
            return self._send(200, b"%PDF-1.4\n% report\n%%EOF\n", "application/pdf")
        return self._json({"status": "error", "message": "not found"}, 404)

    # -- transport test endpoints ---------------------------------------------------------------
    def _test(self, name):
        q = self._q
        if name == "echo":
            body = self.body
            return self._json({
                "method": self.command, "path": self.path,
                "headers": {k.lower(): v for k, v in self.headers.items()},
                "body_length": len(body), "body_md5": hashlib.md5(body).hexdigest(),
                "body": body.decode("utf-8", "replace") if len(body) <= 4096 else "",
            })
        if name == "bytes":
            n = int(q("n") or "0")
            ctype = q("type") or "application/octet-stream"
            pieces = int(q("chunks") or "0")
            pattern = bytes(range(256)) * (CHUNK // 256)
            if pieces:
                # Transfer-Encoding: chunked, in `pieces` parts with a pause between them.
                self.send_response(200)
                self.send_header("Content-Type", ctype)
                self.send_header("Transfer-Encoding", "chunked")
                self.end_headers()
                size = max(1, -(-n // pieces))
                sent = 0
                while sent < n:
                    part = min(size, n - sent)
                    data = _pattern(sent, part)
                    self.wfile.write(b"%x\r\n" % part + data + b"\r\n")
                    self.wfile.flush()
                    sent += part
                    time.sleep(0.05)
                self.wfile.write(b"0\r\n\r\n")
                return
            # cut=K: announce n bytes, send only K, then drop the connection.
            cut = int(q("cut")) if q("cut") else None
            self.send_response(200)
            self.send_header("Content-Type", ctype)
            self.send_header("Content-Length", str(n))
            self.end_headers()
            sent = 0
            limit = n if cut is None else min(cut, n)
            while sent < limit:
                part = min(len(pattern), limit - sent)
                self.wfile.write(pattern[:part])
                sent += part
            if cut is not None:
                self.wfile.flush()
                self.close_connection = True
                self.connection.shutdown(socket.SHUT_RDWR)
            return
        if name == "text":
            return self._send(int(q("status") or "200"), q("body") or "",
                              q("type") or "text/plain",
                              {"Content-Disposition": q("disposition")} if q("disposition") else None)
        if name == "noctype":
            return self._send(200, q("body") or "no content type", None)
        if name == "headers":
            # Header names in unusual letter case, and a repeated Content-Type: the last counts.
            body = b'{"ok":true}'
            self.send_response(200)
            self.send_header("content-type", "text/plain")
            self.send_header("CONTENT-TYPE", "application/json")
            self.send_header("content-DISPOSITION", 'attachment; filename="a.json"')
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body)
            return
        if name == "redirect":
            return self._send(302, "redirect body", "text/plain",
                              {"Location": "/_test/echo"})
        if name == "slow":
            time.sleep(float(q("delay") or "5"))
            return self._send(200, "slow answer", "text/plain")
        if name == "status":
            code = int(q("code") or "500")
            return self._json({"success": False, "message": "status %d" % code}, code)
        return self._json({"success": False, "message": "Not found"}, 404)


class DevHTTPServer(http.server.ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = True

    def __init__(self, addr, state, context, verbose=False):
        self.state = state
        self.context = context
        self.verbose = verbose
        super().__init__(addr, Handler)

    def finish_request(self, request, client_address):
        # The TLS handshake runs in the connection's own thread.
        try:
            request.settimeout(120)
            # Answers are written as headers and body: without this each small answer waits
            # for the client's delayed acknowledgement of the headers.
            request.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
            tls = self.context.wrap_socket(request, server_side=True)
        except (ssl.SSLError, OSError) as e:
            if self.verbose:
                sys.stderr.write("devserver: TLS handshake failed: %s\n" % e)
            return
        if self.verbose:
            sys.stderr.write("devserver: %s %s\n" % (tls.version(), tls.cipher()[0]))
        try:
            Handler(tls, client_address, self)
        finally:
            try:
                tls.close()
            except OSError:
                pass

    def handle_error(self, request, client_address):
        if self.verbose:
            super().handle_error(request, client_address)


class DevServer:
    """The servers, in a thread of the calling process.

    DevServer(root, accounts=None, port=0, legacy_tls=False, certdir=None).start() gives
    .url (https://localhost:PORT), .certdir (ca.pem, ca.der), .state (faults, requests).
    leaf=(certificate, key) makes it present another certificate than the certdir's leaf
    (tests of refused certificates).
    """

    def __init__(self, root, accounts=None, port=0, legacy_tls=False, certdir=None,
                 faults=None, verbose=False, leaf=None):
        self._tmp = None
        if certdir is None:
            self._tmp = tempfile.TemporaryDirectory(prefix="devserver-")
            certdir = self._tmp.name
        self.certdir = make_certificates(certdir)
        self.state = State(os.path.abspath(root) if root else "", accounts or DEFAULT_ACCOUNTS)
        self.state.faults.update(faults or {})
        ctx = server_context(self.certdir, legacy_tls, leaf)
        self.httpd = DevHTTPServer(("127.0.0.1", port), self.state, ctx, verbose)
        self.port = self.httpd.server_address[1]
        self.url = "https://localhost:%d" % self.port
        self.state.base_url = self.url
        self._thread = None

    @property
    def faults(self):
        return self.state.faults

    @property
    def requests(self):
        return self.state.requests

    def start(self):
        self._thread = threading.Thread(target=self.httpd.serve_forever, daemon=True)
        self._thread.start()
        return self

    def stop(self):
        self.httpd.shutdown()
        self.httpd.server_close()
        if self._thread:
            self._thread.join(5)
        if self._tmp:
            self._tmp.cleanup()

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.stop()


def parse_fault(text):
    name, _, value = text.partition("=")
    if name not in FAULTS:
        raise argparse.ArgumentTypeError("unknown fault %r (known: %s)" % (name, ", ".join(FAULTS)))
    return name, (value or True)


def main(argv=None):
    ap = argparse.ArgumentParser(description="Local HTTPS update server and partner platform")
    ap.add_argument("--root", default="", help="release root <root>/<branch>/<appname>/<version>/")
    ap.add_argument("--accounts", help="JSON file with the platform's users")
    ap.add_argument("--port", type=int, default=0, help="port on 127.0.0.1 (0: a free one)")
    ap.add_argument("--certdir", help="folder for the test CA and leaf (reused when present)")
    ap.add_argument("--legacy-tls", action="store_true", help="offer only TLS 1.0 and 1.1")
    ap.add_argument("--fault", action="append", type=parse_fault, default=[])
    ap.add_argument("--print-url", action="store_true", help="print the base URL on stdout")
    ap.add_argument("--info-file", help="write url, port, pid and CA paths as JSON to this file")
    ap.add_argument("--trust", action="store_true",
                    help="trust the CA in the Wine prefix (WINEPREFIX) before serving")
    ap.add_argument("--verbose", action="store_true")
    args = ap.parse_args(argv)

    if args.trust:
        import devserver_ctl
        certdir = args.certdir or devserver_ctl.CA_DIR
        make_certificates(certdir)
        devserver_ctl.trust_ca(certdir)
        args.certdir = certdir
    accounts = None
    if args.accounts:
        with open(args.accounts, encoding="utf-8") as f:
            accounts = json.load(f)
    server = DevServer(args.root, accounts, args.port, args.legacy_tls, args.certdir,
                       dict(args.fault), args.verbose)
    stop = threading.Event()
    signal.signal(signal.SIGTERM, lambda *a: stop.set())
    signal.signal(signal.SIGINT, lambda *a: stop.set())
    server.start()
    info = {"url": server.url, "port": server.port, "pid": os.getpid(),
            "ca_pem": os.path.join(server.certdir, "ca.pem"),
            "ca_der": os.path.join(server.certdir, "ca.der")}
    if args.info_file:
        tmp = args.info_file + ".tmp"
        with open(tmp, "w") as f:
            json.dump(info, f)
        os.replace(tmp, args.info_file)
    if args.print_url:
        print(server.url, flush=True)
    while not stop.wait(0.5):
        pass
    server.stop()
    return 0


if __name__ == "__main__":
    sys.exit(main())
