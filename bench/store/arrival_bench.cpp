// SPDX-License-Identifier: GPL-3.0-or-later
// A phone that lives, on a phone paced like a real line (19200 baud 8N1,
// 30 ms of thinking per command):
//   ArrivalToRow  wall time from the moment the simulator stores a message
//                 and writes its +CMTI to the moment the window has
//                 rewritten the slot's row of List1, with no click: the
//                 store selected and the slot read on the paced line.
//                 Goal: under 300 ms.
//   IdleCpu       processor time of the window's thread, connected, the
//                 list read, nothing arriving, over 60 s (ZIRCALO_IDLE_SECONDS
//                 changes it), as a share of one core. The line is read
//                 when it has something, never polled. Goal: under 0.1 %.
#include "support/e2e.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <ctime>
#include <string>

namespace {

const std::string Paced = "fault.slow = on 30\n";

// Two messages that take turns in SIM slot 4, so that each delivery
// changes the row.
const char* const kMessages[] = {
    "0791933395066900040C9193431732547600004230518124704032C374F81D020DD3207B999C0EB7DFA0393D3C2FCBC3A0309B5D06C960"
    "BA190C146683E66F769AFE0689C3F21F",
    "0791933395066900040A8133133254760000423022315410402BC837882E7FDBC3F437885D068DD1E9B03DCD0295E561F71B947683DAE1"
    "F1189D768741BA560A",
};

double threadCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

void ArrivalToRow(benchmark::State& state)
{
    e2e::Phone phone(e2e::sampleState(Paced));
    if (!phone.connect()) {
        state.SkipWithError("the window did not connect");
        return;
    }
    Form1& form = phone.form();
    form.Command4->click();
    const int position = 3; // "S: 04/20"
    if (form.List1->ListCount() < 20 || !form.List1->List(position).startsWith(QStringLiteral("S: 04/20"))) {
        state.SkipWithError("the list was not read");
        return;
    }
    QElapsedTimer clock;
    qint64 rewrittenNs = -1;
    QObject::connect(form.List1->model(), &QAbstractItemModel::dataChanged, [&](const QModelIndex& first) {
        if (first.row() == position && rewrittenNs < 0)
            rewrittenNs = clock.nsecsElapsed();
    });
    int turn = 0;
    for (auto _ : state) {
        const QString before = form.List1->List(position);
        rewrittenNs = -1;
        clock.start();
        phone.sim().control(std::string("deliver SM 4 0 ") + kMessages[turn++ % 2]);
        if (!e2e::waitFor([&] { return rewrittenNs >= 0 && form.List1->List(position) != before; }, 10000)) {
            state.SkipWithError("the row was not rewritten");
            break;
        }
        state.SetIterationTime(double(rewrittenNs) / 1e9);
        // The guard is back before the next one.
        e2e::waitFor([&] { return form.ComandoLibero; }, 10000);
    }
}

void IdleCpu(benchmark::State& state)
{
    const int seconds =
        qEnvironmentVariableIsSet("ZIRCALO_IDLE_SECONDS") ? qEnvironmentVariableIntValue("ZIRCALO_IDLE_SECONDS") : 60;
    e2e::Phone phone(e2e::sampleState(Paced));
    if (!phone.connect()) {
        state.SkipWithError("the window did not connect");
        return;
    }
    phone.form().Command4->click();
    for (auto _ : state) {
        const double start = threadCpuSeconds();
        QEventLoop idle;
        QTimer::singleShot(seconds * 1000, &idle, &QEventLoop::quit);
        idle.exec();
        const double used = threadCpuSeconds() - start;
        state.counters["cpu_ms"] = used * 1000;
        state.counters["core_percent"] = used / seconds * 100;
    }
}

} // namespace

BENCHMARK(ArrivalToRow)->Unit(benchmark::kMillisecond)->Iterations(20)->UseManualTime();
BENCHMARK(IdleCpu)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();
