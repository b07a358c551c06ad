#!/usr/bin/python3
"""Loopback FTP server for the retrieval tests (pyftpdlib).

Serves --root to one user, writes every command verb it receives to --log,
and prints "READY <port>" on stdout once it listens on 127.0.0.1.

--active refuse  answers PORT and EPRT with an error
--active silent  accepts PORT and EPRT but never connects back
--cut-off NAME   RETR NAME sends half the file, then drops both connections
--short-size NAME  SIZE NAME reports 100 bytes less than the file holds
--cert FILE --key FILE  explicit TLS (AUTH TLS) required for login and data
"""
import argparse
import socket
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler, FileProducer
from pyftpdlib.servers import FTPServer


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True)
    parser.add_argument("--user", required=True)
    parser.add_argument("--password", required=True)
    parser.add_argument("--log", required=True)
    parser.add_argument("--active", choices=["normal", "refuse", "silent"], default="normal")
    parser.add_argument("--cut-off", default="")
    parser.add_argument("--short-size", default="")
    parser.add_argument("--cert", default="")
    parser.add_argument("--key", default="")
    args = parser.parse_args()

    base = FTPHandler
    if args.cert:
        from pyftpdlib.handlers import TLS_FTPHandler
        base = TLS_FTPHandler
        base.certfile = args.cert
        base.keyfile = args.key
        base.tls_control_required = True
        base.tls_data_required = True

    log = open(args.log, "a", buffering=1)

    class CutOffProducer(FileProducer):
        """Hands out half of the file, then drops the data and control
        connections the way a dying server or a lost line would."""

        def __init__(self, handler, file, type):
            super().__init__(file, type)
            self.handler = handler
            self.file.seek(0, 2)
            self.left = self.file.tell() // 2
            self.file.seek(0)

        def more(self):
            if self.left > 0:
                data = self.file.read(min(self.buffer_size, self.left))
                self.left -= len(data)
                return data
            for channel in (self.handler.data_channel, self.handler):
                try:
                    channel.socket.shutdown(socket.SHUT_RDWR)
                except (OSError, AttributeError):
                    pass
            raise OSError("connection dropped by the test server")

    class Handler(base):
        auth_failed_timeout = 0  # answer a wrong password at once
        use_sendfile = False     # every byte goes through the producers below

        def pre_process_command(self, line, cmd, arg):
            log.write(cmd + "\n")
            return super().pre_process_command(line, cmd, arg)

        def ftp_PORT(self, line):
            if args.active == "refuse":
                self.respond("500 Active mode is not available.")
            elif args.active == "silent":
                self.respond("200 Active data connection established.")
            else:
                super().ftp_PORT(line)

        def ftp_EPRT(self, line):
            if args.active == "refuse":
                self.respond("500 Active mode is not available.")
            elif args.active == "silent":
                self.respond("200 Active data connection established.")
            else:
                super().ftp_EPRT(line)

        def ftp_SIZE(self, path):
            if args.short_size and path.endswith("/" + args.short_size):
                self.respond("213 %d" % max(0, self.fs.getsize(path) - 100))
                return
            return super().ftp_SIZE(path)

        def ftp_RETR(self, file):
            if args.cut_off and file.endswith("/" + args.cut_off):
                try:
                    fd = self.run_as_current_user(self.fs.open, file, "rb")
                except OSError as err:
                    self.respond("550 %s." % err.strerror)
                    return
                producer = CutOffProducer(self, fd, self._current_type)
                self.push_dtp_data(producer, isproducer=True, file=fd, cmd="RETR")
                return file
            return super().ftp_RETR(file)

    authorizer = DummyAuthorizer()
    authorizer.add_user(args.user, args.password, args.root, perm="elrd")
    Handler.authorizer = authorizer

    server = FTPServer(("127.0.0.1", 0), Handler)
    print("READY %d" % server.socket.getsockname()[1], flush=True)
    server.serve_forever(handle_exit=True)


if __name__ == "__main__":
    sys.exit(main())
