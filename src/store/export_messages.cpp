// SPDX-License-Identifier: GPL-3.0-or-later
// "Esporta messaggi…": the stored messages listed in List1 as CSV.
//
// The rows of List1 cannot give the messages back whole: the number column
// holds the phone-book name instead of the number once one was found, the
// columns left out by the check boxes are gone, the date has no century and
// a text may hold the column separator. So the export reads each listed
// slot again with +CMGR, as a long operation, and decodes it afresh; the
// rows say only which slots to read.
#include "at/glyphs.h"
#include "at/status.h"
#include "pdu/pdu.h"
#include "phonebook/book_rows.h"
#include "phonebook/savefile.h"
#include "store/csv.h"
#include "store/message_rows.h"
#include "store/reader.h"
#include "window/form1.h"

using namespace store;

namespace {

// A row that showed nothing but blanks and column bars: an empty slot.
bool blankBody(const QString& row, int headLength)
{
    for (qsizetype i = headLength; i < row.size(); ++i)
        if (row.at(i) != QLatin1Char(' ') && row.at(i) != at::kBar)
            return false;
    return true;
}

// The message of a slot the phone gave, with its name in the phone book.
ExportedMessage exported(const Form1& form, const RowPlace& place, const at::CmgrAnswer& slot)
{
    const auto tipo = int16_t(slot.tipo);
    ExportedMessage message;
    message.store = StoreOf(place.sim).name;
    message.slot = place.slot;
    message.status = at::StatusWord(slot.tipo);
    if (message.status.isEmpty() && slot.tipo >= 0)
        message.status = QString::number(slot.tipo);
    message.serviceCentre = RivNumCS(slot.pak);
    message.number = RivNumMT(tipo, slot.pak);
    for (int i = 0; !message.number.isEmpty() && i < form.List2->ListCount(); ++i) {
        if (const auto name = NameInRow(form.List2->List(i), message.number, form.LungNumero, form.LungNome)) {
            message.name = name->trimmed();
            break;
        }
    }
    message.dateTime = CsvDateTime(RivData(tipo, slot.pak), RivOra(tipo, slot.pak));
    if (!message.dateTime.isEmpty())
        message.zone = RivZona(tipo, slot.pak);
    message.text = RivTesto(tipo, slot.pak);
    return message;
}

// Reads again every message that List1 lists. Gives why it stopped: the
// phone's failure, or an empty text for a line lost.
std::optional<QString> readListed(Form1& form, const LongOperation& guard, std::vector<ExportedMessage>& messages,
                                  int& unread)
{
    StoreReader reader(form, guard);
    std::optional<bool> inSim; // the store selected now
    for (int i = 0; i < form.List1->ListCount(); ++i) {
        form.ProgressBar1->setValue(float(i + 1));
        const QString row = form.List1->List(i);
        const RowPlace place = ReadRowPlace(row);
        if (place.headLength < 0 || place.slot <= 0 || blankBody(row, place.headLength))
            continue;
        Step step = Step::Answered;
        if (inSim != place.sim) {
            // A slot of a store the phone has not selected is another message.
            bool selected = false;
            step = reader.select(StoreOf(place.sim), selected);
            if (step == Step::Answered && !selected)
                return Capitalized(NotSelectable(place.sim));
            inSim = place.sim;
        }
        Slot got;
        if (step == Step::Answered)
            step = reader.read(place.slot, got);
        if (step != Step::Answered)
            return step == Step::LineLost ? QString() : NoAnswer;
        // A slot emptied since the list was read has nothing to export.
        if (got.answer.kind == at::CmgrAnswer::Message)
            messages.push_back(exported(form, place, got.answer));
        else if (got.answer.kind == at::CmgrAnswer::NoMessage)
            ++unread;
    }
    return std::nullopt;
}

} // namespace

void Form1::EsportaMessaggi()
{
    if (List1->ListCount() == 0)
        return Stato(QStringLiteral("Elenco sms non caricato.."));
    LongOperation guard(*this, PortaNonAperta);
    if (!guard.taken())
        return;
    DialogoEsporta->Filter = QStringLiteral("File CSV (*.csv)");
    DialogoEsporta->ShowSave();
    if (DialogoEsporta->FileName.isEmpty())
        return;
    const QString fileName = WithSuffix(DialogoEsporta->FileName, QStringLiteral("csv"));

    Stato(QStringLiteral("Esportazione sms in corso.."));
    ProgressBar1->setMax(float(List1->ListCount()));
    ProgressBar1->setValue(0.1f);
    std::vector<ExportedMessage> messages;
    int unread = 0; // listed slots whose message could not be read again
    const std::optional<QString> failure = readListed(*this, guard, messages, unread);
    if (failure) {
        if (!failure->isEmpty())
            Stato(QStringLiteral("Esportazione fallita: ") + *failure);
        return;
    }
    if (!SaveVerified(fileName, MessagesCsv(messages)))
        return Stato(QStringLiteral("IMPOSSIBILE ESPORTARE: ") + fileName);
    const QString done = QStringLiteral("Esportazione terminata: %1 sms in %2").arg(messages.size()).arg(fileName);
    Stato(unread == 0 ? done : done + QStringLiteral(", %1 non letti..").arg(unread));
}
