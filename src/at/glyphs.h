// SPDX-License-Identifier: GPL-3.0-or-later
// The separators kept in the rows of List1 and List2. They are stored as
// these Windows-1252 characters; the list font draws them as box lines.
#pragma once

#include <QChar>
#include <QString>

namespace at {

inline constexpr QChar kBar{char16_t(0xB3)};    // ³  drawn │
inline constexpr QChar kTee{char16_t(0xB4)};    // ´  drawn ┤
inline constexpr QChar kDash{char16_t(0xC4)};   // Ä  drawn ─
inline constexpr QChar kTop{char16_t(0xC2)};    // Â  drawn ┬
inline constexpr QChar kBottom{char16_t(0xC1)}; // Á  drawn ┴

inline const QString Bar = QStringLiteral(" \u00B3 ");   // between columns
inline const QString Joint = QStringLiteral(" \u00B4 "); // after a row head

} // namespace at
