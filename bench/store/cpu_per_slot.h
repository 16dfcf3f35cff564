// SPDX-License-Identifier: GPL-3.0-or-later
// The processor time a list read costs, per slot: the window's own thread,
// and the whole process (the simulator's thread included).
#pragma once

#include <benchmark/benchmark.h>

#include <ctime>

namespace storetest {

class CpuPerSlot {
public:
    // Runs one read and adds its processor time.
    template <typename Read> void measure(Read&& read)
    {
        const double windowStart = seconds(CLOCK_THREAD_CPUTIME_ID);
        const double processStart = seconds(CLOCK_PROCESS_CPUTIME_ID);
        read();
        m_window += seconds(CLOCK_THREAD_CPUTIME_ID) - windowStart;
        m_process += seconds(CLOCK_PROCESS_CPUTIME_ID) - processStart;
    }

    // The counters window_cpu_ms_per_slot and process_cpu_ms_per_slot.
    void report(benchmark::State& state, int slots) const
    {
        state.counters["window_cpu_ms_per_slot"] =
            benchmark::Counter(m_window * 1e3 / slots, benchmark::Counter::kAvgIterations);
        state.counters["process_cpu_ms_per_slot"] =
            benchmark::Counter(m_process * 1e3 / slots, benchmark::Counter::kAvgIterations);
    }

private:
    static double seconds(clockid_t clock)
    {
        timespec now{};
        clock_gettime(clock, &now);
        return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
    }

    double m_window = 0;
    double m_process = 0;
};

} // namespace storetest
