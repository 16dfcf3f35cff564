// SPDX-License-Identifier: GPL-3.0-or-later
// "Invia SMS" against the simulated phone on a pseudo-terminal: the bytes
// that reach the phone, the counter, the failures and the refusals.
#include "support/e2e.h"

#include "phonebook/qstring_printer.h"

#include <gtest/gtest.h>

#include <QTest>
#include <QTimer>

#include <algorithm>
#include <string>
#include <vector>

namespace {

// The phone and the link on test time: the late and the silent phones
// below take no real time.
class Sending : public ::testing::Test {
protected:
    explicit Sending(e2e::Time time = e2e::Time::Test) : phone("smsc = \"+3912345678\",145\n", time) {}

    void SetUp() override
    {
        ASSERT_TRUE(phone.connect());
        form.Text4->setText(QStringLiteral("+3912345678"));
        form.Text2->setText(QStringLiteral("12345"));
        form.Text1->setText(QStringLiteral("abc"));
        phone.clearTranscript();
    }
    QString panel2() const { return form.StatusBar1->panelText(2); }

    e2e::Phone phone;
    Form1& form = phone.form();
};

// On real time: the user acts while the phone thinks.
class SendingInRealTime : public Sending {
protected:
    SendingInRealTime() : Sending(e2e::Time::Real) {}
};

TEST_F(Sending, TheFirstWorkedExampleArrivesByteForByte)
{
    QStringList shown;
    QTimer::singleShot(0, &form, [&] { shown.append(panel2()); });
    form.Command5_Click();
    EXPECT_EQ(phone.sim().received(), "AT+CMGS=14\r\r"
                                      "0691932143658711F305812143F50000FF0361F118\x1A\r");
    ASSERT_EQ(phone.sim().sentPdus().size(), 1u);
    EXPECT_EQ(phone.sim().sentPdus()[0], "0691932143658711F305812143F50000FF0361F118");
    shown.append(panel2());
    EXPECT_EQ(shown, (QStringList{QStringLiteral("Invio SMS in corso.."), QStringLiteral("SMS inviato..")}));
    EXPECT_EQ(form.Label8->text(), QStringLiteral("1"));
    EXPECT_TRUE(form.ComandoLibero);
    // The fields stay as they were.
    EXPECT_EQ(form.Text2->text(), QStringLiteral("12345"));
    EXPECT_EQ(form.Text1->text(), QStringLiteral("abc"));
}

TEST_F(Sending, TheSecondWorkedExampleFlashWithReport)
{
    form.Check1->setChecked(true);
    form.Check2->setChecked(true);
    form.Text2->setText(QStringLiteral("+3912345678"));
    form.Invio->setSent(9);
    form.Command5_Click();
    EXPECT_EQ(phone.sim().received(), "AT+CMGS=16\r\r"
                                      "0691932143658731F30A91932143658700F0FF0361F118\x1A\r");
    EXPECT_EQ(form.Label8->text(), QStringLiteral("10"));
    // A greyed box counts as checked.
    phone.clearTranscript();
    form.Check1->setTristate(true);
    form.Check1->setCheckState(Qt::PartiallyChecked);
    form.Check2->setChecked(false);
    form.Command5_Click();
    ASSERT_EQ(phone.sim().sentPdus().size(), 2u);
    EXPECT_EQ(phone.sim().sentPdus()[1], "0691932143658711F30A91932143658700F0FF0361F118");
    EXPECT_EQ(form.Label8->text(), QStringLiteral("11"));
}

TEST_F(Sending, ALineBreakGoesOutAsCarriageReturnAndLineFeed)
{
    form.Text1->setText(QString());
    QTest::keyClicks(form.Text1, QStringLiteral("ciao"));
    QTest::keyClick(form.Text1, Qt::Key_Return);
    QTest::keyClicks(form.Text1, QStringLiteral("a"));
    EXPECT_EQ(form.Label3->text(), QStringLiteral("7/160"));
    form.Command5_Click();
    EXPECT_EQ(phone.sim().received(), "AT+CMGS=18\r\r"
                                      "0691932143658711F305812143F50000FF07E374F8DD508401\x1A\r");
}

TEST_F(Sending, APromptRefusedSendsNoPdu)
{
    phone.sim().control("fault error on +CMGS");
    form.Command5_Click();
    EXPECT_EQ(phone.sim().received(), "AT+CMGS=14\r\r");
    EXPECT_EQ(panel2(), QStringLiteral("Errore invio sms.."));
    EXPECT_EQ(form.Label8->text(), QStringLiteral("0"));
    EXPECT_TRUE(form.ComandoLibero);
}

TEST_F(SendingInRealTime, AFailedSendLeavesTheCounter)
{
    // The phone holds back every answer; while it holds back the one to the
    // PDU, the user closes the port.
    phone.sim().control("fault late on 500");
    QTimer watch;
    watch.setInterval(1);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        for (const std::string& line : phone.commands())
            if (!line.empty() && line.back() == '\x1A') {
                watch.stop();
                form.Command2->click();
            }
    });
    watch.start();
    form.Command5_Click();
    EXPECT_EQ(panel2(), QStringLiteral("Invio sms fallito.."));
    EXPECT_EQ(form.Label8->text(), QStringLiteral("0"));
    EXPECT_TRUE(form.ComandoLibero);
}

// A message sent with "Ricevuta" whose confirmation comes late: its
// report, when it comes, is told as any other.
TEST_F(Sending, ALateConfirmationKeepsItsReport)
{
    ASSERT_EQ(phone.sim().control("set report.delay_ms 50"), "OK");
    ASSERT_EQ(phone.sim().control("set report.time 241210153012"), "OK");
    form.Tempi.pduDeadlineMs = 300;
    ASSERT_EQ(phone.sim().control("fault late on 1500 pdu"), "OK");
    form.Check2->click();
    form.Command5->click();
    EXPECT_EQ(panel2(), QStringLiteral("Invio sms fallito: il cellulare non risponde.."));
    EXPECT_TRUE(e2e::waitFor([&] { return panel2() == QStringLiteral("SMS a 12345 consegnato alle 15:30"); }));
    EXPECT_EQ(form.Label8->text(), QStringLiteral("1"));
    EXPECT_EQ(form.Ricevute.size(), 0u);
}

// The network confirms the message after the send was given up: the
// confirmation is told when it comes and counted, and the message went
// out once.
TEST_F(Sending, ALateConfirmationIsToldAndCounted)
{
    form.Tempi.pduDeadlineMs = 300;
    ASSERT_EQ(phone.sim().control("fault late on 1500 pdu"), "OK");
    form.Command5_Click();
    EXPECT_EQ(panel2(), QStringLiteral("Invio sms fallito: il cellulare non risponde.."));
    EXPECT_EQ(form.Label8->text(), QStringLiteral("0"));
    EXPECT_TRUE(e2e::waitFor([&] { return form.Label8->text() == QStringLiteral("1"); }));
    EXPECT_EQ(panel2(), QStringLiteral("Conferma arrivata in ritardo: SMS inviato, rif. 1.."));
    EXPECT_EQ(phone.sim().sentPdus().size(), 1u);

    // The next message goes out as usual, its confirmation in time.
    ASSERT_EQ(phone.sim().control("fault late off"), "OK");
    form.Command5_Click();
    EXPECT_EQ(panel2(), QStringLiteral("SMS inviato.."));
    EXPECT_EQ(form.Label8->text(), QStringLiteral("2"));
    EXPECT_EQ(phone.sim().sentPdus().size(), 2u);
}

// The network refuses the message: with error codes off the phone says
// ERROR, with them on +CMS ERROR and the reason, which the user is told.
TEST_F(Sending, AMessageTheNetworkRefusesIsAFailedSend)
{
    struct Case {
        const char* codes;
        const char* fault;
        const char* status;
    };
    const Case cases[] = {
        {"AT+CMEE=0", "fault reject on", "Invio sms fallito.."},
        {"AT+CMEE=1", "fault reject on", "Invio sms fallito: errore sconosciuto.."},
        {"AT+CMEE=1", "fault reject on 330", "Invio sms fallito: numero del centro servizi sconosciuto.."},
        {"AT+CMEE=1", "fault reject on 331", "Invio sms fallito: nessuna rete.."},
        {"AT+CMEE=1", "fault reject on 999", "Invio sms fallito: errore 999 del cellulare.."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fault);
        ASSERT_EQ(phone.sim().control(c.fault), "OK");
        form.InviaAT(QString::fromLatin1(c.codes));
        form.Command5_Click();
        EXPECT_EQ(panel2(), QString::fromUtf8(c.status));
        EXPECT_EQ(form.Label8->text(), QStringLiteral("0"));
        EXPECT_TRUE(form.ComandoLibero);
    }
    EXPECT_TRUE(phone.sim().sentPdus().empty());
}

// The prompt refused with a reason, and a phone that stays silent.
TEST_F(Sending, TheSendCommandsFailureSaysWhy)
{
    form.InviaAT(QStringLiteral("AT+CMEE=1"));
    phone.sim().control("fault error on +CMGS");
    form.Command5_Click();
    EXPECT_EQ(panel2(), QStringLiteral("Errore invio sms.."));
    phone.sim().control("fault error off");

    form.Tempi.deadlineMs = 300;
    phone.sim().control("fault silent on");
    form.Command5_Click();
    EXPECT_EQ(panel2(), QStringLiteral("Errore invio sms: il cellulare non risponde.."));
    EXPECT_EQ(form.Label8->text(), QStringLiteral("0"));
}

// A phone slower than the deadline at the send command: the command went
// once, ESC ends the PDU input it may have opened, nothing is sent twice,
// and the next message goes out once the phone has caught up.
TEST_F(Sending, SilenceAtThePromptSendsEscAndNothingAgain)
{
    form.Tempi.deadlineMs = 1500;
    ASSERT_EQ(phone.sim().control("fault late on 4000 +CMGS"), "OK");
    form.Command5->click();
    EXPECT_EQ(panel2(), QStringLiteral("Errore invio sms: il cellulare non risponde.."));
    EXPECT_TRUE(e2e::waitFor([&] { return phone.sim().received().size() >= 13; }, 30000));
    EXPECT_EQ(phone.sim().received(), "AT+CMGS=14\r\r\x1b");
    EXPECT_EQ(form.Label8->text(), QStringLiteral("0"));
    EXPECT_TRUE(form.ComandoLibero);

    ASSERT_EQ(phone.sim().control("fault late off"), "OK");
    form.Tempi.deadlineMs = 10000;
    form.Command5->click();
    EXPECT_EQ(panel2(), QStringLiteral("SMS inviato.."));
    ASSERT_EQ(phone.sim().sentPdus().size(), 1u);
    const std::vector<std::string> commands = phone.commands();
    EXPECT_EQ(std::count(commands.begin(), commands.end(), "AT+CMGS=14"), 2);
    EXPECT_EQ(form.Label8->text(), QStringLiteral("1"));
}

TEST_F(Sending, TheCounterCountsOnAfterReset)
{
    form.Command5_Click();
    form.Command5_Click();
    EXPECT_EQ(form.Label8->text(), QStringLiteral("2"));
    form.Command10_Click();
    EXPECT_EQ(form.Label8->text(), QStringLiteral("0"));
    form.Command5_Click();
    EXPECT_EQ(form.Label8->text(), QStringLiteral("1"));
}

TEST_F(Sending, ASecondClickDuringASendOnlyBeeps)
{
    QTimer::singleShot(0, &form, [this] { form.Command5->click(); });
    form.Command5_Click();
    EXPECT_EQ(form.Beeps, 1);
    EXPECT_EQ(phone.sim().sentPdus().size(), 1u);
    EXPECT_EQ(form.Label8->text(), QStringLiteral("1"));
}

// Numbers as people write them go out as the digits alone would.
TEST_F(Sending, GroupedNumbersGoOutAsTheirDigits)
{
    const std::pair<const char16_t*, const char16_t*> cases[] = {
        {u"347 123 4567", u"3471234567"}, {u"+39 347 1234567", u"+393471234567"},
        {u"347-1234567", u"3471234567"},  {u"+39 (06) 123.45.67", u"+39061234567"},
        {u"06/1234567", u"061234567"},    {u"  +39 347 1234567  ³ Marco", u"+393471234567"}, // a picked row
    };
    for (const auto& [written, digits] : cases) {
        SCOPED_TRACE(QString::fromUtf16(written).toStdString());
        form.Text2->setText(QString::fromUtf16(digits));
        form.Command5_Click();
        form.Text2->setText(QString::fromUtf16(written));
        form.Command5_Click();
        EXPECT_EQ(panel2(), QStringLiteral("SMS inviato.."));
        const std::vector<std::string> sent = phone.sim().sentPdus();
        ASSERT_GE(sent.size(), 2u);
        EXPECT_EQ(sent[sent.size() - 1], sent[sent.size() - 2]);
    }
}

// Each refusal shows its box, sends nothing and frees the guard.
TEST_F(Sending, RefusalsSendNothing)
{
    struct Case {
        const char16_t* recipient;
        const char16_t* serviceCentre;
        QString text;
        const char* box;
    };
    const Case cases[] = {
        {u"", u"+3912345678", QStringLiteral("abc"), "Manca destiantario!!"},
        {u"   ", u"+3912345678", QStringLiteral("abc"), "Manca destiantario!!"},
        {u"  ³ Ufficio", u"+3912345678", QStringLiteral("abc"), "Manca destiantario!!"},
        {u"", u"", QStringLiteral("abc"), "Manca destiantario!!"}, // the recipient comes first
        {u"12345", u"  ", QStringLiteral("abc"), "Manca centro servizi!!"},
        {u"12a45", u"+3912345678", QStringLiteral("abc"), "Destinatario non valido!!"},
        {u"+39+3331234567", u"+3912345678", QStringLiteral("abc"), "Destinatario non valido!!"},
        {u"333 12x 4567", u"+3912345678", QStringLiteral("abc"), "Destinatario non valido!!"},
        {u"*123#", u"+3912345678", QStringLiteral("abc"), "Destinatario non valido!!"},
        {u"- ( ) -", u"+3912345678", QStringLiteral("abc"), "Destinatario non valido!!"},
        {u"12345", u"+39-12345678", QStringLiteral("abc"), "Centro servizi non valido!!"},
    };
    for (const Case& c : cases) {
        form.Text2->setText(QString::fromUtf16(c.recipient));
        form.Text4->setText(QString::fromUtf16(c.serviceCentre));
        form.Text1->setText(c.text);
        e2e::MessageBoxes boxes;
        form.Command5_Click();
        ASSERT_EQ(boxes.seen.size(), 1u) << c.box;
        EXPECT_EQ(boxes.seen[0].text, QString::fromUtf8(c.box));
        EXPECT_EQ(boxes.seen[0].title, QStringLiteral("ERRORE!!"));
        EXPECT_EQ(boxes.seen[0].icon, QMessageBox::Critical);
        EXPECT_TRUE(form.ComandoLibero) << c.box;
    }
    EXPECT_EQ(phone.sim().received(), "");
    EXPECT_EQ(form.Label8->text(), QStringLiteral("0"));

    // A text over 160 septets cannot reach the sender: the message box keeps
    // what fits, as the counter shows it.
    form.Text1->setText(QString(81, QChar(0x20AC)));
    EXPECT_EQ(form.Text1->text(), QString(80, QChar(0x20AC)));
    EXPECT_EQ(form.Label3->text(), QStringLiteral("160/160"));
    EXPECT_EQ(form.Beeps, 0);
    // 80 euro signs are 160 septets: they fit.
    form.Text2->setText(QStringLiteral("12345"));
    form.Text4->setText(QStringLiteral("+3912345678"));
    form.Text1->setText(QString(80, QChar(0x20AC)));
    form.Command5_Click();
    EXPECT_EQ(panel2(), QStringLiteral("SMS inviato.."));
}

} // namespace
