// SPDX-License-Identifier: GPL-3.0-or-later
#include "at/csca.h"

namespace at {

namespace {

bool isDialChar(char16_t c) { return (c >= u'0' && c <= u'9') || c == u'+' || c == u'*' || c == u'#'; }

} // namespace

QString DecodeUcs2Number(const QString& text)
{
    if (text.isEmpty() || text.size() % 4 != 0)
        return text;
    QString decoded;
    for (qsizetype i = 0; i < text.size(); i += 4) {
        bool ok = false;
        const uint code = QStringView(text).mid(i, 4).toUInt(&ok, 16);
        if (!ok || !isDialChar(char16_t(code)) || code > 0xFF)
            return text;
        decoded += QChar(char16_t(code));
    }
    return decoded;
}

std::optional<QString> ParseCsca(const QString& answer)
{
    const QString text = answer.trimmed();
    static const QLatin1String head("+CSCA:");
    if (!text.startsWith(head, Qt::CaseInsensitive))
        return std::nullopt;
    // The number ends at the first comma outside quotes (a quote that is
    // never closed quotes nothing), or at the line's end.
    const qsizetype from = head.size();
    qsizetype lineEnd = from;
    while (lineEnd < text.size() && text.at(lineEnd) != QLatin1Char('\r') && text.at(lineEnd) != QLatin1Char('\n'))
        ++lineEnd;
    const QString fields = text.mid(from, lineEnd - from);
    const qsizetype open = fields.indexOf(QLatin1Char('"'));
    const qsizetype close = open < 0 ? -1 : fields.indexOf(QLatin1Char('"'), open + 1);
    qsizetype comma = fields.indexOf(QLatin1Char(','), close < 0 ? 0 : close);
    if (comma < 0)
        comma = fields.size();
    QString number = fields.left(comma).trimmed();
    if (number.startsWith(QLatin1Char('"')))
        number.remove(0, 1);
    if (number.endsWith(QLatin1Char('"')))
        number.chop(1);
    return DecodeUcs2Number(number.trimmed());
}

} // namespace at
