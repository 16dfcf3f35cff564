// SPDX-License-Identifier: GPL-3.0-or-later
// The message list of the main sample on a phone paced like a real line
// (19200 baud 8N1, 30 ms of thinking per command), wall time of:
//   ListingRead     "Leggi elenco SMS da cellulare", one listing per store
//   SlotBySlotRead  the same with the listing refused, one +CMGR per slot
//   BareReader      AT+CPMS and AT+CMGL=4 per store, written and read on the
//                   pty by this program, nothing else
//   GammuGetAllSms  the peer: `gammu getallsms` on the same phone (bounded)
// and WindowCpuPerSlot: the window's own processor time (its thread) per
// slot during a listing read with the window shown and List2 filled from the
// sample's phone book. Goal: ListingRead within 1.15x of BareReader, under
// 0.5 ms of window time a slot.
#include "common/bare_line.h"
#include "store/cpu_per_slot.h"
#include "store/store_phone.h"

#include <benchmark/benchmark.h>

#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

using namespace storetest;

namespace {

constexpr int kSlots = 170; // 20 SIM + 150 phone

const std::string Paced = "fault.slow = on 30\n";

void listRead(benchmark::State& state, const std::string& extra, size_t commands)
{
    auto phone = connectedPhone(e2e::sampleState(Paced + extra));
    Form1& form = phone->form();
    for (auto _ : state) {
        phone->clearTranscript();
        form.Command4_Click();
        if (form.List1->ListCount() != kSlots || phone->commands().size() != commands) {
            state.SkipWithError("the list read did not read every slot");
            break;
        }
    }
}

void ListingRead(benchmark::State& state) { listRead(state, "", 8); }

void SlotBySlotRead(benchmark::State& state) { listRead(state, "fault.error = on +CMGL\n", 8 + kSlots); }

void BareReader(benchmark::State& state)
{
    e2e::Phone phone(e2e::sampleState(Paced));
    const int fd = bareline::OpenFor(state, phone.device());
    if (fd < 0)
        return;
    std::string answer;
    for (auto _ : state) {
        size_t messages = 0;
        for (const char* store : {"AT+CPMS=SM\r", "AT+CPMS=ME\r"}) {
            if (!bareline::Exchange(fd, store, "\r\nOK\r\n", answer)
                || !bareline::Exchange(fd, "AT+CMGL=4\r", "\r\nOK\r\n", answer)) {
                state.SkipWithError("the phone refused the bare reader");
                break;
            }
            for (size_t at = answer.find("+CMGL:"); at != std::string::npos; at = answer.find("+CMGL:", at + 1))
                ++messages;
        }
        state.counters["messages"] = double(messages);
    }
    close(fd);
}

// The peer: gammu's own reader of every message, at 19200 baud.
void GammuGetAllSms(benchmark::State& state)
{
    if (std::system("command -v gammu >/dev/null 2>&1") != 0) {
        state.SkipWithError("gammu is not installed");
        return;
    }
    e2e::Phone phone(e2e::sampleState(Paced));
    QTemporaryDir dir;
    const std::string rc = QDir(dir.path()).filePath(QStringLiteral("gammurc")).toStdString();
    std::ofstream(rc) << "[gammu]\ndevice = " << phone.device() << "\nconnection = at19200\n";
    const std::string command = "timeout 300 gammu -c " + rc + " getallsms > " + rc + ".out 2>&1";
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("gammu getallsms failed");
            break;
        }
    }
}

// The window's own processor time per slot: its thread, during a listing
// read with the window shown and the sample's phone book in List2.
void WindowCpuPerSlot(benchmark::State& state)
{
    auto phone = connectedPhone(e2e::sampleState(Paced));
    Form1& form = phone->form();
    form.show();
    form.Command1_Click();
    const int phoneBook = form.List2->ListCount();
    CpuPerSlot cpu;
    for (auto _ : state) {
        cpu.measure([&] { form.Command4_Click(); });
        if (form.List1->ListCount() != kSlots) {
            state.SkipWithError("the list read did not read every slot");
            break;
        }
    }
    state.counters["phone_book_rows"] = phoneBook;
    cpu.report(state, kSlots);
}

} // namespace

BENCHMARK(ListingRead)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BareReader)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(SlotBySlotRead)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
BENCHMARK(GammuGetAllSms)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
BENCHMARK(WindowCpuPerSlot)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
