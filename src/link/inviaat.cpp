// InviaAT: the program's one AT transaction. It writes a command line, waits
// for the phone's final answer while the window keeps running, sends again
// when the phone stays silent, and returns the answer without its framing.
#include "link/phonelink.h"
#include "window/form1.h"
#include "at/numbers.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTimer>

#include <cmath>

namespace phonelink {

using at::TrimSpaces;

QString withPrefix(const QString& command)
{
    if (command.startsWith(QLatin1Char('+')) || command.startsWith(QLatin1Char('^')))
        return QStringLiteral("AT") + command;
    return command;
}

QByteArray wireLine(const QString& command)
{
    // Commands and PDUs are ASCII; toLatin1 keeps any other code 0..255 as one byte.
    return (TrimSpaces(command) + QLatin1Char('\r')).toLatin1();
}

bool isPduLine(const QString& command)
{
    return TrimSpaces(command).endsWith(QLatin1Char(kCtrlZ));
}

AnswerEnd answerEnd(const QString& collected)
{
    if (collected.contains(QLatin1String("\r\nOK\r\n"), Qt::CaseInsensitive)
        || collected.contains(QLatin1String("\r\nERROR\r\n"), Qt::CaseInsensitive)
        || collected.contains(QLatin1String("\r\n> "), Qt::CaseInsensitive))
        return AnswerEnd::Final;
    // The final result codes of GSM 07.07 9.2 and GSM 07.05 3.2.5.
    static const QRegularExpression extended(QStringLiteral("\r\n\\+CM[ES] ERROR:[^\r\n]*\r\n"),
                                              QRegularExpression::CaseInsensitiveOption);
    if (collected.contains(QLatin1String("ERROR:"), Qt::CaseInsensitive) && collected.contains(extended))
        return AnswerEnd::ExtendedError;
    return AnswerEnd::None;
}

QString cleanAnswer(const QString& collected)
{
    static const QLatin1String crLf("\r\n");
    QString answer = TrimSpaces(collected);
    if (answer.startsWith(crLf))
        answer.remove(0, 2);
    if (answer.endsWith(crLf))
        answer.chop(2);
    if (answer == QLatin1String(">") || answer == QLatin1String("OK")
        || answer.compare(QLatin1String("ERROR"), Qt::CaseInsensitive) == 0)
        return answer;
    if (answer.size() < 6)
        return answer;
    answer.chop(6);
    return answer;
}

} // namespace phonelink

namespace {

using namespace phonelink;

// "+CMS ERROR: 321" out of the collected answer that ended on it.
QString extendedError(const QString& collected)
{
    static const QRegularExpression line(QStringLiteral("\\+CM[ES] ERROR:[^\r\n]*"),
                                          QRegularExpression::CaseInsensitiveOption);
    return TrimSpaces(line.match(collected).captured(0));
}

enum class WaitEnd { Answer, ExtendedError, Deadline, PortClosed };

// Waits for one send's answer. Between reads the thread sleeps in the event
// dispatcher until the port brings characters, the port closes or the
// deadline comes; the window's events run meanwhile.
class AnswerWait {
public:
    AnswerWait(Form1& form, const QElapsedTimer& clock, qint64 deadlineMs)
        : m_form(form), m_clock(clock), m_deadlineNs(deadlineMs * 1000000)
    {
        m_timer.setSingleShot(true);
        m_timer.setTimerType(Qt::PreciseTimer);
        QSerialPort* port = form.MSComm1;
        const auto wake = [this] { m_woken = true; };
        m_connections[0] = QObject::connect(&m_timer, &QTimer::timeout, wake);
        m_connections[1] = QObject::connect(port, &QIODevice::readyRead, wake);
        m_connections[2] = QObject::connect(port, &QIODevice::aboutToClose, [this] {
            m_closed = true;
            m_woken = true;
        });
        m_connections[3] = QObject::connect(port, &QSerialPort::errorOccurred, wake);
    }

    ~AnswerWait()
    {
        for (const QMetaObject::Connection& connection : m_connections)
            QObject::disconnect(connection);
    }

    AnswerWait(const AnswerWait&) = delete;
    AnswerWait& operator=(const AnswerWait&) = delete;

    // Reads until the answer is complete, the deadline passes or the port
    // closes; `collected` gets every character read.
    WaitEnd run(QString& collected)
    {
        for (;;) {
            QCoreApplication::processEvents(QEventLoop::AllEvents);
            if (m_closed || !m_form.PortOpen())
                return WaitEnd::PortClosed;
            const QByteArray got = m_form.MSComm1->readAll();
            if (!got.isEmpty()) {
                collected += QString::fromLatin1(got);
                light(kLightData);
            } else {
                light(kLightNothing);
            }
            switch (answerEnd(collected)) {
            case AnswerEnd::Final:
                return WaitEnd::Answer;
            case AnswerEnd::ExtendedError:
                return WaitEnd::ExtendedError;
            case AnswerEnd::None:
                break;
            }
            const qint64 left = m_deadlineNs - m_clock.nsecsElapsed();
            if (left <= 0)
                return WaitEnd::Deadline;
            sleep(left);
        }
    }

private:
    void light(quint32 colour)
    {
        if (m_form.Label16->BackColor() != colour)
            m_form.Label16->setBackColor(colour);
    }

    void sleep(qint64 leftNs)
    {
        if (m_form.MSComm1->bytesAvailable() > 0)
            return;
        m_woken = false;
        m_timer.start(std::chrono::milliseconds(qint64(std::ceil(double(leftNs) / 1e6))));
        while (!m_woken)
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        m_timer.stop();
    }

    Form1& m_form;
    const QElapsedTimer& m_clock;
    const qint64 m_deadlineNs;
    QTimer m_timer;
    QMetaObject::Connection m_connections[4];
    bool m_woken = false;
    bool m_closed = false;
};

} // namespace

QString Form1::InviaAT(const QString& command)
{
    if (!LineaLibera || !PortOpen()) {
        Label16->setBackColor(kLightIdle);
        return QStringLiteral("ERROR");
    }
    QElapsedTimer clock;
    clock.start();
    LineaLibera = false;
    ErroreAT.clear();

    // A PDU line is never repeated: the phone may already be sending it.
    const bool pdu = isPduLine(command);
    const int maxSends = pdu ? 1 : kMaxSends;
    AnswerWait wait(*this, clock, pdu ? Tempi.pduDeadlineMs : Tempi.deadlineMs);

    QString line = command;
    QString collected;
    QString result;
    for (int timedOut = 0;;) {
        line = withPrefix(line);
        Label16->setBackColor(kLightSend);
        MSComm1->write(wireLine(line));
        MSComm1->flush();
        collected.clear();
        const WaitEnd end = wait.run(collected);
        if (end == WaitEnd::ExtendedError)
            ErroreAT = extendedError(collected);
        if (end == WaitEnd::PortClosed || end == WaitEnd::ExtendedError) {
            result = QStringLiteral("ERROR");
            break;
        }
        if (end == WaitEnd::Answer) {
            result = cleanAnswer(collected);
            break;
        }
        // Characters of a timed-out send are dropped with it.
        if (++timedOut >= maxSends) {
            result = cleanAnswer(QStringLiteral("\r\nerror\r\n"));
            break;
        }
        Label16->setBackColor(kLightRetry);
    }
    LineaLibera = true;
    Label16->setBackColor(kLightIdle);
    return result;
}
