// SPDX-License-Identifier: GPL-3.0-or-later
// The window's side of sending (phone/sending): "Invia SMS", the character
// counter, "ZIP SMS", the focus selections and the sent counter's "Reset".
#include "at/numbers.h"
#include "at/windows1252.h"
#include "phone/sending/compose.h"
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

void Form1::Command5_Click()
{
    LongOperation operation(*this, PortaNonAperta);
    if (!operation.taken())
        return;
    const QString recipient = RecipientFromField(Text2->text());
    if (recipient.isEmpty()) {
        MsgBox(QStringLiteral("Manca destiantario!!"), kErrorTitle, QMessageBox::Critical);
        return;
    }
    const QString serviceCentre = at::TrimSpaces(Text4->text());
    if (serviceCentre.isEmpty()) {
        MsgBox(QStringLiteral("Manca centro servizi!!"), kErrorTitle, QMessageBox::Critical);
        return;
    }
    phone::Outgoing outgoing;
    outgoing.serviceCentre = serviceCentre;
    // "347 123 4567" is a number too: its grouping goes before the address is built.
    outgoing.number = at::DialledNumber(recipient);
    outgoing.text = Text1->text();
    // A greyed box counts as set.
    outgoing.flash = Check1->checkState() != Qt::Unchecked;
    outgoing.statusReport = Check2->checkState() != Qt::Unchecked;
    outgoing.longSms = Check8->isChecked();
    const SubmitParts message = Invio->encode(outgoing);
    if (message.error != SubmitPdu::Error::None) {
        MsgBox(refusalOf(message.error), kErrorTitle, QMessageBox::Critical);
        return;
    }
    if (!outgoing.longSms) {
        const QList<Replacement> replaced = ReplacedCharacters(outgoing.text);
        if (!replaced.isEmpty() && !Conferma(ReplacementQuestion(replaced), QStringLiteral("ATTENZIONE!!")))
            return;
    }
    Stato(Invio->send(operation, outgoing, message));
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
