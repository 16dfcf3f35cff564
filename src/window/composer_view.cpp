// SPDX-License-Identifier: GPL-3.0-or-later
// The window's side of sending (phone/sending): "Invia SMS" to one or
// several recipients, the recipients added from the phone book, the
// character counter, "ZIP SMS", the focus selections and the sent
// counter's "Reset".
#include "at/delivery.h"
#include "at/numbers.h"
#include "at/windows1252.h"
#include "phone/phonebook/book_rows.h"
#include "phone/phonebook/phonebook.h"
#include "phone/sending/compose.h"
#include "phone/sending/recipients.h"
#include "phone/sending/sender.h"
#include "window/form1.h"

namespace {

const QString kErrorTitle = QStringLiteral("ERRORE!!");

// The refusal of a send that the encoder cannot build.
QString refusalOf(SubmitPdu::Error error)
{
    switch (error) {
    case SubmitPdu::Error::BadRecipient:
        return QStringLiteral("Destinatario non valido!!");
    case SubmitPdu::Error::BadServiceCentre:
        return QStringLiteral("Centro servizi non valido!!");
    case SubmitPdu::Error::TooLong:
        return QStringLiteral("Testo troppo lungo!!");
    case SubmitPdu::Error::None:
        break;
    }
    return QString();
}

} // namespace

void Form1::Command5_Click() { InviaSms(Text2->text(), Text1->text()); }

QString Form1::NomeInRubrica(const QString& number) const
{
    for (int row = 0; row < Rubrica->count(); ++row) {
        const std::optional<QString> name = NameInRow(Rubrica->text(row), number, LungNumero, LungNome);
        if (name && !at::TrimSpaces(*name).isEmpty())
            return at::TrimSpaces(*name);
    }
    // "3471234567" written, "+393471234567" in the book.
    for (int row = 0; row < Rubrica->count(); ++row) {
        const std::optional<phone::Entry> entry = Rubrica->entry(row);
        if (entry && !at::TrimSpaces(entry->name).isEmpty() && at::SameNumber(entry->number, number))
            return at::TrimSpaces(entry->name);
    }
    return QString();
}

QString Form1::NomeDestinatario(const phone::Recipient& recipient) const
{
    if (!recipient.name.isEmpty())
        return recipient.name;
    const QString name = NomeInRubrica(recipient.number);
    return name.isEmpty() ? recipient.written : name;
}

bool Form1::InviaSms(const QString& destinatari, const QString& testo)
{
    LongOperation operation(*this, PortaNonAperta);
    if (!operation.taken())
        return false;
    const phone::RecipientList list = phone::ParseRecipients(destinatari);
    if (list.recipients.empty()) {
        MsgBox(QStringLiteral("Manca destiantario!!"), kErrorTitle, QMessageBox::Critical);
        return false;
    }
    const QString serviceCentre = at::TrimSpaces(Text4->text());
    if (serviceCentre.isEmpty()) {
        MsgBox(QStringLiteral("Manca centro servizi!!"), kErrorTitle, QMessageBox::Critical);
        return false;
    }
    phone::Outgoing outgoing;
    outgoing.serviceCentre = serviceCentre;
    outgoing.text = testo;
    // A greyed box counts as set.
    outgoing.flash = Check1->checkState() != Qt::Unchecked;
    outgoing.statusReport = Check2->checkState() != Qt::Unchecked;
    outgoing.longSms = Check8->isChecked();

    // Each recipient's message is checked before any goes: a bad one
    // stops them all, named when there are several.
    std::vector<phone::Outgoing> messages;
    std::vector<QString> who;
    SubmitParts first;
    for (const phone::Recipient& recipient : list.recipients) {
        phone::Outgoing message = outgoing;
        // "347 123 4567" is a number too: its grouping goes before the address is built.
        message.number = recipient.number;
        message.name = NomeDestinatario(recipient);
        const SubmitParts encoded = Invio->encode(message);
        if (encoded.error == SubmitPdu::Error::BadRecipient && list.recipients.size() > 1) {
            MsgBox(QStringLiteral("Destinatario non valido: «%1»!!").arg(recipient.written), kErrorTitle,
                   QMessageBox::Critical);
            return false;
        }
        if (encoded.error != SubmitPdu::Error::None) {
            MsgBox(refusalOf(encoded.error), kErrorTitle, QMessageBox::Critical);
            return false;
        }
        if (messages.empty())
            first = encoded;
        who.push_back(message.name);
        messages.push_back(message);
    }
    if (!outgoing.longSms) {
        const QList<Replacement> replaced = ReplacedCharacters(outgoing.text);
        if (!replaced.isEmpty() && !Conferma(ReplacementQuestion(replaced), QStringLiteral("ATTENZIONE!!")))
            return false;
    }
    QString status;
    bool whole = false;
    if (messages.size() == 1) {
        const phone::SendOutcome outcome = Invio->sendMessage(operation, messages.front(), first);
        status = outcome.status;
        whole = outcome.kind == phone::SendOutcome::Sent;
    } else {
        int reached = 0;
        status = Invio->sendToEach(operation, messages, who, &reached);
        whole = reached == int(messages.size());
    }
    // The send is told first; a record that could not be written, after it.
    if (Invio->recordUnsaved)
        status += QStringLiteral(" Registro degli sms inviati non scritto: ") + Invio->record.fileName();
    Stato(status);
    return whole;
}

// "Aggiungi ai destinatari": the selected entry of the phone book after
// the recipients already in "Invio a:".
void Form1::AggiungiDestinatario()
{
    const std::optional<QString> picked = PickedRecipient(List2->List(List2->ListIndex()));
    if (!picked || at::TrimSpaces(RecipientFromField(*picked)).isEmpty())
        return Stato(QStringLiteral("Nessuna voce della rubrica selezionata.."));
    Text2->setText(phone::WithRecipient(Text2->text(), *picked));
}

void Form1::Text1_Change()
{
    // Without "SMS lungo", the septets the text goes out as: an escape pair
    // counts two, a line break (CR LF) two, a transliterated character as
    // what it becomes.
    Label3->setText(CounterText(Text1->text(), Check8->isChecked()));
}

void Form1::Check8_Click()
{
    // The limit counts as the counter does.
    if (Check8->isChecked())
        Text1->setMaxLength(kLongSmsLimit, LongSmsLength);
    else
        Text1->setMaxLength(160, GsmSeptets);
    Text1_Change();
}

void Form1::Text1_Truncated(int kept)
{
    Stato(QStringLiteral("Testo troppo lungo: tenuti i primi %1 caratteri..").arg(kept));
}

void Form1::Text1_GotFocus() { Text1->setSelection(0, int(Text1->text().size())); }

void Form1::Text2_GotFocus() { Text2->setSelection(0, int(Text2->text().size())); }

void Form1::Command12_Click()
{
    Text1->setText(ZipSms(Text1->text(), [this] { DoEvents(); }));
}

void Form1::Command10_Click() { Invio->setSent(0); }
