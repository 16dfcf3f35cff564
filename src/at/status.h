// SPDX-License-Identifier: GPL-3.0-or-later
// The status of a stored message, the <stat> of "+CMGR" and "+CMGL" in PDU
// mode (GSM 07.05 3.1), in the words the window shows.
#pragma once

#include <QString>

namespace at {

// The status column of a row of List1, 9 characters with its separator:
//   0 "Nuovo  ³ "   received, unread
//   1 "Letto  ³ "   received, read
//   2 "Da Inv ³ "   stored, not yet sent
//   3 "Inviat ³ "   stored, sent
//   any other status (-1: none given): seven blanks, "³", blank.
QString StatusPiece(int tipo);

// The status in the detail view: "Nuovo", "Letto", "Da Inviare",
// "Inviato"; empty for any other status.
QString StatusWord(int tipo);

} // namespace at
