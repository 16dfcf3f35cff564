#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Fails when a file of src/ outside the window (src/window) and the
# program's entry (src/app) includes a header of the window or of
# QtWidgets or QtGui: the phone's capabilities, the link, the AT words and
# the codec are QtCore only, and the libraries they are built into link
# nothing more.
set -euo pipefail
cd "$(dirname "$0")/.."

# QtWidgets' and QtGui's class headers, by the names code includes them by.
qt_headers=$(qmake6 -query QT_INSTALL_HEADERS 2>/dev/null || echo /usr/include/x86_64-linux-gnu/qt6)
banned=$(cd "$qt_headers" && ls QtWidgets QtGui 2>/dev/null | grep -E '^Q[A-Za-z0-9]+$' | sort -u)

bad=0
for f in $(git ls-files 'src/*.h' 'src/*.cpp' | grep -v -E '^src/(window|app)/'); do
  while IFS= read -r line; do
    header=$(sed -E 's/^#include *[<"]([^>"]*)[>"].*/\1/' <<<"$line")
    case "$header" in
      window/* | app/* | QtWidgets/* | QtGui/*)
        echo "$f includes $header, a header of the window"
        bad=1
        ;;
      *)
        if grep -qx "$header" <<<"$banned"; then
          echo "$f includes $header, a header of QtWidgets or QtGui"
          bad=1
        fi
        ;;
    esac
  done < <(grep -E '^#include' "$f" || true)
done
[ "$bad" -eq 0 ] && echo "layers: nothing below the window includes it or a widget"
exit "$bad"
