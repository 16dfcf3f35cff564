// The phone book as the window holds it: the rows of List2, built from the
// phone's answers to +CPBR (GSM 07.07 8.12), and the ".RDS" file of rows.
// Pure functions, no widgets.
#pragma once

#include "at/glyphs.h"
#include "at/numbers.h"

#include <QByteArray>
#include <QChar>
#include <QString>
#include <QStringList>

#include <optional>

using at::kBar;
using at::kBottom;
using at::kDash;
using at::kTee;
using at::kTop;
using at::LeadingNumber;
using at::TrimSpaces;


// The answer to +CPBR=?, "+CPBR: (1-250),40,18": the last index of the
// range (reading always starts at 1) and the widths of the number and name.
struct PhonebookSize {
    bool valid = false; // the answer has that shape, last >= 1, sane widths
    int lastIndex = 0;
    int numberLength = 0; // LungNumero
    int nameLength = 0;   // LungNome
};
PhonebookSize ParsePhonebookSize(const QString& answer);

// An entry answer to +CPBR=<index>: +CPBR: 3,"+390123456789",145,"Ufficio".
// Index and type are not used. Not valid for anything without the quoted
// number and name, such as "+CME ERROR: 22".
struct PhonebookEntry {
    bool valid = false;
    QString number;
    QString name;
};
PhonebookEntry ParsePhonebookEntry(const QString& answer);

// The rows of one store. With D the digits of the last index, W and N the
// two widths: header 2D+2 "Ä", "Â", W+2 "Ä", "Â", 2W "Ä"; footer the same
// with "Á"; entry "007/250 ´ " number padded to W " ³ " name padded to N;
// a field longer than its column is followed by as many spaces as it exceeds.
QString HeaderRow(const PhonebookSize& size);
QString FooterRow(const PhonebookSize& size);
QString EntryRow(const PhonebookSize& size, int index, const QString& number, const QString& name);
QString EmptySlotRow(const PhonebookSize& size, int index);

// What picking a row puts into the recipient field: the row from two
// characters after its first "´" to the end. Nothing for a header or footer
// row (they begin with "Ä") or a row without "´".
std::optional<QString> PickedRecipient(const QString& row);

// ".RDS" anywhere in the name, whatever the case.
bool IsRdsName(const QString& fileName);
// The name the save writes to: as chosen when it has ".RDS", else with ".rds".
QString RdsSaveName(const QString& fileName);
// One row as a line of the file: Windows-1252 bytes, then CR LF.
QByteArray RdsLine(const QString& row);
// The rows of a file's bytes. A line ends at CR LF (also at a lone CR or
// LF); a last line without an end is a row too; an empty file has no rows.
QStringList RdsRows(const QByteArray& bytes);
