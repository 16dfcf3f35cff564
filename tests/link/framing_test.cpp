// SPDX-License-Identifier: GPL-3.0-or-later
// The link's pure functions as tables: the prefix, the framing of phones
// brought to one, when an answer is complete, and its cleaning.
#include "link/framing.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace phonelink;

TEST(Framing, Prefix)
{
    const std::vector<std::pair<QString, QString>> cases = {
        {"+CPMS?", "AT+CPMS?"}, {"^SYSINFO", "AT^SYSINFO"}, {"ATZ", "ATZ"},
        {" +CSQ", " +CSQ"},     {"AT+CGMM", "AT+CGMM"},     {"", ""},
    };
    for (const auto& [command, sent] : cases)
        EXPECT_EQ(withPrefix(command), sent) << command.toStdString();
}

// Each dialect of framing, and what it becomes; the textbook framing comes
// back unchanged.
TEST(Framing, PhonesFramingsBecomeTheTextbookOne)
{
    struct Case {
        const char* name;
        QString command;
        QString collected;
        QString normal;
        QString cleaned;
    };
    const QString pdu = "0791933395066900040C9193431732547600004230518124704032C374F81D";
    const std::vector<Case> cases = {
        // Textbook, unchanged.
        {"ATZ echo", "ATZ", "ATZ\r\r\nOK\r\n", "ATZ\r\r\nOK\r\n", "AT"},
        {"ATE0 echo", "ATE0", "ATE0\r\r\nOK\r\n", "ATE0\r\r\nOK\r\n", "ATE"},
        {"bare OK", "ATZ", "\r\nOK\r\n", "\r\nOK\r\n", "OK"},
        {"model", "AT+CGMM", "\r\nX100\r\n\r\nOK\r\n", "\r\nX100\r\n\r\nOK\r\n", "X100"},
        {"stored message", "AT+CMGR=1", "\r\n+CMGR: 1,,23\r\n" + pdu + "\r\n\r\nOK\r\n",
         "\r\n+CMGR: 1,,23\r\n" + pdu + "\r\n\r\nOK\r\n", "+CMGR: 1,,23\r\n" + pdu},
        {"prompt", "AT+CMGS=14\r", "\r\n> ", "\r\n> ", ">"},
        {"refused", "AT+CMGD=9", "\r\nERROR\r\n", "\r\nERROR\r\n", "ERROR"},
        // Not cleaned: the transaction answers "ERROR" for it.
        {"extended error", "AT+CMGR=4", "\r\n+CMS ERROR: 321\r\n", "\r\n+CMS ERROR: 321\r\n", QString()},
        {"lower-case ok", "ATZ", "\r\nok\r\n", "\r\nok\r\n", "ok"},
        // Dialects.
        {"echo ending in CR CR", "AT+CGMM", "AT+CGMM\r\r\r\nX100\r\n\r\nOK\r\n", "AT+CGMM\r\r\nX100\r\n\r\nOK\r\n",
         "AT+CGMM\r\r\nX100"},
        {"ATZ echo ending in CR CR", "ATZ", "ATZ\r\r\r\nOK\r\n", "ATZ\r\r\nOK\r\n", "AT"},
        {"LF only", "AT+CGMM", "\nX100\n\nOK\n", "\r\nX100\r\n\r\nOK\r\n", "X100"},
        {"no blank line before OK", "AT+CGMM", "\r\nX100\r\nOK\r\n", "\r\nX100\r\n\r\nOK\r\n", "X100"},
        {"blank lines before a bare OK", "ATZ", "\r\n\r\nOK\r\n", "\r\nOK\r\n", "OK"},
        {"many blank lines", "AT+CGMM", "\r\n\r\n\r\nX100\r\n\r\n\r\n\r\nOK\r\n", "\r\nX100\r\n\r\nOK\r\n", "X100"},
        {"NULs", "AT+CGMM", QString("\r\n") + QChar(0) + "X100\r\n" + QChar(0) + "\r\nOK\r\n", "\r\nX100\r\n\r\nOK\r\n",
         "X100"},
        {"a NUL inside a line is the GSM \"@\"", "AT+CPBR=1",
         QString("\r\n+CPBR: 1,\"123\",129,\"a") + QChar(0) + "b\"\r\n\r\nOK\r\n",
         QString("\r\n+CPBR: 1,\"123\",129,\"a") + QChar(0) + "b\"\r\n\r\nOK\r\n",
         QString("+CPBR: 1,\"123\",129,\"a") + QChar(0) + "b\""},
        {"a blank-only line", "AT+CGMM", "\r\nX100\r\n  \r\n\r\nOK\r\n", "\r\nX100\r\n\r\nOK\r\n", "X100"},
        {"blanks around the final code", "AT+CGMM", "\r\nX100\r\n\r\n OK \r\n", "\r\nX100\r\n\r\nOK\r\n", "X100"},
        {"unsolicited before, inside, after", "AT+CMGR=1",
         "\r\nRING\r\n\r\n+CMGR: 1,,23\r\n\r\n^BOOT:27710117,0,0,0,75\r\n" + pdu
             + "\r\n\r\n+CMTI: \"SM\",3\r\n\r\nOK\r\n",
         "\r\n+CMGR: 1,,23\r\n" + pdu + "\r\n\r\nOK\r\n", "+CMGR: 1,,23\r\n" + pdu},
        {"unsolicited with echo", "AT+CGMM", "AT+CGMM\r\r\n^MODE:5,5\r\n\r\nX100\r\n\r\nOK\r\n",
         "AT+CGMM\r\r\nX100\r\n\r\nOK\r\n", "AT+CGMM\r\r\nX100"},
        {"the tail of a line begun before the command", "AT+CMGR=1",
         "CARRIER\r\n\r\n+CMGR: 1,,23\r\n" + pdu + "\r\n\r\nOK\r\n", "\r\n+CMGR: 1,,23\r\n" + pdu + "\r\n\r\nOK\r\n",
         "+CMGR: 1,,23\r\n" + pdu},
        {"unsolicited before the echo", "ATZ", "\r\nRING\r\nATZ\r\r\nOK\r\n", "ATZ\r\r\nOK\r\n", "AT"},
        {"unsolicited after the prompt's CR LF", "AT+CMGS=14\r", "\r\n+CREG: 1\r\n\r\n> ", "\r\n> ", ">"},
        {"the answer asked for", "AT+CREG?", "\r\n+CREG: 0,1\r\n\r\nOK\r\n", "\r\n+CREG: 0,1\r\n\r\nOK\r\n",
         "+CREG: 0,1"},
        {"after the final code: left out", "AT+CGMM", "\r\nX100\r\n\r\nOK\r\n\r\nOK\r\n", "\r\nX100\r\n\r\nOK\r\n",
         "X100"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(normalise(c.collected, c.command), c.normal);
        EXPECT_EQ(normalise(c.normal, c.command), c.normal);
        EXPECT_NE(answerEnd(c.normal), AnswerEnd::None);
        if (!c.cleaned.isNull()) {
            EXPECT_EQ(cleanAnswer(c.normal), c.cleaned);
        }
    }
}

// An answer still coming is complete only when its final code is.
TEST(Framing, AnAnswerInPiecesEndsWithItsFinalCode)
{
    struct Case {
        const char* name;
        QString collected;
        AnswerEnd end;
    };
    const std::vector<Case> cases = {
        {"nothing", "", AnswerEnd::None},
        {"echo only", "ATZ\r", AnswerEnd::None},
        {"half an OK", "\r\nO", AnswerEnd::None},
        {"OK without its line end", "\r\nOK", AnswerEnd::None},
        {"OK and CR: its LF may follow", "\r\nOK\r", AnswerEnd::None},
        {"OK", "\r\nOK\r\n", AnswerEnd::Final},
        {"OK, LF only", "\nOK\n", AnswerEnd::Final},
        {"information only", "\r\nX100\r\n", AnswerEnd::None},
        {"a ring only", "\r\nRING\r\n", AnswerEnd::None},
        {"a message notice with its PDU still coming", "\r\n+CMT: ,23\r\n0791", AnswerEnd::None},
        {"error", "\r\nERROR\r\n", AnswerEnd::Final},
        {"error, any case", "\r\nerror\r\n", AnswerEnd::Final},
        {"prompt", "\r\n> ", AnswerEnd::Final},
        {"extended error", "\r\n+CME ERROR: 22\r\n", AnswerEnd::ExtendedError},
        {"extended error, half", "\r\n+CMS ERROR: 3", AnswerEnd::None},
        {"extended error, lower case", "\r\n+cms error: 321\r\n", AnswerEnd::ExtendedError},
        {"OK inside an information line is none", "\r\n+CPBR: 1,\"OK\",129,\"OK\"\r\n", AnswerEnd::None},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(answerEnd(normalise(c.collected, "AT+CMGR=1")), c.end);
    }
}

// The watch over an answer as it comes misses no end: in pieces of any
// size, whenever the answer so far is complete, the piece that completed it
// (or a later one) is flagged; and a listing is framed once or twice, not
// at every row.
TEST(Framing, TheFinalWatchMissesNoEnd)
{
    const QString pdu = "0791933395066900040C9193431732547600004230518124704032C374F81D";
    const std::vector<std::pair<QString, QString>> answers = {
        {"ATZ", "ATZ\r\r\nOK\r\n"},
        {"ATZ", "ATZ\rOK\r\r"},
        {"ATZ", "\nOK\n"},
        {"ATZ", "ATZ\r\r\r\nOK\r\r\n"},
        {"AT+CMGR=1", "\r\n+CMGR: 1,,23\r\n" + pdu + "\r\n\r\nOK\r\n"},
        {"AT+CMGR=1", "\r\nRING\r\n\r\n+CMS ERROR: 321\r\n"},
        {"AT+CMGR=1", QString::fromLatin1(QByteArray("\0\0\r\nERROR\r\n\0", 12))},
        {"AT+CMGR=1", "\r\n+cme error: SIM PIN required\r\n"},
        {"AT+CMGS=14\r", "AT+CMGS=14\r\r\r\n> "},
        {"AT+CMGS=14\r", "\r\n+CMT: ,23\r\n" + pdu + "\r\n\r\n> "},
        {"AT+CPBR=1,3", "\r\n+CPBR: 1,\"OK\",129,\"OK\"\r\n+CPBR: 2,\"1\",129,\"> x\"\r\n\r\nOK\r\n"},
        {"AT+CSQ", "\r\nOK \r\n"},
        // A CR ends "OK" once a character follows it: in pieces of two, "K\r" comes alone.
        {"AT+CSQ", "x\r\nOK\rK\r"},
        // A line that begins as the prompt ends it, whatever follows.
        {"AT+CMGL=4", "\r\n+CMGL: 1,1,,23\r\n> x\r\n123"},
    };
    for (const auto& [command, collected] : answers) {
        for (const qsizetype size : {1, 2, 3, 7}) {
            SCOPED_TRACE(collected.toStdString() + " in pieces of " + std::to_string(size));
            FinalWatch watch;
            bool flagged = false; // since the answer became complete
            bool complete = false;
            for (qsizetype at = 0; at < collected.size(); at += size) {
                const bool flag = watch.feed(QStringView(collected).mid(at, size));
                const bool nowComplete = answerEnd(normalise(collected.left(at + size), command)) != AnswerEnd::None;
                if (nowComplete && !complete)
                    flagged = flag;
                complete = nowComplete;
                if (complete && flag)
                    flagged = true;
            }
            EXPECT_TRUE(complete);
            EXPECT_TRUE(flagged);
        }
    }

    // Two hundred rows of a listing, a row at a time: flagged at the end only.
    QString listing;
    for (int i = 1; i <= 200; ++i)
        listing += "\r\n+CMGL: " + QString::number(i) + ",1,,23\r\n" + pdu;
    FinalWatch watch;
    int flags = 0;
    for (qsizetype at = 0; at < listing.size(); at += 40)
        flags += watch.feed(QStringView(listing).mid(at, 40)) ? 1 : 0;
    EXPECT_EQ(flags, 0);
    EXPECT_TRUE(watch.feed(u"\r\n\r\nOK\r\n"));
}

// What comes after a complete answer's final code, in the same read.
TEST(Framing, WhatFollowsTheFinalCode)
{
    const struct {
        const char* name;
        QString collected;
        qsizetype after;
        bool inside;
    } cases[] = {
        {"nothing after", "\r\n+CSQ: 20,0\r\n\r\nOK\r\n", 20, false},
        {"a code begun", "\r\nOK\r\n\r\n+CMTI: \"", 6, true},
        {"a code whole", "\r\nOK\r\n\r\n+CMTI: \"SM\",2\r\n", 6, false},
        {"echo, LF only", "AT+CSQ\r\n+CSQ: 1\n\nOK\nRI", 20, true},
        {"CR only", "\rERROR\rRING", 7, true},
        {"an extended error", "\r\n+CMS ERROR: 321\r\n\r\n+CDS: 25\r\n0791", 19, true},
        {"the final line unfinished", "\r\nOK", -1, false},
        {"a prompt is not looked past", "\r\n> ", -1, false},
        {"no final line", "\r\n+CMGL: 1,1,,23\r\n", -1, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const qsizetype after = phonelink::afterFinalLine(c.collected);
        EXPECT_EQ(after, c.after);
        if (after >= 0) {
            EXPECT_EQ(phonelink::endsInsideLine(c.collected.mid(after)), c.inside);
        }
    }
}

TEST(Framing, Cleaning)
{
    const std::vector<std::pair<QString, QString>> cases = {
        {"ATZ\r\r\nOK\r\n", "AT"},
        {"\r\nOK\r\n", "OK"},
        {"\r\n> ", ">"},
        {"\r\nERROR\r\n", "ERROR"},
        {"\r\nerror\r\n", "error"},
        {"\r\n+CSCA: \"+391234567890\",145\r\n\r\nOK\r\n", "+CSCA: \"+391234567890\",145"},
        {"  \r\nX100\r\n\r\nOK\r\n  ", "X100"},
        {"\r\nok\r\n", "ok"},
        {"", ""},
    };
    for (const auto& [collected, cleaned] : cases)
        EXPECT_EQ(cleanAnswer(collected), cleaned) << collected.toStdString();
}

TEST(Framing, FinalLines)
{
    for (const char* line : {"OK", "ok", " OK ", "ERROR", "+CME ERROR: 22", "+cms error: 321", ">", "> "})
        EXPECT_TRUE(isFinalLine(line)) << line;
    for (const char* line : {"", "OKAY", "RING", "+CMGR: 1,,23", "X100", "NO CARRIER", "0"})
        EXPECT_FALSE(isFinalLine(line)) << line;
}

// What each command is, and whether the link may send it again on
// silence: never a PIN, a message, a write or a command it does not know.
TEST(Framing, CommandsClassified)
{
    using Kind = Command::Kind;
    struct Case {
        const char* command;
        Kind kind;
        bool repeatable;
    } const cases[] = {
        // Listings: as long as the store.
        {"+CMGL=4", Kind::Listing, true},
        {"AT+CMGL=4", Kind::Listing, true},
        {"+cmgl=0", Kind::Listing, true},
        {"+CMGL", Kind::Listing, true},
        {"+CPBR=1,50", Kind::Listing, true},
        {"+CPBR=51,100", Kind::Listing, true},
        {"+CPBR=1", Kind::Plain, true},
        {"+CPBR=?", Kind::Plain, true},
        {"+CMGL=?", Kind::Plain, true},
        {"+CMGLX", Kind::Plain, false},
        // Reads, selections, settings, one slot deleted: sent again.
        {"ATZ", Kind::Plain, true},
        {"ATE0", Kind::Plain, true},
        {"ATQ0", Kind::Plain, true},
        {"ATV1", Kind::Plain, true},
        {"+CSCS=GSM", Kind::Plain, true},
        {"+CSCS=\"UCS2\"", Kind::Plain, true},
        {"+CMEE=1", Kind::Plain, true},
        {"+CPMS=SM\r\n", Kind::Plain, true},
        {"+CPMS=ME", Kind::Plain, true},
        {"+CPMS?", Kind::Plain, true},
        {"+CPBS=FD", Kind::Plain, true},
        {"+CMGR=12", Kind::Plain, true},
        {"+CMGD=12", Kind::Plain, true},
        {"+CGMM", Kind::Plain, true},
        {"+CSCA?", Kind::Plain, true},
        {"+CPIN?", Kind::Plain, true},
        {"+CPINR=\"SIM PIN\"", Kind::Plain, true},
        {"+CNMI=?", Kind::Plain, true},
        {"+CNMI=2,1,0,1,0", Kind::Plain, true},
        {"^SYSINFO?", Kind::Plain, true},
        // Once: a try spent, a message sent or stored, something written or
        // created, a whole store deleted, a command not known.
        {"+CPIN=\"1234\"", Kind::Plain, false},
        {"+CPIN=1234", Kind::Plain, false},
        {"+CPIN=\"12345678\",\"0000\"", Kind::Plain, false},
        {"+cpin=\"1234\"", Kind::Plain, false},
        {" +CPIN=\"1234\"", Kind::Plain, false},
        {"+CMGS=20\r", Kind::Prompt, false},
        {"+CMGW=20,2", Kind::Prompt, false},
        {"0011000B911326880736F40000A90AE8329BFD4697D9EC37\x1a", Kind::Pdu, false},
        {"+CPBW=,\"3471234567\",129,\"Mario\"", Kind::Plain, false},
        {"+CPBW=3,\"3471234567\",129,\"Mario\"", Kind::Plain, false},
        {"+CMGD=1,4", Kind::Plain, false},
        {"+CMSS=3", Kind::Plain, false},
        {"+CUSD=1,\"*123#\",15", Kind::Plain, false},
        {"+CUSD=1,\"AA180C3602\",15", Kind::Plain, false},
        {"+CUSD=2", Kind::Plain, false},
        {"+CLCK=\"SC\",0,\"1234\"", Kind::Plain, false},
        {"ATD3471234567;", Kind::Plain, false},
        {"AT+CMGF=0;+CSCA?", Kind::Plain, false},
        {"", Kind::Plain, false},
    };
    for (const Case& c : cases) {
        const Command classified = classify(QString::fromLatin1(c.command));
        EXPECT_EQ(classified.kind, c.kind) << c.command;
        EXPECT_EQ(classified.repeatable, c.repeatable) << c.command;
        EXPECT_EQ(classified.line, withPrefix(QString::fromLatin1(c.command))) << c.command;
    }
}

} // namespace
