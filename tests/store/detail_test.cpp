// SPDX-License-Identifier: GPL-3.0-or-later
// The detail view: a click on a row of List1 shows that message, marks an
// unread row read and prepares the reply; end to end against the sample
// phone.
#include "store_phone.h"

using namespace storetest;
using store::Padded;

namespace {

const QString Centre20 = Padded(u("+393359609600"), 20);
const char* const PranzoText = "Il pranzo costa 12€ a testa, perché non vieni anche tu? E' già tutto pronto";

// The sample phone with its rows of List1 written as a list read with every
// column and LungNumero 20 writes their heads; the bodies matter only where a
// test says so. The phone book widths are those of a phone-book read. The
// phone and the link keep test time: a phone that never answers takes no
// real time.
class DetailView : public ::testing::Test {
protected:
    void SetUp() override
    {
        phone = connectedPhone(e2e::sampleState(), e2e::Time::Test);
        form().LungNumero = 20;
        form().LungNome = 14;
    }
    Form1& form() { return phone->form(); }

    // Adds a row and clicks it as the user does.
    void click(const QString& row)
    {
        form().List1->AddItem(row);
        form().List1->setListIndex(form().List1->ListCount() - 1);
    }

    std::unique_ptr<e2e::Phone> phone;
};

} // namespace

TEST_F(DetailView, StoreAndSlotFromTheRow)
{
    struct Case {
        const char* row;
        std::vector<std::string> commands;
        const char* text6;
    } const cases[] = {
        {"S: 05/20 ´ x", {"AT+CPMS=SM", "AT+CMGR=5"}, "SIM in posizione 5"},
        {"C: 123/150 ´ x", {"AT+CPMS=ME", "AT+CMGR=123"}, "CELLULARE in posizione 123"},
        {"C: 003/150 ´ x", {"AT+CPMS=ME", "AT+CMGR=3"}, "CELLULARE in posizione 3"},
    };
    for (const Case& c : cases) {
        phone->clearTranscript();
        click(u(c.row));
        EXPECT_EQ(phone->commands(), c.commands) << c.row;
        EXPECT_EQ(form().Text6->text(), u(c.text6));
        EXPECT_TRUE(form().ComandoLibero);
    }
    EXPECT_EQ(form().Beeps, 0);
}

TEST_F(DetailView, SimSelectionGoesOutWithItsLineEnd)
{
    click(u("S: 01/20 ´ x"));
    EXPECT_EQ(phone->sim().received().rfind("AT+CPMS=SM\r\n\rAT+CMGR=1\r", 0), 0u) << phone->sim().received();
    EXPECT_EQ(form().Text3->text(), u(CiaoStaseraText));
}

TEST_F(DetailView, UnreadRowMarkedRead)
{
    // SIM slot 2 holds an unread message. With the service-centre column the
    // status follows " ³ "; without it the row is left alone.
    const QString tail = Padded(u("+393401234567"), 20) + u(" ³ 09:23:11 ³ 16/03/24 ³ Il pranzo");
    const QString unread = u("S: 02/20 ´ ") + Centre20 + u(" ³ Nuovo  ³ ") + tail;
    const QString read = u("S: 02/20 ´ ") + Centre20 + u(" ³ Letto  ³ ") + tail;
    const QString withoutCentre = u("S: 02/20 ´ Nuovo  ³ ") + tail;

    click(unread);
    EXPECT_EQ(form().List1->List(0), read);
    EXPECT_EQ(form().Text8->text(), u("Nuovo")); // what the phone reported for this read
    form().List1->setListIndex(0);
    EXPECT_EQ(form().Text8->text(), u("Letto"));

    click(withoutCentre);
    EXPECT_EQ(form().List1->List(1), withoutCentre);
}

TEST_F(DetailView, SenderFoundInThePhoneBook)
{
    const QString luca = phoneBookRow(2, 3, u("+393401234567"), u("Luca"));
    form().List2->AddItem(QString(60, QChar(0xC4)));
    form().List2->AddItem(phoneBookRow(1, 3, u("+393471234567"), u("Marco")));
    form().List2->AddItem(luca);
    click(u("S: 02/20 ´ x"));

    EXPECT_EQ(form().Text7->text(), u("+393359609600"));
    EXPECT_EQ(form().Text8->text(), u("Nuovo"));
    EXPECT_EQ(form().Label12->text(), u("Mittente ="));
    EXPECT_EQ(form().Text9->text(), Padded(u("Luca"), 14) + u(" ³ +393401234567"));
    EXPECT_EQ(form().Text10->text(), u("09:23:11"));
    EXPECT_EQ(form().Text11->text(), u("16/03/24"));
    EXPECT_EQ(form().Text3->text(), u(PranzoText));
    // The sender's phone-book row is selected; its pick fills the recipient.
    EXPECT_EQ(form().List2->ListIndex(), 2);
    EXPECT_EQ(form().Text2->text(), luca.mid(luca.indexOf(QChar(0xB4)) + 2));
}

// A contact without a name: its number stands for it, in the detail as in
// the list, as for a number with no contact; the reply goes to its row.
TEST_F(DetailView, AContactWithoutANameShowsTheNumber)
{
    const QString nameless = phoneBookRow(2, 3, u("+393401234567"), QString());
    form().List2->AddItem(phoneBookRow(1, 3, u("+393471234567"), u("Marco")));
    form().List2->AddItem(nameless);
    click(u("S: 02/20 ´ x"));
    EXPECT_EQ(form().Text9->text(), u("+393401234567 ³ Non in rubrica.."));
    EXPECT_EQ(form().List2->ListIndex(), 1);
    EXPECT_EQ(form().Text2->text(), nameless.mid(nameless.indexOf(QChar(0xB4)) + 2));

    // The sample's SIM phone book has +393281234567 without a name; its
    // message at SIM 8 shows the number in the list.
    form().List1->Clear();
    form().Command1_Click();
    form().Command4_Click();
    const QString row = form().List1->List(7);
    ASSERT_TRUE(row.startsWith(u("S: 08/20 ´ "))) << row.toStdString();
    EXPECT_TRUE(row.contains(u(" ³ Letto  ³ ") + Padded(u("+393281234567"), form().LungNumero) + u(" ³ ")))
        << row.toStdString();
}

// A message without a number (an empty originator) has no one to reply
// to: the recipient picked for an earlier message does not stay.
TEST_F(DetailView, AMessageWithoutANumberLeavesNoRecipient)
{
    ASSERT_EQ(phone->sim().control("set sms.SM.4 1 07919333950669000400810000424010015100400CD3B25B1F06B9EBEDB2FC0D"),
              "OK");
    form().List2->AddItem(QString(60, QChar(0xC4)));
    form().List2->AddItem(phoneBookRow(1, 3, u("+393401234567"), u("Luca")));
    click(u("S: 02/20 ´ x"));
    ASSERT_EQ(form().List2->ListIndex(), 1); // Luca, the sender of SIM 2
    click(u("S: 04/20 ´ x"));
    EXPECT_EQ(form().Text3->text(), u("Senza numero"));
    EXPECT_EQ(form().Text9->text(), u(" ³ Non in rubrica.."));
    EXPECT_EQ(form().Text2->text(), u(" ³ Non in rubrica.."));
}

TEST_F(DetailView, SenderNotInThePhoneBook)
{
    struct Case {
        const char* name;
        std::vector<QString> phoneBook;
        int selected;
    } const cases[] = {
        {"empty phone book", {}, -1},
        {"other numbers", {phoneBookRow(1, 2, u("+393471234567"), u("Marco"))}, -1},
        // The detail view looks for the number and a blank: a longer number
        // that starts with the sender's is not the sender.
        {"a longer number", {phoneBookRow(1, 2, u("+3934012345678"), u("Zio"))}, 0},
    };
    for (const Case& c : cases) {
        form().List1->Clear();
        form().List2->Clear();
        for (const QString& row : c.phoneBook)
            form().List2->AddItem(row);
        form().Text2->setText(u("before"));
        click(u("S: 02/20 ´ x"));
        EXPECT_EQ(form().Text9->text(), u("+393401234567 ³ Non in rubrica..")) << c.name;
        // The reply searches the phone book for the number alone.
        EXPECT_EQ(form().List2->ListIndex(), c.selected) << c.name;
        if (c.selected < 0) {
            EXPECT_EQ(form().Text2->text(), u("+393401234567 ³ Non in rubrica..")) << c.name;
        }
    }
}

TEST_F(DetailView, StoredOutgoingMessages)
{
    struct Case {
        const char* row;
        const char* status;
        const char* recipient;
    } const cases[] = {
        {"S: 12/20 ´ x", "Da Inviare", "+393331112222 ³ Non in rubrica.."},
        {"S: 14/20 ´ x", "Inviato", "+393479876543 ³ Non in rubrica.."},
    };
    for (const Case& c : cases) {
        click(u(c.row));
        EXPECT_EQ(form().Text8->text(), u(c.status)) << c.row;
        EXPECT_EQ(form().Label12->text(), u("Destinatario =")) << c.row;
        EXPECT_EQ(form().Text9->text(), u(c.recipient)) << c.row;
        EXPECT_EQ(form().Text10->text(), blanks(8)) << c.row;
        EXPECT_EQ(form().Text11->text(), blanks(8)) << c.row;
    }
    EXPECT_EQ(form().Text3->text(), u("Grazie mille per ieri sera!"));
}

TEST_F(DetailView, EmptySlotEmptiesTheFields)
{
    click(u("S: 01/20 ´ x"));
    ASSERT_EQ(form().Text3->text(), u(CiaoStaseraText));
    click(u("S: 04/20 ´ x"));

    EXPECT_EQ(form().Text6->text(), u("SIM in posizione 4"));
    for (TextBox* field : {form().Text7, form().Text8, form().Text9, form().Text10, form().Text11})
        EXPECT_EQ(field->text(), QString()) << field->objectName().toStdString();
    EXPECT_EQ(form().Text3->text(), QString());
    EXPECT_EQ(form().Text2->text(), QString());
    EXPECT_EQ(form().Label12->text(), u("Mittente ="));
}

// A read that fails says so in Text3 and panel 2: nothing of the message
// shown before stays, no row is marked read, no reply is prepared from
// another message's sender.
TEST_F(DetailView, AFailedReadShowsNoOtherMessage)
{
    click(u("S: 01/20 ´ x"));
    ASSERT_EQ(form().Text2->text(), u("+393471234567 ³ Non in rubrica.."));
    form().Text2->setText(u("3331234567"));
    form().InviaAT(u("AT+CMEE=1"));
    phone->sim().control("fault cme on 100 +CMGR");
    const QString unread = u("S: 02/20 ´ +393359609600       ³ Nuovo  ³ x");
    click(unread);

    EXPECT_EQ(form().Text3->text(), u("Lettura sms fallita: errore sconosciuto.."));
    EXPECT_EQ(form().Text6->text(), u("SIM in posizione 2"));
    for (TextBox* field : {form().Text7, form().Text8, form().Text9, form().Text10, form().Text11})
        EXPECT_EQ(field->text(), QString()) << field->objectName().toStdString();
    EXPECT_EQ(form().Label12->text(), QString());
    EXPECT_EQ(form().List1->List(1), unread); // not marked read
    EXPECT_EQ(form().Text2->text(), u("3331234567"));
    EXPECT_EQ(form().StatusBar1->panelText(2), u("Lettura sms fallita: errore sconosciuto.."));
    EXPECT_TRUE(form().ComandoLibero);
}

TEST_F(DetailView, PhoneStoreThatCannotBeSelected)
{
    phone->sim().control("set phone_store no");
    form().Text6->setText(u("SIM in posizione 1"));
    click(u("C: 001/150 ´ x"));

    const std::vector<std::string> selection{"AT+CPMS=ME"};
    EXPECT_EQ(phone->commands(), selection);
    EXPECT_EQ(form().Text6->text(), u("SIM in posizione 1"));
    EXPECT_EQ(form().Text3->text(), u("Memoria cellulare non selezionabile.."));
    EXPECT_EQ(form().StatusBar1->panelText(2), u("Memoria cellulare non selezionabile.."));
    EXPECT_TRUE(form().ComandoLibero);
}

TEST_F(DetailView, NoRowSelected)
{
    form().List1_Click();
    form().List1->AddItem(QString());
    form().List1->setListIndex(0);
    EXPECT_TRUE(phone->commands().empty());
    EXPECT_TRUE(form().ComandoLibero);
    EXPECT_EQ(form().Beeps, 0);
}

// The phone never answers the read: the link gives up with "error" after
// its retransmissions, which the detail view takes like "ERROR".
TEST_F(DetailView, NoAnswerToTheRead)
{
    form().Tempi.deadlineMs = 300;
    click(u("S: 01/20 ´ x"));
    phone->sim().control("fault late on 12000 +CMGR");
    click(u("S: 02/20 ´ x"));

    EXPECT_EQ(form().Text3->text(), u("Lettura sms fallita: il cellulare non risponde.."));
    EXPECT_EQ(form().Text6->text(), u("SIM in posizione 2"));
    EXPECT_EQ(form().Text9->text(), QString());
    EXPECT_EQ(form().List1->List(1), u("S: 02/20 ´ x"));
    EXPECT_EQ(form().StatusBar1->panelText(2), u("Lettura sms fallita: il cellulare non risponde.."));
    EXPECT_TRUE(form().ComandoLibero);
}
