// SPDX-License-Identifier: GPL-3.0-or-later
// Delivery reports: which message sent with "Ricevuta" a report is about,
// when its parts are told as one, and the words of TP-Status.
#include "at/delivery.h"
#include "pdu/tp_status.h"

#include <gtest/gtest.h>

#include <QString>

#include <string>
#include <vector>

namespace {

const QString Dialled = QStringLiteral("3471234567");
const QString ByNetwork = QStringLiteral("+393471234567");

at::Delivery reportOf(int reference, int status, const char* time = "10:01:54", const QString& to = ByNetwork)
{
    return at::Delivery{reference, to, status, QString::fromLatin1(time), QStringLiteral("10/12/24")};
}

at::SentPart partOf(int message, int part, int parts, int reference)
{
    return at::SentPart{reference, Dialled, {}, part, parts, message};
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
    using O = DeliveryOutcome;
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
        EXPECT_EQ(OutcomeOf(c.status), c.outcome) << c.status;
        EXPECT_EQ(StatusWords(c.status).toStdString(), c.words) << c.status;
    }
}

// What one send's reports come to, in the order they arrive: what panel 2
// says after each ("": nothing), and how many messages still wait at the
// end.
TEST(DeliveryReports, AMessageIsToldOnceWhenItsPartsAreReported)
{
    struct Event {
        enum What { Sent, GivenUp, Stopped, Report } what;
        int part = 0;      // Sent, GivenUp, Stopped
        int reference = 0; // Sent (-1: none), Report
        int status = 0;
        const char* time = "";
        const char* says = "";
    };
    const auto sent = [](int part, int reference) { return Event{Event::Sent, part, reference}; };
    const auto givenUp = [](int part) { return Event{Event::GivenUp, part}; };
    const auto stopped = [](int part) { return Event{Event::Stopped, part}; };
    const auto report = [](int reference, int status, const char* time, const char* says) {
        return Event{Event::Report, 0, reference, status, time, says};
    };
    const struct {
        const char* name;
        int parts;
        std::vector<Event> events;
        size_t waiting;
    } cases[] = {
        {"one part delivered", 1, {sent(1, 12), report(12, 0, "15:30:14", "SMS a Mario consegnato alle 15:30")}, 0},
        {"one part failed",
         1,
         {sent(1, 12),
          report(12, 0x46, "15:30:14", "SMS a Mario non consegnato (periodo di validità scaduto, stato 70)")},
         0},
        {"one part forwarded without confirmation",
         1,
         {sent(1, 12),
          report(12, 1, "15:30:14",
                 "SMS a Mario consegnato alle 15:30 (inoltrato al destinatario, consegna non confermata, stato 1)")},
         0},
        {"one part still trying, then delivered",
         1,
         {sent(1, 12),
          report(12, 0x21, "15:30:14", "SMS a Mario non ancora consegnato (destinatario occupato, stato 33)"),
          report(12, 0, "15:41:00", "SMS a Mario consegnato alle 15:41")},
         0},
        {"three parts delivered: the time of the last delivery, whatever the order",
         3,
         {sent(1, 7), sent(2, 8), sent(3, 9), report(7, 0, "05:33:10", ""), report(9, 0, "05:34:02", ""),
          report(8, 0, "05:33:50", "SMS a Mario consegnato alle 05:34")},
         0},
        {"a failure is not overwritten by a later success",
         3,
         {sent(1, 7), sent(2, 8), sent(3, 9), report(7, 0, "05:33:10", ""), report(8, 0x46, "05:33:11", ""),
          report(9, 0, "05:34:02",
                 "SMS a Mario: 2 di 3 parti consegnate, parte 2 non consegnata (periodo di validità scaduto, stato "
                 "70)..")},
         0},
        {"the failure first",
         3,
         {sent(1, 7), sent(2, 8), sent(3, 9), report(8, 0x46, "05:33:11", ""), report(9, 0, "05:34:02", ""),
          report(7, 0, "05:33:10",
                 "SMS a Mario: 2 di 3 parti consegnate, parte 2 non consegnata (periodo di validità scaduto, stato "
                 "70)..")},
         0},
        {"every failure named",
         3,
         {sent(1, 7), sent(2, 8), sent(3, 9), report(7, 0x41, "05:33:10", ""), report(8, 0, "05:33:11", ""),
          report(9, 0x62, "05:34:02",
                 "SMS a Mario: 1 di 3 parti consegnate, parte 1 non consegnata (destinazione incompatibile, stato 65), "
                 "parte 3 non consegnata (il destinatario non risponde, nessun altro tentativo, stato 98)..")},
         0},
        {"no part delivered",
         2,
         {sent(1, 7), sent(2, 8), report(7, 0x46, "05:33:10", ""),
          report(8, 0x48, "05:34:02",
                 "SMS a Mario: nessuna delle 2 parti consegnata, parte 1 non consegnata (periodo di validità scaduto, "
                 "stato 70), parte 2 non consegnata (cancellato dal centro servizi, stato 72)..")},
         0},
        {"delivered, one part with a word of its own",
         2,
         {sent(1, 7), sent(2, 8), report(7, 0, "05:33:10", ""),
          report(8, 2, "05:34:02",
                 "SMS a Mario consegnato alle 05:34 (parte 2: sostituito dal centro servizi, stato 2)")},
         0},
        {"a part still trying holds the message, which is told when it ends",
         3,
         {sent(1, 7), sent(2, 8), sent(3, 9), report(7, 0, "05:33:10", ""),
          report(8, 0x20, "05:33:11",
                 "SMS a Mario (parte 2 di 3) non ancora consegnato (rete congestionata, stato 32)"),
          report(9, 0, "05:34:02", ""), report(8, 0, "05:50:00", "SMS a Mario consegnato alle 05:50")},
         0},
        {"repeats of parts taken are ignored",
         2,
         {sent(1, 7), sent(2, 8), report(7, 0, "05:33:10", ""), report(7, 0, "05:33:10", ""),
          report(8, 0, "05:34:02", "SMS a Mario consegnato alle 05:34"), report(8, 0, "05:34:02", ""),
          report(7, 0x46, "05:34:02", "")},
         0},
        {"a send stopped after part 1",
         3,
         {sent(1, 7), stopped(2),
          report(7, 0, "05:33:10", "SMS a Mario: 1 di 3 parti consegnate, parti 2 e 3 non inviate..")},
         0},
        {"a send stopped after part 2, which failed",
         4,
         {sent(1, 7), sent(2, 8), stopped(3), report(7, 0, "05:33:10", ""),
          report(8, 0x46, "05:33:11",
                 "SMS a Mario: 1 di 4 parti consegnate, parte 2 non consegnata (periodo di validità scaduto, stato "
                 "70), parti 3 e 4 non inviate..")},
         0},
        {"a part given up and never confirmed",
         3,
         {sent(1, 7), givenUp(2), stopped(2),
          report(7, 0, "05:33:10",
                 "SMS a Mario: 1 di 3 parti consegnate, parte 2 forse non inviata, parte 3 non "
                 "inviata..")},
         0},
        {"a part given up, confirmed before the reports",
         3,
         {sent(1, 7), givenUp(2), stopped(2), sent(2, 8), report(7, 0, "05:33:10", ""),
          report(8, 0, "05:33:11", "SMS a Mario: 2 di 3 parti consegnate, parte 3 non inviata..")},
         0},
        {"a part given up, confirmed after its message was told",
         3,
         {sent(1, 7), givenUp(2), stopped(2),
          report(7, 0, "05:33:10",
                 "SMS a Mario: 1 di 3 parti consegnate, parte 2 forse non inviata, parte 3 non "
                 "inviata.."),
          sent(2, 8), report(7, 0, "05:33:10", ""),
          report(8, 0, "05:33:11", "SMS a Mario: 2 di 3 parti consegnate, parte 3 non inviata..")},
         0},
        {"one part given up and confirmed late",
         1,
         {givenUp(1), stopped(1), sent(1, 12), report(12, 0, "15:30:14", "SMS a Mario consegnato alle 15:30")},
         0},
        {"one part given up and never confirmed waits", 1, {givenUp(1), stopped(1), report(12, 0, "15:30:14", "")}, 1},
        {"a part the phone gave no reference for",
         2,
         {sent(1, 7), sent(2, -1),
          report(7, 0, "05:33:10", "SMS a Mario: 1 di 2 parti consegnate, parte 2 senza rapporto..")},
         0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        at::DeliveryLedger ledger;
        const int message = ledger.newMessage();
        for (const Event& e : c.events) {
            switch (e.what) {
            case Event::Sent:
                ledger.sent(partOf(message, e.part, c.parts, e.reference));
                break;
            case Event::GivenUp:
                ledger.givenUp(partOf(message, e.part, c.parts, -1));
                break;
            case Event::Stopped:
                EXPECT_EQ(ledger.stopped(message, e.part).kind, at::Told::Waiting);
                break;
            case Event::Report: {
                const at::Told told = ledger.take(reportOf(e.reference, e.status, e.time));
                EXPECT_EQ(at::DeliveryText(QStringLiteral("Mario"), told).toStdString(), e.says)
                    << "report on " << e.reference;
                break;
            }
            }
        }
        EXPECT_EQ(ledger.size(), c.waiting);
    }
}

TEST(DeliveryReports, WhatAReportIsAbout)
{
    at::DeliveryLedger ledger;
    const int first = ledger.newMessage();
    const int second = ledger.newMessage();
    const int third = ledger.newMessage();
    EXPECT_NE(first, second);
    ledger.sent(partOf(first, 1, 1, 12));
    ledger.sent(at::SentPart{12, QStringLiteral("+393337654321"), {}, 1, 1, second});
    ledger.sent(partOf(third, 1, 1, 12)); // the reference again, to the same number
    // Another reference, or the right one for another recipient.
    EXPECT_EQ(ledger.take(reportOf(14, 0)).kind, at::Told::Unmatched);
    EXPECT_EQ(ledger.take(reportOf(12, 0, "10:01:54", QStringLiteral("+393471111111"))).kind, at::Told::Unmatched);
    // The oldest send waiting takes it, then the next.
    at::Told told = ledger.take(reportOf(12, 0));
    EXPECT_EQ(told.kind, at::Told::Complete);
    EXPECT_EQ(told.message.id, first);
    told = ledger.take(reportOf(12, 0));
    EXPECT_EQ(told.kind, at::Told::Complete);
    EXPECT_EQ(told.message.id, third);
    EXPECT_EQ(ledger.take(reportOf(12, 0)).kind, at::Told::Repeat);
    told = ledger.take(reportOf(12, 0, "10:01:54", QStringLiteral("+393337654321")));
    EXPECT_EQ(told.kind, at::Told::Complete);
    EXPECT_EQ(told.message.id, second);
    EXPECT_EQ(ledger.size(), 0u);
}

TEST(DeliveryReports, TheLedgerKeepsTheNewest)
{
    at::DeliveryLedger ledger;
    const size_t sends = at::DeliveryLedger::kKept + 5;
    for (size_t i = 0; i < sends; ++i)
        ledger.sent(partOf(ledger.newMessage(), 1, 1, int(i % 256)));
    EXPECT_EQ(ledger.size(), at::DeliveryLedger::kKept);
    // The oldest went: reference 0 is now only the 1001st send's.
    EXPECT_EQ(ledger.take(reportOf(0, 0)).kind, at::Told::Complete);
    EXPECT_EQ(ledger.take(reportOf(0, 0)).kind, at::Told::Complete);
    EXPECT_EQ(ledger.take(reportOf(0, 0)).kind, at::Told::Complete);
    EXPECT_EQ(ledger.take(reportOf(0, 0)).kind, at::Told::Repeat);
}

// The parts told are remembered, a bounded number of messages back.
TEST(DeliveryReports, RepeatsAreKnownForTheLastMessagesTold)
{
    at::DeliveryLedger ledger;
    ledger.sent(at::SentPart{200, QStringLiteral("+393337654321"), {}, 1, 1, ledger.newMessage()});
    ASSERT_EQ(ledger.take(reportOf(200, 0, "10:01:54", QStringLiteral("+393337654321"))).kind, at::Told::Complete);
    for (size_t i = 0; i < at::DeliveryLedger::kKept - 1; ++i) {
        ledger.sent(partOf(ledger.newMessage(), 1, 1, 7));
        ASSERT_EQ(ledger.take(reportOf(7, 0)).kind, at::Told::Complete);
    }
    EXPECT_EQ(ledger.take(reportOf(200, 0, "10:01:54", QStringLiteral("+393337654321"))).kind, at::Told::Repeat);
    ledger.sent(partOf(ledger.newMessage(), 1, 1, 7));
    ASSERT_EQ(ledger.take(reportOf(7, 0)).kind, at::Told::Complete);
    EXPECT_EQ(ledger.take(reportOf(200, 0, "10:01:54", QStringLiteral("+393337654321"))).kind, at::Told::Unmatched);
    EXPECT_EQ(ledger.take(reportOf(7, 0)).kind, at::Told::Repeat);
}
