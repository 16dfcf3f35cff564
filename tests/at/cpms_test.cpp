// SPDX-License-Identifier: GPL-3.0-or-later
// The message-store answers and the fields of an information line, as
// tables of what phones send.
#include "at/cpms.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

TEST(InfoFields, CommasOutsideQuotesBlanksAndQuotesAround)
{
    struct Case {
        const char* parameters;
        QStringList fields;
    } const cases[] = {
        {R"("SM",5,20)", {"SM", "5", "20"}},
        {R"( "SM", 8, 20 )", {"SM", "8", "20"}},
        {R"(SM,8,20)", {"SM", "8", "20"}},
        {R"(1,"Rossi, Mario",23)", {"1", "Rossi, Mario", "23"}}, // a comma inside quotes
        {R"(1,,23)", {"1", "", "23"}},
        {R"(" SM ",5)", {"SM", "5"}},
        {"", {""}},
        {R"("unclosed,5)", {R"("unclosed,5)"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(at::InfoFields(QString::fromUtf8(c.parameters)), c.fields) << c.parameters;
}

TEST(FieldNumber, PlainDecimalWithinItsBound)
{
    struct Case {
        const char* field;
        int max;
        std::optional<int> value;
    } const cases[] = {
        {"20", 10000, 20},          {" 20 ", 10000, 20},  {"0", 10000, 0},
        {"10000", 10000, 10000},    {"10001", 10000, {}}, {"999999999", 10000, {}},
        {"99999999999", 10000, {}}, {"-5", 10000, {}},    {"+5", 10000, {}},
        {"2 0", 10000, {}},         {"20abc", 10000, {}}, {"", 10000, {}},
        {"007", 10000, 7},
    };
    for (const Case& c : cases)
        EXPECT_EQ(at::FieldNumber(QString::fromUtf8(c.field), c.max), c.value) << c.field;
}

TEST(CpmsSelected, OnlyTheCountsOrABareOk)
{
    struct Case {
        const char* answer;
        bool selected;
    } const cases[] = {
        {"+CPMS: 5,20,5,20,5,20", true},
        {"+CPMS: 3,150,5,20,5,20", true},
        {"+cpms: 0,9,0,9,0,9", true},
        {"OK", true},
        {"ERROR", false},
        {"error", false}, // the link gave up: the phone never answered
        {"Error", false},
        {"+CMS ERROR: 302", false},
        {"+CPBR: (1-250),40,18", false}, // another command's answer
        {"", false},
        {"OKAY", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(at::CpmsSelected(QString::fromUtf8(c.answer)), c.selected) << c.answer;
}

TEST(CpmsCapacity, TotalOfTheNamedStore)
{
    struct Case {
        const char* answer;
        const char* store;
        std::optional<int> capacity;
    } const cases[] = {
        {R"(+CPMS: "SM",5,20,"SM",5,20,"SM",5,20)", "SM", 20},
        {R"(+CPMS: "ME",3,150,"SM",5,20,"SM",5,20)", "ME", 150},
        {R"(+CPMS: "ME",3,150,"SM",5,20,"SM",5,20)", "SM", 20}, // any order of stores
        {R"(+CPMS: "SM",5,20,"ME",3,150,"ME",3,150)", "ME", 150},
        {R"(+CPMS: "sm",0,9,"sm",0,9,"sm",0,9)", "SM", 9},  // letter case ignored
        {R"(+CPMS: "SM", 8, 20, "ME", 3, 150)", "ME", 150}, // blanks after the commas
        {R"(+CPMS: SM,8,20,ME,3,150,ME,3,150)", "ME", 150}, // no quotes
        {R"(+CPMS: "ME",3,150)", "ME", 150},                // one store
        {R"(+CPMS: "ME",3,150 )", "ME", 150},               // a trailing blank
        {R"(+CPMS: "SM",0,0,"SM",0,0,"SM",0,0)", "SM", 0},  // a store of no slots
        {R"(+CPMS: "SM",0,10000)", "SM", 10000},
        {R"(+CPMS: "MT",5,170,"SM",5,20)", "SM", 20}, // not found inside another name
        // Malformed: no total, an absurd total, a total that is no number.
        {R"(+CPMS: "SM",5,20,"SM",5,20,"SM",5,20)", "ME", {}},
        {R"(+CPMS: "SM",5)", "SM", {}},
        {R"(+CPMS: "SM")", "SM", {}},
        {R"(+CPMS: "SM",5,)", "SM", {}},
        {R"(+CPMS: "SM",0,999999999)", "SM", {}},
        {R"(+CPMS: "SM",0,10001)", "SM", {}},
        {R"(+CPMS: "SM",99999,20)", "SM", {}},
        {R"(+CPMS: "SM",5,-20)", "SM", {}},
        {R"(+CPMS: "SM",5,2O)", "SM", {}},
        {R"("SM",5,20)", "SM", {}}, // no +CPMS: line
        {"ERROR", "SM", {}},
        {"error", "ME", {}},
        {"OK", "SM", {}},
        {"", "SM", {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(at::CpmsCapacity(QString::fromUtf8(c.answer), QString::fromUtf8(c.store)), c.capacity)
            << c.answer << " " << c.store;
}

// The used count a listing is checked against, from the answer to "+CPMS?"
// or to the store's selection.
TEST(CpmsUsed, UsedSlotsOfTheStore)
{
    struct Case {
        const char* answer;
        const char* store;
        std::optional<int> used;
    } const cases[] = {
        {R"(+CPMS: "ME",3,150,"SM",5,20,"SM",5,20)", "SM", 5},
        {R"(+CPMS: "ME",3,150,"SM",5,20,"SM",5,20)", "ME", 3},
        {R"(+CPMS: "SM", 8, 20, "ME", 3, 150)", "ME", 3},
        {R"(+CPMS: "SM",0,0)", "SM", 0},
        {R"(+CPMS: "SM",20,20)", "SM", 20}, // full
        // The selection "+CPMS=<store>": the first pair is the store selected.
        {"+CPMS: 9,20,9,20,9,20", "SM", 9},
        {"+CPMS: 5,150,9,20,9,20", "ME", 5},
        {"+CPMS: 5, 150", "ME", 5},
        // Malformed, or no count of that store.
        {R"(+CPMS: "SM",21,20)", "SM", {}}, // more used than there are
        {R"(+CPMS: "SM",,20)", "SM", {}},
        {R"(+CPMS: "SM",x,20)", "SM", {}},
        {R"(+CPMS: "SM",5)", "SM", {}},
        {R"(+CPMS: "SM",5,20)", "ME", {}},
        {"+CPMS: 5", "SM", {}},
        {"+CPMS: -1,20", "SM", {}},
        {"OK", "SM", {}},
        {"ERROR", "SM", {}},
        {"", "SM", {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(at::CpmsUsed(QString::fromUtf8(c.answer), QString::fromUtf8(c.store)), c.used)
            << c.answer << " " << c.store;
}

} // namespace
