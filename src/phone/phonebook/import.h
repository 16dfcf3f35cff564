// SPDX-License-Identifier: GPL-3.0-or-later
// Contacts brought in from a file: vCard 2.1, 3.0 and 4.0 and CSV, each
// number of a contact an entry of its own.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

namespace phone {

// One entry to be: a name and a number as the file wrote them (the number
// not yet made ready for a phone). A contact with several numbers gives one
// a number, the kind after the name ("Mario Rossi (casa)").
struct ImportedContact {
    QString name;
    QString number;
};

struct ImportResult {
    std::vector<ImportedContact> contacts;
    // One line a contact left out, in Italian words, with why ("Luca: nessun
    // numero").
    QStringList skipped;
};

// vCard 2.1 (QUOTED-PRINTABLE, CHARSET, soft line breaks), 3.0 and 4.0
// (folded lines, escapes, TYPE parameters); the name from FN, or from N
// when there is no FN.
ImportResult ImportVCards(const QByteArray& data);

// CSV with a header line: a name column and one or more number columns,
// ";" or "," as the separator (the one the header uses), quoted fields;
// UTF-8, or Windows-1252 where the bytes are no UTF-8.
ImportResult ImportCsv(const QByteArray& data);

} // namespace phone
