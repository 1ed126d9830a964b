#!/usr/bin/python3
"""Holds COUNT TCP sockets open on the loopback of the namespace it runs in.

COUNT/2 connections to a listener on 127.0.0.1 (or ::1 with FAMILY 6), each
giving two sockets (the connecting one and the accepted one), so the TCP
table of that protocol has COUNT rows more. Usage: sockets.py COUNT [4|6].
Prints "ready COUNT" once they are all open and keeps them until it is sent
SIGTERM (tools/bench stops it by its process id).
"""
import resource
import signal
import socket
import struct
import sys

# Closed with a reset: no TIME_WAIT rows are left for the next run to see.
NO_LINGER = struct.pack("ii", 1, 0)


def main() -> int:
    count = int(sys.argv[1])
    family, loopback = (socket.AF_INET6, "::1") if sys.argv[2:3] == ["6"] else (socket.AF_INET, "127.0.0.1")
    # Every socket is a file; room for all of them and some more.
    _, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
    want = count + 256
    if hard != resource.RLIM_INFINITY and hard < want:
        resource.setrlimit(resource.RLIMIT_NOFILE, (want, want))
    else:
        resource.setrlimit(resource.RLIMIT_NOFILE, (want, hard))
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))

    listener = socket.socket(family, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind((loopback, 0))
    listener.listen(1024)
    port = listener.getsockname()[1]
    held = []
    for _ in range(count // 2):
        client = socket.create_connection((loopback, port))
        server, _ = listener.accept()
        for s in (client, server):
            s.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, NO_LINGER)
        held += [client, server]
    print(f"ready {len(held)}", flush=True)
    while True:
        signal.pause()


if __name__ == "__main__":
    sys.exit(main())
