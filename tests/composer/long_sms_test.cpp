// SPDX-License-Identifier: GPL-3.0-or-later
// "SMS lungo" against the simulated phone, through the clicks on "SMS
// lungo" and "Invia SMS": the parts the phone took, read back (the header
// octet by octet, the text by the codec's decoder) and joined into the text
// typed; the counter; a part the network refuses midway; and, without it,
// the question before characters are replaced.
#include "support/e2e.h"

#include "composer/long_texts.h"

#include "pdu/pdu.h"
#include "phonebook/qstring_printer.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QTest>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using namespace composertest;

// The fields of a sent SMS-SUBMIT that a long SMS sets, read without the codec.
struct Sent {
    int firstOctet = -1;
    int dcs = -1;
    QByteArray header; // the user-data header, when TP-UDHI is set
};

Sent readSent(const std::string& hex)
{
    const QByteArray octets = QByteArray::fromHex(QByteArray::fromStdString(hex));
    int at = 1 + uint8_t(octets[0]);
    Sent s;
    s.firstOctet = uint8_t(octets[at]);
    const int digits = uint8_t(octets[at + 2]);
    at += 4 + (digits + 1) / 2;
    s.dcs = uint8_t(octets[at + 1]);
    if (s.firstOctet & 0x40)
        s.header = octets.mid(at + 4, 1 + uint8_t(octets[at + 4]));
    return s;
}

// The +CMGS dialogues among `commands`.
long dialogues(const std::vector<std::string>& commands)
{
    return long(std::count_if(commands.begin(), commands.end(),
                              [](const std::string& line) { return line.rfind("AT+CMGS=", 0) == 0; }));
}

class LongSms : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(phone.connect());
        form.Text4->setText(QStringLiteral("+3912345678"));
        form.Text2->setText(QStringLiteral("+393471234567"));
        phone.clearTranscript();
    }
    void clickLongSms()
    {
        auto* box = form.findChild<QCheckBox*>(QStringLiteral("Check8"));
        ASSERT_NE(box, nullptr);
        QTest::mouseClick(box, Qt::LeftButton);
    }
    void clickSend() { QTest::mouseClick(form.findChild<QPushButton*>(QStringLiteral("Command5")), Qt::LeftButton); }
    QString panel2() const { return form.StatusBar1->panelText(2); }
    // The PDUs the phone took since the last call.
    std::vector<std::string> newlySent()
    {
        const std::vector<std::string> all = phone.sim().sentPdus();
        const std::vector<std::string> fresh(all.begin() + long(std::min(m_seen, all.size())), all.end());
        m_seen = all.size();
        return fresh;
    }
    size_t m_seen = 0;

    e2e::Phone phone{"smsc = \"+3912345678\",145\n"};
    Form1& form = phone.form();
};

TEST_F(LongSms, TextsArriveWholeInTheirParts)
{
    clickLongSms();
    ASSERT_TRUE(form.Check8->isChecked());
    std::vector<int> references;
    int counted = 0;
    for (const LongText& c : longTexts()) {
        SCOPED_TRACE(c.name);
        phone.clearTranscript();
        form.Check1->setChecked(c.flash);
        form.Check2->setChecked(c.report);
        form.Text1->setText(c.text);
        EXPECT_EQ(form.Label3->text(), QString::fromUtf8(c.counter));
        clickSend();
        EXPECT_EQ(panel2(), c.parts == 1 ? QStringLiteral("SMS inviato..")
                                         : QStringLiteral("SMS inviato in %1 parti..").arg(c.parts));
        counted += c.parts;
        EXPECT_EQ(form.Label8->text(), QString::number(counted));
        const std::vector<std::string> sent = newlySent();
        ASSERT_EQ(sent.size(), size_t(c.parts));
        QString joined;
        for (size_t i = 0; i < sent.size(); ++i) {
            const Sent s = readSent(sent[i]);
            EXPECT_EQ(s.dcs, c.dcs) << "part " << i + 1;
            EXPECT_EQ(s.firstOctet & 0x20, c.report ? 0x20 : 0) << "part " << i + 1; // TP-SRR
            if (c.parts == 1) {
                EXPECT_EQ(s.firstOctet & 0x40, 0);
            } else {
                // 05 00 03: one element, concatenation with an 8-bit reference.
                ASSERT_EQ(s.header.size(), 6) << "part " << i + 1;
                EXPECT_EQ(s.header.left(3).toHex(), "050003");
                EXPECT_EQ(uint8_t(s.header[4]), c.parts);
                EXPECT_EQ(uint8_t(s.header[5]), i + 1);
                EXPECT_EQ(s.header[3], readSent(sent[0]).header[3]) << "one reference for all the parts";
                if (i == 0)
                    references.push_back(uint8_t(s.header[3]));
            }
            joined += RivTesto(3, QString::fromStdString(sent[i]));
        }
        EXPECT_EQ(joined, c.text);
        // Each part had its own dialogue.
        EXPECT_EQ(dialogues(phone.commands()), c.parts);
    }
    // Every message its own reference.
    for (size_t i = 1; i < references.size(); ++i)
        EXPECT_NE(references[i], references[i - 1]);
}

// The limit follows the box: ten parts with it, 160 septets without.
TEST_F(LongSms, TheLimitIsTenParts)
{
    clickLongSms();
    form.Text1->setText(repeated("a", 1600));
    EXPECT_EQ(form.Text1->text(), repeated("a", 1530));
    EXPECT_EQ(panel2(), QStringLiteral("Testo troppo lungo: tenuti i primi 1530 caratteri.."));
    EXPECT_EQ(form.Label3->text(), QStringLiteral("1530/1530 (10 SMS)"));
    // Typing past it is refused.
    form.Text1->setFocus();
    form.Text1->moveCursor(QTextCursor::End);
    QTest::keyClicks(form.Text1, QStringLiteral("b"));
    EXPECT_EQ(form.Text1->text(), repeated("a", 1530));

    form.Text1->setText(repeated("ć", 700));
    EXPECT_EQ(form.Text1->text(), repeated("ć", 670));
    EXPECT_EQ(form.Label3->text(), QStringLiteral("670/670 (10 SMS)"));

    clickLongSms();
    EXPECT_FALSE(form.Check8->isChecked());
    EXPECT_EQ(form.Text1->text(), repeated("ć", 160));
    EXPECT_EQ(form.Label3->text(), QStringLiteral("160/160"));
}

// The network refuses the third part of four: the send ends there, the two
// parts it took are counted and never sent again.
TEST_F(LongSms, APartRefusedMidwayEndsTheSend)
{
    struct Case {
        const char* codes;
        const char* fault;
        const char* status;
    };
    const Case cases[] = {
        {"AT+CMEE=0", "fault reject on 500 2", "Invio fallito alla parte 3 di 4: 2 parti inviate.."},
        {"AT+CMEE=1", "fault reject on 331 1", "Invio fallito alla parte 2 di 4 (nessuna rete): 1 parte inviata.."},
        {"AT+CMEE=1", "fault reject on 331 0",
         "Invio fallito alla parte 1 di 4 (nessuna rete): nessuna parte inviata.."},
    };
    clickLongSms();
    form.Text1->setText(repeated("g", 600));
    int counted = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fault);
        form.InviaAT(QString::fromLatin1(c.codes));
        ASSERT_EQ(phone.sim().control(c.fault), "OK");
        phone.clearTranscript();
        clickSend();
        EXPECT_EQ(panel2(), QString::fromUtf8(c.status));
        const std::vector<std::string> sent = newlySent();
        counted += int(sent.size());
        EXPECT_EQ(form.Label8->text(), QString::number(counted));
        // The parts sent are the first ones, each once; nothing follows the refused one.
        for (size_t i = 0; i < sent.size(); ++i)
            EXPECT_EQ(uint8_t(readSent(sent[i]).header[5]), i + 1);
        EXPECT_EQ(dialogues(phone.commands()), long(sent.size() + 1));
        EXPECT_TRUE(form.ComandoLibero);
    }
}

// Without "SMS lungo", characters the alphabet lacks are replaced only when
// the user says yes to the question that names them.
TEST_F(LongSms, WithoutItTheReplacementIsAsked)
{
    form.Text1->setText(QString::fromUtf8("Ciao ć 😀 ć"));
    {
        e2e::MessageBoxes boxes(QMessageBox::No);
        clickSend();
        ASSERT_EQ(boxes.seen.size(), 1u);
        EXPECT_TRUE(boxes.seen[0].text.contains(QString::fromUtf8("ć → c\n😀 → ?")));
        EXPECT_TRUE(boxes.seen[0].text.contains(QStringLiteral("\"SMS lungo\"")));
        EXPECT_EQ(boxes.seen[0].icon, QMessageBox::Question);
    }
    EXPECT_TRUE(newlySent().empty());
    EXPECT_EQ(phone.sim().received(), "");
    EXPECT_EQ(form.Text1->text(), QString::fromUtf8("Ciao ć 😀 ć"));
    EXPECT_EQ(form.Label8->text(), QStringLiteral("0"));
    EXPECT_TRUE(form.ComandoLibero);

    {
        e2e::MessageBoxes boxes(QMessageBox::Yes);
        clickSend();
        EXPECT_EQ(boxes.seen.size(), 1u);
    }
    const std::vector<std::string> sent = newlySent();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(RivTesto(3, QString::fromStdString(sent[0])), QStringLiteral("Ciao c ? c"));
    EXPECT_EQ(panel2(), QStringLiteral("SMS inviato.."));
    EXPECT_EQ(form.Label8->text(), QStringLiteral("1"));

    // A text the alphabet carries is sent without a question.
    phone.clearTranscript();
    form.Text1->setText(QString::fromUtf8("Perché? 5€"));
    e2e::MessageBoxes none;
    clickSend();
    EXPECT_TRUE(none.seen.empty());
    EXPECT_EQ(newlySent().size(), 1u);
}

} // namespace
