#!/usr/bin/python3
"""Loopback HTTP(S) server for the retrieval tests.

Serves --root and prints "READY <port>" on stdout once it listens on
127.0.0.1. Besides plain files:

/redirect/N/PATH  redirects N times, then serves /PATH
/to/URL           redirects to the absolute URL
/cut/PATH         announces the whole file, sends half, then drops the line
/status/CODE/     answers CODE with an HTML error page
"""
import argparse
import http.server
import os
import socket
import ssl
import sys


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True)
    parser.add_argument("--log", required=True)
    parser.add_argument("--cert", default="")
    parser.add_argument("--key", default="")
    args = parser.parse_args()

    log = open(args.log, "a", buffering=1)

    class Handler(http.server.SimpleHTTPRequestHandler):
        def __init__(self, *a, **kw):
            super().__init__(*a, directory=args.root, **kw)

        def log_message(self, format, *a):
            log.write("%s\n" % (format % a))

        def do_GET(self):
            log.write("HEADERS Cache-Control: %s Pragma: %s\n"
                      % (self.headers.get("Cache-Control"), self.headers.get("Pragma")))
            parts = self.path.split("/")
            if self.path.startswith("/to/"):
                self.send_response(302)
                self.send_header("Location", self.path[len("/to/"):])
                self.send_header("Content-Length", "0")
                self.end_headers()
                return
            if len(parts) > 3 and parts[1] == "redirect":
                count = int(parts[2])
                rest = "/".join(parts[3:])
                target = "/redirect/%d/%s" % (count - 1, rest) if count > 1 else "/" + rest
                self.send_response(302)
                self.send_header("Location", target)
                self.send_header("Content-Length", "0")
                self.end_headers()
                return
            if len(parts) > 2 and parts[1] == "cut":
                path = os.path.join(args.root, *parts[2:])
                with open(path, "rb") as f:
                    data = f.read()
                self.send_response(200)
                self.send_header("Content-Type", "application/octet-stream")
                self.send_header("Content-Length", str(len(data)))
                self.end_headers()
                self.wfile.write(data[: len(data) // 2])
                self.wfile.flush()
                self.connection.shutdown(socket.SHUT_RDWR)
                self.close_connection = True
                return
            if len(parts) > 2 and parts[1] == "status":
                self.send_error(int(parts[2]), "Test error page")
                return
            super().do_GET()

        def do_POST(self):
            # A health-check service: takes any POST and keeps its body.
            length = int(self.headers.get("Content-Length") or 0)
            body = self.rfile.read(length)
            with open(args.log + ".bodies", "ab") as f:
                f.write(b"%d\n" % len(body) + body)
            self.send_response(200)
            self.send_header("Content-Length", "2")
            self.end_headers()
            self.wfile.write(b"OK")

    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    if args.cert:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(args.cert, args.key)
        server.socket = context.wrap_socket(server.socket, server_side=True)
    print("READY %d" % server.server_address[1], flush=True)
    server.serve_forever()


if __name__ == "__main__":
    sys.exit(main())
