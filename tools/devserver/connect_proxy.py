"""A small HTTP CONNECT proxy with Basic authentication, for tests on loopback.

    with ConnectProxy("user", "pa:ss") as proxy:
        proxy.port            # listening on 127.0.0.1
        proxy.auth_headers    # every Proxy-Authorization header received, in order
        proxy.tunnels         # "host:port" of every tunnel opened

Only CONNECT is served. Requests without the right credentials get 407 with a Basic
challenge; the connection stays open so the client can answer it, or is closed after the
challenge with ConnectProxy(..., close_after_challenge=True), as many proxies do.
connect_delay=SECONDS makes it wait that long before it answers a CONNECT it accepts.
"""

import base64
import select
import socket
import socketserver
import threading
import time


class _Handler(socketserver.StreamRequestHandler):
    def handle(self):
        proxy = self.server.owner
        while True:
            line = self.rfile.readline(8192)
            if not line:
                return
            headers = {}
            while True:
                h = self.rfile.readline(8192)
                if h in (b"\r\n", b"\n", b""):
                    break
                name, _, value = h.decode("latin-1").partition(":")
                headers[name.strip().lower()] = value.strip()
            parts = line.decode("latin-1").split()
            if len(parts) != 3 or parts[0] != "CONNECT":
                self.wfile.write(b"HTTP/1.1 405 Method Not Allowed\r\nContent-Length: 0\r\n"
                                 b"Connection: close\r\n\r\n")
                return
            auth = headers.get("proxy-authorization")
            with proxy.lock:
                proxy.auth_headers.append(auth)
            if auth != proxy.expected:
                body = b"proxy authentication required"
                close = proxy.close_after_challenge
                self.wfile.write(b"HTTP/1.1 407 Proxy Authentication Required\r\n"
                                 b"Proxy-Authenticate: Basic realm=\"test proxy\"\r\n"
                                 b"Content-Type: text/plain\r\n" +
                                 (b"Connection: close\r\n" if close else b"") +
                                 b"Content-Length: %d\r\n\r\n" % len(body) + body)
                if close:
                    return
                continue
            host, _, port = parts[1].rpartition(":")
            try:
                upstream = socket.create_connection((host, int(port)), timeout=30)
            except (OSError, ValueError):
                self.wfile.write(b"HTTP/1.1 502 Bad Gateway\r\nContent-Length: 0\r\n\r\n")
                return
            with proxy.lock:
                proxy.tunnels.append(parts[1])
            time.sleep(proxy.connect_delay)
            self.wfile.write(b"HTTP/1.1 200 Connection established\r\n\r\n")
            self.wfile.flush()
            self._pipe(self.connection, upstream)
            return

    def _pipe(self, a, b):
        a.setblocking(True)
        socks = [a, b]
        try:
            while True:
                ready, _, _ = select.select(socks, [], [], 60)
                if not ready:
                    return
                for s in ready:
                    data = s.recv(1 << 20)
                    if not data:
                        return
                    (b if s is a else a).sendall(data)
        except OSError:
            return
        finally:
            b.close()


class _Server(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = True


class ConnectProxy:
    def __init__(self, user, password, port=0, close_after_challenge=False, connect_delay=0):
        token = base64.b64encode(("%s:%s" % (user, password)).encode("utf-8")).decode("ascii")
        self.expected = "Basic " + token
        self.close_after_challenge = close_after_challenge
        self.connect_delay = connect_delay
        self.lock = threading.Lock()
        self.auth_headers = []
        self.tunnels = []
        self.server = _Server(("127.0.0.1", port), _Handler)
        self.server.owner = self
        self.port = self.server.server_address[1]
        self._thread = None

    def start(self):
        self._thread = threading.Thread(target=self.server.serve_forever, daemon=True)
        self._thread.start()
        return self

    def stop(self):
        self.server.shutdown()
        self.server.server_close()
        self._thread.join(5)

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.stop()
