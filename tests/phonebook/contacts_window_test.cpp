// SPDX-License-Identifier: GPL-3.0-or-later
// The contacts that go back to the phone as the user reaches them: a right
// click on List2, an entry of its menu, the dialog filled in and confirmed,
// the window's event loop running, the simulated phone at the other end.
#include "support/e2e.h"

#include "at/cpbw.h"
#include "phone/phonebook/book_rows.h"
#include "phonebook/qstring_printer.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace {

QString u(const char* utf8) { return QString::fromUtf8(utf8); }

// Typed as a keyboard and an input method type it: one key event a
// character, its text whatever the script.
void type(QLineEdit* field, const QString& text)
{
    field->setFocus();
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Backspace);
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(field, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(field, &release);
    }
}

template <typename T> T* child(QDialog& dialog, const char* name)
{
    T* found = dialog.findChild<T*>(QLatin1String(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
}

void click(QDialog& dialog, const char* button)
{
    if (auto* pressed = child<QPushButton>(dialog, button))
        QTest::mouseClick(pressed, Qt::LeftButton);
}

class ContactsWindow : public ::testing::Test {
protected:
    explicit ContactsWindow(const std::string& overrides = std::string()) : phone(e2e::sampleState(overrides)) {}
    void SetUp() override
    {
        ASSERT_TRUE(phone.connect());
        form().show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form()));
        form().Command1_Click();
        ASSERT_GT(form().List2->ListCount(), 0);
    }
    Form1& form() { return phone.form(); }
    QString panel() { return form().StatusBar1->panelText(2); }

    // A click on the row, then a right click on it and `caption` in the
    // menu that opens.
    void fromMenu(int row, const QString& caption)
    {
        QWidget* rows = form().List2->viewport();
        const QPoint at = form().List2->rowRect(row).center();
        QTest::mouseClick(rows, Qt::LeftButton, {}, at);
        ASSERT_EQ(form().List2->ListIndex(), row);
        QMenu* menu = e2e::rightClickMenu(rows, at);
        ASSERT_NE(menu, nullptr);
        const QList<QAction*> actions = menu->actions();
        const auto entry =
            std::find_if(actions.begin(), actions.end(), [&](QAction* action) { return action->text() == caption; });
        ASSERT_NE(entry, actions.end()) << caption.toStdString();
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(*entry).center());
    }
    // Waits for the end of the operation and its last word in panel 2.
    bool ended()
    {
        return e2e::waitFor([&] { return form().ComandoLibero && !panel().endsWith(QLatin1String("in corso..")); });
    }
    std::vector<std::string> writes() const
    {
        std::vector<std::string> found;
        for (const std::string& command : phone.commands()) {
            if (command.rfind("AT+CPBW=", 0) == 0 && command != "AT+CPBW=?")
                found.push_back(command);
        }
        return found;
    }
    // The command lines as their bytes came, before the phone's own
    // editing: a byte below 0x20 is a command of its own to a phone.
    bool everyLinePrintable()
    {
        const std::vector<std::string> lines = phone.sim().receivedLines();
        return !lines.empty() && std::all_of(lines.begin(), lines.end(), [](const std::string& line) {
            return std::all_of(line.begin(), line.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x20; });
        });
    }

    e2e::Phone phone;
};

// The menu of List2 offers the contacts' actions after the export, in order.
TEST_F(ContactsWindow, TheMenuOfThePhoneBook)
{
    QWidget* rows = form().List2->viewport();
    const QPoint at = form().List2->rowRect(1).center();
    QMenu* menu = e2e::rightClickMenu(rows, at);
    ASSERT_NE(menu, nullptr);
    QStringList captions;
    for (QAction* action : menu->actions())
        captions << action->text();
    EXPECT_EQ(captions, (QStringList{u("Aggiungi ai destinatari"), u("Esporta rubrica…"), u("Nuovo contatto…"),
                                     u("Modifica contatto…"), u("Elimina contatto"), u("Importa contatti…"),
                                     u("Scrivi rubrica sul cellulare…")}));
    menu->close();
}

// New contacts with accented and Cyrillic names go to the SIM's free
// indexes 4 and 7, once each; a read of the phone then gives the very rows
// the writes left in the list.
TEST_F(ContactsWindow, NewContactsReadBackExactly)
{
    struct Case {
        const char* name;
        const char* number;
        int index;
        const char* shown;
    };
    const Case cases[] = {
        {"Nicolò Màrtini", "+39 347 765 4321", 4, "+393477654321"},
        {"Мария", "06 123 4567", 7, "061234567"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        phone.clearTranscript();
        e2e::WhenShown dialog(QStringLiteral("Contatto"), [&](QDialog& shown) {
            EXPECT_EQ(child<QComboBox>(shown, "Rubrica")->currentText(), u("SIM"));
            type(child<QLineEdit>(shown, "Nome"), u(c.name));
            type(child<QLineEdit>(shown, "Numero"), u(c.number));
            click(shown, "OK");
        });
        fromMenu(1, u("Nuovo contatto…"));
        ASSERT_TRUE(e2e::waitFor([&] { return dialog.shown == 1; }));
        ASSERT_TRUE(ended());
        EXPECT_EQ(panel(), QStringLiteral("Contatto scritto: SIM %1..").arg(c.index));
        EXPECT_EQ(writes().size(), 1u);
        EXPECT_TRUE(everyLinePrintable());
        const std::optional<phone::Entry> entry = form().Rubrica->entry(c.index);
        ASSERT_TRUE(entry);
        EXPECT_EQ(entry->name, u(c.name));
        EXPECT_EQ(at::ContactNumberText(entry->number, entry->type), u(c.shown));
    }
    const QStringList written = form().Rubrica->texts();
    form().Command1_Click();
    EXPECT_EQ(form().Rubrica->texts(), written);
}

// An edit starts from the entry as the row shows it and writes at its index.
TEST_F(ContactsWindow, EditAnEntry)
{
    phone.clearTranscript();
    e2e::WhenShown dialog(QStringLiteral("Contatto"), [&](QDialog& shown) {
        EXPECT_EQ(child<QLineEdit>(shown, "Nome")->text(), u("Ufficio"));
        EXPECT_EQ(child<QLineEdit>(shown, "Numero")->text(), u("+390123456789"));
        EXPECT_FALSE(child<QComboBox>(shown, "Rubrica")->isEnabled());
        type(child<QLineEdit>(shown, "Nome"), u("Ufficio Roma"));
        click(shown, "OK");
    });
    fromMenu(1, u("Modifica contatto…"));
    ASSERT_TRUE(e2e::waitFor([&] { return dialog.shown == 1; }));
    ASSERT_TRUE(ended());
    EXPECT_EQ(panel(), u("Contatto scritto: SIM 1.."));
    ASSERT_EQ(writes().size(), 1u);
    EXPECT_EQ(writes()[0].rfind("AT+CPBW=1,\"390123456789\",145,", 0), 0u) << writes()[0];
    EXPECT_EQ(form().Rubrica->entry(1)->name, u("Ufficio Roma"));
}

// A deletion asks first, No by default: No sends nothing, Yes deletes and
// the row shows the empty slot.
TEST_F(ContactsWindow, DeleteAsksFirst)
{
    const QString before = form().List2->List(2);
    for (const QMessageBox::StandardButton answer : {QMessageBox::No, QMessageBox::Yes}) {
        phone.clearTranscript();
        e2e::MessageBoxes boxes(answer);
        fromMenu(2, u("Elimina contatto"));
        ASSERT_TRUE(e2e::waitFor([&] { return !boxes.seen.empty(); }));
        ASSERT_TRUE(ended());
        EXPECT_EQ(boxes.seen[0].text, u("Eliminare Marco Rossi dalla SIM?"));
        if (answer == QMessageBox::No) {
            EXPECT_TRUE(writes().empty());
            EXPECT_EQ(form().List2->List(2), before);
        } else {
            EXPECT_EQ(writes(), std::vector<std::string>{"AT+CPBW=2"});
            EXPECT_EQ(panel(), u("Contatto eliminato dalla SIM (posizione 2).."));
            EXPECT_EQ(form().List2->List(2), EmptySlotRow(*form().Rubrica->bookSize(u("SM")), 2));
        }
    }
}

// What the phone cannot take is refused in the dialog, as typed, and
// nothing goes to the phone.
class ContactsRefused : public ContactsWindow {
protected:
    ContactsRefused()
        : ContactsWindow("pb.SM.name_length = 14\npb.ME.1 =\npb.ME.2 =\npb.ME.4 =\npb.ME.7 =\npb.ME.range = 1-2\n"
                         "pb.ME.1 = \"+393479876543\",145,\"Anna\"\npb.ME.2 = \"0612345678\",129,\"Casa\"\n")
    {
    }
};

TEST_F(ContactsRefused, InTheDialogWithNothingSent)
{
    struct Case {
        const char* book;
        const char* name;
        const char* refusal;
    };
    const Case cases[] = {
        {"SIM", "Nicolò Màrtini Rossi", "Sulla SIM questo nome può avere al massimo 14 caratteri"},
        {"Telefono", "Luca", "Rubrica piena"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        phone.clearTranscript();
        QString refusal;
        QString kept;
        e2e::WhenShown dialog(QStringLiteral("Contatto"), [&](QDialog& shown) {
            auto* books = child<QComboBox>(shown, "Rubrica");
            books->setCurrentIndex(books->findText(u(c.book)));
            type(child<QLineEdit>(shown, "Nome"), u(c.name));
            type(child<QLineEdit>(shown, "Numero"), u("3331234567"));
            click(shown, "OK");
            refusal = child<QLabel>(shown, "Rifiuto")->text();
            kept = child<QLineEdit>(shown, "Nome")->text();
            EXPECT_TRUE(shown.isVisible());
            click(shown, "Annulla");
        });
        fromMenu(1, u("Nuovo contatto…"));
        ASSERT_TRUE(e2e::waitFor([&] { return dialog.shown == 1; }));
        ASSERT_TRUE(ended());
        EXPECT_EQ(refusal, u(c.refusal));
        EXPECT_EQ(kept, u(c.name));
        EXPECT_TRUE(phone.commands().empty());
    }
}

// "Scrivi rubrica sul cellulare…" on the book the list was read from:
// every entry is already there, and no "+CPBW" goes out.
TEST_F(ContactsWindow, AnUnchangedBookSendsNoWrite)
{
    phone.clearTranscript();
    e2e::WhenShown dialog(QStringLiteral("ScriviRubrica"), [&](QDialog& shown) {
        EXPECT_EQ(child<QComboBox>(shown, "Rubrica")->currentText(), u("SIM"));
        EXPECT_FALSE(child<QCheckBox>(shown, "CancellaAltre")->isChecked());
        click(shown, "OK");
    });
    fromMenu(3, u("Scrivi rubrica sul cellulare…"));
    ASSERT_TRUE(e2e::waitFor([&] { return dialog.shown == 1; }));
    ASSERT_TRUE(ended());
    EXPECT_EQ(panel(), u("Scritte 0 voci, 7 già uguali.."));
    EXPECT_TRUE(writes().empty());
}

// The fixed-dialling book wants PIN2 to change: its entries say so, and
// nothing goes to the phone.
TEST_F(ContactsWindow, TheFixedDiallingBookIsReadOnly)
{
    const int emergenza = 252 + 102 + 1;
    ASSERT_EQ(form().Rubrica->entry(emergenza)->name, u("Emergenza"));
    for (const char* action : {"Modifica contatto…", "Elimina contatto"}) {
        SCOPED_TRACE(action);
        phone.clearTranscript();
        form().Stato(QString());
        fromMenu(emergenza, u(action));
        ASSERT_TRUE(e2e::waitFor([&] { return !panel().isEmpty(); }));
        EXPECT_EQ(panel(), u("La rubrica FD è di sola lettura (il cellulare vuole il PIN2).."));
        EXPECT_TRUE(phone.commands().empty());
    }
}

// A line lost half-way through a write of a book says how far it got.
TEST_F(ContactsWindow, ALostLineSaysHowFarTheWriteGot)
{
    const at::CpbrRange size = *form().Rubrica->bookSize(u("SM"));
    const int header = form().List2->ListCount();
    QStringList rows{HeaderRow(size)};
    for (int i = 1; i <= 5; ++i)
        rows << EntryRow(size, i, QStringLiteral("+3933300000%1").arg(i), QStringLiteral("Amico %1").arg(i));
    rows << FooterRow(size);
    form().List2->addItems(rows);
    ASSERT_EQ(phone.sim().control("fault drop on +CPBW=3"), "OK");
    e2e::WhenShown dialog(QStringLiteral("ScriviRubrica"), [&](QDialog& shown) { click(shown, "OK"); });
    fromMenu(header + 1, u("Scrivi rubrica sul cellulare…"));
    ASSERT_TRUE(e2e::waitFor([&] { return dialog.shown == 1; }));
    ASSERT_TRUE(e2e::waitFor([&] { return form().ComandoLibero && panel().startsWith(u("Scrittura interrotta")); }));
    EXPECT_EQ(panel(), u("Scrittura interrotta a SIM 3 (voce 3 di 5): linea col cellulare persa, voci scritte non "
                         "rilette. Scritte 2 voci, 0 già uguali.."));
    EXPECT_EQ(form().StatusBar1->panelText(1), u("DICONNESSO"));
}

// The main sample's SIM, saved as a .RDS and restored to an empty SIM: one
// write an entry, and a read of the phone gives the rows of the file. A
// name the new SIM cannot hold is refused and counted, the rest goes on.
// Before the phone books are read, a new contact needs them read, and the
// read replaces the list: a list that is on no phone (here imported) goes
// only when the user says so.
class ContactsBeforeARead : public ContactsWindow {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(phone.connect());
        form().show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form()));
    }
    std::vector<std::string> bookCommands() const
    {
        std::vector<std::string> found;
        for (const std::string& command : phone.commands()) {
            if (command.rfind("AT+CPB", 0) == 0)
                found.push_back(command);
        }
        return found;
    }
};

TEST_F(ContactsBeforeARead, TheReadANewContactNeedsAsksBeforeReplacingTheList)
{
    form().DialogoImporta->chooser = [](bool) { return QStringLiteral(PHONEBOOK_DATA "/contatti-21.vcf"); };
    form().ImportaContatti();
    const QStringList imported = form().Rubrica->texts();
    ASSERT_EQ(imported.size(), 5);
    phone.clearTranscript();
    {
        e2e::MessageBoxes boxes(QMessageBox::No);
        fromMenu(1, u("Nuovo contatto…"));
        ASSERT_TRUE(e2e::waitFor([&] { return !boxes.seen.empty(); }));
        ASSERT_TRUE(ended());
        EXPECT_EQ(
            boxes.seen[0].text,
            u("Per scrivere un contatto serve la rubrica del cellulare: leggerla al posto della lista mostrata?"));
        EXPECT_EQ(form().Rubrica->texts(), imported);
        EXPECT_TRUE(bookCommands().empty());
    }
    // Yes: the books are read, then the contact is asked for.
    e2e::MessageBoxes boxes(QMessageBox::Yes);
    e2e::WhenShown dialog(QStringLiteral("Contatto"), [&](QDialog& shown) { click(shown, "Annulla"); });
    fromMenu(1, u("Nuovo contatto…"));
    ASSERT_TRUE(e2e::waitFor([&] { return dialog.shown == 1; }));
    ASSERT_TRUE(ended());
    EXPECT_EQ(boxes.seen.size(), 1u);
    EXPECT_FALSE(form().Rubrica->books().empty());
    EXPECT_TRUE(writes().empty());
}

TEST(WriteBook, RestoreASavedFileToAnEmptySim)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString file = dir.filePath(QStringLiteral("rubrica.rds"));
    QStringList saved;
    {
        e2e::Phone source;
        ASSERT_TRUE(source.connect());
        source.form().Command1_Click();
        source.form().CommonDialog1->chooser = [&](bool) { return file; };
        source.form().Command7_Click();
        ASSERT_EQ(source.form().StatusBar1->panelText(2), u("SALVATAGGIO ULTIMATO"));
        saved = source.form().Rubrica->texts();
    }
    e2e::Phone target(e2e::sampleState("pb.SM.1 =\npb.SM.2 =\npb.SM.3 =\npb.SM.5 =\npb.SM.6 =\npb.SM.8 =\n"
                                       "pb.SM.11 =\n"));
    ASSERT_TRUE(target.connect());
    Form1& form = target.form();
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    form.CommonDialog1->chooser = [&](bool) { return file; };
    form.Command8_Click();
    ASSERT_EQ(form.Rubrica->texts(), saved);

    target.clearTranscript();
    e2e::WhenShown dialog(QStringLiteral("ScriviRubrica"), [&](QDialog& shown) {
        EXPECT_EQ(child<QComboBox>(shown, "Rubrica")->currentText(), u("SIM"));
        click(shown, "OK");
    });
    QWidget* rows = form.List2->viewport();
    const QPoint at = form.List2->rowRect(2).center();
    QTest::mouseClick(rows, Qt::LeftButton, {}, at);
    QMenu* menu = e2e::rightClickMenu(rows, at);
    ASSERT_NE(menu, nullptr);
    QAction* write = menu->actions().last();
    ASSERT_EQ(write->text(), u("Scrivi rubrica sul cellulare…"));
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(write).center());
    ASSERT_TRUE(e2e::waitFor([&] { return dialog.shown == 1; }));
    ASSERT_TRUE(e2e::waitFor(
        [&] { return form.ComandoLibero && form.StatusBar1->panelText(2).startsWith(QLatin1String("Scritte")); }));
    EXPECT_EQ(form.StatusBar1->panelText(2), u("Scritte 7 voci, 0 già uguali.."));
    EXPECT_FLOAT_EQ(form.ProgressBar1->Max(), 7.0f);
    EXPECT_FLOAT_EQ(form.ProgressBar1->Value(), 7.0f);
    size_t written = 0;
    for (const std::string& command : target.commands())
        written += command.rfind("AT+CPBW=", 0) == 0 && command != "AT+CPBW=?";
    EXPECT_EQ(written, 7u);

    form.Command1_Click();
    EXPECT_EQ(form.Rubrica->texts(), saved);
}

// A vCard 2.1 file of an old phone: quoted-printable accents, a name cut
// by a soft line break, a contact with two numbers, one without any. Its
// contacts join the list as a section of their own, not on the phone; that
// section written to the SIM takes what the SIM can hold and counts the rest.
TEST_F(ContactsWindow, ImportAVCardAndWriteItToTheSim)
{
    const int before = form().List2->ListCount();
    form().DialogoImporta->chooser = [](bool save) {
        EXPECT_FALSE(save);
        return QStringLiteral(PHONEBOOK_DATA "/contatti-21.vcf");
    };
    fromMenu(1, u("Importa contatti…"));
    ASSERT_TRUE(e2e::waitFor([&] { return form().List2->ListCount() > before; }));
    EXPECT_EQ(form().DialogoImporta->Filter, u("vCard (*.vcf);;File CSV (*.csv)"));
    EXPECT_EQ(panel(), u("Importati 3 contatti, 1 saltato (Luca Bianchi: nessun numero), non ancora sul cellulare.."));
    at::CpbrRange size;
    size.valid = true;
    size.first = 1;
    size.last = 3;
    size.numberLength = form().LungNumero;
    size.nameLength = form().LungNome;
    const QStringList added = form().Rubrica->texts().mid(before);
    EXPECT_EQ(added,
              (QStringList{HeaderRow(size), EntryRow(size, 0, u("+393471234567"), u("Nicolò Màrtini (cellulare)")),
                           EntryRow(size, 0, u("061234567"), u("Nicolò Màrtini (casa)")),
                           EntryRow(size, 0, u("+79123456789"), u("Мария")), FooterRow(size)}));

    phone.clearTranscript();
    e2e::WhenShown dialog(QStringLiteral("ScriviRubrica"), [&](QDialog& shown) { click(shown, "OK"); });
    fromMenu(before + 3, u("Scrivi rubrica sul cellulare…"));
    ASSERT_TRUE(e2e::waitFor([&] { return dialog.shown == 1; }));
    ASSERT_TRUE(ended());
    EXPECT_EQ(panel(), u("Scritta 1 voce, 0 già uguali, 2 rifiutate (nome troppo lungo).."));
    EXPECT_EQ(writes().size(), 1u);
    EXPECT_EQ(form().Rubrica->entry(4)->name, u("Мария"));
}

} // namespace
