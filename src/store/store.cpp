// The message store: the list of both message stores in List1, the detail
// view of one message, the refresh of the empty slots and the deletions.
// The rows of List1 (store/rows.h) are the only record of the messages: the
// detail view, the refresh and the deletions read store, slot and capacity
// back out of them.
#include "store/rows.h"

#include "at/cmgr.h"
#include "at/cpbr.h"
#include "at/cpms.h"
#include "at/status.h"
#include "pdu/pdu.h"
#include "window/form1.h"

#include <algorithm>
#include <optional>
#include <vector>

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
    {false, QStringLiteral("+CPMS=ME"), QStringLiteral("ME"), QStringLiteral("Lettura elenco sms cellulare in corso.."),
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

// What the link returns when the phone never answered, after its
// retransmissions.
const QLatin1String GiveUp("error");

const QString NoAnswer = QStringLiteral("il cellulare non risponde..");

QString notSelectable(bool sim)
{
    return sim ? QStringLiteral("memoria SIM non selezionabile..")
               : QStringLiteral("memoria cellulare non selezionabile..");
}

QString sizeNotRead(bool sim)
{
    return sim ? QStringLiteral("dimensione memoria SIM non letta..")
               : QStringLiteral("dimensione memoria cellulare non letta..");
}

// The text as a status of its own: "Memoria SIM non selezionabile..".
QString capitalized(QString text)
{
    if (!text.isEmpty())
        text[0] = text.at(0).toUpper();
    return text;
}

// Why a store selection that did not succeed failed: the phone said no, or
// said nothing at all.
QString selectionFailure(const QString& answer, bool sim)
{
    return capitalized(answer == GiveUp ? NoAnswer : notSelectable(sim));
}

// Selects the store of a row before one of its slots is read or deleted.
// The same index in another store is another message: a store that could
// not be selected is said in Text3 and panel 2 and nothing more is done;
// nor after a lost line.
bool selectRowStore(Form1& form, const LongOperation& guard, const QString& command, bool sim)
{
    const QString selection = form.InviaAT(command);
    if (guard.lineLost())
        return false;
    if (at::CpmsSelected(selection))
        return true;
    const QString why = selectionFailure(selection, sim);
    form.Text3->setText(why);
    form.Stato(why);
    return false;
}

// A phone without a store of its own refuses to select it with "ERROR".
bool noPhoneStore(const QString& answer, bool sim) { return !sim && answer == QLatin1String("ERROR"); }

// The line was lost during a long operation: it stops where it is. Panel 2
// keeps what the link wrote about the connection.
void stopLineLost(Form1& form) { form.ProgressBar1->setValue(0.1f); }

// The rows of one store in List1, as a list read wrote them.
int rowsOfStore(const ListBox* list, bool sim)
{
    const QLatin1String prefix = sim ? QLatin1String("S:") : QLatin1String("C:");
    int count = 0;
    for (int i = 0; i < list->ListCount(); ++i)
        count += list->List(i).startsWith(prefix) ? 1 : 0;
    return count;
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

// The row body for a slot as "+CMGR=" answered it (`answer`, when the
// answer holds no message, is the body), as the list read and the refresh
// write it. The list read searches the phone book for the number alone.
QString slotBody(Form1& form, const at::CmgrAnswer& slot, const QString& answer)
{
    const Columns columns = columnsOf(form);
    switch (slot.kind) {
    case at::CmgrAnswer::NoMessage:
        return answer;
    case at::CmgrAnswer::Empty:
        return EmptyBody(columns, form.LungNumero);
    case at::CmgrAnswer::Message:
        break;
    }
    const auto tipo = int16_t(slot.tipo); // -1..255
    MessageFields fields;
    if (columns.serviceCentre)
        fields.serviceCentre = RivNumCS(slot.pak);
    fields.number = RivNumMT(tipo, slot.pak);
    if (!fields.number.isEmpty()) {
        if (auto name = phoneBookName(form, fields.number))
            fields.number = *name;
    }
    if (columns.time)
        fields.time = RivOra(tipo, slot.pak);
    if (columns.date)
        fields.date = RivData(tipo, slot.pak);
    if (columns.text)
        fields.text = RivTesto(tipo, slot.pak);
    return MessageBody(columns, form.LungNumero, tipo, fields);
}

// The row body for a slot's answer to "+CMGR=" and the extended error that
// ended it.
QString slotBody(Form1& form, const QString& answer, const QString& errorLine)
{
    return slotBody(form, at::ParseCmgr(answer, errorLine), answer);
}

// The row body of slot `slot` of a store as its listing gave it: the message
// listed at that index, or an empty slot.
QString listedBody(Form1& form, const std::vector<const at::CmglEntry*>& bySlot, int slot)
{
    if (size_t(slot) < bySlot.size() && bySlot[size_t(slot)])
        return slotBody(form, at::AsCmgr(*bySlot[size_t(slot)]), QString());
    return EmptyBody(columnsOf(form), form.LungNumero);
}

// The listed messages by slot index, 1..capacity.
std::vector<const at::CmglEntry*> bySlotIndex(const std::vector<at::CmglEntry>& listed, int capacity)
{
    std::vector<const at::CmglEntry*> bySlot(size_t(std::max(capacity, 0)) + 1, nullptr);
    for (const at::CmglEntry& entry : listed) {
        if (entry.index >= 1 && entry.index <= capacity)
            bySlot[size_t(entry.index)] = &entry;
    }
    return bySlot;
}

// One command lists every message of the selected store.
const QString ListAll = QStringLiteral("+CMGL=4");

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

    // A read that fails says why; the rows it did not reach stay as they were.
    const auto fail = [this](const QString& why) {
        ProgressBar1->setValue(0.1f);
        Stato(QStringLiteral("Lettura elenco sms fallita: ") + why);
    };

    int offset = 0;
    for (const Pass& pass : Passes) {
        const QString selection = InviaAT(pass.select);
        if (guard.lineLost())
            return stopLineLost(*this);
        if (!at::CpmsSelected(selection)) {
            // A phone without a store of its own: the read is complete.
            if (noPhoneStore(selection, pass.sim))
                break;
            return fail(selection == GiveUp ? NoAnswer : notSelectable(pass.sim));
        }
        Stato(pass.reading);

        // The phone book the phone has selected gives the widths of the
        // number columns; an answer without them leaves them as they are.
        const QString widths = InviaAT(QStringLiteral("+CPBR=?"));
        if (guard.lineLost())
            return stopLineLost(*this);
        if (widths == GiveUp)
            return fail(NoAnswer);
        if (const at::CpbrRange range = at::ParseCpbrRange(widths); range.valid) {
            LungNumero = range.numberLength;
            LungNome = range.nameLength;
        }

        const QString stores = InviaAT(QStringLiteral("+CPMS?"));
        if (guard.lineLost())
            return stopLineLost(*this);
        if (stores == GiveUp)
            return fail(NoAnswer);
        const std::optional<int> capacity = at::CpmsCapacity(stores, pass.name);
        if (!capacity)
            return fail(sizeNotRead(pass.sim));
        ProgressBar1->setMax(float(*capacity));
        ProgressBar1->setValue(0.1f);
        Label5->setText(HeaderLine(columnsOf(*this), *capacity, LungNumero));

        if (*capacity == 0)
            continue; // no slot, nothing to list

        // One listing stands for the slots; a phone that refuses it, or
        // lists what no slot of this store can hold, is read slot by slot.
        const QString listing = InviaAT(ListAll);
        if (guard.lineLost())
            return stopLineLost(*this);
        if (listing == GiveUp)
            return fail(NoAnswer);
        if (const std::optional<std::vector<at::CmglEntry>> listed = at::ParseCmglStore(listing, *capacity)) {
            const std::vector<const at::CmglEntry*> bySlot = bySlotIndex(*listed, *capacity);
            RowYield yield(*this);
            for (int slot = 1; slot <= *capacity; ++slot) {
                yield();
                if (guard.lineLost())
                    return stopLineLost(*this);
                ProgressBar1->setValue(float(slot));
                writeRow(List1, offset + slot - 1,
                         RowHead(pass.sim, slot, *capacity) + listedBody(*this, bySlot, slot));
            }
            offset += *capacity;
            continue;
        }

        for (int slot = 1; slot <= *capacity; ++slot) {
            DoEvents();
            if (guard.lineLost())
                return stopLineLost(*this);
            ProgressBar1->setValue(float(slot));
            const QString answer = InviaAT(slotCommand("+CMGR=", slot));
            const QString errorLine = ErroreAT;
            if (guard.lineLost())
                return stopLineLost(*this);
            // A slot the phone gave no answer for shows "error", and the
            // read stops there: the slots after it would wait as long.
            writeRow(List1, offset + slot - 1, RowHead(pass.sim, slot, *capacity) + slotBody(*this, answer, errorLine));
            if (answer == GiveUp)
                return fail(NoAnswer);
        }
        offset += *capacity;
    }
    Stato(QStringLiteral("Lettura elenco sms terminata.."));
}

// Reads slot `nsms` of the store the caller has selected and fills the
// detail fields. Returns the answer when it holds no message, "NONE" for an
// empty slot, otherwise the message text.
QString Form1::Leggi_SMS(int16_t nsms)
{
    const QString answer = InviaAT(slotCommand("+CMGR=", nsms));
    const at::CmgrAnswer slot = at::ParseCmgr(answer, ErroreAT);
    // "error" (the phone never answered) is taken like the phone's "ERROR".
    if (slot.kind == at::CmgrAnswer::NoMessage)
        return answer;
    if (slot.kind == at::CmgrAnswer::Empty)
        return QStringLiteral("NONE");
    const auto tipo = int16_t(slot.tipo); // -1..255

    Text7->setText(RivNumCS(slot.pak));

    // The number followed by a blank, so that it does not match the first
    // digits of a longer number in the phone book.
    const QString number = RivNumMT(tipo, slot.pak);
    std::optional<QString> name;
    if (!number.isEmpty())
        name = phoneBookName(*this, number + QLatin1Char(' '));
    Text9->setText(name ? *name + Bar + number : number + Bar + QStringLiteral("Non in rubrica.."));

    // The status as the phone stored it; the party as the message says.
    Text8->setText(at::StatusWord(tipo));
    switch (PduKind(slot.pak)) {
    case SmsKind::Deliver:
        Label12->setText(QStringLiteral("Mittente ="));
        break;
    case SmsKind::Submit:
    case SmsKind::StatusReport:
        Label12->setText(QStringLiteral("Destinatario ="));
        break;
    case SmsKind::Unknown:
        Label12->setText(QString());
        break;
    }

    Text10->setText(RivOra(tipo, slot.pak));
    Text11->setText(RivData(tipo, slot.pak));
    return RivTesto(tipo, slot.pak);
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
    if (!selectRowStore(*this, guard, place.sim ? QStringLiteral("+CPMS=SM\r\n") : QStringLiteral("+CPMS=ME"),
                        place.sim))
        return;

    const QString text = Leggi_SMS(int16_t(place.slot));
    if (guard.lineLost())
        return;
    Text6->setText((place.sim ? QStringLiteral("SIM") : QStringLiteral("CELLULARE")) + QStringLiteral(" in posizione ")
                   + QString::number(place.slot));
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
    // A store that cannot be selected keeps its rows; the others are
    // refreshed all the same.
    bool refused[2] = {false, false}; // by RowPlace::sim
    QString failure;
    // Each store with rows to refresh is listed once, when its first such
    // row is met; a store whose listing cannot stand for its slots is
    // refreshed slot by slot, selecting it again for every row.
    bool listingAsked[2] = {false, false};
    std::optional<std::vector<at::CmglEntry>> listings[2];
    std::vector<const at::CmglEntry*> bySlot[2];
    const auto silent = [this] {
        ProgressBar1->setValue(0.1f);
        Stato(QStringLiteral("Aggiornamento elenco sms fallito: ") + NoAnswer);
    };
    for (int position = 0; position < List1->ListCount(); ++position) {
        Stato(QStringLiteral("Aggiornamento sms in corso.."));
        DoEvents();
        if (guard.lineLost())
            return stopLineLost(*this);
        const QString row = List1->List(position);
        if (!row.contains(EmptyBody(columnsOf(*this), LungNumero), Qt::CaseInsensitive))
            continue;

        const RowPlace place = ReadRowPlace(row);
        if (refused[place.sim])
            continue;
        const Pass& pass = Passes[place.sim ? 0 : 1];
        const auto select = [&]() {
            const QString selection = InviaAT(pass.select);
            if (guard.lineLost() || selection == GiveUp)
                return false;
            if (!at::CpmsSelected(selection)) {
                refused[place.sim] = true;
                failure = selectionFailure(selection, place.sim);
            }
            return true;
        };
        std::optional<std::vector<at::CmglEntry>>& listed = listings[place.sim ? 0 : 1];
        if (!listingAsked[place.sim ? 0 : 1]) {
            listingAsked[place.sim ? 0 : 1] = true;
            if (!select())
                return guard.lineLost() ? stopLineLost(*this) : silent();
            if (refused[place.sim])
                continue;
            const QString listing = InviaAT(ListAll);
            if (guard.lineLost())
                return stopLineLost(*this);
            if (listing == GiveUp)
                return silent();
            listed = at::ParseCmglStore(listing, place.capacity);
            if (listed)
                bySlot[place.sim ? 0 : 1] = bySlotIndex(*listed, place.capacity);
        }
        if (listed) {
            ProgressBar1->setValue(float(position) + 0.1f);
            writeRow(List1, position,
                     RowHead(place.sim, place.slot, place.capacity)
                         + listedBody(*this, bySlot[place.sim ? 0 : 1], place.slot));
            continue;
        }

        if (!select())
            return guard.lineLost() ? stopLineLost(*this) : silent();
        if (refused[place.sim])
            continue;
        ProgressBar1->setValue(float(position) + 0.1f);
        const QString answer = InviaAT(slotCommand("+CMGR=", place.slot));
        const QString errorLine = ErroreAT;
        if (guard.lineLost())
            return stopLineLost(*this);
        writeRow(List1, position, RowHead(place.sim, place.slot, place.capacity) + slotBody(*this, answer, errorLine));
        if (answer == GiveUp)
            return silent();
    }
    if (failure.isEmpty()) {
        Stato(QStringLiteral("Aggiornamento elenco sms terminata.."));
    } else {
        Text3->setText(failure);
        Stato(failure);
    }
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
    if (!selectRowStore(*this, guard, Passes[place.sim ? 0 : 1].select, place.sim))
        return;
    const QString answer = InviaAT(slotCommand("+CMGD=", place.slot));
    if (guard.lineLost())
        return;
    if (answer != QLatin1String("OK")) {
        Stato(QStringLiteral("Cancellazione fallita.."));
        return;
    }
    const QString head =
        place.headLength >= 0 ? row.left(place.headLength) : RowHead(place.sim, place.slot, place.capacity);
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

    const auto silent = [this] {
        ProgressBar1->setValue(0.1f);
        Stato(QStringLiteral("Cancellazione sms fallita: ") + NoAnswer);
    };

    // Frame1 stays enabled: each row takes the columns chosen when it is
    // written.
    int offset = 0;
    int failed = 0;
    QString failure;
    for (const Pass& pass : Passes) {
        const QString selection = InviaAT(pass.select);
        if (guard.lineLost())
            return stopLineLost(*this);
        if (selection == GiveUp)
            return silent();
        std::optional<int> capacity;
        if (at::CpmsSelected(selection)) {
            Stato(pass.deleting);
            const QString stores = InviaAT(QStringLiteral("+CPMS?"));
            if (guard.lineLost())
                return stopLineLost(*this);
            if (stores == GiveUp)
                return silent();
            capacity = at::CpmsCapacity(stores, pass.name);
            if (!capacity)
                failure = capitalized(sizeNotRead(pass.sim));
        } else {
            // A phone without a store of its own has nothing there to delete.
            if (noPhoneStore(selection, pass.sim) && rowsOfStore(List1, pass.sim) == 0)
                break;
            failure = selectionFailure(selection, pass.sim);
        }
        if (!capacity) {
            // None of the slots the list shows for this store was deleted.
            const int shown = rowsOfStore(List1, pass.sim);
            failed += shown;
            offset += shown;
            continue;
        }

        ProgressBar1->setMax(float(*capacity - 1) + 0.1f);
        ProgressBar1->setValue(0.1f);
        for (int index = 0; index < *capacity; ++index) {
            DoEvents();
            if (guard.lineLost())
                return stopLineLost(*this);
            ProgressBar1->setValue(float(index) + 0.1f);
            const int slot = index + 1;
            const int position = offset + index;
            const QString answer = InviaAT(slotCommand("+CMGD=", slot));
            if (guard.lineLost())
                return stopLineLost(*this);
            const QString head = RowHead(pass.sim, slot, *capacity);
            if (answer == QLatin1String("OK")) {
                writeRow(List1, position, head + EmptyBody(columnsOf(*this), LungNumero));
            } else {
                // A slot that could not be deleted keeps its row; a list
                // without one gets the answer, so that the rows after it
                // stay at their positions.
                ++failed;
                if (position >= List1->ListCount())
                    writeRow(List1, position, head + answer);
                if (answer == GiveUp)
                    return silent();
            }
        }
        offset += *capacity;
    }
    Text3->setText(failure);
    if (failed == 0 && failure.isEmpty())
        Stato(QStringLiteral("Cancellazione sms terminata.."));
    else if (failed == 0)
        Stato(failure);
    else if (failed == 1)
        Stato(QStringLiteral("Cancellazione sms terminata.. 1 non cancellato"));
    else
        Stato(QStringLiteral("Cancellazione sms terminata.. %1 non cancellati").arg(failed));
}
