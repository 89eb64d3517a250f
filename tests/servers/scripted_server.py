#!/usr/bin/env python3
"""A scripted HTTP and HTTPS server for the tests, on 127.0.0.1 only.

It records the exact bytes of every request (head and body as received) and answers by path:

  /respond?status=N&h=Name:Value&h=...&body=TEXT   any status, headers and body
  /redirect?to=URL&code=302                          a redirect to URL (as given: relative or absolute)
  /chain?n=N                                         N relative redirects, then 200 "end of chain"
  /loop                                              redirects to itself for ever
  /stall?seconds=S                                   reads the request, then says nothing for S seconds
  /stall-body?seconds=S                              headers and 2 of 10 body bytes, then silence
  /drip?n=N&interval=T                               N body bytes, one every T seconds
  /cut                                               promises 100 body bytes, sends 10, closes
  /huge-length                                       promises 3,000,000,000 body bytes, sends 10
  /bytes?size=N                                      N bytes of "x"
  anything else                                      200 with the body "ok"

HTTPS listeners, one per certificate case, with certificates made at start by openssl in --dir:
good (issued by the test CA, valid for 127.0.0.1 and localhost), unknown_ca (self-signed),
expired, wrong_host, wrong_usage (client authentication only) and client_cert (a good certificate,
but the server demands a client certificate: a handshake failure that no flag may excuse).

On start it prints one JSON line with the ports and the CA file. Commands on stdin, one a line:
"requests" prints a JSON list of the recorded requests (base64) and forgets them. End of stdin
stops the server.
"""

import base64
import json
import os
import socket
import ssl
import subprocess
import sys
import threading
import time
import urllib.parse

RECORDED = []
LOCK = threading.Lock()
MAX_STALL = 30.0


def openssl(*args, cwd):
    subprocess.run(["openssl", *args], cwd=cwd, check=True, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL)


def make_certificates(d):
    ec = ["-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes"]
    openssl("req", "-x509", *ec, "-keyout", "ca.key", "-out", "ca.pem", "-subj", "/CN=Morvane Test CA",
            "-days", "2", "-addext", "basicConstraints=critical,CA:TRUE",
            "-addext", "keyUsage=critical,keyCertSign", cwd=d)
    good_san = "subjectAltName=IP:127.0.0.1,DNS:localhost"
    cases = {
        "good": (good_san, "serverAuth", "2"),
        "expired": (good_san, "serverAuth", "-1"),
        "wrong_host": ("subjectAltName=DNS:wrong.invalid", "serverAuth", "2"),
        "wrong_usage": (good_san, "clientAuth", "2"),
    }
    serial = 10
    for name, (san, usage, days) in cases.items():
        with open(os.path.join(d, name + ".ext"), "w") as f:
            f.write(f"{san}\nextendedKeyUsage={usage}\nbasicConstraints=CA:FALSE\n")
        openssl("req", "-new", *ec, "-keyout", name + ".key", "-out", name + ".csr", "-subj",
                "/CN=Morvane test " + name, cwd=d)
        serial += 1
        openssl("x509", "-req", "-in", name + ".csr", "-CA", "ca.pem", "-CAkey", "ca.key",
                "-set_serial", str(serial), "-days", days, "-extfile", name + ".ext", "-out",
                name + ".pem", cwd=d)
    openssl("req", "-x509", *ec, "-keyout", "unknown_ca.key", "-out", "unknown_ca.pem", "-subj",
            "/CN=127.0.0.1", "-days", "2", "-addext", good_san, cwd=d)


def tls_context(d, kind):
    ctx = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    cert = "good" if kind == "client_cert" else kind
    ctx.load_cert_chain(os.path.join(d, cert + ".pem"), os.path.join(d, cert + ".key"))
    if kind == "client_cert":
        ctx.maximum_version = ssl.TLSVersion.TLSv1_2  # so the refusal comes inside the handshake
        ctx.verify_mode = ssl.CERT_REQUIRED
        ctx.load_verify_locations(os.path.join(d, "ca.pem"))
    return ctx


def read_request(conn, buf):
    """Returns (raw request bytes, head text, rest of buffer) or None at the end of the stream."""
    while b"\r\n\r\n" not in buf:
        chunk = conn.recv(65536)
        if not chunk:
            return None
        buf += chunk
    end = buf.index(b"\r\n\r\n") + 4
    head, buf = buf[:end], buf[end:]
    text = head.decode("latin-1")
    lines = text.split("\r\n")
    headers = {}
    for line in lines[1:]:
        if ":" in line:
            k, v = line.split(":", 1)
            headers[k.strip().lower()] = v.strip()
    body = b""
    if "content-length" in headers:
        n = int(headers["content-length"])
        while len(buf) < n:
            chunk = conn.recv(65536)
            if not chunk:
                break
            buf += chunk
        body, buf = buf[:n], buf[n:]
    elif headers.get("transfer-encoding", "").lower() == "chunked":
        while b"0\r\n\r\n" not in buf:
            chunk = conn.recv(65536)
            if not chunk:
                break
            buf += chunk
        end = buf.index(b"0\r\n\r\n") + 5 if b"0\r\n\r\n" in buf else len(buf)
        body, buf = buf[:end], buf[end:]
    return head + body, lines[0], buf


def response(status, headers, body, close=False):
    reason = {200: "OK", 301: "Moved Permanently", 302: "Found", 303: "See Other",
              307: "Temporary Redirect", 308: "Permanent Redirect", 404: "Not Found",
              500: "Internal Server Error"}.get(status, "Status")
    out = [f"HTTP/1.1 {status} {reason}"]
    has_length = any(k.lower() == "content-length" for k, _ in headers)
    for k, v in headers:
        out.append(f"{k}: {v}")
    if not has_length:
        out.append(f"Content-Length: {len(body)}")
    if close:
        out.append("Connection: close")
    return ("\r\n".join(out) + "\r\n\r\n").encode("utf-8") + body


def bounded_sleep(seconds):
    time.sleep(max(0.0, min(float(seconds), MAX_STALL)))


def answer(conn, request_line, head_only):
    """Sends the answer; returns False when the connection is to be closed."""
    try:
        method, target, _ = request_line.split(" ", 2)
    except ValueError:
        return False
    url = urllib.parse.urlsplit(target)
    q = urllib.parse.parse_qs(url.query, keep_blank_values=True)
    one = lambda k, d="": q.get(k, [d])[0]
    path = url.path

    def send(data):
        if head_only:
            data = data.split(b"\r\n\r\n", 1)[0] + b"\r\n\r\n"
        conn.sendall(data)

    if path == "/respond":
        headers = [tuple(h.split(":", 1)) for h in q.get("h", [])]
        headers = [(k, v.strip()) for k, v in headers]
        send(response(int(one("status", "200")), headers, one("body").encode("utf-8")))
    elif path == "/redirect":
        send(response(int(one("code", "302")), [("Location", one("to"))], b"moved"))
    elif path == "/chain":
        n = int(one("n", "0"))
        if n > 0:
            send(response(302, [("Location", f"chain?n={n - 1}")], b""))
        else:
            send(response(200, [], b"end of chain"))
    elif path == "/loop":
        send(response(302, [("Location", "/loop")], b""))
    elif path == "/stall":
        bounded_sleep(one("seconds", "10"))
        return False
    elif path == "/stall-body":
        conn.sendall(b"HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nab")
        bounded_sleep(one("seconds", "10"))
        return False
    elif path == "/drip":
        n = int(one("n", "5"))
        conn.sendall(f"HTTP/1.1 200 OK\r\nContent-Length: {n}\r\n\r\n".encode())
        for _ in range(n):
            bounded_sleep(one("interval", "0.3"))
            conn.sendall(b"d")
    elif path == "/cut":
        conn.sendall(b"HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n0123456789")
        return False
    elif path == "/huge-length":
        conn.sendall(b"HTTP/1.1 200 OK\r\nContent-Length: 3000000000\r\n\r\n0123456789")
        bounded_sleep(1)
        return False
    elif path == "/bytes":
        send(response(200, [], b"x" * int(one("size", "0"))))
    else:
        send(response(200, [("Content-Type", "text/plain")], b"ok"))
    return True


def serve_connection(conn):
    try:
        buf = b""
        while True:
            got = read_request(conn, buf)
            if got is None:
                return
            raw, request_line, buf = got
            with LOCK:
                RECORDED.append(raw)
            if not answer(conn, request_line, request_line.startswith("HEAD ")):
                return
    except (OSError, ValueError, ssl.SSLError):
        pass
    finally:
        try:
            conn.close()
        except OSError:
            pass


def listen(context=None):
    sock = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    sock.bind(("127.0.0.1", 0))
    sock.listen(64)

    def accept_loop():
        while True:
            conn, _ = sock.accept()

            def run(c=conn):
                if context is not None:
                    try:
                        c.settimeout(MAX_STALL)
                        c = context.wrap_socket(c, server_side=True)
                        c.settimeout(None)
                    except (OSError, ssl.SSLError):
                        c.close()
                        return
                serve_connection(c)

            threading.Thread(target=run, daemon=True).start()

    threading.Thread(target=accept_loop, daemon=True).start()
    return sock.getsockname()[1]


def main():
    d = sys.argv[sys.argv.index("--dir") + 1] if "--dir" in sys.argv else None
    ports = {"http": listen()}
    info = {"ports": ports}
    if d:
        make_certificates(d)
        for kind in ("good", "unknown_ca", "expired", "wrong_host", "wrong_usage", "client_cert"):
            ports[kind] = listen(tls_context(d, kind))
        info["ca"] = os.path.join(d, "ca.pem")
    print(json.dumps(info), flush=True)
    for line in sys.stdin:
        if line.strip() == "requests":
            with LOCK:
                out = [base64.b64encode(r).decode() for r in RECORDED]
                RECORDED.clear()
            print(json.dumps(out), flush=True)


if __name__ == "__main__":
    main()
