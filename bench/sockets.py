#!/usr/bin/python3
"""Holds COUNT TCP sockets open on the loopback of the namespace it runs in.

COUNT/2 connections to a listener on 127.0.0.1, each giving two sockets (the
connecting one and the accepted one), so the TCP table has COUNT rows more.
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
    # Every socket is a file; room for all of them and some more.
    _, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
    want = count + 256
    if hard != resource.RLIM_INFINITY and hard < want:
        resource.setrlimit(resource.RLIMIT_NOFILE, (want, want))
    else:
        resource.setrlimit(resource.RLIMIT_NOFILE, (want, hard))
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))

    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", 0))
    listener.listen(1024)
    port = listener.getsockname()[1]
    held = []
    for _ in range(count // 2):
        client = socket.create_connection(("127.0.0.1", port))
        server, _ = listener.accept()
        for s in (client, server):
            s.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, NO_LINGER)
        held += [client, server]
    print(f"ready {len(held)}", flush=True)
    while True:
        signal.pause()


if __name__ == "__main__":
    sys.exit(main())
