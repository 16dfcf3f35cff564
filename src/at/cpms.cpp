// SPDX-License-Identifier: GPL-3.0-or-later
#include "at/cpms.h"

#include <utility>

namespace at {

namespace {

bool isBlank(QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); }

QStringView trimmedBlanks(QStringView text)
{
    while (!text.isEmpty() && isBlank(text.front()))
        text = text.mid(1);
    while (!text.isEmpty() && isBlank(text.back()))
        text.chop(1);
    return text;
}

QString field(QStringView text)
{
    text = trimmedBlanks(text);
    if (text.size() >= 2 && text.front() == QLatin1Char('"') && text.back() == QLatin1Char('"'))
        text = trimmedBlanks(text.mid(1, text.size() - 2));
    return text.toString();
}

// The fields of the group that names `store` in the answer to "+CPMS?": its
// used slots and its total, as texts. Absent without one.
std::optional<std::pair<QString, QString>> namedGroup(const QString& answer, QStringView store)
{
    const std::optional<QString> line = InfoLine(answer, QLatin1String("+CPMS:"));
    if (!line)
        return std::nullopt;
    const QStringList fields = InfoFields(*line);
    // Groups of three: the store's name, its used slots, its total.
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (fields.at(i).compare(store, Qt::CaseInsensitive) != 0)
            continue;
        if (i + 2 >= fields.size())
            return std::nullopt;
        return std::pair{fields.at(i + 1), fields.at(i + 2)};
    }
    return std::nullopt;
}

} // namespace

QStringList InfoFields(QStringView parameters)
{
    QStringList fields;
    bool quoted = false;
    qsizetype start = 0;
    for (qsizetype i = 0; i < parameters.size(); ++i) {
        const QChar c = parameters.at(i);
        if (c == QLatin1Char('"')) {
            quoted = !quoted;
        } else if (c == QLatin1Char(',') && !quoted) {
            fields.append(field(parameters.mid(start, i - start)));
            start = i + 1;
        }
    }
    fields.append(field(parameters.mid(start)));
    return fields;
}

std::optional<int> FieldNumber(QStringView text, int max)
{
    text = trimmedBlanks(text);
    // Ten digits would overflow before the bound is checked.
    if (text.isEmpty() || text.size() > 9)
        return std::nullopt;
    int value = 0;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
        value = value * 10 + (c.unicode() - '0');
    }
    if (value > max)
        return std::nullopt;
    return value;
}

std::optional<QString> InfoLine(const QString& answer, QLatin1String prefix)
{
    for (QStringView line : QStringView(answer).split(QLatin1Char('\n'))) {
        line = trimmedBlanks(line);
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (line.startsWith(prefix, Qt::CaseInsensitive))
            return line.mid(prefix.size()).toString();
    }
    return std::nullopt;
}

bool CpmsSelected(const QString& answer)
{
    const QStringView text = trimmedBlanks(answer);
    return text == QLatin1String("OK") || text.startsWith(QLatin1String("+CPMS:"), Qt::CaseInsensitive);
}

std::optional<int> CpmsCapacity(const QString& answer, QStringView store)
{
    const auto group = namedGroup(answer, store);
    if (!group || !FieldNumber(group->first, kMaxStoreCapacity))
        return std::nullopt;
    return FieldNumber(group->second, kMaxStoreCapacity);
}

std::optional<int> CpmsUsed(const QString& answer, QStringView store)
{
    std::optional<std::pair<QString, QString>> pair = namedGroup(answer, store);
    if (!pair) {
        const std::optional<QString> line = InfoLine(answer, QLatin1String("+CPMS:"));
        const QStringList fields = line ? InfoFields(*line) : QStringList();
        if (fields.size() >= 2 && FieldNumber(fields.at(0), kMaxStoreCapacity))
            pair = std::pair{fields.at(0), fields.at(1)};
    }
    if (!pair)
        return std::nullopt;
    const std::optional<int> used = FieldNumber(pair->first, kMaxStoreCapacity);
    const std::optional<int> total = FieldNumber(pair->second, kMaxStoreCapacity);
    if (!used || !total || *used > *total)
        return std::nullopt;
    return used;
}

} // namespace at
