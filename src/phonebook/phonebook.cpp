// SPDX-License-Identifier: GPL-3.0-or-later
// "Leggi rubrica da Cellulare", "Salva rubrica", "Carica rubrica", the
// search field and the pick of a recipient from List2.
#include "at/cpbr.h"
#include "at/errors.h"
#include "at/numbers.h"
#include "at/unsolicited.h"
#include "phone/phonebook/book_rows.h"
#include "phone/phonebook/vcard.h"
#include "phone/savefile.h"
#include "window/form1.h"

#include <algorithm>
#include <optional>
#include <utility>

namespace {

struct Store {
    const char* select;
    const char* status;
};

// Read in this order: SIM, phone memory, fixed dialling.
constexpr Store kStores[] = {
    {"+CPBS=SM", "Lettura rubrica sim in corso.."},
    {"+CPBS=ME", "Lettura rubrica cellulare in corso.."},
    {"+CPBS=FD", "Lettura rubrica speciale in corso.."},
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

// Notes the restart lines ("RDY", "+CPIN: READY"...) that the link takes out
// of the answers and reports, while it lives.
class RestartWatch {
public:
    explicit RestartWatch(PhoneLink& link)
        : m_connection(QObject::connect(&link, &PhoneLink::notice, [this](const QString& line) {
              if (at::IsRestart(line))
                  m_seen = true;
          }))
    {
    }
    ~RestartWatch() { QObject::disconnect(m_connection); }
    RestartWatch(const RestartWatch&) = delete;
    RestartWatch& operator=(const RestartWatch&) = delete;

    // Whether the phone restarted since the last call.
    bool take() { return std::exchange(m_seen, false); }

private:
    bool m_seen = false;
    QMetaObject::Connection m_connection;
};

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

// The rows of every store the phone lets us read, built aside so that List2
// keeps the previous phone book until the read has succeeded.
class BookRead {
public:
    BookRead(Form1& form, const LongOperation& operation, RestartWatch& restarts, bool ucs2)
        : ucs2(ucs2), m_form(form), m_operation(operation), m_restarts(restarts)
    {
    }

    bool ucs2;                          // the character set of the read
    QStringList rows;                   // every store read, framed
    std::optional<at::CpbrRange> sized; // the store sized last, whose widths the rows end with
    QString refusal;                    // the phone's last word on a book it would not give
    Shortfall missing;

    ReadEnd stores()
    {
        for (const Store& store : kStores) {
            if (const std::optional<ReadEnd> end = readStore(store))
                return *end;
        }
        return ReadEnd::Done;
    }

private:
    // One transaction; an end when the line was lost or the phone is silent.
    std::optional<ReadEnd> ask(const QString& command, QString& answer)
    {
        answer = m_form.InviaAT(command);
        if (m_operation.lineLost())
            return ReadEnd::LineLost;
        if (silent(answer))
            return ReadEnd::Silent;
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
        const QString selected = m_form.InviaAT(QLatin1String(store.select));
        if (m_operation.lineLost())
            return ReadEnd::LineLost;
        m_form.Stato(QLatin1String(store.status));
        if (silent(selected))
            return ReadEnd::Silent;
        if (selected != QLatin1String("OK")) {
            refusal = m_form.ErroreAT;
            return std::nullopt;
        }
        QString answer;
        if (const std::optional<ReadEnd> end = ask(QStringLiteral("+CPBR=?"), answer))
            return end;
        const at::CpbrRange parsed = at::ParseCpbrRange(answer);
        if (!parsed.valid) {
            refusal = m_form.ErroreAT;
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
        rows.append(HeaderRow(*size));
        m_form.ProgressBar1->setMax(float(size->last));
        m_form.ProgressBar1->setValue(0.1f);
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
        rows.append(FooterRow(*size));
        return std::nullopt;
    }

    // Entries first..last, read again in the set and book of the read when
    // the phone restarted meanwhile or sent a name that is no UCS2.
    std::optional<ReadEnd> range(const Store& store, const at::CpbrRange& size, int first, int last, bool& bookLost)
    {
        for (int again = 0;; ++again) {
            QStringList got;
            Shortfall shortfall;
            if (const std::optional<ReadEnd> end = rangeOnce(size, first, last, got, shortfall))
                return end;
            const bool restarted = m_restarts.take();
            if ((!restarted && shortfall.undecoded == 0) || again == kRereads) {
                rows += got;
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
    std::optional<ReadEnd> rangeOnce(const at::CpbrRange& size, int first, int last, QStringList& got,
                                     Shortfall& shortfall)
    {
        m_form.DoEvents();
        QString answer;
        if (const std::optional<ReadEnd> end = ask(QStringLiteral("+CPBR=%1,%2").arg(first).arg(last), answer))
            return end;
        std::optional<std::vector<at::CpbrEntry>> listed;
        if (answer == QLatin1String("OK") || at::CmeError(m_form.ErroreAT) == at::kCmeNotFound)
            listed.emplace();
        else if (answer != QLatin1String("ERROR"))
            listed = at::ParseCpbrEntries(answer, first, last);
        if (!listed)
            return entryByEntry(size, first, last, got, shortfall);
        auto next = listed->cbegin();
        for (int index = first; index <= last; ++index) {
            if (next != listed->cend() && next->index == index)
                got.append(entryRow(size, *next++, index, shortfall));
            else
                got.append(EmptySlotRow(size, index));
        }
        m_form.ProgressBar1->setValue(float(last));
        return std::nullopt;
    }

    // Entries first..last, one command each: the way of phones that refuse
    // ranges, and of a range whose answer cannot be trusted.
    std::optional<ReadEnd> entryByEntry(const at::CpbrRange& size, int first, int last, QStringList& got,
                                        Shortfall& shortfall)
    {
        for (int index = first; index <= last; ++index) {
            m_form.DoEvents();
            QString answer;
            if (const std::optional<ReadEnd> end = ask(QStringLiteral("+CPBR=") + QString::number(index), answer))
                return end;
            m_form.ProgressBar1->setValue(float(index));
            // An empty entry is a bare OK or "not found", as phones differ.
            if (answer == QLatin1String("OK") || at::CmeError(m_form.ErroreAT) == at::kCmeNotFound) {
                got.append(EmptySlotRow(size, index));
                continue;
            }
            // Any other answer (a protected entry, a garbled line) gets no
            // row, which no empty slot could be taken for: the index column
            // of the next row shows the gap, and the read counts it.
            const at::CpbrEntry entry = at::ParseCpbrEntry(answer);
            if (entry.valid)
                got.append(entryRow(size, entry, index, shortfall));
            else
                ++shortfall.unread;
        }
        return std::nullopt;
    }

    // A name that is no UCS2 in a UCS2 read is shown as the phone sent it.
    QString entryRow(const at::CpbrRange& size, const at::CpbrEntry& entry, int index, Shortfall& shortfall) const
    {
        std::optional<QString> name = PhonebookName(entry.name, ucs2);
        if (!name) {
            ++shortfall.undecoded;
            name = entry.name;
        }
        return EntryRow(size, index, PhonebookNumber(entry.number, ucs2), *name);
    }

    Form1& m_form;
    const LongOperation& m_operation;
    RestartWatch& m_restarts;
};

} // namespace

void Form1::Command1_Click()
{
    LongOperation operation(*this, PortaNonAperta);
    if (!operation.taken())
        return;
    // A lost line stops everything: panel 2 keeps the connection error,
    // List2 the previous phone book, the phone whatever set it was left in.
    const auto lineLost = [&] {
        if (!operation.lineLost())
            return false;
        ProgressBar1->setValue(0.1f);
        return true;
    };
    RestartWatch restarts(*Linea);
    // Names in any script come as UCS2; a phone without it is read in GSM.
    const QString charset = InviaAT(kToUcs2);
    if (lineLost())
        return;
    BookRead read(*this, operation, restarts, charset == QLatin1String("OK"));
    const ReadEnd end = silent(charset) ? ReadEnd::Silent : read.stores();
    // Why the read stopped, before the set-up below gives up in its turn.
    const phonelink::GiveUp why = Linea->whyGivenUp();
    if (end == ReadEnd::LineLost) {
        ProgressBar1->setValue(0.1f);
        return;
    }
    // The rest of the program speaks GSM to the phone: put it back, also
    // after a read that failed.
    bool restored = true;
    if (read.ucs2) {
        const QString answer = InviaAT(QStringLiteral("+CSCS=\"GSM\""));
        if (lineLost())
            return;
        restored = answer == QLatin1String("OK");
    }
    // Not one book could be read (a SIM that asks for its PIN refuses them
    // all): that is no empty phone book, and the previous list stays.
    if (end == ReadEnd::Silent || !read.sized) {
        ProgressBar1->setValue(0.1f);
        return Stato(end == ReadEnd::Silent ? QStringLiteral("Lettura rubriche fallita: ") + phonelink::GiveUpText(why)
                                                  + QStringLiteral("..")
                                            : noBook(read.refusal));
    }
    List2->Clear();
    List2->addItems(read.rows);
    LungNumero = read.sized->numberLength;
    LungNome = read.sized->nameLength;
    Stato(BookReadStatus(read.missing.unread, read.missing.undecoded, restored));
}

void Form1::Command7_Click()
{
    LongOperation operation(*this);
    if (!operation.taken())
        return;
    CommonDialog1->Filter = QStringLiteral("*.RDS");
    CommonDialog1->ShowSave();
    const QString chosen = CommonDialog1->FileName;
    const int count = List2->ListCount();
    if (chosen.isEmpty() || count == 0) {
        Stato(QStringLiteral("IMPOSSIBILE SALVARE"));
        return;
    }
    Stato(QStringLiteral("SALVATAGGIO IN CORSO"));
    ProgressBar1->setMax(float(count - 1) + 0.1f);
    // The rows as they are now, whatever runs during a yield.
    QStringList rows;
    rows.reserve(count);
    for (int i = 0; i < count; ++i)
        rows.append(List2->List(i));
    const RdsEncoding encoding = RdsEncodingFor(rows);
    // The old file stays until every row is on the disk.
    VerifiedSave file(RdsSaveName(chosen));
    bool written = file.open() && file.write(RdsPreamble(encoding));
    RowYield yield(*this);
    for (int i = 0; written && i < count; ++i) {
        yield();
        ProgressBar1->setValue(float(i) + 0.1f);
        written = file.write(RdsLine(rows.at(i), encoding));
    }
    if (!written || !file.commit()) {
        Stato(QStringLiteral("IMPOSSIBILE SALVARE"));
        return;
    }
    Stato(QStringLiteral("SALVATAGGIO ULTIMATO"));
}

void Form1::Command8_Click()
{
    LongOperation operation(*this);
    if (!operation.taken())
        return;
    CommonDialog1->Filter = QStringLiteral("*.RDS");
    CommonDialog1->ShowOpen();
    const QString chosen = CommonDialog1->FileName;
    if (chosen.isEmpty() || !IsRdsName(chosen)) {
        Stato(QStringLiteral("IMPOSSIBILE CARICARE"));
        return;
    }
    Stato(QStringLiteral("CARICAMENTO IN CORSO"));
    // The whole file first: List2 changes only once the file has been read.
    // A FIFO, a device, a folder or a huge file is no phone book.
    const std::optional<QByteArray> bytes = ReadRegularFile(chosen, kMaxRdsBytes);
    if (!bytes) {
        Stato(QStringLiteral("IMPOSSIBILE CARICARE"));
        return;
    }
    const QStringList lines = RdsRows(*bytes);
    if (std::any_of(lines.begin(), lines.end(), [](const QString& line) { return line.size() > kMaxRdsRow; })) {
        Stato(QStringLiteral("IMPOSSIBILE CARICARE"));
        return;
    }
    // A line that is no row of a phone book (half of a row cut by a line
    // break, text of another file) is left out and counted; a file with no
    // row at all is no phone book, and the list stays as it was.
    QStringList rows;
    int unreadable = 0;
    for (const QString& line : lines) {
        const QString row = WithoutControls(line);
        if (IsBookRow(row))
            rows.append(row);
        else
            ++unreadable;
    }
    const QString notRead = unreadable == 1 ? QStringLiteral("1 riga non leggibile")
                                            : QStringLiteral("%1 righe non leggibili").arg(unreadable);
    if (rows.isEmpty() && unreadable > 0) {
        Stato(QStringLiteral("IMPOSSIBILE CARICARE: ") + notRead + QStringLiteral(".."));
        return;
    }
    List2->Clear();
    RowYield yield(*this);
    for (const QString& row : rows) {
        yield();
        List2->AddItem(row);
    }
    if (unreadable == 0)
        return Stato(QStringLiteral("CARICAMENTO ULTIMATO"));
    const size_t entries = EntriesOfRows(rows).size();
    Stato((entries == 1 ? QStringLiteral("Caricata 1 voce, ") : QStringLiteral("Caricate %1 voci, ").arg(entries))
          + notRead + QStringLiteral(".."));
}

void Form1::Text5_Change()
{
    const QString typed = Text5->text();
    const QString wanted = at::TrimSpaces(typed);
    if (wanted.isEmpty())
        return;
    RowYield yield(*this);
    for (int i = 0; i < List2->ListCount(); ++i) {
        yield();
        // A keystroke during the yield has started a newer search, which
        // has already run to its end: this one must not select after it.
        if (Text5->text() != typed)
            return;
        if (List2->List(i).contains(wanted, Qt::CaseInsensitive)) {
            List2->setListIndex(i);
            return;
        }
    }
}

void Form1::List2_Click()
{
    if (const std::optional<QString> picked = PickedRecipient(List2->List(List2->ListIndex())))
        Text2->setText(*picked);
}

// The phone book as vCards: the rows of List2 are the whole phone book,
// exported as they stand.
void Form1::EsportaRubrica()
{
    QStringList rows;
    for (int i = 0; i < List2->ListCount(); ++i)
        rows << List2->List(i);
    const std::vector<PhonebookEntry> entries = EntriesOfRows(rows);
    if (entries.empty()) {
        Stato(QStringLiteral("Rubrica vuota: niente da esportare.."));
        return;
    }
    DialogoEsporta->Filter = QStringLiteral("vCard (*.vcf)");
    DialogoEsporta->ShowSave();
    if (DialogoEsporta->FileName.isEmpty())
        return;
    const QString fileName = WithSuffix(DialogoEsporta->FileName, QStringLiteral("vcf"));
    if (!SaveVerified(fileName, VCards(entries))) {
        Stato(QStringLiteral("IMPOSSIBILE ESPORTARE: ") + fileName);
        return;
    }
    Stato(QStringLiteral("Esportazione terminata: %1 voci in %2").arg(entries.size()).arg(fileName));
}
