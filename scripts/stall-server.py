#!/usr/bin/env python3
"""A loopback HTTP peer that accepts one connection and never answers.

    stall-server.py PORT_FILE ACCEPTED_FILE SECONDS

Writes the port it listens on (127.0.0.1 only) to PORT_FILE, creates
ACCEPTED_FILE once a client has connected and sent its request, then holds
the connection open until SECONDS have passed or the process is ended; the
client then sees the connection close without a reply. The Windows build
script uses it to keep a zelk.exe waiting in its update check, so that the
first instance verifiably holds its single-instance claim while a second one
starts.
"""
import os
import socket
import sys
import time


def main() -> int:
    port_file, accepted_file, seconds = sys.argv[1], sys.argv[2], float(sys.argv[3])
    deadline = time.monotonic() + seconds
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as server:
        server.bind(("127.0.0.1", 0))
        server.listen(4)
        tmp = port_file + ".tmp"
        with open(tmp, "w", encoding="ascii") as f:
            f.write(str(server.getsockname()[1]))
        os.replace(tmp, port_file)
        server.settimeout(max(0.1, deadline - time.monotonic()))
        try:
            conn, _ = server.accept()
        except socket.timeout:
            return 1
        with conn:
            conn.settimeout(max(0.1, deadline - time.monotonic()))
            try:
                conn.recv(4096)  # the request line and headers; no answer follows
            except socket.timeout:
                return 1
            open(accepted_file, "w", encoding="ascii").close()
            remaining = deadline - time.monotonic()
            if remaining > 0:
                time.sleep(remaining)
    return 0


if __name__ == "__main__":
    sys.exit(main())
