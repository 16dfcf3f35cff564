// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/clock.h"

#include <QCoreApplication>
#include <QTimer>

#include <chrono>
#include <cmath>

qint64 SteadyClock::nowNs() const
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void SteadyClock::sleep(qint64 ns, const std::function<bool()>& woken)
{
    if (ns <= 0 || (woken && woken()))
        return;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    bool fired = false;
    QObject::connect(&timer, &QTimer::timeout, [&fired] { fired = true; });
    timer.start(std::chrono::milliseconds(qint64(std::ceil(double(ns) / 1e6))));
    while (!fired && !(woken && woken()))
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}
