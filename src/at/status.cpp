// SPDX-License-Identifier: GPL-3.0-or-later
#include "at/status.h"

#include "at/glyphs.h"

namespace at {

namespace {

struct Status {
    const char* column; // 6 characters, before the separator
    const char* word;
};

// By <stat>, GSM 07.05 3.1.
constexpr Status kStatuses[] = {
    {"Nuovo ", "Nuovo"},      // 0 REC UNREAD
    {"Letto ", "Letto"},      // 1 REC READ
    {"Da Inv", "Da Inviare"}, // 2 STO UNSENT
    {"Inviat", "Inviato"},    // 3 STO SENT
};
constexpr int kKnown = int(sizeof kStatuses / sizeof kStatuses[0]);

const Status* find(int tipo) { return tipo >= 0 && tipo < kKnown ? &kStatuses[tipo] : nullptr; }

} // namespace

QString StatusPiece(int tipo)
{
    const Status* status = find(tipo);
    return (status ? QLatin1String(status->column) : QLatin1String("      ")) + Bar;
}

QString StatusWord(int tipo)
{
    const Status* status = find(tipo);
    return status ? QString(QLatin1String(status->word)) : QString();
}

} // namespace at
