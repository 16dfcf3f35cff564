// SPDX-License-Identifier: GPL-3.0-or-later
// The message store: the list of both message stores in List1, the detail
// view of one message, the refresh of the empty slots and the deletions.
// The rows of List1 (store/message_rows.h) are the only record of the messages: the
// detail view, the refresh and the deletions read store, slot and capacity
// back out of them. Besides its text a row keeps the part its message is of
// a message in parts (store/parts.h), which the detail view uses to find the
// other parts; whoever writes a row writes that too.
#include "phone/messages/message_rows.h"

#include "phone/phonebook/book_rows.h"

#include "at/cmgr.h"
#include "at/cpbr.h"
#include "at/cpms.h"
#include "at/errors.h"
#include "at/status.h"
#include "link/phonelink.h"
#include "pdu/pdu.h"
#include "phone/messages/parts.h"
#include "phone/messages/reader.h"
#include "store/slot_rows.h"
#include "window/form1.h"

#include <algorithm>
#include <map>
#include <optional>
#include <vector>

using namespace store;
using store::Step;

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

// Why a store selection that did not succeed failed: the phone said no, or
// said nothing at all.
QString selectionFailure(const Form1& form, Step step, bool sim)
{
    return Capitalized(step == Step::Silent ? form.Sessione->noAnswer() : NotSelectable(sim));
}

// Selects the store of a row before one of its slots is read or deleted.
// The same index in another store is another message: a store that could
// not be selected is said in Text3 and panel 2 and nothing more is done;
// nor after a lost line.
bool selectRowStore(Form1& form, const LongOperation& guard, const QString& command, bool sim)
{
    QString selection;
    const Step step = StoreReader(guard).ask(command, &selection);
    if (step == Step::LineLost)
        return false;
    if (step == Step::Answered && at::CpmsSelected(selection))
        return true;
    const QString why = selectionFailure(form, step, sim);
    form.Text3->setText(why);
    form.Stato(why);
    return false;
}

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
    case at::CmgrAnswer::Unreadable:
        return UnreadableBody();
    case at::CmgrAnswer::Message:
        break;
    }
    const auto tipo = int16_t(slot.tipo); // -1..255
    MessageFields fields;
    if (columns.serviceCentre)
        fields.serviceCentre = RivNumCS(slot.pak);
    fields.number = RivNumMT(tipo, slot.pak);
    if (!fields.number.isEmpty()) {
        // A contact without a name leaves the number, as no contact does.
        if (auto name = phoneBookName(form, fields.number); name && !TrimSpaces(*name).isEmpty())
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

// The row body for a slot read alone.
QString slotBody(Form1& form, const Slot& slot) { return slotBody(form, slot.answer, slot.text); }

// A slot read alone whose row shows no message and no empty slot: its
// message came cut or garbled, or the phone refused to give it.
bool notRead(const Slot& slot)
{
    return slot.answer.kind == at::CmgrAnswer::Unreadable || slot.answer.kind == at::CmgrAnswer::NoMessage;
}

// The status of a read that ended, with the rows it wrote that show no
// message and no empty slot: "Lettura elenco sms terminata.. 2 sms non
// leggibili".
QString withNotRead(const QString& ended, int notReadSlots)
{
    if (notReadSlots == 0)
        return ended;
    return ended
           + (notReadSlots == 1 ? QStringLiteral(" 1 sms non leggibile")
                                : QStringLiteral(" %1 sms non leggibili").arg(notReadSlots));
}

// The row body of slot `slot` of a store as its listing gave it: the message
// listed at that index, or an empty slot.
QString listedBody(Form1& form, const std::vector<const at::CmglEntry*>& bySlot, int slot)
{
    if (size_t(slot) < bySlot.size() && bySlot[size_t(slot)])
        return slotBody(form, at::AsCmgr(*bySlot[size_t(slot)]), QString());
    return EmptyBody(columnsOf(form), form.LungNumero);
}

// What a row of List1 keeps of its message besides its text: the part it
// is of a message in parts, so that opening one part finds the others
// without reading every slot again.
constexpr int kPartRole = Qt::UserRole + 1;

void keepPart(ListBox* list, int position, const std::optional<MessagePart>& part)
{
    if (QListWidgetItem* item = list->item(position))
        item->setData(kPartRole, part ? QVariant::fromValue(*part) : QVariant());
}

std::optional<MessagePart> keptPart(const ListBox* list, int position)
{
    const QListWidgetItem* item = list->item(position);
    const QVariant kept = item ? item->data(kPartRole) : QVariant();
    if (!kept.canConvert<MessagePart>())
        return std::nullopt;
    return kept.value<MessagePart>();
}

// The part a slot's message is, as "+CMGR=" or the listing gave it.
std::optional<MessagePart> partOf(const at::CmgrAnswer& slot)
{
    return slot.kind == at::CmgrAnswer::Message ? PartOf(slot.tipo, slot.pak) : std::nullopt;
}

std::optional<MessagePart> listedPart(const std::vector<const at::CmglEntry*>& bySlot, int slot)
{
    if (size_t(slot) < bySlot.size() && bySlot[size_t(slot)])
        return partOf(at::AsCmgr(*bySlot[size_t(slot)]));
    return std::nullopt;
}

// Replaces a row of List1 in place, or adds it right after the last one,
// with the part its message is (none for a row that shows no message). A
// position beyond that (the list was cleared meanwhile) is left alone.
void writeRow(ListBox* list, int position, const QString& row, const std::optional<MessagePart>& part = std::nullopt)
{
    if (position < 0 || position > list->ListCount())
        return;
    list->setList(position, row);
    keepPart(list, position, part);
}

QString slotCommand(const char* command, int slot) { return QLatin1String(command) + QString::number(slot); }

// How the read of one store ended: on to the next store, the read complete
// (a phone without a store of its own), a line lost, or a failure and why;
// and how many of its slots could not be read.
struct PassEnd {
    enum { Next, Complete, LineLost, Failed } how;
    QString why;
    int notRead = 0;
};

PassEnd ended(const Form1& form, Step step)
{
    return step == Step::LineLost ? PassEnd{PassEnd::LineLost, {}}
                                  : PassEnd{PassEnd::Failed, form.Sessione->noAnswer()};
}

// The rows of a store whose listing stands for its slots.
PassEnd writeListed(Form1& form, const LongOperation& guard, const Store& store, int capacity, int offset,
                    const std::vector<at::CmglEntry>& listed)
{
    const std::vector<const at::CmglEntry*> bySlot = BySlotIndex(listed, capacity);
    RowYield yield(form);
    for (int slot = 1; slot <= capacity; ++slot) {
        yield();
        if (guard.lineLost())
            return {PassEnd::LineLost, {}};
        form.ProgressBar1->setValue(float(slot));
        writeRow(form.List1, offset + slot - 1, RowHead(store.sim, slot, capacity) + listedBody(form, bySlot, slot),
                 listedPart(bySlot, slot));
    }
    return {PassEnd::Next, {}};
}

// The rows of a store read slot by slot, after `listing`. A slot the phone
// gave no answer for shows "error", and the read stops there: the slots
// after it would wait as long.
PassEnd readSlots(Form1& form, StoreReader& reader, const LongOperation& guard, const Store& store, int capacity,
                  int offset, const Listing& listing)
{
    int notReadSlots = 0;
    for (int slot = 1; slot <= capacity; ++slot) {
        form.DoEvents();
        if (guard.lineLost())
            return {PassEnd::LineLost, {}};
        form.ProgressBar1->setValue(float(slot));
        Slot got;
        const Step step = reader.read(slot, got, &listing);
        if (step == Step::LineLost)
            return ended(form, step);
        writeRow(form.List1, offset + slot - 1, RowHead(store.sim, slot, capacity) + slotBody(form, got),
                 partOf(got.answer));
        if (step == Step::Silent)
            return ended(form, step);
        notReadSlots += notRead(got) ? 1 : 0;
    }
    return {PassEnd::Next, {}, notReadSlots};
}

// Every slot of one store into List1 from row `offset` on; `offset` moves
// past them.
PassEnd listStore(Form1& form, StoreReader& reader, const LongOperation& guard, const Store& store, int& offset)
{
    bool selected = false;
    QString selection;
    Step step = reader.select(store, selected, &selection);
    if (step != Step::Answered)
        return ended(form, step);
    if (!selected) // a phone without a store of its own: the read is complete
        return StoreReader::NoPhoneStore(store, selection) ? PassEnd{PassEnd::Complete, {}}
                                                           : PassEnd{PassEnd::Failed, NotSelectable(store.sim)};
    form.Stato(store.reading);
    std::optional<int> capacity, used;
    if ((step = reader.widths()) != Step::Answered
        || (step = reader.capacity(store, capacity, &used)) != Step::Answered)
        return ended(form, step);
    if (!capacity)
        return {PassEnd::Failed, SizeNotRead(store.sim)};
    form.ProgressBar1->setMax(float(*capacity));
    form.ProgressBar1->setValue(0.1f);
    form.Label5->setText(HeaderLine(columnsOf(form), *capacity, form.LungNumero));
    if (*capacity == 0)
        return {PassEnd::Next, {}}; // no slot, nothing to list
    // One listing stands for the slots; a listing that cannot is read slot
    // by slot.
    Listing listing;
    if ((step = reader.list(*capacity, used, listing)) != Step::Answered)
        return ended(form, step);
    const PassEnd end = listing.stands ? writeListed(form, guard, store, *capacity, offset, *listing.stands)
                                       : readSlots(form, reader, guard, store, *capacity, offset, listing);
    offset += *capacity;
    return end;
}

} // namespace

// "Leggi elenco SMS da cellulare": every slot of the SIM store, then of the
// phone's own store, one row each.
void Form1::Command4_Click()
{
    LongOperation guard(*this, PortaNonAperta);
    if (!guard.taken())
        return;
    const FrameLock lock(Frame1);
    StoreReader reader(guard);
    int offset = 0;
    int notReadSlots = 0;
    for (const Store& store : Stores()) {
        const PassEnd end = listStore(*this, reader, guard, store, offset);
        notReadSlots += end.notRead;
        if (end.how == PassEnd::Complete)
            break;
        if (end.how == PassEnd::Next)
            continue;
        // A read that fails says why; the rows it did not reach stay as they were.
        ProgressBar1->setValue(0.1f);
        if (end.how == PassEnd::Failed)
            Stato(QStringLiteral("Lettura elenco sms fallita: ") + end.why);
        return;
    }
    Stato(withNotRead(QStringLiteral("Lettura elenco sms terminata.."), notReadSlots));
}

namespace {

// Leggi_SMS, which also gives the slot as the phone answered it.
QString readDetail(Form1& form, int16_t nsms, at::CmgrAnswer& slot)
{
    const QString answer = form.InviaAT(slotCommand("+CMGR=", nsms));
    slot = at::ParseCmgr(answer, form.ErroreAT);
    // "error" (the phone never answered) is taken like the phone's "ERROR",
    // and so is a message that came cut or garbled.
    if (slot.kind == at::CmgrAnswer::NoMessage || slot.kind == at::CmgrAnswer::Unreadable)
        return answer;
    if (slot.kind == at::CmgrAnswer::Empty)
        return QStringLiteral("NONE");
    const auto tipo = int16_t(slot.tipo); // -1..255

    form.Text7->setText(RivNumCS(slot.pak));

    // The number followed by a blank, so that it does not match the first
    // digits of a longer number in the phone book.
    const QString number = RivNumMT(tipo, slot.pak);
    std::optional<QString> name;
    if (!number.isEmpty())
        name = phoneBookName(form, number + QLatin1Char(' '));
    if (name && TrimSpaces(*name).isEmpty())
        name.reset(); // a contact without a name: the number, as for no contact
    form.Text9->setText(name ? *name + Bar + number : number + Bar + QStringLiteral("Non in rubrica.."));

    // The status as the phone stored it; the party as the message says.
    form.Text8->setText(at::StatusWord(tipo));
    switch (PduKind(slot.pak)) {
    case SmsKind::Deliver:
        form.Label12->setText(QStringLiteral("Mittente ="));
        break;
    case SmsKind::Submit:
    case SmsKind::StatusReport:
        form.Label12->setText(QStringLiteral("Destinatario ="));
        break;
    case SmsKind::Unknown:
        form.Label12->setText(QString());
        break;
    }

    form.Text10->setText(RivOra(tipo, slot.pak));
    form.Text11->setText(RivData(tipo, slot.pak));
    return RivTesto(tipo, slot.pak);
}

} // namespace

// Reads slot `nsms` of the store the caller has selected and fills the
// detail fields. Returns the answer when it holds no message, "NONE" for an
// empty slot, otherwise the message text.
QString Form1::Leggi_SMS(int16_t nsms)
{
    at::CmgrAnswer slot;
    return readDetail(*this, nsms, slot);
}

namespace {

// Why reading one message failed, with the phone's reason when it gave one.
QString readFailure(const QString& answer, const QString& errorLine, phonelink::GiveUp why)
{
    QString reason = at::ErrorReason(errorLine);
    if (reason.isEmpty() && phonelink::gaveUp(answer))
        reason = phonelink::GiveUpText(why);
    else if (reason.isEmpty() && at::ParseCmgr(answer).kind == at::CmgrAnswer::Unreadable)
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
            RowYield yield(form);
            for (int entry = 0; entry < form.List2->ListCount(); ++entry) {
                yield();
                if (form.List2->List(entry).contains(*key, Qt::CaseInsensitive))
                    return form.List2->setListIndex(entry);
            }
        }
    }
    form.Text2->setText(form.Text9->text());
}

// A row of List1 whose message may be another part of an opened one.
struct OtherPart {
    int position;
    RowPlace place;
    int index;
};

// The rows that keep a part of `part`'s message other than `part` itself:
// those of the store `sim` first (it is selected), then the others, each
// in list order.
std::vector<OtherPart> otherParts(const ListBox* list, int position, bool sim, const MessagePart& part)
{
    std::vector<OtherPart> others;
    for (const bool sameStore : {true, false}) {
        for (int row = 0; row < list->ListCount(); ++row) {
            const std::optional<MessagePart> kept = keptPart(list, row);
            if (row == position || !kept || !SameMessage(*kept, part) || kept->concat.index == part.concat.index)
                continue;
            const RowPlace place = ReadRowPlace(list->List(row));
            if (place.headLength >= 0 && (place.sim == sim) == sameStore)
                others.push_back({row, place, kept->concat.index});
        }
    }
    return others;
}

// Shows in Text3 the whole of a message in parts whose part `part`, read
// from the slot of row `position`, has the text `text`. The other parts
// come from the slots whose rows keep them, each read again and taken only
// if it still holds that part of that message; a part no slot holds is
// marked in its place. Panel 2 names the slots. False when the line was
// lost.
bool showWhole(Form1& form, const LongOperation& guard, const RowPlace& place, const MessagePart& part,
               const QString& text, int position)
{
    const int total = part.concat.total;
    std::map<int, QString> texts{{part.concat.index, text}};
    std::map<int, QString> slotNames{{part.concat.index, SlotName(place.sim, place.slot, place.capacity)}};
    StoreReader reader(guard);
    bool selectedSim = place.sim;
    bool selected = true;
    for (const OtherPart& other : otherParts(form.List1, position, place.sim, part)) {
        if (texts.count(other.index))
            continue; // a part held twice: the first slot that still holds it
        Step step = Step::Answered;
        if (other.place.sim != selectedSim) {
            selectedSim = other.place.sim;
            step = reader.select(StoreOf(other.place.sim), selected);
        }
        Slot got;
        if (step == Step::Answered && selected)
            step = reader.read(other.place.slot, got);
        if (step == Step::LineLost)
            return false;
        if (step == Step::Silent)
            break; // the parts after it would wait as long
        const std::optional<MessagePart> now = partOf(got.answer);
        if (!now || !SameMessage(*now, part) || now->concat.index != other.index)
            continue;
        texts[other.index] = RivTesto(int16_t(got.answer.tipo), got.answer.pak);
        slotNames[other.index] = SlotName(other.place.sim, other.place.slot, other.place.capacity);
        // The phone marked it read as it gave it.
        const QString row = form.List1->List(other.position);
        if (const QString read = MarkedRead(row); read != row)
            form.List1->setList(other.position, read);
    }
    form.Text3->setText(JoinedText(total, texts));
    form.StatoParti = PartsStatus(total, slotNames);
    form.Stato(form.StatoParti);
    return true;
}

} // namespace

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
    // The slots of the message in parts shown before are no word on this one.
    if (!StatoParti.isEmpty() && StatusBar1->panelText(2) == StatoParti)
        Stato(Banner);
    StatoParti.clear();
    // The SIM selection goes out with CR LF before the link's own CR.
    if (!selectRowStore(*this, guard, place.sim ? QStringLiteral("+CPMS=SM\r\n") : QStringLiteral("+CPMS=ME"),
                        place.sim))
        return;

    // Nothing of the message shown before stays: Leggi_SMS fills these for
    // a message only.
    for (TextBox* field : {Text7, Text8, Text9, Text10, Text11})
        field->clear();
    at::CmgrAnswer slot;
    const QString text = readDetail(*this, int16_t(place.slot), slot);
    if (guard.lineLost())
        return;
    // What the slot holds now, for the next message in parts opened.
    const std::optional<MessagePart> part = partOf(slot);
    if (slot.kind == at::CmgrAnswer::Message || slot.kind == at::CmgrAnswer::Empty)
        keepPart(List1, position, part);
    Text6->setText((place.sim ? QStringLiteral("SIM") : QStringLiteral("CELLULARE")) + QStringLiteral(" in posizione ")
                   + QString::number(place.slot));
    const bool empty = text == QLatin1String("NONE");
    // A read that failed says so and nothing else: it marks no row read and
    // prepares no reply, which would go to another message's sender.
    if (!empty && Text9->text().isEmpty()) {
        Label12->clear();
        Text3->setText(readFailure(text, ErroreAT, Linea->whyGivenUp()));
        return Stato(Text3->text());
    }
    Text3->setText(empty ? QString() : text);

    // The phone marks a message read when it is read; so does its row. Only
    // a row with the service-centre column has " ³ " before the status.
    const QString read = MarkedRead(row);
    if (read != row && position < List1->ListCount())
        List1->setList(position, read);

    if (part && part->concat.total > 1 && !showWhole(*this, guard, place, *part, text, position))
        return;
    prepareReply(*this);
}

namespace {

// What the refresh knows of one store: whether it refused to be selected,
// and its listing, asked for once, when its first empty row is met.
struct Refreshed {
    bool refused = false;
    bool listingAsked = false;
    Listing listing;
    std::vector<const at::CmglEntry*> bySlot;
};

// Refreshes the empty row at `position`, of the store `place` names.
// `failure` gets why a store could not be selected; `notReadSlots` counts
// the rows that show no message and no empty slot.
Step refreshRow(Form1& form, StoreReader& reader, Refreshed& known, const RowPlace& place, int position,
                QString& failure, int& notReadSlots)
{
    const Store& store = StoreOf(place.sim);
    QString selection;
    const auto select = [&] {
        bool selected = false;
        const Step step = reader.select(store, selected, &selection);
        if (step == Step::Answered && !selected) {
            known.refused = true;
            failure = selectionFailure(form, step, place.sim);
        }
        return step;
    };
    if (!known.listingAsked) {
        known.listingAsked = true;
        Step step = select();
        if (step != Step::Answered || known.refused)
            return step;
        // The listing is checked against the slots in use that the
        // selection counts, or else +CPMS? counts.
        std::optional<int> used = at::CpmsUsed(selection, store.name);
        std::optional<int> capacity;
        if (!used && (step = reader.capacity(store, capacity, &used)) != Step::Answered)
            return step;
        if ((step = reader.list(place.capacity, used, known.listing)) != Step::Answered)
            return step;
        if (known.listing.stands)
            known.bySlot = BySlotIndex(*known.listing.stands, place.capacity);
    }
    const QString head = RowHead(place.sim, place.slot, place.capacity);
    if (known.listing.stands) {
        form.ProgressBar1->setValue(float(position) + 0.1f);
        writeRow(form.List1, position, head + listedBody(form, known.bySlot, place.slot),
                 listedPart(known.bySlot, place.slot));
        return Step::Answered;
    }
    // A store whose listing cannot stand for its slots is refreshed slot by
    // slot, selected again for every row.
    Step step = select();
    if (step != Step::Answered || known.refused)
        return step;
    form.ProgressBar1->setValue(float(position) + 0.1f);
    Slot got;
    if ((step = reader.read(place.slot, got, &known.listing)) != Step::LineLost)
        writeRow(form.List1, position, head + slotBody(form, got), partOf(got.answer));
    notReadSlots += step == Step::Answered && notRead(got) ? 1 : 0;
    return step;
}

} // namespace

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
    StoreReader reader(guard);
    // A store that cannot be selected keeps its rows; the others are
    // refreshed all the same.
    Refreshed sim, phone;
    QString failure;
    int notReadSlots = 0;
    for (int position = 0; position < List1->ListCount(); ++position) {
        Stato(QStringLiteral("Aggiornamento sms in corso.."));
        DoEvents();
        if (guard.lineLost())
            return stopLineLost(*this);
        const QString row = List1->List(position);
        if (!row.contains(EmptyBody(columnsOf(*this), LungNumero), Qt::CaseInsensitive))
            continue;
        const RowPlace place = ReadRowPlace(row);
        Refreshed& known = place.sim ? sim : phone;
        if (known.refused)
            continue;
        const Step step = refreshRow(*this, reader, known, place, position, failure, notReadSlots);
        if (step == Step::LineLost)
            return stopLineLost(*this);
        if (step == Step::Silent) {
            ProgressBar1->setValue(0.1f);
            return Stato(QStringLiteral("Aggiornamento elenco sms fallito: ") + Sessione->noAnswer());
        }
    }
    if (!failure.isEmpty())
        Text3->setText(failure);
    Stato(failure.isEmpty() ? withNotRead(QStringLiteral("Aggiornamento elenco sms terminata.."), notReadSlots)
                            : failure);
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
    if (!selectRowStore(*this, guard, StoreOf(place.sim).select, place.sim))
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
        writeRow(List1, position, head + EmptyBody(columnsOf(*this), LungNumero));
    Text3->setText(QStringLiteral("NONE"));
}

namespace {

// How deleting one store ended, and what it could not delete.
struct Deleted {
    Step step = Step::Answered;
    int failed = 0;        // slots not deleted
    QString failure;       // why the store could not be deleted at all
    bool complete = false; // a phone without a store of its own: nothing more to delete
};

// Deletes every slot of `store`, whose rows begin at `offset` in List1;
// `offset` moves past them.
Deleted deleteStore(Form1& form, StoreReader& reader, const LongOperation& guard, const Store& store, int& offset)
{
    Deleted done;
    bool selected = false;
    QString selection;
    std::optional<int> capacity;
    if ((done.step = reader.select(store, selected, &selection)) != Step::Answered)
        return done;
    if (selected) {
        form.Stato(store.deleting);
        if ((done.step = reader.capacity(store, capacity)) != Step::Answered)
            return done;
        if (!capacity)
            done.failure = Capitalized(SizeNotRead(store.sim));
    } else if (StoreReader::NoPhoneStore(store, selection) && rowsOfStore(form.List1, store.sim) == 0) {
        done.complete = true; // nothing there to delete
        return done;
    } else {
        done.failure = selectionFailure(form, Step::Answered, store.sim);
    }
    if (!capacity) {
        // None of the slots the list shows for this store was deleted.
        done.failed = rowsOfStore(form.List1, store.sim);
        offset += done.failed;
        return done;
    }
    form.ProgressBar1->setMax(float(*capacity - 1) + 0.1f);
    form.ProgressBar1->setValue(0.1f);
    for (int index = 0; index < *capacity; ++index) {
        form.DoEvents();
        if (guard.lineLost()) {
            done.step = Step::LineLost;
            return done;
        }
        form.ProgressBar1->setValue(float(index) + 0.1f);
        const int slot = index + 1;
        const int position = offset + index;
        QString answer;
        if ((done.step = reader.ask(slotCommand("+CMGD=", slot), &answer)) == Step::LineLost)
            return done;
        const QString head = RowHead(store.sim, slot, *capacity);
        if (answer == QLatin1String("OK")) {
            writeRow(form.List1, position, head + EmptyBody(columnsOf(form), form.LungNumero));
            continue;
        }
        // A slot that could not be deleted keeps its row; a list without
        // one gets the answer, so that the rows after it stay in place.
        ++done.failed;
        if (position >= form.List1->ListCount())
            writeRow(form.List1, position, head + answer);
        if (done.step == Step::Silent)
            return done;
    }
    offset += *capacity;
    return done;
}

} // namespace

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
    StoreReader reader(guard);
    int offset = 0;
    int failed = 0;
    QString failure;
    for (const Store& store : Stores()) {
        const Deleted done = deleteStore(*this, reader, guard, store, offset);
        if (done.step == Step::LineLost)
            return stopLineLost(*this);
        if (done.step == Step::Silent) {
            ProgressBar1->setValue(0.1f);
            return Stato(QStringLiteral("Cancellazione sms fallita: ") + Sessione->noAnswer());
        }
        if (done.complete)
            break;
        failed += done.failed;
        if (!done.failure.isEmpty())
            failure = done.failure;
    }
    Text3->setText(failure);
    if (failed == 0)
        Stato(failure.isEmpty() ? QStringLiteral("Cancellazione sms terminata..") : failure);
    else if (failed == 1)
        Stato(QStringLiteral("Cancellazione sms terminata.. 1 non cancellato"));
    else
        Stato(QStringLiteral("Cancellazione sms terminata.. %1 non cancellati").arg(failed));
}

namespace store {

std::optional<QString> PhoneBookName(Form1& form, const QString& number) { return phoneBookName(form, number); }

QString SlotRowBody(Form1& form, const Slot& slot) { return slotBody(form, slot); }

void WriteSlotRow(Form1& form, int position, const RowPlace& place, const Slot& slot)
{
    writeRow(form.List1, position, RowHead(place.sim, place.slot, place.capacity) + slotBody(form, slot),
             partOf(slot.answer));
}

} // namespace store
