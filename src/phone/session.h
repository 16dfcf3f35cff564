// SPDX-License-Identifier: GPL-3.0-or-later
// The session with the phone: the link, the one long operation at a time,
// the values the capabilities share (the column widths the phone gives),
// the unsolicited lines handed to whoever asked for them, and what the
// window shows of it all. QtCore only: the window is reached through
// Feedback, never named.
#pragma once

#include "link/phonelink.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace phone {

// What the window does for the capabilities: it shows a status (panel 2),
// beeps when a long operation is refused, lets its events run during a long
// loop, shows the progress of one, asks the user a yes/no question, and
// tells the desktop of news while it is not in front.
class Feedback {
public:
    virtual ~Feedback() = default;
    virtual void status(const QString& text) = 0;
    virtual void beep() = 0;
    virtual void yield() = 0;
    virtual void progressMax(float max) = 0;
    virtual void progress(float value) = 0;
    virtual bool confirm(const QString& text, const QString& title) = 0;
    virtual void notify(const QString& title, const QString& text) = 0;
};

// How a step with the phone ended: with the phone's answer, on a line that
// was lost (the operation stops at once, the status keeps the connection's
// error), or on a phone that never answered.
enum class Step { Answered, LineLost, Silent };

class Operation;

class Session : public QObject {
    Q_OBJECT
public:
    // The session runs its link on `clock`, the steady clock when none is given.
    explicit Session(Feedback& feedback, QObject* parent = nullptr, std::unique_ptr<LinkClock> clock = {});

    PhoneLink& link() const { return *m_link; }
    Feedback& feedback() const { return m_feedback; }
    bool portOpen() const { return m_link->isOpen(); }

    // One AT transaction (PhoneLink::transaction).
    QString transaction(const QString& command) { return m_link->transaction(command); }
    // One transaction of `operation`: `answer` gets what the phone said and
    // `errorLine` the extended error that ended it.
    Step ask(const Operation& operation, const QString& command, QString* answer = nullptr,
             QString* errorLine = nullptr);
    // Why the phone's answer did not come, after a step ended Silent:
    // "il cellulare non risponde.." and the like.
    QString noAnswer() const;

    // The commands that set the phone up after a reset or a restart: the
    // GSM character set, no echo, result codes as words, errors as numbers.
    static const QStringList& SetUpCommands();

    // The values the capabilities share, which the window shows and tests
    // read: no transaction runs (lineFree), no long operation runs
    // (commandFree), the widths of the number and name columns as the phone
    // gave them for the phone book it had selected (numberWidth, nameWidth).
    bool lineFree = true;
    bool commandFree = true;
    int numberWidth = 0;
    int nameWidth = 0;

    // The unsolicited lines the link reads go to each listener whose
    // `wanted` takes them, in the order they listen. A listener is removed
    // with the id listen() gave.
    int listen(std::function<bool(const QString&)> wanted, std::function<void(const QString&)> handler);
    // Lines that begin with one of `prefixes` ("+CMTI:"), letter case ignored.
    int listen(const QStringList& prefixes, std::function<void(const QString&)> handler);
    void unlisten(int id);

signals:
    // A long operation ended: what waited for the phone to be free may go on.
    void operationEnded();

private:
    friend class Operation;
    void notice(const QString& line);

    Feedback& m_feedback;
    PhoneLink* m_link;
    struct Listener {
        int id;
        std::function<bool(const QString&)> wanted;
        std::function<void(const QString&)> handler;
    };
    std::vector<Listener> m_listeners;
    int m_nextListener = 1;
};

// Holds the session's one long operation and gives it back on every way
// out; check taken() before doing the work. An operation that needs the
// phone names its port-closed status: with the port closed it shows it
// and is not taken. A refused operation beeps.
class Operation {
public:
    explicit Operation(Session& session, const QString& portClosed = QString());
    ~Operation();
    Operation(const Operation&) = delete;
    Operation& operator=(const Operation&) = delete;
    bool taken() const { return m_taken; }
    // The port was closed (by the user or by a lost line) since the
    // operation started: it must stop at once and leave the status alone.
    bool lineLost() const { return m_session.link().session() != m_line || !m_session.portOpen(); }
    Session& session() const { return m_session; }

private:
    Session& m_session;
    bool m_taken;
    quint64 m_line;
};

// Lets the window's events run during a loop over many items: at the
// first, then whenever 10 ms have passed. A yield at every row costs more
// than the row itself: over 10,000 rows it made a keystroke's search take
// 14 ms and a load 6 s, as each yield lays out the whole list again.
class RowYield {
public:
    explicit RowYield(Feedback& feedback) : m_feedback(feedback) {}
    void operator()()
    {
        if (m_clock.isValid() && m_clock.elapsed() < kEveryMs)
            return;
        m_feedback.yield();
        m_clock.start();
    }

private:
    static constexpr qint64 kEveryMs = 10;
    Feedback& m_feedback;
    QElapsedTimer m_clock;
};

} // namespace phone
