// SPDX-License-Identifier: GPL-3.0-or-later
// The character counter Label3 and the typing limit of Text1 count what the
// sender sends: septets, with an escape pair as two, a line break as CR LF
// and a transliterated character as what it becomes. So the counter, the
// limit and the "Testo troppo lungo!!" refusal always agree.
#include "pdu/pdu.h"
#include "phonebook/qstring_printer.h"
#include "window/form1.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QTest>

namespace {

// Types `text` key by key: "\n" as the Return key, every other character
// (emoji included) as a key event carrying it.
void type(QWidget* widget, const QString& text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) == QLatin1Char('\n')) {
            QTest::keyClick(widget, Qt::Key_Return);
            continue;
        }
        const qsizetype width = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, text.mid(i, width), Qt::NoModifier);
        i += width - 1;
    }
}

class Counter : public ::testing::Test {
protected:
    QString counter() const { return form.Label3->text(); }
    // The septets the sender would send for Text1, or -1 when it refuses.
    int sentSeptets() const
    {
        const SubmitPdu submit = EncodeSubmit(QStringLiteral("+393359609600"), QStringLiteral("3331234567"),
                                              form.Text1->text(), false, false);
        return submit.error == SubmitPdu::Error::None ? submit.septets : -1;
    }
    Form1 form;
};

TEST_F(Counter, CountsTheSeptetsSent)
{
    struct Case {
        const char* name;
        const char16_t* typed;
        int septets;
    };
    const Case cases[] = {
        {"plain letters", u"ciao", 4},
        {"euro, an escape pair", u"€", 2},
        {"square brackets", u"[]", 4},
        {"braces", u"{}", 4},
        {"circumflex and tilde", u"^~", 4},
        {"bar and backslash", u"|\\", 4},
        {"every escape between spaces", u"€ [ ] { } ^ ~ | \\", 26},
        {"accented capitals in the alphabet", u"ÉÄÖÜÅÆØÑÇ", 9},
        {"accented capitals sent as their letter", u"ÈÀÙÌÒÁ", 6},
        {"small accented letters", u"èéùìòà", 6},
        {"a line break is CR LF", u"a\nb", 4},
        {"two line breaks", u"\n\n", 4},
        {"an emoji goes out as one question mark", u"ok 😀", 4},
        {"all of it", u"È€\n[x]", 10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        form.Text1->setText(QString());
        type(form.Text1, QString::fromUtf16(c.typed));
        EXPECT_EQ(counter(), QStringLiteral("%1/160").arg(c.septets));
        EXPECT_EQ(sentSeptets(), c.septets);
    }
}

// The user of the report: 150 letters, then euros until the box refuses.
TEST_F(Counter, TypingStopsWhereTheSenderWould)
{
    type(form.Text1, QString(150, QLatin1Char('a')) + QString(10, QChar(0x20AC)));
    EXPECT_EQ(form.Text1->text(), QString(150, QLatin1Char('a')) + QString(5, QChar(0x20AC)));
    EXPECT_EQ(counter(), QStringLiteral("160/160"));
    EXPECT_EQ(sentSeptets(), 160);

    // One septet left: a letter fits, a euro does not, nor does a line break.
    form.Text1->setText(QString(159, QLatin1Char('b')));
    form.Text1->moveCursor(QTextCursor::End);
    type(form.Text1, QStringLiteral("€[\n"));
    EXPECT_EQ(counter(), QStringLiteral("159/160"));
    type(form.Text1, QStringLiteral("c€"));
    EXPECT_EQ(form.Text1->text(), QString(159, QLatin1Char('b')) + QLatin1Char('c'));
    EXPECT_EQ(counter(), QStringLiteral("160/160"));

    // A euro typed over a selected letter needs one septet more than it frees.
    form.Text1->setSelection(0, 1);
    type(form.Text1, QStringLiteral("€"));
    EXPECT_TRUE(form.Text1->text().startsWith(QLatin1Char('b')));
    form.Text1->setSelection(0, 2);
    type(form.Text1, QStringLiteral("€"));
    EXPECT_TRUE(form.Text1->text().startsWith(QChar(0x20AC)));
    EXPECT_EQ(counter(), QStringLiteral("160/160"));
    EXPECT_EQ(sentSeptets(), 160);
}

TEST_F(Counter, PastingAndSettingKeepWhatTheSenderTakes)
{
    struct Case {
        const char* name;
        QString text;
        QString kept;
    };
    const QString euros = QString(100, QChar(0x20AC));
    const Case cases[] = {
        {"euros, two septets each", euros, QString(80, QChar(0x20AC))},
        {"a euro that would be half in", QString(159, QLatin1Char('x')) + QStringLiteral("€y"),
         QString(159, QLatin1Char('x'))},
        {"an emoji is never cut in half", QString(159, QLatin1Char('x')) + QStringLiteral("😀😀"),
         QString(159, QLatin1Char('x')) + QStringLiteral("😀")},
        {"a line break that just fits", QString(79, QLatin1Char('[')) + QStringLiteral("\r\nz"),
         QString(79, QLatin1Char('[')) + QStringLiteral("\r\n")},
        {"a line break that would be half in", QString(79, QLatin1Char('[')) + QStringLiteral("a\nz"),
         QString(79, QLatin1Char('[')) + QStringLiteral("a")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        form.Text1->setText(QString());
        QApplication::clipboard()->setText(c.text);
        form.Text1->paste();
        EXPECT_EQ(form.Text1->text(), c.kept);
        EXPECT_EQ(counter(), QStringLiteral("%1/160").arg(GsmSeptets(c.kept)));
        EXPECT_LE(GsmSeptets(c.kept), 160);
        EXPECT_NE(sentSeptets(), -1);

        form.Text1->setText(c.text);
        EXPECT_EQ(form.Text1->text(), c.kept);
    }

    // Pasting into the middle keeps the text on both sides whole.
    form.Text1->setText(QString(76, QLatin1Char('a')) + QString(76, QLatin1Char('z')));
    form.Text1->setSelection(76, 0);
    QApplication::clipboard()->setText(euros);
    form.Text1->paste();
    EXPECT_EQ(form.Text1->text(),
              QString(76, QLatin1Char('a')) + QString(4, QChar(0x20AC)) + QString(76, QLatin1Char('z')));
    EXPECT_EQ(counter(), QStringLiteral("160/160"));
}

} // namespace
