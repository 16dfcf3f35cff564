// SPDX-License-Identifier: GPL-3.0-or-later
// The search in the messages, as the user types: the words typed, each
// looked for in a message's number, its phone-book name and its whole
// text, blind to letter case (accented capitals too, as Qt folds case)
// and to accents ("citta" finds "Città", "perche" finds "PERCHÉ"). Pure
// functions: no widgets, no phone.
#pragma once

#include <QString>
#include <QStringList>

#include <vector>

namespace store {

// `text` as the search compares it: compatibility-decomposed (a ligature
// "ﬁ" and a full-width "Ａ" read as "fi" and "A"), the accents dropped,
// the case folded.
QString Folded(const QString& text);

// The words of a search, folded; none for a text of blanks only.
QStringList SearchWords(const QString& typed);

// Whether every word is in one of the fields (each already Folded), not
// necessarily the same one: "mario cena" finds Mario's "A cena?".
bool HoldsEvery(const QStringList& words, const std::vector<QString>& foldedFields);

// Panel 2 after a search: "12 sms trovati..", "1 sms trovato..",
// "Nessun sms trovato..".
QString FoundStatus(int found);

} // namespace store
