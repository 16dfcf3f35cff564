// SPDX-License-Identifier: GPL-3.0-or-later
// One keystroke in "Cerca negli sms:" over a list of 20 + 150 occupied
// slots: the capability matches every message (number, phone-book name,
// whole decoded text), the window hides the rows that do not hold the
// words, panel 2 counts them, and the list lays itself out and paints.
//
// The worst case of the name lookup: 85 different recipients (messages
// kept as sent) beside the sample's received messages, none of them in a
// phone book of 500 rows, so that every lookup reads it all.
#include "store/every_slot.h"
#include "store/store_phone.h"

#include "pdu/pdu.h"

#include <QApplication>
#include <QTest>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>

using namespace storetest;

namespace {

// Every other slot a message received, the others sent from here to 85
// different numbers.
std::string searchedPhone()
{
    const char* const received[][2] = {
        {"1", CiaoStasera}, {"0", AuguriNatale}, {"1", ChiaviTrovate}, {"2", ArrivoTraDieci}};
    return EverySlotUsed([&](int n) {
        if (n % 2 == 0)
            return std::string(received[(n / 2) % 4][0]) + " " + received[(n / 2) % 4][1];
        const SubmitPdu sent = EncodeSubmit(
            u("+393359609600"), u("+39347%1").arg(1000000 + n),
            u("Messaggio numero %1: ci vediamo più tardi al caffè, porta le chiavi.").arg(n), false, false);
        return "3 " + sent.pdu.toStdString();
    });
}

void SearchKeystroke(benchmark::State& state)
{
    constexpr int slotCount = 170;
    auto phone = connectedPhone(searchedPhone());
    Form1& form = phone->form();
    for (int i = 1; i <= 500; ++i)
        form.List2->AddItem(phoneBookRow(i, 500, u("+39055") + QString::number(1000000 + i), u("Nome %1").arg(i)));
    form.show();
    if (!QTest::qWaitForWindowExposed(&form)) {
        state.SkipWithError("the window did not show");
        return;
    }
    form.Command4_Click();
    if (form.List1->ListCount() != slotCount) {
        state.SkipWithError("the list read did not read every slot");
        return;
    }

    // The keystrokes of "chiavi caffe", then back to nothing, over and over.
    const QString typed = u("chiavi caffe");
    std::vector<QString> texts;
    for (int length = 1; length <= typed.size(); ++length)
        texts.push_back(typed.left(length));
    for (int length = int(typed.size()) - 1; length >= 0; --length)
        texts.push_back(typed.left(length));

    double worst = 0;
    size_t next = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        form.Text12->setText(texts[next]);
        QApplication::processEvents(); // the list's layout and paint
        const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        worst = std::max(worst, ms);
        state.SetIterationTime(ms / 1e3);
        next = (next + 1) % texts.size();
    }
    form.Text12->setText(typed);
    const int shown =
        int(std::count_if(form.Messaggi->texts().begin(), form.Messaggi->texts().end(),
                          [&, row = 0](const QString&) mutable { return !form.List1->isRowHidden(row++); }));
    state.counters["rows"] = slotCount;
    state.counters["rows_found"] = shown;
    state.counters["worst_ms"] = worst;
}

// The capability's share of a keystroke: which of the 170 records hold the
// words, without the window.
void SearchMatchOnly(benchmark::State& state)
{
    auto phone = connectedPhone(searchedPhone());
    Form1& form = phone->form();
    for (int i = 1; i <= 500; ++i)
        form.List2->AddItem(phoneBookRow(i, 500, u("+39055") + QString::number(1000000 + i), u("Nome %1").arg(i)));
    form.Command4_Click();
    if (form.List1->ListCount() != 170) {
        state.SkipWithError("the list read did not read every slot");
        return;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(form.Messaggi->found(u("chiavi caffe")));
}

} // namespace

BENCHMARK(SearchMatchOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(SearchKeystroke)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(240);
