// SPDX-License-Identifier: GPL-3.0-or-later
// The search in the messages ("Cerca negli sms:"), end to end against the
// sample phone of sim/samples/long-messages.state: its phone books and its
// list read by the buttons, the words typed in Text12. The rows that do not
// hold them are hidden, never removed, and every click still works on the
// slot of the row clicked.
#include "store_phone.h"

#include <QTest>

#include <algorithm>

using namespace storetest;

namespace {

const int SimCapacity = 20;
const int PhoneCapacity = 150;

// A slot as the tests name it: "SM 7", "ME 5".
std::string slotName(const store::RowPlace& place) { return (place.sim ? "SM " : "ME ") + std::to_string(place.slot); }

class Search : public ::testing::Test {
protected:
    void SetUp() override
    {
        phone = connectedPhone("include = long-messages.state\n");
        form().show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form()));
        // The senders by their phone-book names, as the user reads them.
        QTest::mouseClick(form().Command1, Qt::LeftButton);
        ASSERT_GT(form().List2->ListCount(), 0);
    }

    // "Leggi elenco SMS da cellulare", with the "Testo." column unticked:
    // no row shows a message's text.
    void readListWithoutTexts()
    {
        if (form().Check6->isChecked())
            QTest::mouseClick(form().Check6, Qt::LeftButton);
        ASSERT_FALSE(form().Check6->isChecked());
        QTest::mouseClick(form().Command4, Qt::LeftButton);
        ASSERT_EQ(statusOf(form()), u("Lettura elenco sms terminata.."));
        ASSERT_EQ(form().List1->ListCount(), SimCapacity + PhoneCapacity);
        phone->clearTranscript();
    }

    // Replaces what Text12 holds with `text`, typed key by key.
    void type(const char* text)
    {
        form().Text12->setFocus();
        QTest::keyClick(form().Text12, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(form().Text12, Qt::Key_Delete);
        QTest::keyClicks(form().Text12, u(text));
        ASSERT_EQ(form().Text12->text(), u(text));
    }

    // The slots of the rows shown, in list order.
    std::vector<std::string> shownSlots()
    {
        std::vector<std::string> shown;
        for (int row = 0; row < form().List1->ListCount(); ++row) {
            if (!form().List1->isRowHidden(row))
                shown.push_back(slotName(form().Messaggi->record(row).place));
        }
        return shown;
    }

    // Clicks the row of a slot as the user does: scrolled to, then clicked.
    void click(bool sim, int slot)
    {
        const int row = sim ? slot - 1 : SimCapacity + slot - 1;
        ASSERT_FALSE(form().List1->isRowHidden(row));
        form().List1->scrollToRow(row);
        QTest::mouseClick(form().List1->viewport(), Qt::LeftButton, {}, form().List1->rowRect(row).center());
        ASSERT_EQ(form().List1->ListIndex(), row);
    }

    // Whether the phone still holds a message at `slot` of `store`.
    bool onThePhone(const std::string& store, int slot)
    {
        const std::string value = phone->sim().control("get sms." + store + "." + std::to_string(slot));
        return !value.empty() && value.rfind("ERROR", 0) != 0;
    }

    Form1& form() { return phone->form(); }
    std::unique_ptr<e2e::Phone> phone;
};

using Slots = std::vector<std::string>;

// Each search finds its messages by number, by phone-book name and by the
// whole decoded text, though no row shows a text: the words of any part
// find every row of a message in parts.
TEST_F(Search, FindsNumbersNamesAndWholeTextsWithTheTextColumnUnticked)
{
    readListWithoutTexts();
    const std::vector<QString> rowsBefore = rowsOf(form().List1);
    struct Case {
        const char* typed;
        Slots shown;
        const char* status;
    } const cases[] = {
        // In the texts, parts included: "Ciao Giulia" is part 1 of SM 9 and
        // 10, "Ciao, sono Marco" part 1 of ME 5, SM 4 and ME 7.
        {"ciao", {"SM 1", "SM 4", "SM 7", "SM 9", "SM 10", "ME 5", "ME 7"}, "7 sms trovati.."},
        // Case and accents: "perché", "caffè".
        {"PERCHE", {"SM 2"}, "1 sms trovato.."},
        {"caffe", {"SM 3"}, "1 sms trovato.."},
        // A phone-book name ("Rossi, Giulia") and a word of the other part.
        {"giulia sabato", {"SM 9", "SM 10"}, "2 sms trovati.."},
        // A name ("Bianchi, Luca" is 3331234567) or a text ("a nome
        // Bianchi", the first part of SM 11 and 13).
        {"bianchi", {"SM 11", "SM 13", "ME 6"}, "3 sms trovati.."},
        // A number as the phone gives it, and part of one.
        {"3331234567", {"ME 6"}, "1 sms trovato.."},
        {"3401234567", {"SM 2", "SM 9", "SM 10", "SM 11", "SM 13", "ME 4"}, "6 sms trovati.."},
        // An alphanumeric sender.
        {"tim credito", {"SM 5"}, "1 sms trovato.."},
        {"ciao xyz", {}, "Nessun sms trovato.."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        type(c.typed);
        EXPECT_EQ(shownSlots(), c.shown);
        EXPECT_EQ(form().StatusBar1->panelText(2), u(c.status));
        // Hidden, not removed: every row is still there as it was.
        EXPECT_EQ(rowsOf(form().List1), rowsBefore);
    }

    // Emptied, the field shows every row again; panel 2 forgets the count.
    type("");
    EXPECT_EQ(shownSlots().size(), size_t(SimCapacity + PhoneCapacity));
    EXPECT_EQ(form().StatusBar1->panelText(2), Form1::Banner);
    EXPECT_EQ(phone->commands(), std::vector<std::string>{}) << "the search asks nothing of the phone";
}

// While rows are hidden, a click shows the message of the row clicked, the
// deletion deletes its slot and nothing else, and "Aggiorna" reads the slot
// of the row it refreshes.
TEST_F(Search, DeletionAndRefreshWhileRowsAreHiddenWorkOnTheRowsSlot)
{
    readListWithoutTexts();
    type("ciao");
    ASSERT_EQ(shownSlots(), (Slots{"SM 1", "SM 4", "SM 7", "SM 9", "SM 10", "ME 5", "ME 7"}));
    const std::vector<QString> rowsBefore = rowsOf(form().List1);

    // SM 7, after hidden rows: its own message in the detail view.
    click(true, 7);
    EXPECT_EQ(form().Text6->text(), u("SIM in posizione 7"));
    EXPECT_TRUE(form().Text3->text().startsWith(u("Ciao "))) << form().Text3->text().toStdString();
    phone->clearTranscript();

    QTest::mouseClick(form().Command6, Qt::LeftButton);
    EXPECT_EQ(phone->commands(), (std::vector<std::string>{"AT+CPMS=SM", "AT+CMGD=7"}));
    EXPECT_FALSE(onThePhone("SM", 7));
    for (int slot : {1, 2, 3, 4, 5, 8, 9, 10})
        EXPECT_TRUE(onThePhone("SM", slot)) << slot;
    EXPECT_TRUE(onThePhone("ME", 5));
    // Its row shows an empty slot, which holds no word: hidden, and no
    // longer selected, so that no further click deletes out of sight.
    std::vector<QString> rowsAfter = rowsBefore;
    rowsAfter[6] = store::RowHead(true, 7, SimCapacity) + store::EmptyBody(form().Colonne(), form().LungNumero);
    EXPECT_EQ(rowsOf(form().List1), rowsAfter);
    ASSERT_TRUE(e2e::waitFor([&] { return shownSlots() == Slots{"SM 1", "SM 4", "SM 9", "SM 10", "ME 5", "ME 7"}; }))
        << testing::PrintToString(shownSlots());
    EXPECT_EQ(form().List1->ListIndex(), -1);

    // A new message in SM 7, from Marco: "Aggiorna" reads that slot again
    // and the search finds it.
    ASSERT_EQ(phone->sim().control(std::string("set sms.SM.7 0 ") + CiaoStasera), "OK");
    phone->clearTranscript();
    QTest::mouseClick(form().Command11, Qt::LeftButton);
    EXPECT_EQ(statusOf(form()), u("Aggiornamento elenco sms terminata.."));
    EXPECT_TRUE(form().List1->List(6).startsWith(u("S: 07/20 ´ "))) << form().List1->List(6).toStdString();
    EXPECT_TRUE(form().List1->List(6).contains(u("Nuovo"))) << form().List1->List(6).toStdString();
    EXPECT_TRUE(e2e::waitFor([&] {
        return shownSlots() == Slots{"SM 1", "SM 4", "SM 7", "SM 9", "SM 10", "ME 5", "ME 7"};
    })) << testing::PrintToString(shownSlots());
    for (int row = 0; row < form().List1->ListCount(); ++row) {
        if (row != 6) {
            EXPECT_EQ(form().List1->List(row), rowsBefore[size_t(row)]) << row;
        }
    }

    // Every row again, the deleted and refreshed one in its place.
    type("");
    EXPECT_EQ(shownSlots().size(), size_t(SimCapacity + PhoneCapacity));
}

// A message that arrives while a search is typed takes its row, in view
// when it holds the words, hidden when it does not.
TEST_F(Search, AMessageThatArrivesIsSearchedAsItComes)
{
    form().Notifica = [](const QString&, const QString&) {};
    readListWithoutTexts();
    type("stasera");
    ASSERT_EQ(shownSlots(), Slots{"SM 1"});

    ASSERT_EQ(phone->sim().control(std::string("deliver SM 6 0 ") + ChiaviTrovate), "OK");
    ASSERT_EQ(phone->sim().control(std::string("deliver SM 15 0 ") + CiaoStasera), "OK");
    EXPECT_TRUE(e2e::waitFor([&] {
        return form().List1->List(5).contains(u("Nuovo")) && form().List1->List(14).contains(u("Nuovo"));
    })) << form().List1->List(5).toStdString();
    EXPECT_TRUE(e2e::waitFor([&] {
        return shownSlots() == Slots{"SM 1", "SM 15"};
    })) << testing::PrintToString(shownSlots());
}

// A search typed before the list is read applies to the rows the read
// writes, as they come.
TEST_F(Search, AListReadWhileASearchIsTypedShowsWhatItFinds)
{
    type("bianchi");
    EXPECT_EQ(form().StatusBar1->panelText(2), u("Elenco sms non caricato.."));
    readListWithoutTexts();
    EXPECT_TRUE(e2e::waitFor([&] {
        return shownSlots() == Slots{"SM 11", "SM 13", "ME 6"};
    })) << testing::PrintToString(shownSlots());
}

} // namespace
