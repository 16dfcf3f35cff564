// SPDX-License-Identifier: GPL-3.0-or-later
#include "at/cnmi.h"

#include <QRegularExpression>
#include <QStringList>

namespace at {

namespace {

// "0-2", "0,1,2", "2": the values of one group; false when a piece is no
// number or range.
bool readGroup(const QString& group, std::set<int>& values)
{
    const QStringList pieces = group.split(QLatin1Char(','), Qt::SkipEmptyParts);
    if (pieces.isEmpty())
        return false;
    for (const QString& raw : pieces) {
        const QString piece = raw.trimmed();
        const qsizetype dash = piece.indexOf(QLatin1Char('-'));
        bool okLow = false;
        bool okHigh = false;
        const int low = (dash < 0 ? piece : piece.left(dash)).trimmed().toInt(&okLow);
        const int high = dash < 0 ? low : piece.mid(dash + 1).trimmed().toInt(&okHigh);
        if (!okLow || (dash >= 0 && !okHigh) || low < 0 || high < low || high > 255)
            return false;
        for (int v = low; v <= high; ++v)
            values.insert(v);
    }
    return true;
}

// The first of `preferred` that `offered` holds.
std::optional<int> firstOffered(const std::set<int>& offered, std::initializer_list<int> preferred)
{
    for (int value : preferred) {
        if (offered.count(value))
            return value;
    }
    return std::nullopt;
}

} // namespace

std::optional<CnmiOffer> ParseCnmiTest(const QString& answer)
{
    static const QLatin1String head("+CNMI:");
    for (const QString& raw : answer.split(QLatin1Char('\n'))) {
        const QString line = raw.trimmed();
        if (!line.startsWith(head, Qt::CaseInsensitive))
            continue;
        const QString body = line.mid(head.size()).trimmed();
        CnmiOffer offer;
        if (body.contains(QLatin1Char('('))) {
            // (0-2),(0-3),(0,2): the groups are what the parentheses hold.
            static const QRegularExpression group(QStringLiteral("\\(([^()]*)\\)"));
            auto it = group.globalMatch(body);
            while (it.hasNext()) {
                std::set<int> values;
                if (!readGroup(it.next().captured(1), values))
                    return std::nullopt;
                offer.push_back(values);
            }
        } else {
            // 0-2,0-3,0,0-1: one value or range a parameter.
            for (const QString& piece : body.split(QLatin1Char(','))) {
                std::set<int> values;
                if (!readGroup(piece, values))
                    return std::nullopt;
                offer.push_back(values);
            }
        }
        if (offer.empty())
            return std::nullopt;
        return offer;
    }
    return std::nullopt;
}

std::optional<QString> CnmiSetting(const CnmiOffer& offer)
{
    static const std::set<int> none;
    const auto group = [&](size_t i) -> const std::set<int>& { return i < offer.size() ? offer[i] : none; };
    const std::optional<int> mode = firstOffered(group(0), {2, 1, 3});
    const int mt = group(1).count(1) ? 1 : 0;
    const int ds = firstOffered(group(3), {1, 2}).value_or(0);
    if (!mode || (mt == 0 && ds == 0))
        return std::nullopt;
    // <mt> 0 where mt 1 is not offered, or the phone's default when 0 is
    // not offered either.
    QStringList values = {QString::number(*mode), mt == 1 || group(1).count(0) ? QString::number(mt) : QString()};
    // <bm>, <ds> and <bfr> only where the phone has them; a value it does
    // not offer for one of them is left to its default (an empty field).
    const auto add = [&](size_t i, int value) {
        if (i < offer.size())
            values << (offer[i].count(value) ? QString::number(value) : QString());
    };
    add(2, 0);
    add(3, ds);
    add(4, 0);
    while (values.size() > 2 && values.last().isEmpty())
        values.removeLast();
    return values.join(QLatin1Char(','));
}

std::optional<StoredIndication> ParseStoredIndication(const QString& line)
{
    static const QRegularExpression form(QStringLiteral("^\\s*\\+(CMTI|CDSI)\\s*:\\s*\"?\\s*([A-Za-z0-9]+)\\s*\"?\\s*,"
                                                        "\\s*(\\d{1,5})\\s*$"),
                                         QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = form.match(line);
    if (!match.hasMatch())
        return std::nullopt;
    const int slot = match.captured(3).toInt();
    if (slot > 65535)
        return std::nullopt;
    StoredIndication indication;
    indication.report = match.captured(1).compare(QLatin1String("CDSI"), Qt::CaseInsensitive) == 0;
    indication.store = match.captured(2).toUpper();
    indication.slot = slot;
    return indication;
}

std::optional<QString> ParseCdsPdu(const QString& notice)
{
    const QStringList lines = notice.split(QLatin1Char('\n'));
    if (lines.size() < 2 || !lines.first().trimmed().startsWith(QLatin1String("+CDS:"), Qt::CaseInsensitive))
        return std::nullopt;
    const QString pdu = lines.at(1).trimmed();
    if (pdu.isEmpty())
        return std::nullopt;
    // The length counts the octets after the service-centre address; a
    // phone that leaves the address out sends exactly that many, and the
    // PDU reads as a stored one with an empty address in front.
    bool ok = false;
    const int length = lines.first().trimmed().mid(5).section(QLatin1Char(','), -1).trimmed().toInt(&ok);
    if (ok && length > 0 && pdu.size() == 2 * qsizetype(length))
        return QStringLiteral("00") + pdu;
    return pdu;
}

} // namespace at
