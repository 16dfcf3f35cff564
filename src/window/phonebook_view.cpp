// SPDX-License-Identifier: GPL-3.0-or-later
// "Leggi rubrica da Cellulare", "Salva rubrica", "Carica rubrica", the
// search field, the pick of a recipient from List2 and the vCards: the
// window's side of the phone books (phone/phonebook).
#include "at/numbers.h"
#include "phone/phonebook/book_rows.h"
#include "phone/phonebook/phonebook.h"
#include "phone/savefile.h"
#include "window/form1.h"

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
