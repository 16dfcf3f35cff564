// SPDX-License-Identifier: GPL-3.0-or-later
// Delivery reports: each message sent with "Ricevuta" is kept, part by
// part, with the reference the network gave each part ("+CMGS: <mr>"),
// while the program runs, so that the status reports that arrive are told
// as the delivery of that message: once, when the last of its parts has
// its final report. The composer keeps the parts, the arrivals match the
// reports. Pure: no widgets, no phone.
#pragma once

#include <QDateTime>
#include <QString>

#include <deque>
#include <vector>

namespace at {

// What a status report says of the message it is about (TP-MR, TP-RA,
// TP-ST, and the time and date of TP-DT).
struct Delivery {
    int reference = 0;
    QString recipient;
    int status = 0;
    QString time; // "hh:mm:ss" or "hh:mm"
    QString date; // "dd/mm/yy", or empty
};

// One part sent with a status report asked for.
struct SentPart {
    int reference = 0; // TP-MR, 0..255; -1: the phone gave none
    QString number;    // as it was dialled
    QDateTime sent;
    int part = 1;
    int parts = 1;
    int message = 0; // the send it belongs to, from DeliveryLedger::newMessage
};

// Whether a report's recipient and a dialled number are the same number:
// the same digits, or one the other with its country code in front
// ("+393471234567" and "3471234567"; "0039..." as "+39..."), seven digits
// at least.
bool SameNumber(const QString& a, const QString& b);

// Where a part of a message stands.
enum class PartState {
    Waiting,     // not sent yet: the send goes on
    Sent,        // sent, its final report yet to come
    Reported,    // its final report came
    Unconfirmed, // given up while sent: a late confirmation may still give its reference
    NoReference, // sent, but the phone gave no reference to match its report by
    NotSent,     // the send stopped before it
};

struct PartRecord {
    PartState state = PartState::Waiting;
    int reference = -1;
    int status = 0; // TP-ST of its final report
    QString time;   // and its TP-DT
    QString date;
};

// A message as one send sent it: its parts in order.
struct SentMessage {
    int id = 0;
    QString number;
    std::vector<PartRecord> parts;
};

// What a report comes to.
struct Told {
    enum Kind {
        Unmatched, // about no message sent from here in this run
        Repeat,    // about a part whose final report was taken already: ignored
        Pending,   // the centre still tries: the part waits for the final word
        Waiting,   // taken; the message waits for its other parts' reports
        Complete,  // the message's last report: it is told now
    };
    Kind kind = Unmatched;
    SentMessage message;
    int part = 0;   // the part the report is about, from 1
    int status = 0; // the report's TP-ST
};

class DeliveryLedger {
public:
    // The messages kept at most, waiting and told each; the oldest goes
    // first. A thousand messages sent with a report asked for and none
    // answered is past any real use.
    static constexpr size_t kKept = 1000;

    // A new identity for the parts of one send.
    int newMessage() { return ++m_lastMessage; }
    // A message sent in an earlier run, whose reports may still come: it
    // waits again under a new identity, which is returned. Its parts keep
    // their states; one that still waits for its report stands as Sent.
    int restore(SentMessage message);
    // A part went out with its reference (reference -1: the phone gave
    // none). A part given up and confirmed late comes here too.
    void sent(const SentPart& part);
    // A part whose send was given up: the network may have it.
    void givenUp(const SentPart& part);
    // The send stopped at `part`: that part, unless given up, and the ones
    // after it did not go out. Reports are taken only after the send has
    // ended (the window handles them between long operations); should one
    // have come before, the message may be complete now, and is returned
    // to be told.
    Told stopped(int message, int part);
    // The part `report` is about: the oldest sent with its reference and
    // recipient. A final report takes the part; a message is Complete when
    // none of its parts waits any more.
    Told take(const Delivery& report);
    // The messages waiting for a report.
    size_t size() const { return m_waiting.size(); }
    void clear();

private:
    SentMessage* record(const SentPart& part);

    std::deque<SentMessage> m_waiting;
    std::deque<SentMessage> m_told; // their reports, should they come again, are repeats
    int m_lastMessage = 0;
};

// What panel 2 says of what a report came to, `who` being the recipient's
// name or number; empty when there is nothing to say (Unmatched, Repeat,
// Waiting). A message in one part: "SMS a Mario consegnato alle 15:30", "SMS
// a Mario non consegnato (periodo di validità scaduto, stato 70)"; in
// parts: "SMS a Mario consegnato alle 15:30" when all were delivered (the
// last delivery's time), or "SMS a Mario: 2 di 3 parti consegnate, parte 2
// non consegnata (...).."; still trying: "SMS a Mario (parte 2 di 3) non
// ancora consegnato (destinatario occupato, stato 33)".
QString DeliveryText(const QString& who, const Told& told);

} // namespace at
