// SPDX-License-Identifier: GPL-3.0-or-later
// The recipient taken from the field, the packing of "ZIP SMS", and the
// reference of a message sent.
#include "phone/sending/compose.h"
#include "phonebook/qstring_printer.h"

#include <gtest/gtest.h>

namespace {

TEST(RecipientFromField, TheNumberBeforeTheBar)
{
    const std::pair<const char16_t*, const char16_t*> cases[] = {
        {u"12345", u"12345"},
        {u"  +3912345678  ", u"+3912345678"},
        {u"+390123456789       ³ Ufficio       ", u"+390123456789"}, // a picked row
        {u"123   ³ Nome ³ x", u"123"},                               // the first bar counts
        {u"                     ³               ", u""},             // a picked empty slot
        {u"³ Nome", u""},
        {u"   ", u""},
        {u"", u""},
        {u"12 34", u"12 34"}, // inner spaces are the encoder's business
    };
    for (const auto& [field, recipient] : cases)
        EXPECT_EQ(RecipientFromField(QString::fromUtf16(field)), QString::fromUtf16(recipient));
}

TEST(ZipSms, WordsAlternateInCaseAndSpacesGo)
{
    struct Case {
        const char16_t* text;
        const char16_t* packed;
        const char* what;
    };
    const Case cases[] = {
        {u"ciao come stai", u"CIAOcomeSTAI", "three words"},
        {u"ciao, come stai?", u"CIAO,comeSTAI?", "punctuation belongs to its word"},
        {u"ciao  come", u"CIAOCOME", "a second space is an empty word"},
        {u" ciao come", u"ciaoCOME", "a leading space is an empty first word"},
        {u"ciao ", u"CIAO", "a trailing space"},
        {u"", u"", "nothing"},
        {u"senzaspazi", u"SENZASPAZI", "one word"},
        {u"CIAOcomeSTAI", u"CIAOCOMESTAI", "packed twice: one word"},
        {u"ciao\r\ncome stai bene", u"CIAO\r\nCOMEstaiBENE", "a line break is inside a word"},
        {u"a\tb c", u"A\tBc", "a tab is inside a word"},
        {u"è già così però", u"ÈgiàCOSÌperò", "accented letters of Windows-1252"},
        {u"œuvre šalša ÿ", u"ŒUVREšalšaŸ", "letters of 0x80-0x9F"},
        {u"Straße mit µ", u"STRAßEmitµ", "letters without a partner keep their case"},
        {u"UNO DUE TRE", u"UNOdueTRE", "upper case goes lower too"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ZipSms(QString::fromUtf16(c.text)), QString::fromUtf16(c.packed)) << c.what;
}

TEST(ZipSms, YieldsOncePerCharacterAndTheAddedSpace)
{
    int yields = 0;
    EXPECT_EQ(ZipSms(QStringLiteral("ab cd"), [&] { ++yields; }), QStringLiteral("ABcd"));
    EXPECT_EQ(yields, 6);
}

} // namespace

// ---- the reference a status report will name ----

TEST(DeliveryReports, TheReferenceInTheConfirmation)
{
    EXPECT_EQ(CmgsReference("+CMGS: 12"), 12);
    EXPECT_EQ(CmgsReference("+CMGS:0"), 0);
    EXPECT_EQ(CmgsReference("+CMGS: 255,\"24121015300000\""), 255);
    EXPECT_EQ(CmgsReference("+CMGS: 256"), std::nullopt);
    EXPECT_EQ(CmgsReference("OK"), std::nullopt);
    EXPECT_EQ(CmgsReference("+CMGS: x"), std::nullopt);
}
