// SPDX-License-Identifier: GPL-3.0-or-later
// Contacts that go back to the phone: one entry written, edited or deleted
// with "+CPBW" (GSM 07.07 8.14), each checked by reading its index back, the
// row of that index then showing what the phone holds.
#include "at/cpbw.h"
#include "at/errors.h"
#include "at/glyphs.h"
#include "phone/phonebook/book_rows.h"
#include "phone/phonebook/phonebook.h"

#include <algorithm>

namespace phone {

namespace {

const QString kToUcs2 = QStringLiteral("+CSCS=\"UCS2\"");
const QString kToGsm = QStringLiteral("+CSCS=\"GSM\"");

// "Sulla SIM", "Sul telefono".
QString onBook(const QString& book)
{
    return book == QLatin1String("SM") ? QStringLiteral("Sulla SIM") : QStringLiteral("Sul telefono");
}

// The fixed-dialling book changes only with PIN2, which the program never asks.
const QString kReadOnly = QStringLiteral("La rubrica FD è di sola lettura (il cellulare vuole il PIN2)..");

// A name that takes its UCS2 form costs two a character and one more.
bool inUcs2Form(const QString& name) { return at::NameCost(name) == 2 * int(name.size()) + 1; }

// What the phone's extended error means, or why it said nothing.
QString reasonOf(Session& session, const QString& answer)
{
    if (phonelink::gaveUp(answer))
        return session.noAnswer();
    const QString reason = at::ErrorReason(session.link().lastError());
    return (reason.isEmpty() ? QStringLiteral("il cellulare rifiuta") : reason) + QStringLiteral("..");
}

// The sizes of a book as the rows draw them.
at::CpbrRange rangeOf(const at::BookLimits& limits)
{
    at::CpbrRange range;
    range.valid = true;
    range.first = limits.first;
    range.last = limits.last;
    range.numberLength = limits.numberLength;
    range.nameLength = limits.nameLength;
    return range;
}

// The number and the name of `contact` made ready for "+CPBW", or why they
// cannot be: a number that is none, a name the character set cannot carry,
// a field over the book's limits (the name's limit told in characters of
// that name).
struct Ready {
    at::ContactNumber number;
    QString nameArgument;
    QString refusal;
};
Ready ready(const Contact& contact, int numberLength, int nameLength, bool ucs2)
{
    Ready made;
    QString why;
    const std::optional<at::ContactNumber> number = at::ContactNumberOf(contact.number, &why);
    if (!number) {
        made.refusal = why;
        return made;
    }
    made.number = *number;
    if (made.number.digits.size() > numberLength) {
        made.refusal =
            QStringLiteral("%1 il numero può avere al massimo %2 cifre").arg(onBook(contact.book)).arg(numberLength);
        return made;
    }
    const std::optional<QString> argument =
        at::PhonebookNameArgument(contact.name, ucs2 ? QStringLiteral("UCS2") : QStringLiteral("GSM"), &why);
    if (!argument) {
        made.refusal = why;
        return made;
    }
    const int cost = at::NameCost(contact.name);
    if (cost > nameLength) {
        const int characters = inUcs2Form(contact.name) ? std::max(0, (nameLength - 1) / 2)
                                                        : std::max(0, nameLength - (cost - int(contact.name.size())));
        made.refusal = QStringLiteral("%1 questo nome può avere al massimo %2 caratteri")
                           .arg(onBook(contact.book))
                           .arg(characters);
        return made;
    }
    made.nameArgument = *argument;
    return made;
}

// The phone in its UCS2 set for a write, where it offers it, so that a name
// in any script goes exactly; back() puts it in the GSM set the rest of the
// program speaks, on every way out of the write.
class Ucs2Set {
public:
    Ucs2Set(Session& session, const Operation& operation) : m_session(session), m_operation(operation) {}
    // False when the line was lost on the way.
    bool enter()
    {
        QString answer;
        if (m_session.ask(m_operation, kToUcs2, &answer) == Step::LineLost)
            return false;
        ucs2 = answer == QLatin1String("OK");
        return true;
    }
    // `status`, once the phone is back in GSM; nothing when the line is lost.
    std::optional<QString> back(const QString& status) const
    {
        if (m_operation.lineLost())
            return std::nullopt;
        if (ucs2 && m_session.ask(m_operation, kToGsm) == Step::LineLost)
            return std::nullopt;
        return status;
    }
    bool ucs2 = false;

private:
    Session& m_session;
    const Operation& m_operation;
};

} // namespace

QString FromBook(const QString& book)
{
    return book == QLatin1String("SM") ? QStringLiteral("dalla SIM") : QStringLiteral("dal telefono");
}

QString BookWords(const QString& book)
{
    if (book == QLatin1String("SM"))
        return QStringLiteral("SIM");
    if (book == QLatin1String("ME"))
        return QStringLiteral("telefono");
    return QStringLiteral("rubrica ") + book;
}

std::vector<QString> Phonebook::books() const
{
    std::vector<QString> found;
    for (const std::optional<Entry>& entry : m_entries) {
        if (entry && !entry->book.isEmpty() && std::find(found.begin(), found.end(), entry->book) == found.end())
            found.push_back(entry->book);
    }
    return found;
}

std::optional<at::CpbrRange> Phonebook::bookSize(const QString& book) const
{
    const auto it = m_sizes.find(book);
    if (it == m_sizes.end())
        return std::nullopt;
    return it->second;
}

int Phonebook::rowOf(const QString& book, int index) const
{
    for (size_t row = 0; row < m_entries.size(); ++row) {
        const std::optional<Entry>& entry = m_entries[row];
        if (entry && entry->book == book && entry->index == index)
            return int(row);
    }
    return -1;
}

int Phonebook::firstFree(const QString& book) const
{
    // Only a row read empty is free: an entry the phone would not give has
    // no row, and is no free index.
    int free = 0;
    for (const std::optional<Entry>& entry : m_entries) {
        if (entry && entry->book == book && entry->number.isEmpty() && entry->name.isEmpty()
            && (free == 0 || entry->index < free))
            free = entry->index;
    }
    return free;
}

QString Phonebook::refusal(const Contact& contact) const
{
    if (contact.book == QLatin1String("FD"))
        return kReadOnly;
    const std::optional<at::CpbrRange> size = bookSize(contact.book);
    if (!size)
        return QString(); // the write reads the book first, and checks then
    if (contact.index == 0 && firstFree(contact.book) == 0)
        return QStringLiteral("Rubrica piena");
    return ready(contact, size->numberLength, size->nameLength, m_ucs2).refusal;
}

void Phonebook::showEntry(const QString& book, int index, const std::optional<Entry>& entry)
{
    const int row = rowOf(book, index);
    const std::optional<at::CpbrRange> size = bookSize(book);
    if (row < 0 || !size)
        return;
    const Entry shown = entry ? *entry : Entry{book, index, QString(), 0, QString()};
    writeText(row, entry ? EntryRow(*size, index, shown.number, shown.name) : EmptySlotRow(*size, index));
    m_entries[size_t(row)] = shown;
}

std::optional<QString> Phonebook::writeContact(const Operation& operation, const Contact& contact)
{
    if (contact.book == QLatin1String("FD"))
        return kReadOnly;
    // The free index and the row to rewrite come from the book's rows.
    if (!bookSize(contact.book)) {
        const std::optional<QString> read = this->read(operation);
        if (!read)
            return std::nullopt;
        if (!bookSize(contact.book))
            return *read;
    }
    const int index = contact.index != 0 ? contact.index : firstFree(contact.book);
    if (index == 0)
        return QStringLiteral("Rubrica piena");
    const QString where = QStringLiteral("%1 %2").arg(BookWords(contact.book)).arg(index);

    Session& session = m_session;
    Ucs2Set set(session, operation);
    if (!set.enter())
        return std::nullopt;
    const bool ucs2 = set.ucs2;
    const auto end = [&](const QString& status) { return set.back(status); };
    QString answer;
    const QString notWritten = QStringLiteral("Contatto non scritto (%1): ").arg(where);

    if (session.ask(operation, QStringLiteral("+CPBS=") + contact.book, &answer) == Step::LineLost)
        return std::nullopt;
    if (answer != QLatin1String("OK"))
        return end(notWritten + reasonOf(session, answer));
    std::optional<at::BookLimits> limits;
    for (const QString& sizes : {QStringLiteral("+CPBW=?"), QStringLiteral("+CPBR=?")}) {
        if (session.ask(operation, sizes, &answer) == Step::LineLost)
            return std::nullopt;
        limits = at::ParseBookLimits(answer);
        if (limits)
            break;
    }
    if (!limits)
        return end(notWritten + QStringLiteral("il cellulare non dice i limiti della rubrica.."));
    if (index < limits->first || index > limits->last)
        return end(notWritten + QStringLiteral("indice non valido.."));
    const Ready made = ready(contact, limits->numberLength, limits->nameLength, ucs2);
    if (!made.refusal.isEmpty())
        return end(notWritten + made.refusal + QStringLiteral(".."));

    // The write goes once, whatever comes of it.
    QString written;
    if (session.ask(operation, at::CpbwWriteCommand(index, made.number, made.nameArgument), &written) == Step::LineLost)
        return std::nullopt;
    const QString writeError = written == QLatin1String("OK") ? QString() : reasonOf(session, written);

    // What the phone holds now, whether or not it said it took the write.
    const Step readStep = session.ask(operation, QStringLiteral("+CPBR=%1").arg(index), &answer);
    if (readStep == Step::LineLost)
        return std::nullopt;
    const bool emptyNow = answer == QLatin1String("OK") || at::CmeError(session.link().lastError()) == at::kCmeNotFound;
    const at::CpbrEntry back = at::ParseCpbrEntry(answer);
    std::optional<Entry> held;
    bool known = emptyNow;
    if (back.valid && back.index == index) {
        const std::optional<QString> name = PhonebookName(back.name, ucs2);
        const QString number = PhonebookNumber(back.number, ucs2);
        if (name) {
            Entry entry{contact.book, index, WithoutControls(number).trimmed(), back.type, WithoutControls(*name)};
            while (entry.name.endsWith(QLatin1Char(' ')))
                entry.name.chop(1);
            held = entry;
            known = true;
        }
    }
    if (!bookSize(contact.book))
        m_sizes[contact.book] = rangeOf(*limits);
    if (known)
        showEntry(contact.book, index, held);

    const bool same = held && held->name == contact.name
                      && at::ContactNumberText(held->number, held->type)
                             == at::ContactNumberText(made.number.digits, made.number.type);
    if (!writeError.isEmpty()) {
        // A phone that did not confirm may still have written: it says so
        // only by holding the entry.
        if (same)
            return end(QStringLiteral("Contatto scritto (%1), ma il cellulare non lo ha confermato: %2")
                           .arg(where, writeError));
        return end(notWritten + writeError);
    }
    if (!known)
        return end(QStringLiteral("Contatto scritto (%1), ma il cellulare non lo fa rileggere: %2")
                       .arg(where, reasonOf(session, answer)));
    if (!same)
        return end(QStringLiteral("Contatto scritto diverso (%1): il cellulare tiene \"%2\" \"%3\"..")
                       .arg(where, held ? at::ContactNumberText(held->number, held->type) : QString(),
                            held ? held->name : QString()));
    return end(QStringLiteral("Contatto scritto: %1..").arg(where));
}

std::optional<QString> Phonebook::deleteContact(const Operation& operation, int row)
{
    const std::optional<Entry> entry = this->entry(row);
    if (!entry || entry->book.isEmpty())
        return QStringLiteral("Nessun contatto del cellulare selezionato..");
    if (entry->book == QLatin1String("FD"))
        return kReadOnly;
    const QString where = QStringLiteral("%1 %2").arg(BookWords(entry->book)).arg(entry->index);
    const QString notDeleted = QStringLiteral("Contatto non eliminato (%1): ").arg(where);
    Session& session = m_session;
    QString answer;
    if (session.ask(operation, QStringLiteral("+CPBS=") + entry->book, &answer) == Step::LineLost)
        return std::nullopt;
    if (answer != QLatin1String("OK"))
        return notDeleted + reasonOf(session, answer);
    QString deleted;
    if (session.ask(operation, at::CpbwDeleteCommand(entry->index), &deleted) == Step::LineLost)
        return std::nullopt;
    if (session.ask(operation, QStringLiteral("+CPBR=%1").arg(entry->index), &answer) == Step::LineLost)
        return std::nullopt;
    const bool emptyNow = answer == QLatin1String("OK") || at::CmeError(session.link().lastError()) == at::kCmeNotFound;
    if (emptyNow) {
        showEntry(entry->book, entry->index, std::nullopt);
        return QStringLiteral("Contatto eliminato %1 (posizione %2)..").arg(FromBook(entry->book)).arg(entry->index);
    }
    if (deleted != QLatin1String("OK"))
        return notDeleted + reasonOf(session, deleted);
    return notDeleted + QStringLiteral("il cellulare tiene ancora la voce..");
}

std::vector<Entry> Phonebook::section(int row) const
{
    const auto frame = [this](int at, QChar joint) {
        return !m_entries[size_t(at)] && text(at).startsWith(at::kDash) && text(at).contains(joint);
    };
    // From the header at or before the row to the footer after it.
    int first = row < 0 || row >= int(m_entries.size()) ? 0 : row;
    while (first >= 0 && !frame(first, at::kTop))
        --first;
    std::vector<Entry> found;
    for (int at = first + 1; at < int(m_entries.size()); ++at) {
        if (frame(at, at::kBottom) || frame(at, at::kTop))
            break;
        const std::optional<Entry>& entry = m_entries[size_t(at)];
        if (entry && (!entry->number.isEmpty() || !entry->name.isEmpty()))
            found.push_back(*entry);
    }
    return found;
}

namespace {

// An entry's number as people read it, "+" in front for type 145: the
// number to write again.
QString numberToWrite(const Entry& entry)
{
    return entry.type != 0 ? at::ContactNumberText(entry.number, entry.type) : entry.number;
}

// The same entry, whichever way the phone writes the "+" of type 145.
bool sameEntry(const Entry& held, const QString& name, const at::ContactNumber& number)
{
    return held.name == name
           && at::ContactNumberText(held.number, held.type) == at::ContactNumberText(number.digits, number.type);
}

QString counted(int count, const char* one, const char* many)
{
    return count == 1 ? QString::fromUtf8(one) : QString::fromUtf8(many).arg(count);
}

// What a write of a book did: "Scritte 12 voci, 230 già uguali, 1 rifiutata
// (nome troppo lungo)", and the deletions.
struct Tally {
    int written = 0;
    int same = 0;
    int deleted = 0;
    QStringList refusals; // one a refused entry, its reason

    QString text() const
    {
        QStringList parts;
        parts << counted(written, "Scritta 1 voce", "Scritte %1 voci")
              << counted(same, "1 già uguale", "%1 già uguali");
        if (!refusals.isEmpty()) {
            QStringList reasons;
            for (const QString& reason : refusals) {
                if (!reasons.contains(reason))
                    reasons << reason;
            }
            parts << counted(int(refusals.size()), "1 rifiutata", "%1 rifiutate") + QStringLiteral(" (")
                         + reasons.join(QStringLiteral("; ")) + QLatin1Char(')');
        }
        if (deleted > 0)
            parts << counted(deleted, "1 eliminata", "%1 eliminate");
        return parts.join(QStringLiteral(", "));
    }
};

// A refusal in the words of the end text: "nome troppo lungo" for a name
// over the limit, the reason as it is for the rest.
QString shortReason(const QString& refusal)
{
    if (refusal.contains(QStringLiteral("questo nome può avere")))
        return QStringLiteral("nome troppo lungo");
    if (refusal.contains(QStringLiteral("il numero può avere")))
        return QStringLiteral("numero troppo lungo");
    return refusal;
}

} // namespace

std::optional<QString> Phonebook::writeBook(const Operation& operation, int row, const QString& book, bool deleteOthers)
{
    if (book == QLatin1String("FD"))
        return kReadOnly;
    const std::vector<Entry> wanted = section(row);
    Session& session = m_session;
    Feedback& feedback = session.feedback();
    Ucs2Set set(session, operation);
    if (!set.enter())
        return std::nullopt;
    const bool ucs2 = set.ucs2;
    const auto end = [&](const QString& status) { return set.back(status); };
    QString answer;

    // What the phone holds, read aside: the rows stay as they are.
    QString why;
    const std::optional<BookCopy> held = readBook(operation, book, ucs2, &why);
    if (operation.lineLost())
        return std::nullopt;
    if (!held)
        return end(QStringLiteral("Rubrica %1 non letta, niente scritto: %2").arg(BookWords(book), why));
    const at::CpbrRange& size = held->size;

    // Where each entry goes: its own index, or the first one free.
    std::map<int, Entry> target;
    std::vector<const Entry*> unplaced;
    Tally tally;
    for (const Entry& entry : wanted) {
        if (entry.index >= size.first && entry.index >= 1 && entry.index <= size.last && !target.count(entry.index))
            target[entry.index] = entry;
        else if (entry.index == 0)
            unplaced.push_back(&entry);
        else
            tally.refusals << QStringLiteral("posizione %1 fuori dalla rubrica").arg(entry.index);
    }
    int free = std::max(1, size.first);
    for (const Entry* entry : unplaced) {
        // One that cannot go takes no free index from the next.
        const QString refused =
            ready({book, 0, entry->name, numberToWrite(*entry)}, size.numberLength, size.nameLength, ucs2).refusal;
        if (!refused.isEmpty()) {
            tally.refusals << shortReason(refused);
            continue;
        }
        while (free <= size.last && (target.count(free) || held->entries.count(free)))
            ++free;
        if (free > size.last) {
            tally.refusals << QStringLiteral("Rubrica piena");
            continue;
        }
        target[free] = *entry;
        target[free].index = free;
    }
    std::vector<int> others;
    if (deleteOthers) {
        for (const auto& [index, entry] : held->entries) {
            if (!target.count(index))
                others.push_back(index);
        }
    }

    feedback.status(QStringLiteral("Scrittura rubrica %1 in corso..").arg(BookWords(book)));
    feedback.progressMax(float(target.size() + others.size()));
    feedback.progress(0.1f);
    std::vector<int> changed;
    int step = 0;
    // A refusal of the phone, or its silence, stops the write there.
    QString stop;
    int stoppedAt = 0;
    const auto stopAt = [&](int index, const QString& got) {
        stoppedAt = index;
        stop = QStringLiteral("Scrittura interrotta a %1 %2 (voce %3 di %4): %5. ")
                   .arg(BookWords(book))
                   .arg(index)
                   .arg(step)
                   .arg(target.size() + others.size())
                   .arg(reasonOf(session, got).chopped(2));
    };
    // A lost line ends it at once; the rows stay as they were, unchecked.
    const auto lineLost = [&](int index) {
        return QStringLiteral("Scrittura interrotta a %1 %2 (voce %3 di %4): linea col cellulare persa, "
                              "voci scritte non rilette. %5..")
            .arg(BookWords(book))
            .arg(index)
            .arg(step)
            .arg(target.size() + others.size())
            .arg(tally.text());
    };
    for (const auto& [index, entry] : target) {
        feedback.yield();
        ++step;
        const Ready made =
            ready({book, index, entry.name, numberToWrite(entry)}, size.numberLength, size.nameLength, ucs2);
        if (!made.refusal.isEmpty()) {
            tally.refusals << shortReason(made.refusal);
            feedback.progress(float(step));
            continue;
        }
        const auto phone = held->entries.find(index);
        if (phone != held->entries.end() && sameEntry(phone->second, entry.name, made.number)) {
            ++tally.same;
            feedback.progress(float(step));
            continue;
        }
        QString written;
        if (session.ask(operation, at::CpbwWriteCommand(index, made.number, made.nameArgument), &written)
            == Step::LineLost)
            return lineLost(index);
        changed.push_back(index);
        if (written != QLatin1String("OK")) {
            stopAt(index, written);
            break;
        }
        ++tally.written;
        feedback.progress(float(step));
    }
    for (size_t at = 0; stop.isEmpty() && at < others.size(); ++at) {
        feedback.yield();
        ++step;
        QString deleted;
        if (session.ask(operation, at::CpbwDeleteCommand(others[at]), &deleted) == Step::LineLost)
            return lineLost(others[at]);
        changed.push_back(others[at]);
        if (deleted != QLatin1String("OK")) {
            stopAt(others[at], deleted);
            break;
        }
        ++tally.deleted;
        feedback.progress(float(step));
    }

    // Every index changed is read back, in ranges, and shown as the phone
    // holds it where the rows show that book.
    int differ = 0;
    std::sort(changed.begin(), changed.end());
    for (size_t at = 0; at < changed.size();) {
        const int first = changed[at];
        size_t next = at;
        while (next < changed.size() && changed[next] < first + 50)
            ++next;
        const int last = changed[next - 1];
        const Step read = session.ask(operation, QStringLiteral("+CPBR=%1,%2").arg(first).arg(last), &answer);
        if (read == Step::LineLost)
            return std::nullopt;
        std::optional<std::vector<at::CpbrEntry>> listed;
        if (answer == QLatin1String("OK") || at::CmeError(session.link().lastError()) == at::kCmeNotFound)
            listed.emplace();
        else if (read == Step::Answered && answer != QLatin1String("ERROR"))
            listed = at::ParseCpbrEntries(answer, first, last);
        if (!listed)
            return end(stop + tally.text() + QStringLiteral(", ma il cellulare non le fa rileggere: ")
                       + reasonOf(session, answer));
        std::map<int, Entry> back;
        for (const at::CpbrEntry& line : *listed) {
            const std::optional<QString> name = PhonebookName(line.name, ucs2);
            Entry entry{book, line.index, WithoutControls(PhonebookNumber(line.number, ucs2)).trimmed(), line.type,
                        WithoutControls(name.value_or(line.name))};
            while (entry.name.endsWith(QLatin1Char(' ')))
                entry.name.chop(1);
            back[line.index] = entry;
        }
        for (; at < next; ++at) {
            const int index = changed[at];
            const auto got = back.find(index);
            const std::optional<Entry> now = got == back.end() ? std::nullopt : std::optional<Entry>(got->second);
            const auto meant = target.find(index);
            bool right = !now;
            if (meant != target.end()) {
                const std::optional<at::ContactNumber> number = at::ContactNumberOf(numberToWrite(meant->second));
                right = now && number && sameEntry(*now, meant->second.name, *number);
            }
            if (!right && index != stoppedAt)
                ++differ;
            showEntry(book, index, now);
        }
    }
    QString status = stop + tally.text();
    if (differ > 0)
        status += counted(differ, ", ma 1 voce riletta è diversa", ", ma %1 voci rilette sono diverse");
    return end(status + QStringLiteral(".."));
}

QString Phonebook::addImported(const ImportResult& imported)
{
    const int count = int(imported.contacts.size());
    const int skipped = int(imported.skipped.size());
    const QString skippedText =
        skipped == 0 ? QString()
                     : (skipped == 1 ? QStringLiteral(", 1 saltato (") : QStringLiteral(", %1 saltati (").arg(skipped))
                           + imported.skipped.join(QStringLiteral("; ")) + QLatin1Char(')');
    if (count == 0)
        return QStringLiteral("Nessun contatto importato") + skippedText + QStringLiteral("..");
    // The numbers as the recipient takes them ("+" in front for an
    // international one); one that is none stays as written, and the
    // write to the phone says why it cannot go.
    std::vector<std::pair<QString, QString>> shown;
    at::CpbrRange size;
    size.valid = true;
    size.first = 1;
    size.last = count;
    size.numberLength = m_session.numberWidth;
    size.nameLength = m_session.nameWidth;
    for (const ImportedContact& contact : imported.contacts) {
        const std::optional<at::ContactNumber> number = at::ContactNumberOf(contact.number);
        const QString text = number ? at::ContactNumberText(number->digits, number->type) : contact.number.trimmed();
        shown.emplace_back(WithoutControls(text), WithoutControls(contact.name));
        if (m_session.numberWidth == 0)
            size.numberLength = std::max(size.numberLength, int(shown.back().first.size()));
        if (m_session.nameWidth == 0)
            size.nameLength = std::max(size.nameLength, int(shown.back().second.size()));
    }
    QStringList rows{HeaderRow(size)};
    for (const auto& [number, name] : shown)
        rows << EntryRow(size, 0, number, name);
    rows << FooterRow(size);
    appendTexts(rows);
    return (count == 1 ? QStringLiteral("Importato 1 contatto") : QStringLiteral("Importati %1 contatti").arg(count))
           + skippedText + QStringLiteral(", non ancora sul cellulare..");
}

} // namespace phone
