#!/usr/bin/env bash
# zelvo-tftpd against real TFTP clients. Usage: tftp_clients_test.sh DAEMON SRCDIR
set -uo pipefail
DAEMON=$(realpath "$1")
SRC=$(realpath "$2")
. "$SRC/daemon_harness.sh"
WORK=$(mktemp -d /tmp/zelvo-it-XXXXXX)
ROOT=$WORK/root
OUT=$WORK/out
mkdir -p "$ROOT/sub" "$OUT"

cleanup() {
    if [ -n "$DPID" ] && kill -0 "$DPID" 2>/dev/null; then kill -KILL "$DPID" 2>/dev/null; fi
    rm -rf "$WORK"
}
trap cleanup EXIT

check_same() { # name expected actual
    if cmp -s "$2" "$3"; then pass "$1"; else fail "$1 ($(stat -c %s "$3" 2>/dev/null || echo missing) bytes)"; fi
}

PORT=$(free_port udp)

# Files to serve.
head -c 100000 /dev/urandom > "$ROOT/random.bin"
head -c 1048576 /dev/urandom > "$ROOT/one-mib.bin"
head -c 16384 /dev/urandom > "$ROOT/whole-blocks.bin"     # 32 x 512 and 2 x 8192
printf 'line one\nline two\r\nlast line\n' > "$ROOT/text.txt"
echo "old content of the file" > "$ROOT/keep.bin"
# The big file crosses block 65535 at 512 bytes a block (65536 blocks = 32 MiB).
BIG_MIB=${ZELVO_IT_BIG_MIB:-40}
head -c $((BIG_MIB * 1048576)) /dev/urandom > "$ROOT/big.bin"
echo "secret" > "$WORK/outside.txt"

cat > "$WORK/zelvo-tftpd.conf" <<CONF
tftp.virtual_root=$ROOT
tftp.access.allow=true
tftp.overwrite.allow=true
tftp.engine.listen_on=127.0.0.1
tftp.engine.port=$PORT
tftp.timeout=1s
tftp.max_retransmits=5
tftp.upload.permissions=420
system.plugins=zelvo_local_fs
system.storage.path=$WORK
system.log.levels=error
CONF

"$DAEMON" --config "$WORK/zelvo-tftpd.conf" --foreground 2> "$WORK/daemon.log" &
DPID=$!
wait_for_daemon "$PORT" 50 "$WORK/daemon.log"

URL=tftp://127.0.0.1:$PORT
C="curl -s --max-time 60"

# ---- downloads ----
$C -o "$OUT/curl.bin" "$URL/random.bin"; check_same "curl download" "$ROOT/random.bin" "$OUT/curl.bin"
$C --tftp-blksize 1468 -o "$OUT/curl1468.bin" "$URL/one-mib.bin"; check_same "curl blksize 1468" "$ROOT/one-mib.bin" "$OUT/curl1468.bin"
$C --tftp-blksize 8192 -o "$OUT/curl8192.bin" "$URL/one-mib.bin"; check_same "curl blksize 8192" "$ROOT/one-mib.bin" "$OUT/curl8192.bin"
$C --tftp-no-options -o "$OUT/noopt.bin" "$URL/whole-blocks.bin"; check_same "curl without options, n x 512 bytes" "$ROOT/whole-blocks.bin" "$OUT/noopt.bin"
$C --tftp-blksize 8192 -o "$OUT/whole8192.bin" "$URL/whole-blocks.bin"; check_same "curl n x 8192 bytes" "$ROOT/whole-blocks.bin" "$OUT/whole8192.bin"

(cd "$OUT" && timeout 60 tftp 127.0.0.1 "$PORT" -m binary -c get random.bin hpa.bin >/dev/null 2>&1)
check_same "tftp-hpa download" "$ROOT/random.bin" "$OUT/hpa.bin"
(cd "$OUT" && timeout 60 tftp 127.0.0.1 "$PORT" -m ascii -c get text.txt hpa-ascii.txt >/dev/null 2>&1)
check_same "tftp-hpa netascii download" "$ROOT/text.txt" "$OUT/hpa-ascii.txt"

timeout 60 atftp -g -r one-mib.bin -l "$OUT/atftp.bin" --option "blksize 1468" --option "tsize 0" 127.0.0.1 "$PORT" >/dev/null 2>&1
check_same "atftp blksize 1468 with tsize" "$ROOT/one-mib.bin" "$OUT/atftp.bin"
timeout 60 atftp -g -r one-mib.bin -l "$OUT/atftp8192.bin" --option "blksize 8192" 127.0.0.1 "$PORT" >/dev/null 2>&1
check_same "atftp blksize 8192" "$ROOT/one-mib.bin" "$OUT/atftp8192.bin"

# tsize: the OACK carries the file's size.
oack=$($PY - "$PORT" <<'PYEOF'
import socket, sys
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM); s.settimeout(5)
s.sendto(b"\0\1random.bin\0octet\0tsize\0" b"0\0", ("127.0.0.1", int(sys.argv[1])))
packet, peer = s.recvfrom(1000)
s.sendto(b"\0\5\0\0done\0", peer)
print(packet[2:].replace(b"\0", b" ").decode().strip())
PYEOF
)
if [ "$oack" = "tsize 100000" ]; then pass "OACK carries tsize 100000"; else fail "OACK was '$oack'"; fi

# ---- path traversal ----
for name in ../outside.txt /../outside.txt sub/../../outside.txt "..%2foutside.txt" "$WORK/outside.txt"; do
    rm -f "$OUT/trav"
    if $C --max-time 10 -o "$OUT/trav" "$URL/$name" 2>/dev/null && cmp -s "$OUT/trav" "$WORK/outside.txt"; then
        fail "traversal '$name' served a file outside the root"
    else
        pass "traversal '$name' refused"
    fi
done

# ---- uploads ----
head -c 300000 /dev/urandom > "$WORK/up.bin"
$C -T "$WORK/up.bin" "$URL/up-curl.bin"; check_same "curl upload" "$WORK/up.bin" "$ROOT/up-curl.bin"
$C --tftp-blksize 8192 -T "$WORK/up.bin" "$URL/up-curl8192.bin"; check_same "curl upload blksize 8192" "$WORK/up.bin" "$ROOT/up-curl8192.bin"
(cd "$WORK" && timeout 60 tftp 127.0.0.1 "$PORT" -m binary -c put up.bin up-hpa.bin >/dev/null 2>&1)
check_same "tftp-hpa upload" "$WORK/up.bin" "$ROOT/up-hpa.bin"
timeout 60 atftp -p -l "$WORK/up.bin" -r up-atftp.bin --option "blksize 1468" 127.0.0.1 "$PORT" >/dev/null 2>&1
check_same "atftp upload blksize 1468" "$WORK/up.bin" "$ROOT/up-atftp.bin"
printf 'a\nb\r\nc\n' > "$WORK/up.txt"
(cd "$WORK" && timeout 60 tftp 127.0.0.1 "$PORT" -m ascii -c put up.txt up-ascii.txt >/dev/null 2>&1)
check_same "tftp-hpa netascii upload" "$WORK/up.txt" "$ROOT/up-ascii.txt"
# curl drops the dot segments itself; the name then lies inside the root.
$C -T "$WORK/up.bin" "$URL/../escape.bin" 2>/dev/null
if [ -e "$WORK/escape.bin" ]; then fail "upload escaped the root"; else pass "upload outside the root refused"; fi

# An upload whose client dies midway leaves the previous file as it was. The
# client is a script that sends 100 blocks and then goes silent, so the
# transfer is midway by construction, however fast the machine is.
cp "$ROOT/keep.bin" "$WORK/keep.orig"
sent=$($PY - "$PORT" <<'PYEOF'
import os, socket, sys
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM); s.settimeout(5)
s.sendto(b"\0\2keep.bin\0octet\0", ("127.0.0.1", int(sys.argv[1])))
ack, peer = s.recvfrom(100)
block = 0
while ack[:2] == b"\0\4" and block < 100:
    block += 1
    s.sendto(b"\0\3" + block.to_bytes(2, "big") + os.urandom(512), peer)
    ack, _ = s.recvfrom(100)
print(block)
PYEOF
)
if [ "$sent" = 100 ]; then
    sleep 7   # more than the retransmission time (5 x 1 s)
    check_same "upload abandoned midway keeps the previous file" "$WORK/keep.orig" "$ROOT/keep.bin"
else
    fail "the upload to be abandoned midway was refused (sent '$sent' blocks)"
fi
if ls "$ROOT" | grep -v -E '^(random.bin|one-mib.bin|whole-blocks.bin|text.txt|keep.bin|big.bin|sub|escape.bin|up-.*)$' | grep -q .; then
    fail "temporary files left in the root: $(ls "$ROOT" | tr '\n' ' ')"
else
    pass "no temporary files left behind"
fi

# ---- a big file at 512 bytes a block: block numbers wrap after 65535 ----
start=$(date +%s)
$C --max-time 150 --tftp-no-options -o "$OUT/big.bin" "$URL/big.bin"
check_same "$BIG_MIB MiB at blksize 512 (block numbers wrap) in $(( $(date +%s) - start ))s" "$ROOT/big.bin" "$OUT/big.bin"
rm -f "$OUT/big.bin"

# ---- many at once ----
if $PY "$SRC/concurrent_downloads.py" "$PORT" random.bin "$ROOT/random.bin" 500; then
    pass "500 concurrent downloads"
else
    fail "500 concurrent downloads"
fi

# ---- clean stop ----
stop_daemon 5
if grep -q "ERROR: AddressSanitizer\|runtime error" "$WORK/daemon.log"; then
    fail "sanitizer report"; cat "$WORK/daemon.log"
fi

echo "$failures failure(s)"
[ $failures -eq 0 ]
