// SPDX-License-Identifier: GPL-3.0-or-later
// The phone link: the serial port and everything the link keeps between
// transactions. It runs the program's one AT transaction at a time: it
// writes a command line, waits for the phone's final answer while the
// window keeps running, sends again when the phone stays silent, and gives
// the answer without its framing. Commands and answers stay paired: what
// waits in the port before a send is discarded, and after a send that got
// no answer the next transaction first lets the phone pay what it owes.
// While no transaction runs, it reads the line and keeps the unsolicited
// lines that arrive.
#pragma once

#include "link/clock.h"
#include "link/framing.h"

#include <QObject>
#include <QSerialPort>
#include <QString>
#include <QStringList>

#include <memory>

namespace phonelink {

// What a transaction answers when it got no final answer: "error" in lower
// case, told apart from the phone's own "ERROR". PhoneLink::whyGivenUp()
// tells why.
inline const QString kGiveUp = QStringLiteral("error");
inline bool gaveUp(const QString& answer) { return answer == kGiveUp; }

// Why a transaction was given up, as a part of a status text.
enum class GiveUp {
    Silent,   // no final answer after every send
    TooLong,  // the answer outgrew its ceiling, or flowed past its time
    Unsettled // the phone still answers a command given up before
};
QString GiveUpText(GiveUp why);

// The command that settles the line after a give-up: its answer, a
// "+CSCS:" line, is told apart from any other command's.
inline const QString kSettle = QStringLiteral("AT+CSCS?");

// The most characters one answer may bring: a full store listed, or a
// phone book of a thousand entries, is a small part of it.
constexpr qsizetype kMaxAnswer = 4 * 1024 * 1024;

} // namespace phonelink

class PhoneLink : public QObject {
    Q_OBJECT
public:
    // How long the link waits for the phone; tests shorten these.
    struct Timing {
        int deadlineMs = 10000;    // a command, over all its sends
        int pduDeadlineMs = 60000; // a PDU line: the network takes its time
        int quietMs = 200;         // silence awaited after a command was given up
        int sends = 3;             // sends of a repeatable command the phone stays silent to
        // A listing (+CMGL, +CPBR=i,j) may take longer than any deadline: it
        // waits silenceMs after the last character received, never more
        // than longAnswerMs in all, and is not sent again once its answer
        // has begun.
        int silenceMs = 10000;
        int longAnswerMs = 300000;
        qsizetype maxAnswer = phonelink::kMaxAnswer;
    };

    // The link runs on `clock`, the steady clock when none is given.
    explicit PhoneLink(QObject* parent = nullptr, std::unique_ptr<LinkClock> clock = {});
    ~PhoneLink() override;
    PhoneLink(const PhoneLink&) = delete;
    PhoneLink& operator=(const PhoneLink&) = delete;

    // The port.
    QSerialPort* port() const { return m_port; }
    bool isOpen() const { return m_port->isOpen(); }
    // Opens `device` at 19200 baud, 8 data bits, no parity, 1 stop bit, no
    // flow control; false with the port's error when it cannot. The log
    // tells both.
    bool open(const QString& device);
    void close();
    LinkClock& clock() const { return *m_clock; }
    // Another clock, between transactions (a test's).
    void setClock(std::unique_ptr<LinkClock> clock);

    // The transaction: the answer without its framing, ">" for the send
    // prompt, "OK", "ERROR" (the phone's error, a port closed, a transaction
    // already running) or phonelink::kGiveUp (no final answer after the
    // sends). A line starting with "+" or "^" gets "AT" in front. Only a
    // command that does the same however often it is sent goes out again on
    // silence (phonelink::classify says which); a PIN, a message or a write
    // goes once, and a send left at its "> " prompt is ended with ESC. A PDU
    // line (it ends with Ctrl-Z) waits timing.pduDeadlineMs; a listing waits
    // for the silence after its last character.
    QString transaction(const QString& command);
    bool busy() const { return m_busy; }

    Timing timing;

    // The extended error of the last transaction ("+CMS ERROR: 321",
    // "+CME ERROR: 22"), which the transaction answers as "ERROR"; empty
    // when the last transaction did not end on one.
    const QString& lastError() const { return m_lastError; }

    // Counts the openings and closings of the port: a long operation that
    // sees it change has lost its line, even if the port is open again.
    quint64 session() const { return m_session; }

    // The bytes the link has read from the port since it was last closed
    // (what the port holds unread is not counted): with the bytes the
    // phone wrote, it tells a test's clock whether any are still on their way.
    quint64 bytesRead() const { return m_bytesRead; }

    // The last "+CMTI: ..." or "+CDSI: ..." line (a message or a status
    // report arrived); empty until one comes.
    const QString& lastArrival() const { return m_lastArrival; }
    // The unsolicited lines read, during transactions and between them,
    // oldest first; the newest kKeptNotices.
    const QStringList& notices() const { return m_notices; }
    static constexpr int kKeptNotices = 64;

    // Why the last transaction answered phonelink::kGiveUp.
    phonelink::GiveUp whyGivenUp() const { return m_whyGivenUp; }

    // The final answers the phone still owes for sends that were given up.
    // Until they are paid, or the settling command kSettle is answered,
    // nothing else is sent: a late answer is never taken for another
    // command's, however late it comes.
    int owed() const { return m_debt.answers; }
    // Whether the line is settled: nothing owed, no settling command unanswered.
    bool settled() const { return m_debt.answers == 0 && m_debt.probes == 0; }
    // Forgets them, as a new line does.
    void forgive();

signals:
    // The activity light: a colour of phonelink::kLight*, red in the low byte.
    void light(quint32 colour);
    // A transaction began (true) or ended (false).
    void busyChanged(bool busy);
    // The line is gone while open (a cable pulled, the device gone, the
    // other end hung up): the port would report the same error at every
    // read, so whoever owns the connection closes it.
    void lineLost(QSerialPort::SerialPortError error);
    // An unsolicited line arrived.
    void notice(const QString& line);
    // The network confirmed a message whose send was given up:
    // "+CMGS: <reference>" came after the PDU's deadline.
    void lateConfirmation(int reference);

private:
    friend class LinkWait;
    friend class LinkLedger;

    // What the link keeps between transactions. A phone answers its
    // commands in order, so every send that got no final answer is owed: a
    // slow phone answers it late, and the next transaction first waits for
    // those answers (and a quiet line) before it sends, so that a late
    // answer is never taken for another command's.
    struct Debt {
        int answers = 0;            // final answers the phone still owes
        int probes = 0;             // settling commands sent and not yet answered
        bool probeAnswered = false; // the last one's "+CSCS:" came: its final settles
        qint64 probeNs = 0;         // the clock when the last one was written
        bool sendGivenUp = false;   // a message's PDU was given up: "+CMGS:" may still come
        qint64 trafficNs = 0;       // the clock when a byte was last written or read
        QString pending;            // an unfinished line of discarded characters
    };

    QString run(const QString& command);
    QString giveUp(phonelink::GiveUp why);
    void readBetweenTransactions();
    void keepNotices(const QStringList& lines);

    QSerialPort* m_port;
    QString m_device; // as it was opened, for the log
    std::unique_ptr<LinkClock> m_clock;
    bool m_busy = false;
    QString m_lastError;
    phonelink::GiveUp m_whyGivenUp = phonelink::GiveUp::Silent;
    quint64 m_session = 0;
    quint64 m_bytesRead = 0;
    QString m_lastArrival;
    QStringList m_notices;
    Debt m_debt;
};
