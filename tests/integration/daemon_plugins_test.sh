#!/usr/bin/env bash
# zelvo-tftpd as it runs from the build tree: the example configuration
# (etc/zelvo-tftpd.conf) with its paths and ports moved into a temporary
# directory, the descriptor manager, the remote console and the database
# provider loaded as plug-ins from beside libtftp_rconsole.so.
# Usage: daemon_plugins_test.sh DAEMON CONSOLE SRCDIR
set -uo pipefail
DAEMON=$(realpath "$1")
CONSOLE=$(realpath "$2")
SRC=$(realpath "$3")
. "$SRC/tests/integration/daemon_harness.sh"
# The embedded database engine leaves its memory to the process exit.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"
export FIREBIRD_LOCK=
WORK=$(mktemp -d /tmp/zelvo-it-plugins-XXXXXX)
FIREBIRD_LOCK=$WORK/lock
ROOT=$WORK/root
VAR=$WORK/var
mkdir -p "$ROOT" "$VAR"

cleanup() {
    if [ -n "$DPID" ] && kill -0 "$DPID" 2>/dev/null; then kill -KILL "$DPID" 2>/dev/null; fi
    rm -rf "$WORK"
}
trap cleanup EXIT

PORT=$(free_port udp)
CPORT=$(free_port tcp)
echo "served by the daemon" > "$ROOT/hello.txt"

# The example configuration with the test's root, storage and ports and the
# database files of the source tree; every other line (plug-ins, console
# address, encryption, levels) as shipped.
conf() { # file [extra sed expression]
    sed -e "s|^tftp.virtual_root=.*|tftp.virtual_root=$ROOT|" \
        -e "s|=db/|=$SRC/db/|" \
        -e "s|^system.storage.path=.*|system.storage.path=$VAR|" \
        -e "s|^tftp.engine.port=.*|tftp.engine.port=$PORT|" \
        -e "s|^tftp.engine.listen_on=.*|tftp.engine.listen_on=127.0.0.1|" \
        -e "s|^rconsole.port=.*|rconsole.port=$CPORT|" \
        -e "${2:-s|^$||}" "$SRC/etc/zelvo-tftpd.conf" > "$1"
}
conf "$WORK/zelvo-tftpd.conf"
for key in system.plugins system.storage.path rconsole.port rconsole.listen_on; do
    grep -q "^$key=" "$WORK/zelvo-tftpd.conf" || fail "the example configuration has no $key"
done

# ---- start-up failures: the reason printed, exit status 1 ----
expect_refusal() { # name config-sed expected-text
    conf "$WORK/bad.conf" "$2"
    timeout 60 "$DAEMON" --config "$WORK/bad.conf" > "$WORK/bad.out" 2> "$WORK/bad.err"
    rc=$?
    if [ $rc -eq 1 ] && grep -qF "$3" "$WORK/bad.err"; then pass "$1: exit 1 with '$3'"; else
        fail "$1: exit status $rc"; cat "$WORK/bad.err"; fi
    if grep -q "AddressSanitizer\|runtime error" "$WORK/bad.err" "$WORK/bad.out"; then
        fail "$1: sanitizer report"; cat "$WORK/bad.err"; fi
}
expect_refusal "missing plug-in" "s|^system.plugins=.*|system.plugins=zelvo_local_fs,no_such_plugin,tftp_rconsole|" \
    "Cannot load the plugins named in 'system.plugins'."
expect_refusal "no descriptor-manager plug-in" "s|^system.plugins=.*|system.plugins=tftp_rconsole,zelvo_firebird_provider|" \
    "No plugins support the descriptor manager interface."
expect_refusal "plug-in directory without the plug-ins" "s|^system.plugins=|system.plugins.path=$WORK\nsystem.plugins=|" \
    "Cannot load the plugins named in 'system.plugins'."

# ---- the daemon with both plug-ins ----
"$DAEMON" --config "$WORK/zelvo-tftpd.conf" --foreground > "$WORK/daemon.out" 2> "$WORK/daemon.err" &
DPID=$!
wait_for_daemon "$PORT" 100 "$WORK/daemon.out" "$WORK/daemon.err"

if grep -q "Loaded 5 plugins: Local File System, Remote Console, UDP Event Publisher, Firebird Database Provider, Database Facade." "$WORK/daemon.out" "$WORK/daemon.err"; then
    pass "the example plug-ins loaded from the build tree"
else
    fail "plug-in report missing"; cat "$WORK/daemon.out" "$WORK/daemon.err"
fi
# The schema version the program requires: the highest shipped db_versions folder.
VERSION=$(ls "$SRC/db/db_versions" | grep -E '^[0-9]+$' | sort -n | tail -1)
if grep -q "Opened the database '$VAR/zelvo.fdb' (embedded engine) at schema version $VERSION." "$WORK/daemon.out"; then
    pass "the example database created in the storage path"
else
    fail "no database opened"; cat "$WORK/daemon.out" "$WORK/daemon.err"
fi

rm -f "$WORK/hello.out"
curl -s --max-time 20 -o "$WORK/hello.out" "tftp://127.0.0.1:$PORT/hello.txt"
if cmp -s "$ROOT/hello.txt" "$WORK/hello.out"; then pass "curl download"; else fail "curl download"; fi

# The console: enciphered login with the default administrator password.
timeout 30 "$CONSOLE" --host 127.0.0.1 --port "$CPORT" info > "$WORK/console.out" 2>&1
rc=$?
if [ $rc -eq 0 ] && grep -q "^name=" "$WORK/console.out"; then pass "console 'info' acknowledged"; else
    fail "console 'info': exit status $rc"; cat "$WORK/console.out"; fi
echo "wrong password" > "$WORK/wrong.pw"
timeout 30 "$CONSOLE" --host 127.0.0.1 --port "$CPORT" --password-file "$WORK/wrong.pw" info > "$WORK/console.out" 2>&1
rc=$?
if [ $rc -ne 0 ]; then pass "console login with a wrong password refused"; else
    fail "console accepted a wrong password"; cat "$WORK/console.out"; fi

mode=$(stat -c %a "$VAR/private_key.bin" 2>/dev/null || echo missing)
if [ "$mode" = "660" ]; then pass "private key created with mode 0660"; else fail "private key mode $mode"; fi

# The dry run beside the running daemon: it binds neither the TFTP port nor
# the console's, so the occupied ports do not disturb it.
timeout 60 "$DAEMON" --config "$WORK/zelvo-tftpd.conf" --explain 10.0.0.7:1234 rrq hello.txt > "$WORK/explain.out" 2>&1
rc=$?
if [ $rc -eq 0 ] && grep -q "decision: *admitted" "$WORK/explain.out" && grep -q "descriptor manager: *Local File System" "$WORK/explain.out" \
    && grep -q "window: *up to 64 blocks per acknowledgement" "$WORK/explain.out"; then
    pass "--explain beside the running daemon"
else
    fail "--explain: exit status $rc"; cat "$WORK/explain.out"
fi

# ---- clean stop ----
stop_daemon 10
if grep -q "The zelvo-tftpd daemon has shut down." "$WORK/daemon.out" "$WORK/daemon.err"; then
    pass "shut-down logged"
else
    fail "no shut-down message"; cat "$WORK/daemon.out" "$WORK/daemon.err"
fi
if grep -q "AddressSanitizer\|runtime error" "$WORK/daemon.out" "$WORK/daemon.err"; then
    fail "sanitizer report"; cat "$WORK/daemon.err"
fi

echo "$failures failure(s)"
[ $failures -eq 0 ]
