#!/usr/bin/env python3
"""A small HTTP server on 127.0.0.1 for the update tests and the download benchmark.

It binds a free port, writes the port number to --port-file and serves until it is
ended. Paths:

  /files/<path>[?truncate=N]  a file below --root; with truncate, Content-Length of the
                              whole file but only the first N bytes, then the end
  /ok                         200, "hello, update" with Content-Length
  /nolength                   200 with a body but no Content-Length
  /empty                      200, Content-Length 0
  /missing                    404
  /gateway                    504
  /auth                       401 unless Basic credentials ann:secret are sent, then 200
  /long                       Content-Length 10, 30 bytes sent
  /short                      Content-Length 100, 40 bytes sent, then the end
  /midway                     Content-Length 100000, 5000 bytes sent, then a reset
  /bytes?n=N                  200 with N bytes of a repeating pattern
  /trickle?n=N                Content-Length N, then one byte a second
  /trickling                  200, how many /trickle answers are being sent right now
  /sign?key=K&text=T          200, base64 of `openssl dgst -sha256 -sign` over the UTF-8
                              text T with the key --keys/K.pem (the update tests' keys)
"""
import argparse
import base64
import http.server
import os
import socket
import struct
import subprocess
import sys
import threading
import time
import urllib.parse


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.0"
    root = "."
    keys = None
    trickling = 0
    trickling_lock = threading.Lock()

    def log_message(self, *args):
        pass

    def answer(self, status, body=b"", length=None, headers=()):
        self.send_response(status)
        for key, value in headers:
            self.send_header(key, value)
        if length is not None:
            self.send_header("Content-Length", str(length))
        self.end_headers()
        self.wfile.write(body)
        self.wfile.flush()

    def do_GET(self):
        url = urllib.parse.urlsplit(self.path)
        query = urllib.parse.parse_qs(url.query)
        path = urllib.parse.unquote(url.path)
        if path.startswith("/files/"):
            return self.serve_file(path[len("/files/"):], query)
        if path == "/ok":
            body = b"hello, update"
            return self.answer(200, body, len(body))
        if path == "/nolength":
            return self.answer(200, b"a body without a length")
        if path == "/empty":
            return self.answer(200, b"", 0)
        if path == "/missing":
            return self.answer(404, b"not here", 8)
        if path == "/gateway":
            return self.answer(504, b"", 0)
        if path == "/auth":
            expected = "Basic " + base64.b64encode(b"ann:secret").decode()
            if self.headers.get("Authorization") == expected:
                return self.answer(200, b"welcome", 7)
            return self.answer(401, b"", 0, [("WWW-Authenticate", 'Basic realm="updates"')])
        if path == "/long":
            return self.answer(200, b"0123456789" * 3, 10)
        if path == "/short":
            return self.answer(200, b"x" * 40, 100)
        if path == "/midway":
            self.answer(200, b"m" * 5000, 100000)
            # An abrupt reset instead of an orderly end.
            self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
            self.close_connection = True
            return None
        if path == "/bytes":
            n = int(query.get("n", ["0"])[0])
            pattern = bytes(range(256))
            body = (pattern * (n // 256 + 1))[:n]
            return self.answer(200, body, n)
        if path == "/trickle":
            n = int(query.get("n", ["600"])[0])
            self.answer(200, b"", n)
            with Handler.trickling_lock:
                Handler.trickling += 1
            try:
                for _ in range(n):
                    time.sleep(1)
                    self.wfile.write(b"t")
                    self.wfile.flush()
            except OSError:
                pass  # the client gave up, which is what the tests want
            finally:
                with Handler.trickling_lock:
                    Handler.trickling -= 1
            return None
        if path == "/trickling":
            body = str(Handler.trickling).encode()
            return self.answer(200, body, len(body))
        if path == "/sign":
            return self.sign(query)
        return self.answer(404, b"", 0)

    def sign(self, query):
        name = query.get("key", [""])[0]
        if not self.keys or not name.isalnum():
            return self.answer(404, b"", 0)
        signer = subprocess.run(
            ["openssl", "dgst", "-sha256", "-sign", os.path.join(self.keys, name + ".pem")],
            input=query.get("text", [""])[0].encode(), capture_output=True, check=False)
        if signer.returncode != 0:
            return self.answer(500, b"", 0)
        body = base64.b64encode(signer.stdout)
        return self.answer(200, body, len(body))

    def serve_file(self, relative, query):
        full = os.path.realpath(os.path.join(self.root, relative))
        if not full.startswith(os.path.realpath(self.root) + os.sep) or not os.path.isfile(full):
            return self.answer(404, b"", 0)
        with open(full, "rb") as f:
            body = f.read()
        length = len(body)
        if "truncate" in query:
            body = body[: int(query["truncate"][0])]
        return self.answer(200, body, length)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--port-file", required=True)
    parser.add_argument("--root", default=".")
    parser.add_argument("--keys", help="folder of the private keys that /sign uses")
    args = parser.parse_args()
    Handler.root = args.root
    Handler.keys = args.keys
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    temp = args.port_file + ".part"
    with open(temp, "w") as f:
        f.write(str(server.server_address[1]))
    os.replace(temp, args.port_file)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass
    return 0


if __name__ == "__main__":
    sys.exit(main())
