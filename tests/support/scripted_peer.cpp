// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/scripted_peer.h"

#include "sim/pty.h"

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <unistd.h>

namespace scripted {

using Clock = std::chrono::steady_clock;

Peer::Peer() = default;

Peer::~Peer() { stop(); }

void Peer::on(const std::string& trigger, std::vector<Piece> reply, bool repeat)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_rules.push_back({trigger, std::move(reply), repeat});
}

bool Peer::start(std::string* error)
{
    // The slave stays open here for the peer's whole life, so the master
    // never reads EIO while the program has the port closed.
    phonesim::Pty pty;
    std::string message;
    if (!phonesim::openRawPty(pty, message)) {
        if (error)
            *error = message;
        return false;
    }
    m_master = pty.master;
    m_slave = pty.slave;
    m_device = pty.path;
    if (pipe(m_wake) != 0) {
        if (error)
            *error = std::string("pipe: ") + std::strerror(errno);
        return false;
    }
    m_start = Clock::now();
    m_thread = std::thread([this] { serve(); });
    return true;
}

void Peer::stop()
{
    if (m_thread.joinable()) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_stopping = true;
        }
        const char byte = 0;
        (void)!write(m_wake[1], &byte, 1);
        m_thread.join();
    }
    for (int* fd : {&m_master, &m_slave, &m_wake[0], &m_wake[1]}) {
        if (*fd >= 0)
            close(*fd);
        *fd = -1;
    }
}

void Peer::send(const std::string& bytes)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_due.push_back({Clock::now(), bytes});
    }
    const char byte = 0;
    (void)!write(m_wake[1], &byte, 1);
}

std::string Peer::received() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_received;
}

std::vector<Arrival> Peer::arrivals() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_arrivals;
}

bool Peer::replying() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return !m_due.empty() || m_writing;
}

size_t Peer::written() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_written;
}

bool Peer::waitReceived(const std::function<bool(const std::string&)>& done, int ms) const
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::milliseconds(ms), [&] { return done(m_received); });
}

bool Peer::waitReplied(int ms) const
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::milliseconds(ms), [&] { return m_due.empty() && !m_writing; });
}

void Peer::match()
{
    for (;;) {
        size_t best = std::string::npos;
        size_t bestEnd = 0;
        size_t bestRule = 0;
        for (size_t i = 0; i < m_rules.size(); ++i) {
            const size_t at = m_unmatched.find(m_rules[i].trigger);
            if (at != std::string::npos && at < best) {
                best = at;
                bestEnd = at + m_rules[i].trigger.size();
                bestRule = i;
            }
        }
        if (best == std::string::npos)
            return;
        m_unmatched.erase(0, bestEnd);
        const Rule rule = m_rules[bestRule];
        if (!rule.repeat)
            m_rules.erase(m_rules.begin() + long(bestRule));
        // Pieces follow each other, and any reply still on its way.
        Clock::time_point at = m_due.empty() ? Clock::now() : std::max(Clock::now(), m_due.back().at);
        for (const Piece& piece : rule.reply) {
            at += std::chrono::milliseconds(piece.delayMs);
            m_due.push_back({at, piece.bytes});
        }
    }
}

void Peer::writeAll(const std::string& bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(m_master, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += size_t(n);
            std::lock_guard<std::mutex> lock(m_mutex);
            m_written += size_t(n);
        } else if (n < 0 && errno == EAGAIN) {
            pollfd out{m_master, POLLOUT, 0};
            poll(&out, 1, 100);
        } else if (n < 0 && errno != EINTR) {
            return;
        }
    }
}

void Peer::serve()
{
    for (;;) {
        int timeoutMs = -1;
        std::string toSend;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_stopping)
                return;
            const Clock::time_point now = Clock::now();
            while (!m_due.empty() && m_due.front().at <= now) {
                toSend += m_due.front().bytes;
                m_due.pop_front();
                m_writing = true;
            }
            if (!m_due.empty()) {
                const auto left = std::chrono::ceil<std::chrono::milliseconds>(m_due.front().at - now);
                timeoutMs = int(std::max<long long>(1, left.count()));
            }
        }
        if (!toSend.empty()) {
            writeAll(toSend);
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                m_writing = false;
            }
            m_changed.notify_all();
            continue;
        }

        pollfd fds[2] = {{m_master, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
        if (poll(fds, 2, timeoutMs) < 0 && errno != EINTR)
            return;
        if (fds[1].revents & POLLIN) {
            char drain[64];
            (void)!read(m_wake[0], drain, sizeof drain);
        }
        if (fds[0].revents & POLLIN) {
            char buffer[4096];
            const ssize_t n = read(m_master, buffer, sizeof buffer);
            if (n > 0) {
                std::lock_guard<std::mutex> lock(m_mutex);
                const std::string chunk(buffer, size_t(n));
                const std::chrono::duration<double, std::milli> since = Clock::now() - m_start;
                m_received += chunk;
                m_unmatched += chunk;
                m_arrivals.push_back({since.count(), chunk});
                match();
            }
            m_changed.notify_all();
        }
    }
}

} // namespace scripted
