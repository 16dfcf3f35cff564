// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/phonelink.h"

#include "at/numbers.h"
#include "at/unsolicited.h"
#include "link/atlog.h"

#include <QCoreApplication>
#include <QRegularExpression>

#include <algorithm>

using namespace phonelink;

QString phonelink::GiveUpText(GiveUp why)
{
    switch (why) {
    case GiveUp::TooLong:
        return QStringLiteral("risposta troppo lunga");
    case GiveUp::Unsettled:
        return QStringLiteral("il cellulare risponde ancora a un comando precedente");
    case GiveUp::Silent:
        break;
    }
    return QStringLiteral("il cellulare non risponde");
}

namespace {

// "+CMS ERROR: 321" out of the collected answer that ended on it.
QString extendedError(const QString& collected)
{
    static const QRegularExpression line(QStringLiteral("\\+CM[ES] ERROR:[^\r\n]*"),
                                         QRegularExpression::CaseInsensitiveOption);
    return at::TrimSpaces(line.match(collected).captured(0));
}

bool isArrival(const QString& line)
{
    return line.startsWith(QLatin1String("+CMTI:"), Qt::CaseInsensitive)
           || line.startsWith(QLatin1String("+CDSI:"), Qt::CaseInsensitive);
}

qint64 msToNs(int ms) { return qint64(ms) * 1000000; }

// How long a long answer gathers between reads once it flows: at 19200
// baud a read for every character would cost more than the rows it brings.
constexpr qint64 kGatherNs = 5000000;

} // namespace

enum class WaitEnd { Answer, ExtendedError, Deadline, TooLong, PortClosed };

// Sleeps until the port brings characters, the port closes or a time has
// passed on the link's clock; the window's events run meanwhile.
class LinkWait {
public:
    explicit LinkWait(PhoneLink& link) : m_link(link)
    {
        QSerialPort* port = link.m_port;
        const auto wake = [this] { m_woken = true; };
        m_connections[0] = QObject::connect(port, &QIODevice::readyRead, wake);
        m_connections[1] = QObject::connect(port, &QIODevice::aboutToClose, [this] {
            m_closed = true;
            m_woken = true;
        });
        m_connections[2] = QObject::connect(port, &QSerialPort::errorOccurred, wake);
    }

    ~LinkWait()
    {
        for (const QMetaObject::Connection& connection : m_connections)
            QObject::disconnect(connection);
    }

    LinkWait(const LinkWait&) = delete;
    LinkWait& operator=(const LinkWait&) = delete;

    // Lets pending events run; false when the port has closed.
    bool serve()
    {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        return !m_closed && m_link.isOpen();
    }

    // What the port holds, with the activity light showing whether it held anything.
    QString read()
    {
        const QByteArray got = m_link.m_port->readAll();
        m_link.m_bytesRead += quint64(got.size());
        atlog::Record(atlog::Direction::FromPhone, got);
        light(got.isEmpty() ? kLightNothing : kLightData);
        if (!got.isEmpty())
            m_link.m_debt.trafficNs = now();
        return QString::fromLatin1(got);
    }

    void write(const QByteArray& bytes)
    {
        atlog::Record(atlog::Direction::ToPhone, bytes);
        m_link.m_port->write(bytes);
        m_link.m_port->flush();
        m_link.m_debt.trafficNs = now();
    }

    // Until characters come, the port closes or `leftNs` pass.
    void sleep(qint64 leftNs)
    {
        if (m_link.m_port->bytesAvailable() > 0 || leftNs <= 0)
            return;
        m_woken = false;
        m_link.clock().sleep(leftNs, [this] { return m_woken; });
    }

    // Lets a long answer gather for `ns` between reads.
    void gather(qint64 ns) { m_link.clock().sleep(std::max<qint64>(1000000, ns), nullptr); }

    void light(quint32 colour)
    {
        if (colour != m_light) {
            m_light = colour;
            emit m_link.light(colour);
        }
    }

    qint64 now() const { return m_link.clock().nowNs(); }

private:
    PhoneLink& m_link;
    QMetaObject::Connection m_connections[3];
    bool m_woken = false;
    bool m_closed = false;
    quint32 m_light = kLightIdle;
};

// The owed answers, counted off the characters that are discarded: each
// final result code pays one. A "> " prompt means the phone took what
// followed it as the text of a message: ESC leaves the prompt, and the
// phone then owes the one answer to that cancellation. A phone may also
// drop a command and never answer it: the settling command kSettle, whose
// "+CSCS:" answer no other command gives, ends the debt when its own final
// result code comes, for a phone answers its commands in order.
class LinkLedger {
public:
    explicit LinkLedger(PhoneLink& link) : m_link(link) {}

    int owed() const { return m_link.m_debt.answers; }
    void owe() { ++m_link.m_debt.answers; }
    void paid() { m_link.m_debt.answers = std::max(0, m_link.m_debt.answers - 1); }

    // Counts off what was read and not taken as an answer.
    void discard(const QString& bytes)
    {
        PhoneLink::Debt& debt = m_link.m_debt;
        debt.pending += bytes;
        debt.pending.remove(QChar(0));
        const at::Unsolicited filtered = at::RemoveUnsolicited(debt.pending);
        m_link.keepNotices(filtered.removed);
        // An unsolicited code whose rest is still to come is read again with it.
        const QString& kept = filtered.kept;
        const qsizetype held = filtered.unfinished >= 0 ? filtered.unfinished : kept.size();
        qsizetype start = 0;
        for (qsizetype pos = 0; pos < held; ++pos) {
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
        const QByteArray got = m_link.m_port->readAll();
        m_link.m_bytesRead += quint64(got.size());
        if (got.isEmpty())
            return;
        atlog::Record(atlog::Direction::FromPhone, got);
        m_link.m_debt.trafficNs = m_link.clock().nowNs();
        discard(QString::fromLatin1(got));
    }

    // Reads and discards what waits in the port before a command is sent.
    // A line the phone has begun (an unsolicited code that came between
    // two commands, on a slow line or a busy machine) is read to its end
    // first, for at most the quiet time: its end would otherwise come at
    // the start of the answer, and the line would be lost. A line still
    // without its end then (a phone that ends its lines with CR alone) ends
    // there.
    void discardBeforeSend(LinkWait& line)
    {
        discardWaiting();
        PhoneLink::Debt& debt = m_link.m_debt;
        const auto begun = [&debt] { return !debt.pending.trimmed().isEmpty(); };
        if (!begun())
            return;
        const qint64 until = line.now() + msToNs(m_link.timing.quietMs);
        while (begun() && line.now() < until) {
            line.sleep(until - line.now());
            if (!line.serve())
                return;
            discardWaiting();
        }
        if (begun())
            discard(QStringLiteral("\r\n"));
    }

    // Settles the line, discarding what comes: once the settling command
    // is answered (or the owed answers are all paid while none is on its
    // way), and then the line has been quiet a while. The settling command
    // is sent when something is owed and none is on its way. At most one
    // deadline: false when the line is not settled by then or the port
    // closed (`closed` tells which).
    bool settle(LinkWait& line, bool& closed)
    {
        closed = false;
        const qint64 deadlineNs = msToNs(m_link.timing.deadlineMs);
        const qint64 quietNs = msToNs(m_link.timing.quietMs);
        const qint64 start = line.now();
        qint64 quietSince = start;
        for (;;) {
            if (!line.serve()) {
                closed = true;
                return false;
            }
            const QString got = line.read();
            if (!got.isEmpty()) {
                discard(got);
                quietSince = line.now();
            }
            const qint64 now = line.now();
            PhoneLink::Debt& debt = m_link.m_debt;
            const bool settled = m_link.settled();
            if (settled && now - quietSince >= quietNs)
                return true;
            // A settling command the phone has not answered in two deadlines
            // of silence was lost (a phone busy with the network drops what
            // comes meanwhile): another takes its place.
            const qint64 lostNs = 2 * deadlineNs;
            const bool lost = debt.probes > 0 && now - debt.probeNs >= lostNs && now - debt.trafficNs >= lostNs;
            if (!settled && (debt.probes == 0 || lost)) {
                line.light(kLightSend);
                line.write(wireLine(kSettle));
                debt.probes = 1;
                debt.probeAnswered = false;
                debt.probeNs = now;
            }
            const qint64 left = deadlineNs - (now - start);
            if (left <= 0)
                return false;
            if (settled)
                line.sleep(std::min(left, quietNs - (now - quietSince)));
            else
                line.sleep(std::min(left, std::max(debt.probeNs, debt.trafficNs) + lostNs - now));
        }
    }

private:
    void account(const QString& line)
    {
        PhoneLink::Debt& debt = m_link.m_debt;
        const QString text = line.trimmed();
        if (text.startsWith(QLatin1String("+CSCS:"), Qt::CaseInsensitive) && debt.probes > 0) {
            debt.probeAnswered = --debt.probes == 0;
            return;
        }
        if (debt.sendGivenUp && text.startsWith(QLatin1String("+CMGS:"), Qt::CaseInsensitive)) {
            debt.sendGivenUp = false;
            emit m_link.lateConfirmation(int(at::LeadingNumber(text.mid(6))));
            return;
        }
        if (!isFinalLine(line))
            return;
        if (text == QLatin1String(">")) {
            const QByteArray esc(1, kEsc);
            atlog::Record(atlog::Direction::ToPhone, esc);
            m_link.m_port->write(esc);
            m_link.m_port->flush();
            debt.trafficNs = m_link.clock().nowNs();
            // What was sent after the prompt, settling commands included,
            // became the message's text: only the cancellation is owed.
            debt.answers = 1;
            debt.probes = 0;
            debt.probeAnswered = false;
            return;
        }
        if (debt.probeAnswered) {
            // Everything before the settling command's answer has come.
            debt.probeAnswered = false;
            debt.answers = 0;
            return;
        }
        paid();
    }

    PhoneLink& m_link;
};

namespace {

// Waits for one send's answer: reads until it is complete, the deadline
// passes, it outgrows `maxAnswer` characters or the port closes;
// `collected` gets every character read. With `silenceNs` (a listing) the
// deadline is `silenceNs` after `lastNs`, the time of the last character
// read, and never beyond `deadlineNs`; times count from `startNs`.
WaitEnd waitAnswer(LinkWait& line, qint64 startNs, qint64 deadlineNs, qint64 silenceNs, qsizetype maxAnswer,
                   qint64& lastNs, const QString& command, QString& collected)
{
    FinalWatch watch;
    for (;;) {
        if (!line.serve())
            return WaitEnd::PortClosed;
        const QString got = line.read();
        collected += got;
        const qint64 elapsed = line.now() - startNs;
        if (!got.isEmpty())
            lastNs = elapsed;
        // Framed only when a final line may have come: each framing reads
        // all of the answer.
        if (watch.feed(got)) {
            switch (answerEnd(normalise(collected, command))) {
            case AnswerEnd::Final:
                return WaitEnd::Answer;
            case AnswerEnd::ExtendedError:
                return WaitEnd::ExtendedError;
            case AnswerEnd::None:
                break;
            }
        }
        if (collected.size() > maxAnswer)
            return WaitEnd::TooLong;
        const qint64 end = silenceNs > 0 ? std::min(deadlineNs, lastNs + silenceNs) : deadlineNs;
        const qint64 left = end - elapsed;
        if (left <= 0) {
            // A listing still flowing at its ceiling is too long, not silent.
            const bool flowing = silenceNs > 0 && lastNs + silenceNs > deadlineNs && !collected.isEmpty();
            return flowing ? WaitEnd::TooLong : WaitEnd::Deadline;
        }
        if (silenceNs > 0 && !got.isEmpty())
            line.gather(std::min(left, kGatherNs));
        else
            line.sleep(left);
    }
}

} // namespace

PhoneLink::PhoneLink(QObject* parent, std::unique_ptr<LinkClock> clock)
    : QObject(parent), m_port(new QSerialPort(this)),
      m_clock(clock ? std::move(clock) : std::make_unique<SteadyClock>())
{
    m_port->setObjectName(QStringLiteral("MSComm1"));
    m_debt.trafficNs = m_clock->nowNs();
    // Every close, whoever makes it, ends the line a long operation started
    // on, and what the phone owed on it.
    connect(m_port, &QIODevice::aboutToClose, this, [this] {
        ++m_session;
        m_bytesRead = 0;
        forgive();
    });
    connect(m_port, &QIODevice::aboutToClose, this, [this] {
        atlog::Event(QStringLiteral("porta %1 chiusa").arg(m_device.isEmpty() ? m_port->portName() : m_device));
    });
    connect(m_port, &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError error) {
        // An opening that fails is logged where it is tried.
        if (error == QSerialPort::NoError || !isOpen())
            return;
        atlog::Event(QStringLiteral("errore della porta (%1): %2").arg(int(error)).arg(m_port->errorString()));
        if (error == QSerialPort::ResourceError || error == QSerialPort::ReadError)
            emit lineLost(error);
    });
    connect(m_port, &QIODevice::readyRead, this, &PhoneLink::readBetweenTransactions);
}

PhoneLink::~PhoneLink()
{
    if (m_port->isOpen())
        m_port->close();
}

bool PhoneLink::open(const QString& device)
{
    m_device = device;
    m_port->setPortName(device);
    m_port->setBaudRate(QSerialPort::Baud19200);
    m_port->setDataBits(QSerialPort::Data8);
    m_port->setParity(QSerialPort::NoParity);
    m_port->setStopBits(QSerialPort::OneStop);
    m_port->setFlowControl(QSerialPort::NoFlowControl);
    if (!m_port->open(QIODevice::ReadWrite)) {
        atlog::Event(QStringLiteral("apertura della porta %1 fallita: %2").arg(device, m_port->errorString()));
        return false;
    }
    atlog::Event(QStringLiteral("porta %1 aperta: 19200 baud, 8 bit di dati, nessuna parità, 1 bit di stop, "
                                "nessun controllo di flusso")
                     .arg(device));
    return true;
}

void PhoneLink::close()
{
    if (m_port->isOpen())
        m_port->close();
}

void PhoneLink::setClock(std::unique_ptr<LinkClock> clock)
{
    if (!clock || m_busy)
        return;
    m_clock = std::move(clock);
    forgive();
}

void PhoneLink::forgive()
{
    m_debt = Debt();
    m_debt.trafficNs = m_clock->nowNs();
}

void PhoneLink::keepNotices(const QStringList& lines)
{
    for (const QString& line : lines) {
        if (isArrival(line))
            m_lastArrival = line;
        m_notices.append(line);
        if (m_notices.size() > kKeptNotices)
            m_notices.removeFirst();
        emit notice(line);
    }
}

// While no transaction runs, what arrives is read at once: the port's
// buffer never grows, a late answer pays what is owed, and the unsolicited
// lines are kept.
void PhoneLink::readBetweenTransactions()
{
    if (m_busy || !isOpen())
        return;
    LinkLedger(*this).discardWaiting();
}

QString PhoneLink::giveUp(GiveUp why)
{
    m_whyGivenUp = why;
    return kGiveUp;
}

QString PhoneLink::transaction(const QString& command)
{
    if (m_busy || !isOpen()) {
        emit light(kLightIdle);
        return QStringLiteral("ERROR");
    }
    m_busy = true;
    emit busyChanged(true);
    m_lastError.clear();
    const QString result = run(command);
    m_busy = false;
    emit light(kLightIdle);
    emit busyChanged(false);
    return result;
}

QString PhoneLink::run(const QString& command)
{
    LinkWait wait(*this);
    LinkLedger ledger(*this);
    const Command classified = classify(command);
    const bool pdu = classified.kind == Command::Kind::Pdu;
    const bool listing = classified.kind == Command::Kind::Listing;
    // Only what does the same however often it is sent is sent again; a
    // listing only when nothing at all came back: its silence counts from
    // the start, as a command's deadline does.
    const int maxSends = classified.repeatable ? std::max(1, timing.sends) : 1;
    const qint64 deadlineNs = msToNs(pdu ? timing.pduDeadlineMs : listing ? timing.longAnswerMs : timing.deadlineMs);
    const qint64 silenceNs = listing ? msToNs(std::max(1, timing.silenceMs)) : 0;

    ledger.discardBeforeSend(wait);
    if (!settled()) {
        bool closed = false;
        // The phone is still answering earlier commands: this one is not sent.
        if (!ledger.settle(wait, closed))
            return closed ? QStringLiteral("ERROR") : giveUp(GiveUp::Unsettled);
    }

    const qint64 start = wait.now();
    qint64 lastNs = 0;
    const QString& line = classified.line;
    QString collected;
    for (int sends = 0;;) {
        // What waits now belongs to no answer of this send.
        ledger.discardWaiting();
        wait.light(kLightSend);
        wait.write(wireLine(line));
        ledger.owe();
        ++sends;
        collected.clear();
        const WaitEnd end = waitAnswer(wait, start, deadlineNs, silenceNs, std::max<qsizetype>(1, timing.maxAnswer),
                                       lastNs, line, collected);
        if (end == WaitEnd::PortClosed)
            return QStringLiteral("ERROR");
        if (end == WaitEnd::Answer || end == WaitEnd::ExtendedError) {
            ledger.paid();
            // What came after the final result code in the same read is no
            // part of the answer: an unsolicited code that followed at once.
            // A line of it that has begun is read to its end, for its end
            // would otherwise come at the start of the next answer.
            QString after;
            if (const qsizetype tail = afterFinalLine(collected); tail >= 0 && tail < collected.size()) {
                after = collected.mid(tail);
                collected.truncate(tail);
                const qint64 until = wait.now() + msToNs(timing.quietMs);
                while (endsInsideLine(after) && wait.now() < until) {
                    wait.sleep(until - wait.now());
                    if (!wait.serve())
                        break;
                    after += wait.read();
                }
            }
            QStringList removed;
            const QString answer = normalise(collected, line, &removed);
            keepNotices(removed);
            if (!after.isEmpty())
                ledger.discard(after);
            if (end == WaitEnd::ExtendedError) {
                m_lastError = extendedError(answer);
                return QStringLiteral("ERROR");
            }
            return cleanAnswer(answer);
        }
        // Characters of a timed-out send are dropped with it; of an answer
        // too long, only the tail that may hold an unfinished line is kept.
        ledger.discard(end == WaitEnd::TooLong ? collected.right(4096) : collected);
        if (end == WaitEnd::TooLong)
            return giveUp(GiveUp::TooLong);
        if (sends >= maxSends || (listing && !collected.isEmpty())) {
            // A phone left at its prompt would take the next command as a
            // message: ESC ends a PDU input the phone may have opened.
            if (pdu || classified.kind == Command::Kind::Prompt)
                wait.write(QByteArray(1, kEsc));
            // The network may still confirm the message.
            if (pdu)
                m_debt.sendGivenUp = true;
            return giveUp(GiveUp::Silent);
        }
        wait.light(kLightRetry);
    }
}
