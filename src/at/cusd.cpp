// SPDX-License-Identifier: GPL-3.0-or-later
#include "at/cusd.h"

#include <QRegularExpression>

namespace at {

std::optional<Cusd> ParseCusd(const QString& line)
{
    static const QRegularExpression head(QStringLiteral("^\\s*\\+CUSD\\s*:\\s*([0-9]{1,3})\\s*"),
                                         QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = head.match(line);
    if (!match.hasMatch())
        return std::nullopt;
    Cusd cusd;
    cusd.m = match.captured(1).toInt();
    QString rest = line.mid(match.capturedEnd());
    if (!rest.startsWith(QLatin1Char(',')))
        return cusd;
    rest = rest.mid(1);
    while (rest.startsWith(QLatin1Char(' ')))
        rest.remove(0, 1);

    // The string ends at the last quote, before the ",<dcs>" that may follow it.
    static const QRegularExpression quotedEnd(QStringLiteral("\"\\s*(?:,\\s*([0-9]*)\\s*)?$"));
    static const QRegularExpression bareEnd(QStringLiteral(",\\s*([0-9]+)\\s*$"));
    QString str;
    QString dcs;
    if (rest.startsWith(QLatin1Char('"'))) {
        const QString inside = rest.mid(1);
        const QRegularExpressionMatch end = quotedEnd.match(inside);
        if (end.hasMatch()) {
            str = inside.left(end.capturedStart());
            dcs = end.captured(1);
        } else {
            str = inside; // cut short
        }
    } else if (const QRegularExpressionMatch end = bareEnd.match(rest); end.hasMatch()) {
        str = rest.left(end.capturedStart()).trimmed();
        dcs = end.captured(1);
    } else {
        str = rest.trimmed();
    }
    str.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    str.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    cusd.str = str;
    bool ok = false;
    const int value = dcs.left(4).toInt(&ok);
    if (ok && value <= 255)
        cusd.dcs = value;
    return cusd;
}

QString UssdStatusText(int m)
{
    switch (m) {
    case int(UssdStatus::Done):
        return QStringLiteral("Completato");
    case int(UssdStatus::Waiting):
        return QStringLiteral("La rete attende una risposta");
    case int(UssdStatus::NetworkEnded):
        return QStringLiteral("Sessione terminata dalla rete");
    case int(UssdStatus::OtherClient):
        return QStringLiteral("Ha risposto un altro programma");
    case int(UssdStatus::NotSupported):
        return QStringLiteral("Operazione non supportata");
    case int(UssdStatus::TimedOut):
        return QStringLiteral("Tempo scaduto sulla rete");
    default:
        return QStringLiteral("stato %1").arg(m);
    }
}

} // namespace at
