// SPDX-License-Identifier: GPL-3.0-or-later
// Writing a phone-book entry ("+CPBW"): the number and the name made ready
// for the command line, the limits a book gives, the command itself.
#pragma once

#include <QString>

#include <optional>

namespace at {

// A number as it goes to a phone book: the digits (and the * # p w , a
// phone may store) without the "+", which the type carries: 145 for an
// international number, 129 for any other. A "+" is sent never, so that a
// phone that adds one for type 145 never stores "++".
struct ContactNumber {
    QString digits;
    int type = 129;
};

// The number typed or imported, taken as the recipient is (blanks, dashes,
// dots, slashes and brackets dropped; a "+" only in front). Nothing, with
// `why` in Italian words, for a number that is none (empty, letters, a "+"
// elsewhere).
std::optional<ContactNumber> ContactNumberOf(const QString& written, QString* why = nullptr);

// The number a phone-book entry holds, as people read it: "+" in front for
// type 145 whether or not the phone wrote it, never two.
QString ContactNumberText(const QString& number, int type);

// What a name costs on the SIM: a name of GSM characters one a character
// (an extension character two), any other name its UCS2 form, two a
// character and one more.
int NameCost(const QString& name);

// The name as the quoted argument of "+CPBW" in the character set the phone
// was set to ("UCS2": the hex of its UTF-16 code units; "GSM": each
// character as its code in the default alphabet, "Ä" as "[", only when
// every code is a printable byte: none below 0x20, no quote, no DEL).
// Nothing, with `why` in Italian words, for a name that character set
// cannot carry exactly ("il nome contiene «è», che il cellulare non accetta
// senza UCS2") and for any other character set.
std::optional<QString> PhonebookNameArgument(const QString& name, const QString& charset, QString* why = nullptr);

// The sizes a book gives in its answer to "+CPBR=?" or "+CPBW=?"
// ("+CPBR: (1-250),40,18", "+CPBW: (1-250),40,(129,145),18"): the first and
// the last index, the longest number and the longest name (in the SIM's
// units). Nothing for an answer of another form.
struct BookLimits {
    int first = 1;
    int last = 0;
    int numberLength = 0;
    int nameLength = 0;
};
std::optional<BookLimits> ParseBookLimits(const QString& answer);

// "+CPBW=<index>,\"<digits>\",<type>,\"<name argument>\"", the index left
// out (first free entry) when `index` is 0.
QString CpbwWriteCommand(int index, const ContactNumber& number, const QString& nameArgument);
// "+CPBW=<index>": the entry deleted.
QString CpbwDeleteCommand(int index);

} // namespace at
