#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Fuzzes what reads untrusted input: configures a clang build with
# libFuzzer, the address and undefined-behaviour sanitizers in DIR, builds
# the targets and runs each for SECONDS from the seed corpus kept beside it,
# both at once:
#   pdu_fuzz      the SMS codec (src/pdu/fuzz)
#   answers_fuzz  the answer parsers and the link's framing (src/link/fuzz)
# Usage: fuzz.sh DIR SECONDS
set -euo pipefail
if [ $# -ne 2 ]; then
  echo "usage: $0 DIR SECONDS" >&2
  exit 2
fi
dir=$1
seconds=$2
root=$(cd "$(dirname "$0")/.." && pwd)

cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DZIRCALO_FUZZ=ON -DZIRCALO_BENCHMARKS=OFF
cmake --build "$dir" --target pdu_fuzz answers_fuzz -j "${ZIRCALO_JOBS:-2}"

# The fuzzers run side by side, each on a core of its own (one after the
# other on a machine with one core): target:its folder under src/
entries=(pdu_fuzz:pdu answers_fuzz:link)
pids=()
for entry in "${entries[@]}"; do
  target=${entry%%:*}
  room=${entry##*:}
  # New inputs go to a corpus of the build; the committed seeds stay as they are.
  mkdir -p "$dir/corpus/$target" "$dir/artifacts/$target"
  # libFuzzer reports every new coverage point: keep that in a log.
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    "$dir/src/$room/$target" -max_total_time="$seconds" -max_len=4096 -timeout=10 \
    -print_final_stats=1 -artifact_prefix="$dir/artifacts/$target/" \
    "$dir/corpus/$target" "$root/src/$room/fuzz/corpus" > "$dir/$target.log" 2>&1 &
  pids+=("$!")
  if [ "$(nproc)" -lt 2 ]; then
    wait "$!" || true
  fi
done

# Each log's end, or all of it when the fuzzer found something.
failed=0
for i in "${!entries[@]}"; do
  target=${entries[$i]%%:*}
  echo "-- $target, $seconds s"
  if wait "${pids[$i]}"; then
    tail -n 12 "$dir/$target.log"
  else
    failed=$?
    cat "$dir/$target.log"
  fi
done
exit "$failed"
