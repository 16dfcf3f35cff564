// SPDX-License-Identifier: GPL-3.0-or-later
// The list read ("Leggi elenco SMS da cellulare") and the refresh
// ("Aggiorna"), end to end against the phone simulator.
#include "store_phone.h"

#include <QTimer>

#include <functional>

using namespace storetest;
using store::Columns;
using store::EmptyBody;
using store::HeaderLine;
using store::Padded;

namespace {

const QString Centre = u("+393359609600") + blanks(7) + u(" ³ ");

// The rows of smallPhone() with every column and LungNumero 20.
std::vector<QString> smallPhoneRows()
{
    return {
        u("S: 1/3 ´ ") + Centre + u("Letto  ³ ") + Padded(u("+393471234567"), 20) + u(" ³ 18:42:07 ³ 15/03/24 ³ ")
            + u(CiaoStaseraText),
        u("S: 2/3 ´ ") + EmptyBody(allColumns(), 20),
        u("S: 3/3 ´ ") + Centre + u("Da Inv ³ ") + Padded(u("+393331112222"), 20) + u(" ³ ") + blanks(8) + u(" ³ ")
            + blanks(8) + u(" ³ ") + u(ArrivoTraDieciText),
        u("C: 1/2 ´ ") + Centre + u("Nuovo  ³ ") + Padded(u("+393391122334"), 20) + u(" ³ 20:30:00 ³ 24/12/23 ³ ")
            + u(AuguriNataleText),
        u("C: 2/2 ´ ") + Centre + u("Letto  ³ ") + Padded(u("3331234567"), 20) + u(" ³ 13:45:01 ³ 22/03/24 ³ ")
            + u(ChiaviTrovateText),
    };
}

// The commands of a list read: per store, its selection, its sizes and its
// listing; `slotBySlot` when the phone refuses the listing, each slot read
// after it. A store of no slot is not listed; -1: no phone store.
std::vector<std::string> listReadCommands(int simCapacity, int phoneCapacity, bool slotBySlot = false)
{
    std::vector<std::string> commands;
    const auto pass = [&](const char* select, int capacity) {
        for (const char* c : {select, "AT+CPBR=?", "AT+CPMS?"})
            commands.push_back(c);
        if (capacity > 0)
            commands.push_back("AT+CMGL=4");
        for (int i = 1; slotBySlot && i <= capacity; ++i)
            commands.push_back("AT+CMGR=" + std::to_string(i));
    };
    pass("AT+CPMS=SM", simCapacity);
    if (phoneCapacity >= 0)
        pass("AT+CPMS=ME", phoneCapacity);
    return commands;
}

// A phone that refuses the listing: its stores are read slot by slot.
const std::string NoListing = "fault.error = on +CMGL\n";

void expectListReadEnded(Form1& form)
{
    EXPECT_EQ(statusOf(form), u("Lettura elenco sms terminata.."));
    EXPECT_TRUE(form.Frame1->isEnabled());
    EXPECT_TRUE(form.ComandoLibero);
    EXPECT_EQ(form.Beeps, 0);
}

} // namespace

TEST(ListRead, BothStoresOfTheSamplePhone)
{
    auto phone = connectedPhone(e2e::sampleState());
    Form1& form = phone->form();
    form.Command4_Click();

    EXPECT_EQ(phone->commands(), listReadCommands(20, 150)); // 8 transactions
    ASSERT_EQ(form.List1->ListCount(), 170);
    for (int slot = 1; slot <= 20; ++slot)
        EXPECT_TRUE(form.List1->List(slot - 1).startsWith(store::RowHead(true, slot, 20))) << slot;
    for (int slot = 1; slot <= 150; ++slot)
        EXPECT_TRUE(form.List1->List(19 + slot).startsWith(store::RowHead(false, slot, 150))) << slot;

    // Slot 1 of the SIM holds a read message from +393471234567; slot 4 is
    // empty; slot 12 a stored message not yet sent.
    const int w = form.LungNumero;
    EXPECT_EQ(form.List1->List(0), u("S: 01/20 ´ ") + Padded(u("+393359609600"), w) + u(" ³ Letto  ³ ")
                                       + Padded(u("+393471234567"), w) + u(" ³ 18:42:07 ³ 15/03/24 ³ ")
                                       + u(CiaoStaseraText));
    EXPECT_EQ(form.List1->List(3), u("S: 04/20 ´ ") + EmptyBody(allColumns(), w));
    EXPECT_EQ(form.List1->List(11), u("S: 12/20 ´ ") + Padded(u("+393359609600"), w) + u(" ³ Da Inv ³ ")
                                        + Padded(u("+393331112222"), w) + u(" ³ ") + blanks(8) + u(" ³ ") + blanks(8)
                                        + u(" ³ ") + u(ArrivoTraDieciText));
    EXPECT_EQ(form.List1->List(169), u("C: 150/150 ´ ") + EmptyBody(allColumns(), w));

    // The header carries the widths of the phone store, the last one read.
    EXPECT_EQ(form.Label5->text(), HeaderLine(allColumns(), 150, w));
    EXPECT_FLOAT_EQ(form.ProgressBar1->Max(), 150.0f);
    EXPECT_FLOAT_EQ(form.ProgressBar1->Value(), 150.0f);
    expectListReadEnded(form);
}

TEST(ListRead, RowsOfEveryKindOfMessage)
{
    auto phone = connectedPhone(smallPhone());
    Form1& form = phone->form();
    form.Command4_Click();

    EXPECT_EQ(phone->commands(), listReadCommands(3, 2));
    EXPECT_EQ(form.LungNumero, 20);
    EXPECT_EQ(form.LungNome, 14);
    EXPECT_EQ(rowsOf(form.List1), smallPhoneRows());
    expectListReadEnded(form);
}

TEST(ListRead, RowsOfEveryKindOfMessageSlotBySlot)
{
    auto phone = connectedPhone(smallPhone(NoListing));
    Form1& form = phone->form();
    form.Command4_Click();

    EXPECT_EQ(phone->commands(), listReadCommands(3, 2, true));
    EXPECT_EQ(rowsOf(form.List1), smallPhoneRows());
    expectListReadEnded(form);
}

// An empty slot is answered in three ways by different phones; "+CMS
// ERROR: 321" (invalid index) and a bare "OK" are empty slots as
// "+CMGR: 0,,0" is. (A listing leaves empty slots out.)
TEST(ListRead, EmptySlotAnswers)
{
    struct Case {
        const char* profile;
        QString row;
    } const cases[] = {
        {"zero", u("S: 2/3 ´ ") + EmptyBody(allColumns(), 20)},
        {"ok", u("S: 2/3 ´ ") + EmptyBody(allColumns(), 20)},
        {"cms321", u("S: 2/3 ´ ") + EmptyBody(allColumns(), 20)},
    };
    for (const Case& c : cases) {
        auto phone = connectedPhone(smallPhone(NoListing + "empty_slot = " + c.profile));
        phone->form().Command4_Click();
        EXPECT_EQ(phone->commands(), listReadCommands(3, 2, true)) << c.profile;
        EXPECT_EQ(phone->form().List1->List(1), c.row) << c.profile;
        EXPECT_EQ(phone->form().List1->List(2), smallPhoneRows()[2]) << "the next slot is read: " << c.profile;
        expectListReadEnded(phone->form());
    }
}

TEST(ListRead, PhoneWithoutAPhoneStore)
{
    auto phone = connectedPhone(smallPhone("phone_store = no"));
    Form1& form = phone->form();
    form.List1->AddItem(u("an old row"));
    form.List1->AddItem(u("S: 2/3 ´ an old row"));
    form.List1->AddItem(u("S: 3/3 ´ an old row"));
    form.List1->AddItem(u("C: 1/2 ´ an old row"));
    form.Command4_Click();

    std::vector<std::string> expected = listReadCommands(3, -1);
    expected.push_back("AT+CPMS=ME");
    EXPECT_EQ(phone->commands(), expected);
    std::vector<QString> rows = smallPhoneRows();
    rows.resize(3);
    rows.push_back(u("C: 1/2 ´ an old row")); // beyond the last row written
    EXPECT_EQ(rowsOf(form.List1), rows);
    expectListReadEnded(form);
}

TEST(ListRead, NoColumnChosen)
{
    auto phone = connectedPhone(smallPhone());
    Form1& form = phone->form();
    for (QCheckBox* box : {form.Check3, form.Check4, form.Check5, form.Check6, form.Check7})
        box->setChecked(false);
    form.Command4_Click();

    const Columns none{false, false, false, false, false};
    EXPECT_EQ(form.List1->List(0), u("S: 1/3 ´ ") + Padded(u("+393471234567"), 20) + u(" ³ "));
    EXPECT_EQ(form.List1->List(1), u("S: 2/3 ´ ") + blanks(20) + u(" ³ "));
    EXPECT_EQ(form.List1->List(4), u("C: 2/2 ´ ") + Padded(u("3331234567"), 20) + u(" ³ "));
    EXPECT_EQ(form.Label5->text(), u("Mem:   ³ Mitten./Dest.:") + blanks(6) + u(" ³ "));
    EXPECT_EQ(form.Label5->text(), HeaderLine(none, 2, 20));
}

TEST(ListRead, CapacityOfNine)
{
    auto phone = connectedPhone(smallPhone("sms.SM.capacity = 9\nphone_store = no"));
    Form1& form = phone->form();
    form.Command4_Click();

    ASSERT_EQ(form.List1->ListCount(), 9);
    EXPECT_TRUE(form.List1->List(0).startsWith(u("S: 1/9 ´ +393359609600")));
    EXPECT_EQ(form.List1->List(8), u("S: 9/9 ´ ") + EmptyBody(allColumns(), 20));
    EXPECT_TRUE(form.Label5->text().startsWith(u("Mem:   ³ Centro servizi: ")));
}

TEST(ListRead, SenderNamesFromThePhoneBook)
{
    auto phone = connectedPhone(smallPhone());
    Form1& form = phone->form();
    // The list read searches the number alone: a longer number that starts
    // with the sender's is taken too, so "Mario" comes first here.
    form.List2->AddItem(phoneBookRow(1, 3, u("+3934712345678"), u("Mario")));
    form.List2->AddItem(phoneBookRow(2, 3, u("+393471234567"), u("Marco")));
    form.List2->AddItem(phoneBookRow(3, 3, u("3331234567"), u("Anna")));
    form.Command4_Click();

    // The name comes with the blanks of its field, padded to LungNumero.
    EXPECT_EQ(form.List1->List(0), u("S: 1/3 ´ ") + Centre + u("Letto  ³ ") + Padded(u("Mario"), 20)
                                       + u(" ³ 18:42:07 ³ 15/03/24 ³ ") + u(CiaoStaseraText));
    EXPECT_EQ(form.List1->List(4), u("C: 2/2 ´ ") + Centre + u("Letto  ³ ") + Padded(u("Anna"), 20)
                                       + u(" ³ 13:45:01 ³ 22/03/24 ³ ") + u(ChiaviTrovateText));
    // Not in the phone book: the number.
    EXPECT_EQ(form.List1->List(3), smallPhoneRows()[3]);
}

// The widths and capacities come from answers that may lack their shape.
TEST(ListRead, AnswersWithoutTheirShape)
{
    const char* const ended = "Lettura elenco sms terminata..";
    struct Case {
        const char* name;
        const char* state;
        int lungNumero; // as the rows use it
        std::vector<std::string> commands;
        int rows;
        const char* status;
    } const cases[] = {
        // +CPBR=? refused: the widths stay as they were (7 here).
        {"+CPBR=? answered ERROR", "fault.error = on +CPBR", 7, listReadCommands(3, 2), 5, ended},
        // Widths beyond any phone's are no widths: they stay as they were.
        {"absurd number width", "pb.SM.number_length = 999999999", 7, listReadCommands(3, 2), 5, ended},
        {"absurd name width", "pb.SM.name_length = 100000", 7, listReadCommands(3, 2), 5, ended},
        // +CPMS? refused: no capacity, no slot is read, the read fails.
        {"+CPMS? answered ERROR", "fault.error = on +CPMS?", 20, listReadCommands(0, -1), 0,
         "Lettura elenco sms fallita: dimensione memoria SIM non letta.."},
        // A store of no slots.
        {"capacity 0", "sms.SM.3 =\nsms.SM.1 =\nsms.SM.capacity = 0", 20, listReadCommands(0, 2), 2, ended},
    };
    for (const Case& c : cases) {
        auto phone = connectedPhone(smallPhone(c.state));
        Form1& form = phone->form();
        form.LungNumero = 7;
        form.LungNome = 5;
        form.Command4_Click();
        EXPECT_EQ(phone->commands(), c.commands) << c.name;
        EXPECT_EQ(form.List1->ListCount(), c.rows) << c.name;
        EXPECT_EQ(form.LungNumero, c.lungNumero) << c.name;
        if (c.rows == 5) {
            EXPECT_EQ(form.List1->List(1), u("S: 2/3 ´ ") + EmptyBody(allColumns(), c.lungNumero)) << c.name;
        }
        EXPECT_EQ(statusOf(form), u(c.status)) << c.name;
        EXPECT_TRUE(form.Frame1->isEnabled()) << c.name;
        EXPECT_TRUE(form.ComandoLibero) << c.name;
    }
}

// While the list is read, every other long operation, and a click on a row,
// only beeps.
TEST(ListRead, ClicksDuringTheReadOnlyBeep)
{
    auto phone = connectedPhone(smallPhone());
    Form1& form = phone->form();
    e2e::MessageBoxes boxes(QMessageBox::Yes);
    bool frameEnabled = true;
    QTimer::singleShot(0, &form, [&] {
        frameEnabled = form.Frame1->isEnabled();
        form.Command4->click();
        form.Command11->click();
        form.Command6->click();
        form.Command9->click();
        form.List1_Click();
    });
    form.Command4_Click();

    EXPECT_FALSE(frameEnabled);
    EXPECT_EQ(form.Beeps, 5);
    EXPECT_TRUE(boxes.seen.empty());
    EXPECT_EQ(phone->commands(), listReadCommands(3, 2));
    EXPECT_EQ(rowsOf(form.List1), smallPhoneRows());
    EXPECT_EQ(statusOf(form), u("Lettura elenco sms terminata.."));
    EXPECT_TRUE(form.ComandoLibero);
}

// With the port closed, each operation says so and sends nothing.
TEST(MessageStore, PortClosed)
{
    e2e::Phone phone(smallPhone());
    Form1& form = phone.form();
    form.List1->AddItem(u("S: 1/3 ´ ") + EmptyBody(allColumns(), 20));
    form.List1->setCurrentRow(0);
    e2e::MessageBoxes boxes(QMessageBox::Yes);
    struct Case {
        const char* name;
        void (Form1::*handler)();
        const char* status;
    } const cases[] = {
        {"Command4", &Form1::Command4_Click, "Porta non aperta.."},
        {"Command11", &Form1::Command11_Click, "Porta non aperta.."},
        {"Command6", &Form1::Command6_Click, "Porta non aperta.."},
        {"Command9", &Form1::Command9_Click, "Porta non aperta.."},
        {"List1", &Form1::List1_Click, "PORTA NON APERTA.."},
    };
    for (const Case& c : cases) {
        form.Stato(QString());
        (form.*c.handler)();
        EXPECT_EQ(form.StatusBar1->panelText(2), u(c.status)) << c.name;
        EXPECT_TRUE(form.ComandoLibero) << c.name;
    }
    EXPECT_EQ(form.Beeps, 0);
    EXPECT_TRUE(boxes.seen.empty());
    EXPECT_TRUE(phone.commands().empty());
    EXPECT_EQ(form.List1->List(0), u("S: 1/3 ´ ") + EmptyBody(allColumns(), 20));
}

// The store with an empty row is listed once; a phone that refuses the
// listing has the row read by its slot, its store selected again.
TEST(Refresh, ReadsANewMessageIntoAnEmptySlot)
{
    struct Case {
        const char* name;
        std::string state;
        std::vector<std::string> commands;
    } const cases[] = {
        {"listing", "", {"AT+CPMS=SM", "AT+CMGL=4"}},
        {"listing refused", NoListing, {"AT+CPMS=SM", "AT+CMGL=4", "AT+CPMS=SM", "AT+CMGR=2"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto phone = connectedPhone(smallPhone(c.state));
        Form1& form = phone->form();
        form.Command4_Click();
        phone->sim().control(std::string("deliver SM 2 0 ") + AuguriNatale);
        phone->clearTranscript();
        form.Command11_Click();

        EXPECT_EQ(phone->commands(), c.commands);
        std::vector<QString> rows = smallPhoneRows();
        rows[1] = u("S: 2/3 ´ ") + Centre + u("Nuovo  ³ ") + Padded(u("+393391122334"), 20)
                  + u(" ³ 20:30:00 ³ 24/12/23 ³ ") + u(AuguriNataleText);
        EXPECT_EQ(rowsOf(form.List1), rows);
        EXPECT_EQ(statusOf(form), u("Aggiornamento elenco sms terminata.."));
        EXPECT_FLOAT_EQ(form.ProgressBar1->Max(), 4.1f);
        EXPECT_FLOAT_EQ(form.ProgressBar1->Value(), 1.1f);
        EXPECT_TRUE(form.Frame1->isEnabled());
        EXPECT_TRUE(form.ComandoLibero);
        EXPECT_EQ(form.Beeps, 0);
    }
}

TEST(Refresh, RowsThatAreNotEmptySlots)
{
    struct Case {
        const char* name;
        std::vector<QString> rows;
        std::function<void(Form1&)> change;
        const char* status;
    } const cases[] = {
        {"an empty list", {}, [](Form1&) {}, "Elenco sms non caricato.."},
        {"answers are not refreshed",
         {u("S: 1/3 ´ OK"), u("S: 2/3 ´ ERROR"), u("C: 1/2 ´ error")},
         [](Form1&) {},
         "Aggiornamento elenco sms terminata.."},
        // The empty-slot body no longer matches rows written with the status column.
        {"a column unchecked after the read",
         {u("S: 2/3 ´ ") + EmptyBody(allColumns(), 20)},
         [](Form1& form) { form.Check7->setChecked(false); },
         "Aggiornamento elenco sms terminata.."},
        {"another LungNumero",
         {u("S: 2/3 ´ ") + EmptyBody(allColumns(), 20)},
         [](Form1& form) { form.LungNumero = 21; },
         "Aggiornamento elenco sms terminata.."},
    };
    for (const Case& c : cases) {
        auto phone = connectedPhone(smallPhone("sms.SM.2 = 0 " + std::string(AuguriNatale)));
        Form1& form = phone->form();
        form.LungNumero = 20;
        for (const QString& row : c.rows)
            form.List1->AddItem(row);
        c.change(form);
        form.Command11_Click();
        EXPECT_TRUE(phone->commands().empty()) << c.name;
        EXPECT_EQ(rowsOf(form.List1), c.rows) << c.name;
        EXPECT_EQ(form.StatusBar1->panelText(2), u(c.status)) << c.name;
        EXPECT_TRUE(form.ComandoLibero) << c.name;
        EXPECT_TRUE(form.Frame1->isEnabled()) << c.name;
    }
}

// A phone that no longer lets its own store be selected: its rows are left
// as they are, the SIM rows are refreshed, and the refresh says what failed.
TEST(Refresh, PhoneStoreThatCannotBeSelected)
{
    auto phone = connectedPhone(smallPhone("sms.ME.1 =\nsms.ME.2 ="));
    Form1& form = phone->form();
    form.Command4_Click();
    const std::vector<QString> before = rowsOf(form.List1);
    phone->sim().control("set phone_store no");
    phone->sim().control(std::string("deliver SM 2 1 ") + AuguriNatale);
    phone->clearTranscript();
    form.Command11_Click();

    const std::vector<std::string> expected{"AT+CPMS=SM", "AT+CMGL=4", "AT+CPMS=ME"};
    EXPECT_EQ(phone->commands(), expected);
    EXPECT_TRUE(form.List1->List(1).contains(u(AuguriNataleText)));
    EXPECT_EQ(form.List1->List(3), before[3]);
    EXPECT_EQ(form.List1->List(4), before[4]);
    EXPECT_EQ(statusOf(form), u("Memoria cellulare non selezionabile.."));
    EXPECT_EQ(form.Text3->text(), u("Memoria cellulare non selezionabile.."));
    EXPECT_TRUE(form.ComandoLibero);
}
