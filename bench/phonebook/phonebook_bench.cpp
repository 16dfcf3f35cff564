// SPDX-License-Identifier: GPL-3.0-or-later
// The phone book with 10,000 rows: the search run by one keystroke, and
// the save and load of the file. Targets: under 10 ms a keystroke, under
// 100 ms a save or a load. The window is shown, so the yields repaint.
#include "phone/phonebook/book_rows.h"
#include "window/form1.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTemporaryDir>

#include <cstdlib>
#include <memory>

namespace {

constexpr int kRows = 10000;

// One window for all runs, shown, with kRows rows of a store of 40/18.
Form1& window()
{
    static std::unique_ptr<Form1> form = [] {
        auto made = std::make_unique<Form1>();
        made->Timer1->stop();
        at::CpbrRange size;
        size.valid = true;
        size.first = 1;
        size.last = kRows - 2;
        size.numberLength = 40;
        size.nameLength = 18;
        made->List2->AddItem(HeaderRow(size));
        for (int i = 1; i <= kRows - 2; ++i)
            made->List2->AddItem(EntryRow(size, i, QStringLiteral("+39333%1").arg(i, 7, 10, QLatin1Char('0')),
                                          QStringLiteral("Contatto %1").arg(i)));
        made->List2->AddItem(FooterRow(size));
        made->show();
        QApplication::processEvents();
        return made;
    }();
    return *form;
}

// The worst keystroke: the only match is the last entry, or there is none.
void BM_SearchKeystroke(benchmark::State& state)
{
    Form1& form = window();
    const QString wanted = state.range(0) ? QStringLiteral("Contatto 9998") : QStringLiteral("nessuno");
    const QSignalBlocker quiet(form.Text5);
    form.Text5->setText(wanted);
    for (auto _ : state) {
        form.List2->setCurrentRow(0);
        form.Text5_Change();
    }
    if (state.range(0) && form.List2->ListIndex() != kRows - 2)
        state.SkipWithError("the search did not find the last entry");
}
BENCHMARK(BM_SearchKeystroke)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

void BM_Save(benchmark::State& state)
{
    Form1& form = window();
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("grande.rds"));
    form.CommonDialog1->chooser = [&](bool) { return file; };
    for (auto _ : state)
        form.Command7_Click();
    if (form.StatusBar1->panelText(2) != QLatin1String("SALVATAGGIO ULTIMATO"))
        state.SkipWithError("the save failed");
}
BENCHMARK(BM_Save)->Unit(benchmark::kMillisecond);

void BM_Load(benchmark::State& state)
{
    Form1& form = window();
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("grande.rds"));
    form.CommonDialog1->chooser = [&](bool) { return file; };
    form.Command7_Click();
    for (auto _ : state)
        form.Command8_Click();
    if (form.List2->ListCount() != kRows)
        state.SkipWithError("the load lost rows");
}
BENCHMARK(BM_Load)->Unit(benchmark::kMillisecond);

} // namespace
