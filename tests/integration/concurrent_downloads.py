#!/usr/bin/python3
"""Runs many TFTP downloads at once from one process (one UDP socket per
download, lock-step RFC 1350 client with retransmission) and checks every
byte. Usage: concurrent_downloads.py PORT FILE EXPECTED_PATH COUNT"""
import select
import socket
import struct
import sys
import time

port, name, expected_path, count = int(sys.argv[1]), sys.argv[2], sys.argv[3], int(sys.argv[4])
expected = open(expected_path, "rb").read()


class Download:
    def __init__(self):
        self.sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.sock.bind(("127.0.0.1", 0))
        self.sock.setblocking(False)
        self.data = bytearray()
        self.block = 0
        self.peer = None
        self.done = False
        self.last = struct.pack("!H", 1) + name.encode() + b"\0octet\0"
        self.last_to = ("127.0.0.1", port)
        self.sent_at = time.time()
        self.send(self.last, self.last_to)

    def send(self, packet, to):
        self.last, self.last_to, self.sent_at = packet, to, time.time()
        self.sock.sendto(packet, to)

    def receive(self):
        packet, peer = self.sock.recvfrom(70000)
        op, block = struct.unpack("!HH", packet[:4])
        if op == 5:
            raise SystemExit("error from server: %r" % packet[4:])
        if op != 3:
            return
        if self.peer is None:
            self.peer = peer
        if block == (self.block + 1) & 0xFFFF:
            self.block = block
            self.data += packet[4:]
            if len(packet) - 4 < 512:
                self.done = True
        self.send(struct.pack("!HH", 4, block), self.peer)


downloads = [Download() for _ in range(count)]
by_fd = {d.sock.fileno(): d for d in downloads}
deadline = time.time() + 120
while not all(d.done for d in downloads):
    if time.time() > deadline:
        raise SystemExit("timed out with %d downloads unfinished" % sum(not d.done for d in downloads))
    ready, _, _ = select.select(list(by_fd), [], [], 0.2)
    for fd in ready:
        by_fd[fd].receive()
    now = time.time()
    for d in downloads:
        if not d.done and now - d.sent_at > 2:
            d.send(d.last, d.last_to)
bad = [i for i, d in enumerate(downloads) if bytes(d.data) != expected]
if bad:
    raise SystemExit("%d downloads differ, first %d" % (len(bad), bad[0]))
print("%d concurrent downloads of %d bytes all correct" % (count, len(expected)))
