// SPDX-License-Identifier: GPL-3.0-or-later
#include "at/numbers.h"

#include <climits>

namespace at {

QString TrimSpaces(const QString& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin) == QLatin1Char(' '))
        ++begin;
    while (end > begin && text.at(end - 1) == QLatin1Char(' '))
        --end;
    return text.mid(begin, end - begin);
}

int NumericValue(QStringView text)
{
    long long value = 0;
    for (const QChar c : text) {
        if (c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n'))
            continue;
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            break;
        value = value * 10 + (c.unicode() - '0');
        if (value > INT_MAX)
            return INT_MAX;
    }
    return int(value);
}

long long LeadingNumber(const QString& text)
{
    qsizetype i = 0;
    while (i < text.size() && text.at(i) == QLatin1Char(' '))
        ++i;
    bool negative = false;
    if (i < text.size() && (text.at(i) == QLatin1Char('-') || text.at(i) == QLatin1Char('+'))) {
        negative = text.at(i) == QLatin1Char('-');
        ++i;
    }
    long long value = 0;
    for (; i < text.size() && text.at(i) >= QLatin1Char('0') && text.at(i) <= QLatin1Char('9'); ++i) {
        if (value < LLONG_MAX / 10 - 10)
            value = value * 10 + (text.at(i).unicode() - '0');
    }
    return negative ? -value : value;
}

QString DialledNumber(const QString& written)
{
    QString number;
    number.reserve(written.size());
    for (const QChar c : written) {
        const bool grouping = c.isSpace() || c == u'-' || c == u'.' || c == u'/' || c == u'(' || c == u')';
        if (!grouping)
            number += c;
    }
    return number;
}

} // namespace at
