// SPDX-License-Identifier: GPL-3.0-or-later
#include "at/delivery.h"

#include "pdu/tp_status.h"

#include <QStringList>

#include <algorithm>
#include <utility>

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

bool waits(const SentMessage& message)
{
    return std::any_of(message.parts.begin(), message.parts.end(), [](const PartRecord& part) {
        return part.state == PartState::Waiting || part.state == PartState::Sent;
    });
}

bool anyReported(const SentMessage& message)
{
    return std::any_of(message.parts.begin(), message.parts.end(),
                       [](const PartRecord& part) { return part.state == PartState::Reported; });
}

void keepAtMost(std::deque<SentMessage>& messages)
{
    while (messages.size() > DeliveryLedger::kKept)
        messages.pop_front();
}

// "dd/mm/yy" and "hh:mm:ss" as one key that sorts in time.
QString whenKey(const PartRecord& part)
{
    const QStringList dmy = part.date.split(QLatin1Char('/'));
    const QString date = dmy.size() == 3 ? dmy[2] + dmy[1] + dmy[0] : QString();
    return date + QLatin1Char(' ') + part.time;
}

// "parte 3", "parti 2 e 3", "parti 2, 3 e 4".
QString partsWords(const std::vector<int>& numbers)
{
    if (numbers.size() == 1)
        return QStringLiteral("parte %1").arg(numbers[0]);
    QStringList first;
    for (size_t i = 0; i + 1 < numbers.size(); ++i)
        first << QString::number(numbers[i]);
    return QStringLiteral("parti ") + first.join(QStringLiteral(", ")) + QStringLiteral(" e ")
           + QString::number(numbers.back());
}

bool delivered(const PartRecord& part)
{
    return part.state == PartState::Reported && OutcomeOf(part.status) == DeliveryOutcome::Delivered;
}

QString messageText(const QString& who, const SentMessage& message)
{
    const QString head = QStringLiteral("SMS a ") + who;
    const std::vector<PartRecord>& parts = message.parts;
    if (parts.size() == 1) {
        const PartRecord& part = parts[0];
        if (!delivered(part))
            return head + QStringLiteral(" non consegnato (") + StatusWords(part.status) + QLatin1Char(')');
        const QString text = head + QStringLiteral(" consegnato alle ") + part.time.left(5);
        return part.status == 0 ? text : text + QStringLiteral(" (") + StatusWords(part.status) + QLatin1Char(')');
    }

    // Pieces in the order of their first part: each failure on its own,
    // the parts missing for one reason together.
    struct Piece {
        int first = 0;
        QString text;
    };
    std::vector<Piece> pieces;
    QStringList notes; // of parts delivered with a status other than 0
    const PartRecord* last = nullptr;
    int deliveredParts = 0;
    std::vector<int> notSent, unconfirmed, noReference;
    for (size_t i = 0; i < parts.size(); ++i) {
        const PartRecord& part = parts[i];
        const int number = int(i) + 1;
        switch (part.state) {
        case PartState::Reported:
            if (delivered(part)) {
                ++deliveredParts;
                if (!last || whenKey(part) >= whenKey(*last))
                    last = &part;
                if (part.status != 0) {
                    notes << QStringLiteral("parte %1: ").arg(number) + StatusWords(part.status);
                    pieces.push_back({number, QStringLiteral("parte %1 consegnata (").arg(number)
                                                  + StatusWords(part.status) + QLatin1Char(')')});
                }
            } else {
                pieces.push_back({number, QStringLiteral("parte %1 non consegnata (").arg(number)
                                              + StatusWords(part.status) + QLatin1Char(')')});
            }
            break;
        case PartState::NotSent:
            notSent.push_back(number);
            break;
        case PartState::Unconfirmed:
            unconfirmed.push_back(number);
            break;
        case PartState::NoReference:
            noReference.push_back(number);
            break;
        case PartState::Waiting:
        case PartState::Sent:
            break; // not in a message told
        }
    }
    if (deliveredParts == int(parts.size())) {
        const QString text = head + QStringLiteral(" consegnato alle ") + last->time.left(5);
        return notes.isEmpty() ? text
                               : text + QStringLiteral(" (") + notes.join(QStringLiteral("; ")) + QLatin1Char(')');
    }
    if (!notSent.empty())
        pieces.push_back({notSent[0], partsWords(notSent)
                                          + (notSent.size() == 1 ? QStringLiteral(" non inviata")
                                                                 : QStringLiteral(" non inviate"))});
    if (!unconfirmed.empty())
        pieces.push_back({unconfirmed[0], partsWords(unconfirmed)
                                              + (unconfirmed.size() == 1 ? QStringLiteral(" forse non inviata")
                                                                         : QStringLiteral(" forse non inviate"))});
    if (!noReference.empty())
        pieces.push_back({noReference[0], partsWords(noReference) + QStringLiteral(" senza rapporto")});
    std::stable_sort(pieces.begin(), pieces.end(), [](const Piece& a, const Piece& b) { return a.first < b.first; });
    QStringList texts;
    for (const Piece& piece : pieces)
        texts << piece.text;
    const QString count = deliveredParts == 0
                              ? QStringLiteral("nessuna delle %1 parti consegnata").arg(parts.size())
                              : QStringLiteral("%1 di %2 parti consegnate").arg(deliveredParts).arg(parts.size());
    return head + QStringLiteral(": ") + count + QStringLiteral(", ") + texts.join(QStringLiteral(", "))
           + QStringLiteral("..");
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

// The record of the message `part` belongs to: a waiting one, a told one
// opened again (a part confirmed late), or a new one.
SentMessage* DeliveryLedger::record(const SentPart& part)
{
    const auto same = [&](const SentMessage& message) { return message.id == part.message; };
    auto found = std::find_if(m_waiting.begin(), m_waiting.end(), same);
    if (found != m_waiting.end())
        return &*found;
    const auto told = std::find_if(m_told.begin(), m_told.end(), same);
    if (told != m_told.end()) {
        m_waiting.push_back(*told);
        m_told.erase(told);
    } else {
        SentMessage message;
        message.id = part.message;
        message.number = part.number;
        message.parts.resize(size_t(std::max(1, part.parts)));
        m_waiting.push_back(message);
    }
    keepAtMost(m_waiting);
    return m_waiting.empty() ? nullptr : &m_waiting.back();
}

void DeliveryLedger::sent(const SentPart& part)
{
    SentMessage* message = record(part);
    if (!message || part.part < 1 || part.part > int(message->parts.size()))
        return;
    PartRecord& record = message->parts[size_t(part.part - 1)];
    record.state = part.reference >= 0 ? PartState::Sent : PartState::NoReference;
    record.reference = part.reference;
}

int DeliveryLedger::restore(SentMessage message)
{
    message.id = newMessage();
    m_waiting.push_back(std::move(message));
    keepAtMost(m_waiting);
    return m_lastMessage;
}

void DeliveryLedger::givenUp(const SentPart& part)
{
    SentMessage* message = record(part);
    if (message && part.part >= 1 && part.part <= int(message->parts.size()))
        message->parts[size_t(part.part - 1)].state = PartState::Unconfirmed;
}

Told DeliveryLedger::stopped(int message, int part)
{
    const auto found = std::find_if(m_waiting.begin(), m_waiting.end(),
                                    [&](const SentMessage& waiting) { return waiting.id == message; });
    if (found == m_waiting.end())
        return {};
    for (size_t i = size_t(std::max(1, part) - 1); i < found->parts.size(); ++i) {
        if (found->parts[i].state == PartState::Waiting)
            found->parts[i].state = PartState::NotSent;
    }
    if (waits(*found) || !anyReported(*found))
        return {Told::Waiting, *found, part, 0};
    const Told told{Told::Complete, *found, part, 0};
    m_told.push_back(*found);
    m_waiting.erase(found);
    keepAtMost(m_told);
    return told;
}

Told DeliveryLedger::take(const Delivery& report)
{
    for (auto message = m_waiting.begin(); message != m_waiting.end(); ++message) {
        if (!SameNumber(message->number, report.recipient))
            continue;
        for (size_t i = 0; i < message->parts.size(); ++i) {
            PartRecord& part = message->parts[i];
            if (part.state != PartState::Sent || part.reference != report.reference)
                continue;
            const int number = int(i) + 1;
            if (OutcomeOf(report.status) == DeliveryOutcome::Pending)
                return {Told::Pending, *message, number, report.status};
            part.state = PartState::Reported;
            part.status = report.status;
            part.time = report.time;
            part.date = report.date;
            if (waits(*message))
                return {Told::Waiting, *message, number, report.status};
            const Told told{Told::Complete, *message, number, report.status};
            m_told.push_back(*message);
            m_waiting.erase(message);
            keepAtMost(m_told);
            return told;
        }
    }
    // A report that came again (a phone that stores it and routes it too,
    // a centre that repeats itself).
    for (const std::deque<SentMessage>* kept : {&m_told, &m_waiting}) {
        for (const SentMessage& message : *kept) {
            if (!SameNumber(message.number, report.recipient))
                continue;
            for (size_t i = 0; i < message.parts.size(); ++i) {
                const PartRecord& part = message.parts[i];
                if (part.state == PartState::Reported && part.reference == report.reference)
                    return {Told::Repeat, message, int(i) + 1, report.status};
            }
        }
    }
    return {};
}

void DeliveryLedger::clear()
{
    m_waiting.clear();
    m_told.clear();
}

QString DeliveryText(const QString& who, const Told& told)
{
    switch (told.kind) {
    case Told::Pending: {
        QString text = QStringLiteral("SMS a ") + who;
        if (told.message.parts.size() > 1)
            text += QStringLiteral(" (parte %1 di %2)").arg(told.part).arg(told.message.parts.size());
        return text + QStringLiteral(" non ancora consegnato (") + StatusWords(told.status) + QLatin1Char(')');
    }
    case Told::Complete:
        return messageText(who, told.message);
    case Told::Unmatched:
    case Told::Repeat:
    case Told::Waiting:
        break;
    }
    return QString();
}

} // namespace at
