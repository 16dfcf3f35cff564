// The row format of List2, the +CPBR answers, the ".RDS" lines and the
// Windows-1252 table, as pure functions.
#include "phonebook/rows.h"
#include "phonebook/windows1252.h"
#include "phonebook/qstring_printer.h"

#include <gtest/gtest.h>

#include <QStringList>

namespace {

QString dashes(int count) { return QString(count, kDash); }
QString spaces(int count) { return QString(count, QLatin1Char(' ')); }

// ---- Windows-1252 ----

struct ByteVector {
    unsigned char byte;
    char16_t character;
    const char* what;
};

TEST(Windows1252, BytesDecodeToTheirCharacters)
{
    const ByteVector vectors[] = {
        {0x41, u'A', "ASCII"},
        {0x80, u'€', "euro, where Latin-1 has a control"},
        {0x8A, u'Š', "S caron"},
        {0x92, u'’', "right single quote"},
        {0x9F, u'Ÿ', "Y diaeresis"},
        {0x81, 0x0081, "unassigned stays its own value"},
        {0x9D, 0x009D, "unassigned stays its own value"},
        {0xA0, 0x00A0, "no-break space, as Latin-1 from here on"},
        {0xB3, u'³', "the bar of the rows"},
        {0xB4, u'´', "the tee"},
        {0xC1, u'Á', "the bottom joint"},
        {0xC2, u'Â', "the top joint"},
        {0xC4, u'Ä', "the dash"},
        {0xFF, u'ÿ', "last byte"},
    };
    for (const ByteVector& v : vectors) {
        const QByteArray byte(1, char(v.byte));
        EXPECT_EQ(FromWindows1252(byte), QString(QChar(v.character))) << v.what;
        EXPECT_EQ(ToWindows1252(QString(QChar(v.character))), byte) << v.what;
    }
}

TEST(Windows1252, EveryByteComesBackUnchanged)
{
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(char(b));
    const QString decoded = FromWindows1252(all);
    ASSERT_EQ(decoded.size(), 256);
    EXPECT_EQ(ToWindows1252(decoded), all);
}

TEST(Windows1252, CharactersOutsideTheCodePageBecomeOneQuestionMark)
{
    EXPECT_EQ(ToWindows1252(QString(QChar(0x0100))), QByteArray("?")); // Ā
    EXPECT_EQ(ToWindows1252(QStringLiteral("a\U0001F600b")), QByteArray("a?b"));
    // A byte of the serial line, read as Latin-1, goes to the file unchanged.
    EXPECT_EQ(ToWindows1252(QString::fromLatin1("\x80\x8A\x9F")), QByteArray("\x80\x8A\x9F"));
    EXPECT_FALSE(InWindows1252(QChar(0x03B1))); // α
    EXPECT_TRUE(InWindows1252(QChar(0x20AC)));  // €
}

TEST(Windows1252, CaseOfTheCodePageLetters)
{
    struct Case {
        const char16_t* lower;
        const char16_t* upper;
    };
    const Case pairs[] = {
        {u"abc xyz", u"ABC XYZ"},
        {u"àèéìòù", u"ÀÈÉÌÒÙ"},
        {u"šœžÿ", u"ŠŒŽŸ"},   // partners in 0x80-0x9F
        {u"ç ñ ø þ", u"Ç Ñ Ø Þ"},
        {u"1,2;?\r\n", u"1,2;?\r\n"},
    };
    for (const Case& c : pairs) {
        const QString lower = QString::fromUtf16(c.lower);
        const QString upper = QString::fromUtf16(c.upper);
        EXPECT_EQ(Windows1252Upper(lower), upper) << lower.toStdString();
        EXPECT_EQ(Windows1252Lower(upper), lower) << upper.toStdString();
    }
    // Letters whose partner is outside the code page keep their case, so the
    // length never changes: ß (SS), µ (Greek Mu), and letters of other scripts.
    EXPECT_EQ(Windows1252Upper(QStringLiteral("ßµ")), QStringLiteral("ßµ"));
    EXPECT_EQ(Windows1252Upper(QStringLiteral("αı")), QStringLiteral("αı"));
    EXPECT_EQ(Windows1252Lower(QStringLiteral("×÷")), QStringLiteral("×÷"));
}

// ---- numbers and the size answer ----

TEST(LeadingNumber, ReadsTheNumberAtTheStart)
{
    const std::pair<const char*, long long> cases[] = {
        {"40", 40},   {"  18", 18}, {"18,0,0", 18}, {"250)", 250}, {"-5", -5},
        {"+7", 7},    {"", 0},      {"abc", 0},     {"4 0", 4},    {"0099", 99},
    };
    for (const auto& [text, value] : cases)
        EXPECT_EQ(LeadingNumber(QString::fromLatin1(text)), value) << text;
}

TEST(PhonebookSize, AnswersOfTheRightShape)
{
    struct Case {
        const char* answer;
        int last, number, name;
        const char* what;
    };
    const Case cases[] = {
        {"+CPBR: (1-250),40,18", 250, 40, 18, "a SIM"},
        {"+CPBR: (0-99),20,14", 99, 20, 14, "a range from 0: read from 1 all the same"},
        {"+CPBR: (1-1),0,0", 1, 0, 0, "one slot, no widths"},
        {"+CPBR: (1-500),40,18,0,0,0", 500, 40, 18, "the later fields of GSM 27.007"},
        {"+CPBR: (1-250), 40, 18", 250, 40, 18, "spaces after the commas"},
        {"AT+CPBR=?\r\r\n+CPBR: (1-10),20,14", 10, 20, 14, "the echo in front"},
    };
    for (const Case& c : cases) {
        const PhonebookSize size = ParsePhonebookSize(QString::fromLatin1(c.answer));
        EXPECT_TRUE(size.valid) << c.what;
        EXPECT_EQ(size.lastIndex, c.last) << c.what;
        EXPECT_EQ(size.numberLength, c.number) << c.what;
        EXPECT_EQ(size.nameLength, c.name) << c.what;
    }
}

TEST(PhonebookSize, AnswersOfAnotherShapeSkipTheStore)
{
    const char* answers[] = {
        "ERROR",
        "error",
        "+CME ERROR: 3",
        "",
        "+CPBR: (1-0),20,14",      // last index below 1
        "+CPBR: (1--3),20,14",     // negative
        "+CPBR: (1-250)",          // no widths
        "+CPBR: (250),40,18",      // no range
        "+CPBR: 1-250),40,18",     // no "("
        "+CPBR: (1-250),-4,18",    // negative width
        "+CPBR: (1-250),40,99999", // no phone has such names
    };
    for (const char* answer : answers)
        EXPECT_FALSE(ParsePhonebookSize(QString::fromLatin1(answer)).valid) << answer;
}

// ---- the entry answer ----

TEST(PhonebookEntry, NumberAndNameBetweenTheirQuotes)
{
    struct Case {
        const char16_t* answer;
        const char16_t* number;
        const char16_t* name;
    };
    const Case cases[] = {
        {u"+CPBR: 3,\"+390123456789\",145,\"Ufficio\"", u"+390123456789", u"Ufficio"},
        {u"+CPBR: 12,\"0612345\",129,\"Rossi, Mario\"", u"0612345", u"Rossi, Mario"},
        {u"+CPBR: 4,\"333\",129,\"\"", u"333", u""},
        {u"+CPBR: 5,\"\",129,\"Nessuno\"", u"", u"Nessuno"},
        {u"+CPBR: 6,\"+39 02 1234\",145,\"Città è\"", u"+39 02 1234", u"Città è"},
    };
    for (const Case& c : cases) {
        const PhonebookEntry entry = ParsePhonebookEntry(QString::fromUtf16(c.answer));
        EXPECT_TRUE(entry.valid);
        EXPECT_EQ(entry.number, QString::fromUtf16(c.number));
        EXPECT_EQ(entry.name, QString::fromUtf16(c.name));
    }
}

TEST(PhonebookEntry, OtherAnswersAreNoEntry)
{
    const char* answers[] = {
        "+CME ERROR: 22", "ERROR", "error", "", "OK",
        "+CPBR: 3,\"+390123456789\"",              // no name
        "+CPBR: 3,\"+390123456789\",145,\"Uffi",   // the name is cut
    };
    for (const char* answer : answers)
        EXPECT_FALSE(ParsePhonebookEntry(QString::fromLatin1(answer)).valid) << answer;
}

// ---- the rows ----

PhonebookSize sizeOf(int last, int number, int name)
{
    PhonebookSize size;
    size.valid = true;
    size.lastIndex = last;
    size.numberLength = number;
    size.nameLength = name;
    return size;
}

TEST(Rows, AStoreOfTenSlots)
{
    const PhonebookSize size = sizeOf(10, 20, 14);
    EXPECT_EQ(HeaderRow(size), dashes(6) + kTop + dashes(22) + kTop + dashes(40));
    EXPECT_EQ(FooterRow(size), dashes(6) + kBottom + dashes(22) + kBottom + dashes(40));
    EXPECT_EQ(HeaderRow(size).size(), 70);
    const QString entry = EntryRow(size, 3, QStringLiteral("+390123456789"), QStringLiteral("Ufficio"));
    EXPECT_EQ(entry, QStringLiteral("03/10 ") + kTee + QStringLiteral(" +390123456789") + spaces(7)
                         + QStringLiteral(" ") + kBar + QStringLiteral(" Ufficio") + spaces(7));
    EXPECT_EQ(entry.size(), 45);
    EXPECT_EQ(EmptySlotRow(size, 4), QStringLiteral("04/10 ") + kTee + spaces(21) + QStringLiteral(" ")
                                         + kBar + spaces(15));
}

TEST(Rows, AStoreOf250SlotsLinesUpWithItsHeader)
{
    const PhonebookSize size = sizeOf(250, 40, 18);
    const QString header = HeaderRow(size);
    EXPECT_EQ(header, dashes(8) + kTop + dashes(42) + kTop + dashes(80));
    EXPECT_EQ(header.size(), 132);
    const QString entry = EntryRow(size, 7, QStringLiteral("+390123456789"), QStringLiteral("Ufficio"));
    EXPECT_TRUE(entry.startsWith(QStringLiteral("007/250 ")));
    EXPECT_EQ(entry.size(), 71);
    // 0-based: the tee under the first joint, the bar under the second, the
    // number from 2D+4 and the name from 2D+W+7.
    EXPECT_EQ(header.indexOf(kTop), 8);
    EXPECT_EQ(entry.indexOf(kTee), 8);
    EXPECT_EQ(header.indexOf(kTop, 9), 51);
    EXPECT_EQ(entry.indexOf(kBar), 51);
    EXPECT_EQ(entry.mid(10, 13), QStringLiteral("+390123456789"));
    EXPECT_EQ(entry.mid(53), QStringLiteral("Ufficio") + spaces(11));
    EXPECT_EQ(EmptySlotRow(size, 250).size(), 71);
    EXPECT_TRUE(EmptySlotRow(size, 250).startsWith(QStringLiteral("250/250 ")));
}

TEST(Rows, FieldsLongerThanTheirColumnPushTheRowRight)
{
    const PhonebookSize size = sizeOf(10, 4, 3);
    // A number of W + 2 characters is followed by 2 spaces: the bar stands 4
    // to the right of the header's second joint.
    const QString entry = EntryRow(size, 1, QStringLiteral("123456"), QStringLiteral("Anna"));
    EXPECT_EQ(entry, QStringLiteral("01/10 ") + kTee + QStringLiteral(" 123456   ") + kBar
                         + QStringLiteral(" Anna "));
    EXPECT_EQ(entry.indexOf(kBar), HeaderRow(size).indexOf(kTop, 7) + 4);
    // Empty fields give a column of spaces.
    EXPECT_EQ(EntryRow(size, 2, QString(), QString()), EmptySlotRow(size, 2));
}

TEST(Rows, APickTakesTheRowFromItsNumberColumn)
{
    const PhonebookSize size = sizeOf(10, 20, 14);
    const QString picked = QStringLiteral("+390123456789") + spaces(7) + QStringLiteral(" ") + kBar
                           + QStringLiteral(" Ufficio") + spaces(7);
    EXPECT_EQ(PickedRecipient(EntryRow(size, 3, QStringLiteral("+390123456789"), QStringLiteral("Ufficio"))),
              picked);
    EXPECT_EQ(PickedRecipient(EmptySlotRow(size, 4)), spaces(21) + kBar + spaces(15));
    EXPECT_EQ(PickedRecipient(HeaderRow(size)), std::nullopt);
    EXPECT_EQ(PickedRecipient(FooterRow(size)), std::nullopt);
    EXPECT_EQ(PickedRecipient(QStringLiteral("a row from elsewhere")), std::nullopt);
    EXPECT_EQ(PickedRecipient(QString()), std::nullopt);
}

// ---- the file ----

TEST(RdsFile, NamesTheSaveKeepsOrExtends)
{
    const std::pair<const char*, const char*> cases[] = {
        {"rubrica", "rubrica.rds"},
        {"Rubrica.RDS", "Rubrica.RDS"},
        {"rubrica.rds.bak", "rubrica.rds.bak"},
        {"/tmp/casa.Rds", "/tmp/casa.Rds"},
        {"/tmp/x.rds/rubrica", "/tmp/x.rds/rubrica"}, // ".RDS" anywhere in the name
        {"rubrica.txt", "rubrica.txt.rds"},
        {"rds", "rds.rds"},
    };
    for (const auto& [chosen, saved] : cases) {
        EXPECT_EQ(RdsSaveName(QString::fromLatin1(chosen)), QString::fromLatin1(saved)) << chosen;
        EXPECT_TRUE(IsRdsName(QString::fromLatin1(saved))) << saved;
    }
    EXPECT_FALSE(IsRdsName(QStringLiteral("rubrica.txt")));
    EXPECT_FALSE(IsRdsName(QStringLiteral("rubricaRDS")));
}

TEST(RdsFile, ALineIsTheRowInWindows1252ThenCrLf)
{
    EXPECT_EQ(RdsLine(QStringLiteral("01/10 ") + kTee + QStringLiteral(" 12 ") + kBar + QStringLiteral(" A  ")),
              QByteArray("01/10 \xB4 12 \xB3 A  \r\n"));
    EXPECT_EQ(RdsLine(dashes(2) + kTop + kBottom), QByteArray("\xC4\xC4\xC2\xC1\r\n"));
    EXPECT_EQ(RdsLine(QString()), QByteArray("\r\n"));
}

TEST(RdsFile, LinesOfAFile)
{
    struct Case {
        QByteArray bytes;
        QStringList rows;
        const char* what;
    };
    const Case cases[] = {
        {"", {}, "an empty file has no rows"},
        {"a\r\nb\r\n", {"a", "b"}, "CR LF after every line"},
        {"a\r\nb", {"a", "b"}, "the last line without its end"},
        {"a\r\n\r\nb\r\n", {"a", "", "b"}, "an empty line is an empty row"},
        {"\r\n", {""}, "one empty line"},
        {"a  \r\n  \r\n", {"a  ", "  "}, "trailing spaces stay"},
        {"a\nb\rc\r\n", {"a", "b", "c"}, "a lone LF or CR ends a line too"},
        {"x\xB3y\x80\r\n", {QStringLiteral("x³y€")}, "Windows-1252 bytes"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(RdsRows(c.bytes), c.rows) << c.what;
}

} // namespace
