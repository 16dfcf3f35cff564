#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Derive the list font from DejaVu Sans Mono.

The list rows keep the Windows-1252 characters ³ ´ Ä Â Á as column
separators; the OEM list font draws those codes as box lines. This font
sends U+00B3, U+00B4, U+00C4, U+00C2 and U+00C1 to the glyphs of
U+2502, U+2524, U+2500, U+252C and U+2534, so the text keeps its
characters and the screen shows │ ┤ ─ ┬ ┴.

usage: make_list_font.py SOURCE.ttf OUTPUT.ttf
"""
import sys

from fontTools.ttLib import TTFont

BOX = {0x00B3: 0x2502, 0x00B4: 0x2524, 0x00C4: 0x2500, 0x00C2: 0x252C, 0x00C1: 0x2534}
FAMILY = "Zircalo Terminal"


def main(source, output):
    font = TTFont(source)
    best = font.getBestCmap()
    for code, box in BOX.items():
        if box not in best:
            sys.exit(f"{source} has no glyph for U+{box:04X}")
    for table in font["cmap"].tables:
        if table.isUnicode():
            for code, box in BOX.items():
                table.cmap[code] = best[box]
    for record in font["name"].names:
        if record.nameID in (1, 4, 16):
            record.string = FAMILY
        elif record.nameID == 6:
            record.string = FAMILY.replace(" ", "")
    font.save(output)


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    main(sys.argv[1], sys.argv[2])
