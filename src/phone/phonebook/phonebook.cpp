// SPDX-License-Identifier: GPL-3.0-or-later
#include "phone/phonebook/phonebook.h"

#include "at/cpbr.h"
#include "at/errors.h"
#include "at/unsolicited.h"
#include "phone/phonebook/book_rows.h"
#include "phone/savefile.h"

#include <algorithm>
#include <optional>
#include <utility>

namespace phone {

namespace {

struct Store {
    const char* book;
    const char* select;
    const char* status;
};

// Read in this order: SIM, phone memory, fixed dialling.
constexpr Store kStores[] = {
    {"SM", "+CPBS=SM", "Lettura rubrica sim in corso.."},
    {"ME", "+CPBS=ME", "Lettura rubrica cellulare in corso.."},
    {"FD", "+CPBS=FD", "Lettura rubrica speciale in corso.."},
};

// A read where every book failed, with the phone's last reason.
QString noBook(const QString& refusal)
{
    const QString reason = at::ErrorReason(refusal);
    return QStringLiteral("Lettura rubriche fallita: ")
           + (reason.isEmpty() ? QStringLiteral("il cellulare le rifiuta tutte") : reason) + QStringLiteral("..");
}

// No phone book comes near these; a larger file or a longer line is not
// one of ours (the widest row a phone can size is under 400 characters),
// and a row of megabytes would freeze the list that lays it out.
constexpr qint64 kMaxRdsBytes = 16 * 1024 * 1024;
constexpr qsizetype kMaxRdsRow = 4096;

// What InviaAT gives when the phone stayed silent through every send.
bool silent(const QString& answer) { return answer == QLatin1String("error"); }

enum class ReadEnd { Done, Silent, LineLost };

// Phones cap the size of one answer; 50 entries are well within every cap
// and within the deadline of one transaction at 19200 baud.
constexpr int kRangeSize = 50;

// How often a store's selection or a range is asked again because the phone
// restarted or sent a name in no UCS2: a phone that keeps restarting still
// comes to an end.
constexpr int kRereads = 2;

const QString kToUcs2 = QStringLiteral("+CSCS=\"UCS2\"");

// What a read could not give as the phone has it.
struct Shortfall {
    int unread = 0;    // entries the phone would not give: no row at all
    int undecoded = 0; // names in no UCS2, shown as the phone sent them
    Shortfall& operator+=(const Shortfall& other)
    {
        unread += other.unread;
        undecoded += other.undecoded;
        return *this;
    }
};

// Notes the restart lines ("RDY", "+CPIN: READY"...) that the link takes out
// of the answers and reports, while it lives.
class RestartWatch {
public:
    explicit RestartWatch(Session& session)
        : m_session(session), m_listener(session.listen(at::IsRestart, [this](const QString&) { m_seen = true; }))
    {
    }
    ~RestartWatch() { m_session.unlisten(m_listener); }
    RestartWatch(const RestartWatch&) = delete;
    RestartWatch& operator=(const RestartWatch&) = delete;

    // Whether the phone restarted since the last call.
    bool take() { return std::exchange(m_seen, false); }

private:
    Session& m_session;
    bool m_seen = false;
    int m_listener;
};

// An entry as its row shows it: control characters blanked, the number
// without blanks around it, the name without blanks after it.
Entry shownEntry(const QString& book, int index, const QString& number, int type, const QString& name)
{
    Entry entry{book, index, WithoutControls(number).trimmed(), type, WithoutControls(name)};
    while (entry.name.endsWith(QLatin1Char(' ')))
        entry.name.chop(1);
    return entry;
}

// What a row given as text shows: the index, number and name of an entry
// or an empty slot; no book.
std::optional<Entry> entryOfRow(const QString& row)
{
    const std::optional<BookRowFields> fields = BookRowFieldsOf(row);
    if (!fields)
        return std::nullopt;
    return Entry{QString(), fields->index, fields->number, 0, fields->name};
}

// The rows of a range of entries and what each shows.
struct Rows {
    QStringList rows;
    std::vector<std::optional<Entry>> entries;

    // A name that is no UCS2 in a UCS2 read is shown as the phone sent it.
    void entry(const Store& store, const at::CpbrRange& size, const at::CpbrEntry& read, int index, bool ucs2,
               Shortfall& shortfall)
    {
        std::optional<QString> name = PhonebookName(read.name, ucs2);
        if (!name) {
            ++shortfall.undecoded;
            name = read.name;
        }
        const QString number = PhonebookNumber(read.number, ucs2);
        rows.append(EntryRow(size, index, number, *name));
        entries.push_back(shownEntry(QLatin1String(store.book), index, number, read.type, *name));
    }
    void empty(const Store& store, const at::CpbrRange& size, int index)
    {
        rows.append(EmptySlotRow(size, index));
        entries.push_back(Entry{QLatin1String(store.book), index, QString(), 0, QString()});
    }
};

// The rows of every store the phone lets us read, built aside so that List2
// keeps the previous phone book until the read has succeeded.
class BookRead {
public:
    BookRead(const Operation& operation, RestartWatch& restarts, bool ucs2)
        : ucs2(ucs2), m_session(operation.session()), m_operation(operation), m_restarts(restarts)
    {
    }

    bool ucs2;                                 // the character set of the read
    QStringList rows;                          // every store read, framed
    std::vector<std::optional<Entry>> entries; // what each row shows
    std::optional<at::CpbrRange> sized;        // the store sized last, whose widths the rows end with
    std::map<QString, at::CpbrRange> sizes;    // each store read, by its book
    QString refusal;                           // the phone's last word on a book it would not give
    Shortfall missing;

    // Every store, or the one of `book`.
    ReadEnd stores(const QString& book = QString())
    {
        for (const Store& store : kStores) {
            if (!book.isEmpty() && book != QLatin1String(store.book))
                continue;
            if (const std::optional<ReadEnd> end = readStore(store))
                return *end;
        }
        return ReadEnd::Done;
    }

private:
    // One transaction; an end when the line was lost or the phone is silent.
    std::optional<ReadEnd> ask(const QString& command, QString& answer)
    {
        switch (m_session.ask(m_operation, command, &answer)) {
        case Step::LineLost:
            return ReadEnd::LineLost;
        case Step::Silent:
            return ReadEnd::Silent;
        case Step::Answered:
            break;
        }
        return std::nullopt;
    }

    // A phone that restarted speaks GSM again: it gets the set of the read.
    std::optional<ReadEnd> setCharsetAgain()
    {
        if (!ucs2)
            return std::nullopt;
        QString answer;
        if (const std::optional<ReadEnd> end = ask(kToUcs2, answer))
            return end;
        ucs2 = answer == QLatin1String("OK");
        return std::nullopt;
    }

    // The store selected and sized; `size` stays empty when the phone will
    // not give it (a refused store, a size answer of another shape).
    std::optional<ReadEnd> select(const Store& store, std::optional<at::CpbrRange>& size)
    {
        size.reset();
        const QString selected = m_session.transaction(QLatin1String(store.select));
        if (m_operation.lineLost())
            return ReadEnd::LineLost;
        m_session.feedback().status(QLatin1String(store.status));
        if (silent(selected))
            return ReadEnd::Silent;
        if (selected != QLatin1String("OK")) {
            refusal = m_session.link().lastError();
            return std::nullopt;
        }
        QString answer;
        if (const std::optional<ReadEnd> end = ask(QStringLiteral("+CPBR=?"), answer))
            return end;
        const at::CpbrRange parsed = at::ParseCpbrRange(answer);
        if (!parsed.valid) {
            refusal = m_session.link().lastError();
            return std::nullopt;
        }
        size = parsed;
        return std::nullopt;
    }

    std::optional<ReadEnd> readStore(const Store& store)
    {
        std::optional<at::CpbrRange> size;
        for (int again = 0;; ++again) {
            if (const std::optional<ReadEnd> end = select(store, size))
                return end;
            // A phone that restarted meanwhile has another book selected.
            if (again == kRereads || !m_restarts.take())
                break;
            if (const std::optional<ReadEnd> end = setCharsetAgain())
                return end;
        }
        if (!size)
            return std::nullopt;
        sized = size;
        sizes[QLatin1String(store.book)] = *size;
        append(HeaderRow(*size));
        m_session.feedback().progressMax(float(size->last));
        m_session.feedback().progress(0.1f);
        // Always from index 1, whatever the first index the phone gives.
        for (int first = 1; first <= size->last; first += kRangeSize) {
            const int last = std::min(first + kRangeSize - 1, size->last);
            bool bookLost = false;
            if (const std::optional<ReadEnd> end = range(store, *size, first, last, bookLost))
                return end;
            // The phone restarted and will not give the book again.
            if (bookLost) {
                missing.unread += size->last - first + 1;
                break;
            }
        }
        append(FooterRow(*size));
        return std::nullopt;
    }

    // Entries first..last, read again in the set and book of the read when
    // the phone restarted meanwhile or sent a name that is no UCS2.
    std::optional<ReadEnd> range(const Store& store, const at::CpbrRange& size, int first, int last, bool& bookLost)
    {
        for (int again = 0;; ++again) {
            Rows got;
            Shortfall shortfall;
            if (const std::optional<ReadEnd> end = rangeOnce(store, size, first, last, got, shortfall))
                return end;
            const bool restarted = m_restarts.take();
            if ((!restarted && shortfall.undecoded == 0) || again == kRereads) {
                rows += got.rows;
                entries.insert(entries.end(), got.entries.begin(), got.entries.end());
                missing += shortfall;
                return std::nullopt;
            }
            if (const std::optional<ReadEnd> end = setCharsetAgain())
                return end;
            QString selected;
            if (const std::optional<ReadEnd> end = ask(QLatin1String(store.select), selected))
                return end;
            if (selected != QLatin1String("OK")) {
                bookLost = true;
                return std::nullopt;
            }
        }
    }

    // Entries first..last in one command; the rows are those the entry by
    // entry read would write. Unlisted entries are empty; so is the whole
    // range when the phone answers it "not found".
    std::optional<ReadEnd> rangeOnce(const Store& store, const at::CpbrRange& size, int first, int last, Rows& got,
                                     Shortfall& shortfall)
    {
        m_session.feedback().yield();
        QString answer;
        if (const std::optional<ReadEnd> end = ask(QStringLiteral("+CPBR=%1,%2").arg(first).arg(last), answer))
            return end;
        std::optional<std::vector<at::CpbrEntry>> listed;
        if (answer == QLatin1String("OK") || at::CmeError(m_session.link().lastError()) == at::kCmeNotFound)
            listed.emplace();
        else if (answer != QLatin1String("ERROR"))
            listed = at::ParseCpbrEntries(answer, first, last);
        if (!listed)
            return entryByEntry(store, size, first, last, got, shortfall);
        auto next = listed->cbegin();
        for (int index = first; index <= last; ++index) {
            if (next != listed->cend() && next->index == index)
                got.entry(store, size, *next++, index, ucs2, shortfall);
            else
                got.empty(store, size, index);
        }
        m_session.feedback().progress(float(last));
        return std::nullopt;
    }

    // Entries first..last, one command each: the way of phones that refuse
    // ranges, and of a range whose answer cannot be trusted.
    std::optional<ReadEnd> entryByEntry(const Store& store, const at::CpbrRange& size, int first, int last, Rows& got,
                                        Shortfall& shortfall)
    {
        for (int index = first; index <= last; ++index) {
            m_session.feedback().yield();
            QString answer;
            if (const std::optional<ReadEnd> end = ask(QStringLiteral("+CPBR=") + QString::number(index), answer))
                return end;
            m_session.feedback().progress(float(index));
            // An empty entry is a bare OK or "not found", as phones differ.
            if (answer == QLatin1String("OK") || at::CmeError(m_session.link().lastError()) == at::kCmeNotFound) {
                got.empty(store, size, index);
                continue;
            }
            // Any other answer (a protected entry, a garbled line) gets no
            // row, which no empty slot could be taken for: the index column
            // of the next row shows the gap, and the read counts it.
            const at::CpbrEntry entry = at::ParseCpbrEntry(answer);
            if (entry.valid)
                got.entry(store, size, entry, index, ucs2, shortfall);
            else
                ++shortfall.unread;
        }
        return std::nullopt;
    }

    void append(const QString& frame)
    {
        rows.append(frame);
        entries.emplace_back();
    }

    Session& m_session;
    const Operation& m_operation;
    RestartWatch& m_restarts;
};

} // namespace

Phonebook::Phonebook(Session& session, QObject* parent) : RowModel(parent), m_session(session) {}

std::optional<Entry> Phonebook::entry(int row) const
{
    if (row < 0 || size_t(row) >= m_entries.size())
        return std::nullopt;
    return m_entries[size_t(row)];
}

std::vector<Entry> Phonebook::entries() const
{
    std::vector<Entry> all;
    for (const std::optional<Entry>& entry : m_entries) {
        if (entry)
            all.push_back(*entry);
    }
    return all;
}

std::optional<QString> Phonebook::read(const Operation& operation)
{
    Feedback& feedback = m_session.feedback();
    // A lost line stops everything: the status keeps the connection error,
    // the rows the previous phone book, the phone whatever set it was left in.
    const auto lineLost = [&] {
        if (!operation.lineLost())
            return false;
        feedback.progress(0.1f);
        return true;
    };
    RestartWatch restarts(m_session);
    // Names in any script come as UCS2; a phone without it is read in GSM.
    const QString charset = m_session.transaction(kToUcs2);
    if (lineLost())
        return std::nullopt;
    BookRead read(operation, restarts, charset == QLatin1String("OK"));
    const ReadEnd end = silent(charset) ? ReadEnd::Silent : read.stores();
    // Why the read stopped, before the set-up below gives up in its turn.
    const phonelink::GiveUp why = m_session.link().whyGivenUp();
    if (end == ReadEnd::LineLost) {
        feedback.progress(0.1f);
        return std::nullopt;
    }
    // The rest of the program speaks GSM to the phone: put it back, also
    // after a read that failed.
    bool restored = true;
    if (read.ucs2) {
        const QString answer = m_session.transaction(QStringLiteral("+CSCS=\"GSM\""));
        if (lineLost())
            return std::nullopt;
        restored = answer == QLatin1String("OK");
    }
    // Not one book could be read (a SIM that asks for its PIN refuses them
    // all): that is no empty phone book, and the previous rows stay.
    if (end == ReadEnd::Silent || !read.sized) {
        feedback.progress(0.1f);
        return end == ReadEnd::Silent
                   ? QStringLiteral("Lettura rubriche fallita: ") + phonelink::GiveUpText(why) + QStringLiteral("..")
                   : noBook(read.refusal);
    }
    m_entries = std::move(read.entries);
    resetTexts(read.rows);
    m_sizes = std::move(read.sizes);
    m_ucs2 = read.ucs2;
    m_session.numberWidth = read.sized->numberLength;
    m_session.nameWidth = read.sized->nameLength;
    return BookReadStatus(read.missing.unread, read.missing.undecoded, restored);
}

std::optional<Phonebook::BookCopy> Phonebook::readBook(const Operation& operation, const QString& book, bool ucs2,
                                                       QString* why)
{
    RestartWatch restarts(m_session);
    BookRead read(operation, restarts, ucs2);
    const ReadEnd end = read.stores(book);
    if (end != ReadEnd::Done || !read.sized || read.missing.unread > 0 || read.missing.undecoded > 0) {
        if (why && end == ReadEnd::Silent)
            *why = m_session.noAnswer();
        else if (why && !read.sized)
            *why = at::ErrorReason(read.refusal).isEmpty() ? QStringLiteral("il cellulare non la dà..")
                                                           : at::ErrorReason(read.refusal) + QStringLiteral("..");
        else if (why)
            *why = QStringLiteral("il cellulare non dà tutte le voci..");
        return std::nullopt;
    }
    BookCopy copy;
    copy.size = *read.sized;
    for (const std::optional<Entry>& entry : read.entries) {
        if (entry && (!entry->number.isEmpty() || !entry->name.isEmpty()))
            copy.entries[entry->index] = *entry;
    }
    return copy;
}

bool Phonebook::save(const QString& fileName)
{
    Feedback& feedback = m_session.feedback();
    const int rows = count();
    feedback.progressMax(float(rows - 1) + 0.1f);
    // The rows as they are now, whatever runs during a yield.
    const QStringList kept = texts();
    const RdsEncoding encoding = RdsEncodingFor(kept);
    // The old file stays until every row is on the disk.
    VerifiedSave file(fileName);
    bool written = file.open() && file.write(RdsPreamble(encoding));
    RowYield yield(feedback);
    for (int i = 0; written && i < rows; ++i) {
        yield();
        feedback.progress(float(i) + 0.1f);
        written = file.write(RdsLine(kept.at(i), encoding));
    }
    return written && file.commit();
}

QString Phonebook::load(const QString& fileName)
{
    // The whole file first: the rows change only once the file has been
    // read. A FIFO, a device, a folder or a huge file is no phone book.
    const std::optional<QByteArray> bytes = ReadRegularFile(fileName, kMaxRdsBytes);
    if (!bytes)
        return QStringLiteral("IMPOSSIBILE CARICARE");
    const QStringList lines = RdsRows(*bytes);
    if (std::any_of(lines.begin(), lines.end(), [](const QString& line) { return line.size() > kMaxRdsRow; }))
        return QStringLiteral("IMPOSSIBILE CARICARE");
    // A line that is no row of a phone book (half of a row cut by a line
    // break, text of another file) is left out and counted; a file with no
    // row at all is no phone book, and the rows stay as they were.
    QStringList rows;
    int unreadable = 0;
    RowYield yield(m_session.feedback());
    for (const QString& line : lines) {
        yield();
        const QString row = WithoutControls(line);
        if (IsBookRow(row))
            rows.append(row);
        else
            ++unreadable;
    }
    const QString notRead = unreadable == 1 ? QStringLiteral("1 riga non leggibile")
                                            : QStringLiteral("%1 righe non leggibili").arg(unreadable);
    if (rows.isEmpty() && unreadable > 0)
        return QStringLiteral("IMPOSSIBILE CARICARE: ") + notRead + QStringLiteral("..");
    m_entries.clear();
    for (const QString& row : rows)
        m_entries.push_back(entryOfRow(row));
    resetTexts(rows);
    m_sizes.clear();
    if (unreadable == 0)
        return QStringLiteral("CARICAMENTO ULTIMATO");
    const size_t shown = vcardEntries().size();
    return (shown == 1 ? QStringLiteral("Caricata 1 voce, ") : QStringLiteral("Caricate %1 voci, ").arg(shown))
           + notRead + QStringLiteral("..");
}

std::optional<QString> Phonebook::nameOf(const QString& needle) const
{
    RowYield yield(m_session.feedback());
    for (int row = 0; row < count(); ++row) {
        yield();
        if (auto name = NameInRow(text(row), needle, m_session.numberWidth, m_session.nameWidth))
            return name;
    }
    return std::nullopt;
}

std::optional<QString> Phonebook::nameOfNow(const QString& needle) const
{
    for (const QString& row : texts()) {
        if (auto name = NameInRow(row, needle, m_session.numberWidth, m_session.nameWidth))
            return name;
    }
    return std::nullopt;
}

std::vector<PhonebookEntry> Phonebook::vcardEntries() const
{
    std::vector<PhonebookEntry> cards;
    for (const std::optional<Entry>& entry : m_entries) {
        if (entry && (!entry->number.isEmpty() || !entry->name.isEmpty()))
            cards.push_back({entry->name, entry->number});
    }
    return cards;
}

void Phonebook::textWritten(int row)
{
    if (size_t(row) >= m_entries.size())
        m_entries.resize(size_t(row) + 1);
    m_entries[size_t(row)] = entryOfRow(text(row));
}

void Phonebook::textsReset()
{
    m_entries.clear();
    m_sizes.clear();
}

} // namespace phone
