// Exporting the lists: the stored messages as CSV, the phone book as vCards.
//
// The rows of List1 cannot give the messages back whole: the number column
// holds the phone-book name instead of the number once one was found, the
// columns left out by the check boxes are gone, the date has no century and
// a text may hold the column separator. So the export reads each listed
// slot again with +CMGR, as a long operation, and decodes it afresh; the
// rows say only which slots to read. The rows of List2, on the other hand,
// are the whole phone book: they are exported as they stand.
#include "window/form1.h"

#include "at/cmgr.h"
#include "at/status.h"
#include "pdu/pdu.h"
#include "phonebook/savefile.h"
#include "phonebook/vcard.h"
#include "store/export.h"
#include "store/rows.h"

#include <QFileInfo>

namespace {

// The name the export is written to: the one chosen, with `suffix` added
// when it has none.
QString withSuffix(const QString& chosen, const QString& suffix)
{
    return QFileInfo(chosen).suffix().isEmpty() ? chosen + QLatin1Char('.') + suffix : chosen;
}

// A row that showed nothing but blanks and column bars: an empty slot.
bool blankBody(const QString& row, int headLength)
{
    for (qsizetype i = headLength; i < row.size(); ++i)
        if (row.at(i) != QLatin1Char(' ') && row.at(i) != at::kBar)
            return false;
    return true;
}

} // namespace

void Form1::EsportaMessaggi()
{
    if (List1->ListCount() == 0) {
        Stato(QStringLiteral("Elenco sms non caricato.."));
        return;
    }
    LongOperation operation(*this, PortaNonAperta);
    if (!operation.taken())
        return;
    DialogoEsporta->Filter = QStringLiteral("File CSV (*.csv)");
    DialogoEsporta->ShowSave();
    if (DialogoEsporta->FileName.isEmpty())
        return;
    const QString fileName = withSuffix(DialogoEsporta->FileName, QStringLiteral("csv"));

    Stato(QStringLiteral("Esportazione sms in corso.."));
    const int rows = List1->ListCount();
    ProgressBar1->setMax(float(rows));
    ProgressBar1->setValue(0.1f);
    QStringList phonebook;
    for (int i = 0; i < List2->ListCount(); ++i)
        phonebook << List2->List(i);

    std::vector<store::ExportedMessage> messages;
    int selected = 0; // 1 the SIM, 2 the phone's memory
    for (int i = 0; i < rows; ++i) {
        ProgressBar1->setValue(float(i + 1));
        const QString row = List1->List(i);
        const store::RowPlace place = store::ReadRowPlace(row);
        if (place.headLength < 0 || place.slot <= 0 || blankBody(row, place.headLength))
            continue;
        const int wanted = place.sim ? 1 : 2;
        if (selected != wanted) {
            InviaAT(place.sim ? QStringLiteral("+CPMS=SM") : QStringLiteral("+CPMS=ME"));
            selected = wanted;
        }
        const QString answer = InviaAT(QStringLiteral("+CMGR=%1").arg(place.slot));
        if (operation.lineLost())
            return;
        const at::CmgrAnswer slot = at::ParseCmgr(answer, ErroreAT);
        if (slot.kind != at::CmgrAnswer::Message)
            continue;
        const auto tipo = int16_t(slot.tipo);
        store::ExportedMessage message;
        message.store = place.sim ? QStringLiteral("SM") : QStringLiteral("ME");
        message.slot = place.slot;
        message.status = at::StatusWord(slot.tipo);
        if (message.status.isEmpty() && slot.tipo >= 0)
            message.status = QString::number(slot.tipo);
        message.serviceCentre = RivNumCS(slot.pak);
        message.number = RivNumMT(tipo, slot.pak);
        if (!message.number.isEmpty()) {
            for (const QString& entry : phonebook) {
                if (const auto name = store::NameInRow(entry, message.number, LungNumero, LungNome)) {
                    message.name = name->trimmed();
                    break;
                }
            }
        }
        message.dateTime = store::CsvDateTime(RivData(tipo, slot.pak), RivOra(tipo, slot.pak));
        if (!message.dateTime.isEmpty())
            message.zone = RivZona(tipo, slot.pak);
        message.text = RivTesto(tipo, slot.pak);
        messages.push_back(message);
    }

    if (!SaveVerified(fileName, store::MessagesCsv(messages))) {
        Stato(QStringLiteral("IMPOSSIBILE ESPORTARE: ") + fileName);
        return;
    }
    Stato(QStringLiteral("Esportazione terminata: %1 sms in %2").arg(messages.size()).arg(fileName));
}

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
    const QString fileName = withSuffix(DialogoEsporta->FileName, QStringLiteral("vcf"));
    if (!SaveVerified(fileName, VCards(entries))) {
        Stato(QStringLiteral("IMPOSSIBILE ESPORTARE: ") + fileName);
        return;
    }
    Stato(QStringLiteral("Esportazione terminata: %1 voci in %2").arg(entries.size()).arg(fileName));
}
