#!/usr/bin/env python3
"""Talks to net_echo with Python's own sockets, so the framing is checked
against a peer that is not the library: messages of 0, 1, 4 KiB and 8 MiB,
length words and bodies split over many writes, many messages at once, and a
hostile length that must make the server drop the connection.
Usage: echo_client.py PORT. Exit status 0 when everything came back right."""
import socket
import struct
import sys
import time

DEADLINE = time.monotonic() + 60


def frame(body):
    return struct.pack("<I", len(body)) + body


def read_exactly(sock, count):
    data = bytearray()
    while len(data) < count:
        if time.monotonic() > DEADLINE:
            raise TimeoutError("echo too slow")
        chunk = sock.recv(count - len(data))
        if not chunk:
            raise ConnectionError("server closed the connection")
        data += chunk
    return bytes(data)


def read_echo(sock, expected):
    """Reads framed messages until their bodies make up `expected`; the server
    may join or split messages, but every frame must be well formed."""
    got = bytearray()
    while len(got) < len(expected):
        (length,) = struct.unpack("<I", read_exactly(sock, 4))
        if len(got) + length > len(expected):
            raise ValueError("frame of %d bytes runs past the data sent" % length)
        got += read_exactly(sock, length)
    if bytes(got) != expected:
        raise ValueError("echoed bytes differ")


def pattern(size, seed):
    return bytes((i * 31 + seed) & 0xFF for i in range(size)) if size < 65536 else \
        (bytes(range(256)) * (size // 256 + 1))[:size]


def main():
    port = int(sys.argv[1])
    with socket.create_connection(("127.0.0.1", port), timeout=30) as sock:
        sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        # A zero-length message is a bare length word; it echoes nothing.
        sock.sendall(frame(b""))
        for size in (1, 4096, 8 << 20):
            body = pattern(size, size & 0xFF)
            sock.sendall(frame(body))
            read_echo(sock, body)
        # One message dribbled out a byte at a time, length word included.
        body = pattern(10, 7)
        for byte in frame(body):
            sock.sendall(bytes([byte]))
            time.sleep(0.002)
        read_echo(sock, body)
        # Many messages in one write.
        bodies = [pattern(100 + i, i) for i in range(300)]
        sock.sendall(b"".join(frame(b) for b in bodies))
        read_echo(sock, b"".join(bodies))

    # A length the server must refuse: it closes the connection.
    with socket.create_connection(("127.0.0.1", port), timeout=30) as sock:
        sock.sendall(struct.pack("<I", 0xFFFFFFFF) + b"abc")
        sock.settimeout(10)
        try:
            rest = sock.recv(1)
        except ConnectionResetError:
            rest = b""
        if rest != b"":
            raise ValueError("server answered a hostile length")
    print("echo client: all messages came back")
    return 0


if __name__ == "__main__":
    sys.exit(main())
