#!/usr/bin/env python3
"""Named console accounts end to end: zelvo-tftpd with the database facade
plug-in on an embedded Firebird database built from the shipped db/ files,
zelvo-console and an independent enciphering client written here.

- The administrator (whose login now consults the database) creates a
  domain, a role with capabilities, user accounts with a password, device
  accounts, policies and a stored query.
- The user logs in with their password (login protocol versions 0 and 1,
  with zelvo-console and with the client here), sees exactly the policies
  of their role's domain, cannot update them, is refused privileged
  commands before any database work, and cannot read the administrators'
  stored query. A wrong password, an unknown user and an account without a
  password close the connection.
- A stored query selects device accounts through query= by name and by
  OID; unknown names and OIDs are refused with their own messages.
- The dump writes the device accounts.
- Without the facade plug-in the administrator logs in as before, object
  commands are refused with a message that names the missing plug-in, and
  named accounts cannot log in.

Usage: console_accounts_test.py DAEMON CONSOLE PLUGIN_DIR DB_DIR
"""
import os
import socket
import sys
import time

import daemon_harness as h
import database_test as dbt

ADMIN_PASSWORD = "Adm1n-Pass"
ALICE_PASSWORD = "lab-secret-42"
LOG_LEVELS = "system.log.levels=info,warning,error,audit\n"
PLUGINS_WITHOUT_FACADE = dbt.PLUGINS.replace(",zelvo_db_facade", "")


class Session:
    """The independent console: the login exchange and enciphered command sets.

    The response names the account (empty for the administrator), carries the
    login protocol version and the challenge's bytes 256..1023 enciphered in
    chained Blowfish under the password's first 7 (version 0) or 75 bytes;
    then every 8-byte block travels enciphered on its own, zero-padded.
    """

    def __init__(self, port, password, user="", version=1, greet=True):
        self.sock = socket.create_connection(("127.0.0.1", port), timeout=30)
        self.buffer = b""
        challenge = self._recv_exactly(1024)
        block = bytearray(1024)
        name = user.encode()
        block[:len(name)] = name
        block[254] = version
        self.key = password.encode()[:7 if version == 0 else 75]
        block[256:] = h.blowfish(self.key, bytes(challenge[256:]), chained=True)
        self.sock.sendall(bytes(block))
        if greet:
            self.greeting = self._reply()

    def _recv_exactly(self, length):
        data = b""
        while len(data) < length:
            chunk = self.sock.recv(length - len(data))
            if not chunk:
                raise ConnectionError("closed after %d bytes" % len(data))
            data += chunk
        return data

    def _reply(self, seconds=60):
        end = time.monotonic() + seconds
        while True:
            text = self.buffer.replace(b"\0", b"")
            if text.endswith(b"\n\n") and (h.REPLY_END.search(text) or text.startswith(b"Connected to")):
                self.buffer = b""
                return text
            self.sock.settimeout(max(0.1, end - time.monotonic()))
            chunk = self._recv_exactly(8)
            self.buffer += h.blowfish(self.key, chunk, decrypt=True)

    def __call__(self, text):
        data = text.encode() + b"\n\n"
        data += b"\0" * (-len(data) % 8)
        self.sock.sendall(b"".join(h.blowfish(self.key, data[i:i + 8]) for i in range(0, len(data), 8)))
        return self._reply()

    def close(self):
        self.sock.close()


def login_fails(port, password, user="", version=1):
    """True when the daemon closes the connection after the response without
    sending a byte more (a greeting under another key would be bytes too)."""
    s = Session(port, password, user, version, greet=False)
    try:
        s.sock.settimeout(20)
        return s.sock.recv(1) == b""
    except ConnectionResetError:
        return True
    except socket.timeout:
        return False
    finally:
        s.close()


records = h.reply_records


def names(found):
    return sorted(o.get("name") for o in found)


def daemon(name, plugins):
    d = h.Daemon(name, encryption=True, extra=dbt.db_keys(), plugins=plugins)
    d.replace("system.log.levels=error\n", LOG_LEVELS)
    # admin_password rewrites the file, which must stay private.
    os.chmod(d.conf, 0o600)
    return d


def logged(d, text, seconds=10):
    return h.wait_for(lambda: text in d.log_text(), seconds)


# ------------------------------------------------------------ the administrator

def test_administrator(d):
    code, out, err = h.console(d, "-c", "get_session")
    h.check(code == 0 and "access_token=" in out, "administrator: logs in with the default password",
            "%d %r %r" % (code, out, err))
    h.check(logged(d, "User 'Admin' logged in."), "administrator: the login consulted the database (audit)")
    code, out, err = h.console(d, "-c", "admin_password=" + ADMIN_PASSWORD)
    h.check(code == 0, "administrator: sets a password", "%d %r" % (code, err))


def insert(a, text, what):
    _, entries, code, message = records(a(text))
    h.check(code == "ack" and int(entries.get("oid", -1)) > 0, "administrator inserts " + what, message)
    return entries.get("oid")


def test_setup(a):
    insert(a, "insert_domain\nname=Field\ndescription=devices in the field", "a domain")
    insert(a, "insert_user_role\nname=Lab Operators\ncapabilities=policy:read", "a role with capabilities")
    found, _, code, _ = records(a("select_capability"))
    h.check(code == "ack" and any(c.get("target_class") == "policy" for c in found),
            "the role's capabilities are listed", repr(found))
    insert(a, "insert_user_account\nname=alice\npass=%s\nlocale=en_US\nacl=Lab Operators" % ALICE_PASSWORD,
           "a user account with acl and password")
    insert(a, "insert_user_account\nname=nopass\nacl=Lab Operators", "a user account without a password")
    found, _, code, _ = records(a("select_user_account\nwhere=T.NAME = 'alice'"))
    h.check(code == "ack" and len(found) == 1 and found[0].get("pass") == "**********"
            and found[0].get("acl") == "Lab Operators",
            "the user account shows its acl and a masked password", repr(found))
    insert(a, "insert_policy\nname=lab-boot\ndomains=Lab Operators\ndata=file=lab.img", "a policy of the role")
    insert(a, "insert_policy\nname=admin-boot\ndata=file=admin.img", "a policy of the administrators")
    insert(a, "insert_device_account\nname=modem-1\nclass=docsis\nacl=Field", "a device account")
    insert(a, "ia\nname=modem-2\nclass=cable\nacl=Field", "a device account with the short word")
    found, _, code, _ = records(a("sac"))
    h.check(code == "ack" and len(found) >= 2, "the device accounts' access controls are listed", repr(found))
    _, entries, code, _ = records(a("cda"))
    h.check(code == "ack" and entries.get("count") == "2", "count_device_account", repr(entries))


# ------------------------------------------------------------ the user

def test_named_login(d):
    code, out, err = h.console(d, "--user", "alice", "-c", "sp", password=ALICE_PASSWORD)
    h.check(code == 0 and "lab-boot" in out and "admin-boot" not in out,
            "user: zelvo-console --user lists only the policies of their domains", "%d %r %r" % (code, out, err))
    h.check(logged(d, "User 'alice' logged in with rights '"), "user: the login is audited with the rights")
    short = ALICE_PASSWORD[:7] + "-not-the-rest"
    code, _, err = h.console(d, "--user", "alice", "--protocol", "0", "-c", "info", password=short)
    h.check(code == 0, "user: version 0 uses only the first 7 password bytes", "%d %r" % (code, err))
    code, _, err = h.console(d, "--user", "alice", "--protocol", "1", "-c", "info", password=short)
    h.check(code == 2 and "refused the login" in err, "user: version 1 uses all of them", "%d %r" % (code, err))
    code, _, err = h.console(d, "--user", "alice", "-c", "info", password="wrong")
    h.check(code == 2 and "refused the login" in err, "user: a wrong password closes the connection",
            "%d %r" % (code, err))
    code, _, err = h.console(d, "--user", "mallory", "-c", "info", password="whatever")
    h.check(code == 2 and logged(d, "Cannot determine access rights for user 'mallory'."),
            "user: an unknown user is refused", "%d %r" % (code, err))
    code, _, err = h.console(d, "--user", "nopass", "-c", "info", password=" ")
    h.check(code == 2 and logged(d, "Cannot login using account 'nopass'."),
            "user: an account without a password must have one set first", "%d %r" % (code, err))


def test_user_session(d):
    h.check(login_fails(d.port, "wrong-password", "alice"), "client: a wrong password closes the connection")
    h.check(login_fails(d.port, "whatever", "nobody-here"), "client: an unknown user closes the connection")
    h.check(login_fails(d.port, "whatever", "bell\a-name")
            and logged(d, "Cannot determine access rights for user '<non-printable characters>'."),
            "client: a name with a control character is not written to the log")
    u0 = Session(d.port, ALICE_PASSWORD[:7], "alice", version=0)
    _, _, code, _ = records(u0("info"))
    h.check(code == "ack", "client: version 0 login with the first 7 bytes")
    u0.close()

    u = Session(d.port, ALICE_PASSWORD, "alice")
    found, _, code, _ = records(u("select_policy"))
    h.check(code == "ack" and names(found) == ["lab-boot"], "client: the user sees exactly their domain's policies",
            repr(names(found)))
    _, entries, code, _ = records(u("count_policy"))
    h.check(entries.get("count") == "1", "client: count agrees", repr(entries))
    _, _, code, message = records(u("update_policy\nwhere=T.NAME = 'lab-boot'\ndescription=mine now"))
    h.check(code == "nak" and "Access denied." in message, "client: update without write is refused", message)
    # An attribute no capability has would fail in the database; the
    # refusal comes first.
    _, _, code, message = records(u("insert_capability\ntarget_class=policy\nrights=read\nno_such_attribute=1"))
    h.check(code == "nak" and message.startswith("Unable to execute privileged command.")
            and "'super user'" in message, "client: insert_capability refused before any database work", message)
    _, _, code, message = records(u("update_access_control\nwhere=T.PK > 0\ndomain_id=0"))
    h.check(code == "nak" and message.startswith("Unable to execute privileged command."),
            "client: access controls are for super users", message)
    found, _, code, _ = records(u("select_device_account"))
    h.check(code == "ack" and found == [], "client: no device accounts without a capability on them", repr(found))
    _, _, code, _ = records(u("dump"))
    h.check(code == "nak", "client: dump is for administrators")
    _, entries, code, _ = records(u("get_session"))
    h.check(code == "ack" and entries.get("locale") == "en_US" and entries.get("access_token"),
            "client: the session has the account's locale and a token", repr(entries))
    return u


# ------------------------------------------------------------ stored queries

def test_stored_query(a, u):
    oid = insert(a, "insert_sql_query\nname=by-class\ndescription=device accounts of a class\n"
                    "where_template=T.ACLASS = ?\ntarget_classes=account\nargs=aclass:string",
                 "a stored query")
    found, _, code, message = records(a("sda\nquery=by-class\naclass=docsis"))
    h.check(code == "ack" and names(found) == ["modem-1"], "query= by name, argument by its name",
            repr(found) + message)
    found, _, code, message = records(a("sda\nquery=%s\nargs=cable" % oid))
    h.check(code == "ack" and names(found) == ["modem-2"], "query= by OID, arguments in order",
            repr(found) + message)
    _, entries, code, message = records(a("cda\nquery=by-class\naclass=docsis"))
    h.check(code == "ack" and entries.get("count") == "1", "count with query=", repr(entries) + message)
    _, _, code, message = records(a("sda\nquery=no-such-query"))
    h.check(code == "nak" and "Unable to find query object no-such-query." in message, "query= unknown name",
            message)
    _, _, code, message = records(a("sda\nquery=999999"))
    h.check(code == "nak" and "Unable to find query object with oid = 999999." in message, "query= unknown OID",
            message)
    _, _, code, message = records(a("sda\nquery="))
    h.check(code == "nak" and "No query name specified (query=X)." in message, "query= empty", message)
    _, _, code, message = records(a("sda\nquery=by-class"))
    h.check(code == "nak", "query= without its argument is refused", message)
    _, _, code, message = records(a("sda\nquery=by-class\naclass=x' OR 'a'='a"))
    h.check(code == "ack" or code == "nak", "query= with a quote in the value answers", message)
    found, _, _, _ = records(a("sda\nquery=by-class\naclass=x' OR 'a'='a"))
    h.check(found == [], "query= a quote in the value stays inside the literal", repr(found))
    found, _, code, _ = records(a("ssq"))
    h.check(code == "ack" and "by-class" in names(found), "select_sql_query lists the query", repr(found))
    _, _, code, message = records(u("sda\nquery=by-class\naclass=docsis"))
    h.check(code == "nak" and "Unable to find query object by-class." in message,
            "a user cannot use a query they may not read", message)
    _, _, code, message = records(u("insert_sql_query\nname=mine\nwhere_template=1=1"))
    h.check(code == "nak" and message.startswith("Unable to execute privileged command."),
            "stored queries are written by super users", message)


def test_dump(a):
    reply = a("dump").decode()
    section = reply.split("# device accounts\n", 1)[-1].split("# key-values\n", 1)[0]
    h.check("insert_device_account\n" in section and "name=modem-1" in section and "name=modem-2" in section,
            "dump: the device accounts section", section[:300])


# ------------------------------------------------------------ without the facade

def test_without_facade():
    d = daemon("no-facade", PLUGINS_WITHOUT_FACADE)
    d.start(dbt.START_SECONDS)
    try:
        code, out, err = h.console(d, "-c", "info")
        h.check(code == 0, "no facade: the administrator logs in as before", "%d %r" % (code, err))
        code, out, err = h.console(d, "--json", "-c", "sp")
        h.check(code != 0 and "No database facade plug-in (CIDBFacadeFactory) is loaded" in out + err,
                "no facade: object commands are refused with a clear message", "%d %r %r" % (code, out, err))
        code, out, err = h.console(d, "--user", "alice", "-c", "info", password=ALICE_PASSWORD)
        h.check(code == 2, "no facade: a named account cannot log in", "%d %r" % (code, err))
        h.check("logged in." not in d.log_text(), "no facade: the administrator's login does not consult the database")
    finally:
        d.stop("no facade: the daemon stops cleanly")


def main():
    started = time.monotonic()
    dbt.setup("zelvo-accounts-", 4)
    d = daemon("accounts", dbt.PLUGINS)
    d.start(dbt.START_SECONDS)
    try:
        test_administrator(d)
        a = Session(d.port, ADMIN_PASSWORD)
        test_setup(a)
        test_named_login(d)
        u = test_user_session(d)
        test_stored_query(a, u)
        test_dump(a)
        u.close()
        a.close()
    finally:
        d.stop("the daemon stops cleanly")
    test_without_facade()
    return h.finish(started)


if __name__ == "__main__":
    sys.exit(main())
