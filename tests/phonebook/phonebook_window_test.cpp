// SPDX-License-Identifier: GPL-3.0-or-later
// "Salva rubrica", "Carica rubrica", the search field and the pick, on a
// window without a phone: none of them talks to it.
#include "at/glyphs.h"
#include "phone/phonebook/book_rows.h"
#include "phone/savefile.h"
#include "phonebook/list_rows.h"
#include "phonebook/qstring_printer.h"
#include "support/file_size_limit.h"
#include "window/form1.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

using at::kBar;
using at::kBottom;
using at::kDash;
using at::kTop;

QByteArray readBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

const QString kReference = QStringLiteral(PHONEBOOK_DATA "/rubrica.rds");
// A store of five whose names leave Windows-1252: UTF-8 after a mark.
const QString kReferenceUtf8 = QStringLiteral(PHONEBOOK_DATA "/rubrica-utf8.rds");

class PhonebookFile : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

    // The file dialog answers `name`; remembers how it was asked.
    void choose(const QString& name)
    {
        form.CommonDialog1->chooser = [this, name](bool save) {
            asked.append(save ? QStringLiteral("save ") : QStringLiteral("open "));
            asked.last() += form.CommonDialog1->Filter;
            return name;
        };
    }
    QString path(const QString& name) const { return dir.filePath(name); }
    QString panel2() const { return form.StatusBar1->panelText(2); }

    Form1 form;
    QTemporaryDir dir;
    QStringList asked;
};

TEST_F(PhonebookFile, LoadsTheReferenceFileAndSavesItBackByteForByte)
{
    choose(kReference);
    form.Command8_Click();
    EXPECT_EQ(asked, QStringList{QStringLiteral("open *.RDS")});
    EXPECT_EQ(panel2(), QStringLiteral("CARICAMENTO ULTIMATO"));
    const QStringList loaded = rowsOf(*form.List2);
    ASSERT_EQ(loaded.size(), 12);
    EXPECT_EQ(loaded.first(), QString(6, kDash) + kTop + QString(22, kDash) + kTop + QString(40, kDash));
    EXPECT_EQ(loaded.last(), QString(6, kDash) + kBottom + QString(22, kDash) + kBottom + QString(40, kDash));
    EXPECT_EQ(loaded.at(4), QStringLiteral("04/10 ´ 0612345              ³ Rossi, Mario  "));
    EXPECT_EQ(loaded.at(6), QStringLiteral("06/10 ´ 3331234567           ³ Città è       "));
    EXPECT_EQ(loaded.at(9), QStringLiteral("09/10 ´ +420212345678        ³ Škoda Auto    "));
    EXPECT_EQ(loaded.at(10), QStringLiteral("10/10 ´                      ³               "));
    // Widths come from the phone only: a load leaves them alone.
    EXPECT_EQ(form.LungNumero, 0);
    EXPECT_EQ(form.LungNome, 0);

    asked.clear();
    choose(path(QStringLiteral("copia.RDS")));
    form.Command7_Click();
    EXPECT_EQ(asked, QStringList{QStringLiteral("save *.RDS")});
    EXPECT_EQ(panel2(), QStringLiteral("SALVATAGGIO ULTIMATO"));
    EXPECT_EQ(readBytes(path(QStringLiteral("copia.RDS"))), readBytes(kReference));
    EXPECT_FLOAT_EQ(form.ProgressBar1->Max(), 11.1f);
    EXPECT_FLOAT_EQ(form.ProgressBar1->Value(), 11.1f);

    form.List2->Clear();
    choose(path(QStringLiteral("copia.RDS")));
    form.Command8_Click();
    EXPECT_EQ(rowsOf(*form.List2), loaded);
}

TEST_F(PhonebookFile, AUtf8FileLoadsAndSavesBackByteForByte)
{
    choose(kReferenceUtf8);
    form.Command8_Click();
    EXPECT_EQ(panel2(), QStringLiteral("CARICAMENTO ULTIMATO"));
    const QStringList loaded = rowsOf(*form.List2);
    ASSERT_EQ(loaded.size(), 7);
    EXPECT_EQ(loaded.at(1), QStringLiteral("1/5 ´ +302101234567        ³ Ελένη         "));
    EXPECT_EQ(loaded.at(3), QStringLiteral("3/5 ´ +74951234567         ³ Дмитрий       "));
    EXPECT_EQ(loaded.at(4), QStringLiteral("4/5 ´ +48221234567         ³ Łukasz        "));
    EXPECT_EQ(loaded.at(5), QStringLiteral("5/5 ´ 0612345              ³ Città è       "));
    choose(path(QStringLiteral("copia.rds")));
    form.Command7_Click();
    EXPECT_EQ(panel2(), QStringLiteral("SALVATAGGIO ULTIMATO"));
    EXPECT_EQ(readBytes(path(QStringLiteral("copia.rds"))), readBytes(kReferenceUtf8));
}

TEST_F(PhonebookFile, NamesOutsideWindows1252SurviveTheRoundTrip)
{
    const QStringList rows = {
        QStringLiteral("1/3 ´ +302101234567 ³ Ελένη"),
        QStringLiteral("2/3 ´ +74951234567  ³ Дмитрий"),
        QStringLiteral("3/3 ´ +48221234567  ³ Łukasz"),
        QStringLiteral("4/4 ´ 0612345       ³ città ³ ´ € ÄÂÁ"),
    };
    for (const QString& row : rows)
        form.List2->AddItem(row);
    choose(path(QStringLiteral("mondo.rds")));
    form.Command7_Click();
    EXPECT_EQ(panel2(), QStringLiteral("SALVATAGGIO ULTIMATO"));
    const QByteArray bytes = readBytes(path(QStringLiteral("mondo.rds")));
    EXPECT_TRUE(bytes.startsWith("\xEF\xBB\xBF"
                                 "1/3 \xC2\xB4 +302101234567 \xC2\xB3 \xCE\x95"))
        << bytes.left(40).toHex().toStdString();
    EXPECT_FALSE(bytes.contains('?'));
    form.List2->Clear();
    form.Command8_Click();
    EXPECT_EQ(rowsOf(*form.List2), rows);
}

TEST_F(PhonebookFile, SavePanelTextsInOrder)
{
    form.List2->AddItem(QStringLiteral("uno"));
    QStringList shown;
    // The save yields once per row: what panel 2 shows then is "in corso".
    QTimer::singleShot(0, &form, [&] { shown.append(panel2()); });
    choose(path(QStringLiteral("a.rds")));
    form.Command7_Click();
    shown.append(panel2());
    EXPECT_EQ(shown, (QStringList{QStringLiteral("SALVATAGGIO IN CORSO"), QStringLiteral("SALVATAGGIO ULTIMATO")}));
    // One row: the bar's maximum is 0.1 and the file one line.
    EXPECT_FLOAT_EQ(form.ProgressBar1->Max(), 0.1f);
    EXPECT_EQ(readBytes(path(QStringLiteral("a.rds"))), QByteArray("uno\r\n"));
}

TEST_F(PhonebookFile, TheSaveAddsRdsOnlyToANameWithoutIt)
{
    const std::pair<const char*, const char*> cases[] = {
        {"rubrica", "rubrica.rds"},
        {"Rubrica.RDS", "Rubrica.RDS"},
        {"rubrica.rds.bak", "rubrica.rds.bak"},
    };
    form.List2->AddItem(QStringLiteral("riga"));
    for (const auto& [chosen, written] : cases) {
        choose(path(QString::fromLatin1(chosen)));
        form.Command7_Click();
        EXPECT_EQ(readBytes(path(QString::fromLatin1(written))), QByteArray("riga\r\n")) << chosen;
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 3);
}

TEST_F(PhonebookFile, NothingToSaveOrNoNameWritesNothing)
{
    choose(path(QStringLiteral("vuota.rds")));
    form.Command7_Click(); // List2 empty
    EXPECT_EQ(panel2(), QStringLiteral("IMPOSSIBILE SALVARE"));
    form.List2->AddItem(QStringLiteral("riga"));
    choose(QString()); // the dialog was cancelled
    form.Command7_Click();
    EXPECT_EQ(panel2(), QStringLiteral("IMPOSSIBILE SALVARE"));
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).isEmpty());
}

TEST_F(PhonebookFile, AFailedSaveLeavesTheOldFileAsItWas)
{
    const QString folder = path(QStringLiteral("rubriche"));
    ASSERT_TRUE(QDir().mkpath(folder));
    writeBytes(folder + QStringLiteral("/casa.rds"), "vecchia\r\n");
    for (int i = 0; i < 3; ++i)
        form.List2->AddItem(QStringLiteral("nuova %1").arg(i));
    // The folder is moved away while the rows are being written: the new
    // file cannot be put in place.
    const QString moved = path(QStringLiteral("spostata"));
    QTimer::singleShot(0, &form, [&] { QDir().rename(folder, moved); });
    choose(folder + QStringLiteral("/casa.rds"));
    form.Command7_Click();
    EXPECT_EQ(panel2(), QStringLiteral("IMPOSSIBILE SALVARE"));
    EXPECT_EQ(readBytes(moved + QStringLiteral("/casa.rds")), QByteArray("vecchia\r\n"));
    EXPECT_FALSE(QFile::exists(folder));

    // A folder that is not there at all.
    choose(path(QStringLiteral("manca/casa.rds")));
    form.Command7_Click();
    EXPECT_EQ(panel2(), QStringLiteral("IMPOSSIBILE SALVARE"));
}

// A save of 56 KB under a file-size limit of 48 KB: the writes up to the
// limit succeed, only the last part fails, when the buffered tail goes
// to the disk. The old file must stay as it was and the save say it failed.
TEST_F(PhonebookFile, ADiskThatFillsUpLeavesTheOldFileByteForByte)
{
    const QString file = path(QStringLiteral("piena.rds"));
    const QByteArray old = readBytes(kReference);
    writeBytes(file, old);
    const QString filler = QStringLiteral("007/800 ´ +390612345678                            ³ Contatto         ");
    for (int i = 0; i < 800; ++i)
        form.List2->AddItem(filler);
    ASSERT_GT(800 * (filler.size() + 2), 56000);
    choose(file);
    {
        FileSizeLimit disk(48 * 1024);
        ASSERT_TRUE(disk.set());
        form.Command7_Click();
    }
    EXPECT_EQ(panel2(), QStringLiteral("IMPOSSIBILE SALVARE"));
    EXPECT_EQ(readBytes(file), old);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("piena.rds")});

    // With room again the same save goes through.
    form.Command7_Click();
    EXPECT_EQ(panel2(), QStringLiteral("SALVATAGGIO ULTIMATO"));
    EXPECT_EQ(readBytes(file).size(), 800 * (filler.size() + 2));
}

// The writer on its own, the way any file of the program would use it.
TEST_F(PhonebookFile, AVerifiedSaveFailsAtTheLimitWhateverTheSizeOfItsWrites)
{
    const QByteArray big(56 * 1024, 'x');
    struct Case {
        int pieces;
        const char* what;
    };
    for (const Case& c : {Case{1, "one write of 56 KB"}, Case{800, "800 small writes"}}) {
        const QString file = path(QStringLiteral("f.bin"));
        writeBytes(file, "old");
        bool committed = true;
        {
            FileSizeLimit disk(48 * 1024);
            ASSERT_TRUE(disk.set());
            VerifiedSave save(file);
            bool ok = save.open();
            const qsizetype piece = big.size() / c.pieces;
            for (int i = 0; ok && i < c.pieces; ++i)
                ok = save.write(big.mid(i * piece, i + 1 == c.pieces ? -1 : piece));
            committed = save.commit();
        }
        EXPECT_FALSE(committed) << c.what;
        EXPECT_EQ(readBytes(file), QByteArray("old")) << c.what;
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 1) << c.what;
    }
    EXPECT_TRUE(SaveVerified(path(QStringLiteral("f.bin")), big));
    EXPECT_EQ(readBytes(path(QStringLiteral("f.bin"))), big);
}

TEST_F(PhonebookFile, ALoadThatCannotTakePlaceKeepsTheRows)
{
    ASSERT_TRUE(QDir().mkpath(path(QStringLiteral("cartella.rds"))));
    writeBytes(path(QStringLiteral("rubrica.txt")), "altro\r\n");
    // A FIFO without a writer would block an ordinary open for ever.
    ASSERT_EQ(mkfifo(QFile::encodeName(path(QStringLiteral("fifo.rds"))).constData(), 0600), 0);
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), path(QStringLiteral("zero.rds"))));
    // 16 MB and one byte, sparse: no phone book is that large.
    {
        QFile large(path(QStringLiteral("grande.rds")));
        ASSERT_TRUE(large.open(QIODevice::WriteOnly));
        ASSERT_TRUE(large.resize(16 * 1024 * 1024 + 1));
    }
    writeBytes(path(QStringLiteral("lunga.rds")), "riga\r\n" + QByteArray(4097, 'x') + "\r\n");
    writeBytes(path(QStringLiteral("chiusa.rds")), "riga\r\n");
    ASSERT_TRUE(QFile::setPermissions(path(QStringLiteral("chiusa.rds")), QFileDevice::Permissions()));
    std::vector<QString> refused = {
        QString(),                            // cancelled
        path(QStringLiteral("rubrica.txt")),  // no ".RDS" in the name
        path(QStringLiteral("manca.rds")),    // missing
        path(QStringLiteral("cartella.rds")), // a folder
        path(QStringLiteral("fifo.rds")),     // a FIFO
        path(QStringLiteral("zero.rds")),     // a link to a device
        path(QStringLiteral("grande.rds")),   // too large
        path(QStringLiteral("lunga.rds")),    // a line no phone book has
    };
    if (geteuid() != 0) // root reads it all the same
        refused.push_back(path(QStringLiteral("chiusa.rds")));
    form.List2->AddItem(QStringLiteral("resta"));
    form.List2->setListIndex(0);
    for (const QString& name : refused) {
        choose(name);
        form.Command8_Click();
        EXPECT_EQ(panel2(), QStringLiteral("IMPOSSIBILE CARICARE")) << name.toStdString();
        EXPECT_EQ(rowsOf(*form.List2), QStringList{QStringLiteral("resta")}) << name.toStdString();
    }
}

// Rows of a store of ten, as a read writes them.
const QString kCasa = QStringLiteral("01/10 ´ +390612345678        ³ Casa          ");
const QString kEmpty = QStringLiteral("02/10 ´                      ³               ");
const QString kUfficio = QStringLiteral("03/10 ´ +390123456789        ³ Ufficio       ");

TEST_F(PhonebookFile, LoadAndSaveWaitForTheLongOperationRunning)
{
    form.List2->AddItem(QStringLiteral("resta"));
    writeBytes(path(QStringLiteral("altra.rds")), RdsLine(kCasa));
    choose(path(QStringLiteral("altra.rds")));
    {
        LongOperation reading(form); // a phone-book or message read
        ASSERT_TRUE(reading.taken());
        form.Command8_Click();
        form.Command7_Click();
        EXPECT_EQ(form.Beeps, 2);
        EXPECT_TRUE(asked.isEmpty()); // no dialog opened
        EXPECT_EQ(rowsOf(*form.List2), QStringList{QStringLiteral("resta")});
        EXPECT_EQ(readBytes(path(QStringLiteral("altra.rds"))), RdsLine(kCasa));
    }
    // Once it has ended, both run and give the guard back.
    form.Command8_Click();
    EXPECT_EQ(rowsOf(*form.List2), QStringList{kCasa});
    EXPECT_TRUE(form.ComandoLibero);
    form.Command7_Click();
    EXPECT_EQ(panel2(), QStringLiteral("SALVATAGGIO ULTIMATO"));
    EXPECT_TRUE(form.ComandoLibero);
    EXPECT_EQ(form.Beeps, 2);
}

// What a file holds becomes the list: rows as the read writes them, empty
// lines as empty rows, control characters as blanks. A line that is no row
// (a name's line break cut its row in two, the file was edited) is left out
// and counted; a file without one row keeps the list as it was.
TEST_F(PhonebookFile, LoadsWhatAFileHolds)
{
    const QByteArray casa = RdsLine(kCasa);
    const QByteArray empty = RdsLine(kEmpty);
    const QByteArray ufficio = RdsLine(kUfficio);
    const QString header = QString(6, kDash) + kTop + QString(22, kDash) + kTop + QString(40, kDash);
    const QString footer = QString(6, kDash) + kBottom + QString(22, kDash) + kBottom + QString(40, kDash);
    // Casa's name written with a CR in it by an older program: its row
    // ends early, the rest stands on a line of its own.
    const QByteArray cut = "01/10 \xB4 +390612345678        \xB3 Ca\rsa          \r\n";
    struct Case {
        QByteArray bytes;
        QStringList rows;
        QString status;
        const char* what;
    };
    const QString done = QStringLiteral("CARICAMENTO ULTIMATO");
    const Case cases[] = {
        {casa + ufficio.chopped(2), {kCasa, kUfficio}, done, "the last line without its end"},
        {"", {}, done, "an empty file empties the list"},
        {casa + "\r\n" + ufficio.chopped(2) + "  \r\n",
         {kCasa, "", kUfficio + "  "},
         done,
         "an empty line, trailing spaces"},
        {RdsLine(header) + casa + empty + RdsLine(footer),
         {header, kCasa, kEmpty, footer},
         done,
         "header, entry, empty slot, footer"},
        {"01/10 \xB4 +390612345678\t       \xB3 Casa\x01         \r\n",
         {kCasa},
         done,
         "control characters made blanks"},
        {cut + ufficio,
         {"01/10 ´ +390612345678        ³ Ca", kUfficio},
         "Caricate 2 voci, 1 riga non leggibile..",
         "a row cut in two"},
        {casa + "END:VCARD\r\nBEGIN:VCARD\r\n" + empty,
         {kCasa, kEmpty},
         "Caricata 1 voce, 2 righe non leggibili..",
         "lines of another file"},
    };
    for (const Case& c : cases) {
        form.List2->Clear();
        form.List2->AddItem(QStringLiteral("prima"));
        writeBytes(path(QStringLiteral("prova.rds")), c.bytes);
        choose(path(QStringLiteral("prova.rds")));
        form.Command8_Click();
        EXPECT_EQ(panel2(), c.status) << c.what;
        EXPECT_EQ(rowsOf(*form.List2), c.rows) << c.what;
    }

    // Not one row: no phone book, and the list stays.
    form.List2->Clear();
    form.List2->AddItem(QStringLiteral("prima"));
    writeBytes(path(QStringLiteral("prova.rds")), "uno\r\ndue\r\n");
    form.Command8_Click();
    EXPECT_EQ(panel2(), QStringLiteral("IMPOSSIBILE CARICARE: 2 righe non leggibili.."));
    EXPECT_EQ(rowsOf(*form.List2), QStringList{QStringLiteral("prima")});
}

// ---- search and pick ----

class SearchAndPick : public ::testing::Test {
protected:
    void SetUp() override
    {
        // The store of ten slots of the reference file, slots 1 to 4.
        rows = {
            QString(6, kDash) + kTop + QString(22, kDash) + kTop + QString(40, kDash),
            QStringLiteral("01/10 ´ +390612345678        ³ Casa          "),
            QStringLiteral("02/10 ´                      ³               "),
            QStringLiteral("03/10 ´ +390123456789        ³ Ufficio       "),
            QStringLiteral("04/10 ´ 0612345              ³ Rossi, Mario  "),
            QString(6, kDash) + kBottom + QString(22, kDash) + kBottom + QString(40, kDash),
        };
        for (const QString& row : rows)
            form.List2->AddItem(row);
    }
    void type(const QString& text) { form.Text5->setText(text); }

    Form1 form;
    QStringList rows;
    const QString ufficio = QStringLiteral("+390123456789        ³ Ufficio       ");
};

TEST_F(SearchAndPick, FindsTheRowByNameNumberOrIndexAndPicksIt)
{
    const char* searches[] = {"uff", "UFFICIO", "0123", "03/", "  uff  "};
    for (const char* search : searches) {
        form.List2->setCurrentRow(-1);
        form.Text2->clear();
        type(QString::fromLatin1(search));
        EXPECT_EQ(form.List2->ListIndex(), 3) << search;
        EXPECT_EQ(form.Text2->text(), ufficio) << search;
        form.Text5->clear();
    }
}

TEST_F(SearchAndPick, TypingKeyByKeySearchesAgainFromTheTop)
{
    QTest::keyClicks(form.Text5, QStringLiteral("ro")); // only Rossi has an "r"
    EXPECT_EQ(form.List2->ListIndex(), 4);
    QTest::keyClick(form.Text5, Qt::Key_Backspace);
    QTest::keyClick(form.Text5, Qt::Key_Backspace);
    EXPECT_EQ(form.List2->ListIndex(), 4);             // an empty field searches nothing
    QTest::keyClicks(form.Text5, QStringLiteral("0")); // Casa is the first row with a 0
    EXPECT_EQ(form.List2->ListIndex(), 1);
    QTest::keyClicks(form.Text5, QStringLiteral("612345"));
    EXPECT_EQ(form.List2->ListIndex(), 1); // in Casa's number too
    QTest::keyClicks(form.Text5, QStringLiteral(" "));
    EXPECT_EQ(form.List2->ListIndex(), 1); // the space is trimmed
    EXPECT_EQ(form.Text2->text(), QStringLiteral("+390612345678        ³ Casa          "));
}

TEST_F(SearchAndPick, BlankOrUnmatchedSearchesKeepTheSelection)
{
    form.List2->setListIndex(1);
    const QString casa = form.Text2->text();
    for (const char* search : {" ", "   ", "zzz", "Ufficio Casa"}) {
        type(QString::fromLatin1(search));
        EXPECT_EQ(form.List2->ListIndex(), 1) << search;
        EXPECT_EQ(form.Text2->text(), casa) << search;
    }
    form.Text5->clear();
    EXPECT_EQ(form.List2->ListIndex(), 1);
}

TEST_F(SearchAndPick, AKeystrokeDuringASearchWinsOverIt)
{
    // The search for "o" yields before its first row; meanwhile "s" is
    // typed and the search for "os" selects Rossi. The older search must
    // not go on to select Ufficio, which comes first with an "o".
    QTimer::singleShot(0, &form, [this] { QTest::keyClicks(form.Text5, QStringLiteral("s")); });
    QTest::keyClicks(form.Text5, QStringLiteral("o"));
    EXPECT_EQ(form.Text5->text(), QStringLiteral("os"));
    EXPECT_EQ(form.List2->ListIndex(), 4);
    EXPECT_EQ(form.Text2->text(), QStringLiteral("0612345              ³ Rossi, Mario  "));
}

TEST_F(SearchAndPick, HeaderAndFooterRowsPickNothing)
{
    form.Text2->setText(QStringLiteral("prima"));
    form.List2->setListIndex(0);
    EXPECT_EQ(form.Text2->text(), QStringLiteral("prima"));
    form.List2->setListIndex(5);
    EXPECT_EQ(form.Text2->text(), QStringLiteral("prima"));
    // The header holds "Ä": a search for it selects the header, picks nothing.
    type(QStringLiteral("ÄÂ"));
    EXPECT_EQ(form.List2->ListIndex(), 0);
    EXPECT_EQ(form.Text2->text(), QStringLiteral("prima"));
}

TEST_F(SearchAndPick, AClickOnARowPicksIt)
{
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    const QRect slot = form.List2->rowRect(3);
    QTest::mouseClick(form.List2->viewport(), Qt::LeftButton, {}, slot.center());
    EXPECT_EQ(form.Text2->text(), ufficio);
    // The empty slot picks spaces around the bar.
    const QRect empty = form.List2->rowRect(2);
    QTest::mouseClick(form.List2->viewport(), Qt::LeftButton, {}, empty.center());
    EXPECT_EQ(form.Text2->text(), QString(21, QLatin1Char(' ')) + kBar + QString(15, QLatin1Char(' ')));
}

TEST_F(SearchAndPick, ARowWithoutTheTeePicksNothing)
{
    form.List2->AddItem(QStringLiteral("riga scritta a mano"));
    form.List2->AddItem(QString());
    form.Text2->setText(QStringLiteral("prima"));
    form.List2->setListIndex(6);
    form.List2->setListIndex(7);
    EXPECT_EQ(form.Text2->text(), QStringLiteral("prima"));
}

} // namespace
