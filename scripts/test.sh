#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is needed and checks everything, each step saying when it
# began:
#   formatting  the C++ files against .clang-format
#   program     the program alone as it ships (RelWithDebInfo), warnings
#               as errors, and its Debian package
#   build       everything, the benchmarks included, with clang and the
#               address and undefined-behaviour sanitizers at -O1, warnings
#               as errors
#   tests       every case of that build once, each in a process of its own
#   fuzzing     the SMS codec and the answer parsers, for a bounded time each
# Build folders: $ZIRCALO_TEST_DIR (build-test) holds release/, sanitize/
# and fuzz/.
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

# The program first: the quickest build, and the one whose warnings the
# optimiser finds. cpack builds nothing more than the program it packs.
step "the program (warnings are errors)"
cmake -S "$root" -B "$out/release" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZIRCALO_WERROR=ON \
  -DZIRCALO_BENCHMARKS=OFF -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON
cmake --build "$out/release" --target zircalo -j "$jobs"

step "desktop entry, AppStream metainfo and the Debian package"
desktop-file-validate "$root/packaging/zircalo.desktop"
appstreamcli validate --no-net "$root/packaging/io.github.zircalo.metainfo.xml"
(cd "$out/release" && cpack -G DEB)

# The build every test runs in: the sanitizers at -O1 with debug
# information (the tests' own code at -O0), assertions on. clang builds it
# in half the time gcc takes, and its warnings add to gcc's on the program.
step "build (address and undefined-behaviour sanitizers, warnings are errors)"
cmake -S "$root" -B "$out/sanitize" -G Ninja -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=Debug "-DCMAKE_CXX_FLAGS_DEBUG=-g -O1" -DZIRCALO_WERROR=ON -DZIRCALO_SANITIZE=ON
cmake --build "$out/sanitize" -j "$jobs"

step "tests under the sanitizers"
ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir "$out/sanitize" --output-on-failure -j "$jobs"

step "fuzzing the SMS codec, the answer parsers and the framing"
bash "$root/scripts/fuzz.sh" "$out/fuzz" "${ZIRCALO_FUZZ_SECONDS:-45}"
step "done"
