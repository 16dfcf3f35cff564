// SPDX-License-Identifier: GPL-3.0-or-later
// End-to-end support: a Form1 in this process, its serial line a real
// pseudo-terminal, the phone simulator at the other end.
#pragma once

#include "sim/phonesim.h"
#include "support/fake_clock.h"
#include "window/form1.h"

#include <QApplication>
#include <QDialog>
#include <QMenu>
#include <QPoint>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace e2e {

// Runs the event loop until `done` holds or `ms` milliseconds have passed,
// sleeping between events. The ceiling is generous: a test waits for a
// condition, and a busy machine may take long to meet it. With a phone on
// test time, its time passes meanwhile whenever the line is quiet.
bool waitFor(const std::function<bool()>& done, int ms = 60000);

// The context menu a right click at `at` opens on `rows`, as the window
// system makes the click: the press, the context-menu event the window
// sends for it, the release. Nothing when no menu shows within the wait.
QMenu* rightClickMenu(QWidget* rows, const QPoint& at);

// How the phone and the program's link keep time: real time, or one clock
// that both follow, which the test's waits move (Time::Test). On test time
// a deadline of ten seconds or a phone late by a minute takes no real time,
// and the order of the delays is exact however busy the machine.
enum class Time { Real, Test };

// The main sample phone as state-file text, with `overrides` (state-file
// lines) appended, so that later keys win.
std::string sampleState(const std::string& overrides = std::string());

// Starts a simulator with the given state text and a Form1 whose "COM 1"
// is the simulator's pseudo-terminal. The window's exit is replaced by a
// flag so that closing it does not end the test run.
class Phone {
public:
    explicit Phone(const std::string& stateText = sampleState(), Time time = Time::Real);
    ~Phone();
    Phone(const Phone&) = delete;
    Phone& operator=(const Phone&) = delete;

    Form1& form() { return *m_form; }
    phonesim::Simulator& sim() { return *m_sim; }
    const std::string& device() const { return m_device; }

    // Clicks "APRI / CHIUDI PORTA" and tells whether panel 1 reads CONNESSO.
    bool connect();
    // Forgets what the simulator has received so far.
    void clearTranscript() { m_sim->clearTranscript(); }
    // The command lines the simulator received since the last clear.
    std::vector<std::string> commands() const { return m_sim->commands(); }

    // The clock of both on test time, null on real time.
    FakeClock* clock() const { return m_clock; }

    bool terminated = false;

private:
    std::unique_ptr<phonesim::Simulator> m_sim;
    std::unique_ptr<Form1> m_form;
    std::string m_device;
    void runOnTestTime();

    FakeClock* m_clock = nullptr; // the link's
    quint64 m_written = 0;        // bytes the link wrote since the port was last closed
};

// Answers the modal message boxes that open while it lives: records each
// box's text and title and presses `button` (Ok for a plain box, Yes or No
// for a question).
class MessageBoxes {
public:
    explicit MessageBoxes(QMessageBox::StandardButton button = QMessageBox::Ok);
    ~MessageBoxes();
    struct Seen {
        QString text;
        QString title;
        QMessageBox::Icon icon;
    };
    std::vector<Seen> seen;

private:
    QTimer* m_timer;
};

// Acts once on each modal dialog named `name` as it shows.
class WhenShown {
public:
    WhenShown(const QString& name, std::function<void(QDialog&)> act) : m_act(std::move(act))
    {
        m_timer.setInterval(5);
        QObject::connect(&m_timer, &QTimer::timeout, [this, name] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!dialog || dialog->objectName() != name || dialog == m_done)
                return;
            m_done = dialog;
            ++shown;
            m_act(*dialog);
        });
        m_timer.start();
    }
    int shown = 0;

private:
    std::function<void(QDialog&)> m_act;
    QPointer<QDialog> m_done;
    QTimer m_timer;
};

} // namespace e2e
