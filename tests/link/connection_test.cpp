// SPDX-License-Identifier: GPL-3.0-or-later
// The connection against the phone simulator: connect, the failed echo test,
// the port choice, disconnect, the service centre, and the end of the
// program on "ESCI" (in a child process). "Rivela" against the scripted
// phone for the answers the simulator does not give.
#include "support/e2e.h"
#include "support/scripted_peer.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QSerialPort>
#include <QTimer>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

using Commands = std::vector<std::string>;

// The set-up, the SIM, the new-message indications the phone offers, the
// model and the service centre.
const Commands kConnection = {"ATZ",      "ATZ",       "AT+CSCS=GSM",       "ATE0",    "ATQ0",    "ATV1", "AT+CMEE=1",
                              "AT+CPIN?", "AT+CNMI=?", "AT+CNMI=2,1,0,1,0", "AT+CGMM", "AT+CSCA?"};

// Sets an environment variable for one scope.
class EnvVar {
public:
    EnvVar(const char* name, const std::string& value) : m_name(name)
    {
        if (const char* old = std::getenv(name))
            m_old = old;
        m_had = std::getenv(name) != nullptr;
        setenv(name, value.c_str(), 1);
    }
    ~EnvVar()
    {
        if (m_had)
            setenv(m_name, m_old.c_str(), 1);
        else
            unsetenv(m_name);
    }

private:
    const char* m_name;
    std::string m_old;
    bool m_had = false;
};

TEST(Connection, ConnectsResetsThePhoneAndShowsModelAndServiceCentre)
{
    e2e::Phone phone(e2e::sampleState("model = X100\nsmsc = \"+391234567890\",145"));
    Form1& form = phone.form();
    form.List1->AddItem("SM  1");
    form.List2->AddItem("Mario");
    form.Text1->setText("ciao");
    form.Text2->setText("+39333");
    form.Text3->setText("testo");
    form.Text4->setText("+39000");
    form.Label5->setText("header");
    const std::vector<TextBox*> details = {form.Text6, form.Text7, form.Text8, form.Text9, form.Text10, form.Text11};
    for (TextBox* field : details)
        field->setText(field->objectName());
    form.Label12->setText("Destinatario =");

    ASSERT_TRUE(phone.connect());
    EXPECT_EQ(phone.commands(), kConnection);
    EXPECT_EQ(form.StatusBar1->panelText(2), "CONNESSO A X100");
    EXPECT_EQ(form.Text4->text(), "+391234567890");
    EXPECT_FALSE(form.Frame2->isEnabled());
    EXPECT_EQ(form.MSComm1->baudRate(), 19200);
    EXPECT_EQ(form.MSComm1->dataBits(), QSerialPort::Data8);
    EXPECT_EQ(form.MSComm1->parity(), QSerialPort::NoParity);
    EXPECT_EQ(form.MSComm1->stopBits(), QSerialPort::OneStop);
    EXPECT_EQ(form.MSComm1->flowControl(), QSerialPort::NoFlowControl);

    EXPECT_EQ(form.List1->ListCount(), 0);
    EXPECT_EQ(form.List2->ListCount(), 0);
    for (QString text : {form.Text3->text(), form.Label5->text()})
        EXPECT_EQ(text, "");
    // What the user was writing, and to whom, is the user's, not the phone's.
    EXPECT_EQ(form.Text1->text(), "ciao");
    EXPECT_EQ(form.Text2->text(), "+39333");
    for (TextBox* field : details)
        EXPECT_EQ(field->text(), field->objectName());
    EXPECT_EQ(form.Label12->text(), "Destinatario =");
    EXPECT_TRUE(form.ComandoLibero);
    EXPECT_TRUE(form.LineaLibera);
}

// The echo test fails: the port is closed again and nothing else is sent.
TEST(Connection, FailedEchoTestLeavesItDisconnected)
{
    struct Case {
        const char* name;
        std::string overrides;
        Commands sent;
    };
    const std::vector<Case> cases = {
        {"phone without echo", "echo = off", {"ATZ", "ATZ"}},
        {"phone refuses", "fault.error = on ATZ", {"ATZ"}},
        {"silent phone", "fault.silent = on", {"ATZ", "ATZ", "ATZ"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        e2e::Phone phone(e2e::sampleState(c.overrides), e2e::Time::Test);
        Form1& form = phone.form();
        form.Tempi.deadlineMs = 300;
        // While the test waits for the phone, the user is told what goes on.
        QString meanwhile;
        QTimer::singleShot(0, &form, [&] { meanwhile = form.StatusBar1->panelText(2); });
        EXPECT_FALSE(phone.connect());
        EXPECT_EQ(meanwhile, "Connessione in corso..");
        EXPECT_EQ(form.StatusBar1->panelText(1), "DICONNESSO");
        EXPECT_EQ(form.StatusBar1->panelText(2), "ERRORE DI CONNESSIONE..");
        EXPECT_FALSE(form.PortOpen());
        EXPECT_TRUE(form.Frame2->isEnabled());
        EXPECT_TRUE(e2e::waitFor([&] { return phone.commands().size() >= c.sent.size(); }));
        EXPECT_EQ(phone.commands(), c.sent);
    }
}

TEST(Connection, PortThatCannotBeOpenedIsNamedWithTheReason)
{
    e2e::Phone phone;
    Form1& form = phone.form();
    {
        EnvVar missing("ZIRCALO_COM1", "/dev/zircalo-no-such-port");
        EXPECT_FALSE(phone.connect());
        EXPECT_EQ(form.StatusBar1->panelText(2),
                  "ERRORE DI CONNESSIONE.. porta inesistente: il cellulare è collegato? - "
                  "/dev/zircalo-no-such-port: No such file or directory");
    }
    {
        // Another program holds the phone's port.
        QSerialPort other(QString::fromStdString(phone.device()));
        ASSERT_TRUE(other.open(QIODevice::ReadWrite));
        EXPECT_FALSE(phone.connect());
        const QString prefix = "ERRORE DI CONNESSIONE.. porta occupata da un altro programma (ModemManager?) - "
                               + QString::fromStdString(phone.device()) + ": ";
        EXPECT_TRUE(form.StatusBar1->panelText(2).startsWith(prefix)) << form.StatusBar1->panelText(2).toStdString();
        EXPECT_GT(form.StatusBar1->panelText(2).size(), prefix.size());
    }
    EXPECT_FALSE(form.PortOpen());
    EXPECT_EQ(form.StatusBar1->panelText(1), "DICONNESSO");
    EXPECT_TRUE(form.Frame2->isEnabled());
    EXPECT_TRUE(phone.commands().empty());
    // Once free, the port connects.
    EXPECT_TRUE(phone.connect());
}

TEST(Connection, Com2OpensTheSecondPort)
{
    e2e::Phone phone;
    EnvVar first("ZIRCALO_COM1", "/dev/zircalo-no-such-port");
    EnvVar second("ZIRCALO_COM2", phone.device());
    phone.form().Option4->setChecked(true);
    // "COM 1" leads nowhere: only "COM 2" reaches the phone.
    ASSERT_TRUE(phone.connect());
    EXPECT_EQ(phone.commands(), kConnection);
}

TEST(Connection, SecondClickDisconnectsSilently)
{
    e2e::Phone phone;
    Form1& form = phone.form();
    ASSERT_TRUE(phone.connect());
    phone.clearTranscript();
    form.Command2->click();
    EXPECT_FALSE(form.PortOpen());
    EXPECT_EQ(form.StatusBar1->panelText(1), "DICONNESSO");
    EXPECT_EQ(form.StatusBar1->panelText(2), Form1::Banner);
    EXPECT_TRUE(form.Frame2->isEnabled());
    EXPECT_EQ(phone.sim().received(), "");
}

// The phone keeps the echo off that the last connection set: its first ATZ
// comes back without echo, and the reset turns the echo on for the second.
TEST(Connection, ReconnectsAtTheFirstClickAfterADisconnection)
{
    e2e::Phone phone;
    ASSERT_TRUE(phone.connect());
    phone.form().Command2->click();
    phone.clearTranscript();
    ASSERT_TRUE(phone.connect());
    Commands expected = {"ATZ"};
    expected.insert(expected.end(), kConnection.begin(), kConnection.end());
    EXPECT_EQ(phone.commands(), expected);
}

// The phone hangs up in the middle of an answer: the wait ends there, not at
// its deadline, and the program is disconnected with the reason shown.
TEST(Connection, LineDroppedInAnAnswerDisconnects)
{
    e2e::Phone phone;
    Form1& form = phone.form();
    ASSERT_TRUE(phone.connect());
    phone.sim().control("fault drop on AT+CMGR=1");
    // A deadline far beyond the test's patience: the wait must end at the drop.
    form.Tempi.deadlineMs = 600000;
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(form.InviaAT("+CMGR=1"), "ERROR");
    EXPECT_LT(clock.elapsed(), 60000);
    EXPECT_TRUE(form.LineaLibera);
    EXPECT_EQ(form.Label16->BackColor(), 0u);
    EXPECT_FALSE(form.PortOpen());
    EXPECT_EQ(form.StatusBar1->panelText(1), "DICONNESSO");
    // The system calls it a read error or a resource gone: either is said in Italian first.
    const QString shown = form.StatusBar1->panelText(2);
    const QString where = " - " + QString::fromStdString(phone.device()) + ": ";
    EXPECT_TRUE(shown.startsWith("ERRORE DI CONNESSIONE.. lettura dalla porta fallita" + where)
                || shown.startsWith("ERRORE DI CONNESSIONE.. il cellulare non è più raggiungibile" + where))
        << shown.toStdString();
    EXPECT_TRUE(form.Frame2->isEnabled());
    // What follows is refused at once instead of waiting for a phone that is gone.
    EXPECT_EQ(form.InviaAT("+CMGR=2"), "ERROR");
}

TEST(Connection, EmptyServiceCentreLeavesText4Empty)
{
    e2e::Phone phone(e2e::sampleState("smsc = \"\",129"));
    phone.form().Text4->setText("+39000");
    ASSERT_TRUE(phone.connect());
    EXPECT_EQ(phone.form().Text4->text(), "");
}

// "Rivela": what reaches Text4 for each answer to +CSCA?.
TEST(Rivela, TakesTheNumberBetweenTheQuotes)
{
    struct Case {
        const char* name;
        std::string answer;
        QString text4;
    };
    const std::vector<Case> cases = {
        {"international", "\r\n+CSCA: \"+391234567890\",145\r\n\r\nOK\r\n", "+391234567890"},
        {"national", "\r\n+CSCA: \"3359609600\",129\r\n\r\nOK\r\n", "3359609600"},
        {"empty number", "\r\n+CSCA: \"\",129\r\n\r\nOK\r\n", ""},
        {"refused", "\r\nERROR\r\n", ""},
        {"bare OK: no comma", "\r\nOK\r\n", ""},
        {"comma at position 9", "\r\n+CSCA: \",145\r\n\r\nOK\r\n", ""},
        {"blanks around the fields", "\r\n+CSCA:  \"+391234567890\" , 145\r\n\r\nOK\r\n", "+391234567890"},
        {"no quotes", "\r\n+CSCA: +391234567890,145\r\n\r\nOK\r\n", "+391234567890"},
        {"UCS2", "\r\n+CSCA: \"002B00330039003300350033\",145\r\n\r\nOK\r\n", "+39353"},
        {"an unsolicited line before it", "\r\n^RSSI:17\r\n\r\n+CSCA: \"+391234567890\",145\r\n\r\nOK\r\n",
         "+391234567890"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        scripted::Peer peer;
        ASSERT_TRUE(peer.start());
        peer.on("AT+CSCA?\r", c.answer);
        Form1 form;
        form.Termina = [] {};
        form.MSComm1->setPortName(QString::fromStdString(peer.devicePath()));
        ASSERT_TRUE(form.MSComm1->open(QIODevice::ReadWrite));
        form.Text4->setText("+39000");
        form.Command3->click();
        EXPECT_EQ(form.Text4->text(), c.text4);
        EXPECT_TRUE(form.ComandoLibero);
        EXPECT_EQ(peer.received(), "AT+CSCA?\r");
    }
}

TEST(Rivela, NeedsThePortAndTheGuard)
{
    scripted::Peer peer;
    ASSERT_TRUE(peer.start());
    Form1 form;
    form.Termina = [] {};
    form.Text4->setText("+39000");
    form.Command3_Click();
    EXPECT_EQ(form.StatusBar1->panelText(2), "Porta non aperta..");
    EXPECT_EQ(form.Beeps, 0);

    form.MSComm1->setPortName(QString::fromStdString(peer.devicePath()));
    ASSERT_TRUE(form.MSComm1->open(QIODevice::ReadWrite));
    form.ComandoLibero = false;
    form.Command3_Click();
    EXPECT_EQ(form.Beeps, 1);
    EXPECT_FALSE(form.ComandoLibero);
    EXPECT_EQ(form.Text4->text(), "+39000");
    EXPECT_EQ(peer.received(), "");
}

// "ESCI" and closing the window end the program: the real exit, so in a
// child process.
struct Exit {
    int status = -1;
    bool ended = false;
};

class Esci : public ::testing::Test {
protected:
    void SetUp() override
    {
        phonesim::PhoneState state;
        std::string error;
        ASSERT_TRUE(phonesim::loadStateText(e2e::sampleState(), state, error)) << error;
        sim = std::make_unique<phonesim::Simulator>(std::move(state));
        ASSERT_TRUE(sim->start(&error)) << error;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("ZIRCALO_COM1", QString::fromStdString(sim->devicePath()));
        env.insert("QT_QPA_PLATFORM", "offscreen");
        child.setProcessEnvironment(env);
        child.setProgram(ZIRCALO_ESCI_CHILD);
    }

    std::unique_ptr<phonesim::Simulator> sim;
    QProcess child;
};

TEST_F(Esci, WithThePortClosedEndsWithoutTouchingIt)
{
    child.setArguments({"closed"});
    child.start();
    ASSERT_TRUE(child.waitForFinished(5000));
    EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(child.exitCode(), 0);
    EXPECT_EQ(sim->received(), "");
}

TEST_F(Esci, WhileConnectedResetsThePhoneThenEnds)
{
    for (const char* mode : {"open", "window"}) {
        SCOPED_TRACE(mode);
        sim->clearTranscript();
        child.setArguments({mode});
        child.start();
        ASSERT_TRUE(child.waitForFinished(10000));
        EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(child.exitCode(), 0);
        Commands expected = kConnection;
        expected.push_back("ATZ");
        EXPECT_EQ(sim->commands(), expected);
    }
}

// Inside a wait for a phone that has gone silent: the "ATZ" is refused, the
// port closes and the program ends at once, not after the deadline.
TEST_F(Esci, InsideAPendingWaitEndsAtOnce)
{
    child.setArguments({"wait"});
    child.start();
    ASSERT_TRUE(child.waitForReadyRead(10000));
    ASSERT_EQ(child.readLine().trimmed(), "CONNESSO");
    sim->control("fault silent on");
    child.write("go\n");
    ASSERT_TRUE(child.waitForFinished(5000));
    EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(child.exitCode(), 0);
    Commands expected = kConnection;
    expected.push_back("AT+CSQ");
    EXPECT_TRUE(e2e::waitFor([&] { return sim->commands().size() >= expected.size(); }));
    EXPECT_EQ(sim->commands(), expected);
}

} // namespace
