#!/usr/bin/env bash
# Smoke run of tftp_loadgen against the real zelvo-tftpd: concurrent
# downloads with and without options and a few uploads, every byte checked.
# Usage: loadgen_smoke_test.sh DAEMON LOADGEN
set -uo pipefail
DAEMON=$(realpath "$1")
LOADGEN=$(realpath "$2")
PY=/usr/bin/python3
WORK=$(mktemp -d /tmp/zelvo-lg-XXXXXX)
ROOT=$WORK/root
mkdir -p "$ROOT"
DPID=
cleanup() {
    if [ -n "$DPID" ] && kill -0 "$DPID" 2>/dev/null; then kill -TERM "$DPID"; wait "$DPID" 2>/dev/null; fi
    rm -rf "$WORK"
}
trap cleanup EXIT

PORT=$($PY -c 'import socket; s=socket.socket(socket.AF_INET, socket.SOCK_DGRAM); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
head -c 1024 /dev/urandom > "$ROOT/small.bin"
head -c 70000 /dev/urandom > "$ROOT/medium.bin"
head -c 2048 /dev/urandom > "$ROOT/blocks.bin"    # a whole number of 512-byte blocks
cat > "$WORK/zelvo-tftpd.conf" <<CONF
tftp.virtual_root=$ROOT
tftp.access.allow=true
tftp.overwrite.allow=true
tftp.engine.listen_on=127.0.0.1
tftp.engine.port=$PORT
tftp.timeout=1s
tftp.max_retransmits=5
tftp.max_blocksize=65464
tftp.upload.permissions=420
system.plugins=zelvo_local_fs
system.storage.path=$WORK
system.log.levels=error
CONF
"$DAEMON" --config "$WORK/zelvo-tftpd.conf" --foreground 2> "$WORK/daemon.log" &
DPID=$!

run() { "$LOADGEN" --server "127.0.0.1:$PORT" --source "$ROOT" --time-limit 60 "$@"; }
# Wait until the daemon answers.
for _ in $(seq 50); do
    run --files small.bin --transfers 1 --timeout-ms 200 --retries 1 > /dev/null 2>&1 && break
    sleep 0.2
done

failures=0
check() { # description, then tftp_loadgen arguments
    local what=$1; shift
    if out=$(run "$@" 2>&1); then echo "PASS: $what"; else echo "FAIL: $what"; echo "$out"; failures=$((failures + 1)); fi
}
check "200 downloads, 50 at once, no options" --files small.bin,medium.bin,blocks.bin --transfers 200 --concurrency 50
check "200 downloads, 50 at once, blksize 1468 and tsize" --files small.bin,medium.bin,blocks.bin --transfers 200 \
    --concurrency 50 --options blksize,tsize --blksize 1468
check "20 uploads, 10 at once, verified on disk" --files medium.bin,blocks.bin --mode write --transfers 20 \
    --concurrency 10 --options blksize,tsize --blksize 1468 --verify-uploads "$ROOT" --upload-prefix smoke-up-
# The load generator itself must notice a wrong byte: serve a file that
# differs from the local copy the run is checked against.
mkdir -p "$WORK/other"
cp "$ROOT/small.bin" "$WORK/other/small.bin"
printf 'X' | dd of="$WORK/other/small.bin" bs=1 seek=700 conv=notrunc status=none
if "$LOADGEN" --server "127.0.0.1:$PORT" --source "$WORK/other" --files small.bin --transfers 3 --time-limit 30 \
    > "$WORK/mismatch.out" 2>&1; then
    echo "FAIL: a changed byte went unnoticed"; failures=$((failures + 1))
elif grep -q "content differs from the source" "$WORK/mismatch.out"; then
    echo "PASS: a changed byte is reported"
else
    echo "FAIL: unexpected output for a changed byte"; cat "$WORK/mismatch.out"; failures=$((failures + 1))
fi
if [ "$failures" -ne 0 ]; then echo "--- daemon log"; cat "$WORK/daemon.log"; exit 1; fi
