#!/bin/sh
# gammu, a real AT client, against the simulator serving a state file:
# identify, getallsms, getallmemory SM and sendsms, each checked against the
# state.  usage: gammu_test.sh <phonesim> <state file>
set -u
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

"$PHONESIM" --state "$STATE" --link "$work/phone" --control "$work/control" \
    --transcript "$work/transcript" --set next_reference=42 >"$work/pty" 2>"$work/stderr" &
pid=$!
tries=0
while [ ! -S "$work/control" ] || [ ! -L "$work/phone" ]; do
    tries=$((tries + 1))
    if [ $tries -gt 100 ] || ! kill -0 "$pid" 2>/dev/null; then
        echo "FAIL: phonesim did not start"; cat "$work/stderr"; exit 1
    fi
    sleep 0.05
done

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

run identify
expect "Manufacturer         : $(key manufacturer)" identify
expect "Firmware             : $(key revision)" identify
expect "IMEI                 : $(key serial)" identify
expect "SIM IMSI             : $(key imsi)" identify

run getallsms
count=$(grep -c '^sms\.[A-Z]*\.[0-9]* = ' "$STATE")
expect "$count SMS parts in $count SMS sequences" getallsms
expect 'SMSC number          : "+393359609600"' getallsms
expect 'Il pranzo costa 12€ a testa, perché non vieni anche tu?' "getallsms: € and accents"
expect 'Status               : UnRead' "getallsms: an unread message"
expect 'Status               : UnSent' "getallsms: a stored unsent message"
expect 'Status               : Sent' "getallsms: a stored sent message"
expect 'Remote number        : "TIM"' "getallsms: the alphanumeric sender"
expect 'Buon compleanno! 🎂🎉' "getallsms: UCS2 with emoji"
expect 'Concatenated (linked) message, ID (8 bit) 167, part 1 of 2' "getallsms: one part of a concatenated message"
expect 'Ciao amore' "getallsms: the picture message"
expect 'Sent                 : Fri Mar 15 18:42:07 2024 +0100' "getallsms: time stamp and zone"
for line in 'Lista spesa:' 'pane' 'latte' 'uova' 'caffè'; do
    grep -qx -- "$line" "$work/out" || fail "getallsms: multi-line text, no line $line"
done

run getallmemory SM
entries=$(grep -c '^pb\.SM\.[0-9]* = ' "$STATE")
found=$(grep -c '^Memory SM, Location ' "$work/out")
[ "$found" -eq "$entries" ] || fail "getallmemory SM: $found entries, the state has $entries"
grep '^pb\.SM\.[0-9]* = ' "$STATE" | while IFS= read -r entry; do
    index=$(echo "$entry" | sed 's/^pb\.SM\.\([0-9]*\) = .*/\1/')
    number=$(echo "$entry" | sed 's/^[^"]*"\([^"]*\)".*/\1/')
    name=$(echo "$entry" | sed 's/^[^"]*"[^"]*",[0-9]*,"\(.*\)"$/\1/')
    grep -A2 "^Memory SM, Location $index\$" "$work/out" >"$work/entry"
    grep -qF "General number       : \"$number\"" "$work/entry" || echo "entry $index number" >>"$work/bad"
    grep -qF "Name                 : \"$name\"" "$work/entry" || echo "entry $index name" >>"$work/bad"
done
[ -s "$work/bad" ] && fail "getallmemory SM: $(cat "$work/bad" | tr '\n' ' ')"

run sendsms TEXT +393471234567 -text "Ciao da gammu"
expect 'OK, message reference=42' sendsms
sent=$(control sent)
case "$sent" in
    *0C91934317325476*) ;;
    *) fail "sendsms: the phone recorded no PDU to +393471234567 ($sent)" ;;
esac

# SIGTERM: a clean exit, the link and the socket removed.
kill -TERM "$pid"
wait "$pid"
status=$?
pid=
[ $status -eq 0 ] || fail "phonesim ended with status $status on SIGTERM"
[ -e "$work/phone" ] || [ -L "$work/phone" ] && fail "the link is still there after SIGTERM"
[ -S "$work/control" ] && fail "the control socket is still there after SIGTERM"
grep -q '^/dev/pts/[0-9]*$' "$work/pty" || fail "phonesim did not print the pty path: $(cat "$work/pty")"

if [ $failures -ne 0 ]; then
    echo "--- transcript (end)"; tail -n 40 "$work/transcript"
    exit 1
fi
echo "gammu agrees with the simulator"
