// SPDX-License-Identifier: GPL-3.0-or-later
// "Leggi rubrica da Cellulare" reads each book in ranges of 50 entries. The
// rows must be those of the entry-by-entry read, whatever the phone: so each
// read here is checked against the same phone read one entry at a time
// (every range refused), and against a scripted phone for the answers the
// simulator cannot give.
#include "support/e2e.h"
#include "support/peer_form.h"

#include "phonebook/list_rows.h"
#include "phonebook/qstring_printer.h"

#include <gtest/gtest.h>

#include <map>

#include <QTimer>

#include <algorithm>
#include <string>
#include <vector>

namespace {

// The values the progress bar shows after the watch starts, each change once.
class ProgressWatch {
public:
    explicit ProgressWatch(Form1& form)
    {
        m_timer.setInterval(0);
        QObject::connect(&m_timer, &QTimer::timeout, [this, &form] {
            const float value = form.ProgressBar1->Value();
            if (m_values.empty() || m_values.back() != value)
                m_values.push_back(value);
        });
        m_timer.start();
    }
    const std::vector<float>& values() const { return m_values; }

private:
    QTimer m_timer;
    std::vector<float> m_values;
};

// What a phone-book read leaves in the window.
struct Read {
    QStringList rows;
    int numberWidth = 0;
    int nameWidth = 0;
    float barMax = 0;
    float barValue = 0;
    QString status;
    std::vector<std::string> commands;
};

// Every range a book of up to 1000 entries is read in, refused, so that the
// read goes entry by entry: "+CPBR=51," is AT+CPBR=51,100 and not AT+CPBR=51.
const std::string kRefuseRanges = [] {
    std::string fault = "fault error on";
    for (int first = 1; first <= 1000; first += 50)
        fault += " +CPBR=" + std::to_string(first) + ",";
    return fault;
}();

Read readBooks(const std::string& state, const std::string& fault = std::string())
{
    e2e::Phone phone(state);
    EXPECT_TRUE(phone.connect());
    if (!fault.empty())
        phone.sim().control(fault);
    Form1& form = phone.form();
    phone.clearTranscript();
    form.Command1_Click();
    Read read;
    read.rows = rowsOf(*form.List2);
    read.numberWidth = form.LungNumero;
    read.nameWidth = form.LungNome;
    read.barMax = form.ProgressBar1->Max();
    read.barValue = form.ProgressBar1->Value();
    read.status = form.StatusBar1->panelText(2);
    read.commands = phone.commands();
    EXPECT_TRUE(form.ComandoLibero);
    return read;
}

void expectSameRead(const Read& seen, const Read& expected)
{
    EXPECT_EQ(seen.rows, expected.rows);
    EXPECT_EQ(seen.numberWidth, expected.numberWidth);
    EXPECT_EQ(seen.nameWidth, expected.nameWidth);
    EXPECT_FLOAT_EQ(seen.barMax, expected.barMax);
    EXPECT_FLOAT_EQ(seen.barValue, expected.barValue);
    EXPECT_EQ(seen.status, expected.status);
}

// The commands of a read in ranges of books of the given last indexes; the
// first ranges of a book whose index is in `refused` are read entry by entry.
std::vector<std::string> rangeCommands(const std::vector<std::pair<const char*, int>>& books,
                                       const std::vector<std::string>& refused = {})
{
    std::vector<std::string> commands = {"AT+CSCS=\"UCS2\""};
    for (const auto& [store, last] : books) {
        commands.push_back(std::string("AT+CPBS=") + store);
        commands.push_back("AT+CPBR=?");
        for (int first = 1; first <= last; first += 50) {
            const int end = std::min(first + 49, last);
            const std::string range = std::to_string(first) + "," + std::to_string(end);
            commands.push_back("AT+CPBR=" + range);
            if (std::find(refused.begin(), refused.end(), std::string(store) + ":" + range) == refused.end())
                continue;
            for (int index = first; index <= end; ++index)
                commands.push_back("AT+CPBR=" + std::to_string(index));
        }
    }
    commands.push_back("AT+CSCS=\"GSM\"");
    return commands;
}

const std::vector<std::pair<const char*, int>> kSampleBooks = {{"SM", 250}, {"ME", 100}, {"FD", 10}};

// Every entry of the three books used, with names of every kind: UCS2 only,
// commas and quotes, longer than the column, empty; and empty numbers.
std::string fullBooks()
{
    const char* const names[] = {"Contatto",      "Ελένη",       "Rossi, Mario",
                                 "Bar \"Sport\"", "Дмитрий € @", "Un nome molto più lungo della colonna"};
    std::string state = "pb.SM.range = 1-250\npb.SM.number_length = 40\npb.SM.name_length = 18\n"
                        "pb.ME.range = 1-100\npb.ME.number_length = 20\npb.ME.name_length = 24\n"
                        "pb.FD.range = 1-10\npb.FD.number_length = 40\npb.FD.name_length = 18\n";
    int n = 0;
    for (const auto& [store, last] : kSampleBooks) {
        for (int index = 1; index <= last; ++index, ++n) {
            const std::string number = n % 17 == 5 ? "" : (n % 2 ? "+39333" : "06") + std::to_string(1000000 + n);
            const std::string name = n % 13 == 7 ? "" : std::string(names[n % 6]) + " " + std::to_string(index);
            state += std::string("pb.") + store + "." + std::to_string(index) + " = \"" + number + "\","
                     + (n % 2 ? "145" : "129") + ",\"" + name + "\"\n";
        }
    }
    return state;
}

// The main sample, a phone with every entry used, the sample with names in
// other scripts, and phones that frame or interrupt their answers: the
// ranges give what the entries give, in one command per 50 entries.
TEST(PhonebookRanges, TheRowsOfTheEntryByEntryRead)
{
    struct Case {
        std::string state;
        std::string dialect;
        const char* what;
    };
    const Case cases[] = {
        {e2e::sampleState(), "", "the main sample"},
        {fullBooks(), "", "every entry used"},
        {"include = ucs2-names.state\n", "", "names in other scripts"},
        {e2e::sampleState(), "empty_entry = cme22\n", "empty entries answered +CME ERROR: 22"},
        {e2e::sampleState(), "profile = urc\n", "unsolicited lines around and inside the answers"},
        {fullBooks(), "profile = urc\nfault.pieces = on 61 1\n", "long answers in pieces, unsolicited lines inside"},
        {fullBooks(), "profile = lf-only blanks trailing-blank lowercase-hex\n", "another framing"},
    };
    // The entry-by-entry reference depends on the phone's books only.
    std::map<std::string, Read> references;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (!references.count(c.state))
            references.emplace(c.state, readBooks(c.state, kRefuseRanges));
        const Read& entries = references.at(c.state);
        // The reference did go entry by entry.
        EXPECT_EQ(std::count(entries.commands.begin(), entries.commands.end(), "AT+CPBR=250"), 1);
        const Read ranges = readBooks(c.state + c.dialect);
        expectSameRead(ranges, entries);
        EXPECT_EQ(ranges.commands, rangeCommands(kSampleBooks));
        EXPECT_EQ(ranges.status, QStringLiteral("Lettura rubriche terminata.."));
    }
}

TEST(PhonebookRanges, NamesInOtherScriptsAreRead)
{
    const Read read = readBooks("include = ucs2-names.state\n");
    ASSERT_GT(read.rows.size(), 16);
    const std::string greek = read.rows.at(12).toStdString();
    EXPECT_TRUE(read.rows.at(12).startsWith(QStringLiteral("012/250 ´ +302101234567"))) << greek;
    EXPECT_TRUE(read.rows.at(12).contains(QStringLiteral(" ³ Ελένη "))) << greek;
    EXPECT_TRUE(read.rows.at(16).contains(QStringLiteral(" ³ Zoë "))) << read.rows.at(16).toStdString();
}

// A refused range is read entry by entry, and only that range.
TEST(PhonebookRanges, ARefusedRangeIsReadEntryByEntry)
{
    const Read reference = readBooks(fullBooks(), kRefuseRanges);
    struct Case {
        const char* fault;
        std::vector<std::string> refused;
    };
    const Case cases[] = {
        {"fault error on +CPBR=1,", {"SM:1,50", "ME:1,50", "FD:1,10"}},
        {"fault error on +CPBR=51,", {"SM:51,100", "ME:51,100"}},
        {"fault error on +CPBR=201,250", {"SM:201,250"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fault);
        const Read read = readBooks(fullBooks(), c.fault);
        expectSameRead(read, reference);
        EXPECT_EQ(read.commands, rangeCommands(kSampleBooks, c.refused));
    }
}

// The bar moves once a range, to the range's last index; entry by entry
// once an entry.
TEST(PhonebookRanges, TheBarAdvancesPerRange)
{
    e2e::Phone phone(e2e::sampleState());
    ASSERT_TRUE(phone.connect());
    phone.sim().control("fault error on +CPBR=1,10");
    Form1& form = phone.form();
    ProgressWatch watch(form);
    form.ProgressBar1->setValue(0.1f);
    form.Command1_Click();
    std::vector<float> expected = {0.1f, 50, 100, 150, 200, 250, 0.1f, 50, 100, 0.1f};
    for (int index = 1; index <= 10; ++index)
        expected.push_back(float(index));
    EXPECT_EQ(watch.values(), expected);
}

// A line lost in the middle of a range's answer stops the read; List2 keeps
// the phone book it had: half a read would lose contacts without a word.
// Nothing is sent after the lost answer.
TEST(PhonebookRanges, ALineLostInsideARangeKeepsThePreviousList)
{
    e2e::Phone phone(fullBooks());
    ASSERT_TRUE(phone.connect());
    Form1& form = phone.form();
    form.List2->AddItem(QStringLiteral("a row of before"));
    form.LungNumero = 7;
    form.LungNome = 9;
    phone.sim().control("fault drop on +CPBR=51");
    phone.clearTranscript();
    form.Command1_Click();
    EXPECT_EQ(rowsOf(*form.List2), QStringList{QStringLiteral("a row of before")});
    EXPECT_EQ(form.LungNumero, 7);
    EXPECT_EQ(form.LungNome, 9);
    EXPECT_TRUE(form.StatusBar1->panelText(2).startsWith(QStringLiteral("ERRORE DI CONNESSIONE..")))
        << form.StatusBar1->panelText(2).toStdString();
    EXPECT_EQ(form.StatusBar1->panelText(1), QStringLiteral("DICONNESSO"));
    EXPECT_FLOAT_EQ(form.ProgressBar1->Value(), 0.1f);
    const std::vector<std::string> commands = phone.commands();
    ASSERT_FALSE(commands.empty());
    EXPECT_EQ(commands.back(), "AT+CPBR=51,100");
    EXPECT_TRUE(form.ComandoLibero);
}

// Answers to a range that the simulator never gives. Five entries, read in
// GSM (the phone refuses UCS2); entry by entry, 1 and 5 are empty, 3 is
// "not found", 2 and 4 are used.
TEST(PhonebookRanges, RangeAnswersOfEveryKind)
{
    const QString top = QStringLiteral("ÄÄÄÄÂÄÄÄÄÄÄÂÄÄÄÄÄÄÄÄ");
    const QString bottom = QStringLiteral("ÄÄÄÄÁÄÄÄÄÄÄÁÄÄÄÄÄÄÄÄ");
    const QString empty[] = {QStringLiteral("1/5 ´      ³    "), QStringLiteral("2/5 ´      ³    "),
                             QStringLiteral("3/5 ´      ³    "), QStringLiteral("4/5 ´      ³    "),
                             QStringLiteral("5/5 ´      ³    ")};
    const QString two = QStringLiteral("2/5 ´ 22   ³ Due");
    const QString four = QStringLiteral("4/5 ´ 44   ³ Qua");
    const QStringList entryByEntry = {top, empty[0], two, empty[2], four, empty[4], bottom};
    const std::string listed = "\r\n+CPBR: 2,\"22\",129,\"Due\"\r\n+CPBR: 4,\"44\",129,\"Qua\"\r\n\r\nOK\r\n";
    struct Case {
        std::string answer;
        bool oneByOne;
        QStringList rows;
        const char* what;
    };
    const Case cases[] = {
        {listed, false, entryByEntry, "two entries listed"},
        {"\r\nOK\r\n", false, {top, empty[0], empty[1], empty[2], empty[3], empty[4], bottom}, "nothing listed"},
        {"\r\n+CME ERROR: 22\r\n",
         false,
         {top, empty[0], empty[1], empty[2], empty[3], empty[4], bottom},
         "not found: the whole range is empty"},
        {"\r\nERROR\r\n", true, entryByEntry, "refused"},
        {"\r\n+CME ERROR: 21\r\n", true, entryByEntry, "invalid index"},
        {"\r\n+CPBR: 2,\"22\",129,\"Due\"\r\n+CPBR: 6,\"66\",129,\"Sei\"\r\n\r\nOK\r\n", true, entryByEntry,
         "an index beyond the range"},
        {"\r\n+CPBR: 2,\"22\",129,\"Due\"\r\n+CPBR: 4,\"44\r\n\r\nOK\r\n", true, entryByEntry, "a malformed line"},
        {"\r\n+CPBR: 4,\"44\",129,\"Qua\"\r\n+CPBR: 2,\"22\",129,\"Due\"\r\n\r\nOK\r\n", true, entryByEntry,
         "out of order"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PeerForm line;
        ASSERT_TRUE(line.open());
        scripted::Peer& peer = line.peer;
        Form1& form = line.form;
        peer.on("AT+CSCS=\"UCS2\"\r", "\r\nERROR\r\n");
        peer.on("AT+CPBS=SM\r", "\r\nOK\r\n");
        peer.on("AT+CPBR=?\r", "\r\n+CPBR: (1-5),4,3\r\n\r\nOK\r\n");
        peer.on("AT+CPBR=1,5\r", c.answer);
        peer.on("AT+CPBR=1\r", "\r\nOK\r\n");
        peer.on("AT+CPBR=2\r", "\r\n+CPBR: 2,\"22\",129,\"Due\"\r\n\r\nOK\r\n");
        peer.on("AT+CPBR=3\r", "\r\n+CME ERROR: 22\r\n");
        peer.on("AT+CPBR=4\r", "\r\n+CPBR: 4,\"44\",129,\"Qua\"\r\n\r\nOK\r\n");
        peer.on("AT+CPBR=5\r", "\r\nOK\r\n");
        peer.on("AT+CPBS=ME\r", "\r\n+CME ERROR: 3\r\n");
        peer.on("AT+CPBS=FD\r", "\r\n+CME ERROR: 3\r\n");
        form.Command1_Click();
        EXPECT_EQ(rowsOf(*form.List2), c.rows);
        EXPECT_EQ(form.StatusBar1->panelText(2), QStringLiteral("Lettura rubriche terminata.."));
        std::string expected = "AT+CSCS=\"UCS2\"\rAT+CPBS=SM\rAT+CPBR=?\rAT+CPBR=1,5\r";
        if (c.oneByOne)
            expected += "AT+CPBR=1\rAT+CPBR=2\rAT+CPBR=3\rAT+CPBR=4\rAT+CPBR=5\r";
        expected += "AT+CPBS=ME\rAT+CPBS=FD\r";
        EXPECT_EQ(peer.received(), expected);
        EXPECT_TRUE(form.ComandoLibero);
    }
}

} // namespace
