// SPDX-License-Identifier: GPL-3.0-or-later
#include "at/delivery.h"

#include <algorithm>

namespace at {

namespace {

// The digits of a number, "00" in front taken as the "+" it stands for.
QString digitsOf(const QString& number)
{
    QString digits;
    for (const QChar c : number) {
        if (c.isDigit())
            digits += c;
    }
    if (digits.startsWith(QLatin1String("00")))
        digits.remove(0, 2);
    return digits;
}

} // namespace

bool SameNumber(const QString& a, const QString& b)
{
    const QString x = digitsOf(a);
    const QString y = digitsOf(b);
    if (x.isEmpty() || y.isEmpty())
        return false;
    if (x == y)
        return true;
    const QString& shorter = x.size() < y.size() ? x : y;
    const QString& longer = x.size() < y.size() ? y : x;
    // A country code is one to three digits.
    return shorter.size() >= 7 && longer.size() - shorter.size() <= 3 && longer.endsWith(shorter);
}

bool FinalStatus(int status) { return status < 0x20 || status >= 0x40; }

void DeliveryLedger::sent(const SentPart& part)
{
    m_parts.push_back(part);
    while (m_parts.size() > kKept)
        m_parts.pop_front();
}

std::optional<SentPart> DeliveryLedger::match(const Delivery& report)
{
    const auto found = std::find_if(m_parts.begin(), m_parts.end(), [&](const SentPart& part) {
        return part.reference == report.reference && SameNumber(part.number, report.recipient);
    });
    if (found == m_parts.end())
        return std::nullopt;
    const SentPart part = *found;
    if (FinalStatus(report.status))
        m_parts.erase(found);
    return part;
}

QString DeliveryText(const QString& who, const SentPart& part, const Delivery& report)
{
    QString text = QStringLiteral("SMS a ") + who;
    if (part.parts > 1)
        text += QStringLiteral(" (parte %1 di %2)").arg(part.part).arg(part.parts);
    if (report.status < 0x20)
        return text + QStringLiteral(" consegnato alle ") + report.time.left(5);
    if (report.status < 0x40)
        return text + QStringLiteral(" non ancora consegnato (stato %1)").arg(report.status);
    return text + QStringLiteral(" non consegnato (stato %1)").arg(report.status);
}

} // namespace at
