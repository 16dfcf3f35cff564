// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/fake_clock.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>

void FakeClock::at(qint64 ms, std::function<void()> action) { m_actions.emplace(ms * 1000000, std::move(action)); }

bool FakeClock::waitReal(const std::function<bool()>& woken) const
{
    QElapsedTimer real;
    real.start();
    // Wakes the loop to look at `quiet` again.
    QTimer tick;
    tick.start(1);
    qint64 quietSince = -1;
    while (!woken() && real.elapsed() < graceMs) {
        if (quiet && quiet()) {
            if (quietSince < 0)
                quietSince = real.elapsed();
            else if (real.elapsed() - quietSince >= settleMs)
                break;
        } else {
            quietSince = -1;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return woken();
}

void FakeClock::sleep(qint64 ns, const std::function<bool()>& woken)
{
    const qint64 end = m_nowNs + std::max<qint64>(0, ns);
    if (!woken)
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    for (;;) {
        if (woken && waitReal(woken))
            return;
        const auto next = m_actions.begin();
        if (next == m_actions.end() || next->first > end) {
            m_nowNs = end;
            return;
        }
        m_nowNs = std::max(m_nowNs, next->first);
        const std::function<void()> action = next->second;
        m_actions.erase(next);
        action();
        if (!woken)
            QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
}
