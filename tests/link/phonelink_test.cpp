// SPDX-License-Identifier: GPL-3.0-or-later
// The link's waits, on a clock the test advances, against the scripted phone
// on a real pseudo-terminal: the deadline and the three sends, the debt of a
// given-up command, a listing's silence and ceiling, the PDU's own deadline.
// Every time asserted is exact, and none is waited out in real time.
#include "link/phonelink.h"
#include "support/fake_clock.h"
#include "support/scripted_peer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace phonelink;

const std::string kPdu = "0011000B911326880736F40000A90AE8329BFD4697D9EC37";

class Link : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string error;
        ASSERT_TRUE(peer.start(&error)) << error;
        link.port()->setPortName(QString::fromStdString(peer.devicePath()));
        ASSERT_TRUE(link.port()->open(QIODevice::ReadWrite)) << link.port()->errorString().toStdString();
        link.timing.deadlineMs = kDeadlineMs;
        // Nothing is on its way when the peer has read all the link wrote,
        // has nothing left to send, and the link holds all the peer wrote:
        // counted at both ends, however long a busy machine keeps the bytes.
        QObject::connect(link.port(), &QIODevice::bytesWritten, [this](qint64 bytes) { written += size_t(bytes); });
        clock.quiet = [this] {
            return link.port()->bytesToWrite() == 0 && peer.received().size() == written && !peer.replying()
                   && peer.written() == link.bytesRead() + quint64(link.port()->bytesAvailable());
        };
        clock.settleMs = 0;
        QObject::connect(&link, &PhoneLink::light, [this](quint32 colour) {
            if (lights.empty() || lights.back() != letter(colour))
                lights += letter(colour);
        });
    }

    static char letter(quint32 colour)
    {
        switch (colour) {
        case kLightSend:
            return 'B';
        case kLightData:
            return 'G';
        case kLightNothing:
            return 'R';
        case kLightRetry:
            return 'Y';
        case kLightIdle:
            return 'K';
        }
        return '?';
    }

    // Has the peer send `bytes` when the link's clock reaches `ms`.
    void sendAt(qint64 ms, const std::string& bytes)
    {
        clock.at(ms, [this, bytes] { peer.send(bytes); });
    }

    // What the peer received, once `size` bytes are in.
    std::string received(size_t size)
    {
        peer.waitReceived([size](const std::string& got) { return got.size() >= size; }, 60000);
        return peer.received();
    }

    static constexpr int kDeadlineMs = 1000;

    scripted::Peer peer;
    PhoneLink link{nullptr, std::make_unique<FakeClock>()};
    FakeClock& clock = static_cast<FakeClock&>(link.clock());
    std::string lights; // the light's colours, each change once
    size_t written = 0; // bytes the link wrote
};

// A silent phone: one send, two more right at the deadline, then the
// give-up, at the deadline exactly.
TEST_F(Link, ASilentPhoneGetsThreeSendsWithinTheDeadline)
{
    std::string beforeDeadline;
    clock.at(kDeadlineMs - 1, [&] { beforeDeadline = peer.received(); });
    EXPECT_EQ(link.transaction("+CSQ"), kGiveUp);
    EXPECT_EQ(clock.nowMs(), kDeadlineMs);
    EXPECT_EQ(beforeDeadline, "AT+CSQ\r");
    EXPECT_EQ(received(21), "AT+CSQ\rAT+CSQ\rAT+CSQ\r");
    EXPECT_EQ(lights, "BRYBRYBRK");
    EXPECT_FALSE(link.busy());
    EXPECT_EQ(link.owed(), 3);

    // Fewer sends, as set.
    for (const int sends : {1, 2}) {
        SCOPED_TRACE(sends);
        link.forgive();
        link.timing.sends = sends;
        const qint64 start = clock.nowMs();
        const size_t before = peer.received().size();
        EXPECT_EQ(link.transaction("+CSQ"), kGiveUp);
        EXPECT_EQ(clock.nowMs() - start, kDeadlineMs);
        std::string expected;
        for (int i = 0; i < sends; ++i)
            expected += "AT+CSQ\r";
        EXPECT_EQ(received(before + expected.size()).substr(before), expected);
    }
}

// The settling command's answer, as phones give it.
const std::string kSettled = "\r\n+CSCS: \"GSM\"\r\n\r\nOK\r\n";

// How many times `what` is in `text`.
long occurrences(const std::string& text, const std::string& what)
{
    long count = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++count;
    return count;
}

// The phone owes the three answers of a given-up command and pays them half
// a minute later, past any silence: until the settling command sent after
// them is answered, no other command goes out, so that none can take them.
TEST_F(Link, LateAnswersAreNeverTakenForAnotherCommands)
{
    const std::string slot3 = "\r\n+CMGR: 1,,3\r\nAA\r\n\r\nOK\r\n";
    peer.on("AT+CMGR=4\r", "\r\n+CMGR: 1,,4\r\nBB\r\n\r\nOK\r\n", true);
    clock.at(30000, [this, slot3] {
        // In order: the three late answers, then each settling command's.
        std::string late = slot3 + slot3 + slot3;
        for (long i = occurrences(peer.received(), "AT+CSCS?\r"); i > 0; --i)
            late += kSettled;
        peer.send(late);
    });
    EXPECT_EQ(link.transaction("+CMGR=3"), kGiveUp);
    EXPECT_EQ(link.owed(), 3);
    QString result;
    int unsettled = 0;
    while ((result = link.transaction("+CMGR=4")) == kGiveUp) {
        ASSERT_EQ(link.whyGivenUp(), GiveUp::Unsettled);
        ASSERT_LT(++unsettled, 100);
    }
    EXPECT_EQ(result, "+CMGR: 1,,4\r\nBB");
    EXPECT_TRUE(link.settled());
    // Nothing but the settling command went out before the late answers came.
    const std::string got = peer.received();
    EXPECT_EQ(got.find("AT+CMGR=4\r"), got.rfind("AT+CMGR=4\r"));
    EXPECT_EQ(got.substr(0, 39), "AT+CMGR=3\rAT+CMGR=3\rAT+CMGR=3\rAT+CSCS?\r");
    EXPECT_GE(clock.nowMs(), 30000);
    EXPECT_EQ(unsettled, 29);
}

// The owed answers all paid while nothing else is on its way settle the
// line too: the quiet line is awaited, and nothing more is sent.
TEST_F(Link, AnswersPaidWhileIdleSettleTheLine)
{
    peer.on("ATZ\r", "\r\nOK\r\n", true);
    const std::string csq = "\r\n+CSQ: 20,0\r\n\r\nOK\r\n";
    EXPECT_EQ(link.transaction("+CSQ"), kGiveUp);
    peer.send(csq + csq + csq);
    ASSERT_TRUE(peer.waitReplied());
    // Read between transactions, as they come, however busy the machine.
    QElapsedTimer waited;
    waited.start();
    QTimer tick; // wakes the sleep below to look again
    tick.start(5);
    while (!link.settled() && waited.elapsed() < 60000)
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    EXPECT_TRUE(link.settled());
    EXPECT_EQ(link.transaction("ATZ"), "OK");
    EXPECT_EQ(received(25), "AT+CSQ\rAT+CSQ\rAT+CSQ\rATZ\r");
}

// A slow phone that answers every send, in order: none of the answers to
// the retransmissions is taken by a later command.
TEST_F(Link, TheAnswersToRetransmissionsAreDiscarded)
{
    link.timing.deadlineMs = 500;
    peer.on("AT+CMGR=4\r", "\r\n+CMGR: 1,,4\r\nBB\r\n\r\nOK\r\n", true);
    // Sent at 0, 500 and 500; each answered 750 later.
    const std::string slot3 = "\r\n+CMGR: 1,,3\r\nAA\r\n\r\nOK\r\n";
    sendAt(750, slot3);
    sendAt(1250, slot3);
    sendAt(1250, slot3 + kSettled); // the settling command sent at 500
    EXPECT_EQ(link.transaction("+CMGR=3"), kGiveUp);
    std::vector<QString> results;
    while (results.size() < 8 && (results.empty() || results.back() == kGiveUp))
        results.push_back(link.transaction("+CMGR=4"));
    EXPECT_EQ(results.back(), "+CMGR: 1,,4\r\nBB");
    for (const QString& result : results)
        EXPECT_TRUE(result == kGiveUp || result == "+CMGR: 1,,4\r\nBB") << result.toStdString();
    EXPECT_EQ(link.owed(), 0);
}

// An unsolicited code that follows the final result code at once, its
// line cut by the read: it is read to its end and kept, and neither the
// answer nor the next one gets any of it.
TEST_F(Link, ACodeRightAfterTheAnswerIsKeptWhole)
{
    peer.on("AT+CPMS=SM\r", {{0, "\r\n+CPMS: 1,3\r\n\r\nOK\r\n\r\n+CMTI: \""}, {30, "SM\",2\r\n"}});
    peer.on("AT+CSQ\r", "\r\n+CSQ: 20,0\r\n\r\nOK\r\n");
    EXPECT_EQ(link.transaction("+CPMS=SM"), "+CPMS: 1,3");
    EXPECT_EQ(link.transaction("+CSQ"), "+CSQ: 20,0");
    EXPECT_EQ(link.notices(), QStringList{"+CMTI: \"SM\",2"});
    EXPECT_EQ(link.lastArrival(), "+CMTI: \"SM\",2");
    EXPECT_EQ(link.owed(), 0);
}

// An unsolicited code the phone has begun between two commands (a slow
// line, a busy machine) is read to its end before the next command goes
// out: it is kept whole, and the answer is the command's own. A code whose
// line ends with a CR alone ends there once the line has been quiet.
TEST_F(Link, ACodeBegunBetweenCommandsIsReadToItsEndFirst)
{
    const struct {
        const char* begun;
        const char* rest; // 50 ms later
    } cases[] = {
        {"\r\n+CMTI: \"SM\"", ",2\r\n"},
        {"\r\n+CMTI: \"SM\",2\r", "\n"},
        {"\r\n+CMTI: \"SM\",2\r", ""},
    };
    peer.on("AT+CSQ\r", "\r\n+CSQ: 20,0\r\n\r\nOK\r\n", true);
    bool arrived = false;
    QObject::connect(link.port(), &QIODevice::readyRead, [&] { arrived = true; });
    int told = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.begun);
        // The beginning is read between the commands, as it comes (the
        // link reads on readyRead before this test's handler runs).
        arrived = false;
        peer.send(c.begun);
        QElapsedTimer waited;
        waited.start();
        QTimer tick;
        tick.start(5);
        while (!arrived && waited.elapsed() < 60000)
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        ASSERT_TRUE(arrived);
        if (*c.rest)
            sendAt(clock.nowMs() + 50, c.rest);
        EXPECT_EQ(link.transaction("+CSQ"), "+CSQ: 20,0");
        ASSERT_EQ(link.notices().size(), ++told);
        EXPECT_EQ(link.notices().last(), "+CMTI: \"SM\",2");
        EXPECT_EQ(link.owed(), 0);
    }
}

// What must not happen twice goes out once: a silent phone gets one send,
// given up at the deadline, and owes its one answer.
TEST_F(Link, WhatMustNotHappenTwiceIsSentOnce)
{
    for (const char* command : {"+CPIN=\"1234\"", "+CPBW=,\"3471234567\",129,\"Mario\""}) {
        SCOPED_TRACE(command);
        link.forgive();
        const qint64 start = clock.nowMs();
        const size_t before = peer.received().size();
        EXPECT_EQ(link.transaction(command), kGiveUp);
        EXPECT_EQ(clock.nowMs() - start, kDeadlineMs);
        const std::string line = "AT" + std::string(command) + "\r";
        EXPECT_EQ(received(before + line.size()).substr(before), line);
        EXPECT_EQ(link.owed(), 1);
    }
}

// A send given up at the "> " prompt is sent once and cancelled with ESC,
// and a prompt that comes after that is not taken by the next command.
TEST_F(Link, AGivenUpSendLeavesThePrompt)
{
    sendAt(1500, "\r\n> ");
    // The phone answers the ESC after its late prompt.
    sendAt(1600, "\r\nOK\r\n");
    // The settling command sent after the ESC is answered in its turn.
    sendAt(1700, kSettled);
    peer.on("AT+CSCA?\r", "\r\n+CSCA: \"+391234567890\",145\r\n\r\nOK\r\n");
    EXPECT_EQ(link.transaction("+CMGS=14\r"), kGiveUp);
    EXPECT_EQ(clock.nowMs(), kDeadlineMs);
    const std::string given = "AT+CMGS=14\r\r\x1b";
    EXPECT_EQ(received(given.size()), given);
    EXPECT_EQ(link.transaction("+CSCA?"), "+CSCA: \"+391234567890\",145");
    // The first settling command went into the message's text.
    EXPECT_EQ(peer.received().substr(given.size()), "AT+CSCS?\r\x1b"
                                                    "AT+CSCS?\r"
                                                    "AT+CSCA?\r");
}

// The PDU of a send is written once and its answer waited for past the
// ordinary deadline, up to its own.
TEST_F(Link, APduLineHasItsOwnDeadline)
{
    const std::string line = kPdu + "\x1A\r";
    sendAt(2000, "\r\n+CMGS: 13\r\n\r\nOK\r\n");
    EXPECT_EQ(link.transaction(QString::fromStdString(kPdu) + QChar(0x1A)), "+CMGS: 13");
    EXPECT_EQ(clock.nowMs(), 2000);
    EXPECT_EQ(peer.received(), line);

    // Unanswered, it is cancelled with ESC after its own deadline.
    link.timing.pduDeadlineMs = 1000;
    EXPECT_EQ(link.transaction(QString::fromStdString(kPdu) + QChar(0x1A)), kGiveUp);
    EXPECT_EQ(clock.nowMs(), 3000);
    EXPECT_EQ(received(2 * line.size() + 1), line + line + "\x1b");
}

// ---- long answers ----

// A listing of `rows` rows, the first `sent` of them sent 100 ms apart from
// `fromMs`, and the final OK after them when all were sent.
void scheduleListing(FakeClock& clock, scripted::Peer& peer, int rows, int sent, qint64 fromMs)
{
    for (int i = 0; i < sent; ++i) {
        std::string piece = "\r\n+CMGL: " + std::to_string(i + 1) + ",1,,23\r\n" + kPdu;
        if (i + 1 == rows)
            piece += "\r\n\r\nOK\r\n";
        clock.at(fromMs + 100 * i, [&peer, piece] { peer.send(piece); });
    }
}

class Listing : public Link {
protected:
    void SetUp() override
    {
        Link::SetUp();
        link.timing.deadlineMs = 300;
        link.timing.silenceMs = 300;
    }
    long listings() const { return listingsIn(peer.received()); }
    static long listingsIn(const std::string& got)
    {
        long count = 0;
        for (size_t at = got.find("AT+CMGL=4\r"); at != std::string::npos; at = got.find("AT+CMGL=4\r", at + 1))
            ++count;
        return count;
    }
};

// Rows every 100 ms for two seconds, six deadlines and more: it completes,
// sent once.
TEST_F(Listing, ALongerListingThanTheDeadlineCompletes)
{
    scheduleListing(clock, peer, 20, 20, 0);
    const QString answer = link.transaction("+CMGL=4");
    EXPECT_EQ(answer.count(QStringLiteral("+CMGL: ")), 20);
    EXPECT_TRUE(answer.startsWith(QStringLiteral("+CMGL: 1,1,,23")));
    EXPECT_TRUE(answer.endsWith(QString::fromStdString(kPdu)));
    EXPECT_EQ(clock.nowMs(), 1900);
    EXPECT_EQ(listings(), 1);
}

// A listing that stops half-way ends one silence after its last
// character, given up and not sent again.
TEST_F(Listing, AListingThatStopsEndsOneSilenceAfterItsLastCharacter)
{
    scheduleListing(clock, peer, 20, 6, 0); // the last at 500
    EXPECT_EQ(link.transaction("+CMGL=4"), kGiveUp);
    EXPECT_EQ(link.whyGivenUp(), GiveUp::Silent);
    EXPECT_EQ(clock.nowMs(), 500 + link.timing.silenceMs);
    EXPECT_EQ(listings(), 1);
}

// A listing that keeps trickling ends at the ceiling of its time, one
// that floods at the ceiling of its size: too long, not silent. Until the
// phone has ended it, nothing else is sent.
TEST_F(Listing, AListingThatNeverEndsIsTooLong)
{
    link.timing.longAnswerMs = 1000;
    link.timing.silenceMs = 1000;
    scheduleListing(clock, peer, 100, 100, 0);
    EXPECT_EQ(link.transaction("+CMGL=4"), kGiveUp);
    EXPECT_EQ(link.whyGivenUp(), GiveUp::TooLong);
    EXPECT_EQ(clock.nowMs(), 1000);
    EXPECT_EQ(listings(), 1);
    EXPECT_FALSE(link.settled());
    EXPECT_EQ(link.transaction("+CSQ"), kGiveUp);
    EXPECT_EQ(link.whyGivenUp(), GiveUp::Unsettled);
    EXPECT_EQ(peer.received().find("AT+CSQ"), std::string::npos);
}

// An answer has a ceiling of characters: the give-up comes with the row
// that passes it.
TEST_F(Listing, AnAnswerPastItsSizeIsTooLong)
{
    link.timing.maxAnswer = 3000;
    scheduleListing(clock, peer, 1000, 1000, 0);
    EXPECT_EQ(link.transaction("+CMGL=4"), kGiveUp);
    EXPECT_EQ(link.whyGivenUp(), GiveUp::TooLong);
    size_t size = 0;
    int rows = 0;
    while (size <= 3000)
        size += ("\r\n+CMGL: " + std::to_string(++rows) + ",1,,23\r\n" + kPdu).size();
    EXPECT_EQ(clock.nowMs(), 100 * (rows - 1));
}

// Nothing at all comes back: the listing is sent again as any command is,
// `sends` times in all, within one silence.
TEST_F(Listing, ASilentPhoneGetsTheListingSendsTimes)
{
    for (const int sends : {3, 2}) {
        SCOPED_TRACE(sends);
        link.forgive();
        link.timing.sends = sends;
        const long before = listings();
        const qint64 start = clock.nowMs();
        EXPECT_EQ(link.transaction("+CMGL=4"), kGiveUp);
        EXPECT_EQ(clock.nowMs() - start, link.timing.silenceMs);
        peer.waitReceived([&](const std::string& got) { return listingsIn(got) >= before + sends; }, 60000);
        EXPECT_EQ(listings() - before, sends);
    }
}

// Every other command keeps its deadline from its start, and its sends.
TEST_F(Listing, OtherCommandsKeepTheirDeadline)
{
    link.timing.silenceMs = 60000;
    for (int i = 0; i < 20; ++i)
        clock.at(50 * i, [this] { peer.send("\r\n+CP"); });
    EXPECT_EQ(link.transaction("+CPMS?"), kGiveUp);
    EXPECT_EQ(clock.nowMs(), link.timing.deadlineMs);
    EXPECT_EQ(received(27), "AT+CPMS?\rAT+CPMS?\rAT+CPMS?\r");
}

} // namespace
