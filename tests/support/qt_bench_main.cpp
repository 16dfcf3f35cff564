// SPDX-License-Identifier: GPL-3.0-or-later
// Google Benchmark main for the benchmarks that build a window: one
// QApplication on the offscreen platform unless another is asked for.
#include <QApplication>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdlib>

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    // What the program keeps in the user's data folder (the record of the
    // messages sent) goes to a folder of this run, never to the user's.
    QTemporaryDir data;
    if (!data.isValid())
        return 1;
    setenv("XDG_DATA_HOME", QFile::encodeName(data.path()).constData(), 1);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
