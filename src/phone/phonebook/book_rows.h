// SPDX-License-Identifier: GPL-3.0-or-later
// The phone book as the window holds it: the rows of List2, built from the
// phone's answers to +CPBR (GSM 07.07 8.12), and the ".RDS" file of rows.
// Pure functions, no widgets.
#pragma once

#include "at/cpbr.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

// The rows of one store, sized by its answer to +CPBR=? (its last index and
// widths); the number and the name WithoutControls. With D the digits of the last index, W and N the two widths:
// header 2D+2 "Ä", "Â", W+2 "Ä", "Â", 2W "Ä"; footer the same with "Á";
// entry "007/250 ´ " number padded to W " ³ " name padded to N; a field
// longer than its column is followed by as many spaces as it exceeds.
QString HeaderRow(const at::CpbrRange& size);
QString FooterRow(const at::CpbrRange& size);
QString EntryRow(const at::CpbrRange& size, int index, const QString& number, const QString& name);
QString EmptySlotRow(const at::CpbrRange& size, int index);

// A field or a row with its control characters (CR, LF, tab and the rest
// below 0x20, and DEL) made blanks, one for one: a name the phone sends
// with a line break in it would otherwise cut its row in two in the file.
QString WithoutControls(const QString& text);

// Whether a line of a ".RDS" file is a row of List2 as the read writes
// them: a header or footer row ("Ä", then "Â" or "Á" twice), an entry or an
// empty slot ("007/250 ´ " number " ³ " name), or an empty line. Anything
// else is no row of a phone book.
bool IsBookRow(const QString& row);

// An entry's fields as the phone sent them, read in the character set of
// the read: with AT+CSCS="UCS2" the name is hex UTF-16 big endian (GSM 07.07
// 5.5); some phones send the number so too. In the GSM set the name is one
// character a septet (GsmText). Nothing for a UCS2 name that is not hex in
// groups of four (a phone that left UCS2 sends "Marco Rossi").
std::optional<QString> PhonebookName(const QString& field, bool ucs2);
// A number is read as UCS2 only when it is hex in groups of four whose
// characters are all digits, "+", "*" or "#": a plain "0612" stays itself.
QString PhonebookNumber(const QString& field, bool ucs2);
// Hex UTF-16 big endian, four digits a code unit; nothing for any other text.
std::optional<QString> Ucs2Hex(const QString& hex);

// The last word of a read in panel 2: "Lettura rubriche terminata.." when
// every entry was read and decoded and the phone went back to the GSM set;
// otherwise what is missing: the entries that could not be read, the names
// shown as the phone sent them, the set the phone kept.
QString BookReadStatus(int unread, int undecoded, bool charsetRestored);

// Looks for `needle` at the start of the number column of a phone-book row
// of List2 (right after its first "´ "), letter case ignored. When it is
// there at q, the name is the `lungNome` characters from q + lungNumero + 3
// (the number column and " ³ " skipped), fewer when the row ends earlier.
std::optional<QString> NameInRow(const QString& row, const QString& needle, int lungNumero, int lungNome);

// What a row shows ("007/250 ´ number ³ name"): its index (the number
// before the "/"), the number and the name without the padding of their
// columns (the number without blanks around it, the name without blanks
// after it). Nothing for a header or footer row (they begin with "Ä") or a
// row without "´ " and " ³ " after it.
struct BookRowFields {
    int index = 0;
    QString number;
    QString name;
};
std::optional<BookRowFields> BookRowFieldsOf(const QString& row);

// What picking a row puts into the recipient field: the row from two
// characters after its first "´" to the end. Nothing for a header or footer
// row (they begin with "Ä") or a row without "´".
std::optional<QString> PickedRecipient(const QString& row);

// ".RDS" anywhere in the name, whatever the case.
bool IsRdsName(const QString& fileName);
// The name the save writes to: as chosen when it has ".RDS", else with ".rds".
QString RdsSaveName(const QString& fileName);

// The file is Windows-1252 whenever every row fits the code page, so that
// old files and the programs that read them stay as they were; otherwise
// UTF-8 after a byte-order mark, so that no name turns into "?".
enum class RdsEncoding { Windows1252, Utf8 };
RdsEncoding RdsEncodingFor(const QStringList& rows);
// What the file begins with: the byte-order mark EF BB BF for UTF-8.
QByteArray RdsPreamble(RdsEncoding encoding);
// One row as a line of the file, then CR LF.
QByteArray RdsLine(const QString& row, RdsEncoding encoding = RdsEncoding::Windows1252);
// The rows of a file's bytes: UTF-8 after a byte-order mark, else
// Windows-1252. A line ends at CR LF (also at a lone CR or LF); a last line
// without an end is a row too; an empty file has no rows.
QStringList RdsRows(const QByteArray& bytes);
