// SPDX-License-Identifier: GPL-3.0-or-later
// The stored-message answers of +CMGR and +CMGL and the status words, as
// tables of what phones send.
#include "at/cmgr.h"
#include "at/status.h"

#include <gtest/gtest.h>

namespace {

using at::CmgrAnswer;

QString u(const char* utf8) { return QString::fromUtf8(utf8); }

const char* const Pdu = "07911326040000F0040B911346610089F60000208062917314080CC8F71D14969741F977FD07";
const char* const PduLower = "07911326040000f0040b911346610089f60000208062917314080cc8f71d14969741f977fd07";

TEST(ParseCmgr, TheFormsOfTheAnswer)
{
    struct Case {
        const char* name;
        QString answer;
        QString errorLine;
        CmgrAnswer::Kind kind;
        int tipo;
        int length;
        QString pak;
    } const cases[] = {
        {"refused", u("ERROR"), {}, CmgrAnswer::NoMessage, -1, -1, {}},
        {"the link gave up", u("error"), {}, CmgrAnswer::NoMessage, -1, -1, {}},
        {"refused, mixed case", u("Error"), {}, CmgrAnswer::NoMessage, -1, -1, {}},
        {"another answer", u("ok"), {}, CmgrAnswer::NoMessage, -1, -1, {}},
        {"nothing", u(""), {}, CmgrAnswer::NoMessage, -1, -1, {}},
        {"another command's answer", u("+CPMS: 5,20,5,20,5,20"), {}, CmgrAnswer::NoMessage, -1, -1, {}},
        // Empty slots.
        {"empty", u("+CMGR: 0,,0"), {}, CmgrAnswer::Empty, 0, 0, {}},
        {"empty, trailing blank", u("+CMGR: 0,,0 "), {}, CmgrAnswer::Empty, 0, 0, {}},
        {"empty, blanks", u("+CMGR: 0, ,0"), {}, CmgrAnswer::Empty, 0, 0, {}},
        {"invalid index", u("ERROR"), u("+CMS ERROR: 321"), CmgrAnswer::Empty, -1, -1, {}},
        {"invalid index, as text", u("ERROR"), u("+CMS ERROR: invalid memory index"), CmgrAnswer::Empty, -1, -1, {}},
        {"invalid index as the answer", u("+CMS ERROR: 321"), {}, CmgrAnswer::Empty, -1, -1, {}},
        {"other extended errors stay errors", u("ERROR"), u("+CMS ERROR: 500"), CmgrAnswer::NoMessage, -1, -1, {}},
        {"a bare OK: nothing there", u("OK"), {}, CmgrAnswer::Empty, -1, -1, {}},
        {"a bare OK after blank lines", u("\r\nOK"), {}, CmgrAnswer::Empty, -1, -1, {}},
        {"a stale error line", u("+CMGR: 1,,30\r\n") + u(Pdu), u("+CMS ERROR: 321"), CmgrAnswer::Message, 1, 30,
         u(Pdu)},
        // Messages.
        {"textbook", u("+CMGR: 1,,30\r\n") + u(Pdu), {}, CmgrAnswer::Message, 1, 30, u(Pdu)},
        {"blanks after the commas", u("+CMGR: 1,, 30\r\n") + u(Pdu), {}, CmgrAnswer::Message, 1, 30, u(Pdu)},
        {"alpha", u("+CMGR: 0,\"Mario, Rossi\",30\r\n") + u(Pdu), {}, CmgrAnswer::Message, 0, 30, u(Pdu)},
        {"alpha left out", u("+CMGR: 3,30\r\n") + u(Pdu), {}, CmgrAnswer::Message, 3, 30, u(Pdu)},
        {"lower-case hex", u("+CMGR: 1,,30\r\n") + u(PduLower), {}, CmgrAnswer::Message, 1, 30, u(Pdu)},
        {"a quote after the PDU", u("+CMGR: 1,,30\r\n") + u(Pdu) + u("\""), {}, CmgrAnswer::Message, 1, 30, u(Pdu)},
        {"quotes and blanks around the PDU",
         u("+CMGR: 1,,30\r\n \"") + u(Pdu) + u("\" "),
         {},
         CmgrAnswer::Message,
         1,
         30,
         u(Pdu)},
        {"a trailing blank", u("+CMGR: 1,,30 \r\n") + u(Pdu) + u(" "), {}, CmgrAnswer::Message, 1, 30, u(Pdu)},
        {"LF line ends", u("+CMGR: 1,,30\n") + u(Pdu), {}, CmgrAnswer::Message, 1, 30, u(Pdu)},
        {"a blank line before the PDU", u("+CMGR: 1,,30\r\n\r\n") + u(Pdu), {}, CmgrAnswer::Message, 1, 30, u(Pdu)},
        {"the PDU is one line", u("+CMGR: 3,,4\r\n0011000B91\r\nAB"), {}, CmgrAnswer::Message, 3, 4, u("0011000B91")},
        {"no status", u("+CMGR: ,,30\r\n") + u(Pdu), {}, CmgrAnswer::Message, -1, 30, u(Pdu)},
        {"status no number", u("+CMGR: x,,0\r\n00"), {}, CmgrAnswer::Message, -1, 0, u("00")},
        {"two-digit status", u("+CMGR: 24,,30\r\n") + u(Pdu), {}, CmgrAnswer::Message, 24, 30, u(Pdu)},
        {"status beyond an octet", u("+CMGR: 256,,30\r\n") + u(Pdu), {}, CmgrAnswer::Message, -1, 30, u(Pdu)},
        {"length zero with a PDU", u("+CMGR: 1,,0\r\n00"), {}, CmgrAnswer::Message, 1, 0, u("00")},
        {"no service centre",
         u("+CMGR: 1,,30\r\n00") + u(Pdu).mid(16),
         {},
         CmgrAnswer::Message,
         1,
         30,
         u("00") + u(Pdu).mid(16)},
        {"the length of the whole PDU", u("+CMGR: 1,,38\r\n") + u(Pdu), {}, CmgrAnswer::Message, 1, 38, u(Pdu)},
        // A PDU that does not hold the <length> octets after the service
        // centre it announces, nor that many in all, is no message to decode.
        {"no PDU line", u("+CMGR: 2,,5"), {}, CmgrAnswer::Unreadable, 2, 5, {}},
        {"no length", u("+CMGR: 1\r\n") + u(Pdu), {}, CmgrAnswer::Unreadable, 1, -1, u(Pdu)},
        {"cut to 40 digits",
         u("+CMGR: 1,,30\r\n") + u(Pdu).left(40),
         {},
         CmgrAnswer::Unreadable,
         1,
         30,
         u(Pdu).left(40)},
        {"a digit short",
         u("+CMGR: 1,,30\r\n") + u(Pdu).chopped(1),
         {},
         CmgrAnswer::Unreadable,
         1,
         30,
         u(Pdu).chopped(1)},
        {"an octet too many",
         u("+CMGR: 1,,30\r\n") + u(Pdu) + u("00"),
         {},
         CmgrAnswer::Unreadable,
         1,
         30,
         u(Pdu) + u("00")},
        {"a blank inside",
         u("+CMGR: 1,,30\r\n0791 ") + u(Pdu).mid(4),
         {},
         CmgrAnswer::Unreadable,
         1,
         30,
         u("0791 ") + u(Pdu).mid(4)},
        {"a letter that is no hex",
         u("+CMGR: 1,,30\r\n0791G") + u(Pdu).mid(5),
         {},
         CmgrAnswer::Unreadable,
         1,
         30,
         u("0791G") + u(Pdu).mid(5)},
        {"a service centre longer than the PDU", u("+CMGR: 1,,0\r\nFF00"), {}, CmgrAnswer::Unreadable, 1, 0, u("FF00")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const CmgrAnswer parsed = at::ParseCmgr(c.answer, c.errorLine);
        EXPECT_EQ(parsed.kind, c.kind);
        if (c.kind == CmgrAnswer::NoMessage)
            continue;
        EXPECT_EQ(parsed.tipo, c.tipo);
        EXPECT_EQ(parsed.length, c.length);
        EXPECT_EQ(parsed.pak.toStdString(), c.pak.toStdString());
    }
    EXPECT_EQ(at::ParseCmgr(u("+CMGR: 0,\"Mario, Rossi\",30\r\n") + u(Pdu)).alpha, u("Mario, Rossi"));
}

// A <length> against the PDU it heads, in a +CMGR answer and in a listing
// of one message: the TPDU's octets (GSM 07.05 3.4.3) or, as some phones
// count, the whole PDU's; any other count is a PDU cut or garbled.
TEST(PduLength, TheTpduOrTheWholePdu)
{
    const QString noCentre = u("00") + u(Pdu).mid(16); // 1 + 30 octets
    const QString centreOnly = u(Pdu).left(16);        // 8 + 0 octets
    struct Case {
        const char* name;
        QString pak;
        int length;
        bool holds;
    } const cases[] = {
        {"the TPDU", u(Pdu), 30, true},
        {"the whole PDU", u(Pdu), 38, true},
        {"an octet less than the TPDU", u(Pdu), 29, false},
        {"between the two", u(Pdu), 34, false},
        {"an octet more than the whole PDU", u(Pdu), 39, false},
        {"the service centre alone", u(Pdu), 8, false},
        {"zero", u(Pdu), 0, false},
        {"cut shorter than both", u(Pdu).left(40), 30, false},
        {"cut by an octet, counted as the TPDU", u(Pdu).chopped(2), 30, false},
        {"cut by an octet, counted whole", u(Pdu).chopped(2), 38, false},
        {"cut by a digit, counted whole", u(Pdu).chopped(1), 38, false},
        {"an octet too many, counted whole", u(Pdu) + u("00"), 38, false},
        {"no service centre, the TPDU", noCentre, 30, true},
        {"no service centre, the whole PDU", noCentre, 31, true},
        {"no service centre, an octet more than the whole", noCentre, 32, false},
        {"no service centre, an octet less than the TPDU", noCentre, 29, false},
        {"no service centre, cut by an octet, counted whole", noCentre.chopped(2), 31, false},
        // The counts one apart: a last octet lost is not seen here.
        {"no service centre, an octet lost, its TPDU count taken for the whole", noCentre.chopped(2), 30, true},
        {"only the service centre, counted whole", centreOnly, 8, false},
        {"a service centre longer than the PDU, counted whole", u("FF00"), 2, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString length = QString::number(c.length);
        const CmgrAnswer read = at::ParseCmgr(u("+CMGR: 1,,") + length + u("\r\n") + c.pak);
        EXPECT_EQ(read.kind, c.holds ? CmgrAnswer::Message : CmgrAnswer::Unreadable);
        EXPECT_EQ(read.length, c.length);
        const auto listed = at::ParseCmglStore(u("+CMGL: 3,1,,") + length + u("\r\n") + c.pak, 12, 1);
        EXPECT_EQ(listed.has_value(), c.holds);
    }
}

TEST(PduLine, HexKeptAndUpperCasedNothingAround)
{
    struct Case {
        const char* line;
        const char* pak;
    } const cases[] = {
        {"07911326", "07911326"},
        {"07911326f0", "07911326F0"},
        {"\"07911326\"", "07911326"},
        {" 0791 ", "0791"},
        {"0791\t", "0791"},
        {"\"\"", ""},
        {"", ""},
        {"07 91", "07 91"}, // inside the PDU nothing is dropped
    };
    for (const Case& c : cases)
        EXPECT_EQ(at::PduLine(u(c.line)).toStdString(), c.pak) << c.line;
}

TEST(ParseCmgl, EveryMessageOfTheList)
{
    struct Entry {
        int index;
        int tipo;
        int length;
        const char* pak;
    };
    struct Case {
        const char* name;
        QString answer;
        std::vector<Entry> entries;
    } const cases[] = {
        {"none", u("OK"), {}},
        {"refused", u("ERROR"), {}},
        {"textbook",
         u("+CMGL: 1,1,,30\r\n") + u(Pdu) + u("\r\n+CMGL: 3,2,,4\r\n0011000B91"),
         {{1, 1, 30, Pdu}, {3, 2, 4, "0011000B91"}}},
        {"blanks, alpha, lower-case hex, a quote",
         u("+CMGL: 4, 0, \"Anna, B\", 30\r\n") + u(PduLower) + u("\"\r\n+CMGL: 12 ,3,,4 \r\n0011000B91 "),
         {{4, 0, 30, Pdu}, {12, 3, 4, "0011000B91"}}},
        {"LF line ends and a blank line", u("+CMGL: 2,1,,30\n\n") + u(Pdu), {{2, 1, 30, Pdu}}},
        {"alpha left out, no length",
         u("+CMGL: 2,1,30\r\n") + u(Pdu) + u("\r\n+CMGL: 3,1\r\n") + u(Pdu),
         {{2, 1, 30, Pdu}, {3, 1, -1, Pdu}}},
        {"no status", u("+CMGL: 5,,,30\r\n") + u(Pdu), {{5, -1, 30, Pdu}}},
        {"a heading without its PDU",
         u("+CMGL: 5,1,,30\r\n+CMGL: 6,1,,30\r\n") + u(Pdu),
         {{5, 1, 30, ""}, {6, 1, 30, Pdu}}},
        {"an unreadable index is skipped with its PDU",
         u("+CMGL: x,1,,30\r\n") + u(Pdu) + u("\r\n+CMGL: 99999,1,,30\r\n00\r\n+CMGL: 7,1,,1\r\n00"),
         {{7, 1, 1, "00"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<at::CmglEntry> entries = at::ParseCmgl(c.answer);
        ASSERT_EQ(entries.size(), c.entries.size());
        for (size_t i = 0; i < entries.size(); ++i) {
            EXPECT_EQ(entries[i].index, c.entries[i].index) << i;
            EXPECT_EQ(entries[i].tipo, c.entries[i].tipo) << i;
            EXPECT_EQ(entries[i].length, c.entries[i].length) << i;
            EXPECT_EQ(entries[i].pak.toStdString(), c.entries[i].pak) << i;
        }
    }
}

// The listing that stands for every slot of a store of 12 slots, `used` of
// them in use, or none.
TEST(ParseCmglStore, AListingThatStandsForTheSlots)
{
    const QString message = u("+CMGL: 1,1,,30\r\n") + u(Pdu) + u("\r\n");
    const QString twoMessages = message + u("+CMGL: 12,2,,4\r\n0011000B91");
    struct Case {
        const char* name;
        QString answer;
        int used;
        std::vector<int> indexes; // empty with `stands` false: absent
        bool stands;
    } const cases[] = {
        {"no message", u("OK"), 0, {}, true},
        {"textbook", twoMessages, 2, {1, 12}, true},
        {"listed out of order",
         u("+CMGL: 7,1,,30\r\n") + u(Pdu) + u("\r\n+CMGL: 3,0,,30\r\n") + u(Pdu),
         2,
         {7, 3},
         true},
        {"blanks, alpha, a quote", u("+CMGL: 4, 0, \"Anna, B\", 30\r\n") + u(PduLower) + u("\"\r\n"), 1, {4}, true},
        {"alpha left out", u("+CMGL: 4,0,30\r\n") + u(Pdu), 1, {4}, true},
        {"no status", u("+CMGL: 5,,,30\r\n") + u(Pdu), 1, {5}, true},
        {"refused", u("ERROR"), 0, {}, false},
        {"given up", u("error"), 0, {}, false},
        {"empty", u(""), 0, {}, false},
        {"beyond the capacity", u("+CMGL: 13,1,,30\r\n") + u(Pdu), 1, {}, false},
        {"slot 0", u("+CMGL: 0,1,,30\r\n") + u(Pdu), 1, {}, false},
        {"listed twice", message + message, 2, {}, false},
        {"a heading without its PDU", u("+CMGL: 5,1,,30\r\n+CMGL: 6,1,,30\r\n") + u(Pdu), 2, {}, false},
        {"a last heading without its PDU", message + u("+CMGL: 7,1,,30"), 2, {}, false},
        {"an unreadable index", u("+CMGL: x,1,,30\r\n") + u(Pdu), 1, {}, false},
        {"a heading alone on its line", u("+CMGL:\r\n") + u(Pdu), 1, {}, false},
        {"a PDU line without hex", u("+CMGL: 1,1,,30\r\n\"\""), 1, {}, false},
        {"another answer", u("+CMGR: 1,,30\r\n") + u(Pdu), 1, {}, false},
        // Not the store +CPMS counts.
        {"a message left out", twoMessages, 3, {}, false},
        {"a stray OK after the first message", message, 2, {}, false},
        {"no message of the ones in use", u("OK"), 2, {}, false},
        {"a message more than in use", twoMessages, 1, {}, false},
        // A PDU that is not the <length> its heading announces.
        {"a PDU cut to 40 digits", u("+CMGL: 1,1,,30\r\n") + u(Pdu).left(40), 1, {}, false},
        {"a PDU a digit short", u("+CMGL: 1,1,,30\r\n") + u(Pdu).chopped(1), 1, {}, false},
        {"a PDU an octet long", u("+CMGL: 1,1,,30\r\n") + u(Pdu) + u("00"), 1, {}, false},
        {"the second PDU cut", message + u("+CMGL: 12,2,,4\r\n0011000B"), 2, {}, false},
        {"no length", u("+CMGL: 1,1\r\n") + u(Pdu), 1, {}, false},
        // A phone counts every <length> of its listing the same way.
        {"every length the whole PDU",
         u("+CMGL: 1,1,,38\r\n") + u(Pdu) + u("\r\n+CMGL: 12,2,,5\r\n0011000B91"),
         2,
         {1, 12},
         true},
        {"one length the TPDU, one the whole PDU",
         u("+CMGL: 1,1,,30\r\n") + u(Pdu) + u("\r\n+CMGL: 12,2,,5\r\n0011000B91"),
         2,
         {},
         false},
        {"a PDU cut to as many octets as its TPDU count",
         message + u("+CMGL: 2,1,,30\r\n") + u(Pdu).left(60),
         2,
         {},
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<std::vector<at::CmglEntry>> listed = at::ParseCmglStore(c.answer, 12, c.used);
        ASSERT_EQ(listed.has_value(), c.stands);
        if (!listed)
            continue;
        std::vector<int> indexes;
        for (const at::CmglEntry& entry : *listed)
            indexes.push_back(entry.index);
        EXPECT_EQ(indexes, c.indexes);
    }
    // A listed message reads as +CMGR gives it.
    const at::CmgrAnswer read = at::ParseCmgr(u("+CMGR: 0,,30\r\n") + u(Pdu));
    const at::CmgrAnswer listed = at::AsCmgr(at::ParseCmglStore(u("+CMGL: 9,0,,30\r\n") + u(Pdu), 12, 1)->at(0));
    EXPECT_EQ(listed.kind, read.kind);
    EXPECT_EQ(listed.tipo, read.tipo);
    EXPECT_EQ(listed.length, read.length);
    EXPECT_EQ(listed.pak, read.pak);
}

TEST(Status, PiecesAndWordsByStat)
{
    struct Case {
        int tipo;
        const char* piece;
        const char* word;
    } const cases[] = {
        {0, "Nuovo  ³ ", "Nuovo"},   {1, "Letto  ³ ", "Letto"}, {2, "Da Inv ³ ", "Da Inviare"},
        {3, "Inviat ³ ", "Inviato"}, {4, "       ³ ", ""},      {24, "       ³ ", ""},
        {-1, "       ³ ", ""},       {255, "       ³ ", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(at::StatusPiece(c.tipo), u(c.piece)) << c.tipo;
        EXPECT_EQ(at::StatusPiece(c.tipo).size(), 9) << c.tipo;
        EXPECT_EQ(at::StatusWord(c.tipo), u(c.word)) << c.tipo;
    }
}

} // namespace
