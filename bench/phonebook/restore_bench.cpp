// SPDX-License-Identifier: GPL-3.0-or-later
// Restoring 250 SIM entries to an empty SIM on a phone paced like a real
// serial line (19200 baud 8N1, 30 ms of thinking before each answer): the
// write of a phone book (the book read first, one "+CPBW" an entry, the
// entries read back in ranges) beside a bare writer of the same "+CPBW"
// commands followed by one range read. Wall time; the goal is the write
// within 1.3x of the bare writer.
#include "common/bare_line.h"
#include "common/bare_phone.h"
#include "support/e2e.h"

#include "at/cpbw.h"
#include "phone/phonebook/book_rows.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace {

constexpr int kEntries = 250;

// The paced phone, its SIM empty.
std::string emptySim()
{
    std::string state = "fault.slow = on 30\n";
    for (const char* index : {"1", "2", "3", "5", "6", "8", "11"})
        state += std::string("pb.SM.") + index + " =\n";
    return state;
}

QString nameOf(int i) { return QStringLiteral("Contatto %1 è").arg(i, 3, 10, QLatin1Char('0')); }
QString numberOf(int i) { return QStringLiteral("+39347%1").arg(i, 7, 10, QLatin1Char('0')); }

// The SIM as a loaded file would show it: 250 entries, framed.
QStringList savedRows()
{
    at::CpbrRange size;
    size.valid = true;
    size.first = 1;
    size.last = kEntries;
    size.numberLength = 40;
    size.nameLength = 18;
    QStringList rows{HeaderRow(size)};
    for (int i = 1; i <= kEntries; ++i)
        rows << EntryRow(size, i, numberOf(i), nameOf(i));
    rows << FooterRow(size);
    return rows;
}

void emptyTheSim(phonesim::Simulator& sim)
{
    for (int i = 1; i <= kEntries; ++i)
        sim.control("set pb.SM." + std::to_string(i));
}

void Restore(benchmark::State& state)
{
    e2e::Phone phone(e2e::sampleState(emptySim()));
    if (!phone.connect()) {
        state.SkipWithError("no connection");
        return;
    }
    Form1& form = phone.form();
    form.List2->addItems(savedRows());
    QString status;
    for (auto _ : state) {
        state.PauseTiming();
        emptyTheSim(phone.sim());
        state.ResumeTiming();
        LongOperation operation(form);
        status = form.Rubrica->writeBook(operation, 1, QStringLiteral("SM"), false).value_or(QString());
    }
    if (status != QStringLiteral("Scritte 250 voci, 0 già uguali.."))
        state.SkipWithError(("the write did not write every entry: " + status.toStdString()).c_str());
}

// The program's "+CPBW" commands in the phone's UCS2, then the whole book
// in one range read.
void BareWriter(benchmark::State& state)
{
    const std::unique_ptr<phonesim::Simulator> sim = bareline::StartedPhone(state, e2e::sampleState(emptySim()));
    if (!sim)
        return;
    bareline::Line line(sim->devicePath());
    if (!line.ok()) {
        state.SkipWithError("cannot open the pty");
        return;
    }
    std::vector<std::string> writes;
    for (int i = 1; i <= kEntries; ++i) {
        const QString name = *at::PhonebookNameArgument(nameOf(i), QStringLiteral("UCS2"));
        writes.push_back("AT" + at::CpbwWriteCommand(i, *at::ContactNumberOf(numberOf(i)), name).toStdString());
    }
    line.ask("ATE0");
    size_t readBack = 0;
    for (auto _ : state) {
        state.PauseTiming();
        emptyTheSim(*sim);
        state.ResumeTiming();
        line.ask("AT+CSCS=\"UCS2\"");
        line.ask("AT+CPBS=SM");
        for (const std::string& command : writes)
            line.ask(command);
        const std::string answer = line.ask("AT+CPBR=1," + std::to_string(kEntries));
        readBack = 0;
        for (size_t at = answer.find("+CPBR: "); at != std::string::npos; at = answer.find("+CPBR: ", at + 1))
            ++readBack;
        line.ask("AT+CSCS=\"GSM\"");
    }
    if (readBack != size_t(kEntries))
        state.SkipWithError("the bare writer did not read back every entry");
}

} // namespace

BENCHMARK(Restore)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
BENCHMARK(BareWriter)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
