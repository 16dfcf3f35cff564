// SPDX-License-Identifier: GPL-3.0-or-later
#include "phone/sending/sender.h"

#include "phone/sending/compose.h"

#include <QDateTime>

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
    Q_UNUSED(operation);
    const PhoneLink& link = m_session.link();
    const int parts = int(encoded.parts.size());
    if (parts > 1)
        ++longReference;
    // The parts of this send are told as one message when their reports come.
    const int thisSend = message.statusReport ? ledger.newMessage() : 0;
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
        m_session.feedback().status(parts == 1
                                        ? QStringLiteral("Invio SMS in corso..")
                                        : QStringLiteral("Invio SMS in corso: parte %1 di %2..").arg(part).arg(parts));
        // The length ends with its own CR: the line goes out as AT+CMGS=n CR CR.
        const QString prompt =
            m_session.transaction(QStringLiteral("+CMGS=") + QString::number(submit.cmgsLength) + QLatin1Char('\r'));
        if (prompt != QLatin1String(">")) {
            stop(part);
            return parts == 1
                       ? SendFailure(QStringLiteral("Errore invio sms"), prompt, link.lastError(), link.whyGivenUp())
                       : PartFailure(part, parts, FailureReason(prompt, link.lastError(), link.whyGivenUp()));
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
        }
        // "error" is the transaction giving up: a failure too.
        if (answer.compare(QLatin1String("ERROR"), Qt::CaseInsensitive) == 0) {
            stop(part);
            return parts == 1
                       ? SendFailure(QStringLiteral("Invio sms fallito"), answer, link.lastError(), link.whyGivenUp())
                       : PartFailure(part, parts, FailureReason(answer, link.lastError(), link.whyGivenUp()));
        }
        // The network bills each part.
        setSent(m_sent + 1);
        // Its report will name it by the reference the network gave it.
        if (message.statusReport) {
            const std::optional<int> reference = CmgsReference(answer);
            ledger.sent({reference.value_or(-1), message.number, QDateTime::currentDateTime(), part, parts, thisSend});
        }
    }
    return parts == 1 ? QStringLiteral("SMS inviato..") : QStringLiteral("SMS inviato in %1 parti..").arg(parts);
}

void Sender::lateConfirmation(int reference)
{
    if (givenUp) {
        givenUp->reference = reference;
        ledger.sent(*givenUp);
        givenUp.reset();
    }
    m_session.feedback().status(QStringLiteral("Conferma arrivata in ritardo: SMS inviato, rif. %1..").arg(reference));
    setSent(m_sent + 1);
}

} // namespace phone
