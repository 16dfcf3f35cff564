#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is needed, builds, and starts ZIRCALO.
# With ZIRCALO_COM1 set (for example ZIRCALO_COM1=/dev/ttyUSB0) "COM 1" is that
# device; otherwise "COM 1" is the phone simulator with the sample Italian phone.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${ZIRCALO_BUILD_DIR:-$root/build}

bash "$root/scripts/install-deps.sh"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZIRCALO_BENCHMARKS=OFF
cmake --build "$build" --target zircalo phonesim

sim_pid=""
cleanup() { [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null || true; }
trap cleanup EXIT

if [ -z "${ZIRCALO_COM1:-}" ]; then
  link="${XDG_RUNTIME_DIR:-/tmp}/zircalo-phone"
  "$build/sim/phonesim" --state "$root/sim/samples/italian.state" --link "$link" &
  sim_pid=$!
  for _ in $(seq 50); do [ -e "$link" ] && break; sleep 0.1; done
  export ZIRCALO_COM1="$link"
  echo "COM 1 is the simulated phone at $link"
fi
"$build/zircalo"
