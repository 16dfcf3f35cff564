// SPDX-License-Identifier: GPL-3.0-or-later
// Messages kept safe, as the user reaches them: List1's context menu, the
// file dialog and the "Ripristina" dialog, against the main sample phone.
// An archive of both stores restored after "Cancella tutta la memoria"
// gives the phone and the list back as they were; a restore skips what
// the phone holds and stops at a full store; a copy or a move is read back
// before the original goes; a store nearly full asks once; a disk that
// cannot take the archive deletes nothing.
#include "store_phone.h"
#include "support/file_size_limit.h"

#include "phone/messages/archive.h"

#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <sstream>

using namespace storetest;

namespace {

const int SimCapacity = 20;

// A row without its head ("S: 01/20 ´ ").
QString body(const QString& row) { return row.mid(row.indexOf(QStringLiteral("´ ")) + 2); }

QByteArray readFile(const QString& name)
{
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

class Keeping : public ::testing::Test {
protected:
    void start(const std::string& overrides = std::string())
    {
        ASSERT_TRUE(dir.isValid());
        phone = std::make_unique<e2e::Phone>(e2e::sampleState(overrides));
        form().CommonDialog1->chooser = [this](bool) { return target; };
        ASSERT_TRUE(phone->connect());
        form().show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form()));
    }
    Form1& form() { return phone->form(); }
    QString panel() { return form().StatusBar1->panelText(2); }

    // The messages of both stores in the phone's state: "sms.SM.1 = 1 0791...".
    std::vector<std::string> stores()
    {
        std::vector<std::string> lines;
        std::istringstream dump(phone->sim().control("dump"));
        for (std::string line; std::getline(dump, line);) {
            const bool message = line.rfind("sms.SM.", 0) == 0 || line.rfind("sms.ME.", 0) == 0;
            if (message && line.find("capacity") == std::string::npos && line.back() != '=')
                lines.push_back(line);
        }
        std::sort(lines.begin(), lines.end());
        return lines;
    }
    std::string slot(const std::string& store, int index)
    {
        const std::string key = "sms." + store + "." + std::to_string(index) + " = ";
        for (const std::string& line : stores()) {
            if (line.rfind(key, 0) == 0)
                return line.substr(key.size());
        }
        return std::string();
    }
    int count(const char* prefix)
    {
        const std::vector<std::string> sent = phone->commands();
        return int(std::count_if(sent.begin(), sent.end(),
                                 [&](const std::string& line) { return line.rfind(prefix, 0) == 0; }));
    }

    // Right click on row `row` of List1 (the first one when -1), then a
    // click on the entry `caption`; false when the menu has none.
    bool fromMenu(const QString& caption, int row = 0)
    {
        form().List1->scrollToRow(row);
        const QPoint at = form().List1->ListCount() > 0 ? form().List1->rowRect(row).center() : QPoint(20, 10);
        QMenu* menu = e2e::rightClickMenu(form().List1->viewport(), at);
        if (!menu)
            return false;
        const QList<QAction*> actions = menu->actions();
        const auto entry =
            std::find_if(actions.begin(), actions.end(), [&](QAction* action) { return action->text() == caption; });
        if (entry == actions.end()) {
            menu->close();
            return false;
        }
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(*entry).center());
        return true;
    }
    QStringList entries(int row)
    {
        form().List1->scrollToRow(row);
        QMenu* menu = e2e::rightClickMenu(form().List1->viewport(), form().List1->rowRect(row).center());
        QStringList texts;
        for (QAction* action : menu->actions())
            texts << action->text();
        menu->close();
        return texts;
    }
    // Waits for the operation that began to end with a status.
    bool ended(const QString& begins)
    {
        return e2e::waitFor([&] { return form().ComandoLibero && panel().startsWith(begins); });
    }
    void readList()
    {
        form().Command4_Click();
        ASSERT_EQ(statusOf(form()), u("Lettura elenco sms terminata.."));
    }
    void archive()
    {
        form().Stato(QString());
        ASSERT_TRUE(fromMenu(u("Archivia sms…")));
        ASSERT_TRUE(ended(u("Archiviati"))) << panel().toStdString();
    }
    // Restores the archive into the store `memoria` of the dialog offers.
    void restore(const QString& memoria = u("Quella di provenienza"))
    {
        e2e::WhenShown dialog(QStringLiteral("Ripristina"), [&](QDialog& shown) {
            auto* store = shown.findChild<QComboBox*>(QStringLiteral("Memoria"));
            ASSERT_NE(store, nullptr);
            store->setCurrentText(memoria);
            shown.findChild<QPushButton*>(QStringLiteral("OK"))->click();
        });
        form().Stato(QString());
        ASSERT_TRUE(fromMenu(u("Ripristina sms sul cellulare…")));
        ASSERT_TRUE(ended(u("Ripristinati"))) << panel().toStdString();
        EXPECT_EQ(dialog.shown, 1);
    }
    void deleteAll()
    {
        e2e::MessageBoxes yes(QMessageBox::Yes);
        form().Command9_Click();
        ASSERT_EQ(statusOf(form()), u("Cancellazione sms terminata.."));
        ASSERT_TRUE(stores().empty());
    }

    QTemporaryDir dir;
    QString target = dir.filePath(QStringLiteral("sms.smsarchive"));
    std::unique_ptr<e2e::Phone> phone;
};

// Both stores archived, every slot deleted, the archive restored: the
// phone holds the same PDUs with the same statuses in the same slots, and
// a list read shows the same rows. Each message went once, with its
// status as archived; the check was one listing a store.
TEST_F(Keeping, ArchiveDeleteAllRestoreGivesThePhoneBack)
{
    start();
    archive();
    // Reading marks a message read: the phone now, and the rows of a read.
    const std::vector<std::string> archived = stores();
    ASSERT_EQ(archived.size(), 14u);
    EXPECT_EQ(panel(), u("Archiviati 14 sms in ") + target + u(".."));
    readList();
    const std::vector<QString> rows = rowsOf(form().List1);
    EXPECT_EQ(panel(), u("Lettura elenco sms terminata.. SIM 9/20, cellulare 5/150"));

    // The file holds every message as the phone gave it, unread ones unread.
    const store::ArchiveRead file = store::ReadArchive(readFile(target));
    ASSERT_TRUE(file.ok) << file.why.toStdString();
    ASSERT_EQ(file.messages.size(), 14u);
    EXPECT_EQ(file.messages[1].slot, 2);
    EXPECT_EQ(file.messages[1].status, 0);
    EXPECT_TRUE(readFile(target).contains("# Da: +393471234567\n# Ora: 15/03/24 18:42:07\n# Testo: Ciao! Ci vediamo"))
        << readFile(target).toStdString();

    deleteAll();
    phone->clearTranscript();
    restore();
    EXPECT_EQ(panel(), u("Ripristinati 14 sms.. SIM 9/20, cellulare 5/150"));
    EXPECT_EQ(stores(), archived);
    // Each message once, and a filler in each free slot below one that goes
    // back to its own: SM 4, 6, 9, 11, 13 and ME 5, each deleted after.
    EXPECT_EQ(count("AT+CMGW="), 14 + 6);
    EXPECT_EQ(count("AT+CMGD="), 6);
    EXPECT_EQ(count("AT+CMGL="), 4); // what each store held, then the check
    EXPECT_EQ(count("AT+CMGR="), 0);
    const std::vector<std::string> sent = phone->commands();
    EXPECT_NE(std::find(sent.begin(), sent.end(), "AT+CMGW=86,0"), sent.end()); // SM 2, unread as archived
    // The rows of the restored slots, as the check listing gave them.
    EXPECT_TRUE(form().List1->List(1).contains(u("Nuovo"))) << form().List1->List(1).toStdString();

    readList();
    EXPECT_EQ(rowsOf(form().List1), rows);
}

// A phone that holds some of the messages already gets only the others;
// what it holds stays where it is.
TEST_F(Keeping, RestoreOntoAPhoneThatHoldsSomeOfTheMessages)
{
    start();
    archive();
    const std::vector<std::string> archived = stores();
    ASSERT_EQ(phone->sim().control("delete SM 3"), "OK");
    ASSERT_EQ(phone->sim().control("delete ME 2"), "OK");
    phone->clearTranscript();
    restore();
    EXPECT_EQ(panel(), u("Ripristinati 2 sms, 12 già presenti.."));
    EXPECT_EQ(count("AT+CMGW="), 2);
    EXPECT_EQ(stores(), archived);

    // The same archive once more: nothing to write.
    phone->clearTranscript();
    restore();
    EXPECT_EQ(panel(), u("Ripristinati 0 sms, 14 già presenti.."));
    EXPECT_EQ(count("AT+CMGW="), 0);
}

// A phone that gives no status with a message it reads ("+CMGR: ,,92"),
// and a listing that leaves slot 3 out, so that every slot is read alone:
// the archive says no status, the restore writes each message as what its
// PDU is (received read, stored unsent) and takes slot 3, read alone, back
// without a status.
TEST_F(Keeping, APhoneThatGivesNoStatus)
{
    start("profile = no-status\nfault.listing = on omit 3\n");
    archive();
    const store::ArchiveRead file = store::ReadArchive(readFile(target));
    ASSERT_TRUE(file.ok);
    ASSERT_EQ(file.messages.size(), 14u);
    for (const store::ArchivedMessage& message : file.messages)
        EXPECT_EQ(message.status, -1);
    deleteAll();
    phone->clearTranscript();
    restore();
    EXPECT_EQ(statusOf(form()), u("Ripristinati 14 sms.."));
    EXPECT_EQ(slot("SM", 1).substr(0, 2), "1 ");  // received
    EXPECT_EQ(slot("SM", 12).substr(0, 2), "2 "); // to send
}

// The dialog's "Memoria" sends every message to one store: all of them to
// the phone's, each with its status, none to the SIM.
TEST_F(Keeping, RestoreIntoTheStoreChosen)
{
    start();
    archive();
    // The messages and their statuses, whatever store they were in.
    std::vector<std::string> archived;
    for (const std::string& line : stores())
        archived.push_back(line.substr(line.find(" = ")));
    std::sort(archived.begin(), archived.end());
    deleteAll();
    restore(u("Cellulare"));
    EXPECT_EQ(statusOf(form()), u("Ripristinati 14 sms.."));
    std::vector<std::string> restored;
    for (const std::string& line : stores()) {
        EXPECT_EQ(line.rfind("sms.ME.", 0), 0u) << line;
        restored.push_back(line.substr(line.find(" = ")));
    }
    std::sort(restored.begin(), restored.end());
    EXPECT_EQ(restored, archived);
}

// A SIM with three free slots takes three messages; the restore stops at
// the refusal and says how far it got; the phone store is not touched.
TEST_F(Keeping, AFullStoreStopsTheRestore)
{
    start();
    archive();
    deleteAll();
    for (int slot = 4; slot <= SimCapacity; ++slot)
        ASSERT_EQ(phone->sim().control("set sms.SM." + std::to_string(slot) + " 1 " + AuguriNatale), "OK");
    phone->clearTranscript();
    restore();
    EXPECT_EQ(statusOf(form()), u("Ripristinati 3 sms, 11 non ripristinati: memoria SIM piena.."));
    EXPECT_EQ(count("AT+CMGW="), 4); // the fourth refused
    EXPECT_EQ(count("AT+CPMS=ME"), 0);
    EXPECT_EQ(stores().size(), size_t(SimCapacity));
}

// Copy and move both ways: the message is written to the first free slot
// of the other store with its status, read back, and only then, for a
// move, deleted; the rows of both slots change.
TEST_F(Keeping, CopyAndMoveBetweenTheStores)
{
    struct Case {
        const char* entry;
        int row;
        const char* from;
        int fromSlot;
        const char* to;
        int toSlot;
        bool move;
        const char* status;
    } const cases[] = {
        {"Copia nel cellulare", 0, "SM", 1, "ME", 5, false,
         "SMS copiato nel cellulare in posizione 5.. SIM 9/20, cellulare 6/150"},
        {"Sposta nella SIM", SimCapacity + 0, "ME", 1, "SM", 4, true,
         "SMS spostato nella SIM in posizione 4.. SIM 10/20, cellulare 5/150"},
        {"Sposta nel cellulare", 2, "SM", 3, "ME", 1, true,
         "SMS spostato nel cellulare in posizione 1.. SIM 9/20, cellulare 6/150"},
        {"Copia nella SIM", SimCapacity + 3, "ME", 4, "SM", 3, false,
         "SMS copiato nella SIM in posizione 3.. SIM 10/20, cellulare 6/150"},
    };
    start();
    readList();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.entry);
        const std::string original = slot(c.from, c.fromSlot);
        ASSERT_FALSE(original.empty());
        ASSERT_TRUE(slot(c.to, c.toSlot).empty());
        const QString originalRow = form().List1->List(c.row);
        form().Stato(QString());
        ASSERT_TRUE(fromMenu(u(c.entry), c.row));
        ASSERT_TRUE(ended(u("SMS "))) << panel().toStdString();
        EXPECT_EQ(panel(), u(c.status));
        EXPECT_EQ(slot(c.to, c.toSlot), original);
        EXPECT_EQ(slot(c.from, c.fromSlot), c.move ? std::string() : original);
        const int toRow = (std::string(c.to) == "SM" ? 0 : SimCapacity) + c.toSlot - 1;
        EXPECT_EQ(body(form().List1->List(toRow)), body(originalRow));
        EXPECT_EQ(body(form().List1->List(c.row)),
                  c.move ? store::EmptyBody(allColumns(), form().LungNumero) : body(originalRow));
    }
    // A row with no message offers neither.
    EXPECT_EQ(entries(5),
              QStringList({u("Esporta messaggi…"), u("Archivia sms…"), u("Ripristina sms sul cellulare…")}));
}

// A move whose write the phone refuses, or finds no room for, leaves the
// original where it was and says why.
TEST_F(Keeping, ARefusedWriteLeavesTheOriginal)
{
    start();
    readList();
    const QString row = form().List1->List(0);
    struct Case {
        std::vector<std::string> controls;
        const char* status;
    } const cases[] = {
        {{"fault error on +CMGW"}, "Spostamento fallito: scrittura rifiutata.."},
        {{"set sms.ME.capacity 6", std::string("set sms.ME.5 1 ") + AuguriNatale},
         "Spostamento fallito: memoria cellulare piena.."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.status);
        for (const std::string& control : c.controls)
            ASSERT_EQ(phone->sim().control(control), "OK") << control;
        const std::vector<std::string> before = stores();
        phone->clearTranscript();
        form().Stato(QString());
        ASSERT_TRUE(fromMenu(u("Sposta nel cellulare"), 0));
        ASSERT_TRUE(ended(u("Spostamento"))) << panel().toStdString();
        EXPECT_EQ(panel(), u(c.status));
        EXPECT_EQ(stores(), before);
        EXPECT_EQ(count("AT+CMGD="), 0);
        EXPECT_EQ(form().List1->List(0), row);
        ASSERT_EQ(phone->sim().control("fault error off"), "OK");
    }
}

// A line lost during a move, at the write or at the read-back of the copy:
// the original stays where it was and its row as it was, nothing is deleted.
TEST_F(Keeping, ALostLineLeavesTheOriginal)
{
    // "Sposta nel cellulare" on SIM 1 writes phone slot 5 and reads it back.
    const std::pair<const char*, const char*> cases[] = {{"fault drop on +CMGW", "AT+CMGW="},
                                                         {"fault drop on +CMGR=5", "AT+CMGR=5"}};
    for (const auto& [fault, lost] : cases) {
        SCOPED_TRACE(fault);
        start();
        readList();
        const std::string original = slot("SM", 1);
        ASSERT_FALSE(original.empty());
        const QString row = form().List1->List(0);
        ASSERT_EQ(phone->sim().control(fault), "OK");
        phone->clearTranscript();
        ASSERT_TRUE(fromMenu(u("Sposta nel cellulare"), 0));
        ASSERT_TRUE(e2e::waitFor([&] { return !form().PortOpen() && form().ComandoLibero; }));
        EXPECT_TRUE(panel().startsWith(u("ERRORE DI CONNESSIONE.. "))) << panel().toStdString();
        ASSERT_FALSE(phone->commands().empty());
        EXPECT_EQ(phone->commands().back().rfind(lost, 0), 0u) << phone->commands().back(); // the line lost there
        EXPECT_EQ(count("AT+CMGD="), 0);
        EXPECT_EQ(slot("SM", 1), original);
        EXPECT_EQ(form().List1->List(0), row);
    }
}

// A message the archive cannot read is named and left out, never written
// empty.
TEST_F(Keeping, AMessageThatCannotBeReadIsNamed)
{
    start("fault.listing = on omit 3\nfault.error = on AT+CMGR=3\n");
    archive();
    EXPECT_EQ(panel(), u("Archiviati 12 sms in ") + target + u(", 2 non letti (S:03, C:003).."));
    const store::ArchiveRead file = store::ReadArchive(readFile(target));
    ASSERT_TRUE(file.ok);
    EXPECT_EQ(file.messages.size(), 12u);
    for (const store::ArchivedMessage& message : file.messages)
        EXPECT_NE(message.slot, 3);
}

// The SIM at 9 of 10: after the list read one question, No by default,
// asked once a connection. No deletes nothing; Yes archives both stores,
// checks the file, then deletes the SIM's messages one by one.
const std::string NearlyFullSim = std::string("sms.SM.12 =\nsms.SM.14 =\nsms.SM.capacity = 10\nsms.SM.4 = 1 ")
                                  + AuguriNatale + "\nsms.SM.6 = 1 " + AuguriNatale + "\n";

class NearlyFull : public Keeping {
protected:
    QMessageBox* question() { return form().findChild<QMessageBox*>(QStringLiteral("QuasiPiena")); }
    void answer(QMessageBox::StandardButton button)
    {
        ASSERT_TRUE(e2e::waitFor([&] { return question() && question()->isVisible(); }));
        EXPECT_EQ(question()->text(),
                  u("Memoria SIM quasi piena (9 di 10). Archiviare gli sms della SIM e cancellarli?"));
        EXPECT_EQ(question()->defaultButton(), question()->button(QMessageBox::No));
        QPointer<QMessageBox> box = question();
        box->button(button)->click();
        ASSERT_TRUE(e2e::waitFor([&] { return box.isNull(); }));
    }
};

TEST_F(NearlyFull, NoKeepsEverythingAndAsksNoMore)
{
    start(NearlyFullSim);
    readList();
    const std::vector<std::string> before = stores(); // read, as the list read left them
    EXPECT_EQ(panel(), u("Lettura elenco sms terminata.. SIM 9/10, cellulare 5/150"));
    answer(QMessageBox::No);
    EXPECT_EQ(stores(), before);
    EXPECT_FALSE(QFile::exists(target));
    readList();
    EXPECT_EQ(question(), nullptr);
}

TEST_F(NearlyFull, YesArchivesThenDeletesTheSimsMessages)
{
    start(NearlyFullSim);
    readList();
    const std::vector<std::string> before = stores();
    phone->clearTranscript();
    answer(QMessageBox::Yes);
    ASSERT_TRUE(ended(u("Archiviati"))) << panel().toStdString();
    EXPECT_EQ(panel(),
              u("Archiviati 14 sms in ") + target + u(".. Cancellati 9 sms della SIM.. SIM 0/10, cellulare 5/150"));
    const store::ArchiveRead file = store::ReadArchive(readFile(target));
    ASSERT_TRUE(file.ok);
    EXPECT_EQ(file.messages.size(), 14u);
    std::vector<std::string> phoneOnly;
    for (const std::string& line : before) {
        if (line.rfind("sms.ME.", 0) == 0)
            phoneOnly.push_back(line);
    }
    EXPECT_EQ(stores(), phoneOnly);
    EXPECT_EQ(count("AT+CMGD="), 9);
}

// An archive the disk cannot take: the old file stays as it was, the
// status says so, and nothing is deleted. A full disk is a file-size limit
// here (the write fails with EFBIG, as it would with ENOSPC).
TEST_F(NearlyFull, AnArchiveThatCannotBeWrittenDeletesNothing)
{
    start(NearlyFullSim);
    const QByteArray old = "ZIRCALO archivio sms 1\nfine 0\n";
    {
        QFile file(target);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(old);
    }
    readList();
    const std::vector<std::string> before = stores();
    phone->clearTranscript();
    {
        FileSizeLimit limit(old.size() + 100);
        ASSERT_TRUE(limit.set());
        answer(QMessageBox::Yes);
        ASSERT_TRUE(ended(u("IMPOSSIBILE ARCHIVIARE"))) << panel().toStdString();
    }
    EXPECT_EQ(panel(), u("IMPOSSIBILE ARCHIVIARE: ") + target + u(" Nessun sms cancellato.."));
    EXPECT_EQ(readFile(target), old);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{u("sms.smsarchive")});
    EXPECT_EQ(stores(), before);
    EXPECT_EQ(count("AT+CMGD="), 0);

    // The same through "Archivia sms…".
    {
        FileSizeLimit limit(old.size() + 100);
        ASSERT_TRUE(limit.set());
        form().Stato(QString());
        ASSERT_TRUE(fromMenu(u("Archivia sms…")));
        ASSERT_TRUE(ended(u("IMPOSSIBILE ARCHIVIARE"))) << panel().toStdString();
    }
    EXPECT_EQ(readFile(target), old);
}

} // namespace
