// SPDX-License-Identifier: GPL-3.0-or-later
// New-message indications: the setting asked for within what each kind of
// phone offers, and the indications that follow.
#include "at/cnmi.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace {

TEST(Cnmi, TheSettingWithinWhatThePhoneOffers)
{
    struct Case {
        const char* name;
        QString answer;
        std::optional<QString> setting;
    };
    const std::vector<Case> cases = {
        {"ranges", "+CNMI: (0-2),(0-3),(0,2),(0,1),(0,1)", QStringLiteral("2,1,0,1,0")},
        {"lists, blanks", "+CNMI: (0, 1, 2), (0, 1, 2, 3), (0, 2), (0, 1, 2), (0, 1)", QStringLiteral("2,1,0,1,0")},
        {"reports only stored", "+CNMI: (0-3),(0-3),(0-3),(0,2),(0,1)", QStringLiteral("2,1,0,2,0")},
        {"no reports", "+CNMI: (1,2),(0,1),(0),(0),(0)", QStringLiteral("2,1,0,0,0")},
        {"mode 1 only", "+CNMI: (0,1),(0,1),(0),(0,1),(1)", QStringLiteral("1,1,0,1")},
        {"mode 3 only", "+CNMI: (0,3),(0-3),(0),(0,2),(0)", QStringLiteral("3,1,0,2,0")},
        {"four parameters", "+CNMI: (0-2),(0-3),(0,2),(0,1)", QStringLiteral("2,1,0,1")},
        {"two parameters", "+CNMI: (1,2),(0,1)", QStringLiteral("2,1")},
        {"no parentheses", "+CNMI: 0-2,0-3,0,0-1,0", QStringLiteral("2,1,0,1,0")},
        {"after an unsolicited line", "RING\r\n+CNMI: (2),(1),(0),(1),(0)", QStringLiteral("2,1,0,1,0")},
        {"only routed messages, reports", "+CNMI: (0-2),(0,2,3),(0),(0,1),(0)", QStringLiteral("2,0,0,1,0")},
        {"only routed messages, no reports", "+CNMI: (0-2),(0,2,3),(0),(0),(0)", std::nullopt},
        {"no mt 0 to fall back on", "+CNMI: (2),(2,3),(0),(1),(0)", QStringLiteral("2,,0,1,0")},
        {"no mode that tells", "+CNMI: (0),(0-3),(0),(0,1),(0)", std::nullopt},
        {"refused", "ERROR", std::nullopt},
        {"a bare OK", "OK", std::nullopt},
        {"a group that is no number", "+CNMI: (0-2),(a-b),(0),(0,1),(0)", std::nullopt},
        {"a range backwards", "+CNMI: (2-0),(1),(0),(0,1),(0)", std::nullopt},
        {"a range past any value", "+CNMI: (0-99999999),(1),(0),(1),(0)", std::nullopt},
        {"empty", "", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<at::CnmiOffer> offer = at::ParseCnmiTest(c.answer);
        EXPECT_EQ(offer ? at::CnmiSetting(*offer) : std::nullopt, c.setting);
    }
}

TEST(Cnmi, StoredIndications)
{
    struct Case {
        const char* name;
        QString line;
        std::optional<at::StoredIndication> indication;
    };
    const std::vector<Case> cases = {
        {"message", "+CMTI: \"SM\",3", at::StoredIndication{false, "SM", 3}},
        {"report", "+CDSI: \"SR\",1", at::StoredIndication{true, "SR", 1}},
        {"blanks, lower case", "+cmti: \"me\", 12 ", at::StoredIndication{false, "ME", 12}},
        {"no quotes", "+CMTI: MT,7", at::StoredIndication{false, "MT", 7}},
        {"slot 0", "+CMTI: \"SM\",0", at::StoredIndication{false, "SM", 0}},
        {"slot too large", "+CMTI: \"SM\",70000", std::nullopt},
        {"slot no number", "+CMTI: \"SM\",x", std::nullopt},
        {"negative slot", "+CMTI: \"SM\",-1", std::nullopt},
        {"no store", "+CMTI: ,3", std::nullopt},
        {"a routed message", "+CMT: ,24", std::nullopt},
        {"something after", "+CMTI: \"SM\",3,1", std::nullopt},
        {"ring", "RING", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<at::StoredIndication> got = at::ParseStoredIndication(c.line);
        ASSERT_EQ(got.has_value(), c.indication.has_value());
        if (!got)
            continue;
        EXPECT_EQ(got->report, c.indication->report);
        EXPECT_EQ(got->store, c.indication->store);
        EXPECT_EQ(got->slot, c.indication->slot);
    }
}

TEST(Cnmi, RoutedReports)
{
    EXPECT_EQ(at::ParseCdsPdu("+CDS: 25\r\n0791933395066900062A\r"), QStringLiteral("0791933395066900062A"));
    EXPECT_EQ(at::ParseCdsPdu("+cds:25\n00060C"), QStringLiteral("00060C"));
    // Without the service-centre address: the length is the whole PDU.
    EXPECT_EQ(at::ParseCdsPdu("+CDS: 3\r\n06070C"), QStringLiteral("0006070C"));
    EXPECT_EQ(at::ParseCdsPdu("+CDS: 25"), std::nullopt);
    EXPECT_EQ(at::ParseCdsPdu("+CDS: 25\r\n\r\n"), std::nullopt);
    EXPECT_EQ(at::ParseCdsPdu("+CMT: ,24\r\n0791"), std::nullopt);
}

} // namespace
