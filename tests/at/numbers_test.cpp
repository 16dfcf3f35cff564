// SPDX-License-Identifier: GPL-3.0-or-later
#include "at/numbers.h"

#include <gtest/gtest.h>

#include <climits>
#include <utility>

namespace {

struct NumberCase {
    const char* name;
    const char* text;
    int numeric;       // NumericValue
    long long leading; // LeadingNumber
};

const NumberCase kNumbers[] = {
    {"plain", "250", 250, 250},
    {"leading blanks", "  40", 40, 40},
    {"blanks inside are skipped by NumericValue only", "1 8", 18, 1},
    {"stops at a comma", "20,\"SM\"", 20, 20},
    {"nothing readable", "abc", 0, 0},
    {"empty", "", 0, 0},
    {"sign", "-5", 0, -5},
};

TEST(Numbers, ReadAsTheirRulesSay)
{
    for (const NumberCase& c : kNumbers) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(at::NumericValue(QString::fromUtf8(c.text)), c.numeric);
        EXPECT_EQ(at::LeadingNumber(QString::fromUtf8(c.text)), c.leading);
    }
    // Neither overflows on a phone's absurd number.
    EXPECT_EQ(at::NumericValue(QStringLiteral("99999999999999999999")), INT_MAX);
    EXPECT_GT(at::LeadingNumber(QStringLiteral("99999999999999999999")), 0);
}

TEST(Numbers, TrimSpacesKeepsTabsAndLineBreaks)
{
    EXPECT_EQ(at::TrimSpaces(QStringLiteral("  a b  ")), QStringLiteral("a b"));
    EXPECT_EQ(at::TrimSpaces(QStringLiteral("\tx\r\n ")), QStringLiteral("\tx\r\n"));
    EXPECT_EQ(at::TrimSpaces(QStringLiteral("   ")), QString());
}

TEST(Numbers, DialledNumbersLoseTheirGrouping)
{
    const std::pair<const char*, const char*> cases[] = {
        {"347 123 4567", "3471234567"},
        {"+39 347 1234567", "+393471234567"},
        {"347-1234567", "3471234567"},
        {"+39 (06) 123.45.67", "+39061234567"},
        {"06/1234567", "061234567"},
        {"\t347\u00A01234567 ", "3471234567"}, // a tab, a no-break space
        {"+39+347", "+39+347"},                // a second "+" is for the address to refuse
        {"347 12a 4567", "34712a4567"},
        {"*123#", "*123#"},
        {"- -", ""},
    };
    for (const auto& [written, number] : cases)
        EXPECT_EQ(at::DialledNumber(QString::fromUtf8(written)), QString::fromUtf8(number)) << written;
}

} // namespace
