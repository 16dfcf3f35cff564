// SPDX-License-Identifier: GPL-3.0-or-later
// "Leggi rubrica da Cellulare" against the simulated phone on a
// pseudo-terminal, and a pick from the rows read followed by a send.
#include "support/e2e.h"

#include "at/glyphs.h"
#include "phone/phonebook/book_rows.h"
#include "phonebook/list_rows.h"
#include "phonebook/qstring_printer.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using at::kBar;
using at::kBottom;
using at::kDash;
using at::kTop;

const std::string kThreeBooks = R"(
pb.SM.range = 1-250
pb.SM.number_length = 40
pb.SM.name_length = 18
pb.SM.3 = "+390123456789",145,"Ufficio"
pb.SM.7 = "0612345",129,"Rossi, Mario"
pb.SM.9 = "333",129,""
pb.SM.250 = "",129,"Senza numero"
pb.ME.range = 0-99
pb.ME.number_length = 20
pb.ME.name_length = 14
pb.ME.1 = "+390612345678",145,"Casa"
pb.ME.2 = "+393331234567",145,"Nicolò @ Bar €"
pb.FD.range = 1-10
pb.FD.number_length = 20
pb.FD.name_length = 14
pb.FD.3 = "+390123456789",145,"Ufficio"
)";

QString spaces(int count) { return QString(count, QLatin1Char(' ')); }
QString frame(int digits, int width, QChar joint)
{
    return QString(2 * digits + 2, kDash) + joint + QString(width + 2, kDash) + joint + QString(2 * width, kDash);
}
QString row(const char* index, const QString& number, int width, const QString& name, int nameWidth)
{
    return QString::fromLatin1(index) + QStringLiteral(" ´ ") + number + spaces(width - int(number.size()))
           + QStringLiteral(" ³ ") + name + spaces(nameWidth - int(name.size()));
}

// The texts panel 2 shows after the watch starts, each change once.
class PanelWatch {
public:
    explicit PanelWatch(Form1& form) : m_texts{form.StatusBar1->panelText(2)}
    {
        m_timer.setInterval(0);
        QObject::connect(&m_timer, &QTimer::timeout, [this, &form] { note(form.StatusBar1->panelText(2)); });
        m_timer.start();
    }
    QStringList texts(Form1& form)
    {
        note(form.StatusBar1->panelText(2));
        return m_texts.mid(1);
    }

private:
    void note(const QString& text)
    {
        if (m_texts.isEmpty() || m_texts.last() != text)
            m_texts.append(text);
    }
    QTimer m_timer;
    QStringList m_texts;
};

// A store read in ranges of 50 entries from index 1.
std::vector<std::string> readCommands(const char* store, int last)
{
    std::vector<std::string> commands = {std::string("AT+CPBS=") + store, "AT+CPBR=?"};
    for (int first = 1; first <= last; first += 50)
        commands.push_back("AT+CPBR=" + std::to_string(first) + "," + std::to_string(std::min(first + 49, last)));
    return commands;
}

// The books are read in UCS2, and the phone is put back to GSM after them.
const std::string kToUcs2 = "AT+CSCS=\"UCS2\"";
const std::string kToGsm = "AT+CSCS=\"GSM\"";
std::vector<std::string> inUcs2(std::vector<std::string> commands)
{
    commands.insert(commands.begin(), kToUcs2);
    commands.push_back(kToGsm);
    return commands;
}

TEST(PhonebookRead, TheThreeStoresInFramedBlocks)
{
    e2e::Phone phone(kThreeBooks);
    ASSERT_TRUE(phone.connect());
    Form1& form = phone.form();
    form.List2->AddItem(QStringLiteral("a row of before"));
    phone.clearTranscript();
    PanelWatch watch(form);
    form.Command1_Click();

    const QStringList rows = rowsOf(*form.List2);
    ASSERT_EQ(rows.size(), 252 + 101 + 12);
    // SIM: (1-250),40,18.
    EXPECT_EQ(rows.at(0), frame(3, 40, kTop));
    EXPECT_EQ(rows.at(0).size(), 132);
    EXPECT_EQ(rows.at(1), row("001/250", QString(), 40, QString(), 18));
    EXPECT_EQ(rows.at(3), row("003/250", QStringLiteral("+390123456789"), 40, QStringLiteral("Ufficio"), 18));
    EXPECT_EQ(rows.at(3).size(), 71);
    EXPECT_EQ(rows.at(7), row("007/250", QStringLiteral("0612345"), 40, QStringLiteral("Rossi, Mario"), 18));
    EXPECT_EQ(rows.at(9), row("009/250", QStringLiteral("333"), 40, QString(), 18));
    EXPECT_EQ(rows.at(250), row("250/250", QString(), 40, QStringLiteral("Senza numero"), 18));
    EXPECT_EQ(rows.at(251), frame(3, 40, kBottom));
    // Phone memory: (0-99),20,14 is read from 1.
    EXPECT_EQ(rows.at(252), frame(2, 20, kTop));
    EXPECT_EQ(rows.at(253), row("01/99", QStringLiteral("+390612345678"), 20, QStringLiteral("Casa"), 14));
    // Names come in UCS2, whatever their letters.
    EXPECT_EQ(rows.at(254), row("02/99", QStringLiteral("+393331234567"), 20, QString::fromUtf8("Nicolò @ Bar €"), 14));
    EXPECT_EQ(rows.at(351), row("99/99", QString(), 20, QString(), 14));
    EXPECT_EQ(rows.at(352), frame(2, 20, kBottom));
    // Fixed dialling: (1-10),20,14, the 45-character row of Ufficio.
    EXPECT_EQ(rows.at(353), frame(2, 20, kTop));
    EXPECT_EQ(rows.at(353).size(), 70);
    EXPECT_EQ(rows.at(356), row("03/10", QStringLiteral("+390123456789"), 20, QStringLiteral("Ufficio"), 14));
    EXPECT_EQ(rows.at(356).size(), 45);
    EXPECT_EQ(rows.at(364), frame(2, 20, kBottom));

    // The widths of the store read last; the bar at its last index.
    EXPECT_EQ(form.LungNumero, 20);
    EXPECT_EQ(form.LungNome, 14);
    EXPECT_FLOAT_EQ(form.ProgressBar1->Max(), 10.0f);
    EXPECT_FLOAT_EQ(form.ProgressBar1->Value(), 10.0f);

    // Ranges of 50 from index 1, never index 0; the last one ends at the last index.
    std::vector<std::string> expected = readCommands("SM", 250);
    for (const auto& more : {readCommands("ME", 99), readCommands("FD", 10)})
        expected.insert(expected.end(), more.begin(), more.end());
    EXPECT_EQ(phone.commands(), inUcs2(expected));
    EXPECT_EQ(watch.texts(form), (QStringList{QStringLiteral("Lettura rubrica sim in corso.."),
                                              QStringLiteral("Lettura rubrica cellulare in corso.."),
                                              QStringLiteral("Lettura rubrica speciale in corso.."),
                                              QStringLiteral("Lettura rubriche terminata..")}));
    EXPECT_TRUE(form.ComandoLibero);
    EXPECT_EQ(form.Beeps, 0);
}

TEST(PhonebookRead, AStoreThePhoneRefusesGetsNoRows)
{
    e2e::Phone phone(R"(
pb.SM.range = 1-2
pb.SM.number_length = 10
pb.SM.name_length = 6
pb.SM.1 = "112",129,"SOS"
pb.FD.range = 1-1
pb.FD.number_length = 10
pb.FD.name_length = 6
)");
    ASSERT_TRUE(phone.connect());
    Form1& form = phone.form();
    phone.clearTranscript();
    PanelWatch watch(form);
    form.Command1_Click();
    EXPECT_EQ(rowsOf(*form.List2),
              (QStringList{frame(1, 10, kTop), row("1/2", QStringLiteral("112"), 10, QStringLiteral("SOS"), 6),
                           row("2/2", QString(), 10, QString(), 6), frame(1, 10, kBottom), frame(1, 10, kTop),
                           row("1/1", QString(), 10, QString(), 6), frame(1, 10, kBottom)}));
    // No phone memory: one command for it, and its message all the same.
    EXPECT_EQ(phone.commands(), inUcs2({"AT+CPBS=SM", "AT+CPBR=?", "AT+CPBR=1,2", "AT+CPBS=ME", "AT+CPBS=FD",
                                        "AT+CPBR=?", "AT+CPBR=1,1"}));
    EXPECT_TRUE(watch.texts(form).contains(QStringLiteral("Lettura rubrica cellulare in corso..")));
}

// What the phone answers without the expected shape is skipped and the read
// goes on: a store without a usable size, a slot without an entry line. A
// slot the phone would not give gets no row and is counted.
TEST(PhonebookRead, AnswersOfAnotherShapeAreSkipped)
{
    const std::string fiveSlots = R"(
pb.SM.range = 1-5
pb.SM.number_length = 4
pb.SM.name_length = 3
pb.SM.2 = "22",129,"Due"
pb.SM.3 = "33",129,"Tre"
pb.SM.4 = "44",129,"Qua"
)";
    const QString top = frame(1, 4, kTop);
    const QString bottom = frame(1, 4, kBottom);
    auto entry = [](const char* index, const char* number, const char* name) {
        return row(index, QString::fromLatin1(number), 4, QString::fromLatin1(name), 3);
    };
    struct Case {
        std::string state;
        std::string fault;
        QStringList rows;
        const char* status;
        const char* what;
    };
    const Case cases[] = {
        {fiveSlots + "empty_entry = cme22\n",
         "",
         {top, entry("1/5", "", ""), entry("2/5", "22", "Due"), entry("3/5", "33", "Tre"), entry("4/5", "44", "Qua"),
          entry("5/5", "", ""), bottom},
         "Lettura rubriche terminata..",
         "empty slots answer +CME ERROR: 22: empty, as a bare OK"},
        {fiveSlots,
         "fault error on +CPBR=1",
         {top, entry("2/5", "22", "Due"), entry("3/5", "33", "Tre"), entry("4/5", "44", "Qua"), entry("5/5", "", ""),
          bottom},
         "Lettura rubriche incompleta: 1 voce non letta..",
         "a slot that answers ERROR"},
        {fiveSlots,
         "fault error on +CPBR=1, +CPBR=3",
         {top, entry("1/5", "", ""), entry("2/5", "22", "Due"), entry("4/5", "44", "Qua"), entry("5/5", "", ""),
          bottom},
         "Lettura rubriche incompleta: 1 voce non letta..",
         "the range and one slot answer ERROR"},
        {"pb.SM.range = 0-0\npb.FD.range = 1-1\npb.FD.number_length = 4\npb.FD.name_length = 3\n",
         "",
         {top, entry("1/1", "", ""), bottom},
         "Lettura rubriche terminata..",
         "a store whose last index is 0"},
    };
    for (const Case& c : cases) {
        e2e::Phone phone(c.state);
        ASSERT_TRUE(phone.connect()) << c.what;
        if (!c.fault.empty())
            phone.sim().control(c.fault);
        Form1& form = phone.form();
        form.LungNumero = 7;
        form.LungNome = 8;
        form.Command1_Click();
        EXPECT_EQ(rowsOf(*form.List2), c.rows) << c.what;
        EXPECT_EQ(form.StatusBar1->panelText(2), QString::fromUtf8(c.status)) << c.what;
        EXPECT_TRUE(form.ComandoLibero) << c.what;
    }
}

// Not one book could be read: a failure, said with the phone's reason when
// it gave one; List2 and the widths stay as they were.
TEST(PhonebookRead, EveryBookRefusedIsAFailure)
{
    const std::string fiveSlots = "pb.SM.range = 1-5\npb.SM.number_length = 4\npb.SM.name_length = 3\n";
    struct Case {
        std::string state;
        const char* fault;
        const char* status; // the start of panel 2
        const char* what;
    };
    const Case cases[] = {
        {fiveSlots, "fault error on +CPBS", "Lettura rubriche fallita: il cellulare le rifiuta tutte..",
         "every book answers ERROR"},
        {fiveSlots, "fault error on +CPBR=?", "Lettura rubriche fallita: ", "the size answer is ERROR"},
        {"pb.SM.range = 1-5\npb.SM.number_length = 999999999\npb.SM.name_length = 18\n", "",
         "Lettura rubriche fallita: ", "absurd widths"},
        {fiveSlots, "fault cme on 11 +CPBS", "Lettura rubriche fallita: la SIM chiede il PIN..",
         "a SIM that asks for its PIN"},
    };
    for (const Case& c : cases) {
        e2e::Phone phone(c.state);
        ASSERT_TRUE(phone.connect()) << c.what;
        if (*c.fault) {
            ASSERT_EQ(phone.sim().control(c.fault), "OK") << c.what;
        }
        Form1& form = phone.form();
        form.List2->AddItem(QStringLiteral("a row of before"));
        form.LungNumero = 7;
        form.LungNome = 8;
        form.Command1_Click();
        EXPECT_EQ(rowsOf(*form.List2), QStringList{QStringLiteral("a row of before")}) << c.what;
        EXPECT_TRUE(form.StatusBar1->panelText(2).startsWith(QString::fromUtf8(c.status)))
            << c.what << ": " << form.StatusBar1->panelText(2).toStdString();
        EXPECT_EQ(form.LungNumero, 7) << c.what;
        EXPECT_EQ(form.LungNome, 8) << c.what;
        EXPECT_FLOAT_EQ(form.ProgressBar1->Value(), 0.1f) << c.what;
        EXPECT_TRUE(form.ComandoLibero) << c.what;
    }
}

TEST(PhonebookRead, WithThePortClosedTheReadIsRefused)
{
    e2e::Phone phone(kThreeBooks);
    Form1& form = phone.form();
    form.List2->AddItem(QStringLiteral("a row of before"));
    form.Command1_Click();
    EXPECT_EQ(rowsOf(*form.List2), QStringList{QStringLiteral("a row of before")});
    EXPECT_EQ(form.StatusBar1->panelText(2), QStringLiteral("Porta non aperta.."));
    EXPECT_TRUE(phone.commands().empty());
    EXPECT_TRUE(form.ComandoLibero);
    EXPECT_EQ(form.Beeps, 0);
}

TEST(PhonebookRead, ASilentPhoneEndsTheReadWithAFailure)
{
    struct Case {
        const char* fault;
        bool entryByEntry;
        const char* what;
    };
    const Case cases[] = {
        {"fault silent on", false, "silent from the start"},
        {"fault late on 5000 +CPBR=1,", false, "a range answered too late"},
        {"fault late on 5000 +CPBR=4", true, "an entry read alone answered too late"},
        {"fault late on 5000 +CPBR=?", false, "the size answered too late"},
    };
    for (const Case& c : cases) {
        e2e::Phone phone(kThreeBooks, e2e::Time::Test);
        ASSERT_TRUE(phone.connect()) << c.what;
        Form1& form = phone.form();
        form.Tempi.deadlineMs = 300;
        form.Tempi.silenceMs = 300; // a range waits for silence, not for a deadline
        form.List2->AddItem(QStringLiteral("a row of before"));
        phone.sim().control(c.fault);
        // The first range refused: its entries are read one by one.
        phone.sim().control(c.entryByEntry ? "fault error on +CPBR=1," : "fault error off");
        phone.clearTranscript();
        form.Command1_Click();
        EXPECT_EQ(rowsOf(*form.List2), QStringList{QStringLiteral("a row of before")}) << c.what;
        EXPECT_EQ(form.StatusBar1->panelText(2),
                  QStringLiteral("Lettura rubriche fallita: il cellulare non risponde.."))
            << c.what;
        EXPECT_FLOAT_EQ(form.ProgressBar1->Value(), 0.1f) << c.what;
        EXPECT_TRUE(form.ComandoLibero) << c.what;
        // The read stopped at the silence.
        const std::vector<std::string> commands = phone.commands();
        EXPECT_EQ(std::count(commands.begin(), commands.end(), "AT+CPBR=5"), 0) << c.what;
        EXPECT_EQ(std::count(commands.begin(), commands.end(), "AT+CPBR=101,150"), 0) << c.what;
    }
}

// ---- names in every script ----

const std::string kWorldNames = R"(
pb.SM.range = 1-4
pb.SM.number_length = 14
pb.SM.name_length = 10
pb.SM.1 = "+302101234567",145,"Ελένη"
pb.SM.2 = "+74951234567",145,"Дмитрий"
pb.SM.3 = "+48221234567",145,"Łukasz"
pb.SM.4 = "0612345",129,"Åsa € Zoë"
)";

TEST(PhonebookNames, ReadInUcs2WhateverTheScript)
{
    // Phones send UCS2 names; some send the numbers in UCS2 too.
    for (const char* dialect : {"", "ucs2 = numbers\n"}) {
        e2e::Phone phone(kWorldNames + dialect);
        ASSERT_TRUE(phone.connect()) << dialect;
        Form1& form = phone.form();
        phone.clearTranscript();
        form.Command1_Click();
        EXPECT_EQ(rowsOf(*form.List2),
                  (QStringList{frame(1, 14, kTop),
                               row("1/4", QStringLiteral("+302101234567"), 14, QStringLiteral("Ελένη"), 10),
                               row("2/4", QStringLiteral("+74951234567"), 14, QStringLiteral("Дмитрий"), 10),
                               row("3/4", QStringLiteral("+48221234567"), 14, QStringLiteral("Łukasz"), 10),
                               row("4/4", QStringLiteral("0612345"), 14, QStringLiteral("Åsa € Zoë"), 10),
                               frame(1, 14, kBottom)}))
            << dialect;
        std::vector<std::string> expected = readCommands("SM", 4);
        expected.insert(expected.end(), {"AT+CPBS=ME", "AT+CPBS=FD"}); // no such books
        EXPECT_EQ(phone.commands(), inUcs2(expected)) << dialect;
        EXPECT_EQ(form.StatusBar1->panelText(2), QStringLiteral("Lettura rubriche terminata..")) << dialect;
        EXPECT_EQ(form.InviaAT(QStringLiteral("+CSCS?")), QStringLiteral("+CSCS: \"GSM\"")) << dialect;
    }
}

TEST(PhonebookNames, APhoneWithoutUcs2IsReadInGsm)
{
    struct Case {
        const char* state;
        const char* fault;
        const char* what;
    };
    const Case cases[] = {
        {"ucs2 = no\n", "", "UCS2 not among its sets"},
        {"", "fault error on +CSCS", "every +CSCS refused"},
    };
    for (const Case& c : cases) {
        e2e::Phone phone(kWorldNames + c.state);
        ASSERT_TRUE(phone.connect()) << c.what;
        Form1& form = phone.form();
        if (*c.fault)
            phone.sim().control(c.fault);
        phone.clearTranscript();
        form.Command1_Click();
        const QStringList rows = rowsOf(*form.List2);
        ASSERT_EQ(rows.size(), 6) << c.what;
        // The GSM set has Å and €, not ë or Ł.
        EXPECT_EQ(rows.at(4), row("4/4", QStringLiteral("0612345"), 14, QStringLiteral("Åsa € Zo?"), 10)) << c.what;
        EXPECT_EQ(rows.at(3), row("3/4", QStringLiteral("+48221234567"), 14, QStringLiteral("?ukasz"), 10)) << c.what;
        // Only the refused UCS2: nothing to put back.
        std::vector<std::string> expected = readCommands("SM", 4);
        expected.insert(expected.begin(), kToUcs2);
        expected.insert(expected.end(), {"AT+CPBS=ME", "AT+CPBS=FD"});
        EXPECT_EQ(phone.commands(), expected) << c.what;
        EXPECT_EQ(form.StatusBar1->panelText(2), QStringLiteral("Lettura rubriche terminata..")) << c.what;
    }
}

// A name the phone sends with a line break in it (UCS2 "000D") keeps its
// row in one piece: through the read, the save and the load the phone book
// has as many rows as before, and the name a blank where the break was.
TEST(PhonebookNames, ALineBreakInANameKeepsItsRowThroughSaveAndLoad)
{
    e2e::Phone phone(kWorldNames);
    ASSERT_EQ(phone.sim().control("set pb.SM.2 \"+74951234567\",145,\"Mario\rRossi\nEND:VCARD\""), "OK");
    ASSERT_TRUE(phone.connect());
    Form1& form = phone.form();
    phone.clearTranscript();
    form.Command1_Click();
    const QStringList read = rowsOf(*form.List2);
    ASSERT_EQ(read.size(), 6);
    // 21 characters in a column of 10: 11 blanks after them.
    EXPECT_EQ(read.at(2),
              row("2/4", QStringLiteral("+74951234567"), 14, QStringLiteral("Mario Rossi END:VCARD") + spaces(11), 10));
    EXPECT_EQ(form.StatusBar1->panelText(2), QStringLiteral("Lettura rubriche terminata.."));

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString file = dir.filePath(QStringLiteral("rubrica.rds"));
    form.CommonDialog1->chooser = [&](bool) { return file; };
    form.Command7_Click();
    EXPECT_EQ(form.StatusBar1->panelText(2), QStringLiteral("SALVATAGGIO ULTIMATO"));
    form.List2->Clear();
    form.Command8_Click();
    EXPECT_EQ(form.StatusBar1->panelText(2), QStringLiteral("CARICAMENTO ULTIMATO"));
    EXPECT_EQ(rowsOf(*form.List2), read);
}

// ---- a pick from the rows read, then a send ----

TEST(PhonebookPick, AnEmptySlotIsNoRecipientAnEntryIsItsNumber)
{
    e2e::Phone phone(kThreeBooks);
    ASSERT_TRUE(phone.connect());
    Form1& form = phone.form();
    form.Command1_Click();
    form.Text4->setText(QStringLiteral("+3912345678"));
    form.Text1->setText(QStringLiteral("abc"));
    phone.clearTranscript();

    form.List2->setListIndex(2); // 002/250, empty
    EXPECT_EQ(form.Text2->text(), spaces(41) + kBar + spaces(19));
    {
        e2e::MessageBoxes boxes;
        form.Command5_Click();
        ASSERT_EQ(boxes.seen.size(), 1u);
        EXPECT_EQ(boxes.seen[0].text, QStringLiteral("Manca destiantario!!"));
        EXPECT_EQ(boxes.seen[0].title, QStringLiteral("ERRORE!!"));
        EXPECT_EQ(boxes.seen[0].icon, QMessageBox::Critical);
    }
    EXPECT_TRUE(phone.commands().empty());

    // The search picks Casa from the phone memory; the send goes to its number.
    form.Text5->setText(QStringLiteral("casa"));
    EXPECT_EQ(form.List2->ListIndex(), 253);
    form.Command5_Click();
    EXPECT_EQ(form.StatusBar1->panelText(2), QStringLiteral("SMS inviato.."));
    ASSERT_EQ(phone.sim().sentPdus().size(), 1u);
    // Recipient: 12 digits, international, 39 06 12 34 56 78 swapped.
    EXPECT_EQ(phone.sim().sentPdus()[0], "0691932143658711F30C91936021436587"
                                         "0000FF0361F118");
}

} // namespace
