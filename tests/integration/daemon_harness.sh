# Shared pieces of the end-to-end tests driven from bash: the PASS/FAIL
# bookkeeping, free loopback ports, and waiting for the daemon started in
# the background (its process id in DPID) and stopping it.
PY=/usr/bin/python3
failures=0
DPID=

pass() { echo "PASS: $*"; }
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

free_port() { # udp|tcp: picked as the Python harness picks, outside the ephemeral ports
    $PY -c 'import socket, sys; sys.path.insert(0, sys.argv[1]); import daemon_harness
print(daemon_harness.free_port(socket.SOCK_DGRAM if sys.argv[2] == "udp" else socket.SOCK_STREAM))' \
        "$(dirname "${BASH_SOURCE[0]}")" "$1"
}

ping_daemon() { # port -> prints the answer to query_ping, empty when none
    $PY - "$1" <<'PYEOF'
import socket, sys
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM); s.settimeout(0.2)
s.sendto(b"query_ping", ("127.0.0.1", int(sys.argv[1])))
try: print(s.recvfrom(100)[0].decode())
except Exception: print("")
PYEOF
}

# Waits for the daemon to answer query_ping; when it does not (or ends
# first), shows the logs and ends the script.
wait_for_daemon() { # port tries log-file...
    local port=$1 tries=$2 reply=
    shift 2
    for _ in $(seq "$tries"); do
        reply=$(ping_daemon "$port")
        [ "$reply" = "pong" ] && break
        kill -0 "$DPID" 2>/dev/null || break
        sleep 0.2
    done
    if [ "$reply" = "pong" ]; then pass "daemon answers query_ping with pong"; else
        fail "daemon did not start"; cat "$@"; exit 1; fi
}

# SIGTERM: the daemon must be gone within the seconds, with exit status 0.
stop_daemon() { # seconds
    kill -TERM "$DPID"
    for _ in $(seq $(($1 * 10))); do kill -0 "$DPID" 2>/dev/null || break; sleep 0.1; done
    if kill -0 "$DPID" 2>/dev/null; then fail "daemon still running $1 s after SIGTERM"; else
        wait "$DPID"
        local rc=$?
        if [ $rc -eq 0 ]; then pass "clean stop on SIGTERM"; else fail "daemon exit status $rc after SIGTERM"; fi
    fi
    DPID=
}
