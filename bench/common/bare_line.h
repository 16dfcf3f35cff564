// SPDX-License-Identifier: GPL-3.0-or-later
// The bare readers and senders the benchmarks measure the window against:
// one command line written on the pty and its answer read, nothing else.
#pragma once

#include <chrono>
#include <poll.h>
#include <string>
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

} // namespace bareline
