#!/usr/bin/env python3
"""Two daemons on one database through a private Firebird server, driven
through their consoles and served to a real TFTP client (curl).

- A domain and a device account in it are made while both daemons run (the
  domain through the console of daemon A, the account rows with db_probe,
  as the console has no word for device accounts).
- curl fetches from daemon B before any policy exists: the requested file
  arrives, and B keeps that answer for system.db.cache.time.
- A policy of that domain inserted through the console of A is listed
  through the console of B, and once B's kept answer has expired it decides
  B's download: the file the policy maps the name to arrives.
- The other way round: the policy changed through the console of B decides
  the downloads of A, once the answer A kept from before has expired.

Skipped, not failed, without a Firebird server binary
(ZELVO_FIREBIRD_SERVER, as scripts/test sets it, or /usr/sbin/firebird).

Usage: console_two_daemons_test.py DAEMON CONSOLE PLUGIN_DIR DB_PROBE DB_DIR
"""
import os
import subprocess
import sys
import time

import daemon_harness as h
import database_test as db
from console_objects_test import Client, final

CACHE_SECONDS = 1
# How long past the cache time a change may take to show: a request under
# the sanitizers on a loaded machine.
SLACK_SECONDS = 6
CONFIG = ('provisioner.account.name=[$SRC.IP()]\n'
          'tftp.preprocessor=[$FILE.NAME($PROV.POLICY("boot", $FILE.NAME()))]\n'
          'system.db.cache.time=%ds\n' % CACHE_SECONDS)
FILES = ["modem.cfg", "lab.cfg", "other.cfg"]
ACCOUNT_KEY = 710001


def contents(name):
    return ("contents of %s\n" % name).encode()


def curl(d, name):
    """The bytes curl downloads from the daemon, or its complaint."""
    done = subprocess.run(["curl", "--silent", "--show-error", "--max-time", "10",
                           "tftp://127.0.0.1:%d/%s" % (d.tftp_port, name), "--output", "-"],
                          capture_output=True, timeout=30)
    return done.stdout if done.returncode == 0 else "curl exit %d: %s" % (done.returncode, done.stderr.decode())


def arrives(d, name, expected):
    """Within the cache time and the slack, a download of name from d gives
    the contents of expected; the last result otherwise."""
    last = [None]

    def fetched():
        last[0] = curl(d, name)
        return last[0] == contents(expected)
    if h.wait_for(fetched, CACHE_SECONDS + SLACK_SECONDS):
        return True, last[0]
    return False, last[0]


def account_rows(domain_oid):
    """The device account 127.0.0.1 (curl's source address) in the domain."""
    control = ACCOUNT_KEY + 1
    return ["INSERT INTO osk_accounts (PK, OID, NAME, ENABLED) VALUES (%d, %d, '127.0.0.1', TRUE)"
            % (ACCOUNT_KEY, ACCOUNT_KEY),
            "INSERT INTO osk_access_control (PK, OID, DOMAIN_ID, ACCESS_ID, ACCOUNT_REF, DOMAIN_REF) "
            "VALUES (%d, %d, %d, %d, %d, %d)" % (control, control, domain_oid, ACCOUNT_KEY, ACCOUNT_KEY, domain_oid)]


def test_policy_across_daemons(a, b, probe):
    console_a, console_b = Client(a), Client(b)
    try:
        entries, code, message = final(console_a("insert_domain\nname=Shared Lab\npriority=5"))
        if not h.check(code == "ack" and int(entries.get("oid", -1)) > 0, "a domain is inserted through A's console",
                       repr(entries) + message):
            return
        done = subprocess.run([probe, a.conf, "sql"] + account_rows(int(entries["oid"])), cwd=a.dir,
                              capture_output=True, timeout=300)
        if not h.check(done.returncode == 0, "a device account in that domain is written beside the daemons",
                       (done.stdout + done.stderr).decode(errors="replace")):
            return

        got = curl(b, "modem.cfg")
        h.check(got == contents("modem.cfg"), "without a policy B serves the requested file", repr(got))

        _, code, message = final(console_a("insert_policy\nname=shared-boot\ndata=boot=lab.cfg\ndomains=Shared Lab"))
        h.check(code == "ack", "a policy of the domain is inserted through A's console", message)
        found, code, message = console_b.objects("select_policy\nwhere=T.NAME = 'shared-boot'")
        # The inserting administrator's own domain is added to the policy's.
        h.check(code == "ack" and len(found) == 1 and found[0].get("data") == "boot=lab.cfg"
                and "Shared Lab" in found[0].get("domains", "").split(","),
                "B's console lists the policy A inserted", repr(found) + message)
        ok, got = arrives(b, "modem.cfg", "lab.cfg")
        h.check(ok, "the policy decides B's download once B's kept answer expires", repr(got))

        got = curl(a, "modem.cfg")
        h.check(got == contents("lab.cfg"), "A serves by the same policy (and keeps that answer)", repr(got))
        entries, code, message = final(console_b("update_policy\nwhere=T.NAME = 'shared-boot'\ndata=boot=other.cfg"))
        h.check(code == "ack" and entries.get("count") == "1", "the policy is changed through B's console",
                repr(entries) + message)
        found, _, _ = console_a.objects("select_policy\nwhere=T.NAME = 'shared-boot'")
        h.check([p.get("data") for p in found] == ["boot=other.cfg"], "A's console lists the change", repr(found))
        ok, got = arrives(a, "modem.cfg", "other.cfg")
        h.check(ok, "the changed policy decides A's download", repr(got))
    finally:
        console_a.close()
        console_b.close()


def main():
    started = time.monotonic()
    probe = os.path.realpath(sys.argv[4])
    db.DB_DIR = os.path.realpath(sys.argv[5])
    h.setup("zelvo-console-two-daemons-")
    binary = db.skip_without_server("a policy through the console of one daemon deciding the downloads of another")
    if binary is None:
        return h.finish(started)
    with db.PrivateServer(binary) as server:
        if not h.check(h.wait_for(server.listening, 30), "the private Firebird server listens"):
            return h.finish(started)
        daemons = [db.daemon("daemon-a", server.keys() + "system.index=1\n" + CONFIG),
                   db.daemon("daemon-b", server.keys() + "system.index=2\n" + CONFIG)]
        for d in daemons:
            for name in FILES:
                with open(os.path.join(d.dir, "root", name), "wb") as f:
                    f.write(contents(name))
        try:
            # A creates the database; B opens it once it exists.
            for d in daemons:
                d.start(db.START_SECONDS)
            test_policy_across_daemons(daemons[0], daemons[1], probe)
            for d in reversed(daemons):
                d.stop("a daemon on the shared database stops cleanly")
        finally:
            for d in daemons:
                d.stop()
    return h.finish(started)


if __name__ == "__main__":
    sys.exit(main())
