// SPDX-License-Identifier: GPL-3.0-or-later
// Delivery reports: which part sent with "Ricevuta" a report is about, and
// what panel 2 says of it, and the words of TP-Status.
#include "at/delivery.h"
#include "at/tp_status.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

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

// TS 23.040 9.2.3.15, at the edges of its ranges.
TEST(DeliveryReports, TheWordsOfEachStatus)
{
    using O = at::DeliveryOutcome;
    const struct {
        int status;
        O outcome;
        const char* words;
    } cases[] = {
        {0x00, O::Delivered, "ricevuto dal destinatario, stato 0"},
        {0x01, O::Delivered, "inoltrato al destinatario, consegna non confermata, stato 1"},
        {0x02, O::Delivered, "sostituito dal centro servizi, stato 2"},
        {0x03, O::Failed, "valore riservato, inteso come servizio rifiutato, stato 3"},
        {0x0F, O::Failed, "valore riservato, inteso come servizio rifiutato, stato 15"},
        {0x10, O::Delivered, "esito proprio del centro servizi, stato 16"},
        {0x1F, O::Delivered, "esito proprio del centro servizi, stato 31"},
        {0x20, O::Pending, "rete congestionata, stato 32"},
        {0x21, O::Pending, "destinatario occupato, stato 33"},
        {0x22, O::Pending, "il destinatario non risponde, stato 34"},
        {0x23, O::Pending, "servizio rifiutato, stato 35"},
        {0x24, O::Pending, "qualità del servizio non disponibile, stato 36"},
        {0x25, O::Pending, "errore nel destinatario, stato 37"},
        {0x26, O::Failed, "valore riservato, inteso come servizio rifiutato, stato 38"},
        {0x30, O::Pending, "esito proprio del centro servizi, stato 48"},
        {0x3F, O::Pending, "esito proprio del centro servizi, stato 63"},
        {0x40, O::Failed, "errore di procedura remota, stato 64"},
        {0x41, O::Failed, "destinazione incompatibile, stato 65"},
        {0x42, O::Failed, "connessione rifiutata dal destinatario, stato 66"},
        {0x43, O::Failed, "destinatario non raggiungibile, stato 67"},
        {0x44, O::Failed, "qualità del servizio non disponibile, stato 68"},
        {0x45, O::Failed, "nessuna interconnessione disponibile, stato 69"},
        {0x46, O::Failed, "periodo di validità scaduto, stato 70"},
        {0x47, O::Failed, "cancellato dal mittente, stato 71"},
        {0x48, O::Failed, "cancellato dal centro servizi, stato 72"},
        {0x49, O::Failed, "messaggio sconosciuto al centro servizi, stato 73"},
        {0x4A, O::Failed, "valore riservato, inteso come servizio rifiutato, stato 74"},
        {0x50, O::Failed, "esito proprio del centro servizi, stato 80"},
        {0x5F, O::Failed, "esito proprio del centro servizi, stato 95"},
        {0x60, O::Failed, "rete congestionata, nessun altro tentativo, stato 96"},
        {0x63, O::Failed, "servizio rifiutato, nessun altro tentativo, stato 99"},
        {0x65, O::Failed, "errore nel destinatario, nessun altro tentativo, stato 101"},
        {0x66, O::Failed, "valore riservato, inteso come servizio rifiutato, stato 102"},
        {0x70, O::Failed, "esito proprio del centro servizi, stato 112"},
        {0x7F, O::Failed, "esito proprio del centro servizi, stato 127"},
        {0x80, O::Failed, "valore riservato, inteso come servizio rifiutato, stato 128"},
        {0xFF, O::Failed, "valore riservato, inteso come servizio rifiutato, stato 255"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(at::OutcomeOf(c.status), c.outcome) << c.status;
        EXPECT_EQ(at::StatusWords(c.status).toStdString(), c.words) << c.status;
    }
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
