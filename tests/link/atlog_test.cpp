// SPDX-License-Identifier: GPL-3.0-or-later
// The AT dialogue log: a connection to the simulated phone, with
// unsolicited lines around its answers, leaves in the log every byte the
// simulator received and every byte it sent, in order and each with its
// direction.
#include "link/atlog.h"
#include "support/e2e.h"
#include "support/file_size_limit.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <fcntl.h>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// The bytes of an escaped text: \r \n \t \\ \" and \xHH as the log and the
// simulator's transcript write them.
std::string unescape(const std::string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const char c = text[++i];
        switch (c) {
        case 'r':
            out += '\r';
            break;
        case 'n':
            out += '\n';
            break;
        case 't':
            out += '\t';
            break;
        case 'x':
            out += char(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
            break;
        default:
            out += c;
        }
    }
    return out;
}

struct Dialogue {
    std::string toPhone;
    std::string fromPhone;
    std::vector<std::string> toPhoneLines; // as the log cut them
    std::vector<std::string> fromPhoneLines;
    QStringList events; // "porta ... aperta", without their time
};

// What the simulator's transcript says it sent (">>" lines).
std::string simulatorSent(const std::string& transcript)
{
    std::string sent;
    std::istringstream lines(transcript);
    std::string line;
    const std::string mark = " >> \"";
    while (std::getline(lines, line)) {
        const size_t at = line.find(mark);
        if (at == std::string::npos || line.back() != '"')
            continue;
        sent += unescape(line.substr(at + mark.size(), line.size() - at - mark.size() - 1));
    }
    return sent;
}

class AtLog : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        file = dir.filePath(QStringLiteral("at.log"));
        QString error;
        ASSERT_TRUE(atlog::OpenFile(file, &error)) << error.toStdString();
    }
    void TearDown() override { atlog::CloseFile(); }

    // The log file read back; every line must be in the log's shape, its
    // times never going back.
    Dialogue readLog()
    {
        QFile log(file);
        EXPECT_TRUE(log.open(QIODevice::ReadOnly));
        static const QRegularExpression shape(
            QStringLiteral(R"re(^(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}) (->|<-) "(.*)"$)re"));
        static const QRegularExpression event(
            QStringLiteral(R"re(^(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}) -- (.+)$)re"));
        Dialogue dialogue;
        QString lastTime;
        for (const QByteArray& raw : log.readAll().split('\n')) {
            if (raw.isEmpty())
                continue;
            if (const QRegularExpressionMatch told = event.match(QString::fromUtf8(raw)); told.hasMatch()) {
                EXPECT_GE(told.captured(1), lastTime);
                lastTime = told.captured(1);
                dialogue.events << told.captured(2);
                continue;
            }
            const QRegularExpressionMatch match = shape.match(QString::fromUtf8(raw));
            EXPECT_TRUE(match.hasMatch()) << raw.toStdString();
            if (!match.hasMatch())
                continue;
            EXPECT_GE(match.captured(1), lastTime);
            lastTime = match.captured(1);
            const std::string bytes = unescape(match.captured(3).toStdString());
            // One line of the dialogue at most per log line.
            EXPECT_LE(std::count(bytes.begin(), bytes.end(), '\n'), 1);
            const bool toPhone = match.captured(2) == QLatin1String("->");
            (toPhone ? dialogue.toPhone : dialogue.fromPhone) += bytes;
            (toPhone ? dialogue.toPhoneLines : dialogue.fromPhoneLines).push_back(bytes);
        }
        return dialogue;
    }

    QTemporaryDir dir;
    QString file;
};

TEST_F(AtLog, ConnectionLogsEveryByteInOrderWithItsDirection)
{
    e2e::Phone phone;
    phonesim::Simulator& sim = phone.sim();
    // Unsolicited lines in every place around the first answers; the one
    // after a final result code is read by the next transaction.
    ASSERT_EQ(sim.control("fault unsolicited on before-echo RING"), "OK");
    ASSERT_EQ(sim.control("fault unsolicited on before +CMTI: \"SM\",3"), "OK");
    ASSERT_EQ(sim.control("fault unsolicited on inside +CREG: 1"), "OK");
    ASSERT_EQ(sim.control("fault unsolicited on after +CDSI: \"SM\",7"), "OK");
    ASSERT_TRUE(phone.connect());
    // A last command, so that whatever came after the last answer is read.
    EXPECT_EQ(phone.form().InviaAT(QStringLiteral("AT")), "OK");

    const Dialogue logged = readLog();
    EXPECT_EQ(logged.toPhone, sim.received());
    EXPECT_EQ(logged.fromPhone, simulatorSent(sim.transcript()));
    for (const char* line : {"RING\r\n", "+CMTI: \"SM\",3\r\n", "+CREG: 1\r\n", "+CDSI: \"SM\",7\r\n"})
        EXPECT_NE(logged.fromPhone.find(line), std::string::npos) << line;
    EXPECT_EQ(logged.toPhone.rfind("ATZ\r", 0), 0u);
    EXPECT_NE(logged.toPhone.find("AT+CGMM\r"), std::string::npos);
}

// Whatever pieces the bytes come in, a log line holds one line of the
// dialogue, whole: a slow phone's answer, one byte at a time, is not logged
// a byte per line.
TEST_F(AtLog, AnswersInPiecesAreLoggedALineOfTheDialogueALine)
{
    e2e::Phone phone;
    ASSERT_EQ(phone.sim().control("fault pieces on 1 1"), "OK");
    ASSERT_TRUE(phone.connect());
    phone.form().Command2_Click(); // closed: what waited for its line end is logged
    atlog::CloseFile();

    const Dialogue logged = readLog();
    EXPECT_EQ(logged.fromPhone, simulatorSent(phone.sim().transcript()));
    ASSERT_FALSE(logged.fromPhoneLines.empty());
    for (const std::string& line : logged.fromPhoneLines)
        EXPECT_EQ(line.back(), '\n') << line;
    for (const std::string& line : logged.toPhoneLines)
        EXPECT_EQ(line.back(), '\r') << line;
    // "CONNESSO A Nokia 6310i": the model's answer is one line of the log.
    EXPECT_NE(std::find(logged.fromPhoneLines.begin(), logged.fromPhoneLines.end(), "Nokia 6310i\r\n"),
              logged.fromPhoneLines.end());

    // The header, the port opened with its settings, and closed.
    const QString device = QString::fromStdString(phone.device());
    ASSERT_GE(logged.events.size(), 3);
    EXPECT_TRUE(
        QRegularExpression(QStringLiteral("^zircalo \\d+\\.\\d+: dialogo AT")).match(logged.events[0]).hasMatch())
        << logged.events[0].toStdString();
    EXPECT_EQ(logged.events[1], "porta " + device
                                    + " aperta: 19200 baud, 8 bit di dati, nessuna parità, 1 bit di stop, nessun "
                                      "controllo di flusso");
    EXPECT_EQ(logged.events.last(), "porta " + device + " chiusa");
}

// A port that cannot be opened leaves its reason in the log, not an empty file.
TEST_F(AtLog, APortThatCannotBeOpenedIsLogged)
{
    e2e::Phone phone;
    phone.form().LegaPorta(1, QStringLiteral("/dev/zircalo-no-such-port"));
    EXPECT_FALSE(phone.connect());
    atlog::CloseFile();
    const Dialogue logged = readLog();
    EXPECT_EQ(logged.toPhone, "");
    ASSERT_EQ(logged.events.size(), 2);
    EXPECT_EQ(logged.events[1], "apertura della porta /dev/zircalo-no-such-port fallita: No such file or directory");
}

// Files that are not regular: the log never hangs the program, never ends
// it, and a log that cannot be written is said, in panel 2 too.
TEST(AtLogFiles, OnlyARegularFileOrATerminalAndAFullDiskIsSaid)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString fifo = dir.filePath(QStringLiteral("at.fifo"));
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);

    // A FIFO: refused at once, with a reader or without.
    QString error;
    EXPECT_FALSE(atlog::OpenFile(fifo, &error));
    EXPECT_EQ(error, "nessuno legge la FIFO");
    const int reader = ::open(QFile::encodeName(fifo).constData(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    EXPECT_FALSE(atlog::OpenFile(fifo, &error));
    EXPECT_EQ(error, QString::fromUtf8("non è un file né un terminale"));
    ::close(reader);
    if (QFile::exists(QStringLiteral("/dev/full"))) {
        EXPECT_FALSE(atlog::OpenFile(QStringLiteral("/dev/full"), &error));
    }

    // A disk that fills up: the log stops and the window says so.
    Form1 form;
    form.Termina = [] {};
    const QString file = dir.filePath(QStringLiteral("at.log"));
    ASSERT_TRUE(atlog::OpenFile(file, &error)) << error.toStdString();
    {
        FileSizeLimit limit(rlim_t(QFileInfo(file).size() + 100));
        ASSERT_TRUE(limit.set());
        for (int i = 0; i < 10; ++i)
            atlog::Record(atlog::Direction::FromPhone, QByteArray(60, 'x') + "\r\n");
    }
    EXPECT_FALSE(atlog::Writing());
    EXPECT_TRUE(form.StatusBar1->panelText(2).startsWith(QStringLiteral("Registro AT non scrivibile: ")))
        << form.StatusBar1->panelText(2).toStdString();
}

TEST(AtLogLines, ShowBytesReadablyAndReversibly)
{
    const QDateTime when(QDate(2024, 5, 1), QTime(12, 34, 56, 789));
    EXPECT_EQ(atlog::Line(when, atlog::Direction::ToPhone, "AT+CMGR=1\r"),
              R"(2024-05-01 12:34:56.789 -> "AT+CMGR=1\r")");
    EXPECT_EQ(atlog::Line(when, atlog::Direction::FromPhone, QByteArray("\r\n> \x1A\x1B\xB3\"\\\t", 10)),
              R"(2024-05-01 12:34:56.789 <- "\r\n> \x1A\x1B\xB3\"\\\t")");
    EXPECT_EQ(atlog::Line(when, atlog::Direction::FromPhone, QByteArray("@\0A", 3)),
              R"(2024-05-01 12:34:56.789 <- "@\x00A")");
}

// The digits of a PIN, and nothing else, become "*".
TEST(AtLogLines, HideThePin)
{
    struct Case {
        const char* name;
        QByteArray line;
        QByteArray logged;
    };
    const std::vector<Case> cases = {
        {"quoted", "AT+CPIN=\"1234\"\r", "AT+CPIN=\"****\"\r"},
        {"unquoted, eight digits", "AT+CPIN=12345678\r", "AT+CPIN=********\r"},
        {"lower case", "at+cpin=\"0000\"\r", "at+cpin=\"****\"\r"},
        {"a PUK and a new PIN", "AT+CPIN=\"12345678\",\"4321\"\r", "AT+CPIN=\"********\",\"****\"\r"},
        {"after another command", "AT+CMEE=1;+CPIN=1234\r", "AT+CMEE=1;+CPIN=****\r"},
        {"the echo of it", "AT+CPIN=\"1234\"\r\r\n", "AT+CPIN=\"****\"\r\r\n"},
        {"a half line", "AT+CPIN=\"12", "AT+CPIN=\"**"},
        {"the question keeps its digits", "AT+CPIN?\r", "AT+CPIN?\r"},
        {"the answer keeps its digits", "+CPINR: SIM PIN,2,3\r\n", "+CPINR: SIM PIN,2,3\r\n"},
        {"the tries asked", "AT+CPINR=\"SIM PIN\"\r", "AT+CPINR=\"SIM PIN\"\r"},
        {"other commands", "AT+CMGR=12\r", "AT+CMGR=12\r"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(atlog::Masked(c.line), c.logged);
    }
}

// Off unless asked for: a rule turns the category on.
TEST(AtLogCategory, OffByDefaultOnWhenARuleSaysSo)
{
    EXPECT_FALSE(lcAt().isDebugEnabled());
    static QStringList seen;
    seen.clear();
    const QtMessageHandler previous =
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext& context, const QString& text) {
            if (QLatin1String(context.category) == QLatin1String("zircalo.at"))
                seen << text;
        });
    atlog::Record(atlog::Direction::ToPhone, "ATZ\r");
    EXPECT_TRUE(seen.isEmpty());
    QLoggingCategory::setFilterRules(QStringLiteral("zircalo.at.debug=true"));
    atlog::Record(atlog::Direction::FromPhone, "\r\nOK\r\n");
    QLoggingCategory::setFilterRules(QString());
    qInstallMessageHandler(previous);
    ASSERT_EQ(seen.size(), 2);
    EXPECT_TRUE(seen[0].endsWith(R"(<- "\r\n")"));
    EXPECT_TRUE(seen[1].endsWith(R"(<- "OK\r\n")"));
}

} // namespace
