// SPDX-License-Identifier: GPL-3.0-or-later
// The record of what was sent, through the window against the simulated
// phone: each message kept in the data folder, and a delivery report that
// comes after a restart (a new window on the same folder) matched and kept.
#include "support/e2e.h"

#include "phone/savefile.h"
#include "phone/sending/sent_record.h"
#include "phonebook/qstring_printer.h"
#include "support/file_size_limit.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

namespace {

QString u(const char* utf8) { return QString::fromUtf8(utf8); }

// The data folder of these tests: a folder of their own, never the user's.
class SentRecordFolder : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        m_before = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", QFile::encodeName(folder.path()));
        ASSERT_TRUE(phone::SentRecord::DefaultFile().startsWith(folder.path()));
    }
    void TearDown() override { qputenv("XDG_DATA_HOME", m_before); }

    std::deque<phone::SentEntry> kept() const
    {
        const std::optional<QByteArray> bytes = ReadRegularFile(phone::SentRecord::DefaultFile(), 1 << 20);
        EXPECT_TRUE(bytes);
        const std::optional<std::deque<phone::SentEntry>> entries = phone::ReadSentFile(bytes.value_or(QByteArray()));
        EXPECT_TRUE(entries);
        return entries.value_or(std::deque<phone::SentEntry>());
    }

    QTemporaryDir folder;

private:
    QByteArray m_before;
};

// Reports that wait an hour: none comes while the first window runs.
const std::string kLateReports =
    "smsc = \"+3912345678\",145\nnext_reference = 41\nreport.delay_ms = 3600000\nreport.time = 241210153012\n";

TEST_F(SentRecordFolder, AReportAfterARestartIsMatched)
{
    {
        e2e::Phone phone(kLateReports);
        ASSERT_TRUE(phone.connect());
        Form1& form = phone.form();
        form.Check2->click();
        form.Text2->setText(u("3471234567 ³ Marco; 3331234567"));
        form.Text1->setText(u("Cena alle 8?"));
        QTest::mouseClick(form.Command5, Qt::LeftButton);
        ASSERT_EQ(form.StatusBar1->panelText(2), u("Inviato a 2 destinatari.."));
    }
    std::deque<phone::SentEntry> entries = kept();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].number, u("3471234567"));
    EXPECT_EQ(entries[0].name, u("Marco"));
    EXPECT_EQ(entries[0].text, u("Cena alle 8?"));
    EXPECT_TRUE(entries[0].statusReport);
    EXPECT_LE(qAbs(entries[0].sent.secsTo(QDateTime::currentDateTime())), 600);
    ASSERT_EQ(entries[0].parts.size(), 1u);
    EXPECT_EQ(entries[0].parts[0].state, phone::SentPartRecord::State::Sent);
    EXPECT_EQ(entries[0].parts[0].reference, 41);
    EXPECT_EQ(entries[1].number, u("3331234567"));
    EXPECT_EQ(entries[1].parts[0].reference, 42);
    EXPECT_EQ(phone::DeliveryState(entries[1]), u("in attesa della ricevuta"));

    // The next run: a new window, the same data folder, the report of the
    // second message.
    e2e::Phone phone(kLateReports);
    ASSERT_TRUE(phone.connect());
    Form1& form = phone.form();
    ASSERT_EQ(phone.sim().control("report 42 3331234567 0"), "OK");
    ASSERT_TRUE(e2e::waitFor([&] {
        return form.StatusBar1->panelText(2) == u("SMS a 3331234567 consegnato alle 15:30");
    })) << form.StatusBar1->panelText(2).toStdString();
    entries = kept();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(phone::DeliveryState(entries[1]), u("consegnato alle 15:30"));
    EXPECT_EQ(entries[1].parts[0].time, u("15:30:14"));
    EXPECT_EQ(phone::DeliveryState(entries[0]), u("in attesa della ricevuta"));
    // The same report again is told no more.
    form.Stato(QString());
    ASSERT_EQ(phone.sim().control("report 42 3331234567 0"), "OK");
    ASSERT_EQ(phone.sim().control("report 41 +393471234567 70"), "OK");
    ASSERT_TRUE(e2e::waitFor([&] { return !form.StatusBar1->panelText(2).isEmpty(); }));
    EXPECT_EQ(form.StatusBar1->panelText(2),
              u("SMS a 3471234567 non consegnato (periodo di validità scaduto, stato 70)"));
    EXPECT_EQ(phone::DeliveryState(kept()[0]), u("non consegnato: periodo di validità scaduto, stato 70"));
}

// A save that cannot complete (a full disk) leaves the file as it was and
// says so after the send; what it held is written with the next save.
TEST_F(SentRecordFolder, AFullDiskLeavesTheOldRecord)
{
    e2e::Phone phone(kLateReports);
    ASSERT_TRUE(phone.connect());
    Form1& form = phone.form();
    form.Text2->setText(u("3471234567"));
    form.Text1->setText(u("Primo"));
    QTest::mouseClick(form.Command5, Qt::LeftButton);
    ASSERT_EQ(form.StatusBar1->panelText(2), u("SMS inviato.."));
    const QString file = phone::SentRecord::DefaultFile();
    QFile before(file);
    ASSERT_TRUE(before.open(QIODevice::ReadOnly));
    const QByteArray old = before.readAll();
    before.close();
    {
        FileSizeLimit disk(rlim_t(old.size() + 10));
        ASSERT_TRUE(disk.set());
        form.Text1->setText(u("Secondo"));
        QTest::mouseClick(form.Command5, Qt::LeftButton);
    }
    EXPECT_EQ(form.StatusBar1->panelText(2), u("SMS inviato.. Registro degli sms inviati non scritto: ") + file);
    QFile after(file);
    ASSERT_TRUE(after.open(QIODevice::ReadOnly));
    EXPECT_EQ(after.readAll(), old);
    EXPECT_EQ(form.Label8->text(), u("2"));

    form.Text1->setText(u("Terzo"));
    QTest::mouseClick(form.Command5, Qt::LeftButton);
    EXPECT_EQ(form.StatusBar1->panelText(2), u("SMS inviato.."));
    const std::deque<phone::SentEntry> entries = kept();
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[1].text, u("Secondo"));
}

// A record that cannot be read is put aside, never written over: the next
// send starts a new one.
TEST_F(SentRecordFolder, AnUnreadableRecordIsPutAside)
{
    const QString file = phone::SentRecord::DefaultFile();
    ASSERT_TRUE(QDir().mkpath(QFileInfo(file).absolutePath()));
    {
        QFile bad(file);
        ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
        bad.write("{\"zircalo-inviati\": 1, \"messaggi\": [ tagliato");
    }
    e2e::Phone phone(kLateReports);
    Form1& form = phone.form();
    const QString said = form.StatusBar1->panelText(2);
    const QString prefix = u("Registro degli sms inviati non leggibile: messo da parte come ");
    ASSERT_TRUE(said.startsWith(prefix)) << said.toStdString();
    const QString aside = said.mid(prefix.size()).chopped(2);
    QFile moved(aside);
    ASSERT_TRUE(moved.open(QIODevice::ReadOnly));
    EXPECT_EQ(moved.readAll(), QByteArray("{\"zircalo-inviati\": 1, \"messaggi\": [ tagliato"));
    EXPECT_FALSE(QFileInfo::exists(file));

    ASSERT_TRUE(phone.connect());
    form.Text2->setText(u("3471234567"));
    form.Text1->setText(u("Ciao"));
    QTest::mouseClick(form.Command5, Qt::LeftButton);
    EXPECT_EQ(form.StatusBar1->panelText(2), u("SMS inviato.."));
    ASSERT_EQ(kept().size(), 1u);
    EXPECT_EQ(phone::DeliveryState(kept()[0]), u("inviato"));
}

} // namespace
