#!/usr/bin/env python3
"""Persistent objects through the console, end to end: zelvo-tftpd on an
embedded Firebird database built from the shipped db/ files, zelvo-console
and an independent clear-text client written here.

- The administrator creates, lists, updates and deletes domain groups,
  domains and policies; an update or delete without a condition, 'where'
  with 'query', malformed conditions, unknown attributes, wrong-typed and
  oversized values and injection attempts are refused with clear errors,
  leave nothing half-written and the session goes on.
- Paging: 1,000 policies listed 50 a page under two pager names at once;
  count; a page size above rconsole.max_select_count is capped; an insert
  makes open pages stale; two consoles page and write at once, and each
  console's pages go on untouched by the other's writes.
- dump of the populated database replayed with zelvo-console -f into a
  second daemon on a fresh database reproduces every object.
- A console that disconnects in the middle of a select releases its
  database task and transaction: the daemon's threads return to their
  number before and a writer goes through at once.
- Without a database, object commands are refused and the session goes on.

Usage: console_objects_test.py DAEMON CONSOLE PLUGIN_DIR DB_DIR
"""
import json
import os
import sys
import time

import daemon_harness as h
import database_test as dbt

# Set low, so that the cap is seen without ten thousand objects, and the
# time-out of an idle select without waiting ten minutes.
MAX_SELECT = 120
COMMIT_TIME_OUT = 2
SETTINGS = "rconsole.max_select_count=%d\nrconsole.commit_time_out=%d\n" % (MAX_SELECT, COMMIT_TIME_OUT)
POLICIES = 1000


def records(reply):
    """The streamed records of a reply (dicts) and its code and message."""
    found, _, code, message = h.reply_records(reply)
    return found, code, message


def final(reply):
    """The entries of a plain (not streamed) reply as a dict, with code and message."""
    found, code, message = records(reply)
    entries = {}
    for line in reply.decode().split("\n"):
        if "=" in line:
            key, value = line.split("=", 1)
            entries[key] = value
    return entries, code, message


class Client:
    """The independent client: command sets as text over h.Raw."""

    def __init__(self, d):
        self.raw = h.Raw(d.port)

    def __call__(self, text, seconds=60):
        self.raw.send(text.encode() + b"\n\n")
        return self.raw.read_until(lambda b: h.REPLY_END.search(b) is not None, seconds)

    def objects(self, text):
        found, code, message = records(self(text))
        return found, code, message

    def close(self):
        self.raw.close()


def names(objects):
    return [o.get("name") for o in objects]


def policy_names(c, where=""):
    found, code, message = c.objects("select_policy\ncount=%d\n%s" % (MAX_SELECT, where))
    return sorted(names(found)), code, message


def count(c, word, where=""):
    entries, code, message = final(c(word + ("\nwhere=" + where if where else "")))
    return int(entries.get("count", -1)) if code == "ack" else None


# ------------------------------------------------------------ the objects

def test_create_list_update_delete(c):
    _, code, message = final(c("insert_domain_group\nname=Lab Groups\ndescription=groups of the lab"))
    h.check(code == "ack", "insert a domain group", message)
    entries, code, message = final(c("id\nname=Lab\ndescription=the lab\npriority=5\ngroups=Lab Groups"))
    h.check(code == "ack" and int(entries.get("oid", -1)) > 1, "insert a domain with its short word: oid",
            repr(entries) + message)
    entries, code, message = final(c("insert_policy\nname=Boot\ndescription=boot files\ndata=file=boot.img"))
    h.check(code == "ack" and int(entries.get("oid", -1)) > 0, "insert a policy: oid", repr(entries) + message)
    policy_oid = entries.get("oid")

    found, code, _ = c.objects("select_domain\nwhere=T.NAME = 'Lab'")
    h.check(code == "ack" and len(found) == 1 and found[0].get("groups") == "Lab Groups"
            and found[0].get("priority") == "5" and found[0].get("domains") == "Administrators",
            "select a domain: its text form with groups and domains", repr(found))
    found, code, _ = c.objects("sp")
    h.check(code == "ack" and [(p["name"], p["data"], p["oid"]) for p in found] == [("Boot", "file=boot.img",
                                                                                        policy_oid)],
            "select policies lists the one policy", repr(found))
    found, code, _ = c.objects("sdg\nsort_property=name\nsort_order=desc")
    h.check(names(found) == ["Operators", "Lab Groups", "Device Specific", "All"],
            "select domain groups sorted by name, descending", repr(names(found)))

    entries, code, message = final(c("update_policy\nwhere=T.NAME = 'Boot'\ndescription=changed\ndata=file=b2"))
    h.check(code == "ack" and entries.get("count") == "1", "update a policy: count 1", repr(entries) + message)
    found, _, _ = c.objects("sp\nwhere=T.NAME = 'Boot'")
    h.check(found and found[0].get("description") == "changed" and found[0].get("data") == "file=b2",
            "the update is stored", repr(found))

    # The unpacked session sets and removes single entries of a policy's data.
    final(c("set_session\nformat=unpacked"))
    entries, code, message = final(c("up\nwhere=T.NAME = 'Boot'\ndata size=7\n-data file"))
    found, _, _ = c.objects("sp\nwhere=T.NAME = 'Boot'")
    h.check(code == "ack" and found and found[0].get("data size") == "7" and "data file" not in found[0],
            "unpacked session: set and remove data entries", repr(found) + message)
    _, code, message = final(c("up\nwhere=T.NAME = 'Boot'\ndata=x=1"))
    h.check(code == "nak" and "Packed format is not supported in an unpacked session." in message,
            "unpacked session: packed data refused", message)
    final(c("set_session\nformat=packed"))

    # A numeric session names domains by their ids, in both directions.
    final(c("set_session\nnumeric=true"))
    found, _, _ = c.objects("sp\nwhere=T.NAME = 'Boot'")
    entries, code, message = final(c("ip\nname=Numeric\ndomains=0"))
    numeric, _, _ = c.objects("sp\nwhere=T.NAME = 'Numeric'")
    final(c("set_session\nnumeric=false"))
    named, _, _ = c.objects("sp\nwhere=T.NAME = 'Numeric'")
    h.check(found and found[0].get("domains") == "0" and code == "ack" and numeric[0].get("domains") == "0"
            and named[0].get("domains") == "Administrators", "set_session numeric: domains as ids",
            repr((found, numeric, named)) + message)
    final(c("dp\nwhere=T.NAME = 'Numeric'"))

    entries, code, message = final(c("delete_domain\nwhere=T.NAME = 'Lab'"))
    h.check(code == "ack" and entries.get("count") == "1", "delete a domain: count 1", repr(entries) + message)
    found, _, _ = c.objects("sd\nwhere=T.NAME = 'Lab'")
    h.check(found == [], "the deleted domain is gone", repr(found))
    entries, code, _ = final(c("ddg\nwhere=T.NAME = 'Lab Groups'"))
    h.check(code == "ack" and entries.get("count") == "1", "delete a domain group with its short word")


def test_refusals(c):
    before = policy_names(c)[0]
    for word in ("update_policy\ndescription=all", "delete_policy", "dp\nwhere=   "):
        _, code, message = final(c(word))
        h.check(code == "nak" and message == "Cannot execute command on persistent object of type 'policy'. "
                "(Empty 'where' clause specified.)", "%s without a condition is refused" % word.split("\n")[0],
                message)
    h.check(policy_names(c)[0] == before, "... and changes nothing")

    # Each refused with its message: the whole of it (==), its beginning or a part of it (in).
    refused = [
        ("dp\nwhere=T.NAME = 'Boot'\nquery=all", "==",
         "Cannot process query. (Cannot combine 'where' and 'query' arguments.)", "where with query refused"),
        ("sp\nquery=17", "start", "Unable to find query object with oid = 17.", "query by OID names no stored query"),
        ("sp\nquery=x17", "start", "Unable to find query object x17.", "query by name names no stored query"),
        ("sp\nwhere=T.NAME = = 'x'", "in", "Cannot prepare the SQL statement", "malformed where: the database's error"),
        ("sp\nwhere=T.NO_SUCH_COLUMN = 1", "in", "Column unknown", "where on an unknown column"),
        ("sp\nwhere=1=1) OR (1=1", "in", "unbalanced parentheses", "condition that escapes its parentheses"),
        ("dp\nwhere=T.PK = 0; DELETE FROM tftp_policy", "in", "neither ';' nor comments", "second statement refused"),
        ("sp\ncount=lots", "in", "Argument 'count'", "wrong-typed count"),
        ("ip\nname=Odd\ncolour=blue", "in", "Unknown attribute 'colour' for objects of type 'policy'.",
         "unknown attribute on insert"),
        ("up\nwhere=T.NAME = 'Boot'\ncolour=blue", "in", "Unknown attribute 'colour'", "unknown attribute on update"),
        ("id\nname=Typed\npriority=high", "in", "Cannot set attribute 'priority' from text.", "wrong-typed value"),
        ("ip\nname=%s" % ("n" * 300), "in", "", "oversized name refused by the database"),
    ]
    for command, match, text, name in refused:
        _, code, message = final(c(command))
        matched = {"==": message == text, "start": message.startswith(text), "in": text in message}[match]
        h.check(code == "nak" and matched and message != "", name, message)
    h.check(count(c, "cd", "T.NAME = 'Typed'") == 0 and policy_names(c)[0] == before,
            "... and nothing of the refused inserts is written")

    # A value is data, never SQL.
    hostile = "x'); DELETE FROM tftp_policy; --"
    entries, code, message = final(c("ip\nname=%s\ndescription=%s" % (hostile, hostile)))
    found, _, _ = c.objects("sp\nwhere=T.NAME = '%s'" % hostile.replace("'", "''"))
    h.check(code == "ack" and len(found) == 1 and found[0]["description"] == hostile,
            "a value with SQL in it is stored as it is", repr(found) + message)
    final(c("dp\nwhere=T.OID = %s" % entries.get("oid", "-1")))

    # A failure in the middle of an update leaves every object as it was:
    # the second policy cannot take the name the first took already.
    final(c("ip\nname=Twin A"))
    final(c("ip\nname=Twin B"))
    _, code, message = final(c("up\nwhere=T.NAME STARTING WITH 'Twin '\nname=Twin C\ndescription=both"))
    found, _, _ = c.objects("sp\nwhere=T.NAME STARTING WITH 'Twin '\nsort_property=name")
    h.check(code == "nak" and [(p["name"], p["description"]) for p in found] == [("Twin A", ""), ("Twin B", "")],
            "an update failing on its second object changes none", repr(found) + message)
    entries, code, _ = final(c("dp\nwhere=T.NAME STARTING WITH 'Twin '"))
    h.check(entries.get("count") == "2", "the session is still usable after the errors", repr(entries))


# ------------------------------------------------------------ paging

def insert_policies(c, n):
    failed = 0
    for i in range(n):
        _, code, _ = final(c("ip\nname=pol-%04d\ndata=index=%d" % (i, i)))
        failed += code != "ack"
    return failed


def test_paging(c):
    started = time.monotonic()
    failed = insert_policies(c, POLICIES)
    h.check(failed == 0, "%d policies inserted (%.0f s)" % (POLICIES, time.monotonic() - started),
            "%d failed" % failed)
    h.check(count(c, "cp", "T.NAME STARTING WITH 'pol-'") == POLICIES, "count of the policies")

    where = "where=T.NAME STARTING WITH 'pol-'\nsort_property=name"
    pages = {"a": [], "b": []}
    found, code, _ = c.objects("sp\ncount=50\npager=a\n" + where)
    pages["a"].append(names(found))
    found, code, _ = c.objects("sp\ncount=50\npager=b\npager_type=db\nsort_order=desc\n" + where)
    pages["b"].append(names(found))
    # The two pagers alternate; each goes on where it left off.
    for _ in range(POLICIES // 50):
        for pager in ("a", "b"):
            found, code, message = c.objects("snxp\npager=" + pager)
            if code != "ack":
                h.check(False, "select next under pager " + pager, message)
                return
            if found:
                pages[pager].append(names(found))
    expected = ["pol-%04d" % i for i in range(POLICIES)]
    for pager, order in (("a", expected), ("b", list(reversed(expected)))):
        flat = [n for page in pages[pager] for n in page]
        h.check(flat == order and all(len(page) == 50 for page in pages[pager]),
                "pager %s: %d pages of 50, every policy once, in order" % (pager, len(pages[pager])),
                "%d names, pages %s" % (len(flat), [len(p) for p in pages[pager]]))

    found, code, _ = c.objects("sp\ncount=500\n" + where)
    h.check(code == "ack" and len(found) == MAX_SELECT, "count above rconsole.max_select_count is capped",
            "%d objects" % len(found))

    _, code, message = c.objects("snxp\npager=nobody")
    h.check(code == "nak" and message.startswith("Cannot find query for pager nobody, type pk."),
            "select next without a select", message)

    c.objects("sp\ncount=10\npager=a\n" + where)
    final(c("ip\nname=late arrival"))
    _, code, message = c.objects("snxp\npager=a")
    h.check(code == "nak" and message.startswith("The query of pager 'a' is out of date."),
            "an insert makes the open pages stale", message)
    found, code, _ = c.objects("sp\ncount=10\npager=a\n" + where)
    h.check(code == "ack" and len(found) == 10, "a new select goes on after that")
    final(c("dp\nwhere=T.NAME = 'late arrival'"))


def test_commit_time_out(d, c):
    where = "where=T.NAME STARTING WITH 'pol-'\nsort_property=name"
    first, _, _ = c.objects("sp\ncount=5\npager=idle\n" + where)
    h.check(h.wait_for(lambda: "Executing query time out for timer" in d.log_text(), COMMIT_TIME_OUT + 10),
            "an idle select's transaction is committed by the time-out")
    found, code, message = c.objects("snxp\npager=idle")
    h.check(code == "ack" and names(first + found) == ["pol-%04d" % i for i in range(10)],
            "select next goes on after the time-out", repr(names(found)) + message)


def test_console_output(d):
    code, out, err = h.console(d, "--clear", "-c", "sp\nwhere=T.NAME IN ('pol-0001', 'pol-0002')\n"
                               "sort_property=name")
    lines = out.rstrip("\n").split("\n")
    h.check(code == 0 and lines[0].split() == ["name", "data", "description", "domains", "enabled", "mod_time",
                                               "oid"][:len(lines[0].split())] and len(lines) == 4
            and lines[2].startswith("pol-0001 ") and lines[3].startswith("pol-0002 "),
            "zelvo-console shows objects as a table", out + err)
    code, out, err = h.console(d, "--clear", "--json", "-c", "sp\nwhere=T.NAME = 'pol-0003'")
    try:
        reply = json.loads(out)
    except ValueError:
        reply = {}
    h.check(code == 0 and reply.get("code") == "ack" and reply.get("objects", [{}])[0].get("data") == "index=3",
            "zelvo-console --json gives the objects as JSON", out + err)


# ------------------------------------------------------------ dump

def all_objects(c):
    """Every object by class and name, without its OID and time of change."""
    objects = {}
    for word in ("sdg", "sd", "sp", "select_keyvalue"):
        found, code, message = c.objects("%s\ncount=%d" % (word, MAX_SELECT))
        pager = []
        while found:
            pager.extend(found)
            found, code, message = c.objects("select_next_" + {"sdg": "domain_group", "sd": "domain",
                                                                 "sp": "policy",
                                                                 "select_keyvalue": "keyvalue"}[word])
        for o in pager:
            key = (word, o.get("name") or o.get("key"))
            objects[key] = {k: v for k, v in o.items() if k not in ("oid", "mod_time")}
    return objects


def test_dump_replay(d, c):
    final(c("idg\nname=Replayed Group\ndescription=for the replay"))
    final(c("id\nname=Replayed\ndescription=d\npriority=3\ngroups=Replayed Group,Operators"))
    final(c("insert_keyvalue\nclass=replay\nsubclass=s\nkey=k\nvalue=v\ndomains=Replayed"))
    final(c("ip\nname=In Replayed\ndata=a=1\ndomains=Replayed,Administrators"))
    source = all_objects(c)

    code, script, err = h.console(d, "--clear", "-c", "dump", timeout=300)
    h.check(code == 0 and script.startswith("set_session\n\n# domain groups\ninsert_domain_group\n")
            and "\n# domains\ninsert_domain\n" in script and "\n# device accounts\n\n# key-values\n" in script
            and "\n# policies \ninsert_policy\n" in script,
            "dump: sections in order", script[:300] + err)
    path = os.path.join(h.WORK, "dump.txt")
    with open(path, "w") as f:
        f.write(script)

    fresh = dbt.daemon("replayed", SETTINGS)
    fresh.start(dbt.START_SECONDS)
    try:
        code, out, err = h.console(fresh, "--clear", "-f", path, timeout=900)
        refused = [line for line in err.split("\n") if line.startswith("nak: ")]
        # The objects every new database holds already are refused by name.
        h.check(len(refused) == 5 and all("UNIQUE" in line or "unique" in line for line in refused),
                "replay: only the initial objects refused", "\n".join(refused[:10]))
        r = Client(fresh)
        replayed = all_objects(r)
        r.close()
        missing = [k for k in source if replayed.get(k) != source[k]]
        extra = [k for k in replayed if k not in source]
        h.check(not missing and not extra and len(source) > POLICIES,
                "replay reproduces every object (%d)" % len(source),
                "differ %s extra %s" % (missing[:5], extra[:5]))
    finally:
        fresh.stop("the second daemon stops cleanly")


# ------------------------------------------------------------ disconnect

def test_two_consoles(d):
    """One console pages through the policies while the other inserts and
    updates between every two pages; then the other way round."""
    where = "where=T.NAME STARTING WITH 'pol-'\nsort_property=name"
    expected = ["pol-%04d" % i for i in range(POLICIES)]
    a, b = Client(d), Client(d)
    for reader, writer, tag in ((a, b, "a"), (b, a, "b")):
        found, code, message = reader.objects("sp\ncount=50\npager=two\n" + where)
        walked = names(found)
        written = 0
        while code == "ack" and found:
            _, inserted, _ = final(writer("ip\nname=two-%s-%03d" % (tag, written)))
            entries, updated, _ = final(writer("up\nwhere=T.NAME = 'pol-%04d'\ndescription=edited by %s"
                                               % (written, tag)))
            written += inserted == "ack" and updated == "ack" and entries.get("count") == "1"
            found, code, message = reader.objects("snxp\npager=two")
            walked += names(found)
        h.check(code == "ack" and walked == expected,
                "console %s pages while the other writes: every policy once, in order" % tag,
                "%d names, %s" % (len(walked), message))
        h.check(written == POLICIES // 50 and count(reader, "cp", "T.NAME STARTING WITH 'two-%s-'" % tag) == written,
                "... and every write of the other console between its pages went through", "%d writes" % written)
    final(a("dp\nwhere=T.NAME STARTING WITH 'two-'"))
    a.close()
    b.close()


def test_disconnect_mid_select(d):
    base = d.settled()
    c = h.Raw(d.port)
    c.send(b"sp\ncount=%d\nwhere=T.NAME STARTING WITH 'pol-'\n\n" % MAX_SELECT)
    c.sock.settimeout(30)
    first = c.sock.recv(100)
    c.close()
    h.check(first.startswith(b"data="), "a select starts streaming", repr(first))
    h.check(h.wait_for(lambda: d.threads() == base, 30),
            "the dropped console's database task ends", "%d threads, %d before" % (d.threads(), base))
    w = Client(d)
    started = time.monotonic()
    entries, code, message = final(w("up\nwhere=T.NAME STARTING WITH 'pol-'\ndescription=after the drop"))
    h.check(code == "ack" and entries.get("count") == str(POLICIES) and time.monotonic() - started < 60,
            "the next writer is not blocked", repr(entries) + message)
    w.close()


def test_without_database():
    d = h.Daemon("no-database", encryption=False, plugins=h.DEFAULT_PLUGINS + ",zelvo_db_facade").start()
    try:
        c = Client(d)
        _, code, message = final(c("sp"))
        h.check(code == "nak" and message.startswith("Failed to start the proxy task.")
                and "The service's database is not open." in message,
                "without a database an object command is refused", message)
        entries, code, _ = final(c("get_session"))
        h.check(code == "ack" and entries.get("format") == "packed", "... and the session goes on")
        c.close()
    finally:
        d.stop("the daemon without a database stops cleanly")


def main():
    started = time.monotonic()
    dbt.setup("zelvo-objects-", 4)
    d = dbt.daemon("objects", SETTINGS)
    d.start(dbt.START_SECONDS)
    try:
        c = Client(d)
        test_create_list_update_delete(c)
        test_refusals(c)
        test_paging(c)
        test_commit_time_out(d, c)
        test_two_consoles(d)
        test_console_output(d)
        test_dump_replay(d, c)
        c.close()
        test_disconnect_mid_select(d)
    finally:
        d.stop("the daemon stops cleanly")
    test_without_database()
    return h.finish(started)


if __name__ == "__main__":
    sys.exit(main())
