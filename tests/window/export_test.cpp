// SPDX-License-Identifier: GPL-3.0-or-later
// Export: the messages of the main sample phone as CSV and its phone book
// as vCards, read back by readers written here from the two formats' rules
// (RFC 4180; RFC 2425 unfolding), every field compared; a write that fails
// leaves the old file as it was.
#include "phone/messages/csv.h"
#include "phone/phonebook/vcard.h"
#include "support/e2e.h"
#include "support/file_size_limit.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMenu>
#include <QPointer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

using Table = std::vector<QStringList>;

// RFC 4180 with ";" between fields, as Italian spreadsheets read it:
// records end with CR LF; a field in double quotes may hold ";", CR LF and
// doubled quotes. Anything else off the rules fails.
bool readCsv(const QString& text, Table& out)
{
    const QChar separator(QLatin1Char(';'));
    out.clear();
    QStringList record;
    QString field;
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n) {
        if (text.at(i) == QLatin1Char('"')) {
            ++i;
            for (;;) {
                if (i >= n)
                    return false; // an unclosed quote
                if (text.at(i) == QLatin1Char('"')) {
                    if (i + 1 < n && text.at(i + 1) == QLatin1Char('"')) {
                        field += QLatin1Char('"');
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                field += text.at(i++);
            }
        } else {
            while (i < n && text.at(i) != separator && text.at(i) != QLatin1Char('\r')) {
                if (text.at(i) == QLatin1Char('"') || text.at(i) == QLatin1Char('\n'))
                    return false; // a quote or a bare LF in an unquoted field
                field += text.at(i++);
            }
        }
        record << field;
        field.clear();
        if (i < n && text.at(i) == separator) {
            ++i;
            continue;
        }
        if (text.mid(i, 2) != QLatin1String("\r\n"))
            return false;
        i += 2;
        out.push_back(record);
        record.clear();
    }
    return true;
}

// vCards: lines unfolded (CR LF and one blank or tab removed), then each
// card's properties by name, the text values unescaped.
struct Card {
    QString version, fn, n, tel;
};

QString unescapeText(const QString& value)
{
    QString out;
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value.at(i) == QLatin1Char('\\') && i + 1 < value.size()) {
            const QChar next = value.at(++i);
            out += (next == QLatin1Char('n') || next == QLatin1Char('N')) ? QChar(QLatin1Char('\n')) : next;
        } else {
            out += value.at(i);
        }
    }
    return out;
}

// The first component of a structured N value: up to the first ";" that
// is not escaped, unescaped.
QString familyName(const QString& n)
{
    for (qsizetype i = 0; i < n.size(); ++i) {
        if (n.at(i) == QLatin1Char('\\'))
            ++i;
        else if (n.at(i) == QLatin1Char(';'))
            return unescapeText(n.left(i));
    }
    return unescapeText(n);
}

std::vector<Card> readVCards(const QByteArray& bytes, bool* linesFit)
{
    *linesFit = true;
    for (const QByteArray& line : bytes.split('\n'))
        if (line.size() > 76) // 75 octets and the CR
            *linesFit = false;
    QString text = QString::fromUtf8(bytes);
    text.replace(QLatin1String("\r\n "), QString()).replace(QLatin1String("\r\n\t"), QString());
    std::vector<Card> cards;
    for (const QString& line : text.split(QLatin1String("\r\n"), Qt::SkipEmptyParts)) {
        const qsizetype colon = line.indexOf(QLatin1Char(':'));
        const QString name = line.left(colon).section(QLatin1Char(';'), 0, 0).toUpper();
        const QString value = line.mid(colon + 1);
        if (name == QLatin1String("BEGIN"))
            cards.emplace_back();
        else if (cards.empty())
            continue;
        else if (name == QLatin1String("VERSION"))
            cards.back().version = value;
        else if (name == QLatin1String("FN"))
            cards.back().fn = unescapeText(value);
        else if (name == QLatin1String("N"))
            cards.back().n = value;
        else if (name == QLatin1String("TEL"))
            cards.back().tel = unescapeText(value);
    }
    return cards;
}

QByteArray readFile(const QString& name)
{
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

TEST(ExportFormats, CsvQuotesWhatMustBeQuoted)
{
    std::vector<store::ExportedMessage> messages = {
        {"SM", 1, "Nuovo", "+393359609600", "+393471234567", "Rossi; Giulia", "2024-03-15 18:42:07", "+01:00",
         "Ciao \"tu\",\r\ncome va? è già l'ora ³", "1/2",
         "Ciao \"tu\",\r\ncome va? è già l'ora ³[parte 2 di 2 mancante]"},
        {"ME", 150, "", "", "", "", "", "", "", "", ""},
    };
    const QByteArray csv = store::MessagesCsv(messages);
    ASSERT_TRUE(csv.startsWith("\xEF\xBB\xBF"));
    // A comma needs no quotes; a ";" does.
    EXPECT_TRUE(csv.contains(";\"Rossi; Giulia\";")) << csv.toStdString();
    Table table;
    ASSERT_TRUE(readCsv(QString::fromUtf8(csv.mid(3)), table)) << csv.toStdString();
    ASSERT_EQ(table.size(), 3u);
    EXPECT_EQ(table[0], QStringList({"Memoria", "Posizione", "Stato", "Centro servizi", "Numero", "Nome", "Data e ora",
                                     "Fuso orario", "Testo", "Parte", "Testo completo"}));
    EXPECT_EQ(table[1], QStringList({"SM", "1", "Nuovo", "'+393359609600", "'+393471234567", "Rossi; Giulia",
                                     "2024-03-15 18:42:07", "'+01:00", "Ciao \"tu\",\r\ncome va? è già l'ora ³", "1/2",
                                     "Ciao \"tu\",\r\ncome va? è già l'ora ³[parte 2 di 2 mancante]"}));
    EXPECT_EQ(table[2], QStringList({"ME", "150", "", "", "", "", "", "", "", "", ""}));
}

// What a spreadsheet would take for a formula gets an apostrophe in
// front, in every column; anything else stays as it is.
TEST(ExportFormats, CsvFieldsThatLookLikeFormulasAreText)
{
    const std::vector<std::pair<QString, QString>> cases = {
        {"=HYPERLINK(\"http://x.example\";\"Vinci\")", "'=HYPERLINK(\"http://x.example\";\"Vinci\")"},
        {"+393471234567", "'+393471234567"},
        {"+01:00", "'+01:00"},
        {"-1+2", "'-1+2"},
        {"@SUM(A1)", "'@SUM(A1)"},
        {"\tcmd", "'\tcmd"},
        {"\r=1", "'\r=1"},
        {"Ciao =1+1", "Ciao =1+1"},
        {"3471234567", "3471234567"},
        {"'già", "'già"},
        {"", ""},
    };
    for (const auto& [field, text] : cases)
        EXPECT_EQ(store::CsvText(field), text) << field.toStdString();
}

TEST(ExportFormats, DateTimeAsSpreadsheetsReadIt)
{
    struct Case {
        const char* date;
        const char* time;
        const char* shown;
    };
    const std::vector<Case> cases = {
        {"15/03/24", "18:42:07", "2024-03-15 18:42:07"},
        {"31/12/99", "23:59:59", "1999-12-31 23:59:59"},
        {"01/01/00", "00:00:00", "2000-01-01 00:00:00"},
        {"        ", "        ", ""}, // a stored outgoing message
        {"31/02/24", "10:00:00", ""}, // no such day
        {"15/03/24", "25:00:00", ""}, // no such hour
        {"1x/03/24", "10:00:00", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(store::CsvDateTime(c.date, c.time), c.shown) << c.date << " " << c.time;
}

TEST(ExportFormats, VCardsEscapeAndFoldLongLines)
{
    const QString longName = QString(40, QChar(0x00E8)); // 80 octets of "è"
    const std::vector<PhonebookEntry> entries = {
        {"Casa, Roma; centro", "+390612345678"}, {longName, "112"}, {"", "4916"}};
    bool fit = false;
    const std::vector<Card> cards = readVCards(VCards(entries), &fit);
    EXPECT_TRUE(fit);
    ASSERT_EQ(cards.size(), 3u);
    EXPECT_EQ(cards[0].fn, "Casa, Roma; centro");
    EXPECT_EQ(cards[0].n, "Casa\\, Roma\\; centro;;;;");
    EXPECT_EQ(cards[1].fn, longName); // folded between whole characters
    EXPECT_EQ(cards[2].fn, "4916");   // no name: the number stands for it
    EXPECT_EQ(cards[2].tel, "4916");
}

class Export : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        form().DialogoEsporta->chooser = [this](bool save) {
            EXPECT_TRUE(save);
            return target;
        };
        ASSERT_TRUE(phone.connect());
    }
    Form1& form() { return phone.form(); }

    QTemporaryDir dir;
    QString target = dir.filePath(QStringLiteral("export.csv"));
    e2e::Phone phone;
};

// The main sample's messages, as the phone holds them once the list has
// been read (reading a message marks it read). Names come from the phone
// books; TIM is an alphanumeric sender; slots 12, 14 and ME 3, 4 are stored
// outgoing messages, without a stamp. Every stamp was taken in winter, in
// Italy: +01:00.
const Table kMessages = {
    {"Memoria", "Posizione", "Stato", "Centro servizi", "Numero", "Nome", "Data e ora", "Fuso orario", "Testo"},
    {"SM", "1", "Letto", "'+393359609600", "'+393471234567", "Marco Rossi", "2024-03-15 18:42:07", "'+01:00",
     "Ciao! Ci vediamo stasera alle 20:30 al solito bar?"},
    {"SM", "2", "Letto", "'+393359609600", "'+393401234567", "Rossi, Giulia", "2024-03-16 09:23:11", "'+01:00",
     "Il pranzo costa 12€ a testa, perché non vieni anche tu? E' già tutto pronto"},
    {"SM", "3", "Letto", "'+393359609600", "'+390123456789", "Ufficio", "2024-03-16 12:15:00", "'+01:00",
     "Lista spesa:\npane\nlatte\nuova\ncaffè"},
    {"SM", "5", "Letto", "'+393359609600", "TIM", "", "2024-03-17 08:00:01", "'+01:00",
     "Gentile cliente, il credito residuo è di 5,20€. Grazie per aver scelto TIM."},
    {"SM", "7", "Letto", "'+393359609600", "'+393471234567", "Marco Rossi", "2024-03-18 22:05:12", "'+01:00",
     "Ciao img:Amore / Baci  amore"},
    {"SM", "8", "Letto", "'+393359609600", "'+393281234567", "", "2024-03-19 10:10:10", "'+01:00",
     "Buon compleanno! 🎂🎉"},
    {"SM", "10", "Letto", "'+393359609600", "'+393401234567", "Rossi, Giulia", "2024-03-20 19:33:44", "'+01:00",
     "Ciao Giulia, ti scrivo per la cena di sabato: abbiamo prenotato da Mario alle 20:30, siamo in otto. "
     "Porta tu il dolce? Io penso al vino e ai fiori, ok? B"},
    {"SM", "12", "Da Inviare", "'+393359609600", "'+393331112222", "Pizzeria da Gino", "", "",
     "Arrivo tra dieci minuti, aspettami davanti al bar."},
    {"SM", "14", "Inviato", "'+393359609600", "'+393479876543", "Anna", "", "", "Grazie mille per ieri sera!"},
    {"ME", "1", "Letto", "'+393359609600", "'+393391122334", "Nonna", "2023-12-24 20:30:00", "'+01:00",
     "Auguri di buon Natale e felice anno nuovo! Nonna"},
    {"ME", "2", "Letto", "'+393359609600", "'+393281234567", "", "2024-03-21 07:02:15", "'+01:00",
     "Domani sciopero dei treni: ti passo a prendere io alle 7:45."},
    {"ME", "3", "Inviato", "'+393359609600", "'+393471234567", "Marco Rossi", "", "", "Sì, arrivo subito."},
    {"ME", "4", "Da Inviare", "'+393359609600", "3401234567", "", "", "", "Ricordati di comprare il pane"},
    {"ME", "6", "Letto", "'+393359609600", "3331234567", "Bianchi, Luca", "2024-03-22 13:45:01", "'+01:00",
     "Ho trovato le chiavi, erano in macchina :-)"},
};

TEST_F(Export, MessagesOfTheMainSampleAsCsv)
{
    form().Command1_Click(); // the phone books give the names
    form().Command4_Click();
    ASSERT_GT(form().List1->ListCount(), 0);
    form().EsportaMessaggi();
    EXPECT_TRUE(form().ComandoLibero);
    const QByteArray csv = readFile(target);
    ASSERT_TRUE(csv.startsWith("\xEF\xBB\xBF"));
    Table table;
    ASSERT_TRUE(readCsv(QString::fromUtf8(csv.mid(3)), table));
    ASSERT_EQ(table.size(), kMessages.size());
    for (size_t i = 0; i < table.size(); ++i)
        EXPECT_EQ(table[i].mid(0, 9), kMessages[i]) << "row " << i << ": " << table[i].join('|').toStdString();
    // The part and the whole text: a message sent whole is its own; SIM 10
    // is part 1 of a message whose part 2 the phone does not hold.
    EXPECT_EQ(table[0].mid(9), QStringList({"Parte", "Testo completo"}));
    for (size_t i = 1; i < table.size(); ++i) {
        const bool inParts = table[i][0] == "SM" && table[i][1] == "10";
        const QStringList expected = inParts ? QStringList({"1/2", kMessages[i][8] + "[parte 2 di 2 mancante]"})
                                             : QStringList({"", kMessages[i][8]});
        EXPECT_EQ(table[i].mid(9), expected) << "row " << i;
    }
    EXPECT_TRUE(form().StatusBar1->panelText(2).startsWith("Esportazione terminata: 14 sms"));
}

// Messages in parts: each part's row says which part it is and holds the
// whole message, joined in part order from both stores; the same sender's
// messages of other references are not mixed.
TEST(ExportParts, PartAndWholeTextColumns)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    e2e::Phone phone("include = long-messages.state\n");
    const QString target = dir.filePath(QStringLiteral("parti.csv"));
    phone.form().DialogoEsporta->chooser = [&](bool) { return target; };
    ASSERT_TRUE(phone.connect());
    phone.form().Command4_Click();
    phone.form().EsportaMessaggi();
    Table table;
    ASSERT_TRUE(readCsv(QString::fromUtf8(readFile(target).mid(3)), table));

    const QString cena =
        "Ciao Giulia, ti scrivo per la cena di sabato: abbiamo prenotato da Mario alle 20:30, siamo in "
        "otto. Porta tu il dolce? Io penso al vino e ai fiori, ok? Baci, Marta";
    const QString tavolo = "Dimenticavo: il tavolo è a nome Bianchi, chiedi di Mario all'ingresso.";
    const QString riunione =
        "Ciao, sono Marco: domani la riunione è spostata alle 15:00 in sala B, porta i conti del trimestre. A dopo!";
    const std::vector<QStringList> expected = {
        {"SM", "4", "2/3", riunione}, {"SM", "9", "2/2", cena},
        {"SM", "10", "1/2", cena},    {"SM", "11", "1/2", tavolo},
        {"SM", "13", "2/2", tavolo},  {"ME", "5", "1/3", riunione},
        {"ME", "7", "3/3", riunione}, {"SM", "1", "", "Ciao! Ci vediamo stasera alle 20:30 al solito bar?"},
    };
    for (const QStringList& want : expected) {
        const auto row = std::find_if(table.begin(), table.end(),
                                      [&](const QStringList& r) { return r[0] == want[0] && r[1] == want[1]; });
        ASSERT_NE(row, table.end()) << want.join(',').toStdString();
        EXPECT_EQ(row->mid(9), want.mid(2)) << want.join(',').toStdString();
    }
    EXPECT_EQ(table.size(), 1u + 20u);
}

// Texts and senders that a spreadsheet would take for formulas, stored in
// the sample's empty SIM slots 4, 6, 9 and 11 (made with
// sim/tools/make_sample_pdus.py's deliver()): from Marco Rossi
// =HYPERLINK("http://premio.example";"Vinci un premio"); from the
// alphanumeric sender "=Premio" -1+2; from Giulia "@casa domani"; from
// +393281234567 a CR and =1+1.
const char* const kFormulaSlots =
    "sms.SM.4 = 1 0791933395066900040C91934317325476000042401001510040353D64165A943293CE254A84A6D3E1BAD70B2E2FB7"
    "D36F57191F6EC3D965D14E644DBBC76950DD0D82CBCBEDF45B9402\n"
    "sms.SM.6 = 1 0791933395066900040DD03DA8BCDC4EBF0100004240100161004004ADD84A06\n"
    "sms.SM.9 = 1 0791933395066900040C919343103254760000424010017100400C8071781E0691DFEDB03B0D\n"
    "sms.SM.11 = 1 0791933395066900040C91932318325476000042401001810040058D5E6C1503\n";

// The CSV as Python's csv module reads it (another reader than the
// program's and this test's): one list of fields a record.
Table readWithPython(const QString& fileName)
{
    QProcess python;
    python.start(QStringLiteral("python3"),
                 {QStringLiteral("-c"),
                  QStringLiteral("import csv, json, sys\n"
                                 "with open(sys.argv[1], newline='', encoding='utf-8-sig') as f:\n"
                                 "    print(json.dumps(list(csv.reader(f, delimiter=';'))))\n"),
                  fileName});
    Table table;
    if (!python.waitForFinished(60000) || python.exitCode() != 0)
        return table;
    for (const QJsonValue& record : QJsonDocument::fromJson(python.readAllStandardOutput()).array()) {
        QStringList fields;
        for (const QJsonValue& field : record.toArray())
            fields << field.toString();
        table.push_back(fields);
    }
    return table;
}

// A stranger's formula reaches the spreadsheet as text, and so do the
// numbers and zones: no field of the file begins as a formula does.
TEST(ExportFormulas, FormulasAndNumbersStayText)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    e2e::Phone phone(e2e::sampleState(kFormulaSlots));
    const QString target = dir.filePath(QStringLiteral("formule.csv"));
    phone.form().DialogoEsporta->chooser = [&](bool) { return target; };
    ASSERT_TRUE(phone.connect());
    phone.form().Command1_Click();
    phone.form().Command4_Click();
    phone.form().EsportaMessaggi();
    ASSERT_TRUE(phone.form().StatusBar1->panelText(2).startsWith(QStringLiteral("Esportazione terminata: 18 sms")))
        << phone.form().StatusBar1->panelText(2).toStdString();

    const Table table = readWithPython(target);
    ASSERT_EQ(table.size(), 1u + 18u);
    for (const QStringList& record : table) {
        ASSERT_EQ(record.size(), 11);
        for (const QString& field : record)
            EXPECT_FALSE(!field.isEmpty() && QStringLiteral("=+-@\t\r").contains(field.front())) << field.toStdString();
    }
    const QString link = QStringLiteral("'=HYPERLINK(\"http://premio.example\";\"Vinci un premio\")");
    const Table expected = {
        {"SM", "4", "Letto", "'+393359609600", "'+393471234567", "Marco Rossi", "2024-04-01 10:15:00", "'+01:00", link,
         "", link},
        {"SM", "6", "Letto", "'+393359609600", "'=Premio", "", "2024-04-01 10:16:00", "'+01:00", "'-1+2", "", "'-1+2"},
        {"SM", "9", "Letto", "'+393359609600", "'+393401234567", "Rossi, Giulia", "2024-04-01 10:17:00", "'+01:00",
         "'@casa domani", "", "'@casa domani"},
        {"SM", "11", "Letto", "'+393359609600", "'+393281234567", "", "2024-04-01 10:18:00", "'+01:00", "'\r=1+1", "",
         "'\r=1+1"},
    };
    for (const QStringList& want : expected) {
        const auto row = std::find_if(table.begin(), table.end(),
                                      [&](const QStringList& r) { return r[0] == want[0] && r[1] == want[1]; });
        ASSERT_NE(row, table.end()) << want.join(',').toStdString();
        EXPECT_EQ(*row, want);
    }
}

// The export checks what it reads: the slots of a store it cannot select
// are not read (the same slots of the other store are other messages), a
// listed slot that cannot be read again is counted; what was read is
// written all the same.
TEST_F(Export, WhatCannotBeReadIsCountedNotExported)
{
    form().Command4_Click();
    struct Case {
        const char* fault;
        const char* status;
        std::vector<std::string> missing; // rows of kMessages not written: "SM,3"
    };
    const Case cases[] = {
        {"fault error on +CPMS=ME", "Esportati 9 sms, 5 non letti..", {"ME,1", "ME,2", "ME,3", "ME,4", "ME,6"}},
        {"fault error on AT+CMGR=3", "Esportati 12 sms, 2 non letti..", {"SM,3", "ME,3"}}, // slot 3 of both stores
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fault);
        QFile::remove(target);
        ASSERT_EQ(phone.sim().control("fault error off"), "OK");
        ASSERT_EQ(phone.sim().control(c.fault), "OK");
        form().EsportaMessaggi();
        EXPECT_EQ(form().StatusBar1->panelText(2), QString::fromUtf8(c.status));
        EXPECT_TRUE(form().ComandoLibero);
        Table table;
        ASSERT_TRUE(readCsv(QString::fromUtf8(readFile(target).mid(3)), table));
        Table expected;
        for (const QStringList& row : kMessages) {
            const std::string place = (row[0] + "," + row[1]).toStdString();
            if (std::find(c.missing.begin(), c.missing.end(), place) == c.missing.end())
                expected.push_back(row);
        }
        ASSERT_EQ(table.size(), expected.size());
        for (size_t i = 0; i < table.size(); ++i) // read again, each row is the phone's
            EXPECT_EQ(table[i].mid(0, 3), expected[i].mid(0, 3)) << i;
    }
}

// As the user does it: a right click on the list, a click on the menu's
// entry, the window's event loop running. The export's transactions run
// the event loop too, and the menu closes and is deleted meanwhile: the
// export must not be running inside the menu's own handler then.
TEST_F(Export, ThroughTheListsContextMenu)
{
    form().show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form()));
    form().Command1_Click();
    form().Command4_Click();
    ASSERT_GT(form().List1->ListCount(), 0);

    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        QFile::remove(target);
        form().Stato(QString());
        QWidget* rows = form().List1->viewport();
        QMenu* menu = e2e::rightClickMenu(rows, QPoint(20, 10));
        ASSERT_NE(menu, nullptr);
        // The export comes first; what else a message's row offers follows it.
        ASSERT_FALSE(menu->actions().isEmpty());
        QAction* entry = menu->actions().first();
        EXPECT_EQ(entry->text(), QString::fromUtf8("Esporta messaggi…"));
        QPointer<QMenu> watched(menu);
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(entry).center());
        ASSERT_TRUE(e2e::waitFor(
            [&] { return form().StatusBar1->panelText(2).startsWith(QStringLiteral("Esportazione terminata")); },
            20000))
            << form().StatusBar1->panelText(2).toStdString();
        EXPECT_TRUE(e2e::waitFor([&] { return watched.isNull(); })); // the menu is gone, the window stays
        EXPECT_TRUE(form().ComandoLibero);
        Table table;
        ASSERT_TRUE(readCsv(QString::fromUtf8(readFile(target).mid(3)), table));
        EXPECT_EQ(table.size(), kMessages.size());
    }
}

// The main sample's phone books, as List2 holds them after a read: the
// SIM's, the phone's and the fixed-dialling numbers, in that order; the SIM
// entry without a name is exported under its number.
TEST_F(Export, PhonebookOfTheMainSampleAsVCards)
{
    form().Command1_Click();
    target = dir.filePath(QStringLiteral("rubrica"));
    form().EsportaRubrica();
    bool fit = false;
    const std::vector<Card> cards = readVCards(readFile(target + ".vcf"), &fit);
    EXPECT_TRUE(fit);
    const std::vector<std::pair<QString, QString>> expected = {
        {"Ufficio", "+390123456789"},
        {"Marco Rossi", "+393471234567"},
        {"Rossi, Giulia", "+393401234567"},
        {"Bianchi, Luca", "3331234567"},
        {"", "+393281234567"},
        {"Nonna", "+393391122334"},
        {"Info TIM", "4916"},
        {"Anna", "+393479876543"},
        {"Casa, Roma", "+390612345678"},
        {"Dott. Verdi", "0612345678"},
        {"Pizzeria da Gino", "+393331112222"},
        {"Emergenza", "112"},
        {"Ufficio", "+390123456789"},
    };
    ASSERT_EQ(cards.size(), expected.size());
    for (size_t i = 0; i < cards.size(); ++i) {
        SCOPED_TRACE(i);
        const auto& [name, number] = expected[i];
        EXPECT_EQ(cards[i].version, "3.0");
        EXPECT_EQ(cards[i].fn, name.isEmpty() ? number : name);
        EXPECT_EQ(familyName(cards[i].n), name);
        EXPECT_EQ(cards[i].tel, number);
    }
}

TEST_F(Export, FailedWriteLeavesTheOldFileIntact)
{
    form().Command1_Click();
    const QByteArray old = "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Vecchia\r\nEND:VCARD\r\n";
    target = dir.filePath(QStringLiteral("rubrica.vcf"));
    {
        QFile file(target);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(old);
    }
    {
        FileSizeLimit limit(old.size() + 10); // the new phone book is larger
        ASSERT_TRUE(limit.set());
        form().EsportaRubrica();
    }
    EXPECT_EQ(readFile(target), old);
    EXPECT_EQ(form().StatusBar1->panelText(2), "IMPOSSIBILE ESPORTARE: " + target);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"rubrica.vcf"}); // nothing half-written
}

} // namespace
