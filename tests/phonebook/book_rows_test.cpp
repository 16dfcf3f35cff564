// SPDX-License-Identifier: GPL-3.0-or-later
// The row format of List2, the +CPBR answers, the ".RDS" lines and the
// Windows-1252 table, as pure functions.
#include "at/glyphs.h"
#include "at/numbers.h"
#include "at/windows1252.h"
#include "phone/phonebook/book_rows.h"
#include "phonebook/qstring_printer.h"

#include <gtest/gtest.h>

#include <QStringList>

namespace {

using at::kBar;
using at::kBottom;
using at::kDash;
using at::kTee;
using at::kTop;

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
        {u"abc xyz", u"ABC XYZ"}, {u"àèéìòù", u"ÀÈÉÌÒÙ"},       {u"šœžÿ", u"ŠŒŽŸ"}, // partners in 0x80-0x9F
        {u"ç ñ ø þ", u"Ç Ñ Ø Þ"}, {u"1,2;?\r\n", u"1,2;?\r\n"},
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
        {"40", 40}, {"  18", 18}, {"18,0,0", 18}, {"250)", 250}, {"-5", -5},
        {"+7", 7},  {"", 0},      {"abc", 0},     {"4 0", 4},    {"0099", 99},
    };
    for (const auto& [text, value] : cases)
        EXPECT_EQ(at::LeadingNumber(QString::fromLatin1(text)), value) << text;
}

// The size and entry answers are read by at::ParseCpbrRange and
// at::ParseCpbrEntry (tests/at/cpbr_test.cpp).

// ---- names and numbers in the character set of the read ----

TEST(Ucs2, HexInGroupsOfFourIsUtf16BigEndian)
{
    struct Case {
        const char* hex;
        std::optional<QString> text;
        const char* what;
    };
    const Case cases[] = {
        {"039503BB03AD03BD03B7", QStringLiteral("Ελένη"), "Greek"},
        {"0414043C043804420440043804390020", QStringLiteral("Дмитрий "), "Cyrillic and a blank"},
        {"0141756B61737A", std::nullopt, "not groups of four"},
        {"0141", QStringLiteral("Ł"), "one unit"},
        {"00e7", QStringLiteral("ç"), "lower-case hex"},
        {"D83DDE00", QStringLiteral("\U0001F600"), "a surrogate pair"},
        {"", QString(), "empty"},
        {"00 41", std::nullopt, "a blank"},
        {"+041", std::nullopt, "a sign"},
        {"Mari", std::nullopt, "letters"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Ucs2Hex(QString::fromLatin1(c.hex)), c.text) << c.what;
}

TEST(Ucs2, NumbersOnlyWhenEveryUnitIsDialable)
{
    struct Case {
        const char* field;
        bool ucs2;
        const char* number;
        const char* what;
    };
    const Case cases[] = {
        {"002B003300390030003600310032", true, "+390612", "a UCS2 number"},
        {"002A0023", true, "*#", "star and hash"},
        {"0612", true, "0612", "one group of four, a letter of Arabic: plain"},
        {"06123456", true, "06123456", "two groups, neither a digit: plain"},
        {"+390612345678", true, "+390612345678", "not hex: plain"},
        {"004D", true, "004D", "a letter is no number: plain"},
        {"", true, "", "empty"},
        {"00330039", false, "00330039", "never decoded in the GSM set"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PhonebookNumber(QString::fromLatin1(c.field), c.ucs2), QString::fromLatin1(c.number)) << c.what;
}

TEST(Ucs2, NamesInTheCharacterSetOfTheRead)
{
    struct Case {
        const char16_t* field;
        bool ucs2;
        const char16_t* name; // nullptr: no UCS2 name
        const char* what;
    };
    const Case cases[] = {
        {u"004D006100720069006F", true, u"Mario", "hex in UCS2"},
        {u"0141756B0061007300A0", true, u"\u0141\u756B\u0061\u0073\u00A0", "any unit in UCS2"},
        {u"Mario Rossi", true, nullptr, "a phone that left UCS2: letters"},
        {u"Rossi, Giulia", true, nullptr, "a phone that left UCS2: letters and a comma"},
        {u"0041004", true, nullptr, "hex, not in groups of four"},
        {u"0041 0042", true, nullptr, "hex with a blank"},
        {u"Fede", true, u"\uFEDE", "a GSM name that happens to be hex: one unit"},
        {u"Fede", false, u"Fede", "the same name in GSM"},
        {u"Nicol\u0007 \u0004", false, u"Nicol\u00EC \u00E8", "septets in GSM (7 is \u00EC, 4 is \u00E8)"},
        {u"", true, u"", "empty"},
    };
    for (const Case& c : cases) {
        const std::optional<QString> expected =
            c.name ? std::optional<QString>(QString::fromUtf16(c.name)) : std::nullopt;
        EXPECT_EQ(PhonebookName(QString::fromUtf16(c.field), c.ucs2), expected) << c.what;
    }
}

// The last word of a read: success only when nothing is missing.
TEST(ReadStatus, SaysWhatIsMissing)
{
    struct Case {
        int unread;
        int undecoded;
        bool restored;
        const char16_t* status;
    };
    const Case cases[] = {
        {0, 0, true, u"Lettura rubriche terminata.."},
        {0, 0, false, u"Lettura rubriche terminata, ma il cellulare non torna al set GSM.."},
        {1, 0, true, u"Lettura rubriche incompleta: 1 voce non letta.."},
        {12, 0, true, u"Lettura rubriche incompleta: 12 voci non lette.."},
        {0, 1, true, u"Lettura rubriche terminata, ma 1 nome non decodificato, mostrato come inviato.."},
        {0, 3, true, u"Lettura rubriche terminata, ma 3 nomi non decodificati, mostrati come inviati.."},
        {2, 1, false,
         u"Lettura rubriche incompleta: 2 voci non lette; 1 nome non decodificato, mostrato come inviato; il "
         u"cellulare non torna al set GSM.."},
    };
    for (const Case& c : cases)
        EXPECT_EQ(BookReadStatus(c.unread, c.undecoded, c.restored), QString::fromUtf16(c.status))
            << c.unread << " " << c.undecoded << " " << c.restored;
}

// ---- the rows ----

at::CpbrRange sizeOf(int last, int number, int name)
{
    at::CpbrRange size;
    size.valid = true;
    size.first = 1;
    size.last = last;
    size.numberLength = number;
    size.nameLength = name;
    return size;
}

TEST(Rows, AStoreOfTenSlots)
{
    const at::CpbrRange size = sizeOf(10, 20, 14);
    EXPECT_EQ(HeaderRow(size), dashes(6) + kTop + dashes(22) + kTop + dashes(40));
    EXPECT_EQ(FooterRow(size), dashes(6) + kBottom + dashes(22) + kBottom + dashes(40));
    EXPECT_EQ(HeaderRow(size).size(), 70);
    const QString entry = EntryRow(size, 3, QStringLiteral("+390123456789"), QStringLiteral("Ufficio"));
    EXPECT_EQ(entry, QStringLiteral("03/10 ") + kTee + QStringLiteral(" +390123456789") + spaces(7)
                         + QStringLiteral(" ") + kBar + QStringLiteral(" Ufficio") + spaces(7));
    EXPECT_EQ(entry.size(), 45);
    EXPECT_EQ(EmptySlotRow(size, 4),
              QStringLiteral("04/10 ") + kTee + spaces(21) + QStringLiteral(" ") + kBar + spaces(15));
}

TEST(Rows, AStoreOf250SlotsLinesUpWithItsHeader)
{
    const at::CpbrRange size = sizeOf(250, 40, 18);
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
    const at::CpbrRange size = sizeOf(10, 4, 3);
    // A number of W + 2 characters is followed by 2 spaces: the bar stands 4
    // to the right of the header's second joint.
    const QString entry = EntryRow(size, 1, QStringLiteral("123456"), QStringLiteral("Anna"));
    EXPECT_EQ(entry, QStringLiteral("01/10 ") + kTee + QStringLiteral(" 123456   ") + kBar + QStringLiteral(" Anna "));
    EXPECT_EQ(entry.indexOf(kBar), HeaderRow(size).indexOf(kTop, 7) + 4);
    // Empty fields give a column of spaces.
    EXPECT_EQ(EntryRow(size, 2, QString(), QString()), EmptySlotRow(size, 2));
}

// A name or a number that the phone sends with control characters in it
// keeps its row in one piece: each of them is a blank.
TEST(Rows, ControlCharactersInAFieldAreBlanks)
{
    const at::CpbrRange size = sizeOf(10, 20, 14);
    const QString mario = EntryRow(size, 5, QStringLiteral("3471234567"), QStringLiteral("Mario Rossi"));
    const struct {
        const char* number;
        const char* name;
    } cases[] = {
        {"3471234567", "Mario\rRossi"},   {"3471234567", "Mario\nRossi"},   {"3471234567", "Mario\tRossi"},
        {"3471234567", "Mario\x7FRossi"}, {"3471234567", "Mario\x01Rossi"},
    };
    for (const auto& c : cases) {
        const QString row = EntryRow(size, 5, QString::fromLatin1(c.number), QString::fromLatin1(c.name));
        EXPECT_EQ(row, mario) << c.name;
        EXPECT_TRUE(IsBookRow(row)) << c.name;
    }
    EXPECT_EQ(EntryRow(size, 5, QStringLiteral("347\r1234567"), QStringLiteral("Mario Rossi")),
              EntryRow(size, 5, QStringLiteral("347 1234567"), QStringLiteral("Mario Rossi")));
    EXPECT_EQ(WithoutControls(QStringLiteral("\r\n\t\x1F\x7F")), spaces(5));
    EXPECT_EQ(WithoutControls(QStringLiteral("Città € ³")), QStringLiteral("Città € ³"));
}

// Which lines of a file are rows of the phone book.
TEST(Rows, WhatIsABookRow)
{
    const at::CpbrRange size = sizeOf(250, 40, 18);
    const at::CpbrRange narrow = sizeOf(9, 0, 0);
    const std::vector<std::pair<QString, bool>> cases = {
        {HeaderRow(size), true},
        {FooterRow(size), true},
        {HeaderRow(narrow), true},
        {EntryRow(size, 7, QStringLiteral("+390123456789"), QStringLiteral("Ufficio")), true},
        {EmptySlotRow(size, 250), true},
        {EntryRow(narrow, 1, QString(), QString()), true},
        {QString(), true}, // an empty line stays an empty row
        {QStringLiteral("Rossi             "), false},
        {QStringLiteral("END:VCARD"), false},
        {dashes(4) + kTop + dashes(4) + kBottom + dashes(8), false}, // two kinds of joint
        {dashes(4) + kTop + dashes(4), false},
        {QStringLiteral("07/250 ") + kTee + QStringLiteral(" 112 no bar"), false},
        {QStringLiteral("x7/250 ") + kTee + QStringLiteral(" 112 ") + kBar + QStringLiteral(" a"), false},
        {QStringLiteral("07/250 ") + kTee + QStringLiteral(" 112\t") + kBar + QStringLiteral(" a"), false},
    };
    for (const auto& [row, isRow] : cases)
        EXPECT_EQ(IsBookRow(row), isRow) << row.toStdString();
}

TEST(Rows, APickTakesTheRowFromItsNumberColumn)
{
    const at::CpbrRange size = sizeOf(10, 20, 14);
    const QString picked = QStringLiteral("+390123456789") + spaces(7) + QStringLiteral(" ") + kBar
                           + QStringLiteral(" Ufficio") + spaces(7);
    EXPECT_EQ(PickedRecipient(EntryRow(size, 3, QStringLiteral("+390123456789"), QStringLiteral("Ufficio"))), picked);
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
        {"\xEF\xBB\xBFx\xC2\xB3\xCE\x95\r\n\xC3\xA8",
         {QStringLiteral("x³Ε"), QStringLiteral("è")},
         "UTF-8 after a byte-order mark"},
        {"\xEF\xBB\xBF", {}, "only the mark: no rows"},
        {"\xEF\xBB\r\n", {QStringLiteral("ï»")}, "half a mark is Windows-1252"},
        {"x\xEF\xBB\xBF\r\n", {QStringLiteral("xï»¿")}, "a mark inside is Windows-1252"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(RdsRows(c.bytes), c.rows) << c.what;
}

TEST(RdsFile, Windows1252WhileEveryRowFitsElseUtf8WithAMark)
{
    const QString fits =
        QStringLiteral("01/10 ") + kTee + QStringLiteral(" 1 ") + kBar + QStringLiteral(" Città Škoda €");
    const QString greek = QStringLiteral("02/10 ") + kTee + QStringLiteral(" 2 ") + kBar + QStringLiteral(" Ελένη");
    EXPECT_EQ(RdsEncodingFor({fits, QString()}), RdsEncoding::Windows1252);
    EXPECT_EQ(RdsEncodingFor({}), RdsEncoding::Windows1252);
    EXPECT_EQ(RdsEncodingFor({fits, greek}), RdsEncoding::Utf8);
    EXPECT_EQ(RdsEncodingFor({QStringLiteral("Łukasz")}), RdsEncoding::Utf8);
    EXPECT_EQ(RdsPreamble(RdsEncoding::Windows1252), QByteArray());
    EXPECT_EQ(RdsPreamble(RdsEncoding::Utf8), QByteArray("\xEF\xBB\xBF"));
    // The separators as UTF-8 too: ´ is C2 B4, ³ is C2 B3.
    EXPECT_EQ(RdsLine(greek, RdsEncoding::Utf8),
              QByteArray("02/10 \xC2\xB4 2 \xC2\xB3 \xCE\x95\xCE\xBB\xCE\xAD\xCE\xBD\xCE\xB7\r\n"));
    // Either file reads back to the rows written.
    for (const QStringList& rows :
         {QStringList{fits, QString(), fits}, QStringList{fits, greek, QStringLiteral("Дмитрий")}}) {
        const RdsEncoding encoding = RdsEncodingFor(rows);
        QByteArray file = RdsPreamble(encoding);
        for (const QString& row : rows)
            file += RdsLine(row, encoding);
        EXPECT_EQ(RdsRows(file), rows);
    }
}

// NameInRow's rows, written out.
QString U(const char* utf8) { return QString::fromUtf8(utf8); }
QString Blanks(int n) { return QString(n, QLatin1Char(' ')); }

TEST(NameInRow, NameFieldAfterTheNumberColumn)
{
    const QString mario = U("003/250 ´ +390123456789") + Blanks(7) + U(" ³ Mario") + Blanks(9);
    const QString longer = U("004/250 ´ +3901234567890") + Blanks(6) + U(" ³ Ufficio") + Blanks(7);
    const QString cut = U("005/250 ´ +39333") + Blanks(14) + U(" ³ Anna");
    const QString operatorRow = U("006/250 ´ tim") + Blanks(17) + U(" ³ Gestore") + Blanks(7);
    const QString infoTim = U("011/250 ´ 4916") + Blanks(16) + U(" ³ Info TIM") + Blanks(6);

    struct Case {
        const char* name;
        const QString& row;
        const char* needle;
        std::optional<QString> found;
    } const cases[] = {
        {"list read: number alone", mario, "+390123456789", U("Mario") + Blanks(9)},
        {"detail view: number and a blank", mario, "+390123456789 ", U("Mario") + Blanks(9)},
        {"list read takes a longer number that starts with it", longer, "+390123456789", U("Ufficio") + Blanks(7)},
        {"detail view does not", longer, "+390123456789 ", std::nullopt},
        {"alphanumeric sender, letter case ignored", operatorRow, "TIM", U("Gestore") + Blanks(7)},
        {"row ends inside the name field", cut, "+39333 ", U("Anna")},
        {"not in the row", mario, "+39999", std::nullopt},
        {"only in the name column", infoTim, "TIM", std::nullopt},
        {"only in the index column", mario, "003", std::nullopt},
        {"in the middle of the number", mario, "0123456789", std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(NameInRow(c.row, U(c.needle), 20, 14), c.found) << c.name;
    }
    // Widths that do not fit the row give what the row has there, never more.
    EXPECT_EQ(NameInRow(mario, U("+390123456789"), 200, 14), QString());
    EXPECT_EQ(NameInRow(mario, U("+390123456789"), 20, 0), QString());
}

} // namespace
