// SPDX-License-Identifier: GPL-3.0-or-later
// A slot's row of List1 written from outside the list handlers (a message
// that arrives while the program is connected), exactly as the list read
// and the refresh write it.
#pragma once

#include "phone/messages/message_rows.h"
#include "phone/messages/reader.h"

#include <QString>

#include <optional>

class Form1;

namespace store {

// The name of `number` in the phone book List2, when it holds it.
std::optional<QString> PhoneBookName(Form1& form, const QString& number);

// The row body of a slot read alone.
QString SlotRowBody(Form1& form, const Slot& slot);

// Replaces the row at `position` with the row of the slot `place` names,
// as `slot` was read, with the part its message is of a message in parts.
void WriteSlotRow(Form1& form, int position, const RowPlace& place, const Slot& slot);

} // namespace store
