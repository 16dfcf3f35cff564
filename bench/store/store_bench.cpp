// SPDX-License-Identifier: GPL-3.0-or-later
// The window's own cost of a list read: a full "Leggi elenco SMS da
// cellulare" (one listing per store) of 20 + 150 occupied slots against a simulator that answers at
// once, with a phone book of `rows` rows in List2 that holds none of the
// senders (every lookup scans it all).
//
// CPU time is that of the window's thread (the simulator serves on a thread
// of its own); the counters give it per slot, with the process's CPU time
// (window and simulator together) beside it.
#include "store/cpu_per_slot.h"
#include "store/every_slot.h"
#include "store/store_phone.h"

#include <benchmark/benchmark.h>

using namespace storetest;

namespace {

// Every slot of both stores occupied, with the sample's messages in turn.
std::string fullPhone()
{
    const char* const messages[][2] = {
        {"1", CiaoStasera}, {"2", ArrivoTraDieci}, {"0", AuguriNatale}, {"1", ChiaviTrovate}};
    return EverySlotUsed([&](int n) { return std::string(messages[n % 4][0]) + " " + messages[n % 4][1]; });
}

void ListRead(benchmark::State& state)
{
    constexpr int slotCount = 170;
    auto phone = connectedPhone(fullPhone());
    Form1& form = phone->form();
    for (int i = 1; i <= state.range(0); ++i)
        form.List2->AddItem(phoneBookRow(i, 500, u("+39055") + QString::number(1000000 + i), u("Nome %1").arg(i)));

    CpuPerSlot cpu;
    for (auto _ : state) {
        phone->clearTranscript();
        cpu.measure([&] { form.Command4_Click(); });
        if (form.List1->ListCount() != slotCount || phone->commands().size() != 8u) {
            state.SkipWithError("the list read did not read every slot");
            break;
        }
    }
    state.counters["slots"] = slotCount;
    cpu.report(state, slotCount);
    state.SetItemsProcessed(int64_t(state.iterations()) * slotCount);
}

} // namespace

BENCHMARK(ListRead)->Arg(0)->Arg(500)->Unit(benchmark::kMillisecond)->Iterations(5);
