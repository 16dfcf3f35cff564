// SPDX-License-Identifier: GPL-3.0-or-later
// The bare readers and senders the benchmarks measure the window against:
// one command line written on the pty and its answer read, nothing else.
#pragma once

#include <benchmark/benchmark.h>

#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <termios.h>
#include <unistd.h>

namespace bareline {

// Writes `command` and reads until `ending`; false on ERROR or after 60 s.
inline bool Exchange(int fd, const std::string& command, const char* ending, std::string& answer)
{
    if (write(fd, command.data(), command.size()) != ssize_t(command.size()))
        return false;
    answer.clear();
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < until) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 100) <= 0)
            continue;
        char buffer[4096];
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0)
            return false;
        answer.append(buffer, size_t(n));
        if (answer.find(ending) != std::string::npos)
            return true;
        if (answer.find("ERROR") != std::string::npos)
            return false;
    }
    return false;
}

// Opens `device` raw at 19200 baud and turns the echo off, once, as any
// bare reader or sender would; -1 when it cannot be opened.
inline int Open(const std::string& device)
{
    const int fd = open(device.c_str(), O_RDWR | O_NOCTTY);
    if (fd < 0)
        return -1;
    termios tio{};
    tcgetattr(fd, &tio);
    cfmakeraw(&tio);
    cfsetspeed(&tio, B19200);
    tcsetattr(fd, TCSANOW, &tio);
    std::string answer;
    Exchange(fd, "ATE0\r", "\r\nOK\r\n", answer);
    return fd;
}

// Open() for a benchmark: -1, and the benchmark skipped with the reason,
// when the line does not open.
inline int OpenFor(benchmark::State& state, const std::string& device)
{
    const int fd = Open(device);
    if (fd < 0)
        state.SkipWithError("the pty does not open");
    return fd;
}

// A line opened raw at 19200 baud, echo left as the phone has it, closed
// with the object: one command written and read to its final result code
// at a time.
class Line {
public:
    explicit Line(const std::string& device) : m_fd(open(device.c_str(), O_RDWR | O_NOCTTY))
    {
        if (m_fd < 0)
            return;
        termios tio{};
        tcgetattr(m_fd, &tio);
        cfmakeraw(&tio);
        cfsetspeed(&tio, B19200);
        tcsetattr(m_fd, TCSANOW, &tio);
    }
    ~Line()
    {
        if (m_fd >= 0)
            close(m_fd);
    }
    bool ok() const { return m_fd >= 0; }

    // Writes the command and reads until its final result code.
    std::string ask(const std::string& command)
    {
        const std::string line = command + "\r";
        if (write(m_fd, line.data(), line.size()) != ssize_t(line.size()))
            return std::string();
        std::string answer;
        for (;;) {
            pollfd in{m_fd, POLLIN, 0};
            if (poll(&in, 1, 10000) <= 0)
                return answer;
            char buffer[4096];
            const ssize_t n = read(m_fd, buffer, sizeof buffer);
            if (n <= 0)
                return answer;
            answer.append(buffer, size_t(n));
            if (answer.find("\r\nOK\r\n") != std::string::npos || answer.find("ERROR") != std::string::npos)
                return answer;
        }
    }

private:
    int m_fd;
};

} // namespace bareline
