#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is needed, builds with warnings as errors and runs every test;
# then runs them again in a build with the address and undefined-behaviour
# sanitizers, fuzzes the SMS codec and the answer parsers for a bounded
# time each, and builds the Debian package. Each step says when it began.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${ZIRCALO_TEST_DIR:-$root/build-test}
jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen

# Every step is announced with the time taken so far.
step() { echo "== $1 (at $SECONDS s)"; }

bash "$root/scripts/install-deps.sh"

step "formatting"
bash "$root/scripts/check-format.sh"

step "layers: nothing below the window includes it"
bash "$root/scripts/check-layers.sh"

step "build (warnings are errors)"
cmake -S "$root" -B "$out/release" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZIRCALO_WERROR=ON
cmake --build "$out/release" -j "$jobs"

# The plain tests first: the quickest and most telling step.
step "tests"
ctest --test-dir "$out/release" --output-on-failure -j "$jobs"

step "build (address and undefined-behaviour sanitizers)"
cmake -S "$root" -B "$out/sanitize" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DZIRCALO_WERROR=ON \
  -DZIRCALO_SANITIZE=ON -DZIRCALO_BENCHMARKS=OFF
cmake --build "$out/sanitize" -j "$jobs"

step "tests under the sanitizers"
ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir "$out/sanitize" --output-on-failure -j "$jobs"

step "fuzzing the SMS codec, the answer parsers and the framing"
bash "$root/scripts/fuzz.sh" "$out/fuzz" "${ZIRCALO_FUZZ_SECONDS:-45}"

step "desktop entry, AppStream metainfo and the Debian package"
desktop-file-validate "$root/packaging/zircalo.desktop"
appstreamcli validate --no-net "$root/packaging/io.github.zircalo.metainfo.xml"
(cd "$out/release" && cpack -G DEB)
step "done"
