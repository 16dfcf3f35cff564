// SPDX-License-Identifier: GPL-3.0-or-later
// The words of a search in the messages and how they are compared: blind to
// letter case and to accents, each word anywhere in any field.
#include "phone/messages/search.h"

#include "phonebook/qstring_printer.h"

#include <gtest/gtest.h>

#include <QString>
#include <QStringList>

#include <ostream>
#include <vector>

using namespace store;

namespace {

QString u(const char* utf8) { return QString::fromUtf8(utf8); }

TEST(SearchWords, FoldedAsTheSearchComparesThem)
{
    struct Case {
        const char* text;
        const char* folded;
    } const cases[] = {
        {"PERCHÉ", "perche"},
        {"Città", "citta"},
        {"È già", "e gia"},
        {"ÀÈÌÒÙ àèìòù", "aeiou aeiou"},
        {"Ñandú, Ærø", "nandu, ærø"}, // letters of their own stay letters
        {"ﬁne", "fine"},              // a ligature
        {"ＣＩＡＯ", "ciao"},         // full-width letters
        {"12€ 20:30 +39347", "12€ 20:30 +39347"},
        {"Ελλάδα", "ελλαδα"},
        {"Buon compleanno! 🎂", "buon compleanno! 🎂"},
        {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Folded(u(c.text)), u(c.folded)) << c.text;
}

TEST(SearchWords, TypedWordsSplitAtBlanks)
{
    EXPECT_EQ(SearchWords(u("  Mario   CENA\t")), (QStringList{u("mario"), u("cena")}));
    EXPECT_EQ(SearchWords(u("ciao ciao")), QStringList{u("ciao")});
    EXPECT_TRUE(SearchWords(u("   ")).isEmpty());
    EXPECT_TRUE(SearchWords(QString()).isEmpty());
}

TEST(SearchWords, EveryWordInSomeField)
{
    const std::vector<QString> fields = {u("+393471234567"), u("marco rossi"), u("ci vediamo stasera alle 20:30")};
    struct Case {
        const char* typed;
        bool holds;
    } const cases[] = {
        {"rossi", true},
        {"347123", true},
        {"marco stasera", true},
        {"MARCO 20:30 3471", true},
        {"marco domani", false},
        {"rossi3471", false},
        {"", true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(HoldsEvery(SearchWords(u(c.typed)), fields), c.holds) << c.typed;
}

TEST(SearchWords, FoundCountedInPanelTwo)
{
    EXPECT_EQ(FoundStatus(0), u("Nessun sms trovato.."));
    EXPECT_EQ(FoundStatus(1), u("1 sms trovato.."));
    EXPECT_EQ(FoundStatus(12), u("12 sms trovati.."));
}

} // namespace
