// SPDX-License-Identifier: GPL-3.0-or-later
// Delivery reports: each part sent with "Ricevuta" is kept with the
// reference the network gave it ("+CMGS: <mr>"), its recipient and its
// time, while the program runs, so that a status report that arrives is
// told as the delivery of that message. The composer keeps the parts, the
// arrivals match the reports. Pure: no widgets, no phone.
#pragma once

#include <QDateTime>
#include <QString>

#include <deque>
#include <optional>

namespace at {

// What a status report says of the message it is about (TP-MR, TP-RA,
// TP-ST, and the hh:mm of TP-DT).
struct Delivery {
    int reference = 0;
    QString recipient;
    int status = 0;
    QString time; // "hh:mm:ss" or "hh:mm"
};

// One part sent with a status report asked for.
struct SentPart {
    int reference = 0; // TP-MR, 0..255
    QString number;    // as it was dialled
    QDateTime sent;
    int part = 1;
    int parts = 1;
};

// Whether a report's recipient and a dialled number are the same number:
// the same digits, or one the other with its country code in front
// ("+393471234567" and "3471234567"; "0039..." as "+39..."), seven digits
// at least.
bool SameNumber(const QString& a, const QString& b);

// Whether a report's status is the last word on its message: delivered
// (0..31) or failed (64 and over); 32..63 mean the centre is still trying.
bool FinalStatus(int status);

class DeliveryLedger {
public:
    // The parts kept at most; the oldest goes first. A thousand parts sent
    // with a report asked for and none answered is past any real use.
    static constexpr size_t kKept = 1000;

    void sent(const SentPart& part);
    // The part `report` is about: the oldest kept with its reference and
    // recipient. A final report takes the part off the ledger; one that
    // says the centre is still trying leaves it for the next.
    std::optional<SentPart> match(const Delivery& report);
    size_t size() const { return m_parts.size(); }
    void clear() { m_parts.clear(); }

private:
    std::deque<SentPart> m_parts;
};

// What panel 2 says of a matched report, `who` being the recipient's name
// or number: "SMS a Mario consegnato alle 10:01", "SMS a Mario non
// consegnato (stato 70)", "SMS a Mario non ancora consegnato (stato 48)",
// with " (parte 2 di 3)" after the name for a part of a long message.
QString DeliveryText(const QString& who, const SentPart& part, const Delivery& report);

} // namespace at
