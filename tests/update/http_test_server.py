#!/usr/bin/python3
"""Loopback HTTP server of the download and update-service tests and the download benchmark.

Usage: http_test_server.py [--tls CERT KEY] [--root DIR]
Prints "PORT <n>" on its first line once it listens on 127.0.0.1, then serves until killed.
With --tls it speaks HTTPS instead.

Fixed paths:
  /file/<name>     200 with a fixed Last-Modified and ETag; 304 for a matching
                   If-Modified-Since (not older than Last-Modified) or If-None-Match
  /missing         404 Not Found
  /empty           200 with an empty body
  /truncated       200 announcing 1000 bytes, sends 500, then closes the connection
  /slow?n=&ms=     200, n chunks of 1 KiB with ms milliseconds between them
  /stall           200 announcing 4096 bytes, sends 100, then stays silent for 30 s
  /trickle?n=&ms=  200 announcing n bytes, sends them one at a time, ms milliseconds apart
  /trickle-head?ms= the status line, then the header block one byte per ms milliseconds
  /moved-304       304 Not Modified carrying a Location (to /file/moved.txt)
  /two-lengths?a=&b=  200 with two Content-Length headers, a and b, and a body of b bytes
  /dated?lm=<text> 200 with the Last-Modified given (percent-encoded); "future" stands for a
                   date in the year 9999; 304 to an If-Modified-Since not older than it
  /redirect        302 to /file/redirected.txt;  /redirect-loop redirects to itself
  /to-http?port=n  302 to http://127.0.0.1:n/file/downgraded.txt
  /colon           200 with a header whose value holds ": " itself
  /echo            200, the request line and headers as the body
  /big[/<name>]?size=<n>  200 with n bytes, sent in large writes (benchmark); with &nolength=1 no
                   Content-Length (the body ends when the connection closes)
  /__log           200, one line per earlier request: "<method> <target> <Proxy-Authorization
                   or -> ims=<If-Modified-Since or ->"
  /__posts         200, one line per earlier POST: "<target> TAB <Content-Type> TAB <body as
                   latin-1>"

POST to any path records the request and answers 200 with a small HTML page that shows the
path and the body ("<p id=\"path\">...</p><p id=\"body\">...</p>", HTML-escaped).

With --root DIR every other path serves DIR/<path> (percent-decoded UTF-8; "." and ".."
refused) with Last-Modified = the file's modification time, and answers 304 to an
If-Modified-Since that is not older than it. Control files beside a served file change the
answer:
  <file>.nolm       no Last-Modified header, If-Modified-Since ignored (always 200)
  <file>.always     Last-Modified sent, If-Modified-Since ignored (always 200)
  <file>.truncate   announces the whole length, sends half of the body, closes
  <file>.status     answers with the status code written in it and an empty body
  <file>.stall      announces the whole length, sends 100 bytes, then stays silent for the
                    seconds written in it (default 60) before it closes
  <file>.trickle    announces the whole length, sends the body one byte at a time with the
                    milliseconds written in it (default 50) between them, then closes
  <file>.redirect   302 to the path written in it (its own path: a redirect loop)
Without --root, or for a file that is not there, the answer is 404.

As a proxy (absolute target or CONNECT) it asks for Basic "user:secret" and answers 407
without it; with it, an absolute http target is served as the path above, and CONNECT opens
a tunnel to 127.0.0.1 (any other host is refused with 403).
"""
import argparse
import base64
import email.utils
import html
import http.server
import os
import select
import socket
import socketserver
import ssl
import sys
import threading
import time
import urllib.parse

LAST_MODIFIED = "Wed, 21 Oct 2015 07:28:00 GMT"
LM_TIME = int(email.utils.parsedate_to_datetime(LAST_MODIFIED).timestamp())
ETAG = '"qm-etag-1"'
PROXY_AUTH = "Basic " + base64.b64encode(b"user:secret").decode()
BIG = bytearray(b"0123456789abcdef" * 65536)  # 1 MiB pattern

ROOT = None  # --root: the folder served beside the fixed paths
log_lock = threading.Lock()
request_log = []
post_log = []


def not_older(ims, mtime):
    """True when the If-Modified-Since text names mtime (seconds) or a later time."""
    try:
        return int(email.utils.parsedate_to_datetime(ims).timestamp()) >= mtime
    except (TypeError, ValueError):
        return False


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, fmt, *args):  # quiet
        pass

    def record(self):
        with log_lock:
            request_log.append("%s %s %s ims=%s" % (
                self.command, self.path, self.headers.get("Proxy-Authorization", "-"),
                self.headers.get("If-Modified-Since", "-")))

    def send_head(self, code, headers=(), length=None, reason=None):
        self.send_response(code, reason)
        for k, v in headers:
            self.send_header(k, v)
        if length is not None:
            self.send_header("Content-Length", str(length))
        self.end_headers()

    def send_body(self, code, body=b"", headers=(), reason=None):
        self.send_head(code, headers, len(body), reason)
        if self.command != "HEAD" and body:
            self.wfile.write(body)

    def send_truncated(self, body, headers):
        """Announces the whole body, sends its first half and closes the connection."""
        self.send_head(200, headers, len(body))
        if self.command != "HEAD":
            self.wfile.write(body[: len(body) // 2])
            self.wfile.flush()
        self.close_connection = True

    def send_paced(self, length, chunks, pause):
        """Announces length bytes, sends the chunks with pause seconds after each, closes."""
        self.send_head(200, (), length)
        try:
            for chunk in chunks:
                self.wfile.write(chunk)
                self.wfile.flush()
                time.sleep(pause)
        except (BrokenPipeError, ConnectionResetError):
            pass
        self.close_connection = True

    def refused_by_proxy(self):
        """Answers 407 unless the proxy credentials came along; True when it did."""
        if self.headers.get("Proxy-Authorization") == PROXY_AUTH:
            return False
        self.send_body(407, b"", [("Proxy-Authenticate", 'Basic realm="qm"')])
        return True

    def do_CONNECT(self):
        self.record()
        if self.refused_by_proxy():
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
        self.send_head(200, reason="Connection established")
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

    def do_POST(self):
        self.record()
        length = int(self.headers.get("Content-Length", "0") or "0")
        body = self.rfile.read(length) if length > 0 else b""
        text = body.decode("latin-1")
        with log_lock:
            post_log.append("%s\t%s\t%s" % (self.path, self.headers.get("Content-Type", "-"), text))
        page = ("<html><head><meta charset=\"utf-8\"><title>posted</title></head><body>"
                "<p id=\"path\">%s</p><p id=\"body\">%s</p></body></html>"
                % (html.escape(self.path), html.escape(text)))
        self.send_body(200, page.encode("utf-8"), [("Content-Type", "text/html; charset=utf-8")])

    def do_GET(self):
        self.record()
        target = self.path
        if target.startswith("http://") or target.startswith("https://"):
            if self.refused_by_proxy():
                return
            target = urllib.parse.urlsplit(target)
            target = target.path + ("?" + target.query if target.query else "")
        url = urllib.parse.urlsplit(target)
        query = urllib.parse.parse_qs(url.query)
        path = url.path

        if path.startswith("/file/"):
            ims = self.headers.get("If-Modified-Since")
            inm = self.headers.get("If-None-Match")
            hdrs = [("Last-Modified", LAST_MODIFIED), ("ETag", ETAG)]
            # An entity tag, when sent, decides alone.
            fresh = inm == ETAG if inm is not None else bool(ims) and not_older(ims, LM_TIME)
            if fresh:
                self.send_head(304, hdrs)
                return
            body = ("content of %s\n" % path[6:]).encode() * 10
            self.send_body(200, body, hdrs)
        elif path == "/missing":
            self.send_body(404, b"<html>not here</html>", reason="Not Found")
        elif path == "/empty":
            self.send_body(200, b"", [("Last-Modified", LAST_MODIFIED)])
        elif path == "/truncated":
            self.send_truncated(b"x" * 1000, [("Last-Modified", LAST_MODIFIED)])
        elif path == "/slow":
            n = int(query.get("n", ["10"])[0])
            ms = int(query.get("ms", ["100"])[0])
            self.send_paced(n * 1024, [b"s" * 1024] * n, ms / 1000.0)
        elif path == "/stall":
            self.send_paced(4096, [b"t" * 100], 30)
        elif path == "/trickle":
            n = int(query.get("n", ["100"])[0])
            ms = int(query.get("ms", ["200"])[0])
            self.send_paced(n, [b"t"] * n, ms / 1000.0)
        elif path == "/trickle-head":
            ms = int(query.get("ms", ["200"])[0])
            head = b"X-Padding: " + b"p" * 200 + b"\r\nContent-Length: 2\r\n\r\nok"
            try:
                self.wfile.write(b"HTTP/1.1 200 OK\r\n")
                self.wfile.flush()
                for i in range(len(head)):
                    self.wfile.write(head[i:i + 1])
                    self.wfile.flush()
                    time.sleep(ms / 1000.0)
            except (BrokenPipeError, ConnectionResetError):
                pass
            self.close_connection = True
        elif path == "/moved-304":
            self.send_head(304, [("Location", "/file/moved.txt"), ("Last-Modified", LAST_MODIFIED)])
        elif path == "/two-lengths":
            a = query.get("a", ["10"])[0]
            b = int(query.get("b", ["20"])[0])
            self.send_response(200)
            self.send_header("Content-Length", a)
            self.send_header("Content-Length", str(b))
            self.end_headers()
            self.wfile.write(b"L" * b)
        elif path == "/dated":
            lm = query.get("lm", [LAST_MODIFIED])[0]
            if lm == "future":
                lm = "Fri, 31 Dec 9999 23:59:59 GMT"
            ims = self.headers.get("If-Modified-Since")
            try:
                lm_time = int(email.utils.parsedate_to_datetime(lm).timestamp())
            except (TypeError, ValueError, OverflowError):
                lm_time = None
            if ims and lm_time is not None and not_older(ims, lm_time):
                self.send_head(304, [("Last-Modified", lm)])
                return
            self.send_body(200, b"dated body\n", [("Last-Modified", lm)])
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
        elif path == "/big" or path.startswith("/big/"):
            self.send_big(int(query.get("size", ["1048576"])[0]), query.get("nolength", ["0"])[0] == "1")
        elif path == "/__log":
            with log_lock:
                body = "\n".join(request_log).encode("utf-8")
            self.send_body(200, body)
        elif path == "/__posts":
            with log_lock:
                body = "\n".join(post_log).encode("latin-1")
            self.send_body(200, body)
        elif ROOT is not None:
            self.send_from_root(path)
        else:
            self.send_body(404, b"", reason="Not Found")

    def send_big(self, size, nolength=False):
        self.send_head(200, [("Last-Modified", LAST_MODIFIED)], None if nolength else size)
        if nolength:
            self.close_connection = True
        view = memoryview(BIG)
        left = size
        try:
            while left > 0:
                n = min(left, len(BIG))
                self.wfile.write(view[:n])
                left -= n
        except (BrokenPipeError, ConnectionResetError):
            self.close_connection = True

    def send_from_root(self, path):
        parts = [p for p in urllib.parse.unquote(path, encoding="utf-8", errors="replace").split("/") if p]
        if any(p in ("..", ".") for p in parts):
            self.send_body(403)
            return
        full = os.path.join(ROOT, *parts)
        if os.path.isfile(full + ".status"):
            with open(full + ".status") as f:
                self.send_body(int(f.read().strip()))
            return
        if os.path.isfile(full + ".redirect"):
            with open(full + ".redirect") as f:
                self.send_body(302, b"", [("Location", f.read().strip())])
            return
        if not os.path.isfile(full):
            self.send_body(404, b"<html>not found</html>")
            return
        mtime = int(os.path.getmtime(full))
        nolm = os.path.exists(full + ".nolm")
        headers = [] if nolm else [("Last-Modified", email.utils.formatdate(mtime, usegmt=True))]
        ims = self.headers.get("If-Modified-Since")
        if ims and not nolm and not os.path.exists(full + ".always") and not_older(ims, mtime):
            self.send_head(304, headers)
            return
        with open(full, "rb") as f:
            body = f.read()
        if os.path.exists(full + ".stall"):
            with open(full + ".stall") as f:
                text = f.read().strip()
            self.send_head(200, headers, len(body))
            try:
                self.wfile.write(body[:100])
                self.wfile.flush()
                time.sleep(float(text) if text else 60)
            except (BrokenPipeError, ConnectionResetError):
                pass
            self.close_connection = True
        elif os.path.exists(full + ".trickle"):
            with open(full + ".trickle") as f:
                text = f.read().strip()
            pause = (float(text) if text else 50) / 1000.0
            self.send_paced(len(body), [body[i:i + 1] for i in range(len(body))], pause)
        elif os.path.exists(full + ".truncate"):
            self.send_truncated(body, headers)
        else:
            self.send_body(200, body, headers)


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    allow_reuse_address = True

    def handle_error(self, request, client_address):
        pass  # clients that hang up early are part of the tests


def main():
    global ROOT
    parser = argparse.ArgumentParser()
    parser.add_argument("--tls", nargs=2, metavar=("CERT", "KEY"))
    parser.add_argument("--root")
    args = parser.parse_args()
    if args.root is not None:
        ROOT = os.path.abspath(args.root)
    server = Server(("127.0.0.1", 0), Handler)
    if args.tls:
        ctx = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        ctx.load_cert_chain(*args.tls)
        server.socket = ctx.wrap_socket(server.socket, server_side=True)
    sys.stdout.write("PORT %d\n" % server.server_address[1])
    sys.stdout.flush()
    server.serve_forever()


if __name__ == "__main__":
    main()
