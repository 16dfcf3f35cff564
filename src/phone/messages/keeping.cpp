// SPDX-License-Identifier: GPL-3.0-or-later
#include "phone/messages/keeping.h"

#include "at/cpms.h"
#include "at/errors.h"
#include "pdu/pdu.h"
#include "phone/phonebook/phonebook.h"
#include "phone/sending/compose.h"

#include <algorithm>
#include <map>
#include <set>

namespace phone {

using namespace store;

namespace {

// A slot kept free below a message that goes back to its own slot: "+CMGW"
// writes to the first free slot, so each free slot below it takes this
// SMS-SUBMIT without recipient or text until the message is written, and
// is then deleted. TS 23.040 9.2.2.2: no service centre, MTI 01, MR 0, an
// empty address of type 81, PID 0, DCS 0, no user data.
const QLatin1String kFiller("0001000081000000");

QString storeWords(bool sim) { return sim ? QStringLiteral("SIM") : QStringLiteral("cellulare"); }

QString fullText(bool sim)
{
    return sim ? QStringLiteral("memoria SIM piena") : QStringLiteral("memoria cellulare piena");
}

QString slotCommand(const char* command, int slot) { return QLatin1String(command) + QString::number(slot); }

// The listed message of `slot`; none when the listing has none there.
const at::CmglEntry* entryAt(const std::vector<at::CmglEntry>& entries, int slot)
{
    for (const at::CmglEntry& entry : entries) {
        if (entry.index == slot)
            return &entry;
    }
    return nullptr;
}

// A slot as "+CMGR" gives it, from a listing: a message or an empty slot.
Slot slotOf(const at::CmglEntry* entry)
{
    Slot slot;
    if (entry) {
        slot.answer = at::AsCmgr(*entry);
    } else {
        slot.answer.kind = at::CmgrAnswer::Empty;
    }
    return slot;
}

// A status read back is the one written; a phone that gives none
// ("+CMGR: ,,92") cannot say otherwise.
bool sameStatus(int read, int written) { return read < 0 || read == written; }

} // namespace

struct Keeping::Written {
    int index = -1;    // the slot "+CMGW: <index>" names
    bool full = false; // the store is full
    QString refusal;   // why the phone did not write it
};

int WriteStatus(int status, const QString& pdu)
{
    if (status >= 0 && status <= 3)
        return status;
    return PduKind(pdu) == SmsKind::Submit ? 2 : 1;
}

QString UseText(const std::optional<Keeping::Use>& sim, const std::optional<Keeping::Use>& phone)
{
    QStringList parts;
    if (sim)
        parts << QStringLiteral("SIM %1/%2").arg(sim->used).arg(sim->capacity);
    if (phone)
        parts << QStringLiteral("cellulare %1/%2").arg(phone->used).arg(phone->capacity);
    return parts.join(QStringLiteral(", "));
}

bool NearlyFull(const Keeping::Use& use) { return use.capacity > 0 && use.used * 10 >= use.capacity * 9; }

Keeping::Keeping(Session& session, Messages& messages, const Phonebook& phonebook)
    : m_session(session), m_messages(messages), m_phonebook(phonebook)
{
}

// Selects a store to read from, or to read from and write to: "+CMGW"
// writes to the second store of +CPMS (GSM 07.05 3.2.2).
Step Keeping::select(const Operation& operation, bool sim, bool& selected, bool forWriting)
{
    const QString name = StoreOf(sim).name;
    const QString command = forWriting ? QStringLiteral("+CPMS=%1,%1").arg(name) : StoreOf(sim).select;
    QString answer;
    const Step step = m_session.ask(operation, command, &answer);
    selected = step == Step::Answered && at::CpmsSelected(answer);
    return step;
}

// One "+CMGW" dialogue: the prompt, then the PDU and Ctrl-Z. It goes once:
// the link never sends it again on silence.
Step Keeping::write(const Operation& operation, const QString& pdu, int status, Written& written)
{
    written = Written();
    QString answer, errorLine;
    // The length ends with its own CR, as the send's does.
    Step step =
        m_session.ask(operation, QStringLiteral("+CMGW=%1,%2\r").arg(TpduLength(pdu)).arg(WriteStatus(status, pdu)),
                      &answer, &errorLine);
    if (step == Step::Answered && answer == QLatin1String(">"))
        step = m_session.ask(operation, pdu + QChar(0x1A), &answer, &errorLine);
    if (step != Step::Answered)
        return step;
    if (const std::optional<QString> line = at::InfoLine(answer, QLatin1String("+CMGW:"))) {
        if (const std::optional<int> index = at::FieldNumber(at::InfoFields(*line).value(0), at::kMaxStoreCapacity);
            index && *index > 0) {
            written.index = *index;
            return step;
        }
    }
    written.full = at::CmsError(errorLine) == 322;
    written.refusal = FailureReason(answer, errorLine);
    if (written.refusal.isEmpty())
        written.refusal = QStringLiteral("scrittura rifiutata");
    return step;
}

// The messages the selected store holds: one listing that stands for its
// places, or else each slot read. A slot that gives no message it can
// read is held all the same, with an empty PDU.
Step Keeping::held(const Operation& operation, int capacity, std::optional<int> used,
                   std::vector<at::CmglEntry>& messages)
{
    StoreReader reader(operation);
    Listing listing;
    messages.clear();
    Step step = reader.list(capacity, used, listing);
    if (step != Step::Answered)
        return step;
    if (listing.stands) {
        messages = *listing.stands;
        return step;
    }
    for (int slot = 1; slot <= capacity; ++slot) {
        Slot got;
        if ((step = reader.read(slot, got, &listing)) != Step::Answered)
            return step;
        if (got.answer.kind == at::CmgrAnswer::Empty)
            continue;
        at::CmglEntry entry;
        entry.index = slot;
        entry.tipo = got.answer.tipo;
        entry.length = got.answer.length;
        entry.pak = got.answer.kind == at::CmgrAnswer::Message ? got.answer.pak : QString();
        messages.push_back(entry);
    }
    return step;
}

// The rows of `places` of a store, when the list shows that store.
void Keeping::showSlots(bool sim, const std::vector<at::CmglEntry>& held, const std::vector<int>& places,
                        const Columns& columns)
{
    for (const int slot : places) {
        const Messages::Place row = m_messages.placeOf(sim, slot);
        if (row.position >= 0)
            m_messages.rewrite(row.position, slotOf(entryAt(held, slot)), columns);
    }
}

// What a person reading the archive sees of a message: who, when, what.
QStringList Keeping::notes(const at::CmgrAnswer& slot) const
{
    const auto tipo = int16_t(slot.tipo);
    QStringList notes;
    const QString number = RivNumMT(tipo, slot.pak);
    QString party = number;
    if (const std::optional<QString> name = number.isEmpty() ? std::nullopt : m_phonebook.nameOf(number);
        name && !name->trimmed().isEmpty())
        party += QStringLiteral(" (") + name->trimmed() + QLatin1Char(')');
    switch (PduKind(slot.pak)) {
    case SmsKind::Deliver:
        notes << QStringLiteral("Da: ") + party;
        break;
    case SmsKind::Submit:
        notes << QStringLiteral("A: ") + party;
        break;
    case SmsKind::StatusReport:
        notes << QStringLiteral("Rapporto di consegna per: ") + party;
        break;
    case SmsKind::Unknown:
        break;
    }
    const QString date = RivData(tipo, slot.pak);
    const QString time = RivOra(tipo, slot.pak);
    if (!date.trimmed().isEmpty())
        notes << QStringLiteral("Ora: ") + date + QLatin1Char(' ') + time;
    notes << QStringLiteral("Testo: ") + RivTesto(tipo, slot.pak);
    return notes;
}

// ---- the archive's read ----

Keeping::Archived Keeping::readStores(const Operation& operation)
{
    Archived done;
    StoreReader reader(operation);
    const auto ended = [&](Step step) {
        if (step == Step::LineLost)
            done.lineLost = true;
        else
            done.failure = m_session.noAnswer();
        return done;
    };
    for (const Store& store : Stores()) {
        bool selected = false;
        QString selection;
        Step step = reader.select(store, selected, &selection);
        if (step != Step::Answered)
            return ended(step);
        if (!selected) {
            if (StoreReader::NoPhoneStore(store, selection))
                break; // a phone without a store of its own
            done.failure = NotSelectable(store.sim);
            return done;
        }
        std::optional<int> capacity, used;
        if ((step = reader.capacity(store, capacity, &used)) != Step::Answered)
            return ended(step);
        if (!capacity) {
            done.failure = SizeNotRead(store.sim);
            return done;
        }
        if (*capacity == 0)
            continue;
        Listing listing;
        if ((step = reader.list(*capacity, used, listing)) != Step::Answered)
            return ended(step);
        std::vector<std::pair<int, at::CmgrAnswer>> places; // by slot
        if (listing.stands) {
            for (const at::CmglEntry& entry : *listing.stands)
                places.emplace_back(entry.index, at::AsCmgr(entry));
        } else {
            for (int slot = 1; slot <= *capacity; ++slot) {
                m_session.feedback().yield();
                Slot got;
                if ((step = reader.read(slot, got, &listing)) != Step::Answered)
                    return ended(step);
                if (got.answer.kind == at::CmgrAnswer::Message)
                    places.emplace_back(slot, got.answer);
                else if (got.answer.kind != at::CmgrAnswer::Empty)
                    done.unread << SlotName(store.sim, slot, *capacity);
            }
        }
        for (const auto& [slot, answer] : places) {
            ArchivedMessage message;
            message.sim = store.sim;
            message.slot = slot;
            message.status = answer.tipo;
            message.pdu = answer.pak;
            message.notes = notes(answer);
            done.messages.push_back(message);
        }
    }
    return done;
}

// ---- the restore ----

Keeping::Restored Keeping::restore(const Operation& operation, const std::vector<ArchivedMessage>& messages,
                                   std::optional<bool> intoSim, const Columns& columns)
{
    Restored done;
    Feedback& feedback = m_session.feedback();
    StoreReader reader(operation);
    int handled = 0;
    feedback.progressMax(float(std::max<size_t>(messages.size(), 1)));
    feedback.progress(0.1f);
    const auto finish = [&] {
        done.notWritten = int(messages.size()) - done.written - done.already;
        return done;
    };
    const auto silentOrLost = [&](Step step) {
        if (step == Step::LineLost)
            done.lineLost = true;
        else
            done.why = m_session.noAnswer();
        return finish();
    };
    for (const bool sim : {true, false}) {
        std::vector<const ArchivedMessage*> mine;
        for (const ArchivedMessage& message : messages) {
            if (intoSim.value_or(message.sim) == sim)
                mine.push_back(&message);
        }
        if (mine.empty())
            continue;
        bool selected = false;
        Step step = select(operation, sim, selected, true);
        if (step != Step::Answered)
            return silentOrLost(step);
        if (!selected) {
            done.why = NotSelectable(sim);
            return finish();
        }
        std::optional<int> capacity, used;
        if ((step = reader.capacity(StoreOf(sim), capacity, &used)) != Step::Answered)
            return silentOrLost(step);
        if (!capacity) {
            done.why = SizeNotRead(sim);
            return finish();
        }
        std::vector<at::CmglEntry> before;
        if (*capacity > 0 && (step = held(operation, *capacity, used, before)) != Step::Answered)
            return silentOrLost(step);

        // What the store holds already is not written again, each message
        // of it standing for one of the archive's.
        std::vector<bool> matched(before.size(), false);
        std::vector<const ArchivedMessage*> toWrite;
        for (const ArchivedMessage* message : mine) {
            const auto same = std::find_if(before.begin(), before.end(), [&](const at::CmglEntry& entry) {
                return !matched[size_t(&entry - before.data())] && !entry.pak.isEmpty() && entry.pak == message->pdu;
            });
            if (same != before.end()) {
                matched[size_t(same - before.begin())] = true;
                ++done.already;
                feedback.progress(float(++handled));
            } else {
                toWrite.push_back(message);
            }
        }
        std::stable_sort(toWrite.begin(), toWrite.end(),
                         [](const ArchivedMessage* a, const ArchivedMessage* b) { return a->slot < b->slot; });
        std::set<int> occupied;
        for (const at::CmglEntry& entry : before)
            occupied.insert(entry.index);
        // A message whose slot is free goes back to it; the others then
        // take the first free places.
        std::vector<const ArchivedMessage*> ownSlot, anySlot;
        std::set<int> claimed;
        for (const ArchivedMessage* message : toWrite) {
            if (message->slot <= *capacity && !occupied.count(message->slot) && claimed.insert(message->slot).second)
                ownSlot.push_back(message);
            else
                anySlot.push_back(message);
        }

        std::vector<std::pair<const ArchivedMessage*, int>> written; // and the slot it went to
        std::vector<int> fillers;
        bool stop = false;
        Written got;
        // Writes one message; false when the restore stops there.
        const auto writeOne = [&](const QString& pdu, int status, int& index) {
            feedback.yield();
            if ((step = write(operation, pdu, status, got)) != Step::Answered)
                return false;
            if (got.index < 0) {
                done.why = got.full ? fullText(sim) : got.refusal;
                return false;
            }
            index = got.index;
            occupied.insert(index);
            return true;
        };
        for (const ArchivedMessage* message : ownSlot) {
            for (int slot = 1; slot < message->slot && !stop; ++slot) {
                int index = -1;
                if (occupied.count(slot))
                    continue;
                stop = !writeOne(kFiller, 2, index);
                if (!stop)
                    fillers.push_back(index);
            }
            int index = -1;
            if (stop || !writeOne(message->pdu, message->status, index)) {
                stop = true;
                break;
            }
            written.emplace_back(message, index);
            feedback.progress(float(++handled));
        }
        // The fillers go before any other message is written: the first
        // free places are theirs.
        std::vector<int> touched = fillers;
        int fillersLeft = 0;
        for (const int filler : fillers) {
            if (step == Step::LineLost)
                break;
            QString answer;
            const Step deleted = m_session.ask(operation, slotCommand("+CMGD=", filler), &answer);
            if (deleted == Step::LineLost) {
                step = deleted;
                break;
            }
            if (deleted == Step::Answered && answer == QLatin1String("OK"))
                occupied.erase(filler);
            else
                ++fillersLeft;
        }
        for (const ArchivedMessage* message : anySlot) {
            if (stop || step == Step::LineLost)
                break;
            int index = -1;
            if (!writeOne(message->pdu, message->status, index)) {
                stop = true;
                break;
            }
            written.emplace_back(message, index);
            feedback.progress(float(++handled));
        }
        if (step == Step::LineLost) {
            done.lineLost = true;
            return finish();
        }
        const bool silent = step == Step::Silent;

        // One listing checks every slot written; a slot it does not give
        // is read alone.
        QString listed;
        std::vector<at::CmglEntry> after;
        Step checked = m_session.ask(operation, QStringLiteral("+CMGL=4"), &listed);
        if (checked == Step::LineLost) {
            done.lineLost = true;
            return finish();
        }
        if (checked == Step::Answered)
            after = at::ParseCmgl(listed);
        int different = 0;
        for (const auto& [message, index] : written) {
            touched.push_back(index);
            const at::CmglEntry* entry = entryAt(after, index);
            at::CmglEntry alone;
            if (!entry && checked == Step::Answered) {
                Slot slot;
                if ((checked = reader.read(index, slot)) == Step::LineLost) {
                    done.lineLost = true;
                    return finish();
                }
                if (slot.answer.kind == at::CmgrAnswer::Message) {
                    alone.index = index;
                    alone.tipo = slot.answer.tipo;
                    alone.pak = slot.answer.pak;
                    after.push_back(alone);
                    entry = &after.back();
                }
            }
            const int status = WriteStatus(message->status, message->pdu);
            if (entry && entry->pak == message->pdu && sameStatus(entry->tipo, status))
                ++done.written;
            else
                ++different;
        }
        // A filler the listing still shows was not deleted; its slot may
        // hold a message written since.
        if (checked == Step::Answered) {
            fillersLeft = 0;
            for (const int filler : fillers) {
                const at::CmglEntry* entry = entryAt(after, filler);
                fillersLeft += entry && entry->pak == kFiller ? 1 : 0;
            }
        }
        showSlots(sim, after, touched, columns);
        if (different > 0)
            done.why = different == 1 ? QStringLiteral("1 diverso alla rilettura")
                                      : QStringLiteral("%1 diversi alla rilettura").arg(different);
        if (fillersLeft > 0)
            done.why += (done.why.isEmpty() ? QString() : QStringLiteral(", "))
                        + QStringLiteral("%1 posizioni di riempimento da cancellare in %2")
                              .arg(fillersLeft)
                              .arg(storeWords(sim));
        if (silent)
            done.why = m_session.noAnswer();
        if (stop || silent || different > 0)
            return finish();
    }
    return finish();
}

// ---- copy and move ----

Keeping::Copied Keeping::copy(const Operation& operation, int position, bool move, const Columns& columns)
{
    Copied done;
    const RowPlace place = m_messages.record(position).place;
    const bool from = place.sim;
    const bool to = !from;
    const QString verb = move ? QStringLiteral("Spostamento fallito: ") : QStringLiteral("Copia fallita: ");
    const auto failed = [&](const QString& why) {
        done.status = verb + why + QStringLiteral("..");
        return done;
    };
    const auto ended = [&](Step step) {
        done.lineLost = step == Step::LineLost;
        return failed(m_session.noAnswer().chopped(2));
    };
    if (place.headLength < 0 || place.slot <= 0)
        return failed(QStringLiteral("sms non selezionato"));

    // The original as the phone holds it now.
    bool selected = false;
    Step step = select(operation, from, selected, false);
    if (step != Step::Answered)
        return ended(step);
    if (!selected)
        return failed(NotSelectable(from).chopped(2));
    StoreReader reader(operation);
    Slot original;
    if ((step = reader.read(place.slot, original)) != Step::Answered)
        return ended(step);
    if (original.answer.kind != at::CmgrAnswer::Message)
        return failed(original.answer.kind == at::CmgrAnswer::Empty
                          ? QStringLiteral("nessun sms in %1").arg(SlotName(from, place.slot, place.capacity))
                          : QStringLiteral("sms non leggibile"));
    const QString pdu = original.answer.pak;
    const int status = original.answer.tipo;
    if (TpduLength(pdu) < 1)
        return failed(QStringLiteral("sms non leggibile"));

    // The copy, read back.
    if ((step = select(operation, to, selected, true)) != Step::Answered)
        return ended(step);
    if (!selected)
        return failed(NotSelectable(to).chopped(2));
    Written got;
    if ((step = write(operation, pdu, status, got)) != Step::Answered)
        return ended(step);
    if (got.index < 0)
        return failed(got.full ? fullText(to) : got.refusal);
    Slot copy;
    if ((step = reader.read(got.index, copy)) != Step::Answered)
        return ended(step);
    const Messages::Place target = m_messages.placeOf(to, got.index);
    if (target.position >= 0)
        m_messages.rewrite(target.position, copy, columns);
    const QString where = QStringLiteral("%1 in posizione %2")
                              .arg(to ? QStringLiteral("nella SIM") : QStringLiteral("nel cellulare"))
                              .arg(got.index);
    if (copy.answer.kind != at::CmgrAnswer::Message || copy.answer.pak != pdu
        || !sameStatus(copy.answer.tipo, WriteStatus(status, pdu)))
        return failed(QStringLiteral("la copia %1 non è uguale all'originale, che resta dov'era").arg(where));
    const int source = m_messages.placeOf(from, place.slot).position;
    if (source >= 0)
        m_messages.rewrite(source, original, columns);
    if (!move) {
        done.done = true;
        done.status = QStringLiteral("SMS copiato %1..").arg(where);
        return done;
    }

    // Only now does the original go.
    if ((step = select(operation, from, selected, false)) != Step::Answered)
        return ended(step);
    QString answer;
    if (selected && (step = m_session.ask(operation, slotCommand("+CMGD=", place.slot), &answer)) != Step::Answered)
        return ended(step);
    if (!selected || answer != QLatin1String("OK"))
        return failed(QStringLiteral("copiato %1, ma l'originale non è stato cancellato").arg(where));
    if (source >= 0)
        m_messages.rewrite(source, slotOf(nullptr), columns);
    done.done = true;
    done.status = QStringLiteral("SMS spostato %1..").arg(where);
    return done;
}

// ---- a store emptied of what was archived ----

Keeping::Cleared Keeping::clear(const Operation& operation, bool sim, const std::vector<ArchivedMessage>& archived,
                                const Columns& columns)
{
    Cleared done;
    bool selected = false;
    Step step = select(operation, sim, selected, false);
    const auto ended = [&](Step how) {
        done.lineLost = how == Step::LineLost;
        done.why = m_session.noAnswer();
        return done;
    };
    if (step != Step::Answered)
        return ended(step);
    std::vector<const ArchivedMessage*> mine;
    for (const ArchivedMessage& message : archived) {
        if (message.sim == sim)
            mine.push_back(&message);
    }
    if (!selected) {
        done.kept = int(mine.size());
        done.why = NotSelectable(sim);
        return done;
    }
    StoreReader reader(operation);
    Feedback& feedback = m_session.feedback();
    feedback.progressMax(float(std::max<size_t>(mine.size(), 1)));
    for (const ArchivedMessage* message : mine) {
        feedback.yield();
        feedback.progress(float(done.deleted + done.kept + 1));
        // The slot must still hold the message archived from it.
        Slot now;
        if ((step = reader.read(message->slot, now)) != Step::Answered)
            return ended(step);
        if (now.answer.kind != at::CmgrAnswer::Message || now.answer.pak != message->pdu) {
            ++done.kept;
            continue;
        }
        QString answer;
        if ((step = m_session.ask(operation, slotCommand("+CMGD=", message->slot), &answer)) != Step::Answered)
            return ended(step);
        Slot gone;
        if (answer == QLatin1String("OK") && (step = reader.read(message->slot, gone)) != Step::Answered)
            return ended(step);
        if (answer != QLatin1String("OK") || gone.answer.kind != at::CmgrAnswer::Empty) {
            ++done.kept;
            continue;
        }
        ++done.deleted;
        const Messages::Place row = m_messages.placeOf(sim, message->slot);
        if (row.position >= 0)
            m_messages.rewrite(row.position, gone, columns);
    }
    return done;
}

// ---- how full ----

std::optional<Keeping::Use> Keeping::useOf(bool sim) const
{
    Use use;
    bool any = false;
    for (int position = 0; position < m_messages.count(); ++position) {
        const MessageRecord& kept = m_messages.record(position);
        if (kept.place.headLength < 0 || kept.place.sim != sim)
            continue;
        if (!kept.answer)
            return std::nullopt; // a row given as text: what it holds is not known
        any = true;
        use.capacity = kept.place.capacity;
        use.used += kept.answer->kind == at::CmgrAnswer::Empty ? 0 : 1;
    }
    if (!any)
        return std::nullopt;
    return use;
}

} // namespace phone
