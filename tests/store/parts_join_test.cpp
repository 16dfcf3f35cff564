// SPDX-License-Identifier: GPL-3.0-or-later
// Parts joined into messages without a window: which parts belong to one
// message, the order, the missing ones, and how the slots are named.
#include "phone/messages/parts.h"

#include <gtest/gtest.h>

#include <QString>

#include <map>
#include <optional>
#include <vector>

using namespace store;

namespace {

QString u(const char* utf8) { return QString::fromUtf8(utf8); }

struct Given {
    std::optional<MessagePart> part;
    const char* text;
};

MessagePart received(const char* number, int reference, int total, int index, bool wide = false)
{
    return MessagePart{SmsKind::Deliver, u(number), ConcatPart{reference, total, index, wide}};
}

MessagePart stored(const char* number, int reference, int total, int index)
{
    return MessagePart{SmsKind::Submit, u(number), ConcatPart{reference, total, index, false}};
}

TEST(JoinAll, WhichPartsMakeOneMessage)
{
    struct Case {
        const char* name;
        std::vector<Given> given;
        std::vector<Whole> wholes;
    } const cases[] = {
        {"read out of order",
         {{received("+39340", 7, 3, 3), "c"}, {received("+39340", 7, 3, 1), "a"}, {received("+39340", 7, 3, 2), "b"}},
         {{"3/3", "abc"}, {"1/3", "abc"}, {"2/3", "abc"}}},
        {"a message sent whole", {{std::nullopt, "ciao"}}, {{"", "ciao"}}},
        {"another number",
         {{received("+39340", 7, 2, 1), "a"}, {received("+39347", 7, 2, 2), "x"}},
         {{"1/2", u("a[parte 2 di 2 mancante]")}, {"2/2", u("[parte 1 di 2 mancante]x")}}},
        {"another reference",
         {{received("+39340", 7, 2, 1), "a"}, {received("+39340", 8, 2, 2), "x"}},
         {{"1/2", u("a[parte 2 di 2 mancante]")}, {"2/2", u("[parte 1 di 2 mancante]x")}}},
        {"the 16-bit reference of the same value",
         {{received("+39340", 7, 2, 1), "a"}, {received("+39340", 7, 2, 2, true), "x"}},
         {{"1/2", u("a[parte 2 di 2 mancante]")}, {"2/2", u("[parte 1 di 2 mancante]x")}}},
        {"another part count",
         {{received("+39340", 7, 2, 1), "a"}, {received("+39340", 7, 3, 2), "x"}},
         {{"1/2", u("a[parte 2 di 2 mancante]")}, {"2/3", u("[parte 1 di 3 mancante]x[parte 3 di 3 mancante]")}}},
        {"a message sent to the number",
         {{received("+39340", 7, 2, 1), "a"}, {stored("+39340", 7, 2, 2), "x"}},
         {{"1/2", u("a[parte 2 di 2 mancante]")}, {"2/2", u("[parte 1 di 2 mancante]x")}}},
        {"a part held twice: each row its own, for the others the first",
         {{received("+39340", 7, 2, 2), "b"}, {received("+39340", 7, 2, 1), "a"}, {received("+39340", 7, 2, 2), "B"}},
         {{"2/2", "ab"}, {"1/2", "ab"}, {"2/2", "aB"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::optional<MessagePart>> parts;
        std::vector<QString> texts;
        for (const Given& g : c.given) {
            parts.push_back(g.part);
            texts.push_back(u(g.text));
        }
        const std::vector<Whole> wholes = JoinAll(parts, texts);
        ASSERT_EQ(wholes.size(), c.wholes.size());
        for (size_t i = 0; i < wholes.size(); ++i) {
            EXPECT_EQ(wholes[i].part.toStdString(), c.wholes[i].part.toStdString()) << i;
            EXPECT_EQ(wholes[i].text.toStdString(), c.wholes[i].text.toStdString()) << i;
        }
    }
}

TEST(PartsStatus, SlotsInPartOrderThenTheMissing)
{
    struct Case {
        int total;
        std::map<int, QString> slotNames;
        const char* status;
    } const cases[] = {
        {2, {{2, SlotName(true, 9, 20)}, {1, SlotName(true, 10, 20)}}, "SMS in 2 parti: S:10, S:09"},
        {3,
         {{1, SlotName(false, 5, 150)}, {3, SlotName(false, 7, 150)}, {2, SlotName(true, 4, 20)}},
         "SMS in 3 parti: C:005, S:04, C:007"},
        {3,
         {{1, SlotName(false, 5, 150)}, {3, SlotName(false, 7, 150)}},
         "SMS in 3 parti: C:005, C:007 (parte 2 mancante)"},
        {4, {{2, SlotName(true, 3, 9)}}, "SMS in 4 parti: S:3 (parti 1, 3, 4 mancanti)"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PartsStatus(c.total, c.slotNames).toStdString(), c.status);
}

} // namespace
