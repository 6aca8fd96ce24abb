#!/usr/bin/env python3
"""Per-device decisions from the database, end to end.

Rows go into osk_keyvalues with isql-fb while the daemon is stopped; the
daemon (embedded engine, shipped db/ files) then decides each request with
the configuration lines of the worked example in docs/database.md: the access
rule lets the client 127.0.0.1 download and refuses 127.0.0.2, whose record is
disabled, and the pre-processor maps the requested name to the device's own
file. --explain gives the same answers without serving, and says so when
the running daemon holds the database.

Usage: key_value_decisions_test.py DAEMON CONSOLE PLUGIN_DIR DB_DIR
"""
import os
import subprocess
import sys
import time

import daemon_harness as h
import database_test as db

# The configuration lines of the worked example (docs/database.md).
EXAMPLE = ('tftp.access.allow=[$DB.KEYVALUE.EXISTS("tftp", "allowed", $SRC.IP(), true)]\n'
           'tftp.preprocessor=[$FILE.NAME($DB.KEYVALUE("tftp", $SRC.IP(), $FILE.NAME()))]\n')

ROWS = [
    # class, subclass, key, value, enabled
    ("tftp", "allowed", "127.0.0.1", "", True),
    ("tftp", "allowed", "127.0.0.2", "", False),
    ("tftp", "127.0.0.1", "/modem.cfg", "modem-a.cfg", True),
    ("tftp", "127.0.0.2", "/modem.cfg", "modem-b.cfg", True),
]


def explain(d, client, name):
    done = subprocess.run([h.DAEMON, "--config", d.conf, "--explain", client, "rrq", name], cwd=d.dir,
                          capture_output=True, timeout=db.START_SECONDS)
    return done.stdout.decode(errors="replace") + done.stderr.decode(errors="replace")


def main():
    started = time.monotonic()
    db.setup("zelvo-keyvalue-", 4)
    with open(os.path.join(db.DB_DIR, "..", "docs", "database.md")) as doc:
        documented = doc.read()
    h.check(all(line in documented.splitlines() for line in EXAMPLE.splitlines()),
            "the worked example of docs/database.md has the configuration lines tested here")
    d = db.daemon("keyvalue", EXAMPLE)
    d.replace("tftp.access.allow=true\n", "")
    for name in ("modem-a.cfg", "modem-b.cfg", "modem.cfg"):
        with open(os.path.join(d.dir, "root", name), "w") as f:
            f.write("contents of %s\n" % name)

    # The first start creates the database; the rows go in while it is stopped.
    d.start(db.START_SECONDS)
    d.stop("the daemon that created the database stops")
    sql = "".join("INSERT INTO osk_keyvalues (PK, OID, KCLASS, SUBCLASS, KKEY, KVALUE, ENABLED) "
                  "VALUES (%d, %d, '%s', '%s', '%s', '%s', %s);\n"
                  % (900000 + i, 900000 + i, c, s, k, v, "TRUE" if e else "FALSE")
                  for i, (c, s, k, v, e) in enumerate(ROWS)) + "COMMIT;\n"
    out = db.isql(db.database_file(d), sql)
    h.check(db.scalar(db.database_file(d), "SELECT COUNT(*) FROM osk_keyvalues WHERE KCLASS = 'tftp'") == len(ROWS),
            "the rows are written into the stopped database", out)

    d.start(db.START_SECONDS)
    port = d.tftp_port
    got = h.tftp_get(port, "modem.cfg")
    h.check(got == b"contents of modem-a.cfg\n", "the allowed device gets its own file for modem.cfg", repr(got))
    got = h.tftp_get(port, "modem.cfg", "127.0.0.2")
    h.check(isinstance(got, str) and got.startswith("error 2"), "the device with a disabled record is refused",
            repr(got))
    got = h.tftp_get(port, "modem.cfg")
    h.check(got == b"contents of modem-a.cfg\n", "the daemon goes on serving after a refusal", repr(got))
    # The running daemon holds the embedded database: the explanation goes
    # on without it and says so.
    text = explain(d, "127.0.0.1:4000", "modem.cfg")
    h.check("database:           not opened" in text and "access allowed:     no" in text,
            "--explain beside the running daemon says the database was not opened", text)
    d.stop("the daemon deciding from the database stops cleanly")

    text = explain(d, "127.0.0.1:4000", "modem.cfg")
    h.check("name after pre-processing: /modem-a.cfg" in text and "decision:           admitted" in text,
            "--explain maps and admits the allowed device", text)
    text = explain(d, "127.0.0.2:4000", "modem.cfg")
    h.check("access allowed:     no" in text, "--explain refuses the device with a disabled record", text)
    return h.finish(started)


if __name__ == "__main__":
    sys.exit(main())
