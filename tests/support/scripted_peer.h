// SPDX-License-Identifier: GPL-3.0-or-later
// A scripted phone on a real pseudo-terminal, set up as the simulator's
// (sim/pty.h): the program opens the slave side as its serial port; a
// thread reads the master side, records every byte, and answers per a
// script of "on receiving X, reply Y", the reply possibly in pieces and
// after delays.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace scripted {

struct Piece {
    int delayMs; // after the previous piece (or after the trigger)
    std::string bytes;
};

// One chunk as the peer's read returned it.
struct Arrival {
    double ms; // since start()
    std::string bytes;
};

class Peer {
public:
    Peer();
    ~Peer(); // stops
    Peer(const Peer&) = delete;
    Peer& operator=(const Peer&) = delete;

    // When `trigger` has been received, send `reply`. A rule fires once
    // unless `repeat`; the earliest trigger in the unmatched bytes wins and
    // the bytes up to its end are consumed.
    void on(const std::string& trigger, std::vector<Piece> reply, bool repeat = false);
    void on(const std::string& trigger, const std::string& reply, bool repeat = false)
    {
        on(trigger, std::vector<Piece>{{0, reply}}, repeat);
    }

    // Opens the pty in raw mode and starts serving. false + message on error.
    bool start(std::string* error = nullptr);
    void stop();
    // The slave side, e.g. /dev/pts/7.
    const std::string& devicePath() const { return m_device; }

    // Sends bytes now, unasked.
    void send(const std::string& bytes);

    std::string received() const;
    std::vector<Arrival> arrivals() const;
    // Replies queued and not yet written (delayed pieces).
    bool replying() const;
    // The bytes written to the program so far.
    size_t written() const;

    // Blocks the calling thread (no event loop) until `done` holds for the
    // bytes received, or `ms` pass.
    bool waitReceived(const std::function<bool(const std::string&)>& done, int ms = 5000) const;
    // Blocks until every queued reply has been written, or `ms` pass.
    bool waitReplied(int ms = 5000) const;

private:
    struct Rule {
        std::string trigger;
        std::vector<Piece> reply;
        bool repeat;
    };
    struct Due {
        std::chrono::steady_clock::time_point at;
        std::string bytes;
    };

    void serve();
    void match(); // with m_mutex held
    void writeAll(const std::string& bytes);

    int m_master = -1;
    int m_slave = -1;
    int m_wake[2] = {-1, -1};
    std::string m_device;
    std::thread m_thread;
    std::chrono::steady_clock::time_point m_start;

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    std::vector<Rule> m_rules;
    std::string m_unmatched;
    std::string m_received;
    std::vector<Arrival> m_arrivals;
    std::deque<Due> m_due;
    bool m_writing = false;
    bool m_stopping = false;
    size_t m_written = 0;
};

} // namespace scripted
