// SPDX-License-Identifier: GPL-3.0-or-later
// The texts the "SMS lungo" tests send, with what the window shows and
// sends for each: the edges of a part in both alphabets, an escape pair
// and a surrogate pair on a boundary, "Flash" and "Ricevuta" on every part.
#pragma once

#include <QString>

#include <vector>

namespace composertest {

inline QString repeated(const char* utf8, int times) { return QString::fromUtf8(utf8).repeated(times); }

struct LongText {
    const char* name;
    QString text;
    bool flash;          // Check1
    bool report;         // Check2
    int dcs;             // TP-DCS of every part
    int parts;           // the SMS it goes out as
    const char* counter; // Label3
};

inline std::vector<LongText> longTexts()
{
    const QString euro = QString::fromUtf8("€");
    const QString grin = QString::fromUtf8("😀");
    return {
        {"one SMS of 160 septets", repeated("a", 160), false, false, 0x00, 1, "160/160"},
        {"161 septets", repeated("b", 161), false, false, 0x00, 2, "161/306 (2 SMS)"},
        {"306 septets", repeated("c", 306), false, false, 0x00, 2, "306/306 (2 SMS)"},
        {"307 septets", repeated("d", 307), false, false, 0x00, 3, "307/459 (3 SMS)"},
        {"an escape pair on a boundary", repeated("e", 152) + euro + repeated("e", 152), false, false, 0x00, 3,
         "306/459 (3 SMS)"},
        {"UCS2 of 70 units", repeated("ć", 70), false, false, 0x08, 1, "70/70"},
        {"UCS2 of 71 units", repeated("ć", 71), false, false, 0x08, 2, "71/134 (2 SMS)"},
        {"UCS2 parts, a surrogate pair on a boundary", repeated("ž", 66) + grin + repeated("ž", 140), false, false,
         0x08, 4, "208/268 (4 SMS)"},
        {"flash and report on every part", repeated("f", 200), true, true, 0xF0, 2, "200/306 (2 SMS)"},
        {"UCS2 flash and report on every part", repeated("ż", 100), true, true, 0x18, 2, "100/134 (2 SMS)"},
    };
}

} // namespace composertest
