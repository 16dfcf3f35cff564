#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Lists the C++ files that .clang-format would change; fails when there are any.
set -euo pipefail
cd "$(dirname "$0")/.."
files=$(git ls-files 'src/*.cpp' 'src/*.h' 'sim/*.cpp' 'sim/*.h' 'tests/*.cpp' 'tests/*.h' 'bench/*.cpp' 'bench/*.h')
bad=0
# One clang-format for all the files; file by file only to name those that differ.
if ! clang-format --dry-run --Werror $files >/dev/null 2>&1; then
  for f in $files; do
    if ! clang-format --dry-run --Werror "$f" >/dev/null 2>&1; then
      echo "not formatted: $f"
      bad=1
    fi
  done
fi
[ "$bad" -eq 0 ] && echo "formatting: every file follows .clang-format"
# Every source file says its licence in its first two lines.
unlicensed=$(awk 'FNR <= 2 && /SPDX-License-Identifier: GPL-3.0-or-later/ { ok[FILENAME] = 1 }
  END { for (i = 1; i < ARGC; i++) if (!(ARGV[i] in ok)) print ARGV[i] }' $files)
for f in $unlicensed; do
  echo "no licence line: $f"
  bad=1
done
exit "$bad"
