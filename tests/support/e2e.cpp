// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/e2e.h"

#include <QAbstractButton>
#include <QApplication>
#include <QContextMenuEvent>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace e2e {

QMenu* rightClickMenu(QWidget* rows, const QPoint& at)
{
    const auto shown = []() -> QMenu* {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* menu = qobject_cast<QMenu*>(widget); menu && menu->isVisible())
                return menu;
        }
        return nullptr;
    };
    QTest::mousePress(rows, Qt::RightButton, {}, at);
    QContextMenuEvent request(QContextMenuEvent::Mouse, at, rows->mapToGlobal(at));
    QApplication::sendEvent(rows, &request);
    QTest::mouseRelease(rows, Qt::RightButton, {}, at);
    waitFor([&] { return shown() != nullptr; });
    return shown();
}

namespace {
// The phones on test time, whose time the waits let pass.
std::vector<Phone*> onTestTime;
} // namespace

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
        for (Phone* phone : onTestTime) {
            if (!phone->form().Linea->busy() && !done())
                phone->clock()->passTime();
        }
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

Phone::Phone(const std::string& stateText, Time time)
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
    if (time == Time::Test)
        runOnTestTime();
}

// The simulator's time stands still from now on, and the link's clock
// starts at zero: the one is the other from here. The clock moves when
// nothing is on its way: the port has written all it was given, the phone
// has read every byte of it and has written all that fell due, and the
// link holds every byte the phone wrote, counted at both ends.
void Phone::runOnTestTime()
{
    m_sim->useTestTime();
    auto clock = std::make_unique<FakeClock>();
    m_clock = clock.get();
    PhoneLink* link = m_form->Linea;
    QSerialPort* port = link->port();
    QObject::connect(port, &QIODevice::bytesWritten, m_form.get(),
                     [this](qint64 bytes) { m_written += quint64(bytes); });
    QObject::connect(port, &QIODevice::aboutToClose, m_form.get(), [this] { m_written = 0; });
    m_clock->quiet = [this, link, port] {
        return port->bytesToWrite() == 0 && m_sim->caughtUp() && m_sim->bytesRead() == m_written
               && m_sim->bytesWritten() == link->bytesRead() + quint64(port->bytesAvailable());
    };
    m_clock->settleMs = 0;
    m_clock->phoneDueNs = [this] { return m_sim->nextDueNs(); };
    m_clock->moved = [this](qint64 ns) { m_sim->setTestTime(ns); };
    link->setClock(std::move(clock));
    onTestTime.push_back(this);
}

Phone::~Phone()
{
    onTestTime.erase(std::remove(onTestTime.begin(), onTestTime.end(), this), onTestTime.end());
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
