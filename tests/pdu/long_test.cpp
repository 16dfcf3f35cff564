// SPDX-License-Identifier: GPL-3.0-or-later
// "SMS lungo": the alphabet a text goes in, what it costs, the characters
// the plain encoder replaces, and the parts of a concatenated SMS-SUBMIT,
// whose fields are read back here octet by octet, apart from the codec.
#include "pdu/pdu.h"

#include <gtest/gtest.h>

#include <QByteArray>

#include <ostream>

namespace {

QString repeated(const char* utf8, int times) { return QString::fromUtf8(utf8).repeated(times); }

// The fields of an SMS-SUBMIT hex text, read without the codec.
struct Fields {
    int firstOctet = -1;
    int dcs = -1;
    int udl = -1;
    QByteArray ud;
};

Fields fieldsOf(const QString& pdu)
{
    const QByteArray octets = QByteArray::fromHex(pdu.toLatin1());
    int at = 1 + uint8_t(octets[0]); // the service-centre address
    Fields f;
    f.firstOctet = uint8_t(octets[at]);
    at += 2; // first octet, TP-MR
    const int digits = uint8_t(octets[at]);
    at += 2 + (digits + 1) / 2; // TP-DA length, type, digits
    f.dcs = uint8_t(octets[at + 1]);
    f.udl = uint8_t(octets[at + 3]); // after TP-PID, TP-DCS, TP-VP
    f.ud = octets.mid(at + 4);
    return f;
}

// ---- The alphabet and the cost ----

struct Cost {
    const char* name;
    QString text;
    SmsCoding coding;
    int units;
    int parts;
    int perPart;
};

void PrintTo(const Cost& c, std::ostream* os) { *os << c.name; }

class Segments : public testing::TestWithParam<Cost> {};

TEST_P(Segments, CodingUnitsAndParts)
{
    const Cost& c = GetParam();
    const SmsSegments s = SegmentText(c.text);
    EXPECT_EQ(c.coding, s.coding);
    EXPECT_EQ(c.units, s.units);
    EXPECT_EQ(c.parts, s.parts);
    EXPECT_EQ(c.perPart, s.perPart);
}

const QString kEuro = QString::fromUtf8("€");
const QString kGrin = QString::fromUtf8("😀"); // a surrogate pair

const Cost kCosts[] = {
    {"Empty", "", SmsCoding::Gsm7, 0, 1, 160},
    {"OneSmsFull", repeated("a", 160), SmsCoding::Gsm7, 160, 1, 160},
    {"OneSeptetMoreIsTwoParts", repeated("a", 161), SmsCoding::Gsm7, 161, 2, 153},
    {"TwoPartsFull", repeated("a", 306), SmsCoding::Gsm7, 306, 2, 153},
    {"OneSeptetMoreIsThreeParts", repeated("a", 307), SmsCoding::Gsm7, 307, 3, 153},
    // The pair would straddle septets 153 and 154: it opens the second part,
    // and 306 septets then need a third.
    {"EscapePairOnTheBoundaryMovesOn", repeated("a", 152) + kEuro + repeated("a", 152), SmsCoding::Gsm7, 306, 3, 153},
    {"EscapePairBeforeTheBoundaryStays", repeated("a", 151) + kEuro + repeated("a", 153), SmsCoding::Gsm7, 306, 2, 153},
    {"TenPartsFull", repeated("a", 1530), SmsCoding::Gsm7, 1530, 10, 153},
    {"ElevenParts", repeated("a", 1531), SmsCoding::Gsm7, 1531, 11, 153},
    {"LineBreakIsTwoSeptets", "a\r\nb", SmsCoding::Gsm7, 4, 1, 160},
    {"GreekCapitalOfTheAlphabet", QString::fromUtf8("ΔΩ"), SmsCoding::Gsm7, 2, 1, 160},
    {"ComposedByNormalisation", QString::fromUtf8("e\u0301"), SmsCoding::Gsm7, 1, 1, 160},
    {"AccentTheAlphabetLacks", QString::fromUtf8("È"), SmsCoding::Ucs2, 1, 1, 70},
    {"GraveAccentHasNoCode", "`", SmsCoding::Ucs2, 1, 1, 70},
    {"UcsOneSmsFull", repeated("ć", 70), SmsCoding::Ucs2, 70, 1, 70},
    {"UcsOneUnitMoreIsTwoParts", repeated("ć", 71), SmsCoding::Ucs2, 71, 2, 67},
    {"SurrogatePairCountsTwo", kGrin, SmsCoding::Ucs2, 2, 1, 70},
    // The pair would straddle units 67 and 68: it opens the second part.
    {"SurrogatePairOnTheBoundaryMovesOn", repeated("ć", 66) + kGrin + repeated("ć", 66), SmsCoding::Ucs2, 134, 3, 67},
    {"UcsTenPartsFull", repeated("ć", 670), SmsCoding::Ucs2, 670, 10, 67},
    {"UcsElevenParts", repeated("ć", 671), SmsCoding::Ucs2, 671, 11, 67},
};
INSTANTIATE_TEST_SUITE_P(Texts, Segments, testing::ValuesIn(kCosts),
                         [](const testing::TestParamInfo<Cost>& info) { return info.param.name; });

// ---- What the plain encoder replaces ----

TEST(Replaced, EachCharacterOnceWithWhatGoesInstead)
{
    struct Case {
        const char* name;
        QString text;
        std::vector<std::pair<const char*, const char*>> replaced;
    };
    const Case cases[] = {
        {"nothing to replace", QString::fromUtf8("Ciao, però {ok} €5 ΔΩ ç"), {}},
        {"base letters and a stand-in, in order, once",
         QString::fromUtf8("ć 😀 ćć È"),
         {{"ć", "c"}, {"😀", "?"}, {"È", "E"}}},
        {"the grave accent has no code", "`", {{"`", "?"}}},
        {"composed before it is judged", QString::fromUtf8("e\u0301"), {}},
        {"a mark nothing takes up goes", QString::fromUtf8("x\u0301"), {{"\u0301", ""}}},
        {"a lone surrogate", QString::fromUtf16(u"a\xD800"), {{"\uFFFD", "?"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString& text = c.text;
        const QList<Replacement> got = ReplacedCharacters(text);
        ASSERT_EQ(c.replaced.size(), size_t(got.size()));
        for (size_t i = 0; i < c.replaced.size(); ++i) {
            EXPECT_EQ(QString::fromUtf8(c.replaced[i].first), got[qsizetype(i)].character);
            EXPECT_EQ(QString::fromUtf8(c.replaced[i].second), got[qsizetype(i)].replacement);
        }
    }
}

// ---- The parts ----

// One SMS: as EncodeSubmit builds it for the default alphabet; UCS2 as
// UTF-16 big endian with its own data coding scheme.
TEST(Parts, OneSmsHasNoHeader)
{
    struct Case {
        const char* name;
        QString text;
        bool flash;
        bool report;
        const char* pdu;
    };
    const Case cases[] = {
        {"the worked example", "abc", false, false, "0691932143658711F305812143F50000FF0361F118"},
        {"flash and report", "abc", true, true, "0691932143658731F305812143F500F0FF0361F118"},
        {"euro as an escape pair", kEuro, false, false, "0691932143658711F305812143F50000FF029B32"},
        {"UCS2", QString::fromUtf8("ć!"), false, false, "0691932143658711F305812143F50008FF0401070021"},
        {"UCS2 flash", QString::fromUtf8("ć"), true, false, "0691932143658711F305812143F50018FF020107"},
        {"UCS2 surrogate pair", kGrin, false, true, "0691932143658731F305812143F50008FF04D83DDE00"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const SubmitParts r = EncodeSubmitParts("+3912345678", "12345", c.text, c.flash, c.report, 7);
        ASSERT_EQ(SubmitPdu::Error::None, r.error);
        ASSERT_EQ(1, r.parts.size());
        EXPECT_EQ(QLatin1String(c.pdu), r.parts[0].pdu);
        EXPECT_EQ(int(r.parts[0].pdu.size() / 2 - 7), r.parts[0].cmgsLength);
    }
}

// A concatenated message: every part read back field by field, its header
// octet by octet, and the parts' texts joined give the text again.
TEST(Parts, ConcatenatedHeadersAndTexts)
{
    struct Case {
        const char* name;
        QString text;
        bool flash;
        bool report;
        int dcs;
        std::vector<int> udl; // of each part
    };
    const Case cases[] = {
        {"161 septets", repeated("a", 161), false, false, 0x00, {160, 15}},
        {"306 septets", repeated("b", 306), false, false, 0x00, {160, 160}},
        {"307 septets", repeated("c", 307), false, false, 0x00, {160, 160, 8}},
        {"escape pair on the boundary",
         repeated("a", 152) + kEuro + repeated("a", 152),
         false,
         false,
         0x00,
         {159, 160, 8}},
        {"flash and report on every part", repeated("d", 200), true, true, 0xF0, {160, 54}},
        {"UCS2 71 units", repeated("ć", 71), false, false, 0x08, {140, 14}},
        {"UCS2 surrogate pair on the boundary",
         repeated("ć", 66) + kGrin + repeated("ć", 66),
         false,
         false,
         0x08,
         {138, 140, 8}},
        {"UCS2 flash and report", repeated("ž", 100), true, true, 0x18, {140, 72}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const SubmitParts r = EncodeSubmitParts("+3912345678", "+393471234567", c.text, c.flash, c.report, 0xA7);
        ASSERT_EQ(SubmitPdu::Error::None, r.error);
        ASSERT_EQ(c.udl.size(), size_t(r.parts.size()));
        QString joined;
        for (int i = 0; i < r.parts.size(); ++i) {
            const Fields f = fieldsOf(r.parts[i].pdu);
            EXPECT_EQ(c.report ? 0x71 : 0x51, f.firstOctet) << "part " << i + 1; // TP-UDHI set
            EXPECT_EQ(c.dcs, f.dcs) << "part " << i + 1;
            EXPECT_EQ(c.udl[size_t(i)], f.udl) << "part " << i + 1;
            const QByteArray header = QByteArray::fromHex("050003A7") + char(r.parts.size()) + char(i + 1);
            EXPECT_EQ(header.toHex(), f.ud.left(6).toHex()) << "part " << i + 1;
            EXPECT_EQ(int(r.parts[i].pdu.size() / 2 - 7), r.parts[i].cmgsLength);
            joined += RivTesto(3, r.parts[i].pdu);
        }
        EXPECT_EQ(c.text, joined);
    }
}

// The text of a part begins after one fill bit. The user data of a real
// message, one part of a concatenated one (python-gsmmodem's test_pdu):
// its text's first 82 septets are the first 71 octets after the header of
// any part beginning with them.
TEST(Parts, SeptetsAfterTheHeaderAsAPublishedMessage)
{
    const QString start =
        QStringLiteral("Hello!You have R 19.50 FREE airtime available. R 19.50 will expire on 01/07/2013. ");
    const SubmitParts r = EncodeSubmitParts("+3912345678", "12345", start + repeated("x", 100), false, false, 0xC3);
    ASSERT_EQ(2, r.parts.size());
    const QByteArray published = QByteArray::fromHex(
        "916536FB1DCABEEB2074D85E064941B19CAB060319A5C522289C96D3D3ED32286C0FA7D96131BBEC024941B19CAB0603DD"
        "D36C36A88C87A7E565D0DB0D82C55EB0DB4B068BCD5C20");
    const QByteArray ours = fieldsOf(r.parts[0].pdu).ud.mid(6, 71);
    // That sender set its fill bit; ours is zero, as TS 23.040 9.2.3.24 asks.
    EXPECT_EQ(0, ours[0] & 1);
    EXPECT_EQ(uint8_t(published[0]) >> 1, uint8_t(ours[0]) >> 1);
    EXPECT_EQ(published.mid(1, 70).toHex(), ours.mid(1).toHex());
}

TEST(Parts, TooLongAndBadNumbers)
{
    struct Case {
        const char* name;
        const char* serviceCentre;
        const char* recipient;
        QString text;
        SubmitPdu::Error error;
    };
    const Case cases[] = {
        {"ten parts fit", "+39", "1", repeated("a", 1530), SubmitPdu::Error::None},
        {"eleven do not", "+39", "1", repeated("a", 1531), SubmitPdu::Error::TooLong},
        {"ten UCS2 parts fit", "+39", "1", repeated("ć", 670), SubmitPdu::Error::None},
        {"eleven UCS2 parts do not", "+39", "1", repeated("ć", 671), SubmitPdu::Error::TooLong},
        {"the recipient first", "x", "y", "a", SubmitPdu::Error::BadRecipient},
        {"then the service centre", "x", "1", "a", SubmitPdu::Error::BadServiceCentre},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const SubmitParts r = EncodeSubmitParts(c.serviceCentre, c.recipient, c.text, false, false, 1);
        EXPECT_EQ(c.error, r.error);
        EXPECT_EQ(c.error == SubmitPdu::Error::None ? 10 : 0, r.parts.size());
    }
}

} // namespace
