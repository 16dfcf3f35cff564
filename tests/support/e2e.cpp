// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/e2e.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QTimer>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace e2e {

bool waitFor(const std::function<bool()>& done, int ms)
{
    QElapsedTimer clock;
    clock.start();
    // Sleeps in the event dispatcher between events; the tick wakes it to
    // look at `done` again when nothing else does.
    QTimer tick;
    tick.start(5);
    while (!done()) {
        if (clock.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return true;
}

std::string sampleState(const std::string& overrides)
{
    std::ifstream file(phonesim::sampleDir() + "/italian.state");
    std::stringstream text;
    text << file.rdbuf();
    if (!file)
        throw std::runtime_error("cannot read the main sample phone");
    return text.str() + "\n" + overrides + "\n";
}

Phone::Phone(const std::string& stateText)
{
    phonesim::PhoneState state;
    std::string error;
    if (!phonesim::loadStateText(stateText, state, error))
        throw std::runtime_error("bad phone state: " + error);
    m_sim = std::make_unique<phonesim::Simulator>(std::move(state));
    if (!m_sim->start(&error))
        throw std::runtime_error("simulator did not start: " + error);
    m_device = m_sim->devicePath();
    setenv("ZIRCALO_COM1", m_device.c_str(), 1);
    m_form = std::make_unique<Form1>();
    m_form->Termina = [this] { terminated = true; };
}

Phone::~Phone()
{
    m_form.reset();
    m_sim->stop();
}

bool Phone::connect()
{
    m_form->Command2_Click();
    return m_form->StatusBar1->panelText(1) == QLatin1String("CONNESSO");
}

MessageBoxes::MessageBoxes(QMessageBox::StandardButton button) : m_timer(new QTimer)
{
    m_timer->setInterval(5);
    QObject::connect(m_timer, &QTimer::timeout, m_timer, [this, button] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        seen.push_back({box->text(), box->windowTitle(), box->icon()});
        if (QAbstractButton* answer = box->button(button))
            answer->click();
        else
            box->reject();
    });
    m_timer->start();
}

MessageBoxes::~MessageBoxes() { delete m_timer; }

} // namespace e2e
