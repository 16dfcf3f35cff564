// SPDX-License-Identifier: GPL-3.0-or-later
// An independent decoder reads back what "SMS lungo" sent: the texts of
// long_texts.h go out through the window to the simulated phone; the PDUs
// it took are stored, as unsent and sent messages, in the SIM store of a
// second simulated phone; gammu reads that phone (`gammu geteachsms`, which
// joins the parts of a concatenated message) and its text of each message
// must be exactly the text typed, made of exactly that message's parts, in
// the alphabet and the class it was typed for.
#include "support/e2e.h"

#include "composer/long_texts.h"

#include "phonebook/qstring_printer.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <fstream>
#include <set>
#include <string>
#include <vector>

namespace {

using namespace composertest;

// One message of gammu's listing: the locations of its parts, its header
// lines ("Coding               : Unicode (no compression)") and its text.
struct Read {
    std::set<int> locations;
    QStringList header;
    QString text;
};

// gammu's listing: each message is one or more "Location <n>, folder ..."
// lines (one a part), its header lines, an empty line and its text, which
// runs to the next message; a count of parts and sequences ends it.
std::vector<Read> readListing(const QString& output)
{
    std::vector<Read> messages;
    bool inText = false;
    QStringList text;
    const auto closeText = [&] {
        while (!text.isEmpty() && text.last().isEmpty())
            text.removeLast();
        if (!messages.empty())
            messages.back().text = text.join(QLatin1Char('\n'));
        text.clear();
    };
    for (const QString& line : output.split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1String("Location ")) && line.contains(QLatin1String(", folder"))) {
            if (inText || messages.empty()) {
                closeText();
                messages.emplace_back();
                inText = false;
            }
            messages.back().locations.insert(line.mid(9, line.indexOf(QLatin1Char(',')) - 9).toInt());
        } else if (line.contains(QLatin1String(" SMS parts in ")) && line.endsWith(QLatin1String(" SMS sequences"))) {
            break;
        } else if (inText) {
            text.append(line);
        } else if (line.isEmpty() && !messages.empty()) {
            inText = true;
        } else if (!messages.empty()) {
            messages.back().header.append(line);
        }
    }
    closeText();
    return messages;
}

TEST(GammuReadsLongSms, TheTextsTypedComeBackWhole)
{
    const QString gammu = QStandardPaths::findExecutable(QStringLiteral("gammu"));
    // scripts/install-deps.sh installs it: without it the check is missing, not passed.
    ASSERT_FALSE(gammu.isEmpty()) << "gammu is not installed (bash scripts/install-deps.sh)";

    // Sent through the window, "SMS lungo" checked.
    e2e::Phone phone{"smsc = \"+3912345678\",145\n"};
    ASSERT_TRUE(phone.connect());
    Form1& form = phone.form();
    form.Text4->setText(QStringLiteral("+3912345678"));
    form.Text2->setText(QStringLiteral("+393471234567"));
    QTest::mouseClick(form.findChild<QCheckBox*>(QStringLiteral("Check8")), Qt::LeftButton);
    ASSERT_TRUE(form.Check8->isChecked());
    const std::vector<LongText> cases = longTexts();
    std::vector<std::set<int>> locationsOf; // of each case, in the second phone's SIM store
    std::string stored;
    int slot = 0;
    for (size_t c = 0; c < cases.size(); ++c) {
        SCOPED_TRACE(cases[c].name);
        const size_t before = phone.sim().sentPdus().size();
        form.Check1->setChecked(cases[c].flash);
        form.Check2->setChecked(cases[c].report);
        form.Text1->setText(cases[c].text);
        QTest::mouseClick(form.findChild<QPushButton*>(QStringLiteral("Command5")), Qt::LeftButton);
        const std::vector<std::string> sent = phone.sim().sentPdus();
        ASSERT_EQ(sent.size() - before, size_t(cases[c].parts));
        // Every other message as "stored unsent", the rest as "stored sent".
        const char* const status = c % 2 == 0 ? "2" : "3";
        locationsOf.emplace_back();
        for (size_t i = before; i < sent.size(); ++i) {
            stored += "sms.SM." + std::to_string(++slot) + " = " + status + " " + sent[i] + "\n";
            locationsOf.back().insert(slot);
        }
    }

    // The second phone, holding them; gammu reads it.
    phonesim::PhoneState state;
    std::string error;
    ASSERT_TRUE(phonesim::loadStateText("sms.SM.capacity = " + std::to_string(slot + 5) + "\n" + stored, state, error))
        << error;
    phonesim::Simulator store(std::move(state));
    ASSERT_TRUE(store.start(&error)) << error;
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString rc = QDir(dir.path()).filePath(QStringLiteral("gammurc"));
    std::ofstream(rc.toStdString()) << "[gammu]\ndevice = " << store.devicePath() << "\nconnection = at19200\n";
    QProcess reader;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8")); // the texts as UTF-8
    reader.setProcessEnvironment(environment);
    reader.setProcessChannelMode(QProcess::MergedChannels);
    reader.start(gammu, {QStringLiteral("-c"), rc, QStringLiteral("geteachsms")});
    // A bound, not a measure: gammu gives up on a silent phone long before.
    ASSERT_TRUE(reader.waitForFinished(240000)) << "gammu did not end";
    const QString output = QString::fromUtf8(reader.readAll());
    ASSERT_EQ(reader.exitCode(), 0) << output.toStdString();

    const std::vector<Read> messages = readListing(output);
    EXPECT_EQ(messages.size(), cases.size()) << output.toStdString();
    for (size_t c = 0; c < cases.size(); ++c) {
        SCOPED_TRACE(cases[c].name);
        const auto read = std::find_if(messages.begin(), messages.end(),
                                       [&](const Read& m) { return m.locations == locationsOf[c]; });
        ASSERT_NE(read, messages.end()) << "gammu did not join exactly this message's parts\n" << output.toStdString();
        EXPECT_EQ(read->text, cases[c].text);
        const bool ucs2 = cases[c].dcs & 0x08;
        EXPECT_TRUE(read->header.contains(ucs2 ? QStringLiteral("Coding               : Unicode (no compression)")
                                               : QStringLiteral("Coding               : Default GSM alphabet (no "
                                                                "compression)")))
            << read->header.join(QLatin1Char('\n')).toStdString();
        // "Flash" is message class 0 (TS 23.038 4).
        EXPECT_EQ(read->header.contains(QStringLiteral("Class                : 0")), cases[c].flash);
    }
}

} // namespace
