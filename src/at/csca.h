// SPDX-License-Identifier: GPL-3.0-or-later
// The service-centre answer, GSM 07.05 3.3.1: +CSCA: <sca>[,<tosca>].
#pragma once

#include <QString>

#include <optional>

namespace at {

// The number of a +CSCA? answer as the cleaned answer gives it
// ("+CSCA: \"+391234567890\",145"): without its quotes, blanks around the
// fields ignored, the quotes optional. A number given in UCS2 hex, as some
// phones do after AT+CSCS="UCS2" ("002B0033..."), is decoded. Nothing when
// the answer is no +CSCA line.
std::optional<QString> ParseCsca(const QString& answer);

// A number written as UCS2 hex, four digits a character, decoded when every
// character is one a number may hold (digits, "+", "*", "#"); otherwise the
// text as it is.
QString DecodeUcs2Number(const QString& text);

} // namespace at
