// SPDX-License-Identifier: GPL-3.0-or-later
#include "phone/messages/parts.h"

#include <QStringList>

namespace store {

std::optional<MessagePart> PartOf(int tipo, const QString& pak)
{
    const auto concat = ConcatInfo(int16_t(tipo), pak);
    if (!concat)
        return std::nullopt;
    return MessagePart{PduKind(pak), RivNumMT(int16_t(tipo), pak), *concat};
}

bool SameMessage(const MessagePart& a, const MessagePart& b)
{
    return a.kind == b.kind && a.number == b.number && a.concat.reference == b.concat.reference
           && a.concat.wideReference == b.concat.wideReference && a.concat.total == b.concat.total;
}

QString SlotName(bool sim, int slot, int capacity)
{
    const int digits = int(QString::number(qMax(capacity, 0)).size());
    return (sim ? QLatin1String("S:") : QLatin1String("C:"))
           + QString::number(slot).rightJustified(digits, QLatin1Char('0'));
}

QString JoinedText(int total, const std::map<int, QString>& texts)
{
    QString whole;
    for (int index = 1; index <= total; ++index) {
        const auto found = texts.find(index);
        whole +=
            found != texts.end() ? found->second : QStringLiteral("[parte %1 di %2 mancante]").arg(index).arg(total);
    }
    return whole;
}

QString PartsStatus(int total, const std::map<int, QString>& slotNames)
{
    QStringList found;
    QStringList missing;
    for (int index = 1; index <= total; ++index) {
        const auto slot = slotNames.find(index);
        if (slot != slotNames.end())
            found << slot->second;
        else
            missing << QString::number(index);
    }
    QString status = QStringLiteral("SMS in %1 parti: ").arg(total) + found.join(QLatin1String(", "));
    if (missing.size() == 1)
        status += QStringLiteral(" (parte %1 mancante)").arg(missing.front());
    else if (missing.size() > 1)
        status += QStringLiteral(" (parti %1 mancanti)").arg(missing.join(QLatin1String(", ")));
    return status;
}

std::vector<Whole> JoinAll(const std::vector<std::optional<MessagePart>>& parts, const std::vector<QString>& texts)
{
    std::vector<Whole> wholes(parts.size());
    for (size_t i = 0; i < parts.size(); ++i) {
        if (!parts[i]) {
            wholes[i].text = texts[i];
            continue;
        }
        const MessagePart& part = *parts[i];
        // The row's own part first: another slot may claim it too.
        std::map<int, QString> found{{part.concat.index, texts[i]}};
        for (size_t j = 0; j < parts.size(); ++j) {
            if (parts[j] && SameMessage(*parts[j], part))
                found.emplace(parts[j]->concat.index, texts[j]); // the first of an index stays
        }
        wholes[i].part = QStringLiteral("%1/%2").arg(part.concat.index).arg(part.concat.total);
        wholes[i].text = JoinedText(part.concat.total, found);
    }
    return wholes;
}

} // namespace store
