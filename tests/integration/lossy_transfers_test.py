#!/usr/bin/python3
"""Transfers through a lossy network: the real zelvo-tftpd behind a relay that
drops 10%, duplicates 5% and reorders 3% of the datagrams in both directions,
with curl, tftp-hpa and atftp as clients (atftp also with a window of 8
blocks per acknowledgement), downloads and uploads at once.

What must hold: every transfer a client reports as successful is
byte-identical to its source, and the server never sends a data block twice
because a packet (such as a duplicated acknowledgement) asked it to. For
windowed downloads that is counted on a second, lossless run in which every
acknowledgement arrives twice: the server sends each block exactly once.
Transfers a client reports as failed are allowed: loss this heavy can exhaust
a client's retries. The daemon must end cleanly.

Usage: lossy_transfers_test.py DAEMON CONSOLE PLUGIN_DIR [--full]
  default: 18 downloads and 6 uploads of 64 KiB (the CI run)
  --full:  100 downloads and 30 uploads of 1 MiB
"""
import concurrent.futures
import os
import subprocess
import sys
import time

import daemon_harness as harness
from daemon_harness import Daemon, check
from lossy_relay import LossyRelay

FULL = "--full" in sys.argv
harness.setup("zelvo-lossy-it-")
DOWNLOADS, UPLOADS, SIZE = (100, 30, 1 << 20) if FULL else (18, 6, 64 << 10)
CLIENT_TIME = 600 if FULL else 120
WORKERS = 32 if FULL else 12


def content(seed):
    """A file whose every 512-byte block differs from the others."""
    out = bytearray()
    block = 0
    while len(out) < SIZE:
        out += (b"%08d:%08d|" % (seed, block)) * 28 + b"." * 8
        block += 1
    return bytes(out[:SIZE])


def run(args, cwd):
    """The client's verdict: 0 when it reports success."""
    try:
        done = subprocess.run(args, cwd=cwd, capture_output=True, timeout=CLIENT_TIME + 30)
    except subprocess.TimeoutExpired:
        return -1
    # tftp-hpa exits 0 whatever happened; it reports a failure in its output.
    if args[0] == "tftp" and (done.stdout.strip() or done.stderr.strip()):
        return 1
    return done.returncode


def download(client, port, name, target, cwd):
    if client == "curl":
        return run(["curl", "--max-time", str(CLIENT_TIME), "-s", "-o", target,
                    "tftp://127.0.0.1:%d/%s" % (port, name)], cwd)
    if client == "tftp-hpa":
        return run(["tftp", "127.0.0.1", str(port), "-m", "binary", "-c", "get", name, target], cwd)
    window = ["--option", "windowsize 8"] if client == "atftp-window" else []
    return run(["atftp", "-g", "-r", name, "-l", target, "--option", "blksize 1468"] + window +
               ["127.0.0.1", str(port)], cwd)


def upload(client, port, source, name, cwd):
    if client == "curl":
        return run(["curl", "--max-time", str(CLIENT_TIME), "-s", "-T", source,
                    "tftp://127.0.0.1:%d/%s" % (port, name)], cwd)
    if client == "tftp-hpa":
        return run(["tftp", "127.0.0.1", str(port), "-m", "binary", "-c", "put", source, name], cwd)
    window = ["--option", "windowsize 8"] if client == "atftp-window" else []
    return run(["atftp", "-p", "-l", source, "-r", name, "--option", "blksize 1468"] + window +
               ["127.0.0.1", str(port)], cwd)


def main():
    started = time.monotonic()
    clients = ["curl", "tftp-hpa", "atftp", "atftp-window"]
    # The server retransmits on a short timer of its own (clients ask for
    # 5 s), so that the run takes minutes rather than hours.
    d = Daemon("lossy", extra="tftp.access.allow=true\ntftp.timeout=300ms\ntftp.max_timeout=300ms\n"
                              "tftp.allow_timeout_option=false\ntftp.max_retransmits=12\n")
    root = os.path.join(d.dir, "root")
    work = os.path.join(d.dir, "client")
    os.makedirs(work)
    for i in range(DOWNLOADS):
        with open(os.path.join(root, "down%03d.bin" % i), "wb") as f:
            f.write(content(i))
    sources = {}
    for i in range(UPLOADS):
        sources[i] = os.path.join(work, "source%03d.bin" % i)
        with open(sources[i], "wb") as f:
            f.write(content(1000 + i))
    d.start()
    relay = LossyRelay(d.tftp_port, quick=0.15).start()

    jobs = []
    with concurrent.futures.ThreadPoolExecutor(max_workers=WORKERS) as pool:
        for i in range(DOWNLOADS):
            client = clients[i % 4]
            target = os.path.join(work, "got%03d.bin" % i)
            jobs.append(("download", client, i, target,
                         pool.submit(download, client, relay.port, "down%03d.bin" % i, target, work)))
        for i in range(UPLOADS):
            client = clients[i % 4]
            name = "up%03d.bin" % i
            jobs.append(("upload", client, i, os.path.join(root, name),
                         pool.submit(upload, client, relay.port, sources[i], name, work)))
        results = [(kind, client, i, path, job.result()) for kind, client, i, path, job in jobs]
    relay.stop()

    reported, corrupt = 0, []
    for kind, client, i, path, code in results:
        if code != 0:
            continue
        reported += 1
        expected = content(i) if kind == "download" else content(1000 + i)
        try:
            with open(path, "rb") as f:
                got = f.read()
        except OSError:
            got = None
        if got != expected:
            corrupt.append("%s %d by %s (%s bytes)" % (kind, i, client, "no" if got is None else len(got)))
    by_client = {}
    for kind, client, _, _, code in results:
        key = "%s %s" % (client, kind)
        ok, total = by_client.get(key, (0, 0))
        by_client[key] = (ok + (code == 0), total + 1)
    print("clients reporting success: %d of %d; %s" % (
        reported, len(results), ", ".join("%s %d/%d" % (k, v[0], v[1]) for k, v in sorted(by_client.items()))))
    print("relay: %s" % relay.counts)
    check(not corrupt, "every transfer a client reports as successful is byte-identical", "; ".join(corrupt))
    check(relay.counts["dropped"] > 0 and relay.counts["duplicated"] > 0 and relay.counts["reordered"] > 0,
          "the relay lost, duplicated and reordered packets", str(relay.counts))
    check(relay.counts["quick_data_repeats"] == 0, "no packet made the server send a block twice",
          str(relay.counts["quick_data_repeats"]))
    # Loss this heavy makes some clients give up (tftp-hpa's uploads nearly
    # always do, and more give up on a loaded machine); the checks above mean
    # something only when many succeed.
    check(reported >= len(results) // 3, "at least a third of the transfers succeed despite the loss",
          "%d of %d" % (reported, len(results)))
    # curl and tftp-hpa re-acknowledge whatever the server repeats, so their
    # downloads recover through the server's timer. atftp aborts ("unexpected
    # OACK") when its acknowledgement of the OACK is lost and the OACK comes
    # again, so its downloads fail more often the longer they run.
    check(all(by_client["%s download" % c][0] > 0 for c in ("curl", "tftp-hpa")),
          "curl and tftp-hpa complete downloads", str(by_client))
    check(by_client["atftp-window download"][0] > 0, "atftp completes windowed downloads", str(by_client))
    leftovers = [n for n in os.listdir(root) if n.startswith(".")]
    check(not leftovers, "no temporary upload file is left in the root", str(leftovers))
    d.stop("the daemon ends cleanly after the lossy run")
    duplicated_acknowledgements(work)
    return harness.finish(started)


def duplicated_acknowledgements(work):
    """Windowed downloads through a lossless relay that delivers every
    acknowledgement twice: the server sends each block exactly once. Its
    timer is long, so that no timeout on a loaded machine adds a resend."""
    d = Daemon("dupacks", extra="tftp.access.allow=true\ntftp.timeout=10s\n")
    root = os.path.join(d.dir, "root")
    for i in range(3):
        with open(os.path.join(root, "w%d.bin" % i), "wb") as f:
            f.write(content(500 + i))
    d.start()
    relay = LossyRelay(d.tftp_port, loss=0.0, duplicate=0.0, reorder=0.0, duplicate_acks=1.0).start()
    codes = [download("atftp-window", relay.port, "w%d.bin" % i, os.path.join(work, "w%d.got" % i), work)
             for i in range(3)]
    relay.stop()
    intact = all(code == 0 and open(os.path.join(work, "w%d.got" % i), "rb").read() == content(500 + i)
                 for i, code in enumerate(codes))
    check(intact, "windowed downloads with every acknowledgement doubled complete intact", str(codes))
    blocks = SIZE // 1468 + 1
    sent = sorted(relay.data_sent.values())
    print("dupacks relay: %s, DATA sent per transfer %s (%d blocks each)" % (relay.counts, sent, blocks))
    check(relay.counts["duplicated"] >= 3 * (blocks // 8), "the relay doubled the acknowledgements",
          str(relay.counts))
    check(sent == [blocks] * 3, "a doubled acknowledgement never makes the server send a block again",
          "DATA per transfer %s, %d blocks each" % (sent, blocks))
    d.stop("the daemon ends cleanly after the doubled acknowledgements")


if __name__ == "__main__":
    sys.exit(main())
