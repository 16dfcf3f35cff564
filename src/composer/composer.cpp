// SPDX-License-Identifier: GPL-3.0-or-later
// "Invia SMS", the character counter, "ZIP SMS", the focus selections and
// the sent counter's "Reset".
#include "composer/composer.h"

#include "at/errors.h"
#include "at/glyphs.h"
#include "at/numbers.h"
#include "at/windows1252.h"
#include "link/phonelink.h"
#include "pdu/pdu.h"
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

QString RecipientFromField(const QString& field)
{
    const qsizetype bar = field.indexOf(at::kBar);
    return at::TrimSpaces(bar < 0 ? field : field.left(bar));
}

QString SendFailure(const QString& failure, const QString& answer, const QString& extendedError, phonelink::GiveUp why)
{
    QString reason = at::ErrorReason(extendedError);
    if (reason.isEmpty() && phonelink::gaveUp(answer))
        reason = phonelink::GiveUpText(why);
    return reason.isEmpty() ? failure + QStringLiteral("..")
                            : failure + QStringLiteral(": ") + reason + QStringLiteral("..");
}

QString ZipSms(const QString& text, const std::function<void()>& yield)
{
    QString packed = text + QLatin1Char(' ');
    bool upper = true;
    qsizetype wordStart = 0;
    for (qsizetype i = 0; i < packed.size(); ++i) {
        if (yield)
            yield();
        if (packed.at(i) != QLatin1Char(' '))
            continue;
        // The word with its closing space; every space switches the case,
        // so a second space in a row is an empty word of its own.
        const QString word = packed.mid(wordStart, i - wordStart + 1);
        packed.replace(wordStart, word.size(), upper ? Windows1252Upper(word) : Windows1252Lower(word));
        upper = !upper;
        wordStart = i + 1;
    }
    packed.remove(QLatin1Char(' '));
    return packed;
}

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
    // A greyed box counts as set.
    const bool flash = Check1->checkState() != Qt::Unchecked;
    const bool statusReport = Check2->checkState() != Qt::Unchecked;
    // "347 123 4567" is a number too: its grouping goes before the address is built.
    const SubmitPdu submit =
        EncodeSubmit(serviceCentre, at::DialledNumber(recipient), Text1->text(), flash, statusReport);
    if (submit.error != SubmitPdu::Error::None) {
        MsgBox(refusalOf(submit.error), kErrorTitle, QMessageBox::Critical);
        return;
    }
    Stato(QStringLiteral("Invio SMS in corso.."));
    // The length ends with its own CR: the line goes out as AT+CMGS=n CR CR.
    const QString prompt = InviaAT(QStringLiteral("+CMGS=") + QString::number(submit.cmgsLength) + QLatin1Char('\r'));
    if (prompt != QLatin1String(">")) {
        Stato(SendFailure(QStringLiteral("Errore invio sms"), prompt, ErroreAT, Linea->whyGivenUp()));
        return;
    }
    const QString answer = InviaAT(submit.pdu + QChar(0x1A));
    // "error" is the transaction giving up: a failure too.
    if (answer.compare(QLatin1String("ERROR"), Qt::CaseInsensitive) == 0) {
        Stato(SendFailure(QStringLiteral("Invio sms fallito"), answer, ErroreAT, Linea->whyGivenUp()));
        return;
    }
    Stato(QStringLiteral("SMS inviato.."));
    Label8->setText(QString::number(at::LeadingNumber(Label8->text()) + 1));
}

void Form1::Text1_Change()
{
    // The septets the text goes out as: an escape pair counts two, a line
    // break (CR LF) two, a transliterated character as what it becomes.
    Label3->setText(QString::number(GsmSeptets(Text1->text())) + QStringLiteral("/160"));
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

void Form1::Command10_Click() { Label8->setText(QStringLiteral("0")); }

void Form1::Linea_LateConfirmation(int reference)
{
    Stato(QStringLiteral("Conferma arrivata in ritardo: SMS inviato, rif. %1..").arg(reference));
    Label8->setText(QString::number(at::LeadingNumber(Label8->text()) + 1));
}
