#!/usr/bin/python3
"""The transfer counters end to end: the real zelvo-tftpd with the Prometheus
exporter plug-in, a known mix of transfers by curl, tftp-hpa, atftp and a
raw-UDP client, then an HTTP scrape of /metrics, the console's "stats" and
the "query_stats" datagram, which must all tell the same counts. A daemon
without the plug-in serves no metrics and otherwise runs as before; one whose
metrics port is taken unloads the plug-in and goes on serving.

Usage: metrics_test.py DAEMON CONSOLE PLUGIN_DIR
"""
import os
import re
import socket
import struct
import subprocess
import sys
import time
import urllib.request

import daemon_harness as harness
from daemon_harness import Daemon, check, console, curl, free_port, key_values, wait_for

harness.setup("zelvo-metrics-it-")
WORK = harness.WORK
WITH_EXPORTER = "zelvo_local_fs,tftp_rconsole,zelvo_prometheus_exporter"
SETTINGS = "tftp.access.allow=true\ntftp.overwrite.allow=true\ntftp.timeout=2s\nprometheus.port=%d\n"
SAMPLE = re.compile(r'^([a-z_]+)(?:\{([^}]*)\})? ([0-9.e+-]+)$')
OUTCOMES = ("success", "timeout", "max_rx", "refused", "aborted", "error")


def scrape(port):
    """GET /metrics: (the body's samples as {(name, labels): value}, the TYPE lines as {name: type})."""
    with urllib.request.urlopen("http://127.0.0.1:%d/metrics" % port, timeout=10) as reply:
        body = reply.read().decode()
    samples, types = {}, {}
    for line in body.split("\n"):
        if line.startswith("# TYPE "):
            _, _, name, kind = line.split(" ")
            types[name] = kind
            continue
        match = SAMPLE.match(line)
        if match:
            labels = tuple(sorted(re.findall(r'(\w+)="([^"]*)"', match.group(2) or "")))
            samples[(match.group(1), labels)] = float(match.group(3))
    return samples, types


def metric(samples, name, **labels):
    return samples.get((name, tuple(sorted(labels.items()))))


def stats_map(text):
    return {key: value for key, value in key_values(text).items() if key != "code"}


def console_stats(d):
    code, out, err = console(d, "--clear", "-c", "stats")
    return code, stats_map(out)


def query_stats(d):
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
        s.settimeout(5)
        s.sendto(b"query_stats", ("127.0.0.1", d.tftp_port))
        return stats_map(s.recv(65536).decode())


def raw_abort(d, name):
    """Asks for name, takes the first block and answers it with an error packet: the client gives up."""
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
        s.settimeout(5)
        s.sendto(b"\x00\x01" + name.encode() + b"\x00octet\x00", ("127.0.0.1", d.tftp_port))
        data, server = s.recvfrom(65536)
        opcode, block = struct.unpack("!HH", data[:4])
        s.sendto(struct.pack("!HH", 5, 0) + b"stop\x00", server)
        return opcode == 3 and block == 1 and len(data) == 4 + 512


def known_mix(d):
    """10 successes (9 downloads by curl, tftp-hpa and atftp, 1 upload by curl), 2 refusals, 1 abort.
    Returns (bytes the server must have sent, bytes it must have stored)."""
    sizes = [700 + 513 * i for i in range(9)]           # 700 .. 4804 bytes, none a multiple of 512
    for i, size in enumerate(sizes):
        with open(os.path.join(d.dir, "root", "f%d.bin" % i), "wb") as f:
            f.write(os.urandom(size))
    big = os.path.join(d.dir, "root", "big.bin")
    with open(big, "wb") as f:
        f.write(os.urandom(100000))
    out = os.path.join(WORK, "out")
    os.makedirs(out, exist_ok=True)
    ok = True
    for i in range(5):
        ok &= curl(d, "f%d.bin" % i, os.path.join(out, "c%d" % i)) == 0
    for i in (5, 6):
        ok &= subprocess.run(["tftp", "127.0.0.1", str(d.tftp_port), "-m", "binary", "-c", "get", "f%d.bin" % i,
                              os.path.join(out, "h%d" % i)], capture_output=True, timeout=60).returncode == 0
    for i in (7, 8):
        ok &= subprocess.run(["atftp", "-g", "-r", "f%d.bin" % i, "-l", os.path.join(out, "a%d" % i),
                              "--option", "blksize 1024", "127.0.0.1", str(d.tftp_port)],
                             capture_output=True, timeout=60).returncode == 0
    upload = os.path.join(WORK, "up.bin")
    with open(upload, "wb") as f:
        f.write(os.urandom(2500))
    ok &= curl(d, "uploaded.bin", os.path.join(out, "up-reply"), "-T", upload) == 0
    ok &= all(open(os.path.join(d.dir, "root", "f%d.bin" % i), "rb").read() == open(os.path.join(out, p), "rb").read()
              for i, p in [(0, "c0"), (1, "c1"), (2, "c2"), (3, "c3"), (4, "c4"), (5, "h5"), (6, "h6"), (7, "a7"), (8, "a8")])
    ok &= open(os.path.join(d.dir, "root", "uploaded.bin"), "rb").read() == open(upload, "rb").read()
    # Two refusals: a file that is not there, and a name outside the root.
    ok &= curl(d, "missing.bin", os.path.join(out, "m1")) != 0
    ok &= curl(d, "../outside.bin", os.path.join(out, "m2")) != 0
    check(ok, "the clients' 10 transfers succeed byte for byte and 2 requests are refused")
    check(raw_abort(d, "big.bin"), "a raw client takes block 1 of big.bin and answers with an error")
    return sum(sizes) + 512, 2500


def test_known_mix():
    port = free_port()
    d = Daemon("mix", encryption=False, plugins=WITH_EXPORTER, extra=SETTINGS % port).start()
    samples, types = scrape(port)
    check(metric(samples, "zelvo_tftp_requests_total", filesystem="file") == 0
          and metric(samples, "zelvo_tftp_active_transfers", filesystem="file") == 0,
          "before any request the local file system's counters read 0", repr(samples))
    check(types.get("zelvo_tftp_transfers_total") == "counter" and types.get("zelvo_tftp_active_transfers") == "gauge"
          and types.get("zelvo_tftp_bytes_sent_total") == "counter",
          "counters are typed counter and the running transfers gauge", repr(types))

    sent, received = known_mix(d)
    wait_for(lambda: metric(scrape(port)[0], "zelvo_tftp_active_transfers", filesystem="file") == 0, 15)
    samples, _ = scrape(port)
    counts = {o: metric(samples, "zelvo_tftp_transfers_total", filesystem="file", outcome=o) for o in OUTCOMES}
    check(counts == {"success": 10, "timeout": 0, "max_rx": 0, "refused": 2, "aborted": 1, "error": 0},
          "the scrape counts 10 successes, 2 refusals and 1 abort", repr(counts))
    check(metric(samples, "zelvo_tftp_requests_total", filesystem="file") == 13,
          "the scrape counts 13 requests", repr(metric(samples, "zelvo_tftp_requests_total", filesystem="file")))
    check(metric(samples, "zelvo_tftp_bytes_sent_total", filesystem="file") == sent,
          "bytes sent are the downloaded files plus the aborted transfer's first block",
          "%r != %d" % (metric(samples, "zelvo_tftp_bytes_sent_total", filesystem="file"), sent))
    check(metric(samples, "zelvo_tftp_bytes_received_total", filesystem="file") == received,
          "bytes received are the uploaded file's", repr(metric(samples, "zelvo_tftp_bytes_received_total",
                                                                 filesystem="file")))
    check(metric(samples, "zelvo_tftp_requests_last_minute") == 13, "13 requests in the last minute")
    check(metric(samples, "zelvo_tftp_transfers_total", filesystem="none", outcome="refused") == 0,
          "no request was refused before its file system was known")

    code, by_console = console_stats(d)
    by_query = query_stats(d)
    check(code == 0 and by_console.get("success") == "10" and by_console.get("refused") == "2"
          and by_console.get("aborted") == "1" and by_console.get("fs.file.bytes_sent") == str(sent),
          "console stats shows the same counts as the scrape", repr(by_console))
    by_console.pop("requests_last_minute", None)
    by_query.pop("requests_last_minute", None)
    check(by_console == by_query and len(by_query) > 20, "query_stats answers exactly what console stats shows",
          "%r\n%r" % (by_console, by_query))
    retransmissions = metric(samples, "zelvo_tftp_retransmissions_total", filesystem="file")
    check(by_query.get("retransmissions") == "%d" % retransmissions, "retransmissions agree across the three views")
    d.stop("the daemon with the exporter stops cleanly")


def test_without_exporter():
    port = free_port()
    d = Daemon("plain", encryption=False, extra=SETTINGS % port).start()
    with open(os.path.join(d.dir, "root", "a.bin"), "wb") as f:
        f.write(b"x" * 1000)
    check(curl(d, "a.bin", os.path.join(WORK, "plain.out")) == 0, "without the exporter downloads work")
    try:
        scrape(port)
        refused = False
    except OSError:
        refused = True
    check(refused, "without the exporter nothing serves metrics")
    code, values = console_stats(d)
    check(code == 0 and values.get("success") == "1" and values.get("bytes_sent") == "1000",
          "without the exporter the console still counts", repr(values))
    d.stop("the daemon without the exporter stops cleanly")


def test_port_taken():
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as taken:
        taken.bind(("127.0.0.1", 0))
        taken.listen(1)
        port = taken.getsockname()[1]
        d = Daemon("taken", encryption=False, plugins=WITH_EXPORTER, extra=SETTINGS % port).start()
        with open(os.path.join(d.dir, "root", "b.bin"), "wb") as f:
            f.write(b"y" * 600)
        check(curl(d, "b.bin", os.path.join(WORK, "taken.out")) == 0,
              "with its metrics port taken the daemon still serves files")
        code, out, _ = console(d, "--clear", "-c", "get_plugins")
        check(code == 0 and "Prometheus Exporter" not in out, "the exporter that cannot listen is unloaded", out)
        d.stop("the daemon whose exporter failed stops cleanly")
        check("cannot listen on 127.0.0.1:%d" % port in d.log_text(), "the failure names the address")


started = time.monotonic()
test_known_mix()
test_without_exporter()
test_port_taken()
sys.exit(harness.finish(started))
