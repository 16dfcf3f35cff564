// SPDX-License-Identifier: GPL-3.0-or-later
// "Invia SMS" to several recipients against the simulated phone: each in
// turn with all its parts, one refused by the network while the others
// go, the same number once, a bad recipient named and nothing sent, and an
// entry of the phone book added to "Invio a:" from its context menu.
#include "support/e2e.h"

#include "pdu/pdu.h"
#include "phonebook/qstring_printer.h"

#include <gtest/gtest.h>

#include <QTest>
#include <QTimer>

#include <algorithm>
#include <string>
#include <vector>

namespace {

QString u(const char* utf8) { return QString::fromUtf8(utf8); }

class Recipients : public ::testing::Test {
protected:
    // The sample phone (its phone book has "Rossi, Giulia" at +393401234567),
    // whose network refuses what goes to 3401234567, with or without +39.
    Recipients()
        : phone(e2e::sampleState("smsc = \"+3912345678\",145\nfault.refuse = on 330 3401234567 +393401234567\n"),
                e2e::Time::Test)
    {
    }

    void SetUp() override
    {
        ASSERT_TRUE(phone.connect());
        form.Text4->setText(QStringLiteral("+3912345678"));
        form.Text1->setText(QStringLiteral("abc"));
        phone.clearTranscript();
    }
    QString panel2() const { return form.StatusBar1->panelText(2); }

    // Clicks "Invia SMS" and keeps each text panel 2 shows meanwhile.
    QStringList send()
    {
        QStringList shown;
        QTimer watch;
        watch.setInterval(0);
        QObject::connect(&watch, &QTimer::timeout, [&] {
            if (shown.isEmpty() || shown.last() != panel2())
                shown << panel2();
        });
        watch.start();
        QTest::mouseClick(form.Command5, Qt::LeftButton);
        watch.stop();
        shown.removeAll(u("Invio SMS in corso.."));
        if (shown.isEmpty() || shown.last() != panel2())
            shown << panel2();
        return shown;
    }
    // The destination of each PDU the phone was given, in order.
    std::vector<QString> destinations() const
    {
        std::vector<QString> to;
        for (const std::string& line : phone.commands()) {
            if (!line.empty() && line.back() == '\x1a')
                to.push_back(RivNumMT(2, QString::fromStdString(line.substr(0, line.size() - 1))));
        }
        return to;
    }

    e2e::Phone phone;
    Form1& form = phone.form();
};

TEST_F(Recipients, ThreeInTurnOneRefusedByTheNetwork)
{
    form.Text2->setText(u("3471234567; 3401234567 ³ Mario Rossi, +39 328 123 4567"));
    const QStringList shown = send();
    EXPECT_EQ(shown, (QStringList{u("Invio a 1 di 3: 3471234567.."), u("Invio a 2 di 3: Mario Rossi.."),
                                  u("Invio a 3 di 3: +39 328 123 4567.."),
                                  u("Inviato a 2 di 3: non inviato a Mario Rossi (numero del centro servizi "
                                    "sconosciuto)..")}));
    EXPECT_EQ(form.Label8->text(), u("2"));
    // Each PDU went once, to its recipient, in the order written.
    EXPECT_EQ(destinations(), (std::vector<QString>{u("3471234567"), u("3401234567"), u("+393281234567")}));
    EXPECT_EQ(phone.sim().sentPdus().size(), 2u);
    EXPECT_TRUE(form.ComandoLibero);
    EXPECT_EQ(form.Text2->text(), u("3471234567; 3401234567 ³ Mario Rossi, +39 328 123 4567"));
}

// With "SMS lungo", every part goes to one recipient before the next, and
// Label8 counts every part.
TEST_F(Recipients, EveryPartToOneBeforeTheNext)
{
    form.Check8->click();
    form.Text1->setText(QString(200, QLatin1Char('x')));
    form.Text2->setText(u("3471234567, 3331234567"));
    EXPECT_EQ(send().last(), u("Inviato a 2 destinatari.."));
    EXPECT_EQ(form.Label8->text(), u("4"));
    EXPECT_EQ(destinations(),
              (std::vector<QString>{u("3471234567"), u("3471234567"), u("3331234567"), u("3331234567")}));

    // The network takes one part more, then refuses: the first recipient
    // had part 1, the second nothing; each is named with its part.
    ASSERT_EQ(phone.sim().control("fault reject on 330 1"), "OK");
    phone.clearTranscript();
    EXPECT_EQ(send().last(), u("Inviato a 0 di 2: non inviato a 3471234567 (parte 2 di 2: numero del centro servizi "
                               "sconosciuto), non inviato a 3331234567 (parte 1 di 2: numero del centro servizi "
                               "sconosciuto).."));
    EXPECT_EQ(form.Label8->text(), u("5"));
    EXPECT_EQ(destinations(), (std::vector<QString>{u("3471234567"), u("3471234567"), u("3331234567")}));
}

// A phone that stops answering stops the send: the recipients after it
// get nothing, and nothing is sent again. The second recipient's number is
// the only one of twelve digits, so its "+CMGS=17" is the one the phone
// never answers.
TEST_F(Recipients, ASilentPhoneStopsTheSend)
{
    ASSERT_EQ(phone.sim().control("fault late on 600000 AT+CMGS=17"), "OK");
    form.Text2->setText(u("3471234567; +393331234567; 3281234567; 3291234567"));
    const QString end = send().last();
    EXPECT_TRUE(end.startsWith(u("Inviato a 1 di 4: invio interrotto a +393331234567 ("))) << end.toStdString();
    EXPECT_TRUE(end.endsWith(u("), non inviato agli altri 2.."))) << end.toStdString();
    EXPECT_EQ(form.Label8->text(), u("1"));
    EXPECT_EQ(destinations(), std::vector<QString>{u("3471234567")});
    const std::vector<std::string> commands = phone.commands();
    EXPECT_EQ(std::count(commands.begin(), commands.end(), std::string("AT+CMGS=17")), 1);
    EXPECT_TRUE(form.ComandoLibero);
}

// A line lost in the middle stops the send as a silent phone does.
TEST_F(Recipients, ALostLineStopsTheSend)
{
    ASSERT_EQ(phone.sim().control("fault drop on AT+CMGS=17"), "OK");
    form.Text2->setText(u("3471234567; +393331234567; 3281234567"));
    const QString end = send().last();
    EXPECT_TRUE(end.startsWith(u("Inviato a 1 di 3: invio interrotto a +393331234567"))) << end.toStdString();
    EXPECT_TRUE(end.endsWith(u("non inviato all'ultimo.."))) << end.toStdString();
    EXPECT_EQ(form.StatusBar1->panelText(1), u("DICONNESSO"));
    EXPECT_EQ(form.Label8->text(), u("1"));
    EXPECT_EQ(destinations(), std::vector<QString>{u("3471234567")});
    EXPECT_TRUE(form.ComandoLibero);
}

TEST_F(Recipients, TheSameNumberGoesOnce)
{
    form.Text2->setText(u("347 123 4567, 3471234567; 00393281234567 ; +39 328 1234567;"));
    EXPECT_EQ(send().last(), u("Inviato a 2 destinatari.."));
    // The first way each was written is the one dialled.
    EXPECT_EQ(destinations(), (std::vector<QString>{u("3471234567"), u("00393281234567")}));
    EXPECT_EQ(form.Label8->text(), u("2"));
    // Written twice, one recipient: a send as to one.
    phone.clearTranscript();
    form.Text2->setText(u("3471234567; 347-1234567"));
    EXPECT_EQ(send().last(), u("SMS inviato.."));
    EXPECT_EQ(destinations(), std::vector<QString>{u("3471234567")});
}

// A recipient that is no number is named, and nothing goes to anyone.
TEST_F(Recipients, ABadRecipientIsNamedAndNothingIsSent)
{
    const std::pair<const char*, const char*> cases[] = {
        {"3471234567, Mraio", "Destinatario non valido: «Mraio»!!"},
        {"Mraio ³ Mario; 3471234567", "Destinatario non valido: «Mraio»!!"},
        {"3471234567; 347 12x 4567", "Destinatario non valido: «347 12x 4567»!!"},
        {"Mraio", "Destinatario non valido!!"}, // one recipient: as ever
        {" ; , ³ Ufficio", "Manca destiantario!!"},
    };
    for (const auto& [field, box] : cases) {
        SCOPED_TRACE(field);
        form.Text2->setText(u(field));
        e2e::MessageBoxes boxes;
        QTest::mouseClick(form.Command5, Qt::LeftButton);
        ASSERT_EQ(boxes.seen.size(), 1u);
        EXPECT_EQ(boxes.seen[0].text, u(box));
        EXPECT_EQ(boxes.seen[0].title, u("ERRORE!!"));
        EXPECT_TRUE(phone.commands().empty());
        EXPECT_EQ(form.Label8->text(), u("0"));
        EXPECT_TRUE(form.ComandoLibero);
    }
}

// "Aggiungi ai destinatari" on an entry of the phone book puts it after
// the recipients already written; a click on an entry still replaces them.
TEST_F(Recipients, AnEntryAddedFromThePhoneBook)
{
    form.Command1_Click(); // the sample phone book: 3 is "Rossi, Giulia"
    int giulia = -1;
    for (int row = 0; row < form.List2->ListCount() && giulia < 0; ++row) {
        if (form.List2->List(row).contains(u("Rossi, Giulia")))
            giulia = row;
    }
    ASSERT_GE(giulia, 0);
    form.Text2->setText(u("3471234567"));
    QWidget* rows = form.List2->viewport();
    const QPoint at = form.List2->rowRect(giulia).center();
    QMenu* menu = e2e::rightClickMenu(rows, at);
    ASSERT_NE(menu, nullptr);
    QAction* add = menu->actions().first();
    ASSERT_EQ(add->text(), u("Aggiungi ai destinatari"));
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(add).center());
    ASSERT_TRUE(e2e::waitFor([&] { return form.Text2->text() != u("3471234567"); }));
    EXPECT_EQ(form.Text2->text(), u("3471234567; +393401234567 ³ Rossi, Giulia"));

    phone.clearTranscript();
    const QStringList shown = send();
    // A number written without its country code is named as the book has it with one.
    EXPECT_TRUE(shown.contains(u("Invio a 1 di 2: Marco Rossi..")));
    EXPECT_TRUE(shown.contains(u("Invio a 2 di 2: Rossi, Giulia..")));
    EXPECT_EQ(shown.last(), u("Inviato a 1 di 2: non inviato a Rossi, Giulia (numero del centro servizi "
                              "sconosciuto).."));
    EXPECT_EQ(destinations(), (std::vector<QString>{u("3471234567"), u("+393401234567")}));
}

} // namespace
