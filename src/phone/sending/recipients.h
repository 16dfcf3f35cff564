// SPDX-License-Identifier: GPL-3.0-or-later
// The recipients of "Invio a:": several, separated by ";" or ",", each a
// number as people write it or an entry picked from the phone book
// ("number ³ name"). Pure functions: no widgets, no phone.
#pragma once

#include <QString>

#include <vector>

namespace phone {

struct Recipient {
    QString written; // the number as written, trimmed: "347 123 4567"
    QString number;  // as dialled: the grouping taken out (at::DialledNumber)
    QString name;    // the name after the bar of a picked entry, trimmed; empty without one
};

struct RecipientList {
    std::vector<Recipient> recipients; // in the order written, each number once
    int written = 0;                   // the recipients written, the same number twice counted twice
};

// The recipients in `field`. A piece is ended by ";", or by "," where no
// name runs (after a bar, a "," ends the piece only when a number follows
// it: "Rossi, Mario" is one name). A piece with nothing before its bar,
// or only blanks, is no recipient. The same number written twice ("347
// 1234567" and "3471234567", "0039..." and "+39...") is kept once, the
// first time.
RecipientList ParseRecipients(const QString& field);

// What two recipients have in common when they are the same number: the
// number as dialled, "00" in front read as "+".
QString RecipientKey(const QString& dialled);

// `field` with the entry `picked` ("number   ³ name  ", as a pick fills
// "Invio a:") added after "; ", its padding taken out; `picked` alone when
// the field holds no recipient.
QString WithRecipient(const QString& field, const QString& picked);

} // namespace phone
