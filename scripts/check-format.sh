#!/usr/bin/env bash
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
exit "$bad"
