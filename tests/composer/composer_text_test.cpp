// SPDX-License-Identifier: GPL-3.0-or-later
// The recipient taken from the field, the packing of "ZIP SMS", and the
// delivery reports matched to the parts sent.
#include "composer/composer.h"
#include "composer/reports.h"
#include "phonebook/qstring_printer.h"

#include <gtest/gtest.h>

namespace {

TEST(RecipientFromField, TheNumberBeforeTheBar)
{
    const std::pair<const char16_t*, const char16_t*> cases[] = {
        {u"12345", u"12345"},
        {u"  +3912345678  ", u"+3912345678"},
        {u"+390123456789       ³ Ufficio       ", u"+390123456789"}, // a picked row
        {u"123   ³ Nome ³ x", u"123"},                               // the first bar counts
        {u"                     ³               ", u""},             // a picked empty slot
        {u"³ Nome", u""},
        {u"   ", u""},
        {u"", u""},
        {u"12 34", u"12 34"}, // inner spaces are the encoder's business
    };
    for (const auto& [field, recipient] : cases)
        EXPECT_EQ(RecipientFromField(QString::fromUtf16(field)), QString::fromUtf16(recipient));
}

TEST(ZipSms, WordsAlternateInCaseAndSpacesGo)
{
    struct Case {
        const char16_t* text;
        const char16_t* packed;
        const char* what;
    };
    const Case cases[] = {
        {u"ciao come stai", u"CIAOcomeSTAI", "three words"},
        {u"ciao, come stai?", u"CIAO,comeSTAI?", "punctuation belongs to its word"},
        {u"ciao  come", u"CIAOCOME", "a second space is an empty word"},
        {u" ciao come", u"ciaoCOME", "a leading space is an empty first word"},
        {u"ciao ", u"CIAO", "a trailing space"},
        {u"", u"", "nothing"},
        {u"senzaspazi", u"SENZASPAZI", "one word"},
        {u"CIAOcomeSTAI", u"CIAOCOMESTAI", "packed twice: one word"},
        {u"ciao\r\ncome stai bene", u"CIAO\r\nCOMEstaiBENE", "a line break is inside a word"},
        {u"a\tb c", u"A\tBc", "a tab is inside a word"},
        {u"è già così però", u"ÈgiàCOSÌperò", "accented letters of Windows-1252"},
        {u"œuvre šalša ÿ", u"ŒUVREšalšaŸ", "letters of 0x80-0x9F"},
        {u"Straße mit µ", u"STRAßEmitµ", "letters without a partner keep their case"},
        {u"UNO DUE TRE", u"UNOdueTRE", "upper case goes lower too"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ZipSms(QString::fromUtf16(c.text)), QString::fromUtf16(c.packed)) << c.what;
}

TEST(ZipSms, YieldsOncePerCharacterAndTheAddedSpace)
{
    int yields = 0;
    EXPECT_EQ(ZipSms(QStringLiteral("ab cd"), [&] { ++yields; }), QStringLiteral("ABcd"));
    EXPECT_EQ(yields, 6);
}

} // namespace

// ---- delivery reports: which sent part a report is about ----

namespace {

StatusReport reportOf(int reference, const QString& recipient, int status, const QString& time = "10:01:54")
{
    StatusReport report;
    report.reference = reference;
    report.recipient = recipient;
    report.status = status;
    report.time = time;
    return report;
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
        EXPECT_EQ(composer::SameNumber(c.a, c.b), c.same) << c.a << " / " << c.b;
}

TEST(DeliveryReports, AReportTakesItsPartOffTheLedgerWhenFinal)
{
    composer::DeliveryLedger ledger;
    ledger.sent({12, "3471234567", {}, 1, 1});
    ledger.sent({12, "+393337654321", {}, 1, 1});
    ledger.sent({13, "3471234567", {}, 1, 1});
    // Another reference, or the right one for another recipient: no match.
    EXPECT_FALSE(ledger.match(reportOf(14, "+393471234567", 0)));
    EXPECT_FALSE(ledger.match(reportOf(12, "+393471111111", 0)));
    // Still trying: matched and kept for the final word.
    const std::optional<composer::SentPart> pending = ledger.match(reportOf(12, "+393337654321", 0x30));
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
    composer::DeliveryLedger ledger;
    for (size_t i = 0; i < composer::DeliveryLedger::kKept + 5; ++i)
        ledger.sent({int(i % 256), "3471234567", {}, 1, 1});
    EXPECT_EQ(ledger.size(), composer::DeliveryLedger::kKept);
}

TEST(DeliveryReports, WhatPanel2Says)
{
    const composer::SentPart one{12, "3471234567", {}, 1, 1};
    const composer::SentPart second{12, "3471234567", {}, 2, 3};
    EXPECT_EQ(composer::DeliveryText("Mario", one, reportOf(12, "", 0)), "SMS a Mario consegnato alle 10:01");
    EXPECT_EQ(composer::DeliveryText("Mario", one, reportOf(12, "", 2)), "SMS a Mario consegnato alle 10:01");
    EXPECT_EQ(composer::DeliveryText("Mario", one, reportOf(12, "", 0x46)), "SMS a Mario non consegnato (stato 70)");
    EXPECT_EQ(composer::DeliveryText("3471234567", second, reportOf(12, "", 0x30)),
              "SMS a 3471234567 (parte 2 di 3) non ancora consegnato (stato 48)");
}

TEST(DeliveryReports, TheReferenceInTheConfirmation)
{
    EXPECT_EQ(CmgsReference("+CMGS: 12"), 12);
    EXPECT_EQ(CmgsReference("+CMGS:0"), 0);
    EXPECT_EQ(CmgsReference("+CMGS: 255,\"24121015300000\""), 255);
    EXPECT_EQ(CmgsReference("+CMGS: 256"), std::nullopt);
    EXPECT_EQ(CmgsReference("OK"), std::nullopt);
    EXPECT_EQ(CmgsReference("+CMGS: x"), std::nullopt);
}
