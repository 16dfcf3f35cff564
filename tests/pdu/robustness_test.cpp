// SPDX-License-Identifier: GPL-3.0-or-later
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

const char* const kNotChecked = nullptr;

using Malformed = testpdu::Fields;

class MalformedPdu : public testing::TestWithParam<Malformed> {};

TEST_P(MalformedPdu, Fields) { testpdu::expectFields(GetParam()); }

// SMS-DELIVER from +395550100 without service centre, stamp 2003-01-28
// 14:35:07, up to the user-data length.
#define HEAD "0004099193550501F0000030108241537040"

const Malformed kMalformed[] = {
    // No first octet: no message.
    {"Empty", 0, "", "", "", "", "", ""},
    {"EmptySubmit", 2, "", "", "", "", "", ""},
    {"EmptyOtherStatus", 7, "", "", "", "", "", ""},
    {"NoHexAtAll", 0, "ZZ", "", "", "", "", ""},
    {"ServiceCentreLengthBeyondData", 0, "FF91", "+", "", "", "", ""},
    // First octet 91: an SMS-SUBMIT that ends there.
    {"ServiceCentreLengthZeroFirstOctet91", 0, "0091", "+", "", "        ", "        ", ""},
    {"LowerCaseDigits", 0, "0691935505000004099193550501f000003010824153704004c374f80d", "+3955500000", "+395550100",
     "14:35:07", "28/01/03", "Ciao"},
    // Odd length: the user data is read in pairs from the end, 4C 37 4F 80 D0.
    {"OddLengthReadsPairsFromTheEnd", 0, "0691935505000004099193550501F000003010824153704004C374F80D0", "+3955500000",
     "+395550100", "14:35:07", "28/01/03", "Ln<$"},
    {"OddLengthCutInUserData", 5, HEAD "04C374F80", "", "+395550100", "14:35:07", "28/01/03", "Ln<$"},
    // "Z4" reads 0, "4Z" reads 4.
    {"NonHexPairReadsZero", 5, HEAD "04C3Z4F80D", "", "+395550100", "14:35:07", "28/01/03", "C£`o"},
    {"HalfHexPairReadsLeadingDigit", 5, HEAD "04C34ZF80D", "", "+395550100", "14:35:07", "28/01/03", "Cç`o"},
    // A closing quote left after the PDU: the fields before the text stay.
    {"QuoteAfterPdu", 0, HEAD "04C374F80D\"", "", "+395550100", "14:35:07", "28/01/03", kNotChecked},
    {"AddressLengthBeyondData", 0, "0004FF91123", "", "+213", "::", "//", ""},
    {"StampCutShort", 0, "0004009100003010", "", "+", "::", "/01/03", ""},
    {"StatusReportCutAfterReference", 0, "000601", "", "", "::", "//", "Esito sconosciuto, rif. 1"},
};
INSTANTIATE_TEST_SUITE_P(Pdus, MalformedPdu, testing::ValuesIn(kMalformed), testpdu::rowName);

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
        switch (PduKind(pak)) {
        case SmsKind::Deliver:
        case SmsKind::StatusReport:
            ASSERT_LE(time.size(), 8);
            ASSERT_EQ(2, time.count(u':')); // no ":" in the random texts
            ASSERT_LE(date.size(), 8);
            break;
        case SmsKind::Submit:
            ASSERT_EQ(u"        ", time);
            ASSERT_EQ(u"        ", date);
            break;
        case SmsKind::Unknown:
            ASSERT_TRUE(time.isEmpty() && date.isEmpty() && number.isEmpty() && text.isEmpty());
            break;
        }
        ASSERT_LE(number.size(), 257);
    }
}

// A text far longer than any message: only the first octets count.
TEST(Robustness, HugeTextDecodesItsLength)
{
    const QString pak = QStringLiteral("00040091000030108241537040A0") + QString(1 << 20, u'0');
    EXPECT_EQ(QString(160, u'@'), RivTesto(0, pak));
    const QString submit = QStringLiteral("00010000910000A0") + QString(1 << 20, u'0');
    EXPECT_EQ(QString(160, u'@'), RivTesto(9, submit));
}

} // namespace
