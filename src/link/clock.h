// SPDX-License-Identifier: GPL-3.0-or-later
// The time the link waits by. The program's link runs on the steady clock;
// a test gives it a clock of its own that it advances, so that waiting out
// a deadline of ten seconds takes no ten seconds.
#pragma once

#include <QtGlobal>

#include <functional>

class LinkClock {
public:
    virtual ~LinkClock() = default;
    // Nanoseconds since some fixed moment.
    virtual qint64 nowNs() const = 0;
    // Lets the window's events run until `woken` holds or `ns` have passed
    // on this clock. Without `woken`, a pause: events run and `ns` pass.
    virtual void sleep(qint64 ns, const std::function<bool()>& woken) = 0;
};

// Real time, waiting in the event dispatcher.
class SteadyClock : public LinkClock {
public:
    qint64 nowNs() const override;
    void sleep(qint64 ns, const std::function<bool()>& woken) override;
};
