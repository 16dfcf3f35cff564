// SPDX-License-Identifier: GPL-3.0-or-later
// The recipients read from "Invio a:", and the record of what was sent:
// its file read back, what it says of a delivery, and a message of an
// earlier run matched by the delivery ledger.
#include "phone/sending/recipients.h"
#include "phone/sending/sent_record.h"
#include "phonebook/qstring_printer.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

namespace {

QString u(const char16_t* text) { return QString::fromUtf16(text); }

TEST(ParseRecipients, PiecesNumbersAndNames)
{
    struct Case {
        const char16_t* field;
        std::vector<const char16_t*> numbers; // as dialled
        std::vector<const char16_t*> names;
        int written;
        const char* what;
    };
    const Case cases[] = {
        {u"3471234567", {u"3471234567"}, {u""}, 1, "one number"},
        {u"  +39 347 1234567  ³ Marco   ", {u"+393471234567"}, {u"Marco"}, 1, "a picked row"},
        {u"3471234567, 3401234567;+39 (06) 123.45.67",
         {u"3471234567", u"3401234567", u"+39061234567"},
         {u"", u"", u""},
         3,
         "both separators"},
        {u"3401234567 ³ Rossi, Giulia; 333 1234567",
         {u"3401234567", u"3331234567"},
         {u"Rossi, Giulia", u""},
         2,
         "a comma inside a name"},
        {u"3401234567 ³ Rossi, Giulia, 3331234567",
         {u"3401234567", u"3331234567"},
         {u"Rossi, Giulia", u""},
         2,
         "a comma after a name, before a number"},
        {u"347 123 4567, 3471234567; 0039 347 1234567, +393471234567",
         {u"3471234567", u"00393471234567"},
         {u"", u""},
         4,
         "the same digits once, 00 as +"},
        {u";, ;  ³ Ufficio ,", {}, {}, 0, "no recipient at all"},
        {u"Mraio, 3471234567", {u"Mraio", u"3471234567"}, {u"", u""}, 2, "a bad one is kept, for the refusal"},
        {u"", {}, {}, 0, "empty"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const phone::RecipientList list = phone::ParseRecipients(u(c.field));
        ASSERT_EQ(list.recipients.size(), c.numbers.size());
        for (size_t i = 0; i < c.numbers.size(); ++i) {
            EXPECT_EQ(list.recipients[i].number, u(c.numbers[i]));
            EXPECT_EQ(list.recipients[i].name, u(c.names[i]));
        }
        EXPECT_EQ(list.written, c.written);
    }
}

TEST(ParseRecipients, AnEntryAddedAfterTheOthers)
{
    const QString picked = u(u"+393401234567        ³ Rossi, Giulia    ");
    const std::pair<const char16_t*, const char16_t*> cases[] = {
        {u"", u"+393401234567 ³ Rossi, Giulia"},
        {u"   ", u"+393401234567 ³ Rossi, Giulia"},
        {u"3471234567", u"3471234567; +393401234567 ³ Rossi, Giulia"},
        {u"3471234567;  ", u"3471234567; +393401234567 ³ Rossi, Giulia"},
        {u"3471234567,", u"3471234567, +393401234567 ³ Rossi, Giulia"},
    };
    for (const auto& [field, after] : cases)
        EXPECT_EQ(phone::WithRecipient(u(field), picked), u(after));
    // Read back, the entry is one more recipient with its name.
    const phone::RecipientList list = phone::ParseRecipients(phone::WithRecipient(u(u"3471234567"), picked));
    ASSERT_EQ(list.recipients.size(), 2u);
    EXPECT_EQ(list.recipients[1].name, u(u"Rossi, Giulia"));
}

phone::SentEntry entry(std::vector<phone::SentPartRecord> parts, bool report = true)
{
    phone::SentEntry e;
    e.id = 7;
    e.sent = QDateTime(QDate(2024, 12, 10), QTime(15, 30, 0), Qt::OffsetFromUTC, 3600);
    e.number = QStringLiteral("+393471234567");
    e.name = QStringLiteral("Marco \"Rossi\"");
    e.text = u(u"Ciao\r\nè già l'una? 😀");
    e.statusReport = report;
    e.parts = std::move(parts);
    return e;
}

using State = phone::SentPartRecord::State;

TEST(SentRecord, TheFileReadsBackWhatWasWritten)
{
    std::deque<phone::SentEntry> entries;
    entries.push_back(entry({{State::Reported, 41, 0, u(u"15:30:14"), u(u"10/12/24"), {}},
                             {State::Refused, -1, 0, {}, {}, u(u"numero del centro servizi sconosciuto")}}));
    entries.push_back(entry({{State::Sent, 255, 0, {}, {}, {}}}, false));
    entries.back().id = 8;
    const std::optional<std::deque<phone::SentEntry>> back = phone::ReadSentFile(phone::SentFile(entries));
    ASSERT_TRUE(back);
    ASSERT_EQ(back->size(), 2u);
    const phone::SentEntry& first = back->front();
    EXPECT_EQ(first.id, 7);
    EXPECT_EQ(first.sent, entries[0].sent);
    EXPECT_EQ(first.sent.offsetFromUtc(), 3600);
    EXPECT_EQ(first.number, entries[0].number);
    EXPECT_EQ(first.name, entries[0].name);
    EXPECT_EQ(first.text, entries[0].text);
    EXPECT_TRUE(first.statusReport);
    ASSERT_EQ(first.parts.size(), 2u);
    EXPECT_EQ(first.parts[0].state, State::Reported);
    EXPECT_EQ(first.parts[0].reference, 41);
    EXPECT_EQ(first.parts[0].time, u(u"15:30:14"));
    EXPECT_EQ(first.parts[1].state, State::Refused);
    EXPECT_EQ(first.parts[1].reason, entries[0].parts[1].reason);
    EXPECT_EQ(back->back().parts[0].reference, 255);
    EXPECT_FALSE(back->back().statusReport);

    // What is not such a file is refused whole, never half read.
    for (const char* bad : {"", "{", "[]", "{\"messaggi\":[]}", "{\"zircalo-inviati\":1,\"messaggi\":[{\"id\":1}]}",
                            "{\"zircalo-inviati\":1,\"messaggi\":[{\"id\":1,\"inviato\":\"2024-12-10T15:30:00+01:00\","
                            "\"parti\":[{\"stato\":\"boh\"}]}]}"}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(phone::ReadSentFile(QByteArray(bad)));
    }
}

TEST(SentRecord, WhereAMessageStands)
{
    const phone::SentPartRecord delivered{State::Reported, 1, 0, u(u"15:30:14"), u(u"10/12/24"), {}};
    const phone::SentPartRecord later{State::Reported, 2, 0, u(u"16:05:00"), u(u"10/12/24"), {}};
    const phone::SentPartRecord expired{State::Reported, 3, 70, u(u"16:05:00"), u(u"11/12/24"), {}};
    const phone::SentPartRecord waiting{State::Sent, 4, 0, {}, {}, {}};
    const phone::SentPartRecord refused{State::Refused, -1, 0, {}, {}, u(u"numero del centro servizi sconosciuto")};
    const phone::SentPartRecord notSent{State::NotSent, -1, 0, {}, {}, {}};
    const phone::SentPartRecord busy{State::Pending, 5, 33, {}, {}, {}};
    struct Case {
        phone::SentEntry sent;
        const char16_t* state;
    };
    const Case cases[] = {
        {entry({waiting}, false), u"inviato"},
        {entry({waiting}), u"in attesa della ricevuta"},
        {entry({delivered}), u"consegnato alle 15:30"},
        {entry({later, delivered}), u"consegnato alle 16:05"},
        {entry({expired}), u"non consegnato: periodo di validità scaduto, stato 70"},
        {entry({refused}), u"non inviato: numero del centro servizi sconosciuto"},
        {entry({busy}), u"non ancora consegnato: destinatario occupato, stato 33"},
        {entry({delivered, waiting}), u"1 di 2 parti consegnate, in attesa delle altre ricevute"},
        {entry({delivered, notSent}, false), u"parte 2 non inviata"},
        {entry({delivered, expired}), u"parte 2 non consegnata: periodo di validità scaduto, stato 70"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(phone::DeliveryState(c.sent), u(c.state));
}

// A message of an earlier run whose report has not come waits again on the
// ledger: its report, when it comes, completes it, and the file keeps it.
TEST(SentRecord, AReportAfterARestartIsMatched)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString file = folder.filePath(QStringLiteral("dati/inviati.json"));
    at::DeliveryLedger firstRun;
    {
        phone::SentRecord record;
        EXPECT_EQ(record.open(file, firstRun), QString());
        phone::SentEntry sent = entry({{State::Sent, 41, 0, {}, {}, {}}});
        sent.sent = QDateTime::currentDateTime();
        record.add(sent);
        phone::SentEntry old = entry({{State::Sent, 42, 0, {}, {}, {}}});
        old.sent = QDateTime::currentDateTime().addDays(-phone::SentRecord::kReportDays - 1);
        record.add(old);
        ASSERT_TRUE(record.save());
        EXPECT_EQ(QFile::permissions(file) & (QFileDevice::ReadOther | QFileDevice::ReadGroup), 0);
    }
    at::DeliveryLedger ledger;
    phone::SentRecord record;
    EXPECT_EQ(record.open(file, ledger), QString());
    EXPECT_EQ(ledger.size(), 1u); // the old one waits no more
    const at::Told told = ledger.take({41, QStringLiteral("+393471234567"), 0, u(u"15:31:02"), u(u"10/12/24")});
    ASSERT_EQ(told.kind, at::Told::Complete);
    EXPECT_EQ(at::DeliveryText(QStringLiteral("Marco"), told), u(u"SMS a Marco consegnato alle 15:31"));
    record.told(told);
    EXPECT_EQ(phone::DeliveryState(record.entries().front()), u(u"consegnato alle 15:31"));
    at::DeliveryLedger again;
    phone::SentRecord reread;
    reread.open(file, again);
    EXPECT_EQ(phone::DeliveryState(reread.entries().front()), u(u"consegnato alle 15:31"));
    EXPECT_EQ(again.size(), 0u);
    // A new message takes the next id.
    EXPECT_EQ(reread.add(entry({{State::Sent, 1, 0, {}, {}, {}}})).id, 3);
}

} // namespace
