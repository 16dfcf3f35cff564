// SPDX-License-Identifier: GPL-3.0-or-later
// EncodeSubmit: the SMS-SUBMIT hex text and the length for +CMGS=.
#include "pdu/pdu.h"

#include "test_pdus.h"

#include <gtest/gtest.h>

#include <ostream>

namespace {

struct Submit {
    const char* name;
    const char* serviceCentre;
    const char* recipient;
    QString text;
    bool flash;
    bool statusReport;
    const char* pdu;
    int cmgsLength;
};

void PrintTo(const Submit& s, std::ostream* os) { *os << s.name; }

class Encode : public testing::TestWithParam<Submit> {};

TEST_P(Encode, PduAndLength)
{
    const Submit& s = GetParam();
    const SubmitPdu r = EncodeSubmit(s.serviceCentre, s.recipient, s.text, s.flash, s.statusReport);
    EXPECT_EQ(SubmitPdu::Error::None, r.error);
    EXPECT_EQ(QLatin1String(s.pdu), r.pdu);
    EXPECT_EQ(s.cmgsLength, r.cmgsLength);
    // The length counts the octets after the service-centre address.
    const int scOctets = r.pdu.left(2).toInt(nullptr, 16);
    EXPECT_EQ(r.pdu.size() / 2 - (scOctets + 1), r.cmgsLength);
}

QString repeated(const char* utf8, int times) { return QString::fromUtf8(utf8).repeated(times); }

const Submit kSubmits[] = {
    {"AbcToFiveDigits", "+3912345678", "12345", "abc", false, false, "0691932143658711F305812143F50000FF0361F118", 14},
    {"FlashAndReportToInternational", "+3912345678", "+3912345678", "abc", true, true,
     "0691932143658731F30A91932143658700F0FF0361F118", 16},
    {"ReportOnlyChangesFirstOctet", "+3912345678", "12345", "abc", false, true,
     "0691932143658731F305812143F50000FF0361F118", 14},
    {"FlashOnlyChangesCodingScheme", "+3912345678", "12345", "abc", true, false,
     "0691932143658711F305812143F500F0FF0361F118", 14},
    {"EmptyText", "+3912345678", "12345", "", false, false, "0691932143658711F305812143F50000FF00", 11},
    {"EuroAloneIsEscapePair", "+3912345678", "12345", QString::fromUtf8("€"), false, false,
     "0691932143658711F305812143F50000FF029B32", 13},
    {"ServiceCentreOddDigitsHasFiller", "+391234567", "12345", "abc", false, false,
     "069193214365F711F305812143F50000FF0361F118", 14},
    {"ServiceCentreNational", "3912345678", "12345", "abc", false, false, "0681932143658711F305812143F50000FF0361F118",
     14},
    {"ServiceCentrePlusAlone", "+", "12345", "abc", false, false, "019111F305812143F50000FF0361F118", 14},
    {"RecipientPlusAlone", "+3912345678", "+", "abc", false, false, "0691932143658711F300910000FF0361F118", 11},
    {"RecipientEvenDigitsNoFiller", "+3912345678", "1234", "abc", false, false,
     "0691932143658711F3048121430000FF0361F118", 13},
    {"BlanksAroundNumbersIgnored", " +3912345678 ", "  12345 ", "abc", false, false,
     "0691932143658711F305812143F50000FF0361F118", 14},
    {"TwentyDigitRecipient", "+3912345678", "12345678901234567890", "a", false, false,
     "0691932143658711F31481214365870921436587090000FF0161", 19},
    // Published 7-bit packings (libosmocore's sms_test, the "hellohello"
    // of TS 23.040 walkthroughs).
    {"PublishedTestText", "+3912345678", "12345", "test text", false, false,
     "0691932143658711F305812143F50000FF09F4F29C0EA297F174", 19},
    {"PublishedHelloHello", "+3912345678", "12345", "hellohello", false, false,
     "0691932143658711F305812143F50000FF0AE8329BFD4697D9EC37", 20},
    {"PublishedEscapeText", "+3912345678", "12345", "!$ a more#^- complicated test@@?_%! case", false, false,
     "0691932143658711F305812143F50000FF29"
     "2101280C6ABFE5E5D186D2028DDF6D383B3D0ED3CB6410BD3CA70300BF4829041A87E765",
     47},
    {"PublishedExtensionText", "+3912345678", "12345", "enhanced ^ {][} test |+~ ^ test", false, false,
     "0691932143658711F305812143F50000FF27"
     "65373AEC1E97C9A00D05B4416D7C1BDE2605A297E774D006B8DAF4401B0A885E9ED301",
     46},
    {"PublishedExtensionTextEightSeptetsFillLastOctet", "+3912345678", "12345", "enhanced ^ {][} test |+~ ^ tests",
     false, false,
     "0691932143658711F305812143F50000FF28"
     "65373AEC1E97C9A00D05B4416D7C1BDE2605A297E774D006B8DAF4401B0A885E9ED3E7",
     46},
};
INSTANTIATE_TEST_SUITE_P(Submits, Encode, testing::ValuesIn(kSubmits),
                         [](const testing::TestParamInfo<Submit>& info) { return info.param.name; });

TEST(Encode, OneHundredSixtySeptetsFit)
{
    const struct {
        const char* name;
        QString text;
    } cases[] = {
        {"160 letters", repeated("a", 160)},
        {"80 euro signs", repeated("€", 80)},
    };
    for (const auto& c : cases) {
        const SubmitPdu r = EncodeSubmit("+3912345678", "12345", c.text, false, false);
        EXPECT_EQ(SubmitPdu::Error::None, r.error) << c.name;
        EXPECT_EQ(160, r.septets) << c.name;
        EXPECT_EQ(QLatin1String("A0"), r.pdu.mid(34, 2)) << c.name;
        EXPECT_EQ(11 + 140, r.cmgsLength) << c.name;
    }
}

TEST(Encode, MoreThan160SeptetsRefused)
{
    const struct {
        const char* name;
        QString text;
        int septets;
    } cases[] = {
        {"161 letters", repeated("a", 161), 161},
        {"159 letters and a euro sign", repeated("a", 159) + QString::fromUtf8("€"), 161},
        {"160 characters with brackets", repeated("[", 160), 320},
    };
    for (const auto& c : cases) {
        const SubmitPdu r = EncodeSubmit("+3912345678", "12345", c.text, false, false);
        EXPECT_EQ(SubmitPdu::Error::TooLong, r.error) << c.name;
        EXPECT_TRUE(r.pdu.isEmpty()) << c.name;
        EXPECT_EQ(0, r.cmgsLength) << c.name;
        EXPECT_EQ(c.septets, r.septets) << c.name;
    }
}

TEST(Encode, BadNumbersRefusedRecipientFirst)
{
    using E = SubmitPdu::Error;
    const struct {
        const char* serviceCentre;
        const char* recipient;
        E error;
    } cases[] = {
        {"+3912345678", "", E::BadRecipient},
        {"+3912345678", "   ", E::BadRecipient},
        {"+3912345678", "12a45", E::BadRecipient},
        {"+3912345678", "+39 123", E::BadRecipient},
        {"+3912345678", "++39", E::BadRecipient},
        {"+3912345678", "39+", E::BadRecipient},
        {"+3912345678", "123456789012345678901", E::BadRecipient}, // 21 digits
        {"+3912345678", "12345 \xB3 Mario", E::BadRecipient},
        {"", "12345", E::BadServiceCentre},
        {"+39-12", "12345", E::BadServiceCentre},
        {"+123456789012345678901", "12345", E::BadServiceCentre},
        {"", "", E::BadRecipient},
    };
    for (const auto& c : cases) {
        const SubmitPdu r =
            EncodeSubmit(QString::fromLatin1(c.serviceCentre), QString::fromLatin1(c.recipient), "abc", false, false);
        EXPECT_EQ(c.error, r.error) << c.serviceCentre << " / " << c.recipient;
        EXPECT_TRUE(r.pdu.isEmpty());
        EXPECT_EQ(0, r.cmgsLength);
    }
}

// A sent PDU read back as a stored SMS-SUBMIT gives the numbers and the text.
TEST(Encode, ReadsBackAsStoredSubmit)
{
    const SubmitPdu r = EncodeSubmit("+391234567", "+39333123456", "Ciao, a presto!", false, true);
    ASSERT_EQ(SubmitPdu::Error::None, r.error);
    EXPECT_EQ(u"+391234567", RivNumCS(r.pdu));
    EXPECT_EQ(u"+39333123456", RivNumMT(3, r.pdu));
    EXPECT_EQ(u"Ciao, a presto!", RivTesto(3, r.pdu));
}

} // namespace
