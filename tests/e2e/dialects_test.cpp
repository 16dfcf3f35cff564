// SPDX-License-Identifier: GPL-3.0-or-later
// Real phones' dialects, end to end: for each way a real phone frames,
// spaces, cases or interrupts its answers, the whole read (connect, phone
// books, message list, every message opened, a refresh, a deletion) shows
// exactly what the textbook phone shows, and sends nothing it would not.
#include "support/e2e.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>

#include <algorithm>
#include <array>
#include <cstdio>
#include <map>
#include <ostream>
#include <string>
#include <vector>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }
QT_END_NAMESPACE

namespace {

// The sample's occupied slots (SIM 1 2 3 5 7 8 10 12 14, phone 1 2 3 4 6)
// and one empty SIM slot (4), as positions of List1.
const int kOpened[] = {0, 1, 2, 3, 4, 6, 7, 9, 11, 13, 20, 21, 22, 23, 25};

// A message delivered into the empty SIM slot 4 before the refresh.
const char* const kDelivered =
    "0791933395066900040C9193431732547600004230518124704032C374F81D020DD3207B999C0EB7DFA0393D3C2FCBC3A0309B5D0"
    "6C960BA190C146683E66F769AFE0689C3F21F";

struct Snapshot {
    std::vector<QString> list1;
    QString label5;
    std::vector<QString> list2;
    QString text4;
    // Text6 to Text11, Label12 and Text3 after each click of kOpened.
    std::vector<std::array<QString, 8>> details;
    std::vector<QString> afterRefresh;
    std::vector<QString> afterDelete;
    QString status;
    std::vector<std::string> commands;
    qint64 ms = 0;
};

std::vector<QString> rowsOf(const ListBox* list)
{
    std::vector<QString> rows;
    for (int i = 0; i < list->ListCount(); ++i)
        rows.push_back(list->List(i));
    return rows;
}

// The whole read, as a user does it, on a phone of `state`.
Snapshot fullRead(const std::string& state, bool statusColumn)
{
    Snapshot seen;
    e2e::Phone phone(state);
    Form1& form = phone.form();
    form.Check7->setChecked(statusColumn);
    QElapsedTimer clock;
    clock.start();
    EXPECT_TRUE(phone.connect()) << form.StatusBar1->panelText(2).toStdString();
    form.Command1_Click();
    form.Command4_Click();
    seen.list1 = rowsOf(form.List1);
    seen.label5 = form.Label5->text();
    seen.list2 = rowsOf(form.List2);
    seen.text4 = form.Text4->text();
    for (int position : kOpened) {
        form.List1->setListIndex(position);
        seen.details.push_back({form.Text6->text(), form.Text7->text(), form.Text8->text(), form.Text9->text(),
                                form.Text10->text(), form.Text11->text(), form.Label12->text(), form.Text3->text()});
    }
    phone.sim().control(std::string("deliver SM 4 0 ") + kDelivered);
    form.Command11_Click();
    seen.afterRefresh = rowsOf(form.List1);
    form.List1->setListIndex(1);
    form.Command6_Click();
    seen.afterDelete = rowsOf(form.List1);
    seen.status = form.StatusBar1->panelText(2);
    seen.ms = clock.elapsed();
    seen.commands = phone.commands();
    return seen;
}

struct Dialect {
    const char* name;
    const char* state;        // state-file lines over the sample phone
    bool statusColumn = true; // a phone that gives no status shows none
    bool sameCommands = true; // false: a subset of the textbook's commands
};

const Dialect kDialects[] = {
    {"unsolicited lines", "profile = urc"},
    {"unsolicited lines, answers in pieces", "profile = urc\nfault.pieces = on 5 0"},
    {"echo ending in CR CR", "profile = echo-crcr"},
    {"LF-only line ends", "profile = lf-only"},
    {"blanks after commas", "profile = blanks"},
    {"a trailing blank", "profile = trailing-blank"},
    {"lower-case hex", "profile = lowercase-hex"},
    {"a quote after the PDU", "profile = pdu-quote"},
    {"no status", "profile = no-status", false},
    {"empty slots as +CMS ERROR: 321", "empty_slot = cms321"},
    {"empty slots as a bare OK", "empty_slot = ok"},
    {"empty entries as +CME ERROR: 22", "empty_entry = cme22"},
    {"numbers in UCS2 too", "profile = ucs2-numbers"},
    {"no UCS2", "profile = no-ucs2", true, false},
    {"<length> of the whole PDU", "profile = whole-length"},
    {"empty field after the index, a date", "profile = cpbr-gap"},
    {"the same, numbers in UCS2", "profile = cpbr-gap ucs2-numbers"},
    {"all at once", "profile = urc echo-crcr lf-only blanks trailing-blank lowercase-hex pdu-quote whole-length\n"
                    "profile = cpbr-gap\nempty_slot = cms321\nempty_entry = cme22"},
};

// The textbook phone's read, once per column choice.
const Snapshot& textbook(bool statusColumn)
{
    static std::map<bool, Snapshot> cache;
    auto found = cache.find(statusColumn);
    if (found == cache.end())
        found = cache.emplace(statusColumn, fullRead(e2e::sampleState(), statusColumn)).first;
    return found->second;
}

TEST(Dialects, EveryDialectReadsAsTheTextbookPhone)
{
    for (const Dialect& dialect : kDialects) {
        SCOPED_TRACE(dialect.name);
        const Snapshot& plain = textbook(dialect.statusColumn);
        const Snapshot seen = fullRead(e2e::sampleState(dialect.state), dialect.statusColumn);
        EXPECT_EQ(seen.list1, plain.list1);
        EXPECT_EQ(seen.label5, plain.label5);
        EXPECT_EQ(seen.list2, plain.list2);
        EXPECT_EQ(seen.text4, plain.text4);
        ASSERT_EQ(seen.details.size(), plain.details.size());
        for (size_t i = 0; i < seen.details.size(); ++i) {
            std::array<QString, 8> expected = plain.details[i];
            if (!dialect.statusColumn)
                expected[2] = QString(); // Text8: a status the phone never gave
            EXPECT_EQ(seen.details[i], expected) << "row " << kOpened[i];
        }
        EXPECT_EQ(seen.afterRefresh, plain.afterRefresh);
        EXPECT_EQ(seen.afterDelete, plain.afterDelete);
        EXPECT_EQ(seen.status, plain.status);
        if (dialect.sameCommands) {
            EXPECT_EQ(seen.commands, plain.commands);
        } else {
            for (const std::string& command : seen.commands)
                EXPECT_NE(std::find(plain.commands.begin(), plain.commands.end(), command), plain.commands.end())
                    << command;
        }
        // The wall time beside the textbook phone's, for the record.
        std::printf("%-34s %6lld ms (textbook %lld ms)\n", dialect.name, static_cast<long long>(seen.ms),
                    static_cast<long long>(plain.ms));
    }
}

} // namespace
