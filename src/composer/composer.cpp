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

#include <QDateTime>

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

QString FailureReason(const QString& answer, const QString& extendedError, phonelink::GiveUp why)
{
    const QString reason = at::ErrorReason(extendedError);
    if (reason.isEmpty() && phonelink::gaveUp(answer))
        return phonelink::GiveUpText(why);
    return reason;
}

QString SendFailure(const QString& failure, const QString& answer, const QString& extendedError, phonelink::GiveUp why)
{
    const QString reason = FailureReason(answer, extendedError, why);
    return reason.isEmpty() ? failure + QStringLiteral("..")
                            : failure + QStringLiteral(": ") + reason + QStringLiteral("..");
}

QString PartFailure(int part, int parts, const QString& reason)
{
    const int sent = part - 1;
    const QString count = sent == 0   ? QStringLiteral("nessuna parte inviata")
                          : sent == 1 ? QStringLiteral("1 parte inviata")
                                      : QStringLiteral("%1 parti inviate").arg(sent);
    QString text = QStringLiteral("Invio fallito alla parte %1 di %2").arg(part).arg(parts);
    if (!reason.isEmpty())
        text += QStringLiteral(" (") + reason + QLatin1Char(')');
    return text + QStringLiteral(": ") + count + QStringLiteral("..");
}

QString CounterText(const QString& text, bool longSms)
{
    if (!longSms)
        return QString::number(GsmSeptets(text)) + QStringLiteral("/160");
    const SmsSegments s = SegmentText(text);
    const QString count = QString::number(s.units) + QLatin1Char('/') + QString::number(s.perPart * s.parts);
    return s.parts == 1 ? count : count + QStringLiteral(" (%1 SMS)").arg(s.parts);
}

int LongSmsLength(const QString& text)
{
    const SmsSegments s = SegmentText(text);
    return s.parts > kMaxParts ? kLongSmsLimit + 1 : s.units;
}

QString ReplacementQuestion(const QList<Replacement>& replaced)
{
    QString text = QStringLiteral("L'alfabeto degli SMS non ha questi caratteri, che partiranno sostituiti:\n");
    for (const Replacement& r : replaced) {
        // A combining mark alone is shown on a dotted circle.
        const QString shown = r.character.at(0).isMark() ? QChar(0x25CC) + r.character : r.character;
        text += QStringLiteral("\n") + shown + QStringLiteral(" → ")
                + (r.replacement.isEmpty() ? QStringLiteral("(niente)") : r.replacement);
    }
    return text + QStringLiteral("\n\nInviare il testo così? Con \"SMS lungo\" partono come sono scritti.");
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

std::optional<int> CmgsReference(const QString& answer)
{
    for (const QString& raw : answer.split(QLatin1Char('\n'))) {
        const QString line = raw.trimmed();
        if (!line.startsWith(QLatin1String("+CMGS:"), Qt::CaseInsensitive))
            continue;
        bool ok = false;
        const int reference = line.mid(6).section(QLatin1Char(','), 0, 0).trimmed().toInt(&ok);
        return ok && reference >= 0 && reference <= 255 ? std::optional<int>(reference) : std::nullopt;
    }
    return std::nullopt;
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
    const QString number = at::DialledNumber(recipient);
    const QString text = Text1->text();
    const bool longSms = Check8->isChecked();
    SubmitParts message;
    if (longSms) {
        message = EncodeSubmitParts(serviceCentre, number, text, flash, statusReport, RifSmsLungo);
    } else {
        const SubmitPdu one = EncodeSubmit(serviceCentre, number, text, flash, statusReport);
        message.error = one.error;
        message.parts = {one};
    }
    if (message.error != SubmitPdu::Error::None) {
        MsgBox(refusalOf(message.error), kErrorTitle, QMessageBox::Critical);
        return;
    }
    if (!longSms) {
        const QList<Replacement> replaced = ReplacedCharacters(text);
        if (!replaced.isEmpty() && !Conferma(ReplacementQuestion(replaced), QStringLiteral("ATTENZIONE!!")))
            return;
    }
    const int parts = int(message.parts.size());
    if (parts > 1)
        ++RifSmsLungo;
    // The parts of this send are told as one message when their reports come.
    const int thisSend = statusReport ? Ricevute.newMessage() : 0;
    // The send ends at `part`: it and the parts after it did not go out.
    const auto stop = [&](int part) {
        if (!statusReport)
            return;
        const at::Told told = Ricevute.stopped(thisSend, part);
        if (told.kind == at::Told::Complete)
            diConsegna(told);
    };
    // Each part has its own dialogue; a part that fails ends the send, and
    // the parts before it, which the network has, are not sent again.
    for (int part = 1; part <= parts; ++part) {
        const SubmitPdu& submit = message.parts[part - 1];
        Stato(parts == 1 ? QStringLiteral("Invio SMS in corso..")
                         : QStringLiteral("Invio SMS in corso: parte %1 di %2..").arg(part).arg(parts));
        // The length ends with its own CR: the line goes out as AT+CMGS=n CR CR.
        const QString prompt =
            InviaAT(QStringLiteral("+CMGS=") + QString::number(submit.cmgsLength) + QLatin1Char('\r'));
        if (prompt != QLatin1String(">")) {
            stop(part);
            Stato(parts == 1 ? SendFailure(QStringLiteral("Errore invio sms"), prompt, ErroreAT, Linea->whyGivenUp())
                             : PartFailure(part, parts, FailureReason(prompt, ErroreAT, Linea->whyGivenUp())));
            return;
        }
        const QString answer = InviaAT(submit.pdu + QChar(0x1A));
        // The network may still confirm a part given up; its report is
        // then told as any other.
        if (phonelink::gaveUp(answer)) {
            RicevutaSospesa = statusReport ? std::optional<at::SentPart>(
                                  at::SentPart{-1, number, QDateTime::currentDateTime(), part, parts, thisSend})
                                           : std::nullopt;
            if (RicevutaSospesa)
                Ricevute.givenUp(*RicevutaSospesa);
        }
        // "error" is the transaction giving up: a failure too.
        if (answer.compare(QLatin1String("ERROR"), Qt::CaseInsensitive) == 0) {
            stop(part);
            Stato(parts == 1 ? SendFailure(QStringLiteral("Invio sms fallito"), answer, ErroreAT, Linea->whyGivenUp())
                             : PartFailure(part, parts, FailureReason(answer, ErroreAT, Linea->whyGivenUp())));
            return;
        }
        // The network bills each part.
        Label8->setText(QString::number(at::LeadingNumber(Label8->text()) + 1));
        // Its report will name it by the reference the network gave it.
        if (statusReport) {
            const std::optional<int> reference = CmgsReference(answer);
            Ricevute.sent({reference.value_or(-1), number, QDateTime::currentDateTime(), part, parts, thisSend});
        }
    }
    Stato(parts == 1 ? QStringLiteral("SMS inviato..") : QStringLiteral("SMS inviato in %1 parti..").arg(parts));
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

void Form1::Command10_Click() { Label8->setText(QStringLiteral("0")); }

void Form1::Linea_LateConfirmation(int reference)
{
    if (RicevutaSospesa) {
        RicevutaSospesa->reference = reference;
        Ricevute.sent(*RicevutaSospesa);
        RicevutaSospesa.reset();
    }
    Stato(QStringLiteral("Conferma arrivata in ritardo: SMS inviato, rif. %1..").arg(reference));
    Label8->setText(QString::number(at::LeadingNumber(Label8->text()) + 1));
}
