// SPDX-License-Identifier: GPL-3.0-or-later
// Memory and the window's stalls under floods, against the simulated phone
// on a pseudo-terminal:
//   IdleFlood        "RING" lines at the rate given while no command runs,
//                    for the seconds given (ZIRCALO_FLOOD_SECONDS overrides)
//   EndlessListing   "Leggi elenco SMS" on a phone whose listing never ends:
//                    rows at the rate given until the read gives up, at the
//                    size ceiling or at the listing's time ceiling (seconds)
// Counters: peak_rss_mb (the process's peak resident memory during the run,
// the simulator's thread included), max_stall_ms (the longest the window's
// event loop went without serving a 10 ms timer, less those 10 ms).
// Goal: under 64 MB and 100 ms each.
#include "support/e2e.h"

#include <benchmark/benchmark.h>

#include <QElapsedTimer>
#include <QTimer>

#include <cstdlib>
#include <fstream>
#include <string>

namespace {

// The peak resident memory since the last reset, in MB.
double peakRssMb()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stod(line.substr(6)) / 1024.0;
    }
    return 0;
}

void resetPeakRss() { std::ofstream("/proc/self/clear_refs") << "5"; }

// The longest gap between the ticks of a 10 ms timer, less the 10 ms.
class StallWatch {
public:
    StallWatch()
    {
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout,
                         [this] { m_longest = std::max(m_longest, m_clock.restart() - 10); });
        m_clock.start();
        m_timer.start();
    }
    qint64 longest() const { return m_longest; }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_longest = 0;
};

int seconds(benchmark::State& state, int index)
{
    if (const char* given = std::getenv("ZIRCALO_FLOOD_SECONDS"))
        return std::max(1, std::atoi(given));
    return int(state.range(index));
}

void IdleFlood(benchmark::State& state)
{
    e2e::Phone phone;
    if (!phone.connect()) {
        state.SkipWithError("no connection");
        return;
    }
    const int rate = int(state.range(0));
    const int duration = seconds(state, 1);
    for (auto _ : state) {
        resetPeakRss();
        StallWatch stalls;
        phone.sim().control("fault flood on " + std::to_string(rate));
        QElapsedTimer clock;
        clock.start();
        e2e::waitFor([&] { return clock.elapsed() >= duration * 1000; }, duration * 1000 + 1000);
        phone.sim().control("fault flood off");
        state.counters["peak_rss_mb"] = peakRssMb();
        state.counters["max_stall_ms"] = double(stalls.longest());
        if (phone.form().InviaAT(QStringLiteral("AT")) != QLatin1String("OK"))
            state.SkipWithError("the phone did not answer after the flood");
    }
}
BENCHMARK(IdleFlood)->Args({200000, 60})->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);

void EndlessListing(benchmark::State& state)
{
    e2e::Phone phone;
    if (!phone.connect()) {
        state.SkipWithError("no connection");
        return;
    }
    Form1& form = phone.form();
    const int rate = int(state.range(0));
    form.Tempi.longAnswerMs = seconds(state, 1) * 1000;
    const std::string row = "+CMGL: 1,1,,23\\n0791933395066900040C9193431732547600004230518124704032C374F81D";
    for (auto _ : state) {
        phone.sim().control("fault late on 3600000 +CMGL");
        // The rows begin once the listing is asked for.
        QTimer asked;
        asked.setInterval(1);
        QObject::connect(&asked, &QTimer::timeout, [&] {
            for (const std::string& command : phone.commands()) {
                if (command.rfind("AT+CMGL", 0) == 0) {
                    asked.stop();
                    phone.sim().control("fault flood on " + std::to_string(rate) + " " + row);
                }
            }
        });
        phone.clearTranscript();
        asked.start();
        resetPeakRss();
        StallWatch stalls;
        form.Command4_Click();
        state.counters["peak_rss_mb"] = peakRssMb();
        state.counters["max_stall_ms"] = double(stalls.longest());
        phone.sim().control("fault flood off");
        phone.sim().control("fault late off");
        state.SetLabel(form.StatusBar1->panelText(2).toStdString());
    }
}
// Past the size ceiling at a pseudo-terminal's pace; at a serial line's
// pace (1,920 bytes a second at 19200 baud) for the five minutes.
BENCHMARK(EndlessListing)
    ->Args({200000, 300})
    ->Args({1920, 300})
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kSecond);

} // namespace
