// SPDX-License-Identifier: GPL-3.0-or-later
// What one AT transaction costs the program. The phone is a child process
// on the master side of a pseudo-terminal, so the process CPU time measured
// here is the program's alone.
//   ATI      answered at once with OK
//   AT+SLOW  answered with OK after 2 seconds
#include "window/form1.h"

#include <QApplication>
#include <benchmark/benchmark.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <pty.h>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

Form1* g_form = nullptr;

[[noreturn]] void servePhone(int master)
{
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    std::string line;
    char buffer[256];
    for (;;) {
        const ssize_t n = read(master, buffer, sizeof buffer);
        if (n <= 0)
            _exit(0);
        for (ssize_t i = 0; i < n; ++i) {
            if (buffer[i] != '\r') {
                line += buffer[i];
                continue;
            }
            if (line == "AT+SLOW")
                std::this_thread::sleep_for(std::chrono::seconds(2));
            static const char ok[] = "\r\nOK\r\n";
            (void)!write(master, ok, sizeof ok - 1);
            line.clear();
        }
    }
}

double processCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

void BM_TransactionInstantAnswer(benchmark::State& state)
{
    for (auto _ : state) {
        if (g_form->InviaAT(QStringLiteral("ATI")) != QLatin1String("OK")) {
            state.SkipWithError("the phone did not answer OK");
            break;
        }
    }
}
// CPU time of the main thread, and of the whole process (Qt's own threads too).
BENCHMARK(BM_TransactionInstantAnswer);
BENCHMARK(BM_TransactionInstantAnswer)->MeasureProcessCPUTime()->UseRealTime();

// How busy the program keeps the processor while the phone thinks.
void BM_TransactionSlowPhone(benchmark::State& state)
{
    double cpu = 0;
    double wall = 0;
    for (auto _ : state) {
        const double cpuStart = processCpuSeconds();
        const auto wallStart = std::chrono::steady_clock::now();
        if (g_form->InviaAT(QStringLiteral("AT+SLOW")) != QLatin1String("OK")) {
            state.SkipWithError("the phone did not answer OK");
            break;
        }
        cpu += processCpuSeconds() - cpuStart;
        wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
    }
    state.counters["cpu_percent_of_wall"] = wall > 0 ? 100.0 * cpu / wall : 0.0;
}
BENCHMARK(BM_TransactionSlowPhone)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    int master = -1;
    int slave = -1;
    char name[128] = {};
    if (openpty(&master, &slave, name, nullptr, nullptr) != 0)
        return 1;
    termios raw{};
    tcgetattr(slave, &raw);
    cfmakeraw(&raw);
    tcsetattr(slave, TCSANOW, &raw);
    const pid_t phone = fork();
    if (phone == 0) {
        close(slave);
        servePhone(master);
    }
    close(master);

    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    int status = 0;
    {
        Form1 form;
        form.MSComm1->setPortName(QString::fromLatin1(name));
        if (!form.MSComm1->open(QIODevice::ReadWrite))
            return 1;
        g_form = &form;
        benchmark::Initialize(&argc, argv);
        benchmark::RunSpecifiedBenchmarks();
        benchmark::Shutdown();
        g_form = nullptr;
    }
    close(slave);
    kill(phone, SIGTERM);
    waitpid(phone, &status, 0);
    return 0;
}
