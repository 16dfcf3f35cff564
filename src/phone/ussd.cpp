// SPDX-License-Identifier: GPL-3.0-or-later
#include "phone/ussd.h"

#include "at/cusd.h"
#include "at/errors.h"

#include <memory>

namespace phone {

namespace {

const QString kAsking = QStringLiteral("Richiesta USSD in corso..");

QString command(const QString& encoded) { return QStringLiteral("+CUSD=1,\"") + encoded + QStringLiteral("\",15"); }

} // namespace

Ussd::Ussd(Session& session, const QString& portClosed, QObject* parent)
    : QObject(parent), m_session(session), m_portClosed(portClosed), m_sessionAlive(&session)
{
    m_wait.setSingleShot(true);
    connect(&m_wait, &QTimer::timeout, this, &Ussd::timedOut);
    m_listener = m_session.listen(QStringList{QStringLiteral("+CUSD:")}, [this](const QString& line) { heard(line); });
}

Ussd::~Ussd()
{
    if (m_sessionAlive)
        m_session.unlisten(m_listener);
}

bool Ussd::onThisLine() const { return m_session.portOpen() && m_session.link().session() == m_line; }

Ussd::State Ussd::state() const { return onThisLine() ? m_state : State::Idle; }

void Ussd::setState(State state)
{
    m_line = m_session.link().session();
    if (state != State::Waiting)
        m_wait.stop();
    if (state == m_state)
        return;
    m_state = state;
    emit stateChanged();
}

void Ussd::rememberCode(const QString& code)
{
    const QString kept = code.trimmed();
    if (kept.isEmpty())
        return;
    codes.removeAll(kept);
    codes.prepend(kept);
    while (codes.size() > kKeptCodes)
        codes.removeLast();
}

// The model, asked once a line: the form that works is the model's.
QString Ussd::model(const Operation& operation)
{
    if (m_modelKnown && m_modelLine == m_session.link().session())
        return m_model;
    QString answer;
    if (m_session.ask(operation, QStringLiteral("+CGMM"), &answer) != Step::Answered
        || answer.compare(QLatin1String("ERROR"), Qt::CaseInsensitive) == 0)
        return QString();
    m_model = answer.trimmed();
    m_modelKnown = true;
    m_modelLine = m_session.link().session();
    return m_model;
}

bool Ussd::send(const QString& typed, QString* why)
{
    QString reason;
    if (!why)
        why = &reason;
    const QString text = typed.trimmed();
    if (text.isEmpty()) {
        *why = QStringLiteral("Scrivere un codice..");
        return false;
    }
    if (state() == State::Waiting) {
        *why = QStringLiteral("La rete non ha ancora risposto..");
        return false;
    }
    Operation operation(m_session, m_portClosed);
    if (!operation.taken()) {
        *why = m_session.portOpen() ? QStringLiteral("Il cellulare è occupato..") : m_portClosed;
        return false;
    }
    Request request;
    request.text = text;
    request.code = state() != State::Menu;
    request.form = formsByModel.value(model(operation), UssdForm::Text);
    if (operation.lineLost())
        return false;
    // What one form cannot carry ("@", an accented letter) goes in the other.
    if (!EncodeUssd(text, request.form))
        request.form = OtherUssdForm(request.form);
    if (!EncodeUssd(text, request.form)) {
        bool carried = true;
        for (const QChar c : text)
            carried = carried && EncodeUssd(QString(c), UssdForm::PackedHex).has_value();
        *why = carried ? QStringLiteral("Codice troppo lungo: al massimo %1 caratteri..").arg(kUssdMaxSeptets)
                       : QStringLiteral("Il codice ha caratteri che la rete non accetta..");
        return false;
    }
    m_request = request;
    return go(operation, why);
}

// One send of the request; a refusal sends it once more in the other form.
bool Ussd::go(const Operation& operation, QString* why)
{
    const std::optional<QString> encoded = EncodeUssd(m_request.text, m_request.form);
    QString answer;
    QString error;
    const Step step = m_session.ask(operation, command(*encoded), &answer, &error);
    if (step == Step::LineLost) {
        setState(State::Idle);
        *why = QString();
        return false;
    }
    if (step == Step::Silent) {
        // It may have gone: never sent again on silence.
        setState(State::Idle);
        *why = m_session.noAnswer();
        m_session.feedback().status(*why);
        return false;
    }
    if (answer.compare(QLatin1String("ERROR"), Qt::CaseInsensitive) == 0) {
        if (!m_request.retried && EncodeUssd(m_request.text, OtherUssdForm(m_request.form))) {
            m_request.retried = true;
            m_request.form = OtherUssdForm(m_request.form);
            return go(operation, why);
        }
        setState(State::Idle);
        const QString reason = at::ErrorReason(error);
        *why = QStringLiteral("Codice rifiutato dal cellulare") + (reason.isEmpty() ? QString() : ": " + reason)
               + QStringLiteral("..");
        m_session.feedback().status(*why);
        return false;
    }
    if (m_request.code)
        rememberCode(m_request.text);
    setState(State::Waiting);
    m_wait.start(waitMs);
    m_session.feedback().status(kAsking);
    // A phone that answers before its OK: the "+CUSD:" is in the answer.
    const qsizetype at = answer.indexOf(QLatin1String("+CUSD:"), 0, Qt::CaseInsensitive);
    if (at >= 0)
        heard(answer.mid(at));
    return true;
}

// A "+CUSD:" from the session's notices, perhaps in the middle of another
// transaction: acted on from the window's queue.
void Ussd::heard(const QString& line)
{
    QMetaObject::invokeMethod(
        this, [this, line] { answer(line); }, Qt::QueuedConnection);
}

void Ussd::answer(const QString& line)
{
    const std::optional<at::Cusd> cusd = at::ParseCusd(line);
    if (!cusd || !m_session.portOpen())
        return;
    const bool asked = state() == State::Waiting;
    if (asked && cusd->m == int(at::UssdStatus::NotSupported) && !m_request.retried
        && EncodeUssd(m_request.text, OtherUssdForm(m_request.form))) {
        // Not in this form, perhaps: once more in the other.
        m_wait.stop();
        QMetaObject::invokeMethod(this, &Ussd::retry, Qt::QueuedConnection);
        return;
    }
    UssdAnswer got;
    got.m = cusd->m;
    if (cusd->str) {
        const UssdText text = DecodeUssd(*cusd->str, cusd->dcs);
        got.text = text.text;
        got.reading = text.reading;
    }
    if (asked && got.m <= int(at::UssdStatus::NetworkEnded) && m_modelKnown
        && m_modelLine == m_session.link().session())
        formsByModel[m_model] = m_request.form;
    setState(got.m == int(at::UssdStatus::Waiting) ? State::Menu : State::Idle);
    // What nothing asked for (a chatty modem's, the network's own) is for
    // the dialog alone: panel 2 keeps what it tells.
    if (asked)
        m_session.feedback().status(QStringLiteral("USSD: ") + at::UssdStatusText(got.m) + QStringLiteral(".."));
    emit answered(got);
}

void Ussd::whenFree(std::function<void()> step)
{
    if (m_session.commandFree) {
        step();
        return;
    }
    auto once = std::make_shared<QMetaObject::Connection>();
    *once = connect(&m_session, &Session::operationEnded, this, [this, once, step] {
        disconnect(*once);
        QMetaObject::invokeMethod(
            this, [this, step] { whenFree(step); }, Qt::QueuedConnection);
    });
}

void Ussd::retry()
{
    whenFree([this] {
        if (state() != State::Waiting)
            return;
        Operation operation(m_session, m_portClosed);
        if (!operation.taken())
            return;
        m_request.retried = true;
        m_request.form = OtherUssdForm(m_request.form);
        QString why;
        if (!go(operation, &why) && !why.isEmpty())
            emit failed(why);
    });
}

void Ussd::timedOut()
{
    if (state() != State::Waiting)
        return;
    setState(State::Idle);
    const QString why = QStringLiteral("Nessuna risposta dalla rete entro %1 secondi..").arg((waitMs + 999) / 1000);
    m_session.feedback().status(why);
    emit failed(why);
    // The phone may still hold the request open: it is ended.
    const quint64 line = m_line;
    whenFree([this, line] {
        Operation operation(m_session);
        if (operation.taken() && m_session.link().session() == line && state() != State::Waiting)
            m_session.ask(operation, QStringLiteral("+CUSD=2"));
    });
}

void Ussd::end()
{
    if (state() == State::Idle) {
        setState(State::Idle);
        return;
    }
    setState(State::Idle);
    const quint64 line = m_line;
    whenFree([this, line] {
        Operation operation(m_session);
        if (operation.taken() && m_session.link().session() == line && state() != State::Waiting)
            m_session.ask(operation, QStringLiteral("+CUSD=2"));
    });
}

} // namespace phone
