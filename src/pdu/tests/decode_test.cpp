// The five decoders on whole stored messages: each row is one PDU as the
// phone returns it after +CMGR, with every field the decoders give.
#include "pdu/pdu.h"

#include "test_pdus.h"

#include <gtest/gtest.h>

#include <ostream>

namespace {

const char* const kNotChecked = nullptr;
const char kBlanks[] = "        ";

using Message = testpdu::Fields;

class Decode : public testing::TestWithParam<Message> {};

void expectField(const char* field, const char* expected, const QString& actual)
{
    if (expected != kNotChecked) {
        EXPECT_EQ(QString::fromUtf8(expected), actual) << field;
    }
}

TEST_P(Decode, EveryField)
{
    const Message& m = GetParam();
    const QString pak = QString::fromLatin1(m.pak);
    expectField("RivNumCS", m.serviceCentre, RivNumCS(pak));
    expectField("RivNumMT", m.number, RivNumMT(m.tipo, pak));
    expectField("RivOra", m.time, RivOra(m.tipo, pak));
    expectField("RivData", m.date, RivData(m.tipo, pak));
    expectField("RivTesto", m.text, RivTesto(m.tipo, pak));
}

// SMS-DELIVER with service centre +3955500000, originator +395550100,
// stamp 2003-01-28 14:35:07, text "Ciao".
const char kDeliver[] = "0691935505000004099193550501F000003010824153704004C374F80D";
// The stored SMS-SUBMIT of the same text, no service centre, validity "AA".
const char kSubmit[] = "001100099193550501F00000AA04C374F80D";

const Message kMessages[] = {
    {"DeliverUnread", 0, kDeliver, "+3955500000", "+395550100", "14:35:07", "28/01/03", "Ciao"},
    {"DeliverRead", 1, kDeliver, "+3955500000", "+395550100", "14:35:07", "28/01/03", "Ciao"},
    {"SubmitUnsentHasNoStamp", 2, kSubmit, "", "+395550100", kBlanks, kBlanks, "Ciao"},
    {"SubmitSent", 3, kSubmit, "", "+395550100", kBlanks, kBlanks, "Ciao"},
    {"ServiceCentreOfElevenDigitsLosesFiller", 0,
     "07919355050000F104099193550501F000003010824153704004C374F80D", "+39555000001",
     "+395550100", "14:35:07", "28/01/03", "Ciao"},
    {"UnknownTypeNumberHasNoPlus", 0, "00040A81505510000000003010824153704004C374F80D", "",
     "0555010000", "14:35:07", "28/01/03", "Ciao"},
    {"AlphanumericOriginatorIsText", 0, "00040DD041E19058341E0100003010824153704004C374F80D", "",
     "ABCDEFG", "14:35:07", "28/01/03", "Ciao"},
    {"InternationalWithoutDigitsIsPlus", 0, "0004009100003010824153704004C374F80D", "", "+",
     "14:35:07", "28/01/03", "Ciao"},
    {"EndsAfterOriginator", 0, "0691935505000004099193550501F0", "+3955500000", "+395550100", "::",
     "//", ""},
    {"StatusOutsideZeroToThree", 4, kDeliver, "+3955500000", "", "", "", kNotChecked},
    {"NegativeStatus", -1, kDeliver, "+3955500000", "", "", "", kNotChecked},
    {"OtherStatusTextFromFirstCharacter", 5, "04C374F80D", kNotChecked, "", "", "", "Ciao"},

    // Worked PDUs of other SMS stacks, field values as they publish them.
    // The 7-bit table shows Ω Π as "?", Ψ as "¥" and ¿ as "`".
    {"ExtensionCharactersAndGreek", 0,
     "07912104442961F4040B916171957291F800001120821105050A6AC8B2BC7C9A83C220F6DB7D2ECB41EDF27C1E3E"
     "97411BDE06754FD3D1A0F9BB5D0695F1F4B29B5C2683C6E8B03C3CA697E5F34D6AE303D1D1F2F7DD0D4ABB59A079"
     "7D8C0685E7A00028EC26832A960B28EC2683BE6050780EBA97D96C17",
     "+12404492164", "+16175927198", "11:50:50", "28/02/11",
     "Here's a longer message [{with some extended characters}] thrown in, such as £ and ??¥ and "
     "§` as well."},
    {"AlphanumericSenderAndUcs2", 0,
     "07919730071111F10414D04937BD2C7797E9D3E614000811309291024061080442043504410442", "+79037011111",
     "InternetSMS", "19:20:04", "29/03/11", "тест"},
    {"HelloHello", 0, "07912143658709F1040B918100551512F20000111010214365000AE8329BFD4697D9EC37",
     "+12345678901", "+18005551212", "12:34:56", "01/01/11", "hellohello"},
    {"EightBitDataIsWindows1252", 0,
     "07912143658709F1040B918100551512F20004111010214365000AE8329BFD4697D9EC37DE", "+12345678901",
     "+18005551212", "12:34:56", "01/01/11", "è2›ýF—Ùì7Þ"},
    {"EightBitInGroup1111", 0,
     "07912143658709F1040B918100551512F200F4111010214365000AE8329BFD4697D9EC37DE", "+12345678901",
     "+18005551212", "12:34:56", "01/01/11", "è2›ýF—Ùì7Þ"},
    {"SevenBitClass1InGroup1111", 0,
     "07913306091093F0040485810000F111604231805180A049B7F90D9A1AA5A01668F8769BD3E4B29B9E2EB359A03F"
     "C85D06A9C3ED707A0EA2CBC3EE79BB4CA7CBCBA05643617DA7C76990FD4D979741EE77DD5E0ED741ED371D442E83"
     "E0E1F9BC0CD281E677D9B84C06C1DF7539E85C9097E520FB9B2E2F83C6EF369C5E064D8D52D0BC2E07DDEF77D7DC"
     "2C7799E5A0771D040FCB41F402BB0047BFDD6550B80ECAD966",
     "+33609001390", "1800", "13:08:15", "24/06/11",
     "Info SFR - Confidentiel, à ne jamais transmettre -\r\nVoici votre nouveau mot de passe : "
     "sw2ced pour gérer votre compte SFR sur www.sfr.fr ou par téléphone au 963"},
    {"HeaderSkippedWithFillBits", 0,
     "07911356131313F64004850120390011609232239180A006080400100201D7327BFD6EB340E2321BF46E83EA7790F5"
     "9D1E97DBE1341B442F83C465763D3DA797E56537C81D0ECB41AB59CC1693C16031D96C064241E5656838AF03A962"
     "30982A269BCD462917C8FA4E8FCBED709A0D7ABBE9F6B0FB5C7683D27350984D4FABC9A0B33C4C4FCF5D20EBFB2D"
     "079DCB62793DBD06D9C36E50FB2D4E97D9A0B49B5E96BBCB",
     "+31653131316", "1002", "23:32:19", "29/06/11",
     "Welkom, bel om uw Voicemail te beluisteren naar +31612001233 (PrePay: *100*1233#). "
     "Voicemail ontvangen is altijd gratis. Voor gebruik van mobiel interne"},
};

INSTANTIATE_TEST_SUITE_P(Messages, Decode, testing::ValuesIn(kMessages),
                         [](const testing::TestParamInfo<Message>& info) { return info.param.name; });

} // namespace
