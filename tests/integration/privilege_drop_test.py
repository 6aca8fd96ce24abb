"""zelvo-tftpd started by root the way the package runs it: system.priv.user
names an unprivileged user (nobody), the storage directory belongs to that
user, and everything the daemon makes there before it drops its privileges
(the private key, the embedded database and its lock files) must still serve
it afterwards. Shows that the daemon runs as nobody, serves a file, accepts a
console login (the stored password deciphered with the private key), answers
console commands that write and read the database, and stores an upload.

Needs root; skipped (exit 77) otherwise.

Usage: privilege_drop_test.py DAEMON CONSOLE PLUGIN_DIR DB_DIR
"""
import os
import pwd
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import daemon_harness as h
import database_test as dbt

USER = "nobody"


def uid_of(pid):
    with open("/proc/%d/status" % pid) as status:
        for line in status:
            if line.startswith("Uid:"):
                return [int(field) for field in line.split()[1:]]
    return []


def own(path, user):
    for top, dirs, files in os.walk(path):
        for name in [top] + [os.path.join(top, f) for f in dirs + files]:
            os.chown(name, user.pw_uid, user.pw_gid)


def privileged_daemon(user):
    d = h.Daemon("dropped", encryption=True, extra=dbt.db_keys("system.priv.user=%s\n" % USER), plugins=dbt.PLUGINS)
    with open(os.path.join(d.dir, "root", "hello.txt"), "w") as f:
        f.write("served after the privilege drop\n")
    # The packaged layout: the storage directory and the served files
    # belong to the service's user, the directory closed to others; the
    # configuration stays root's. The user must reach them from /.
    own(d.dir, user)
    os.chown(d.conf, 0, 0)
    os.chmod(d.dir, 0o750)
    os.chmod(h.WORK, 0o755)
    return d


def test_serving_user(d, user):
    h.check(uid_of(d.proc.pid)[:2] == [user.pw_uid, user.pw_uid], "the daemon runs as %s" % USER,
            repr(uid_of(d.proc.pid)))
    made = ["private_key.bin", "zelvo.fdb", "uploads.journal", "lock"]
    owners = {name: os.stat(os.path.join(d.dir, name)).st_uid for name in made
              if os.path.exists(os.path.join(d.dir, name))}
    h.check(owners == {name: user.pw_uid for name in made},
            "what the start made in the storage directory belongs to %s" % USER, repr(owners))
    key = os.stat(os.path.join(d.dir, "private_key.bin"))
    h.check(key.st_mode & 0o007 == 0, "the private key stays closed to others", oct(key.st_mode))


def test_download(d):
    h.check(h.tftp_get(d.tftp_port, "hello.txt") == b"served after the privilege drop\n",
            "a file is served after the privilege drop")


def test_console(d):
    # Each login deciphers the administrator's password with the private
    # key, which only root can read.
    for attempt in (1, 2):
        code, out, err = h.console(d, "-c", "info")
        h.check(code == 0, "console login %d as the administrator" % attempt, "%d %r %r" % (code, out, err))
    text = d.log_text()
    h.check("Cannot open blowfish key file" not in text, "no login reads the key file", text[-2000:])


def test_database(d):
    code, out, err = h.console(d, "-c", "insert_domain;name=Dropped;description=written as nobody")
    h.check(code == 0 and "oid=" in out, "console: insert_domain writes the database", "%d %r %r" % (code, out, err))
    code, out, err = h.console(d, "-c", "select_domain;where=T.NAME = 'Dropped'")
    h.check(code == 0 and "written as nobody" in out, "console: select_domain reads the row back",
            "%d %r %r" % (code, out, err))


def test_upload(d, user):
    upload = os.path.join(h.WORK, "upload.bin")
    with open(upload, "wb") as f:
        f.write(os.urandom(20000))
    done = subprocess.run(["curl", "--max-time", "20", "-sS", "-T", upload,
                           "tftp://127.0.0.1:%d/uploaded.bin" % d.tftp_port], capture_output=True, timeout=40)
    stored = os.path.join(d.dir, "root", "uploaded.bin")
    h.check(done.returncode == 0 and os.path.exists(stored)
            and open(stored, "rb").read() == open(upload, "rb").read(),
            "an upload is stored byte for byte", done.stderr.decode(errors="replace"))
    h.check(os.path.exists(stored) and os.stat(stored).st_uid == user.pw_uid,
            "the uploaded file belongs to %s" % USER)


def main():
    if os.geteuid() != 0:
        print("SKIP: starting the daemon as root and dropping to %s needs root" % USER)
        return 77
    try:
        user = pwd.getpwnam(USER)
    except KeyError:
        print("SKIP: no user %s on this machine" % USER)
        return 77
    started = time.monotonic()
    dbt.DB_DIR = os.path.realpath(sys.argv[4])
    h.setup("zelvo-privdrop-")
    d = privileged_daemon(user)
    # The engine's lock directory in the storage directory, as the unit
    # sets it, made on demand by the still privileged daemon.
    os.environ["FIREBIRD_LOCK"] = os.path.join(d.dir, "lock")
    d.start(dbt.START_SECONDS)
    try:
        test_serving_user(d, user)
        test_download(d)
        test_console(d)
        test_database(d)
        test_upload(d, user)
    finally:
        d.stop("the daemon stops cleanly")
    # A second start on what the first left, as after a restart of the unit.
    d.start(dbt.START_SECONDS)
    try:
        code, out, err = h.console(d, "-c", "select_domain;where=T.NAME = 'Dropped'")
        h.check(code == 0 and "written as nobody" in out, "after a restart: a login reads the row written before",
                "%d %r %r" % (code, out, err))
        test_download(d)
    finally:
        d.stop("the restarted daemon stops cleanly")
    return h.finish(started)


if __name__ == "__main__":
    sys.exit(main())
