// SPDX-License-Identifier: GPL-3.0-or-later
// What the user was writing is not lost: the message in Text1 and its
// recipients in Text2 stay through a new connection to the phone, and
// through the end of the program to its next start, kept in the settings
// (a file of the test's own, never the user's).
#include "app/settings.h"
#include "support/e2e.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>

namespace {

QString u(const char* utf8) { return QString::fromUtf8(utf8); }

class Drafts : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    QString settingsFile() const { return dir.filePath(QStringLiteral("zircalo.conf")); }

    // The program's start: the window with what the settings keep, which
    // it writes back when it ends.
    void start()
    {
        phone = std::make_unique<e2e::Phone>();
        settings = std::make_unique<QSettings>(settingsFile(), QSettings::IniFormat);
        LoadSettings(form(), *settings);
        SaveSettingsAtExit(form(), *settings);
        form().show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form()));
    }
    // The window closed by the user: the program's end.
    void close()
    {
        form().close();
        ASSERT_TRUE(phone->terminated);
        phone.reset();
        settings.reset();
    }
    // Types `text` key by key, as a keyboard with accents and emoji does.
    void write(QWidget* box, const QString& text)
    {
        box->setFocus();
        for (int i = 0; i < text.size(); ++i) {
            const int length = text.at(i).isHighSurrogate() ? 2 : 1;
            QTest::sendKeyEvent(QTest::Click, box, Qt::Key_unknown, text.mid(i, length), Qt::NoModifier);
            i += length - 1;
        }
    }
    Form1& form() { return phone->form(); }

    QTemporaryDir dir;
    std::unique_ptr<e2e::Phone> phone;
    std::unique_ptr<QSettings> settings;
};

TEST_F(Drafts, SurviveAReconnectionAndARestart)
{
    start();
    write(form().Text1, u("Ci vediamo alle 8 in piazza,"));
    QTest::keyClick(form().Text1, Qt::Key_Return);
    write(form().Text1, u("porto io il caffè! 🎉"));
    const QString draft = u("Ci vediamo alle 8 in piazza,\r\nporto io il caffè! 🎉");
    ASSERT_EQ(form().Text1->text(), draft);
    write(form().Text2, u("+393471234567; 3401234567"));
    const QString counter = form().Label3->text();

    // Connecting, disconnecting and connecting again leave both as written.
    ASSERT_TRUE(phone->connect());
    EXPECT_EQ(form().Text1->text(), draft);
    EXPECT_EQ(form().Text2->text(), u("+393471234567; 3401234567"));
    QTest::mouseClick(form().Command2, Qt::LeftButton);
    ASSERT_EQ(form().StatusBar1->panelText(1), u("DICONNESSO"));
    ASSERT_TRUE(phone->connect());
    EXPECT_EQ(form().Text1->text(), draft);
    EXPECT_EQ(form().Text2->text(), u("+393471234567; 3401234567"));
    EXPECT_EQ(form().Label3->text(), counter);

    // A recipient picked from the phone book: its number, the blanks of its
    // column, the bar and the name, as the pick writes it.
    QTest::mouseClick(form().Command1, Qt::LeftButton);
    ASSERT_GT(form().List2->ListCount(), 0);
    form().Text5->setFocus();
    QTest::keyClicks(form().Text5, u("Marco"));
    const QString picked = form().Text2->text();
    ASSERT_TRUE(picked.startsWith(u("+393471234567 "))) << picked.toStdString();
    ASSERT_TRUE(picked.endsWith(u(" "))) << picked.toStdString();

    close();
    start();
    EXPECT_EQ(form().Text1->text(), draft);
    EXPECT_EQ(form().Text2->text(), picked);
    EXPECT_EQ(form().Label3->text(), counter);
    close();
}

// A draft longer than one SMS, with "SMS lungo": the limit is back before
// the text, which comes back whole.
TEST_F(Drafts, ALongDraftComesBackWhole)
{
    start();
    QTest::mouseClick(form().Check8, Qt::LeftButton);
    ASSERT_TRUE(form().Check8->isChecked());
    QString draft;
    for (int i = 0; i < 30; ++i)
        draft += u("parola%1 ").arg(i, 2, 10, QLatin1Char('0'));
    form().Text1->setText(draft);
    ASSERT_EQ(form().Text1->text(), draft);
    close();

    start();
    EXPECT_TRUE(form().Check8->isChecked());
    EXPECT_EQ(form().Text1->text(), draft);
    close();
}

// A draft the user emptied is not brought back by the settings of an
// earlier run.
TEST_F(Drafts, AnEmptiedDraftStaysEmpty)
{
    start();
    write(form().Text1, u("Da non mandare"));
    write(form().Text2, u("3331234567"));
    close();

    start();
    ASSERT_EQ(form().Text1->text(), u("Da non mandare"));
    form().Text1->setFocus();
    QTest::keyClick(form().Text1, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(form().Text1, Qt::Key_Delete);
    form().Text2->clear();
    close();

    start();
    EXPECT_EQ(form().Text1->text(), QString());
    EXPECT_EQ(form().Text2->text(), QString());
    EXPECT_EQ(form().Label3->text(), u("0/160"));
    close();
}

} // namespace
