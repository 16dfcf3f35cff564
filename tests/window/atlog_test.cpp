// The AT dialogue log: a connection to the simulated phone, with
// unsolicited lines around its answers, leaves in the log every byte the
// simulator received and every byte it sent, in order and each with its
// direction.
#include "link/atlog.h"
#include "support/e2e.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
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
        Dialogue dialogue;
        QString lastTime;
        for (const QByteArray& raw : log.readAll().split('\n')) {
            if (raw.isEmpty())
                continue;
            const QRegularExpressionMatch match = shape.match(QString::fromUtf8(raw));
            EXPECT_TRUE(match.hasMatch()) << raw.toStdString();
            if (!match.hasMatch())
                continue;
            EXPECT_GE(match.captured(1), lastTime);
            lastTime = match.captured(1);
            const std::string bytes = unescape(match.captured(3).toStdString());
            // One line of the dialogue at most per log line.
            EXPECT_LE(std::count(bytes.begin(), bytes.end(), '\n'), 1);
            (match.captured(2) == QLatin1String("->") ? dialogue.toPhone : dialogue.fromPhone) += bytes;
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
