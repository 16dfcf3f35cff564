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

    // When all is quiet, moves the clock to the next moment something is
    // due (an action, or the phone's own) and lets it happen: the time that
    // passes while a test waits outside the link. False when nothing is
    // due or the line is not quiet.
    bool passTime();

    // Whether nothing is on its way: the peer has read all that was
    // written, has nothing left to send by now, and the link holds all it
    // wrote (the tests count the bytes at both ends). Without it, a wait
    // gives bytes already on their way graceMs of real time before it is
    // taken to have found nothing; with it, settleMs once it holds, and a
    // wait that never sees it takes quietCeilingMs of real time.
    std::function<bool()> quiet;
    int graceMs = 300;
    int settleMs = 5;
    int quietCeilingMs = 60000;

    // A phone that keeps its own time by this clock (the simulator on test
    // time): when it next has something to send, in ns on this clock (-1:
    // nothing), and what it is told each time the clock moves.
    std::function<qint64()> phoneDueNs;
    std::function<void(qint64)> moved;

private:
    // Lets real events run until `woken` holds, or nothing is on its way;
    // true when woken.
    bool waitReal(const std::function<bool()>& woken) const;
    // The next moment something is due, or -1.
    qint64 nextDueNs() const;
    // Moves the clock to `ns` and runs the actions due by then.
    void moveTo(qint64 ns);

    qint64 m_nowNs = 0;
    std::multimap<qint64, std::function<void()>> m_actions; // by time in ns
};
