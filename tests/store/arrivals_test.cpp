// SPDX-License-Identifier: GPL-3.0-or-later
// Messages and status reports that arrive while the program is connected,
// end to end: the simulator stores a message and tells it with +CMTI, or
// reports on a message sent with "Ricevuta", and the window shows it with
// no click of the user's.
#include "store_phone.h"

#include "phone/messages/message_rows.h"

#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <algorithm>

using namespace storetest;

namespace {

struct Notified {
    QString title;
    QString text;
};

// A connected phone whose window records the desktop notifications it
// would show, with Mario in the phone book.
class Arrivals : public testing::Test {
protected:
    void open(const std::string& extra = std::string())
    {
        phone = connectedPhone(smallPhone(extra));
        form().Notifica = [this](const QString& title, const QString& text) { notified.push_back({title, text}); };
        form().List2->AddItem(phoneBookRow(1, 10, u("+393471234567"), u("Mario")));
    }
    Form1& form() { return phone->form(); }
    std::string control(const std::string& command) { return phone->sim().control(command); }
    // Reads the list as the user does, and forgets its commands.
    void readList()
    {
        form().Command4->click();
        ASSERT_EQ(form().List1->ListCount(), 5);
        phone->clearTranscript();
    }
    QString row(int position) { return form().List1->List(position); }
    // Waits for the link to read `line`, sent by the phone after whatever
    // came before it: what came before has been read too.
    bool lineRead(const std::string& line)
    {
        EXPECT_EQ(control("unsolicited " + line), "OK");
        // The link keeps a code of two lines (+CDS and its PDU) joined by CR LF.
        const QString kept = QString::fromStdString(line).replace(QLatin1Char('\n'), QLatin1String("\r\n"));
        return e2e::waitFor([&] { return form().Linea->notices().contains(kept); });
    }

    std::unique_ptr<e2e::Phone> phone;
    std::vector<Notified> notified;
};

const std::vector<std::string> ReadSim2 = {"AT+CPMS=SM", "AT+CMGR=2"};

TEST_F(Arrivals, AMessageWhileIdleTakesItsRowWithoutAClick)
{
    open();
    readList();
    EXPECT_TRUE(row(1).contains(store::EmptyBody(allColumns(), 20)));
    const QString before[] = {row(0), row(2), row(3), row(4)};

    ASSERT_EQ(control(std::string("deliver SM 2 0 ") + CiaoStasera), "OK");
    ASSERT_TRUE(e2e::waitFor([&] { return row(1).contains(u(CiaoStaseraText)); }));
    EXPECT_TRUE(row(1).startsWith(u("S: 2/3 ´ ") + u("+393359609600") + blanks(7) + u(" ³ Nuovo  ³ ")
                                  + store::Padded(u("Mario"), 20)));
    EXPECT_EQ(form().StatusBar1->panelText(2), u("Nuovo SMS da Mario"));
    EXPECT_EQ(phone->commands(), ReadSim2);
    const QString after[] = {row(0), row(2), row(3), row(4)};
    EXPECT_TRUE(std::equal(std::begin(before), std::end(before), std::begin(after)));
    EXPECT_TRUE(form().ComandoLibero);
    EXPECT_EQ(form().Beeps, 0);
    // The window was not in front: the desktop was told too.
    ASSERT_EQ(notified.size(), 1u);
    EXPECT_EQ(notified[0].title, u("Nuovo SMS da Mario"));
    EXPECT_EQ(notified[0].text, u(CiaoStaseraText));
}

TEST_F(Arrivals, TheWindowInFrontIsNotNotified)
{
    open();
    form().show();
    form().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form()));
    ASSERT_EQ(control(std::string("deliver SM 2 0 ") + ChiaviTrovate), "OK");
    ASSERT_TRUE(e2e::waitFor([&] { return form().StatusBar1->panelText(2) == u("Nuovo SMS da 3331234567"); }));
    EXPECT_TRUE(notified.empty());
}

TEST_F(Arrivals, BeforeTheListIsReadOnlyPanel2Tells)
{
    open();
    ASSERT_EQ(control(std::string("deliver ME 2 0 ") + CiaoStasera), "OK"); // over the read one
    // Nor are the phone book's widths known: the number as it came.
    ASSERT_TRUE(e2e::waitFor([&] { return form().StatusBar1->panelText(2) == u("Nuovo SMS da +393471234567"); }));
    EXPECT_EQ(form().List1->ListCount(), 0);
    EXPECT_EQ(phone->commands(), (std::vector<std::string>{"AT+CPMS=ME", "AT+CMGR=2"}));
}

// The notice comes while the list is read: the read goes on undisturbed,
// and the slot is read once it has ended.
TEST_F(Arrivals, DuringAListReadItIsHandledAfterIt)
{
    open();
    bool delivered = false;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (!delivered && !form().ComandoLibero) {
            delivered = true;
            EXPECT_EQ(control(std::string("deliver SM 2 0 ") + CiaoStasera), "OK");
        }
    });
    watch.start(1);
    control("fault slow on 5"); // a read long enough to be caught in the middle
    form().Command4->click();
    control("fault slow off");
    ASSERT_TRUE(delivered);
    const std::vector<std::string> read = phone->commands();
    ASSERT_FALSE(read.empty());
    EXPECT_EQ(read.back(), "AT+CMGL=4"); // the phone store's listing: nothing after it yet
    EXPECT_EQ(statusOf(form()), u("Lettura elenco sms terminata.."));

    ASSERT_TRUE(e2e::waitFor([&] { return form().StatusBar1->panelText(2) == u("Nuovo SMS da Mario"); }))
        << form().StatusBar1->panelText(2).toStdString() << " / " << form().Linea->notices().join('|').toStdString()
        << " / " << phone->sim().transcript();
    EXPECT_TRUE(row(1).contains(u(CiaoStaseraText)));
    std::vector<std::string> after = phone->commands();
    after.erase(after.begin(), after.begin() + qsizetype(read.size()));
    EXPECT_EQ(after, ReadSim2);
    EXPECT_EQ(form().Beeps, 0);
}

TEST_F(Arrivals, APhoneThatRefusesIndicationsWorksAsBefore)
{
    open("cnmi_ranges = none\n");
    readList();
    const QStringList rows = [&] {
        QStringList all;
        for (int i = 0; i < form().List1->ListCount(); ++i)
            all << row(i);
        return all;
    }();
    ASSERT_EQ(control(std::string("deliver SM 2 0 ") + CiaoStasera), "OK");
    ASSERT_TRUE(lineRead("RING"));
    for (int i = 0; i < rows.size(); ++i)
        EXPECT_EQ(row(i), rows[i]);
    EXPECT_EQ(statusOf(form()), u("Lettura elenco sms terminata.."));
    EXPECT_TRUE(phone->commands().empty());
    // "Aggiorna" finds the message, as before.
    form().Command11->click();
    EXPECT_TRUE(row(1).contains(u(CiaoStaseraText)));
}

TEST_F(Arrivals, TheConnectionAsksNoIndicationsOfAPhoneThatRefuses)
{
    e2e::Phone refusing(smallPhone("cnmi_ranges = none\n"));
    ASSERT_TRUE(refusing.connect());
    const std::vector<std::string> commands = refusing.commands();
    EXPECT_NE(std::find(commands.begin(), commands.end(), "AT+CNMI=?"), commands.end());
    EXPECT_EQ(std::count_if(commands.begin(), commands.end(),
                            [](const std::string& c) { return c.rfind("AT+CNMI=", 0) == 0 && c != "AT+CNMI=?"; }),
              0);
}

TEST_F(Arrivals, BadNoticesChangeNoRow)
{
    open();
    readList();
    QStringList rows;
    for (int i = 0; i < form().List1->ListCount(); ++i)
        rows << row(i);

    // A slot the store does not have.
    ASSERT_TRUE(lineRead("+CMTI: \"SM\",99"));
    ASSERT_TRUE(e2e::waitFor([&] {
        return form().StatusBar1->panelText(2) == u("Avviso ignorato: la memoria SIM non ha la posizione 99..");
    }));
    EXPECT_TRUE(phone->commands().empty());

    // A report that does not decode.
    ASSERT_TRUE(lineRead("+CDS: 5\n0006ZZ"));
    ASSERT_TRUE(e2e::waitFor(
        [&] { return form().StatusBar1->panelText(2) == u("Rapporto di consegna non leggibile: 0006ZZ.."); }));
    EXPECT_TRUE(phone->commands().empty());

    // A slot still empty when it is read: nothing to show.
    ASSERT_TRUE(lineRead("+CMTI: \"SM\",2"));
    ASSERT_TRUE(e2e::waitFor([&] { return phone->commands() == ReadSim2; }));
    for (int i = 0; i < rows.size(); ++i)
        EXPECT_EQ(row(i), rows[i]);
    EXPECT_TRUE(notified.empty());
    EXPECT_TRUE(form().ComandoLibero);
}

// Fifty notices for one slot, all waiting at once: one read.
TEST_F(Arrivals, AFloodForOneSlotCostsOneRead)
{
    open();
    readList();
    ASSERT_EQ(control(std::string("deliver SM 2 0 ") + CiaoStasera), "OK");
    for (int i = 0; i < 50; ++i)
        control("unsolicited +CMTI: \"SM\",2");
    ASSERT_TRUE(lineRead("+CMTI: \"SM\",3"));
    ASSERT_TRUE(e2e::waitFor([&] { return phone->commands().size() >= 4 && form().ComandoLibero; }));
    EXPECT_EQ(phone->commands(), (std::vector<std::string>{"AT+CPMS=SM", "AT+CMGR=2", "AT+CPMS=SM", "AT+CMGR=3"}));
    EXPECT_TRUE(row(1).contains(u(CiaoStaseraText)));
}

// The phone restarts while a message is opened, and forgets that it was
// asked to tell of new messages: the program sets it up again, and the
// next message is shown as it arrives.
TEST_F(Arrivals, APhoneThatRestartsIsAskedAgain)
{
    open();
    readList();
    ASSERT_EQ(control("fault restart on +CMGR"), "OK");
    form().List1->setListIndex(0); // a click on the first row
    ASSERT_TRUE(e2e::waitFor([&] {
        return form().StatusBar1->panelText(2) == u("Il cellulare si è riavviato: impostazioni ripristinate..");
    }));
    const std::vector<std::string> commands = phone->commands();
    EXPECT_NE(std::find(commands.begin(), commands.end(), "AT+CNMI=2,1,0,1,0"), commands.end());

    ASSERT_EQ(control(std::string("deliver SM 2 0 ") + CiaoStasera), "OK");
    ASSERT_TRUE(e2e::waitFor([&] { return row(1).contains(u(CiaoStaseraText)); }));
}

// ---- delivery reports ----

// Reports that come soon after the send, discharged at 15:30:12.
const std::string SoonReports = "report.delay_ms = 50\nreport.time = 241210153012\n";

// Sends `text` to `to` with "Ricevuta" ticked, as the user does.
void sendWithReport(Form1& form, const QString& to, const QString& text, bool longSms = false)
{
    if (form.Check8->isChecked() != longSms)
        form.Check8->click();
    if (!form.Check2->isChecked())
        form.Check2->click();
    form.Text2->setText(to);
    form.Text1->setText(text);
    form.Command5->click();
}

TEST_F(Arrivals, AReportMatchedByReferenceAndRecipient)
{
    open(SoonReports + "next_reference = 41\n");
    readList(); // the phone book's widths with it
    sendWithReport(form(), u("+393471234567"), u("Ci sei?"));
    ASSERT_EQ(form().StatusBar1->panelText(2), u("SMS inviato.."));
    ASSERT_TRUE(e2e::waitFor([&] { return !notified.empty(); }));
    EXPECT_EQ(form().StatusBar1->panelText(2), u("SMS a Mario consegnato alle 15:30"));
    EXPECT_EQ(notified[0].title, u("Rapporto di consegna"));
    EXPECT_EQ(notified[0].text, u("SMS a Mario consegnato alle 15:30"));
    EXPECT_EQ(form().Ricevute.size(), 0u);
}

TEST_F(Arrivals, AReportForAnotherReferenceStaysUnmatched)
{
    open(SoonReports + "next_reference = 41\nreport.delay_ms = 60000\n");
    sendWithReport(form(), u("3471234567"), u("Ci sei?"));
    ASSERT_EQ(form().Ricevute.size(), 1u);
    ASSERT_EQ(control("report 42 +393471234567 0"), "OK");
    ASSERT_TRUE(e2e::waitFor([&] {
        return form().StatusBar1->panelText(2).startsWith(u("Rapporto di consegna di un SMS non inviato da qui"));
    }));
    EXPECT_EQ(form().StatusBar1->panelText(2),
              u("Rapporto di consegna di un SMS non inviato da qui: Consegnato, rif. 42 (+393471234567).."));
    EXPECT_EQ(form().Ricevute.size(), 1u);
    EXPECT_TRUE(notified.empty());
}

// Both parts of a long message fail: it is told once, naming both.
TEST_F(Arrivals, ALongMessageIsToldOnceForAllItsParts)
{
    open(SoonReports + "next_reference = 7\nreport.status = 70\n");
    readList();
    sendWithReport(form(), u("+393471234567"), QString(300, QLatin1Char('x')), true);
    ASSERT_EQ(form().StatusBar1->panelText(2), u("SMS inviato in 2 parti.."));
    ASSERT_TRUE(e2e::waitFor([&] { return !notified.empty(); }));
    const QString told = u("SMS a Mario: nessuna delle 2 parti consegnata, parte 1 non consegnata (periodo di validità "
                           "scaduto, stato 70), parte 2 non consegnata (periodo di validità scaduto, stato 70)..");
    EXPECT_EQ(notified[0].text, told);
    EXPECT_EQ(form().StatusBar1->panelText(2), told);
    EXPECT_EQ(notified.size(), 1u);
    EXPECT_EQ(form().Ricevute.size(), 0u);
}

// The reports of a message in three parts come together, part 2's a
// failure: one text names it, whatever part is reported last. A report that
// comes again for one of its parts is ignored.
TEST_F(Arrivals, AFailedPartOfALongMessageIsNotLostToTheOthers)
{
    open(SoonReports + "next_reference = 7\nreport.status = 0 70 0\n");
    readList();
    sendWithReport(form(), u("+393471234567"), QString(400, QLatin1Char('x')), true);
    ASSERT_EQ(form().StatusBar1->panelText(2), u("SMS inviato in 3 parti.."));
    ASSERT_TRUE(e2e::waitFor([&] { return !notified.empty(); }));
    const QString told =
        u("SMS a Mario: 2 di 3 parti consegnate, parte 2 non consegnata (periodo di validità scaduto, stato 70)..");
    EXPECT_EQ(notified[0].title, u("Rapporto di consegna"));
    EXPECT_EQ(notified[0].text, told);
    EXPECT_EQ(form().StatusBar1->panelText(2), told);
    EXPECT_EQ(form().Ricevute.size(), 0u);

    // Part 2's report again, then a notice that reads an empty slot and says
    // nothing: once the slot is read, the report before it was handled.
    phone->clearTranscript();
    const auto reportsRead = [&] {
        const QStringList& notices = form().Linea->notices();
        return std::count_if(notices.begin(), notices.end(),
                             [](const QString& n) { return n.startsWith(QLatin1String("+CDS:")); });
    };
    const auto before = reportsRead();
    ASSERT_EQ(control("report 8 +393471234567 70"), "OK");
    ASSERT_TRUE(e2e::waitFor([&] { return reportsRead() > before; }));
    ASSERT_TRUE(lineRead("+CMTI: \"SM\",2"));
    ASSERT_TRUE(e2e::waitFor([&] { return phone->commands() == ReadSim2 && form().ComandoLibero; }));
    EXPECT_EQ(form().StatusBar1->panelText(2), told);
    EXPECT_EQ(notified.size(), 1u);
}

// The network refuses part 2 of 3: part 1 went out, and its report tells
// the message with what is missing.
TEST_F(Arrivals, ALongMessageStoppedPartWayIsToldWithWhatIsMissing)
{
    open(SoonReports + "next_reference = 7\nfault.reject = on 500 1\n");
    readList();
    sendWithReport(form(), u("+393471234567"), QString(400, QLatin1Char('x')), true);
    ASSERT_TRUE(form().StatusBar1->panelText(2).startsWith(u("Invio fallito alla parte 2 di 3")));
    ASSERT_TRUE(e2e::waitFor([&] { return !notified.empty(); }));
    EXPECT_EQ(notified[0].text, u("SMS a Mario: 1 di 3 parti consegnate, parti 2 e 3 non inviate.."));
    EXPECT_EQ(form().Ricevute.size(), 0u);
}

// A phone that stores its reports: the report takes the free slot, its
// row shows it, and it is matched all the same.
TEST_F(Arrivals, AStoredReport)
{
    open(SoonReports + "cnmi_ranges = (0-2),(0-3),(0),(0,2),(0)\nreport.store = SM\n");
    readList();
    sendWithReport(form(), u("+393471234567"), u("Ci sei?"));
    ASSERT_TRUE(e2e::waitFor([&] { return !notified.empty(); }));
    EXPECT_EQ(notified[0].text, u("SMS a Mario consegnato alle 15:30"));
    EXPECT_TRUE(row(1).startsWith(u("S: 2/3 ´ ")));
    EXPECT_TRUE(row(1).contains(u("Consegnato, rif. ")));
}

} // namespace
