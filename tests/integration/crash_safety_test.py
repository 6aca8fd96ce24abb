#!/usr/bin/env python3
"""Crash safety end to end: the real zelvo-tftpd (and db_probe) killed with
SIGKILL at varied moments, then started again on what the kill left.

uploads   curl uploads overwrite files in the root; the daemon is killed once
          a temporary has reached a random share of its upload (seen on
          disk), or after a random delay. Each target must hold the whole old
          or the whole new content, never a prefix or a mix; the restarted
          daemon removes every temporary the kill left and serves the files.
config    set_properties with many large values; the daemon is killed as the
          new configuration file is being written, or after a random delay.
          The file must read as the old or the new configuration, keep its
          mode (0640) and owner, leave no temporary beside it once the daemon
          has started again, and the daemon must start on it.
database  db_probe edits objects of several records each, one transaction
          per edit, and is killed after a random delay; the daemon must then
          open the database, and every object must be whole: all of its
          records, of one generation, and that generation the last one
          committed (or the one whose commit the kill interrupted).

Usage: crash_safety_test.py DAEMON CONSOLE PLUGIN_DIR DB_PROBE DB_DIR
           [--part uploads|config|database] [--long]
Without --part every part runs. --long repeats each part many times (by
hand); the default is a short run for the test suite.
"""
import argparse
import fcntl
import os
import random
import re
import signal
import stat
import subprocess
import sys
import time

import daemon_harness as h

UPLOAD_TEMPORARY = re.compile(r"^\..+\.upload-[0-9a-f]{12}$")
CONFIG_NAME = "zelvo-tftpd.conf"
CONFIG_TEMPORARY = re.compile(r"^\." + re.escape(CONFIG_NAME) + r"\..+$")
DB_PLUGINS = "zelvo_local_fs,tftp_rconsole,zelvo_firebird_provider"
# Creating the schema takes a while under the sanitizers on a busy machine.
DB_START_SECONDS = 180
RECORDS_PER_OBJECT = 6

# Free-text keys that the daemon without a database or publisher does not
# act on: large values in them make the configuration file large.
FREE_KEYS = ["system.log.target.eventlog", "system.log.target.stdout", "tftp.fdm.db.docsis_defs",
             "tftp.fdm.db.templates", "tftp.fdm.db.vfs_names", "udp_publisher.subscribers.file",
             "system.db.hostname", "system.db.user", "system.db.password", "system.db.cache_buffers",
             "system.db.page_size", "system.db.statements.file", "system.db.table_groups.file",
             "system.db.user_sql_queries.file", "system.db.user_sql_query_groups.file"]

args = None
counts = {}


def count(name, n=1):
    counts[name] = counts.get(name, 0) + n


def kill(d):
    """SIGKILL, and forget the process; the log stays open for appending."""
    d.proc.send_signal(signal.SIGKILL)
    d.proc.wait()
    d.proc = None
    d.log.close()


def clean_log(d, name):
    text = d.log_text()
    h.check("AddressSanitizer" not in text and "runtime error" not in text, name, text[-3000:])


def temporaries(directory, pattern):
    found = []
    for top, _, files in os.walk(directory):
        found += [os.path.join(top, f) for f in files if pattern.match(f)]
    return found


def pattern_bytes(seed, size):
    return random.Random(seed).randbytes(size)


# ---- uploads -------------------------------------------------------------------


def upload_daemon():
    return h.Daemon("uploads", encryption=False,
                    extra="tftp.access.allow=true\ntftp.overwrite.allow=true\ntftp.max_blocksize=1468\n")


def curl_upload(port, source, name, blksize):
    return subprocess.Popen(["curl", "--max-time", "60", "-s", "--tftp-blksize", str(blksize), "-T", source,
                             "tftp://127.0.0.1:%d/%s" % (port, name)],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def wait_for_share(root, sizes, share, clients, seconds):
    """Waits until a temporary holds share of its upload (by size on disk),
    or every client has ended, or seconds have passed; what happened."""
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        for path in temporaries(root, UPLOAD_TEMPORARY):
            target = re.sub(r"\.upload-[0-9a-f]{12}$", "", os.path.basename(path))[1:]
            try:
                if os.path.getsize(path) >= share * sizes.get(target, 1 << 40):
                    return "mid-upload"
            except OSError:
                pass   # renamed or removed meanwhile
        if all(c.poll() is not None for c in clients):
            return "after the uploads"
        time.sleep(0.0005)
    return "timeout"


def upload_round(d, round_number, src):
    root = os.path.join(d.dir, "root")
    rng = random.Random(round_number)
    old, new, sizes = {}, {}, {}
    names = ["file%d.bin" % i for i in range(4)]
    for i, name in enumerate(names):
        # Different sizes, so that a prefix of one is never the other.
        old[name] = pattern_bytes("old %d %d" % (round_number, i), rng.randrange(60, 300) * 1024 + rng.randrange(512))
        new[name] = pattern_bytes("new %d %d" % (round_number, i), rng.randrange(60, 300) * 1024 + rng.randrange(512))
        sizes[name] = len(new[name])
        with open(os.path.join(root, name), "wb") as f:
            f.write(old[name])
        with open(os.path.join(src, name), "wb") as f:
            f.write(new[name])
    port = d.tftp_port
    clients = [curl_upload(port, os.path.join(src, name), name, rng.choice([512, 1024, 1468])) for name in names]
    if rng.random() < 0.8:
        moment = wait_for_share(root, sizes, rng.random(), clients, 60)
    else:
        time.sleep(rng.uniform(0, 0.5))
        moment = "after a random delay"
    left_running = temporaries(root, UPLOAD_TEMPORARY)
    kill(d)
    for c in clients:
        c.kill()
        c.wait()
    count("uploads: killed " + moment)
    count("uploads: temporaries the kill left", len(temporaries(root, UPLOAD_TEMPORARY)))

    for name in names:
        with open(os.path.join(root, name), "rb") as f:
            data = f.read()
        outcome = "old" if data == old[name] else "new" if data == new[name] else None
        h.check(outcome is not None, "uploads round %d: %s holds the whole old or the whole new content"
                % (round_number, name), "%d bytes, old %d, new %d" % (len(data), len(old[name]), len(new[name])))
        if outcome:
            count("uploads: targets found " + outcome)

    d.start()
    left = temporaries(root, UPLOAD_TEMPORARY)
    h.check(not left, "uploads round %d: the restart removes the temporaries (%d seen at the kill)"
            % (round_number, len(left_running)), repr(left))
    out = os.path.join(src, "fetched")
    done = subprocess.run(["curl", "--max-time", "30", "-s", "-o", out, "tftp://127.0.0.1:%d/%s" % (port, names[0])])
    with open(os.path.join(root, names[0]), "rb") as f, open(out, "rb") as g:
        h.check(done.returncode == 0 and f.read() == g.read(), "uploads round %d: the restarted daemon serves"
                % round_number)


def test_uploads(rounds):
    d = upload_daemon()
    src = os.path.join(d.dir, "src")
    os.makedirs(src)
    d.start()
    for n in range(rounds):
        upload_round(d, n, src)
    d.stop("uploads: the daemon stops cleanly after the last restart")
    clean_log(d, "uploads: no sanitizer report in any run")


# ---- configuration -------------------------------------------------------------


def parse_config(text):
    """The file as the daemon reads it: key=value lines, empty ones dropped."""
    entries = {}
    for line in text.split("\n"):
        if line:
            key, _, value = line.partition("=")
            entries[key.strip(" \t")] = value.strip(" \t")
    return entries


def random_value(rng, size):
    alphabet = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789/._-,:"
    return "".join(rng.choice(alphabet) for _ in range(size))


def writing_config(d):
    """True while the daemon holds the new configuration open: a
    temporary beside the file, named or not yet (an unnamed file shows as
    "#inode (deleted)")."""
    directory = os.path.dirname(d.conf) + "/"
    fds = "/proc/%d/fd" % d.proc.pid
    try:
        for fd in os.listdir(fds):
            try:
                path = os.readlink(os.path.join(fds, fd))
            except OSError:
                continue
            name = path[len(directory):] if path.startswith(directory) else ""
            if re.match(r"^#\d+ \(deleted\)$", name) or CONFIG_TEMPORARY.match(name):
                return True
    except OSError:
        pass
    return False


def config_round(d, round_number, owner):
    rng = random.Random(1000 + round_number)
    old_text = d.config_text()
    old = parse_config(old_text)
    changes = {key: "r%d-%s" % (round_number, random_value(rng, rng.randrange(2000, 16000)))
               for key in rng.sample(FREE_KEYS, rng.randrange(6, len(FREE_KEYS) + 1))}
    new = dict(old, **changes)
    command = "set_properties\n" + "".join("%s=%s\n" % item for item in changes.items()) + "\n"

    c = h.Raw(d.port)
    directory = os.path.dirname(d.conf)
    c.send(command.encode())
    if rng.random() < 0.7:
        # Kill while the new file is being written: once the daemon holds it
        # open (it may have no name yet).
        end = time.monotonic() + 5
        while time.monotonic() < end and not writing_config(d):
            pass
        time.sleep(rng.uniform(0, 0.0005))
        moment = "as the file was written" if time.monotonic() < end else "after waiting for a write in vain"
    else:
        time.sleep(rng.uniform(0, 0.05))
        moment = "after a random delay"
    kill(d)
    c.close()
    count("config: killed " + moment)

    text = d.config_text()
    found = parse_config(text)
    outcome = "old" if found == old and text == old_text else "new" if found == new else None
    h.check(outcome is not None, "config round %d: the file reads as the old or the new configuration"
            % round_number, "%d bytes: %r" % (len(text), text[-200:]))
    if outcome:
        count("config: file found " + outcome)
    info = os.stat(d.conf)
    h.check(stat.S_IMODE(info.st_mode) == 0o640 and (info.st_uid, info.st_gid) == owner,
            "config round %d: the file keeps its mode and owner" % round_number,
            "mode %o owner %d:%d" % (stat.S_IMODE(info.st_mode), info.st_uid, info.st_gid))
    count("config: temporaries the kill left", len(temporaries(directory, CONFIG_TEMPORARY)))

    d.start()
    code, out, _ = h.console(d, "--clear", "-c", "get_properties")
    running = {k: v for k, _, v in (line.partition("=") for line in out.split("\n")) if k in changes}
    expected = {k: new[k] if outcome == "new" else old.get(k) for k in changes}
    expected = {k: v for k, v in expected.items() if v is not None}
    h.check(code == 0 and running == expected, "config round %d: the daemon starts on the file and runs with it"
            % round_number)
    left = temporaries(directory, CONFIG_TEMPORARY)
    h.check(not left, "config round %d: no temporary is left beside the file after the start" % round_number,
            repr(left))


def test_config(rounds):
    d = h.Daemon("config", encryption=False)
    os.chmod(d.conf, 0o640)
    if os.geteuid() == 0:
        # Owned by someone other than the daemon's user, as a packaged file may be.
        os.chown(d.conf, 65534, 65534)
    info = os.stat(d.conf)
    owner = (info.st_uid, info.st_gid)
    # A kill lands between naming a temporary and renaming it only rarely, so
    # the start's clean-up is also shown on planted files: an orphan goes, a
    # temporary whose writer still holds its lock stays.
    directory = os.path.dirname(d.conf)
    orphan = os.path.join(directory, "." + CONFIG_NAME + ".write-orphan")
    held = os.path.join(directory, "." + CONFIG_NAME + ".write-inwork")
    for path in (orphan, held):
        with open(path, "w") as planted:
            planted.write("system.index=9\n")
    with open(held) as writer:
        fcntl.flock(writer, fcntl.LOCK_EX)
        d.start()
        h.check(not os.path.exists(orphan), "config: the start removes an interrupted write's temporary")
        h.check(os.path.exists(held), "config: the start keeps a temporary whose writer holds its lock")
    os.unlink(held)
    for n in range(rounds):
        config_round(d, n, owner)
    d.stop("config: the daemon stops cleanly after the last restart")
    clean_log(d, "config: no sanitizer report in any run")


# ---- database ------------------------------------------------------------------


def db_daemon():
    d = h.Daemon("database", encryption=False, plugins=DB_PLUGINS, extra=h.db_keys(args.db_dir))
    # The message that the database is open is informational.
    d.replace("system.log.levels=error\n", "system.log.levels=info,error\n")
    return d


def probe(d, *words, **kw):
    return subprocess.run([args.probe, d.conf] + list(words), cwd=d.dir, capture_output=True, timeout=300, **kw)


def read_objects(d):
    """name -> (record count, set of generations), or None when the probe fails."""
    done = probe(d, "objects")
    if done.returncode != 0:
        h.check(False, "db_probe reads the objects", done.stderr.decode(errors="replace"))
        return None
    objects = {}
    for line in done.stdout.decode().split("\n"):
        if line:
            words = line.split()
            objects[words[0]] = (int(words[1]), set(words[2:]))
    return objects


def churn_until_killed(d, seed, seconds):
    """Runs the churn for seconds after its first commit, kills it; its
    output lines."""
    out_path = os.path.join(d.dir, "churn.out")
    with open(out_path, "wb") as out:
        churn = subprocess.Popen([args.probe, d.conf, "churn", str(RECORDS_PER_OBJECT), str(seed)], cwd=d.dir,
                                 stdout=out, stderr=subprocess.STDOUT)

        def committed():
            with open(out_path, "rb") as f:
                return b"done " in f.read()
        h.wait_for(lambda: committed() or churn.poll() is not None, 120)
        time.sleep(seconds)
        running = churn.poll() is None
        churn.send_signal(signal.SIGKILL)
        churn.wait()
    with open(out_path) as f:
        lines = f.read().split("\n")
    h.check(running, "database: the churn was still editing when killed", "\n".join(lines[-20:]))
    return lines


def expected_states(known, lines):
    """From the churn's log: (what each object must be, the one edit that may
    or may not have been stored: (name, state) or None). A state is a
    generation, or None for no object."""
    pending = None
    for line in lines:
        words = line.split()
        if len(words) != 4 or words[0] not in ("begin", "done"):
            continue
        state = None if words[1] == "delete" else words[3]
        if words[0] == "begin":
            pending = (words[2], state)
        else:
            known[words[2]] = state
            pending = None
    return pending


def database_round(d, round_number, known):
    rng = random.Random(2000 + round_number)
    lines = churn_until_killed(d, 2000 + round_number, rng.uniform(0.05, 2.0))
    done = [line for line in lines if line.startswith("done ")]
    count("database: edits committed", len(done))
    printed = [line for line in lines if line]
    count("database: kills during an edit", 1 if printed and printed[-1].startswith("begin ") else 0)
    h.check(not any(line.startswith("torn ") for line in lines),
            "database round %d: no read during the churn saw a torn object" % round_number)
    pending = expected_states(known, lines)

    d.start(DB_START_SECONDS)
    h.check(d.log_text().count("at schema version %d." % h.shipped_schema_version(args.db_dir)) == round_number + 2,
            "database round %d: the daemon opens the database the kill left" % round_number, d.log_text()[-2000:])
    d.stop("database round %d: the daemon on it stops cleanly" % round_number)

    objects = read_objects(d)
    if objects is None:
        return
    whole = [name for name, (rows, gens) in objects.items() if rows != RECORDS_PER_OBJECT or len(gens) != 1]
    h.check(not whole, "database round %d: every object is whole (%d objects)" % (round_number, len(objects)),
            repr({name: objects[name] for name in whole}))
    stored = {name: next(iter(gens)) for name, (_, gens) in objects.items()}
    names = set(stored) | {name for name, state in known.items() if state is not None}
    wrong = []
    for name in names:
        allowed = {known.get(name)}
        if pending and pending[0] == name:
            allowed.add(pending[1])
        if stored.get(name) not in allowed:
            wrong.append((name, stored.get(name), allowed))
    h.check(not wrong, "database round %d: each object is its last committed edit, or the interrupted one"
            % round_number, repr(wrong[:10]))
    if pending and stored.get(pending[0]) == pending[1] and known.get(pending[0]) != pending[1]:
        count("database: interrupted edits found stored")
    # The next round starts from what is stored.
    known.clear()
    known.update(stored)


def test_database(rounds):
    d = db_daemon()
    # The first start creates the database.
    d.start(DB_START_SECONDS)
    d.stop("database: the daemon creating the database stops cleanly")
    known = {}
    for n in range(rounds):
        database_round(d, n, known)
    clean_log(d, "database: no sanitizer report in any daemon run")


def main():
    global args
    parser = argparse.ArgumentParser()
    for name in ("daemon", "console", "plugin_dir", "probe", "db_dir"):
        parser.add_argument(name)
    parser.add_argument("--part", choices=["uploads", "config", "database"])
    parser.add_argument("--long", action="store_true")
    args = parser.parse_args()
    args.probe, args.db_dir = os.path.realpath(args.probe), os.path.realpath(args.db_dir)
    sys.argv = sys.argv[:4]
    started = time.monotonic()
    h.setup("zelvo-crash-")
    # The embedded engine leaves its memory to the process exit; its lock
    # files stay inside the test's directory.
    os.environ["ASAN_OPTIONS"] = "detect_leaks=0:abort_on_error=1"
    os.environ["FIREBIRD_LOCK"] = os.path.join(h.WORK, "lock")
    parts = {"uploads": (test_uploads, 4, 60), "config": (test_config, 6, 150), "database": (test_database, 3, 25)}
    try:
        for name, (test, short, long_rounds) in parts.items():
            if args.part in (None, name):
                test(long_rounds if args.long else short)
    except Exception as e:
        h.check(False, "test run", repr(e))
    for name in sorted(counts):
        print("count: %s: %d" % (name, counts[name]))
    return h.finish(started)


if __name__ == "__main__":
    sys.exit(main())
