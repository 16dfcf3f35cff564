// SPDX-License-Identifier: GPL-3.0-or-later
// A clock for the link that tests advance: time passes only when the link
// waits and nothing comes, and then it jumps to the end of the wait. What
// the phone says at a given time is scheduled on the clock with at(), so
// that a test of ten-second deadlines runs in milliseconds and its times
// are exact.
#pragma once

#include "link/clock.h"

#include <functional>
#include <map>

class FakeClock : public LinkClock {
public:
    qint64 nowNs() const override { return m_nowNs; }
    qint64 nowMs() const { return m_nowNs / 1000000; }
    // Runs `action` (a peer's send, say) when the clock reaches `ms`.
    void at(qint64 ms, std::function<void()> action);
    void sleep(qint64 ns, const std::function<bool()>& woken) override;

    // The real time given to bytes already on their way before a wait is
    // taken to have found nothing. When `quiet` tells that the peer has read
    // all that was written and has nothing left to send, only settleMs are
    // given, for what the kernel still carries.
    int graceMs = 300;
    int settleMs = 5;
    std::function<bool()> quiet;

private:
    // Lets real events run until `woken` holds or graceMs pass; true when woken.
    bool waitReal(const std::function<bool()>& woken) const;

    qint64 m_nowNs = 0;
    std::multimap<qint64, std::function<void()>> m_actions; // by time in ns
};
