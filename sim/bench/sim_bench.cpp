// SPDX-License-Identifier: GPL-3.0-or-later
// How fast the simulator answers over the pty, and how fast it starts.
#include "sim/phonesim.h"
#include "tests/pty_client.h"

#include <benchmark/benchmark.h>

namespace {

using phonesim_test::Client;

phonesim::PhoneState mainSample()
{
    phonesim::PhoneState state;
    std::string error;
    if (!phonesim::loadStateFile(phonesim::sampleDir() + "/italian.state", state, error))
        std::abort();
    return state;
}

// Command and answer over the pty, one after the other, unpaced (target: more than 10,000 a second).
void commandsOverPty(benchmark::State& bench, const std::string& command, const std::string& answer)
{
    phonesim::Simulator sim(mainSample());
    std::string error;
    if (!sim.start(&error)) {
        bench.SkipWithError(error.c_str());
        return;
    }
    Client client(sim.devicePath());
    client.at("ATE0");
    for (auto _ : bench) {
        if (client.at(command) != answer) {
            bench.SkipWithError("unexpected answer");
            break;
        }
    }
    bench.SetItemsProcessed(bench.iterations());
}

void BM_AnswerAt(benchmark::State& bench) { commandsOverPty(bench, "AT", "\r\nOK\r\n"); }
BENCHMARK(BM_AnswerAt)->UseRealTime();

void BM_AnswerStoredMessage(benchmark::State& bench)
{
    const std::string pdu =
        "0791933395066900040C9193431732547600004230518124704032C374F81D020DD3207B999C0EB7DFA0393D3C2FCBC3A0309B5D06C9"
        "60BA190C146683E66F769AFE0689C3F21F";
    commandsOverPty(bench, "AT+CMGR=1", "\r\n+CMGR: 1,,63\r\n" + pdu + "\r\n\r\nOK\r\n");
}
BENCHMARK(BM_AnswerStoredMessage)->UseRealTime();

// A phone-book write as the program sends it: UCS2 name, number without "+".
void BM_AnswerPhoneBookWrite(benchmark::State& bench)
{
    commandsOverPty(bench, "AT+CSCS=\"UCS2\";+CPBW=4,\"393471234567\",145,\"041C043004400438044F\"", "\r\nOK\r\n");
}
BENCHMARK(BM_AnswerPhoneBookWrite)->UseRealTime();

// Loading the main sample and serving it until the pty is there (target: under 50 ms).
void BM_StartUpWithMainSample(benchmark::State& bench)
{
    for (auto _ : bench) {
        phonesim::PhoneState state;
        std::string error;
        phonesim::loadStateFile(phonesim::sampleDir() + "/italian.state", state, error);
        phonesim::Simulator sim(std::move(state));
        if (!sim.start(&error)) {
            bench.SkipWithError(error.c_str());
            break;
        }
        benchmark::DoNotOptimize(sim.devicePath());
        bench.PauseTiming();
        sim.stop();
        bench.ResumeTiming();
    }
}
BENCHMARK(BM_StartUpWithMainSample)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
