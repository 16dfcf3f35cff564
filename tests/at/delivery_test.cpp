// SPDX-License-Identifier: GPL-3.0-or-later
// Delivery reports: which part sent with "Ricevuta" a report is about, and
// what panel 2 says of it.
#include "at/delivery.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

at::Delivery reportOf(int reference, const QString& recipient, int status)
{
    return at::Delivery{reference, recipient, status, QStringLiteral("10:01:54")};
}

} // namespace

TEST(DeliveryReports, TheSameNumberWrittenTwoWays)
{
    const struct {
        const char* a;
        const char* b;
        bool same;
    } cases[] = {
        {"+393471234567", "+393471234567", true},
        {"+393471234567", "3471234567", true},
        {"00393471234567", "+393471234567", true},
        {"347 123 4567", "+393471234567", true},
        {"+393471234567", "+393471234568", false},
        {"+393471234567", "1234567", false}, // more than a country code apart
        {"+39123456", "123456", false},      // too short to tell
        {"", "", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(at::SameNumber(c.a, c.b), c.same) << c.a << " / " << c.b;
}

TEST(DeliveryReports, AReportTakesItsPartOffTheLedgerWhenFinal)
{
    at::DeliveryLedger ledger;
    ledger.sent({12, "3471234567", {}, 1, 1});
    ledger.sent({12, "+393337654321", {}, 1, 1});
    ledger.sent({13, "3471234567", {}, 1, 1});
    // Another reference, or the right one for another recipient: no match.
    EXPECT_FALSE(ledger.match(reportOf(14, "+393471234567", 0)));
    EXPECT_FALSE(ledger.match(reportOf(12, "+393471111111", 0)));
    // Still trying: matched and kept for the final word.
    const std::optional<at::SentPart> pending = ledger.match(reportOf(12, "+393337654321", 0x30));
    ASSERT_TRUE(pending);
    EXPECT_EQ(pending->number, "+393337654321");
    EXPECT_EQ(ledger.size(), 3u);
    ASSERT_TRUE(ledger.match(reportOf(12, "+393337654321", 0x46)));
    EXPECT_EQ(ledger.size(), 2u);
    ASSERT_TRUE(ledger.match(reportOf(12, "+393471234567", 0)));
    EXPECT_FALSE(ledger.match(reportOf(12, "+393471234567", 0))); // told once
    EXPECT_EQ(ledger.size(), 1u);
}

TEST(DeliveryReports, TheLedgerKeepsTheNewest)
{
    at::DeliveryLedger ledger;
    for (size_t i = 0; i < at::DeliveryLedger::kKept + 5; ++i)
        ledger.sent({int(i % 256), "3471234567", {}, 1, 1});
    EXPECT_EQ(ledger.size(), at::DeliveryLedger::kKept);
}

TEST(DeliveryReports, WhatPanel2Says)
{
    const at::SentPart one{12, "3471234567", {}, 1, 1};
    const at::SentPart second{12, "3471234567", {}, 2, 3};
    EXPECT_EQ(at::DeliveryText("Mario", one, reportOf(12, "", 0)), "SMS a Mario consegnato alle 10:01");
    EXPECT_EQ(at::DeliveryText("Mario", one, reportOf(12, "", 2)), "SMS a Mario consegnato alle 10:01");
    EXPECT_EQ(at::DeliveryText("Mario", one, reportOf(12, "", 0x46)), "SMS a Mario non consegnato (stato 70)");
    EXPECT_EQ(at::DeliveryText("3471234567", second, reportOf(12, "", 0x30)),
              "SMS a 3471234567 (parte 2 di 3) non ancora consegnato (stato 48)");
}
