# SPDX-License-Identifier: GPL-3.0-or-later
# Shared by the gammu tests, each run as `<test>.sh <phonesim> <state file>`:
# takes those two ($PHONESIM, $STATE) and $GAMMU, starts the simulator (with
# any extra arguments given to start_phonesim), writes gammu's configuration,
# and gives run, expect, key, control, message, has, fail and finish.
# Sourced, not run.
PHONESIM=$1
STATE=$2
GAMMU=${GAMMU:-gammu}
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

if ! command -v "$GAMMU" >/dev/null 2>&1; then
    echo "FAIL: gammu is not installed (apt-get install gammu)"
    exit 1
fi

work=$(mktemp -d)
pid=
cleanup() {
    [ -n "$pid" ] && kill -TERM "$pid" 2>/dev/null && wait "$pid"
    rm -rf "$work"
}
trap cleanup EXIT

start_phonesim() {
    "$PHONESIM" --state "$STATE" --link "$work/phone" --control "$work/control" \
        --transcript "$work/transcript" "$@" >"$work/pty" 2>"$work/stderr" &
    pid=$!
    tries=0
    while [ ! -S "$work/control" ] || [ ! -L "$work/phone" ]; do
        tries=$((tries + 1))
        if [ $tries -gt 100 ] || ! kill -0 "$pid" 2>/dev/null; then
            echo "FAIL: phonesim did not start"; cat "$work/stderr"; exit 1
        fi
        sleep 0.05
    done
}

cat >"$work/gammurc" <<EOF
[gammu]
device = $work/phone
connection = at19200
EOF

# Runs one gammu command, bounded in time, into $work/out.
run() {
    if ! timeout 60 "$GAMMU" -c "$work/gammurc" "$@" >"$work/out" 2>&1; then
        fail "gammu $* ended with an error"; cat "$work/out"
    fi
}
expect() {
    grep -qF -- "$1" "$work/out" || { fail "$2: no line with: $1"; }
}
# The value of a key of the state file (the last line wins).
key() { sed -n "s/^$1 = //p" "$STATE" | tail -n 1; }
control() {
    python3 -c 'import socket,sys
s = socket.socket(socket.AF_UNIX); s.connect(sys.argv[1]); s.sendall((sys.argv[2] + "\n").encode()); s.shutdown(socket.SHUT_WR)
out = b""
while True:
    b = s.recv(4096)
    if not b: break
    out += b
sys.stdout.write(out.decode())' "$work/control" "$1"
}

# The verdict: the end of the transcript on a failure.
finish() {
    if [ $failures -ne 0 ]; then
        echo "--- transcript (end)"; tail -n 40 "$work/transcript"
        exit 1
    fi
    echo "$1"
}

# The lines of one message in gammu's listing: from its "Location" line to
# the next empty line after the text.
message() {
    awk -v head="$1" 'index($0, head) == 1 { on = 1 } on { print } on && /^$/ && ++gaps == 2 { exit }' \
        "$work/out" >"$work/message"
}

# The message cut out by `message` has a line with `$2`; `$1` names it in a
# failure (its location).
has() {
    grep -qF -- "$2" "$work/message" || fail "location $1: no line with: $2"
}
