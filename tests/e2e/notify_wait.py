#!/usr/bin/python3
"""Waits for a service's readiness message (the sd_notify protocol).

Binds a datagram socket at PATH, prints "LISTENING NAME", then blocks until
a datagram holding READY=1 arrives and prints "READY NAME"; after TIMEOUT
seconds without it, prints "TIMEOUT NAME" and exits 1. Start the service
with NOTIFY_SOCKET=PATH after the LISTENING line.
"""
import socket
import sys
import time


def main():
    path, name, timeout = sys.argv[1], sys.argv[2], float(sys.argv[3])
    sock = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM)
    sock.bind(path)
    print("LISTENING %s" % name, flush=True)
    deadline = time.monotonic() + timeout
    while True:
        left = deadline - time.monotonic()
        if left <= 0:
            print("TIMEOUT %s" % name, flush=True)
            return 1
        sock.settimeout(left)
        try:
            message = sock.recv(4096)
        except socket.timeout:
            continue
        if b"READY=1" in message.split(b"\n"):
            print("READY %s" % name, flush=True)
            return 0


if __name__ == "__main__":
    sys.exit(main())
