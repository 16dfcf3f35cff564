// SPDX-License-Identifier: GPL-3.0-or-later
// The message store when the phone fails it: a store it will not select, a
// line that drops, a phone that falls silent, answers beyond any phone's
// sizes, empty slots answered "+CMS ERROR: 321". End to end against the
// phone simulator (and a scripted phone for answers it cannot give).
#include "store_phone.h"

#include "support/peer_form.h"

#include <QTimer>

#include <algorithm>
#include <functional>

using namespace storetest;
using store::EmptyBody;
using store::RowHead;

namespace {

const QString SimRefused = u("Memoria SIM non selezionabile..");

// Slot `slot` of `store` on the phone, outside the window: its status digit,
// or "" for an empty slot.
std::string slotOnThePhone(e2e::Phone& phone, const std::string& store, int slot)
{
    const std::string dump = phone.sim().control("dump");
    const std::string key = "sms." + store + "." + std::to_string(slot) + " = ";
    const size_t at = dump.find(key);
    return at == std::string::npos ? std::string() : dump.substr(at + key.size(), 1);
}

bool sent(const e2e::Phone& phone, const std::string& command)
{
    const std::vector<std::string> commands = phone.commands();
    return std::find(commands.begin(), commands.end(), command) != commands.end();
}

// smallPhone() read into List1; the phone store is then the selected one.
std::unique_ptr<e2e::Phone> readPhone(const std::string& extra = std::string(), e2e::Time time = e2e::Time::Real)
{
    auto phone = connectedPhone(smallPhone(extra), time);
    phone->form().Command4_Click();
    EXPECT_EQ(phone->form().List1->ListCount(), 5);
    phone->clearTranscript();
    return phone;
}

} // namespace

// With the phone store selected by the list read, a phone that refuses
// "+CPMS=SM": no operation reads or deletes a SIM slot in the phone store.
TEST(RefusedSimStore, DeleteOneSendsNoDeletion)
{
    auto phone = readPhone();
    Form1& form = phone->form();
    phone->sim().control("fault error on +CPMS=SM");
    const std::vector<QString> before = rowsOf(form.List1);
    form.List1->setCurrentRow(0);
    form.Command6_Click();

    EXPECT_EQ(phone->commands(), std::vector<std::string>{"AT+CPMS=SM"});
    EXPECT_EQ(rowsOf(form.List1), before);
    EXPECT_EQ(slotOnThePhone(*phone, "SM", 1), "1");
    EXPECT_FALSE(slotOnThePhone(*phone, "ME", 1).empty());
    EXPECT_EQ(form.Text3->text(), SimRefused);
    EXPECT_EQ(form.StatusBar1->panelText(2), SimRefused);
    EXPECT_TRUE(form.ComandoLibero);
}

TEST(RefusedSimStore, DeleteAllCountsTheSimSlotsNotDeleted)
{
    auto phone = readPhone();
    Form1& form = phone->form();
    phone->sim().control("fault error on +CPMS=SM");
    const std::vector<QString> before = rowsOf(form.List1);
    e2e::MessageBoxes boxes(QMessageBox::Yes);
    form.Command9_Click();

    const std::vector<std::string> expected{"AT+CPMS=SM", "AT+CPMS=ME", "AT+CPMS?", "AT+CMGD=1", "AT+CMGD=2"};
    EXPECT_EQ(phone->commands(), expected);
    std::vector<QString> rows = before; // the SIM rows stay, the phone rows are emptied
    rows[3] = RowHead(false, 1, 2) + EmptyBody(allColumns(), 20);
    rows[4] = RowHead(false, 2, 2) + EmptyBody(allColumns(), 20);
    EXPECT_EQ(rowsOf(form.List1), rows);
    EXPECT_EQ(slotOnThePhone(*phone, "SM", 1), "1");
    EXPECT_EQ(slotOnThePhone(*phone, "SM", 3), "2");
    EXPECT_EQ(statusOf(form), u("Cancellazione sms terminata.. 3 non cancellati"));
    EXPECT_EQ(form.Text3->text(), SimRefused);
    EXPECT_TRUE(form.ComandoLibero);
}

TEST(RefusedSimStore, DetailViewAndRefreshDoNotRead)
{
    auto phone = readPhone();
    Form1& form = phone->form();
    phone->sim().control("fault error on +CPMS=SM");
    phone->sim().control(std::string("deliver SM 2 0 ") + AuguriNatale);
    const std::vector<QString> before = rowsOf(form.List1);
    form.Text6->setText(u("before"));

    form.List1->setListIndex(0);
    EXPECT_EQ(phone->commands(), std::vector<std::string>{"AT+CPMS=SM"});
    EXPECT_EQ(form.Text6->text(), u("before"));
    EXPECT_EQ(form.Text3->text(), SimRefused);
    EXPECT_EQ(form.StatusBar1->panelText(2), SimRefused);

    phone->clearTranscript();
    form.Text3->clear();
    form.Command11_Click();
    // The empty SIM slot is not read in the phone store (which has a
    // message at index 2).
    EXPECT_EQ(phone->commands(), std::vector<std::string>{"AT+CPMS=SM"});
    EXPECT_EQ(rowsOf(form.List1), before);
    EXPECT_EQ(form.Text3->text(), SimRefused);
    EXPECT_EQ(statusOf(form), SimRefused);
    EXPECT_TRUE(form.ComandoLibero);
    EXPECT_TRUE(form.Frame1->isEnabled());
}

// The SIM pass of a list read is never read from whatever store the phone
// has selected.
TEST(RefusedSimStore, ListReadSaysSo)
{
    auto phone = readPhone();
    Form1& form = phone->form();
    phone->sim().control("fault error on +CPMS=SM");
    const std::vector<QString> before = rowsOf(form.List1);
    form.Command4_Click();

    EXPECT_EQ(phone->commands(), std::vector<std::string>{"AT+CPMS=SM"});
    EXPECT_EQ(rowsOf(form.List1), before);
    EXPECT_EQ(statusOf(form), u("Lettura elenco sms fallita: memoria SIM non selezionabile.."));
    EXPECT_TRUE(form.ComandoLibero);
    EXPECT_TRUE(form.Frame1->isEnabled());
}

// The line drops in the middle of an answer (the simulator hangs up, or the
// user disconnects): the operation stops there. The row of the failed
// transaction and the rows after it keep what they showed, panel 2 keeps
// what the link said about the connection, the bar empties.
TEST(LineLost, LongOperationsStopAtOnce)
{
    struct Case {
        const char* name;
        const char* fault;    // "": the user disconnects instead
        std::string lastSent; // the transaction that loses the line
        void (Form1::*handler)();
        int rowsWritten; // rows rewritten before the line is lost
    } const cases[] = {
        {"list read, line dropped", "fault drop on +CMGR=2", "AT+CMGR=2", &Form1::Command4_Click, 1},
        {"list read, user disconnects", "fault late on 3000 +CMGR=3", "AT+CMGR=3", &Form1::Command4_Click, 2},
        {"refresh, line dropped", "fault drop on +CMGR=3", "AT+CMGR=3", &Form1::Command11_Click, 2},
        {"delete-all, line dropped", "fault drop on +CMGD=2", "AT+CMGD=2", &Form1::Command9_Click, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // Every slot of the SIM empty, so that the refresh reads them all.
        auto phone = connectedPhone(smallPhone("sms.SM.1 =\nsms.SM.3 ="));
        Form1& form = phone->form();
        form.LungNumero = 20;
        form.Command4_Click();
        for (int i = 0; i < form.List1->ListCount(); ++i) // what each row showed
            form.List1->setList(i, form.List1->List(i) + u("old"));
        const bool refresh = c.handler == &Form1::Command11_Click;
        if (refresh) {
            for (int slot = 1; slot <= 3; ++slot)
                phone->sim().control("deliver SM " + std::to_string(slot) + " 1 " + CiaoStasera);
        }
        const std::vector<QString> before = rowsOf(form.List1);
        phone->sim().control(c.fault);
        phone->sim().control("fault error on +CMGL"); // slot by slot
        phone->clearTranscript();

        const bool userCloses = std::string(c.fault).find("late") != std::string::npos;
        QTimer closer;
        if (userCloses) {
            QObject::connect(&closer, &QTimer::timeout, [&] {
                if (form.PortOpen() && sent(*phone, c.lastSent))
                    form.Command2->click();
            });
            closer.start(5);
        }
        e2e::MessageBoxes boxes(QMessageBox::Yes);
        form.Stato(u("before"));
        (form.*c.handler)();

        EXPECT_FALSE(form.PortOpen());
        EXPECT_EQ(phone->commands().back(), c.lastSent);
        const std::vector<QString> rows = rowsOf(form.List1);
        ASSERT_EQ(rows.size(), before.size());
        for (size_t i = 0; i < rows.size(); ++i) {
            if (int(i) < c.rowsWritten)
                EXPECT_FALSE(rows[i].endsWith(u("old"))) << i;
            else
                EXPECT_EQ(rows[i], before[i]) << i;
        }
        const QString status = form.StatusBar1->panelText(2);
        if (userCloses)
            EXPECT_EQ(status, Form1::Banner);
        else
            EXPECT_TRUE(status.startsWith(u("ERRORE DI CONNESSIONE.. "))) << status.toStdString();
        EXPECT_FLOAT_EQ(form.ProgressBar1->Value(), 0.1f);
        EXPECT_TRUE(form.ComandoLibero);
        EXPECT_TRUE(form.Frame1->isEnabled());
    }
}

// A phone that stops answering: the operation ends with a failure of its
// own, not "terminata"; the slot it gave no answer for shows "error" in the
// list read and the refresh, and the rows after it keep what they showed.
TEST(SilentPhone, OperationsSayThePhoneDoesNotAnswer)
{
    struct Case {
        const char* name;
        const char* fault;
        void (Form1::*handler)();
        std::string lastSent;
        const char* status;
        QString row1; // "": as before
    } const cases[] = {
        {"list read, silent from the start",
         "fault silent on",
         &Form1::Command4_Click,
         "AT+CPMS=SM",
         "Lettura elenco sms fallita: il cellulare non risponde..",
         {}},
        {"list read, silent at slot 2", "fault late on 60000 +CMGR=2", &Form1::Command4_Click, "AT+CMGR=2",
         "Lettura elenco sms fallita: il cellulare non risponde..", u("S: 2/3 ´ error")},
        {"refresh, silent at slot 2", "fault late on 60000 +CMGR=2", &Form1::Command11_Click, "AT+CMGR=2",
         "Aggiornamento elenco sms fallito: il cellulare non risponde..", u("S: 2/3 ´ error")},
        {"delete-all, silent at slot 2",
         "fault late on 60000 +CMGD=2",
         &Form1::Command9_Click,
         "AT+CMGD=2",
         "Cancellazione sms fallita: il cellulare non risponde..",
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto phone = readPhone(std::string(), e2e::Time::Test); // no deadline waited out
        Form1& form = phone->form();
        form.Tempi.deadlineMs = 300;
        const std::vector<QString> read = rowsOf(form.List1);
        for (int i = 0; i < form.List1->ListCount(); ++i)
            form.List1->setList(i, form.List1->List(i).replace(u("´ +39"), u("´ old+39")));
        const std::vector<QString> before = rowsOf(form.List1);
        phone->sim().control(c.fault);
        phone->sim().control("fault error on +CMGL"); // slot by slot
        e2e::MessageBoxes boxes(QMessageBox::Yes);
        (form.*c.handler)();

        EXPECT_EQ(phone->commands().back(), c.lastSent);
        EXPECT_EQ(form.StatusBar1->panelText(2), u(c.status));
        std::vector<QString> rows = before;
        if (!c.row1.isEmpty())
            rows[1] = c.row1;
        if (!c.row1.isEmpty() && c.handler == &Form1::Command4_Click)
            rows[0] = read[0]; // slot 1 was read before the phone fell silent
        if (c.handler == &Form1::Command9_Click)
            rows[0] = RowHead(true, 1, 3) + EmptyBody(allColumns(), 20);
        EXPECT_EQ(rowsOf(form.List1), rows);
        EXPECT_FLOAT_EQ(form.ProgressBar1->Value(), 0.1f);
        EXPECT_TRUE(form.ComandoLibero);
    }
}

// A re-read whose "+CPMS?" is refused keeps the list, which may show
// messages since deleted, and says the read failed.
TEST(StoreSize, RefusedOnAReRead)
{
    auto phone = readPhone();
    Form1& form = phone->form();
    const std::vector<QString> before = rowsOf(form.List1);
    const QString header = form.Label5->text();
    phone->sim().control("delete SM 1");
    phone->sim().control("fault error on +CPMS?");
    form.Command4_Click();

    const std::vector<std::string> expected{"AT+CPMS=SM", "AT+CPBR=?", "AT+CPMS?"};
    EXPECT_EQ(phone->commands(), expected);
    EXPECT_EQ(rowsOf(form.List1), before);
    EXPECT_EQ(form.Label5->text(), header);
    EXPECT_EQ(statusOf(form), u("Lettura elenco sms fallita: dimensione memoria SIM non letta.."));
    EXPECT_TRUE(form.ComandoLibero);
}

// Sizes no phone has: widths and a capacity in the hundreds of millions.
// The read reads no slot and says the size could not be read; the widths
// stay as they were.
TEST(StoreSize, AbsurdCapacityAndWidths)
{
    PeerForm line;
    ASSERT_TRUE(line.open());
    scripted::Peer& peer = line.peer;
    Form1& form = line.form;
    const std::string huge = "0,999999999";
    peer.on("AT+CPMS=SM\r", "\r\n+CPMS: " + huge + "," + huge + "," + huge + "\r\n\r\nOK\r\n");
    peer.on("AT+CPBR=?\r", "\r\n+CPBR: (1-250),999999999,18\r\n\r\nOK\r\n");
    peer.on("AT+CPMS?\r", "\r\n+CPMS: \"SM\"," + huge + ",\"SM\"," + huge + ",\"SM\"," + huge + "\r\n\r\nOK\r\n");
    form.LungNumero = 7;
    form.LungNome = 5;
    form.List1->AddItem(u("S: 1/3 ´ old"));
    form.Command4_Click();

    EXPECT_EQ(form.StatusBar1->panelText(2), u("Lettura elenco sms fallita: dimensione memoria SIM non letta.."));
    EXPECT_EQ(form.LungNumero, 7);
    EXPECT_EQ(form.LungNome, 5);
    EXPECT_EQ(rowsOf(form.List1), std::vector<QString>{u("S: 1/3 ´ old")});
    EXPECT_EQ(peer.received().find("AT+CMGR"), std::string::npos);
    EXPECT_TRUE(form.ComandoLibero);
}

// "+CMS ERROR: 321" (invalid index) to a read is an empty slot wherever a
// slot is read: the list, the refresh and the detail view show it as they
// show "+CMGR: 0,,0".
TEST(EmptySlot, InvalidIndexIsEmptyEverywhere)
{
    auto zero = readPhone();
    auto cms321 = readPhone("empty_slot = cms321\nfault.error = on +CMGL");
    const std::vector<QString> rows = rowsOf(zero->form().List1);
    EXPECT_EQ(rowsOf(cms321->form().List1), rows);

    Form1& form = cms321->form();
    form.Command11_Click();
    EXPECT_EQ(cms321->commands(), (std::vector<std::string>{"AT+CPMS=SM", "AT+CMGL=4", "AT+CPMS=SM", "AT+CMGR=2"}));
    EXPECT_EQ(rowsOf(form.List1), rows);
    EXPECT_EQ(statusOf(form), u("Aggiornamento elenco sms terminata.."));

    form.List1->setListIndex(0);
    ASSERT_EQ(form.Text3->text(), u(CiaoStaseraText));
    form.List1->setListIndex(1);
    EXPECT_EQ(form.Text6->text(), u("SIM in posizione 2"));
    EXPECT_EQ(form.Text3->text(), QString());
    for (TextBox* field : {form.Text7, form.Text8, form.Text9, form.Text10, form.Text11})
        EXPECT_EQ(field->text(), QString()) << field->objectName().toStdString();

    // Another error stays an error.
    cms321->sim().control("fault error on +CMGR=2");
    form.List1->setListIndex(0);
    form.List1->setListIndex(1);
    EXPECT_EQ(form.Text3->text(), u("Lettura sms fallita.."));
}
