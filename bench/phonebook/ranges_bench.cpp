// SPDX-License-Identifier: GPL-3.0-or-later
// "Leggi rubrica da Cellulare" on a phone paced like a real serial line
// (19200 baud 8N1, 30 ms of thinking before each answer), with the main
// sample's books (SM 250, ME 100, FD 10 entries): the read in ranges, the
// entry-by-entry read (every range refused) and a bare reader that asks
// each book for its whole range in one command. Wall time; the goal is the
// ranges within 1.2x of the bare reader.
#include "common/bare_line.h"
#include "common/bare_phone.h"
#include "support/e2e.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <regex>
#include <string>

namespace {

const std::string kPaced = "fault.slow = on 30\n";
constexpr int kRows = 252 + 102 + 12;

void PhonebookRead(benchmark::State& state, bool refuseRanges)
{
    e2e::Phone phone(e2e::sampleState(kPaced));
    if (!phone.connect()) {
        state.SkipWithError("no connection");
        return;
    }
    if (refuseRanges) {
        std::string fault = "fault error on";
        for (int first = 1; first <= 250; first += 50)
            fault += " +CPBR=" + std::to_string(first) + ",";
        phone.sim().control(fault);
    }
    Form1& form = phone.form();
    size_t commands = 0;
    for (auto _ : state) {
        phone.clearTranscript();
        form.List2->Clear();
        form.Command1_Click();
        commands = phone.commands().size();
        if (form.List2->ListCount() != kRows) {
            state.SkipWithError("the read did not give every row");
            break;
        }
    }
    state.counters["commands"] = double(commands);
}

void Ranges(benchmark::State& state) { PhonebookRead(state, false); }
void EntryByEntry(benchmark::State& state) { PhonebookRead(state, true); }

// state.range(0): 0 reads each book in one command in the phone's GSM set;
// 1 the same in UCS2, as the program reads (AT+CSCS="UCS2" first, back to
// GSM at the end); 2 in UCS2 and in ranges of 50, the program's commands
// without the program.
void BareRangeReader(benchmark::State& state)
{
    const std::unique_ptr<phonesim::Simulator> sim = bareline::StartedPhone(state, e2e::sampleState(kPaced));
    if (!sim)
        return;
    bareline::Line line(sim->devicePath());
    if (!line.ok()) {
        state.SkipWithError("cannot open the pty");
        return;
    }
    line.ask("ATE0"); // as the program's connection does
    const bool ucs2 = state.range(0) != 0;
    const int rangeSize = state.range(0) == 2 ? 50 : 10000;
    const std::regex sizeAnswer(R"(\+CPBR: \((\d+)-(\d+)\))");
    int entries = 0;
    for (auto _ : state) {
        entries = 0;
        if (ucs2)
            line.ask("AT+CSCS=\"UCS2\"");
        for (const char* book : {"SM", "ME", "FD"}) {
            line.ask(std::string("AT+CPBS=") + book);
            std::smatch found;
            const std::string size = line.ask("AT+CPBR=?");
            if (!std::regex_search(size, found, sizeAnswer))
                continue;
            const int last = std::stoi(found[2].str());
            for (int first = 1; first <= last; first += rangeSize) {
                const int end = std::min(last, first + rangeSize - 1);
                const std::string answer = line.ask("AT+CPBR=" + std::to_string(first) + "," + std::to_string(end));
                for (size_t at = answer.find("+CPBR: "); at != std::string::npos; at = answer.find("+CPBR: ", at + 1))
                    ++entries;
            }
        }
        if (ucs2)
            line.ask("AT+CSCS=\"GSM\"");
    }
    if (entries != 13)
        state.SkipWithError("the bare reader did not read the sample's 13 entries");
    state.counters["entries"] = entries;
}

} // namespace

BENCHMARK(Ranges)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(EntryByEntry)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(BareRangeReader)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
