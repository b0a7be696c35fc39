#!/usr/bin/env python3
"""The network benchmark's anchor: a plain asyncio echo server for framed
messages (a 4-byte little-endian body length, then the body), each message
sent back as it came. Listens on 127.0.0.1 and prints the same first line as
net_echo: "listening on 127.0.0.1:PORT". Runs until it is terminated."""
import asyncio
import struct
import sys


class FramedEcho(asyncio.Protocol):
    def connection_made(self, transport):
        self.transport = transport
        self.pending = bytearray()

    def data_received(self, data):
        self.pending += data
        end = 0
        while len(self.pending) - end >= 4:
            (length,) = struct.unpack_from("<I", self.pending, end)
            if len(self.pending) - end - 4 < length:
                break
            end += 4 + length
        if end:
            self.transport.write(bytes(self.pending[:end]))
            del self.pending[:end]


async def main():
    server = await asyncio.get_running_loop().create_server(FramedEcho, "127.0.0.1", 0)
    print("listening on 127.0.0.1:%d" % server.sockets[0].getsockname()[1], flush=True)
    async with server:
        await server.serve_forever()


if __name__ == "__main__":
    try:
        asyncio.run(main())
    except KeyboardInterrupt:
        sys.exit(0)
