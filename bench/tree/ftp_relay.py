#!/usr/bin/env python3
"""A network with latency between an FTP client and a server on this machine.

Listens on 127.0.0.1 and forwards every control connection to the server, and every passive
data connection too: each 227 (PASV) and 229 (EPSV) reply is rewritten to a port of the
relay's own, which forwards the one data connection that arrives there. Every chunk is held
for the one-way delay before it goes on, in each direction, so that a command and its reply
cost a round trip of twice the delay. The loopback handshake costs nothing, so the relay
opens its own connection to the server one round trip after it accepted the client's, as a
handshake over a network would take. Bandwidth is not limited. Active mode is not relayed.

  ftp_relay.py --server-port P --delay-ms 2 --port-file FILE
"""
import argparse
import asyncio
import collections
import os
import re
import socket

HOST = "127.0.0.1"
PASV = re.compile(rb"^227 .*?(\d+),(\d+),(\d+),(\d+),(\d+),(\d+)")
EPSV = re.compile(rb"^229 .*?\((.)\1\1(\d+)\1\)")


class End(asyncio.Protocol):
    """One socket of a relayed pair; what it receives goes out of its peer after the delay."""

    def __init__(self, delay, rewrite=None, peer=None, on_made=None):
        self.loop = asyncio.get_running_loop()
        self.on_made = on_made  # called with this end once its socket is there
        self.delay = delay
        self.rewrite = rewrite  # control replies: whole lines, rewritten before they queue
        self.lines = b""
        self.transport = None
        self.peer = peer
        self.queue = collections.deque()  # (due, bytes, or None for the end of the stream)
        self.timer = None
        self.closed = False
        self.ended = False  # the peer's end of stream has been passed on here
        self.early = []  # what arrived before the peer was connected

    def connection_made(self, transport):
        self.transport = transport
        if self.on_made is not None:
            self.on_made(self)

    def data_received(self, data):
        if self.rewrite is not None:
            self.lines += data
            cut = self.lines.rfind(b"\n") + 1
            data, self.lines = self.lines[:cut], self.lines[cut:]
            data = b"".join(self.rewrite(line) for line in data.splitlines(True))
        if data:
            self.pass_on(data)

    def eof_received(self):
        self.pass_on(None)
        return True  # the other direction stays open until it ends too

    def pass_on(self, data):
        if self.peer is None:
            self.early.append(data)
        else:
            self.peer.send_later(data)

    def connection_lost(self, exc):
        self.closed = True
        if self.peer is not None and exc is not None:
            self.peer.transport.abort()

    # The peer's bytes, written here once their delay has passed, in order.
    def send_later(self, data):
        self.queue.append((self.loop.time() + self.delay, data))
        if self.timer is None:
            self.timer = self.loop.call_at(self.queue[0][0], self.flush)

    def flush(self):
        self.timer = None
        now = self.loop.time()
        while self.queue and self.queue[0][0] <= now:
            _, data = self.queue.popleft()
            if self.closed:
                continue
            if data is None:
                self.transport.write_eof()
                self.ended = True
                if self.peer.ended:  # both directions are over
                    self.transport.close()
                    self.peer.transport.close()
            else:
                self.transport.write(data)
        if self.queue:
            self.timer = self.loop.call_at(self.queue[0][0], self.flush)

    # Back-pressure: a slow reader at one end slows the sender at the other.
    def pause_writing(self):
        self.peer.transport.pause_reading()

    def resume_writing(self):
        self.peer.transport.resume_reading()


class Relay:
    def __init__(self, server_port, delay):
        self.loop = asyncio.get_running_loop()
        self.server_port = server_port
        self.delay = delay

    def accept(self, port, rewrite=None, on_accept=None):
        """A factory for the client's end; the server's end connects a round trip later."""

        def made(client):
            if on_accept is not None:
                on_accept()
            self.loop.call_later(2 * self.delay, self.connect, client, port, rewrite)

        return lambda: End(self.delay, on_made=made)

    def connect(self, client, port, rewrite):
        async def run():
            try:
                _, server = await self.loop.create_connection(
                    lambda: End(self.delay, rewrite, peer=client), HOST, port
                )
            except OSError:
                client.transport.close()
                return
            client.peer = server
            if client.closed and not client.early:
                server.transport.close()
            for data in client.early:
                server.send_later(data)

        self.loop.create_task(run())

    def data_port(self, server_port):
        """A port of the relay's own that forwards its first connection to server_port."""
        listening = socket.socket()
        listening.bind((HOST, 0))
        listening.listen(1)
        port = listening.getsockname()[1]
        holder = []

        def close():
            if holder:
                holder[0].close()

        async def serve():
            holder.append(
                await self.loop.create_server(
                    self.accept(server_port, on_accept=close), sock=listening
                )
            )

        self.loop.create_task(serve())
        return port

    def rewrite(self, line):
        match = PASV.match(line)
        if match:
            port = self.data_port(int(match.group(5)) * 256 + int(match.group(6)))
            text = b"127,0,0,1,%d,%d" % (port // 256, port % 256)
            return line[: match.start(1)] + text + line[match.end(6) :]
        match = EPSV.match(line)
        if match:
            port = self.data_port(int(match.group(2)))
            return line[: match.start(2)] + b"%d" % port + line[match.end(2) :]
        return line


async def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--server-port", type=int, required=True)
    parser.add_argument("--delay-ms", type=float, default=2.0)
    parser.add_argument("--port-file", required=True)
    args = parser.parse_args()
    relay = Relay(args.server_port, args.delay_ms / 1000.0)
    server = await relay.loop.create_server(
        relay.accept(args.server_port, relay.rewrite), HOST, 0
    )
    with open(args.port_file + ".part", "w") as out:
        out.write(str(server.sockets[0].getsockname()[1]))
    os.replace(args.port_file + ".part", args.port_file)
    await server.serve_forever()


if __name__ == "__main__":
    asyncio.run(main())
