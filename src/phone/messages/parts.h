// SPDX-License-Identifier: GPL-3.0-or-later
// Messages that came in parts (concatenated SMS, TS 23.040 9.2.3.24.1 and
// .8) read as one: which message a part belongs to, the whole text joined
// in part order with a note where a part is missing, and the slots that
// hold the parts. Pure functions: no widgets, no phone.
#pragma once

#include "pdu/pdu.h"

#include <QMetaType>
#include <QString>

#include <map>
#include <optional>
#include <vector>

namespace store {

// One part of a concatenated message: whose message it is and where it
// stands in it.
struct MessagePart {
    SmsKind kind = SmsKind::Unknown; // received, or stored to be sent
    QString number;                  // the sender or recipient, as RivNumMT gives it
    ConcatPart concat;
};

// The part a stored message is; none for a message sent whole.
std::optional<MessagePart> PartOf(int tipo, const QString& pak);

// Two parts of one message: the same kind, number, reference (of the same
// width) and number of parts. A sender numbers its messages on its own, so
// the reference alone tells nothing.
bool SameMessage(const MessagePart& a, const MessagePart& b);

// A slot as the rows of List1 name it: "S:09", "C:002" (zero-padded to
// the digits of the capacity).
QString SlotName(bool sim, int slot, int capacity);

// The text of a message of `total` parts from the texts of the parts at
// hand, by index 1..total: each missing part is "[parte 2 di 3 mancante]"
// in its place.
QString JoinedText(int total, const std::map<int, QString>& texts);

// Panel 2 after a message in parts is opened: "SMS in 2 parti: S:10,
// S:09", the slots in part order, then the parts not found: "SMS in 3
// parti: C:005, C:007 (parte 2 mancante)", "(parti 2, 3 mancanti)".
QString PartsStatus(int total, const std::map<int, QString>& slotNames);

// Each message of a set read together (the export) with its part, "1/2"
// (empty for a message sent whole), and its whole text, joined from the
// parts in the set; a message sent whole is its own whole text. Where two
// messages claim the same part of one message, each row's whole text holds
// its own, and the other parts are the first that claims them.
struct Whole {
    QString part;
    QString text;
};
std::vector<Whole> JoinAll(const std::vector<std::optional<MessagePart>>& parts, const std::vector<QString>& texts);

} // namespace store

Q_DECLARE_METATYPE(store::MessagePart)
