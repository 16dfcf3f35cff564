// SPDX-License-Identifier: GPL-3.0-or-later
// The SIM's PIN at connection, against the simulator's SIM: the click on
// "APRI / CHIUDI PORTA", the PIN typed into its dialog as a user types it,
// what the phone received, and that the PIN stays out of the AT log and the
// settings.
#include "app/settings.h"
#include "link/atlog.h"
#include "support/e2e.h"
#include "window/pindialog.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <string>
#include <vector>

namespace {

using Commands = std::vector<std::string>;

const Commands kSetUp = {"ATZ", "ATZ", "AT+CSCS=GSM", "ATE0", "ATQ0", "ATV1", "AT+CMEE=1", "AT+CPIN?"};
const Commands kAfterTheSim = {"AT+CNMI=?", "AT+CNMI=2,1,0,1,0", "AT+CGMM", "AT+CSCA?"};

// What the user does at each dialog that opens: types a PIN and presses
// OK, presses "Annulla", or answers the question "Riprovare?".
struct Act {
    enum Kind { TypePin, Cancel, Yes, No } kind;
    QString pin;
};

// Plays the user's part: while it lives, a timer looks for the dialog the
// program opened among the top-level widgets and does the next act there,
// recording the questions asked.
class User {
public:
    explicit User(std::vector<Act> acts) : m_acts(acts.begin(), acts.end())
    {
        m_timer.setInterval(5);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { act(); });
        m_timer.start();
    }
    std::vector<QString> questions; // the texts of the Yes/No boxes
    int pinDialogs = 0;
    bool pinHidden = true; // every PIN dialog had its echo mode Password
    QString pinText;       // the text of the last PIN dialog
    bool allDone() const { return m_acts.empty(); }

private:
    void act()
    {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (!widget->isVisible())
                continue;
            if (auto* dialog = qobject_cast<PinDialog*>(widget))
                return answerPin(dialog);
            if (auto* box = qobject_cast<QMessageBox*>(widget))
                return answerQuestion(box);
        }
    }
    void answerPin(PinDialog* dialog)
    {
        ++pinDialogs;
        auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("PinEdit"));
        pinHidden = pinHidden && edit->echoMode() == QLineEdit::Password;
        for (QLabel* label : dialog->findChildren<QLabel*>())
            pinText = label->text();
        const Act next = take();
        if (next.kind == Act::TypePin) {
            QTest::keyClicks(edit, next.pin);
            QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("PinOk")), Qt::LeftButton);
        } else {
            QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("PinAnnulla")), Qt::LeftButton);
        }
    }
    void answerQuestion(QMessageBox* box)
    {
        questions.push_back(box->text());
        const Act next = take();
        QTest::mouseClick(box->button(next.kind == Act::Yes ? QMessageBox::Yes : QMessageBox::No), Qt::LeftButton);
    }
    Act take()
    {
        if (m_acts.empty()) // an unexpected dialog: leave it as a user who gives up
            return {Act::Cancel, {}};
        const Act next = m_acts.front();
        m_acts.pop_front();
        return next;
    }
    std::deque<Act> m_acts;
    QTimer m_timer;
};

Commands joined(std::vector<Commands> parts)
{
    Commands all;
    for (const Commands& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

bool clickConnect(e2e::Phone& phone)
{
    QTest::mouseClick(phone.form().Command2, Qt::LeftButton);
    return phone.form().StatusBar1->panelText(1) == QLatin1String("CONNESSO");
}

TEST(SimPin, AtConnection)
{
    const Act pin1234{Act::TypePin, "1234"};
    const Act pin1111{Act::TypePin, "1111"};
    const Act yes{Act::Yes, {}};
    const Act no{Act::No, {}};
    struct Case {
        const char* name;
        std::string sim; // state lines
        std::vector<Act> acts;
        bool connected;
        QString status; // panel 2 when disconnected
        Commands afterSetUp;
        std::vector<QString> questions;
        std::string simStateAfter;
        int deadlineMs = 0; // the link's deadline, when the case shortens it
    };
    const std::vector<Case> cases = {
        {"SIM ready: nothing asked", "", {}, true, {}, kAfterTheSim, {}, "ready"},
        {"phone without +CPIN", "sim.state = pin\nfault.error = on +CPIN", {}, true, {}, kAfterTheSim, {}, "pin"},
        {"right PIN",
         "sim.state = pin",
         {pin1234},
         true,
         {},
         joined({{"AT+CPIN=\"1234\""}, kAfterTheSim}),
         {},
         "ready"},
        {"wrong then right",
         "sim.state = pin",
         {pin1111, yes, pin1234},
         true,
         {},
         joined({{"AT+CPIN=\"1111\"", "AT+CPINR=\"SIM PIN\"", "AT+CPIN?", "AT+CPIN=\"1234\""}, kAfterTheSim}),
         {"PIN errato. Tentativi rimasti: 2.\nRiprovare?"},
         "ready"},
        {"wrong, no retry",
         "sim.state = pin",
         {pin1111, no},
         false,
         "PIN non inserito..",
         {"AT+CPIN=\"1111\"", "AT+CPINR=\"SIM PIN\""},
         {"PIN errato. Tentativi rimasti: 2.\nRiprovare?"},
         "pin"},
        {"wrong on a phone that does not tell the tries",
         "sim.state = pin\nfault.error = on +CPINR",
         {pin1111, no},
         false,
         "PIN non inserito..",
         {"AT+CPIN=\"1111\"", "AT+CPINR=\"SIM PIN\""},
         {"PIN errato.\nRiprovare?"},
         "pin"},
        {"wrong with one try left",
         "sim.state = pin\nsim.tries = 2",
         {pin1111, no},
         false,
         "PIN non inserito..",
         {"AT+CPIN=\"1111\"", "AT+CPINR=\"SIM PIN\""},
         {"PIN errato. Resta un solo tentativo prima del blocco della SIM.\nRiprovare?"},
         "pin"},
        {"three wrong lock the SIM",
         "sim.state = pin",
         {pin1111, yes, pin1111, yes, pin1111},
         false,
         "SIM bloccata: serve il PUK..",
         {"AT+CPIN=\"1111\"", "AT+CPINR=\"SIM PIN\"", "AT+CPIN?", "AT+CPIN=\"1111\"", "AT+CPINR=\"SIM PIN\"",
          "AT+CPIN?", "AT+CPIN=\"1111\"", "AT+CPINR=\"SIM PIN\"", "AT+CPIN?"},
         {"PIN errato. Tentativi rimasti: 2.\nRiprovare?",
          "PIN errato. Resta un solo tentativo prima del blocco della SIM.\nRiprovare?"},
         "puk"},
        // A SIM slower than the deadline: the PIN went once, its answer
        // may still come, and it is not sent again nor asked for again.
        {"the answer to the PIN after the deadline",
         "sim.state = pin\nfault.late = on 6000 +CPIN=",
         {pin1111},
         false,
         "Il cellulare non ha risposto al PIN: nessun altro tentativo..",
         {"AT+CPIN=\"1111\""},
         {},
         "pin",
         2000},
        {"cancel", "sim.state = pin", {{Act::Cancel, {}}}, false, "PIN non inserito..", {}, {}, "pin"},
        {"SIM wants its PUK", "sim.state = puk", {}, false, "SIM bloccata: serve il PUK..", {}, {}, "puk"},
        {"no SIM", "sim.state = absent", {}, false, "SIM assente..", {}, {}, "absent"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        e2e::Phone phone(e2e::sampleState("sim.pin = 1234\n" + c.sim), e2e::Time::Test);
        Form1& form = phone.form();
        if (c.deadlineMs > 0)
            form.Linea->timing.deadlineMs = c.deadlineMs;
        const int triesBefore = std::stoi(phone.sim().control("get sim.tries"));
        User user(c.acts);
        EXPECT_EQ(clickConnect(phone), c.connected);
        EXPECT_TRUE(user.allDone());
        EXPECT_EQ(user.questions, c.questions);
        EXPECT_TRUE(user.pinHidden);
        if (user.pinDialogs > 0) {
            EXPECT_EQ(user.pinText, "Il cellulare chiede il PIN della SIM");
        }
        EXPECT_EQ(phone.commands(), joined({kSetUp, c.afterSetUp}));
        EXPECT_EQ(phone.sim().control("get sim.state"), c.simStateAfter);
        // One try for each PIN sent, however slow the SIM.
        const Commands sent = phone.commands();
        const auto pinsSent = std::count_if(sent.begin(), sent.end(),
                                            [](const std::string& line) { return line.rfind("AT+CPIN=", 0) == 0; });
        if (c.simStateAfter == "pin") {
            EXPECT_EQ(phone.sim().control("get sim.tries"), std::to_string(triesBefore - pinsSent));
        }
        EXPECT_EQ(form.PortOpen(), c.connected);
        EXPECT_EQ(form.Frame2->isEnabled(), !c.connected);
        if (c.connected) {
            EXPECT_EQ(form.StatusBar1->panelText(2), "CONNESSO A Nokia 6310i");
        } else {
            EXPECT_EQ(form.StatusBar1->panelText(1), "DICONNESSO");
            EXPECT_EQ(form.StatusBar1->panelText(2), c.status);
        }
    }
}

// The dialog itself refuses what is no PIN: OK stays disabled below 4
// digits, and what is no digit or a ninth digit never reaches the field.
TEST(SimPin, DialogTakesFourToEightDigits)
{
    struct Case {
        const char* name;
        QString typed;
        QString field;
        bool okEnabled;
    };
    const std::vector<Case> cases = {
        {"three digits", "123", "123", false},
        {"four digits", "1234", "1234", true},
        {"eight digits", "12345678", "12345678", true},
        {"nine digits: the ninth is refused", "123456789", "12345678", true},
        {"letters are refused", "12ab3", "123", false},
        {"blanks and signs are refused", "1 2-3+4", "1234", true},
        {"nothing", "", "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PinDialog dialog;
        auto* edit = dialog.findChild<QLineEdit*>(QStringLiteral("PinEdit"));
        QTest::keyClicks(edit, c.typed);
        EXPECT_EQ(edit->text(), c.field);
        EXPECT_EQ(dialog.findChild<QPushButton*>(QStringLiteral("PinOk"))->isEnabled(), c.okEnabled);
        EXPECT_EQ(IsWellFormedPin(c.field), c.okEnabled);
    }
    for (const char* wellFormed : {"0000", "12345678"})
        EXPECT_TRUE(IsWellFormedPin(wellFormed)) << wellFormed;
    for (const char* malformed : {"123", "123456789", "12a4", " 1234", "١٢٣٤"})
        EXPECT_FALSE(IsWellFormedPin(QString::fromUtf8(malformed))) << malformed;
}

// A wrong PIN and the right one: the log file holds neither, only "****",
// and the settings saved after the connection hold neither.
TEST(SimPin, NeverWrittenToTheLogOrTheSettings)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString logFile = dir.filePath("at.log");
    const QString settingsFile = dir.filePath("zircalo.ini");
    {
        e2e::Phone phone(e2e::sampleState("sim.state = pin\nsim.pin = 97531"));
        QString error;
        ASSERT_TRUE(atlog::OpenFile(logFile, &error)) << error.toStdString();
        User user({{Act::TypePin, "86420"}, {Act::Yes, {}}, {Act::TypePin, "97531"}});
        ASSERT_TRUE(clickConnect(phone));
        atlog::CloseFile();
        // The phone did receive both.
        EXPECT_NE(phone.sim().received().find("AT+CPIN=\"86420\"\r"), std::string::npos);
        EXPECT_NE(phone.sim().received().find("AT+CPIN=\"97531\"\r"), std::string::npos);
        QSettings settings(settingsFile, QSettings::IniFormat);
        SaveSettings(phone.form(), settings);
        settings.sync();
    }
    QFile log(logFile);
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QByteArray logged = log.readAll();
    EXPECT_EQ(logged.count(R"(-> "AT+CPIN=\"*****\"\r")"), 2) << logged.toStdString();
    QFile settings(settingsFile);
    ASSERT_TRUE(settings.open(QIODevice::ReadOnly));
    const QByteArray saved = settings.readAll();
    EXPECT_FALSE(saved.isEmpty());
    for (const QByteArray& pin : {QByteArray("97531"), QByteArray("86420")}) {
        EXPECT_EQ(logged.indexOf(pin), -1) << pin.toStdString();
        EXPECT_EQ(saved.indexOf(pin), -1) << pin.toStdString();
    }
}

} // namespace
