// SPDX-License-Identifier: GPL-3.0-or-later
// "Leggi rubrica da Cellulare", "Salva rubrica", "Carica rubrica", the
// search field, the pick of a recipient from List2, the vCards and the
// contacts that go back to the phone: the window's side of the phone books
// (phone/phonebook).
#include "at/cpbw.h"
#include "at/numbers.h"
#include "phone/phonebook/book_rows.h"
#include "phone/phonebook/phonebook.h"
#include "phone/savefile.h"
#include "window/contact_dialogs.h"
#include "window/form1.h"

#include <algorithm>

void Form1::Command1_Click()
{
    LongOperation operation(*this, PortaNonAperta);
    if (!operation.taken())
        return;
    if (const std::optional<QString> status = Rubrica->read(operation))
        Stato(*status);
}

void Form1::Command7_Click()
{
    LongOperation operation(*this);
    if (!operation.taken())
        return;
    CommonDialog1->Filter = QStringLiteral("*.RDS");
    CommonDialog1->ShowSave();
    const QString chosen = CommonDialog1->FileName;
    if (chosen.isEmpty() || List2->ListCount() == 0) {
        Stato(QStringLiteral("IMPOSSIBILE SALVARE"));
        return;
    }
    Stato(QStringLiteral("SALVATAGGIO IN CORSO"));
    Stato(Rubrica->save(RdsSaveName(chosen)) ? QStringLiteral("SALVATAGGIO ULTIMATO")
                                             : QStringLiteral("IMPOSSIBILE SALVARE"));
}

void Form1::Command8_Click()
{
    LongOperation operation(*this);
    if (!operation.taken())
        return;
    CommonDialog1->Filter = QStringLiteral("*.RDS");
    CommonDialog1->ShowOpen();
    const QString chosen = CommonDialog1->FileName;
    if (chosen.isEmpty() || !IsRdsName(chosen)) {
        Stato(QStringLiteral("IMPOSSIBILE CARICARE"));
        return;
    }
    Stato(QStringLiteral("CARICAMENTO IN CORSO"));
    Stato(Rubrica->load(chosen));
}

void Form1::Text5_Change()
{
    const QString typed = Text5->text();
    const QString wanted = at::TrimSpaces(typed);
    if (wanted.isEmpty())
        return;
    phone::RowYield yield(*this);
    for (int i = 0; i < List2->ListCount(); ++i) {
        yield();
        // A keystroke during the yield has started a newer search, which
        // has already run to its end: this one must not select after it.
        if (Text5->text() != typed)
            return;
        if (List2->List(i).contains(wanted, Qt::CaseInsensitive)) {
            List2->setListIndex(i);
            return;
        }
    }
}

void Form1::List2_Click()
{
    if (const std::optional<QString> picked = PickedRecipient(List2->List(List2->ListIndex())))
        Text2->setText(*picked);
}

// The phone book as vCards: its entries with their names and numbers.
void Form1::EsportaRubrica()
{
    const std::vector<PhonebookEntry> entries = Rubrica->vcardEntries();
    if (entries.empty()) {
        Stato(QStringLiteral("Rubrica vuota: niente da esportare.."));
        return;
    }
    DialogoEsporta->Filter = QStringLiteral("vCard (*.vcf)");
    DialogoEsporta->ShowSave();
    if (DialogoEsporta->FileName.isEmpty())
        return;
    const QString fileName = WithSuffix(DialogoEsporta->FileName, QStringLiteral("vcf"));
    if (!SaveVerified(fileName, VCards(entries))) {
        Stato(QStringLiteral("IMPOSSIBILE ESPORTARE: ") + fileName);
        return;
    }
    Stato(QStringLiteral("Esportazione terminata: %1 voci in %2").arg(entries.size()).arg(fileName));
}

// "Nuovo contatto…": a contact for the book of the selected section, the
// SIM when none is selected.
void Form1::NuovoContatto()
{
    phone::Contact contact;
    if (const std::optional<phone::Entry> selected = Rubrica->entry(List2->ListIndex()))
        contact.book = selected->book;
    scriviContatto(contact);
}

// "Modifica contatto…": the selected entry, at its index; an empty slot
// takes a contact at its index.
void Form1::ModificaContatto()
{
    const std::optional<phone::Entry> selected = Rubrica->entry(List2->ListIndex());
    if (!selected || selected->book.isEmpty()) {
        Stato(QStringLiteral("Nessuna voce del cellulare selezionata.."));
        return;
    }
    const QString number =
        selected->type != 0 ? at::ContactNumberText(selected->number, selected->type) : selected->number;
    scriviContatto({selected->book, selected->index, selected->name, number});
}

void Form1::scriviContatto(const phone::Contact& editing)
{
    // The fixed-dialling book is read-only: nothing to ask, nothing to send.
    if (editing.book == QLatin1String("FD")) {
        Stato(Rubrica->refusal(editing));
        return;
    }
    LongOperation operation(*this, PortaNonAperta);
    if (!operation.taken())
        return;
    // The books the phone has, and their free entries, come from a read.
    // The read replaces the rows: a list loaded or imported, which may be on
    // no phone and in no file, goes only when the user says so.
    if (Rubrica->books().empty()) {
        if (Rubrica->count() > 0
            && !Conferma(QStringLiteral("Per scrivere un contatto serve la rubrica del cellulare: leggerla al posto "
                                        "della lista mostrata?"),
                         QStringLiteral("Nuovo contatto")))
            return;
        const std::optional<QString> read = Rubrica->read(operation);
        if (!read)
            return;
        Stato(*read);
    }
    std::vector<QString> books = Rubrica->books();
    books.erase(std::remove(books.begin(), books.end(), QStringLiteral("FD")), books.end());
    if (books.empty()) {
        Stato(QStringLiteral("Il cellulare non dà rubriche in cui scrivere.."));
        return;
    }
    ContactDialog dialog(this, books, editing);
    dialog.check = [this](const phone::Contact& contact) { return Rubrica->refusal(contact); };
    if (dialog.exec() != QDialog::Accepted || operation.lineLost())
        return;
    Stato(QStringLiteral("Scrittura contatto in corso.."));
    if (const std::optional<QString> status = Rubrica->writeContact(operation, dialog.contact()))
        Stato(*status);
}

// "Elimina contatto": the selected entry, once the user said yes.
void Form1::EliminaContatto()
{
    const int row = List2->ListIndex();
    const std::optional<phone::Entry> selected = Rubrica->entry(row);
    if (!selected || selected->book.isEmpty() || (selected->name.isEmpty() && selected->number.isEmpty())) {
        Stato(QStringLiteral("Nessun contatto del cellulare selezionato.."));
        return;
    }
    if (selected->book == QLatin1String("FD")) {
        Stato(Rubrica->refusal({selected->book, selected->index, selected->name, selected->number}));
        return;
    }
    LongOperation operation(*this, PortaNonAperta);
    if (!operation.taken())
        return;
    const QString who = selected->name.isEmpty() ? selected->number : selected->name;
    if (!Conferma(QStringLiteral("Eliminare %1 %2?").arg(who, phone::FromBook(selected->book)),
                  QStringLiteral("Elimina contatto")))
        return;
    if (const std::optional<QString> status = Rubrica->deleteContact(operation, row))
        Stato(*status);
}

// "Importa contatti…": the contacts of a vCard or CSV file join List2 as a
// section of their own.
void Form1::ImportaContatti()
{
    // The rows change: not while an operation of the phone writes them.
    LongOperation operation(*this);
    if (!operation.taken())
        return;
    DialogoImporta->Filter = QStringLiteral("vCard (*.vcf);;File CSV (*.csv)");
    DialogoImporta->ShowOpen();
    const QString chosen = DialogoImporta->FileName;
    if (chosen.isEmpty())
        return;
    // No address book comes near this size.
    constexpr qint64 kMaxImportBytes = 16 * 1024 * 1024;
    const std::optional<QByteArray> bytes = ReadRegularFile(chosen, kMaxImportBytes);
    if (!bytes) {
        Stato(QStringLiteral("IMPOSSIBILE IMPORTARE: ") + chosen);
        return;
    }
    const bool csv =
        chosen.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive) && !bytes->trimmed().startsWith("BEGIN:VCARD");
    Stato(Rubrica->addImported(csv ? phone::ImportCsv(*bytes) : phone::ImportVCards(*bytes)));
}

// "Scrivi rubrica sul cellulare…": the section of the selected row written
// to the book chosen, by default the one it came from.
void Form1::ScriviRubrica()
{
    const int row = List2->ListIndex();
    if (Rubrica->count() == 0) {
        Stato(QStringLiteral("Rubrica vuota: niente da scrivere.."));
        return;
    }
    LongOperation operation(*this, PortaNonAperta);
    if (!operation.taken())
        return;
    const std::optional<phone::Entry> selected = Rubrica->entry(row);
    const QString from = selected && !selected->book.isEmpty() ? selected->book : QStringLiteral("SM");
    std::vector<QString> books = Rubrica->books();
    if (books.empty())
        books = {QStringLiteral("SM"), QStringLiteral("ME")};
    WriteBookDialog dialog(this, books, from);
    if (dialog.exec() != QDialog::Accepted || operation.lineLost() || dialog.book().isEmpty())
        return;
    if (const std::optional<QString> status = Rubrica->writeBook(operation, row, dialog.book(), dialog.deleteOthers()))
        Stato(*status);
}
