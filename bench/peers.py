#!/usr/bin/python3
"""Loopback peers for the benchmarks. Each prints "READY <port>" once it
listens on 127.0.0.1 and serves until it is killed (or its one job is done).

ftp ROOT USER PASSWORD     pyftpdlib, files sent with sendfile()
silent                     a telnet port whose connections never complete:
                           its accept queue is kept full and never served
prompt PROMPT              accepts one connection, sends PROMPT, reads two
                           lines (user name, dump command), then hangs up
"""
import socket
import sys
import time


def ftp(root, user, password):
    import logging

    from pyftpdlib.authorizers import DummyAuthorizer
    from pyftpdlib.handlers import FTPHandler
    from pyftpdlib.servers import FTPServer

    logging.getLogger("pyftpdlib").setLevel(logging.WARNING)
    authorizer = DummyAuthorizer()
    authorizer.add_user(user, password, root, perm="elr")
    FTPHandler.authorizer = authorizer
    server = FTPServer(("127.0.0.1", 0), FTPHandler)
    print("READY %d" % server.socket.getsockname()[1], flush=True)
    server.serve_forever(handle_exit=True)


def silent():
    listener = socket.socket()
    listener.bind(("127.0.0.1", 0))
    listener.listen(0)
    port = listener.getsockname()[1]
    # One connection that is never accepted fills the queue; further SYNs
    # are dropped, so a client waits as for a host that does not answer.
    keep = socket.create_connection(("127.0.0.1", port))
    print("READY %d" % port, flush=True)
    while True:
        time.sleep(3600)
    del keep


def prompt(text):
    listener = socket.socket()
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", 0))
    listener.listen(1)
    print("READY %d" % listener.getsockname()[1], flush=True)
    conn, _ = listener.accept()
    conn.sendall(text.encode())
    received = b""
    while received.count(b"\n") < 2:
        data = conn.recv(4096)
        if not data:
            break
        received += data
    print("GOT %d bytes" % len(received), flush=True)
    conn.close()


def main():
    mode = sys.argv[1]
    if mode == "ftp":
        ftp(*sys.argv[2:5])
    elif mode == "silent":
        silent()
    elif mode == "prompt":
        prompt(sys.argv[2])
    else:
        sys.exit("unknown mode " + mode)


if __name__ == "__main__":
    main()
