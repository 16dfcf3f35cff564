// SPDX-License-Identifier: GPL-3.0-or-later
// The rows of the message list and the parsing of the phone's answers, without
// a window.
#include "phone/messages/message_rows.h"

#include "phonebook/qstring_printer.h"

#include <gtest/gtest.h>

#include <QString>

#include <climits>
#include <ostream>
#include <vector>

using namespace store;

namespace {

QString u(const char* utf8) { return QString::fromUtf8(utf8); }
QString blanks(int n) { return QString(n, QLatin1Char(' ')); }

Columns allColumns() { return Columns{}; }
Columns noColumns() { return Columns{false, false, false, false, false}; }

// 1-based positions of `c` in `text`.
std::vector<int> positionsOf(const QString& text, QChar c)
{
    std::vector<int> found;
    for (int i = 0; i < text.size(); ++i)
        if (text.at(i) == c)
            found.push_back(i + 1);
    return found;
}

} // namespace

TEST(NumericValue, ReadsLeadingDigitsAndSkipsBlanks)
{
    struct Case {
        const char* text;
        int value;
    } const cases[] = {
        {"", 0},
        {"40", 40},
        {" 40", 40},
        {"4 0", 40},
        {"40abc", 40},
        {"abc", 0},
        {"-5", 0},
        {"18\r\n", 18},
        {"\t7", 7},
        {"007", 7},
        {"99999999999999", INT_MAX},
    };
    for (const Case& c : cases)
        EXPECT_EQ(NumericValue(u(c.text)), c.value) << c.text;
}

TEST(RowHead, PadsTheSlotToTheDigitsOfTheCapacity)
{
    struct Case {
        bool sim;
        int slot, capacity;
        const char* head;
    } const cases[] = {
        {true, 1, 20, "S: 01/20 ´ "},       {true, 20, 20, "S: 20/20 ´ "},      {false, 1, 150, "C: 001/150 ´ "},
        {false, 12, 150, "C: 012/150 ´ "},  {false, 150, 150, "C: 150/150 ´ "}, {true, 1, 9, "S: 1/9 ´ "},
        {true, 5, 1000, "S: 0005/1000 ´ "},
    };
    for (const Case& c : cases) {
        const QString head = RowHead(c.sim, c.slot, c.capacity);
        EXPECT_EQ(head, u(c.head));
        EXPECT_EQ(head.size(), 2 * Digits(c.capacity) + 7) << c.head;
    }
}

TEST(StatusPiece, NineCharactersPerStatus)
{
    struct Case {
        int tipo;
        const char* piece;
    } const cases[] = {
        {0, "Nuovo  ³ "}, {1, "Letto  ³ "},  {2, "Da Inv ³ "}, {3, "Inviat ³ "},
        {4, "       ³ "}, {-1, "       ³ "}, {9, "       ³ "},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(StatusPiece(c.tipo), u(c.piece)) << c.tipo;
        EXPECT_EQ(StatusPiece(c.tipo).size(), 9);
    }
}

TEST(EmptyBody, BlankColumnsAndNeverAText)
{
    struct Case {
        const char* name;
        Columns columns;
        int lungNumero;
        QString body;
    } const cases[] = {
        {"all columns", allColumns(), 20,
         blanks(20) + u(" ³ ") + u("       ³ ") + blanks(20) + u(" ³ ") + blanks(8) + u(" ³ ") + blanks(8) + u(" ³ ")},
        {"no columns", noColumns(), 20, blanks(20) + u(" ³ ")},
        {"no columns, no width", noColumns(), 0, u(" ³ ")},
        {"status only", Columns{false, true, false, false, false}, 4, u("       ³ ") + blanks(4) + u(" ³ ")},
        {"date without time", Columns{false, false, false, true, true}, 3, blanks(3) + u(" ³ ") + blanks(8) + u(" ³ ")},
    };
    for (const Case& c : cases)
        EXPECT_EQ(EmptyBody(c.columns, c.lungNumero), c.body) << c.name;
}

TEST(MessageBody, ColumnsInTheirOrderAndWidths)
{
    MessageFields incoming;
    incoming.serviceCentre = u("+39335960960"); // 12 characters
    incoming.number = u("Mario") + blanks(9);   // a name field of LungNome 14
    incoming.time = u("12:34:56");
    incoming.date = u("31/12/03");
    incoming.text = u("Ciao");

    MessageFields outgoing;
    outgoing.number = u("+393331234567");
    outgoing.time = blanks(8);
    outgoing.date = blanks(8);
    outgoing.text = u("A domani");

    MessageFields tooLong;
    tooLong.number = u("+3933312345678901234567"); // 23 characters in a column of 20
    tooLong.text = u("x");

    struct Case {
        const char* name;
        Columns columns;
        int tipo;
        const MessageFields& fields;
        QString body;
    } const cases[] = {
        {"every column", allColumns(), 0, incoming,
         u("+39335960960") + blanks(8) + u(" ³ Nuovo  ³ Mario") + blanks(15) + u(" ³ 12:34:56 ³ 31/12/03 ³ Ciao")},
        {"no column chosen", noColumns(), 0, incoming, u("Mario") + blanks(15) + u(" ³ ")},
        {"stored unsent", Columns{false, true, true, true, true}, 2, outgoing,
         u("Da Inv ³ +393331234567") + blanks(7) + u(" ³ ") + blanks(8) + u(" ³ ") + blanks(8) + u(" ³ A domani")},
        {"stored sent, text only", Columns{false, true, false, false, true}, 3, outgoing,
         u("Inviat ³ +393331234567") + blanks(7) + u(" ³ A domani")},
        {"number longer than its column", Columns{false, false, false, false, true}, 1, tooLong,
         u("+3933312345678901234567 ³ x")},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MessageBody(c.columns, 20, c.tipo, c.fields), c.body) << c.name;
}

// In the fixed-pitch font each caption of the header stands above its
// column, and the header's bars above the row's separators.
TEST(HeaderLine, CaptionsStandAboveTheirColumns)
{
    MessageFields fields;
    fields.serviceCentre = u("+39335960960");
    fields.number = u("Mario") + blanks(9);
    fields.time = u("12:34:56");
    fields.date = u("31/12/03");
    fields.text = u("Ciao");
    const QString row = RowHead(true, 1, 20) + MessageBody(allColumns(), 20, 0, fields);
    const QString header = HeaderLine(allColumns(), 20, 20);

    const std::vector<int> separators{10, 33, 42, 65, 76, 87};
    std::vector<int> rowSeparators = positionsOf(row, QChar(0xB4));
    for (int p : positionsOf(row, QChar(0xB3)))
        rowSeparators.push_back(p);
    EXPECT_EQ(rowSeparators, separators);
    EXPECT_EQ(positionsOf(header, QChar(0xB3)), separators);

    struct Caption {
        const char* text;
        int position;
    } const captions[] = {
        {"Centro servizi:", 12}, {"Tipo:", 35}, {"Mitten./Dest.:", 44}, {"Ora:", 67}, {"Data:", 78}, {"Testo:", 89},
    };
    for (const Caption& c : captions)
        EXPECT_EQ(header.indexOf(u(c.text)) + 1, c.position) << c.text;
    EXPECT_EQ(row.indexOf(u("+39335960960")) + 1, 12);
    EXPECT_EQ(row.indexOf(u("Nuovo")) + 1, 35);
    EXPECT_EQ(row.indexOf(u("Mario")) + 1, 44);
    EXPECT_EQ(row.indexOf(u("12:34:56")) + 1, 67);
    EXPECT_EQ(row.indexOf(u("31/12/03")) + 1, 78);
    EXPECT_EQ(row.indexOf(u("Ciao")) + 1, 89);
    EXPECT_TRUE(header.endsWith(u("Testo:")));
}

TEST(HeaderLine, Pieces)
{
    struct Case {
        const char* name;
        Columns columns;
        int capacity, lungNumero;
        QString header;
    } const cases[] = {
        {"capacity 9: memory piece without blanks", noColumns(), 9, 14, u("Mem:   ³ Mitten./Dest.: ³ ")},
        {"capacity 150", noColumns(), 150, 16, u("Mem:       ³ Mitten./Dest.:   ³ ")},
        {"capacity 0 reads like one digit", noColumns(), 0, 14, u("Mem:   ³ Mitten./Dest.: ³ ")},
        {"columns narrower than the captions", Columns{true, false, false, false, false}, 20, 10,
         u("Mem:     ³ Centro servizi:  ³ Mitten./Dest.: ³ ")},
        {"status, time, date, text", Columns{false, true, true, true, true}, 20, 14,
         u("Mem:     ³ Tipo:  ³ Mitten./Dest.: ³ Ora:     ³ Data:    ³ Testo:")},
    };
    for (const Case& c : cases)
        EXPECT_EQ(HeaderLine(c.columns, c.capacity, c.lungNumero), c.header) << c.name;
}

// The answers to +CMGR, +CPBR=? and +CPMS? are read by the parsers of the
// AT vocabulary: their tables are in tests/at.

TEST(ReadRowPlace, StoreSlotAndCapacityFromTheRowHead)
{
    struct Case {
        const char* row;
        bool sim;
        int slot, capacity, headLength;
    } const cases[] = {
        {"S: 05/20 ´ Nuovo  ³ x ³ ", true, 5, 20, 11},
        {"C: 012/150 ´ ERROR", false, 12, 150, 13},
        {"C: 005/150 ´ ", false, 5, 150, 13},
        {"S: 1/9 ´ OK", true, 1, 9, 9},
        {"C: 123/150 ´ 01/01/03 ³ a/b", false, 123, 150, 13}, // a "/" in the body does not count
        {"S:", true, 0, 0, -1},
        {"", false, 0, 0, -1},
    };
    for (const Case& c : cases) {
        const RowPlace place = ReadRowPlace(u(c.row));
        EXPECT_EQ(place.sim, c.sim) << c.row;
        EXPECT_EQ(place.slot, c.slot) << c.row;
        EXPECT_EQ(place.capacity, c.capacity) << c.row;
        EXPECT_EQ(place.headLength, c.headLength) << c.row;
    }
}

// Phone-book rows as the phone-book reader writes them: LungNumero 20,
// LungNome 14.
TEST(MarkedRead, UnreadBecomesReadInPlace)
{
    const QString withCentre = u("S: 01/20 ´ +39335960960") + blanks(8) + u(" ³ Nuovo  ³ Mario ³ Ciao");
    const QString lowerCase = u("S: 01/20 ´ +39335960960") + blanks(8) + u(" ³ NUOVO  ³ Mario ³ Ciao");
    const QString withoutCentre = u("S: 01/20 ´ Nuovo  ³ Mario ³ Ciao");
    const QString read = u("S: 01/20 ´ +39335960960") + blanks(8) + u(" ³ Letto  ³ Mario ³ Ciao");

    EXPECT_EQ(MarkedRead(withCentre), read);
    EXPECT_EQ(MarkedRead(lowerCase), read);
    EXPECT_EQ(MarkedRead(withoutCentre), withoutCentre); // no " ³ " before the status
    EXPECT_EQ(MarkedRead(read), read);
    // A text that only says "Nuovo" is not a status column.
    const QString text = u("S: 02/20 ´ Mario ³ Nuovo numero");
    EXPECT_EQ(MarkedRead(text), text);
}

TEST(ReplyKey, NameOrNumberBeforeTheBar)
{
    struct Case {
        const char* text9;
        std::optional<QString> key;
    } const cases[] = {
        {"Mario          ³ +390123456789", u("Mario")},
        {"Mario Rossi    ³ +390123456789", u("Mario Rossi")},
        {"+390123456789 ³ Non in rubrica..", u("+390123456789")},
        {" ³ Non in rubrica..", u("")}, // no number: every row holds the empty key
        {"³ x", u("")},
        {"", std::nullopt},
        {"ERROR", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ReplyKey(u(c.text9)), c.key) << c.text9;
}
