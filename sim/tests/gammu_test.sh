#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# gammu, a real AT client, against the simulator serving a state file:
# identify, getallsms, getallmemory SM and sendsms, each checked against the
# state; addnew (two contacts written with +CPBW, on the simulator as most
# phones are and on one with the doubled "+") and deletememory, checked by
# the state they leave. They go at once, each to a phone of its own serving
# the state.
# usage: gammu_test.sh <phonesim> <state file>
set -u

. "$(dirname "$0")/gammu_common.sh"
start_phonesim plus --profile double-plus
for name in identify sms book write delete send; do
    start_phonesim $name --set next_reference=42
done
# "Caffè" and "Мария": gammu writes the first as GSM bytes, the second as
# UCS2 hex, each into the first free entry it finds (4, then 7).
printf 'BEGIN:VCARD\r\nVERSION:2.1\r\nN;CHARSET=UTF-8:;Caff\303\250\r\nTEL;CELL:+393471234567\r\nEND:VCARD\r\n' >"$work/contacts.vcf"
printf 'BEGIN:VCARD\r\nVERSION:2.1\r\nN;CHARSET=UTF-8:;\320\234\320\260\321\200\320\270\321\217\r\nTEL;CELL:3331234567\r\nEND:VCARD\r\n' >>"$work/contacts.vcf"

run identify identify
run sms getallsms
run book getallmemory SM
run send sendsms TEXT +393471234567 -text "Ciao da gammu"
run write addnew "$work/contacts.vcf" -yes -memory SM
run plus addnew "$work/contacts.vcf" -yes -memory SM
run delete deletememory SM 2

result identify
expect "Manufacturer         : $(key manufacturer)" identify
expect "Firmware             : $(key revision)" identify
expect "IMEI                 : $(key serial)" identify
expect "SIM IMSI             : $(key imsi)" identify

result sms
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

result book
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

result send
expect 'OK, message reference=42' sendsms
sent=$(control send sent)
case "$sent" in
    *0C91934317325476*) ;;
    *) fail "sendsms: the phone recorded no PDU to +393471234567 ($sent)" ;;
esac

# addnew: the entries written, then a question about the phone's clock,
# which the simulator does not have (gammu ends with 121 for it).
for name in write plus; do
    eval "wait \$job_$name"
    cp "$work/$name/out" "$work/out"
    expect 'Writing: 100 percent' "addnew on $name"
done
entry=$(control write "get pb.SM.4")
[ "$entry" = '"+393471234567",145,"Caffè"' ] || fail "addnew: SM 4 is $entry"
entry=$(control write "get pb.SM.7")
[ "$entry" = '"3331234567",129,"Мария"' ] || fail "addnew: SM 7 is $entry"
grep -qF 'AT+CPBW=4,\"+393471234567\",145,\"Caff\x04\"' "$work/write/transcript" ||
    fail "addnew: no +CPBW of the GSM bytes of Caffè in the transcript"
# gammu sends the "+" with type 145: the doubled "+" of such phones.
entry=$(control plus "get pb.SM.4")
[ "$entry" = '"++393471234567",145,"Caffè"' ] || fail "addnew on the doubled +: SM 4 is $entry"

result delete
expect 'Entry was deleted' deletememory
entry=$(control delete "get pb.SM.2")
[ "$entry" = "ERROR no such key: pb.SM.2" ] || fail "deletememory: SM 2 is still $entry"

# SIGTERM: a clean exit, the link and the socket removed ($pid: the last
# phone started, the one that sent).
kill -TERM "$pid"
wait "$pid"
status=$?
[ $status -eq 0 ] || fail "phonesim ended with status $status on SIGTERM"
[ -e "$work/send/phone" ] || [ -L "$work/send/phone" ] && fail "the link is still there after SIGTERM"
[ -S "$work/send/control" ] && fail "the control socket is still there after SIGTERM"
grep -q '^/dev/pts/[0-9]*$' "$work/send/pty" || fail "phonesim did not print the pty path: $(cat "$work/send/pty")"

finish "gammu agrees with the simulator"
