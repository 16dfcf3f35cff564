# SPDX-License-Identifier: GPL-3.0-or-later
# Shared by the gammu tests, each run as `<test>.sh <phonesim> <state file>`:
# takes those two ($PHONESIM, $STATE) and $GAMMU, and gives start_phonesim,
# run, result, expect, key, control, message, has, fail and finish.
#
# Each gammu call connects anew, and gammu's connection costs it some 3.5 s
# of its own waits (it writes each command of its set-up a byte a
# millisecond and then sleeps 400 ms, until it knows the phone's model), so
# independent calls go in parallel, each to a phone of its own: run starts
# one in the background, result waits for it and takes its output.
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
pids=
phones=
cleanup() {
    for p in $pids; do
        kill -TERM "$p" 2>/dev/null && wait "$p"
    done
    rm -rf "$work"
}
trap cleanup EXIT

# start_phonesim NAME [phonesim arguments]: a phone of its own in $work/NAME,
# serving $STATE, with its gammu configuration; $pid is its process.
start_phonesim() {
    name=$1
    shift
    mkdir -p "$work/$name"
    "$PHONESIM" --state "$STATE" --link "$work/$name/phone" --control "$work/$name/control" \
        --transcript "$work/$name/transcript" "$@" >"$work/$name/pty" 2>"$work/$name/stderr" &
    pid=$!
    pids="$pids $pid"
    phones="$phones $name"
    tries=0
    while [ ! -S "$work/$name/control" ] || [ ! -L "$work/$name/phone" ]; do
        tries=$((tries + 1))
        if [ $tries -gt 1200 ] || ! kill -0 "$pid" 2>/dev/null; then
            echo "FAIL: phonesim did not start"; cat "$work/$name/stderr"; exit 1
        fi
        sleep 0.05
    done
    cat >"$work/$name/gammurc" <<RC
[gammu]
device = $work/$name/phone
connection = at19200
RC
}

# run NAME ARGS...: one gammu command on phone NAME, in the background,
# bounded in time.
run() {
    name=$1
    shift
    echo "$*" >"$work/$name/command"
    (
        timeout 60 "$GAMMU" -c "$work/$name/gammurc" "$@" >"$work/$name/out" 2>&1
        echo $? >"$work/$name/status"
    ) &
    eval "job_$name=\$!"
}

# result NAME: waits for the gammu command on phone NAME; its output is
# then $work/out, which expect and message read.
result() {
    eval "wait \$job_$1"
    cp "$work/$1/out" "$work/out"
    if [ "$(cat "$work/$1/status")" != 0 ]; then
        fail "gammu $(cat "$work/$1/command") ended with an error"; cat "$work/out"
    fi
}

expect() {
    grep -qF -- "$1" "$work/out" || { fail "$2: no line with: $1"; }
}
# The value of a key of the state file (the last line wins).
key() { sed -n "s/^$1 = //p" "$STATE" | tail -n 1; }
# control NAME COMMAND: the simulator NAME's control channel.
control() {
    python3 -c 'import socket,sys
s = socket.socket(socket.AF_UNIX); s.connect(sys.argv[1]); s.sendall((sys.argv[2] + "\n").encode()); s.shutdown(socket.SHUT_WR)
out = b""
while True:
    b = s.recv(4096)
    if not b: break
    out += b
sys.stdout.write(out.decode())' "$work/$1/control" "$2"
}

# The verdict: the end of each phone's transcript on a failure.
finish() {
    if [ $failures -ne 0 ]; then
        for name in $phones; do
            echo "--- transcript of $name (end)"; tail -n 40 "$work/$name/transcript" 2>/dev/null
        done
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
