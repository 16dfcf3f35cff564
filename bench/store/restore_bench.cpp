// SPDX-License-Identifier: GPL-3.0-or-later
// Restoring 150 messages of an archive into an empty phone store on a phone
// paced like a real serial line (19200 baud 8N1, 30 ms of thinking before
// each answer): the restore (the store's selection, size and listing, one
// "+CMGW" dialogue a message, one listing to check them) beside a bare
// writer of the same "+CMGW" dialogues followed by one listing. Wall time;
// the goal is the restore within 1.3x of the bare writer.
#include "common/bare_line.h"
#include "common/bare_phone.h"
#include "support/e2e.h"

#include "phone/messages/keeping.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace {

constexpr int kMessages = 150;

// An SMS-DELIVER from +393471234567, "Ciao! Ci vediamo stasera alle 20:30
// al solito bar?" (the main sample's SM 1), 63 octets after its service
// centre.
const char* const kPdu =
    "0791933395066900040C9193431732547600004230518124704032C374F81D020DD3207B999C0EB7DFA0393D3C2FCBC3A"
    "0309B5D06C960BA190C146683E66F769AFE0689C3F21F";

std::string pacedPhone() { return "fault.slow = on 30\n"; }

void emptyThePhoneStore(phonesim::Simulator& sim)
{
    for (int i = 1; i <= kMessages; ++i)
        sim.control("set sms.ME." + std::to_string(i));
}

void Restore(benchmark::State& state)
{
    e2e::Phone phone(e2e::sampleState(pacedPhone()));
    if (!phone.connect()) {
        state.SkipWithError("no connection");
        return;
    }
    Form1& form = phone.form();
    std::vector<store::ArchivedMessage> archive;
    for (int slot = 1; slot <= kMessages; ++slot)
        archive.push_back({false, slot, 1, QString::fromLatin1(kPdu), {}});
    phone::Keeping::Restored done;
    for (auto _ : state) {
        state.PauseTiming();
        emptyThePhoneStore(phone.sim());
        state.ResumeTiming();
        LongOperation operation(form);
        phone::Keeping keeping(*form.Sessione, *form.Messaggi, *form.Rubrica);
        done = keeping.restore(operation, archive, std::nullopt, form.Colonne());
    }
    if (done.written != kMessages)
        state.SkipWithError(("the restore did not write every message: " + std::to_string(done.written)).c_str());
}

// The same "+CMGW" dialogues, then the store in one listing.
void BareWriter(benchmark::State& state)
{
    const std::unique_ptr<phonesim::Simulator> sim = bareline::StartedPhone(state, e2e::sampleState(pacedPhone()));
    if (!sim)
        return;
    const int fd = bareline::OpenFor(state, sim->devicePath());
    if (fd < 0)
        return;
    size_t listed = 0;
    std::string answer;
    for (auto _ : state) {
        state.PauseTiming();
        emptyThePhoneStore(*sim);
        state.ResumeTiming();
        bareline::Exchange(fd, "AT+CPMS=ME,ME\r", "\r\nOK\r\n", answer);
        for (int i = 0; i < kMessages; ++i) {
            bareline::Exchange(fd, "AT+CMGW=63,1\r\r", "\r\n> ", answer);
            bareline::Exchange(fd, std::string(kPdu) + "\x1a", "\r\nOK\r\n", answer);
        }
        bareline::Exchange(fd, "AT+CMGL=4\r", "\r\nOK\r\n", answer);
        listed = 0;
        for (size_t at = answer.find("+CMGL: "); at != std::string::npos; at = answer.find("+CMGL: ", at + 1))
            ++listed;
    }
    close(fd);
    if (listed != size_t(kMessages))
        state.SkipWithError("the bare writer did not list every message");
}

} // namespace

BENCHMARK(Restore)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
BENCHMARK(BareWriter)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
