#!/usr/bin/python3
"""End-to-end tests of set_properties against values that would break the
service: the real zelvo-tftpd with its console plug-in and zelvo-console.
Every refused set must name the key, change nothing (neither the file nor
the running configuration), and the daemon must still restart cleanly.
Turning console encryption off waits for a restart and says so.

Usage: settings_test.py DAEMON CONSOLE PLUGIN_DIR
"""
import sys
import time

import daemon_harness as harness
from daemon_harness import Daemon, check, command, nak_of

harness.setup("zelvo-settings-it-")
ADMIN_DEFAULT = " "


def test_hostile_values(d):
    # Each set pairs a harmless key with the hostile one: a refusal must keep
    # the harmless one out as well.
    hostile = [
        ("tftp.virtual_root=/", "tftp.virtual_root"),
        ("virtual_root=/", "tftp.virtual_root"),   # the legacy name is checked as its key
        ("system.plugins=zelvo_local_fs,../../tmp/evil", "system.plugins"),
        ("tftp.access.allow=[$SRC.IP() == ", "tftp.access.allow"),
        ("tftp.access.allow=[ ( ]", "tftp.access.allow"),
        ("tftp.access.allow=maybe", "tftp.access.allow"),
        ("tftp.max_connections=-1", "tftp.max_connections"),
        ("tftp.timeout=forever", "tftp.timeout"),
        ("tftp.engine.port=70000", "tftp.engine.port"),
        ("tftp.no_such_key=1", "tftp.no_such_key"),
    ]
    file_before = d.config_text()
    running_before = command(d, "get_properties")[1]
    for line, key in hostile:
        result = command(d, "set_properties\ntftp.max_retransmits=9\n" + line)
        nak = nak_of(result)
        check(nak is not None and ("'%s'" % key) in nak, "set_properties %s: nak names %s" % (line, key),
              repr(result))
        running = command(d, "get_properties")[1]
        check(d.config_text() == file_before and running == running_before,
              "set_properties %s: nothing of the set stored or in force" % line,
              repr(running)[:300] + "\n" + d.config_text())
    # A good set after all of them is still taken.
    result = command(d, "set_properties\ntftp.max_retransmits=9\ntftp.access.allow=[$SRC.IP() == 127.0.0.1]")
    check(result[0] == 0 and "tftp.max_retransmits=9" in d.config_text(), "set_properties: a good set is stored",
          repr(result))


def test_encryption_off_waits_for_restart(d):
    def enciphered(text):
        return command(d, text, clear=False, password=ADMIN_DEFAULT)
    result = enciphered("set_properties\nrconsole.encryption=false")
    check(result[0] == 0 and "Stored. These keys take effect after a restart: rconsole.encryption." in result[3],
          "set_properties rconsole.encryption=false: stored for a restart, and said so", repr(result))
    check("rconsole.encryption=false" in d.config_text(), "rconsole.encryption=false: written to the file",
          d.config_text())
    running = enciphered("get_properties")
    check(running[0] == 0 and running[1].get("rconsole.encryption") == "true",
          "rconsole.encryption=false: the running console still enciphers", repr(running))
    check(command(d, "info")[0] != 0, "rconsole.encryption=false: a clear console is still refused")
    # Another change in the meantime keeps the stored value.
    result = enciphered("set_properties\ntftp.max_retransmits=6")
    stored = d.config_text()
    check(result[0] == 0 and "rconsole.encryption=false" in stored and "tftp.max_retransmits=6" in stored,
          "rconsole.encryption=false: kept in the file across later changes", stored)


def main():
    started = time.monotonic()
    try:
        clear = Daemon("clear", encryption=False).start()
        try:
            test_hostile_values(clear)
        finally:
            clear.stop("daemon stops cleanly after the refused sets")
        clear.start()
        try:
            check(command(clear, "info")[0] == 0, "daemon restarts cleanly after the refused sets")
        finally:
            clear.stop("restarted daemon stops cleanly")

        enciphered = Daemon("enciphered").start()
        try:
            test_encryption_off_waits_for_restart(enciphered)
        finally:
            enciphered.stop("enciphered daemon stops cleanly")
        enciphered.start()
        try:
            check(command(enciphered, "info")[0] == 0, "after the restart the console runs in clear")
        finally:
            enciphered.stop("daemon restarted in clear stops cleanly")
    except Exception as e:
        check(False, "test run", repr(e))
    return harness.finish(started)


if __name__ == "__main__":
    sys.exit(main())
