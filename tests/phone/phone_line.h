// SPDX-License-Identifier: GPL-3.0-or-later
// The phone's capabilities without a window: a session on a real
// pseudo-terminal with the simulator at its other end, set up as the
// connection sets a phone up, and a Feedback that records what a window
// would show.
#pragma once

#include "phone/session.h"
#include "sim/phonesim.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace phonetest {

inline QString u(const char* utf8) { return QString::fromUtf8(utf8); }

class RecordingFeedback : public phone::Feedback {
public:
    std::vector<QString> statuses;
    std::vector<std::pair<QString, QString>> notified;
    int beeps = 0;
    float max = 0;
    float value = 0;

    void status(const QString& text) override { statuses.push_back(text); }
    void beep() override { ++beeps; }
    void yield() override { QCoreApplication::processEvents(QEventLoop::AllEvents); }
    void progressMax(float m) override { max = m; }
    void progress(float v) override { value = v; }
    bool confirm(const QString&, const QString&) override { return true; }
    void notify(const QString& title, const QString& text) override { notified.push_back({title, text}); }
    QString last() const { return statuses.empty() ? QString() : statuses.back(); }
};

// Runs the event loop until `done` holds or a minute has passed.
inline bool waitFor(const std::function<bool()>& done)
{
    QElapsedTimer clock;
    clock.start();
    QTimer tick;
    tick.start(5);
    while (!done()) {
        if (clock.elapsed() > 60000)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return true;
}

class Line {
public:
    explicit Line(const std::string& stateText)
    {
        phonesim::PhoneState state;
        std::string error;
        if (!phonesim::loadStateText(stateText, state, error))
            throw std::runtime_error("bad phone state: " + error);
        sim = std::make_unique<phonesim::Simulator>(std::move(state));
        if (!sim->start(&error))
            throw std::runtime_error("simulator did not start: " + error);
        if (!session.link().open(QString::fromStdString(sim->devicePath())))
            throw std::runtime_error("the line did not open");
        session.transaction(QStringLiteral("ATZ"));
        for (const QString& command : phone::Session::SetUpCommands())
            session.transaction(command);
        sim->clearTranscript();
    }
    ~Line()
    {
        session.link().close();
        sim->stop();
    }

    std::unique_ptr<phonesim::Simulator> sim;
    RecordingFeedback feedback;
    phone::Session session{feedback};
};

// The main sample phone, with `overrides` after it.
inline std::string sample(const std::string& overrides = std::string())
{
    return "include = italian.state\n" + overrides + "\n";
}

} // namespace phonetest
