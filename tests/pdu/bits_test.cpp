// SPDX-License-Identifier: GPL-3.0-or-later
// DecBin and BinDec: eight "0"/"1" characters, most significant bit first.
#include "pdu/pdu.h"

#include "test_pdus.h"

#include <gtest/gtest.h>

namespace {

struct Bits {
    int16_t value;
    const char* bits;
};

TEST(DecBin, MostSignificantBitFirstLowEightBitsOnly)
{
    const Bits cases[] = {
        {0, "00000000"},   {5, "00000101"},   {128, "10000000"},
        {255, "11111111"}, {300, "00101100"}, // 0x12C: the ninth bit is dropped
    };
    for (const Bits& c : cases)
        EXPECT_EQ(QLatin1String(c.bits), DecBin(c.value)) << c.value;
}

TEST(BinDec, ShortTextsHaveLeadingZerosAndOnlyEightAreRead)
{
    const Bits cases[] = {
        {5, "00000101"},   {127, "1111111"}, {1, "1"}, {0, ""}, {128, "100000001"}, // the ninth character is not read
        {5, "1x1"},                                                                 // anything but "1" is a zero bit
        {128, "10000000"},
    };
    for (const Bits& c : cases)
        EXPECT_EQ(c.value, BinDec(QLatin1String(c.bits))) << c.bits;
}

TEST(BitHelpers, InverseOnEveryByte)
{
    for (int16_t v = 0; v < 256; ++v)
        ASSERT_EQ(v, BinDec(DecBin(v)));
}

} // namespace
