#!/usr/bin/python3
"""FTP server of the end-to-end test's web host (pyftpdlib).

Listens on 127.0.0.1:--port (21 in the test's own network namespace), lets
one user read --root, writes every command it receives with its argument to
--log (the password as "****"), and prints "READY ftp" once it listens.
"""
import argparse
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--port", type=int, default=21)
    parser.add_argument("--root", required=True)
    parser.add_argument("--user", required=True)
    parser.add_argument("--password", required=True)
    parser.add_argument("--log", required=True)
    args = parser.parse_args()

    log = open(args.log, "a", buffering=1)

    class Handler(FTPHandler):
        auth_failed_timeout = 0

        def pre_process_command(self, line, cmd, arg):
            log.write("%s %s\n" % (cmd, "****" if cmd == "PASS" else (arg or "")))
            return super().pre_process_command(line, cmd, arg)

    authorizer = DummyAuthorizer()
    authorizer.add_user(args.user, args.password, args.root, perm="elrd")
    Handler.authorizer = authorizer

    server = FTPServer(("127.0.0.1", args.port), Handler)
    print("READY ftp", flush=True)
    server.serve_forever(handle_exit=True)


if __name__ == "__main__":
    sys.exit(main())
