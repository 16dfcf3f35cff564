// SPDX-License-Identifier: GPL-3.0-or-later
// ConcatInfo: the concatenation element of the user-data header (TS 23.040
// 9.2.3.24.1 and 9.2.3.24.8) of received and stored messages, and the
// headers and elements it must not take for one.
#include "pdu/pdu.h"

#include "test_pdus.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>

namespace {

using testpdu::codesOf;
using testpdu::deliver;
using testpdu::packed;

struct ConcatCase {
    const char* name;
    QString pak;
    std::optional<ConcatPart> part;
};

void PrintTo(const ConcatCase& c, std::ostream* os) { *os << c.name << " " << c.pak.toStdString(); }

std::string name(const testing::TestParamInfo<ConcatCase>& info) { return info.param.name; }

QString hex(const std::string& digits) { return QString::fromStdString(digits); }

ConcatPart eightBit(int reference, int total, int index) { return ConcatPart{reference, total, index, false}; }
ConcatPart sixteenBit(int reference, int total, int index) { return ConcatPart{reference, total, index, true}; }

class Concat : public testing::TestWithParam<ConcatCase> {};

TEST_P(Concat, Element)
{
    const ConcatCase& c = GetParam();
    const std::optional<ConcatPart> got = ConcatInfo(1, c.pak);
    ASSERT_EQ(got.has_value(), c.part.has_value());
    if (!got)
        return;
    EXPECT_EQ(got->reference, c.part->reference);
    EXPECT_EQ(got->total, c.part->total);
    EXPECT_EQ(got->index, c.part->index);
    EXPECT_EQ(got->wideReference, c.part->wideReference);
}

// Parts of concatenated messages from independent sources: gammu's dump 22
// (tests/at-sms), libosmocore's sms_test, and the sample phone's message
// that gammu reads as "ID (8 bit) 167, part 1 of 2". The others are built
// field by field from TS 23.040.
const ConcatCase kParts[] = {
    {"GammuDumpFirstOfTwo",
     "0791246020099990400C91247042972767000070107031107440A005000301020182E8B71A040FDBD9651688"
     "1E5E83DA65907D5C968741EEF49AFC06B9CBEFB53C4C66B34061771AE42EEBDDE1799AED4EB34161D0BA0E7F"
     "93D3F63A483D2FB74161771AE42ED7E7EE3A3BCC0285C720FABB5D07B5DF6390BB3C1FA3C3FA32FBAD4BB940"
     "D43219342F83C6E8FC9C1E6E83E0F2F0F86D0FD3416150FBAD77874169903B0CA2BF41",
     eightBit(1, 2, 1)},
    {"LibosmocoreSecondOfTwo",
     deliver("44", "00", "2F",
             "0500036F0202"
             "4074747A0E4ACF4161D0BC3C7EBBC9207A794E6F97E7F3F0B9EC0295DD6410BA2C2FBB00"),
     eightBit(0x6F, 2, 2)},
    {"SampleReference167",
     "0791933395066900440C91934310325476000042300291334440A0050003A7020186E9F01B744CD7D9E9300B444F83E66379DAFE06"
     "C1CB72103B0C1A97DD6110390D9A87C561FA5B070A8BC5E970FB0D82CBCBEE373D4C7F83C86150332C4FBF416136BB0C92C1743318"
     "0B344F87DB6F50DA0D7AD3E96F1708FA96D3C3207A1D946683C86FF6B8FC0325DF2078D93D7F83C26C903DED7E83CAA0701A644EBF"
     "E56916E8BDFE8184",
     eightBit(167, 2, 1)},
    // Seven header octets are eight septets: no fill bits.
    {"SixteenBitReference",
     deliver("44", "00", "0C",
             "060804123403"
             "02" + packed(codesOf("Ciao"))),
     sixteenBit(0x1234, 3, 2)},
    {"SixteenBitReferenceHighOctetFirst",
     deliver("44", "08", "0B",
             "060804ABCD0201"
             "00410042"),
     sixteenBit(0xABCD, 2, 1)},
    {"EightBitData",
     deliver("44", "04", "08",
             "050003070202"
             "4869"),
     eightBit(7, 2, 2)},
    {"LastOfThree", deliver("44", "00", "09", "050003090303" + packed(codesOf("Ok"), 1)), eightBit(9, 3, 3)},
    {"AfterPictureElement",
     deliver("44", "00", "11",
             "09"
             "0D020207"
             "0003050302"
                 + packed(codesOf("Ciao!"), 4)),
     eightBit(5, 3, 2)},
    {"LowerCaseHex", deliver("44", "00", "09", "050003aa0201" + packed(codesOf("Ok"), 1)).toLower(),
     eightBit(0xAA, 2, 1)},
    // The last of two concatenation elements counts (TS 23.040 9.2.3.24).
    {"LastElementCounts",
     deliver("44", "00", "10",
             "0B"
             "0003010201"
             "080400090202"
                 + packed(codesOf("Hi"), 2)),
     sixteenBit(9, 2, 2)},
    {"InvalidLastElementLeavesTheFirst",
     deliver("44", "00", "0F",
             "0A"
             "0003010201"
             "0003020200"
                 + packed(codesOf("Hi"), 3)),
     eightBit(1, 2, 1)},
    // Stored SMS-SUBMITs: the header follows a validity period of the length
    // its format gives (none, relative, absolute).
    {"SubmitRelativeValidity", hex("005100099193550501F00000AA0B0500032A0303" + packed(codesOf("Ciao"), 1)),
     eightBit(0x2A, 3, 3)},
    {"SubmitNoValidity", hex("004100099193550501F000000B0500032B0301" + packed(codesOf("Ciao"), 1)),
     eightBit(0x2B, 3, 1)},
    {"SubmitAbsoluteValidity",
     hex("005900099193550501F00000301082415370400C060804010202"
         "02"
         + packed(codesOf("Ciao"))),
     sixteenBit(0x0102, 2, 2)},
};
INSTANTIATE_TEST_SUITE_P(Parts, Concat, testing::ValuesIn(kParts), name);

// No part of a concatenated message.
const ConcatCase kNone[] = {
    {"NoHeaderIndicator", deliver("04", "00", "0C", "05000301020186E9F03B04"), std::nullopt},
    {"PictureElementOnly", deliver("44", "00", "0B", "040D0203060CD3E17708"), std::nullopt},
    {"TotalZeroIgnored", deliver("44", "00", "09", "050003070001" + packed(codesOf("Ok"), 1)), std::nullopt},
    {"IndexZeroIgnored", deliver("44", "00", "09", "050003070200" + packed(codesOf("Ok"), 1)), std::nullopt},
    {"IndexBeyondTotalIgnored", deliver("44", "00", "09", "050003070203" + packed(codesOf("Ok"), 1)), std::nullopt},
    {"EightBitElementOfWrongLength", deliver("44", "00", "0C", "06000407020100" + packed(codesOf("Ciao"))),
     std::nullopt},
    {"ElementRunsPastHeader", deliver("44", "00", "09", "040003070201" + packed(codesOf("Ok"), 1)), std::nullopt},
    {"HeaderLongerThanData", deliver("44", "00", "05", "FF"), std::nullopt},
    {"UserDataCutInHeader", deliver("44", "00", "0A", "050003"), std::nullopt},
    {"StatusReport", "0791933395066900462A0C91934317325476424050015100804240500151208000", std::nullopt},
    {"Empty", "", std::nullopt},
};
INSTANTIATE_TEST_SUITE_P(None, Concat, testing::ValuesIn(kNone), name);

} // namespace
