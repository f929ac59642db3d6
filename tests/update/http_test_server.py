#!/usr/bin/python3
"""Loopback HTTP server for the download tests and benchmark.

Prints "PORT <n>" on its first line once it listens on 127.0.0.1, then serves until killed.
With "--tls CERT KEY" it speaks HTTPS instead.
Paths:
  /file/<name>     200 with a fixed Last-Modified and ETag; 304 for a matching
                   If-Modified-Since (not older than Last-Modified) or If-None-Match
  /missing         404 Not Found
  /empty           200 with an empty body
  /truncated       200 announcing 1000 bytes, sends 500, then closes the connection
  /slow?n=&ms=     200, n chunks of 1 KiB with ms milliseconds between them
  /stall           200 announcing 4096 bytes, sends 100, then stays silent for 30 s
  /redirect        302 to /file/redirected.txt;  /redirect-loop redirects to itself
  /to-http?port=n  302 to http://127.0.0.1:n/file/downgraded.txt
  /colon           200 with a header whose value holds ": " itself
  /echo            200, the request line and headers as the body
  /big?size=<n>    200 with n bytes, sent in large writes (benchmark)
  /log             200, one line per earlier request: method, target, Proxy-Authorization
                   (or "-") and "ims=" with If-Modified-Since (or "-")
As a proxy (absolute target or CONNECT) it asks for Basic "user:secret" and answers 407
without it; with it, an absolute http target is served as the path above, and CONNECT opens
a tunnel to 127.0.0.1 (any other host is refused with 403).
"""
import base64
import email.utils
import http.server
import select
import socket
import socketserver
import ssl
import sys
import threading
import time
import urllib.parse

LAST_MODIFIED = "Wed, 21 Oct 2015 07:28:00 GMT"
LM_TIME = email.utils.parsedate_to_datetime(LAST_MODIFIED)
ETAG = '"qm-etag-1"'
PROXY_AUTH = "Basic " + base64.b64encode(b"user:secret").decode()
BIG = bytearray(b"0123456789abcdef" * 65536)  # 1 MiB pattern

log_lock = threading.Lock()
request_log = []


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, fmt, *args):  # quiet
        pass

    def record(self):
        with log_lock:
            request_log.append("%s %s %s ims=%s" % (
                self.command, self.path, self.headers.get("Proxy-Authorization", "-"),
                self.headers.get("If-Modified-Since", "-")))

    def send_body(self, code, body, headers=(), reason=None):
        self.send_response(code, reason)
        for k, v in headers:
            self.send_header(k, v)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        if self.command != "HEAD" and body:
            self.wfile.write(body)

    def do_CONNECT(self):
        self.record()
        if self.headers.get("Proxy-Authorization") != PROXY_AUTH:
            self.send_body(407, b"", [("Proxy-Authenticate", 'Basic realm="qm"')])
            return
        host, _, port = self.path.rpartition(":")
        if host not in ("127.0.0.1", "localhost"):
            self.send_body(403, b"")
            self.close_connection = True
            return
        try:
            upstream = socket.create_connection(("127.0.0.1", int(port)), timeout=10)
        except OSError:
            self.send_body(502, b"")
            self.close_connection = True
            return
        self.send_response(200, "Connection established")
        self.end_headers()
        self.wfile.flush()
        self.close_connection = True
        conns = [self.connection, upstream]
        try:
            while True:
                ready, _, _ = select.select(conns, [], [], 30)
                if not ready:
                    break
                done = False
                for c in ready:
                    data = c.recv(65536)
                    if not data:
                        done = True
                        break
                    (upstream if c is self.connection else self.connection).sendall(data)
                if done:
                    break
        except OSError:
            pass
        finally:
            upstream.close()

    def do_HEAD(self):
        self.do_GET()

    def do_GET(self):
        self.record()
        target = self.path
        if target.startswith("http://") or target.startswith("https://"):
            if self.headers.get("Proxy-Authorization") != PROXY_AUTH:
                self.send_body(407, b"", [("Proxy-Authenticate", 'Basic realm="qm"')])
                return
            target = urllib.parse.urlsplit(target)
            target = target.path + ("?" + target.query if target.query else "")
        url = urllib.parse.urlsplit(target)
        query = urllib.parse.parse_qs(url.query)
        path = url.path

        if path.startswith("/file/"):
            ims = self.headers.get("If-Modified-Since")
            inm = self.headers.get("If-None-Match")
            fresh = False
            if inm is not None:
                fresh = inm == ETAG
            elif ims:
                try:
                    fresh = email.utils.parsedate_to_datetime(ims) >= LM_TIME
                except (TypeError, ValueError):
                    fresh = False
            hdrs = [("Last-Modified", LAST_MODIFIED), ("ETag", ETAG)]
            if fresh:
                self.send_response(304)
                for k, v in hdrs:
                    self.send_header(k, v)
                self.end_headers()
                return
            body = ("content of %s\n" % path[6:]).encode() * 10
            self.send_body(200, body, hdrs)
        elif path == "/missing":
            self.send_body(404, b"<html>not here</html>", reason="Not Found")
        elif path == "/empty":
            self.send_body(200, b"", [("Last-Modified", LAST_MODIFIED)])
        elif path == "/truncated":
            self.send_response(200)
            self.send_header("Last-Modified", LAST_MODIFIED)
            self.send_header("Content-Length", "1000")
            self.end_headers()
            self.wfile.write(b"x" * 500)
            self.wfile.flush()
            self.close_connection = True
        elif path == "/slow":
            n = int(query.get("n", ["10"])[0])
            ms = int(query.get("ms", ["100"])[0])
            self.send_response(200)
            self.send_header("Content-Length", str(n * 1024))
            self.end_headers()
            try:
                for _ in range(n):
                    self.wfile.write(b"s" * 1024)
                    self.wfile.flush()
                    time.sleep(ms / 1000.0)
            except (BrokenPipeError, ConnectionResetError):
                pass
            self.close_connection = True
        elif path == "/stall":
            self.send_response(200)
            self.send_header("Content-Length", "4096")
            self.end_headers()
            try:
                self.wfile.write(b"t" * 100)
                self.wfile.flush()
                time.sleep(30)
            except (BrokenPipeError, ConnectionResetError):
                pass
            self.close_connection = True
        elif path == "/redirect":
            self.send_body(302, b"moved", [("Location", "/file/redirected.txt")])
        elif path == "/to-http":
            port = query.get("port", ["1"])[0]
            self.send_body(302, b"", [("Location", "http://127.0.0.1:%s/file/downgraded.txt" % port)])
        elif path == "/redirect-loop":
            self.send_body(302, b"", [("Location", "/redirect-loop")])
        elif path == "/colon":
            self.send_body(200, b"colon", [("X-Note", "time: 10:30: done")])
        elif path == "/echo":
            text = self.requestline + "\r\n" + str(self.headers)
            self.send_body(200, text.encode("utf-8", "replace"))
        elif path == "/big":
            size = int(query.get("size", ["1048576"])[0])
            self.send_response(200)
            self.send_header("Content-Length", str(size))
            self.send_header("Last-Modified", LAST_MODIFIED)
            self.end_headers()
            view = memoryview(BIG)
            left = size
            try:
                while left > 0:
                    n = min(left, len(BIG))
                    self.wfile.write(view[:n])
                    left -= n
            except (BrokenPipeError, ConnectionResetError):
                self.close_connection = True
        elif path == "/log":
            with log_lock:
                body = "\n".join(request_log).encode()
            self.send_body(200, body)
        else:
            self.send_body(404, b"", reason="Not Found")


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    allow_reuse_address = True

    def handle_error(self, request, client_address):
        pass  # clients that hang up early are part of the tests


def main():
    server = Server(("127.0.0.1", 0), Handler)
    if len(sys.argv) == 4 and sys.argv[1] == "--tls":
        ctx = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        ctx.load_cert_chain(sys.argv[2], sys.argv[3])
        server.socket = ctx.wrap_socket(server.socket, server_side=True)
    sys.stdout.write("PORT %d\n" % server.server_address[1])
    sys.stdout.flush()
    server.serve_forever()


if __name__ == "__main__":
    main()
