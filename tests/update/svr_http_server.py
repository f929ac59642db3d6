#!/usr/bin/python3
"""Loopback HTTP server of the update-service tests: serves the files of a folder.

Usage: svr_http_server.py ROOT
Prints "PORT <n>" on its first line once it listens on 127.0.0.1, then serves until killed.

GET/HEAD /<path> serves ROOT/<path> (percent-decoded UTF-8; ".." refused) with
Last-Modified = the file's modification time, and answers 304 to an If-Modified-Since that is
not older than it. Control files beside a served file change the answer:
  <file>.nolm       no Last-Modified header, If-Modified-Since ignored (always 200)
  <file>.always     Last-Modified sent, If-Modified-Since ignored (always 200)
  <file>.truncate   announces the whole length, sends half of the body, closes
  <file>.status     answers with the status code written in it and an empty body
Missing files give 404. GET /__log returns one line per earlier request:
"<method> <decoded path> ims=<If-Modified-Since or ->".
"""
import email.utils
import http.server
import os
import socketserver
import sys
import threading
import urllib.parse

ROOT = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else ".")
log_lock = threading.Lock()
request_log = []


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, fmt, *args):
        pass

    def send_plain(self, code, body=b"", headers=()):
        self.send_response(code)
        for k, v in headers:
            self.send_header(k, v)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        if self.command != "HEAD" and body:
            self.wfile.write(body)

    def do_HEAD(self):
        self.do_GET()

    def do_GET(self):
        path = urllib.parse.unquote(urllib.parse.urlsplit(self.path).path, encoding="utf-8", errors="replace")
        if path == "/__log":
            with log_lock:
                body = "\n".join(request_log).encode("utf-8")
            self.send_plain(200, body)
            return
        ims = self.headers.get("If-Modified-Since")
        with log_lock:
            request_log.append("%s %s ims=%s" % (self.command, path, ims if ims is not None else "-"))
        parts = [p for p in path.split("/") if p]
        if any(p in ("..", ".") for p in parts):
            self.send_plain(403)
            return
        full = os.path.join(ROOT, *parts)
        if os.path.isfile(full + ".status"):
            with open(full + ".status") as f:
                self.send_plain(int(f.read().strip()))
            return
        if not os.path.isfile(full):
            self.send_plain(404, b"<html>not found</html>")
            return
        mtime = int(os.path.getmtime(full))
        nolm = os.path.exists(full + ".nolm")
        headers = [] if nolm else [("Last-Modified", email.utils.formatdate(mtime, usegmt=True))]
        if ims and not nolm and not os.path.exists(full + ".always"):
            try:
                if int(email.utils.parsedate_to_datetime(ims).timestamp()) >= mtime:
                    self.send_response(304)
                    for k, v in headers:
                        self.send_header(k, v)
                    self.end_headers()
                    return
            except (TypeError, ValueError):
                pass
        with open(full, "rb") as f:
            body = f.read()
        if os.path.exists(full + ".truncate"):
            self.send_response(200)
            for k, v in headers:
                self.send_header(k, v)
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            if self.command != "HEAD":
                self.wfile.write(body[: len(body) // 2])
                self.wfile.flush()
            self.close_connection = True
            return
        self.send_plain(200, body, headers)


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    allow_reuse_address = True

    def handle_error(self, request, client_address):
        pass


def main():
    server = Server(("127.0.0.1", 0), Handler)
    sys.stdout.write("PORT %d\n" % server.server_address[1])
    sys.stdout.flush()
    server.serve_forever()


if __name__ == "__main__":
    main()
