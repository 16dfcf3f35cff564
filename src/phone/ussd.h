// SPDX-License-Identifier: GPL-3.0-or-later
// Credit checks and service codes: the USSD dialogue with the network
// (GSM 07.07 7.15). A code goes out as AT+CUSD=1,"<code>",15 and the
// network answers later with an unsolicited "+CUSD:" (some phones put it
// before the OK), which the session routes here; a menu is answered the
// same way, and a session left open is ended with AT+CUSD=2. A code the
// phone refuses in one form (text or packed hex) goes once more in the
// other, and the form that worked is kept for the phone's model. Nothing
// is sent again on silence.
#pragma once

#include "pdu/ussd.h"
#include "phone/session.h"

#include <QMap>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>

namespace phone {

// What the network said: <m> (at::UssdStatus) and the text, decoded.
struct UssdAnswer {
    int m = 0;
    QString text; // empty when the network sent none
    UssdReading reading = UssdReading::AsCoded;
};

class Ussd : public QObject {
    Q_OBJECT
public:
    // `portClosed`: the status shown when a code is asked for with the port closed.
    Ussd(Session& session, const QString& portClosed, QObject* parent = nullptr);
    ~Ussd() override;

    // Idle: nothing asked. Waiting: a code or a reply went out and the
    // network has not answered. Menu: the network waits for a reply.
    enum class State { Idle, Waiting, Menu };
    State state() const;

    // How long the network's answer is awaited; tests shorten it.
    int waitMs = 30000;

    // Sends `text`: the reply to the menu the network waits in, else a new
    // code. False, with the reason in words, when it did not go out or the
    // phone refused it in both forms; the network's answer comes later
    // (answered), or its silence (failed). A second request while one
    // waits is refused.
    bool send(const QString& text, QString* why = nullptr);
    // Ends the session the network keeps open or is still answering
    // (AT+CUSD=2); with none open nothing is sent.
    void end();

    // The form that worked, by the phone's model (+CGMM); the settings keep it.
    QMap<QString, UssdForm> formsByModel;
    // The codes sent, the latest first, at most kKeptCodes; the settings keep them.
    QStringList codes;
    static constexpr int kKeptCodes = 10;
    void rememberCode(const QString& code);

signals:
    // The network answered (also on its own: a network may ask first).
    void answered(const phone::UssdAnswer& answer);
    // What was sent got no answer: the network's silence, or the phone's.
    void failed(const QString& why);
    void stateChanged();

private:
    struct Request {
        QString text;
        UssdForm form = UssdForm::Text;
        bool retried = false;
        bool code = true; // a new code, not a reply to a menu
    };
    bool go(const Operation& operation, QString* why);
    void heard(const QString& line);
    void answer(const QString& line);
    void retry();
    void timedOut();
    // Runs `step` now, or once the long operation that holds the phone has
    // ended: a step of the dialogue is never refused with a beep.
    void whenFree(std::function<void()> step);
    void setState(State state);
    QString model(const Operation& operation);
    bool onThisLine() const;

    Session& m_session;
    const QString m_portClosed;
    QPointer<Session> m_sessionAlive; // a window may end its session first
    int m_listener;
    State m_state = State::Idle;
    quint64 m_line = 0; // the link session the state belongs to
    Request m_request;
    QString m_model;
    bool m_modelKnown = false;
    quint64 m_modelLine = 0;
    QTimer m_wait;
};

} // namespace phone
