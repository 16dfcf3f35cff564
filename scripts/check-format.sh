#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Lists the C++ files that .clang-format would change; fails when there are any.
set -euo pipefail
cd "$(dirname "$0")/.."
files=$(git ls-files 'src/*.cpp' 'src/*.h' 'sim/*.cpp' 'sim/*.h' 'tests/*.cpp' 'tests/*.h' 'bench/*.cpp' 'bench/*.h')
bad=0
for f in $files; do
  if ! clang-format --dry-run --Werror "$f" >/dev/null 2>&1; then
    echo "not formatted: $f"
    bad=1
  fi
done
[ "$bad" -eq 0 ] && echo "formatting: every file follows .clang-format"
# Every source file says its licence in its first lines.
for f in $files; do
  if ! head -n 2 "$f" | grep -q "SPDX-License-Identifier: GPL-3.0-or-later"; then
    echo "no licence line: $f"
    bad=1
  fi
done
exit "$bad"
