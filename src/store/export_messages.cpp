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
#include "phone/messages/csv.h"
#include "phone/messages/message_rows.h"
#include "phone/messages/parts.h"
#include "phone/messages/reader.h"
#include "phone/phonebook/book_rows.h"
#include "phone/savefile.h"
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

// Reads again every message that List1 lists into `messages`, and the part
// each is of a message in parts into `parts`; `unread`
// counts the listed messages it could not read: a slot that answers no
// message or one cut or garbled, the slots of a store that cannot be
// selected, and every slot after the phone fell silent. False when the line
// was lost.
bool readListed(Form1& form, const LongOperation& guard, std::vector<ExportedMessage>& messages,
                std::vector<std::optional<MessagePart>>& parts, int& unread)
{
    StoreReader reader(guard);
    int selectedStore = -1; // 1 the SIM, 0 the phone's memory, -1 none yet
    int refusedStore = -1;  // the store that could not be selected
    bool silent = false;
    for (int i = 0; i < form.List1->ListCount(); ++i) {
        form.ProgressBar1->setValue(float(i + 1));
        const QString row = form.List1->List(i);
        const RowPlace place = ReadRowPlace(row);
        if (place.headLength < 0 || place.slot <= 0 || blankBody(row, place.headLength))
            continue;
        const int store = place.sim ? 1 : 0;
        if (silent || refusedStore == store) {
            ++unread;
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
        if (step == Step::LineLost)
            return false;
        silent = step == Step::Silent;
        // A slot emptied since the list was read has nothing to export.
        if (got.answer.kind == at::CmgrAnswer::Message) {
            messages.push_back(exported(form, place, got.answer));
            parts.push_back(PartOf(got.answer.tipo, got.answer.pak));
        } else if (silent || refusedStore == store || got.answer.kind != at::CmgrAnswer::Empty)
            ++unread;
    }
    return true;
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
    std::vector<std::optional<MessagePart>> parts;
    int unread = 0;
    if (!readListed(*this, guard, messages, parts, unread))
        return; // the line is lost: panel 2 keeps why
    // A message in parts is joined from the parts read, in both stores.
    std::vector<QString> texts;
    for (const ExportedMessage& message : messages)
        texts.push_back(message.text);
    const std::vector<Whole> wholes = JoinAll(parts, texts);
    for (size_t i = 0; i < messages.size(); ++i) {
        messages[i].part = wholes[i].part;
        messages[i].whole = wholes[i].text;
    }
    // What was read is written all the same; what was not is counted.
    if (!SaveVerified(fileName, MessagesCsv(messages)))
        return Stato(QStringLiteral("IMPOSSIBILE ESPORTARE: ") + fileName);
    if (unread == 0)
        Stato(QStringLiteral("Esportazione terminata: %1 sms in %2").arg(messages.size()).arg(fileName));
    else
        Stato(QStringLiteral("Esportati %1 sms, %2 non letti..").arg(messages.size()).arg(unread));
}
