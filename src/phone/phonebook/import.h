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
// a number, the kind after the name ("Mario Rossi (casa)"; "casa",
// "cellulare", "lavoro", "fax" or "altro"), counted when a kind comes again
// ("Mario Rossi (cellulare 2)"); the same number twice (blanks and dashes
// aside) is one. A contact with one number keeps its plain name. The name
// is the full name, else the given, middle and family names as people read
// them, else the company; a contact with none of them takes each number as
// its name.
struct ImportedContact {
    QString name;
    QString number;
};

struct ImportResult {
    std::vector<ImportedContact> contacts;
    // One line a contact left out, in Italian words, with why ("Luca: nessun
    // numero", "Contatto 3: nessun nome né numero", "Riga 5: ..." for the
    // line of a CSV file as a spreadsheet counts it).
    QStringList skipped;
};

// vCard 2.1 (QUOTED-PRINTABLE, CHARSET, soft line breaks, bare types as in
// "TEL;HOME;VOICE"), 3.0 and 4.0 (folded lines, escapes, TYPE parameters,
// "tel:" URIs); the name from FN, or from N when there is no FN. A value
// without a CHARSET is UTF-8, or Windows-1252 where it is not.
ImportResult ImportVCards(const QByteArray& data);

// CSV with a header line: a name column and one or more number columns
// (named in Italian or English, as Outlook and Google export them), ";" or
// "," as the separator (the one the header uses), quoted fields; UTF-8, or
// Windows-1252 where the bytes are no UTF-8. A header without a number
// column gives no contact and one line that says so.
ImportResult ImportCsv(const QByteArray& data);

} // namespace phone
