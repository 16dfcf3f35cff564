// SPDX-License-Identifier: GPL-3.0-or-later
// The conversation with one person, through the window against the
// simulated phone: opened from List1's context menu and by a double click,
// the messages of both stores with that number and those sent from here in
// time order, a message in parts whole, a reply sent from it and its
// delivery, and a message that arrives while it is open.
#include "store_phone.h"

#include "pdu/pdu.h"
#include "phone/sending/sent_record.h"

#include <QDialog>
#include <QFile>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace storetest;

namespace {

// The Italian phone with messages in parts: +393471234567, Marco Rossi in
// the phone book, wrote SIM 1 and SIM 7, and the three parts at ME 5, SIM 4
// and ME 7; ME 3 is a message to him stored as sent.
class Conversation : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_folder.isValid());
        m_before = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_folder.path()));
        phone = connectedPhone("include = long-messages.state\nreport.delay_ms = 50\nreport.time = 241210153012\n");
        form().show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form()));
        form().Command1_Click();
        form().Command4_Click();
        ASSERT_EQ(form().List1->ListCount(), 170);
    }
    void TearDown() override
    {
        phone.reset();
        qputenv("XDG_DATA_HOME", m_before);
    }
    Form1& form() { return phone->form(); }
    static int sim(int slot) { return slot - 1; }
    static int me(int slot) { return 20 + slot - 1; }

    QList<QDialog*> dialogs() { return form().findChildren<QDialog*>(QStringLiteral("Conversazione")); }
    // Opens the conversation from the context menu of row `position`.
    QDialog* openFromMenu(int position, const QString& caption)
    {
        QWidget* rows = form().List1->viewport();
        QMenu* menu = e2e::rightClickMenu(rows, form().List1->rowRect(position).center());
        EXPECT_NE(menu, nullptr);
        if (!menu)
            return nullptr;
        QAction* open = nullptr;
        for (QAction* action : menu->actions()) {
            if (action->text().startsWith(u("Conversazione con ")))
                open = action;
        }
        EXPECT_NE(open, nullptr);
        if (!open)
            return nullptr;
        EXPECT_EQ(open->text(), caption);
        const int before = int(dialogs().size());
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(open).center());
        EXPECT_TRUE(e2e::waitFor([&] { return int(dialogs().size()) > before; }));
        return dialogs().isEmpty() ? nullptr : dialogs().last();
    }
    // A double click as the window system makes it: a click, then the
    // second press as a double click, and its release.
    static void doubleClick(QWidget* rows, const QPoint& at)
    {
        QTest::mouseClick(rows, Qt::LeftButton, {}, at);
        QTest::mouseDClick(rows, Qt::LeftButton, {}, at);
        QTest::mouseRelease(rows, Qt::LeftButton, {}, at);
    }
    static QStringList items(QDialog* dialog)
    {
        QStringList texts;
        auto* list = dialog->findChild<QListWidget*>(QStringLiteral("Messaggi"));
        for (int i = 0; list && i < list->count(); ++i)
            texts << list->item(i)->text();
        return texts;
    }
    // The whole text of the message at row `position`, as its detail shows it.
    QString detailText(int position)
    {
        form().List1->setListIndex(position);
        EXPECT_TRUE(e2e::waitFor([&] { return form().ComandoLibero; }));
        return form().Text3->text();
    }

    std::unique_ptr<e2e::Phone> phone;

private:
    QTemporaryDir m_folder;
    QByteArray m_before;
};

TEST_F(Conversation, BothStoresSentAndALongMessageInTimeOrderThenAReply)
{
    const QString inParts = detailText(me(5));
    ASSERT_TRUE(inParts.startsWith(u("Ciao, sono Marco"))) << inParts.toStdString();
    const QString ciao = detailText(sim(1));
    ASSERT_EQ(ciao, u(CiaoStaseraText));
    // Sent from here before, to his number without the country code.
    form().Text2->setText(u("3471234567"));
    form().Text1->setText(u("Da casa"));
    form().Command5_Click();
    ASSERT_EQ(form().StatusBar1->panelText(2), u("SMS inviato.."));

    QDialog* dialog = openFromMenu(sim(1), u("Conversazione con Marco Rossi…"));
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->windowTitle(), u("Conversazione con Marco Rossi"));
    EXPECT_FALSE(dialog->isModal());
    const QStringList shown = items(dialog);
    ASSERT_EQ(shown.size(), 5) << shown.join(u("\n---\n")).toStdString();
    // Stored without a time, first; then by the centre's stamps; then what
    // was sent today.
    EXPECT_TRUE(shown[0].startsWith(u("→ in memoria (inviato), CELLULARE 3\n")));
    EXPECT_EQ(shown[1], u("15/03/24 18:42:07  ← ricevuto, SIM 1\n") + ciao);
    EXPECT_TRUE(shown[2].startsWith(u("18/03/24 22:05:12  ← ricevuto, SIM 7\n")));
    EXPECT_TRUE(shown[3].endsWith(u("  ← ricevuto, SIM 4 + CELLULARE 5 + CELLULARE 7\n") + inParts))
        << shown[3].toStdString();
    EXPECT_TRUE(shown[4].endsWith(u("  → inviato\nDa casa")));
    for (const QString& other : {u("Rossi, Giulia"), u(AuguriNataleText)})
        EXPECT_FALSE(shown.join(QLatin1Char('\n')).contains(other));

    // A reply, with "Ricevuta" ticked in the window.
    form().Check2->click();
    auto* reply = dialog->findChild<QPlainTextEdit*>(QStringLiteral("Risposta"));
    auto* send = dialog->findChild<QPushButton*>(QStringLiteral("Invia"));
    ASSERT_NE(reply, nullptr);
    ASSERT_NE(send, nullptr);
    EXPECT_FALSE(send->isEnabled()); // nothing to send yet
    QTest::keyClicks(reply, u("Arrivo!"));
    EXPECT_EQ(dialog->findChild<QLabel*>(QStringLiteral("Contatore"))->text(), u("7/160"));
    phone->clearTranscript();
    QTest::mouseClick(send, Qt::LeftButton);
    ASSERT_TRUE(e2e::waitFor([&] { return form().ComandoLibero; }));
    EXPECT_EQ(form().StatusBar1->panelText(2).left(12), u("SMS inviato.").left(12));
    ASSERT_EQ(phone->sim().sentPdus().size(), 2u); // "Da casa", then the reply
    const QString pdu = QString::fromStdString(phone->sim().sentPdus().back());
    EXPECT_EQ(RivNumMT(2, pdu), u("+393471234567"));
    EXPECT_EQ(RivTesto(2, pdu), u("Arrivo!"));
    const int firstOctet = 2 * (pdu.left(2).toInt(nullptr, 16) + 1); // after the service centre
    EXPECT_EQ(pdu.mid(firstOctet, 2), u("31"));                      // a report asked for
    EXPECT_TRUE(reply->toPlainText().isEmpty());
    EXPECT_EQ(form().Label8->text(), u("2"));
    // It shows at the end, then its delivery.
    ASSERT_TRUE(e2e::waitFor([&] { return items(dialog).size() == 6; }));
    ASSERT_TRUE(e2e::waitFor([&] { return items(dialog).last().endsWith(u("  → consegnato alle 15:30\nArrivo!")); }))
        << items(dialog).last().toStdString();
}

// What arrives from him while the conversation is open takes its place in
// it; what arrives from another does not.
TEST_F(Conversation, AMessageThatArrivesWhileItIsOpen)
{
    QDialog* dialog = openFromMenu(sim(1), u("Conversazione con Marco Rossi…"));
    ASSERT_NE(dialog, nullptr);
    const int before = int(items(dialog).size());
    ASSERT_EQ(phone->sim().control(std::string("deliver SM 15 0 ") + AuguriNatale), "OK");
    ASSERT_TRUE(e2e::waitFor([&] { return form().List1->List(sim(15)).contains(u(AuguriNataleText)); }));
    ASSERT_EQ(phone->sim().control(std::string("deliver SM 6 0 ") + CiaoStasera), "OK");
    ASSERT_TRUE(e2e::waitFor([&] { return int(items(dialog).size()) == before + 1; }));
    EXPECT_TRUE(items(dialog).contains(u("15/03/24 18:42:07  ← ricevuto, SIM 6\n") + u(CiaoStaseraText)));
    EXPECT_FALSE(items(dialog).join(QLatin1Char('\n')).contains(u(AuguriNataleText)));
}

// Connecting again empties the list: the conversation keeps what was sent
// and says why the rest is gone, until the list is read again.
TEST_F(Conversation, AfterAReconnectionUntilTheListIsRead)
{
    form().Text2->setText(u("+393471234567"));
    form().Text1->setText(u("Da casa"));
    form().Command5_Click();
    QDialog* dialog = openFromMenu(sim(1), u("Conversazione con Marco Rossi…"));
    ASSERT_NE(dialog, nullptr);
    const int before = int(items(dialog).size());
    form().Command2_Click();
    ASSERT_TRUE(phone->connect());
    ASSERT_TRUE(e2e::waitFor([&] { return items(dialog).size() == 2; }));
    EXPECT_TRUE(items(dialog)[0].startsWith(u("Elenco sms non letto")));
    EXPECT_TRUE(items(dialog)[1].endsWith(u("  → inviato\nDa casa")));
    form().Command4_Click();
    ASSERT_TRUE(e2e::waitFor([&] { return int(items(dialog).size()) == before; }));
    EXPECT_FALSE(items(dialog)[0].startsWith(u("Elenco sms non letto")));
}

// A double click opens it too; the same person's conversation opens once,
// another person's beside it.
TEST_F(Conversation, ADoubleClickOpensItOncePerPerson)
{
    QWidget* rows = form().List1->viewport();
    doubleClick(rows, form().List1->rowRect(sim(1)).center());
    ASSERT_TRUE(e2e::waitFor([&] { return dialogs().size() == 1; }));
    EXPECT_EQ(dialogs()[0]->windowTitle(), u("Conversazione con Marco Rossi"));
    ASSERT_TRUE(e2e::waitFor([&] { return form().ComandoLibero; }));
    EXPECT_EQ(form().Beeps, 0); // the second click of a double click is no click
    doubleClick(rows, form().List1->rowRect(me(7)).center());
    ASSERT_TRUE(e2e::waitFor([&] { return form().ComandoLibero; }));
    EXPECT_EQ(dialogs().size(), 1);
    QDialog* giulia = openFromMenu(sim(9), u("Conversazione con Rossi, Giulia…"));
    ASSERT_NE(giulia, nullptr);
    EXPECT_EQ(dialogs().size(), 2);
    // An empty slot offers no conversation.
    QMenu* menu = e2e::rightClickMenu(rows, form().List1->rowRect(sim(16)).center());
    ASSERT_NE(menu, nullptr);
    for (QAction* action : menu->actions())
        EXPECT_FALSE(action->text().startsWith(u("Conversazione")));
    menu->close();
}

} // namespace
