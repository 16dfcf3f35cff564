// SPDX-License-Identifier: GPL-3.0-or-later
#include "phone/messages/messages.h"

#include "at/cpms.h"
#include "at/status.h"
#include "pdu/pdu.h"
#include "phone/phonebook/phonebook.h"

#include <algorithm>

namespace phone {

using namespace store;

namespace {

// The part a slot's message is, as "+CMGR=" or the listing gave it.
std::optional<MessagePart> partOf(const at::CmgrAnswer& slot)
{
    return slot.kind == at::CmgrAnswer::Message ? PartOf(slot.tipo, slot.pak) : std::nullopt;
}

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

// Why a store selection that did not succeed failed: the phone said no, or
// said nothing at all.
QString selectionFailure(const Session& session, Step step, bool sim)
{
    return Capitalized(step == Step::Silent ? session.noAnswer() : NotSelectable(sim));
}

QString slotCommand(const char* command, int slot) { return QLatin1String(command) + QString::number(slot); }

// The listed message of a slot, as "+CMGR=" would give it; an empty slot
// when the listing has none there.
at::CmgrAnswer listedSlot(const std::vector<const at::CmglEntry*>& bySlot, int slot)
{
    if (size_t(slot) < bySlot.size() && bySlot[size_t(slot)])
        return at::AsCmgr(*bySlot[size_t(slot)]);
    at::CmgrAnswer empty;
    empty.kind = at::CmgrAnswer::Empty;
    return empty;
}

const MessageRecord& noRecord()
{
    static const MessageRecord none;
    return none;
}

} // namespace

struct Messages::PassEnd {
    enum { Next, Complete, LineLost, Failed } how;
    QString why;
    int notRead = 0;
};

Messages::Messages(Session& session, const Phonebook& phonebook, QObject* parent)
    : RowModel(parent), m_session(session), m_phonebook(phonebook)
{
}

const MessageRecord& Messages::record(int position) const
{
    return position >= 0 && size_t(position) < m_records.size() ? m_records[size_t(position)] : noRecord();
}

std::optional<QString> Messages::nameOf(const QString& number) const { return m_phonebook.nameOf(number); }

// The row body for a slot as the phone gave it (`said`, when the answer
// holds no message, is the body). The list read searches the phone book
// for the number alone; a contact without a name leaves the number, as no
// contact does.
QString Messages::body(const Columns& columns, const at::CmgrAnswer& slot, const QString& said) const
{
    const int width = m_session.numberWidth;
    switch (slot.kind) {
    case at::CmgrAnswer::NoMessage:
        return said;
    case at::CmgrAnswer::Empty:
        return EmptyBody(columns, width);
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
        if (auto name = nameOf(fields.number); name && !TrimSpaces(*name).isEmpty())
            fields.number = *name;
    }
    if (columns.time)
        fields.time = RivOra(tipo, slot.pak);
    if (columns.date)
        fields.date = RivData(tipo, slot.pak);
    if (columns.text)
        fields.text = RivTesto(tipo, slot.pak);
    return MessageBody(columns, width, tipo, fields);
}

// Writes the row at `position` for the slot `place` names as the phone gave
// it, or adds it right after the last one. A position beyond that (the
// list was cleared meanwhile) is left alone.
void Messages::write(int position, const RowPlace& place, const at::CmgrAnswer& slot, const QString& said,
                     const Columns& columns)
{
    const QString head = RowHead(place.sim, place.slot, place.capacity);
    MessageRecord record;
    record.place = place;
    record.place.headLength = int(head.size());
    record.answer = slot;
    record.said = said;
    record.part = partOf(slot);
    record.columns = columns;
    record.numberWidth = m_session.numberWidth;
    const QString row = head + body(columns, slot, said);
    if (!writeText(position, row))
        return;
    if (size_t(position) >= m_records.size())
        m_records.resize(size_t(position) + 1);
    m_records[size_t(position)] = record;
    emit recordWritten(position);
}

// The phone marks a message read when it gives it; so does its row. Only a
// row with the service-centre column has " ³ " before the status.
void Messages::markRead(int position)
{
    const QString row = text(position);
    if (const QString read = MarkedRead(row); read != row)
        writeText(position, read);
}

void Messages::textWritten(int row)
{
    // A row given as text (an older list, a test) shows what its head says
    // and nothing the phone gave.
    if (size_t(row) >= m_records.size())
        m_records.resize(size_t(row) + 1);
    MessageRecord record;
    record.place = ReadRowPlace(text(row));
    m_records[size_t(row)] = record;
    emit recordWritten(row);
}

void Messages::textsReset() { m_records.clear(); }

// ---- the list read ----

// The rows of a store whose listing stands for its slots.
Messages::PassEnd Messages::writeListed(const Operation& operation, const Store& store, int capacity, int offset,
                                        const std::vector<at::CmglEntry>& listed, const Columns& columns)
{
    const std::vector<const at::CmglEntry*> bySlot = BySlotIndex(listed, capacity);
    RowYield yield(m_session.feedback());
    for (int slot = 1; slot <= capacity; ++slot) {
        yield();
        if (operation.lineLost())
            return {PassEnd::LineLost, {}};
        m_session.feedback().progress(float(slot));
        write(offset + slot - 1, RowPlace{store.sim, slot, capacity, -1}, listedSlot(bySlot, slot), QString(), columns);
    }
    return {PassEnd::Next, {}};
}

// The rows of a store read slot by slot, after `listing`. A slot the phone
// gave no answer for shows "error", and the read stops there: the slots
// after it would wait as long.
Messages::PassEnd Messages::readSlots(const Operation& operation, StoreReader& reader, const Store& store, int capacity,
                                      int offset, const Listing& listing, const Columns& columns)
{
    int notReadSlots = 0;
    for (int slot = 1; slot <= capacity; ++slot) {
        m_session.feedback().yield();
        if (operation.lineLost())
            return {PassEnd::LineLost, {}};
        m_session.feedback().progress(float(slot));
        Slot got;
        const Step step = reader.read(slot, got, &listing);
        if (step == Step::LineLost)
            return {PassEnd::LineLost, {}};
        write(offset + slot - 1, RowPlace{store.sim, slot, capacity, -1}, got.answer, got.text, columns);
        if (step == Step::Silent)
            return {PassEnd::Failed, m_session.noAnswer()};
        notReadSlots += notRead(got) ? 1 : 0;
    }
    return {PassEnd::Next, {}, notReadSlots};
}

// Every slot of one store from row `offset` on; `offset` moves past them.
Messages::PassEnd Messages::listStore(const Operation& operation, StoreReader& reader, const Store& store,
                                      const Columns& columns, const std::function<void(const QString&)>& header,
                                      int& offset)
{
    const auto ended = [this](Step step) {
        return step == Step::LineLost ? PassEnd{PassEnd::LineLost, {}} : PassEnd{PassEnd::Failed, m_session.noAnswer()};
    };
    bool selected = false;
    QString selection;
    Step step = reader.select(store, selected, &selection);
    if (step != Step::Answered)
        return ended(step);
    if (!selected) // a phone without a store of its own: the read is complete
        return StoreReader::NoPhoneStore(store, selection) ? PassEnd{PassEnd::Complete, {}}
                                                           : PassEnd{PassEnd::Failed, NotSelectable(store.sim)};
    m_session.feedback().status(store.reading);
    std::optional<int> capacity, used;
    if ((step = reader.widths()) != Step::Answered
        || (step = reader.capacity(store, capacity, &used)) != Step::Answered)
        return ended(step);
    if (!capacity)
        return {PassEnd::Failed, SizeNotRead(store.sim)};
    m_session.feedback().progressMax(float(*capacity));
    m_session.feedback().progress(0.1f);
    header(HeaderLine(columns, *capacity, m_session.numberWidth));
    if (*capacity == 0)
        return {PassEnd::Next, {}}; // no slot, nothing to list
    // One listing stands for the slots; a listing that cannot is read slot
    // by slot.
    Listing listing;
    if ((step = reader.list(*capacity, used, listing)) != Step::Answered)
        return ended(step);
    const PassEnd end = listing.stands ? writeListed(operation, store, *capacity, offset, *listing.stands, columns)
                                       : readSlots(operation, reader, store, *capacity, offset, listing, columns);
    offset += *capacity;
    return end;
}

Ended Messages::readList(const Operation& operation, const Columns& columns,
                         const std::function<void(const QString&)>& header)
{
    StoreReader reader(operation);
    int offset = 0;
    int notReadSlots = 0;
    for (const Store& store : Stores()) {
        const PassEnd end = listStore(operation, reader, store, columns, header, offset);
        notReadSlots += end.notRead;
        if (end.how == PassEnd::Complete)
            break;
        if (end.how == PassEnd::Next)
            continue;
        // A read that fails says why; the rows it did not reach stay as they were.
        m_session.feedback().progress(0.1f);
        if (end.how == PassEnd::LineLost)
            return {true, {}};
        return {false, QStringLiteral("Lettura elenco sms fallita: ") + end.why};
    }
    return {false, withNotRead(QStringLiteral("Lettura elenco sms terminata.."), notReadSlots)};
}

// ---- the detail view ----

Detail Messages::readSlot(int slot)
{
    Detail detail;
    detail.said = m_session.transaction(slotCommand("+CMGR=", slot));
    detail.slot = at::ParseCmgr(detail.said, m_session.link().lastError());
    // "error" (the phone never answered) is taken like the phone's "ERROR",
    // and so is a message that came cut or garbled.
    if (detail.slot.kind == at::CmgrAnswer::NoMessage || detail.slot.kind == at::CmgrAnswer::Unreadable)
        return detail;
    if (detail.slot.kind == at::CmgrAnswer::Empty) {
        detail.said = QStringLiteral("NONE");
        return detail;
    }
    const at::CmgrAnswer& got = detail.slot;
    const auto tipo = int16_t(got.tipo); // -1..255
    detail.serviceCentre = RivNumCS(got.pak);
    // The number followed by a blank, so that it does not match the first
    // digits of a longer number in the phone book.
    const QString number = RivNumMT(tipo, got.pak);
    std::optional<QString> name;
    if (!number.isEmpty())
        name = nameOf(number + QLatin1Char(' '));
    if (name && TrimSpaces(*name).isEmpty())
        name.reset(); // a contact without a name: the number, as for no contact
    detail.party = name ? *name + Bar + number : number + Bar + QStringLiteral("Non in rubrica..");
    // The status as the phone stored it; the party as the message says.
    detail.status = at::StatusWord(tipo);
    switch (PduKind(got.pak)) {
    case SmsKind::Deliver:
        detail.partyLabel = QStringLiteral("Mittente =");
        break;
    case SmsKind::Submit:
    case SmsKind::StatusReport:
        detail.partyLabel = QStringLiteral("Destinatario =");
        break;
    case SmsKind::Unknown:
        break;
    }
    detail.time = RivOra(tipo, got.pak);
    detail.date = RivData(tipo, got.pak);
    detail.text = RivTesto(tipo, got.pak);
    return detail;
}

// The whole of a message in parts whose part `part` was read from the slot
// of row `position`. The other parts come from the slots whose rows keep
// them, those of its store first (it is selected), then the others, each
// read again and taken only if it still holds that part of that message; a
// part no slot holds is marked in its place. False when the line was lost.
bool Messages::showWhole(const Operation& operation, int position, const MessagePart& part, Detail& detail)
{
    const RowPlace& place = record(position).place;
    const int total = part.concat.total;
    std::map<int, QString> texts{{part.concat.index, detail.text}};
    std::map<int, QString> slotNames{{part.concat.index, SlotName(place.sim, place.slot, place.capacity)}};
    struct Other {
        int position;
        RowPlace place;
        int index;
    };
    std::vector<Other> others;
    for (const bool sameStore : {true, false}) {
        for (int row = 0; row < count(); ++row) {
            const MessageRecord& kept = record(row);
            if (row == position || !kept.part || !SameMessage(*kept.part, part)
                || kept.part->concat.index == part.concat.index)
                continue;
            if (kept.place.headLength >= 0 && (kept.place.sim == place.sim) == sameStore)
                others.push_back({row, kept.place, kept.part->concat.index});
        }
    }
    StoreReader reader(operation);
    bool selectedSim = place.sim;
    bool selected = true;
    for (const Other& other : others) {
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
        markRead(other.position);
    }
    detail.text = JoinedText(total, texts);
    detail.partsStatus = PartsStatus(total, slotNames);
    return true;
}

Messages::Opened Messages::open(const Operation& operation, int position)
{
    Opened opened;
    const RowPlace place = record(position).place;
    // The SIM selection goes out with CR LF before the link's own CR.
    QString selection;
    const Step step =
        m_session.ask(operation, place.sim ? QStringLiteral("+CPMS=SM\r\n") : QStringLiteral("+CPMS=ME"), &selection);
    if (step == Step::LineLost) {
        opened.lineLost = true;
        return opened;
    }
    if (step != Step::Answered || !at::CpmsSelected(selection)) {
        opened.failure = selectionFailure(m_session, step, place.sim);
        return opened;
    }
    opened.detail = readSlot(place.slot);
    opened.read = true;
    if (operation.lineLost()) {
        opened.lineLost = true;
        return opened;
    }
    Detail& detail = opened.detail;
    // A read that failed changes nothing of the row.
    if (detail.slot.kind != at::CmgrAnswer::Message && detail.slot.kind != at::CmgrAnswer::Empty)
        return opened;
    // The part the slot holds now, for the next message in parts opened.
    if (size_t(position) < m_records.size())
        m_records[size_t(position)].part = partOf(detail.slot);
    markRead(position);
    const std::optional<MessagePart> part = partOf(detail.slot);
    if (part && part->concat.total > 1 && !showWhole(operation, position, *part, detail))
        opened.partsLost = true;
    return opened;
}

// ---- the refresh ----

Ended Messages::refresh(const Operation& operation, const Columns& columns, QString& failure)
{
    Feedback& feedback = m_session.feedback();
    if (count() == 0)
        return {false, QStringLiteral("Elenco sms non caricato..")};
    feedback.progressMax(float(count() - 1) + 0.1f);
    StoreReader reader(operation);
    // What the refresh knows of one store: whether it refused to be
    // selected, and its listing, asked for once, when its first empty row
    // is met.
    struct Known {
        bool refused = false;
        bool listingAsked = false;
        Listing listing;
        std::vector<const at::CmglEntry*> bySlot;
    };
    // A store that cannot be selected keeps its rows; the others are
    // refreshed all the same.
    Known sim, phone;
    int notReadSlots = 0;
    const QString emptyBody = EmptyBody(columns, m_session.numberWidth);
    const auto showsEmptySlot = [&](int position) {
        const MessageRecord& kept = record(position);
        if (kept.answer)
            return kept.answer->kind == at::CmgrAnswer::Empty && kept.columns == columns
                   && kept.numberWidth == m_session.numberWidth;
        // A row given as text: what it shows.
        return text(position).contains(emptyBody, Qt::CaseInsensitive);
    };
    // Refreshes the empty row at `position`, of the store `place` names.
    const auto refreshRow = [&](Known& known, const RowPlace& place, int position) {
        const Store& store = StoreOf(place.sim);
        QString selection;
        const auto select = [&] {
            bool selected = false;
            const Step step = reader.select(store, selected, &selection);
            if (step == Step::Answered && !selected) {
                known.refused = true;
                failure = selectionFailure(m_session, step, place.sim);
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
        if (known.listing.stands) {
            feedback.progress(float(position) + 0.1f);
            write(position, place, listedSlot(known.bySlot, place.slot), QString(), columns);
            return Step::Answered;
        }
        // A store whose listing cannot stand for its slots is refreshed slot
        // by slot, selected again for every row.
        Step step = select();
        if (step != Step::Answered || known.refused)
            return step;
        feedback.progress(float(position) + 0.1f);
        Slot got;
        if ((step = reader.read(place.slot, got, &known.listing)) != Step::LineLost)
            write(position, place, got.answer, got.text, columns);
        notReadSlots += step == Step::Answered && notRead(got) ? 1 : 0;
        return step;
    };
    for (int position = 0; position < count(); ++position) {
        feedback.status(QStringLiteral("Aggiornamento sms in corso.."));
        feedback.yield();
        if (operation.lineLost()) {
            feedback.progress(0.1f);
            return {true, {}};
        }
        if (!showsEmptySlot(position))
            continue;
        const RowPlace place = record(position).place;
        Known& known = place.sim ? sim : phone;
        if (known.refused)
            continue;
        const Step step = refreshRow(known, place, position);
        if (step == Step::LineLost) {
            feedback.progress(0.1f);
            return {true, {}};
        }
        if (step == Step::Silent) {
            feedback.progress(0.1f);
            return {false, QStringLiteral("Aggiornamento elenco sms fallito: ") + m_session.noAnswer()};
        }
    }
    return {false, failure.isEmpty() ? withNotRead(QStringLiteral("Aggiornamento elenco sms terminata.."), notReadSlots)
                                     : failure};
}

// ---- the deletions ----

Messages::Deleted Messages::deleteOne(const Operation& operation, int position, const Columns& columns)
{
    Deleted done;
    const MessageRecord kept = record(position);
    const RowPlace& place = kept.place;
    QString selection;
    const Step step = m_session.ask(operation, StoreOf(place.sim).select, &selection);
    if (step == Step::LineLost) {
        done.lineLost = true;
        return done;
    }
    if (step != Step::Answered || !at::CpmsSelected(selection)) {
        done.failure = selectionFailure(m_session, step, place.sim);
        return done;
    }
    const QString answer = m_session.transaction(slotCommand("+CMGD=", place.slot));
    if (operation.lineLost()) {
        done.lineLost = true;
        return done;
    }
    if (answer != QLatin1String("OK"))
        return done;
    done.deleted = true;
    if (position >= count())
        return done;
    // The row keeps its head as it was written.
    const QString row = text(position);
    const QString head =
        place.headLength >= 0 ? row.left(place.headLength) : RowHead(place.sim, place.slot, place.capacity);
    at::CmgrAnswer empty;
    empty.kind = at::CmgrAnswer::Empty;
    MessageRecord record;
    record.place = place;
    record.place.headLength = int(head.size());
    record.answer = empty;
    record.columns = columns;
    record.numberWidth = m_session.numberWidth;
    writeText(position, head + EmptyBody(columns, m_session.numberWidth));
    m_records[size_t(position)] = record;
    emit recordWritten(position);
    return done;
}

Ended Messages::deleteAll(const Operation& operation, const std::function<Columns()>& columns, QString& failure)
{
    Feedback& feedback = m_session.feedback();
    StoreReader reader(operation);
    // The rows of one store, as a list read wrote them.
    const auto rowsOfStore = [this](bool sim) {
        const QLatin1String prefix = sim ? QLatin1String("S:") : QLatin1String("C:");
        int rows = 0;
        for (int position = 0; position < count(); ++position)
            rows += text(position).startsWith(prefix) ? 1 : 0;
        return rows;
    };
    at::CmgrAnswer empty;
    empty.kind = at::CmgrAnswer::Empty;
    int offset = 0;
    int failed = 0;
    for (const Store& store : Stores()) {
        // Deletes every slot of `store`, whose rows begin at `offset`.
        bool selected = false;
        QString selection;
        std::optional<int> capacity;
        QString storeFailure;
        Step step = reader.select(store, selected, &selection);
        if (step == Step::Answered && selected) {
            feedback.status(store.deleting);
            step = reader.capacity(store, capacity);
            if (step == Step::Answered && !capacity)
                storeFailure = Capitalized(SizeNotRead(store.sim));
        } else if (step == Step::Answered && StoreReader::NoPhoneStore(store, selection)
                   && rowsOfStore(store.sim) == 0) {
            break; // nothing there to delete
        } else if (step == Step::Answered) {
            storeFailure = selectionFailure(m_session, Step::Answered, store.sim);
        }
        if (step == Step::Answered && !capacity) {
            // None of the slots the list shows for this store was deleted.
            const int rows = rowsOfStore(store.sim);
            failed += rows;
            offset += rows;
            failure = storeFailure;
            continue;
        }
        if (step == Step::Answered) {
            feedback.progressMax(float(*capacity - 1) + 0.1f);
            feedback.progress(0.1f);
            for (int index = 0; index < *capacity; ++index) {
                feedback.yield();
                if (operation.lineLost()) {
                    step = Step::LineLost;
                    break;
                }
                feedback.progress(float(index) + 0.1f);
                const int slot = index + 1;
                const int position = offset + index;
                QString answer;
                if ((step = reader.ask(slotCommand("+CMGD=", slot), &answer)) == Step::LineLost)
                    break;
                const RowPlace place{store.sim, slot, *capacity, -1};
                if (answer == QLatin1String("OK")) {
                    // Each row takes the columns chosen when it is written.
                    write(position, place, empty, QString(), columns());
                    continue;
                }
                // A slot that could not be deleted keeps its row; a list
                // without one gets the answer, so that the rows after it
                // stay in place.
                ++failed;
                if (position >= count()) {
                    at::CmgrAnswer refused;
                    write(position, place, refused, answer, columns());
                }
                if (step == Step::Silent)
                    break;
            }
            offset += *capacity;
        }
        if (step == Step::LineLost) {
            feedback.progress(0.1f);
            return {true, {}};
        }
        if (step == Step::Silent) {
            feedback.progress(0.1f);
            return {false, QStringLiteral("Cancellazione sms fallita: ") + m_session.noAnswer()};
        }
    }
    if (failed == 0)
        return {false, failure.isEmpty() ? QStringLiteral("Cancellazione sms terminata..") : failure};
    if (failed == 1)
        return {false, QStringLiteral("Cancellazione sms terminata.. 1 non cancellato")};
    return {false, QStringLiteral("Cancellazione sms terminata.. %1 non cancellati").arg(failed)};
}

// ---- the export's read ----

Messages::ReadAgain Messages::readAgain(const Operation& operation)
{
    ReadAgain done;
    StoreReader reader(operation);
    int selectedStore = -1; // 1 the SIM, 0 the phone's memory, -1 none yet
    int refusedStore = -1;  // the store that could not be selected
    bool silent = false;
    for (int position = 0; position < count(); ++position) {
        m_session.feedback().progress(float(position + 1));
        const MessageRecord& kept = record(position);
        const RowPlace& place = kept.place;
        // A row that showed nothing but blanks and column bars: an empty slot.
        const QString row = text(position);
        const bool blank = place.headLength >= 0 && std::all_of(row.begin() + place.headLength, row.end(), [](QChar c) {
                               return c == QLatin1Char(' ') || c == at::kBar;
                           });
        if (place.headLength < 0 || place.slot <= 0 || blank)
            continue;
        const int store = place.sim ? 1 : 0;
        if (silent || refusedStore == store) {
            ++done.unread;
            continue;
        }
        Step step = Step::Answered;
        if (selectedStore != store) {
            // A slot of a store the phone has not selected is another message.
            bool selected = false;
            step = reader.select(StoreOf(place.sim), selected);
            selectedStore = selected ? store : -1;
            if (step == Step::Answered && !selected)
                refusedStore = store;
        }
        Slot got;
        if (step == Step::Answered && refusedStore != store)
            step = reader.read(place.slot, got);
        if (step == Step::LineLost) {
            done.lineLost = true;
            return done;
        }
        silent = step == Step::Silent;
        // A slot emptied since the list was read has nothing to export.
        if (got.answer.kind == at::CmgrAnswer::Message) {
            const at::CmgrAnswer& slot = got.answer;
            const auto tipo = int16_t(slot.tipo);
            ExportedMessage message;
            message.store = StoreOf(place.sim).name;
            message.slot = place.slot;
            message.status = at::StatusWord(slot.tipo);
            if (message.status.isEmpty() && slot.tipo >= 0)
                message.status = QString::number(slot.tipo);
            message.serviceCentre = RivNumCS(slot.pak);
            message.number = RivNumMT(tipo, slot.pak);
            if (!message.number.isEmpty()) {
                if (const std::optional<QString> name = m_phonebook.nameOf(message.number))
                    message.name = name->trimmed();
            }
            message.dateTime = CsvDateTime(RivData(tipo, slot.pak), RivOra(tipo, slot.pak));
            if (!message.dateTime.isEmpty())
                message.zone = RivZona(tipo, slot.pak);
            message.text = RivTesto(tipo, slot.pak);
            done.messages.push_back(message);
            done.parts.push_back(PartOf(slot.tipo, slot.pak));
        } else if (silent || refusedStore == store || got.answer.kind != at::CmgrAnswer::Empty) {
            ++done.unread;
        }
    }
    return done;
}

// ---- a message that arrives ----

Messages::Place Messages::placeOf(bool sim, int slot) const
{
    Place found;
    const QString prefix = StorePrefix(sim);
    for (int position = 0; position < count(); ++position) {
        const MessageRecord& kept = record(position);
        if (!text(position).startsWith(prefix) || kept.place.headLength < 0)
            continue;
        found.capacity = kept.place.capacity;
        if (kept.place.slot == slot)
            found.position = position;
    }
    return found;
}

void Messages::rewrite(int position, const Slot& slot, const Columns& columns)
{
    const RowPlace place = record(position).place;
    write(position, place, slot.answer, slot.text, columns);
}

} // namespace phone
