#!/usr/bin/python3
"""End-to-end tests of transfer events and the console's service commands on
loopback: the real zelvo-tftpd loading the local file system, the console and
the UDP event publisher; the real zelvo-console client; curl downloads; a UDP
event listener and a raw-UDP TFTP client that stops acknowledging.

Usage: events_test.py DAEMON CONSOLE PLUGIN_DIR
"""
import os
import re
import socket
import struct
import sys
import time

import daemon_harness as harness
from daemon_harness import Daemon, Raw, check, command, curl, free_port, nak_of, wait_for

harness.setup("zelvo-events-it-")
WORK = harness.WORK
ALL_PLUGINS = "zelvo_local_fs,tftp_rconsole,zelvo_udp_publisher"
NO_PUBLISHER = "The publisher plugin is not loaded"
BIG_BLOCKS = 2000


def named(event, name):
    """True for the events of a request for name (curl sends it with a leading '/')."""
    return event.get("req_file", "").lstrip("/") == name


class Listener:
    """A UDP socket collecting the publisher's datagrams as key=value maps."""

    def __init__(self):
        self.sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.sock.bind(("127.0.0.1", 0))
        self.port = self.sock.getsockname()[1]
        self.events = []

    def drain(self, seconds):
        """Collects what arrives within the next seconds; returns the new events."""
        new = []
        end = time.monotonic() + seconds
        while True:
            left = end - time.monotonic()
            if left <= 0:
                break
            self.sock.settimeout(left)
            try:
                data = self.sock.recv(65536)
            except socket.timeout:
                break
            lines = data.decode(errors="replace").rstrip("\n").split("\n")
            event = {"_first": lines[0]}
            for line in lines:
                key, _, value = line.partition("=")
                event[key] = value
            new.append(event)
        self.events += new
        return new

    def until(self, predicate, seconds):
        """Collects until an event satisfies predicate; returns it or None."""
        end = time.monotonic() + seconds
        seen = len(self.events)
        while time.monotonic() < end:
            self.drain(0.2)
            for event in self.events[seen:]:
                if predicate(event):
                    return event
        return None


# ------------------------------------------------------------ UDP subscribers

def test_subscribe(d, listener):
    result = command(d, "subscribe\nport=%d\ntag=it-events\nclass=transfer" % listener.port)
    check(result[0] == 0, "subscribe with port=, tag=, class= is acked", repr(result))

    target = os.path.join(WORK, "small.out")
    check(curl(d, "small.bin", target) == 0 and open(target, "rb").read() == d.small,
          "curl downloads small.bin while subscribed")
    listener.until(lambda e: named(e, "small.bin") and e.get("state") == "complete", 10)
    listener.drain(0.5)   # the rest of the transfer's events, if any
    mine = [e for e in listener.events if named(e, "small.bin")]
    states = [e.get("state") for e in mine]
    last = mine[-1] if mine else {}
    check(last.get("state") == "complete" and last.get("status") == "success" and last.get("operation") == "transmit"
          and last.get("eof") == "true" and last.get("tsize") == "3000" and last.get("fd") == "0"
          and last.get("file") == os.path.join(d.root, "small.bin"),
          "subscriber: the download's last event is complete with status success", repr(last))
    check(len(mine) >= 3 and all(e["_first"] == "tag=it-events" and "replay" not in e for e in mine)
          and len({e.get("id") for e in mine}) == 1 and "complete" not in states[:states.index("complete")]
          and set(states[states.index("complete"):]) == {"complete"}
          and {e.get("status") for e in mine if e.get("state") == "complete"} == {"success"},
          "subscriber: every datagram starts with the tag, live, one transfer id, the final state at the end"
          " (from the last pass, and again when the engine drops the transfer)",
          repr(states))
    sequences = [int(e["event_sequence"]) for e in mine if e.get("event_sequence", "").isdigit()]
    check(bool(mine) and len(sequences) == len(mine) and sequences == list(range(sequences[0], sequences[0] + len(mine))),
          "subscriber: event sequence numbers rise by one", repr(sequences))

    result = command(d, "subscribe")
    check(nak_of(result) == "Subscription requires a 'port=' setting.", "subscribe without port= naks", repr(result))
    result = command(d, "subscribe\nendpoint=not-an-address\nport=9")
    check(nak_of(result) == "Endpoint 'not-an-address' is not does not contain a valid ip address.",
          "subscribe with a bad endpoint naks", repr(result))

    result = command(d, "archive_count")
    archived = result[1].get("archived", "")
    check(result[0] == 0 and archived.isdigit() and int(archived) >= len(mine)
          and result[1].get("subscribers") == "1",
          "archive_count: the sent events archived, one subscriber", repr(result[1]))

    result = command(d, "unsubscribe\nport=%d" % listener.port)
    check(result[0] == 0, "unsubscribe is acked", repr(result))
    listener.drain(0.5)   # anything still on its way from before
    check(curl(d, "small.bin", target) == 0, "curl downloads small.bin after unsubscribing")
    check(listener.drain(1.5) == [], "unsubscribed: a download brings no datagram")


# ------------------------------------------------- abort and open file count

class SlowClient:
    """Raw-UDP TFTP reader that acknowledges the option reply only: the server
    keeps retransmitting block 1 until it gives up or is aborted."""

    def __init__(self, d, name):
        self.sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.sock.bind(("127.0.0.1", 0))
        self.sock.settimeout(10)
        self.sock.sendto(b"\x00\x01" + name.encode() + b"\x00octet\x00blksize\x00512\x00", ("127.0.0.1", d.tftp_port))
        packet, self.server = self.sock.recvfrom(65536)
        self.first = packet
        if packet[:2] == b"\x00\x06":   # OACK: acknowledge block 0 to get block 1
            self.sock.sendto(b"\x00\x04\x00\x00", self.server)
            self.first = self.sock.recv(65536)

    def wait_error(self, seconds):
        """The next ERROR packet (code, message); DATA retransmissions are skipped."""
        end = time.monotonic() + seconds
        while time.monotonic() < end:
            self.sock.settimeout(max(0.05, end - time.monotonic()))
            try:
                packet = self.sock.recv(65536)
            except socket.timeout:
                break
            if packet[:2] == b"\x00\x05":
                return struct.unpack("!H", packet[2:4])[0], packet[4:].split(b"\x00", 1)[0].decode(errors="replace")
        return None

    def close(self):
        self.sock.close()


def fd_count(d):
    result = command(d, "fd_count")
    count = result[1].get("count", "")
    return int(count) if result[0] == 0 and count.isdigit() else -1


def test_abort(d, listener):
    result = command(d, "subscribe\nport=%d" % listener.port)
    check(result[0] == 0, "subscribe again without a tag", repr(result))
    replayed = listener.drain(1.0)
    check(len(replayed) >= 3 and all(e["_first"] == "replay=true" and named(e, "small.bin") for e in replayed),
          "a new subscriber first gets the archived events, marked replay=true, without a tag",
          repr([e["_first"] for e in replayed]))
    watcher = Raw(d.port)
    check(watcher.command(b"watch\n\n") == b"code=ack\n\n", "watch on a clear console connection is acked")
    slow = SlowClient(d, "big.bin")
    try:
        seen = watcher.read_until(lambda b: re.search(rb"(^|\n)req_file=/?big\.bin\n", b) is not None
                                  and b.endswith(b"\n-\n\n"))
        watched = re.search(rb"(?:^|\n)event_type=modify\n(?:[^\n]+\n)*?id=(\d+)\n(?:[^\n]+\n)*?req_file=/?big\.bin\n"
                            rb"(?:[^\n]+\n)*-\n\n", seen)
        check(watched is not None and b"code=" not in seen, "watch: the running transfer's events arrive as blocks",
              repr(seen[-600:]))
        check(slow.first[:4] == b"\x00\x03\x00\x01" and len(slow.first) == 4 + 512,
              "slow client: block 1 of 512 bytes arrives", repr(slow.first[:8]))
        running = listener.until(lambda e: named(e, "big.bin") and e.get("id", "").isdigit(), 10)
        check(running is not None and running.get("state") != "complete" and running.get("blksize") == "512"
              and running["_first"] == "event_type=modify",
              "events of the running transfer carry its id, no tag line", repr(running))
        count = fd_count(d)
        check(count >= 1, "fd_count is at least 1 while the slow transfer runs", "count=%d" % count)

        result = command(d, "abort")
        check(nak_of(result) == "No transfer id specified.", "abort without id naks", repr(result))
        result = command(d, "abort\nid=4000000000")
        check(nak_of(result) == "No such transfer id.", "abort of an unknown id naks", repr(result))
        if running is None:
            return
        tid = running["id"]
        check(watched is not None and watched.group(1).decode() == tid,
              "watch and the UDP events name the same transfer id", tid)
        result = command(d, "abort\nid=" + tid)
        check(result[0] == 0, "abort of the running transfer is acked", repr(result))
        error = slow.wait_error(10)
        check(error is not None and error[1] == "Transfer aborted",
              "slow client receives ERROR 'Transfer aborted'", repr(error))
        last = listener.until(lambda e: e.get("id") == tid and e.get("state") == "complete", 10)
        listener.drain(0.5)
        finals = [e for e in listener.events if e.get("id") == tid and e.get("state") == "complete"]
        check(last is not None and finals and all(e.get("status") == "Transfer aborted" for e in finals),
              "the aborted transfer ends complete, status Transfer aborted", repr(finals))
        result = command(d, "abort\nid=" + tid)
        check(nak_of(result) == "No such transfer id.", "abort of the same id again naks", repr(result))
        check(wait_for(lambda: fd_count(d) == 0, 10), "fd_count is 0 after the abort", "count=%d" % fd_count(d))
    finally:
        slow.close()
        watcher.close()


# -------------------------------------------------------------------- plug-ins

def plugins_of(d):
    result = command(d, "get_plugins")
    return result[0], {k: v for k, v in result[1].items() if k != "code"}


def make_daemon():
    d = Daemon("events", encryption=False, plugins=ALL_PLUGINS,
               extra="tftp.access.allow=true\ntftp.timeout=2s\ntftp.max_retransmits=20\nudp_publisher.latency=50ms\n")
    d.root = os.path.join(d.dir, "root")
    d.small = os.urandom(3000)
    with open(os.path.join(d.root, "small.bin"), "wb") as f:
        f.write(d.small)
    with open(os.path.join(d.root, "big.bin"), "wb") as f:
        f.write(os.urandom(512 * BIG_BLOCKS))
    return d


def main():
    started = time.monotonic()
    try:
        d = make_daemon().start()
        try:
            code, plugins = plugins_of(d)
            check(code == 0 and set(plugins) == {"Local File System", "Remote Console", "UDP Event Publisher"}
                  and plugins.get("UDP Event Publisher") == "CIUDPPublisherFactory",
                  "get_plugins lists the three loaded plug-ins", repr(plugins))
            listener = Listener()
            test_subscribe(d, listener)
            test_abort(d, listener)
        finally:
            d.stop("daemon with the publisher stops cleanly")

        # Again without the publisher.
        d.replace(re.compile(r"^system\.plugins=.*$", re.M), "system.plugins=zelvo_local_fs,tftp_rconsole")
        d.start()
        try:
            code, plugins = plugins_of(d)
            check(code == 0 and set(plugins) == {"Local File System", "Remote Console"},
                  "restart: get_plugins lists the two loaded plug-ins", repr(plugins))
            for text in ("subscribe\nport=%d" % free_port(socket.SOCK_DGRAM), "unsubscribe\nport=9", "archive_count",
                         "clear_archive"):
                result = command(d, text)
                check(nak_of(result) == NO_PUBLISHER, "without the publisher: %s naks" % text.split("\n")[0],
                      repr(result))
            target = os.path.join(WORK, "again.out")
            check(curl(d, "small.bin", target) == 0 and open(target, "rb").read() == d.small,
                  "without the publisher: downloads still work")
        finally:
            d.stop("daemon without the publisher stops cleanly")
    except Exception as e:
        check(False, "test run", repr(e))
    return harness.finish(started)


if __name__ == "__main__":
    sys.exit(main())
