#!/usr/bin/env python3
"""The shell examples of docs/*.md, run against a real zelvo-tftpd.

Convention: every fenced block tagged ```sh in docs/*.md is an example this
test runs; blocks that only show text (file contents, replies, synopses, the
commands that start a daemon in the foreground) are fenced ```text or left
untagged and are not run. Each sh block runs on its own:

- a fresh daemon (daemon_harness.Daemon: enciphered console, no
  administrator password yet, access allowed) is started for it and stopped
  afterwards, which must end with exit status 0 and no sanitizer report;
- the block runs as `bash -e -o pipefail` in an empty scratch directory, with
  standard input empty and zelvo-tftpd and zelvo-console first on PATH;
- the variables the documents name are set: PORT (rconsole.port), TFTP_PORT
  (tftp.engine.port), CONF (the configuration file), ROOT
  (tftp.virtual_root);
- it passes when it exits with status 0.

Blocks tagged ```sh db run the same way against a daemon on a fresh embedded
database made from DB_DIR; when such a block names OTHER_PORT, a second
daemon on another fresh database is started beside it and OTHER_PORT is its
rconsole.port.

Usage: docs_examples_test.py DAEMON CONSOLE PLUGIN_DIR DOCS_DIR DB_DIR
"""
import glob
import os
import subprocess
import sys
import time

import daemon_harness as h

# The database test switches leak checks off for every daemon it starts; here
# only the daemons on a database go without them (see with_database).
_asan_options = os.environ.get("ASAN_OPTIONS")
import database_test as dbt  # noqa: E402
if _asan_options is None:
    os.environ.pop("ASAN_OPTIONS", None)
else:
    os.environ["ASAN_OPTIONS"] = _asan_options

# Documents that must keep runnable examples: losing them all (a renamed
# tag, a broken extractor) fails the test instead of passing it vacuously.
REQUIRED = {"console.md", "operations.md"}
# Examples that need a database, so that losing that tag fails too.
REQUIRED_WITH_DATABASE = {"console.md"}
RUN_TAGS = ("sh", "sh db")


def sh_blocks(path):
    """The ```sh and ```sh db blocks of a Markdown file as (first line number,
    tag, text)."""
    blocks, inside, tag, body, start = [], False, "", [], 0
    with open(path) as doc:
        for number, line in enumerate(doc, 1):
            stripped = line.strip()
            if stripped.startswith("```"):
                if not inside:
                    inside, tag, body, start = True, stripped[3:].strip(), [], number + 1
                else:
                    if tag in RUN_TAGS:
                        blocks.append((start, tag, "".join(body)))
                    inside = False
            elif inside:
                body.append(line)
    return blocks


def conf_value(conf, key):
    with open(conf) as text:
        for line in text:
            if line.startswith(key + "="):
                return line.split("=", 1)[1].strip()
    return ""


def with_database(name):
    """A started daemon on a fresh embedded database (the engine leaves its
    memory to the process exit, so leak checks are off for it)."""
    daemon = h.Daemon(name, extra=dbt.db_keys(), plugins=dbt.PLUGINS)
    saved = os.environ.get("ASAN_OPTIONS")
    os.environ["ASAN_OPTIONS"] = "detect_leaks=0:abort_on_error=1"
    try:
        return daemon.start(dbt.START_SECONDS)
    finally:
        if saved is None:
            os.environ.pop("ASAN_OPTIONS", None)
        else:
            os.environ["ASAN_OPTIONS"] = saved


def run_block(name, line, tag, text, index):
    directory = "%s-%d" % (name.replace(".", "-"), line)
    daemons = []
    if tag == "sh db":
        daemons.append(with_database(directory))
        if "OTHER_PORT" in text:
            daemons.append(with_database(directory + "-other"))
    else:
        daemons.append(h.Daemon(directory, extra="tftp.access.allow=true\n").start())
    daemon = daemons[0]
    scratch = os.path.join(daemon.dir, "scratch")
    os.makedirs(scratch)
    env = dict(os.environ)
    env.pop("ZELVO_CONSOLE_PASSWORD", None)
    env.update({
        "PATH": os.path.dirname(h.DAEMON) + os.pathsep + os.path.dirname(h.CONSOLE) + os.pathsep + env["PATH"],
        "PORT": str(daemon.port),
        "TFTP_PORT": conf_value(daemon.conf, "tftp.engine.port"),
        "CONF": daemon.conf,
        "ROOT": conf_value(daemon.conf, "tftp.virtual_root"),
    })
    if len(daemons) > 1:
        env["OTHER_PORT"] = str(daemons[1].port)
    label = "%s:%d (example %d)" % (name, line, index)
    try:
        done = subprocess.run(["bash", "-e", "-o", "pipefail", "-c", text], cwd=scratch, env=env,
                              stdin=subprocess.DEVNULL, capture_output=True, timeout=120)
        output = (done.stdout + done.stderr).decode(errors="replace")
        h.check(done.returncode == 0, label + " runs", "exit %d\n%s\n%s" % (done.returncode, text, output[-3000:]))
    except subprocess.TimeoutExpired:
        h.check(False, label + " runs", "timed out\n" + text)
    for d in daemons:
        d.stop(label + ": the daemon stops cleanly")


def main():
    started = time.monotonic()
    dbt.setup("zelvo-docs-", 5)
    docs = os.path.realpath(sys.argv[4])
    found = {}
    for path in sorted(glob.glob(os.path.join(docs, "*.md"))):
        found[os.path.basename(path)] = sh_blocks(path)
    for name in sorted(REQUIRED):
        h.check(len(found.get(name, [])) > 0, "%s has runnable examples" % name)
    for name in sorted(REQUIRED_WITH_DATABASE):
        h.check(any(tag == "sh db" for _, tag, _ in found.get(name, [])),
                "%s has runnable examples on a database" % name)
    for name, blocks in found.items():
        for index, (line, tag, text) in enumerate(blocks, 1):
            run_block(name, line, tag, text, index)
    return h.finish(started)


if __name__ == "__main__":
    sys.exit(main())
