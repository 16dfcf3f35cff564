// InviaAT: the program's one AT transaction. It writes a command line, waits
// for the phone's final answer while the window keeps running, sends again
// when the phone stays silent, and returns the answer without its framing.
// Commands and answers stay paired: what waits in the port before a send is
// discarded, and after a send that got no answer the next transaction first
// lets the phone pay what it owes.
#include "at/numbers.h"
#include "at/unsolicited.h"
#include "link/atlog.h"
#include "link/phonelink.h"
#include "window/form1.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTimer>

#include <algorithm>
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

bool isPduLine(const QString& command) { return TrimSpaces(command).endsWith(QLatin1Char(kCtrlZ)); }

bool isListing(const QString& command)
{
    static const QRegularExpression listing(QStringLiteral("^(AT)?\\+(CMGL(=|$)|CPBR=[^,]*,)"),
                                            QRegularExpression::CaseInsensitiveOption);
    return listing.match(TrimSpaces(command)).hasMatch();
}

bool mayEndAnswer(const QString& got)
{
    for (const QChar c : got) {
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n') || c == QLatin1Char('>') || c == QLatin1Char(' '))
            return true;
    }
    return false;
}

bool isFinalLine(const QString& line)
{
    const QString text = line.trimmed();
    return text.compare(QLatin1String("OK"), Qt::CaseInsensitive) == 0
           || text.compare(QLatin1String("ERROR"), Qt::CaseInsensitive) == 0
           || text.startsWith(QLatin1String("+CME ERROR:"), Qt::CaseInsensitive)
           || text.startsWith(QLatin1String("+CMS ERROR:"), Qt::CaseInsensitive) || text == QLatin1String(">");
}

namespace {

bool isLineEnd(QChar c) { return c == QLatin1Char('\r') || c == QLatin1Char('\n'); }

// Some phones send NULs between lines; inside a line a NUL is a character:
// the "@" of a name in the GSM character set is code 0.
QString withoutStrayNuls(const QString& text)
{
    if (!text.contains(QChar(0)))
        return text;
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size();) {
        if (text.at(i) != QChar(0)) {
            out += text.at(i++);
            continue;
        }
        qsizetype end = i;
        while (end < text.size() && text.at(end) == QChar(0))
            ++end;
        const bool lineStart = out.isEmpty() || isLineEnd(out.back());
        const bool lineEnd = end == text.size() || isLineEnd(text.at(end));
        if (!lineStart && !lineEnd)
            out += text.mid(i, end - i);
        i = end;
    }
    return out;
}

bool isEchoOf(const QString& line, const QString& command)
{
    const QString sent = TrimSpaces(command).section(QLatin1Char('\r'), 0, 0);
    return !sent.isEmpty() && line.trimmed().compare(sent, Qt::CaseInsensitive) == 0;
}

} // namespace

QString normalise(const QString& collected, const QString& command, QStringList* removed)
{
    const at::Unsolicited filtered = at::RemoveUnsolicited(withoutStrayNuls(collected), command);
    if (removed)
        *removed = filtered.removed;
    const QString& kept = filtered.kept;

    // Complete lines, the echo (the first line, when no line end came before
    // it) and the unfinished rest.
    QString echo;
    bool hasEcho = false;
    bool framed = false; // a line end has come
    QStringList lines;
    QString rest;
    const qsizetype size = kept.size();
    for (qsizetype pos = 0; pos < size;) {
        if (isLineEnd(kept.at(pos))) {
            framed = true;
            ++pos;
            continue;
        }
        qsizetype end = pos;
        while (end < size && !isLineEnd(kept.at(end)))
            ++end;
        if (end == size || (kept.at(end) == QLatin1Char('\r') && end + 1 == size)) {
            rest = kept.mid(pos, end - pos);
            break;
        }
        const QString line = kept.mid(pos, end - pos);
        pos = end;
        if (line.trimmed().isEmpty()) {
            framed = true;
            continue;
        }
        // The echo is the first line; an unsolicited line taken out before
        // it leaves a line end in front of it. A first line that is not the
        // command is the tail of a line that began before the command was
        // sent (the end of a "NO CARRIER" whose start was discarded).
        if (!framed && !command.isEmpty() && !isEchoOf(line, command)) {
            framed = true;
            continue;
        }
        if (!framed || (!hasEcho && lines.isEmpty() && isEchoOf(line, command))) {
            echo = line;
            hasEcho = true;
        } else {
            lines << line;
        }
        framed = true;
    }

    static const QLatin1String crLf("\r\n");
    QString out = hasEcho ? echo + QLatin1Char('\r') : QString();
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (!isFinalLine(lines.at(i)))
            continue;
        if (i > 0)
            out += crLf + lines.mid(0, i).join(crLf) + crLf;
        const QString final = lines.at(i).trimmed();
        out += final == QLatin1String(">") ? QStringLiteral("\r\n> ") : crLf + final + crLf;
        return out;
    }
    if (!lines.isEmpty())
        out += crLf + lines.join(crLf) + crLf;
    if (!framed)
        out += rest; // an echo still coming
    else if (!rest.trimmed().isEmpty() || rest.startsWith(QLatin1Char('>')))
        out += crLf + rest;
    return out;
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

// Keeps the last notice of a message or status report that arrived.
void noteArrivals(Form1& form, const QStringList& removed)
{
    for (const QString& line : removed)
        if (line.startsWith(QLatin1String("+CMTI:"), Qt::CaseInsensitive)
            || line.startsWith(QLatin1String("+CDSI:"), Qt::CaseInsensitive))
            form.UltimoAvviso = line;
}

enum class WaitEnd { Answer, ExtendedError, Deadline, PortClosed };

// Sleeps in the event dispatcher until the port brings characters, the port
// closes or a time has passed; the window's events run meanwhile.
class LineWait {
public:
    explicit LineWait(Form1& form) : m_form(form)
    {
        m_timer.setSingleShot(true);
        m_timer.setTimerType(Qt::PreciseTimer);
        QSerialPort* port = form.MSComm1;
        const auto wake = [this] { m_woken = true; };
        m_connections[0] = QObject::connect(&m_timer, &QTimer::timeout, [this] {
            m_fired = true;
            m_woken = true;
        });
        m_connections[1] = QObject::connect(port, &QIODevice::readyRead, wake);
        m_connections[2] = QObject::connect(port, &QIODevice::aboutToClose, [this] {
            m_closed = true;
            m_woken = true;
        });
        m_connections[3] = QObject::connect(port, &QSerialPort::errorOccurred, wake);
    }

    ~LineWait()
    {
        for (const QMetaObject::Connection& connection : m_connections)
            QObject::disconnect(connection);
    }

    LineWait(const LineWait&) = delete;
    LineWait& operator=(const LineWait&) = delete;

    // Lets pending events run; false when the port has closed.
    bool serve()
    {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        return !m_closed && m_form.PortOpen();
    }

    // What the port holds, with the activity light showing whether it held anything.
    QString read()
    {
        const QByteArray got = m_form.MSComm1->readAll();
        atlog::Record(atlog::Direction::FromPhone, got);
        light(got.isEmpty() ? kLightNothing : kLightData);
        if (!got.isEmpty())
            m_form.Debito.traffic.start();
        return QString::fromLatin1(got);
    }

    void write(const QByteArray& bytes)
    {
        atlog::Record(atlog::Direction::ToPhone, bytes);
        m_form.MSComm1->write(bytes);
        m_form.MSComm1->flush();
        m_form.Debito.traffic.start();
    }

    void sleep(qint64 leftNs)
    {
        if (m_form.MSComm1->bytesAvailable() > 0 || leftNs <= 0)
            return;
        m_woken = false;
        m_timer.start(std::chrono::milliseconds(qint64(std::ceil(double(leftNs) / 1e6))));
        while (!m_woken)
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        m_timer.stop();
    }

    // Lets a long answer gather for a moment between reads: at 19200 baud a
    // read for every character would cost more than the rows it brings.
    void gather(qint64 ns)
    {
        m_fired = false;
        m_timer.start(std::chrono::milliseconds(std::max<qint64>(1, ns / 1000000)));
        while (!m_fired && !m_closed)
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        m_timer.stop();
    }

    void light(quint32 colour)
    {
        if (m_form.Label16->BackColor() != colour)
            m_form.Label16->setBackColor(colour);
    }

private:
    Form1& m_form;
    QTimer m_timer;
    QMetaObject::Connection m_connections[4];
    bool m_woken = false;
    bool m_fired = false;
    bool m_closed = false;
};

// The owed answers, counted off the characters that are discarded: each final
// result code pays one. A "> " prompt means the phone took what followed it
// as the text of a message: ESC leaves the prompt, and the phone then owes
// the one answer to that cancellation.
class Ledger {
public:
    Ledger(Form1& form, LineWait& line) : m_form(form), m_line(line)
    {
        Form1::LinkDebt& debt = form.Debito;
        if (debt.session != form.Sessione) {
            debt = Form1::LinkDebt();
            debt.session = form.Sessione;
        }
        if (!debt.traffic.isValid())
            debt.traffic.start();
    }

    int owed() const { return m_form.Debito.answers; }
    void owe() { ++m_form.Debito.answers; }
    void paid() { m_form.Debito.answers = std::max(0, m_form.Debito.answers - 1); }

    // Counts off what was read and not taken as an answer.
    void discard(const QString& bytes)
    {
        Form1::LinkDebt& debt = m_form.Debito;
        debt.pending += bytes;
        debt.pending.remove(QChar(0));
        const at::Unsolicited filtered = at::RemoveUnsolicited(debt.pending);
        noteArrivals(m_form, filtered.removed);
        const QString& kept = filtered.kept;
        qsizetype start = 0;
        for (qsizetype pos = 0; pos < kept.size(); ++pos) {
            if (kept.at(pos) != QLatin1Char('\r') && kept.at(pos) != QLatin1Char('\n'))
                continue;
            if (kept.at(pos) == QLatin1Char('\r') && pos + 1 == kept.size())
                break; // its LF may follow
            account(kept.mid(start, pos - start));
            start = pos + 1;
        }
        QString rest = kept.mid(start);
        if (rest.trimmed().startsWith(QLatin1Char('>'))) {
            account(rest);
            rest.clear();
        }
        // A line that never ends is no answer: keep only its tail.
        constexpr qsizetype kLongest = 4096;
        debt.pending = rest.size() > kLongest ? rest.right(kLongest) : rest;
    }

    // Reads and discards what waits in the port.
    void discardWaiting()
    {
        const QByteArray got = m_form.MSComm1->readAll();
        atlog::Record(atlog::Direction::FromPhone, got);
        discard(QString::fromLatin1(got));
    }

    // Waits for the owed answers and then for a quiet line, discarding what
    // comes; at most one deadline. False when the wait ran out or the port
    // closed (`closed` tells which).
    bool settle(bool& closed)
    {
        closed = false;
        const LinkTimingNs timing(m_form);
        QElapsedTimer bound;
        bound.start();
        QElapsedTimer quiet;
        quiet.start();
        for (;;) {
            if (!m_line.serve()) {
                closed = true;
                return false;
            }
            const QString got = m_line.read();
            if (!got.isEmpty()) {
                discard(got);
                quiet.start();
            }
            // A phone silent that long after its last word has dropped what it owed.
            if (owed() > 0 && m_form.Debito.traffic.nsecsElapsed() >= timing.forgiveNs)
                m_form.Debito.answers = 0;
            if (owed() == 0 && quiet.nsecsElapsed() >= timing.quietNs)
                return true;
            const qint64 left = timing.deadlineNs - bound.nsecsElapsed();
            if (left <= 0)
                return false;
            qint64 next = left;
            if (owed() == 0)
                next = std::min(next, timing.quietNs - quiet.nsecsElapsed());
            else
                next = std::min(next, timing.forgiveNs - m_form.Debito.traffic.nsecsElapsed());
            m_line.sleep(next);
        }
    }

private:
    struct LinkTimingNs {
        explicit LinkTimingNs(const Form1& form)
            : deadlineNs(qint64(form.Tempi.deadlineMs) * 1000000), quietNs(qint64(form.Tempi.quietMs) * 1000000),
              forgiveNs(2 * deadlineNs)
        {
        }
        qint64 deadlineNs;
        qint64 quietNs;
        qint64 forgiveNs;
    };

    void account(const QString& line)
    {
        if (!isFinalLine(line))
            return;
        if (line.trimmed() == QLatin1String(">")) {
            m_line.write(QByteArray(1, kEsc));
            m_form.Debito.answers = 1;
            return;
        }
        paid();
    }

    Form1& m_form;
    LineWait& m_line;
};

// Waits for one send's answer: reads until it is complete, the deadline
// passes or the port closes; `collected` gets every character read. With
// `silenceNs` (a listing) the deadline is `silenceNs` after `lastNs`, the
// time of the last character read, and never beyond `deadlineNs`.
// How long a long answer gathers between reads once it flows.
constexpr qint64 kGatherNs = 5000000;

WaitEnd waitAnswer(LineWait& line, const QElapsedTimer& clock, qint64 deadlineNs, qint64 silenceNs, qint64& lastNs,
                   const QString& command, QString& collected)
{
    for (bool first = true;; first = false) {
        if (!line.serve())
            return WaitEnd::PortClosed;
        const QString got = line.read();
        collected += got;
        if (!got.isEmpty())
            lastNs = clock.nsecsElapsed();
        // A long answer is framed again only when it may have ended: each
        // framing reads all of it.
        if (first || silenceNs == 0 || mayEndAnswer(got)) {
            switch (answerEnd(normalise(collected, command))) {
            case AnswerEnd::Final:
                return WaitEnd::Answer;
            case AnswerEnd::ExtendedError:
                return WaitEnd::ExtendedError;
            case AnswerEnd::None:
                break;
            }
        }
        const qint64 end = silenceNs > 0 ? std::min(deadlineNs, lastNs + silenceNs) : deadlineNs;
        const qint64 left = end - clock.nsecsElapsed();
        if (left <= 0)
            return WaitEnd::Deadline;
        if (silenceNs > 0 && !got.isEmpty())
            line.gather(std::min(left, kGatherNs));
        else
            line.sleep(left);
    }
}

// A command that leaves the phone at its "> " prompt when it is not answered.
bool opensPrompt(const QString& line)
{
    return TrimSpaces(line).startsWith(QLatin1String("AT+CMGS="), Qt::CaseInsensitive)
           || TrimSpaces(line).startsWith(QLatin1String("AT+CMGW="), Qt::CaseInsensitive);
}

} // namespace

QString Form1::InviaAT(const QString& command)
{
    if (!LineaLibera || !PortOpen()) {
        Label16->setBackColor(kLightIdle);
        return QStringLiteral("ERROR");
    }
    LineaLibera = false;
    ErroreAT.clear();

    LineWait wait(*this);
    Ledger ledger(*this, wait);
    // A PDU line is never repeated: the phone may already be sending it.
    const bool pdu = isPduLine(command);
    const int maxSends = pdu ? 1 : std::max(1, Tempi.sends);
    // A listing is sent again only when nothing at all came back: its
    // silence counts from the start, as a command's deadline does.
    const bool listing = !pdu && isListing(command);
    const qint64 deadlineNs = qint64(pdu       ? Tempi.pduDeadlineMs
                                     : listing ? Tempi.longAnswerMs
                                               : Tempi.deadlineMs)
                              * 1000000;
    const qint64 silenceNs = listing ? qint64(std::max(1, Tempi.silenceMs)) * 1000000 : 0;
    qint64 lastNs = 0;

    QString result;
    bool settled = true;
    bool closed = false;
    ledger.discardWaiting();
    if (ledger.owed() > 0)
        settled = ledger.settle(closed);
    if (!settled) {
        // The phone is still answering earlier commands: this one is not sent.
        result = closed ? QStringLiteral("ERROR") : kGiveUp;
    } else {
        QElapsedTimer clock;
        clock.start();
        const QString line = withPrefix(command);
        QString collected;
        for (int sends = 0;;) {
            // What waits now belongs to no answer of this send.
            ledger.discardWaiting();
            wait.light(kLightSend);
            wait.write(wireLine(line));
            ledger.owe();
            ++sends;
            collected.clear();
            const WaitEnd end = waitAnswer(wait, clock, deadlineNs, silenceNs, lastNs, line, collected);
            if (end == WaitEnd::PortClosed) {
                result = QStringLiteral("ERROR");
                break;
            }
            if (end == WaitEnd::Answer || end == WaitEnd::ExtendedError) {
                ledger.paid();
                QStringList removed;
                const QString answer = normalise(collected, line, &removed);
                noteArrivals(*this, removed);
                if (end == WaitEnd::ExtendedError) {
                    ErroreAT = extendedError(answer);
                    result = QStringLiteral("ERROR");
                } else {
                    result = cleanAnswer(answer);
                }
                break;
            }
            // Characters of a timed-out send are dropped with it.
            ledger.discard(collected);
            if (sends >= maxSends || (listing && !collected.isEmpty())) {
                // A phone left at its prompt would take the next command as a message.
                if (pdu || opensPrompt(line))
                    wait.write(QByteArray(1, kEsc));
                result = kGiveUp;
                break;
            }
            wait.light(kLightRetry);
        }
    }
    LineaLibera = true;
    Label16->setBackColor(kLightIdle);
    return result;
}
