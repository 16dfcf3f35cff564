#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Fuzzes the SMS codec: configures a clang build with libFuzzer, the address
# and undefined-behaviour sanitizers in DIR, builds pdu_fuzz and runs it for
# SECONDS starting from the seed corpus kept next to this script.
# Usage: run.sh DIR SECONDS
set -euo pipefail
if [ $# -ne 2 ]; then
  echo "usage: $0 DIR SECONDS" >&2
  exit 2
fi
dir=$1
seconds=$2
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)

cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DZIRCALO_FUZZ=ON -DZIRCALO_BENCHMARKS=OFF
cmake --build "$dir" --target pdu_fuzz -j "${ZIRCALO_JOBS:-2}"

# New inputs go to a corpus of the build; the committed seeds stay as they are.
mkdir -p "$dir/corpus" "$dir/artifacts"
# libFuzzer reports every new coverage point: keep that in a log and show its
# end, or all of it when the fuzzer found something.
log="$dir/fuzz.log"
if ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  "$dir/src/pdu/pdu_fuzz" -max_total_time="$seconds" -max_len=1024 -timeout=10 \
  -print_final_stats=1 -artifact_prefix="$dir/artifacts/" \
  "$dir/corpus" "$here/corpus" > "$log" 2>&1; then
  tail -n 12 "$log"
else
  status=$?
  cat "$log"
  exit "$status"
fi
