// SPDX-License-Identifier: GPL-3.0-or-later
// The service-centre answer: the number whatever the phone's dialect.
#include "at/csca.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace {

TEST(Csca, TheNumberWithoutItsQuotes)
{
    struct Case {
        const char* name;
        QString answer;
        std::optional<QString> number;
    };
    const std::vector<Case> cases = {
        {"textbook", "+CSCA: \"+391234567890\",145", "+391234567890"},
        {"national", "+CSCA: \"3359609600\",129", "3359609600"},
        {"no type", "+CSCA: \"+391234567890\"", "+391234567890"},
        {"no quotes", "+CSCA: +391234567890,145", "+391234567890"},
        {"blanks around the fields", "+CSCA:  \"+391234567890\" , 145 ", "+391234567890"},
        {"no blank after the colon", "+CSCA:\"+391234567890\",145", "+391234567890"},
        {"lower case", "+csca: \"+391234567890\",145", "+391234567890"},
        {"UCS2", "+CSCA: \"002B003300390031003200330034\",145", "+391234"},
        {"UCS2, lower-case hex", "+CSCA: \"002b0033003900310032\",145", "+3912"},
        {"empty number", "+CSCA: \"\",129", ""},
        {"a lone quote", "+CSCA: \",145", ""},
        {"digits that only look like UCS2 stay", "+CSCA: \"33353336\",129", "33353336"},
        {"bare OK", "OK", std::nullopt},
        {"refused", "ERROR", std::nullopt},
        {"something else", "+CGMM: X100", std::nullopt},
        {"empty", "", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(at::ParseCsca(c.answer), c.number);
    }
}

} // namespace
