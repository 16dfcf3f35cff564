// SPDX-License-Identifier: GPL-3.0-or-later
#include "at/cpbw.h"

#include <gtest/gtest.h>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }
QT_END_NAMESPACE

namespace {

struct NumberCase {
    const char* name;
    const char* written;
    bool valid;
    const char* digits;
    int type;
};

const NumberCase kNumbers[] = {
    {"national", "3471234567", true, "3471234567", 129},
    {"international: the plus goes to the type", "+393471234567", true, "393471234567", 145},
    {"grouped as people write it", " +39 (347) 123-45.67 ", true, "393471234567", 145},
    {"slashes", "06/1234567", true, "061234567", 129},
    {"a service code", "*21*0612345#", true, "*21*0612345#", 129},
    {"pauses and a wait", "0612345p12w3,4", true, "0612345p12w3,4", 129},
    {"international with a pause", "+39 06 12345 p 22", true, "390612345p22", 145},
    {"00 stays a national dialling", "0039061234", true, "0039061234", 129},
    {"empty", "", false, "", 0},
    {"blanks only", "  - ", false, "", 0},
    {"a plus alone", "+", false, "", 0},
    {"a plus twice", "++39347", false, "", 0},
    {"a plus inside", "39+347", false, "", 0},
    {"letters", "347 CASA", false, "", 0},
    {"a pause first", "p123", false, "", 0},
    {"a pause right after the plus", "+p39", false, "", 0},
    {"digits of another script", "٣٤٧", false, "", 0},
};

TEST(ContactNumber, TakenAsTheRecipientIs)
{
    for (const NumberCase& c : kNumbers) {
        SCOPED_TRACE(c.name);
        QString why;
        const std::optional<at::ContactNumber> number = at::ContactNumberOf(QString::fromUtf8(c.written), &why);
        ASSERT_EQ(number.has_value(), c.valid);
        if (!c.valid) {
            EXPECT_FALSE(why.isEmpty());
            continue;
        }
        EXPECT_EQ(number->digits, QString::fromUtf8(c.digits));
        EXPECT_EQ(number->type, c.type);
        EXPECT_FALSE(number->digits.contains(u'+'));
    }
}

TEST(ContactNumber, ReasonsInWords)
{
    QString why;
    EXPECT_FALSE(at::ContactNumberOf(QStringLiteral("347 CASA"), &why));
    EXPECT_EQ(why, QStringLiteral("il numero contiene «C», che non si compone"));
    EXPECT_FALSE(at::ContactNumberOf(QStringLiteral("+39+347"), &why));
    EXPECT_EQ(why, QStringLiteral("il «+» può stare solo all'inizio del numero"));
    EXPECT_FALSE(at::ContactNumberOf(QString(), nullptr)); // no reason asked for
}

struct TextCase {
    const char* name;
    const char* number;
    int type;
    const char* shown;
};

const TextCase kTexts[] = {
    {"international written without plus", "393471234567", 145, "+393471234567"},
    {"international written with plus", "+393471234567", 145, "+393471234567"},
    {"a phone that doubled the plus", "++393471234567", 145, "+393471234567"},
    {"international without a numbering plan", "3906123", 144, "+3906123"},
    {"national", "3471234567", 129, "3471234567"},
    {"national type 161", "3471234567", 161, "3471234567"},
    {"unknown type keeps what the phone wrote", "+39347", 129, "+39347"},
    {"empty international", "", 145, ""},
};

TEST(ContactNumberText, OnePlusForInternational)
{
    for (const TextCase& c : kTexts) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(at::ContactNumberText(QString::fromUtf8(c.number), c.type), QString::fromUtf8(c.shown));
    }
}

struct CostCase {
    const char* name;
    const char16_t* text;
    int cost;
};

const CostCase kCosts[] = {
    {"ASCII letters", u"Mario Rossi", 11},
    {"accents of the GSM alphabet", u"Nicolò è", 8},
    {"extension characters count two", u"A€[]", 7},
    {"Greek capitals the alphabet has", u"ΔΩ", 2},
    {"an accent the alphabet lacks: UCS2", u"Raúl", 9},
    {"Cyrillic", u"Иван", 9},
    {"an emoji is two UTF-16 units", u"Bo😀", 9},
    {"a backquote has no code of its own", u"a`b", 7},
    {"empty", u"", 0},
};

TEST(NameCost, InTheSimsUnits)
{
    for (const CostCase& c : kCosts) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(at::NameCost(QString::fromUtf16(c.text)), c.cost);
    }
}

struct ArgumentCase {
    const char* name;
    const char16_t* text;
    const char* charset;
    bool valid;
    const char16_t* argument; // the refused character, for a refusal
};

const ArgumentCase kArguments[] = {
    {"UCS2: ASCII", u"Mario", "UCS2", true, u"004D006100720069006F"},
    {"UCS2: accents", u"Nicolò", "UCS2", true, u"004E00690063006F006C00F2"},
    {"UCS2: Cyrillic", u"Иван", "UCS2", true, u"041804320430043D"},
    {"UCS2: a quote and a line break are hex too", u"\"\r", "UCS2", true, u"0022000D"},
    {"UCS2: surrogate pair as two units", u"😀", "UCS2", true, u"D83DDE00"},
    {"UCS2: empty", u"", "UCS2", true, u""},
    {"GSM: ASCII letters and signs", u"Zia Ada, 2 (bar)!", "GSM", true, u"Zia Ada, 2 (bar)!"},
    {"GSM: letters at printable codes go as their code", u"ÄÖÑÜ§äöñü", "GSM", true, u"[\\]^_{|}~"},
    {"GSM: the currency sign is 0x24", u"¤", "GSM", true, u"$"},
    {"GSM: lower-case set name", u"Ugo", "gsm", true, u"Ugo"},
    {"GSM: è is 0x04", u"Nicolè", "GSM", false, u"è"},
    {"GSM: @ is 0x00", u"a@b", "GSM", false, u"@"},
    {"GSM: dollar is 0x02", u"$", "GSM", false, u"$"},
    {"GSM: ò is 0x08, a backspace", u"Nicolò", "GSM", false, u"ò"},
    {"GSM: underscore is 0x11", u"a_b", "GSM", false, u"_"},
    {"GSM: à is 0x7F", u"Papà", "GSM", false, u"à"},
    {"GSM: an escape pair starts at 0x1B", u"€", "GSM", false, u"€"},
    {"GSM: a quote would end the argument", u"Bar \"Sport\"", "GSM", false, u"\""},
    {"GSM: a line break is 0x0A", u"a\nb", "GSM", false, u"\n"},
    {"GSM: ¡ is 0x40, which reads back as @", u"¡Hola", "GSM", false, u"¡"},
    {"GSM: Cyrillic is no GSM character", u"Иван", "GSM", false, u"И"},
    {"GSM: a surrogate pair named whole", u"Bo😀", "GSM", false, u"😀"},
    {"GSM: an accent the alphabet lacks is never its base letter", u"Raúl", "GSM", false, u"ú"},
};

TEST(PhonebookNameArgument, ExactOrRefused)
{
    for (const ArgumentCase& c : kArguments) {
        SCOPED_TRACE(c.name);
        QString why;
        const std::optional<QString> argument =
            at::PhonebookNameArgument(QString::fromUtf16(c.text), QString::fromUtf8(c.charset), &why);
        ASSERT_EQ(argument.has_value(), c.valid);
        if (c.valid) {
            EXPECT_EQ(*argument, QString::fromUtf16(c.argument));
            continue;
        }
        EXPECT_EQ(why, QStringLiteral("il nome contiene «%1», che il cellulare non accetta senza UCS2")
                           .arg(QString::fromUtf16(c.argument)));
    }
}

// Whatever the name, a "GSM" argument holds no byte a command line takes
// otherwise: nothing below 0x20, no quote, no DEL, nothing beyond one byte.
TEST(PhonebookNameArgument, NoControlByteUnderGsm)
{
    for (char16_t c = 0; c < 0x3000; ++c) {
        const std::optional<QString> argument = at::PhonebookNameArgument(QString(QChar(c)), QStringLiteral("GSM"));
        if (!argument)
            continue;
        SCOPED_TRACE(int(c));
        ASSERT_EQ(argument->size(), 1);
        const char16_t code = argument->at(0).unicode();
        EXPECT_GE(code, 0x20);
        EXPECT_LT(code, 0x7F);
        EXPECT_NE(code, u'"');
    }
}

TEST(PhonebookNameArgument, AnotherCharacterSetIsRefused)
{
    QString why;
    EXPECT_FALSE(at::PhonebookNameArgument(QStringLiteral("Mario"), QStringLiteral("8859-1"), &why));
    EXPECT_EQ(why, QStringLiteral("il cellulare usa il set di caratteri «8859-1», che il programma non scrive"));
}

struct LimitsCase {
    const char* name;
    const char* answer;
    bool valid;
    int first, last, numberLength, nameLength;
};

const LimitsCase kLimits[] = {
    {"read form", "+CPBR: (1-250),40,18", true, 1, 250, 40, 18},
    {"write form", "+CPBW: (1-250),40,(129,145),18", true, 1, 250, 40, 18},
    {"write form with blanks", "+CPBW: ( 1 - 100 ) , 20 , ( 129 , 145 ) , 14 ", true, 1, 100, 20, 14},
    {"write form with a range of types", "+CPBW: (1-250),20,(128-255),14", true, 1, 250, 20, 14},
    {"write form with further fields", "+CPBW: (1-500),40,(129,145,161),18,0,0", true, 1, 500, 40, 18},
    {"read form with further fields", "+CPBR: (1-250),40,18,80,20", true, 1, 250, 40, 18},
    {"a book from 0", "+CPBR: (0-99),20,14", true, 0, 99, 20, 14},
    {"echo and final code around it", "AT+CPBW=?\r\r\n+CPBW: (1-10),20,(129,145),14\r\n\r\nOK", true, 1, 10, 20, 14},
    {"lower-case prefix", "+cpbw: (1-10),20,(129,145),14", true, 1, 10, 20, 14},
    {"write form without the name width", "+CPBW: (1-250),40,(129,145)", false, 0, 0, 0, 0},
    {"write form without the types", "+CPBW: (1-250),40,18", false, 0, 0, 0, 0},
    {"write form with a bare type", "+CPBW: (1-250),40,145,18", false, 0, 0, 0, 0},
    {"write form with a name width beyond 250", "+CPBW: (1-250),40,(129,145),999", false, 0, 0, 0, 0},
    {"error", "+CME ERROR: 3", false, 0, 0, 0, 0},
    {"empty", "", false, 0, 0, 0, 0},
};

TEST(ParseBookLimits, BothForms)
{
    for (const LimitsCase& c : kLimits) {
        SCOPED_TRACE(c.name);
        const std::optional<at::BookLimits> limits = at::ParseBookLimits(QString::fromUtf8(c.answer));
        ASSERT_EQ(limits.has_value(), c.valid);
        if (!c.valid)
            continue;
        EXPECT_EQ(limits->first, c.first);
        EXPECT_EQ(limits->last, c.last);
        EXPECT_EQ(limits->numberLength, c.numberLength);
        EXPECT_EQ(limits->nameLength, c.nameLength);
    }
}

TEST(CpbwCommand, WriteAndDelete)
{
    const at::ContactNumber international{QStringLiteral("393471234567"), 145};
    EXPECT_EQ(at::CpbwWriteCommand(7, international, QStringLiteral("004D")),
              QStringLiteral("+CPBW=7,\"393471234567\",145,\"004D\""));
    EXPECT_EQ(at::CpbwWriteCommand(0, {QStringLiteral("061234"), 129}, QStringLiteral("Ugo")),
              QStringLiteral("+CPBW=,\"061234\",129,\"Ugo\""));
    EXPECT_EQ(at::CpbwDeleteCommand(12), QStringLiteral("+CPBW=12"));
}

} // namespace
