#!/usr/bin/env python3
"""A local stand-in for the short-video service, for the resolver's tests and benchmarks.

Serves on 127.0.0.1, a free port, over HTTP or (with --tls) HTTPS with a self-signed certificate made
at start. Routes, where ID is the run of letters, digits and underscores that follows the prefix
(anything after it, such as the percent-encoded words of a share text, is ignored):

  /s/ID        302 to /v/ID                 (a short link)
  /v/ID        200, a UTF-8 page with Chinese text around "uri":"ID
  /big/ID      302 to /vbig/ID
  /vbig/ID     200, the same page padded to about 1 MiB before the marker
  /nomarker/X  200, a UTF-8 page without the marker
  /silent/X    reads the request, records it, and never answers (until the stub stops)
  other        404

Every request is recorded before it is answered, in the log file (--log) as a block:
  REQUEST <method> <target>
  H <name>: <value>          one line per header, in the order received
  <empty line>
Bytes outside ASCII are written as received.

As a program it prints one line "PORT <n>" when ready and serves until standard input reaches its
end (so it stops when the test that started it goes away), SIGTERM, or --lifetime seconds.
"""
import argparse
import http.server
import os
import re
import signal
import socketserver
import ssl
import subprocess
import sys
import tempfile
import threading

ID_RE = re.compile(rb"[A-Za-z0-9_]*")
MIB = 1 << 20


def page(identifier, padding=0):
    filler = ("这是一段很长的视频描述，用来把页面撑大。" * (padding // 57 + 1)).encode()[:padding]
    return (
        b'<!DOCTYPE html><html><head><meta charset="utf-8"><title>\xe7\xb2\xbe\xe5\xbd\xa9\xe8\xa7\x86\xe9\xa2\x91</title></head><body>'
        + "<p>好看的视频，快来看！</p>".encode()
        + filler
        + '<script>window.__PAGE_STATE__ = {"标题":"周末去爬山","uri":"'.encode()
        + identifier
        + '","作者":"小明","点赞":1234}</script>'.encode()
        + "<p>更多精彩内容</p></body></html>".encode()
    )


NO_MARKER_PAGE = ('<!DOCTYPE html><html><head><meta charset="utf-8"></head><body>'
                  "<p>视频不存在或已被删除</p><script>var data = {\"url\":\"none\"}</script>"
                  "</body></html>").encode()


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "ServiceStub/1"

    def log_message(self, format, *args):  # quiet: the log file is the record
        pass

    def record(self):
        raw = self.raw_requestline.rstrip(b"\r\n").split(b" ")
        method, target = raw[0], raw[1] if len(raw) > 1 else b""
        lines = [b"REQUEST " + method + b" " + target]
        for name, value in self.headers.raw_items():
            lines.append(b"H " + name.encode("latin-1") + b": " + value.encode("latin-1"))
        block = b"\n".join(lines) + b"\n\n"
        with self.server.log_lock:
            if self.server.log_path:
                with open(self.server.log_path, "ab") as log:
                    log.write(block)

    def send(self, status, body=b"", headers=()):
        self.send_response(status)
        for name, value in headers:
            self.send_header(name, value)
        self.send_header("Content-Type", "text/html; charset=utf-8")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        if self.command != "HEAD":
            self.wfile.write(body)

    def route(self):
        self.record()
        path = self.path.encode("latin-1")
        for prefix, kind in ((b"/s/", "short"), (b"/big/", "shortbig"), (b"/vbig/", "pagebig"),
                             (b"/v/", "page"), (b"/nomarker/", "nomarker"),
                             (b"/silent/", "silent")):
            if path.startswith(prefix):
                identifier = ID_RE.match(path, len(prefix)).group(0)
                break
        else:
            return self.send(404, "<p>找不到页面</p>".encode())
        if kind == "short":
            return self.send(302, b"", [("Location", "/v/" + identifier.decode())])
        if kind == "shortbig":
            return self.send(302, b"", [("Location", "/vbig/" + identifier.decode())])
        if kind == "page":
            return self.send(200, page(identifier))
        if kind == "pagebig":
            return self.send(200, page(identifier, MIB))
        if kind == "nomarker":
            return self.send(200, NO_MARKER_PAGE)
        # silent: hold the connection open without a byte until the stub stops.
        self.server.stopping.wait(self.server.lifetime)
        self.close_connection = True

    do_GET = do_POST = do_HEAD = do_PUT = do_DELETE = do_OPTIONS = route


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    allow_reuse_address = True


def make_certificate(folder):
    """A self-signed certificate for 127.0.0.1, made with openssl for this run only."""
    key, cert = os.path.join(folder, "key.pem"), os.path.join(folder, "cert.pem")
    subprocess.run(["openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt",
                    "ec_paramgen_curve:prime256v1", "-nodes", "-days", "1", "-subj", "/CN=127.0.0.1",
                    "-addext", "subjectAltName=IP:127.0.0.1", "-keyout", key, "-out", cert],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)
    return key, cert


class ServiceStub:
    """The stub inside a Python test: start() returns the base address, stop() ends it."""

    def __init__(self, tls=False, log_path=None, lifetime=600):
        self.tls, self.log_path, self.lifetime = tls, log_path, lifetime
        self.folder = tempfile.TemporaryDirectory(prefix="service_stub_")
        self.server = None

    def start(self):
        self.server = Server(("127.0.0.1", 0), Handler)
        self.server.log_path = self.log_path
        self.server.log_lock = threading.Lock()
        self.server.stopping = threading.Event()
        self.server.lifetime = self.lifetime
        if self.tls:
            key, cert = make_certificate(self.folder.name)
            context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
            context.load_cert_chain(cert, key)
            self.server.socket = context.wrap_socket(self.server.socket, server_side=True)
        threading.Thread(target=self.server.serve_forever, daemon=True).start()
        return self.base()

    @property
    def port(self):
        return self.server.server_address[1]

    def base(self):
        return "%s://127.0.0.1:%d" % ("https" if self.tls else "http", self.port)

    def stop(self):
        if self.server:
            self.server.stopping.set()
            self.server.shutdown()
            self.server.server_close()
            self.server = None
        self.folder.cleanup()


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--tls", action="store_true")
    parser.add_argument("--log")
    parser.add_argument("--lifetime", type=float, default=600)
    args = parser.parse_args()
    stub = ServiceStub(args.tls, args.log, args.lifetime)
    stub.start()
    done = threading.Event()
    signal.signal(signal.SIGTERM, lambda *_: done.set())

    def watch_stdin():
        # The raw descriptor, not sys.stdin: a buffered reader still blocked in this daemon thread
        # when the interpreter shuts down makes it abort.
        try:
            while os.read(0, 4096):
                pass
        finally:
            done.set()

    threading.Thread(target=watch_stdin, daemon=True).start()
    print("PORT %d" % stub.port, flush=True)
    done.wait(args.lifetime)
    stub.stop()


if __name__ == "__main__":
    main()
