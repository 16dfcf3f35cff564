// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/fake_clock.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>

void FakeClock::at(qint64 ms, std::function<void()> action) { m_actions.emplace(ms * 1000000, std::move(action)); }

bool FakeClock::waitReal(const std::function<bool()>& woken) const
{
    const auto isWoken = [&woken] { return woken && woken(); };
    QElapsedTimer real;
    real.start();
    // Wakes the loop to look at `quiet` again.
    QTimer tick;
    tick.start(1);
    const int ceilingMs = quiet ? quietCeilingMs : graceMs;
    qint64 quietSince = -1;
    while (!isWoken() && real.elapsed() < ceilingMs) {
        if (quiet && quiet()) {
            if (quietSince < 0)
                quietSince = real.elapsed();
            if (real.elapsed() - quietSince >= settleMs)
                break;
        } else {
            quietSince = -1;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return isWoken();
}

qint64 FakeClock::nextDueNs() const
{
    qint64 next = m_actions.empty() ? -1 : m_actions.begin()->first;
    if (phoneDueNs) {
        const qint64 phone = phoneDueNs();
        if (phone >= 0 && (next < 0 || phone < next))
            next = phone;
    }
    return next;
}

void FakeClock::moveTo(qint64 ns)
{
    m_nowNs = std::max(m_nowNs, ns);
    if (moved)
        moved(m_nowNs);
    while (!m_actions.empty() && m_actions.begin()->first <= m_nowNs) {
        const std::function<void()> action = m_actions.begin()->second;
        m_actions.erase(m_actions.begin());
        action();
    }
}

bool FakeClock::passTime()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    if (!quiet || !quiet())
        return false;
    const qint64 next = nextDueNs();
    if (next < 0)
        return false;
    moveTo(next);
    return true;
}

void FakeClock::sleep(qint64 ns, const std::function<bool()>& woken)
{
    const qint64 end = m_nowNs + std::max<qint64>(0, ns);
    for (;;) {
        // A pause (no `woken`) lets the events run; with `quiet` it also
        // lets what is on its way arrive, for a phone on this clock.
        if (woken || quiet) {
            if (waitReal(woken))
                return;
        } else {
            QCoreApplication::processEvents(QEventLoop::AllEvents);
        }
        const qint64 next = nextDueNs();
        if (next < 0 || next > end) {
            moveTo(end);
            if (!woken)
                QCoreApplication::processEvents(QEventLoop::AllEvents);
            return;
        }
        moveTo(next);
    }
}
