// SPDX-License-Identifier: GPL-3.0-or-later
// The five decoders on whole stored messages: each row is one PDU as the
// phone returns it after +CMGR, with every field the decoders give.
#include "pdu/pdu.h"

#include "test_pdus.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

const char* const kNotChecked = nullptr;
const char kBlanks[] = "        ";

using Message = testpdu::Fields;

class Decode : public testing::TestWithParam<Message> {};

TEST_P(Decode, EveryField) { testpdu::expectFields(GetParam()); }

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
    {"ServiceCentreOfElevenDigitsLosesFiller", 0, "07919355050000F104099193550501F000003010824153704004C374F80D",
     "+39555000001", "+395550100", "14:35:07", "28/01/03", "Ciao"},
    {"UnknownTypeNumberHasNoPlus", 0, "00040A81505510000000003010824153704004C374F80D", "", "0555010000", "14:35:07",
     "28/01/03", "Ciao"},
    {"AlphanumericOriginatorIsText", 0, "00040DD041E19058341E0100003010824153704004C374F80D", "", "ABCDEFG", "14:35:07",
     "28/01/03", "Ciao"},
    {"InternationalWithoutDigitsIsPlus", 0, "0004009100003010824153704004C374F80D", "", "+", "14:35:07", "28/01/03",
     "Ciao"},
    {"EndsAfterOriginator", 0, "0691935505000004099193550501F0", "+3955500000", "+395550100", "::", "//", ""},

    // The first octet says what the message is; the stored status does not.
    {"DeliverStoredAsSent", 3, kDeliver, "+3955500000", "+395550100", "14:35:07", "28/01/03", "Ciao", SmsKind::Deliver},
    {"DeliverStoredAsUnsent", 2, kDeliver, "+3955500000", "+395550100", "14:35:07", "28/01/03", "Ciao",
     SmsKind::Deliver},
    {"SubmitStoredAsRead", 1, kSubmit, "", "+395550100", kBlanks, kBlanks, "Ciao", SmsKind::Submit},
    {"SubmitStoredAsUnread", 0, kSubmit, "", "+395550100", kBlanks, kBlanks, "Ciao", SmsKind::Submit},
    {"StatusFour", 4, kDeliver, "+3955500000", "+395550100", "14:35:07", "28/01/03", "Ciao"},
    {"StatusTwentyFour", 24, kDeliver, "+3955500000", "+395550100", "14:35:07", "28/01/03", "Ciao"},
    {"MissingStatus", -1, kDeliver, "+3955500000", "+395550100", "14:35:07", "28/01/03", "Ciao"},
    {"SubmitWithStatusFour", 4, kSubmit, "", "+395550100", kBlanks, kBlanks, "Ciao"},
    // Message type 3 is reserved: nothing but the service centre is read.
    {"ReservedTypeDecodesNothing", 1, "0691935505000003099193550501F000003010824153704004C374F80D", "+3955500000", "",
     "", "", "", SmsKind::Unknown},
    {"ReservedTypeWithOtherBits", 0, "0007099193550501F000003010824153704004C374F80D", "", "", "", "", "",
     SmsKind::Unknown},
    // The service-centre length 04 reaches past the text: no first octet.
    {"TextEndsBeforeFirstOctet", 5, "04C374F80D", "478FD0", "", "", "", "", SmsKind::Unknown},

    // Lower-case hex reads as upper case, fillers included.
    {"LowerCaseFillers", 0, "07919355050000f104099193550501f000003010824153704004c374f80d", "+39555000001",
     "+395550100", "14:35:07", "28/01/03", "Ciao", SmsKind::Deliver},
    {"LowerCaseSubmit", 1, "001100099193550501f00000aa04c374f80d", "", "+395550100", kBlanks, kBlanks, "Ciao",
     SmsKind::Submit},
    {"LowerCaseAlphanumericSenderAndUcs2", 0,
     "07919730071111f10414d04937bd2c7797e9d3e614000811309291024061080442043504410442", "+79037011111", "InternetSMS",
     "19:20:04", "29/03/11", "тест"},
    {"MixedCaseDigitsOfOtherType", 0, "00040Ac1a1b2c3d4e5000030108241537040", "", "1A2B3C4D5E", "14:35:07", "28/01/03",
     ""},

    // Worked PDUs of other SMS stacks, field values as they publish them.
    // The 7-bit table shows Ω Π as "?", Ψ as "¥" and ¿ as "`".
    {"ExtensionCharactersAndGreek", 0,
     "07912104442961F4040B916171957291F800001120821105050A6AC8B2BC7C9A83C220F6DB7D2ECB41EDF27C1E3E"
     "97411BDE06754FD3D1A0F9BB5D0695F1F4B29B5C2683C6E8B03C3CA697E5F34D6AE303D1D1F2F7DD0D4ABB59A079"
     "7D8C0685E7A00028EC26832A960B28EC2683BE6050780EBA97D96C17",
     "+12404492164", "+16175927198", "11:50:50", "28/02/11",
     "Here's a longer message [{with some extended characters}] thrown in, such as £ and ??¥ and "
     "§` as well."},
    {"AlphanumericSenderAndUcs2", 0, "07919730071111F10414D04937BD2C7797E9D3E614000811309291024061080442043504410442",
     "+79037011111", "InternetSMS", "19:20:04", "29/03/11", "тест"},
    // ModemManager's test_pdu_stored_by_us: an SMS-SUBMIT (first octet 21),
    // here as a phone that stores it as received and read.
    {"PublishedSubmitStoredAsRead", 1,
     "002100098136397339F70008224F60597D4F60597D4F60597D4F60597D4F60597D4F60597D4F60597D4F6059"
     "7D4F60",
     "", "639337937", kBlanks, kBlanks, "你好你好你好你好你好你好你好你好你", SmsKind::Submit},
    {"PublishedDeliverStoredAsSent", 3, "07912143658709F1040B918100551512F20000111010214365000AE8329BFD4697D9EC37",
     "+12345678901", "+18005551212", "12:34:56", "01/01/11", "hellohello", SmsKind::Deliver},
    {"HelloHello", 0, "07912143658709F1040B918100551512F20000111010214365000AE8329BFD4697D9EC37", "+12345678901",
     "+18005551212", "12:34:56", "01/01/11", "hellohello"},
    {"EightBitDataIsWindows1252", 0, "07912143658709F1040B918100551512F20004111010214365000AE8329BFD4697D9EC37DE",
     "+12345678901", "+18005551212", "12:34:56", "01/01/11", "è2›ýF—Ùì7Þ"},
    {"EightBitInGroup1111", 0, "07912143658709F1040B918100551512F200F4111010214365000AE8329BFD4697D9EC37DE",
     "+12345678901", "+18005551212", "12:34:56", "01/01/11", "è2›ýF—Ùì7Þ"},
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

INSTANTIATE_TEST_SUITE_P(Messages, Decode, testing::ValuesIn(kMessages), testpdu::rowName);

// SMS-STATUS-REPORT (TS 23.040 9.2.2.3): the recipient it reports on, the
// discharge time, the outcome and the reference of the reported message.
// ModemManager's test_pdu_not_stored: reference 5A, recipient 639337937,
// both stamps 2012-09-11 07:40:36, status 30 (still trying, centre's own).
#define MM_REPORT "07914356060013F1065A098136397339F7219011700463802190117004638030"
// The same report cut after the discharge time: each status appended.
#define MM_REPORT_HEAD "07914356060013F1065A098136397339F72190117004638021901170046380"

const Message kStatusReports[] = {
    {"PendingPublished", 1, MM_REPORT, "+34656000311", "639337937", "07:40:36", "11/09/12",
     "In attesa di consegna (stato 48), rif. 90", SmsKind::StatusReport},
    {"PendingStoredAsUnsent", 2, MM_REPORT, "+34656000311", "639337937", "07:40:36", "11/09/12",
     "In attesa di consegna (stato 48), rif. 90", SmsKind::StatusReport},
    {"LowerCase", 0, "07914356060013f1065a098136397339f7219011700463802190117004638030", "+34656000311", "639337937",
     "07:40:36", "11/09/12", "In attesa di consegna (stato 48), rif. 90", SmsKind::StatusReport},
    // gammu tests/at-sms/34.dump (+CMGR: 3,,29), TP-PI 06 and an empty
    // user data after the status.
    {"DeliveredWithParameters", 3, "07911614786007F006060B911634092142F4019071011000040190710110450400060000",
     "+61418706700", "+61439012244", "10:01:54", "17/09/10", "Consegnato, rif. 6", SmsKind::StatusReport},
    // Each status range, on the published report.
    {"Received", 1, MM_REPORT_HEAD "00", kNotChecked, "639337937", "07:40:36", "11/09/12", "Consegnato, rif. 90"},
    {"ForwardedUnconfirmed", 1, MM_REPORT_HEAD "01", kNotChecked, kNotChecked, kNotChecked, kNotChecked,
     "Consegnato (stato 1), rif. 90"},
    {"LastCompleted", 1, MM_REPORT_HEAD "1F", kNotChecked, kNotChecked, kNotChecked, kNotChecked,
     "Consegnato (stato 31), rif. 90"},
    {"Congestion", 1, MM_REPORT_HEAD "20", kNotChecked, kNotChecked, kNotChecked, kNotChecked,
     "In attesa di consegna (stato 32), rif. 90"},
    {"LastStillTrying", 1, MM_REPORT_HEAD "3F", kNotChecked, kNotChecked, kNotChecked, kNotChecked,
     "In attesa di consegna (stato 63), rif. 90"},
    {"IncompatibleDestination", 1, MM_REPORT_HEAD "41", kNotChecked, kNotChecked, kNotChecked, kNotChecked,
     "Non consegnato (stato 65), rif. 90"},
    {"ValidityExpired", 1, MM_REPORT_HEAD "46", kNotChecked, kNotChecked, kNotChecked, kNotChecked,
     "Non consegnato (stato 70), rif. 90"},
    {"BusyNoMoreTries", 1, MM_REPORT_HEAD "61", kNotChecked, kNotChecked, kNotChecked, kNotChecked,
     "Non consegnato (stato 97), rif. 90"},
    {"LastFailed", 1, MM_REPORT_HEAD "7F", kNotChecked, kNotChecked, kNotChecked, kNotChecked,
     "Non consegnato (stato 127), rif. 90"},
    // A reserved value is a refused service (TS 23.040 9.2.3.15): not delivered.
    {"ReservedAmongTheCompleted", 1, MM_REPORT_HEAD "03", kNotChecked, kNotChecked, kNotChecked, kNotChecked,
     "Non consegnato (stato 3), rif. 90"},
    {"ReservedAmongTheTemporary", 1, MM_REPORT_HEAD "26", kNotChecked, kNotChecked, kNotChecked, kNotChecked,
     "Non consegnato (stato 38), rif. 90"},
    {"Reserved", 1, MM_REPORT_HEAD "80", kNotChecked, kNotChecked, kNotChecked, kNotChecked,
     "Non consegnato (stato 128), rif. 90"},
    {"StatusMissing", 1, MM_REPORT_HEAD, kNotChecked, kNotChecked, "07:40:36", "11/09/12",
     "Esito sconosciuto, rif. 90"},
    {"StatusCutInHalf", 1, MM_REPORT_HEAD "4", kNotChecked, kNotChecked, kNotChecked, kNotChecked,
     "Esito sconosciuto, rif. 90"},
    {"StatusNotHex", 1, MM_REPORT_HEAD "\"4", kNotChecked, kNotChecked, kNotChecked, kNotChecked,
     "Esito sconosciuto, rif. 90"},
    {"DischargeTimeCutShort", 1, "00060C0A8121436587090190710110000401907101", "", "1234567890", "10::", "17/09/10",
     "Esito sconosciuto, rif. 12"},
    {"AlphanumericRecipient", 1,
     "000601"
     "0DD041E19058341E01"
     "01907101100004"
     "01907101104504"
     "00",
     "", "ABCDEFG", "10:01:54", "17/09/10", "Consegnato, rif. 1"},
};
INSTANTIATE_TEST_SUITE_P(StatusReports, Decode, testing::ValuesIn(kStatusReports), testpdu::rowName);

// The report as the program matches it to what it sent: a report that does
// not decode whole is none, never a report with a guessed field.
TEST(ReadStatusReport, TheFieldsOrNone)
{
    const struct {
        const char* name;
        QString pak;
        std::optional<int> reference;
        const char* recipient;
        const char* time;
        int status;
    } cases[] = {
        {"pending", MM_REPORT, 90, "639337937", "07:40:36", 48},
        {"delivered, parameters after the status",
         "07911614786007F006060B911634092142F4019071011000040190710110450400060000", 6, "+61439012244", "10:01:54", 0},
        {"lower case", "07914356060013f1065a098136397339f7219011700463802190117004638046", 90, "639337937", "07:40:36",
         70},
        {"no service centre",
         "00060C0A8121436587090190710110000401907101104504"
         "41",
         12, "1234567890", "10:01:54", 65},
        {"status missing", MM_REPORT_HEAD, std::nullopt, "", "", 0},
        {"status cut in half", MM_REPORT_HEAD "4", std::nullopt, "", "", 0},
        {"not hex", MM_REPORT_HEAD "4G", std::nullopt, "", "", 0},
        {"a blank inside",
         "07914356060013F1065A098136397339F72190117004638021901170 46380"
         "30",
         std::nullopt, "", "", 0},
        {"an SMS-DELIVER", kDeliver, std::nullopt, "", "", 0},
        {"an SMS-SUBMIT", kSubmit, std::nullopt, "", "", 0},
        {"recipient of 22 digits", "0006011691214365870921436587092143658709219071011000040190710110450400",
         std::nullopt, "", "", 0},
        {"empty", "", std::nullopt, "", "", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<StatusReport> report = ReadStatusReport(c.pak);
        ASSERT_EQ(report.has_value(), c.reference.has_value());
        if (!report)
            continue;
        EXPECT_EQ(report->reference, *c.reference);
        EXPECT_EQ(report->recipient, QLatin1String(c.recipient));
        EXPECT_EQ(report->time, QLatin1String(c.time));
        EXPECT_EQ(report->status, c.status);
    }
}

// The zone octet of the stamp, put into kDeliver in place of its "40"
// (+01:00): quarters of an hour, digits swapped, the sign in the tens digit.
TEST(Zone, QuartersOfAnHourWithTheirSign)
{
    const struct {
        const char* octet;
        const char* zone;
    } cases[] = {
        {"40", "+01:00"}, {"80", "+02:00"}, {"00", "+00:00"}, {"32", "+05:45"}, {"29", "-03:00"},
        {"0A", "-05:00"}, {"8A", "-07:00"}, {"A2", ""},       {"A0", ""},       {"4G", ""},
    };
    const QString deliver = QString::fromLatin1(kDeliver);
    const qsizetype at = deliver.indexOf(QLatin1String("30108241537040")) + 12;
    for (const auto& c : cases) {
        QString pak = deliver;
        pak.replace(at, 2, QLatin1String(c.octet));
        EXPECT_EQ(RivZona(0, pak), QLatin1String(c.zone)) << c.octet;
    }
    EXPECT_EQ(RivZona(0, deliver.left(at + 1)), "");   // the stamp cut short
    EXPECT_EQ(RivZona(2, QLatin1String(kSubmit)), ""); // no stamp
    // A status report: the zone of the discharge time, not of the centre's stamp.
    EXPECT_EQ(RivZona(0, "0791933395066900062A0C91934317325476424050015100404240500151208000"), "+02:00");
}

} // namespace
