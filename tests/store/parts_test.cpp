// SPDX-License-Identifier: GPL-3.0-or-later
// Messages that came in parts, read as one: opening any part shows the
// whole message in Text3, joined in part order from both stores, with a
// note where a part is missing, and panel 2 names the slots; List1 keeps
// one row per slot. End to end against the sample phone of
// sim/samples/long-messages.state, its list read by a click on Command4.
#include "store_phone.h"

#include <QTest>

using namespace storetest;

namespace {

const char* const Cena = "Ciao Giulia, ti scrivo per la cena di sabato: abbiamo prenotato da Mario alle 20:30, siamo "
                         "in otto. Porta tu il dolce? Io penso al vino e ai fiori, ok? B";
const char* const Riunione1 = "Ciao, sono Marco: domani la riunione ";
const char* const Riunione2 = "è spostata alle 15:00 in sala B, ";
const char* const Riunione3 = "porta i conti del trimestre. A dopo!";

const int SimCapacity = 20;

class Parts : public ::testing::Test {
protected:
    // The sample phone with `overrides`, its list read as the user reads it.
    void readList(const std::string& overrides = std::string())
    {
        phone = connectedPhone("include = long-messages.state\n" + overrides);
        form().show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form()));
        QTest::mouseClick(form().Command4, Qt::LeftButton);
        ASSERT_EQ(statusOf(form()), u("Lettura elenco sms terminata.."));
        phone->clearTranscript();
    }
    Form1& form() { return phone->form(); }

    static int positionOf(bool sim, int slot) { return sim ? slot - 1 : SimCapacity + slot - 1; }

    // Clicks the row of a slot as the user does: scrolled to, then clicked.
    void open(bool sim, int slot)
    {
        const int row = positionOf(sim, slot);
        ASSERT_LT(row, form().List1->ListCount());
        form().List1->scrollToRow(row);
        QTest::mouseClick(form().List1->viewport(), Qt::LeftButton, {}, form().List1->rowRect(row).center());
    }

    std::unique_ptr<e2e::Phone> phone;
};

TEST_F(Parts, OpenedPartShowsTheWholeMessage)
{
    struct Case {
        const char* name;
        std::string overrides;
        bool sim;
        int slot;
        QString text;
        const char* status;
        std::vector<std::string> commands;
    } const cases[] = {
        // Part 2 is stored before part 1; either shows the message in part
        // order, the other part read from the store already selected.
        {"the pair from part 1",
         "",
         true,
         10,
         u(Cena) + u("aci, Marta"),
         "SMS in 2 parti: S:10, S:09",
         {"AT+CPMS=SM", "AT+CMGR=10", "AT+CMGR=9"}},
        {"the pair from part 2",
         "",
         true,
         9,
         u(Cena) + u("aci, Marta"),
         "SMS in 2 parti: S:10, S:09",
         {"AT+CPMS=SM", "AT+CMGR=9", "AT+CMGR=10"}},
        {"three parts over both stores",
         "",
         true,
         4,
         u(Riunione1) + u(Riunione2) + u(Riunione3),
         "SMS in 3 parti: C:005, S:04, C:007",
         {"AT+CPMS=SM", "AT+CMGR=4", "AT+CPMS=ME", "AT+CMGR=5", "AT+CMGR=7"}},
        {"part 2 of 3 missing",
         "sms.SM.4 =\n",
         false,
         5,
         u(Riunione1) + u("[parte 2 di 3 mancante]") + u(Riunione3),
         "SMS in 3 parti: C:005, C:007 (parte 2 mancante)",
         {"AT+CPMS=ME", "AT+CMGR=5", "AT+CMGR=7"}},
        {"part 3 of 3 missing",
         "sms.ME.7 =\n",
         true,
         4,
         u(Riunione1) + u(Riunione2) + u("[parte 3 di 3 mancante]"),
         "SMS in 3 parti: C:005, S:04 (parte 3 mancante)",
         {"AT+CPMS=SM", "AT+CMGR=4", "AT+CPMS=ME", "AT+CMGR=5"}},
        // The same sender's messages with other references are not mixed:
        // SIM 13 is part 2 of 2 from the same number, of reference 168.
        {"the sender's next message",
         "",
         true,
         11,
         u("Dimenticavo: il tavolo è a nome Bianchi, chiedi di Mario all'ingresso."),
         "SMS in 2 parti: S:11, S:13",
         {"AT+CPMS=SM", "AT+CMGR=11", "AT+CMGR=13"}},
        {"no other reference's part in a gap",
         "sms.SM.9 =\n",
         true,
         10,
         u(Cena) + u("[parte 2 di 2 mancante]"),
         "SMS in 2 parti: S:10 (parte 2 mancante)",
         {"AT+CPMS=SM", "AT+CMGR=10"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        readList(c.overrides);
        open(c.sim, c.slot);
        EXPECT_EQ(form().Text3->text(), c.text);
        EXPECT_EQ(form().StatusBar1->panelText(2), u(c.status));
        EXPECT_EQ(phone->commands(), c.commands);
        EXPECT_EQ(form().Text6->text(),
                  (c.sim ? u("SIM") : u("CELLULARE")) + u(" in posizione ") + QString::number(c.slot));
        EXPECT_TRUE(form().ComandoLibero);
        EXPECT_EQ(form().Beeps, 0);
    }
}

// The rows stay one per slot, each with its own part; opening the message
// marks every part read, as the phone does when it gives them; a deletion
// deletes the one slot selected.
TEST_F(Parts, RowsAndDeletionStayBySlot)
{
    readList();
    ASSERT_EQ(form().List1->ListCount(), 20 + 150);
    const QString part2 = form().List1->List(positionOf(true, 9));
    const QString part1 = form().List1->List(positionOf(true, 10));
    EXPECT_TRUE(part2.startsWith(u("S: 09/20 ´ ")) && part2.endsWith(u(" ³ aci, Marta"))) << part2.toStdString();
    EXPECT_TRUE(part1.startsWith(u("S: 10/20 ´ ")) && part1.endsWith(u(" ³ ") + u(Cena))) << part1.toStdString();
    for (const QString& row : {part1, part2})
        ASSERT_TRUE(row.contains(u(" ³ Nuovo  ³ "))) << row.toStdString();

    open(true, 10);
    QString read2 = part2;
    QString read1 = part1;
    read2.replace(u(" ³ Nuovo  ³ "), u(" ³ Letto  ³ "));
    read1.replace(u(" ³ Nuovo  ³ "), u(" ³ Letto  ³ "));
    EXPECT_EQ(form().List1->List(positionOf(true, 9)), read2);
    EXPECT_EQ(form().List1->List(positionOf(true, 10)), read1);

    phone->clearTranscript();
    QTest::mouseClick(form().Command6, Qt::LeftButton);
    EXPECT_EQ(phone->commands(), (std::vector<std::string>{"AT+CPMS=SM", "AT+CMGD=10"}));
    EXPECT_EQ(form().List1->List(positionOf(true, 10)),
              u("S: 10/20 ´ ") + store::EmptyBody(allColumns(), form().LungNumero));
    EXPECT_EQ(form().List1->List(positionOf(true, 9)), read2);
    const std::string state = phone->sim().control("dump");
    EXPECT_EQ(state.find("sms.SM.10 = "), std::string::npos);
    EXPECT_NE(state.find("sms.SM.9 = "), std::string::npos);

    // The deleted part is not looked for again.
    phone->clearTranscript();
    open(true, 9);
    EXPECT_EQ(form().Text3->text(), u("[parte 1 di 2 mancante]aci, Marta"));
    EXPECT_EQ(form().StatusBar1->panelText(2), u("SMS in 2 parti: S:09 (parte 1 mancante)"));
    EXPECT_EQ(phone->commands(), (std::vector<std::string>{"AT+CPMS=SM", "AT+CMGR=9"}));
}

// Panel 2 names the slots of a message in parts while it is shown: the
// next message opened, sent whole, empty or unreadable, takes that away.
TEST_F(Parts, TheSlotsOfTheLastMessageInPartsGoWithIt)
{
    readList();
    const QString pair = u("SMS in 2 parti: S:10, S:09");
    const std::pair<bool, int> others[] = {
        {true, 1},  // a message sent whole
        {true, 2},  // an empty slot
        {false, 5}, // another message in parts: its own slots
    };
    for (const auto& [sim, slot] : others) {
        SCOPED_TRACE(slot);
        open(true, 10);
        ASSERT_EQ(form().StatusBar1->panelText(2), pair);
        open(sim, slot);
        EXPECT_NE(form().StatusBar1->panelText(2), pair);
    }
    EXPECT_EQ(form().StatusBar1->panelText(2), u("SMS in 3 parti: C:005, S:04, C:007"));
    open(true, 1);
    EXPECT_EQ(form().StatusBar1->panelText(2), Form1::Banner);
    // A text of another's, written since, stays.
    open(true, 10);
    form().Stato(u("Nuovo SMS da Mario"));
    open(true, 1);
    EXPECT_EQ(form().StatusBar1->panelText(2), u("Nuovo SMS da Mario"));
}

// A part that came after the list was read is found once "Aggiorna" has
// read its slot again.
TEST_F(Parts, PartArrivedAfterTheListRead)
{
    readList("sms.SM.9 =\n");
    open(true, 10);
    ASSERT_EQ(form().Text3->text(), u(Cena) + u("[parte 2 di 2 mancante]"));
    const std::string part2 = "0 0791933395066900440C9193431032547600004230029133944011050003A70202C2E3340BD40CCBE961";
    ASSERT_EQ(phone->sim().control("deliver SM 9 " + part2), "OK");
    QTest::mouseClick(form().Command11, Qt::LeftButton);
    ASSERT_TRUE(form().List1->List(positionOf(true, 9)).endsWith(u(" ³ aci, Marta")));

    open(true, 10);
    EXPECT_EQ(form().Text3->text(), u(Cena) + u("aci, Marta"));
    EXPECT_EQ(form().StatusBar1->panelText(2), u("SMS in 2 parti: S:10, S:09"));
}

// A slot that holds something else than when the list was read (another
// program deleted the part, another message came in its place) gives no
// part: each part is read again before it is shown.
TEST_F(Parts, PartReplacedSinceTheListWasRead)
{
    readList();
    // Part 2 of 2 from the same sender, of another reference.
    const std::string other = phone->sim().control("get sms.SM.13");
    ASSERT_EQ(phone->sim().control("delete SM 9"), "OK");
    ASSERT_EQ(phone->sim().control("deliver SM 9 " + other), "OK");
    phone->clearTranscript();

    open(true, 10);
    EXPECT_EQ(form().Text3->text(), u(Cena) + u("[parte 2 di 2 mancante]"));
    EXPECT_EQ(form().StatusBar1->panelText(2), u("SMS in 2 parti: S:10 (parte 2 mancante)"));
    EXPECT_EQ(phone->commands(), (std::vector<std::string>{"AT+CPMS=SM", "AT+CMGR=10", "AT+CMGR=9"}));
}

} // namespace
