// SPDX-License-Identifier: GPL-3.0-or-later
// The network's answer to a USSD request, and its requests: "+CUSD:
// <m>[,<str>[,<dcs>]]" (GSM 07.07 7.15), as a phone sends it unasked or,
// on some phones, before the OK of AT+CUSD=1.
#pragma once

#include <QString>

#include <optional>

namespace at {

// <m>, what the network says of the session.
enum class UssdStatus {
    Done = 0,         // no further action needed
    Waiting = 1,      // the network waits for a reply
    NetworkEnded = 2, // the network ended the session
    OtherClient = 3,  // another local client answered
    NotSupported = 4, // the operation (or the form of the code) is not supported
    TimedOut = 5,     // the network timed out
};

struct Cusd {
    int m = 0;
    std::optional<QString> str; // between its quotes, line ends as "\n"
    std::optional<int> dcs;
};

// A "+CUSD:" line (blanks and letter case of the name ignored): its <m>,
// the string with or without quotes (a quote inside it, which phones do
// not escape, stays), a string cut short before its closing quote as far
// as it came, and <dcs>. None for a line that is no "+CUSD:" or has no
// number for <m>.
std::optional<Cusd> ParseCusd(const QString& line);

// <m> in words: "Completato", "La rete attende una risposta", "Sessione
// terminata dalla rete", ...; "stato <m>" for a value GSM 07.07 does not name.
QString UssdStatusText(int m);

} // namespace at
