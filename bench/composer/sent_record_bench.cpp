// SPDX-License-Identifier: GPL-3.0-or-later
// The record of what was sent, which is written whole after each message
// sent and each delivery report, and read at each start. Wall time of:
//   SaveRecord/n   one save of a record of n messages (VerifiedSave: the
//                  new file written, synced and put in place)
//   OpenRecord/n   reading it back at the start, its waiting messages put
//                  on the delivery ledger
// Goal: a save of 1,000 messages (years of use for most) well under the
// 100 ms a user would notice after "Invia SMS"; 10,000 measured beside it.
#include "phone/sending/sent_record.h"

#include <benchmark/benchmark.h>

#include <QTemporaryDir>

namespace {

phone::SentRecord& filled(phone::SentRecord& record, int messages)
{
    for (int i = 0; i < messages; ++i) {
        phone::SentEntry entry;
        entry.sent = QDateTime::currentDateTime();
        entry.number = QStringLiteral("+39347%1").arg(i, 7, 10, QLatin1Char('0'));
        entry.name = QStringLiteral("Mario Rossi");
        entry.text = QStringLiteral("Ci vediamo stasera alle 20:30 al solito bar? Porta anche Giulia, e le chiavi.");
        entry.statusReport = true;
        entry.parts = {{phone::SentPartRecord::State::Reported, i % 256, 0, QStringLiteral("15:30:14"),
                        QStringLiteral("10/12/24"), QString()}};
        record.add(entry);
    }
    return record;
}

void SaveRecord(benchmark::State& state)
{
    QTemporaryDir folder;
    at::DeliveryLedger ledger;
    phone::SentRecord record;
    record.open(folder.filePath(QStringLiteral("inviati.json")), ledger);
    filled(record, int(state.range(0)));
    for (auto _ : state) {
        if (!record.save())
            state.SkipWithError("save failed");
    }
}
BENCHMARK(SaveRecord)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();

void OpenRecord(benchmark::State& state)
{
    QTemporaryDir folder;
    const QString file = folder.filePath(QStringLiteral("inviati.json"));
    {
        at::DeliveryLedger ledger;
        phone::SentRecord record;
        record.open(file, ledger);
        filled(record, int(state.range(0))).save();
    }
    for (auto _ : state) {
        at::DeliveryLedger ledger;
        phone::SentRecord record;
        benchmark::DoNotOptimize(record.open(file, ledger));
    }
}
BENCHMARK(OpenRecord)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
