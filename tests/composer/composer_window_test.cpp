// SPDX-License-Identifier: GPL-3.0-or-later
// The composer's aids on a window without a phone: the character counter
// with typing and pasting up to 160 characters, "ZIP SMS", the focus
// selections, "Reset", and a send with the port closed.
#include "phonebook/qstring_printer.h"
#include "window/form1.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QTest>

namespace {

// Types characters that QTest::keyClicks cannot (it knows ASCII keys only).
void typeCharacters(QWidget* widget, const QString& text)
{
    for (const QChar c : text)
        QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

class Composer : public ::testing::Test {
protected:
    QString counter() const { return form.Label3->text(); }
    void paste(const QString& text)
    {
        QApplication::clipboard()->setText(text);
        form.Text1->paste();
    }

    Form1 form;
};

TEST_F(Composer, TheCounterFollowsTheTyping)
{
    EXPECT_EQ(counter(), QStringLiteral("0/160"));
    QTest::keyClicks(form.Text1, QStringLiteral("ciao"));
    EXPECT_EQ(counter(), QStringLiteral("4/160"));
    QTest::keyClick(form.Text1, Qt::Key_Return); // CR LF: two
    EXPECT_EQ(counter(), QStringLiteral("6/160"));
    typeCharacters(form.Text1, QStringLiteral("è€"));
    EXPECT_EQ(counter(), QStringLiteral("9/160")); // € goes out as an escape pair: two septets
    QTest::keyClick(form.Text1, Qt::Key_Backspace);
    EXPECT_EQ(counter(), QStringLiteral("7/160"));
    EXPECT_EQ(form.Text1->text(), QStringLiteral("ciao\r\nè"));
    form.Text1->setText(QString());
    EXPECT_EQ(counter(), QStringLiteral("0/160"));
}

TEST_F(Composer, TypingStopsAt160Characters)
{
    QTest::keyClicks(form.Text1, QString(170, QLatin1Char('x')));
    EXPECT_EQ(form.Text1->text(), QString(160, QLatin1Char('x')));
    EXPECT_EQ(counter(), QStringLiteral("160/160"));
    // A line break needs two places: at 159 there is room for neither half.
    QTest::keyClick(form.Text1, Qt::Key_Backspace);
    QTest::keyClick(form.Text1, Qt::Key_Return);
    EXPECT_EQ(counter(), QStringLiteral("159/160"));
    EXPECT_FALSE(form.Text1->text().contains(QLatin1Char('\r')));
    // Typing over a selection replaces it within the limit.
    QTest::keyClicks(form.Text1, QStringLiteral("y"));
    form.Text1->setSelection(0, 1);
    QTest::keyClicks(form.Text1, QStringLiteral("z"));
    EXPECT_EQ(counter(), QStringLiteral("160/160"));
    EXPECT_TRUE(form.Text1->text().startsWith(QLatin1Char('z')));
}

TEST_F(Composer, PastingKeepsWhatFits)
{
    const auto panel2 = [this] { return form.StatusBar1->panelText(2); };
    const QString banner = panel2();
    paste(QString(200, QLatin1Char('a')));
    EXPECT_EQ(form.Text1->text(), QString(160, QLatin1Char('a')));
    EXPECT_EQ(counter(), QStringLiteral("160/160"));
    // What was cut is said.
    EXPECT_EQ(panel2(), QStringLiteral("Testo troppo lungo: tenuti i primi 160 caratteri.."));

    form.Stato(banner);
    form.Text1->setText(QString(150, QLatin1Char('b')));
    form.Text1->moveCursor(QTextCursor::End);
    paste(QStringLiteral("01234"));
    EXPECT_EQ(panel2(), banner); // it all fitted
    paste(QStringLiteral("56789abcdef"));
    EXPECT_EQ(form.Text1->text(), QString(150, QLatin1Char('b')) + QStringLiteral("0123456789"));
    EXPECT_EQ(panel2(), QStringLiteral("Testo troppo lungo: tenuti i primi 160 caratteri.."));

    // Euro signs count two: 79 of them and a letter are 159, the next one would not fit.
    form.Text1->setText(QString());
    paste(QString(90, QChar(0x20AC)));
    EXPECT_EQ(counter(), QStringLiteral("160/160"));
    EXPECT_EQ(panel2(), QStringLiteral("Testo troppo lungo: tenuti i primi 160 caratteri.."));

    // Pasted line breaks count two each, whatever their form on the clipboard.
    form.Text1->setText(QString());
    paste(QStringLiteral("uno\ndue\r\ntre"));
    EXPECT_EQ(form.Text1->text(), QStringLiteral("uno\r\ndue\r\ntre"));
    EXPECT_EQ(counter(), QStringLiteral("13/160"));
    form.Text1->setText(QString(157, QLatin1Char('c')));
    form.Text1->moveCursor(QTextCursor::End);
    paste(QStringLiteral("d\ne")); // the break would be the 159th and 160th
    EXPECT_EQ(counter(), QStringLiteral("160/160"));
    paste(QStringLiteral("f"));
    EXPECT_EQ(form.Text1->text(), QString(157, QLatin1Char('c')) + QStringLiteral("d\r\n"));
}

TEST_F(Composer, ZipSmsPacksTheTextAndTheCounterFollows)
{
    struct Case {
        const char16_t* text;
        const char16_t* packed;
        const char* counter;
    };
    const Case cases[] = {
        {u"ciao come stai", u"CIAOcomeSTAI", "12/160"},
        {u"", u"", "0/160"},
        {u"ciao\r\ncome stai", u"CIAO\r\nCOMEstai", "14/160"},
        {u"è già così", u"ÈgiàCOSÌ", "8/160"},
    };
    for (const Case& c : cases) {
        form.Text1->setText(QString::fromUtf16(c.text));
        form.Command12->click();
        EXPECT_EQ(form.Text1->text(), QString::fromUtf16(c.packed));
        EXPECT_EQ(counter(), QString::fromLatin1(c.counter));
    }
    form.Text1->setText(QStringLiteral("ciao come stai"));
    form.Command12->click();
    form.Command12->click();
    EXPECT_EQ(form.Text1->text(), QStringLiteral("CIAOCOMESTAI"));

    // 160 characters: 32 words of four letters, each with its space.
    QString full;
    for (int i = 0; i < 32; ++i)
        full += QStringLiteral("abcd ");
    ASSERT_EQ(full.size(), 160);
    form.Text1->setText(full);
    EXPECT_EQ(counter(), QStringLiteral("160/160"));
    form.Command12->click();
    EXPECT_EQ(counter(), QStringLiteral("128/160"));
    EXPECT_TRUE(form.Text1->text().startsWith(QStringLiteral("ABCDabcdABCD")));
}

TEST_F(Composer, FocusSelectsTheWholeField)
{
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    form.Text1->setText(QStringLiteral("ciao\r\ncome"));
    form.Text1->moveCursor(QTextCursor::End);
    form.Text2->setText(QStringLiteral("+390123456789        ³ Ufficio       "));
    form.Text4->setFocus();
    form.Text1->setFocus();
    EXPECT_EQ(form.Text1->selStart(), 0);
    EXPECT_EQ(form.Text1->selLength(), 10);
    QTest::keyClicks(form.Text1, QStringLiteral("nuovo"));
    EXPECT_EQ(form.Text1->text(), QStringLiteral("nuovo")); // typing replaces the field
    form.Text2->setCursorPosition(3);
    form.Text2->setFocus();
    EXPECT_EQ(form.Text2->selectionStart(), 0);
    EXPECT_EQ(form.Text2->selectedText(), form.Text2->text());
}

TEST_F(Composer, ResetSetsTheSentCounterToZero)
{
    form.Invio->setSent(7);
    form.Command10->click();
    EXPECT_EQ(form.Label8->text(), QStringLiteral("0"));
}

TEST_F(Composer, ASendWithThePortClosedOnlySaysSo)
{
    form.Text2->setText(QStringLiteral("12345"));
    form.Text4->setText(QStringLiteral("+3912345678"));
    form.Command5->click();
    EXPECT_EQ(form.StatusBar1->panelText(2), QStringLiteral("Porta non aperta.."));
    EXPECT_EQ(form.Beeps, 0);
    EXPECT_TRUE(form.ComandoLibero);
    EXPECT_EQ(form.Label8->text(), QStringLiteral("0"));
}

} // namespace
