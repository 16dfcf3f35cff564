// SPDX-License-Identifier: GPL-3.0-or-later
// GoogleTest shows a QString as its text (UTF-8) in failure messages.
#pragma once

#include <QString>

#include <ostream>

inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }
