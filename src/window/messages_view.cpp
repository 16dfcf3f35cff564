// SPDX-License-Identifier: GPL-3.0-or-later
// The window's side of the messages (phone/messages): the list read, the
// detail view of one message, the refresh, the deletions and the export,
// each a click that asks the capability and shows what it gives.
#include "phone/messages/messages.h"
#include "phone/savefile.h"
#include "phone/sending/compose.h"
#include "window/form1.h"

using namespace store;

namespace {

// Keeps the column check boxes fixed while a list is read or refreshed, and
// gives them back on every way out.
class FrameLock {
public:
    explicit FrameLock(QWidget* frame) : m_frame(frame) { m_frame->setEnabled(false); }
    ~FrameLock() { m_frame->setEnabled(true); }
    FrameLock(const FrameLock&) = delete;
    FrameLock& operator=(const FrameLock&) = delete;

private:
    QWidget* m_frame;
};

// Why reading one message failed, with the phone's reason when it gave one.
QString readFailure(const QString& answer, const QString& errorLine, phonelink::GiveUp why)
{
    QString reason = FailureReason(answer, errorLine, why);
    if (reason.isEmpty() && at::ParseCmgr(answer).kind == at::CmgrAnswer::Unreadable)
        reason = QStringLiteral("sms non leggibile");
    return QStringLiteral("Lettura sms fallita") + (reason.isEmpty() ? QString() : QStringLiteral(": ") + reason)
           + QStringLiteral("..");
}

// The reply goes to the sender: its phone-book row when there is one
// (selecting it fills Text2), otherwise the text of Text9.
void prepareReply(Form1& form)
{
    if (!form.Text3->text().isEmpty() && form.List2->ListCount() > 0) {
        // An empty key (a message without a number) is in every row: it
        // would leave Text2 with the recipient picked before.
        if (const std::optional<QString> key = ReplyKey(form.Text9->text()); key && !key->isEmpty()) {
            phone::RowYield yield(form);
            for (int entry = 0; entry < form.List2->ListCount(); ++entry) {
                yield();
                if (form.List2->List(entry).contains(*key, Qt::CaseInsensitive))
                    return form.List2->setListIndex(entry);
            }
        }
    }
    form.Text2->setText(form.Text9->text());
}

// The fields of a message read in detail.
void showDetail(Form1& form, const phone::Detail& detail)
{
    form.Text7->setText(detail.serviceCentre);
    form.Text9->setText(detail.party);
    form.Text8->setText(detail.status);
    form.Label12->setText(detail.partyLabel);
    form.Text10->setText(detail.time);
    form.Text11->setText(detail.date);
}

} // namespace

Columns Form1::Colonne() const
{
    Columns columns;
    columns.serviceCentre = Check3->isChecked();
    columns.status = Check7->isChecked();
    columns.time = Check5->isChecked();
    columns.date = Check4->isChecked();
    columns.text = Check6->isChecked();
    return columns;
}

// "Leggi elenco SMS da cellulare": every slot of the SIM store, then of the
// phone's own store, one row each.
void Form1::Command4_Click()
{
    LongOperation guard(*this, PortaNonAperta);
    if (!guard.taken())
        return;
    const FrameLock lock(Frame1);
    const phone::Ended end =
        Messaggi->readList(guard, Colonne(), [this](const QString& header) { Label5->setText(header); });
    if (!end.lineLost)
        StatoMemorie(end.status);
}

// Reads slot `nsms` of the store the caller has selected and fills the
// detail fields. Returns the answer when it holds no message, "NONE" for an
// empty slot, otherwise the message text.
QString Form1::Leggi_SMS(int16_t nsms)
{
    const phone::Detail detail = Messaggi->readSlot(nsms);
    if (detail.slot.kind != at::CmgrAnswer::Message)
        return detail.said;
    showDetail(*this, detail);
    return detail.text;
}

// A click on a row of List1: the message in the detail fields, the row marked
// read, the sender made the recipient of a reply.
void Form1::List1_Click()
{
    LongOperation guard(*this, QStringLiteral("PORTA NON APERTA.."));
    if (!guard.taken())
        return;
    // The row as it is now: the user may select another one while the phone
    // answers.
    const int position = List1->ListIndex();
    if (List1->List(position).isEmpty())
        return;
    // The slots of the message in parts shown before are no word on this one.
    if (!StatoParti.isEmpty() && StatusBar1->panelText(2) == StatoParti)
        Stato(Banner);
    StatoParti.clear();

    const phone::Messages::Opened opened = Messaggi->open(guard, position);
    if (!opened.failure.isEmpty()) {
        Text3->setText(opened.failure);
        return Stato(opened.failure);
    }
    if (!opened.read)
        return;
    // Nothing of the message shown before stays.
    for (TextBox* field : {Text7, Text8, Text9, Text10, Text11})
        field->clear();
    const phone::Detail& detail = opened.detail;
    if (detail.slot.kind == at::CmgrAnswer::Message)
        showDetail(*this, detail);
    if (opened.lineLost)
        return;
    const RowPlace& place = Messaggi->record(position).place;
    Text6->setText((place.sim ? QStringLiteral("SIM") : QStringLiteral("CELLULARE")) + QStringLiteral(" in posizione ")
                   + QString::number(place.slot));
    // A read that failed says so and nothing else: it marks no row read and
    // prepares no reply, which would go to another message's sender.
    if (detail.slot.kind != at::CmgrAnswer::Message && detail.slot.kind != at::CmgrAnswer::Empty) {
        Label12->clear();
        Text3->setText(readFailure(detail.said, ErroreAT, Linea->whyGivenUp()));
        return Stato(Text3->text());
    }
    Text3->setText(detail.slot.kind == at::CmgrAnswer::Empty ? QString() : detail.text);
    if (opened.partsLost)
        return;
    if (detail.partsStatus) {
        StatoParti = *detail.partsStatus;
        Stato(StatoParti);
    }
    prepareReply(*this);
}

// "Aggiorna": reads again the slots whose rows show an empty slot.
void Form1::Command11_Click()
{
    LongOperation guard(*this, PortaNonAperta);
    if (!guard.taken())
        return;
    const FrameLock lock(Frame1);
    QString failure;
    const phone::Ended end = Messaggi->refresh(guard, Colonne(), failure);
    if (end.lineLost)
        return;
    if (!failure.isEmpty() && end.status == failure)
        Text3->setText(failure);
    StatoMemorie(end.status);
}

// "Cancella SMS selezionato dalla memoria": the slot of the selected row. Its
// row shows an empty slot once the phone has confirmed the deletion.
void Form1::Command6_Click()
{
    LongOperation guard(*this, PortaNonAperta);
    if (!guard.taken())
        return;
    const int position = List1->ListIndex();
    if (List1->List(position).isEmpty()) {
        MsgBox(QStringLiteral("SMS non selezionato"));
        return;
    }
    const phone::Messages::Deleted done = Messaggi->deleteOne(guard, position, Colonne());
    if (done.lineLost)
        return;
    if (!done.failure.isEmpty()) {
        Text3->setText(done.failure);
        return Stato(done.failure);
    }
    if (!done.deleted)
        return Stato(QStringLiteral("Cancellazione fallita.."));
    Text3->setText(QStringLiteral("NONE"));
    StatoMemorie(QStringLiteral("SMS cancellato.."));
}

// "Cancella tutta la memoria degli SMS": every slot of both stores, after the
// user has confirmed it. Frame1 stays enabled: each row takes the columns
// chosen when it is written.
void Form1::Command9_Click()
{
    LongOperation guard(*this, PortaNonAperta);
    if (!guard.taken())
        return;
    if (!Conferma(QStringLiteral("Cancellare tutti gli SMS della SIM e del cellulare?"),
                  QStringLiteral("ATTENZIONE!!")))
        return;
    QString failure;
    const phone::Ended end = Messaggi->deleteAll(
        guard, [this] { return Colonne(); }, failure);
    if (end.lineLost)
        return;
    if (!end.status.startsWith(QLatin1String("Cancellazione sms fallita")))
        Text3->setText(failure);
    StatoMemorie(end.status);
}

// "Esporta messaggi…": the stored messages listed in List1 as CSV.
//
// The rows of List1 cannot give the messages back whole: the number column
// holds the phone-book name instead of the number once one was found, the
// columns left out by the check boxes are gone, the date has no century and
// a text may hold the column separator. So the export reads each listed
// slot again with +CMGR, as a long operation, and decodes it afresh.
void Form1::EsportaMessaggi()
{
    if (List1->ListCount() == 0)
        return Stato(QStringLiteral("Elenco sms non caricato.."));
    LongOperation guard(*this, PortaNonAperta);
    if (!guard.taken())
        return;
    DialogoEsporta->Filter = QStringLiteral("File CSV (*.csv)");
    DialogoEsporta->ShowSave();
    if (DialogoEsporta->FileName.isEmpty())
        return;
    const QString fileName = WithSuffix(DialogoEsporta->FileName, QStringLiteral("csv"));

    Stato(QStringLiteral("Esportazione sms in corso.."));
    ProgressBar1->setMax(float(List1->ListCount()));
    ProgressBar1->setValue(0.1f);
    phone::Messages::ReadAgain read = Messaggi->readAgain(guard);
    if (read.lineLost)
        return; // panel 2 keeps why
    // A message in parts is joined from the parts read, in both stores.
    std::vector<QString> texts;
    for (const ExportedMessage& message : read.messages)
        texts.push_back(message.text);
    const std::vector<Whole> wholes = JoinAll(read.parts, texts);
    for (size_t i = 0; i < read.messages.size(); ++i) {
        read.messages[i].part = wholes[i].part;
        read.messages[i].whole = wholes[i].text;
    }
    // What was read is written all the same; what was not is counted.
    if (!SaveVerified(fileName, MessagesCsv(read.messages)))
        return Stato(QStringLiteral("IMPOSSIBILE ESPORTARE: ") + fileName);
    if (read.unread == 0)
        Stato(QStringLiteral("Esportazione terminata: %1 sms in %2").arg(read.messages.size()).arg(fileName));
    else
        Stato(QStringLiteral("Esportati %1 sms, %2 non letti..").arg(read.messages.size()).arg(read.unread));
}
