// SPDX-License-Identifier: GPL-3.0-or-later
// Each capability of the phone without a window, against the simulator on
// a pseudo-terminal: a list read gives a record a slot, a phone-book read an
// entry a row with its book and index, a send its parts and the references
// the network gave them, a message that arrives updates its one record.
#include "phone/arrivals.h"
#include "phone/messages/messages.h"
#include "phone/phonebook/phonebook.h"
#include "phone/sending/sender.h"
#include "phone_line.h"
#include "phonebook/qstring_printer.h"

#include <gtest/gtest.h>

#include <QString>

#include <ostream>

namespace {

using phonetest::Line;
using phonetest::sample;
using phonetest::u;

// The main sample's SIM message at slot 1 (read) and slot 10 (unread, part
// 1 of 2 of reference 167).
const char* const kSim1 =
    "0791933395066900040C9193431732547600004230518124704032C374F81D020DD3207B999C0EB7DFA0393D3C2FCBC3A0309B5D06"
    "C960BA190C146683E66F769AFE0689C3F21F";

TEST(Messages, AListReadGivesARecordASlot)
{
    Line line(sample());
    phone::Phonebook book(line.session);
    phone::Messages messages(line.session, book);
    std::vector<QString> headers;
    {
        phone::Operation operation(line.session);
        ASSERT_TRUE(operation.taken());
        const phone::Ended end =
            messages.readList(operation, store::Columns{}, [&](const QString& header) { headers.push_back(header); });
        EXPECT_FALSE(end.lineLost);
        EXPECT_EQ(end.status, u("Lettura elenco sms terminata.."));
    }
    ASSERT_EQ(messages.count(), 20 + 150);
    EXPECT_EQ(headers.size(), 2u);

    const phone::MessageRecord& first = messages.record(0);
    EXPECT_TRUE(first.place.sim);
    EXPECT_EQ(first.place.slot, 1);
    EXPECT_EQ(first.place.capacity, 20);
    ASSERT_TRUE(first.answer);
    EXPECT_EQ(first.answer->kind, at::CmgrAnswer::Message);
    EXPECT_EQ(first.answer->tipo, 1);
    EXPECT_EQ(first.answer->pak, QString::fromLatin1(kSim1));
    EXPECT_FALSE(first.part);
    EXPECT_TRUE(messages.text(0).startsWith(u("S: 01/20 ´ ")));

    // SIM 2 unread, as the listing gave it; SIM 4 empty; SIM 10 a part.
    EXPECT_EQ(messages.record(1).answer->tipo, 0);
    EXPECT_EQ(messages.record(3).answer->kind, at::CmgrAnswer::Empty);
    ASSERT_TRUE(messages.record(9).part);
    EXPECT_EQ(messages.record(9).part->concat.index, 1);
    EXPECT_EQ(messages.record(9).part->concat.total, 2);

    // The phone's own store follows the SIM's.
    const phone::MessageRecord& phoneFirst = messages.record(20);
    EXPECT_FALSE(phoneFirst.place.sim);
    EXPECT_EQ(phoneFirst.place.slot, 1);
    EXPECT_EQ(phoneFirst.place.capacity, 150);
    EXPECT_EQ(phoneFirst.answer->kind, at::CmgrAnswer::Message);
    EXPECT_TRUE(line.session.commandFree);
}

TEST(Phonebook, AReadGivesEachRowItsBookAndIndex)
{
    Line line(sample());
    phone::Phonebook book(line.session);
    {
        phone::Operation operation(line.session);
        const std::optional<QString> status = book.read(operation);
        ASSERT_TRUE(status);
        EXPECT_EQ(*status, u("Lettura rubriche terminata.."));
    }
    ASSERT_GT(book.count(), 0);
    // SIM 1..250 framed, then the phone's 1..100, then the fixed numbers 1..10.
    ASSERT_EQ(book.count(), (250 + 2) + (100 + 2) + (10 + 2));
    EXPECT_FALSE(book.entry(0)); // a frame
    const std::optional<phone::Entry> ufficio = book.entry(1);
    ASSERT_TRUE(ufficio);
    EXPECT_EQ(ufficio->book, u("SM"));
    EXPECT_EQ(ufficio->index, 1);
    EXPECT_EQ(ufficio->number, u("+390123456789"));
    EXPECT_EQ(ufficio->type, 145);
    EXPECT_EQ(ufficio->name, u("Ufficio"));
    const std::optional<phone::Entry> emptySlot = book.entry(4);
    ASSERT_TRUE(emptySlot);
    EXPECT_EQ(emptySlot->book, u("SM"));
    EXPECT_EQ(emptySlot->index, 4);
    EXPECT_TRUE(emptySlot->number.isEmpty() && emptySlot->name.isEmpty());
    const std::optional<phone::Entry> info = book.entry(11);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->number, u("4916"));
    EXPECT_EQ(info->type, 129);
    EXPECT_EQ(info->name, u("Info TIM"));
    const std::optional<phone::Entry> gino = book.entry(252 + 1 + 6);
    ASSERT_TRUE(gino);
    EXPECT_EQ(gino->book, u("ME"));
    EXPECT_EQ(gino->index, 7);
    EXPECT_EQ(gino->name, u("Pizzeria da Gino"));
    const std::optional<phone::Entry> emergenza = book.entry(252 + 102 + 1);
    ASSERT_TRUE(emergenza);
    EXPECT_EQ(emergenza->book, u("FD"));
    EXPECT_EQ(emergenza->index, 1);
    EXPECT_EQ(emergenza->number, u("112"));

    // The widths of the last book sized are the session's; names are
    // looked up in the rows with them.
    EXPECT_EQ(line.session.numberWidth, 40);
    EXPECT_EQ(line.session.nameWidth, 18);
    ASSERT_TRUE(book.nameOf(u("+393471234567")));
    EXPECT_EQ(book.nameOf(u("+393471234567"))->trimmed(), u("Marco Rossi"));
}

TEST(Sender, ASendGivesItsPartsAndTheReferencesTheNetworkGave)
{
    Line line(sample("next_reference = 41\nreport.delay_ms = 600000\n"));
    phone::Sender sender(line.session);
    phone::Outgoing message;
    message.serviceCentre = u("+393359609600");
    message.number = u("+393471234567");
    message.text = QString(300, QLatin1Char('x'));
    message.statusReport = true;
    message.longSms = true;
    const SubmitParts parts = sender.encode(message);
    ASSERT_EQ(parts.error, SubmitPdu::Error::None);
    ASSERT_EQ(parts.parts.size(), 2u);
    {
        phone::Operation operation(line.session);
        EXPECT_EQ(sender.send(operation, message, parts), u("SMS inviato in 2 parti.."));
    }
    ASSERT_EQ(line.sim->sentPdus().size(), 2u);
    EXPECT_EQ(QString::fromStdString(line.sim->sentPdus()[0]), parts.parts[0].pdu);
    EXPECT_EQ(QString::fromStdString(line.sim->sentPdus()[1]), parts.parts[1].pdu);
    EXPECT_EQ(sender.sent(), 2);
    // The ledger waits for the reports on references 41 and 42.
    const auto report = [&](int reference) {
        return sender.ledger.take({reference, u("+393471234567"), 0, u("15:30:00"), u("10/12/24")});
    };
    EXPECT_EQ(report(41).kind, at::Told::Waiting);
    EXPECT_EQ(report(42).kind, at::Told::Complete);
    EXPECT_EQ(report(43).kind, at::Told::Unmatched);
}

TEST(Arrivals, AMessageThatArrivesUpdatesItsOneRecord)
{
    Line line(sample());
    phone::Phonebook book(line.session);
    phone::Messages messages(line.session, book);
    phone::Sender sender(line.session);
    phone::Arrivals arrivals(line.session, messages, book, sender, [] { return store::Columns{}; });
    {
        phone::Operation operation(line.session);
        messages.readList(operation, store::Columns{}, [](const QString&) {});
    }
    arrivals.activate();
    ASSERT_TRUE(arrivals.active);
    std::vector<QString> before;
    for (int row = 0; row < messages.count(); ++row)
        before.push_back(messages.text(row));
    ASSERT_EQ(messages.record(3).answer->kind, at::CmgrAnswer::Empty);

    ASSERT_EQ(line.sim->control(std::string("deliver SM 4 0 ") + kSim1), "OK");
    ASSERT_TRUE(phonetest::waitFor([&] { return messages.record(3).answer->kind == at::CmgrAnswer::Message; }));
    EXPECT_EQ(messages.record(3).answer->pak, QString::fromLatin1(kSim1));
    EXPECT_EQ(messages.record(3).place.slot, 4);
    for (int row = 0; row < messages.count(); ++row) {
        if (row != 3) {
            EXPECT_EQ(messages.text(row), before[size_t(row)]) << row;
        }
    }
    EXPECT_EQ(line.feedback.last(), u("Nuovo SMS da +393471234567"));
    ASSERT_EQ(line.feedback.notified.size(), 1u);
    EXPECT_EQ(line.feedback.notified[0].first, u("Nuovo SMS da +393471234567"));
}

} // namespace
