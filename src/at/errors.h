// SPDX-License-Identifier: GPL-3.0-or-later
// The extended final result codes: "+CMS ERROR: <n>" (GSM 07.05 3.2.5) and
// "+CME ERROR: <n>" (GSM 07.07 9.2). With AT+CMEE=1 they carry a number;
// with AT+CMEE=2 a text, of which the two that mean "nothing there" are known.
#pragma once

#include <QString>

namespace at {

constexpr int kCmsInvalidIndex = 321; // +CMS ERROR: 321, an empty message slot
constexpr int kCmeNotFound = 22;      // +CME ERROR: 22, an empty phone-book entry

// The code of a "+CMS ERROR: n" line (blanks and letter case ignored); -1
// for any other line or a code that is no number.
int CmsError(const QString& line);
// The same for "+CME ERROR: n".
int CmeError(const QString& line);

// What an extended error line means, in the user's words: the common codes
// in Italian ("+CMS ERROR: 330": "numero del centro servizi sconosciuto"),
// another code as its number ("errore 42 del cellulare"), a text that
// +CMEE=2 gives as the phone wrote it. Empty for a line that is no
// extended error.
QString ErrorReason(const QString& line);

} // namespace at
