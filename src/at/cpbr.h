// SPDX-License-Identifier: GPL-3.0-or-later
// The phone-book answers of GSM 07.07 8.12: the size answer to "+CPBR=?" and
// the entry lines of "+CPBR=<index>". Every number a phone sends is bounded
// here, once; an answer beyond the bounds is malformed.
#pragma once

#include <QString>

#include <optional>
#include <vector>

namespace at {

// "+CPBR: (1-250),40,18": the index range and the widths of the number and
// the name. Blanks around every field are allowed, as are further fields
// after the name width (newer phones add text and group widths). Not valid
// unless 1 <= last <= 10000, 0 <= first <= last, widths 0..80 and 0..250.
struct CpbrRange {
    bool valid = false;
    int first = 0;
    int last = 0;
    int numberLength = 0;
    int nameLength = 0;
};
CpbrRange ParseCpbrRange(const QString& answer);

// "+CPBR: 3,"+390123456789",145,"Ufficio"": one entry. Blanks after the
// commas, fields with or without quotes, commas inside a quoted field and
// empty fields are read; an empty type reads as 0. Not valid without the
// prefix, an index of 0..10000 and the four fields, or with a type beyond
// 0..255. Fields after the name (hidden, group, a date...) are ignored.
// Some phones put an empty field after the index,
// "+CPBR: 1,,"+31234657899",145,"Mama GSM","2007/11/02,09:27"": where that
// field is empty and a quoted number follows it, the number, type and name
// are the three fields after it.
struct CpbrEntry {
    bool valid = false;
    int index = 0;
    QString number;
    int type = 0;
    QString name;
};
CpbrEntry ParseCpbrEntry(const QString& line);

// The answer to "+CPBR=<first>,<last>": an entry line for each entry used,
// in index order, one a line; nothing listed is a range without entries.
// Blank lines, the echo of the command and unsolicited lines are passed
// over. Nothing at all for any other line (an error, a line that lost its
// first characters on the way: "BR: 2,..."), or when an entry line is
// malformed or its index stands outside first..last, out of order or twice:
// such an answer cannot say which entries are empty.
std::optional<std::vector<CpbrEntry>> ParseCpbrEntries(const QString& answer, int first, int last);

} // namespace at
