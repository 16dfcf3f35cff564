// SPDX-License-Identifier: GPL-3.0-or-later
// Contacts written, edited and deleted without a window, against the
// simulator: each write goes once, is read back, and the row of its index
// shows what the phone holds; what the phone cannot take is refused before
// anything is sent.
#include "at/cpbw.h"
#include "phone/phonebook/book_rows.h"
#include "phone/phonebook/phonebook.h"
#include "phone_line.h"
#include "phonebook/qstring_printer.h"

#include <gtest/gtest.h>

#include <QString>

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

namespace {

using phonetest::Line;
using phonetest::sample;
using phonetest::u;

// The commands the phone received that begin with `prefix`.
std::vector<std::string> sent(const Line& line, const std::string& prefix)
{
    std::vector<std::string> found;
    for (const std::string& command : line.sim->commands()) {
        if (command.rfind(prefix, 0) == 0)
            found.push_back(command);
    }
    return found;
}

// The writes among them: "+CPBW=" and not its test form "+CPBW=?".
size_t writes(const Line& line)
{
    const std::vector<std::string> all = sent(line, "AT+CPBW=");
    return size_t(std::count_if(all.begin(), all.end(), [](const std::string& c) { return c != "AT+CPBW=?"; }));
}

// A byte below 0x20 on a command line is a command of its own to a phone:
// 0x08 rubs out, 0x0D ends the line. The lines as their bytes came, before
// the phone's own editing.
bool everyLinePrintable(const Line& line)
{
    const std::vector<std::string> lines = line.sim->receivedLines();
    return !lines.empty() && std::all_of(lines.begin(), lines.end(), [](const std::string& received) {
        return std::all_of(received.begin(), received.end(),
                           [](char c) { return static_cast<unsigned char>(c) >= 0x20; });
    });
}

class Contacts : public ::testing::Test {
protected:
    explicit Contacts(const std::string& overrides = std::string()) : line(sample(overrides)), book(line.session) {}

    std::optional<QString> readBooks()
    {
        phone::Operation operation(line.session);
        return book.read(operation);
    }
    std::optional<QString> write(const phone::Contact& contact)
    {
        phone::Operation operation(line.session);
        return book.writeContact(operation, contact);
    }
    std::optional<QString> remove(int row)
    {
        phone::Operation operation(line.session);
        return book.deleteContact(operation, row);
    }
    // The entry of `book` at `index` as a fresh read of the phone gives it.
    std::optional<phone::Entry> onThePhone(const QString& bookName, int index)
    {
        phone::Phonebook fresh(line.session);
        phone::Operation operation(line.session);
        if (!fresh.read(operation))
            return std::nullopt;
        const int row = fresh.rowOf(bookName, index);
        return row < 0 ? std::nullopt : fresh.entry(row);
    }

    Line line;
    phone::Phonebook book;
};

// New contacts go to the first free index of the SIM (4, then 7), in the
// phone's UCS2, and read back exactly; the command lines carry no byte
// below 0x20, and the phone is set back to GSM after each write.
TEST_F(Contacts, NewContactsReadBackExactly)
{
    ASSERT_TRUE(readBooks());
    struct Case {
        const char* name;
        const char* typed;
        const char* stored; // as people read it, "+" for type 145
        int index;
    };
    const Case cases[] = {
        {"Nicolò Màrtini", "+39 347-123.4567", "+393471234567", 4},
        {"Мария", "(06) 1234 567", "061234567", 7},
        {"Bar @ Gino €", "+390612345678", "+390612345678", 9},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        line.sim->clearTranscript();
        const std::optional<QString> status = write({u("SM"), 0, u(c.name), u(c.typed)});
        ASSERT_TRUE(status);
        EXPECT_EQ(*status, QStringLiteral("Contatto scritto: SIM %1..").arg(c.index));
        EXPECT_EQ(writes(line), 1u);
        EXPECT_EQ(sent(line, "AT+CPBW=" + std::to_string(c.index) + ",").size(), 1u);
        EXPECT_TRUE(everyLinePrintable(line));
        EXPECT_EQ(line.sim->commands().back(), "AT+CSCS=\"GSM\"");

        const int row = book.rowOf(u("SM"), c.index);
        ASSERT_GE(row, 0);
        EXPECT_EQ(book.entry(row)->name, u(c.name));
        EXPECT_EQ(at::ContactNumberText(book.entry(row)->number, book.entry(row)->type), u(c.stored));

        // The row is the one a read of the phone now gives.
        phone::Phonebook fresh(line.session);
        {
            phone::Operation operation(line.session);
            ASSERT_TRUE(fresh.read(operation));
        }
        const int freshRow = fresh.rowOf(u("SM"), c.index);
        ASSERT_GE(freshRow, 0);
        EXPECT_EQ(fresh.entry(freshRow)->name, u(c.name));
        EXPECT_EQ(book.text(row), fresh.text(freshRow));
    }
}

// A contact of a book not read yet: the books are read first, for the free
// index and the row to show it in.
TEST_F(Contacts, ANewContactReadsTheBookFirst)
{
    const std::optional<QString> status = write({u("ME"), 0, u("Luca"), u("3331234567")});
    ASSERT_TRUE(status);
    EXPECT_EQ(*status, u("Contatto scritto: telefono 3.."));
    const int row = book.rowOf(u("ME"), 3);
    ASSERT_GE(row, 0);
    EXPECT_EQ(book.entry(row)->name, u("Luca"));
}

// An edit writes at the entry's own index; a deletion leaves it empty, and
// both rows show what the phone then holds.
TEST_F(Contacts, EditAndDelete)
{
    ASSERT_TRUE(readBooks());
    const int ufficio = book.rowOf(u("SM"), 1);
    ASSERT_EQ(book.entry(ufficio)->name, u("Ufficio"));
    line.sim->clearTranscript();
    EXPECT_EQ(write({u("SM"), 1, u("Ufficio Roma"), u("+39 06 1234")}), u("Contatto scritto: SIM 1.."));
    EXPECT_EQ(book.entry(ufficio)->name, u("Ufficio Roma"));
    EXPECT_EQ(at::ContactNumberText(book.entry(ufficio)->number, book.entry(ufficio)->type), u("+39061234"));
    EXPECT_EQ(onThePhone(u("SM"), 1)->name, u("Ufficio Roma"));

    const int marco = book.rowOf(u("SM"), 2);
    line.sim->clearTranscript();
    EXPECT_EQ(remove(marco), u("Contatto eliminato dalla SIM (posizione 2).."));
    EXPECT_EQ(sent(line, "AT+CPBW="), std::vector<std::string>{"AT+CPBW=2"});
    EXPECT_EQ(book.text(marco), EmptySlotRow(*book.bookSize(u("SM")), 2));
    EXPECT_TRUE(book.entry(marco)->name.isEmpty());
    const std::optional<phone::Entry> gone = onThePhone(u("SM"), 2);
    ASSERT_TRUE(gone);
    EXPECT_TRUE(gone->name.isEmpty() && gone->number.isEmpty());
}

// What the phone cannot take is refused with the reason and sends no
// "+CPBW": a name or a number over the book's limits, a number that is
// none, anything for the fixed-dialling book.
class ContactLimits : public Contacts {
protected:
    ContactLimits() : Contacts("pb.SM.name_length = 14\npb.SM.number_length = 20\n") {}
};

TEST_F(ContactLimits, RefusedBeforeAnythingIsSent)
{
    ASSERT_TRUE(readBooks());
    struct Case {
        const char* book;
        const char* name;
        const char* number;
        const char* refusal;
    };
    const Case cases[] = {
        {"SM", "Nicolò Màrtini Rossi", "3331234567", "Sulla SIM questo nome può avere al massimo 14 caratteri"},
        // In UCS2 a character costs two, and the form one more: (14 - 1) / 2.
        {"SM", "Мария Ивановна", "3331234567", "Sulla SIM questo nome può avere al massimo 6 caratteri"},
        {"SM", "Luca", "+39 333 1234567 8901 2345 67", "Sulla SIM il numero può avere al massimo 20 cifre"},
        {"FD", "Luca", "3331234567", "La rubrica FD è di sola lettura (il cellulare vuole il PIN2).."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const phone::Contact contact{u(c.book), 0, u(c.name), u(c.number)};
        EXPECT_EQ(book.refusal(contact), u(c.refusal));
        line.sim->clearTranscript();
        const std::optional<QString> status = write(contact);
        ASSERT_TRUE(status);
        EXPECT_TRUE(status->contains(u(c.refusal))) << status->toStdString();
        EXPECT_EQ(writes(line), 0u);
    }
    EXPECT_TRUE(book.refusal({u("SM"), 0, u("Luca"), u("3331234567")}).isEmpty());
}

// A full book says so and writes nothing; a refusal of the phone is told
// in its words and the row stays as it was.
class SmallSim : public Contacts {
protected:
    SmallSim() : Contacts("pb.SM.5 =\npb.SM.6 =\npb.SM.8 =\npb.SM.11 =\npb.SM.range = 1-3\n") {}
};

TEST_F(SmallSim, FullBookAndRefusals)
{
    ASSERT_TRUE(readBooks());
    EXPECT_EQ(book.refusal({u("SM"), 0, u("Luca"), u("333")}), u("Rubrica piena"));
    line.sim->clearTranscript();
    EXPECT_EQ(write({u("SM"), 0, u("Luca"), u("333")}), u("Rubrica piena"));
    EXPECT_TRUE(line.sim->commands().empty());

    const int row = book.rowOf(u("SM"), 3);
    const QString before = book.text(row);
    ASSERT_EQ(line.sim->control("fault cme on 20 +CPBW"), "OK");
    line.sim->clearTranscript();
    EXPECT_EQ(write({u("SM"), 3, u("Luca"), u("333")}), u("Contatto non scritto (SIM 3): memoria piena.."));
    EXPECT_EQ(sent(line, "AT+CPBW=3,").size(), 1u);
    EXPECT_EQ(book.text(row), before);
    EXPECT_EQ(line.sim->commands().back(), "AT+CSCS=\"GSM\"");
}

// With the phone's other entries deleted, the SIM ends as the section: its
// two entries written at their indexes, the five others gone, every row of
// the SIM as a read then gives it.
TEST_F(Contacts, AWriteOfABookThatDeletesTheOthers)
{
    ASSERT_TRUE(readBooks());
    const at::CpbrRange size = *book.bookSize(u("SM"));
    const int first = book.count() + 1;
    book.appendTexts({HeaderRow(size), EntryRow(size, 1, u("+390123456789"), u("Ufficio")),
                      EntryRow(size, 2, u("3331234567"), u("Zoë")), FooterRow(size)});
    line.sim->clearTranscript();
    std::optional<QString> status;
    {
        phone::Operation operation(line.session);
        status = book.writeBook(operation, first, u("SM"), true);
    }
    EXPECT_EQ(status, u("Scritta 1 voce, 1 già uguale, 5 eliminate.."));
    EXPECT_EQ(sent(line, "AT+CPBW="),
              (std::vector<std::string>{"AT+CPBW=2,\"3331234567\",129,\"005A006F00EB\"", "AT+CPBW=3", "AT+CPBW=5",
                                        "AT+CPBW=6", "AT+CPBW=8", "AT+CPBW=11"}));
    phone::Phonebook fresh(line.session);
    {
        phone::Operation operation(line.session);
        ASSERT_TRUE(fresh.read(operation));
    }
    for (int index = 1; index <= 12; ++index)
        EXPECT_EQ(book.text(book.rowOf(u("SM"), index)), fresh.text(fresh.rowOf(u("SM"), index))) << index;
}

// A phone that puts a "+" before the number it is given for type 145
// never gets one: the number reads back with one "+", never two.
class DoublePlus : public Contacts {
protected:
    DoublePlus() : Contacts("profile = double-plus\n") {}
};

TEST_F(DoublePlus, AnInternationalNumberReadsBackWithOnePlus)
{
    ASSERT_TRUE(readBooks());
    EXPECT_EQ(write({u("SM"), 0, u("Mario"), u("+39 347 1234567")}), u("Contatto scritto: SIM 4.."));
    const std::optional<phone::Entry> held = onThePhone(u("SM"), 4);
    ASSERT_TRUE(held);
    EXPECT_EQ(held->number, u("+393471234567"));
    EXPECT_EQ(held->type, 145);
}

// A phone without UCS2 takes a name in its GSM set only when every
// character goes on the command line as itself: "ò" would be byte 0x08, a
// backspace, and is refused with the reason, nothing sent.
class NoUcs2 : public Contacts {
protected:
    NoUcs2() : Contacts("ucs2 = no\n") {}
};

TEST_F(NoUcs2, NamesTheGsmSetCannotCarryAreRefused)
{
    ASSERT_TRUE(readBooks());
    const phone::Contact accented{u("SM"), 0, u("Nicolò"), u("3331234567")};
    EXPECT_EQ(book.refusal(accented), u("il nome contiene «ò», che il cellulare non accetta senza UCS2"));
    line.sim->clearTranscript();
    EXPECT_EQ(write(accented),
              u("Contatto non scritto (SIM 4): il nome contiene «ò», che il cellulare non accetta senza UCS2.."));
    EXPECT_EQ(writes(line), 0u);

    line.sim->clearTranscript();
    EXPECT_EQ(write({u("SM"), 0, u("Mario Rossi"), u("3331234567")}), u("Contatto scritto: SIM 4.."));
    EXPECT_EQ(sent(line, "AT+CPBW=4"), std::vector<std::string>{"AT+CPBW=4,\"3331234567\",129,\"Mario Rossi\""});
    EXPECT_TRUE(everyLinePrintable(line));
}

// A section of the list written to the SIM stops at the first write the
// phone refuses and says how far it got; the rows of the SIM show the
// entries written before it.
TEST_F(Contacts, AWriteOfABookStopsAtARefusal)
{
    ASSERT_TRUE(readBooks());
    const at::CpbrRange size = *book.bookSize(u("SM"));
    QStringList rows{HeaderRow(size)};
    for (int i = 1; i <= 5; ++i)
        rows << EntryRow(size, i, QStringLiteral("+3933300000%1").arg(i), QStringLiteral("Amico %1").arg(i));
    rows << FooterRow(size);
    const int first = book.count() + 1;
    book.appendTexts(rows);
    ASSERT_EQ(line.sim->control("fault cme on 20 +CPBW=3"), "OK");
    line.sim->clearTranscript();
    std::optional<QString> status;
    {
        phone::Operation operation(line.session);
        status = book.writeBook(operation, first, u("SM"), false);
    }
    ASSERT_TRUE(status);
    EXPECT_EQ(*status, u("Scrittura interrotta a SIM 3 (voce 3 di 5): memoria piena. Scritte 2 voci, 0 già uguali.."));
    EXPECT_EQ(writes(line), 3u);
    EXPECT_EQ(book.entry(book.rowOf(u("SM"), 1))->name, u("Amico 1"));
    EXPECT_EQ(book.entry(book.rowOf(u("SM"), 2))->name, u("Amico 2"));
    EXPECT_EQ(book.entry(book.rowOf(u("SM"), 3))->name, u("Rossi, Giulia"));
    EXPECT_EQ(line.sim->commands().back(), "AT+CSCS=\"GSM\"");
}

} // namespace
