// SPDX-License-Identifier: GPL-3.0-or-later
// USSD strings as modems give them and take them. The packed vectors are
// the ones the modem forums quote for Huawei sticks ("*100#" is
// AA180C3602) and the classic "hellohello" of TS 23.038's packing.
#include "pdu/ussd.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

std::string utf8(const QString& s) { return s.toStdString(); }

struct Reading {
    const char* name;
    const char16_t* str;
    std::optional<int> dcs;
    const char16_t* text;
    UssdReading reading;
};

const Reading kReadings[] = {
    // The 7-bit alphabet in each form a modem uses.
    {"plain text, dcs 15", u"Credito residuo 5,00 EUR", 15, u"Credito residuo 5,00 EUR", UssdReading::AsCoded},
    {"packed hex, dcs 15", u"4379999CA6BF41F2F23C4DAEBF4135160C062A56A5", 15, u"Credito residuo 5,00 EUR",
     UssdReading::AsCoded},
    {"packed hex in lower case", u"4379999ca6bf41f2f23c4daebf4135160c062a56a5", 15, u"Credito residuo 5,00 EUR",
     UssdReading::AsCoded},
    {"unpacked hex, dcs 15", u"53616C646F3A2031322C3530", 15, u"Saldo: 12,50", UssdReading::AsCoded},
    {"the classic packed vector", u"E8329BFD4697D9EC37", 0x0F, u"hellohello", UssdReading::AsCoded},
    {"7 spare bits padded with CR", u"41E19058341E1B", 15, u"ABCDEFG", UssdReading::AsCoded},
    {"7 spare bits padded with zeros", u"41E19058341E01", 15, u"ABCDEFG", UssdReading::AsCoded},
    {"dcs 0x0F of group 0, no dcs at all", u"Saldo 3 EUR", std::nullopt, u"Saldo 3 EUR", UssdReading::AsCoded},
    {"the phone's GSM bytes: è is 0x04, € an escape pair", u"Credito \x0004 5\x001B\x0065", 15, u"Credito è 5€",
     UssdReading::AsCoded},
    {"extension characters packed", u"1BDE31790C6E7CA00D2A06DB943729D0A607DA50401B20", 15, u"[GIGA] {10€} ~ ^ |",
     UssdReading::AsCoded},
    {"extension characters unpacked", u"1B3C474947411B3E201B2831301B651B29201B3D201B14201B40", 15,
     u"[GIGA] {10€} ~ ^ |", UssdReading::AsCoded},
    {"a menu with its line end, packed", u"31D034CC26BF1532D0D36C2ECBE965", 15, u"1 Saldo\n2 Offerte",
     UssdReading::AsCoded},
    // UCS2: 72 (0x48), 0x11 with its language, and the general group.
    {"UCS2 hex, dcs 72", u"04110430043B0430043D0441003A00200031003000300020044004430431002E", 72, u"Баланс: 100 руб.",
     UssdReading::AsCoded},
    {"UCS2 with an emoji", u"004300690061006F0020D83DDE00", 72, u"Ciao 😀", UssdReading::AsCoded},
    {"UCS2 after a language, dcs 0x11", u"E93200490074", 0x11, u"It", UssdReading::AsCoded},
    {"8-bit hex, dcs 0x44", u"53616C646F203520454F52", 0x44, u"Saldo 5 EOR", UssdReading::AsCoded},
    // What does not fit its dcs is read in the form that fits.
    {"dcs 15 but UCS2 hex", u"00530061006C0064006F00200035", 15, u"Saldo 5", UssdReading::OtherForm},
    {"dcs 72 but packed hex", u"D3309BFCD6816232560D062A56A5", 72, u"Saldo: 12,50 EUR", UssdReading::OtherForm},
    {"dcs 72 but plain text", u"Saldo 5 EUR", 72, u"Saldo 5 EUR", UssdReading::OtherForm},
    // What fits no form is shown as it came.
    {"hex that is no text in any form", u"1B", 15, u"1B", UssdReading::AsSent},
    {"UCS2 hex with half a surrogate pair", u"DFFF", 72, u"DFFF", UssdReading::AsSent},
    {"8-bit that is no text", u"1B1B1B", 0x44, u"1B1B1B", UssdReading::AsSent},
    {"a lone escape in the phone's bytes", u"Saldo\x001B", 15, u"Saldo\x001B", UssdReading::AsSent},
    {"empty", u"", 15, u"", UssdReading::AsCoded},
};

TEST(UssdDecode, EachFormOfEachCoding)
{
    for (const Reading& r : kReadings) {
        SCOPED_TRACE(r.name);
        const UssdText got = DecodeUssd(QString::fromUtf16(r.str), r.dcs);
        EXPECT_EQ(utf8(got.text), utf8(QString::fromUtf16(r.text)));
        EXPECT_EQ(int(got.reading), int(r.reading)) << utf8(got.text);
    }
}

TEST(UssdDecode, WhatIsPackedReadsBack)
{
    for (const char16_t* text : {u"[GIGA] {10€} ~ ^ |", u"1 Saldo\n2 Offerte", u"ABCDEFG", u"*100#"}) {
        const QString original = QString::fromUtf16(text);
        const std::optional<QString> packed = EncodeUssd(original, UssdForm::PackedHex);
        ASSERT_TRUE(packed) << utf8(original);
        EXPECT_EQ(utf8(DecodeUssd(*packed, 15).text), utf8(original));
    }
}

TEST(UssdDecode, AlphabetOfEachDcsGroup)
{
    struct Dcs {
        int dcs;
        UssdAlphabet alphabet;
    };
    const Dcs table[] = {
        {0x00, UssdAlphabet::Gsm7},     {0x0F, UssdAlphabet::Gsm7}, {0x10, UssdAlphabet::Gsm7},
        {0x11, UssdAlphabet::Ucs2},     {0x20, UssdAlphabet::Gsm7}, {0x40, UssdAlphabet::Gsm7},
        {0x44, UssdAlphabet::EightBit}, {0x48, UssdAlphabet::Ucs2}, {0x94, UssdAlphabet::EightBit},
        {0x98, UssdAlphabet::Ucs2},     {0xF0, UssdAlphabet::Gsm7}, {0xF4, UssdAlphabet::EightBit},
        {0xA0, UssdAlphabet::Gsm7},     {-1, UssdAlphabet::Gsm7},   {300, UssdAlphabet::Gsm7},
    };
    for (const Dcs& d : table)
        EXPECT_EQ(int(UssdAlphabetOf(d.dcs)), int(d.alphabet)) << d.dcs;
}

TEST(UssdEncode, TextAndPackedHex)
{
    struct Case {
        const char16_t* text;
        std::optional<const char*> asText;
        std::optional<const char*> packed;
    };
    const Case cases[] = {
        {u"*100#", "*100#", "AA180C3602"},
        {u"*123#", "*123#", "AA986C3602"},
        {u"hellohello", "hellohello", "E8329BFD4697D9EC37"},
        {u"1", "1", "31"},
        {u"ABCDEFG", "ABCDEFG", "41E19058341E1B"}, // 7 spare bits: a CR
        // Not the same byte in the GSM set: packed only.
        {u"@", std::nullopt, "00"},
        {u"$", std::nullopt, "02"},
        {u"a\"b", std::nullopt, "619118"},
        {u"è", std::nullopt, "04"},
        // Not in the alphabet, or nothing: neither.
        {u"ć", std::nullopt, std::nullopt},
        {u"😀", std::nullopt, std::nullopt},
        {u"", std::nullopt, std::nullopt},
    };
    for (const Case& c : cases) {
        const QString text = QString::fromUtf16(c.text);
        SCOPED_TRACE(utf8(text));
        const std::optional<QString> asText = EncodeUssd(text, UssdForm::Text);
        const std::optional<QString> packed = EncodeUssd(text, UssdForm::PackedHex);
        ASSERT_EQ(asText.has_value(), c.asText.has_value());
        if (asText) {
            EXPECT_EQ(utf8(*asText), *c.asText);
        }
        ASSERT_EQ(packed.has_value(), c.packed.has_value());
        if (packed) {
            EXPECT_EQ(utf8(*packed), *c.packed);
        }
    }
}

TEST(UssdEncode, AtMost182Septets)
{
    EXPECT_TRUE(EncodeUssd(QString(182, u'1'), UssdForm::PackedHex));
    EXPECT_EQ(EncodeUssd(QString(182, u'1'), UssdForm::PackedHex)->size(), 320); // 160 octets
    EXPECT_FALSE(EncodeUssd(QString(183, u'1'), UssdForm::PackedHex));
    EXPECT_FALSE(EncodeUssd(QString(183, u'1'), UssdForm::Text));
    EXPECT_FALSE(EncodeUssd(QString(92, u'€'), UssdForm::PackedHex)); // 184 septets
}

} // namespace
