// SPDX-License-Identifier: GPL-3.0-or-later
// Reading numbers and trimming the texts that phones and files give.
#pragma once

#include <QString>
#include <QStringView>

namespace at {

// The text without the spaces at both ends; tabs and line breaks stay
// (they are not spaces to a phone's answer or to a name field).
QString TrimSpaces(const QString& text);

// The value of the leading decimal digits of `text`, blanks (space, tab, line
// feed) skipped wherever they stand; 0 when there are none. Saturates at
// INT_MAX instead of overflowing.
int NumericValue(QStringView text);

// The number a text begins with: leading spaces skipped, an optional sign,
// then digits up to the first other character; nothing readable gives 0.
long long LeadingNumber(const QString& text);

// A phone number as people write it, made ready for an address: the
// blanks, dashes, dots, slashes and parentheses that group its digits
// ("+39 (347) 123-4567") taken out. Any other character stays, for the
// address to refuse.
QString DialledNumber(const QString& written);

} // namespace at
