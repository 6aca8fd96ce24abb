#!/usr/bin/python3
"""End-to-end tests of the remote console on loopback: the real zelvo-tftpd
with its console plug-in, the real zelvo-console client, raw TCP peers and a
recording relay between client and daemon.

Usage: console_test.py DAEMON CONSOLE PLUGIN_DIR
"""
import json
import os
import random
import re
import select
import socket
import subprocess
import sys
import threading
import time

import daemon_harness as harness
from daemon_harness import GREETING, Daemon, Raw, check, console, free_port

harness.setup("zelvo-console-it-")
CONSOLE, WORK = harness.CONSOLE, harness.WORK
ADMIN_DEFAULT = " "


def body_lines(reply):
    return reply.decode().split("\n")


# ---------------------------------------------------------------- clear text

def test_clear_protocol(d):
    c = Raw(d.port)
    check(GREETING.match(c.greeting) is not None, "clear: greeting", repr(c.greeting))

    info = c.command(b"info\n\n")
    check(info.endswith(b"code=ack\n\n") and re.search(rb"(^|\n)name=", info) is not None,
          "clear: info map, code=ack, blank line", repr(info))

    hlp = c.command(b"help\n\n")
    words = body_lines(hlp)
    check(hlp.endswith(b"code=ack\n\n") and {"info", "help", "admin_password"} <= set(words)
          and words[:words.index("code=ack")] == sorted(words[:words.index("code=ack")]),
          "clear: help lists the words in order", repr(hlp[:300]))

    again = c.command(b"\n")
    check(again == hlp, "clear: blank line repeats the last command set", repr(again[:200]))

    check(c.command(b"nonsense\nx=1\n\n") == b"code=nak\nmessage=Unrecognized command.\n\n",
          "clear: unknown word is nak Unrecognized command.")
    check(c.command(b"QUIT\n\n") == b"code=nak\nmessage=Unrecognized command.\n\n",
          "clear: QUIT in capitals is an unknown word")
    check(c.command(b"   \n\n") == b"code=nak\nmessage=Unrecognized command.\n\n",
          "clear: a line of spaces is an unknown word")

    # CR LF: "help" CR LF CR LF does not end the set (the CR line is kept as
    # an empty line); a bare LF after it does.
    c.send(b"help\r\n\r\n")
    check(c.silent(0.5), "clear: CR LF CR LF does not complete a command set")
    crlf = c.command(b"\n")
    check(crlf.endswith(b"code=ack\n\n") and b"\ninfo\n" in crlf, "clear: ... and a bare LF then does",
          repr(crlf[:100]))
    check(c.command(b"help\r\n\n") == hlp, "clear: CR LF LF completes the set like LF LF")
    c.close()

    c = Raw(d.port)
    check(c.command(b"\n") == b"code=nak\nmessage=No command specified.\n\n",
          "clear: a first blank line is nak No command specified.")
    c.close()

    for word in (b"quit", b"exit", b"bye"):
        c = Raw(d.port)
        c.command(b"info\n\n")
        c.send(word + b"\n\n")
        check(c.closed(), "clear: %s closes without a reply" % word.decode())
        c.close()


def test_client_clear(d):
    code, out, err = console(d, "--clear", "-c", "info")
    check(code == 0 and re.search(r"^name=", out, re.M) and "code=" not in out,
          "client: -c info prints the map, exit 0", "%d %r %r" % (code, out, err))

    code, out, err = console(d, "--clear", "-c", "nonsense;x=1")
    check(code == 1 and "nak: Unrecognized command." in err, "client: nak gives exit 1 and the message",
          "%d %r %r" % (code, out, err))

    code, out, err = console(d, "--clear", "--json", "-c", "help", "nonsense", "x=1")
    objects = [json.loads(line) for line in out.splitlines() if line]
    check(code == 1 and [o["command"] for o in objects] == ["help", "nonsense"],
          "client: the words after the options are one more command set", repr(out[:200]))

    code, out, err = console(d, "--clear", "--raw", "-c", "help", "-c", "nonsense")
    check(code == 1 and out.count("code=ack\n\n") == 1 and out.endswith("code=nak\nmessage=Unrecognized command.\n\n"),
          "client: --raw shows the wire text, -c repeated runs in order", repr(out[-200:]))

    code, out, err = console(d, "--clear", "--json", "-c", "info", "-c", "nonsense")
    try:
        objects = [json.loads(line) for line in out.splitlines()]
    except ValueError:
        objects = []
    check(code == 1 and len(objects) == 2 and objects[0]["command"] == "info" and objects[0]["code"] == "ack"
          and any(l.startswith("name=") for l in objects[0]["lines"])
          and objects[1]["code"] == "nak" and objects[1]["message"] == "Unrecognized command.",
          "client: --json one object per reply", repr(out[:300]))

    script = b"# a comment\r\ninfo\r\n\r\n\n\nhelp\n\nnonsense\n\nquit\n\ninfo\n\n"
    code, out, err = console(d, "--clear", "--json", stdin=script)
    objects = [json.loads(line) for line in out.splitlines() if line]
    check(code == 1 and [o["command"] for o in objects] == ["info", "help", "nonsense"],
          "client: standard input, blank lines between sets, comments, quit stops", repr(out[:300]))

    path = os.path.join(WORK, "sets.txt")
    with open(path, "wb") as f:
        f.write(b"help\n\ninfo")       # the last set ends at end of file
    code, out, err = console(d, "--clear", "--json", "-f", path)
    objects = [json.loads(line) for line in out.splitlines() if line]
    check(code == 0 and [o["command"] for o in objects] == ["help", "info"], "client: -f FILE", repr(out))

    code, out, err = console(d, "--clear", "-c", "info", port=free_port())
    check(code == 2, "client: no console listening is exit 2", "%d %r" % (code, err))
    code, out, err = console(d, "--clear", "--bogus")
    check(code == 2 and "Unknown option '--bogus'." in err, "client: unknown option is exit 2", err)


# ------------------------------------------------------------------ encrypted

class Relay(threading.Thread):
    """Forwards one TCP connection to the daemon and records both directions."""

    def __init__(self, port):
        super().__init__(daemon=True)
        self.target = port
        self.listener = socket.socket()
        self.listener.bind(("127.0.0.1", 0))
        self.listener.listen(1)
        self.port = self.listener.getsockname()[1]
        self.up = b""     # console to daemon
        self.down = b""   # daemon to console
        self.start()

    def run(self):
        client, _ = self.listener.accept()
        server = socket.create_connection(("127.0.0.1", self.target))
        peers = {client: server, server: client}
        open_ends = 2
        while open_ends:
            ready, _, _ = select.select(list(peers), [], [], 20)
            if not ready:
                break
            for s in ready:
                data = s.recv(65536)
                if not data:
                    open_ends = 0
                    break
                if s is client:
                    self.up += data
                else:
                    self.down += data
                peers[s].sendall(data)
        for s in (client, server, self.listener):
            s.close()


def test_encrypted(d):
    code, out, err = console(d, "-c", "info")
    check(code == 0 and re.search(r"^name=", out, re.M), "login: no stored password, one space",
          "%d %r %r" % (code, out, err))
    code, out, err = console(d, "-c", "info", password="x")
    check(code == 2 and "refused the login" in err, "login: wrong password closes, exit 2", "%d %r" % (code, err))
    # Named accounts live in the service database, which this daemon has not.
    code, out, err = console(d, "--user", "operator", "-c", "info")
    check(code == 2 and "refused the login" in err, "login: named account without a database is refused",
          "%d %r" % (code, err))

    password = "0123456789"
    # The daemon runs with umask 0: rewriting its configuration keeps the
    # file as private as the operator made it.
    os.chmod(d.conf, 0o600)
    code, out, err = console(d, "-c", "admin_password=" + password)
    check(code == 0, "admin_password: stores a new password", "%d %r %r" % (code, out, err))
    check(os.stat(d.conf).st_mode & 0o7777 == 0o600, "admin_password: the configuration stays mode 0600",
          oct(os.stat(d.conf).st_mode & 0o7777))
    code, out, err = console(d, "-c", "set_properties; tftp.max_connections=50\ntftp.timeout=2s", password=password)
    restart = "Stored. These keys take effect after a restart: tftp.timeout."
    check(code == 0 and restart in out + err, "set_properties: names the stored keys that wait for a restart",
          "%d %r %r" % (code, out, err))
    check(os.stat(d.conf).st_mode & 0o7777 == 0o600 and "tftp.max_connections=50" in open(d.conf).read(),
          "set_properties: stored, the configuration stays mode 0600", oct(os.stat(d.conf).st_mode & 0o7777))
    code, out, err = console(d, "-c", "info")
    check(code == 2, "admin_password: the old password no longer logs in", "%d %r" % (code, err))
    code, out, err = console(d, "-c", "info", password=password)
    check(code == 0, "admin_password: the new one does", "%d %r" % (code, err))

    path = os.path.join(d.dir, "password")
    with open(path, "w") as f:
        f.write(password + "\n")
    code, out, err = console(d, "--password-file", path, "-c", "info")
    check(code == 0, "login: --password-file", "%d %r" % (code, err))

    # Version 0 keys the cipher with 7 password bytes, version 1 with all.
    code, out, err = console(d, "--protocol", "0", "-c", "info", password="0123456XYZ")
    check(code == 0, "login: version 0 uses only the first 7 bytes", "%d %r" % (code, err))
    code, out, err = console(d, "--protocol", "1", "-c", "info", password="0123456XYZ")
    check(code == 2, "login: version 1 uses all of them", "%d %r" % (code, err))

    # Every byte after the 1024-byte challenge and response is enciphered.
    relay = Relay(d.port)
    code, out, err = console(d, "-c", "info", "-c", "help", "-c", "nonsense", port=relay.port, password=password)
    relay.join(20)
    up, down = relay.up[1024:], relay.down[1024:]
    plain = [b"code=", b"info", b"help", b"nonsense", b"Connected to", b"name=", b"Unrecognized"]
    check(code == 1 and len(relay.up) > 1024 and len(relay.down) > 1024
          and len(up) % 8 == 0 and len(down) % 8 == 0
          and not any(p in up or p in down for p in plain),
          "capture: after the login only whole 8-byte blocks, no plain text",
          "%d up %d down %d" % (code, len(relay.up), len(relay.down)))
    clear_down = harness.blowfish(password.encode(), down, decrypt=True)
    clear_up = harness.blowfish(password.encode(), up, decrypt=True)
    if clear_down is None:
        print("SKIP: capture deciphering (python3-cryptography not installed)")
    else:
        check(re.match(rb"Connected to .+ on .*\. Use <exit> to disconnect\.\n\n", clear_down) is not None and b"code=ack\n\n" in clear_down
              and b"message=Unrecognized command.\n\n" in clear_down
              and clear_up.startswith(b"info\n\n") and b"nonsense\n\n" in clear_up,
              "capture: the blocks are Blowfish under the password", repr(clear_down[:120]))


def test_configured_password(d):
    # Stored by admin_password in the configuration file, read at start.
    code, out, err = console(d, "-c", "info", password="0123456789")
    check(code == 0, "login: the configured password after a restart", "%d %r" % (code, err))
    code, out, err = console(d, "-c", "info")
    check(code == 2, "login: the default single space no longer works", "%d %r" % (code, err))
    code, out, err = console(d, "--protocol", "0", "-c", "info", password="0123456789")
    check(code == 2, "login: version 0 refused with min_client_version 1", "%d %r" % (code, err))
    code, out, err = console(d, "--protocol", "1", "-c", "info", password="0123456789")
    check(code == 0, "login: version 1 accepted with min_client_version 1", "%d %r" % (code, err))

    # A long password: version 1 takes up to 75 bytes (Blowfish itself keys
    # with at most 56), so a difference at byte 30 matters.
    long_password = "L" * 29 + "-the-rest-of-a-long-password"
    code, out, err = console(d, "-c", "admin_password=" + long_password, password="0123456789")
    check(code == 0, "admin_password: a 57-character password", "%d %r" % (code, err))
    code, out, err = console(d, "-c", "info", password=long_password)
    check(code == 0, "login: 57-character password, version 1", "%d %r" % (code, err))
    code, out, err = console(d, "-c", "info", password="L" * 29 + "X" * 28)
    check(code == 2, "login: differing at byte 30 is refused", "%d %r" % (code, err))

    # Many enciphered sessions at once through the real client.
    script = b"".join(b"info\n\nhelp\n\n" for _ in range(50))
    procs = []
    env = dict(os.environ, ZELVO_CONSOLE_PASSWORD=long_password)
    for _ in range(8):
        procs.append(subprocess.Popen([CONSOLE, "--port", str(d.port), "--json", "-f", "-"], stdin=subprocess.PIPE,
                                      stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=env))
    results = [p.communicate(script, timeout=120) for p in procs]
    answered = [sum(1 for line in out.splitlines() if json.loads(line)["code"] == "ack") for out, _ in results]
    check(all(p.returncode == 0 for p in procs) and answered == [100] * 8,
          "client: 8 enciphered consoles at once, 100 commands each", repr(answered))


def test_bad_login_input(d):
    c = Raw(d.port, greet=False)
    challenge = c.read_until(lambda b: len(b) >= 1024)
    check(len(challenge) == 1024 and challenge[:254] == bytes(254) and challenge[254:256] == b"\0\1",
          "login: the challenge block's layout")
    c.send(bytes(random.getrandbits(8) for _ in range(1024)))
    check(c.closed(), "bad input: random login block closes the connection")
    c.close()

    c = Raw(d.port, greet=False)
    c.read_until(lambda b: len(b) >= 1024)
    c.send(bytes(300))
    c.sock.shutdown(socket.SHUT_WR)
    check(c.closed(), "bad input: a login block cut short closes the connection")
    c.close()

    code, out, err = console(d, "-c", "info", password="L" * 29 + "-the-rest-of-a-long-password")
    check(code == 0, "bad input: the daemon still serves after broken logins", "%d %r" % (code, err))
    check(d.back_to_base(), "bad input: no thread left behind by refused logins",
          "%d -> %d" % (d.base, d.threads()))


def test_bad_command_input(d):
    c = Raw(d.port)
    # A 1 MiB line without a line feed: dropped beyond the line limit, and
    # the set is refused once it ends.
    c.send(b"A" * (1 << 20))
    other = Raw(d.port)
    check(other.command(b"info\n\n").endswith(b"code=ack\n\n"), "bad input: others served during a 1 MiB line")
    other.close()
    reply = c.command(b"\n\n")
    check(reply.startswith(b"code=nak\nmessage="), "bad input: 1 MiB line is refused with nak", repr(reply[:200]))
    check(c.command(b"info\n\n").endswith(b"code=ack\n\n"), "bad input: the connection works afterwards")

    # Text after a NUL byte in one read is dropped: "info" stays pending.
    c.send(b"info\0junk\n\n")
    check(c.silent(0.5), "bad input: text after NUL is dropped")
    check(c.command(b"\n\n").endswith(b"code=ack\n\n") and b"name=" in c.command(b"\n"),
          "bad input: the command before the NUL completes later")
    binary = bytes(random.Random(7).getrandbits(8) for _ in range(4096)).replace(b"\0", b"\1")
    c.send(binary + b"\n\n")
    reply = c.reply()
    check(reply.endswith(b"code=nak\nmessage=Unrecognized command.\n\n"), "bad input: binary garbage is nak",
          repr(reply[-100:]))
    c.close()
    fresh = Raw(d.port)
    check(fresh.command(b"info\n\n").endswith(b"code=ack\n\n"), "bad input: a fresh console gets info")
    fresh.close()


class Trickler(threading.Thread):
    """A peer that reads the challenge and then sends one byte a second."""

    def __init__(self, port):
        super().__init__(daemon=True)
        self.sock = socket.create_connection(("127.0.0.1", port), timeout=10)
        self.closed_after = None
        self.start()

    def run(self):
        started = time.monotonic()
        try:
            self.sock.settimeout(1.0)
            while time.monotonic() - started < 30:
                try:
                    if self.sock.recv(4096) == b"":
                        break
                except socket.timeout:
                    pass
                self.sock.sendall(b"x")
        except OSError:
            pass
        self.closed_after = time.monotonic() - started


def wrong_login(port):
    """Answers the challenge with a block no password produces; returns the
    seconds from the answer to the close, or None when something else came."""
    c = Raw(port, greet=False)
    try:
        c.read_until(lambda b: len(b) >= 1024)
        block = bytearray(1024)
        block[254] = 1
        block[256:] = bytes(random.getrandbits(8) for _ in range(768))
        sent = time.monotonic()
        c.send(bytes(block))
        return time.monotonic() - sent if c.closed(10) else None
    finally:
        c.close()


def test_guarded_login(d):
    # 50 connections that never log in and one that sends a byte a second:
    # no thread each, and the administrator is still let in at once.
    idle = []
    for _ in range(50):
        s = socket.create_connection(("127.0.0.1", d.port), timeout=10)
        s.recv(1)   # accepted: the challenge is coming (keeps within the listen backlog)
        idle.append(s)
    trickler = Trickler(d.port)
    time.sleep(0.5)
    check(d.threads() <= d.base + 2, "guard: unfinished logins hold no thread each",
          "%d -> %d" % (d.base, d.threads()))
    started = time.monotonic()
    code, out, err = console(d, "-c", "info")
    took = time.monotonic() - started
    print("guard: administrator login beside 50 idle peers and a trickling one took %.2f s" % took)
    check(code == 0 and re.search(r"^name=", out, re.M) and took < 2.0,
          "guard: with 50 idle peers and a trickling one, the administrator logs in within 2 s",
          "%d %.2f s %r" % (code, took, err))
    trickler.join(20)
    check(trickler.closed_after is not None and 13 < trickler.closed_after < 17,
          "guard: the trickling peer is cut at the login deadline (15 s in all)", repr(trickler.closed_after))
    for s in idle:
        s.close()

    # 50 wrong passwords from this address, ten at a time (the daemon keeps
    # 16 unfinished logins), each answered only after its delay.
    answered = []
    for _ in range(5):
        batch = []
        threads = [threading.Thread(target=lambda: batch.append(wrong_login(d.port))) for _ in range(10)]
        for t in threads:
            t.start()
        for t in threads:
            t.join(30)
        answered += batch
    check(len(answered) == 50 and all(a is not None and a >= 0.09 for a in answered)
          and max(answered) < 3.5,
          "guard: 50 wrong passwords, each closed after a delay of 0.1 s to at most 3 s",
          repr(sorted(a for a in answered if a is not None)[::10]))
    started = time.monotonic()
    code, out, err = console(d, "-c", "info")
    took = time.monotonic() - started
    print("guard: administrator login after 50 failures took %.2f s" % took)
    check(code == 0 and took < 2.0, "guard: after 50 failures the right password logs in within 2 s",
          "%d %.2f s %r" % (code, took, err))


def test_many_consoles(d):
    check(d.back_to_base(), "load: no console left over before the load",  "%d -> %d" % (d.base, d.threads()))
    before = d.base
    consoles = [Raw(d.port) for _ in range(50)]
    check(all(GREETING.match(c.greeting) for c in consoles), "load: 50 consoles greeted")
    during = d.threads()
    check(during >= before + 50, "load: one thread per console", "%d -> %d" % (before, during))
    answered = [0] * len(consoles)
    errors = []

    def work(i):
        try:
            for n in range(100):
                word = (b"info", b"help", b"nonsense")[n % 3]
                reply = consoles[i].command(word + b"\n\n")
                if reply.endswith(b"code=nak\nmessage=Unrecognized command.\n\n" if word == b"nonsense"
                                  else b"code=ack\n\n"):
                    answered[i] += 1
            consoles[i].send(b"quit\n\n")
        except Exception as e:
            errors.append(repr(e))
    workers = [threading.Thread(target=work, args=(i,)) for i in range(len(consoles))]
    for w in workers:
        w.start()
    for w in workers:
        w.join(120)
    check(not errors and answered == [100] * 50, "load: 50 x 100 commands all answered",
          "%r %r" % (errors[:3], answered))
    check(all(c.closed() for c in consoles), "load: quit closes every console")
    for c in consoles:
        c.close()
    check(d.back_to_base(), "load: thread count back to its start value", "%d -> %d" % (before, d.threads()))


# ------------------------------------------------- client against a scripted peer

class ScriptedPeer(threading.Thread):
    """A clear-text console server that answers with scripted replies and
    records the command sets it received."""

    def __init__(self, answer):
        super().__init__(daemon=True)
        self.answer = answer
        self.sets = []
        self.listener = socket.socket()
        self.listener.bind(("127.0.0.1", 0))
        self.listener.listen(1)
        self.port = self.listener.getsockname()[1]
        self.start()

    def run(self):
        conn, _ = self.listener.accept()
        conn.sendall(b"Connected to the scripted peer.\n\n")
        buffer = b""
        while True:
            while b"\n\n" not in buffer:
                data = conn.recv(65536)
                if not data:
                    conn.close()
                    return
                buffer += data
            text, buffer = buffer.split(b"\n\n", 1)
            lines = text.decode().split("\n")
            if lines[0] in ("quit", "exit", "bye"):
                conn.close()
                return
            self.sets.append(lines)
            self.answer(conn, lines)


def test_client_streaming():
    hold = threading.Event()
    records = [["insert_policy", "name=first", "priority=1"], ["insert_policy", "name=second;x"]]

    def dump(conn, lines):
        if lines[0] != "dump":
            conn.sendall(b"code=ack\n\n")
            return
        conn.sendall(b"set_session\nnumeric=false\n-\n")
        conn.sendall("\n".join(records[0]).encode() + b"\n-\n")
        hold.wait(10)
        conn.sendall("\n".join(records[1]).encode() + b"\n-\n" + b"code=ack\n\n")

    peer = ScriptedPeer(dump)
    proc = subprocess.Popen([CONSOLE, "--clear", "--port", str(peer.port), "-c", "dump"], stdout=subprocess.PIPE,
                            stderr=subprocess.PIPE)
    seen = b""
    end = time.monotonic() + 10
    while b"name=first" not in seen and time.monotonic() < end:
        ready, _, _ = select.select([proc.stdout], [], [], 1)
        if ready:
            chunk = os.read(proc.stdout.fileno(), 4096)
            if not chunk:
                break
            seen += chunk
    check(b"name=first" in seen and b"name=second" not in seen, "client: streamed records shown as they arrive",
          repr(seen))
    hold.set()
    out, _ = proc.communicate(timeout=10)
    dumped = seen + out
    check(proc.returncode == 0 and dumped == b"set_session\nnumeric=false\n\ninsert_policy\nname=first\npriority=1\n\n"
          b"insert_policy\nname=second;x\n\n", "client: records separated by blank lines", repr(dumped))

    # The dump output replays as input: every record is sent as a set.
    replay = ScriptedPeer(lambda conn, lines: conn.sendall(b"code=ack\n\n"))
    path = os.path.join(WORK, "dump.txt")
    with open(path, "wb") as f:
        f.write(dumped)
    done = subprocess.run([CONSOLE, "--clear", "--port", str(replay.port), "-f", path], capture_output=True,
                          timeout=20)
    replay.join(5)
    check(done.returncode == 0 and replay.sets == [["set_session", "numeric=false"]] + records,
          "client: dump output replays with -f", repr(replay.sets))

    semi = ScriptedPeer(lambda conn, lines: conn.sendall(b"code=ack\n\n"))
    done = subprocess.run([CONSOLE, "--clear", "--port", str(semi.port), "-c",
                           "set_properties; tftp.access.allow=a\\;b\ntftp.timeout=2s"], capture_output=True, timeout=20)
    semi.join(5)
    check(done.returncode == 0 and semi.sets == [["set_properties", "tftp.access.allow=a;b", "tftp.timeout=2s"]],
          "client: -c splits at ';' and newlines, '\\;' is kept", repr(semi.sets))


def test_taken_ports():
    """A port taken by something else between the harness's pick and the daemon's bind: the daemon reports
    it and stops, and the harness starts it again on new ports."""
    for name, kind, failure in (("taken-tftp", socket.SOCK_DGRAM, "frontend failed to create a socket"),
                                ("taken-console", socket.SOCK_STREAM, "remote console failed to listen")):
        d = Daemon(name, encryption=False, extra="tftp.access.allow=true\n")
        taken = d.tftp_port if kind == socket.SOCK_DGRAM else d.port
        with socket.socket(socket.AF_INET, kind) as holder:
            holder.bind(("127.0.0.1", taken))
            if kind == socket.SOCK_STREAM:
                holder.listen()
            d.start()
        try:
            moved = d.tftp_port if kind == socket.SOCK_DGRAM else d.port
            check(moved != taken and ("port=%d\n" % moved) in d.config_text() and failure in d.log_text(),
                  name + ": started again on a new port", "%d -> %d\n%s" % (taken, moved, d.log_text()[-500:]))
            code, out, _ = console(d, "--clear", "-c", "info")
            check(code == 0 and "name=" in out, name + ": the console answers on the new port", out[-300:])
            answer = harness.tftp_get(d.tftp_port, "missing.bin")
            check(answer.startswith("error 1 "), name + ": the TFTP engine answers on the new port", answer)
        finally:
            d.stop(name + ": the daemon stops cleanly")


def main():
    started = time.monotonic()
    try:
        test_client_streaming()
        test_taken_ports()

        clear = Daemon("clear", encryption=False).start()
        try:
            test_clear_protocol(clear)
            test_client_clear(clear)
            test_bad_command_input(clear)
            test_many_consoles(clear)
        finally:
            clear.stop("clear daemon stops cleanly")

        guarded = Daemon("guarded").start()
        try:
            test_guarded_login(guarded)
        finally:
            guarded.stop("guarded daemon stops cleanly")

        enciphered = Daemon("enciphered").start()
        try:
            test_encrypted(enciphered)
        finally:
            enciphered.stop("enciphered daemon stops cleanly")

        enciphered.append("rconsole.min_client_version=1\n")
        enciphered.start()
        try:
            test_configured_password(enciphered)
            test_bad_login_input(enciphered)
        finally:
            enciphered.stop("restarted daemon stops cleanly")
    except Exception as e:
        check(False, "test run", repr(e))
    return harness.finish(started)


if __name__ == "__main__":
    sys.exit(main())
