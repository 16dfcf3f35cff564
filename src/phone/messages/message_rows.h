// SPDX-License-Identifier: GPL-3.0-or-later
// The rows of the message list List1 and the phone answers they are built
// from. Pure functions: no widgets, no phone, no event processing.
//
// A row is a head and a body:
//   "S: 05/20 ´ " + body        store prefix, slot (zero-padded to the digits
//   "C: 012/150 ´ " + body      of the capacity), "/", capacity, " ´ "
// and the body is a stored message (columns chosen by the check boxes), the
// empty-slot body (the same columns in blanks, never a text column), a
// message that could not be read ("SMS NON LEGGIBILE"), or the phone's
// answer itself ("ERROR", "error", "OK").
#pragma once

#include "at/glyphs.h"
#include "at/numbers.h"
#include "at/status.h"

#include <QString>

#include <optional>

namespace store {

using at::Bar;
using at::Joint;
using at::NumericValue;
using at::StatusPiece;
using at::TrimSpaces;

// The columns chosen with the check boxes of Frame1.
struct Columns {
    bool serviceCentre = true; // Check3 "Centro servizi."
    bool status = true;        // Check7 "Tipo."
    bool time = true;          // Check5 "Ora."
    bool date = true;          // Check4 "Data."
    bool text = true;          // Check6 "Testo."
    bool operator==(const Columns& other) const
    {
        return serviceCentre == other.serviceCentre && status == other.status && time == other.time
               && date == other.date && text == other.text;
    }
};

// The display strings of one stored message: the decoders' results, with the
// number already replaced by its phone-book name when one was found.
struct MessageFields {
    QString serviceCentre;
    QString number;
    QString time;
    QString date;
    QString text;
};

// `text` followed by blanks up to `width` characters; a longer text is kept
// whole and gets no blanks.
QString Padded(const QString& text, int width);

// The number of decimal digits of a capacity (20 -> 2, 150 -> 3, 0 -> 1).
int Digits(int capacity);

// "S: " for the SIM store, "C: " for the phone's own store.
QString StorePrefix(bool sim);

// Store prefix, slot zero-padded to the digits of the capacity, "/",
// capacity, " ´ ": 2d + 7 characters.
QString RowHead(bool sim, int slot, int capacity);

// The body of an empty slot: the chosen columns filled with blanks, no text.
QString EmptyBody(const Columns& columns, int lungNumero);

// The body of a slot whose message came cut or garbled (a PDU that is not
// the <length> it announces): neither an empty slot nor a message.
QString UnreadableBody();

// The body of a stored message.
QString MessageBody(const Columns& columns, int lungNumero, int tipo, const MessageFields& fields);

// The header line above List1, each caption over its column in the fixed
// pitch font.
QString HeaderLine(const Columns& columns, int capacity, int lungNumero);

// What the detail view, the refresh and the deletions read back from a row.
struct RowPlace {
    bool sim = false;    // the row starts with "S:"
    int slot = 0;        // from character 4 up to the first "/"
    int capacity = 0;    // from that "/" up to " ´ "
    int headLength = -1; // characters up to and including the first " ´ "; -1 without one
};
RowPlace ReadRowPlace(const QString& row);

// The row with " ³ Nuovo  ³ " (letter case ignored) turned into
// " ³ Letto  ³ "; the row itself when it holds none.
QString MarkedRead(const QString& row);

// The reply key of the detail view: the text of Text9 before " ³ " (the name,
// or the number), blanks removed at both ends. Absent when Text9 holds no
// "³ ".
std::optional<QString> ReplyKey(const QString& text9);

} // namespace store
