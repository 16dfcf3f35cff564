// SPDX-License-Identifier: GPL-3.0-or-later
// InviaAT against a scripted phone on a real pseudo-terminal: the exact bytes
// written, the cleaned result, the guard and the light, and the window's
// events during the wait. How long the link waits is told by its own tests
// on a clock they advance (phonelink_test.cpp).
#include "link/phonelink.h"
#include "support/fake_clock.h"
#include "support/scripted_peer.h"
#include "window/form1.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QSignalSpy>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

using namespace phonelink;
using scripted::Piece;

// Runs the event loop until `done` holds, for at most a minute.
bool e2eWait(const std::function<bool()>& done)
{
    QElapsedTimer clock;
    clock.start();
    QTimer tick; // wakes the sleep below to look at `done` again
    tick.start(5);
    while (!done()) {
        if (clock.elapsed() > 60000)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// Every colour the light takes, in order (a colour set twice in a row shows
// once: the widget only reports changes).
class LightLog : public QObject {
public:
    explicit LightLog(Light* light) : m_light(light) { light->installEventFilter(this); }
    std::vector<quint32> colours;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == m_light && event->type() == QEvent::PaletteChange)
            colours.push_back(m_light->BackColor());
        return false;
    }

private:
    Light* m_light;
};

std::string show(const std::vector<quint32>& colours)
{
    std::string out;
    for (quint32 colour : colours) {
        switch (colour) {
        case kLightSend:
            out += 'B';
            break;
        case kLightData:
            out += 'G';
            break;
        case kLightNothing:
            out += 'R';
            break;
        case kLightRetry:
            out += 'Y';
            break;
        case kLightIdle:
            out += 'K';
            break;
        default:
            out += '?';
        }
    }
    return out;
}

// One send, then reads that found nothing (red) or something (green),
// ending with characters read, then black.
bool answeredOnce(const std::string& lights)
{
    if (lights.size() < 3 || lights.front() != 'B' || lights.back() != 'K' || lights[lights.size() - 2] != 'G')
        return false;
    return lights.find_first_not_of("RG", 1) == lights.size() - 1;
}

// The window with its port open on the scripted phone.
class Line : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string error;
        ASSERT_TRUE(peer.start(&error)) << error;
        form.MSComm1->setPortName(QString::fromStdString(peer.devicePath()));
        ASSERT_TRUE(form.MSComm1->open(QIODevice::ReadWrite)) << form.MSComm1->errorString().toStdString();
        form.Termina = [] {};
        form.Tempi.deadlineMs = kDeadlineMs;
    }

    // The deadline of these tests: short, so that the waits stay short.
    static constexpr int kDeadlineMs = 1000;

    scripted::Peer peer;
    Form1 form;
    LightLog lights{form.Label16};
};

struct Exchange {
    const char* name;
    QString command;
    std::string written;
    std::vector<Piece> answer;
    QString result;
};

const std::string kPdu = "0011000B911326880736F40000A90AE8329BFD4697D9EC37";

TEST_F(Line, WritesTheLineAndCleansTheAnswer)
{
    const QString pduLine = QString::fromStdString(kPdu) + QChar(0x1A);
    const std::vector<Exchange> cases = {
        {"ATZ echo on", "ATZ", "ATZ\r", {{0, "ATZ\r\r\nOK\r\n"}}, "AT"},
        {"ATZ echo off", "ATZ", "ATZ\r", {{0, "\r\nOK\r\n"}}, "OK"},
        {"ATE0 echo on", "ATE0", "ATE0\r", {{0, "ATE0\r\r\nOK\r\n"}}, "ATE"},
        {"model", "+CGMM", "AT+CGMM\r", {{0, "\r\nX100\r\n\r\nOK\r\n"}}, "X100"},
        {"service centre",
         "+CSCA?",
         "AT+CSCA?\r",
         {{0, "\r\n+CSCA: \"+391234567890\",145\r\n\r\nOK\r\n"}},
         "+CSCA: \"+391234567890\",145"},
        {"stored message",
         "+CMGR=1",
         "AT+CMGR=1\r",
         {{0, "\r\n+CMGR: 1,,23\r\n" + kPdu + "\r\n\r\nOK\r\n"}},
         "+CMGR: 1,,23\r\n" + QString::fromStdString(kPdu)},
        {"send prompt, CR kept", "+CMGS=20\r", "AT+CMGS=20\r\r", {{0, "\r\n> "}}, ">"},
        {"PDU line", pduLine, kPdu + "\x1A\r", {{0, "\r\n+CMGS: 12\r\n\r\nOK\r\n"}}, "+CMGS: 12"},
        {"phone refuses", "+CMGD=99", "AT+CMGD=99\r", {{0, "\r\nERROR\r\n"}}, "ERROR"},
        {"store capacity", "+CPMS?", "AT+CPMS?\r", {{0, "\r\n+CPMS: \"SM\",3,20\r\n\r\nOK\r\n"}}, "+CPMS: \"SM\",3,20"},
        {"caret prefix", "^SYSINFO", "AT^SYSINFO\r", {{0, "\r\nOK\r\n"}}, "OK"},
        {"spaces trimmed", " ATZ ", "ATZ\r", {{0, "\r\nOK\r\n"}}, "OK"},
        {"space before +: no prefix", " +CSQ", "+CSQ\r", {{0, "\r\nOK\r\n"}}, "OK"},
        {"answer in pieces", "ATZ", "ATZ\r", {{0, "\r\nO"}, {60, "K\r"}, {60, "\n"}}, "OK"},
        {"information in pieces", "+CGMM", "AT+CGMM\r", {{0, "\r\nX1"}, {40, "00\r\n\r\nO"}, {40, "K\r\n"}}, "X100"},
        {"lower-case ok stands", "ATZ", "ATZ\r", {{0, "\r\nok\r\n"}}, "ok"},
        {"blank line before a bare OK", "ATZ", "ATZ\r", {{0, "\r\n\r\nOK\r\n"}}, "OK"},
        {"echo ending in CR CR", "ATZ", "ATZ\r", {{0, "ATZ\r\r\r\nOK\r\n"}}, "AT"},
        {"LF-only line ends", "+CGMM", "AT+CGMM\r", {{0, "\nX100\n\nOK\n"}}, "X100"},
        {"NULs and blanks between lines",
         "+CGMM",
         "AT+CGMM\r",
         {{0, std::string("\r\n\0X100\r\n  \r\n\r\n\0OK\r\n", 20)}},
         "X100"},
        {"unsolicited lines around and inside",
         "+CMGR=1",
         "AT+CMGR=1\r",
         {{0, "\r\nRING\r\n\r\n+CMGR: 1,,23\r\n\r\n^MODE:5,5\r\n" + kPdu + "\r\n\r\n+CMTI: \"SM\",3\r\n\r\nOK\r\n"}},
         "+CMGR: 1,,23\r\n" + QString::fromStdString(kPdu)},
        {"unsolicited line in pieces",
         "+CGMM",
         "AT+CGMM\r",
         {{0, "\r\nRI"}, {40, "NG\r\n\r\nX100\r\n\r\nOK\r\n"}},
         "X100"},
        {"the answer asked for is no unsolicited line",
         "+CREG?",
         "AT+CREG?\r",
         {{0, "\r\n+CREG: 0,1\r\n\r\nOK\r\n"}},
         "+CREG: 0,1"},
        {"mobile equipment error", "+CPBR=7", "AT+CPBR=7\r", {{0, "\r\n+CME ERROR: 22\r\n"}}, "ERROR"},
        {"message service error",
         "+CMGR=4",
         "AT+CMGR=4\r",
         {{0, "\r\n+CMS "}, {40, "ERROR: 321\r"}, {40, "\n"}},
         "ERROR"},
        {"extended error, lower case", "+CMGR=4", "AT+CMGR=4\r", {{0, "\r\n+cms error: 321\r\n"}}, "ERROR"},
    };
    for (const Exchange& c : cases) {
        SCOPED_TRACE(c.name);
        scripted::Peer phone;
        ASSERT_TRUE(phone.start());
        phone.on(c.written, c.answer);
        Form1 window;
        window.MSComm1->setPortName(QString::fromStdString(phone.devicePath()));
        ASSERT_TRUE(window.MSComm1->open(QIODevice::ReadWrite));
        LightLog log(window.Label16);

        EXPECT_EQ(window.InviaAT(c.command), c.result);
        EXPECT_EQ(phone.received(), c.written);
        EXPECT_TRUE(window.LineaLibera);
        EXPECT_TRUE(answeredOnce(show(log.colours))) << show(log.colours);
    }
}

TEST_F(Line, ClosedPortRefusesWithoutWriting)
{
    form.MSComm1->close();
    form.Label16->setBackColor(kLightData);
    EXPECT_EQ(form.InviaAT("ATZ"), "ERROR");
    EXPECT_EQ(form.Label16->BackColor(), kLightIdle);
    EXPECT_TRUE(form.LineaLibera);
    EXPECT_EQ(peer.received(), "");
}

// A handler that runs during the wait gets "ERROR" at once and writes
// nothing; the waiting transaction goes on to the phone's answer.
TEST_F(Line, NestedCallIsRefusedDuringTheWait)
{
    peer.on("AT+CGMM\r", {{80, "\r\nX100\r\n"}, {80, "\r\nOK\r\n"}});
    QString nested;
    bool lineFreeInside = true;
    quint32 lightAfterRefusal = 1;
    QTimer::singleShot(0, &form, [&] {
        lineFreeInside = form.LineaLibera;
        nested = form.InviaAT("+CSQ");
        lightAfterRefusal = form.Label16->BackColor();
    });
    EXPECT_EQ(form.InviaAT("+CGMM"), "X100");
    EXPECT_FALSE(lineFreeInside);
    EXPECT_EQ(nested, "ERROR");
    EXPECT_EQ(lightAfterRefusal, kLightIdle);
    EXPECT_EQ(peer.received(), "AT+CGMM\r");
    EXPECT_TRUE(form.LineaLibera);
    EXPECT_EQ(form.Label16->BackColor(), kLightIdle);
}

// Timer ticks are served while the phone thinks: the banner rule replaces
// a message during the wait. The phone thinks until the banner is back,
// which only ticks served during the wait bring: without them it would
// answer nothing.
TEST_F(Line, TimerTicksRunDuringTheWait)
{
    form.Timer1->setInterval(20);
    form.Stato("Invio SMS in corso..");
    QTimer thinking;
    QObject::connect(&thinking, &QTimer::timeout, [&] {
        if (form.StatusBar1->panelText(2) == Form1::Banner && !peer.received().empty()) {
            thinking.stop();
            peer.send("\r\nX100\r\n\r\nOK\r\n");
        }
    });
    thinking.start(5);
    EXPECT_EQ(form.InviaAT("+CGMM"), "X100");
    EXPECT_EQ(form.StatusBar1->panelText(2), Form1::Banner);
}

// Disconnecting from a handler inside the wait ends the wait at once: no
// time passes on the link's clock.
TEST_F(Line, PortClosedDuringTheWaitEndsIt)
{
    auto* clock = new FakeClock;
    form.Linea->setClock(std::unique_ptr<LinkClock>(clock));
    QTimer::singleShot(20, &form, [&] { form.Command2_Click(); });
    EXPECT_EQ(form.InviaAT("+CSQ"), "ERROR");
    EXPECT_EQ(clock->nowMs(), 0);
    EXPECT_FALSE(form.PortOpen());
    EXPECT_EQ(form.StatusBar1->panelText(1), "DICONNESSO");
    EXPECT_TRUE(peer.waitReceived([](const std::string& got) { return !got.empty(); }, 60000));
    EXPECT_EQ(peer.received(), "AT+CSQ\r");
    EXPECT_TRUE(form.LineaLibera);
    EXPECT_EQ(form.Label16->BackColor(), kLightIdle);
}

// What comes before a command is sent is no part of its answer: an "OK"
// left over, or a ring between two commands. The link reads it as it
// comes, and keeps the unsolicited lines.
TEST_F(Line, WhatComesBeforeASendIsNoPartOfItsAnswer)
{
    peer.on("AT+CGMM\r", "\r\nX100\r\n\r\nOK\r\n", true);
    for (const std::string& stale :
         {std::string("\r\nOK\r\n"), std::string("\r\nRING\r\n"), std::string("\r\n+CMTI: \"SM\",7\r\n")}) {
        QSignalSpy arrived(form.MSComm1, &QIODevice::readyRead);
        peer.send(stale);
        ASSERT_TRUE(e2eWait([&] { return arrived.count() > 0; }));
        EXPECT_EQ(form.InviaAT("+CGMM"), "X100");
    }
    EXPECT_EQ(form.UltimoAvviso, "+CMTI: \"SM\",7");
    EXPECT_EQ(form.Linea->notices(), (QStringList{"RING", "+CMTI: \"SM\",7"}));
}

// An unsolicited notice of a new message, taken out of an answer, is kept.
TEST_F(Line, TheLastNewMessageNoticeIsKept)
{
    peer.on("AT+CGMM\r", "\r\n+CMTI: \"SM\",3\r\n\r\nX100\r\n\r\n+CDSI: \"SM\",4\r\n\r\nOK\r\n");
    EXPECT_EQ(form.UltimoAvviso, "");
    EXPECT_EQ(form.InviaAT("+CGMM"), "X100");
    EXPECT_EQ(form.UltimoAvviso, "+CDSI: \"SM\",4");
}

} // namespace

// A USSD menu whose string holds line ends, arriving in pieces while no
// transaction runs, is one notice, whole, and nothing of it is taken for
// an answer.
TEST_F(Line, AUssdMenuInPiecesIsOneNotice)
{
    QSignalSpy notices(form.Linea, &PhoneLink::notice);
    QSignalSpy arrived(form.MSComm1, &QIODevice::readyRead);
    peer.send("\r\n+CUSD: 1,\"Menu\r\n1 Credito\r\n");
    ASSERT_TRUE(e2eWait([&] { return arrived.count() > 0 && form.MSComm1->bytesAvailable() == 0; }));
    EXPECT_EQ(notices.count(), 0);
    peer.send("OK\r\n0 Esci\",15\r\n");
    ASSERT_TRUE(e2eWait([&] { return notices.count() > 0; }));
    EXPECT_EQ(form.Linea->notices(), QStringList{"+CUSD: 1,\"Menu\n1 Credito\nOK\n0 Esci\",15"});
    EXPECT_TRUE(form.Linea->settled());
    peer.on("AT+CGMM\r", "\r\nX100\r\n\r\nOK\r\n");
    EXPECT_EQ(form.InviaAT("+CGMM"), "X100");
}
