// SPDX-License-Identifier: GPL-3.0-or-later
// Commands and answers stay paired against the phone simulator: a late
// answer, an answer one byte at a time, unsolicited lines anywhere, a prompt
// that comes after its send was given up. The message list read gives the
// rows of the plain phone or rows marked failed, never another slot's.
// The phone and the link keep the test's time: a phone late by five
// deadlines is late by exactly that, and no deadline is waited out.
#include "link/phonelink.h"
#include "support/e2e.h"

#include <QEvent>
#include <QStringList>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>

namespace {

// A phone of three SIM slots and two of its own: quick to read.
const std::string kSmall = "include = small.state\n"
                           "sms.SM.4 =\nsms.SM.5 =\nsms.SM.capacity = 3\n"
                           "sms.ME.3 =\nsms.ME.4 =\nsms.ME.5 =\nsms.ME.capacity = 2\n"
                           // slot by slot: one command per slot, so that an
                           // answer could stray to the next slot's command
                           "fault.error = on +CMGL\n";

QStringList rows(Form1& form)
{
    QStringList list;
    for (int i = 0; i < form.List1->ListCount(); ++i)
        list << form.List1->List(i);
    return list;
}

// The list rows of the plain phone.
QStringList plainRows()
{
    e2e::Phone phone(e2e::sampleState(kSmall), e2e::Time::Test);
    EXPECT_TRUE(phone.connect());
    phone.form().Command4_Click();
    return rows(phone.form());
}

// Calls `atSend` whenever the activity light turns blue: a line is about
// to be written.
class SendWatch : public QObject {
public:
    SendWatch(Light* light, std::function<void()> atSend) : m_light(light), m_atSend(std::move(atSend))
    {
        light->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == m_light && event->type() == QEvent::PaletteChange
            && m_light->BackColor() == phonelink::kLightSend)
            m_atSend();
        return false;
    }

private:
    Light* m_light;
    std::function<void()> m_atSend;
};

// The body of a row: what follows its head (store and slot).
QString body(const QString& row)
{
    const qsizetype bar = row.indexOf(QChar(0xB4));
    return bar < 0 ? row : row.mid(bar);
}

// Every row is the plain phone's, or failed: none shows another slot's message.
void expectPlainOrFailed(const QStringList& got, const QStringList& plain)
{
    ASSERT_LE(got.size(), plain.size());
    for (qsizetype i = 0; i < got.size(); ++i) {
        SCOPED_TRACE("row " + std::to_string(i));
        if (got[i] == plain[i])
            continue;
        for (qsizetype j = 0; j < plain.size(); ++j) {
            if (j != i && body(plain[j]) != body(plain[i])) {
                EXPECT_NE(body(got[i]), body(plain[j])) << got[i].toStdString();
            }
        }
    }
}

// Late by half a deadline, and by five: past any silence the link could
// wait for, the answers are still not taken for another slot's.
TEST(Pairing, ALateAnswerIsNeverTakenForTheNextSlot)
{
    const QStringList plain = plainRows();
    ASSERT_EQ(plain.size(), 5);
    for (const int late : {450, 1500}) {
        SCOPED_TRACE(late);
        e2e::Phone phone(e2e::sampleState(kSmall), e2e::Time::Test);
        Form1& form = phone.form();
        ASSERT_TRUE(phone.connect());
        form.Tempi.deadlineMs = 300;
        phone.sim().control("fault late on " + std::to_string(late) + " +CMGR=2");
        form.Command4_Click();
        const QStringList got = rows(form);
        expectPlainOrFailed(got, plain);
        ASSERT_GE(got.size(), 2);
        EXPECT_NE(got[1], plain[1]); // the late slot failed
        EXPECT_EQ(got[0], plain[0]);
        EXPECT_TRUE(form.ComandoLibero);

        // Once the phone has caught up, everything reads as on the plain phone.
        phone.sim().control("fault late off");
        form.Tempi.deadlineMs = 10000;
        form.Command4_Click();
        const QStringList again = rows(form);
        ASSERT_EQ(again.size(), plain.size());
        for (qsizetype i = 0; i < plain.size(); ++i) {
            if (i != 1) { // read now, the late slot's message has been read
                EXPECT_EQ(body(again[i]), body(plain[i])) << i;
            }
        }
    }
}

TEST(Pairing, AnAnswerOneByteAtATimeReadsAsAWholeOne)
{
    const QStringList plain = plainRows();
    e2e::Phone phone(e2e::sampleState(kSmall), e2e::Time::Test);
    ASSERT_TRUE(phone.connect());
    phone.sim().control("fault pieces on 1 1");
    phone.form().Command4_Click();
    EXPECT_EQ(rows(phone.form()), plain);
}

TEST(Pairing, UnsolicitedLinesAnywhereChangeNoRow)
{
    const QStringList plain = plainRows();
    e2e::Phone phone(e2e::sampleState(kSmall), e2e::Time::Test);
    Form1& form = phone.form();
    ASSERT_TRUE(phone.connect());
    // At every send (the light turns blue just before the line is written),
    // lines for its answer: before it and after its first line, or one
    // sent at once, wherever it falls.
    int round = 0;
    SendWatch watch(form.Label16, [&] {
        switch (round++ % 3) {
        case 0:
            phone.sim().control("fault unsolicited on before RING");
            phone.sim().control("fault unsolicited on inside +CMTI: \"SM\",3");
            break;
        case 1:
            phone.sim().control("fault unsolicited on inside ^BOOT:27710117,0,0,0,75");
            phone.sim().control("fault unsolicited on before ^MODE:5,5");
            break;
        default:
            phone.sim().control("unsolicited +CREG: 1");
        }
    });
    form.Command4_Click();
    EXPECT_GE(round, 5);
    EXPECT_EQ(rows(form), plain);
    EXPECT_EQ(form.UltimoAvviso, "+CMTI: \"SM\",3");
}

// A "> " prompt that comes after its send was given up is cancelled, and
// "Rivela" still reads the service centre.
TEST(Pairing, APromptAfterAGivenUpSendIsNotTakenByTheNextCommand)
{
    e2e::Phone phone(e2e::sampleState(), e2e::Time::Test);
    Form1& form = phone.form();
    ASSERT_TRUE(phone.connect());
    form.Tempi.deadlineMs = 500;
    phone.sim().control("fault late on 750 +CMGS=14");
    EXPECT_EQ(form.InviaAT("+CMGS=14\r"), "error");
    form.Text4->setText("");
    form.Command3_Click();
    EXPECT_EQ(form.Text4->text(), "+393359609600");
    EXPECT_TRUE(phone.sim().sentPdus().empty());
    // Nothing reached the phone as a message: the prompt was left with ESC.
    bool cancelled = false;
    for (const std::string& line : phone.commands())
        cancelled = cancelled || (!line.empty() && line.back() == '\x1b');
    EXPECT_TRUE(cancelled);
}

} // namespace
