"""Shared pieces of the end-to-end tests driven from Python: the real
zelvo-tftpd started on free loopback ports with a configuration in its own
temporary directory, zelvo-console runs, a raw clear-text console peer and
the PASS/FAIL bookkeeping.

A test script calls setup(prefix) first; it takes DAEMON CONSOLE PLUGIN_DIR
from the command line.
"""
import os
import random
import re
import signal
import socket
import struct
import subprocess
import sys
import tempfile
import time
import warnings

DAEMON = CONSOLE = PLUGIN_DIR = WORK = None
failures = []

GREETING = re.compile(rb"^Connected to .+ on .*\. Use <exit> to disconnect\.\n\n$")
REPLY_END = re.compile(rb"(?:^|\n)code=[^\n]*\n(?:message=[^\n]*\n)?\n$")
DEFAULT_PLUGINS = "zelvo_local_fs,tftp_rconsole"


def key_values(text):
    """The key=value lines of a text as a dict (the reply code among them)."""
    values = {}
    for line in text.split("\n"):
        key, sep, value = line.partition("=")
        if sep:
            values[key] = value
    return values


def reply_records(reply):
    """A console reply split up: the streamed records (dicts, each ended by a
    "-" line), the entries after the last record, the code and the message."""
    found, current, code, message = [], {}, None, ""
    for line in reply.decode().split("\n"):
        if line == "-":
            found.append(current)
            current = {}
        elif line.startswith("code="):
            code = line[5:]
        elif line.startswith("message="):
            message = line[8:]
        elif "=" in line:
            key, value = line.split("=", 1)
            current[key] = value
    return found, current, code, message


def setup(prefix):
    """Reads DAEMON CONSOLE PLUGIN_DIR from the command line, makes the work directory."""
    global DAEMON, CONSOLE, PLUGIN_DIR, WORK
    DAEMON, CONSOLE, PLUGIN_DIR = (os.path.realpath(a) for a in sys.argv[1:4])
    WORK = tempfile.mkdtemp(prefix=prefix)


def finish(started):
    """Prints the summary, removes the work directory when all passed; the exit status."""
    import shutil
    print("%d failures, %.1f s" % (len(failures), time.monotonic() - started))
    if not failures:
        shutil.rmtree(WORK, ignore_errors=True)
    else:
        print("work directory kept: " + WORK)
    return 1 if failures else 0

def check(condition, name, detail=""):
    if condition:
        print("PASS: " + name)
    else:
        print("FAIL: " + name + (" -- " + detail if detail else ""))
        failures.append(name)
    return condition


def blowfish(key, data, chained=False, decrypt=False):
    """data enciphered (or deciphered) with Blowfish under key, in ECB mode or chained (CBC from a zero
    vector); None without python3-cryptography."""
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        try:
            from cryptography.hazmat.primitives.ciphers import Cipher, modes
            try:
                from cryptography.hazmat.decrepit.ciphers.algorithms import Blowfish
            except ImportError:
                from cryptography.hazmat.primitives.ciphers.algorithms import Blowfish
        except ImportError:
            return None
        cipher = Cipher(Blowfish(key), modes.CBC(bytes(8)) if chained else modes.ECB())
        work = cipher.decryptor() if decrypt else cipher.encryptor()
    return work.update(data) + work.finalize()


def ephemeral_ports():
    """The kernel's range of ports for sockets bound to port 0 (the Linux default when it cannot be read)."""
    try:
        with open("/proc/sys/net/ipv4/ip_local_port_range") as ports:
            low, high = (int(word) for word in ports.read().split())
            return low, high
    except (OSError, ValueError):
        return 32768, 60999


_port_picks = random.Random()   # seeded from the system's entropy: each test process picks its own


def free_port(kind=socket.SOCK_STREAM):
    """A loopback port free at the moment for sockets of the kind. It lies outside the kernel's ephemeral
    range: a port the kernel hands out for port 0 may go to any client socket of a test running alongside
    (curl, a console, the load generator) before the daemon binds it. Only ports picked the same way by
    tests running alongside can still collide; Daemon.start moves to new ones when that happens."""
    low, high = ephemeral_ports()
    candidates = range(10000, low) if low > 11000 else range(high + 1, 65536)
    for _ in range(100 if len(candidates) > 1000 else 0):
        port = _port_picks.choice(candidates)
        with socket.socket(socket.AF_INET, kind) as s:
            try:
                s.bind(("127.0.0.1", port))
            except OSError:
                continue
            return port
    with socket.socket(socket.AF_INET, kind) as s:   # no room beside the ephemeral range
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def threads_of(pid):
    with open("/proc/%d/status" % pid) as status:
        for line in status:
            if line.startswith("Threads:"):
                return int(line.split()[1])
    return -1


def wait_for(predicate, seconds):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        if predicate():
            return True
        time.sleep(0.1)
    return predicate()


def shipped_schema_version(db_dir):
    """The schema version the program requires: the highest numbered folder of the shipped db_versions."""
    return max(int(name) for name in os.listdir(os.path.join(db_dir, "db_versions")) if name.isdigit())


def db_keys(db_dir, extra=""):
    """The configuration keys of the service's database on the shipped db/ files, all requests allowed."""
    return ("system.db.name=zelvo\n"
            "system.db.versions_path=%(db)s/db_versions\n"
            "system.db.statements.file=%(db)s/statements.spec\n"
            "system.db.table_groups.file=%(db)s/table_groups.spec\n"
            "system.db.user_sql_queries.file=%(db)s/user_sql_queries.spec\n"
            "system.db.user_sql_query_groups.file=%(db)s/user_sql_query_groups.spec\n"
            "tftp.access.allow=true\n%(extra)s"
            % {"db": db_dir, "extra": extra})


class Daemon:
    """zelvo-tftpd with the console plug-in, configured in its own directory."""

    def __init__(self, name, encryption=True, extra="", plugins=DEFAULT_PLUGINS):
        self.dir = os.path.join(WORK, name)
        os.makedirs(os.path.join(self.dir, "root"), exist_ok=True)
        self.port = free_port()
        self.tftp_port = free_port(socket.SOCK_DGRAM)
        self.conf = os.path.join(self.dir, "zelvo-tftpd.conf")
        with open(self.conf, "w") as conf:
            conf.write(
                "tftp.virtual_root=%s/root\n"
                "tftp.engine.listen_on=127.0.0.1\n"
                "tftp.engine.port=%d\n"
                "system.storage.path=%s\n"
                "system.plugins.path=%s\n"
                "system.plugins=%s\n"
                "rconsole.listen_on=127.0.0.1\n"
                "rconsole.port=%d\n"
                "rconsole.encryption=%s\n"
                "rconsole.private_key_path=%s\n"
                "system.log.levels=error\n%s"
                % (self.dir, self.tftp_port, self.dir, PLUGIN_DIR, plugins, self.port,
                   "true" if encryption else "false", self.dir, extra))
        self.proc = None

    # What the daemon logs when one of its ports was taken between the pick and its bind.
    BIND_FAILURES = ("frontend failed to create a socket", "remote console failed to listen")

    def start(self, seconds=30):
        """Starts the daemon and waits up to seconds for its console. A daemon that found a port taken by
        something else started alongside (it stops, or goes on without its console) is started again on new
        ports, twice at most."""
        log_path = os.path.join(self.dir, "daemon.log")
        for attempt in range(3):
            log_start = os.path.getsize(log_path) if os.path.exists(log_path) else 0

            def new_log():
                with open(log_path, "rb") as log:
                    log.seek(log_start)
                    return log.read().decode(errors="replace")

            def port_taken():
                return any(text in new_log() for text in self.BIND_FAILURES)
            if self._started(seconds, port_taken):
                return self
            taken = port_taken()
            self.stop()
            if not taken or attempt == 2 or not self._move_ports():
                raise RuntimeError("the daemon's console did not start:\n" + self.log_text())

    def _started(self, seconds, port_taken):
        """True when the daemon started now answers on its console port, and is still running with no port
        taken once its thread count has settled (a console answering on a port the daemon failed to bind is
        another's)."""
        self.log = open(os.path.join(self.dir, "daemon.log"), "ab")
        self.proc = subprocess.Popen([DAEMON, "--config", self.conf, "--foreground"], cwd=self.dir,
                                     stdout=self.log, stderr=self.log)

        def listening():
            try:
                with socket.create_connection(("127.0.0.1", self.port), timeout=1) as s:
                    s.settimeout(5)
                    return len(s.recv(1)) == 1   # the greeting or the login challenge
            except OSError:
                return False

        def failed():
            return self.proc.poll() is not None or port_taken()
        if not wait_for(lambda: failed() or listening(), seconds) or failed():
            return False
        # Threads when no console is connected (the probe's handler gone).
        self.base = self.settled()
        return not failed()

    def _move_ports(self):
        """Picks new ports and writes them to the configuration; False when it no longer names the old ones."""
        text = self.config_text()
        tftp_line, console_line = "tftp.engine.port=%d\n" % self.tftp_port, "rconsole.port=%d\n" % self.port
        if tftp_line not in text or console_line not in text:
            return False
        self.port, self.tftp_port = free_port(), free_port(socket.SOCK_DGRAM)
        self.replace(tftp_line, "tftp.engine.port=%d\n" % self.tftp_port)
        self.replace(console_line, "rconsole.port=%d\n" % self.port)
        return True

    def append(self, text):
        with open(self.conf, "a") as conf:
            conf.write(text)

    def config_text(self):
        with open(self.conf) as conf:
            return conf.read()

    def replace(self, old, new):
        """Replaces a piece of the configuration file's text (a regular expression of whole lines when old is
        one)."""
        text = self.config_text()
        text = old.sub(new, text) if isinstance(old, re.Pattern) else text.replace(old, new)
        with open(self.conf, "w") as conf:
            conf.write(text)

    def log_text(self):
        with open(os.path.join(self.dir, "daemon.log"), "rb") as log:
            return log.read().decode(errors="replace")

    def stop(self, name=None):
        if self.proc is None:
            return
        self.proc.send_signal(signal.SIGTERM)
        try:
            code = self.proc.wait(30)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            code = self.proc.wait()
        self.proc = None
        self.log.close()
        if name:
            text = self.log_text()
            check(code == 0 and "AddressSanitizer" not in text and "runtime error" not in text,
                  name, "exit %d\n%s" % (code, text[-3000:]))

    def threads(self):
        return threads_of(self.proc.pid)

    def settled(self):
        """The thread count once it has not changed for a second."""
        last, same = self.threads(), 0
        while same < 10:
            time.sleep(0.1)
            now = self.threads()
            same = same + 1 if now == last else 0
            last = now
        return last

    def back_to_base(self, seconds=15):
        return wait_for(lambda: self.threads() == self.base, seconds)


def console(daemon, *args, password=None, stdin=None, port=None, timeout=60):
    """Runs zelvo-console; returns (exit code, stdout, stderr)."""
    env = dict(os.environ)
    env.pop("ZELVO_CONSOLE_PASSWORD", None)
    if password is not None:
        env["ZELVO_CONSOLE_PASSWORD"] = password
    command = [CONSOLE, "--port", str(port or daemon.port), "--timeout", "10"] + list(args)
    done = subprocess.run(command, input=stdin, stdin=None if stdin is not None else subprocess.DEVNULL,
                          capture_output=True, env=env, timeout=timeout)
    return done.returncode, done.stdout.decode(errors="replace"), done.stderr.decode(errors="replace")


def command(daemon, text, clear=True, password=None):
    """One command set through zelvo-console: (exit code, key=value map, stdout, stderr)."""
    code, out, err = console(daemon, *((["--clear"] if clear else []) + ["-c", text]), password=password)
    return code, key_values(out), out, err


def nak_of(result):
    """The message of a refused command set run by command(), or None."""
    code, _, _, err = result
    return err.strip()[len("nak: "):] if code == 1 and err.startswith("nak: ") else None


def curl(daemon, name, target, *extra):
    """curl's exit code for a transfer of name from (to, with -T) the daemon; the body goes to target."""
    return subprocess.run(["curl", "--max-time", "20", "-s", "-o", target] + list(extra)
                          + ["tftp://127.0.0.1:%d/%s" % (daemon.tftp_port, name)],
                          capture_output=True, timeout=40).returncode


def tftp_get(port, name, source="127.0.0.1"):
    """Downloads name (512-byte blocks) from a source address; the bytes, or "timeout", or the error packet
    as "error CODE TEXT"."""
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
        s.bind((source, 0))
        s.settimeout(5)
        s.sendto(struct.pack("!H", 1) + name.encode() + b"\0octet\0", ("127.0.0.1", port))
        data = b""
        while True:
            try:
                packet, peer = s.recvfrom(1024)
            except socket.timeout:
                return "timeout"
            opcode, block = struct.unpack("!HH", packet[:4])
            if opcode == 5:
                return "error %d %s" % (block, packet[4:-1].decode(errors="replace"))
            data += packet[4:]
            s.sendto(struct.pack("!HH", 4, block), peer)
            if len(packet) - 4 < 512:
                return data


class Raw:
    """A console peer speaking the clear protocol byte for byte."""

    def __init__(self, port, greet=True):
        self.sock = socket.create_connection(("127.0.0.1", port), timeout=10)
        self.buffer = b""
        if greet:
            self.greeting = self.read_until(lambda b: b.endswith(b"\n\n"))

    def send(self, data):
        self.sock.sendall(data)

    def read_until(self, done, seconds=10):
        end = time.monotonic() + seconds
        while not done(self.buffer):
            left = end - time.monotonic()
            if left <= 0:
                raise TimeoutError("no complete reply: %r" % self.buffer[-200:])
            self.sock.settimeout(left)
            chunk = self.sock.recv(65536)
            if not chunk:
                raise ConnectionError("closed after %r" % self.buffer[-200:])
            self.buffer += chunk
        data, self.buffer = self.buffer, b""
        return data

    def reply(self, seconds=10):
        return self.read_until(lambda b: REPLY_END.search(b) is not None, seconds)

    def command(self, text):
        self.send(text)
        return self.reply()

    def closed(self, seconds=5):
        """True when the peer closes without sending anything more."""
        self.sock.settimeout(seconds)
        try:
            data = self.sock.recv(65536)
        except ConnectionResetError:
            return True
        except socket.timeout:
            return False
        return data == b"" and self.buffer == b""

    def silent(self, seconds=0.5):
        self.sock.settimeout(seconds)
        try:
            data = self.sock.recv(65536)
        except socket.timeout:
            return True
        self.buffer += data
        return False

    def close(self):
        self.sock.close()

