// SPDX-License-Identifier: GPL-3.0-or-later
// Messages and status reports that arrive while the program is connected.
// The session hands over the unsolicited lines asked for: a "+CMTI" (a
// message stored), a "+CDSI" (a report stored) or a "+CDS" (a report with
// its PDU) is noted, once a slot, and handled when the phone is free: the
// slot is read, its row of the message list rewritten as the list read
// writes it, and the status tells who wrote, or whether a message sent with
// "Ricevuta" was delivered; the desktop is told too. A phone that restarts
// is set up again.
#pragma once

#include "at/delivery.h"
#include "phone/messages/message_rows.h"
#include "phone/session.h"

#include <QObject>
#include <QString>

#include <deque>
#include <functional>

namespace phone {

class Messages;
class Phonebook;
class Sender;

class Arrivals : public QObject {
    Q_OBJECT
public:
    // `columns` gives the columns the message list draws its rows with now.
    Arrivals(Session& session, Messages& messages, const Phonebook& phonebook, Sender& sender,
             std::function<store::Columns()> columns, QObject* parent = nullptr);

    // Asks the phone to tell of each message it stores (+CMTI) and of each
    // status report (+CDS, +CDSI), within what its +CNMI=? offers; a phone
    // that refuses works as before. From here on, until forget() or the
    // end of the line, the notices are acted on.
    void activate();
    // A new line: nothing noted on the last one is handled on this one.
    void forget();
    // Stops acting on notices (the line is closed).
    void stop() { active = false; }
    // Whether the notices are acted on.
    bool active = false;

    // Handles the notices noted, from the window's queue, once the phone is
    // free (no long operation, no transaction): the end of either asks again.
    void post();

private:
    // A notice noted and not yet handled.
    struct Notice {
        enum Kind { Message, StoredReport, Report, Restart } kind = Message;
        QString store; // of a stored message or report
        int slot = 0;
        QString pdu; // of a routed report
        bool operator==(const Notice& other) const
        {
            return kind == other.kind && store == other.store && slot == other.slot && pdu == other.pdu;
        }
    };

    void noted(const QString& line);
    void handleWaiting();
    bool handle(const Notice& notice, const Operation& operation);
    void report(const QString& pak, bool stored);
    void tell(const at::Told& told, const QString& byNetwork = QString());
    QString nameOrNumber(const QString& number) const;

    Session& m_session;
    Messages& m_messages;
    const Phonebook& m_phonebook;
    Sender& m_sender;
    std::function<store::Columns()> m_columns;
    std::deque<Notice> m_waiting;
    int m_dropped = 0; // beyond what is kept, told when handled
    bool m_posted = false;
};

} // namespace phone
