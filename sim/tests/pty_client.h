// SPDX-License-Identifier: GPL-3.0-or-later
// The program's side of the line for the simulator's tests and benchmark:
// the pty slave opened raw with POSIX, a command written, the answer read up
// to its final result code within a deadline.
#pragma once

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <termios.h>
#include <unistd.h>

namespace phonesim_test {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

inline bool endsWith(const std::string& s, const std::string& tail)
{
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// A final result code (or the send prompt) ends the answer, framed with
// CR LF or, as some phones frame it, LF alone.
inline bool isFinal(const std::string& s)
{
    if (endsWith(s, "\n> "))
        return true;
    if (s == "0\r" || s == "4\r" || endsWith(s, "\r\n0\r") || endsWith(s, "\r\n4\r"))
        return true; // ATV0
    if (s.empty() || s.back() != '\n')
        return false;
    std::string body = s.substr(0, s.size() - 1);
    if (!body.empty() && body.back() == '\r')
        body.pop_back();
    const size_t start = body.rfind('\n');
    if (start == std::string::npos)
        return false;
    const std::string last = body.substr(start + 1);
    return last == "OK" || last == "ERROR" || last.rfind("+CME ERROR: ", 0) == 0 || last.rfind("+CMS ERROR: ", 0) == 0;
}

// The program's side of the line: the pty slave opened raw with POSIX.
class Client {
public:
    explicit Client(const std::string& path) { open(path); }
    ~Client() { close(); }

    // false when the port cannot be opened.
    bool open(const std::string& path)
    {
        close();
        m_fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (m_fd < 0)
            return false;
        termios t{};
        tcgetattr(m_fd, &t);
        cfmakeraw(&t);
        cfsetspeed(&t, B19200);
        return tcsetattr(m_fd, TCSANOW, &t) == 0;
    }
    bool isOpen() const { return m_fd >= 0; }
    void close()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }
    // Writes everything, waiting while the pty is full, as a serial driver
    // would; false on a hangup or after the deadline.
    bool write(const std::string& bytes, std::chrono::milliseconds limit = 3000ms)
    {
        const auto deadline = Clock::now() + limit;
        size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(m_fd, bytes.data() + done, bytes.size() - done);
            if (n > 0) {
                done += static_cast<size_t>(n);
                continue;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if ((n < 0 && errno != EAGAIN && errno != EINTR) || left.count() <= 0)
                return false;
            pollfd p{m_fd, POLLOUT, 0};
            poll(&p, 1, static_cast<int>(left.count()));
        }
        return true;
    }
    // Reads until done(answer) or the deadline; false on a hangup.
    template <typename Done> bool readUntil(std::string& answer, Done done, std::chrono::milliseconds limit = 3000ms)
    {
        const auto deadline = Clock::now() + limit;
        while (!done(answer)) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0)
                return true;
            pollfd p{m_fd, POLLIN, 0};
            if (poll(&p, 1, static_cast<int>(left.count())) <= 0)
                continue;
            char buffer[1024];
            const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
            if (n > 0) {
                answer.append(buffer, static_cast<size_t>(n));
            } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
                return false; // the line was dropped
            }
        }
        return true;
    }
    // Writes the bytes and reads up to the final result code.
    std::string send(const std::string& bytes)
    {
        write(bytes);
        std::string answer;
        readUntil(answer, isFinal);
        return answer;
    }
    std::string at(const std::string& command) { return send(command + "\r"); }
    // Writes the command line and reads `count` bytes: an answer known byte
    // for byte, whatever its framing.
    std::string exchange(const std::string& command, size_t count)
    {
        write(command + "\r");
        std::string answer;
        readUntil(answer, [count](const std::string& a) { return a.size() >= count; });
        return answer;
    }
    // Whatever arrives within the time given.
    std::string drain(std::chrono::milliseconds limit)
    {
        std::string answer;
        readUntil(
            answer, [](const std::string&) { return false; }, limit);
        return answer;
    }

private:
    int m_fd = -1;
};

} // namespace phonesim_test
