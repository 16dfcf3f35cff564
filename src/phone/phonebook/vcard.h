// SPDX-License-Identifier: GPL-3.0-or-later
// The phone book as vCards (RFC 2426, vCard 3.0): one card per entry of
// List2 with its name and number as they were read, UTF-8, lines ended by
// CR LF and folded at 75 octets. Pure functions, no widgets.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

struct PhonebookEntry {
    QString name;
    QString number;
};

// The entries of the rows of List2 ("007/250 ´ number ³ name"): the
// padding taken off; header and footer rows, rows without " ³ " and empty
// slots (no number and no name) left out.
std::vector<PhonebookEntry> EntriesOfRows(const QStringList& rows);

// A text value with "\", ",", ";" and line breaks escaped (RFC 2426 4).
QString VCardText(const QString& value);

// Every entry as a card: FN and N the name (FN the number when there is no
// name), TEL the number.
QByteArray VCards(const std::vector<PhonebookEntry>& entries);
