// SPDX-License-Identifier: GPL-3.0-or-later
// RivTesto: 7-bit unpacking, the alphabet and its escape pairs, picture
// texts, the user-data header, and the data coding scheme.
#include "pdu/pdu.h"

#include "test_pdus.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <ios>
#include <ostream>

namespace {

using testpdu::codesOf;
using testpdu::deliver;
using testpdu::packed;

struct TextCase {
    const char* name;
    QString pak;
    QString text;
    int16_t tipo = 0;
};

void PrintTo(const TextCase& c, std::ostream* os) { *os << c.name << " " << c.pak.toStdString(); }

class Text : public testing::TestWithParam<TextCase> {};

TEST_P(Text, Decodes) { EXPECT_EQ(GetParam().text, RivTesto(GetParam().tipo, GetParam().pak)); }

std::string name(const testing::TestParamInfo<TextCase>& info) { return info.param.name; }

QString u(const char* utf8) { return QString::fromUtf8(utf8); }

// 7-bit data without a header, built from its codes.
QString codes(const std::vector<int>& septets)
{
    char udl[3];
    std::snprintf(udl, sizeof udl, "%02X", unsigned(septets.size()));
    return deliver("04", "00", udl, packed(septets));
}

const QString kEsc(QChar(27));

// The originator "+395550100" and stamp of the stored messages below.
const char kHead[] = "0004099193550501F0000030108241537040";

const TextCase kSevenBit[] = {
    {"CiaoInFourOctets", deliver("04", "00", "04", "C374F80D"), u("Ciao")},
    {"SevenCharactersInSevenOctetsCutByLength", QString(kHead) + "0741E19058341E01", u("ABCDEFG")},
    {"LengthBeyondDataGivesShorterText", deliver("04", "00", "0A", "C374F80D"), u("Ciao")},
    {"LengthZeroIsEmpty", deliver("04", "00", "00", "C374F80D"), u("")},
    {"NoUserData", deliver("04", "00", "", ""), u("")},
    {"EightBitDataReadAsSevenBitWhenDcsSaysSo", deliver("04", "00", "02", "4869"), u("HR")},
    {"LineFeedAndCarriageReturnStay", codes({65, 10, 13, 66}), u("A\n\rB")},
    {"ZeroAndSixtyFourAreBothAt", codes({0, 64}), u("@@")},
    {"RingAboveCapitalAndSmall", codes({14, 15}), u("Åå")},
    {"TwentyThreeIsYenLikeThree", codes({3, 23}), u("¥¥")},
    {"NineIsSmallCCedilla", codes({9}), u("ç")},
    {"GreekCapitalsShowAsQuestionMarks", codes({16, 18, 22, 24, 26}), u("?????")},
    {"NinetySixStaysGrave", codes({96}), u("`")},
    {"SixtyFourToNinetyOne", codes({91, 92, 93, 94, 95, 123, 124, 125, 126, 127}), u("ÄÖÑÜ§äöñüà")},
    {"EscapePairsOfTheExtensionTable",
     codes({27, 10, 27, 20, 27, 40, 27, 41, 27, 47, 27, 60, 27, 61, 27, 62, 27, 64, 27, 101}), u("\f^{}\\[~]|€")},
    {"EscapeBeforeOtherCodeStays", codes({27, 65, 66}), kEsc + u("AB")},
    {"FinalEscapeStays", codes({65, 27}), u("A") + kEsc},
    {"EscapeEscapeEuro", codes({27, 27, 101}), kEsc + u("€")},
    // Published 7-bit vectors (libosmocore's sms_test): "^" and the
    // brackets are escape pairs, "$" is 0x02, "@" 0x00, "_" 0x11.
    {"PublishedEscapeText",
     deliver("04", "00", "29", "2101280C6ABFE5E5D186D2028DDF6D383B3D0ED3CB6410BD3CA70300BF4829041A87E765"),
     u("!$ a more#^- complicated test@@?_%! case")},
    {"PublishedExtensionText",
     deliver("04", "00", "27", "65373AEC1E97C9A00D05B4416D7C1BDE2605A297E774D006B8DAF4401B0A885E9ED301"),
     u("enhanced ^ {][} test |+~ ^ test")},
};
INSTANTIATE_TEST_SUITE_P(SevenBit, Text, testing::ValuesIn(kSevenBit), name);

// Pictures read from the septets, first octet without the header indicator.
const TextCase kPicturesWithoutIndicator[] = {
    {"PictureAtPositionThree", "0691935505000004099193550501F00000301082415370400B040D0203060CD3E17708",
     u("Cia img:Ammiccare o!")},
    {"PictureAtPositionZero", QString(kHead) + "0B040D02000E0CD3E17708", u(" img:Diabolico Ciao!")},
    {"PictureAtPositionTwentyNotRecognised", QString(kHead) + "0B040D0214060CD3E17708", u("è?ò a@Ciao!")},
    {"ConcatenationHeaderShownAsCharacters", QString(kHead) + "0C05000301020186E9F03B04", u("é@øò  @Ciao!")},
    // Position 15 (fourth code 120) after a five-character text.
    {"PicturePositionBeyondTextGoesToEnd", deliver("04", "00", "0B", "040D020F06" + packed(codesOf("Ciao!"), 2)),
     u("Ciao! img:Ammiccare ")},
    {"HeaderCodesWithoutAnimationStay", codes({4, 26, 8, 0, 112, 1, 65}), u("è?ò@p£A")},
    {"ShortHeaderCodesStay", codes({4, 26, 8}), u("è?ò")},
};
INSTANTIATE_TEST_SUITE_P(PicturesWithoutIndicator, Text, testing::ValuesIn(kPicturesWithoutIndicator), name);

// First octet 44: SMS-DELIVER with the user-data-header indicator.
const TextCase kWithHeader[] = {
    {"ConcatenationHeaderLeftOut", deliver("44", "00", "0C", "05000301020186E9F03B04"), u("Ciao!")},
    {"PictureAtPositionThree", deliver("44", "00", "0B", "040D0203060CD3E17708"), u("Cia img:Ammiccare o!")},
    {"PictureBeyondTextGoesToEnd", deliver("44", "00", "0B", "040D0214060CD3E17708"), u("Ciao! img:Ammiccare ")},
    // Header of 10 octets: the text starts after 4 fill bits.
    {"PictureAfterConcatenationElement",
     deliver("44", "00", "11",
             "090003010201"
             "0D020207"
                 + packed(codesOf("Ciao!"), 4)),
     u("Ci img:Sto ridendo ao!")},
    {"TwoPicturesAtOnePositionKeepHeaderOrder",
     deliver("44", "00", "10", "080D0201040D020100" + packed(codesOf("Ciao!"), 5)),
     u("C img:WOW!  img:Sono ironico iao!")},
    {"PicturesInPositionOrder", deliver("44", "00", "10", "080D0203010D020104" + packed(codesOf("Ciao!"), 5)),
     u("C img:WOW! ia img:Sono Felice o!")},
    {"LastAnimationFourteen", deliver("44", "00", "0B", "040D02000E" + packed(codesOf("Ciao!"), 2)),
     u(" img:Diabolico Ciao!")},
    {"UnknownAnimationLeftOut", deliver("44", "00", "0B", "040D02030F" + packed(codesOf("Ciao!"), 2)), u("Ciao!")},
    {"HeaderLongerThanData", deliver("44", "00", "05", "FF"), u("")},
    {"LengthInsideHeader", deliver("44", "00", "03", "050003010201C3"), u("")},
    {"UcsTwoAfterHeader", deliver("44", "08", "0A", "05000301020100480069"), u("Hi")},
    {"EightBitWithPicture", deliver("44", "04", "07", "040D0201044869"), u("H img:WOW! i")},
    {"PicturePositionCountsSurrogatePairAsOne", deliver("44", "08", "0B", "040D020104D83DDE000041"), u("😀 img:WOW! A")},
    // libosmocore's concatenated vectors: 6-octet header, one fill bit.
    {"PublishedSecondPartOneFillBit",
     deliver("44", "00", "2F",
             "0500036F0202"
             "4074747A0E4ACF4161D0BC3C7EBBC9207A794E6F97E7F3F0B9EC0295DD6410BA2C2FBB00"),
     u(" this is a second testmessage. end here.")},
    {"StoredSubmitWithHeader", "005100099193550501F00000AA0B040D0203060CD3E17708", u("Cia img:Ammiccare o!"), 2},
};
INSTANTIATE_TEST_SUITE_P(WithHeader, Text, testing::ValuesIn(kWithHeader), name);

const TextCase kCodingSchemes[] = {
    {"EightBitGivesHi", deliver("04", "04", "02", "4869"), u("Hi")},
    {"EightBitWindows1252Punctuation", deliver("04", "04", "04", "8093948D"), u("€“”\u008D")},
    {"EightBitClassInGroup1111", deliver("04", "F5", "02", "4869"), u("Hi")},
    {"CompressedShownAsOctets", deliver("04", "20", "02", "4869"), u("Hi")},
    {"UcsTwoEmojiArrivesWhole", deliver("04", "08", "0E", "004300690061006F0020D83DDE00"), u("Ciao 😀")},
    {"UcsTwoLoneSurrogateReplaced", deliver("04", "08", "04", "D83D0041"), u("\uFFFDA")},
    {"UcsTwoOddLastOctetDropped", deliver("04", "08", "03", "004100"), u("A")},
    {"UcsTwoLengthBeyondData", deliver("04", "08", "10", "00410042"), u("AB")},
    {"UcsTwoWithClass", deliver("04", "18", "02", "00E8"), u("è")},
    {"UcsTwoAutoDeletionGroup", deliver("04", "48", "02", "00E8"), u("è")},
    {"UcsTwoMessageWaitingGroup", deliver("04", "E0", "02", "00E8"), u("è")},
    {"SevenBitMessageWaitingDiscard", deliver("04", "C0", "04", "C374F80D"), u("Ciao")},
    {"SevenBitMessageWaitingStore", deliver("04", "D1", "04", "C374F80D"), u("Ciao")},
    {"SevenBitFlash", deliver("04", "F0", "04", "C374F80D"), u("Ciao")},
    {"ReservedAlphabetIsSevenBit", deliver("04", "0C", "04", "C374F80D"), u("Ciao")},
    {"ReservedGroupIsSevenBit", deliver("04", "80", "04", "C374F80D"), u("Ciao")},
};
INSTANTIATE_TEST_SUITE_P(CodingSchemes, Text, testing::ValuesIn(kCodingSchemes), name);

// Stored SMS-SUBMITs: the validity period has the length its format says.
const TextCase kValidityPeriods[] = {
    {"Relative", "001100099193550501F00000AA04C374F80D", u("Ciao"), 2},
    {"NotPresent", "000100099193550501F0000004C374F80D", u("Ciao"), 3},
    {"Absolute", "001900099193550501F000003010824153704004C374F80D", u("Ciao"), 2},
    {"Enhanced",
     "000900099193550501F0000001000000000000"
     "04C374F80D",
     u("Ciao"), 2},
};
INSTANTIATE_TEST_SUITE_P(ValidityPeriod, Text, testing::ValuesIn(kValidityPeriods), name);

} // namespace
