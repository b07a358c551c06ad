#!/usr/bin/python3
"""Web server of the end-to-end test's web host (http.server).

Serves --root on 127.0.0.1:--port, writes one line per request to --log
("GET /path 200"), and prints "READY http" once it listens. With --trickle
it sends each file in 1 KiB pieces a quarter second apart, so a client is
still mid-transfer seconds later.
"""
import argparse
import http.server
import sys
import time


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--port", type=int, default=80)
    parser.add_argument("--root", required=True)
    parser.add_argument("--log", required=True)
    parser.add_argument("--trickle", action="store_true")
    args = parser.parse_args()

    log = open(args.log, "a", buffering=1)

    class Handler(http.server.SimpleHTTPRequestHandler):
        def __init__(self, *a, **kw):
            super().__init__(*a, directory=args.root, **kw)

        def log_request(self, code="-", size="-"):
            log.write("%s %s %s\n" % (self.command, self.path, code))

        def log_message(self, format, *a):
            pass

        def copyfile(self, source, outputfile):
            if not args.trickle:
                return super().copyfile(source, outputfile)
            try:
                while piece := source.read(1024):
                    outputfile.write(piece)
                    outputfile.flush()
                    time.sleep(0.25)
            except (BrokenPipeError, ConnectionResetError):
                pass  # the client broke off, as it may

    server = http.server.ThreadingHTTPServer(("127.0.0.1", args.port), Handler)
    print("READY http%s" % (" trickle" if args.trickle else ""), flush=True)
    server.serve_forever()


if __name__ == "__main__":
    sys.exit(main())
