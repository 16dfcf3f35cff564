// SPDX-License-Identifier: GPL-3.0-or-later
// Sending: a message built as SMS-SUBMIT parts, each sent with its own
// "+CMGS" dialogue; the reference of the next message in parts; the
// messages sent with a status report asked for, part by part, until their
// reports are told (the delivery ledger); and the count of parts sent,
// which the network bills one by one.
#pragma once

#include "at/delivery.h"
#include "pdu/pdu.h"
#include "phone/sending/sent_record.h"
#include "phone/session.h"

#include <QObject>
#include <QString>

#include <optional>
#include <vector>

namespace phone {

// What the user asked to send.
struct Outgoing {
    QString serviceCentre;
    QString number; // as dialled: DialledNumber of what was typed
    QString text;
    bool flash = false;
    bool statusReport = false;
    bool longSms = false; // in parts when it needs them; else one SMS of 160
    QString name;         // the recipient's name, for the record of what was sent; may be empty
};

// How the send of one message to one recipient ended.
struct SendOutcome {
    enum Kind {
        Sent,    // every part went
        Refused, // the phone or the network refused a part: the next recipient may go
        Stopped, // the phone went silent or the line was lost: nothing more goes
    };
    Kind kind = Sent;
    QString reason; // why a part did not go, in words ("parte 2 di 3: ..." of a message in parts); may be empty
    QString status; // the status a send to one recipient ends with
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
    // The same, and how it ended. `progress`, when given, is the status
    // shown while it goes, in place of the parts' own.
    SendOutcome sendMessage(const Operation& operation, const Outgoing& message, const SubmitParts& parts,
                            const QString& progress = QString());
    // One message to each of `messages` in turn, all its parts to one
    // before the next ("Invio a 2 di 5: Mario Rossi.."): a recipient refused
    // goes on to the next, a silent phone or a lost line stops the send
    // there. `who` names each recipient. The status to show at the end:
    // "Inviato a 5 destinatari..", "Inviato a 4 di 5: non inviato a Mario
    // Rossi (numero del centro servizi sconosciuto)..". Each message is
    // encoded as it goes (its error was checked before).
    // `reached` gets how many had it whole.
    QString sendToEach(const Operation& operation, const std::vector<Outgoing>& messages,
                       const std::vector<QString>& who, int* reached = nullptr);

    // What a delivery report came to on the ledger: the record keeps it.
    void reported(const at::Told& told) { record.told(told); }

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

    // What was sent from here, kept across runs (its file is opened by
    // whoever knows where the user's data goes).
    SentRecord record;
    // The last save of the record failed: the next status says so once.
    bool recordUnsaved = false;

signals:
    void sentChanged(int parts);
    // A message the ledger can tell now that its send has ended.
    void told(const at::Told& told);

private:
    void lateConfirmation(int reference);
    // The record's entry and part (from 1) of the part given up.
    int m_givenUpEntry = 0;
    int m_givenUpPart = 0;
    bool m_oneSaveAtTheEnd = false;

    Session& m_session;
    int m_sent = 0;
};

} // namespace phone
