// SPDX-License-Identifier: GPL-3.0-or-later
// The unsolicited-line filter: each code, each position, a line that is the
// answer to the command just sent, and text that is still growing.
#include "at/unsolicited.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using at::IsUnsolicited;
using at::RemoveUnsolicited;

const QString kPdu = "07919333950669000406D0D464130000423071800010404CC7";

TEST(Unsolicited, EachCodeIsTakenOutBeforeInsideAndAfterAnAnswer)
{
    const std::vector<QString> codes = {
        "RING",
        "+CRING: VOICE",
        "+CLIP: \"+393331234567\",145,,,,0",
        "+CMTI: \"SM\",3",
        "+CDSI: \"SM\",4",
        "+CBMI: \"BM\",1",
        "+CREG: 1",
        "+CGREG: 5,\"00C3\",\"0000A13F\",2",
        "+CEREG: 1",
        "+CIEV: 2,3",
        "+CUSD: 0,\"Credito residuo 5,00 EUR\",15",
        "+PBREADY",
        "NO CARRIER",
        "BUSY",
        "NO ANSWER",
        "^BOOT:27710117,0,0,0,75",
        "^MODE:5,5",
        "^RSSI:17",
        "^HCSQ:\"LTE\",52,44,138,31",
        "^SRVST:2",
        "^SIMST:1",
        "^DSFLOWRPT:0000003C,00000000,00000000,00000000,00000000,00000000,0003E800,0003E800",
        "^NDISSTAT:1,,,\"IPV4\"",
        "+cmti: \"ME\",12", // letter case does not matter
    };
    const QString answer = "\r\n+CMGR: 1,,23\r\n" + kPdu + "\r\n\r\nOK\r\n";
    for (const QString& code : codes) {
        SCOPED_TRACE(code.toStdString());
        EXPECT_TRUE(IsUnsolicited(code, "AT+CMGR=1"));
        const QString frame = "\r\n" + code + "\r\n";
        const std::vector<QString> texts = {
            frame + answer, "\r\n+CMGR: 1,,23\r\n" + frame + kPdu + "\r\n\r\nOK\r\n", answer + frame,
            code + "\n" + answer, // LF-only, at the very start
        };
        for (const QString& text : texts) {
            const at::Unsolicited result = RemoveUnsolicited(text, "AT+CMGR=1");
            EXPECT_EQ(result.removed, QStringList{code});
            EXPECT_FALSE(result.kept.contains(code));
            // The blank lines that framed it are left for the link to drop.
            EXPECT_EQ(QString(result.kept).remove('\r').remove('\n'), "+CMGR: 1,,23" + kPdu + "OK");
        }
    }
}

TEST(Unsolicited, AMessageDeliveredWithItsPduGoesWithIt)
{
    struct Case {
        const char* name;
        QString text;
        QString kept;
        QStringList removed;
    };
    const std::vector<Case> cases = {
        {"+CMT and its PDU", "\r\n+CMT: ,23\r\n" + kPdu + "\r\n\r\nOK\r\n", "\r\n\r\nOK\r\n", {"+CMT: ,23\r\n" + kPdu}},
        {"+CDS and its PDU", "\r\n+CDS: 25\r\n" + kPdu + "\r\n\r\nOK\r\n", "\r\n\r\nOK\r\n", {"+CDS: 25\r\n" + kPdu}},
        {"+CMT whose PDU is still coming: kept until it is there",
         "\r\n+CMT: ,23\r\n0791",
         "\r\n+CMT: ,23\r\n0791",
         {}},
        {"+CMT with no PDU yet", "\r\n+CMT: ,23\r\n", "\r\n+CMT: ,23\r\n", {}},
        {"an unfinished line is not judged", "\r\nRIN", "\r\nRIN", {}},
        {"a CR that ends the text waits for its LF", "\r\nRING\r", "\r\nRING\r", {}},
        {"two in a row", "\r\nRING\r\n\r\nRING\r\n\r\nOK\r\n", "\r\n\r\n\r\nOK\r\n", {"RING", "RING"}},
        {"blanks around", "\r\n  RING \r\n\r\nOK\r\n", "\r\n\r\nOK\r\n", {"RING"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const at::Unsolicited result = RemoveUnsolicited(c.text, "AT+CMGR=1");
        EXPECT_EQ(result.kept, c.kept);
        EXPECT_EQ(result.removed, c.removed);
    }
}

TEST(Unsolicited, TheAnswerToTheCommandSentStays)
{
    struct Case {
        const char* line;
        const char* command;
        bool unsolicited;
    };
    const std::vector<Case> cases = {
        {"+CREG: 0,1", "AT+CREG?", false},
        {"+CREG: 0,1", "+CREG?", false},
        {"+CREG: 0,1", "at+creg?", false},
        {"+CREG: 0,1", "AT+CGREG?", true},
        {"+CGREG: 0,1", "AT+CREG?", true},
        {"+CUSD: 0,\"Credito\",15", "AT+CUSD=1,\"*123#\",15", false},
        {"+CLIP: 1,1", "AT+CLIP?", false},
        {"^SYSINFO:2,3,0,5,1", "AT^SYSINFO", false},
        {"^SYSINFO:2,3,0,5,1", "AT+CGMM", true},
        {"+CPIN: READY", "AT+CPIN?", false},
        {"+CPIN: READY", "AT+CMGR=1", true},
        {"NO CARRIER", "ATD+393331234567;", false},
        {"NO CARRIER", "AT+CMGR=1", true},
        // What is no unsolicited code at all.
        {"+CMGR: 1,,23", "AT+CMGR=1", false},
        {"+CMGL: 1,0,,23", "AT+CMGL=4", false},
        {"+CPBR: 1,\"+39333\",145,\"RING\"", "AT+CPBR=1", false},
        {"+CSCA: \"+39\",145", "AT+CSCA?", false},
        {"OK", "AT", false},
        {"+CMS ERROR: 321", "AT+CMGR=1", false},
        {"07919333950669", "AT+CMGR=1", false},
        {"RINGO", "AT+CGMM", false},
        {"", "AT", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.line) + " after " + c.command);
        EXPECT_EQ(IsUnsolicited(c.line, c.command), c.unsolicited);
    }
    // The filter keeps the answer it was asked for and drops the others around it.
    const at::Unsolicited result = RemoveUnsolicited("\r\n+CREG: 1\r\n\r\n+CREG: 0,1\r\n\r\nOK\r\n", "AT+CGMM");
    EXPECT_EQ(result.removed, (QStringList{"+CREG: 1", "+CREG: 0,1"}));
    EXPECT_EQ(RemoveUnsolicited("\r\n+CREG: 0,1\r\n\r\nOK\r\n", "AT+CREG?").kept, "\r\n+CREG: 0,1\r\n\r\nOK\r\n");
}

// The lines of a phone that has just started: unsolicited whatever the
// command, restart signs, and taken out of the answer they fall into.
TEST(Unsolicited, RestartLinesOfCommonModems)
{
    struct Case {
        const char* line;
        const char* command;
        bool unsolicited;
        bool restart;
    };
    const std::vector<Case> cases = {
        {"RDY", "AT+CPBR=1,50", true, true},
        {"^SYSSTART", "AT+CPBR=1,50", true, true},
        {"+CFUN: 1", "AT+CPBR=1,50", true, true},
        {"+CFUN:1", "AT+CPBR=1,50", true, true},
        {"+CPIN: READY", "AT+CPBR=1,50", true, true},
        {"SMS Ready", "AT+CPBR=1,50", true, true},
        {"Call Ready", "AT+CPBR=1,50", true, true},
        {"PB DONE", "AT+CPBR=1,50", true, true},
        {"pb done", "", true, true},
        {" RDY ", "AT", true, true},
        // The answers to the commands that ask for them.
        {"+CPIN: READY", "AT+CPIN?", false, true},
        {"+CFUN: 1", "AT+CFUN?", false, true},
        // Unsolicited, but no sign of a restart.
        {"+CFUN: 0", "AT+CPBR=1,50", true, false},
        {"+CPIN: SIM PIN", "AT+CPBR=1,50", true, false},
        {"+PBREADY", "AT+CPBR=1,50", true, false},
        {"^BOOT:27710117,0,0,0,75", "AT+CPBR=1,50", true, false},
        {"RING", "AT+CPBR=1,50", true, false},
        // Neither.
        {"READY", "AT", false, false},
        {"RDY2", "AT", false, false},
        {"+CPBR: 1,\"+39333\",145,\"RDY\"", "AT+CPBR=1,50", false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.line) + " after " + c.command);
        EXPECT_EQ(IsUnsolicited(c.line, c.command), c.unsolicited);
        EXPECT_EQ(at::IsRestart(c.line), c.restart);
    }
    const at::Unsolicited result = RemoveUnsolicited(
        "\r\n+CPBR: 1,\"1\",129,\"0041\"\r\n\r\nRDY\r\n\r\nSMS Ready\r\n+CPBR: 2,\"2\",129,\"B\"\r\n\r\nOK\r\n",
        "AT+CPBR=1,50");
    EXPECT_EQ(result.removed, (QStringList{"RDY", "SMS Ready"}));
    EXPECT_EQ(QString(result.kept).remove('\r').remove('\n'), "+CPBR: 1,\"1\",129,\"0041\"+CPBR: 2,\"2\",129,\"B\"OK");
}

} // namespace
