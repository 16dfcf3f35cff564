// SPDX-License-Identifier: GPL-3.0-or-later
// Sending: a message built as SMS-SUBMIT parts, each sent with its own
// "+CMGS" dialogue; the reference of the next message in parts; the
// messages sent with a status report asked for, part by part, until their
// reports are told (the delivery ledger); and the count of parts sent,
// which the network bills one by one.
#pragma once

#include "at/delivery.h"
#include "pdu/pdu.h"
#include "phone/session.h"

#include <QObject>
#include <QString>

#include <optional>

namespace phone {

// What the user asked to send.
struct Outgoing {
    QString serviceCentre;
    QString number; // as dialled: DialledNumber of what was typed
    QString text;
    bool flash = false;
    bool statusReport = false;
    bool longSms = false; // in parts when it needs them; else one SMS of 160
};

class Sender : public QObject {
    Q_OBJECT
public:
    explicit Sender(Session& session, QObject* parent = nullptr);

    // The parts of `message`, or why it cannot be built.
    SubmitParts encode(const Outgoing& message) const;

    // Sends the parts, one "+CMGS" dialogue each, within `operation`; a part
    // that fails ends the send, and the parts before it, which the network
    // has, are not sent again. The status to show at the end.
    QString send(const Operation& operation, const Outgoing& message, const SubmitParts& parts);

    // The parts sent in this run (Label8).
    int sent() const { return m_sent; }
    void setSent(int parts);

    // The reference of the next message in parts, one a message, so that
    // the recipient's phone joins the parts of each apart.
    quint8 longReference = 0;

    // The messages sent with a status report asked for, part by part, until
    // each is told.
    at::DeliveryLedger ledger;
    // The part whose send was given up: a late confirmation gives its
    // reference and puts it on the ledger.
    std::optional<at::SentPart> givenUp;

signals:
    void sentChanged(int parts);
    // A message the ledger can tell now that its send has ended.
    void told(const at::Told& told);

private:
    void lateConfirmation(int reference);

    Session& m_session;
    int m_sent = 0;
};

} // namespace phone
