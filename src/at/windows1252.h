// SPDX-License-Identifier: GPL-3.0-or-later
// The program's 8-bit character set, Windows-1252: the bytes of the
// phone-book file, and the letters whose case "ZIP SMS" changes.
// Qt has no codec of its own for it (only through ICU), so the table is here.
#pragma once

#include <QByteArray>
#include <QString>

// Each byte to its character. 0x80-0x9F hold the typographic characters of
// Windows-1252 (not the C1 controls of Latin-1); the five bytes Windows
// leaves unassigned (0x81, 0x8D, 0x8F, 0x90, 0x9D) become U+0081 and so on,
// so that any file decodes and encodes back to the same bytes.
QString FromWindows1252(const QByteArray& bytes);

// Each character to its byte; a character outside the code page becomes "?".
// U+0080-U+009F, the bytes of the serial line read as Latin-1, stay
// themselves too.
QByteArray ToWindows1252(const QString& text);

// True when `c` has a byte in Windows-1252 (or is a C1 control, as above).
bool InWindows1252(QChar c);

// Upper and lower case of the Windows-1252 letters, accented ones included
// (è and È, š and Š, ÿ and Ÿ). Letters without a partner in the code page
// (ß, µ) and characters outside it are kept. The length never changes.
QString Windows1252Upper(const QString& text);
QString Windows1252Lower(const QString& text);
