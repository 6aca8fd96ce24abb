"""zelvo-tftpd as a service manager runs it: --check-config on good and
broken files, readiness and stopping told through NOTIFY_SOCKET (as systemd's
Type=notify expects), SIGHUP reopening the file log after a rotation, and
--print-config-catalogue against the generated zelvo-tftpd.conf(5).

Usage: service_test.py DAEMON CONSOLE PLUGIN_DIR MAN_PAGE_GZ
"""
import gzip
import os
import signal
import socket
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import daemon_harness as h


def check_config(text):
    path = os.path.join(h.WORK, "check.conf")
    with open(path, "w") as conf:
        conf.write(text)
    run = subprocess.run([h.DAEMON, "--check-config", "--config", path], capture_output=True, text=True,
                         timeout=60)
    return run.returncode, run.stdout


def test_check_config():
    good = h.Daemon("checked")
    text = good.config_text()
    code, out = check_config("# a comment line\n" + text + "tftp.access.allow=[ip_addr() == '10.0.0.1']\n")
    h.check(code == 0 and out.endswith(": configuration OK\n"), "check-config: a usable file passes", out)

    code, out = check_config(text + "tftp.access.allow=[ip_addr( == ]\n")
    h.check(code == 1 and ": tftp.access.allow: The expression does not parse" in out,
            "check-config: a broken expression is named with its key", out)
    code, out = check_config(text + "tftp.acess.allow=true\n")
    h.check(code == 1 and ": tftp.acess.allow: Unrecognized key." in out,
            "check-config: an unknown key is named", out)
    code, out = check_config(text + "tftp.max_retransmits=five\n")
    h.check(code == 1 and ": tftp.max_retransmits: 'five' is not a whole number." in out,
            "check-config: a value of the wrong type is named with its key", out)
    # Every problem at once, not only the first; a legacy name is checked as
    # the key it stands for.
    code, out = check_config(text + "tftp.timeout=3 minutes\nmax_blocksize=70000\nrconsole.guest_login=yes\n")
    named = [line.split(": ")[1] for line in out.splitlines() if line.count(": ") >= 2]
    h.check(code == 1 and named == ["rconsole.guest_login", "tftp.max_blocksize", "tftp.timeout"]
            and out.endswith(": 3 problems\n"), "check-config: every problem is reported, in key order", out)
    # Database keys the Firebird provider ignores are still keys of the
    # catalogue: a configuration written for another provider passes.
    ignored = ("system.db.soft_vs_hard_commit_ratio=10\nsystem.db.sync_queries=false\n"
               "system.db.secondary_files.count=2\nsystem.db.secondary_files.max_size=1000000\n"
               "system.db.locks.exclusive=true\nsystem.db.mem_start_max=1000000\n"
               "system.db.mem_size_buffer=65536\nsystem.db.mem_size_sort_buffer=65536\n"
               "system.db.mem_blocks.size=4096\nsystem.db.mem_blocks.cache.start=16\n"
               "system.db.mem_blocks.cache.extend=8\n")
    code, out = check_config(text + ignored)
    h.check(code == 0 and out.endswith(": configuration OK\n"),
            "check-config: the database keys Firebird ignores are accepted", out)
    code, out = check_config(text + "system.db.locks.exclusive=sometimes\nsystem.db.mem_size_buffer=big\n")
    h.check(code == 1 and ": system.db.locks.exclusive: " in out and ": system.db.mem_size_buffer: " in out,
            "check-config: ignored database keys still have their value types checked", out)
    run = subprocess.run([h.DAEMON, "--config", os.path.join(h.WORK, "missing.conf"), "--check-config"],
                         capture_output=True, text=True, timeout=60)
    h.check(run.returncode == 1 and "cannot read the configuration file" in run.stdout,
            "check-config: a missing file fails", run.stdout)


def test_notify_and_log_rotation():
    d = h.Daemon("service")
    log = os.path.join(d.dir, "zelvo.log")
    d.replace("system.log.levels=error\n", "system.log.levels=info,error\n")
    d.append("system.log.targets=file\nsystem.log.target.file=%s\n" % log)
    notify = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM)
    notify_path = os.path.join(d.dir, "notify.sock")
    notify.bind(notify_path)
    notify.settimeout(30)
    os.environ["NOTIFY_SOCKET"] = notify_path
    try:
        d.start()
    finally:
        del os.environ["NOTIFY_SOCKET"]
    try:
        message = notify.recv(4096).decode()
    except socket.timeout:
        message = ""
    h.check("READY=1" in message.split("\n"), "notify: READY=1 once the daemon serves", repr(message))

    h.wait_for(lambda: os.path.exists(log) and "is running" in open(log).read(), 10)
    rotated = log + ".1"
    os.rename(log, rotated)
    before = open(rotated).read()
    d.proc.send_signal(signal.SIGHUP)
    reopened = h.wait_for(lambda: os.path.exists(log) and "The log targets were reconfigured." in open(log).read(),
                          10)
    h.check(reopened and d.proc.poll() is None, "SIGHUP: the daemon lives on and writes a new log file",
            d.log_text()[-2000:])
    h.check(open(rotated).read() == before, "SIGHUP: the rotated file gets no further lines")

    d.stop("SIGHUP: the daemon still stops cleanly")
    try:
        message = notify.recv(4096).decode()
    except socket.timeout:
        message = ""
    h.check("STOPPING=1" in message.split("\n"), "notify: STOPPING=1 when it stops", repr(message))
    notify.close()


def test_catalogue_page(man_page):
    run = subprocess.run([h.DAEMON, "--print-config-catalogue"], capture_output=True, text=True, timeout=60)
    lines = [line.split("\t") for line in run.stdout.splitlines()]
    keys = {fields[0]: fields for fields in lines if len(fields) == 4}
    h.check(run.returncode == 0 and len(keys) == len(lines) and len(keys) > 80,
            "catalogue: one line of four fields per key", run.stdout[:500])
    h.check(keys.get("tftp.timeout", [])[1:3] == ["restart", '"3s"']
            and keys.get("tftp.max_connections", [])[1:3] == ["live", '"0"']
            and keys.get("system.storage.path", [])[2:3] == ["-"],
            "catalogue: when a change applies and the default", repr(keys.get("tftp.timeout")))
    with gzip.open(man_page, "rt") as page:
        text = page.read()
    missing = [key for key in keys if "\n.B %s\n" % key not in text]
    h.check(not missing, "man page: every key of the catalogue is listed", " ".join(missing))


def main():
    started = time.monotonic()
    man_page = os.path.realpath(sys.argv[4])
    h.setup("zelvo-service-")
    test_check_config()
    test_notify_and_log_rotation()
    test_catalogue_page(man_page)
    return h.finish(started)


if __name__ == "__main__":
    sys.exit(main())
