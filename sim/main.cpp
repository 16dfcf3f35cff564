// SPDX-License-Identifier: GPL-3.0-or-later
// phonesim: the phone simulator as a program of its own.
//   phonesim [--state FILE] [--link PATH] [--control PATH] [--transcript FILE]
//            [--fault NAME[=ARGS]]... [--set KEY=VALUE]... [--profile NAME]...
// Prints the pty path, serves until SIGTERM or SIGINT.
#include "phonesim.h"

#include <csignal>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <map>
#include <poll.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

namespace {

void usage()
{
    std::cerr << "usage: phonesim [--state FILE] [--link PATH] [--control PATH] [--transcript FILE]\n"
                 "                [--fault NAME[=ARGS]]... [--set KEY=VALUE]... [--profile NAME]...\n"
                 "profiles:";
    for (const auto& p : phonesim::profiles())
        std::cerr << " " << p.first;
    std::cerr << "\n";
}

int listenOn(const std::string& path)
{
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (fd < 0 || path.size() >= sizeof addr.sun_path)
        return -1;
    std::strncpy(addr.sun_path, path.c_str(), sizeof addr.sun_path - 1);
    unlink(path.c_str());
    if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(fd, 4) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

void writeAll(int fd, const std::string& text)
{
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n <= 0)
            return;
        done += static_cast<size_t>(n);
    }
}

} // namespace

int main(int argc, char** argv)
{
    std::string statePath = phonesim::sampleDir() + "/italian.state";
    std::string link, controlPath, transcriptPath;
    std::vector<std::string> lines;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--state" && hasValue) {
            statePath = argv[++i];
        } else if (arg == "--link" && hasValue) {
            link = argv[++i];
        } else if (arg == "--control" && hasValue) {
            controlPath = argv[++i];
        } else if (arg == "--transcript" && hasValue) {
            transcriptPath = argv[++i];
        } else if (arg == "--fault" && hasValue) {
            std::string fault = argv[++i];
            const size_t eq = fault.find('=');
            lines.push_back(eq == std::string::npos ? "fault." + fault + " = on"
                                                    : "fault." + fault.substr(0, eq) + " = on " + fault.substr(eq + 1));
        } else if (arg == "--set" && hasValue) {
            std::string setting = argv[++i];
            const size_t eq = setting.find('=');
            if (eq == std::string::npos) {
                usage();
                return 2;
            }
            lines.push_back(setting.substr(0, eq) + " = " + setting.substr(eq + 1));
        } else if (arg == "--profile" && hasValue && phonesim::profiles().count(argv[i + 1])) {
            lines.push_back(std::string("profile = ") + argv[++i]);
        } else {
            usage();
            return 2;
        }
    }

    phonesim::PhoneState state;
    std::string error;
    if (!phonesim::loadStateFile(statePath, state, error)) {
        std::cerr << "phonesim: " << error << "\n";
        return 1;
    }
    for (const std::string& line : lines) {
        if (!phonesim::applyStateLine(line, state, error)) {
            std::cerr << "phonesim: " << line << ": " << error << "\n";
            return 2;
        }
    }

    // SIGTERM and SIGINT are read from a descriptor, in the loop below.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    const int signalFd = signalfd(-1, &signals, SFD_CLOEXEC);

    phonesim::Simulator simulator(std::move(state));
    if (!transcriptPath.empty())
        simulator.setTranscriptFile(transcriptPath);
    if (!simulator.start(&error, link)) {
        std::cerr << "phonesim: " << error << "\n";
        return 1;
    }
    const int listener = controlPath.empty() ? -1 : listenOn(controlPath);
    if (!controlPath.empty() && listener < 0) {
        std::cerr << "phonesim: cannot listen on " << controlPath << "\n";
        return 1;
    }
    std::cout << simulator.ptyPath() << std::endl;

    // Control connections: one command a line, each answered with its text and a newline.
    std::map<int, std::string> clients;
    for (;;) {
        std::vector<pollfd> fds = {{signalFd, POLLIN, 0}};
        if (listener >= 0)
            fds.push_back({listener, POLLIN, 0});
        for (const auto& c : clients)
            fds.push_back({c.first, POLLIN, 0});
        if (poll(fds.data(), fds.size(), -1) < 0)
            continue;
        if (fds[0].revents & POLLIN)
            break;
        for (size_t i = 1; i < fds.size(); ++i) {
            if (!(fds[i].revents & (POLLIN | POLLHUP)))
                continue;
            if (fds[i].fd == listener) {
                const int client = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
                if (client >= 0)
                    clients[client];
                continue;
            }
            char buffer[4096];
            const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
            std::string& pending = clients[fds[i].fd];
            if (n > 0)
                pending.append(buffer, static_cast<size_t>(n));
            size_t eol;
            while ((eol = pending.find('\n')) != std::string::npos || (n <= 0 && !pending.empty())) {
                const std::string command = pending.substr(0, eol);
                pending.erase(0, eol == std::string::npos ? std::string::npos : eol + 1);
                std::string answer = simulator.control(command);
                if (answer.empty() || answer.back() != '\n')
                    answer += '\n';
                writeAll(fds[i].fd, answer);
            }
            if (n <= 0) {
                close(fds[i].fd);
                clients.erase(fds[i].fd);
            }
        }
    }
    for (const auto& c : clients)
        close(c.first);
    if (listener >= 0) {
        close(listener);
        unlink(controlPath.c_str());
    }
    simulator.stop();
    return 0;
}
