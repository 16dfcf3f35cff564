// SPDX-License-Identifier: GPL-3.0-or-later
// The simulator's dialect, answer by answer, over the real pseudo-terminal.
#include "pty_client.h"
#include "sim/phonesim.h"
#include "sim/text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <random>
#include <set>
#include <thread>
#include <unistd.h>

namespace {

using namespace phonesim_test;

// SM.1 of the Italian sample, read, 63 octets after the service centre.
const std::string kSample1 =
    "0791933395066900040C9193431732547600004230518124704032C374F81D020DD3207B999C0EB7DFA0393D3C2FCBC3A0309B5D06C9"
    "60BA190C146683E66F769AFE0689C3F21F";
// The SMS-SUBMIT of "abc" to 12345 through +3912345678: 14 octets after the service centre.
const std::string kSubmitAbc = "0691932143658711F305812143F50000FF0361F118";

std::string repeat(const std::string& s, int n)
{
    std::string out;
    while (n-- > 0)
        out += s;
    return out;
}

std::string lowerHex(std::string s)
{
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

phonesim::PhoneState sample(const std::string& overrides = "")
{
    phonesim::PhoneState state;
    std::string error;
    EXPECT_TRUE(phonesim::loadStateText("include = italian.state\n" + overrides, state, error)) << error;
    return state;
}

// The Italian sample on a pty, with echo switched off as the program does.
class SimTest : public ::testing::Test {
protected:
    void startWith(const std::string& overrides, bool echoOff = true)
    {
        m_sim = std::make_unique<phonesim::Simulator>(sample(overrides));
        std::string error;
        ASSERT_TRUE(m_sim->start(&error)) << error;
        m_client = std::make_unique<Client>(m_sim->devicePath());
        ASSERT_TRUE(m_client->isOpen()) << m_sim->devicePath();
        if (echoOff) {
            ASSERT_EQ(m_client->at("ATE0"), "ATE0\r\r\nOK\r\n");
        }
    }
    void SetUp() override {}
    std::unique_ptr<phonesim::Simulator> m_sim;
    std::unique_ptr<Client> m_client;
};

TEST_F(SimTest, EchoIsOnAfterAtzUntilAte0AndAte1TurnsItOn)
{
    startWith("", false);
    EXPECT_EQ(m_client->at("ATZ"), "ATZ\r\r\nOK\r\n");
    EXPECT_EQ(m_client->at("AT+CGMM"), "AT+CGMM\r\r\nNokia 6310i\r\n\r\nOK\r\n");
    EXPECT_EQ(m_client->at("ATE0"), "ATE0\r\r\nOK\r\n");
    EXPECT_EQ(m_client->at("AT+CGMM"), "\r\nNokia 6310i\r\n\r\nOK\r\n");
    EXPECT_EQ(m_client->at("ATE1"), "\r\nOK\r\n");
    EXPECT_EQ(m_client->at("AT"), "AT\r\r\nOK\r\n");
    EXPECT_EQ(m_client->at("ATE0"), "ATE0\r\r\nOK\r\n");
    // Echo works as the line is typed: an ATZ typed with echo off is not
    // echoed, the commands after it are.
    EXPECT_EQ(m_client->at("ATZ"), "\r\nOK\r\n");
    EXPECT_EQ(m_client->at("AT"), "AT\r\r\nOK\r\n");
}

TEST_F(SimTest, PhoneWithoutEchoFailsTheConnectionTest)
{
    startWith("fault.noecho = on\n", false);
    EXPECT_EQ(m_client->at("ATZ"), "\r\nOK\r\n");
    EXPECT_EQ(m_client->at("ATE1"), "\r\nOK\r\n");
    EXPECT_EQ(m_client->at("AT"), "\r\nOK\r\n");
}

struct Exchange {
    const char* name;
    std::string command;
    std::string answer;
};

// Each answer framed as a phone frames it with ATV1, in the order sent.
TEST_F(SimTest, AnswersAreFramedAsPhonesFrameThem)
{
    startWith("");
    const Exchange table[] = {
        {"manufacturer", "AT+CGMI", "\r\nNokia\r\n\r\nOK\r\n"},
        {"revision", "AT+CGMR", "\r\nV 5.10\r\n\r\nOK\r\n"},
        {"imei", "AT+CGSN", "\r\n350612345678901\r\n\r\nOK\r\n"},
        {"charset without quotes", "AT+CSCS=GSM", "\r\nOK\r\n"},
        {"quiet off", "ATQ0", "\r\nOK\r\n"},
        {"verbose", "ATV1", "\r\nOK\r\n"},
        {"service centre", "AT+CSCA?", "\r\n+CSCA: \"+393359609600\",145\r\n\r\nOK\r\n"},
        {"pdu mode", "AT+CMGF=0", "\r\nOK\r\n"},
        {"text mode refused", "AT+CMGF=1", "\r\nERROR\r\n"},
        {"stores", "AT+CPMS?", "\r\n+CPMS: \"SM\",9,20,\"SM\",9,20,\"SM\",9,20\r\n\r\nOK\r\n"},
        {"stores offered", "AT+CPMS=?", "\r\n+CPMS: (\"SM\",\"ME\"),(\"SM\",\"ME\"),(\"SM\",\"ME\")\r\n\r\nOK\r\n"},
        {"stored message", "AT+CMGR=1", "\r\n+CMGR: 1,,63\r\n" + kSample1 + "\r\n\r\nOK\r\n"},
        {"empty slot", "AT+CMGR=4", "\r\n+CMGR: 0,,0\r\n\r\nOK\r\n"},
        {"slot beyond capacity", "AT+CMGR=21", "\r\nERROR\r\n"},
        {"phone-book size", "AT+CPBR=?", "\r\n+CPBR: (1-250),40,18\r\n\r\nOK\r\n"},
        {"entry with a comma", "AT+CPBR=3", "\r\n+CPBR: 3,\"+393401234567\",145,\"Rossi, Giulia\"\r\n\r\nOK\r\n"},
        {"entry without name", "AT+CPBR=6", "\r\n+CPBR: 6,\"+393281234567\",145,\"\"\r\n\r\nOK\r\n"},
        {"empty entry", "AT+CPBR=4", "\r\nOK\r\n"},
        {"entry range", "AT+CPBR=4,6",
         "\r\n+CPBR: 5,\"3331234567\",129,\"Bianchi, Luca\"\r\n+CPBR: 6,\"+393281234567\",145,\"\"\r\n\r\nOK\r\n"},
        {"phone books offered", "AT+CPBS=?", "\r\n+CPBS: (\"SM\",\"ME\",\"FD\")\r\n\r\nOK\r\n"},
        {"fixed dialling", "AT+CPBS=FD", "\r\nOK\r\n"},
        {"its size", "AT+CPBR=?", "\r\n+CPBR: (1-10),40,18\r\n\r\nOK\r\n"},
        {"selected book", "AT+CPBS?", "\r\n+CPBS: \"FD\",2,10\r\n\r\nOK\r\n"},
        {"no such book", "AT+CPBS=XX", "\r\nERROR\r\n"},
        {"unknown command", "AT+CLCK=?", "\r\nERROR\r\n"},
        {"not a command", "HELLO", "\r\nERROR\r\n"},
        {"two commands on a line", "AT+CMGF=0;+CSCA?", "\r\n+CSCA: \"+393359609600\",145\r\n\r\nOK\r\n"},
        {"basic commands run together", "ATE0Q0V1", "\r\nOK\r\n"},
    };
    for (const Exchange& e : table)
        EXPECT_EQ(m_client->at(e.command), e.answer) << e.name;
}

TEST_F(SimTest, NumericResultCodesAndExtendedErrors)
{
    startWith("");
    const Exchange table[] = {
        {"numeric ok", "ATV0", "0\r"},
        {"numeric info", "AT+CGMM", "Nokia 6310i\r\n0\r"},
        {"numeric error", "AT+FOO", "4\r"},
        {"verbose again", "ATV1", "\r\nOK\r\n"},
        {"extended errors on", "AT+CMEE=1", "\r\nOK\r\n"},
        {"message error", "AT+CMGR=99", "\r\n+CMS ERROR: 321\r\n"},
        {"phone-book error", "AT+CPBR=999", "\r\n+CME ERROR: 21\r\n"},
        {"unknown stays ERROR", "AT+FOO", "\r\nERROR\r\n"},
        {"verbose errors", "AT+CMEE=2", "\r\nOK\r\n"},
        {"verbose message error", "AT+CMGR=99", "\r\n+CMS ERROR: invalid memory index\r\n"},
        {"errors off", "AT+CMEE=0", "\r\nOK\r\n"},
        {"plain error", "AT+CMGR=99", "\r\nERROR\r\n"},
    };
    for (const Exchange& e : table)
        EXPECT_EQ(m_client->at(e.command), e.answer) << e.name;
}

TEST_F(SimTest, StoreSelectionAsTheProgramSendsItAndAsReported)
{
    startWith("");
    // One answer to "AT+CPMS=SM" CR LF CR: the LF and the empty line are ignored.
    EXPECT_EQ(m_client->send("AT+CPMS=SM\r\n\r"), "\r\n+CPMS: 9,20,9,20,9,20\r\n\r\nOK\r\n");
    EXPECT_EQ(m_client->at("AT+CPMS=ME"), "\r\n+CPMS: 5,150,9,20,9,20\r\n\r\nOK\r\n");
    EXPECT_EQ(m_client->at("AT+CPMS?"), "\r\n+CPMS: \"ME\",5,150,\"SM\",9,20,\"SM\",9,20\r\n\r\nOK\r\n");
    EXPECT_EQ(m_client->at("AT+CMGR=4"),
              "\r\n+CMGR: 2,,39\r\n"
                  + std::string(
                      "079193339506690011000A8143103254760000AA1DD2F4F82D2787E96910390D1ABFDB7079585E06A5D92078D85D06")
                  + "\r\n\r\nOK\r\n");
    EXPECT_EQ(m_client->at("AT+CPMS=\"ME\",\"ME\",\"ME\""), "\r\n+CPMS: 5,150,5,150,5,150\r\n\r\nOK\r\n");
    EXPECT_EQ(m_client->at("AT+CPMS?"), "\r\n+CPMS: \"ME\",5,150,\"ME\",5,150,\"ME\",5,150\r\n\r\nOK\r\n");
    EXPECT_EQ(m_client->at("AT+CPMS=XX"), "\r\nERROR\r\n");
    EXPECT_EQ(m_client->at("AT"), "\r\nOK\r\n"); // nothing left over from the lines above
}

TEST_F(SimTest, PhoneWithoutPhoneStoreRefusesMe)
{
    startWith("phone_store = no\n");
    EXPECT_EQ(m_client->at("AT+CPMS=ME"), "\r\nERROR\r\n");
    EXPECT_EQ(m_client->at("AT+CPMS=\"ME\""), "\r\nERROR\r\n");
    EXPECT_EQ(m_client->at("AT+CPMS?"), "\r\n+CPMS: \"SM\",9,20,\"SM\",9,20,\"SM\",9,20\r\n\r\nOK\r\n");
    EXPECT_EQ(m_client->at("AT+CPMS=?"), "\r\n+CPMS: (\"SM\"),(\"SM\"),(\"SM\")\r\n\r\nOK\r\n");
}

TEST_F(SimTest, EmptySlotAnswersFollowTheProfile)
{
    const Exchange table[] = {
        {"zero", "empty_slot = zero\n", "\r\n+CMGR: 0,,0\r\n\r\nOK\r\n"},
        {"ok", "empty_slot = ok\n", "\r\nOK\r\n"},
        {"cms321", "empty_slot = cms321\n", "\r\n+CMS ERROR: 321\r\n"},
    };
    for (const Exchange& e : table) {
        startWith(e.command);
        EXPECT_EQ(m_client->at("AT+CMGR=4"), e.answer) << e.name;
        EXPECT_EQ(m_client->at("AT+CMGR=3").substr(0, 15), "\r\n+CMGR: 1,,49\r") << e.name;
    }
    startWith("empty_entry = cme22\n");
    EXPECT_EQ(m_client->at("AT+CPBR=4"), "\r\n+CME ERROR: 22\r\n");
}

TEST_F(SimTest, ReadingAnUnreadMessageMarksItRead)
{
    startWith("");
    EXPECT_EQ(m_client->at("AT+CMGR=2").substr(0, 16), "\r\n+CMGR: 0,,86\r\n");
    EXPECT_EQ(m_client->at("AT+CMGR=2").substr(0, 16), "\r\n+CMGR: 1,,86\r\n");
    EXPECT_EQ(m_sim->control("get sms.SM.2").substr(0, 2), "1 ");
    // A listing marks the unread ones it shows.
    const std::string unread = m_client->at("AT+CMGL=0");
    EXPECT_NE(unread.find("+CMGL: 5,0,,83\r\n"), std::string::npos);
    EXPECT_NE(unread.find("+CMGL: 10,0,,159\r\n"), std::string::npos);
    EXPECT_EQ(unread.find("+CMGL: 2,"), std::string::npos);
    EXPECT_EQ(m_client->at("AT+CMGL=0"), "\r\nOK\r\n");
}

TEST_F(SimTest, SendDialoguePromptsRecordsAndRefusesAWrongLength)
{
    startWith("");
    // As the program writes it: two CRs after the command, a CR after Ctrl-Z.
    EXPECT_EQ(m_client->send("AT+CMGS=14\r\r"), "\r\n> ");
    EXPECT_EQ(m_client->send(kSubmitAbc + "\x1a\r"), "\r\n+CMGS: 1\r\n\r\nOK\r\n");
    EXPECT_EQ(m_sim->sentPdus(), std::vector<std::string>{kSubmitAbc});

    EXPECT_EQ(m_client->send("AT+CMGS=15\r\r"), "\r\n> ");
    EXPECT_EQ(m_client->send(kSubmitAbc + "\x1a\r"), "\r\nERROR\r\n");
    EXPECT_EQ(m_client->send("AT+CMGS=14\r"), "\r\n> ");
    EXPECT_EQ(m_client->send("0011\x1b"), "\r\nOK\r\n"); // ESC cancels
    EXPECT_EQ(m_sim->sentPdus().size(), 1u);

    EXPECT_EQ(m_client->send("AT+CMGS=14\r\r"), "\r\n> ");
    EXPECT_EQ(m_client->send(kSubmitAbc + "\x1a\r"), "\r\n+CMGS: 2\r\n\r\nOK\r\n");
    EXPECT_EQ(m_client->at("AT"), "\r\nOK\r\n");

    // The network refuses: nothing recorded as sent.
    ASSERT_EQ(m_sim->control("fault reject on"), "OK");
    EXPECT_EQ(m_client->at("AT+CMEE=1"), "\r\nOK\r\n");
    EXPECT_EQ(m_client->send("AT+CMGS=14\r\r"), "\r\n> ");
    EXPECT_EQ(m_client->send(kSubmitAbc + "\x1a\r"), "\r\n+CMS ERROR: 500\r\n");
    EXPECT_EQ(m_sim->sentPdus().size(), 2u);
    ASSERT_EQ(m_sim->control("fault reject on 330"), "OK"); // no service centre
    EXPECT_EQ(m_client->send("AT+CMGS=14\r\r"), "\r\n> ");
    EXPECT_EQ(m_client->send(kSubmitAbc + "\x1a\r"), "\r\n+CMS ERROR: 330\r\n");
    ASSERT_EQ(m_sim->control("fault reject off"), "OK");

    const std::vector<std::string> commands = m_sim->commands();
    const std::vector<std::string> expected = {
        "ATE0",       "AT+CMGS=14", kSubmitAbc + "\x1a", "AT+CMGS=15",        kSubmitAbc + "\x1a",
        "AT+CMGS=14", "0011\x1b",   "AT+CMGS=14",        kSubmitAbc + "\x1a", "AT",
        "AT+CMEE=1",  "AT+CMGS=14", kSubmitAbc + "\x1a", "AT+CMGS=14",        kSubmitAbc + "\x1a"};
    EXPECT_EQ(commands, expected);

    // Refusals that begin after the first message taken.
    ASSERT_EQ(m_sim->control("fault reject on 330 1"), "OK");
    EXPECT_EQ(m_client->send("AT+CMGS=14\r\r"), "\r\n> ");
    EXPECT_EQ(m_client->send(kSubmitAbc + "\x1a\r"), "\r\n+CMGS: 3\r\n\r\nOK\r\n");
    EXPECT_EQ(m_client->send("AT+CMGS=14\r\r"), "\r\n> ");
    EXPECT_EQ(m_client->send(kSubmitAbc + "\x1a\r"), "\r\n+CMS ERROR: 330\r\n");
    EXPECT_EQ(m_client->send("AT+CMGS=14\r\r"), "\r\n> ");
    EXPECT_EQ(m_client->send(kSubmitAbc + "\x1a\r"), "\r\n+CMS ERROR: 330\r\n");
    EXPECT_EQ(m_sim->sentPdus().size(), 3u);
}

// +CMGW (GSM 07.05 3.5.3) writes to the second store of +CPMS, at its
// first free slot, with the status given (stored unsent without one), and
// answers a full store +CMS ERROR: 322.
TEST_F(SimTest, WriteStoresWithItsStatusInEitherStore)
{
    std::string emptied;
    for (const char* slot : {"SM.1", "SM.2", "SM.3", "SM.5", "SM.7", "SM.8", "SM.10", "SM.12", "SM.14", "ME.1", "ME.2",
                             "ME.3", "ME.4", "ME.6"})
        emptied += std::string("sms.") + slot + " =\n";
    startWith(emptied + "sms.SM.capacity = 5\nsms.SM.1 = 1 " + kSubmitAbc + "\nsms.SM.3 = 1 " + kSubmitAbc
              + "\nsms.SM.4 = 1 " + kSubmitAbc + "\nsms.ME.capacity = 3\n");
    EXPECT_EQ(m_client->at("AT+CMEE=1"), "\r\nOK\r\n");
    struct Case {
        const char* select;
        const char* write;
        const char* answer;
        const char* key; // where it went, and its value
        std::string value;
    } const cases[] = {
        {"AT+CPMS=SM,SM", "AT+CMGW=14,0\r\r", "\r\n+CMGW: 2\r\n\r\nOK\r\n", "sms.SM.2", "0 " + kSubmitAbc},
        {"AT+CPMS=SM,SM", "AT+CMGW=14\r\r", "\r\n+CMGW: 5\r\n\r\nOK\r\n", "sms.SM.5", "2 " + kSubmitAbc},
        {"AT+CPMS=SM,SM", "AT+CMGW=14,3\r\r", "\r\n+CMS ERROR: 322\r\n", "sms.SM.5", "2 " + kSubmitAbc},
        {"AT+CPMS=ME,ME", "AT+CMGW=14,1\r\r", "\r\n+CMGW: 1\r\n\r\nOK\r\n", "sms.ME.1", "1 " + kSubmitAbc},
        {"AT+CPMS=SM,ME", "AT+CMGW=14,3\r\r", "\r\n+CMGW: 2\r\n\r\nOK\r\n", "sms.ME.2", "3 " + kSubmitAbc},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(m_client->at(c.select).substr(0, 9), "\r\n+CPMS: ") << c.write;
        EXPECT_EQ(m_client->send(c.write), "\r\n> ") << c.write;
        EXPECT_EQ(m_client->send(kSubmitAbc + "\x1a\r"), c.answer) << c.write;
        EXPECT_EQ(m_sim->control(std::string("get ") + c.key), c.value) << c.write;
    }
    // What it wrote reads back as written.
    EXPECT_EQ(m_client->at("AT+CPMS=SM"), "\r\n+CPMS: 5,5,2,3,5,5\r\n\r\nOK\r\n");
    EXPECT_EQ(m_client->at("AT+CMGR=2"), "\r\n+CMGR: 0,,14\r\n" + kSubmitAbc + "\r\n\r\nOK\r\n");
    // A status no store holds, and a PDU of another length, are refused.
    EXPECT_EQ(m_client->at("AT+CMGW=14,4"), "\r\n+CMS ERROR: 304\r\n");
    EXPECT_EQ(m_client->send("AT+CMGW=15,2\r\r"), "\r\n> ");
    EXPECT_EQ(m_client->send(kSubmitAbc + "\x1a\r"), "\r\n+CMS ERROR: 304\r\n");
}

// One recipient refused by the network, the others taken: the numbers
// compared by their digits, with a "+" or without.
TEST_F(SimTest, TheNetworkRefusesOneDestination)
{
    startWith("");
    const std::string toOther = "0691932143658711F305814523F10000FF0361F118"; // to 54321
    ASSERT_EQ(m_sim->control("fault refuse on 330 +12345"), "OK");
    EXPECT_EQ(m_sim->control("get fault.refuse"), "on 330 12345");
    EXPECT_EQ(m_client->at("AT+CMEE=1"), "\r\nOK\r\n");
    EXPECT_EQ(m_client->send("AT+CMGS=14\r\r"), "\r\n> ");
    EXPECT_EQ(m_client->send(kSubmitAbc + "\x1a\r"), "\r\n+CMS ERROR: 330\r\n");
    EXPECT_EQ(m_client->send("AT+CMGS=14\r\r"), "\r\n> ");
    EXPECT_EQ(m_client->send(toOther + "\x1a\r"), "\r\n+CMGS: 1\r\n\r\nOK\r\n");
    EXPECT_EQ(m_sim->sentPdus(), std::vector<std::string>{toOther});
    ASSERT_EQ(m_sim->control("fault refuse off"), "OK");
    EXPECT_EQ(m_client->send("AT+CMGS=14\r\r"), "\r\n> ");
    EXPECT_EQ(m_client->send(kSubmitAbc + "\x1a\r"), "\r\n+CMGS: 2\r\n\r\nOK\r\n");
}

TEST_F(SimTest, StrayEscAndNulBytesAreIgnored)
{
    startWith("");
    EXPECT_EQ(m_client->send(std::string("\x1b\0AT+CGMI\r\n", 11)), "\r\nNokia\r\n\r\nOK\r\n");
    EXPECT_EQ(m_client->at("AT"), "\r\nOK\r\n");
}

TEST_F(SimTest, AnswerInPiecesArrivesWhole)
{
    startWith("");
    ASSERT_EQ(m_sim->control("fault pieces on 3 10"), "OK");
    m_sim->clearTranscript();
    EXPECT_EQ(m_client->at("AT+CGMM"), "\r\nNokia 6310i\r\n\r\nOK\r\n");
    const std::string transcript = m_sim->transcript();
    EXPECT_EQ(std::count(transcript.begin(), transcript.end(), '>'), 2 * 7) << transcript; // 21 bytes, 3 a piece
    EXPECT_NE(transcript.find(">> \"\\r\\nN\""), std::string::npos) << transcript;
}

TEST_F(SimTest, UnsolicitedLinesBeforeAndInsideAnAnswer)
{
    startWith("");
    ASSERT_EQ(m_sim->control("fault unsolicited on before RING"), "OK");
    EXPECT_EQ(m_client->at("AT"), "\r\nRING\r\n\r\nOK\r\n");
    EXPECT_EQ(m_client->at("AT"), "\r\nOK\r\n"); // once
    ASSERT_EQ(m_sim->control("fault unsolicited on inside +CMTI: \"SM\",3"), "OK");
    EXPECT_EQ(m_client->at("AT+CGMM"), "\r\nNokia 6310i\r\n\r\n+CMTI: \"SM\",3\r\n\r\nOK\r\n");
}

// A listing that leaves slot 2 out, cuts the PDU line of slot 3 to 40
// digits and puts a stray OK after slot 5; +CPMS still counts them all,
// +CMGR gives them whole, and slot 2 stays unread.
TEST_F(SimTest, ListingLeavesOutOrCutsASlot)
{
    startWith("");
    const phonesim::PhoneState state = sample();
    const std::string slot3 = state.stores.at("SM").messages.at(3).pdu;
    const std::string slot5 = state.stores.at("SM").messages.at(5).pdu;
    ASSERT_EQ(m_sim->control("fault listing on omit 2"), "OK");
    ASSERT_EQ(m_sim->control("fault listing on cut 3 40"), "OK");
    ASSERT_EQ(m_sim->control("fault listing on ok 5"), "OK");
    const std::string listing = m_client->at("AT+CMGL=4");
    EXPECT_EQ(listing.find("+CMGL: 2,"), std::string::npos) << listing;
    EXPECT_NE(listing.find("\r\n+CMGL: 3,1,,49\r\n" + slot3.substr(0, 40) + "\r\n+CMGL: 5,"), std::string::npos)
        << listing;
    EXPECT_NE(listing.find("\r\n" + slot5 + "\r\nOK\r\n+CMGL: 7,"), std::string::npos) << listing;
    EXPECT_TRUE(endsWith(listing, "\r\n\r\nOK\r\n")) << listing;
    EXPECT_EQ(m_client->at("AT+CPMS?").substr(0, 19), "\r\n+CPMS: \"SM\",9,20,");
    EXPECT_EQ(m_client->at("AT+CMGR=3"), "\r\n+CMGR: 1,,49\r\n" + slot3 + "\r\n\r\nOK\r\n");
    EXPECT_EQ(m_client->at("AT+CMGR=2").substr(0, 12), "\r\n+CMGR: 0,,");
    EXPECT_EQ(m_sim->control("get fault.listing"), "on ok 5"); // the last one given

    ASSERT_EQ(m_sim->control("fault listing off"), "OK");
    const std::string whole = m_client->at("AT+CMGL=4");
    EXPECT_NE(whole.find("+CMGL: 2,1,,"), std::string::npos) << whole; // read now
    EXPECT_NE(whole.find(slot3 + "\r\n"), std::string::npos) << whole;
    EXPECT_EQ(m_sim->control("fault listing on cut 3").substr(0, 6), "ERROR ");
    EXPECT_EQ(m_sim->control("fault listing on omit 0").substr(0, 6), "ERROR ");
    EXPECT_EQ(m_sim->control("fault listing on skip 3").substr(0, 6), "ERROR ");
    EXPECT_EQ(m_sim->control("fault listing on ok 3 40").substr(0, 6), "ERROR ");
}

TEST_F(SimTest, DeliveredMessageIsAnnouncedAndReadable)
{
    startWith("");
    EXPECT_EQ(m_client->at("AT+CNMI=2,1,0,0,0"), "\r\nOK\r\n");
    EXPECT_EQ(m_sim->control("deliver SM 4 0 " + kSample1), "OK");
    std::string notice;
    m_client->readUntil(notice, [](const std::string& s) { return endsWith(s, "\r\n") && s.size() > 2; });
    EXPECT_EQ(notice, "\r\n+CMTI: \"SM\",4\r\n");
    EXPECT_EQ(m_client->at("AT+CMGR=4"), "\r\n+CMGR: 0,,63\r\n" + kSample1 + "\r\n\r\nOK\r\n");
    EXPECT_EQ(m_sim->control("delete SM 4"), "OK");
    EXPECT_EQ(m_client->at("AT+CMGR=4"), "\r\n+CMGR: 0,,0\r\n\r\nOK\r\n");
    EXPECT_EQ(m_sim->control("deliver SM 21 0 " + kSample1).substr(0, 6), "ERROR ");
}

// ---- New messages and status reports ----------------------------------------

// "abc" to 12345 as kSubmitAbc, asking for a status report (TP-SRR, 0x20 of
// the first octet).
const std::string kSubmitAbcReport = "0691932143658731F305812143F50000FF0361F118";
const std::string kTo12345 = "05812143F5"; // its TP-DA: 5 digits, type 129
// Part <part> of a long 8-bit message to 12345 (reference 42, 2 parts), no
// service centre, asking for a status report: 18 octets.
std::string partAskingForReport(int part)
{
    return "0071000581" + std::string("2143F50004FF070500032A020") + std::to_string(part) + "41";
}

// The next unsolicited code, whole: "\r\n+CMTI: \"SM\",4\r\n", or a +CMT or
// +CDS and its PDU line.
std::string nextCode(Client& client, std::string code = std::string())
{
    client.readUntil(
        code,
        [](const std::string& s) {
            const bool withPdu = s.rfind("\r\n+CMT:", 0) == 0 || s.rfind("\r\n+CDS:", 0) == 0;
            size_t ends = 0;
            for (size_t at = s.find("\r\n"); at != std::string::npos; at = s.find("\r\n", at + 2))
                ++ends;
            return endsWith(s, "\r\n") && ends >= (withPdu ? 3u : 2u);
        },
        5000ms);
    return code;
}

// Writes the bytes, expects this answer to them and returns the unsolicited
// code that follows it (it may come in the same read).
std::string codeAfter(Client& client, const std::string& bytes, const std::string& answer)
{
    EXPECT_TRUE(client.write(bytes));
    std::string got;
    client.readUntil(
        got, [&](const std::string& s) { return s.size() >= answer.size(); }, 5000ms);
    EXPECT_EQ(got.substr(0, answer.size()), answer);
    return nextCode(client, got.size() > answer.size() ? got.substr(answer.size()) : std::string());
}

// Whether the transcript comes to say this, within a generous while.
bool transcriptSays(const phonesim::Simulator& sim, const std::string& text)
{
    const auto deadline = Clock::now() + 60s;
    while (sim.transcript().find(text) == std::string::npos && Clock::now() < deadline)
        std::this_thread::sleep_for(10ms);
    return sim.transcript().find(text) != std::string::npos;
}

// The PDU line of a +CDS or +CMGR answer: the line after the first one.
std::string pduOf(const std::string& answer)
{
    const std::vector<std::string> lines = phonesim::split(answer, '\n');
    return lines.size() > 2 ? phonesim::trim(lines[2]) : std::string();
}

// An SMS-STATUS-REPORT taken apart by hand (TS 23.040 9.2.2.3).
struct ReportFields {
    int firstOctet = -1;
    int reference = -1;
    std::string recipient; // TP-RA: length, type, digits
    std::string received;  // TP-SCTS
    std::string done;      // TP-DT
    int status = -1;
};

ReportFields readReport(const std::string& pdu)
{
    auto octet = [&](size_t i) { return 2 * i + 2 <= pdu.size() ? std::stoi(pdu.substr(2 * i, 2), nullptr, 16) : -1; };
    auto field = [&](size_t i, size_t n) { return 2 * (i + n) <= pdu.size() ? pdu.substr(2 * i, 2 * n) : ""; };
    ReportFields f;
    if (pdu.empty() || !phonesim::isHex(pdu) || octet(0) < 0)
        return f;
    size_t at = static_cast<size_t>(octet(0)) + 1; // past the service centre
    f.firstOctet = octet(at++);
    f.reference = octet(at++);
    const size_t ra = 2 + (static_cast<size_t>(std::max(0, octet(at))) + 1) / 2;
    f.recipient = field(at, ra);
    at += ra;
    f.received = field(at, 7);
    f.done = field(at + 7, 7);
    f.status = octet(at + 14);
    return f;
}

// What AT+CNMI=? offers is the dialect's; a set outside it is refused and
// changes nothing; ATZ sets everything back to 0.
TEST_F(SimTest, NewMessageIndicationsTakeWhatThePhoneOffers)
{
    struct Case {
        const char* ranges; // cnmi_ranges; "" the default
        std::string taken;  // a set within them
        std::string read;   // +CNMI? after it
        std::string refused;
        std::string zero; // +CNMI? after ATZ
    };
    const Case cases[] = {
        {"", "2,1,0,1,0", "2,1,0,1,0", "2,1,0,3,0", "0,0,0,0,0"},
        {"(0,1,2),(0,1,2,3),(0,2),(0,1,2),(0,1)", "1,2,2,2", "1,2,2,2,0", "3,1", "0,0,0,0,0"},
        {"(1,2),(0,1),(0),(0,1),(0)", "2,1,,1", "2,1,0,1,0", "2,1,0,2", "0,0,0,0,0"},
        {"(0-2),(0-3),(0,2),(0,1)", "2,3,0,1", "2,3,0,1", "2,3,0,1,0", "0,0,0,0"},
        {"3,(0,1),0,(0,2)", "3,1,0,2", "3,1,0,2", "2", "0,0,0,0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ranges);
        startWith(*c.ranges ? std::string("cnmi_ranges = ") + c.ranges + "\n" : std::string());
        const std::string offered = *c.ranges ? c.ranges : "(0-2),(0-3),(0,2),(0,1),(0,1)";
        EXPECT_EQ(m_client->at("AT+CNMI=?"), "\r\n+CNMI: " + offered + "\r\n\r\nOK\r\n");
        EXPECT_EQ(m_client->at("AT+CNMI=" + c.taken), "\r\nOK\r\n");
        EXPECT_EQ(m_client->at("AT+CNMI?"), "\r\n+CNMI: " + c.read + "\r\n\r\nOK\r\n");
        EXPECT_EQ(m_client->at("AT+CNMI=" + c.refused), "\r\nERROR\r\n");
        ASSERT_EQ(m_client->at("AT+CMEE=1"), "\r\nOK\r\n");
        EXPECT_EQ(m_client->at("AT+CNMI=" + c.refused), "\r\n+CMS ERROR: 303\r\n");
        EXPECT_EQ(m_client->at("AT+CNMI?"), "\r\n+CNMI: " + c.read + "\r\n\r\nOK\r\n");
        EXPECT_EQ(m_client->at("ATZ"), "\r\nOK\r\n");
        ASSERT_EQ(m_client->at("ATE0"), "ATE0\r\r\nOK\r\n");
        EXPECT_EQ(m_client->at("AT+CNMI?"), "\r\n+CNMI: " + c.zero + "\r\n\r\nOK\r\n");
    }

    // A phone without +CNMI (samples/no-cnmi.state) refuses every form of it.
    startWith("include = no-cnmi.state\n");
    for (const char* command : {"AT+CNMI=?", "AT+CNMI=2,1,0,0,0", "AT+CNMI?"})
        EXPECT_EQ(m_client->at(command), "\r\nERROR\r\n") << command;
    ASSERT_EQ(m_client->at("AT+CMEE=1"), "\r\nOK\r\n");
    for (const char* command : {"AT+CNMI=?", "AT+CNMI=2,1,0,0,0", "AT+CNMI?"})
        EXPECT_EQ(m_client->at(command), "\r\n+CMS ERROR: 303\r\n") << command;
    ASSERT_EQ(m_client->at("AT+CMEE=2"), "\r\nOK\r\n");
    EXPECT_EQ(m_client->at("AT+CNMI=?"), "\r\n+CMS ERROR: operation not supported\r\n");
}

// A message that arrives: <mt> and its class decide whether the program is
// told where it is stored (+CMTI), is handed it (+CMT, not stored) or is
// told nothing.
TEST_F(SimTest, ArrivingMessageFollowsMtAndItsClass)
{
    struct Case {
        const char* name;
        int mt;
        const char* dcs; // TP-DCS of kSample1, whose own is 00 (no class)
        const char* code;
    };
    const Case cases[] = {
        {"mt 0: stored, nothing said", 0, "00", ""},
        {"mt 1: stored, +CMTI", 1, "00", "cmti"},
        {"mt 1, class 2: the same", 1, "12", "cmti"},
        {"mt 2: handed over", 2, "00", "cmt"},
        {"mt 2, class 0: handed over", 2, "10", "cmt"},
        {"mt 2, class 2: stored, +CMTI", 2, "12", "cmti"},
        {"mt 2, message waiting to store: stored, +CMTI", 2, "D8", "cmti"},
        {"mt 3: stored, +CMTI", 3, "00", "cmti"},
        {"mt 3, class 3: handed over", 3, "13", "cmt"},
    };
    startWith("");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string pdu = kSample1.substr(0, 36) + c.dcs + kSample1.substr(38);
        ASSERT_EQ(m_client->at("AT+CNMI=2," + std::to_string(c.mt)), "\r\nOK\r\n");
        ASSERT_EQ(m_sim->control("deliver SM 4 0 " + pdu), "OK");
        const std::string stored = "\r\n+CMGR: 0,,63\r\n" + pdu + "\r\n\r\nOK\r\n";
        if (std::string(c.code) == "cmti") {
            EXPECT_EQ(nextCode(*m_client), "\r\n+CMTI: \"SM\",4\r\n");
            EXPECT_EQ(m_client->at("AT+CMGR=4"), stored);
        } else if (std::string(c.code) == "cmt") {
            EXPECT_EQ(nextCode(*m_client), "\r\n+CMT: ,63\r\n" + pdu + "\r\n");
            EXPECT_EQ(m_client->at("AT+CMGR=4"), "\r\n+CMGR: 0,,0\r\n\r\nOK\r\n");
        } else {
            // The code would go out at once, before this answer.
            EXPECT_EQ(m_client->at("AT+CMGR=4"), stored);
        }
        ASSERT_EQ(m_sim->control("delete SM 4"), "OK");
    }
    // The dialect's hex case holds for the PDU line too.
    ASSERT_EQ(m_sim->control("set hex_case lower"), "OK");
    ASSERT_EQ(m_client->at("AT+CNMI=2,2"), "\r\nOK\r\n");
    ASSERT_EQ(m_sim->control("deliver SM 4 0 " + kSample1), "OK");
    EXPECT_EQ(nextCode(*m_client), "\r\n+CMT: ,63\r\n" + lowerHex(kSample1) + "\r\n");
}

// A phone that counts the service-centre part in the <length> of its stored
// messages still counts the TPDU in what it hands over.
TEST_F(SimTest, WholeLengthKeepsTheTpduCountOfCmtAndCds)
{
    startWith("profile = whole-length\n");
    ASSERT_EQ(m_client->at("AT+CNMI=2,2,0,1"), "\r\nOK\r\n");
    ASSERT_EQ(m_sim->control("deliver SM 4 0 " + kSample1), "OK");
    EXPECT_EQ(nextCode(*m_client), "\r\n+CMT: ,63\r\n" + kSample1 + "\r\n");
    ASSERT_EQ(m_sim->control("report 7 12345 0"), "OK");
    const std::string cds = nextCode(*m_client);
    EXPECT_EQ(cds.substr(0, 12), "\r\n+CDS: 22\r\n") << cds;
    EXPECT_EQ(pduOf(cds).size(), 2 * (8 + 22u)) << cds;
}

// A notice goes out between answers: after an answer held back, after the
// PDU that a "> " waits for.
TEST_F(SimTest, NoticesComeBetweenAnswersOnly)
{
    startWith("report.time = 240405101500+8\n");
    m_sim->useTestTime();
    ASSERT_EQ(m_client->at("AT+CNMI=2,1,0,1,0"), "\r\nOK\r\n");
    ASSERT_EQ(m_sim->control("fault late on 300 AT+CGMM"), "OK");
    ASSERT_TRUE(m_client->write("AT+CGMM\r"));
    const auto deadline = Clock::now() + 60s;
    while (m_sim->commands().back() != "AT+CGMM" && Clock::now() < deadline)
        std::this_thread::yield();
    // The message arrives while the answer is held back; the answer comes
    // when its 300 ms have passed on the phone's time, the notice after it.
    ASSERT_EQ(m_sim->control("deliver SM 4 0 " + kSample1), "OK");
    m_sim->setTestTime(300000000);
    std::string got;
    m_client->readUntil(
        got, [](const std::string& s) { return endsWith(s, "\r\n") && s.find("+CMTI") != std::string::npos; }, 5000ms);
    EXPECT_EQ(got, "\r\nNokia 6310i\r\n\r\nOK\r\n\r\n+CMTI: \"SM\",4\r\n");

    ASSERT_EQ(m_client->send("AT+CMGS=14\r"), "\r\n> ");
    ASSERT_EQ(m_sim->control("report 7 12345 0"), "OK");
    // Reference 7 to 12345, at 24/04/05 10:15:00 +02:00, delivered 2 s later.
    const std::string report =
        "0791933395066900" + std::string("0607") + kTo12345 + "4240500151008042405001512080" + "00";
    EXPECT_EQ(codeAfter(*m_client, kSubmitAbc + "\x1a", "\r\n+CMGS: 1\r\n\r\nOK\r\n"),
              "\r\n+CDS: 22\r\n" + report + "\r\n");
}

// A message sent with TP-SRR: its status report comes report.delay_ms
// after the confirmation, while later commands are answered at once; +CNMI's
// <ds> 1 sends it as +CDS.
TEST_F(SimTest, StatusReportFollowsAMessageThatAsksForIt)
{
    startWith("report.time = 240405101500+8\nreport.status = 0 70\n");
    m_sim->useTestTime();
    ASSERT_EQ(m_client->at("AT+CNMI=2,1,0,1,0"), "\r\nOK\r\n");
    ASSERT_EQ(m_client->send("AT+CMGS=14\r"), "\r\n> ");
    ASSERT_EQ(m_client->send(kSubmitAbcReport + "\x1a"), "\r\n+CMGS: 1\r\n\r\nOK\r\n");
    // Answered before the report, which is 1.5 s away on the phone's time.
    EXPECT_EQ(m_sim->nextDueNs(), 1500000000);
    EXPECT_EQ(m_client->at("AT+CGMM"), "\r\nNokia 6310i\r\n\r\nOK\r\n");
    m_sim->setTestTime(1500000000);
    const std::string cds = nextCode(*m_client);
    EXPECT_EQ(cds.substr(0, 14), "\r\n+CDS: 22\r\n07") << cds;
    const ReportFields f = readReport(pduOf(cds));
    EXPECT_EQ(f.firstOctet & 0x03, 2);
    EXPECT_EQ(f.reference, 1);
    EXPECT_EQ(f.recipient, kTo12345);
    EXPECT_EQ(f.received, "42405001510080"); // 24/04/05 10:15:00 +02:00
    EXPECT_EQ(f.done, "42405001512080");     // two seconds later
    EXPECT_EQ(f.status, 0);

    // A long message: a report for each part, with its own reference and the part's status.
    ASSERT_EQ(m_sim->control("set report.delay_ms 0"), "OK");
    for (int part = 1; part <= 2; ++part) {
        SCOPED_TRACE(part);
        ASSERT_EQ(m_client->send("AT+CMGS=18\r"), "\r\n> ");
        const ReportFields p =
            readReport(pduOf(codeAfter(*m_client, partAskingForReport(part) + "\x1a",
                                       "\r\n+CMGS: " + std::to_string(part + 1) + "\r\n\r\nOK\r\n")));
        EXPECT_EQ(p.reference, part + 1);
        EXPECT_EQ(p.recipient, kTo12345);
        EXPECT_EQ(p.status, part == 1 ? 0 : 70);
    }

    // No report for a message that does not ask for one: with no delay it
    // would come before the next answer.
    ASSERT_EQ(m_client->send("AT+CMGS=14\r"), "\r\n> ");
    ASSERT_EQ(m_client->send(kSubmitAbc + "\x1a"), "\r\n+CMGS: 4\r\n\r\nOK\r\n");
    EXPECT_EQ(m_client->at("AT"), "\r\nOK\r\n");
    // Nor with <ds> 0.
    ASSERT_EQ(m_client->at("AT+CNMI=2,1,0,0,0"), "\r\nOK\r\n");
    ASSERT_EQ(m_client->send("AT+CMGS=14\r"), "\r\n> ");
    ASSERT_EQ(m_client->send(kSubmitAbcReport + "\x1a"), "\r\n+CMGS: 5\r\n\r\nOK\r\n");
    EXPECT_EQ(m_client->at("AT"), "\r\nOK\r\n");
}

// <ds> 2: the report is stored in report.store's first free slot and +CDSI
// says where; +CMGR reads it back as a status report. A full store loses it.
TEST_F(SimTest, StatusReportStoredWhereTheStateSays)
{
    // The default ranges offer <ds> 0 and 1 only.
    const char* kOffersDs2 = "cnmi_ranges = (0,1,2),(0,1,2,3),(0,2),(0,1,2),(0,1)\n";
    struct Case {
        const char* store;
        const char* extra; // state lines
        int slot;
    };
    const Case cases[] = {{"SM", "", 4}, {"ME", "", 5}, {"SR", "sms.SR.capacity = 3\n", 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.store);
        startWith(std::string(kOffersDs2) + "report.delay_ms = 0\nreport.store = " + c.store + "\n" + c.extra);
        ASSERT_EQ(m_client->at("AT+CNMI=2,1,0,2,0"), "\r\nOK\r\n");
        ASSERT_EQ(m_client->send("AT+CMGS=14\r"), "\r\n> ");
        EXPECT_EQ(codeAfter(*m_client, kSubmitAbcReport + "\x1a", "\r\n+CMGS: 1\r\n\r\nOK\r\n"),
                  "\r\n+CDSI: \"" + std::string(c.store) + "\"," + std::to_string(c.slot) + "\r\n");
        ASSERT_EQ(m_client->at(std::string("AT+CPMS=") + c.store).substr(0, 9), "\r\n+CPMS: ");
        const std::string read = m_client->at("AT+CMGR=" + std::to_string(c.slot));
        EXPECT_EQ(read.substr(0, 16), "\r\n+CMGR: 0,,22\r\n") << read;
        const ReportFields f = readReport(pduOf(read));
        EXPECT_EQ(f.firstOctet & 0x03, 2);
        EXPECT_EQ(f.reference, 1);
        EXPECT_EQ(f.recipient, kTo12345);
        EXPECT_EQ(f.status, 0);
    }

    // SR is a store to read and delete, not to write.
    EXPECT_EQ(m_client->at("AT+CPMS=?"),
              "\r\n+CPMS: (\"SM\",\"ME\",\"SR\"),(\"SM\",\"ME\"),(\"SM\",\"ME\")\r\n\r\nOK\r\n");
    EXPECT_EQ(m_client->at("AT+CPMS=SM,SR"), "\r\nERROR\r\n");

    startWith(std::string(kOffersDs2) + "report.delay_ms = 0\nreport.store = SR\nsms.SR.capacity = 1\nsms.SR.1 = 1 "
              + kSample1 + "\n");
    ASSERT_EQ(m_client->at("AT+CNMI=2,1,0,2,0"), "\r\nOK\r\n");
    ASSERT_EQ(m_client->send("AT+CMGS=14\r"), "\r\n> ");
    ASSERT_EQ(m_client->send(kSubmitAbcReport + "\x1a"), "\r\n+CMGS: 1\r\n\r\nOK\r\n");
    EXPECT_EQ(m_client->at("AT"), "\r\nOK\r\n");
    EXPECT_TRUE(transcriptSays(*m_sim, "lost: SR is full")) << m_sim->transcript();
}

// The control verb "report": a report now, for any reference and number.
TEST_F(SimTest, ReportVerbSendsAReportForAnything)
{
    startWith("");
    ASSERT_EQ(m_client->at("AT+CNMI=2,1,0,1,0"), "\r\nOK\r\n");
    ASSERT_EQ(m_sim->control("report 77 +393471234567 70"), "OK");
    const ReportFields f = readReport(pduOf(nextCode(*m_client)));
    EXPECT_EQ(f.firstOctet, 0x06);
    EXPECT_EQ(f.reference, 77);
    EXPECT_EQ(f.recipient, "0C91934317325476");
    EXPECT_EQ(f.status, 0x46);
    ASSERT_EQ(m_sim->control("report 78 3331234567"), "OK"); // report.status's
    const ReportFields g = readReport(pduOf(nextCode(*m_client)));
    EXPECT_EQ(g.reference, 78);
    EXPECT_EQ(g.recipient, "0A813313325476");
    EXPECT_EQ(g.status, 0);
    // A fixed time west of UTC (-05:00, 20 quarters), delivered in the next year.
    ASSERT_EQ(m_sim->control("set report.time 241231235959-20"), "OK");
    ASSERT_EQ(m_sim->control("report 79 12345 0"), "OK");
    const ReportFields h = readReport(pduOf(nextCode(*m_client)));
    EXPECT_EQ(h.received, "4221133295950A");
    EXPECT_EQ(h.done, "5210100000100A");
    for (const char* wrong : {"report", "report 1", "report 256 123", "report x 123", "report 1 12a", "report 1 1+2",
                              "report 1 123 256", "report 1 123 0 0"}) {
        EXPECT_EQ(m_sim->control(wrong).substr(0, 6), "ERROR ") << wrong;
    }
}

// A report due after the line was dropped, or after the phone restarted,
// is lost and said so; the phone goes on.
TEST_F(SimTest, ReportDueAfterADropOrARestartIsLost)
{
    startWith("report.delay_ms = 1000\n");
    m_sim->useTestTime();
    ASSERT_EQ(m_client->at("AT+CNMI=2,1,0,1,0"), "\r\nOK\r\n");
    ASSERT_EQ(m_client->send("AT+CMGS=14\r"), "\r\n> ");
    ASSERT_EQ(m_client->send(kSubmitAbcReport + "\x1a"), "\r\n+CMGS: 1\r\n\r\nOK\r\n");
    ASSERT_EQ(m_sim->control("drop").substr(0, 2), "OK");
    m_sim->setTestTime(1000000000); // the report falls due
    EXPECT_TRUE(transcriptSays(*m_sim, "-- lost, the port is closed: \"\\r\\n+CDS: 22")) << m_sim->transcript();
    ASSERT_TRUE(m_client->open(m_sim->devicePath()));
    EXPECT_EQ(m_client->at("AT+CNMI?"), "\r\n+CNMI: 2,1,0,1,0\r\n\r\nOK\r\n"); // the phone kept its settings

    // A restart puts +CNMI back as at power-on: the report goes nowhere.
    ASSERT_EQ(m_client->send("AT+CMGS=14\r"), "\r\n> ");
    ASSERT_EQ(m_client->send(kSubmitAbcReport + "\x1a"), "\r\n+CMGS: 2\r\n\r\nOK\r\n");
    ASSERT_EQ(m_sim->control("fault restart on +CGMM"), "OK");
    EXPECT_NE(m_client->at("AT+CGMM").find("\r\nRDY\r\n"), std::string::npos);
    m_sim->setTestTime(2000000000); // the second report falls due
    EXPECT_TRUE(transcriptSays(*m_sim, "status report on 2")) << m_sim->transcript();
    EXPECT_NE(m_sim->transcript().find("not passed on (+CNMI <ds> 0)"), std::string::npos);
    EXPECT_EQ(m_client->at("AT+CNMI?"), "\r\n+CNMI: 0,0,0,0,0\r\n\r\nOK\r\n");
}

TEST_F(SimTest, ErrorForChosenCommandsOnly)
{
    startWith("");
    ASSERT_EQ(m_sim->control("fault error on AT+CMGR=1 +CPBR"), "OK");
    EXPECT_EQ(m_client->at("AT+CMGR=1"), "\r\nERROR\r\n");
    EXPECT_EQ(m_client->at("at+cmgr=1"), "\r\nERROR\r\n");
    EXPECT_EQ(m_client->at("AT+CMGR=14").substr(0, 16), "\r\n+CMGR: 3,,38\r\n"); // not a prefix of 14
    EXPECT_EQ(m_client->at("AT+CPBR=?"), "\r\nERROR\r\n");
    EXPECT_EQ(m_client->at("AT+CPBR=1"), "\r\nERROR\r\n");
    EXPECT_EQ(m_client->at("AT+CPBS?").substr(0, 8), "\r\n+CPBS:");
    ASSERT_EQ(m_sim->control("fault error off +CPBR"), "OK");
    EXPECT_EQ(m_client->at("AT+CPBR=?"), "\r\n+CPBR: (1-250),40,18\r\n\r\nOK\r\n");
    EXPECT_EQ(m_client->at("AT+CMGR=1"), "\r\nERROR\r\n");
    ASSERT_EQ(m_sim->control("fault error off"), "OK");
    EXPECT_EQ(m_client->at("AT+CMGR=1").substr(0, 16), "\r\n+CMGR: 1,,63\r\n");

    // A SIM that asks for its PIN: a code, as +CMEE says.
    ASSERT_EQ(m_sim->control("fault cme on 11 +CPBS +CPMS"), "OK");
    EXPECT_EQ(m_client->at("AT+CPBS=\"SM\""), "\r\nERROR\r\n");
    EXPECT_EQ(m_client->at("AT+CMEE=1"), "\r\nOK\r\n");
    EXPECT_EQ(m_client->at("AT+CPBS=\"SM\""), "\r\n+CME ERROR: 11\r\n");
    EXPECT_EQ(m_client->at("AT+CPMS?"), "\r\n+CME ERROR: 11\r\n");
    EXPECT_EQ(m_client->at("AT+CGMM"), "\r\nNokia 6310i\r\n\r\nOK\r\n");
    EXPECT_EQ(m_sim->control("fault cme on 11"), "ERROR fault cme on <code> <command>...");
    ASSERT_EQ(m_sim->control("fault cme off"), "OK");
    EXPECT_EQ(m_client->at("AT+CPMS?").substr(0, 9), "\r\n+CPMS: ");
}

// The SIM's PIN: what +CPIN? and +CPINR say in each state, and what the
// store and phone-book commands answer meanwhile.
TEST_F(SimTest, SimStateIsToldAndLocksTheStoresAndPhoneBooks)
{
    struct Case {
        const char* state;
        std::string cpin;
        std::string cpinr;
        std::string locked; // the answer of +CPMS? and +CPBS?
    };
    const std::vector<Case> cases = {
        {"ready", "\r\n+CPIN: READY\r\n\r\nOK\r\n", "\r\n+CPINR: SIM PIN,3,3\r\n\r\nOK\r\n", ""},
        {"pin", "\r\n+CPIN: SIM PIN\r\n\r\nOK\r\n", "\r\n+CPINR: SIM PIN,3,3\r\n\r\nOK\r\n", "\r\n+CME ERROR: 11\r\n"},
        {"puk", "\r\n+CPIN: SIM PUK\r\n\r\nOK\r\n", "\r\n+CPINR: SIM PIN,3,3\r\n\r\nOK\r\n", "\r\n+CME ERROR: 12\r\n"},
        {"absent", "\r\n+CME ERROR: 10\r\n", "\r\n+CME ERROR: 10\r\n", "\r\n+CME ERROR: 10\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.state);
        startWith(std::string("sim.state = ") + c.state + "\n");
        ASSERT_EQ(m_client->at("AT+CMEE=1"), "\r\nOK\r\n");
        EXPECT_EQ(m_client->at("AT+CPIN?"), c.cpin);
        EXPECT_EQ(m_client->at("AT+CPINR=\"SIM PIN\""), c.cpinr);
        for (const char* command : {"AT+CPMS?", "AT+CPBS?", "AT+CMGR=1", "AT+CPBR=1"}) {
            const std::string answer = m_client->at(command);
            if (c.locked.empty())
                EXPECT_EQ(answer.find("ERROR"), std::string::npos) << command;
            else
                EXPECT_EQ(answer, c.locked) << command;
        }
        EXPECT_EQ(m_client->at("AT+CGMM"), "\r\nNokia 6310i\r\n\r\nOK\r\n");
        // Without +CMEE the codes are plain ERROR.
        if (!c.locked.empty()) {
            ASSERT_EQ(m_client->at("AT+CMEE=0"), "\r\nOK\r\n");
            EXPECT_EQ(m_client->at("AT+CPMS?"), "\r\nERROR\r\n");
        }
    }
}

// +CPIN=<pin>: a wrong PIN costs a try, the last one leaves the SIM wanting
// its PUK, the right one frees the stores; ATZ does not ask for it again.
TEST_F(SimTest, PinTriesUntilTheSimWantsItsPuk)
{
    struct Step {
        const char* command;
        std::string answer;
    };
    struct Case {
        const char* name;
        std::vector<Step> steps;
        std::string stateAfter;
    };
    const std::string ok = "\r\nOK\r\n";
    const std::string wrong = "\r\n+CME ERROR: 16\r\n";
    const std::vector<Case> cases = {
        {"right at once, quoted", {{"AT+CPIN=\"1234\"", ok}, {"AT+CPIN?", "\r\n+CPIN: READY\r\n\r\nOK\r\n"}}, "ready"},
        {"right, unquoted", {{"AT+CPIN=1234", ok}}, "ready"},
        {"wrong then right",
         {{"AT+CPIN=\"1111\"", wrong},
          {"AT+CPINR=\"SIM PIN\"", "\r\n+CPINR: SIM PIN,2,3\r\n\r\nOK\r\n"},
          {"AT+CPIN=\"1234\"", ok},
          {"AT+CPINR=\"SIM PIN\"", "\r\n+CPINR: SIM PIN,3,3\r\n\r\nOK\r\n"}},
         "ready"},
        {"three wrong",
         {{"AT+CPIN=\"1111\"", wrong},
          {"AT+CPIN=\"2222\"", wrong},
          {"AT+CPIN=\"3333\"", wrong},
          {"AT+CPIN?", "\r\n+CPIN: SIM PUK\r\n\r\nOK\r\n"},
          {"AT+CPIN=\"1234\"", wrong},
          {"AT+CPMS?", "\r\n+CME ERROR: 12\r\n"}},
         "puk"},
        {"ATZ keeps the SIM as it was",
         {{"ATZ", ok}, {"AT+CMEE=1", ok}, {"AT+CPMS?", "\r\n+CME ERROR: 11\r\n"}},
         "pin"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        startWith("sim.state = pin\nsim.pin = 1234\n");
        ASSERT_EQ(m_client->at("AT+CMEE=1"), ok);
        for (const Step& step : c.steps) {
            if (std::string(step.command) == "ATZ") {
                EXPECT_EQ(m_client->at(step.command), ok); // typed with echo off, which it turns on
                ASSERT_EQ(m_client->at("ATE0"), "ATE0\r" + ok);
                continue;
            }
            EXPECT_EQ(m_client->at(step.command), step.answer) << step.command;
        }
        EXPECT_EQ(m_sim->control("get sim.state"), c.stateAfter);
    }
    // A SIM that asks for nothing refuses a PIN.
    startWith("");
    ASSERT_EQ(m_client->at("AT+CMEE=1"), ok);
    EXPECT_EQ(m_client->at("AT+CPIN=\"0000\""), "\r\n+CME ERROR: 3\r\n");
}

TEST_F(SimTest, SilentPhoneReadsButNeverAnswers)
{
    startWith("");
    ASSERT_EQ(m_sim->control("fault silent on"), "OK");
    ASSERT_TRUE(m_client->write("AT\r"));
    EXPECT_EQ(m_client->drain(300ms), "");
    ASSERT_EQ(m_sim->control("fault silent off"), "OK");
    EXPECT_EQ(m_client->at("AT"), "\r\nOK\r\n");
    EXPECT_EQ(m_sim->commands(), (std::vector<std::string>{"ATE0", "AT", "AT"}));
}

TEST_F(SimTest, LateAnswerComesAfterTheDelay)
{
    startWith("");
    ASSERT_EQ(m_sim->control("fault late on 300 AT+CGMM"), "OK");
    const auto start = Clock::now();
    EXPECT_EQ(m_client->at("AT+CGMM"), "\r\nNokia 6310i\r\n\r\nOK\r\n");
    EXPECT_GE(Clock::now() - start, 300ms);
    EXPECT_EQ(m_client->at("AT"), "\r\nOK\r\n");
}

// A flood of whole lines while idle; an answer comes whole between them,
// and the flood stops when switched off.
TEST_F(SimTest, AFloodIsWholeLinesWithTheAnswersBetweenThem)
{
    startWith("");
    ASSERT_EQ(m_sim->control("fault flood on 100000 +CMTI: \"SM\",3"), "OK");
    const std::string frame = "\r\n+CMTI: \"SM\",3\r\n";
    std::string flood;
    m_client->readUntil(flood, [](const std::string& got) { return got.size() >= 5000; });
    ASSERT_GE(flood.size(), 5000u);
    const std::string whole = flood.substr(0, flood.size() - flood.size() % frame.size());
    EXPECT_EQ(whole, repeat(frame, int(whole.size() / frame.size())));

    std::string got;
    ASSERT_TRUE(m_client->write("AT+CGMM\r"));
    m_client->readUntil(got, [](const std::string& a) { return a.find("\r\nOK\r\n") != std::string::npos; });
    EXPECT_NE(got.find("\r\nNokia 6310i\r\n\r\nOK\r\n"), std::string::npos) << got.substr(0, 200);

    ASSERT_EQ(m_sim->control("fault flood off"), "OK");
    m_client->drain(100ms);
    EXPECT_EQ(m_client->at("AT"), "\r\nOK\r\n");
    EXPECT_NE(m_sim->transcript().find("flood ends after"), std::string::npos);
}

TEST_F(SimTest, SlowPhonePacesEveryByte)
{
    startWith("");
    ASSERT_EQ(m_sim->control("fault slow on 20"), "OK");
    m_sim->clearTranscript();
    EXPECT_EQ(m_client->at("AT+CGMM"), "\r\nNokia 6310i\r\n\r\nOK\r\n");
    const std::string transcript = m_sim->transcript();
    EXPECT_EQ(std::count(transcript.begin(), transcript.end(), '>'), 2 * 21) << transcript; // a byte a line
}

TEST_F(SimTest, DroppedLineHangsUpAndServesAgainAtTheLink)
{
    const std::string link = ::testing::TempDir() + "/phonesim-drop-link";
    m_sim = std::make_unique<phonesim::Simulator>(sample());
    std::string error;
    ASSERT_TRUE(m_sim->start(&error, link)) << error;
    EXPECT_EQ(m_sim->devicePath(), link);
    Client client(link);
    ASSERT_TRUE(client.isOpen()) << link;
    EXPECT_EQ(client.at("ATE0"), "ATE0\r\r\nOK\r\n");

    // Dropped from the control channel: the open port sees a hangup.
    const std::string before = m_sim->ptyPath();
    EXPECT_EQ(m_sim->control("drop").substr(0, 2), "OK");
    std::string rest;
    EXPECT_FALSE(client.readUntil(
        rest, [](const std::string&) { return false; }, 2000ms));
    EXPECT_NE(m_sim->ptyPath(), before);

    // Dropped in the middle of an answer.
    ASSERT_TRUE(client.open(link));
    EXPECT_EQ(client.at("AT"), "\r\nOK\r\n"); // the phone kept its settings: no echo
    ASSERT_EQ(m_sim->control("fault drop on AT+CGMM"), "OK");
    ASSERT_TRUE(client.write("AT+CGMM\r"));
    std::string partial;
    EXPECT_FALSE(client.readUntil(partial, isFinal, 2000ms));
    const std::string whole = "\r\nNokia 6310i\r\n\r\nOK\r\n";
    EXPECT_EQ(partial, whole.substr(0, whole.size() / 2)); // the first half, then the hangup
    EXPECT_EQ(m_sim->drops(), 2);

    ASSERT_TRUE(client.open(link));
    EXPECT_EQ(client.at("AT+CGMM"), "\r\nNokia 6310i\r\n\r\nOK\r\n");
    m_sim->stop();
    EXPECT_NE(access(link.c_str(), F_OK), 0); // the link goes with the simulator
}

TEST(Simulator, RefusesToPutItsLinkOverAFile)
{
    const std::string path = ::testing::TempDir() + "/phonesim-not-a-link";
    FILE* file = fopen(path.c_str(), "w");
    ASSERT_NE(file, nullptr);
    fclose(file);
    phonesim::Simulator sim(sample());
    std::string error;
    EXPECT_FALSE(sim.start(&error, path));
    EXPECT_EQ(error, path + " exists and is not a symbolic link");
    EXPECT_EQ(access(path.c_str(), F_OK), 0);
    unlink(path.c_str());
}

TEST_F(SimTest, ClosingAndReopeningThePortKeepsServing)
{
    startWith("");
    m_client->close();
    ASSERT_TRUE(m_client->open(m_sim->devicePath()));
    EXPECT_EQ(m_client->at("AT+CGMI"), "\r\nNokia\r\n\r\nOK\r\n");
}

TEST_F(SimTest, AnswerSentWhileThePortIsClosedIsLost)
{
    startWith("");
    ASSERT_EQ(m_sim->control("fault late on 100 AT+CGMM"), "OK");
    ASSERT_TRUE(m_client->write("AT+CGMM\r"));
    m_client->close();
    const auto deadline = Clock::now() + 3s;
    while (m_sim->transcript().find("-- lost, the port is closed: \"\\r\\nNokia") == std::string::npos
           && Clock::now() < deadline) {
        std::this_thread::yield();
    }
    ASSERT_TRUE(m_client->open(m_sim->devicePath()));
    EXPECT_EQ(m_client->at("AT"), "\r\nOK\r\n");
    EXPECT_NE(m_sim->transcript().find("-- port closed"), std::string::npos);
}

TEST_F(SimTest, PhoneBookWritesAndCharacterSets)
{
    startWith("");
    const Exchange table[] = {
        {"write", "AT+CPBW=4,\"+390612345678\",145,\"Caff\x04, Bar\"", "\r\nOK\r\n"},
        {"read back in GSM", "AT+CPBR=4", "\r\n+CPBR: 4,\"+390612345678\",145,\"Caff\x04, Bar\"\r\n\r\nOK\r\n"},
        {"ucs2", "AT+CSCS=\"UCS2\"", "\r\nOK\r\n"},
        {"read back in UCS2", "AT+CPBR=4",
         "\r\n+CPBR: 4,\"+390612345678\",145,\"004300610066006600E8002C0020004200610072\"\r\n\r\nOK\r\n"},
        {"name too long", "AT+CPBW=9,\"1\",129,\"" + repeat("0041", 19) + "\"", "\r\nERROR\r\n"},
        {"delete", "AT+CPBW=4", "\r\nOK\r\n"},
        {"gone", "AT+CPBR=4", "\r\nOK\r\n"},
    };
    for (const Exchange& e : table)
        EXPECT_EQ(m_client->at(e.command), e.answer) << e.name;
}

// ---- Writing the phone books (GSM 07.07 8.14 +CPBW) ---------------------------

struct WriteCase {
    const char* name;
    std::string state;               // state lines after the sample's
    std::vector<Exchange> exchanges; // after ATE0 and AT+CMEE=1
};

// Each case from the Italian sample (SM 1-250: entries 1, 2, 3, 5, 6, 8, 11;
// names 18, numbers 40; ME 1-100, names 24; FD 1-10), echo off, numeric
// error codes.
TEST_F(SimTest, PhoneBookWritesAsPhonesDo)
{
    const std::string ok = "\r\nOK\r\n";
    auto entry = [](const std::string& line) { return "\r\n" + line + "\r\n\r\nOK\r\n"; };
    auto cme = [](const std::string& code) { return "\r\n+CME ERROR: " + code + "\r\n"; };
    const std::string digits40 = repeat("0123456789", 4);
    const std::vector<WriteCase> cases = {
        {"the limits of each book; +CPBR=? as before",
         "",
         {{"SM", "AT+CPBW=?", entry("+CPBW: (1-250),40,(129,145),18")},
          {"read test unchanged", "AT+CPBR=?", entry("+CPBR: (1-250),40,18")},
          {"ME", "AT+CPBS=\"ME\"", ok},
          {"ME limits", "AT+CPBW=?", entry("+CPBW: (1-100),40,(129,145),24")},
          {"FD", "AT+CPBS=\"FD\"", ok},
          {"FD limits, PIN2 or not", "AT+CPBW=?", entry("+CPBW: (1-10),40,(129,145),18")}}},
        {"a write at an index, then an edit of an entry",
         "",
         {{"write", "AT+CPBW=4,\"3471234567\",145,\"Mario Rossi\"", ok},
          {"international, one +", "AT+CPBR=4", entry("+CPBR: 4,\"+3471234567\",145,\"Mario Rossi\"")},
          {"edit", "AT+CPBW=1,\"0612345678\",129,\"Ufficio Roma\"", ok},
          {"edited", "AT+CPBR=1", entry("+CPBR: 1,\"0612345678\",129,\"Ufficio Roma\"")},
          {"one more entry", "AT+CPBS?", entry("+CPBS: \"SM\",8,250")}}},
        {"the first free entry when the index is left out",
         "",
         {{"into 4", "AT+CPBW=,\"0612345678\",129,\"Casa\"", ok},
          {"into 7", "AT+CPBW=,\"3331234567\",129,\"Lavoro\"", ok},
          {"into 9", "AT+CPBW=,\"3471234567\",145,\"Mario\"", ok},
          {"where they went", "AT+CPBR=4,9",
           "\r\n+CPBR: 4,\"0612345678\",129,\"Casa\"\r\n+CPBR: 5,\"3331234567\",129,\"Bianchi, Luca\""
           "\r\n+CPBR: 6,\"+393281234567\",145,\"\"\r\n+CPBR: 7,\"3331234567\",129,\"Lavoro\""
           "\r\n+CPBR: 8,\"+393391122334\",145,\"Nonna\"\r\n+CPBR: 9,\"+3471234567\",145,\"Mario\"\r\n\r\nOK\r\n"}}},
        {"a delete",
         "",
         {{"delete", "AT+CPBW=2", ok},
          {"gone", "AT+CPBR=2", ok},
          {"counted", "AT+CPBS?", entry("+CPBS: \"SM\",6,250")},
          {"an empty entry deleted", "AT+CPBW=2", ok},
          {"the freed entry is the first free", "AT+CPBW=,\"112\",129,\"SOS\"", ok},
          {"there", "AT+CPBR=2", entry("+CPBR: 2,\"112\",129,\"SOS\"")}}},
        {"a full book",
         "pb.SM.empty = yes\npb.SM.range = 1-2\npb.SM.1 = \"+390123456789\",145,\"Ufficio\"\n"
         "pb.SM.2 = \"3331234567\",129,\"Luca\"\n",
         {{"no free entry", "AT+CPBW=,\"3471234567\",145,\"Mario\"", cme("20")},
          {"nothing written", "AT+CPBS?", entry("+CPBS: \"SM\",2,2")},
          {"an index is still written", "AT+CPBW=2,\"3471234567\",145,\"Mario\"", ok},
          {"over the old entry", "AT+CPBR=1,2",
           "\r\n+CPBR: 1,\"+390123456789\",145,\"Ufficio\"\r\n+CPBR: 2,\"+3471234567\",145,\"Mario\"\r\n\r\nOK\r\n"},
          {"verbose", "AT+CMEE=2", ok},
          {"memory full", "AT+CPBW=,\"1\",129,\"x\"", cme("memory full")},
          {"plain", "AT+CMEE=0", ok},
          {"ERROR", "AT+CPBW=,\"1\",129,\"x\"", "\r\nERROR\r\n"}}},
        {"indices outside the range",
         "",
         {{"0", "AT+CPBW=0,\"1\",129,\"x\"", cme("21")},
          {"251", "AT+CPBW=251,\"1\",129,\"x\"", cme("21")},
          {"a delete at 251", "AT+CPBW=251", cme("21")},
          {"verbose", "AT+CMEE=2", ok},
          {"invalid index", "AT+CPBW=251", cme("invalid index")},
          {"nothing written", "AT+CPBS?", entry("+CPBS: \"SM\",7,250")}}},
        {"numbers: 40 digits, a + not counted",
         "",
         {{"40", "AT+CPBW=4,\"" + digits40 + "\",129,\"a\"", ok},
          {"40 and a +", "AT+CPBW=7,\"+" + digits40 + "\",145,\"b\"", ok},
          {"41", "AT+CPBW=9,\"" + digits40 + "5\",129,\"c\"", cme("26")},
          {"a letter", "AT+CPBW=9,\"0612a\",129,\"c\"", cme("27")},
          {"a + inside", "AT+CPBW=9,\"39+06\",129,\"c\"", cme("27")},
          {"the dial characters", "AT+CPBW=9,\"*31#0612p1w2\",129,\"d\"", ok},
          {"verbose", "AT+CMEE=2", ok},
          {"dial string too long", "AT+CPBW=9,\"" + digits40 + "5\",129,\"c\"", cme("dial string too long")},
          {"read back", "AT+CPBR=4,9",
           "\r\n+CPBR: 4,\"" + digits40
               + "\",129,\"a\"\r\n+CPBR: 5,\"3331234567\",129,\"Bianchi, Luca\""
                 "\r\n+CPBR: 6,\"+393281234567\",145,\"\"\r\n+CPBR: 7,\"+"
               + digits40
               + "\",145,\"b\""
                 "\r\n+CPBR: 8,\"+393391122334\",145,\"Nonna\"\r\n+CPBR: 9,\"*31#0612p1w2\",129,\"d\"\r\n\r\nOK\r\n"}}},
        {"names in GSM: 18 characters, an extension character two",
         "",
         {{"18", "AT+CPBW=4,\"1\",129,\"ABCDEFGHIJKLMNOPQR\"", ok},
          {"19", "AT+CPBW=7,\"1\",129,\"ABCDEFGHIJKLMNOPQRS\"", cme("24")},
          {"ucs2", "AT+CSCS=\"UCS2\"", ok},
          {"9 euro signs", "AT+CPBW=7,\"2\",129,\"" + repeat("20AC", 9) + "\"", ok},
          {"10 euro signs", "AT+CPBW=9,\"3\",129,\"" + repeat("20AC", 10) + "\"", cme("24")},
          {"17 and an euro sign", "AT+CPBW=9,\"3\",129,\"" + repeat("0041", 17) + "20AC\"", cme("24")},
          {"verbose", "AT+CMEE=2", ok},
          {"text string too long", "AT+CPBW=9,\"3\",129,\"" + repeat("0041", 19) + "\"", cme("text string too long")},
          {"read back", "AT+CPBR=7", entry("+CPBR: 7,\"2\",129,\"" + repeat("20AC", 9) + "\"")},
          {"nothing at 9", "AT+CPBR=9", ok}}},
        {"names in UCS2: two a character and one more",
         "",
         {{"ucs2", "AT+CSCS=\"UCS2\"", ok},
          {"8 Cyrillic letters, 17", "AT+CPBW=4,\"1\",129,\"041C043004400438044F043C04300440\"", ok},
          {"9, 19", "AT+CPBW=7,\"1\",129,\"041C043004400438044F043C043004400438\"", cme("24")},
          {"an accent makes the whole name UCS2: 8 characters, 17",
           "AT+CPBW=7,\"1\",129,\"004100420043004400450046004700E8\"", ok},
          {"9, 19", "AT+CPBW=9,\"1\",129,\"00410042004300440045004600470048042F\"", cme("24")},
          {"a character beyond U+FFFF, two code units: 7 and 2, 19",
           "AT+CPBW=9,\"1\",129,\"0041004200430044004500460047D83DDE00\"", cme("24")},
          {"6 and 2, 17", "AT+CPBW=9,\"1\",129,\"004100420043004400450046D83DDE00\"", ok},
          {"ME: 24 units, 11 Cyrillic letters", "AT+CPBS=\"ME\"", ok},
          {"23", "AT+CPBW=3,\"1\",129,\"041C043004400438044F043C043004400438044F0431\"", ok},
          {"12 letters, 25", "AT+CPBW=5,\"1\",129,\"041C043004400438044F043C043004400438044F04310432\"", cme("24")}}},
        {"bad hex: +CME ERROR: 25",
         "",
         {{"ucs2", "AT+CSCS=\"UCS2\"", ok},
          {"odd", "AT+CPBW=4,\"1\",129,\"004\"", cme("25")},
          {"not hex", "AT+CPBW=4,\"1\",129,\"00ZZ\"", cme("25")},
          {"not a whole code unit", "AT+CPBW=4,\"1\",129,\"00410\"", cme("25")},
          {"half a surrogate pair", "AT+CPBW=4,\"1\",129,\"D83C\"", cme("25")},
          {"the name typed as it is", "AT+CPBW=4,\"1\",129,\"Mario\"", cme("25")},
          {"verbose", "AT+CMEE=2", ok},
          {"invalid characters", "AT+CPBW=4,\"1\",129,\"004\"", cme("invalid characters in text string")},
          {"plain", "AT+CMEE=0", ok},
          {"ERROR", "AT+CPBW=4,\"1\",129,\"004\"", "\r\nERROR\r\n"},
          {"nothing written", "AT+CPBR=4", ok}}},
        {"an accented name and a Cyrillic one, written in UCS2, read in both sets",
         "",
         {{"ucs2", "AT+CSCS=\"UCS2\"", ok},
          {"Caffè", "AT+CPBW=4,\"+390612345678\",145,\"004300610066006600E8\"", ok},
          {"Мария", "AT+CPBW=7,\"+74951234567\",145,\"041C043004400438044F\"", ok},
          {"Caffè exactly", "AT+CPBR=4", entry("+CPBR: 4,\"+390612345678\",145,\"004300610066006600E8\"")},
          {"Мария exactly", "AT+CPBR=7", entry("+CPBR: 7,\"+74951234567\",145,\"041C043004400438044F\"")},
          {"gsm", "AT+CSCS=\"GSM\"", ok},
          {"è is a GSM character", "AT+CPBR=4", entry("+CPBR: 4,\"+390612345678\",145,\"Caff\x04\"")},
          {"Cyrillic is not", "AT+CPBR=7", entry("+CPBR: 7,\"+74951234567\",145,\"?????\"")}}},
        {"an accented name written in GSM, read in UCS2",
         "",
         {{"Caffè as GSM bytes", "AT+CPBW=4,\"+390612345678\",145,\"Caff\x04\"", ok},
          {"as sent", "AT+CPBR=4", entry("+CPBR: 4,\"+390612345678\",145,\"Caff\x04\"")},
          {"ucs2", "AT+CSCS=\"UCS2\"", ok},
          {"as Unicode", "AT+CPBR=4", entry("+CPBR: 4,\"+390612345678\",145,\"004300610066006600E8\"")},
          {"8859-1", "AT+CSCS=\"8859-1\"", ok},
          {"è in 8859-1", "AT+CPBW=7,\"1\",129,\"Perch\xE9\"", ok},
          {"back to UCS2", "AT+CSCS=\"UCS2\"", ok},
          {"é", "AT+CPBR=7", entry("+CPBR: 7,\"1\",129,\"0050006500720063006800E9\"")},
          {"a GSM byte that is none", "AT+CSCS=\"GSM\"", ok},
          {"refused", "AT+CPBW=9,\"1\",129,\"Caf\xE9\"", cme("25")}}},
        {"type 145 on most phones: one + whatever was sent",
         "",
         {{"digits, 145", "AT+CPBW=4,\"393471234567\",145,\"a\"", ok},
          {"+digits, 145", "AT+CPBW=7,\"+393471234567\",145,\"b\"", ok},
          {"+digits, 129", "AT+CPBW=9,\"+393471234567\",129,\"c\"", ok},
          {"+digits, no type", "AT+CPBW=10,\"+393471234567\"", ok},
          {"digits, no type", "AT+CPBW=12,\"3471234567\"", ok},
          {"read back", "AT+CPBR=4,12",
           "\r\n+CPBR: 4,\"+393471234567\",145,\"a\"\r\n+CPBR: 5,\"3331234567\",129,\"Bianchi, Luca\""
           "\r\n+CPBR: 6,\"+393281234567\",145,\"\"\r\n+CPBR: 7,\"+393471234567\",145,\"b\""
           "\r\n+CPBR: 8,\"+393391122334\",145,\"Nonna\"\r\n+CPBR: 9,\"+393471234567\",145,\"c\""
           "\r\n+CPBR: 10,\"+393471234567\",145,\"\"\r\n+CPBR: 11,\"4916\",129,\"Info TIM\""
           "\r\n+CPBR: 12,\"3471234567\",129,\"\"\r\n\r\nOK\r\n"}}},
        {"the doubled + of a phone that adds one for 145",
         "profile = double-plus\n",
         {{"digits, 145", "AT+CPBW=4,\"393471234567\",145,\"a\"", ok},
          {"+digits, 145", "AT+CPBW=7,\"+393471234567\",145,\"b\"", ok},
          {"+digits, no type (145)", "AT+CPBW=9,\"+393471234567\"", ok},
          {"digits, 129", "AT+CPBW=10,\"3471234567\",129,\"d\"", ok},
          {"+ and 40 digits count 41", "AT+CPBW=12,\"+" + digits40 + "\",145,\"e\"", cme("26")},
          {"read back", "AT+CPBR=4,10",
           "\r\n+CPBR: 4,\"+393471234567\",145,\"a\"\r\n+CPBR: 5,\"3331234567\",129,\"Bianchi, Luca\""
           "\r\n+CPBR: 6,\"+393281234567\",145,\"\"\r\n+CPBR: 7,\"++393471234567\",145,\"b\""
           "\r\n+CPBR: 8,\"+393391122334\",145,\"Nonna\"\r\n+CPBR: 9,\"++393471234567\",145,\"\""
           "\r\n+CPBR: 10,\"3471234567\",129,\"d\"\r\n\r\nOK\r\n"}}},
        {"FD without PIN2",
         "",
         {{"FD", "AT+CPBS=\"FD\"", ok},
          {"a write", "AT+CPBW=3,\"113\",129,\"Polizia\"", cme("17")},
          {"the first free", "AT+CPBW=,\"113\",129,\"Polizia\"", cme("17")},
          {"an edit", "AT+CPBW=1,\"112\",129,\"SOS\"", cme("17")},
          {"a delete", "AT+CPBW=1", cme("17")},
          {"verbose", "AT+CMEE=2", ok},
          {"SIM PIN2 required", "AT+CPBW=1", cme("SIM PIN2 required")},
          {"plain", "AT+CMEE=0", ok},
          {"ERROR", "AT+CPBW=1", "\r\nERROR\r\n"},
          {"unchanged", "AT+CPBR=1,10",
           "\r\n+CPBR: 1,\"112\",129,\"Emergenza\"\r\n+CPBR: 2,\"+390123456789\",145,\"Ufficio\"\r\n\r\nOK\r\n"},
          {"the other books are written", "AT+CPBS=\"SM\"", ok},
          {"SM", "AT+CPBW=4,\"113\",129,\"Polizia\"", ok}}},
        {"FD once PIN2 is given",
         "sim.pin2 = entered\n",
         {{"FD", "AT+CPBS=\"FD\"", ok},
          {"a write", "AT+CPBW=3,\"113\",129,\"Polizia\"", ok},
          {"a delete", "AT+CPBW=1", ok},
          {"read back", "AT+CPBR=1,10",
           "\r\n+CPBR: 2,\"+390123456789\",145,\"Ufficio\"\r\n+CPBR: 3,\"113\",129,\"Polizia\"\r\n\r\nOK\r\n"}}},
        {"a SIM that wants its PIN",
         "sim.state = pin\n",
         {{"no write", "AT+CPBW=4,\"1\",129,\"a\"", cme("11")}, {"no delete", "AT+CPBW=1", cme("11")}}},
    };
    for (const WriteCase& c : cases) {
        SCOPED_TRACE(c.name);
        startWith(c.state);
        ASSERT_EQ(m_client->at("AT+CMEE=1"), ok);
        for (const Exchange& e : c.exchanges)
            EXPECT_EQ(m_client->at(e.command), e.answer) << e.name;
    }
}

// Whether any line received carried a byte below 0x20 as itself.
bool anyControlByte(const std::vector<std::string>& lines)
{
    return std::any_of(lines.begin(), lines.end(), [](const std::string& line) {
        return std::any_of(line.begin(), line.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; });
    });
}

long countStartingWith(const std::vector<std::string>& lines, const std::string& start)
{
    return std::count_if(lines.begin(), lines.end(),
                         [&](const std::string& line) { return line.rfind(start, 0) == 0; });
}

// What the phone received, line by line: commands() as the phone took each
// line, receivedLines() as its bytes came. GSM bytes of a name on the
// command line are edited away by the phone ("@" is a NUL, "ò" a
// backspace); only receivedLines() still shows them.
TEST_F(SimTest, ReceivedLinesKeepTheBytesThePhoneEditedAway)
{
    startWith("");
    EXPECT_EQ(m_client->at("AT+CSCS=\"UCS2\""), "\r\nOK\r\n");
    EXPECT_EQ(m_client->at("AT+CPBW=4,\"3471234567\",145,\"004E00690063006F006C00F2\""), "\r\nOK\r\n");
    EXPECT_EQ(m_client->send("AT+CPBW=,\"3471234567\",145,\"041C043004400438044F\"\r\n"), "\r\nOK\r\n");
    EXPECT_FALSE(anyControlByte(m_sim->receivedLines()));
    EXPECT_EQ(m_sim->receivedLines(), m_sim->commands());
    EXPECT_EQ(countStartingWith(m_sim->commands(), "AT+CPBW="), 2);

    m_sim->clearTranscript();
    EXPECT_EQ(m_client->at("AT+CSCS=\"GSM\""), "\r\nOK\r\n");
    // "Nicolò" and "@casa" in GSM bytes: the backspace takes the "l", the NUL goes.
    EXPECT_EQ(m_client->at("AT+CPBW=4,\"1\",129,\"Nicol\x08\""), "\r\nOK\r\n");
    EXPECT_EQ(m_client->send(std::string("AT+CPBW=9,\"2\",129,\"\0casa\"\r", 26)), "\r\nOK\r\n");
    EXPECT_EQ(m_client->at("AT+CPBR=4"), "\r\n+CPBR: 4,\"1\",129,\"Nico\"\r\n\r\nOK\r\n");
    EXPECT_EQ(m_client->at("AT+CPBR=9"), "\r\n+CPBR: 9,\"2\",129,\"casa\"\r\n\r\nOK\r\n");
    EXPECT_EQ(m_sim->commands(), (std::vector<std::string>{"AT+CSCS=\"GSM\"", "AT+CPBW=4,\"1\",129,\"Nico\"",
                                                           "AT+CPBW=9,\"2\",129,\"casa\"", "AT+CPBR=4", "AT+CPBR=9"}));
    EXPECT_EQ(m_sim->receivedLines(),
              (std::vector<std::string>{"AT+CSCS=\"GSM\"", "AT+CPBW=4,\"1\",129,\"Nicol\x08\"",
                                        std::string("AT+CPBW=9,\"2\",129,\"\0casa\"", 25), "AT+CPBR=4", "AT+CPBR=9"}));
    EXPECT_TRUE(anyControlByte(m_sim->receivedLines()));
    EXPECT_FALSE(anyControlByte(m_sim->commands()));
    EXPECT_NE(m_sim->transcript().find("<< \"AT+CPBW=4,\\\"1\\\",129,\\\"Nicol\\x08\\\"\\r\""), std::string::npos)
        << m_sim->transcript();

    // A PDU line with its Ctrl-Z, the CR after it ending no line.
    m_sim->clearTranscript();
    EXPECT_EQ(m_client->send("AT+CMGS=14\r\r"), "\r\n> ");
    EXPECT_EQ(m_client->send(kSubmitAbc + "\x1a\r"), "\r\n+CMGS: 1\r\n\r\nOK\r\n");
    EXPECT_EQ(m_sim->receivedLines(), (std::vector<std::string>{"AT+CMGS=14", kSubmitAbc + "\x1a"}));
    EXPECT_EQ(m_sim->receivedLines(), m_sim->commands());
}

// A write whose answer is lost is done once: the phone never does it again
// on its own, and the program finds it by reading the entry back.
TEST_F(SimTest, AWriteWhoseAnswerIsLostIsDoneOnce)
{
    const std::string link = ::testing::TempDir() + "/phonesim-cpbw-link";
    m_sim = std::make_unique<phonesim::Simulator>(sample());
    std::string error;
    ASSERT_TRUE(m_sim->start(&error, link)) << error;
    Client client(link);
    ASSERT_TRUE(client.isOpen());
    EXPECT_EQ(client.at("ATE0"), "ATE0\r\r\nOK\r\n");
    ASSERT_EQ(m_sim->control("fault drop on +CPBW"), "OK");
    ASSERT_TRUE(client.write("AT+CPBW=,\"3471234567\",145,\"Mario\"\r"));
    std::string partial;
    EXPECT_FALSE(client.readUntil(partial, isFinal, 2000ms));
    // The hangup comes as the old pty closes; the link follows the new one just after.
    const auto deadline = Clock::now() + 3s;
    while (m_sim->drops() < 1 && Clock::now() < deadline)
        std::this_thread::sleep_for(1ms);
    ASSERT_EQ(m_sim->drops(), 1);
    ASSERT_TRUE(client.open(link));
    EXPECT_EQ(client.at("AT+CPBS?"), "\r\n+CPBS: \"SM\",8,250\r\n\r\nOK\r\n");
    EXPECT_EQ(client.at("AT+CPBR=4"), "\r\n+CPBR: 4,\"+3471234567\",145,\"Mario\"\r\n\r\nOK\r\n");
    EXPECT_EQ(countStartingWith(m_sim->commands(), "AT+CPBW"), 1);
    m_sim->stop();
}

// The paced phone paces the answers of +CPBW as the others: a byte a
// transcript line, the delay before the answer.
TEST_F(SimTest, SlowPhonePacesPhoneBookWrites)
{
    startWith("");
    ASSERT_EQ(m_sim->control("fault slow on 200"), "OK");
    m_sim->clearTranscript();
    const auto start = Clock::now();
    EXPECT_EQ(m_client->at("AT+CPBW=4,\"3471234567\",145,\"Mario\""), "\r\nOK\r\n");
    EXPECT_GE(Clock::now() - start, 200ms);
    const std::string transcript = m_sim->transcript();
    EXPECT_EQ(std::count(transcript.begin(), transcript.end(), '>'), 2 * 6) << transcript;
    m_sim->clearTranscript();
    EXPECT_EQ(m_client->at("AT+CPBW=?"), "\r\n+CPBW: (1-250),40,(129,145),18\r\n\r\nOK\r\n");
    const std::string test = m_sim->transcript();
    EXPECT_EQ(std::count(test.begin(), test.end(), '>'), 2 * 40) << test;
}

TEST_F(SimTest, MalformedParametersAreRefused)
{
    startWith("");
    const char* table[] = {"AT+CPBS= ",   "AT+CPBS=SM,ME",       "AT+CPBW= ",        "AT+CPBW=,",   "AT+CPBW=1,+39",
                           "AT+CPMS=",    "AT+CPMS=SM,SM,SM,SM", "AT+CMGR=",         "AT+CMGR=x",   "AT+CMGR=-1",
                           "AT+CMGD=",    "AT+CMGD=1,9",         "AT+CMGS=0",        "AT+CMGS=abc", "AT+CMGL=5",
                           "AT+CPBR=5,2", "AT+CPBR=0",           "AT+CSCS=\"KOI8\"", "AT+CMEE=3",   "ATE7x",
                           "ATS3",        "AT+CSCA=12345"};
    for (const char* command : table)
        EXPECT_EQ(m_client->at(command), "\r\nERROR\r\n") << command;
    EXPECT_EQ(m_client->at("AT+CSCS=\"UCS2\""), "\r\nOK\r\n");
    EXPECT_EQ(m_client->at("AT+CPBW=9,\"1\",129,\"D83C\""), "\r\nERROR\r\n"); // half a surrogate pair
    EXPECT_EQ(m_client->at("AT+CPBR=9"), "\r\nOK\r\n");
    EXPECT_EQ(m_client->at("AT+CPBS?"), "\r\n+CPBS: \"SM\",7,250\r\n\r\nOK\r\n");
}

// Lines made of the pieces of real commands, in any order, never upset the
// phone: afterwards it still answers as it should.
TEST_F(SimTest, GarbledCommandLinesLeaveThePhoneWorking)
{
    startWith("");
    const char* pieces[] = {"AT",    "+CPBW", "+CPBR", "+CPBS", "+CMGR", "+CMGL", "+CMGD", "+CPMS", "+CSCS", "+CSCA",
                            "+CMEE", "+CNMI", "+CMGW", "=",     "?",     "=?",    "\"",    ",",     ";",     "1",
                            "0",     "255",   "99999", "-3",    "SM",    "ME",    "FD",    "UCS2",  "D83C",  "&",
                            "S",     "V",     "Q",     "E",     " ",     "\x1b",  "\b"};
    std::mt19937 random(20240315);
    for (int line = 0; line < 1500; ++line) {
        std::string text = "AT";
        const int count = 1 + static_cast<int>(random() % 8);
        for (int i = 0; i < count; ++i)
            text += pieces[random() % (sizeof pieces / sizeof *pieces)];
        ASSERT_TRUE(m_client->write(text + "\r"));
        m_client->drain(1ms);
    }
    // Out of a prompt, back to the settings the program uses.
    // Once the last of them is answered (the reset turned the echo on).
    m_client->write("\x1b\rATZ\rATE0V1Q0\r");
    std::string settled;
    m_client->readUntil(
        settled, [](const std::string& got) { return endsWith(got, "ATE0V1Q0\r\r\nOK\r\n"); }, 60000ms);
    EXPECT_EQ(m_client->at("AT+CMEE=0;+CSCS=GSM"), "\r\nOK\r\n");
    EXPECT_EQ(m_client->at("AT+CGMM"), "\r\nNokia 6310i\r\n\r\nOK\r\n");
}

TEST_F(SimTest, ControlSetsKeysWhileRunning)
{
    startWith("");
    EXPECT_EQ(m_sim->control("set model X100"), "OK");
    EXPECT_EQ(m_client->at("AT+CGMM"), "\r\nX100\r\n\r\nOK\r\n");
    EXPECT_EQ(m_sim->control("set empty_slot ok"), "OK");
    EXPECT_EQ(m_client->at("AT+CMGR=4"), "\r\nOK\r\n");
    EXPECT_EQ(m_sim->control("get model"), "X100");
    // The echo follows at once; the other settings of the dialogue stay.
    EXPECT_EQ(m_client->at("AT+CMEE=1"), "\r\nOK\r\n");
    EXPECT_EQ(m_sim->control("set echo on"), "OK");
    EXPECT_EQ(m_client->at("AT+CMGR=99"), "AT+CMGR=99\r\r\n+CMS ERROR: 321\r\n");
    EXPECT_EQ(m_sim->control("fault noecho on"), "OK");
    EXPECT_EQ(m_client->at("AT+CMGR=99"), "\r\n+CMS ERROR: 321\r\n");
    EXPECT_EQ(m_sim->control("set nonsense 1").substr(0, 6), "ERROR ");
    EXPECT_EQ(m_sim->control("fault nonsense on").substr(0, 6), "ERROR ");
    EXPECT_EQ(m_sim->control("bogus").substr(0, 6), "ERROR ");
}

// ---- Dialects of real phones -------------------------------------------------

// SM.14 of the Italian sample, stored sent, 38 octets after the service centre.
const std::string kSample14 =
    "0791933395066900112A0C919343977856340000AA1B4779589F2E83DA6936BB0C8297E5A074599E06CDCBF27008";

struct DialectCase {
    const char* state;               // state lines after the sample's
    std::vector<Exchange> exchanges; // from power-on, echo on
};

// Each dialect byte for byte, from power-on (echo on), with the Italian sample.
TEST_F(SimTest, EachDialectAnswersByteForByte)
{
    const DialectCase table[] = {
        {"profile = echo-crcr\n",
         {{"echo ends CR CR", "AT+CGMM", "AT+CGMM\r\r\r\nNokia 6310i\r\n\r\nOK\r\n"},
          {"echo off", "ATE0", "ATE0\r\r\r\nOK\r\n"},
          {"no echo, plain answer", "AT+CGMM", "\r\nNokia 6310i\r\n\r\nOK\r\n"}}},
        {"profile = lf-only\n",
         {{"echo as received, then LF", "ATE0", "ATE0\r\nOK\n"},
          {"information", "AT+CGMM", "\nNokia 6310i\n\nOK\n"},
          {"message", "AT+CMGR=1", "\n+CMGR: 1,,63\n" + kSample1 + "\n\nOK\n"},
          {"numeric errors", "AT+CMEE=1", "\nOK\n"},
          {"error", "AT+CMGR=99", "\n+CMS ERROR: 321\n"},
          {"prompt", "AT+CMGS=14", "\n> "},
          {"sent", kSubmitAbc + "\x1a", "\n+CMGS: 1\n\nOK\n"}}},
        {"profile = blanks\n",
         {{"echo off", "ATE0", "ATE0\r\r\nOK\r\n"},
          {"stores", "AT+CPMS?", "\r\n+CPMS: \"SM\", 9, 20, \"SM\", 9, 20, \"SM\", 9, 20\r\n\r\nOK\r\n"},
          {"message", "AT+CMGR=1", "\r\n+CMGR: 1,, 63\r\n" + kSample1 + "\r\n\r\nOK\r\n"},
          {"empty slot", "AT+CMGR=4", "\r\n+CMGR: 0,, 0\r\n\r\nOK\r\n"},
          {"listing", "AT+CMGL=3", "\r\n+CMGL: 14, 3,, 38\r\n" + kSample14 + "\r\n\r\nOK\r\n"},
          {"entry, the comma of the name kept", "AT+CPBR=3",
           "\r\n+CPBR: 3, \"+393401234567\", 145, \"Rossi, Giulia\"\r\n\r\nOK\r\n"},
          {"phone-book size", "AT+CPBR=?", "\r\n+CPBR: (1-250), 40, 18\r\n\r\nOK\r\n"},
          {"service centre", "AT+CSCA?", "\r\n+CSCA: \"+393359609600\", 145\r\n\r\nOK\r\n"}}},
        {"profile = trailing-blank\n",
         {{"echo off", "ATE0", "ATE0\r\r\nOK\r\n"},
          {"information", "AT+CGMM", "\r\nNokia 6310i \r\n\r\nOK\r\n"},
          {"message", "AT+CMGR=1", "\r\n+CMGR: 1,,63 \r\n" + kSample1 + " \r\n\r\nOK\r\n"},
          {"entry", "AT+CPBR=1", "\r\n+CPBR: 1,\"+390123456789\",145,\"Ufficio\" \r\n\r\nOK\r\n"},
          {"final code untouched", "AT", "\r\nOK\r\n"}}},
        {"profile = lowercase-hex\n",
         {{"echo off", "ATE0", "ATE0\r\r\nOK\r\n"},
          {"message", "AT+CMGR=1", "\r\n+CMGR: 1,,63\r\n" + lowerHex(kSample1) + "\r\n\r\nOK\r\n"},
          {"listing", "AT+CMGL=3", "\r\n+CMGL: 14,3,,38\r\n" + lowerHex(kSample14) + "\r\n\r\nOK\r\n"},
          {"ucs2", "AT+CSCS=\"UCS2\"", "\r\nOK\r\n"},
          {"name in lower-case hex, number as it is", "AT+CPBR=1",
           "\r\n+CPBR: 1,\"+390123456789\",145,\"005500660066006900630069006f\"\r\n\r\nOK\r\n"}}},
        {"profile = pdu-quote\n",
         {{"echo off", "ATE0", "ATE0\r\r\nOK\r\n"},
          {"message", "AT+CMGR=1", "\r\n+CMGR: 1,,63\r\n" + kSample1 + "\"\r\n\r\nOK\r\n"},
          {"listing", "AT+CMGL=3", "\r\n+CMGL: 14,3,,38\r\n" + kSample14 + "\"\r\n\r\nOK\r\n"}}},
        {"profile = no-status\n",
         {{"echo off", "ATE0", "ATE0\r\r\nOK\r\n"},
          {"message", "AT+CMGR=1", "\r\n+CMGR: ,,63\r\n" + kSample1 + "\r\n\r\nOK\r\n"},
          {"empty slot", "AT+CMGR=4", "\r\n+CMGR: ,,0\r\n\r\nOK\r\n"},
          {"listing keeps the status", "AT+CMGL=3", "\r\n+CMGL: 14,3,,38\r\n" + kSample14 + "\r\n\r\nOK\r\n"}}},
        {"profile = whole-length\n", // the service-centre part is 8 octets
         {{"echo off", "ATE0", "ATE0\r\r\nOK\r\n"},
          {"message", "AT+CMGR=1", "\r\n+CMGR: 1,,71\r\n" + kSample1 + "\r\n\r\nOK\r\n"},
          {"empty slot", "AT+CMGR=4", "\r\n+CMGR: 0,,0\r\n\r\nOK\r\n"},
          {"listing", "AT+CMGL=3", "\r\n+CMGL: 14,3,,46\r\n" + kSample14 + "\r\n\r\nOK\r\n"}}},
        {"profile = cpbr-gap\n",
         {{"echo off", "ATE0", "ATE0\r\r\nOK\r\n"},
          {"entry", "AT+CPBR=3",
           "\r\n+CPBR: 3,,\"+393401234567\",145,\"Rossi, Giulia\",\"2007/11/02,09:27\"\r\n\r\nOK\r\n"},
          {"range, an entry without name", "AT+CPBR=4,6",
           "\r\n+CPBR: 5,,\"3331234567\",129,\"Bianchi, Luca\",\"2007/11/02,09:27\""
           "\r\n+CPBR: 6,,\"+393281234567\",145,\"\",\"2007/11/02,09:27\"\r\n\r\nOK\r\n"},
          {"ucs2", "AT+CSCS=\"UCS2\"", "\r\nOK\r\n"},
          {"name in hex", "AT+CPBR=11",
           "\r\n+CPBR: 11,,\"4916\",129,\"0049006E0066006F002000540049004D\",\"2007/11/02,09:27\"\r\n\r\nOK\r\n"}}},
        {"profile = cpbr-gap blanks\n",
         {{"echo off", "ATE0", "ATE0\r\r\nOK\r\n"},
          {"no blank in the empty field nor in the date", "AT+CPBR=1",
           "\r\n+CPBR: 1,, \"+390123456789\", 145, \"Ufficio\", \"2007/11/02,09:27\"\r\n\r\nOK\r\n"}}},
        {"profile = ucs2-numbers\n",
         {{"echo off", "ATE0", "ATE0\r\r\nOK\r\n"},
          {"ucs2 without quotes", "AT+CSCS=UCS2", "\r\nOK\r\n"},
          {"reported", "AT+CSCS?", "\r\n+CSCS: \"UCS2\"\r\n\r\nOK\r\n"},
          {"number and name in hex", "AT+CPBR=11",
           "\r\n+CPBR: 11,\"0034003900310036\",129,\"0049006E0066006F002000540049004D\"\r\n\r\nOK\r\n"},
          {"written in hex", "AT+CPBW=4,\"002B0033\",145,\"0041\"", "\r\nOK\r\n"},
          {"a number not in hex", "AT+CPBW=4,\"+3\",145,\"0041\"", "\r\nERROR\r\n"},
          {"back to GSM", "AT+CSCS=\"GSM\"", "\r\nOK\r\n"},
          {"number as it is", "AT+CPBR=4", "\r\n+CPBR: 4,\"+3\",145,\"A\"\r\n\r\nOK\r\n"}}},
        {"profile = ucs2-phonebook\n",
         {{"echo off", "ATE0", "ATE0\r\r\nOK\r\n"},
          {"offered", "AT+CSCS=?", "\r\n+CSCS: (\"GSM\",\"IRA\",\"8859-1\",\"UCS2\")\r\n\r\nOK\r\n"},
          {"ucs2", "AT+CSCS=\"UCS2\"", "\r\nOK\r\n"},
          {"name in hex, number as it is", "AT+CPBR=11",
           "\r\n+CPBR: 11,\"4916\",129,\"0049006E0066006F002000540049004D\"\r\n\r\nOK\r\n"}}},
        {"profile = no-ucs2\n",
         {{"echo off", "ATE0", "ATE0\r\r\nOK\r\n"},
          {"not offered", "AT+CSCS=?", "\r\n+CSCS: (\"GSM\",\"IRA\",\"8859-1\")\r\n\r\nOK\r\n"},
          {"refused", "AT+CSCS=\"UCS2\"", "\r\nERROR\r\n"},
          {"numeric errors", "AT+CMEE=1", "\r\nOK\r\n"},
          {"refused without quotes too", "AT+CSCS=UCS2", "\r\nERROR\r\n"},
          {"still GSM", "AT+CSCS?", "\r\n+CSCS: \"GSM\"\r\n\r\nOK\r\n"},
          {"other sets taken", "AT+CSCS=\"IRA\"", "\r\nOK\r\n"}}},
        {"profile = urc\n", // the schedule from its start: RING, +CRING, +CLIP, +CMTI...
         {{"before the echo", "ATE0", "\r\nRING\r\nATE0\r\r\nOK\r\n"},
          {"before the answer", "AT+CGMM", "\r\n+CRING: VOICE\r\n\r\nNokia 6310i\r\n\r\nOK\r\n"},
          {"after the first information line", "AT+CMGR=1",
           "\r\n+CMGR: 1,,63\r\n\r\n+CLIP: \"+393471234567\",145\r\n" + kSample1 + "\r\n\r\nOK\r\n"},
          {"after the final code", "AT", "\r\nOK\r\n\r\n+CMTI: \"SM\",3\r\n"},
          {"before the answer when there is no echo", "AT", "\r\n+CDSI: \"SM\",4\r\n\r\nOK\r\n"},
          {"no information line: before the answer", "AT", "\r\n+CREG: 1\r\n\r\nOK\r\n"}}},
        {"profile = urc\nfault.urc = on 2 38\n", // every second answer, from answer 38: line 19 (+CMT)
         {{"+CMT and its PDU, at position 19 % 4 = after", "ATE0",
           "ATE0\r\r\nOK\r\n\r\n+CMT: ,24\r\n0791933395066900040C9193431732547600004240500151008005C374F81D02\r\n"},
          {"none", "AT", "\r\nOK\r\n"},
          {"+CDS and its PDU, before the echo (none now)", "AT",
           "\r\n+CDS: 25\r\n0791933395066900062A0C91934317325476424050015100804240500151208000\r\n\r\nOK\r\n"}}},
        {"profile = lf-only blanks no-status trailing-blank pdu-quote lowercase-hex\n",
         {{"echo", "ATE0", "ATE0\r\nOK\n"},
          {"all at once", "AT+CMGR=1", "\n+CMGR: ,, 63 \n" + lowerHex(kSample1) + "\" \n\nOK\n"}}},
        {"profile = echo-crcr\nprofile = urc\n", {{"both", "AT", "\r\nRING\r\nAT\r\r\r\nOK\r\n"}}},
    };
    for (const DialectCase& c : table) {
        startWith(c.state, false);
        for (const Exchange& e : c.exchanges) {
            EXPECT_EQ(m_client->exchange(e.command, e.answer.size()), e.answer) << c.state << e.name;
        }
        EXPECT_EQ(m_client->drain(50ms), "") << c.state << "nothing more";
    }
}

// Over 84 answers the "urc" schedule puts each of its 21 codes in each of
// its 4 places once, always between lines.
TEST_F(SimTest, UrcScheduleCoversEveryCodeInEveryPlace)
{
    startWith("");
    const std::string plain = "\r\n+CMGR: 1,,63\r\n" + kSample1 + "\r\n\r\nOK\r\n";
    ASSERT_EQ(m_sim->control("fault urc on"), "OK");
    const std::vector<std::string>& schedule = phonesim::unsolicitedSchedule();
    ASSERT_EQ(schedule.size(), 21u);
    std::set<std::pair<std::string, size_t>> seen;
    for (size_t i = 0; i < 4 * schedule.size(); ++i) {
        std::string frame = "\r\n"; // "\r\n+CMT: ,24\r\n<pdu>\r\n": each line ended, as information lines are
        for (const std::string& line : phonesim::split(schedule[i % schedule.size()], '\n'))
            frame += line + "\r\n";
        const std::string answer = m_client->exchange("AT+CMGR=1", plain.size() + frame.size());
        const size_t at = answer.find(frame);
        ASSERT_NE(at, std::string::npos) << i << ": " << answer;
        std::string rest = answer;
        rest.erase(at, frame.size());
        EXPECT_EQ(rest, plain) << i;
        // Where it fell: 0 before the (absent) echo and 1 before the answer are the same place.
        const size_t place = at == 0 ? (i % 4 < 2 ? i % 4 : 9) : at == 16 ? 2 : at == plain.size() ? 3 : 9;
        EXPECT_EQ(place, i % 4) << i << ": " << answer;
        seen.insert({schedule[i % schedule.size()], place});
    }
    EXPECT_EQ(seen.size(), 4 * schedule.size());
}

TEST_F(SimTest, OneShotUnsolicitedLinesInEachPlace)
{
    startWith("", false);
    const Exchange table[] = {
        {"before-echo", "AT", "\r\n^MODE:5,5\r\nAT\r\r\nOK\r\n"},
        {"before", "AT", "AT\r\r\n^MODE:5,5\r\n\r\nOK\r\n"},
        {"inside", "AT+CGMM", "AT+CGMM\r\r\nNokia 6310i\r\n\r\n^MODE:5,5\r\n\r\nOK\r\n"},
        {"after", "AT", "AT\r\r\nOK\r\n\r\n^MODE:5,5\r\n"},
    };
    for (const Exchange& e : table) {
        ASSERT_EQ(m_sim->control("fault unsolicited on " + std::string(e.name) + " ^MODE:5,5"), "OK");
        EXPECT_EQ(m_client->exchange(e.command, e.answer.size()), e.answer) << e.name;
    }
    // A code of two lines, and nothing after a prompt: it comes before it.
    ASSERT_EQ(m_sim->control("fault unsolicited on after +CMT: ,3\\n0011AA"), "OK");
    EXPECT_EQ(m_client->exchange("AT+CMGS=14", 21), "AT+CMGS=14\r\r\n+CMT: ,3\r\n0011AA\r\n\r\n> ");
    EXPECT_EQ(m_client->exchange("\x1b", 6), "\r\nOK\r\n");
    EXPECT_EQ(m_sim->control("fault unsolicited on somewhere RING").substr(0, 6), "ERROR ");
}

// A garbled line: three characters lost from one line of one answer.
TEST_F(SimTest, GarbleCutsTheStartOfOneLineOnce)
{
    startWith("");
    const std::string ufficio = "+CPBR: 1,\"+390123456789\",145,\"Ufficio\"";
    const std::string marco = "+CPBR: 2,\"+393471234567\",145,\"Marco Rossi\"";
    const std::string giulia = "+CPBR: 3,\"+393401234567\",145,\"Rossi, Giulia\"";
    const std::string range = "\r\n" + ufficio + "\r\n" + marco + "\r\n" + giulia + "\r\n\r\nOK\r\n";
    const std::string garbled = "\r\n" + ufficio + "\r\n" + marco.substr(3) + "\r\n" + giulia + "\r\n\r\nOK\r\n";
    ASSERT_EQ(m_sim->control("fault garble on +CPBR=1,3"), "OK");
    const Exchange table[] = {
        {"another command: whole", "AT+CPBR=1", "\r\n" + ufficio + "\r\n\r\nOK\r\n"},
        {"the second line garbled", "AT+CPBR=1,3", garbled},
        {"once", "AT+CPBR=1,3", range},
    };
    for (const Exchange& e : table)
        EXPECT_EQ(m_client->at(e.command), e.answer) << e.name;
    // Without a command: the next answer that has lines, its only one.
    ASSERT_EQ(m_sim->control("fault garble on"), "OK");
    EXPECT_EQ(m_sim->control("get fault.garble"), "on");
    EXPECT_EQ(m_client->at("AT"), "\r\nOK\r\n");
    EXPECT_EQ(m_client->at("AT+CGMM"), "\r\nia 6310i\r\n\r\nOK\r\n");
    EXPECT_EQ(m_client->at("AT+CGMM"), "\r\nNokia 6310i\r\n\r\nOK\r\n");
    EXPECT_EQ(m_sim->control("get fault.garble"), "off");
}

// A phone that restarts in the middle of a range of UCS2 entries: the
// restart lines after the first entry, the rest in GSM from the SIM book's
// phone, which it selects again.
TEST_F(SimTest, RestartInsideAnAnswer)
{
    startWith("");
    const std::string restart = "\r\nRDY\r\n\r\n+CFUN: 1\r\n\r\n+CPIN: READY\r\n\r\nSMS Ready\r\n\r\nPB DONE\r\n";
    ASSERT_EQ(m_client->at("AT+CSCS=\"UCS2\""), "\r\nOK\r\n");
    ASSERT_EQ(m_client->at("AT+CPBS=ME"), "\r\nOK\r\n");
    ASSERT_EQ(m_sim->control("fault restart on +CPBR=1,2"), "OK");
    const Exchange table[] = {
        {"another command: no restart", "AT+CPBR=1",
         "\r\n+CPBR: 1,\"+393479876543\",145,\"0041006E006E0061\"\r\n\r\nOK\r\n"},
        {"the restart after the first entry", "AT+CPBR=1,2",
         "\r\n+CPBR: 1,\"+393479876543\",145,\"0041006E006E0061\"\r\n" + restart
             + "+CPBR: 2,\"+390612345678\",145,\"Casa, Roma\"\r\n\r\nOK\r\n"},
        {"the set of power-on", "AT+CSCS?", "\r\n+CSCS: \"GSM\"\r\n\r\nOK\r\n"},
        {"the SIM book", "AT+CPBS?", "\r\n+CPBS: \"SM\",7,250\r\n\r\nOK\r\n"},
        {"once", "AT+CPBR=1,2",
         "\r\n+CPBR: 1,\"+390123456789\",145,\"Ufficio\"\r\n+CPBR: 2,\"+393471234567\",145,\"Marco "
         "Rossi\"\r\n\r\nOK\r\n"},
    };
    for (const Exchange& e : table)
        EXPECT_EQ(m_client->at(e.command), e.answer) << e.name;
    // An answer without lines: the restart lines come before its result code.
    ASSERT_EQ(m_sim->control("fault restart on"), "OK");
    EXPECT_EQ(m_client->at("AT+CSCS=\"UCS2\""), restart + "\r\nOK\r\n");
    EXPECT_EQ(m_client->at("AT+CSCS?"), "\r\n+CSCS: \"GSM\"\r\n\r\nOK\r\n");
}

// The phone of the real-phones sample: any stored status, answered as given,
// and listed in index order whatever the dialect.
TEST(RealPhones, StoredStatusesAreAnsweredAsGiven)
{
    phonesim::PhoneState state;
    std::string error;
    ASSERT_TRUE(phonesim::loadStateFile(phonesim::sampleDir() + "/real-phones.state", state, error)) << error;
    phonesim::Simulator sim(state);
    ASSERT_TRUE(sim.start(&error)) << error;
    Client client(sim.devicePath());
    EXPECT_EQ(client.at("ATE0"), "ATE0\r\r\nOK\r\n");
    EXPECT_EQ(client.at("AT+CMGR=7").substr(0, 17), "\r\n+CMGR: 24,,32\r\n");
    EXPECT_EQ(client.at("AT+CMGR=6").substr(0, 16), "\r\n+CMGR: 4,,45\r\n");
    EXPECT_EQ(client.at("AT+CMGR=5").substr(0, 16), "\r\n+CMGR: 3,,37\r\n");
    EXPECT_EQ(client.at("AT+CMGL=4"),
              "\r\n+CMGL: 1,0,,25\r\n" + state.stores["SM"].messages[1].pdu + "\r\n+CMGL: 2,1,,25\r\n"
                  + state.stores["SM"].messages[2].pdu + "\r\n+CMGL: 3,1,,24\r\n" + state.stores["SM"].messages[3].pdu
                  + "\r\n+CMGL: 4,1,,42\r\n" + state.stores["SM"].messages[4].pdu + "\r\n+CMGL: 5,3,,37\r\n"
                  + state.stores["SM"].messages[5].pdu + "\r\n+CMGL: 6,4,,45\r\n" + state.stores["SM"].messages[6].pdu
                  + "\r\n+CMGL: 7,24,,32\r\n" + state.stores["SM"].messages[7].pdu + "\r\n+CMGL: 9,1,,34\r\n"
                  + state.stores["SM"].messages[9].pdu + "\r\n\r\nOK\r\n");
    EXPECT_EQ(client.at("AT+CMGL=0"), "\r\nOK\r\n"); // the listing marked slot 1 read
    EXPECT_EQ(client.at("AT+CMGL=3").substr(0, 18), "\r\n+CMGL: 5,3,,37\r\n");
}

TEST(RealPhones, ListingWorksWithEveryProfile)
{
    for (const auto& [name, lines] : phonesim::profiles()) {
        if (name == "silent")
            continue;
        phonesim::PhoneState state;
        std::string error;
        ASSERT_TRUE(phonesim::loadStateText("include = real-phones.state\nprofile = " + name + "\n", state, error))
            << error;
        std::vector<int> indices;
        std::vector<std::string> pdus;
        for (const auto& [index, m] : state.stores["SM"].messages) {
            indices.push_back(index);
            pdus.push_back(m.pdu);
        }
        phonesim::Simulator sim(state);
        ASSERT_TRUE(sim.start(&error)) << error;
        Client client(sim.devicePath());
        const std::string answer = client.at("AT+CMGL=4");
        // The +CMGL lines in order, each PDU in order; unsolicited lines may fall between.
        std::vector<int> listed;
        std::vector<std::string> listedPdus;
        for (std::string line : phonesim::split(answer, '\n')) {
            while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '"'))
                line.pop_back();
            if (line.rfind("+CMGL: ", 0) == 0)
                listed.push_back(std::atoi(line.c_str() + 7));
            for (const std::string& pdu : pdus) {
                if (lowerHex(line) == lowerHex(pdu))
                    listedPdus.push_back(pdu);
            }
        }
        EXPECT_EQ(listed, indices) << name << ": " << answer;
        EXPECT_EQ(listedPdus, pdus) << name << ": " << answer;
    }
}

TEST(NamesInEveryScript, SentAsUcs2HexOrAsGsmSeptets)
{
    phonesim::PhoneState state;
    std::string error;
    ASSERT_TRUE(phonesim::loadStateFile(phonesim::sampleDir() + "/ucs2-names.state", state, error)) << error;
    phonesim::Simulator sim(state);
    ASSERT_TRUE(sim.start(&error)) << error;
    Client client(sim.devicePath());
    EXPECT_EQ(client.at("ATE0"), "ATE0\r\r\nOK\r\n");
    const std::string gsm = "\r\n+CPBR: 12,\"+302101234567\",145,\"?????\""
                            "\r\n+CPBR: 13,\"+74951234567\",145,\"???????\""
                            "\r\n+CPBR: 14,\"+48221234567\",145,\"?ukasz\""
                            "\r\n+CPBR: 15,\"+33123456789\",145,\"Fran?ois\""
                            "\r\n+CPBR: 16,\"+31201234567\",145,\"Zo?\"\r\n\r\nOK\r\n";
    EXPECT_EQ(client.at("AT+CPBR=12,16"), gsm);
    EXPECT_EQ(client.at("AT+CSCS=\"UCS2\""), "\r\nOK\r\n");
    EXPECT_EQ(client.at("AT+CPBR=12,16"), "\r\n+CPBR: 12,\"+302101234567\",145,\"039503BB03AD03BD03B7\""
                                          "\r\n+CPBR: 13,\"+74951234567\",145,\"0414043C04380442044004380439\""
                                          "\r\n+CPBR: 14,\"+48221234567\",145,\"01410075006B00610073007A\""
                                          "\r\n+CPBR: 15,\"+33123456789\",145,\"004600720061006E00E7006F00690073\""
                                          "\r\n+CPBR: 16,\"+31201234567\",145,\"005A006F00EB\"\r\n\r\nOK\r\n");
    EXPECT_EQ(client.at("AT+CSCS=\"GSM\""), "\r\nOK\r\n");
    EXPECT_EQ(client.at("AT+CPBR=12,16"), gsm);
}

TEST(Profiles, EveryProfileLoadsAndUnknownOnesAreRefused)
{
    for (const auto& [name, lines] : phonesim::profiles()) {
        phonesim::PhoneState state;
        std::string error;
        EXPECT_TRUE(phonesim::applyProfile(name, state, error)) << name << ": " << error;
        EXPECT_FALSE(lines.empty()) << name;
    }
    phonesim::PhoneState state;
    std::string error;
    EXPECT_FALSE(phonesim::applyStateLine("profile = chatty", state, error));
    EXPECT_EQ(error, "unknown profile: chatty");
}

TEST(StateFile, DumpLoadsBackToTheSameState)
{
    phonesim::PhoneState state;
    std::string error;
    ASSERT_TRUE(phonesim::loadStateFile(phonesim::sampleDir() + "/italian.state", state, error)) << error;
    ASSERT_TRUE(phonesim::applyStateLine("fault.unsolicited = on inside +CMTI: \"SM\",3", state, error)) << error;
    ASSERT_TRUE(phonesim::applyStateLine("fault.error = on AT+CMGR=3 AT+CPBR", state, error)) << error;
    ASSERT_TRUE(phonesim::applyStateLine("fault.unsolicited = on after +CMT: ,3\\n0011AA", state, error)) << error;
    ASSERT_TRUE(phonesim::applyStateLine("fault.urc = on 3 7", state, error)) << error;
    ASSERT_TRUE(phonesim::applyStateLine("fault.listing = on omit 2", state, error)) << error;
    ASSERT_TRUE(phonesim::applyStateLine("fault.listing = on cut 3 40", state, error)) << error;
    ASSERT_TRUE(phonesim::applyStateLine("fault.listing = on ok 5", state, error)) << error;
    ASSERT_TRUE(phonesim::applyStateLine("fault.garble = on +CPBR=1,50", state, error)) << error;
    ASSERT_TRUE(phonesim::applyStateLine("fault.restart = on +CPBR", state, error)) << error;
    ASSERT_TRUE(
        phonesim::applyStateLine("profile = lf-only blanks trailing-blank lowercase-hex pdu-quote", state, error))
        << error;
    ASSERT_TRUE(phonesim::applyStateLine("profile = no-status ucs2-numbers echo-crcr", state, error)) << error;
    ASSERT_TRUE(phonesim::applyStateLine("profile = whole-length cpbr-gap", state, error)) << error;
    for (const char* line : {"cnmi_ranges = (1,2),(0,1),0,(0,1),(0)", "report.delay_ms = 250", "report.status = 0 70 0",
                             "report.time = 240405101500-20", "report.store = SR", "sms.SR.capacity = 3",
                             "cpms = SR,ME,SM", "profile = double-plus", "sim.pin2 = entered", "pb.FD.empty = yes"}) {
        ASSERT_TRUE(phonesim::applyStateLine(line, state, error)) << line << ": " << error;
    }
    const std::string dump = phonesim::dumpState(state);
    phonesim::PhoneState again;
    ASSERT_TRUE(phonesim::loadStateText(dump, again, error)) << error;
    EXPECT_EQ(phonesim::dumpState(again), dump);
    EXPECT_EQ(again.stores["SM"].messages.size(), 9u);
    EXPECT_EQ(again.phonebooks["SM"].entries[3].name, "Rossi, Giulia");
    EXPECT_EQ(again.faults.unsolicited.at(0).line, "+CMTI: \"SM\",3");
    EXPECT_EQ(again.faults.unsolicited.at(1).line, "+CMT: ,3\n0011AA");
    EXPECT_EQ(again.faults.urcCount, 7);
    ASSERT_EQ(again.faults.listing.size(), 3u);
    EXPECT_EQ(again.faults.listing[1].digits, 40);
    EXPECT_TRUE(again.faults.garble && again.faults.restart);
    EXPECT_EQ(again.faults.garblePattern, "+CPBR=1,50");
    EXPECT_EQ(again.faults.restartPattern, "+CPBR");
    EXPECT_TRUE(again.dialect.lfOnly && again.dialect.blanks && again.dialect.trailingBlank && again.dialect.lowerHex
                && again.dialect.pduQuote && !again.dialect.cmgrStatus && again.dialect.echoCrCr
                && again.dialect.wholeLength && again.dialect.cpbrGap);
    EXPECT_EQ(again.dialect.ucs2, phonesim::Ucs2Support::Numbers);
    EXPECT_EQ(again.dialect.cnmiRanges, "(1,2),(0,1),0,(0,1),(0)");
    EXPECT_EQ(again.reports.status, (std::vector<int>{0, 70, 0}));
    EXPECT_EQ(again.reports.time, "240405101500-20");
    EXPECT_EQ(again.reports.store, "SR");
    EXPECT_EQ(again.reports.delayMs, 250);
    EXPECT_EQ(again.mem1, "SR");
    EXPECT_EQ(again.numberPlus, phonesim::PlusHabit::Doubled);
    EXPECT_TRUE(again.pin2Entered);
    EXPECT_TRUE(again.phonebooks["FD"].entries.empty());
    EXPECT_EQ(again.phonebooks["FD"].last, 10);
}

TEST(StateFile, RefusedValueLeavesTheStateAsItWas)
{
    const char* refused[] = {
        "smsc = \"+39\",x",          "echo = maybe",        "empty_slot = none",
        "next_reference = 256",      "cpms = SM,XX",        "sms.SM.capacity = 3",
        "sms.SM.1 = 0 001",          "pb.SM.range = 9-1",   "pb.SM.number_length = 0",
        "pb.SM.name_length = -1",    "pb.SM.1 = +39,145,x", "fault.slow = on x",
        "fault.urc = on 0",          "fault.late = on",     "fault.unsolicited = on x",
        "profile = chatty",          "cnmi_ranges = (0-2",  "cnmi_ranges = (2-1)",
        "cnmi_ranges = 0,1,2,3,4,5", "pdu_length = octets", "cpbr_gap = maybe",
        "number_plus = twice",       "sim.pin2 = 1234",     "pb.SM.empty = no",
    };
    const char* refusedReports[] = {
        "report.delay_ms = -1",     "report.status = 256",          "report.status =",   "report.time = 241305101500",
        "report.time = 2404051015", "report.time = 240405101500*8", "report.store = XX", "cpms = SM,SR",
    };
    std::vector<const char*> lines(std::begin(refused), std::end(refused));
    lines.insert(lines.end(), std::begin(refusedReports), std::end(refusedReports));
    for (const char* line : lines) {
        phonesim::PhoneState state = sample();
        const std::string before = phonesim::dumpState(state);
        std::string error;
        EXPECT_FALSE(phonesim::applyStateLine(line, state, error)) << line;
        EXPECT_EQ(phonesim::dumpState(state), before) << line;
    }
    // A refused slot does not leave an empty store behind (+CPMS=? would offer it).
    phonesim::PhoneState bare;
    std::string error;
    EXPECT_FALSE(phonesim::applyStateLine("sms.ME.1 = 0 0011", bare, error));
    EXPECT_FALSE(phonesim::applyStateLine("pb.FD.name_length = x", bare, error));
    EXPECT_TRUE(bare.stores.empty());
    EXPECT_TRUE(bare.phonebooks.empty());
}

TEST(StateFile, EverySampleLoads)
{
    const char* samples[] = {"italian",      "small",       "no-phone-store", "no-echo", "empty-ok",
                             "empty-cms321", "real-phones", "ucs2-names",     "no-cnmi"};
    for (const char* name : samples) {
        phonesim::PhoneState state;
        std::string error;
        EXPECT_TRUE(phonesim::loadStateFile(phonesim::sampleDir() + "/" + name + ".state", state, error)) << error;
    }
    phonesim::PhoneState small;
    std::string error;
    ASSERT_TRUE(phonesim::loadStateFile(phonesim::sampleDir() + "/small.state", small, error));
    EXPECT_EQ(small.stores["SM"].capacity, 5);
    EXPECT_EQ(small.stores["SM"].messages.size(), 3u);
    EXPECT_EQ(small.phonebooks["SM"].last, 6);
}

TEST(StateFile, ErrorsNameTheLine)
{
    const Exchange table[] = {
        {"unknown key", "colour = red\n", "line 1: unknown key: colour"},
        {"slot beyond capacity", "sms.SM.capacity = 5\nsms.SM.6 = 0 0011\n",
         "line 2: sms.SM.6: index outside 1-5 (set the capacity first)"},
        {"odd pdu", "sms.SM.capacity = 5\nsms.SM.1 = 0 001\n",
         "line 2: sms.SM.1: a PDU is an even number of hex digits"},
        {"bad status", "sms.SM.capacity = 5\nsms.SM.1 = 256 0011\n",
         "line 2: sms.SM.1: a message is <stat 0-255> <pdu hex>"},
        {"bad entry", "pb.SM.range = 1-5\npb.SM.1 = +39,145,x\n",
         "line 2: pb.SM.1: a phone-book entry is \"<number>\",<type>,\"<name>\""},
        {"bad profile", "empty_slot = maybe\n", "line 1: empty_slot is zero, ok or cms321"},
        {"no equals sign", "echo on\n", "line 1: expected key = value: echo on"},
    };
    for (const Exchange& e : table) {
        phonesim::PhoneState state;
        std::string error;
        EXPECT_FALSE(phonesim::loadStateText(e.command, state, error)) << e.name;
        EXPECT_EQ(error, e.answer) << e.name;
    }
}

} // namespace

// The network's "+CUSD:" after the OK of a USSD command: the whole code,
// its string over as many lines as it takes.
std::string ussdAfter(Client& client, const std::string& command, const std::string& answer = "\r\nOK\r\n")
{
    EXPECT_TRUE(client.write(command + "\r"));
    std::string got;
    client.readUntil(
        got,
        [&](const std::string& s) {
            const size_t at = s.find("+CUSD:");
            return at != std::string::npos && endsWith(s, "\r\n")
                   && std::count(s.begin() + long(at), s.end(), '"') % 2 == 0;
        },
        5000ms);
    EXPECT_EQ(got.substr(0, answer.size()), answer) << command;
    return got.size() > answer.size() ? got.substr(answer.size()) : std::string();
}

TEST_F(SimTest, UssdInEachDialectWithAMenuTwoLevelsDeep)
{
    startWith("ussd_delay_ms = 10\n");
    // Text in the character set, a menu's lines as lines of the code.
    EXPECT_EQ(ussdAfter(*m_client, "AT+CUSD=1,\"*123#\",15"),
              "\r\n+CUSD: 0,\"Credito residuo: 12,50 EUR. Scadenza 31/12/2026.\",15\r\n");
    EXPECT_EQ(ussdAfter(*m_client, "AT+CUSD=1,\"*124#\",15"),
              "\r\n+CUSD: 0,\"Promo \x1b<GIGA\x1b>: \x1b(50 Giga\x1b) a 9,99\x1b\x65 \x1b= solo oggi \x1b@ "
              "\x1b\x14\x11\x1b\x14\",15\r\n");
    EXPECT_EQ(ussdAfter(*m_client, "AT+CUSD=1,\"*144#\",15"),
              "\r\n+CUSD: 0,\"04110430043B0430043D0441003A0020003100300030002C00350030002020BD\",72\r\n");
    EXPECT_EQ(ussdAfter(*m_client, "AT+CUSD=1,\"*100#\",15"),
              "\r\n+CUSD: 1,\"Menu\r\n1 Credito\r\n2 Offerte\r\n0 Esci\",15\r\n");
    EXPECT_EQ(ussdAfter(*m_client, "AT+CUSD=1,\"2\",15"),
              "\r\n+CUSD: 1,\"Offerte\r\n1 Giga 50: 9,99 EUR\r\n2 Minuti 500: 5 EUR\r\n9 Indietro\",15\r\n");
    EXPECT_EQ(ussdAfter(*m_client, "AT+CUSD=1,\"9\",15"),
              "\r\n+CUSD: 1,\"Menu\r\n1 Credito\r\n2 Offerte\r\n0 Esci\",15\r\n");
    EXPECT_EQ(ussdAfter(*m_client, "AT+CUSD=1,\"0\",15"), "\r\n+CUSD: 2\r\n"); // the network ends it
    // A packed code is no code to a modem that passes text.
    EXPECT_EQ(ussdAfter(*m_client, "AT+CUSD=1,\"AA180C3602\",15"), "\r\n+CUSD: 4\r\n");
    EXPECT_EQ(m_client->at("AT+CUSD=2"), "\r\nOK\r\n");
    EXPECT_EQ(m_client->at("AT+CUSD?"), "\r\n+CUSD: 1\r\n\r\nOK\r\n");

    // Huawei: packed hex both ways; a code as text is refused.
    ASSERT_EQ(m_sim->control("set profile huawei-ussd"), "OK");
    ASSERT_EQ(m_client->at("AT+CMEE=1"), "\r\nOK\r\n");
    EXPECT_EQ(m_client->at("AT+CUSD=1,\"*100#\",15"), "\r\n+CME ERROR: 100\r\n");
    EXPECT_EQ(ussdAfter(*m_client, "AT+CUSD=1,\"AA180C3602\",15"),
              "\r\n+CUSD: 1,\"CDB2BBAE888186F232394D7F2B64A0A7D95C96D3CB0A18A8381FA71B\",15\r\n");

    // UCS2: codes as text, answers as UCS2 hex.
    ASSERT_EQ(m_sim->control("set profile ucs2-ussd"), "OK");
    EXPECT_EQ(ussdAfter(*m_client, "AT+CUSD=1,\"*123#\",15").substr(0, 26), "\r\n+CUSD: 0,\"00430072006500");

    // No USSD at all.
    ASSERT_EQ(m_sim->control("set ussd none"), "OK");
    EXPECT_EQ(m_client->at("AT+CUSD=1,\"*123#\",15"), "\r\nERROR\r\n");
}
