// SPDX-License-Identifier: GPL-3.0-or-later
// Deleting the selected message and every message, end to end against the
// phone simulator.
#include "store_phone.h"

using namespace storetest;
using store::EmptyBody;
using store::RowHead;

namespace {

std::vector<std::string> deleteAllCommands(int simCapacity, int phoneCapacity)
{
    std::vector<std::string> commands{"AT+CPMS=SM", "AT+CPMS?"};
    for (int i = 1; i <= simCapacity; ++i)
        commands.push_back("AT+CMGD=" + std::to_string(i));
    commands.push_back("AT+CPMS=ME");
    if (phoneCapacity < 0)
        return commands;
    commands.push_back("AT+CPMS?");
    for (int i = 1; i <= phoneCapacity; ++i)
        commands.push_back("AT+CMGD=" + std::to_string(i));
    return commands;
}

// The rows a deletion of every slot leaves, for the columns and width given.
std::vector<QString> emptyRows(int simCapacity, int phoneCapacity, int lungNumero)
{
    std::vector<QString> rows;
    for (int slot = 1; slot <= simCapacity; ++slot)
        rows.push_back(RowHead(true, slot, simCapacity) + EmptyBody(allColumns(), lungNumero));
    for (int slot = 1; slot <= phoneCapacity; ++slot)
        rows.push_back(RowHead(false, slot, phoneCapacity) + EmptyBody(allColumns(), lungNumero));
    return rows;
}

// Reads slot `slot` of `store` back from the phone, outside the window.
std::string slotOnThePhone(e2e::Phone& phone, const std::string& store, int slot)
{
    const std::string dump = phone.sim().control("dump");
    const std::string key = "sms." + store + "." + std::to_string(slot) + " = ";
    const size_t at = dump.find(key);
    return at == std::string::npos ? std::string() : dump.substr(at + key.size(), 2);
}

} // namespace

TEST(DeleteOne, SelectedRowBecomesAnEmptySlot)
{
    struct Case {
        const char* row;
        std::vector<std::string> commands;
        const char* store;
        int slot;
        const char* head;
    } const cases[] = {
        {"S: 1/3 ´ x ³ y", {"AT+CPMS=SM", "AT+CMGD=1"}, "SM", 1, "S: 1/3 ´ "},
        {"C: 002/150 ´ x ³ y", {"AT+CPMS=ME", "AT+CMGD=2"}, "ME", 2, "C: 002/150 ´ "},
    };
    for (const Case& c : cases) {
        auto phone = connectedPhone(smallPhone("sms.ME.capacity = 150"));
        Form1& form = phone->form();
        form.LungNumero = 20;
        form.List1->AddItem(u("S: 3/3 ´ other"));
        form.List1->AddItem(u(c.row));
        form.List1->setCurrentRow(1);
        ASSERT_FALSE(slotOnThePhone(*phone, c.store, c.slot).empty());
        form.Command6_Click();

        EXPECT_EQ(phone->commands(), c.commands) << c.row;
        EXPECT_TRUE(slotOnThePhone(*phone, c.store, c.slot).empty()) << c.row;
        EXPECT_EQ(form.List1->List(1), u(c.head) + EmptyBody(allColumns(), 20)) << c.row;
        EXPECT_EQ(form.List1->List(0), u("S: 3/3 ´ other"));
        EXPECT_EQ(form.Text3->text(), u("NONE"));
        EXPECT_TRUE(form.ComandoLibero);
        EXPECT_EQ(form.Beeps, 0);
    }
}

TEST(DeleteOne, NothingSelected)
{
    auto phone = connectedPhone(smallPhone());
    Form1& form = phone->form();
    e2e::MessageBoxes boxes;
    form.Command6_Click();

    ASSERT_EQ(boxes.seen.size(), 1u);
    EXPECT_EQ(boxes.seen[0].text, u("SMS non selezionato"));
    EXPECT_EQ(boxes.seen[0].icon, QMessageBox::NoIcon);
    EXPECT_TRUE(phone->commands().empty());
    EXPECT_TRUE(form.ComandoLibero);
}

// A deletion the phone refuses leaves the row as it was and says so.
TEST(DeleteOne, RefusedDeletion)
{
    struct Case {
        const char* name;
        const char* fault;
        const char* row;
        std::vector<std::string> commands;
        const char* status;
        const char* text3;
    } const cases[] = {
        {"+CMGD refused",
         "fault error on +CMGD",
         "S: 1/3 ´ x",
         {"AT+CPMS=SM", "AT+CMGD=1"},
         "Cancellazione fallita..",
         "testo"},
        // A phone store that cannot be selected: nothing is deleted, and the
        // user is told why.
        {"no phone store",
         "set phone_store no",
         "C: 1/2 ´ x",
         {"AT+CPMS=ME"},
         "Memoria cellulare non selezionabile..",
         "Memoria cellulare non selezionabile.."},
    };
    for (const Case& c : cases) {
        auto phone = connectedPhone(smallPhone());
        Form1& form = phone->form();
        phone->sim().control(c.fault);
        form.List1->AddItem(u(c.row));
        form.List1->setCurrentRow(0);
        form.Text3->setText(u("testo"));
        form.Stato(u("before"));
        form.Command6_Click();

        EXPECT_EQ(phone->commands(), c.commands) << c.name;
        EXPECT_EQ(form.List1->List(0), u(c.row)) << c.name;
        EXPECT_EQ(form.Text3->text(), u(c.text3)) << c.name;
        EXPECT_EQ(form.StatusBar1->panelText(2), u(c.status)) << c.name;
        EXPECT_TRUE(form.ComandoLibero) << c.name;
    }
}

TEST(DeleteAll, ConfirmedOnTheSamplePhone)
{
    auto phone = connectedPhone(e2e::sampleState());
    Form1& form = phone->form();
    form.LungNumero = 20;
    form.Text3->setText(u("testo"));
    e2e::MessageBoxes boxes(QMessageBox::Yes);
    form.Command9_Click();

    ASSERT_EQ(boxes.seen.size(), 1u);
    EXPECT_EQ(boxes.seen[0].text, u("Cancellare tutti gli SMS della SIM e del cellulare?"));
    EXPECT_EQ(boxes.seen[0].title, u("ATTENZIONE!!"));
    EXPECT_EQ(phone->commands(), deleteAllCommands(20, 150));
    EXPECT_EQ(rowsOf(form.List1), emptyRows(20, 150, 20)); // an empty list gets one row per slot
    EXPECT_EQ(phone->sim().control("dump").find("sms.SM.1 ="), std::string::npos);
    EXPECT_EQ(form.Text3->text(), QString());
    EXPECT_EQ(statusOf(form), u("Cancellazione sms terminata.."));
    EXPECT_FLOAT_EQ(form.ProgressBar1->Max(), 149.1f);
    EXPECT_FLOAT_EQ(form.ProgressBar1->Value(), 149.1f);
    EXPECT_TRUE(form.ComandoLibero);
}

TEST(DeleteAll, RefusedByTheUser)
{
    auto phone = connectedPhone(smallPhone());
    Form1& form = phone->form();
    form.Command4_Click();
    const std::vector<QString> before = rowsOf(form.List1);
    form.Stato(u("before"));
    phone->clearTranscript();
    e2e::MessageBoxes boxes(QMessageBox::No);
    form.Command9_Click();

    EXPECT_EQ(boxes.seen.size(), 1u);
    EXPECT_TRUE(phone->commands().empty());
    EXPECT_EQ(rowsOf(form.List1), before);
    EXPECT_EQ(form.StatusBar1->panelText(2), u("before"));
    EXPECT_TRUE(form.ComandoLibero);
    EXPECT_EQ(form.Beeps, 0);
}

// Slots the phone would not delete keep their rows (or, in an empty list,
// show the phone's answer so that the rows after them keep their positions).
TEST(DeleteAll, SlotsThePhoneRefuses)
{
    for (const bool listRead : {true, false}) {
        auto phone = connectedPhone(smallPhone("fault.error = on +CMGD=2"));
        Form1& form = phone->form();
        form.LungNumero = 20;
        if (listRead)
            form.Command4_Click();
        const std::vector<QString> before = rowsOf(form.List1);
        phone->clearTranscript();
        e2e::MessageBoxes boxes(QMessageBox::Yes);
        form.Command9_Click();

        EXPECT_EQ(phone->commands(), deleteAllCommands(3, 2));
        std::vector<QString> rows = emptyRows(3, 2, 20);
        rows[1] = listRead ? before[1] : u("S: 2/3 ´ ERROR");
        rows[4] = listRead ? before[4] : u("C: 2/2 ´ ERROR");
        EXPECT_EQ(rowsOf(form.List1), rows) << listRead;
        EXPECT_EQ(statusOf(form), u("Cancellazione sms terminata.. 2 non cancellati"));
        EXPECT_TRUE(form.ComandoLibero);
    }
}

// A store that cannot be selected or has no slots is passed over; the
// deletion ends normally.
TEST(DeleteAll, StoresWithoutSlots)
{
    struct Case {
        const char* name;
        const char* state;
        std::vector<std::string> commands;
        std::vector<QString> rows;
    } const cases[] = {
        {"no phone store", "phone_store = no", deleteAllCommands(3, -1), emptyRows(3, 0, 20)},
        {"SIM capacity 0", "sms.SM.3 =\nsms.SM.1 =\nsms.SM.capacity = 0", deleteAllCommands(0, 2), emptyRows(0, 2, 20)},
    };
    for (const Case& c : cases) {
        auto phone = connectedPhone(smallPhone(c.state));
        Form1& form = phone->form();
        form.LungNumero = 20;
        e2e::MessageBoxes boxes(QMessageBox::Yes);
        form.Command9_Click();

        EXPECT_EQ(phone->commands(), c.commands) << c.name;
        EXPECT_EQ(rowsOf(form.List1), c.rows) << c.name;
        EXPECT_EQ(statusOf(form), u("Cancellazione sms terminata..")) << c.name;
        EXPECT_TRUE(form.ComandoLibero) << c.name;
    }
}

// The refresh reads the slots a deletion emptied again: one listing per
// store, or each slot when the phone refuses the listing.
TEST(DeleteAll, RefreshReadsTheDeletedSlotsAgain)
{
    struct Case {
        const char* name;
        std::string state;
        std::vector<std::string> commands;
    } const cases[] = {
        {"listing", "", {"AT+CPMS=SM", "AT+CMGL=4", "AT+CPMS=ME", "AT+CMGL=4"}},
        {"listing refused",
         "fault.error = on +CMGL",
         {"AT+CPMS=SM", "AT+CMGL=4", "AT+CPMS=SM", "AT+CMGR=1", "AT+CPMS=SM", "AT+CMGR=2", "AT+CPMS=SM", "AT+CMGR=3",
          "AT+CPMS=ME", "AT+CMGL=4", "AT+CPMS=ME", "AT+CMGR=1", "AT+CPMS=ME", "AT+CMGR=2"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto phone = connectedPhone(smallPhone(c.state));
        Form1& form = phone->form();
        form.Command4_Click();
        e2e::MessageBoxes boxes(QMessageBox::Yes);
        form.Command9_Click();
        phone->sim().control(std::string("deliver ME 2 1 ") + ChiaviTrovate);
        phone->clearTranscript();
        form.Command11_Click();

        EXPECT_EQ(phone->commands(), c.commands);
        EXPECT_TRUE(form.List1->List(4).endsWith(u(ChiaviTrovateText)));
        EXPECT_EQ(form.List1->List(3), u("C: 1/2 ´ ") + EmptyBody(allColumns(), 20));
    }
}
