// SPDX-License-Identifier: GPL-3.0-or-later
// A conversation with one person: the messages of both stores from or to
// that number, and those sent from here to it, in time order, each whole
// when it came in parts. Numbers are compared as the delivery ledger does.
// QtCore only.
#pragma once

#include "phone/messages/messages.h"
#include "phone/sending/sent_record.h"

#include <QDateTime>
#include <QString>

#include <deque>
#include <vector>

namespace phone {

struct ConversationItem {
    QDateTime when; // invalid for a message stored without a time (one to send)
    bool outgoing = false;
    QString head; // "15/03/24 18:42:07  ← ricevuto, SIM 5", "15/03/24 18:45:00  → consegnato alle 18:45"
    QString text; // the whole message
};

// Whether `a` and `b` are one party: numbers as at::SameNumber has them
// (the same digits, "00" as "+", a national number and the same with its
// country code); an address without digits (an alphanumeric sender) by
// its text, letter case ignored.
bool SameParty(const QString& a, const QString& b);

// The party of row `position`: the sender of a message received, the
// recipient of one stored to send; empty for a row without a message and
// for a status report.
QString PartyOf(const Messages& messages, int position);

// Every message with `party`: those the list read found in both stores,
// and those in `sent`, oldest first (a stored one without a time first).
std::vector<ConversationItem> ConversationWith(const QString& party, const Messages& messages,
                                               const std::deque<SentEntry>& sent);

} // namespace phone
