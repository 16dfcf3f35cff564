// Malformed stored messages: short, odd-length, non-hexadecimal or empty
// text, lengths larger than the data, any status. The decoders give what
// the pair-reading rule gives and never read outside the text (the
// sanitizer build checks the reads).
#include "pdu/pdu.h"

#include "test_pdus.h"

#include <gtest/gtest.h>

#include <ostream>
#include <random>

namespace {

using Malformed = testpdu::Fields;

class MalformedPdu : public testing::TestWithParam<Malformed> {};

TEST_P(MalformedPdu, Fields)
{
    const Malformed& m = GetParam();
    const QString pak = QString::fromLatin1(m.pak);
    EXPECT_EQ(QString::fromUtf8(m.serviceCentre), RivNumCS(pak));
    EXPECT_EQ(QString::fromUtf8(m.number), RivNumMT(m.tipo, pak));
    EXPECT_EQ(QString::fromUtf8(m.time), RivOra(m.tipo, pak));
    EXPECT_EQ(QString::fromUtf8(m.date), RivData(m.tipo, pak));
    EXPECT_EQ(QString::fromUtf8(m.text), RivTesto(m.tipo, pak));
}

const Malformed kMalformed[] = {
    {"Empty", 0, "", "", "", "::", "//", ""},
    {"EmptySubmit", 2, "", "", "", "        ", "        ", ""},
    {"EmptyOtherStatus", 7, "", "", "", "", "", ""},
    {"NoHexAtAll", 0, "ZZ", "", "", "::", "//", ""},
    {"ServiceCentreLengthBeyondData", 0, "FF91", "+", "", "::", "//", ""},
    {"ServiceCentreLengthZeroFirstOctet91", 0, "0091", "+", "", "::", "//", ""},
    // Lower-case digits read as hex, but only an upper-case "F" is a filler.
    {"LowerCaseDigits", 0, "0691935505000004099193550501f000003010824153704004c374f80d",
     "+3955500000", "+395550100f", "14:35:07", "28/01/03", "Ciao"},
    // Odd length: the user data is read in pairs from the end, 4C 37 4F 80 D0.
    {"OddLengthReadsPairsFromTheEnd", 0,
     "0691935505000004099193550501F000003010824153704004C374F80D0", "+3955500000", "+395550100",
     "14:35:07", "28/01/03", "Ln<$"},
    {"OddLengthOtherStatus", 5, "04C374F80", "478F0", "", "", "", "Ln<$"},
    // "Z4" reads 0, "4Z" reads 4.
    {"NonHexPairReadsZero", 5, "04C3Z4F80D", "4Z8FD0", "", "", "", "C£`o"},
    {"HalfHexPairReadsLeadingDigit", 5, "04C34ZF80D", "Z48FD0", "", "", "", "Cç`o"},
    {"AddressLengthBeyondData", 0, "0004FF91123", "", "+213", "::", "//", ""},
    {"StampCutShort", 0, "0004009100003010", "", "+", "::", "/01/03", ""},
};
INSTANTIATE_TEST_SUITE_P(Pdus, MalformedPdu, testing::ValuesIn(kMalformed),
                         [](const testing::TestParamInfo<Malformed>& info) { return info.param.name; });

// Random texts of hex and other characters with every kind of status: the
// results keep their shapes. Seeded, so a failure repeats.
TEST(Robustness, RandomTexts)
{
    std::mt19937 random(20240501);
    const char alphabet[] = "0123456789ABCDEF0123456789ABCDEFabcdefXZ +\xB3";
    for (int round = 0; round < 20000; ++round) {
        const int length = int(random() % 400);
        QString pak;
        for (int i = 0; i < length; ++i)
            pak += QLatin1Char(alphabet[random() % (sizeof alphabet - 1)]);
        const auto tipo = int16_t(int(random() % 12) - 4);
        const QString time = RivOra(tipo, pak);
        const QString date = RivData(tipo, pak);
        const QString text = RivTesto(tipo, pak);
        RivNumCS(pak);
        const QString number = RivNumMT(tipo, pak);
        if (tipo == 0 || tipo == 1) {
            ASSERT_LE(time.size(), 8);
            ASSERT_EQ(2, time.count(u':')); // no ":" in the random texts
            ASSERT_LE(date.size(), 8);
        } else if (tipo == 2 || tipo == 3) {
            ASSERT_EQ(u"        ", time);
            ASSERT_EQ(u"        ", date);
        } else {
            ASSERT_TRUE(time.isEmpty() && date.isEmpty() && number.isEmpty());
        }
        ASSERT_LE(number.size(), 257);
    }
}

// A text far longer than any message: only the first octets count.
TEST(Robustness, HugeTextDecodesItsLength)
{
    const QString pak = QStringLiteral("00040091000030108241537040A0") + QString(1 << 20, u'0');
    EXPECT_EQ(QString(160, u'@'), RivTesto(0, pak));
    EXPECT_EQ(QString(160, u'@'), RivTesto(9, QStringLiteral("A0") + QString(1 << 20, u'0')));
}

} // namespace
