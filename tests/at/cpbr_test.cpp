// SPDX-License-Identifier: GPL-3.0-or-later
#include "at/cpbr.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct RangeCase {
    const char* name;
    const char* answer;
    bool valid;
    int first, last, numberLength, nameLength;
};

const RangeCase kRanges[] = {
    {"textbook", "+CPBR: (1-250),40,18", true, 1, 250, 40, 18},
    {"blanks around every field", "+CPBR: ( 1 - 250 ) , 40 , 18 ", true, 1, 250, 40, 18},
    {"no blank after the prefix", "+CPBR:(1-10),20,14", true, 1, 10, 20, 14},
    {"range from 0", "+CPBR: (0-99),20,14", true, 0, 99, 20, 14},
    {"further widths after the name", "+CPBR: (1-250),40,18,80,20", true, 1, 250, 40, 18},
    {"line end and final code after it", "+CPBR: (1-5),20,14\r\n\r\nOK", true, 1, 5, 20, 14},
    {"unsolicited line before it", "RING\r\n+cpbr: (1-5),20,14", true, 1, 5, 20, 14},
    {"widths at their bounds", "+CPBR: (1-10000),80,250", true, 1, 10000, 80, 250},
    {"zero widths", "+CPBR: (1-1),0,0", true, 1, 1, 0, 0},
    {"number width beyond 80", "+CPBR: (1-250),81,18", false, 0, 0, 0, 0},
    {"absurd number width", "+CPBR: (1-250),999999999,18", false, 0, 0, 0, 0},
    {"name width beyond 250", "+CPBR: (1-250),40,100000", false, 0, 0, 0, 0},
    {"last index beyond 10000", "+CPBR: (1-10001),40,18", false, 0, 0, 0, 0},
    {"last index 0", "+CPBR: (1-0),40,18", false, 0, 0, 0, 0},
    {"first after last", "+CPBR: (9-5),40,18", false, 0, 0, 0, 0},
    {"negative width", "+CPBR: (1-250),-4,18", false, 0, 0, 0, 0},
    {"missing name width", "+CPBR: (1-250),40", false, 0, 0, 0, 0},
    {"no range", "+CPBR: 250,40,18", false, 0, 0, 0, 0},
    {"garbage after the name width", "+CPBR: (1-250),40,18x", false, 0, 0, 0, 0},
    {"echo in front", "AT+CPBR=?\r\r\n+CPBR: (1-10),20,14", true, 1, 10, 20, 14},
    {"the later fields of GSM 27.007", "+CPBR: (1-500),40,18,0,0,0", true, 1, 500, 40, 18},
    {"negative last index", "+CPBR: (1--3),20,14", false, 0, 0, 0, 0},
    {"no widths", "+CPBR: (1-250)", false, 0, 0, 0, 0},
    {"one number in the parentheses", "+CPBR: (250),40,18", false, 0, 0, 0, 0},
    {"no opening parenthesis", "+CPBR: 1-250),40,18", false, 0, 0, 0, 0},
    {"error", "ERROR", false, 0, 0, 0, 0},
    {"the give-up value", "error", false, 0, 0, 0, 0},
    {"extended error", "+CME ERROR: 3", false, 0, 0, 0, 0},
    {"empty", "", false, 0, 0, 0, 0},
};

TEST(CpbrRange, ParsedAndBounded)
{
    for (const RangeCase& c : kRanges) {
        SCOPED_TRACE(c.name);
        const at::CpbrRange range = at::ParseCpbrRange(QString::fromUtf8(c.answer));
        EXPECT_EQ(range.valid, c.valid);
        if (!c.valid)
            continue;
        EXPECT_EQ(range.first, c.first);
        EXPECT_EQ(range.last, c.last);
        EXPECT_EQ(range.numberLength, c.numberLength);
        EXPECT_EQ(range.nameLength, c.nameLength);
    }
}

struct EntryCase {
    const char* name;
    const char* line;
    bool valid;
    int index;
    const char* number;
    int type;
    const char* entryName;
};

const EntryCase kEntries[] = {
    {"textbook", "+CPBR: 3,\"+390123456789\",145,\"Ufficio\"", true, 3, "+390123456789", 145, "Ufficio"},
    {"blanks after the commas", "+CPBR: 1, \"+39347\", 145, \"Mario\"", true, 1, "+39347", 145, "Mario"},
    {"no quotes", "+CPBR: 2,0612345,129,Casa", true, 2, "0612345", 129, "Casa"},
    {"comma inside the name", "+CPBR: 4,\"055\",129,\"Rossi, Mario\"", true, 4, "055", 129, "Rossi, Mario"},
    {"quote inside the name", "+CPBR: 4,\"055\",129,\"Bar \"Sport\"\"", true, 4, "055", 129, "Bar \"Sport\""},
    {"blanks inside the name kept", "+CPBR: 5,\"1\",129,\" Zia  Ada \"", true, 5, "1", 129, " Zia  Ada "},
    {"empty name", "+CPBR: 6,\"112\",129,\"\"", true, 6, "112", 129, ""},
    {"empty number", "+CPBR: 7,\"\",129,\"Nessuno\"", true, 7, "", 129, "Nessuno"},
    {"empty type", "+CPBR: 8,\"1\",,\"X\"", true, 8, "1", 0, "X"},
    {"fields after the name", "+CPBR: 9,\"1\",129,\"X\",0,\"group\"", true, 9, "1", 129, "X"},
    {"trailing blank and line end", "+CPBR: 10,\"1\",129,\"X\" \r\n", true, 10, "1", 129, "X"},
    {"UCS2 hex fields", "+CPBR: 1,\"002B0033\",145,\"039503BB\"", true, 1, "002B0033", 145, "039503BB"},
    {"lower-case prefix", "+cpbr: 1,\"1\",129,\"X\"", true, 1, "1", 129, "X"},
    {"accents in the name", "+CPBR: 6,\"+39 02 1234\",145,\"Città è\"", true, 6, "+39 02 1234", 145, "Città è"},
    {"a date after the name", "+CPBR: 1,\"+31234657899\",145,\"Mama GSM\",\"2007/11/02,09:27\"", true, 1,
     "+31234657899", 145, "Mama GSM"},
    {"UCS2 name, empty number, empty fields after it", "+CPBR: 5,\"\",129,\"004D0061006D0061\",,,,,", true, 5, "", 129,
     "004D0061006D0061"},
    {"a service code", "+CPBR: 9,\"*100#\",129,\"Credito\"", true, 9, "*100#", 129, "Credito"},
    {"unquoted empty number", "+CPBR: 7,,129,\"Nessuno\"", true, 7, "", 129, "Nessuno"},
    {"empty number and type", "+CPBR: 8,,,\"X\"", true, 8, "", 0, "X"},
    // Phones that leave the field after the index empty.
    {"empty field after the index, a date after the name",
     "+CPBR: 1,,\"+31234657899\",145,\"Mama GSM\",\"2007/11/02,09:27\"", true, 1, "+31234657899", 145, "Mama GSM"},
    {"empty field after the index, no date", "+CPBR: 1,,\"+31234657899\",145,\"Mama GSM\"", true, 1, "+31234657899",
     145, "Mama GSM"},
    {"empty field after the index, empty name", "+CPBR: 2,,\"+31234657899\",145,\"\",\"2007/11/02,09:27\"", true, 2,
     "+31234657899", 145, ""},
    {"empty field after the index, empty number", "+CPBR: 3,,\"\",129,\"Mama GSM\",\"2007/11/02,09:27\"", true, 3, "",
     129, "Mama GSM"},
    {"empty field after the index, UCS2 name",
     "+CPBR: 4,,\"+31234657899\",145,\"004D0061006D0061\",\"2007/11/02,09:27\"", true, 4, "+31234657899", 145,
     "004D0061006D0061"},
    {"empty field after the index, UCS2 number", "+CPBR: 4,,\"002B0033\",145,\"0041\"", true, 4, "002B0033", 145,
     "0041"},
    {"empty field after the index, a number that could be a type", "+CPBR: 5,,\"112\",129,\"Emergenza\"", true, 5,
     "112", 129, "Emergenza"},
    {"empty field after the index, a service code", "+CPBR: 6,,\"*100#\",129,\"Credito\"", true, 6, "*100#", 129,
     "Credito"},
    {"empty field after the index, blanks", "+CPBR: 7, , \"+3123\" , 145, \"Mama, GSM\"", true, 7, "+3123", 145,
     "Mama, GSM"},
    {"empty field after the index, no type", "+CPBR: 1,,\"+3123\",\"Mama\"", false, 0, "", 0, ""},
    {"empty field after the index, no name", "+CPBR: 1,,\"+3123\",145", false, 0, "", 0, ""},
    {"empty field after the index, a type beyond an octet", "+CPBR: 1,,\"+3123\",1450,\"Mama\"", false, 0, "", 0, ""},
    {"empty field and a quoted text that is no number", "+CPBR: 3,,\"Mario\",129,\"X\"", false, 0, "", 0, ""},
    {"no name field", "+CPBR: 3,\"+390123456789\"", false, 0, "", 0, ""},
    {"unterminated name", "+CPBR: 1,\"1\",129,\"X", false, 0, "", 0, ""},
    {"type beyond an octet", "+CPBR: 1,\"1\",1290,\"X\"", false, 0, "", 0, ""},
    {"type not a number", "+CPBR: 1,\"1\",abc,\"X\"", false, 0, "", 0, ""},
    {"index not a number", "+CPBR: x,\"1\",129,\"X\"", false, 0, "", 0, ""},
    {"index beyond 10000", "+CPBR: 10001,\"1\",129,\"X\"", false, 0, "", 0, ""},
    {"no prefix", "3,\"1\",129,\"X\"", false, 0, "", 0, ""},
    {"not found", "+CME ERROR: 22", false, 0, "", 0, ""},
    {"empty slot", "OK", false, 0, "", 0, ""},
    {"error", "ERROR", false, 0, "", 0, ""},
    {"the give-up value", "error", false, 0, "", 0, ""},
    {"empty", "", false, 0, "", 0, ""},
};

TEST(CpbrEntry, FieldsAsPhonesSendThem)
{
    for (const EntryCase& c : kEntries) {
        SCOPED_TRACE(c.name);
        const at::CpbrEntry entry = at::ParseCpbrEntry(QString::fromUtf8(c.line));
        EXPECT_EQ(entry.valid, c.valid);
        if (!c.valid)
            continue;
        EXPECT_EQ(entry.index, c.index);
        EXPECT_EQ(entry.number, QString::fromUtf8(c.number));
        EXPECT_EQ(entry.type, c.type);
        EXPECT_EQ(entry.name, QString::fromUtf8(c.entryName));
    }
}

// The answer to a range, as the link hands it over: its lines joined by
// CR LF, the final OK taken off. Each case lists the indexes read, or says
// that the answer cannot be trusted.
struct EntriesCase {
    const char* name;
    const char* answer;
    bool valid;
    std::vector<int> indexes;
};

const EntriesCase kRangeAnswers[] = {
    {"three entries",
     "+CPBR: 1,\"1\",129,\"A\"\r\n+CPBR: 3,\"3\",129,\"C\"\r\n+CPBR: 50,\"5\",129,\"E\"",
     true,
     {1, 3, 50}},
    {"one entry", "+CPBR: 7,\"7\",129,\"G\"", true, {7}},
    {"nothing listed", "", true, {}},
    {"LF-only line ends and blank lines", "\n+CPBR: 2,\"2\",129,\"B\"\n\n+CPBR: 4,\"4\",129,\"D\"\n", true, {2, 4}},
    {"a blank at each line's end", "+CPBR: 2,\"2\",129,\"B\" \r\n+CPBR: 4,\"4\",129,\"D\" ", true, {2, 4}},
    {"a comma and a line-like text in a name", "+CPBR: 2,\"2\",129,\"Rossi, +CPBR: 9\"", true, {2}},
    {"an index below the range", "+CPBR: 0,\"0\",129,\"Z\"\r\n+CPBR: 2,\"2\",129,\"B\"", false, {}},
    {"an index beyond the range", "+CPBR: 2,\"2\",129,\"B\"\r\n+CPBR: 51,\"5\",129,\"E\"", false, {}},
    {"an index twice", "+CPBR: 2,\"2\",129,\"B\"\r\n+CPBR: 2,\"2\",129,\"B\"", false, {}},
    {"out of order", "+CPBR: 4,\"4\",129,\"D\"\r\n+CPBR: 2,\"2\",129,\"B\"", false, {}},
    {"a malformed line among good ones", "+CPBR: 2,\"2\",129,\"B\"\r\n+CPBR: 3,\"3\",129,\"C", false, {}},
    {"the echo and unsolicited lines passed over",
     "AT+CPBR=1,50\r\r\n+CPBR: 2,\"2\",129,\"B\"\r\nRING\r\n+CMTI: \"SM\",3\r\nRDY\r\n+CPBR: 3,\"3\",129,\"C\"",
     true,
     {2, 3}},
    {"the echo of another range", "at+cpbr=1,5\r\n+CPBR: 2,\"2\",129,\"B\"", false, {}},
    {"an entry line whose start was lost", "+CPBR: 1,\"1\",129,\"A\"\r\nBR: 2,\"2\",129,\"B\"", false, {}},
    {"only its plus lost", "CPBR: 2,\"2\",129,\"B\"", false, {}},
    {"the tail of an unsolicited line", "+CPBR: 2,\"2\",129,\"B\"\r\nCARRIER", false, {}},
    {"a stray OK between entries", "+CPBR: 2,\"2\",129,\"B\"\r\nOK\r\n+CPBR: 3,\"3\",129,\"C\"", false, {}},
    {"a lone CR as a line end", "+CPBR: 2,\"2\",129,\"B\"\r+CPBR: 3,\"3\",129,\"C\"", true, {2, 3}},
    {"a name cut by a line end", "+CPBR: 2,\"2\",129,\"B\r\nb\"\r\n+CPBR: 3,\"3\",129,\"C\"", false, {}},
    {"a prefix without an entry", "+CPBR: 2,\"2\",129,\"B\"\r\n+CPBR:", false, {}},
    {"an error", "ERROR", false, {}},
    {"an extended error after an entry", "+CPBR: 2,\"2\",129,\"B\"\r\n+CME ERROR: 100", false, {}},
    {"the give-up value", "error", false, {}},
    {"an empty field after each index, a date after each name",
     "+CPBR: 1,,\"+31234657899\",145,\"Mama GSM\",\"2007/11/02,09:27\"\r\n"
     "+CPBR: 4,,\"112\",129,\"\",\"2007/11/03,10:00\"",
     true,
     {1, 4}},
};

TEST(CpbrEntries, ARangeAnswerIsTrustedWhole)
{
    for (const EntriesCase& c : kRangeAnswers) {
        SCOPED_TRACE(c.name);
        const auto entries = at::ParseCpbrEntries(QString::fromUtf8(c.answer), 1, 50);
        ASSERT_EQ(entries.has_value(), c.valid);
        if (!entries)
            continue;
        std::vector<int> indexes;
        for (const at::CpbrEntry& entry : *entries)
            indexes.push_back(entry.index);
        EXPECT_EQ(indexes, c.indexes);
    }
    // Each line read as the entry answer would be.
    const auto entries = at::ParseCpbrEntries(QStringLiteral("+CPBR: 1, \"+39347\", 145, \"Rossi, Mario\"\r\n"
                                                             "+CPBR: 2,\"002B0033\",145,\"039503BB\""),
                                              1, 2);
    ASSERT_TRUE(entries);
    ASSERT_EQ(entries->size(), 2u);
    EXPECT_EQ(entries->at(0).number, QStringLiteral("+39347"));
    EXPECT_EQ(entries->at(0).type, 145);
    EXPECT_EQ(entries->at(0).name, QStringLiteral("Rossi, Mario"));
    EXPECT_EQ(entries->at(1).number, QStringLiteral("002B0033"));
    EXPECT_EQ(entries->at(1).name, QStringLiteral("039503BB"));
    const auto gapped =
        at::ParseCpbrEntries(QStringLiteral("+CPBR: 1,,\"112\",129,\"Mama GSM\",\"2007/11/02,09:27\""), 1, 2);
    ASSERT_TRUE(gapped);
    ASSERT_EQ(gapped->size(), 1u);
    EXPECT_EQ(gapped->at(0).number, QStringLiteral("112"));
    EXPECT_EQ(gapped->at(0).type, 129);
    EXPECT_EQ(gapped->at(0).name, QStringLiteral("Mama GSM"));
}

} // namespace
