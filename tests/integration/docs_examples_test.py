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

Usage: docs_examples_test.py DAEMON CONSOLE PLUGIN_DIR DOCS_DIR
"""
import glob
import os
import subprocess
import sys
import time

import daemon_harness as h

# Documents that must keep runnable examples: losing them all (a renamed
# tag, a broken extractor) fails the test instead of passing it vacuously.
REQUIRED = {"console.md", "operations.md"}


def sh_blocks(path):
    """The ```sh blocks of a Markdown file as (first line number, text)."""
    blocks, inside, tag, body, start = [], False, "", [], 0
    with open(path) as doc:
        for number, line in enumerate(doc, 1):
            stripped = line.strip()
            if stripped.startswith("```"):
                if not inside:
                    inside, tag, body, start = True, stripped[3:].strip(), [], number + 1
                else:
                    if tag == "sh":
                        blocks.append((start, "".join(body)))
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


def run_block(name, line, text, index):
    daemon = h.Daemon("%s-%d" % (name.replace(".", "-"), line), extra="tftp.access.allow=true\n").start()
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
    label = "%s:%d (example %d)" % (name, line, index)
    try:
        done = subprocess.run(["bash", "-e", "-o", "pipefail", "-c", text], cwd=scratch, env=env,
                              stdin=subprocess.DEVNULL, capture_output=True, timeout=120)
        output = (done.stdout + done.stderr).decode(errors="replace")
        h.check(done.returncode == 0, label + " runs", "exit %d\n%s\n%s" % (done.returncode, text, output[-3000:]))
    except subprocess.TimeoutExpired:
        h.check(False, label + " runs", "timed out\n" + text)
    daemon.stop(label + ": the daemon stops cleanly")


def main():
    started = time.monotonic()
    h.setup("zelvo-docs-")
    docs = os.path.realpath(sys.argv[4])
    found = {}
    for path in sorted(glob.glob(os.path.join(docs, "*.md"))):
        found[os.path.basename(path)] = sh_blocks(path)
    for name in sorted(REQUIRED):
        h.check(len(found.get(name, [])) > 0, "%s has runnable examples" % name)
    for name, blocks in found.items():
        for index, (line, text) in enumerate(blocks, 1):
            run_block(name, line, text, index)
    return h.finish(started)


if __name__ == "__main__":
    sys.exit(main())
