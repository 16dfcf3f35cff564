// "Leggi rubrica da Cellulare", "Salva rubrica", "Carica rubrica", the
// search field and the pick of a recipient from List2.
#include "phonebook/rows.h"
#include "pdu/pdu.h"
#include "window/form1.h"

#include <QFile>
#include <QSaveFile>

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

} // namespace

void Form1::Command1_Click()
{
    LongOperation operation(*this);
    if (!operation.taken())
        return;
    List2->Clear();
    for (const Store& store : kStores) {
        const QString selected = InviaAT(QLatin1String(store.select));
        Stato(QLatin1String(store.status));
        if (selected != QLatin1String("OK"))
            continue;
        // A size answer of another shape (an ERROR, a range ending below 1)
        // skips the store: no rows, the widths stay as they were.
        const PhonebookSize size = ParsePhonebookSize(InviaAT(QStringLiteral("+CPBR=?")));
        if (!size.valid)
            continue;
        LungNumero = size.numberLength;
        LungNome = size.nameLength;
        List2->AddItem(HeaderRow(size));
        ProgressBar1->setMax(float(size.lastIndex));
        ProgressBar1->setValue(0.1f);
        for (int index = 1; index <= size.lastIndex; ++index) {
            DoEvents();
            const QString answer = InviaAT(QStringLiteral("+CPBR=") + QString::number(index));
            ProgressBar1->setValue(float(index));
            if (answer == QLatin1String("OK")) {
                List2->AddItem(EmptySlotRow(size, index));
                continue;
            }
            // Neither an empty slot nor an entry (+CME ERROR, a lost answer):
            // the slot gets no row, the gap shows in the index column.
            const PhonebookEntry entry = ParsePhonebookEntry(answer);
            // The name comes in the GSM character set that InitAT selected.
            if (entry.valid)
                List2->AddItem(EntryRow(size, index, entry.number, GsmText(entry.name)));
        }
        List2->AddItem(FooterRow(size));
    }
    Stato(QStringLiteral("Lettura rubriche terminata.."));
}

void Form1::Command7_Click()
{
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
    // The rows as they are now: a read or load that runs during a yield
    // must not leave half of one list and half of another in the file.
    QStringList rows;
    rows.reserve(count);
    for (int i = 0; i < count; ++i)
        rows.append(List2->List(i));
    // The old file stays until every row has been written.
    QSaveFile file(RdsSaveName(chosen));
    bool written = file.open(QIODevice::WriteOnly);
    RowYield yield(*this);
    for (int i = 0; written && i < count; ++i) {
        yield();
        ProgressBar1->setValue(float(i) + 0.1f);
        const QByteArray line = RdsLine(rows.at(i));
        written = file.write(line) == line.size();
    }
    if (!written || !file.commit()) {
        file.cancelWriting();
        Stato(QStringLiteral("IMPOSSIBILE SALVARE"));
        return;
    }
    Stato(QStringLiteral("SALVATAGGIO ULTIMATO"));
}

void Form1::Command8_Click()
{
    CommonDialog1->Filter = QStringLiteral("*.RDS");
    CommonDialog1->ShowOpen();
    const QString chosen = CommonDialog1->FileName;
    if (chosen.isEmpty() || !IsRdsName(chosen)) {
        Stato(QStringLiteral("IMPOSSIBILE CARICARE"));
        return;
    }
    Stato(QStringLiteral("CARICAMENTO IN CORSO"));
    // The whole file first: List2 changes only once the file has been read.
    QFile file(chosen);
    if (!file.open(QIODevice::ReadOnly)) {
        Stato(QStringLiteral("IMPOSSIBILE CARICARE"));
        return;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        Stato(QStringLiteral("IMPOSSIBILE CARICARE"));
        return;
    }
    file.close();
    const QStringList rows = RdsRows(bytes);
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
    const QString wanted = TrimSpaces(typed);
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
