// SPDX-License-Identifier: GPL-3.0-or-later
#include "phone/messages/conversation.h"

#include "at/delivery.h"
#include "phone/messages/csv.h"

#include <QStringList>

#include <algorithm>
#include <map>

namespace phone {

using namespace store;

namespace {

bool hasDigits(const QString& text)
{
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c.isDigit(); });
}

// The service-centre stamp of a message received as an instant; invalid
// without one.
QDateTime stampOf(int16_t tipo, const QString& pak)
{
    const QString local = CsvDateTime(RivData(tipo, pak), RivOra(tipo, pak));
    if (local.isEmpty())
        return QDateTime();
    QDateTime when = QDateTime::fromString(local, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    // "+01:00": the zone the centre gave; none is read as UTC.
    const QString zone = RivZona(tipo, pak);
    int offset = 0;
    if (zone.size() == 6) {
        const int minutes = zone.mid(1, 2).toInt() * 60 + zone.mid(4, 2).toInt();
        offset = (zone.startsWith(QLatin1Char('-')) ? -60 : 60) * minutes;
    }
    when.setOffsetFromUtc(offset);
    return when;
}

QString slotWords(const RowPlace& place)
{
    return (place.sim ? QStringLiteral("SIM ") : QStringLiteral("CELLULARE ")) + QString::number(place.slot);
}

// A message of the stores, gathered from its parts.
struct Stored {
    std::optional<MessagePart> part;
    int tipo = 0;
    bool received = true;
    QDateTime when;
    QString time; // "dd/mm/yy hh:mm:ss" as the list shows it
    std::map<int, QString> texts;
    QStringList places;
};

} // namespace

bool SameParty(const QString& a, const QString& b)
{
    if (hasDigits(a) && hasDigits(b))
        return at::SameNumber(a, b);
    return !a.trimmed().isEmpty() && a.trimmed().compare(b.trimmed(), Qt::CaseInsensitive) == 0;
}

QString PartyOf(const Messages& messages, int position)
{
    const MessageRecord& record = messages.record(position);
    if (!record.answer || record.answer->kind != at::CmgrAnswer::Message)
        return QString();
    const QString& pak = record.answer->pak;
    const SmsKind kind = PduKind(pak);
    if (kind != SmsKind::Deliver && kind != SmsKind::Submit)
        return QString();
    return RivNumMT(int16_t(record.answer->tipo), pak);
}

std::vector<ConversationItem> ConversationWith(const QString& party, const Messages& messages,
                                               const std::deque<SentEntry>& sent)
{
    std::vector<Stored> stored;
    for (int position = 0; position < messages.count(); ++position) {
        const QString number = PartyOf(messages, position);
        if (number.isEmpty() || !SameParty(number, party))
            continue;
        const MessageRecord& record = messages.record(position);
        const auto tipo = int16_t(record.answer->tipo);
        const QString& pak = record.answer->pak;
        const std::optional<MessagePart>& part = record.part;
        const bool inParts = part && part->concat.total > 1;
        // The parts of one message come together, each part once.
        auto into = stored.end();
        if (inParts) {
            into = std::find_if(stored.begin(), stored.end(), [&](const Stored& s) {
                return s.part && SameMessage(*s.part, *part) && !s.texts.count(part->concat.index);
            });
        }
        if (into == stored.end()) {
            Stored message;
            message.part = inParts ? part : std::nullopt;
            message.tipo = tipo;
            message.received = PduKind(pak) == SmsKind::Deliver;
            stored.push_back(message);
            into = stored.end() - 1;
        }
        // The message's time is its earliest part's.
        const QDateTime when = stampOf(tipo, pak);
        if (when.isValid() && (!into->when.isValid() || when < into->when)) {
            into->when = when;
            into->time = RivData(tipo, pak) + QLatin1Char(' ') + RivOra(tipo, pak);
        }
        into->texts[inParts ? part->concat.index : 1] = RivTesto(tipo, pak);
        into->places << slotWords(record.place);
    }

    std::vector<ConversationItem> items;
    for (const Stored& message : stored) {
        ConversationItem item;
        item.when = message.when;
        item.outgoing = !message.received;
        item.text =
            message.part ? JoinedText(message.part->concat.total, message.texts) : message.texts.begin()->second;
        const QString where = message.places.join(QStringLiteral(" + "));
        if (message.received)
            item.head = message.time + QStringLiteral("  ← ricevuto, ") + where;
        else
            item.head = QStringLiteral("→ in memoria (")
                        + (message.tipo == 2 ? QStringLiteral("da inviare") : QStringLiteral("inviato"))
                        + QStringLiteral("), ") + where;
        items.push_back(item);
    }
    for (const SentEntry& entry : sent) {
        if (!SameParty(entry.number, party))
            continue;
        ConversationItem item;
        item.when = entry.sent;
        item.outgoing = true;
        item.head =
            entry.sent.toString(QStringLiteral("dd/MM/yy HH:mm:ss")) + QStringLiteral("  → ") + DeliveryState(entry);
        item.text = entry.text;
        items.push_back(item);
    }
    // Oldest first; a stored message without a time before all.
    std::stable_sort(items.begin(), items.end(), [](const ConversationItem& a, const ConversationItem& b) {
        if (!a.when.isValid() || !b.when.isValid())
            return !a.when.isValid() && b.when.isValid();
        return a.when < b.when;
    });
    return items;
}

} // namespace phone
