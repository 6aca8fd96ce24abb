#!/usr/bin/env python3
"""The service's database end to end, with the shipped db/ files.

Embedded engine: a daemon started on an empty directory creates the database
at the required schema version and serves; a restart reopens it; the
backup and restore commands of docs/database.md give a database the daemon
opens; a database file that is garbage, unreadable, newer than the program or
in a directory that does not exist stops the start with one clear error and
is left as it was.

Firebird server: a private server on loopback (own configuration, security
database and port); two daemons with different system.index open one
database through it at the same time, the first creating it; db_probe, a
process that opens the database the way the daemon does, writes a record
with the first daemon's configuration and reads it back with the second's.
Skipped, not failed, without a server binary (/usr/sbin/firebird, from the
package firebird3.0-server, or the path in ZELVO_FIREBIRD_SERVER).

Usage: database_test.py DAEMON CONSOLE PLUGIN_DIR DB_PROBE DB_DIR
"""
import os
import random
import shutil
import signal
import socket
import stat
import subprocess
import sys
import time

import daemon_harness as h

PROBE = DB_DIR = VERSION = None


def setup(prefix, db_dir_argument):
    """The set-up of a test that runs daemons on the embedded engine: the
    work directory (h.setup), DB_DIR (the folder of the database files) from
    the command line argument of that index, and the engine's lock files
    inside the work directory."""
    global DB_DIR, VERSION
    h.setup(prefix)
    DB_DIR = os.path.realpath(sys.argv[db_dir_argument])
    VERSION = h.shipped_schema_version(DB_DIR)
    os.environ["FIREBIRD_LOCK"] = os.path.join(h.WORK, "lock")
PLUGINS = "zelvo_local_fs,tftp_rconsole,zelvo_firebird_provider,zelvo_db_facade"
# Creating the schema takes a while under the sanitizers on a busy machine.
START_SECONDS = 180
# The embedded engine leaves its memory to the process exit.
os.environ["ASAN_OPTIONS"] = "detect_leaks=0:abort_on_error=1"


def db_keys(extra=""):
    return h.db_keys(DB_DIR, extra)


def daemon(name, extra=""):
    d = h.Daemon(name, encryption=False, extra=db_keys(extra), plugins=PLUGINS)
    # The database's messages are informational.
    d.replace("system.log.levels=error\n", "system.log.levels=info,warning,error\n")
    with open(os.path.join(d.dir, "root", "hello.txt"), "w") as f:
        f.write("hello from the root\n")
    return d


def database_file(d):
    return os.path.join(d.dir, "zelvo.fdb")


def isql(database, sql, credentials=()):
    done = subprocess.run(["isql-fb", "-q", "-user", "SYSDBA"] + list(credentials) + [database],
                          input=sql.encode(), capture_output=True, timeout=60)
    return (done.stdout + done.stderr).decode(errors="replace")


def scalar(database, sql, credentials=()):
    """The single number a query returns, or None."""
    out = isql(database, sql + ";\n", credentials).split()
    try:
        return int(out[out.index(next(w for w in out if w.startswith("==="))) + 1])
    except (StopIteration, ValueError, IndexError):
        return None


def refused(d, name, expected, preexec=None, env=None):
    """Starts the daemon expecting a refusal whose message holds every text of
    expected; the file afterwards must be as before."""
    before = snapshot(database_file(d))
    try:
        done = subprocess.run([h.DAEMON, "--config", d.conf], cwd=d.dir, capture_output=True, timeout=120,
                              preexec_fn=preexec, env=env)
        code, err = done.returncode, done.stderr.decode(errors="replace")
    except subprocess.TimeoutExpired:
        code, err = None, "still running after 120 s"
    h.check(code not in (0, None) and all(text in err for text in expected) and "AddressSanitizer" not in err,
            name + ": the start stops with the clear error", "exit %s\n%s" % (code, err[-2000:]))
    return before


def snapshot(path):
    if not os.path.exists(path):
        return None
    with open(path, "rb") as f:
        return f.read(), stat.S_IMODE(os.stat(path).st_mode)


def test_embedded():
    d = daemon("embedded")
    d.start(START_SECONDS)
    log = d.log_text()
    h.check("Opened the database '%s' (embedded engine) at schema version %d." % (database_file(d), VERSION) in log
            or "Opened the database 'zelvo.fdb' (embedded engine) at schema version %d." % VERSION in log,
            "a new database is created at the required version and the log says so", log[-2000:])
    h.check(h.tftp_get(d.tftp_port, "hello.txt") == b"hello from the root\n", "the daemon serves with its database")
    d.stop("the daemon with a database stops cleanly")
    db = database_file(d)
    h.check(scalar(db, "SELECT NUMBER FROM SCHEMA_VERSION") == VERSION, "the schema version recorded is %d" % VERSION)
    h.check(scalar(db, "SELECT COUNT(*) FROM SCHEMA_INITIAL_DATA") == 0
            and scalar(db, "SELECT COUNT(*) FROM osk_domains") == 2
            and scalar(db, "SELECT COUNT(*) FROM osk_keyvalues WHERE KKEY = 'created_by'") == 1,
            "the initial data and the imports are loaded")

    d.start(START_SECONDS)
    h.check(d.log_text().count("at schema version %d." % VERSION) == 2, "a restart reopens the database")
    d.stop("the restarted daemon stops cleanly")
    h.check(scalar(db, "SELECT COUNT(*) FROM osk_domains") == 2, "a restart loads no initial data again")
    return d


def test_backup_and_restore(made):
    """The commands of docs/database.md on the database the daemon made."""
    work = os.path.join(h.WORK, "backup")
    os.makedirs(work)
    backup = os.path.join(work, "zelvo.fbk")
    r = daemon("restored")
    done = subprocess.run(["gbak", "-b", "-user", "SYSDBA", database_file(made), backup], capture_output=True)
    h.check(done.returncode == 0 and os.path.getsize(backup) > 0, "gbak -b backs the database up",
            done.stderr.decode(errors="replace"))
    done = subprocess.run(["gbak", "-c", "-user", "SYSDBA", backup, database_file(r)], capture_output=True)
    h.check(done.returncode == 0, "gbak -c restores it", done.stderr.decode(errors="replace"))
    r.start(START_SECONDS)
    h.check("at schema version %d." % VERSION in r.log_text(), "the daemon opens the restored database")
    r.stop("the daemon on the restored database stops cleanly")
    h.check(scalar(database_file(r), "SELECT COUNT(*) FROM osk_domains") == 2, "the restored database has the data")


def test_refusals(good):
    garbage = daemon("garbage")
    with open(database_file(garbage), "wb") as f:
        f.write(bytes(random.getrandbits(8) for _ in range(64 * 1024)))
    before = refused(garbage, "garbage", [database_file(garbage), "not a Firebird database",
                                          "restore it from a backup or move it away"])
    h.check(snapshot(database_file(garbage)) == before, "garbage: the file is left untouched")

    newer = daemon("newer")
    shutil.copy(good, database_file(newer))
    isql(database_file(newer), "UPDATE SCHEMA_VERSION SET NUMBER = %d; COMMIT;\n" % (VERSION + 1))
    tables = scalar(database_file(newer), "SELECT COUNT(*) FROM RDB$RELATIONS")
    refused(newer, "newer", [database_file(newer), "newer than version %d" % VERSION, "run the matching program version"])
    # Attaching updates Firebird's header page, so the bytes may change; the
    # schema must not.
    h.check(scalar(database_file(newer), "SELECT NUMBER FROM SCHEMA_VERSION") == VERSION + 1
            and scalar(database_file(newer), "SELECT COUNT(*) FROM RDB$RELATIONS") == tables,
            "newer: the database keeps its version and tables")

    missing = daemon("missing", "system.db.path=%s/no-such-directory\n" % h.WORK)
    refused(missing, "no directory", ["%s/no-such-directory" % h.WORK, "does not exist"])
    h.check(not os.path.exists(os.path.join(h.WORK, "no-such-directory")), "no directory: none is made")

    unreadable = daemon("unreadable")
    shutil.copy(good, database_file(unreadable))
    os.chmod(database_file(unreadable), 0)
    expected = [database_file(unreadable), "not readable and writable by this process"]
    if os.geteuid() != 0:
        before = refused(unreadable, "unreadable", expected)
    elif shutil.which("setpriv") is None:
        print("SKIP: unreadable: running as root, and setpriv is missing to drop to another user")
        return
    else:
        # Root reads any file: the daemon runs as nobody instead, in
        # directories it may use.
        lock = os.path.join(unreadable.dir, "lock")
        os.makedirs(lock)
        for path in (h.WORK, unreadable.dir, lock):
            os.chmod(path, 0o777)
        env = dict(os.environ, FIREBIRD_LOCK=lock)

        def as_nobody():
            os.setgroups([])
            os.setgid(65534)
            os.setuid(65534)
        before = refused(unreadable, "unreadable (as nobody)", expected, preexec=as_nobody, env=env)
        os.chmod(h.WORK, 0o700)
    h.check(snapshot(database_file(unreadable)) == before and before[1] == 0,
            "unreadable: the file is left untouched")


def server_binary():
    for path in (os.environ.get("ZELVO_FIREBIRD_SERVER", ""), "/usr/sbin/firebird"):
        if path and os.access(path, os.X_OK):
            return path
    return None


def skip_without_server(what):
    """The server binary, or None after saying why the part is skipped."""
    binary = server_binary()
    if binary is None:
        print("SKIP: %s: no server binary (install firebird3.0-server for /usr/sbin/firebird, or name one in "
              "ZELVO_FIREBIRD_SERVER)" % what)
    return binary


class PrivateServer:
    """The server of the steps in docs/database.md, on loopback, for the
    daemons of one test: its own configuration, security database and port.
    A context manager; stopped on leaving."""

    def __init__(self, binary, name="fbserver"):
        self.home = os.path.join(h.WORK, name)
        self.data = os.path.join(self.home, "data")
        os.makedirs(os.path.join(self.home, "lock"))
        os.makedirs(self.data)
        self.port = h.free_port()
        with open(os.path.join(self.home, "firebird.conf"), "w") as conf:
            conf.write("RemoteServicePort = %d\nRemoteBindAddress = 127.0.0.1\nSecurityDatabase = %s/security3.fdb\n"
                       "AuthServer = Srp\nUserManager = Srp\n" % (self.port, self.home))
        env = dict(os.environ, FIREBIRD=self.home, FIREBIRD_LOCK=os.path.join(self.home, "lock"))
        subprocess.run(["isql-fb", "-q", "-user", "SYSDBA"],
                       input=("CREATE DATABASE '%s/security3.fdb';" % self.home).encode(), env=env,
                       capture_output=True, timeout=60)
        subprocess.run(["isql-fb", "-q", "-user", "SYSDBA", self.home + "/security3.fdb"],
                       input=b"CREATE USER SYSDBA PASSWORD 'secret'; COMMIT;", env=env, capture_output=True,
                       timeout=60)
        self.binary, self.env = binary, env
        self.log = open(os.path.join(self.home, "server.log"), "wb")
        self.start()

    def start(self):
        self.proc = subprocess.Popen([self.binary], env=self.env, stdout=self.log, stderr=self.log)

    def stop(self):
        self.proc.terminate()
        try:
            self.proc.wait(30)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()

    def listening(self):
        try:
            socket.create_connection(("127.0.0.1", self.port), timeout=1).close()
            return True
        except OSError:
            return False

    def keys(self):
        """The configuration keys that put a daemon's database on this server."""
        return ("system.db.hostname=127.0.0.1/%d\nsystem.db.path=%s\nsystem.db.user=SYSDBA\n"
                "system.db.password=secret\n" % (self.port, self.data))

    def __enter__(self):
        return self

    def __exit__(self, *_):
        self.stop()
        self.log.close()


def test_two_daemons_on_one_server():
    binary = skip_without_server("two daemons on one Firebird server")
    if binary is None:
        return
    with PrivateServer(binary) as server:
        daemons = []
        try:
            if not h.check(h.wait_for(server.listening, 30), "the private Firebird server listens"):
                return
            port, data = server.port, server.data
            first = daemon("server-a", server.keys() + "system.index=1\n")
            second = daemon("server-b", server.keys() + "system.index=2\n")
            daemons = [first, second]
            expected = "Opened the database '127.0.0.1/%d:%s/zelvo.fdb' (database server 127.0.0.1/%d) " \
                       "at schema version %d." % (port, data, port, VERSION)
            first.start(START_SECONDS)
            h.check(expected in first.log_text(), "the first daemon creates the database on the server",
                    first.log_text()[-2000:])
            second.start(START_SECONDS)
            h.check(expected in second.log_text(), "the second daemon opens it at the same version",
                    second.log_text()[-2000:])
            h.check(all(h.tftp_get(d.tftp_port, "hello.txt") == b"hello from the root\n" for d in daemons),
                    "both daemons serve")

            env = dict(os.environ)
            put = subprocess.run([PROBE, first.conf, "put", "greeting", "written with the first daemon's settings"],
                                 cwd=first.dir, capture_output=True, timeout=120, env=env)
            h.check(put.returncode == 0, "a record is written through the first daemon's database",
                    put.stderr.decode(errors="replace"))
            get = subprocess.run([PROBE, second.conf, "get", "greeting"], cwd=second.dir, capture_output=True,
                                 timeout=120, env=env)
            h.check(get.returncode == 0 and get.stdout.decode().strip() == "written with the first daemon's settings",
                    "it is read through the second daemon's", (get.stdout + get.stderr).decode(errors="replace"))
            remote = "127.0.0.1/%d:%s/zelvo.fdb" % (port, data)
            h.check(scalar(remote, "SELECT COUNT(*) FROM osk_domains", ["-password", "secret"]) == 2,
                    "the second daemon loaded no initial data again")
            for d in (second, first):
                d.stop("a daemon on the server stops cleanly")
        finally:
            for d in daemons:
                if d.proc is not None:
                    d.stop()


def looking_up(server, name, extra=""):
    """A daemon on server that serves hello.txt, and whose every request
    looks its account up in the database: nothing is kept."""
    d = daemon(name, server.keys() + "provisioner.account.name=[$SRC.IP()]\nsystem.db.cache.time=0s\n" + extra)
    with open(os.path.join(d.dir, "root", "hello.txt"), "w") as f:
        f.write("hello\n")
    return d


def test_a_restarted_server_is_reached_again():
    binary = skip_without_server("a daemon across a restart of its Firebird server")
    if binary is None:
        return
    with PrivateServer(binary, "fbserver-restarted") as server:
        if not h.check(h.wait_for(server.listening, 30), "the private Firebird server listens"):
            return
        d = looking_up(server, "server-restart")
        try:
            d.start(START_SECONDS)
            h.check(h.tftp_get(d.tftp_port, "hello.txt") == b"hello\n", "a request looks its account up on the server")
            server.stop()
            got = h.tftp_get(d.tftp_port, "hello.txt")
            h.check(isinstance(got, str) and got.startswith("error 2 "),
                    "while the server is down such a request is refused", repr(got))
            server.start()
            if h.check(h.wait_for(server.listening, 30), "the server listens again"):
                # The refused request's attempt to reconnect failed: for 5 s
                # after it requests fail at once, then one reconnects.
                h.check(h.wait_for(lambda: h.tftp_get(d.tftp_port, "hello.txt") == b"hello\n", 30),
                        "a request after the pause reaches the restarted server")
            # The log is written by a thread of its own.
            said = lambda: all(text in d.log_text() for text in ("was lost and a new one cannot be opened",
                                                                 "was lost; a new connection is open."))
            h.check(h.wait_for(said, 10), "the log says the connection was lost, could not be replaced, then was",
                    d.log_text()[-3000:])
            d.stop("the daemon stops cleanly after its server's restart")
        finally:
            if d.proc is not None:
                d.stop()


def test_a_hung_server_holds_no_request():
    binary = skip_without_server("a daemon whose Firebird server stops answering")
    if binary is None:
        return
    with PrivateServer(binary, "fbserver-hung") as server:
        if not h.check(h.wait_for(server.listening, 30), "the private Firebird server listens"):
            return
        d = looking_up(server, "server-hung", "system.db.answer_timeout=500ms\n")
        try:
            d.start(START_SECONDS)
            h.check(h.tftp_get(d.tftp_port, "hello.txt") == b"hello\n", "a request looks its account up on the server")
            # The server keeps its connections open and answers nothing.
            os.kill(server.proc.pid, signal.SIGSTOP)
            # The lookup is cancelled after 0.5 s, its connection closed 2 s
            # later, and a new one waited for 1 s: the client (5 s) hears
            # the refusal.
            started = time.monotonic()
            got = h.tftp_get(d.tftp_port, "hello.txt")
            h.check(isinstance(got, str) and got.startswith("error 2 ") and time.monotonic() - started < 4.9,
                    "a request during the hang is refused, not left unanswered", repr(got))
            started = time.monotonic()
            later = [h.tftp_get(d.tftp_port, "hello.txt") for _ in range(3)]
            h.check(all(isinstance(g, str) and g.startswith("error 2 ") for g in later) and
                    time.monotonic() - started < 1.5, "the requests after it are refused at once", repr(later))
            os.kill(server.proc.pid, signal.SIGCONT)
            h.check(h.wait_for(lambda: h.tftp_get(d.tftp_port, "hello.txt") == b"hello\n", 30),
                    "once the server answers again, requests are served")
            said = lambda: all(text in d.log_text() for text in (
                "was not answered in 500 ms; it is cancelled.",
                "was not answered in 500 ms, nor its cancellation in 2000 ms; its connection is closed"))
            h.check(h.wait_for(said, 10), "the log says the call was cancelled, then its connection closed",
                    d.log_text()[-3000:])
            d.stop("the daemon stops cleanly after its server's hang")
        finally:
            os.kill(server.proc.pid, signal.SIGCONT)
            if d.proc is not None:
                d.stop()


def main():
    global PROBE
    started = time.monotonic()
    PROBE = os.path.realpath(sys.argv[4])
    setup("zelvo-database-", 5)
    made = test_embedded()
    test_backup_and_restore(made)
    test_refusals(database_file(made))
    test_two_daemons_on_one_server()
    test_a_restarted_server_is_reached_again()
    test_a_hung_server_holds_no_request()
    return h.finish(started)


if __name__ == "__main__":
    sys.exit(main())
