// SPDX-License-Identifier: GPL-3.0-or-later
#include "phone/messages/csv.h"

#include <QDate>
#include <QStringList>
#include <QTime>

namespace store {

namespace {
const QLatin1Char kSeparator(';');
}

QString CsvDateTime(const QString& date, const QString& time)
{
    const QString d = date.trimmed();
    const QString t = time.trimmed();
    if (d.size() != 8 || t.size() != 8)
        return QString();
    bool ok[6] = {};
    const int day = d.mid(0, 2).toInt(&ok[0]);
    const int month = d.mid(3, 2).toInt(&ok[1]);
    const int yy = d.mid(6, 2).toInt(&ok[2]);
    const int hours = t.mid(0, 2).toInt(&ok[3]);
    const int minutes = t.mid(3, 2).toInt(&ok[4]);
    const int seconds = t.mid(6, 2).toInt(&ok[5]);
    for (bool good : ok)
        if (!good)
            return QString();
    const QDate when(yy >= 90 ? 1900 + yy : 2000 + yy, month, day);
    const QTime at(hours, minutes, seconds);
    if (!when.isValid() || !at.isValid())
        return QString();
    return when.toString(Qt::ISODate) + QLatin1Char(' ') + at.toString(Qt::ISODate);
}

QString CsvText(const QString& field)
{
    static const QString kFormulaStarts = QStringLiteral("=+-@\t\r");
    if (!field.isEmpty() && kFormulaStarts.contains(field.front()))
        return QLatin1Char('\'') + field;
    return field;
}

QString CsvField(const QString& raw)
{
    const QString field = CsvText(raw);
    const bool quote = field.contains(kSeparator) || field.contains(QLatin1Char('"'))
                       || field.contains(QLatin1Char('\r')) || field.contains(QLatin1Char('\n'));
    if (!quote)
        return field;
    QString doubled = field;
    doubled.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + doubled + QLatin1Char('"');
}

QByteArray MessagesCsv(const std::vector<ExportedMessage>& messages)
{
    const auto row = [](const QStringList& fields) {
        QStringList quoted;
        for (const QString& field : fields)
            quoted << CsvField(field);
        return quoted.join(kSeparator) + QLatin1String("\r\n");
    };
    QString text = row({QStringLiteral("Memoria"), QStringLiteral("Posizione"), QStringLiteral("Stato"),
                        QStringLiteral("Centro servizi"), QStringLiteral("Numero"), QStringLiteral("Nome"),
                        QStringLiteral("Data e ora"), QStringLiteral("Fuso orario"), QStringLiteral("Testo"),
                        QStringLiteral("Parte"), QStringLiteral("Testo completo")});
    for (const ExportedMessage& m : messages)
        text += row({m.store, QString::number(m.slot), m.status, m.serviceCentre, m.number, m.name, m.dateTime, m.zone,
                     m.text, m.part, m.whole});
    return QByteArray("\xEF\xBB\xBF") + text.toUtf8();
}

} // namespace store
