// The message store: the list of both message stores in List1, the detail
// view of one message, the refresh of the empty slots and the deletions.
// The rows of List1 (store/rows.h) are the only record of the messages: the
// detail view, the refresh and the deletions read store, slot and capacity
// back out of them.
#include "store/rows.h"

#include "pdu/pdu.h"
#include "window/form1.h"

#include <optional>

using namespace store;

namespace {

// The two stores, in the order they are listed and deleted.
struct Pass {
    bool sim;
    QString select;   // the store selection command
    QString name;     // as +CPMS? names it
    QString reading;  // panel 2 while the list is read
    QString deleting; // panel 2 while it is deleted
};

const Pass Passes[] = {
    {true, QStringLiteral("+CPMS=SM"), QStringLiteral("SM"), QStringLiteral("Lettura elenco sms sim in corso.."),
     QStringLiteral("Cancellazione elenco sms sim in corso..")},
    {false, QStringLiteral("+CPMS=ME"), QStringLiteral("ME"),
     QStringLiteral("Lettura elenco sms cellulare in corso.."),
     QStringLiteral("Cancellazione elenco sms cellulare in corso..")},
};

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

Columns columnsOf(const Form1& form)
{
    Columns columns;
    columns.serviceCentre = form.Check3->isChecked();
    columns.status = form.Check7->isChecked();
    columns.time = form.Check5->isChecked();
    columns.date = form.Check4->isChecked();
    columns.text = form.Check6->isChecked();
    return columns;
}

// Selects a store on the phone. The SIM selection is not checked (a phone
// that refuses it is read in whatever store it has selected); a phone without
// a store of its own answers "ERROR" to the other.
bool selectStore(Form1& form, const QString& command, bool sim)
{
    const QString answer = form.InviaAT(command);
    return sim || answer != QLatin1String("ERROR");
}

// The name of `needle` in the phone book List2: the first row that holds it
// gives the name field that follows its number column.
std::optional<QString> phoneBookName(Form1& form, const QString& needle)
{
    RowYield yield(form);
    for (int row = 0; row < form.List2->ListCount(); ++row) {
        yield();
        if (auto name = NameInRow(form.List2->List(row), needle, form.LungNumero, form.LungNome))
            return name;
    }
    return std::nullopt;
}

// The row body for a slot's answer to "+CMGR=", as the list read and the
// refresh write it. The list read searches the phone book for the number
// alone.
QString slotBody(Form1& form, const QString& answer)
{
    const SlotAnswer slot = ClassifySlot(answer);
    const Columns columns = columnsOf(form);
    switch (slot.kind) {
    case SlotAnswer::NoMessage:
        return answer;
    case SlotAnswer::Empty:
        return EmptyBody(columns, form.LungNumero);
    case SlotAnswer::Message:
        break;
    }
    MessageFields fields;
    if (columns.serviceCentre)
        fields.serviceCentre = RivNumCS(slot.pak);
    fields.number = RivNumMT(slot.tipo, slot.pak);
    if (!fields.number.isEmpty()) {
        if (auto name = phoneBookName(form, fields.number))
            fields.number = *name;
    }
    if (columns.time)
        fields.time = RivOra(slot.tipo, slot.pak);
    if (columns.date)
        fields.date = RivData(slot.tipo, slot.pak);
    if (columns.text)
        fields.text = RivTesto(slot.tipo, slot.pak);
    return MessageBody(columns, form.LungNumero, slot.tipo, fields);
}

// Replaces a row of List1 in place, or adds it right after the last one.
// A position beyond that (the list was cleared meanwhile) is left alone.
void writeRow(ListBox* list, int position, const QString& row)
{
    if (position >= 0 && position <= list->ListCount())
        list->setList(position, row);
}

QString slotCommand(const char* command, int slot) { return QLatin1String(command) + QString::number(slot); }

} // namespace

// "Leggi elenco SMS da cellulare": every slot of the SIM store, then of the
// phone's own store, one row each.
void Form1::Command4_Click()
{
    LongOperation guard(*this, PortaNonAperta);
    if (!guard.taken())
        return;
    const FrameLock lock(Frame1);

    int offset = 0;
    for (const Pass& pass : Passes) {
        if (!selectStore(*this, pass.select, pass.sim))
            break;
        Stato(pass.reading);

        // The phone book the phone has selected gives the widths of the
        // number columns; an answer without them leaves them as they are.
        const PhoneBookWidths widths = ParseCpbrWidths(InviaAT(QStringLiteral("+CPBR=?")));
        if (widths.lungNumero)
            LungNumero = *widths.lungNumero;
        if (widths.lungNome)
            LungNome = *widths.lungNome;

        const int capacity = ParseCpmsCapacity(InviaAT(QStringLiteral("+CPMS?")), pass.name);
        ProgressBar1->setMax(float(capacity));
        ProgressBar1->setValue(0.1f);
        Label5->setText(HeaderLine(columnsOf(*this), capacity, LungNumero));

        for (int slot = 1; slot <= capacity; ++slot) {
            DoEvents();
            ProgressBar1->setValue(float(slot));
            const QString answer = InviaAT(slotCommand("+CMGR=", slot));
            writeRow(List1, offset + slot - 1, RowHead(pass.sim, slot, capacity) + slotBody(*this, answer));
        }
        offset = capacity;
    }
    Stato(QStringLiteral("Lettura elenco sms terminata.."));
}

// Reads slot `nsms` of the store the caller has selected and fills the
// detail fields. Returns the answer when it holds no message, "NONE" for an
// empty slot, otherwise the message text.
QString Form1::Leggi_SMS(int16_t nsms)
{
    const QString answer = InviaAT(slotCommand("+CMGR=", nsms));
    const SlotAnswer slot = ClassifySlot(answer);
    // "error" (the phone never answered) is taken like the phone's "ERROR".
    if (slot.kind == SlotAnswer::NoMessage)
        return answer;
    if (slot.kind == SlotAnswer::Empty)
        return QStringLiteral("NONE");

    Text7->setText(RivNumCS(slot.pak));

    // The number followed by a blank, so that it does not match the first
    // digits of a longer number in the phone book.
    const QString number = RivNumMT(slot.tipo, slot.pak);
    std::optional<QString> name;
    if (!number.isEmpty())
        name = phoneBookName(*this, number + QLatin1Char(' '));
    Text9->setText(name ? *name + Bar + number : number + Bar + QStringLiteral("Non in rubrica.."));

    struct Status {
        const char* word;
        const char* party;
    };
    static const Status statuses[] = {
        {"Nuovo", "Mittente ="},          // 0 received unread
        {"Letto", "Mittente ="},          // 1 received read
        {"Da Inviare", "Destinatario ="}, // 2 stored unsent
        {"Inviato", "Destinatario ="},    // 3 stored sent
    };
    const bool known = slot.tipo >= 0 && slot.tipo <= 3;
    Text8->setText(known ? QLatin1String(statuses[slot.tipo].word) : QString());
    Label12->setText(known ? QLatin1String(statuses[slot.tipo].party) : QString());

    Text10->setText(RivOra(slot.tipo, slot.pak));
    Text11->setText(RivData(slot.tipo, slot.pak));
    return RivTesto(slot.tipo, slot.pak);
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
    const QString row = List1->List(position);
    if (row.isEmpty())
        return;

    const RowPlace place = ReadRowPlace(row);
    // The SIM selection goes out with CR LF before the link's own CR.
    if (!selectStore(*this, place.sim ? QStringLiteral("+CPMS=SM\r\n") : QStringLiteral("+CPMS=ME"), place.sim))
        return;
    Text6->setText((place.sim ? QStringLiteral("SIM") : QStringLiteral("CELLULARE"))
                   + QStringLiteral(" in posizione ") + QString::number(place.slot));

    const QString text = Leggi_SMS(int16_t(place.slot));
    if (text == QLatin1String("NONE")) {
        for (TextBox* field : {Text7, Text8, Text9, Text10, Text11})
            field->clear();
        Text3->setText(QString());
    } else {
        Text3->setText(text);
    }

    // The phone marks a message read when it is read; so does its row. Only
    // a row with the service-centre column has " ³ " before the status.
    const QString read = MarkedRead(row);
    if (read != row && position < List1->ListCount())
        List1->setList(position, read);

    // The reply goes to the sender: its phone-book row when there is one
    // (selecting it fills Text2), otherwise the text of Text9.
    bool picked = false;
    if (!Text3->text().isEmpty() && List2->ListCount() > 0) {
        if (const std::optional<QString> key = ReplyKey(Text9->text())) {
            RowYield yield(*this);
            for (int entry = 0; entry < List2->ListCount(); ++entry) {
                yield();
                if (List2->List(entry).contains(*key, Qt::CaseInsensitive)) {
                    List2->setListIndex(entry);
                    picked = true;
                    break;
                }
            }
        }
    }
    if (!picked)
        Text2->setText(Text9->text());
}

// "Aggiorna": reads again the slots whose rows show an empty slot.
void Form1::Command11_Click()
{
    LongOperation guard(*this, PortaNonAperta);
    if (!guard.taken())
        return;
    const FrameLock lock(Frame1);

    if (List1->ListCount() == 0) {
        Stato(QStringLiteral("Elenco sms non caricato.."));
        return;
    }
    ProgressBar1->setMax(float(List1->ListCount() - 1) + 0.1f);
    for (int position = 0; position < List1->ListCount(); ++position) {
        Stato(QStringLiteral("Aggiornamento sms in corso.."));
        DoEvents();
        const QString row = List1->List(position);
        if (!row.contains(EmptyBody(columnsOf(*this), LungNumero), Qt::CaseInsensitive))
            continue;

        const RowPlace place = ReadRowPlace(row);
        if (!selectStore(*this, Passes[place.sim ? 0 : 1].select, place.sim))
            break;
        ProgressBar1->setValue(float(position) + 0.1f);
        const QString answer = InviaAT(slotCommand("+CMGR=", place.slot));
        writeRow(List1, position, RowHead(place.sim, place.slot, place.capacity) + slotBody(*this, answer));
    }
    Stato(QStringLiteral("Aggiornamento elenco sms terminata.."));
}

// "Cancella SMS selezionato dalla memoria": the slot of the selected row. Its
// row shows an empty slot once the phone has confirmed the deletion.
void Form1::Command6_Click()
{
    LongOperation guard(*this, PortaNonAperta);
    if (!guard.taken())
        return;

    const int position = List1->ListIndex();
    const QString row = List1->List(position);
    if (row.isEmpty()) {
        MsgBox(QStringLiteral("SMS non selezionato"));
        return;
    }
    const RowPlace place = ReadRowPlace(row);
    if (!selectStore(*this, Passes[place.sim ? 0 : 1].select, place.sim))
        return;
    if (InviaAT(slotCommand("+CMGD=", place.slot)) != QLatin1String("OK")) {
        Stato(QStringLiteral("Cancellazione fallita.."));
        return;
    }
    const QString head = place.headLength >= 0 ? row.left(place.headLength)
                                               : RowHead(place.sim, place.slot, place.capacity);
    if (position < List1->ListCount())
        List1->setList(position, head + EmptyBody(columnsOf(*this), LungNumero));
    Text3->setText(QStringLiteral("NONE"));
}

// "Cancella tutta la memoria degli SMS": every slot of both stores, after the
// user has confirmed it.
void Form1::Command9_Click()
{
    LongOperation guard(*this, PortaNonAperta);
    if (!guard.taken())
        return;
    if (!Conferma(QStringLiteral("Cancellare tutti gli SMS della SIM e del cellulare?"),
                  QStringLiteral("ATTENZIONE!!")))
        return;

    // Frame1 stays enabled: each row takes the columns chosen when it is
    // written.
    int offset = 0;
    int failed = 0;
    for (const Pass& pass : Passes) {
        if (!selectStore(*this, pass.select, pass.sim))
            break;
        Stato(pass.deleting);
        const int capacity = ParseCpmsCapacity(InviaAT(QStringLiteral("+CPMS?")), pass.name);
        ProgressBar1->setMax(float(capacity - 1) + 0.1f);
        ProgressBar1->setValue(0.1f);
        for (int index = 0; index < capacity; ++index) {
            DoEvents();
            ProgressBar1->setValue(float(index) + 0.1f);
            const int slot = index + 1;
            const int position = offset + index;
            const QString answer = InviaAT(slotCommand("+CMGD=", slot));
            const QString head = RowHead(pass.sim, slot, capacity);
            if (answer == QLatin1String("OK")) {
                writeRow(List1, position, head + EmptyBody(columnsOf(*this), LungNumero));
            } else {
                // A slot that could not be deleted keeps its row; a list
                // without one gets the answer, so that the rows after it
                // stay at their positions.
                ++failed;
                if (position >= List1->ListCount())
                    writeRow(List1, position, head + answer);
            }
        }
        offset = capacity;
    }
    Text3->setText(QString());
    if (failed == 0)
        Stato(QStringLiteral("Cancellazione sms terminata.."));
    else if (failed == 1)
        Stato(QStringLiteral("Cancellazione sms terminata.. 1 non cancellato"));
    else
        Stato(QStringLiteral("Cancellazione sms terminata.. %1 non cancellati").arg(failed));
}
