// SPDX-License-Identifier: GPL-3.0-or-later
// The SIM's PIN (GSM 07.07 8.3): what +CPIN? says the SIM waits for, and
// the tries left as phones tell them (+CPINR of 3GPP TS 27.007 8.65,
// Huawei's ^CPIN, Quectel's +QPINC).
#pragma once

#include <QString>

#include <optional>

namespace at {

constexpr int kCmeNoSim = 10;    // +CME ERROR: 10, SIM not inserted
constexpr int kCmeWrongPin = 16; // +CME ERROR: 16, incorrect password

enum class SimWaits {
    Nothing, // +CPIN: READY
    Pin,     // +CPIN: SIM PIN
    Puk,     // +CPIN: SIM PUK
    Other,   // another code (PH-SIM PIN, SIM PIN2...) or no +CPIN line
};

// What a +CPIN? answer says ("+CPIN: SIM PIN"; blanks, quotes and letter
// case ignored).
SimWaits ParseCpin(const QString& answer);

// The PIN tries left in an answer that tells them: "+CPINR: SIM PIN,2,3",
// "^CPIN: SIM PIN,2,10,2,10,3" (the PIN's tries are its fourth field),
// "+QPINC: \"SC\",2,10"; nullopt for any other answer.
std::optional<int> ParsePinTries(const QString& answer);

} // namespace at
