#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs gammu tests at once, each `<test>.sh <phonesim> <state file>`, and
# tells each one's verdict with its output: most of a gammu test's time is
# gammu's own waits while it connects, which need no processor.
# usage: gammu_all.sh <phonesim> <test.sh> <state file> [<test.sh> <state file>]...
set -u
phonesim=$1
shift
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
n=0
while [ $# -ge 2 ]; do
    n=$((n + 1))
    echo "$1" >"$out/$n.name"
    (sh "$1" "$phonesim" "$2" >"$out/$n.out" 2>&1; echo $? >"$out/$n.status") &
    shift 2
done
wait
failed=0
i=1
while [ $i -le $n ]; do
    echo "=== $(basename "$(cat "$out/$i.name")")"
    cat "$out/$i.out"
    [ "$(cat "$out/$i.status" 2>/dev/null)" = 0 ] || failed=1
    i=$((i + 1))
done
exit $failed
