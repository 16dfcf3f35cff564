// The deadline of a long answer: a listing waits for silence after its last
// character, not for a deadline from its start, up to a ceiling; it is sent
// again only when nothing at all came back. End to end against the phone
// simulator, with the window's timing shortened.
#include "link/phonelink.h"
#include "support/e2e.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QEvent>

#include <algorithm>
#include <string>

namespace {

// Twenty stored messages in the SIM store: about 3,400 characters of
// listing, 1.8 s at 19200 baud.
std::string twentyMessages()
{
    std::string state = "sms.SM.capacity = 20\n";
    for (int slot = 1; slot <= 20; ++slot)
        state += "sms.SM." + std::to_string(slot)
                 + " = 1 0791933395066900040C9193431732547600004230518124704032C374F81D020DD3207B999C0EB7DFA0393D3C"
                   "2FCBC3A0309B5D06C960BA190C146683E66F769AFE0689C3F21F\n";
    return state;
}

// The time (on `clock`) of the last read that brought characters: the
// activity light turns green.
class DataWatch : public QObject {
public:
    DataWatch(Light* light, const QElapsedTimer& clock) : m_light(light), m_clock(clock)
    {
        light->installEventFilter(this);
    }
    qint64 lastMs = -1;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == m_light && event->type() == QEvent::PaletteChange
            && m_light->BackColor() == phonelink::kLightData)
            lastMs = m_clock.elapsed();
        return false;
    }

private:
    Light* m_light;
    const QElapsedTimer& m_clock;
};

long listings(const e2e::Phone& phone)
{
    const std::vector<std::string> commands = phone.commands();
    return long(std::count(commands.begin(), commands.end(), std::string("AT+CMGL=4")));
}

class LongAnswer : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(phone.connect());
        Form1& form = phone.form();
        ASSERT_EQ(form.InviaAT(QStringLiteral("+CPMS=SM")).left(6), QStringLiteral("+CPMS:"));
        form.Tempi.deadlineMs = 300;
        form.Tempi.silenceMs = 300;
        phone.clearTranscript();
    }

    e2e::Phone phone{twentyMessages()};
};

} // namespace

// Paced at 19200 baud, the listing lasts six deadlines and more: it
// completes, sent once.
TEST_F(LongAnswer, PacedListingLongerThanTheDeadlineCompletes)
{
    Form1& form = phone.form();
    phone.sim().control("fault slow on 0");
    QElapsedTimer clock;
    clock.start();
    const QString answer = form.InviaAT(QStringLiteral("+CMGL=4"));
    EXPECT_GT(clock.elapsed(), 1000);
    EXPECT_EQ(answer.count(QStringLiteral("+CMGL: ")), 20);
    EXPECT_TRUE(answer.startsWith(QStringLiteral("+CMGL: 1,1,,")));
    EXPECT_TRUE(answer.endsWith(QStringLiteral("C3F21F")));
    EXPECT_EQ(listings(phone), 1);
    EXPECT_TRUE(form.LineaLibera);
}

// A listing that stops half-way (its next piece comes after a long pause)
// ends one silence after its last character, given up and not sent again.
TEST_F(LongAnswer, ListingThatStopsEndsOneSilenceAfterItsLastCharacter)
{
    Form1& form = phone.form();
    phone.sim().control("fault pieces on 1000 20000");
    QElapsedTimer clock;
    clock.start();
    DataWatch watch(form.Label16, clock);
    const QString answer = form.InviaAT(QStringLiteral("+CMGL=4"));
    const qint64 ended = clock.elapsed();
    EXPECT_EQ(answer, QStringLiteral("error"));
    ASSERT_GE(watch.lastMs, 0);
    EXPECT_GE(ended - watch.lastMs, form.Tempi.silenceMs);
    EXPECT_LT(ended - watch.lastMs, form.Tempi.silenceMs + 1500);
    EXPECT_EQ(listings(phone), 1);
}

// A listing that keeps trickling ends at the ceiling.
TEST_F(LongAnswer, ListingEndsAtTheCeiling)
{
    Form1& form = phone.form();
    form.Tempi.longAnswerMs = 1000;
    form.Tempi.silenceMs = 1000;
    phone.sim().control("fault pieces on 3 100");
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(form.InviaAT(QStringLiteral("+CMGL=4")), QStringLiteral("error"));
    EXPECT_GE(clock.elapsed(), 1000);
    EXPECT_LT(clock.elapsed(), 1900); // the listing would take 11 s
    EXPECT_EQ(listings(phone), 1);
}

// Nothing at all comes back: the listing is sent again as any command is,
// `sends` times in all, within one silence.
TEST_F(LongAnswer, SilentPhoneGetsTheListingSendsTimes)
{
    Form1& form = phone.form();
    phone.sim().control("fault silent on");
    for (const int sends : {3, 2}) {
        SCOPED_TRACE(sends);
        phone.clearTranscript();
        form.Tempi.sends = sends;
        form.Linea->forgive(); // owes nothing: this send is not held back
        QElapsedTimer clock;
        clock.start();
        EXPECT_EQ(form.InviaAT(QStringLiteral("+CMGL=4")), QStringLiteral("error"));
        EXPECT_GE(clock.elapsed(), form.Tempi.silenceMs);
        // The phone reads the last sends a little later.
        e2e::waitFor([&] { return listings(phone) >= sends; }, 2000);
        EXPECT_EQ(listings(phone), sends);
    }
}

// Every other command keeps its deadline from its start and its sends.
TEST_F(LongAnswer, OtherCommandsKeepTheirDeadline)
{
    Form1& form = phone.form();
    form.Tempi.silenceMs = 60000;
    phone.sim().control("fault pieces on 3 200"); // "+CPMS: ..." takes over a second
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(form.InviaAT(QStringLiteral("+CPMS?")), QStringLiteral("error"));
    EXPECT_LT(clock.elapsed(), 1200);
    const auto sent = [&] {
        const std::vector<std::string> commands = phone.commands();
        return std::count(commands.begin(), commands.end(), std::string("AT+CPMS?"));
    };
    e2e::waitFor([&] { return sent() >= 3; }, 2000);
    EXPECT_EQ(sent(), 3);
}

// Which commands are listings.
TEST(LongAnswerCommands, Listings)
{
    struct Case {
        const char* command;
        bool listing;
    } const cases[] = {
        {"+CMGL=4", true},    {"AT+CMGL=4", true},    {"+cmgl=0", true},  {"+CMGL", true},
        {"+CPBR=1,50", true}, {"+CPBR=51,100", true}, {"+CPBR=1", false}, {"+CPBR=?", false},
        {"+CMGR=1", false},   {"+CMGLX", false},      {"ATZ", false},     {"+CPMS?", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(phonelink::isListing(QString::fromLatin1(c.command)), c.listing) << c.command;
}
