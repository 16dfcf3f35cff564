// SPDX-License-Identifier: GPL-3.0-or-later
// The message list read by one listing per store ("+CMGL=4"): the rows are
// those of the slot-by-slot read, byte for byte; a phone that refuses the
// listing, or lists what its store cannot hold, is read slot by slot; a
// listing in pieces, with unsolicited lines inside, or cut by a lost line.
// End to end against the phone simulator (and a scripted phone for listings
// it cannot give).
#include "store_phone.h"

#include "link/phonelink.h"
#include "support/peer_form.h"

#include <QEvent>
#include <QTest>

#include <functional>
#include <utility>

using namespace storetest;
using store::EmptyBody;

namespace {

const std::string NoListing = "fault.error = on +CMGL\n";

const std::vector<std::string> ListingCommands{"AT+CPMS=SM", "AT+CPBR=?", "AT+CPMS?", "AT+CMGL=4",
                                               "AT+CPMS=ME", "AT+CPBR=?", "AT+CPMS?", "AT+CMGL=4"};

// The scripted phone of the cases below: a SIM store of three slots,
// `used` of them in use, and no store of its own. The listing and the
// slots are each case's.
void threeSlotSim(scripted::Peer& peer, int used)
{
    const std::string n = std::to_string(used);
    peer.on("AT+CPMS=SM\r", "\r\n+CPMS: " + n + ",3," + n + ",3," + n + ",3\r\n\r\nOK\r\n");
    peer.on("AT+CPBR=?\r", "\r\n+CPBR: (1-250),20,14\r\n\r\nOK\r\n");
    peer.on("AT+CPMS?\r", "\r\n+CPMS: \"SM\"," + n + ",3,\"SM\"," + n + ",3,\"SM\"," + n + ",3\r\n\r\nOK\r\n");
    peer.on("AT+CPMS=ME\r", "\r\nERROR\r\n");
}

std::vector<std::string> slotBySlotCommands(int simCapacity, int phoneCapacity)
{
    std::vector<std::string> commands;
    for (const auto& [select, capacity] :
         {std::pair{"AT+CPMS=SM", simCapacity}, std::pair{"AT+CPMS=ME", phoneCapacity}}) {
        for (const char* c : {select, "AT+CPBR=?", "AT+CPMS?", "AT+CMGL=4"})
            commands.push_back(c);
        for (int i = 1; i <= capacity; ++i)
            commands.push_back("AT+CMGR=" + std::to_string(i));
    }
    return commands;
}

// Every slot of both stores used, with every status: unread, read, unsent,
// sent and two no standard names.
std::string fullPhone()
{
    const char* const pdus[] = {CiaoStasera, ArrivoTraDieci, AuguriNatale, ChiaviTrovate};
    const char* const stats[] = {"0", "1", "2", "3", "4", "24"};
    std::string state = "sms.SM.capacity = 20\nsms.ME.capacity = 150\n";
    int n = 0;
    for (const auto& [store, capacity] : {std::pair{"SM", 20}, std::pair{"ME", 150}}) {
        for (int slot = 1; slot <= capacity; ++slot, ++n)
            state += std::string("sms.") + store + "." + std::to_string(slot) + " = " + stats[n % 6] + " " + pdus[n % 4]
                     + "\n";
    }
    return state;
}

// Calls `atSend` with the number of the send (1, 2, ...) whenever the
// activity light turns blue: a command line is about to be written.
class SendWatch : public QObject {
public:
    SendWatch(Light* light, std::function<void(int)> atSend) : m_light(light), m_atSend(std::move(atSend))
    {
        light->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == m_light && event->type() == QEvent::PaletteChange
            && m_light->BackColor() == phonelink::kLightSend)
            m_atSend(++m_sends);
        return false;
    }

private:
    Light* m_light;
    std::function<void(int)> m_atSend;
    int m_sends = 0;
};

struct Read {
    std::vector<QString> rows;
    QString header;
    std::vector<std::string> commands;
};

// A list read on a phone of `state` after its phone books were read (the
// senders' names are looked up), with `faults` set before it and
// `listingFaults` just before each listing is sent.
Read listRead(const std::string& state, const std::vector<std::string>& faults = {},
              const std::vector<std::string>& listingFaults = {})
{
    auto phone = connectedPhone(state);
    Form1& form = phone->form();
    form.Command1_Click();
    phone->clearTranscript();
    for (const std::string& fault : faults)
        phone->sim().control(fault);
    SendWatch watch(form.Label16, [&](int send) {
        if (send % 4 == 0) { // the listing of each store
            for (const std::string& fault : listingFaults)
                phone->sim().control(fault);
        }
    });
    form.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&form));
    QTest::mouseClick(form.Command4, Qt::LeftButton);
    EXPECT_EQ(statusOf(form), u("Lettura elenco sms terminata.."));
    EXPECT_TRUE(form.ComandoLibero);
    EXPECT_TRUE(form.Frame1->isEnabled());
    EXPECT_FLOAT_EQ(form.ProgressBar1->Value(), form.ProgressBar1->Max());
    return {rowsOf(form.List1), form.Label5->text(), phone->commands()};
}

} // namespace

// The listing read writes what the slot-by-slot read writes, with eight
// commands instead of one per slot.
TEST(ListingRead, SameRowsAsSlotBySlot)
{
    struct Case {
        const char* name;
        std::string state;
        int sim;
        int phone;
    } const cases[] = {
        {"the sample phone", e2e::sampleState(), 20, 150},
        {"a full phone", fullPhone() + "pb.SM.range = 1-10\npb.SM.number_length = 20\npb.SM.name_length = 14\n", 20,
         150},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Read listed = listRead(c.state);
        const Read bySlot = listRead(c.state + "\n" + NoListing);
        EXPECT_EQ(listed.commands, ListingCommands);
        EXPECT_EQ(bySlot.commands, slotBySlotCommands(c.sim, c.phone));
        ASSERT_EQ(listed.rows.size(), size_t(c.sim + c.phone));
        EXPECT_EQ(listed.rows, bySlot.rows);
        EXPECT_EQ(listed.header, bySlot.header);
    }
}

// However the listing arrives, the rows are those of a listing read at once.
TEST(ListingRead, ListingInPiecesWithUnsolicitedLines)
{
    const Read plain = listRead(e2e::sampleState());
    const std::string message = "+CMT: ,24\\n0791933395066900040C9193431732547600004240500151008005C374F81D02";
    struct Case {
        const char* name;
        std::vector<std::string> faults;
        std::vector<std::string> listingFaults;
    } const cases[] = {
        {"pieces of 7 bytes", {"fault pieces on 7 1"}, {}},
        {"lines inside the listing, in pieces",
         {"fault pieces on 7 1"},
         {"fault unsolicited on before RING", "fault unsolicited on inside +CMTI: \"SM\",3"}},
        {"a message inside the listing, in pieces",
         {"fault pieces on 5 0"},
         {"fault unsolicited on inside " + message}},
        {"a chatty modem", {"set profile urc"}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Read seen = listRead(e2e::sampleState(), c.faults, c.listingFaults);
        EXPECT_EQ(seen.rows, plain.rows);
        EXPECT_EQ(seen.commands, ListingCommands);
    }
}

// Listings that are not the store +CPMS counts: the store is read slot by
// slot, and every row is the one the listing should have given. A message
// the listing gave unread shows unread, as listed, though the listing
// marked it read. One it gave after a stray OK, which the link takes for
// the end of the listing, the program never saw unread: it shows read, as
// the phone now says.
TEST(ListingRead, ListingsThatAreNotTheStore)
{
    const Read plain = listRead(e2e::sampleState());
    struct Case {
        const char* name;
        const char* fault;
        int simBySlot, phoneBySlot;   // the capacity of a store read slot by slot, 0 for one listed
        std::vector<size_t> seenRead; // rows of unread messages the program saw only read
    } const cases[] = {
        // +CPMS counts 9 messages in the SIM, the listing gives 8.
        {"a message left out", "fault listing on omit 5", 20, 0, {}},
        // The SIM listing looks whole with 6 messages; 10 (unread), 12 and 14 are lost.
        {"a stray OK inside the listing", "fault listing on ok 8", 20, 0, {9}},
        // The PDU lines of SIM 3 and phone 3 stop after 40 digits.
        {"a PDU line cut to 40 digits", "fault listing on cut 3 40", 20, 150, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Read seen = listRead(e2e::sampleState(), {c.fault});
        std::vector<QString> rows = plain.rows;
        for (size_t row : c.seenRead)
            rows.at(row) = store::MarkedRead(rows.at(row));
        EXPECT_EQ(seen.rows, rows);
        EXPECT_EQ(seen.commands, slotBySlotCommands(c.simBySlot, c.phoneBySlot));
    }
}

// A line lost in the middle of a listing stops the read: the store's rows
// keep what they showed, the link's message stays in panel 2.
TEST(ListingRead, LineDroppedInTheListing)
{
    struct Case {
        const char* name;
        void (Form1::*handler)();
    } const cases[] = {
        {"list read", &Form1::Command4_Click},
        {"refresh", &Form1::Command11_Click},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto phone = connectedPhone(smallPhone("sms.SM.1 ="));
        Form1& form = phone->form();
        form.Command4_Click();
        for (int i = 0; i < form.List1->ListCount(); ++i)
            form.List1->setList(i, form.List1->List(i) + u("old"));
        form.List1->setList(0, u("S: 1/3 ´ ") + EmptyBody(allColumns(), 20)); // to refresh
        const std::vector<QString> before = rowsOf(form.List1);
        phone->sim().control("fault drop on +CMGL");
        phone->clearTranscript();
        (form.*c.handler)();

        EXPECT_FALSE(form.PortOpen());
        EXPECT_EQ(phone->commands().back(), "AT+CMGL=4");
        EXPECT_EQ(rowsOf(form.List1), before);
        EXPECT_TRUE(form.StatusBar1->panelText(2).startsWith(u("ERRORE DI CONNESSIONE.. ")));
        EXPECT_FLOAT_EQ(form.ProgressBar1->Value(), 0.1f);
        EXPECT_TRUE(form.ComandoLibero);
        EXPECT_TRUE(form.Frame1->isEnabled());
    }
}

// A listing that never ends: rows keep coming past the listing's ceiling.
// The read says the answer was too long and keeps the rows it had; until the
// phone has finished that listing, the next read sends nothing the late
// rows could be taken for; once it has, the list reads as the plain phone's.
TEST(ListingRead, AListingThatNeverEndsIsTooLong)
{
    const Read plain = listRead(e2e::sampleState());
    auto phone = connectedPhone(e2e::sampleState());
    Form1& form = phone->form();
    form.Command1_Click();
    form.Tempi.longAnswerMs = 400;
    form.Tempi.deadlineMs = 300;
    // The phone's own listing comes a second late; rows of slot 1 flow
    // from when it is asked for until the flood is switched off.
    phone->sim().control("fault late on 1000 +CMGL");
    SendWatch watch(form.Label16, [&](int send) {
        if (send == 4)
            phone->sim().control("fault flood on 20000 +CMGL: 1,1,,23\\n" + std::string(CiaoStasera));
    });
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    QTest::mouseClick(form.Command4, Qt::LeftButton);
    EXPECT_EQ(form.StatusBar1->panelText(2), u("Lettura elenco sms fallita: risposta troppo lunga.."));
    EXPECT_TRUE(form.ComandoLibero);

    phone->clearTranscript();
    QTest::mouseClick(form.Command4, Qt::LeftButton);
    EXPECT_EQ(form.StatusBar1->panelText(2),
              u("Lettura elenco sms fallita: il cellulare risponde ancora a un comando precedente.."));
    for (const std::string& command : phone->commands())
        EXPECT_EQ(command, "AT+CSCS?");

    phone->sim().control("fault flood off");
    phone->sim().control("fault late off");
    form.Tempi.deadlineMs = 10000;
    QTest::mouseClick(form.Command4, Qt::LeftButton);
    EXPECT_EQ(statusOf(form), u("Lettura elenco sms terminata.."));
    // The SIM's listing that came late marked its unread messages read.
    std::vector<QString> expected = plain.rows;
    for (QString& row : expected) {
        if (row.startsWith(u("S:")))
            row.replace(u("³ Nuovo  ³"), u("³ Letto  ³"));
    }
    EXPECT_EQ(rowsOf(form.List1), expected);
}

// A message delivered into an empty slot of the sample: the refresh lists
// each store with empty rows once and rewrites the row as the slot-by-slot
// refresh does; nothing else changes.
TEST(ListingRefresh, MessageDeliveredIntoAnEmptySlot)
{
    std::vector<QString> results[2];
    for (int refused = 0; refused < 2; ++refused) {
        SCOPED_TRACE(refused ? "slot by slot" : "listing");
        auto phone = connectedPhone(e2e::sampleState(refused ? NoListing : std::string()));
        Form1& form = phone->form();
        form.Command4_Click();
        const std::vector<QString> before = rowsOf(form.List1);
        phone->sim().control(std::string("deliver SM 4 0 ") + AuguriNatale);
        phone->clearTranscript();
        form.Command11_Click();

        if (!refused) {
            EXPECT_EQ(phone->commands(),
                      (std::vector<std::string>{"AT+CPMS=SM", "AT+CMGL=4", "AT+CPMS=ME", "AT+CMGL=4"}));
        } else {
            // Each store listed once, then every empty row (11 + 145) read by its slot.
            EXPECT_EQ(phone->commands().size(), 2u + 2u * 11 + 2u + 2u * 145);
        }
        results[refused] = rowsOf(form.List1);
        ASSERT_EQ(results[refused].size(), before.size());
        for (size_t i = 0; i < before.size(); ++i) {
            if (i != 3) {
                EXPECT_EQ(results[refused][i], before[i]) << i;
            }
        }
        EXPECT_TRUE(results[refused][3].startsWith(u("S: 04/20 ´ +393359609600")));
        EXPECT_TRUE(results[refused][3].contains(u("Nuovo  ³ +393391122334")));
        EXPECT_TRUE(results[refused][3].endsWith(u(AuguriNataleText)));
        EXPECT_EQ(statusOf(form), u("Aggiornamento elenco sms terminata.."));
        EXPECT_TRUE(form.ComandoLibero);
    }
    EXPECT_EQ(results[0], results[1]);
}

// Listings a store's slots cannot stand for: the store is read slot by slot.
TEST(ListingRead, ListingsThatCannotStandForTheSlots)
{
    const std::string pdu = CiaoStasera;
    const std::string heading = "+CMGL: 1,1,,63\r\n" + pdu + "\r\n";
    struct Case {
        const char* name;
        std::string listing; // the whole answer to AT+CMGL=4
    } const cases[] = {
        {"refused", "\r\n+CMS ERROR: 302\r\n"},
        {"a slot beyond the capacity", "\r\n" + heading + "+CMGL: 4,1,,63\r\n" + pdu + "\r\n\r\nOK\r\n"},
        {"a heading without its PDU", "\r\n" + heading + "+CMGL: 2,1,,63\r\n\r\nOK\r\n"},
        {"a slot listed twice", "\r\n" + heading + heading + "\r\nOK\r\n"},
        {"a line of another kind", "\r\n" + heading + "+CMGR: 1,,63\r\n" + pdu + "\r\n\r\nOK\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PeerForm line;
        ASSERT_TRUE(line.open());
        scripted::Peer& peer = line.peer;
        Form1& form = line.form;
        threeSlotSim(peer, 1);
        peer.on("AT+CMGL=4\r", c.listing);
        peer.on("AT+CMGR=1\r", "\r\n+CMGR: 1,,63\r\n" + pdu + "\r\n\r\nOK\r\n");
        peer.on("AT+CMGR=2\r", "\r\n+CMGR: 0,,0\r\n\r\nOK\r\n");
        peer.on("AT+CMGR=3\r", "\r\n+CMGR: 0,,0\r\n\r\nOK\r\n");
        form.Command4_Click();

        EXPECT_EQ(peer.received(), "AT+CPMS=SM\rAT+CPBR=?\rAT+CPMS?\rAT+CMGL=4\rAT+CMGR=1\rAT+CMGR=2\rAT+CMGR=3\r"
                                   "AT+CPMS=ME\r");
        ASSERT_EQ(form.List1->ListCount(), 3);
        EXPECT_TRUE(form.List1->List(0).endsWith(u(CiaoStaseraText)));
        EXPECT_EQ(form.List1->List(1), u("S: 2/3 ´ ") + EmptyBody(allColumns(), 20));
        EXPECT_EQ(statusOf(form), u("Lettura elenco sms terminata.."));
    }
}

// A message read alone whose PDU is not the <length> it announces is no
// message and no empty slot: its row says so, the read ends saying how many
// slots it could not read, and a click on the row says why nothing is shown.
TEST(ListingRead, AMessageThatComesCutReadAlone)
{
    const std::string pdu = CiaoStasera; // 63 octets after the service centre
    const std::string sent = std::string("\r\n+CMGR: 2,,58\r\n") + ArrivoTraDieci + "\r\n\r\nOK\r\n";
    struct Case {
        const char* name;
        std::string slot1, slot3;
        const char* row1;
        const char* status;
    } const cases[] = {
        {"cut to 40 digits", "\r\n+CMGR: 1,,63\r\n" + pdu.substr(0, 40) + "\r\n\r\nOK\r\n", sent,
         "S: 1/3 ´ SMS NON LEGGIBILE", "Lettura elenco sms terminata.. 1 sms non leggibile"},
        {"an octet too many", "\r\n+CMGR: 1,,63\r\n" + pdu + "00\r\n\r\nOK\r\n", sent, "S: 1/3 ´ SMS NON LEGGIBILE",
         "Lettura elenco sms terminata.. 1 sms non leggibile"},
        {"no PDU line, and a slot refused", "\r\n+CMGR: 1,,63\r\n\r\nOK\r\n", "\r\nERROR\r\n",
         "S: 1/3 ´ SMS NON LEGGIBILE", "Lettura elenco sms terminata.. 2 sms non leggibili"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PeerForm line;
        ASSERT_TRUE(line.open());
        scripted::Peer& peer = line.peer;
        Form1& form = line.form;
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
        threeSlotSim(peer, 2);
        // The listing gives slot 1 cut as well: it cannot stand for the slots.
        peer.on("AT+CMGL=4\r", "\r\n+CMGL: 1,1,,63\r\n" + pdu.substr(0, 40) + "\r\n+CMGL: 3,2,,58\r\n" + ArrivoTraDieci
                                   + "\r\n\r\nOK\r\n");
        peer.on("AT+CMGR=1\r", c.slot1);
        peer.on("AT+CMGR=2\r", "\r\n+CMGR: 0,,0\r\n\r\nOK\r\n");
        peer.on("AT+CMGR=3\r", c.slot3);
        QTest::mouseClick(form.Command4, Qt::LeftButton);

        ASSERT_EQ(form.List1->ListCount(), 3);
        EXPECT_EQ(form.List1->List(0), u(c.row1));
        EXPECT_EQ(form.List1->List(1), u("S: 2/3 ´ ") + EmptyBody(allColumns(), 20));
        EXPECT_TRUE(form.List1->List(2).endsWith(c.slot3 == sent ? u(ArrivoTraDieciText) : u("´ ERROR")));
        EXPECT_EQ(statusOf(form), u(c.status));

        peer.on("AT+CPMS=SM\r", "\r\n+CPMS: 2,3,2,3,2,3\r\n\r\nOK\r\n");
        peer.on("AT+CMGR=1\r", c.slot1);
        const QRect row = form.List1->rowRect(0);
        QTest::mouseClick(form.List1->viewport(), Qt::LeftButton, {}, row.center());
        EXPECT_EQ(form.Text3->text(), u("Lettura sms fallita: sms non leggibile.."));
        EXPECT_EQ(form.StatusBar1->panelText(2), form.Text3->text());
        EXPECT_EQ(form.Text9->text(), QString());
        EXPECT_EQ(form.Label12->text(), QString());
        EXPECT_EQ(form.List1->List(0), u(c.row1));
        EXPECT_TRUE(form.ComandoLibero);
    }
}
