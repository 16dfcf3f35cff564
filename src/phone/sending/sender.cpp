// SPDX-License-Identifier: GPL-3.0-or-later
#include "phone/sending/sender.h"

#include "phone/sending/compose.h"

#include <QDateTime>
#include <QStringList>

#include <algorithm>

namespace phone {

Sender::Sender(Session& session, QObject* parent) : QObject(parent), m_session(session)
{
    connect(&session.link(), &PhoneLink::lateConfirmation, this, &Sender::lateConfirmation);
}

SubmitParts Sender::encode(const Outgoing& message) const
{
    if (message.longSms)
        return EncodeSubmitParts(message.serviceCentre, message.number, message.text, message.flash,
                                 message.statusReport, longReference);
    const SubmitPdu one =
        EncodeSubmit(message.serviceCentre, message.number, message.text, message.flash, message.statusReport);
    SubmitParts parts;
    parts.error = one.error;
    parts.parts = {one};
    return parts;
}

void Sender::setSent(int parts)
{
    m_sent = parts;
    emit sentChanged(parts);
}

QString Sender::send(const Operation& operation, const Outgoing& message, const SubmitParts& encoded)
{
    return sendMessage(operation, message, encoded).status;
}

SendOutcome Sender::sendMessage(const Operation& operation, const Outgoing& message, const SubmitParts& encoded,
                                const QString& progress)
{
    const PhoneLink& link = m_session.link();
    const int parts = int(encoded.parts.size());
    if (parts > 1)
        ++longReference;
    // The parts of this send are told as one message when their reports come.
    const int thisSend = message.statusReport ? ledger.newMessage() : 0;
    // Kept from the first part on, each part as it goes.
    SentEntry kept;
    const QDateTime now = QDateTime::currentDateTime();
    kept.sent = now.toOffsetFromUtc(now.offsetFromUtc());
    kept.number = message.number;
    kept.name = message.name;
    kept.text = message.text;
    kept.flash = message.flash;
    kept.statusReport = message.statusReport;
    kept.parts.resize(size_t(std::max(1, parts)));
    kept.ledgerId = thisSend;
    const int entryId = record.add(kept).id;
    const auto keep = [&](int part, SentPartRecord::State state, int reference, const QString& reason) {
        if (SentEntry* entry = record.byId(entryId); entry && part >= 1 && size_t(part) <= entry->parts.size()) {
            SentPartRecord& p = entry->parts[size_t(part - 1)];
            p.state = state;
            p.reference = reference;
            p.reason = reason;
        }
    };
    // Why the send stopped at `part`, as a send to several names it.
    const auto why = [&](int part, QString reason) {
        if (reason.isEmpty() && operation.lineLost())
            reason = QStringLiteral("collegamento perso");
        if (parts == 1)
            return reason;
        const QString which = QStringLiteral("parte %1 di %2").arg(part).arg(parts);
        return reason.isEmpty() ? which : which + QStringLiteral(": ") + reason;
    };
    const auto saved = [&](SendOutcome outcome) {
        // A send to several saves once, at its end.
        if (!m_oneSaveAtTheEnd)
            recordUnsaved = !record.save();
        return outcome;
    };
    // The send ends at `part`: it and the parts after it did not go out.
    const auto stop = [&](int part) {
        if (!message.statusReport)
            return;
        const at::Told told = ledger.stopped(thisSend, part);
        if (told.kind == at::Told::Complete)
            emit this->told(told);
    };
    // Each part has its own dialogue; a part that fails ends the send, and
    // the parts before it, which the network has, are not sent again.
    for (int part = 1; part <= parts; ++part) {
        const SubmitPdu& submit = encoded.parts[size_t(part - 1)];
        m_session.feedback().status(!progress.isEmpty() ? progress
                                    : parts == 1
                                        ? QStringLiteral("Invio SMS in corso..")
                                        : QStringLiteral("Invio SMS in corso: parte %1 di %2..").arg(part).arg(parts));
        // The length ends with its own CR: the line goes out as AT+CMGS=n CR CR.
        const QString prompt =
            m_session.transaction(QStringLiteral("+CMGS=") + QString::number(submit.cmgsLength) + QLatin1Char('\r'));
        if (prompt != QLatin1String(">")) {
            stop(part);
            const QString reason = FailureReason(prompt, link.lastError(), link.whyGivenUp());
            keep(part, SentPartRecord::State::NotSent, -1, reason);
            const bool silent = phonelink::gaveUp(prompt) || operation.lineLost();
            return saved({silent ? SendOutcome::Stopped : SendOutcome::Refused, why(part, reason),
                          parts == 1 ? SendFailure(QStringLiteral("Errore invio sms"), prompt, link.lastError(),
                                                   link.whyGivenUp())
                                     : PartFailure(part, parts, reason)});
        }
        const QString answer = m_session.transaction(submit.pdu + QChar(0x1A));
        // The network may still confirm a part given up; its report is
        // then told as any other.
        if (phonelink::gaveUp(answer)) {
            givenUp = message.statusReport ? std::optional<at::SentPart>(
                          at::SentPart{-1, message.number, QDateTime::currentDateTime(), part, parts, thisSend})
                                           : std::nullopt;
            if (givenUp)
                ledger.givenUp(*givenUp);
            m_givenUpEntry = entryId;
            m_givenUpPart = part;
        }
        // "error" is the transaction giving up: a failure too.
        if (answer.compare(QLatin1String("ERROR"), Qt::CaseInsensitive) == 0) {
            stop(part);
            const QString reason = FailureReason(answer, link.lastError(), link.whyGivenUp());
            const bool silent = phonelink::gaveUp(answer) || operation.lineLost();
            keep(part,
                 phonelink::gaveUp(answer) ? SentPartRecord::State::Unconfirmed
                 : silent                  ? SentPartRecord::State::NotSent
                                           : SentPartRecord::State::Refused,
                 -1, reason);
            return saved({silent ? SendOutcome::Stopped : SendOutcome::Refused, why(part, reason),
                          parts == 1 ? SendFailure(QStringLiteral("Invio sms fallito"), answer, link.lastError(),
                                                   link.whyGivenUp())
                                     : PartFailure(part, parts, reason)});
        }
        // The network bills each part.
        setSent(m_sent + 1);
        // Its report will name it by the reference the network gave it.
        const std::optional<int> reference = CmgsReference(answer);
        keep(part, SentPartRecord::State::Sent, reference.value_or(-1), QString());
        if (message.statusReport)
            ledger.sent({reference.value_or(-1), message.number, QDateTime::currentDateTime(), part, parts, thisSend});
    }
    return saved(
        {SendOutcome::Sent, QString(),
         parts == 1 ? QStringLiteral("SMS inviato..") : QStringLiteral("SMS inviato in %1 parti..").arg(parts)});
}

QString Sender::sendToEach(const Operation& operation, const std::vector<Outgoing>& messages,
                           const std::vector<QString>& who, int* reached)
{
    const int total = int(messages.size());
    int sent = 0;
    QStringList troubles;
    m_oneSaveAtTheEnd = true;
    for (int i = 0; i < total; ++i) {
        const QString name = size_t(i) < who.size() ? who[size_t(i)] : messages[size_t(i)].number;
        const QString progress = QStringLiteral("Invio a %1 di %2: %3..").arg(i + 1).arg(total).arg(name);
        const SubmitParts parts = encode(messages[size_t(i)]);
        SendOutcome outcome;
        if (parts.error != SubmitPdu::Error::None || parts.parts.isEmpty()) {
            outcome.kind = SendOutcome::Refused;
            outcome.reason = QStringLiteral("destinatario non valido");
        } else {
            outcome = sendMessage(operation, messages[size_t(i)], parts, progress);
        }
        const QString because =
            outcome.reason.isEmpty() ? QString() : QStringLiteral(" (") + outcome.reason + QLatin1Char(')');
        if (outcome.kind == SendOutcome::Sent) {
            ++sent;
        } else if (outcome.kind == SendOutcome::Refused) {
            troubles << QStringLiteral("non inviato a ") + name + because;
        } else {
            troubles << QStringLiteral("invio interrotto a ") + name + because;
            const int left = total - i - 1;
            if (left == 1)
                troubles << QStringLiteral("non inviato all'ultimo");
            else if (left > 1)
                troubles << QStringLiteral("non inviato agli altri %1").arg(left);
            break;
        }
    }
    m_oneSaveAtTheEnd = false;
    recordUnsaved = !record.save();
    if (reached)
        *reached = sent;
    if (troubles.isEmpty())
        return QStringLiteral("Inviato a %1 destinatari..").arg(total);
    return QStringLiteral("Inviato a %1 di %2: ").arg(sent).arg(total) + troubles.join(QStringLiteral(", "))
           + QStringLiteral("..");
}

void Sender::lateConfirmation(int reference)
{
    if (givenUp) {
        givenUp->reference = reference;
        ledger.sent(*givenUp);
        givenUp.reset();
    }
    if (SentEntry* entry = record.byId(m_givenUpEntry);
        entry && m_givenUpPart >= 1 && size_t(m_givenUpPart) <= entry->parts.size()) {
        SentPartRecord& part = entry->parts[size_t(m_givenUpPart - 1)];
        part.state = SentPartRecord::State::Sent;
        part.reference = reference;
        part.reason.clear();
        recordUnsaved = !record.save();
    }
    m_givenUpEntry = 0;
    m_session.feedback().status(QStringLiteral("Conferma arrivata in ritardo: SMS inviato, rif. %1..").arg(reference));
    setSent(m_sent + 1);
}

} // namespace phone
