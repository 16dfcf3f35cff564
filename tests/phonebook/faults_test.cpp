// SPDX-License-Identifier: GPL-3.0-or-later
// "Leggi rubrica da Cellulare", clicked, against phones that fail it half-way:
// a range answer with a garbled line, a phone that restarts in the middle of
// the read and speaks GSM again. Whatever happened, List2 ends with the
// phone's entries, or the read says what it could not read.
#include "support/e2e.h"
#include "support/peer_form.h"

#include "phone/phonebook/book_rows.h"
#include "phonebook/list_rows.h"
#include "phonebook/qstring_printer.h"

#include <gtest/gtest.h>

#include <QTest>

#include <algorithm>
#include <string>
#include <vector>

namespace {

// The rows of List2 that the phone's books stand for: every entry from
// index 1, in the order SIM, phone memory, fixed dialling.
QStringList rowsOfPhone(const std::string& state)
{
    phonesim::PhoneState phone;
    std::string error;
    EXPECT_TRUE(phonesim::loadStateText(state, phone, error)) << error;
    QStringList rows;
    for (const char* mem : {"SM", "ME", "FD"}) {
        const auto book = phone.phonebooks.find(mem);
        if (book == phone.phonebooks.end())
            continue;
        at::CpbrRange size;
        size.valid = true;
        size.first = book->second.first;
        size.last = book->second.last;
        size.numberLength = book->second.numberLength;
        size.nameLength = book->second.nameLength;
        rows.append(HeaderRow(size));
        for (int index = 1; index <= size.last; ++index) {
            const auto entry = book->second.entries.find(index);
            rows.append(entry == book->second.entries.end()
                            ? EmptySlotRow(size, index)
                            : EntryRow(size, index, QString::fromStdString(entry->second.number),
                                       QString::fromStdString(entry->second.name)));
        }
        rows.append(FooterRow(size));
    }
    return rows;
}

// What a click on "Leggi rubrica da Cellulare" leaves.
struct Read {
    QStringList rows;
    QString status;
    std::vector<std::string> commands;
};

Read clickRead(const std::string& state, const std::vector<std::string>& faults)
{
    e2e::Phone phone(state);
    EXPECT_TRUE(phone.connect());
    for (const std::string& fault : faults)
        EXPECT_EQ(phone.sim().control(fault), "OK") << fault;
    phone.clearTranscript();
    Form1& form = phone.form();
    QTest::mouseClick(form.Command1, Qt::LeftButton);
    EXPECT_TRUE(form.ComandoLibero);
    return Read{rowsOf(*form.List2), form.StatusBar1->panelText(2), phone.commands()};
}

// Whether `part` stands in `commands`, one command after the other.
bool containsRun(const std::vector<std::string>& commands, const std::vector<std::string>& part)
{
    return std::search(commands.begin(), commands.end(), part.begin(), part.end()) != commands.end();
}

std::vector<std::string> entryCommands(int first, int last)
{
    std::vector<std::string> commands;
    for (int index = first; index <= last; ++index)
        commands.push_back("AT+CPBR=" + std::to_string(index));
    return commands;
}

// "+CPBR: 2,..." reaches the program as "BR: 2,...": the range cannot say
// whether entry 2 is empty, so it is read entry by entry.
TEST(PhonebookFaults, ARangeWithAGarbledLineIsReadEntryByEntry)
{
    struct Case {
        std::string dialect;
        const char* what;
    };
    const Case cases[] = {
        {"", "names in UCS2"},
        {"profile = ucs2-numbers\n", "numbers in UCS2 too"},
        {"profile = no-ucs2\n", "read in GSM"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string state = e2e::sampleState(c.dialect);
        const Read read = clickRead(state, {"fault garble on +CPBR=1,50"});
        EXPECT_EQ(read.rows, rowsOfPhone(state));
        EXPECT_EQ(read.status, QStringLiteral("Lettura rubriche terminata.."));
        std::vector<std::string> again = {"AT+CPBR=1,50"};
        for (const std::string& command : entryCommands(1, 50))
            again.push_back(command);
        again.push_back("AT+CPBR=51,100");
        EXPECT_TRUE(containsRun(read.commands, again));
    }
}

// An entry the phone still will not give, once the range is untrusted, is
// no empty slot: it gets no row, and the read says it is missing.
TEST(PhonebookFaults, AnEntryThatCannotBeReadIsNoEmptySlot)
{
    const std::string state = e2e::sampleState();
    const Read read = clickRead(state, {"fault garble on +CPBR=1,50", "fault error on +CPBR=2"});
    QStringList expected = rowsOfPhone(state);
    ASSERT_TRUE(expected.at(2).startsWith(QStringLiteral("002/250 ´ +393471234567"))); // Marco Rossi
    expected.removeAt(2);
    EXPECT_EQ(read.rows, expected);
    EXPECT_EQ(read.status, QStringLiteral("Lettura rubriche incompleta: 1 voce non letta.."));
}

// The phone restarts during the read and is back in the GSM set (and the
// SIM book): the read sets its character set and the book again and reads
// what the restart spoilt once more. "Fede" in GSM would pass for the one
// UCS2 character U+FEDE, and the number 00390039 for "99".
TEST(PhonebookFaults, APhoneThatRestartsMidReadIsReadAgain)
{
    const std::string fedeInSim = "pb.SM.4 = \"+393331234567\",145,\"Fede\"\n";
    struct Case {
        std::string dialect;
        std::string fault;
        std::vector<std::string> recovery; // the commands from the one the phone restarted in
        const char* what;
    };
    const Case cases[] = {
        {fedeInSim,
         "fault restart on +CPBR=1,50",
         {"AT+CPBR=1,50", "AT+CSCS=\"UCS2\"", "AT+CPBS=SM", "AT+CPBR=1,50", "AT+CPBR=51,100"},
         "inside the first range of the SIM book"},
        {"profile = ucs2-numbers\npb.FD.3 = \"00390039\",129,\"Fede\"\n",
         "fault restart on +CPBR=1,10",
         {"AT+CPBR=1,10", "AT+CSCS=\"UCS2\"", "AT+CPBS=FD", "AT+CPBR=1,10", "AT+CSCS=\"GSM\""},
         "inside the fixed-dialling book, numbers in UCS2"},
        {fedeInSim,
         "fault restart on +CPBR=?",
         {"AT+CPBR=?", "AT+CSCS=\"UCS2\"", "AT+CPBS=SM", "AT+CPBR=?", "AT+CPBR=1,50"},
         "while the SIM book is sized"},
        {"",
         "fault restart on +CPBS=ME",
         {"AT+CPBS=ME", "AT+CPBR=?", "AT+CSCS=\"UCS2\"", "AT+CPBS=ME", "AT+CPBR=?", "AT+CPBR=1,50"},
         "as the phone memory is selected: the SIM book sized in its place"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string state = e2e::sampleState(c.dialect);
        const Read read = clickRead(state, {c.fault});
        EXPECT_EQ(read.rows, rowsOfPhone(state));
        EXPECT_EQ(read.status, QStringLiteral("Lettura rubriche terminata.."));
        EXPECT_TRUE(containsRun(read.commands, c.recovery));
        EXPECT_EQ(std::count(read.commands.begin(), read.commands.end(), "AT+CSCS=\"UCS2\""), 2);
    }
}

// A phone that sends a name in no UCS2 however often it is asked: the range
// is read twice more, then the name is shown as the phone sent it and the
// read says so.
TEST(PhonebookFaults, ANameThatStillDoesNotDecodeIsShownAsSent)
{
    PeerForm line;
    ASSERT_TRUE(line.open());
    scripted::Peer& peer = line.peer;
    Form1& form = line.form;
    peer.on("AT+CSCS=\"UCS2\"\r", "\r\nOK\r\n", true);
    peer.on("AT+CPBS=SM\r", "\r\nOK\r\n", true);
    peer.on("AT+CPBR=?\r", "\r\n+CPBR: (1-2),4,6\r\n\r\nOK\r\n");
    peer.on("AT+CPBR=1,2\r",
            "\r\n+CPBR: 1,\"11\",129,\"0041006E006E0061\"\r\n+CPBR: 2,\"22\",129,\"Mario\"\r\n\r\nOK\r\n", true);
    peer.on("AT+CPBS=ME\r", "\r\n+CME ERROR: 3\r\n");
    peer.on("AT+CPBS=FD\r", "\r\n+CME ERROR: 3\r\n");
    peer.on("AT+CSCS=\"GSM\"\r", "\r\nOK\r\n");
    QTest::mouseClick(form.Command1, Qt::LeftButton);
    EXPECT_EQ(rowsOf(*form.List2),
              (QStringList{QStringLiteral("ÄÄÄÄÂÄÄÄÄÄÄÂÄÄÄÄÄÄÄÄ"), QStringLiteral("1/2 ´ 11   ³ Anna  "),
                           QStringLiteral("2/2 ´ 22   ³ Mario "), QStringLiteral("ÄÄÄÄÁÄÄÄÄÄÄÁÄÄÄÄÄÄÄÄ")}));
    EXPECT_EQ(form.StatusBar1->panelText(2),
              QStringLiteral("Lettura rubriche terminata, ma 1 nome non decodificato, mostrato come inviato.."));
    const std::string again = "AT+CSCS=\"UCS2\"\rAT+CPBS=SM\rAT+CPBR=1,2\r";
    EXPECT_EQ(peer.received(), "AT+CSCS=\"UCS2\"\rAT+CPBS=SM\rAT+CPBR=?\rAT+CPBR=1,2\r" + again + again
                                   + "AT+CPBS=ME\rAT+CPBS=FD\rAT+CSCS=\"GSM\"\r");
    EXPECT_TRUE(form.ComandoLibero);
}

// A phone that restarts and then refuses the book (its SIM not ready yet):
// the rest of the book is not read, and the read says how much is missing.
TEST(PhonebookFaults, ABookRefusedAfterARestartIsCountedAsUnread)
{
    PeerForm line;
    ASSERT_TRUE(line.open());
    scripted::Peer& peer = line.peer;
    Form1& form = line.form;
    peer.on("AT+CSCS=\"UCS2\"\r", "\r\nOK\r\n", true);
    peer.on("AT+CPBS=SM\r", "\r\nOK\r\n");
    peer.on("AT+CPBR=?\r", "\r\n+CPBR: (1-60),4,6\r\n\r\nOK\r\n");
    peer.on("AT+CPBR=1,50\r", "\r\n+CPBR: 1,\"11\",129,\"0041006E006E0061\"\r\n\r\nRDY\r\n\r\nOK\r\n");
    peer.on("AT+CPBS=SM\r", "\r\n+CME ERROR: 14\r\n");
    peer.on("AT+CPBS=ME\r", "\r\n+CME ERROR: 3\r\n");
    peer.on("AT+CPBS=FD\r", "\r\n+CME ERROR: 3\r\n");
    peer.on("AT+CSCS=\"GSM\"\r", "\r\nOK\r\n");
    QTest::mouseClick(form.Command1, Qt::LeftButton);
    EXPECT_EQ(rowsOf(*form.List2),
              (QStringList{QStringLiteral("ÄÄÄÄÄÄÂÄÄÄÄÄÄÂÄÄÄÄÄÄÄÄ"), QStringLiteral("ÄÄÄÄÄÄÁÄÄÄÄÄÄÁÄÄÄÄÄÄÄÄ")}));
    EXPECT_EQ(form.StatusBar1->panelText(2), QStringLiteral("Lettura rubriche incompleta: 60 voci non lette.."));
    EXPECT_EQ(peer.received(), "AT+CSCS=\"UCS2\"\rAT+CPBS=SM\rAT+CPBR=?\rAT+CPBR=1,50\rAT+CSCS=\"UCS2\"\rAT+CPBS=SM\r"
                               "AT+CPBS=ME\rAT+CPBS=FD\rAT+CSCS=\"GSM\"\r");
}

} // namespace
