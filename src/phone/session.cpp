// SPDX-License-Identifier: GPL-3.0-or-later
#include "phone/session.h"

#include <algorithm>

namespace phone {

Session::Session(Feedback& feedback, QObject* parent, std::unique_ptr<LinkClock> clock)
    : QObject(parent), m_feedback(feedback), m_link(new PhoneLink(this, std::move(clock)))
{
    connect(m_link, &PhoneLink::busyChanged, this, [this](bool busy) { lineFree = !busy; });
    connect(m_link, &PhoneLink::notice, this, &Session::notice);
}

Step Session::ask(const Operation& operation, const QString& command, QString* answer, QString* errorLine)
{
    const QString got = transaction(command);
    if (errorLine)
        *errorLine = m_link->lastError();
    if (answer)
        *answer = got;
    if (operation.lineLost())
        return Step::LineLost;
    return phonelink::gaveUp(got) ? Step::Silent : Step::Answered;
}

QString Session::noAnswer() const { return phonelink::GiveUpText(m_link->whyGivenUp()) + QStringLiteral(".."); }

const QStringList& Session::SetUpCommands()
{
    static const QStringList commands = {
        QStringLiteral("+CSCS=GSM"),
        QStringLiteral("ATE0"), // no echo from here on
        QStringLiteral("ATQ0"),
        QStringLiteral("ATV1"),    // "OK" and "ERROR" as words
        QStringLiteral("+CMEE=1"), // errors as "+CMS ERROR: 321", numbers that tell an empty slot
    };
    return commands;
}

int Session::listen(std::function<bool(const QString&)> wanted, std::function<void(const QString&)> handler)
{
    m_listeners.push_back({m_nextListener, std::move(wanted), std::move(handler)});
    return m_nextListener++;
}

int Session::listen(const QStringList& prefixes, std::function<void(const QString&)> handler)
{
    return listen(
        [prefixes](const QString& line) {
            const QString text = line.trimmed();
            return std::any_of(prefixes.begin(), prefixes.end(),
                               [&](const QString& prefix) { return text.startsWith(prefix, Qt::CaseInsensitive); });
        },
        std::move(handler));
}

void Session::unlisten(int id)
{
    m_listeners.erase(std::remove_if(m_listeners.begin(), m_listeners.end(),
                                     [id](const Listener& listener) { return listener.id == id; }),
                      m_listeners.end());
}

void Session::notice(const QString& line)
{
    // A handler may listen or stop listening: the listeners as they were,
    // each while it still listens.
    const std::vector<Listener> listeners = m_listeners;
    for (const Listener& listener : listeners) {
        const bool listening = std::any_of(m_listeners.begin(), m_listeners.end(),
                                           [&](const Listener& now) { return now.id == listener.id; });
        if (listening && listener.wanted(line))
            listener.handler(line);
    }
}

Operation::Operation(Session& session, const QString& portClosed)
    : m_session(session), m_taken(false), m_line(session.link().session())
{
    if (!portClosed.isEmpty() && !session.portOpen()) {
        session.feedback().status(portClosed);
        return;
    }
    m_taken = session.commandFree;
    if (m_taken)
        session.commandFree = false;
    else
        session.feedback().beep();
}

Operation::~Operation()
{
    if (!m_taken)
        return;
    m_session.commandFree = true;
    emit m_session.operationEnded();
}

} // namespace phone
