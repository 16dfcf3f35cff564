// SPDX-License-Identifier: GPL-3.0-or-later
#include "at/windows1252.h"

#include <array>

namespace {

// 0x80-0x9F, eight a row. 0 marks the five unassigned bytes, which map to
// the C1 control of the same value.
constexpr std::array<char16_t, 32> kHigh = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, // 80: € . ‚ ƒ „ … † ‡
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,      // 88: ˆ ‰ Š ‹ Œ . Ž .
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 90: . ‘ ’ “ ” • – —
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178, // 98: ˜ ™ š › œ . ž Ÿ
};

char16_t decodeByte(unsigned char byte)
{
    if (byte < 0x80 || byte >= 0xA0)
        return byte;
    const char16_t mapped = kHigh[byte - 0x80];
    return mapped ? mapped : byte;
}

// The byte of a character, or -1 when the code page has none. The C1
// controls U+0080-U+009F keep their own value: the serial line hands bytes
// over as Latin-1, and a byte must reach the file as it came.
int encodeChar(char16_t c)
{
    if (c <= 0xFF)
        return c;
    for (int i = 0; i < int(kHigh.size()); ++i) {
        if (kHigh[i] == c)
            return 0x80 + i;
    }
    return -1;
}

// A case partner of `c` only when both lie in the code page.
QChar changeCase(QChar c, bool upper)
{
    if (!InWindows1252(c))
        return c;
    const QChar other = upper ? c.toUpper() : c.toLower();
    return InWindows1252(other) ? other : c;
}

QString changeCase(const QString& text, bool upper)
{
    QString out = text;
    for (QChar& c : out)
        c = changeCase(c, upper);
    return out;
}

} // namespace

QString FromWindows1252(const QByteArray& bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    QChar* out = text.data();
    for (const char byte : bytes)
        *out++ = QChar(decodeByte(static_cast<unsigned char>(byte)));
    return text;
}

QByteArray ToWindows1252(const QString& text)
{
    QByteArray bytes;
    bytes.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        // A character beyond the 16-bit range is one "?", not two.
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            ++i;
        const int byte = encodeChar(c.unicode());
        bytes.append(char(byte < 0 ? '?' : byte));
    }
    return bytes;
}

bool InWindows1252(QChar c) { return encodeChar(c.unicode()) >= 0; }

QString Windows1252Upper(const QString& text) { return changeCase(text, true); }
QString Windows1252Lower(const QString& text) { return changeCase(text, false); }
