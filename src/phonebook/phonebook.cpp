// SPDX-License-Identifier: GPL-3.0-or-later
// "Leggi rubrica da Cellulare", "Salva rubrica", "Carica rubrica", the
// search field and the pick of a recipient from List2.
#include "at/cpbr.h"
#include "at/errors.h"
#include "at/numbers.h"
#include "phonebook/book_rows.h"
#include "phonebook/savefile.h"
#include "phonebook/vcard.h"
#include "window/form1.h"

#include <algorithm>
#include <optional>

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

const QString kReadDone = QStringLiteral("Lettura rubriche terminata..");
const QString kPhoneSilent = QStringLiteral("Lettura rubriche fallita: il cellulare non risponde..");
// A read where every book failed, with the phone's last reason.
QString noBook(const QString& refusal)
{
    const QString reason = at::ErrorReason(refusal);
    return QStringLiteral("Lettura rubriche fallita: ")
           + (reason.isEmpty() ? QStringLiteral("il cellulare le rifiuta tutte") : reason) + QStringLiteral("..");
}
const QString kCharsetKept = QStringLiteral("Lettura rubriche terminata, ma il cellulare non torna al set GSM..");

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

// One store being read into `rows`.
struct StoreRead {
    Form1& form;
    const LongOperation& operation;
    const at::CpbrRange& size;
    bool ucs2;
    QStringList& rows;

    QString entryRow(const at::CpbrEntry& entry, int index) const
    {
        return EntryRow(size, index, PhonebookNumber(entry.number, ucs2), PhonebookName(entry.name, ucs2));
    }

    // Entries first..last, one command each: the way of phones that refuse
    // ranges, and of a range whose answer cannot be trusted.
    std::optional<ReadEnd> entryByEntry(int first, int last)
    {
        for (int index = first; index <= last; ++index) {
            form.DoEvents();
            const QString answer = form.InviaAT(QStringLiteral("+CPBR=") + QString::number(index));
            if (operation.lineLost())
                return ReadEnd::LineLost;
            if (silent(answer))
                return ReadEnd::Silent;
            form.ProgressBar1->setValue(float(index));
            // An empty entry is a bare OK or "not found", as phones differ.
            if (answer == QLatin1String("OK") || at::CmeError(form.ErroreAT) == at::kCmeNotFound) {
                rows.append(EmptySlotRow(size, index));
                continue;
            }
            // Any other refusal (a protected entry) gets no row; the index
            // column of the next row shows the gap.
            const at::CpbrEntry entry = at::ParseCpbrEntry(answer);
            if (entry.valid)
                rows.append(entryRow(entry, index));
        }
        return std::nullopt;
    }

    // Entries first..last in one command; the rows are those the entry by
    // entry read would write. Unlisted entries are empty; so is the whole
    // range when the phone answers it "not found".
    std::optional<ReadEnd> range(int first, int last)
    {
        form.DoEvents();
        const QString answer = form.InviaAT(QStringLiteral("+CPBR=%1,%2").arg(first).arg(last));
        if (operation.lineLost())
            return ReadEnd::LineLost;
        if (silent(answer))
            return ReadEnd::Silent;
        std::optional<std::vector<at::CpbrEntry>> listed;
        if (answer == QLatin1String("OK") || at::CmeError(form.ErroreAT) == at::kCmeNotFound)
            listed.emplace();
        else if (answer != QLatin1String("ERROR"))
            listed = at::ParseCpbrEntries(answer, first, last);
        if (!listed)
            return entryByEntry(first, last);
        auto next = listed->cbegin();
        for (int index = first; index <= last; ++index) {
            if (next != listed->cend() && next->index == index)
                rows.append(entryRow(*next++, index));
            else
                rows.append(EmptySlotRow(size, index));
        }
        form.ProgressBar1->setValue(float(last));
        return std::nullopt;
    }
};

// The rows of every store the phone lets us read, built aside so that List2
// keeps the previous phone book until the read has succeeded. `sized` is
// the size answer of the store sized last, whose widths the rows end with.
ReadEnd readStores(Form1& form, const LongOperation& operation, bool ucs2, QStringList& rows,
                   std::optional<at::CpbrRange>& sized, QString& refusal)
{
    for (const Store& store : kStores) {
        const QString selected = form.InviaAT(QLatin1String(store.select));
        if (operation.lineLost())
            return ReadEnd::LineLost;
        form.Stato(QLatin1String(store.status));
        if (silent(selected))
            return ReadEnd::Silent;
        if (selected != QLatin1String("OK")) {
            refusal = form.ErroreAT;
            continue;
        }
        const QString sizeAnswer = form.InviaAT(QStringLiteral("+CPBR=?"));
        if (operation.lineLost())
            return ReadEnd::LineLost;
        if (silent(sizeAnswer))
            return ReadEnd::Silent;
        // A size answer of another shape (an ERROR, absurd widths) skips the store.
        const at::CpbrRange size = at::ParseCpbrRange(sizeAnswer);
        if (!size.valid) {
            refusal = form.ErroreAT;
            continue;
        }
        sized = size;
        rows.append(HeaderRow(size));
        form.ProgressBar1->setMax(float(size.last));
        form.ProgressBar1->setValue(0.1f);
        // Always from index 1, whatever the first index the phone gives.
        StoreRead read{form, operation, size, ucs2, rows};
        for (int first = 1; first <= size.last; first += kRangeSize) {
            if (const std::optional<ReadEnd> end = read.range(first, std::min(first + kRangeSize - 1, size.last)))
                return *end;
        }
        rows.append(FooterRow(size));
    }
    return ReadEnd::Done;
}

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
    // Names in any script come as UCS2; a phone without it is read in GSM.
    const QString charset = InviaAT(QStringLiteral("+CSCS=\"UCS2\""));
    if (lineLost())
        return;
    const bool ucs2 = charset == QLatin1String("OK");
    QStringList rows;
    std::optional<at::CpbrRange> sized;
    QString refusal; // the phone's last word on a book it would not give
    ReadEnd end = silent(charset) ? ReadEnd::Silent : readStores(*this, operation, ucs2, rows, sized, refusal);
    if (end == ReadEnd::LineLost) {
        ProgressBar1->setValue(0.1f);
        return;
    }
    // The rest of the program speaks GSM to the phone: put it back, also
    // after a read that failed.
    bool restored = true;
    if (ucs2) {
        const QString answer = InviaAT(QStringLiteral("+CSCS=\"GSM\""));
        if (lineLost())
            return;
        restored = answer == QLatin1String("OK");
    }
    // Not one book could be read (a SIM that asks for its PIN refuses them
    // all): that is no empty phone book, and the previous list stays.
    if (end == ReadEnd::Silent || !sized) {
        ProgressBar1->setValue(0.1f);
        return Stato(end == ReadEnd::Silent ? kPhoneSilent : noBook(refusal));
    }
    List2->Clear();
    List2->addItems(rows);
    LungNumero = sized->numberLength;
    LungNome = sized->nameLength;
    Stato(restored ? kReadDone : kCharsetKept);
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
    const QStringList rows = RdsRows(*bytes);
    if (std::any_of(rows.begin(), rows.end(), [](const QString& row) { return row.size() > kMaxRdsRow; })) {
        Stato(QStringLiteral("IMPOSSIBILE CARICARE"));
        return;
    }
    List2->Clear();
    RowYield yield(*this);
    for (const QString& row : rows) {
        yield();
        List2->AddItem(row);
    }
    Stato(QStringLiteral("CARICAMENTO ULTIMATO"));
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
