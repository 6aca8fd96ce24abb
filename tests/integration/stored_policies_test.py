#!/usr/bin/env python3
"""Stored policies and key/value rows decide requests, end to end.

zelvo-tftpd on the embedded engine (shipped db/ files) serves real clients
while db_probe, a process of its own that opens the database the way the
daemon does, writes and changes rows. The engine runs in Firebird's Classic
mode (a private FIREBIRD root whose firebird.conf says so), in which several
processes open one embedded database at once.

- provisioner.account.name=[$SRC.IP()] names each client's device account;
  the pre-processor maps the requested name through $PROV.POLICY("boot"):
  the policy of the domain with the lower priority number wins, a disabled
  account or a disabled policy takes no part.
- tftp.access.allow reads $DB.KEYVALUE: a client is allowed while its row
  says "yes" and refused once the row says "no", without a restart, within
  the cache time (system.db.cache.time=1s).
- Changed priorities and policies reach the next requests the same way.
- --explain, beside the running daemon, names the account, the policies in
  merge order and the policy map.

Usage: stored_policies_test.py DAEMON CONSOLE PLUGIN_DIR DB_PROBE DB_DIR
"""
import os
import subprocess
import sys
import time

import daemon_harness as h
import database_test as db
from key_value_decisions_test import explain

PROBE = None
CACHE_SECONDS = 1
# How long past the cache time a change may take to show: a request under
# the sanitizers on a loaded machine.
SLACK_SECONDS = 4

CONFIG = ('provisioner.account.name=[$SRC.IP()]\n'
          'tftp.preprocessor=[$FILE.NAME($PROV.POLICY("boot", $FILE.NAME()))]\n'
          'tftp.access.allow=[$DB.KEYVALUE("tftp", "access", $SRC.IP()) == "yes"]\n'
          'system.db.cache.time=%ds\n' % CACHE_SECONDS)

# Domains: name, id (its OID), priority.
DOMAINS = [("Premium", 100, 1), ("Everyone", 101, 20), ("Lab", 102, 5)]
# Accounts: name, enabled, domain ids.
ACCOUNTS = [("127.0.0.1", True, [100, 101]),
            ("127.0.0.2", True, [101]),
            ("127.0.0.3", False, [100, 101]),
            ("127.0.0.4", True, [102])]
# Policies: name, data, enabled, domain ids.
POLICIES = [("gold", "boot=gold.cfg", True, [100]),
            ("base", "boot=base.cfg", True, [101]),
            ("lab", "boot=lab.cfg", False, [102])]
FILES = ["modem.cfg", "gold.cfg", "base.cfg", "lab.cfg"]


def rows():
    """The INSERT statements of the domains, accounts, policies and access rows."""
    sql, key = [], [700000]

    def next_key():
        key[0] += 1
        return key[0]
    for name, oid, priority in DOMAINS:
        sql.append("INSERT INTO osk_domains (PK, OID, PRIORITY, NAME, DOMAIN_TYPE) VALUES (%d, %d, %d, '%s', 0)"
                   % (oid, oid, priority, name))
    for name, enabled, domains in ACCOUNTS:
        oid = next_key()
        sql.append("INSERT INTO osk_accounts (PK, OID, NAME, ENABLED) VALUES (%d, %d, '%s', %s)"
                   % (oid, oid, name, enabled))
        for domain in domains:
            control = next_key()
            sql.append("INSERT INTO osk_access_control (PK, OID, DOMAIN_ID, ACCESS_ID, ACCOUNT_REF, DOMAIN_REF) "
                       "VALUES (%d, %d, %d, %d, %d, %d)" % (control, control, domain, oid, oid, domain))
        access = next_key()
        sql.append("INSERT INTO osk_keyvalues (PK, OID, KCLASS, SUBCLASS, KKEY, KVALUE, ENABLED) "
                   "VALUES (%d, %d, 'tftp', 'access', '%s', 'yes', TRUE)" % (access, access, name))
    for name, data, enabled, domains in POLICIES:
        oid, secured, memberships = next_key(), next_key(), next_key()
        sql.append("INSERT INTO osk_domain_mships (PK, OID) VALUES (%d, %d)" % (memberships, memberships))
        for sequence, domain in enumerate(domains):
            row, link = next_key(), next_key()
            sql.append("INSERT INTO osk_domain_id (PK, OID, DOMAIN_ID, SRC_PK, SRC_TABLE, DOMAIN_TYPE) "
                       "VALUES (%d, %d, %d, %d, '%d_tftp_policy', 0)" % (row, row, domain, oid, domain))
            sql.append("INSERT INTO osk_domain_mships_links (PK, OID, SRC_ATTR_NAME, SRC_ATTR_REF, DEST_ATTR_NAME, "
                       "DEST_ATTR_REF, DEST_SEQ_KEY) VALUES (%d, %d, 'domains', %d, 'domain_id', %d, %d)"
                       % (link, link, memberships, row, sequence))
        sql.append("INSERT INTO osk_secured_object (PK, OID, DOM_MEMBERSHIPS_REF) VALUES (%d, %d, %d)"
                   % (secured, secured, memberships))
        sql.append("INSERT INTO tftp_policy (PK, OID, SECURED_REF, DATA, NAME, ENABLED) "
                   "VALUES (%d, %d, %d, '%s', '%s', %s)" % (oid, oid, secured, data, name, enabled))
    return sql


def probe_sql(d, *statements):
    done = subprocess.run([PROBE, d.conf, "sql"] + list(statements), cwd=d.dir, capture_output=True, timeout=300)
    return done.returncode, (done.stdout + done.stderr).decode(errors="replace")


def classic_root():
    """A FIREBIRD root beside the installed one whose engine runs in Classic mode."""
    installed = "/usr/lib/x86_64-linux-gnu/firebird/3.0"
    for candidate in (os.environ.get("FIREBIRD", ""), installed):
        if candidate and os.path.exists(os.path.join(candidate, "plugins")):
            installed = candidate
            break
    root = os.path.join(h.WORK, "firebird")
    os.makedirs(root)
    for entry in os.listdir(installed):
        if entry != "firebird.conf":
            os.symlink(os.path.join(installed, entry), os.path.join(root, entry))
    with open(os.path.join(root, "firebird.conf"), "w") as conf:
        conf.write("ServerMode = Classic\n")
    return root


def until(predicate, seconds):
    """Seconds it took predicate to hold, or None."""
    started = time.monotonic()
    return time.monotonic() - started if h.wait_for(predicate, seconds) else None


def main():
    global PROBE
    started = time.monotonic()
    PROBE = os.path.realpath(sys.argv[4])
    db.setup("zelvo-stored-policies-", 5)
    os.environ["FIREBIRD"] = classic_root()
    d = db.daemon("policies", CONFIG)
    d.replace("tftp.access.allow=true\n", "")
    for name in FILES:
        with open(os.path.join(d.dir, "root", name), "w") as f:
            f.write("contents of %s\n" % name)

    d.start(db.START_SECONDS)
    port = d.tftp_port
    code, out = probe_sql(d, *rows())
    if not h.check(code == 0, "the rows are written while the daemon serves", out):
        d.stop()
        return h.finish(started)
    # The rows are new: no answer about them was kept before they were written.

    def gets(source, name):
        return lambda: h.tftp_get(port, "modem.cfg", source) == ("contents of %s\n" % name).encode()
    got = h.tftp_get(port, "modem.cfg", "127.0.0.1")
    h.check(got == b"contents of gold.cfg\n", "the policy of the higher-priority domain wins (gold over base)",
            repr(got))
    got = h.tftp_get(port, "modem.cfg", "127.0.0.2")
    h.check(got == b"contents of base.cfg\n", "an account of the lower domain only gets its policy", repr(got))
    got = h.tftp_get(port, "modem.cfg", "127.0.0.3")
    h.check(got == b"contents of modem.cfg\n", "a disabled account takes no part: the requested file", repr(got))
    got = h.tftp_get(port, "modem.cfg", "127.0.0.4")
    h.check(got == b"contents of modem.cfg\n", "a disabled policy takes no part: the requested file", repr(got))

    # Key/value row decides access: "yes" now, "no" after the change.
    got = h.tftp_get(port, "base.cfg", "127.0.0.2")
    h.check(got == b"contents of base.cfg\n", "the client is allowed while its row says yes", repr(got))
    code, out = probe_sql(d, "UPDATE osk_keyvalues SET KVALUE = 'no' WHERE KCLASS = 'tftp' AND KKEY = '127.0.0.2'")
    changed = time.monotonic()
    h.check(code == 0, "the access row is changed while the daemon serves", out)

    def refused():
        got = h.tftp_get(port, "base.cfg", "127.0.0.2")
        return isinstance(got, str) and got.startswith("error 2")
    took = until(refused, CACHE_SECONDS + SLACK_SECONDS)
    h.check(took is not None, "the client is refused once its row says no, without a restart, within the cache time",
            "still served %.1f s after the change" % (time.monotonic() - changed))
    got = h.tftp_get(port, "modem.cfg", "127.0.0.1")
    h.check(got == b"contents of gold.cfg\n", "the other clients go on being served", repr(got))

    # Stored policies changed while serving.
    code, out = probe_sql(d, "UPDATE tftp_policy SET ENABLED = TRUE WHERE NAME = 'lab'",
                          "UPDATE osk_domains SET PRIORITY = 30 WHERE NAME = 'Premium'")
    h.check(code == 0, "a policy is enabled and a priority changed while the daemon serves", out)
    h.check(until(gets("127.0.0.4", "lab.cfg"), CACHE_SECONDS + SLACK_SECONDS) is not None,
            "the policy once enabled takes part after the cache time")
    h.check(until(gets("127.0.0.1", "base.cfg"), CACHE_SECONDS + SLACK_SECONDS) is not None,
            "with Premium below Everyone now, the base policy wins")

    # The explanation opens the same database beside the running daemon.
    text = explain(d, "127.0.0.1:4000", "modem.cfg")
    h.check("account:            127.0.0.1 (enabled)" in text
            and "stored policies:    base (domain Everyone, priority 20), gold (domain Premium, priority 30)" in text
            and "policy map:         1 entry\n  boot=base.cfg\n" in text
            and "name after pre-processing: /base.cfg" in text,
            "--explain names the account, the policies in merge order and the policy map", text)
    text = explain(d, "127.0.0.3:4000", "modem.cfg")
    h.check("account:            127.0.0.3 (disabled)" in text and "stored policies:    (none)" in text
            and "policy map:         (empty)" in text, "--explain shows a disabled account with an empty map", text)
    text = explain(d, "127.0.0.2:4000", "base.cfg")
    h.check("access allowed:     no" in text, "--explain refuses the client whose row says no", text)
    d.stop("the daemon deciding from stored policies stops cleanly")
    return h.finish(started)


if __name__ == "__main__":
    sys.exit(main())
