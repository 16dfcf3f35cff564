// SPDX-License-Identifier: GPL-3.0-or-later
#include "at/cpin.h"

#include <QStringList>

namespace at {

namespace {

// The fields after `head` on the first line of `answer` that starts with
// it and whose first field is `first` (any, when empty), without blanks and
// quotes; empty when no line is.
QStringList fieldsOf(const QString& answer, QLatin1String head, QLatin1String first = QLatin1String())
{
    const QStringList lines = answer.split(QLatin1Char('\n'));
    for (const QString& raw : lines) {
        const QString line = raw.trimmed();
        if (!line.startsWith(head, Qt::CaseInsensitive))
            continue;
        QStringList fields = line.mid(head.size()).split(QLatin1Char(','));
        for (QString& field : fields)
            field = field.trimmed().remove(QLatin1Char('"')).trimmed();
        if (first.isEmpty() || fields.first().compare(first, Qt::CaseInsensitive) == 0)
            return fields;
    }
    return {};
}

std::optional<int> number(const QStringList& fields, int at)
{
    if (at >= fields.size())
        return std::nullopt;
    bool ok = false;
    const int n = fields.at(at).toInt(&ok);
    return ok && n >= 0 ? std::optional<int>(n) : std::nullopt;
}

} // namespace

SimWaits ParseCpin(const QString& answer)
{
    const QStringList fields = fieldsOf(answer, QLatin1String("+CPIN:"));
    if (fields.isEmpty())
        return SimWaits::Other;
    const QString code = fields.first().toUpper();
    if (code == QLatin1String("READY"))
        return SimWaits::Nothing;
    if (code == QLatin1String("SIM PIN"))
        return SimWaits::Pin;
    if (code == QLatin1String("SIM PUK"))
        return SimWaits::Puk;
    return SimWaits::Other;
}

std::optional<int> ParsePinTries(const QString& answer)
{
    // +CPINR: <code>,<retries>,<default retries>, a line for each code.
    QStringList fields = fieldsOf(answer, QLatin1String("+CPINR:"), QLatin1String("SIM PIN"));
    if (!fields.isEmpty())
        return number(fields, 1);
    // ^CPIN: <code>,[<times>],<puk times>,<pin times>,<puk2 times>,<pin2 times>
    fields = fieldsOf(answer, QLatin1String("^CPIN:"));
    if (!fields.isEmpty())
        return number(fields, 3);
    // +QPINC: "SC",<pin1 counter>,<puk1 counter>
    fields = fieldsOf(answer, QLatin1String("+QPINC:"), QLatin1String("SC"));
    if (!fields.isEmpty())
        return number(fields, 1);
    return std::nullopt;
}

} // namespace at
