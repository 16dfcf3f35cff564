// SPDX-License-Identifier: GPL-3.0-or-later
// The alphabet table in both directions: what each code shows, and which
// septets each typed character goes out as.
#include "pdu/pdu.h"

#include "test_pdus.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <ios>
#include <ostream>

namespace {

TEST(GsmChar, TableReadings)
{
    const struct {
        int code;
        char16_t ch;
    } cases[] = {
        {0, u'@'},  {64, u'@'}, {1, u'£'},  {9, u'ç'},   {10, u'\n'},  {13, u'\r'},   {14, u'Å'},
        {15, u'å'}, {16, u'?'}, {17, u'_'}, {23, u'¥'},  {27, 0x1B},   {36, u'¤'},    {65, u'A'},
        {91, u'Ä'}, {95, u'§'}, {96, u'`'}, {127, u'à'}, {-1, 0xFFFD}, {128, 0xFFFD},
    };
    for (const auto& c : cases)
        EXPECT_EQ(QChar(c.ch), GsmChar(c.code)) << c.code;
}

// Names and numbers of the phone book arrive in the GSM character set that
// the program selects with AT+CSCS=GSM: one code a character.
TEST(GsmText, CharacterSetOfThePhoneBook)
{
    const struct {
        const char* name;
        QString septets;
        QString shown;
    } cases[] = {
        {"plain letters", QStringLiteral("Mario Rossi"), QStringLiteral("Mario Rossi")},
        {"accented letters by their codes", QString(QChar(u'N')) + QStringLiteral("icol") + QChar(8),
         QString::fromUtf8("Nicolò")},
        {"@ is code 0", QString(QChar(0)) + QStringLiteral("casa"), QStringLiteral("@casa")},
        {"escape pair", QStringLiteral("Bar ") + QChar(27) + QChar(101), QString::fromUtf8("Bar €")},
        {"escape not translated stays", QString(QChar(27)) + QChar(66), QString(QChar(27)) + QChar(u'B')},
        {"last escape stays", QStringLiteral("A") + QChar(27), QStringLiteral("A") + QChar(27)},
        {"codes above 127 kept", QString(QChar(0xE8)), QString(QChar(0xE8))},
        {"empty", QString(), QString()},
    };
    for (const auto& c : cases)
        EXPECT_EQ(GsmText(c.septets), c.shown) << c.name;
}

TEST(GsmEscapeChar, ExtensionTableOnly)
{
    const struct {
        int code;
        char16_t ch;
    } cases[] = {
        {10, u'\f'}, {20, u'^'}, {40, u'{'},  {41, u'}'}, {47, u'\\'}, {60, u'['}, {61, u'~'},
        {62, u']'},  {64, u'|'}, {101, u'€'}, {65, 0},    {27, 0},     {-5, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(QChar(c.ch), GsmEscapeChar(c.code)) << c.code;
}

// The user data EncodeSubmit sends for one typed character.
struct Sent {
    const char* name;
    const char* typed; // UTF-8
    std::vector<int> septets;
};

void PrintTo(const Sent& s, std::ostream* os) { *os << s.name; }

class SentAs : public testing::TestWithParam<Sent> {};

TEST_P(SentAs, Septets)
{
    const Sent& s = GetParam();
    const SubmitPdu r = EncodeSubmit("+3912345678", "12345", QString::fromUtf8(s.typed), false, false);
    ASSERT_EQ(SubmitPdu::Error::None, r.error);
    char udl[3];
    std::snprintf(udl, sizeof udl, "%02X", unsigned(s.septets.size()));
    EXPECT_EQ(
        QString::fromStdString("0691932143658711F305812143F50000FF" + std::string(udl) + testpdu::packed(s.septets)),
        r.pdu);
    EXPECT_EQ(int(s.septets.size()), GsmSeptets(QString::fromUtf8(s.typed)));
}

const Sent kSent[] = {
    // ASCII characters the default alphabet has elsewhere or not at all.
    {"AtIsZero", "@", {0x00}},
    {"DollarIsTwo", "$", {0x02}},
    {"UnderscoreIsSeventeen", "_", {0x11}},
    {"GraveHasNoCodeAndGoesAsQuestionMark", "`", {0x3F}},
    {"QuestionMarkIsItsOwnCode", "?", {0x3F}},
    {"CircumflexIsEscapePair", "^", {0x1B, 0x14}},
    {"BracesAreEscapePairs", "{}", {0x1B, 0x28, 0x1B, 0x29}},
    {"BackslashIsEscapePair", "\\", {0x1B, 0x2F}},
    {"BracketsAreEscapePairs", "[]", {0x1B, 0x3C, 0x1B, 0x3E}},
    {"TildeIsEscapePair", "~", {0x1B, 0x3D}},
    {"BarIsEscapePair", "|", {0x1B, 0x40}},
    {"FormFeedIsEscapePair", "\f", {0x1B, 0x0A}},
    {"EuroIsEscapePair", "€", {0x1B, 0x65}},
    {"LineBreaksStay", "\r\n", {0x0D, 0x0A}},
    {"TabHasNoCode", "\t", {0x3F}},
    // Characters of the table.
    {"RingCapital", "Å", {0x0E}},
    {"AUmlautCapital", "Ä", {0x5B}},
    {"AGrave", "à", {0x7F}},
    {"YenIsThreeNotTwentyThree", "¥", {0x03}},
    {"CurrencySign", "¤", {0x24}},
    {"SmallCCedillaIsNine", "ç", {0x09}},
    {"CapitalCCedillaIsNine", "Ç", {0x09}},
    // The standard's characters that the table shows otherwise.
    {"GreekCapitals", "ΔΦΓΛΩΠΨΣΘΞ", {0x10, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18, 0x19, 0x1A}},
    {"InvertedMarks", "¡¿", {0x40, 0x60}},
    // Without a code: the base letter, or "?".
    {"AAcuteAsA", "á", {0x61}},
    {"EGraveCapitalAsE", "È", {0x45}},
    {"ACircumflexAsA", "â", {0x61}},
    {"OCircumflexAsO", "ô", {0x6F}},
    {"DecomposedEAcuteIsComposed", "e\xCC\x81", {0x05}},
    {"StrayCombiningMarkDropped", "q\xCC\x83", {0x71}},
    {"StrokeHasNoBaseLetter", "ł", {0x3F}},
    {"EmojiIsOneQuestionMark", "😀", {0x3F}},
    {"NoBreakSpaceHasNoCode", "\xC2\xA0", {0x3F}},
};
INSTANTIATE_TEST_SUITE_P(Characters, SentAs, testing::ValuesIn(kSent),
                         [](const testing::TestParamInfo<Sent>& info) { return info.param.name; });

// What the recipient sees is what was typed, for all of printable ASCII
// except "`", which the default alphabet lacks.
TEST(SentAs, PrintableAsciiReadsBack)
{
    QString typed;
    for (char16_t c = 0x20; c < 0x7F; ++c)
        if (c != u'`')
            typed += QChar(c);
    const SubmitPdu r = EncodeSubmit("+39", "1", typed, false, false);
    ASSERT_EQ(SubmitPdu::Error::None, r.error);
    EXPECT_EQ(typed, RivTesto(2, r.pdu));
    EXPECT_EQ(typed.size() + 8, r.septets); // eight escape pairs: [ \ ] ^ { | } ~
}

// A Latin-1 character reads back as itself when the alphabet has it, else
// as its canonical base letter, else as "?". (Ç, ¡ and ¿ go out at their
// standard codes, which this program shows as ç, @ and `.)
TEST(SentAs, Latin1ReadsBackAsItselfOrItsBaseLetter)
{
    const char16_t shownOtherwise[][2] = {{u'Ç', u'ç'}, {u'¡', u'@'}, {u'¿', u'`'}};
    for (char16_t c = 0xA0; c <= 0xFF; ++c) {
        const QString typed(QChar{c});
        QString base;
        for (QChar d : typed.normalized(QString::NormalizationForm_D))
            if (!d.isMark())
                base += d;
        QString expected = base.size() == 1 && base != typed ? base : QStringLiteral("?");
        const SubmitPdu r = EncodeSubmit("+39", "1", typed, false, false);
        const QString shown = RivTesto(2, r.pdu);
        if (shown == typed)
            continue;
        for (const auto& pair : shownOtherwise)
            if (c == pair[0])
                expected = QChar(pair[1]);
        EXPECT_EQ(expected, shown) << "U+" << std::hex << int(c);
    }
}

} // namespace
