// SPDX-License-Identifier: GPL-3.0-or-later
// The simulator: a pseudo-terminal served on its own thread, the control
// channel and the transcript.
#include "pdu.h"
#include "phone.h"
#include "phonesim.h"
#include "pty.h"
#include "text.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <deque>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <mutex>
#include <optional>
#include <poll.h>
#include <sstream>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace phonesim {

namespace {

using Clock = std::chrono::steady_clock;
// One byte at 19200 baud, 8N1: a start bit, 8 data bits, a stop bit.
constexpr std::chrono::nanoseconds kByteTime(1000000000LL * 10 / 19200);
constexpr std::chrono::milliseconds kDrainLimit(500);
constexpr std::chrono::milliseconds kDrainSettle(30);
constexpr std::chrono::milliseconds kDrainPoll(2);
// A flood is written in slices this far apart.
constexpr std::chrono::milliseconds kFloodSlice(10);

struct Pending {
    Clock::time_point due;
    std::string bytes;
    size_t offset = 0;
    bool paced = false;
    bool dropAfter = false;
};

// Something the network sends that the phone passes on when it falls due:
// the unsolicited code of a message that arrived, or a status report, which
// the phone routes (or stores) only then.
struct Notice {
    std::string code;
    std::optional<StatusReport> report;
};

} // namespace

struct Simulator::Impl {
    mutable std::mutex mutex;
    std::condition_variable changed;
    PhoneState state;
    Phone phone;

    int master = -1;
    int slave = -1;  // kept open so that the pty outlives the program's close
    int notify = -1; // opens and closes of the slave by the program
    int clients = 0;
    std::string ptyName;
    std::string linkPath;
    int wake[2] = {-1, -1};
    std::thread thread;
    bool running = false;
    bool stopping = false;
    bool dropRequested = false;
    int dropCount = 0;

    std::deque<Pending> queue;
    Clock::time_point lastEnd;
    std::multimap<Clock::time_point, Notice> notices; // by the time each falls due, in order of arrival
    Clock::time_point floodNext;                      // the next slice of a flood; none while there is none
    size_t floodPhase = 0;                            // where in its frame the last slice ended
    unsigned long long floodBytes = 0;
    Clock::time_point dropAt; // a drop waits for the program to read what was sent
    const Clock::time_point epoch = Clock::now();
    // The phone's own time: the steady clock, or on test time one that
    // stands still until the test moves it (testStart + the test's time).
    bool testTime = false;
    Clock::time_point testStart;
    Clock::time_point testNow;
    // Bytes written to the program and read from it since it opened the port.
    unsigned long long bytesOut = 0;
    unsigned long long bytesIn = 0;

    std::vector<std::string> commands;
    std::vector<std::string> receivedLines;
    std::string received;
    std::string transcript;
    std::ofstream transcriptFile;

    explicit Impl(PhoneState s) : state(std::move(s)), phone(state) {}

    // When the phone's delays fall due. What waits on the kernel (a drop
    // draining, a flood's slices, the log's stamps) keeps real time.
    Clock::time_point phoneNow() const { return testTime ? testNow : Clock::now(); }

    void log(const char* direction, const std::string& text)
    {
        const double t = std::chrono::duration<double>(Clock::now() - epoch).count();
        char stamp[32];
        std::snprintf(stamp, sizeof stamp, "%10.6f ", t);
        std::string line = std::string(stamp) + direction + " " + text + "\n";
        transcript += line;
        if (transcriptFile.is_open()) {
            transcriptFile << line;
            transcriptFile.flush();
        }
    }

    bool openPty(std::string& error)
    {
        Pty pty;
        if (!openRawPty(pty, error))
            return false;
        master = pty.master;
        slave = pty.slave;
        ptyName = pty.path;
        notify = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (notify >= 0)
            inotify_add_watch(notify, ptyName.c_str(), IN_OPEN | IN_CLOSE_WRITE | IN_CLOSE_NOWRITE);
        clients = 0;
        return makeLink(error);
    }

    bool makeLink(std::string& error)
    {
        if (linkPath.empty())
            return true;
        // A new name, then rename over the old one: the link is never missing.
        const std::string temp = linkPath + ".new";
        unlink(temp.c_str());
        if (symlink(ptyName.c_str(), temp.c_str()) != 0 || rename(temp.c_str(), linkPath.c_str()) != 0) {
            error = "cannot make the link " + linkPath + ": " + std::strerror(errno);
            unlink(temp.c_str());
            return false;
        }
        return true;
    }

    void closePty()
    {
        if (notify >= 0)
            close(notify);
        if (slave >= 0)
            close(slave);
        if (master >= 0)
            close(master);
        slave = master = notify = -1;
    }

    // What the phone sends while the port is closed is lost, as on a serial
    // line: nothing is written then, and what the last program left unread
    // is flushed when the next one opens the port.
    void onPortEvents()
    {
        alignas(inotify_event) char buffer[1024];
        ssize_t n;
        while ((n = read(notify, buffer, sizeof buffer)) > 0) {
            for (ssize_t i = 0; i < n;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + i);
                if (event->mask & IN_OPEN) {
                    if (++clients == 1) {
                        tcflush(slave, TCIFLUSH);
                        bytesOut = bytesIn = 0;
                        log("--", "port opened");
                    }
                } else if (clients > 0 && --clients == 0) {
                    // The next program finds the port as a fresh one: raw, not exclusive.
                    ioctl(slave, TIOCNXCL);
                    makeRaw(slave);
                    bytesOut = bytesIn = 0;
                    log("--", "port closed");
                }
                i += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        }
    }

    void dropLine()
    {
        dropAt = Clock::time_point();
        closePty();
        queue.clear();
        phone.lineDropped();
        std::string error;
        if (!openPty(error))
            log("--", "drop: " + error);
        ++dropCount;
        log("--", "line dropped, now " + ptyName);
        changed.notify_all();
    }

    void wakeUp()
    {
        const char c = 0;
        if (write(wake[1], &c, 1) < 0) { /* the pipe is full: the thread is awake anyway */
        }
    }

    void schedule(const std::vector<Output>& outputs)
    {
        const bool paced = state.faults.slow;
        for (const Output& o : outputs) {
            const Clock::time_point start = std::max(phoneNow(), lastEnd) + std::chrono::milliseconds(o.delayMs);
            Pending p;
            p.due = start;
            p.bytes = o.bytes;
            p.paced = paced;
            p.dropAfter = o.dropAfter;
            lastEnd = start + (paced ? kByteTime * static_cast<int>(o.bytes.size()) : Clock::duration::zero());
            queue.push_back(p);
        }
    }

    // Nobody has the port open: what the phone sends now is lost.
    bool portClosed() const { return notify >= 0 && clients == 0; }

    // Whether a notice may go out now: between answers, with nothing of
    // one left to write and no "> " waiting for its PDU.
    bool betweenAnswers() const { return queue.empty() && dropAt == Clock::time_point() && !phone.awaitingPdu(); }

    // The notices that have fallen due, each framed as an unsolicited code
    // when it goes out. A status report is routed (or stored) only now.
    void passNotices()
    {
        while (!notices.empty() && notices.begin()->first <= phoneNow() && betweenAnswers()) {
            const Notice notice = notices.begin()->second;
            notices.erase(notices.begin());
            std::string code = notice.code;
            if (notice.report) {
                std::string note;
                code = phone.reportArrives(*notice.report, note);
                log("--", note);
            }
            if (code.empty())
                continue;
            if (state.faults.silent) {
                log("--", "silent, not sent: \"" + escapeBytes(code) + "\"");
                continue;
            }
            schedule({Output{0, phone.unsolicited(code), false}});
        }
    }

    // The status reports that the messages just sent asked for, due
    // report.delay_ms after their confirmation goes out.
    void awaitReports()
    {
        for (StatusReport& report : phone.takeReports()) {
            report.sent = std::time(nullptr);
            const Clock::time_point due =
                std::max(phoneNow(), lastEnd) + std::chrono::milliseconds(state.reports.delayMs);
            notices.emplace(due, Notice{std::string(), report});
        }
    }

    // The "flood" fault: a slice every kFloodSlice, the frame repeated
    // from where the last slice ended, so that no line is cut. Not logged
    // line by line: the transcript says when a flood begins and ends.
    void flood()
    {
        const Faults& f = state.faults;
        const bool on = f.flood && !portClosed() && dropAt == Clock::time_point()
                        && (queue.empty() || queue.front().due > phoneNow());
        if (!on) {
            if (floodNext != Clock::time_point())
                log("--", "flood ends after " + std::to_string(floodBytes) + " bytes");
            floodNext = Clock::time_point();
            floodBytes = 0;
            return;
        }
        const Clock::time_point now = Clock::now();
        if (floodNext == Clock::time_point()) {
            log("--", "flood begins: " + std::to_string(f.floodRate) + " bytes a second of \""
                          + escapeBytes(f.floodLine) + "\"");
            floodNext = now;
        }
        if (now < floodNext)
            return;
        const std::string frame = phone.unsolicited(f.floodLine);
        const size_t want = std::max<size_t>(1, static_cast<size_t>(f.floodRate) / 100);
        std::string slice = frame.substr(floodPhase);
        while (slice.size() < want)
            slice += frame;
        const ssize_t n = write(master, slice.data(), slice.size());
        if (n > 0) {
            floodPhase = (floodPhase + static_cast<size_t>(n)) % frame.size();
            floodBytes += static_cast<unsigned long long>(n);
            bytesOut += static_cast<unsigned long long>(n);
        }
        // A reader too slow for the rate gets what it can take, no backlog.
        floodNext = std::max(floodNext + kFloodSlice, now);
    }

    // Writes what is due; returns false when the pty is full.
    bool writeDue()
    {
        while (!queue.empty() && queue.front().due <= phoneNow()) {
            Pending& p = queue.front();
            if (portClosed()) {
                log("--", "lost, the port is closed: \"" + escapeBytes(p.bytes.substr(p.offset)) + "\"");
                const bool drop = p.dropAfter;
                queue.pop_front();
                if (drop)
                    dropLine();
                continue;
            }
            const size_t count = p.paced ? 1 : p.bytes.size() - p.offset;
            const ssize_t n = write(master, p.bytes.data() + p.offset, count);
            if (n < 0) {
                if (errno == EAGAIN || errno == EWOULDBLOCK)
                    return false;
                log("--", std::string("write: ") + std::strerror(errno));
                queue.pop_front();
                continue;
            }
            log(">>", "\"" + escapeBytes(p.bytes.substr(p.offset, static_cast<size_t>(n))) + "\"");
            p.offset += static_cast<size_t>(n);
            bytesOut += static_cast<unsigned long long>(n);
            if (p.paced)
                p.due += kByteTime;
            if (p.offset >= p.bytes.size()) {
                if (p.dropAfter)
                    dropAt = Clock::now() + kDrainLimit;
                queue.pop_front();
            }
        }
        return true;
    }

    // A line dropped in the middle of an answer: the bytes already sent
    // reach the program first (as on a wire), then the hangup.
    // The pty hands written bytes to the slave a little later, so the
    // slave's queue is only trusted after kDrainSettle.
    void dropWhenDrained()
    {
        if (dropAt == Clock::time_point())
            return;
        const Clock::time_point now = Clock::now();
        int pending = 0;
        const bool settled = now >= dropAt - kDrainLimit + kDrainSettle;
        if ((settled && (ioctl(slave, FIONREAD, &pending) != 0 || pending == 0)) || now >= dropAt) {
            dropAt = Clock::time_point();
            dropLine();
        }
    }

    void onInput()
    {
        char buffer[4096];
        for (;;) {
            const ssize_t n = read(master, buffer, sizeof buffer);
            if (n <= 0)
                return;
            const std::string bytes(buffer, static_cast<size_t>(n));
            received += bytes;
            bytesIn += static_cast<unsigned long long>(n);
            log("<<", "\"" + escapeBytes(bytes) + "\"");
            std::vector<Output> outputs;
            std::vector<std::string> lines;
            std::vector<std::string> rawLines;
            phone.feed(bytes, outputs, lines, rawLines);
            commands.insert(commands.end(), lines.begin(), lines.end());
            receivedLines.insert(receivedLines.end(), rawLines.begin(), rawLines.end());
            schedule(outputs);
            awaitReports();
            for (const std::string& code : phone.takeUssd())
                notices.emplace(std::max(phoneNow(), lastEnd) + std::chrono::milliseconds(state.dialect.ussdDelayMs),
                                Notice{code, std::nullopt});
            if (static_cast<size_t>(n) < sizeof buffer)
                return; // all there was
        }
    }

    void serve()
    {
        std::unique_lock<std::mutex> lock(mutex);
        while (!stopping) {
            if (dropRequested) {
                dropRequested = false;
                dropLine();
            }
            passNotices();
            const bool writable = dropAt == Clock::time_point() && writeDue();
            dropWhenDrained();
            if (writable)
                flood();
            timespec timeout{};
            timespec* wait = nullptr;
            // On test time the phone's delays end when the test moves the
            // time, which wakes this thread: only what is due already is
            // waited for here.
            const bool noticeWaits =
                !notices.empty() && betweenAnswers() && (!testTime || notices.begin()->first <= phoneNow());
            const bool answerWaits = writable && !queue.empty() && (!testTime || queue.front().due <= phoneNow());
            if (dropAt != Clock::time_point() || answerWaits || floodNext != Clock::time_point() || noticeWaits) {
                auto left = dropAt != Clock::time_point() ? Clock::duration(kDrainPoll)
                            : answerWaits ? std::max(Clock::duration::zero(), queue.front().due - phoneNow())
                                          : Clock::duration::max();
                if (floodNext != Clock::time_point())
                    left = std::min<Clock::duration>(left, std::max(Clock::duration::zero(), floodNext - Clock::now()));
                if (noticeWaits) {
                    left = std::min<Clock::duration>(
                        left, std::max(Clock::duration::zero(), notices.begin()->first - phoneNow()));
                }
                const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
                timeout.tv_sec = static_cast<time_t>(ns / 1000000000);
                timeout.tv_nsec = static_cast<long>(ns % 1000000000);
                wait = &timeout;
            }
            pollfd fds[3] = {{master, static_cast<short>(POLLIN | (writable ? 0 : POLLOUT)), 0},
                             {wake[0], POLLIN, 0},
                             {notify, POLLIN, 0}};
            lock.unlock();
            ppoll(fds, 3, wait, nullptr);
            lock.lock();
            if ((fds[2].revents & POLLIN) && fds[2].fd == notify)
                onPortEvents();
            if (fds[1].revents & POLLIN) {
                char drain[64];
                while (read(wake[0], drain, sizeof drain) > 0) {}
            }
            if ((fds[0].revents & POLLIN) && fds[0].fd == master)
                onInput();
        }
    }
};

Simulator::Simulator(PhoneState state) : m_impl(std::make_unique<Impl>(std::move(state))) {}

Simulator::~Simulator() { stop(); }

bool Simulator::start(std::string* error, const std::string& symlinkPath)
{
    Impl& d = *m_impl;
    std::lock_guard<std::mutex> lock(d.mutex);
    std::string message;
    if (d.running) {
        message = "already running";
    } else if (pipe2(d.wake, O_NONBLOCK | O_CLOEXEC) != 0) {
        message = std::string("pipe: ") + std::strerror(errno);
    } else if (struct stat st{}; !symlinkPath.empty() && lstat(symlinkPath.c_str(), &st) == 0 && !S_ISLNK(st.st_mode)) {
        message = symlinkPath + " exists and is not a symbolic link";
    } else {
        d.linkPath = symlinkPath;
        if (d.openPty(message)) {
            d.log("--", "serving on " + d.ptyName + (d.linkPath.empty() ? "" : " (" + d.linkPath + ")"));
            d.running = true;
            d.stopping = false;
            d.thread = std::thread([&d] { d.serve(); });
            return true;
        }
        d.closePty();
    }
    if (error)
        *error = message;
    return false;
}

void Simulator::stop()
{
    Impl& d = *m_impl;
    {
        std::lock_guard<std::mutex> lock(d.mutex);
        if (!d.running)
            return;
        d.stopping = true;
        d.wakeUp();
    }
    d.thread.join();
    std::lock_guard<std::mutex> lock(d.mutex);
    d.running = false;
    d.closePty();
    struct stat st {};
    if (!d.linkPath.empty() && lstat(d.linkPath.c_str(), &st) == 0 && S_ISLNK(st.st_mode))
        unlink(d.linkPath.c_str());
    close(d.wake[0]);
    close(d.wake[1]);
    d.wake[0] = d.wake[1] = -1;
    d.log("--", "stopped");
}

std::string Simulator::devicePath() const
{
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    return m_impl->linkPath.empty() ? m_impl->ptyName : m_impl->linkPath;
}

std::string Simulator::ptyPath() const
{
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    return m_impl->ptyName;
}

std::vector<std::string> Simulator::commands() const
{
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    return m_impl->commands;
}

std::vector<std::string> Simulator::receivedLines() const
{
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    return m_impl->receivedLines;
}

std::string Simulator::received() const
{
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    return m_impl->received;
}

std::string Simulator::transcript() const
{
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    return m_impl->transcript;
}

void Simulator::clearTranscript()
{
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    m_impl->commands.clear();
    m_impl->receivedLines.clear();
    m_impl->received.clear();
    m_impl->transcript.clear();
}

std::vector<std::string> Simulator::sentPdus() const
{
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    return m_impl->phone.sentPdus();
}

void Simulator::setTranscriptFile(const std::string& path)
{
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    m_impl->transcriptFile.close();
    if (!path.empty())
        m_impl->transcriptFile.open(path, std::ios::app);
}

int Simulator::drops() const
{
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    return m_impl->dropCount;
}

void Simulator::useTestTime()
{
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    m_impl->testStart = m_impl->testNow = Clock::now();
    m_impl->testTime = true;
}

void Simulator::setTestTime(long long ns)
{
    Impl& d = *m_impl;
    std::lock_guard<std::mutex> lock(d.mutex);
    if (!d.testTime)
        return;
    d.testNow = std::max(d.testNow, d.testStart + std::chrono::nanoseconds(ns));
    if (d.running)
        d.wakeUp();
}

long long Simulator::nextDueNs() const
{
    const Impl& d = *m_impl;
    std::lock_guard<std::mutex> lock(d.mutex);
    if (!d.testTime)
        return -1;
    std::optional<Clock::time_point> next;
    if (!d.queue.empty())
        next = d.queue.front().due;
    if (!d.notices.empty() && d.betweenAnswers())
        next = next ? std::min(*next, d.notices.begin()->first) : d.notices.begin()->first;
    if (!next)
        return -1;
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::max(*next, d.testNow) - d.testStart).count();
}

bool Simulator::caughtUp() const
{
    const Impl& d = *m_impl;
    std::lock_guard<std::mutex> lock(d.mutex);
    const Clock::time_point now = d.phoneNow();
    const bool answerDue = !d.queue.empty() && d.queue.front().due <= now;
    const bool noticeDue = !d.notices.empty() && d.notices.begin()->first <= now && d.betweenAnswers();
    return !answerDue && !noticeDue && d.dropAt == Clock::time_point() && !d.dropRequested;
}

unsigned long long Simulator::bytesWritten() const
{
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    return m_impl->bytesOut;
}

unsigned long long Simulator::bytesRead() const
{
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    return m_impl->bytesIn;
}

std::string Simulator::control(const std::string& command)
{
    Impl& d = *m_impl;
    std::unique_lock<std::mutex> lock(d.mutex);
    const std::vector<std::string> words = splitWords(command);
    if (words.empty())
        return "ERROR empty command";
    const std::string& verb = words[0];
    d.log("--", "control: " + command);
    auto restFrom = [&](size_t n) {
        // The text after the first n words, as typed.
        size_t pos = 0;
        for (size_t i = 0; i < n; ++i) {
            pos = command.find(words[i], pos) + words[i].size();
        }
        return trim(command.substr(pos));
    };

    if (verb == "deliver" && words.size() == 5) {
        // Stored at <mem> <index>, unless +CNMI hands it to the program.
        const std::string mem = upper(words[1]);
        const std::string slot = "sms." + mem + "." + words[2] + " = " + words[3] + " " + words[4];
        std::string error;
        PhoneState checked = d.state;
        if (!applyStateLine(slot, checked, error))
            return "ERROR " + error;
        int index = 0;
        parseInt(words[2], index);
        const Phone::Arrival arrival =
            d.running ? d.phone.messageArrives(mem, index, upper(words[4])) : Phone::Arrival();
        if (arrival.store)
            applyStateLine(slot, d.state, error);
        if (!arrival.code.empty()) {
            d.notices.emplace(d.phoneNow(), Notice{arrival.code, std::nullopt});
            d.wakeUp();
        }
        return "OK";
    }
    if (verb == "report" && (words.size() == 3 || words.size() == 4)) {
        // A status report now, for any reference and number.
        StatusReport report;
        const std::string& number = words[2];
        const bool dialled = number.find_first_not_of("+0123456789*#", 0) == std::string::npos
                             && number.find('+', 1) == std::string::npos && number != "+";
        if (!parseInt(words[1], report.reference) || report.reference < 0 || report.reference > 255 || !dialled
            || (words.size() == 4
                && (!parseInt(words[3], report.status) || report.status < 0 || report.status > 255))) {
            return "ERROR report <mr 0-255> <number> [<status 0-255>]";
        }
        if (!d.running)
            return "ERROR not running";
        report.recipient = addressField(number);
        report.sent = std::time(nullptr);
        d.notices.emplace(d.phoneNow(), Notice{std::string(), report});
        d.wakeUp();
        return "OK";
    }
    if (verb == "delete" && words.size() == 3) {
        std::string error;
        if (!applyStateLine("sms." + upper(words[1]) + "." + words[2] + " =", d.state, error)) {
            return "ERROR " + error;
        }
        return "OK";
    }
    if (verb == "drop" && words.size() == 1) {
        if (!d.running)
            return "ERROR not running";
        const int before = d.dropCount;
        d.dropRequested = true;
        d.wakeUp();
        d.changed.wait_for(lock, std::chrono::seconds(5), [&] { return d.dropCount != before; });
        return d.dropCount != before ? "OK " + d.ptyName : "ERROR the line was not dropped";
    }
    if (verb == "fault" && words.size() >= 3) {
        std::string error;
        if (!applyStateLine("fault." + words[1] + " = " + restFrom(2), d.state, error))
            return "ERROR " + error;
        if (words[1] == "noecho" && d.state.faults.noEcho)
            d.phone.followState();
        d.wakeUp();
        return "OK";
    }
    if (verb == "set" && words.size() >= 2) {
        std::string error;
        if (!applyStateLine(words[1] + " = " + restFrom(2), d.state, error))
            return "ERROR " + error;
        if (words[1] == "echo" || words[1] == "charset")
            d.phone.followState();
        return "OK";
    }
    if (verb == "get" && words.size() == 2) {
        std::istringstream dump(dumpState(d.state));
        std::string line;
        std::string value;
        bool found = false;
        while (std::getline(dump, line)) {
            const size_t eq = line.find(" = ");
            if (eq != std::string::npos && line.substr(0, eq) == words[1]) {
                value = line.substr(eq + 3); // the last line of a key wins, as when loading
                found = true;
            }
        }
        return found ? value : "ERROR no such key: " + words[1];
    }
    if (verb == "dump" && words.size() == 1)
        return dumpState(d.state);
    if (verb == "unsolicited" && words.size() >= 2) {
        if (!d.running)
            return "ERROR not running";
        d.schedule({Output{0, d.phone.unsolicited(restFrom(1)), false}});
        d.wakeUp();
        return "OK";
    }
    if (verb == "sent" && words.size() == 1) {
        std::string out;
        for (const std::string& pdu : d.phone.sentPdus())
            out += pdu + "\n";
        return out;
    }
    if (verb == "help") {
        return "deliver <mem> <index> <stat> <pdu>\ndelete <mem> <index>\ndrop\nreport <mr> <number> [<status>]\n"
               "fault <name> on|off [args]\nset <key> <value>\nget <key>\ndump\nunsolicited <line>\nsent\n";
    }
    return "ERROR unknown control command: " + command;
}

} // namespace phonesim
