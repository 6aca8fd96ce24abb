"""A UDP relay that loses, duplicates and reorders TFTP datagrams between
clients and a TFTP server on loopback (the kernel here has no netem).

Clients send their requests to the relay's request port. For every client the
relay talks to the server from a socket of its own ("upstream"), so the server
sees one peer per client; for every port the server answers from, the relay
answers the clients from a socket of its own ("downstream"), so a client sees
one consistent peer per transfer, as it would without the relay.

Besides relaying, the relay watches what the server sends: it counts every
DATA block the server sends again within `quick` seconds of sending it
before. A retransmission on the server's timer comes only after its timeout,
so a quick repeat means a packet (a duplicated acknowledgement, say) made
the server send the block twice. Block 1 is left out: a repeated request is
rightly answered with the first block again. Transfers that asked for a
window are left out too: an acknowledgement inside a window rightly starts
the window again at once. For every client the relay also counts the DATA
datagrams the server sent it (`data_sent`).

`duplicate_acks` repeats that share of the clients' acknowledgements on top
of `duplicate`, and only those, so that a run can show what duplicated
acknowledgements alone do.
"""
import random
import selectors
import socket
import struct
import threading
import time


class LossyRelay:
    def __init__(self, server_port, loss=0.10, duplicate=0.05, reorder=0.03, delay=0.02, quick=0.3, seed=1,
                 duplicate_acks=0.0):
        self.server_port = server_port
        self.duplicate_acks = duplicate_acks
        self.windowed = set()  # clients whose request asked for a window
        self.data_sent = {}    # client address -> DATA datagrams the server sent it
        self.loss, self.duplicate, self.reorder, self.delay, self.quick = loss, duplicate, reorder, delay, quick
        self.random = random.Random(seed)
        self.selector = selectors.DefaultSelector()
        self.request = self._socket()
        self.port = self.request.getsockname()[1]
        self.selector.register(self.request, selectors.EVENT_READ, ("request", None))
        self.upstream = {}     # client address -> socket towards the server
        self.downstream = {}   # server port -> socket towards the clients
        self.delayed = []      # (due time, socket, data, address)
        self.counts = {"relayed": 0, "dropped": 0, "duplicated": 0, "reordered": 0, "quick_data_repeats": 0}
        self.last_data = {}    # (client, server port, block) -> time the server last sent it
        self.stopping = False
        self.thread = threading.Thread(target=self._run, daemon=True)

    def start(self):
        self.thread.start()
        return self

    def stop(self):
        self.stopping = True
        self.thread.join(5)
        self.selector.close()
        for s in [self.request] + list(self.upstream.values()) + list(self.downstream.values()):
            s.close()

    @staticmethod
    def _socket():
        s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        s.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4 << 20)
        s.bind(("127.0.0.1", 0))
        s.setblocking(False)
        return s

    def _upstream(self, client):
        s = self.upstream.get(client)
        if s is None:
            s = self.upstream[client] = self._socket()
            self.selector.register(s, selectors.EVENT_READ, ("up", client))
        return s

    def _downstream(self, server_port):
        s = self.downstream.get(server_port)
        if s is None:
            s = self.downstream[server_port] = self._socket()
            self.selector.register(s, selectors.EVENT_READ, ("down", server_port))
        return s

    def _forward(self, sock, data, address, ack=False):
        """Sends data through the unreliable link: lost, repeated or held back."""
        self.counts["relayed"] += 1
        roll = self.random.random()
        if roll < self.loss:
            self.counts["dropped"] += 1
            return
        duplicate = self.duplicate + (self.duplicate_acks if ack else 0.0)
        copies = 2 if self.random.random() < duplicate else 1
        self.counts["duplicated"] += copies - 1
        for _ in range(copies):
            if self.random.random() < self.reorder:
                self.counts["reordered"] += 1
                self.delayed.append((time.monotonic() + self.delay, sock, data, address))
            else:
                self._send(sock, data, address)

    @staticmethod
    def _send(sock, data, address):
        try:
            sock.sendto(data, address)
        except OSError:
            pass

    def _watch_server(self, client, server_port, data):
        if len(data) < 4 or struct.unpack("!H", data[:2])[0] != 3:
            return
        self.data_sent[client] = self.data_sent.get(client, 0) + 1
        if client in self.windowed:
            return
        block = struct.unpack("!H", data[2:4])[0]
        key = (client, server_port, block)
        now = time.monotonic()
        before = self.last_data.get(key)
        if before is not None and block != 1 and now - before < self.quick:
            self.counts["quick_data_repeats"] += 1
        self.last_data[key] = now

    def _run(self):
        while not self.stopping:
            now = time.monotonic()
            due = [d for d in self.delayed if d[0] <= now]
            self.delayed = [d for d in self.delayed if d[0] > now]
            for _, sock, data, address in due:
                self._send(sock, data, address)
            for key, _ in self.selector.select(0.005):
                kind, tag = key.data
                while True:
                    try:
                        data, address = key.fileobj.recvfrom(70000)
                    except (BlockingIOError, OSError):
                        break
                    if kind == "request":
                        # A request: on to the server's request port.
                        if b"windowsize" in data.lower():
                            self.windowed.add(address)
                        self._forward(self._upstream(address), data, ("127.0.0.1", self.server_port))
                    elif kind == "up":
                        # The server to a client, from the transfer's port.
                        self._watch_server(tag, address[1], data)
                        self._forward(self._downstream(address[1]), data, tag)
                    else:
                        # A client to the server's transfer port.
                        is_ack = len(data) >= 2 and struct.unpack("!H", data[:2])[0] == 4
                        self._forward(self._upstream(address), data, ("127.0.0.1", tag), ack=is_ack)
