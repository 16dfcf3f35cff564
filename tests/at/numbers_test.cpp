#include "at/numbers.h"

#include <gtest/gtest.h>

#include <climits>

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

} // namespace
