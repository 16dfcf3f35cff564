// SPDX-License-Identifier: GPL-3.0-or-later
// The SIM's PIN: what the SIM waits for, and the tries left as each kind of
// phone tells them.
#include "at/cpin.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace {

TEST(Cpin, WhatTheSimWaitsFor)
{
    struct Case {
        const char* name;
        QString answer;
        at::SimWaits waits;
    };
    const std::vector<Case> cases = {
        {"ready", "+CPIN: READY", at::SimWaits::Nothing},
        {"PIN", "+CPIN: SIM PIN", at::SimWaits::Pin},
        {"PUK", "+CPIN: SIM PUK", at::SimWaits::Puk},
        {"quoted, lower case", "+cpin: \"sim pin\"", at::SimWaits::Pin},
        {"no blank, trailing blank", "+CPIN:READY ", at::SimWaits::Nothing},
        {"after an unsolicited line", "^RSSI:17\r\n+CPIN: SIM PUK", at::SimWaits::Puk},
        {"the PIN2 is no PIN", "+CPIN: SIM PIN2", at::SimWaits::Other},
        {"a phone lock", "+CPIN: PH-SIM PIN", at::SimWaits::Other},
        {"refused", "ERROR", at::SimWaits::Other},
        {"bare OK", "OK", at::SimWaits::Other},
        {"empty", "", at::SimWaits::Other},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(at::ParseCpin(c.answer), c.waits);
    }
}

TEST(Cpin, TriesLeftAsEachPhoneTellsThem)
{
    struct Case {
        const char* name;
        QString answer;
        std::optional<int> tries;
    };
    const std::vector<Case> cases = {
        {"+CPINR", "+CPINR: SIM PIN,2,3", 2},
        {"+CPINR quoted", "+CPINR: \"SIM PIN\",1,3", 1},
        {"+CPINR of every code", "+CPINR: SIM PUK,10,10\r\n+CPINR: SIM PIN,2,3", 2},
        {"+CPINR of the PUK only", "+CPINR: SIM PUK,10,10", std::nullopt},
        {"+CPINR none left", "+CPINR: SIM PIN,0,3", 0},
        {"Huawei ^CPIN: the fourth field", "^CPIN: SIM PIN,2,10,2,10,3", 2},
        {"Huawei ^CPIN ready, times empty", "^CPIN: READY,,10,3,10,3", 3},
        {"Quectel +QPINC", "+QPINC: \"SC\",1,10", 1},
        {"Quectel +QPINC of the PIN2", "+QPINC: \"P2\",3,10", std::nullopt},
        {"no number", "+CPINR: SIM PIN,,3", std::nullopt},
        {"refused", "ERROR", std::nullopt},
        {"empty", "", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(at::ParsePinTries(c.answer), c.tries);
    }
}

} // namespace
