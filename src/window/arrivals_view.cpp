// SPDX-License-Identifier: GPL-3.0-or-later
// Messages and status reports that arrive while the program is connected.
// The link reads the line between transactions and hands over each
// unsolicited line; a "+CMTI" (a message stored), a "+CDSI" (a report
// stored) or a "+CDS" (a report with its PDU) is noted, once a slot, and
// handled when no long operation runs: the slot is read, its row of List1
// rewritten as the list read writes it, and panel 2 tells who wrote, or
// whether a message sent with "Ricevuta" was delivered.
#include "at/cmgr.h"
#include "at/cnmi.h"
#include "at/cpms.h"
#include "at/delivery.h"
#include "at/errors.h"
#include "at/numbers.h"
#include "at/unsolicited.h"
#include "link/phonelink.h"
#include "pdu/pdu.h"
#include "phone/messages/messages.h"
#include "phone/phonebook/phonebook.h"
#include "window/form1.h"

#include <QMetaObject>

#include <algorithm>

using namespace store;

namespace {

// Notices noted at most: with one a slot, more than any store holds.
constexpr size_t kMaxWaiting = 1024;

// What panel 2 calls a store: "SIM", "cellulare", or its own name.
QString storeWords(const QString& store)
{
    if (store == QLatin1String("SM"))
        return QStringLiteral("SIM");
    if (store == QLatin1String("ME"))
        return QStringLiteral("cellulare");
    return store;
}

// A stored message or report that could not be read: nothing changes, and
// panel 2 says where it is, so that nothing is lost to the user.
QString notRead(const QString& store, int slot, const QString& why)
{
    return QStringLiteral("Nuovo SMS in memoria %1, posizione %2: non letto (%3)..")
        .arg(storeWords(store))
        .arg(slot)
        .arg(why);
}

// The name the phone book gives `number`, without the blanks of its
// column, or the number itself.
QString nameOrNumber(Form1& form, const QString& number)
{
    const std::optional<QString> name = form.Rubrica->nameOf(number);
    return name && !at::TrimSpaces(*name).isEmpty() ? at::TrimSpaces(*name) : number;
}

} // namespace

void Form1::Linea_Notice(const QString& line)
{
    Avviso avviso;
    if (const std::optional<at::StoredIndication> stored = at::ParseStoredIndication(line)) {
        avviso.kind = stored->report ? Avviso::StoredReport : Avviso::Message;
        avviso.store = stored->store;
        avviso.slot = stored->slot;
    } else if (const std::optional<QString> pdu = at::ParseCdsPdu(line)) {
        avviso.kind = Avviso::Report;
        avviso.pdu = *pdu;
    } else if (at::IsRestart(line) && !line.trimmed().startsWith(QLatin1String("+CPIN"), Qt::CaseInsensitive)) {
        // The phone started again and forgot its set-up, indications
        // included. ("+CPIN: READY" alone is also what a modem says when
        // it has just taken the PIN.)
        avviso.kind = Avviso::Restart;
    } else {
        return;
    }
    // A flood of notices for one slot costs one read.
    if (std::find(m_avvisi.begin(), m_avvisi.end(), avviso) == m_avvisi.end()) {
        if (m_avvisi.size() < kMaxWaiting)
            m_avvisi.push_back(avviso);
        else
            ++m_avvisiPersi;
    }
    AvvisiInAttesa();
}

void Form1::AvvisiInAttesa()
{
    if ((m_avvisi.empty() && m_avvisiPersi == 0) || m_avvisiPosted)
        return;
    m_avvisiPosted = true;
    QMetaObject::invokeMethod(this, &Form1::GestisciAvvisi, Qt::QueuedConnection);
}

void Form1::GestisciAvvisi()
{
    m_avvisiPosted = false;
    // Kept until the phone is free: the end of the long operation or of
    // the transaction that holds it calls again.
    if (!AvvisiAttivi || !PortOpen() || !ComandoLibero || !LineaLibera)
        return;
    if (m_avvisiPersi > 0) {
        Stato(QStringLiteral("Troppi avvisi dal cellulare: %1 ignorati..").arg(m_avvisiPersi));
        m_avvisiPersi = 0;
    }
    if (m_avvisi.empty())
        return;
    LongOperation guard(*this);
    if (!guard.taken())
        return;
    // Within one run a slot is read once, however many notices name it.
    std::vector<Avviso> done;
    while (!m_avvisi.empty()) {
        const Avviso avviso = m_avvisi.front();
        m_avvisi.pop_front();
        if (std::find(done.begin(), done.end(), avviso) != done.end())
            continue;
        done.push_back(avviso);
        if (!gestisci(avviso, guard))
            return; // the line is lost: panel 2 says so already
    }
}

// One notice; false when the line was lost meanwhile.
bool Form1::gestisci(const Avviso& avviso, const LongOperation& guard)
{
    if (avviso.kind == Avviso::Report) {
        diConsegna(avviso.pdu, false);
        return true;
    }
    if (avviso.kind == Avviso::Restart) {
        // The set-up again, without the reset that would lose what the
        // restart kept; then the indications.
        StoreReader reader(guard);
        for (const char* command : {"+CSCS=GSM", "ATE0", "ATQ0", "ATV1", "+CMEE=1"}) {
            if (reader.ask(QLatin1String(command)) == Step::LineLost)
                return false;
        }
        AttivaAvvisi();
        if (guard.lineLost())
            return false;
        Stato(QStringLiteral("Il cellulare si è riavviato: impostazioni ripristinate.."));
        return true;
    }
    const bool sim = avviso.store == QLatin1String("SM");
    const bool listed = sim || avviso.store == QLatin1String("ME");
    const phone::Messages::Place row = listed ? Messaggi->placeOf(sim, avviso.slot) : phone::Messages::Place();
    // A slot that the store, as the list shows it, does not have.
    if (row.capacity > 0 && (avviso.slot < 1 || avviso.slot > row.capacity)) {
        Stato(QStringLiteral("Avviso ignorato: la memoria %1 non ha la posizione %2..")
                  .arg(storeWords(avviso.store))
                  .arg(avviso.slot));
        return true;
    }

    StoreReader reader(guard);
    QString selection;
    Step step = reader.ask(listed ? StoreOf(sim).select : QStringLiteral("+CPMS=") + avviso.store, &selection);
    if (step == Step::LineLost)
        return false;
    if (step == Step::Silent || !at::CpmsSelected(selection)) {
        Stato(notRead(avviso.store, avviso.slot,
                      step == Step::Silent ? phonelink::GiveUpText(Linea->whyGivenUp())
                                           : QStringLiteral("memoria non selezionabile")));
        return true;
    }
    Slot got;
    step = reader.read(avviso.slot, got);
    if (step == Step::LineLost)
        return false;
    if (step == Step::Silent) {
        Stato(notRead(avviso.store, avviso.slot, phonelink::GiveUpText(Linea->whyGivenUp())));
        return true;
    }
    switch (got.answer.kind) {
    case at::CmgrAnswer::Empty:
        return true; // gone before it was read: nothing to show
    case at::CmgrAnswer::Unreadable:
    case at::CmgrAnswer::NoMessage: {
        const QString reason = at::ErrorReason(ErroreAT);
        Stato(notRead(avviso.store, avviso.slot, reason.isEmpty() ? QStringLiteral("risposta non leggibile") : reason));
        return true;
    }
    case at::CmgrAnswer::Message:
        break;
    }
    if (row.position >= 0)
        Messaggi->rewrite(row.position, got, Colonne());

    const auto tipo = int16_t(got.answer.tipo);
    const QString& pak = got.answer.pak;
    if (PduKind(pak) == SmsKind::StatusReport) {
        diConsegna(pak, true);
        return true;
    }
    const QString number = RivNumMT(tipo, pak);
    const QString who = number.isEmpty() ? QStringLiteral("mittente sconosciuto") : number;
    QString text = QStringLiteral("Nuovo SMS da ") + nameOrNumber(*this, who);
    if (const std::optional<ConcatPart> part = ConcatInfo(tipo, pak); part && part->total > 1)
        text += QStringLiteral(" (parte %1 di %2)").arg(part->index).arg(part->total);
    Stato(text);
    if (!isActiveWindow())
        Notifica(text, RivTesto(tipo, pak).left(200));
    return true;
}

// A status report, routed (+CDS) or read from its slot (`stored`): the
// message it is about, when this run sent it with "Ricevuta", is told
// delivered or not once the last of its parts is reported. A report that
// matches nothing is told as it is; its row, when stored, shows it as any
// stored report.
void Form1::diConsegna(const QString& pak, bool stored)
{
    const std::optional<StatusReport> report = ReadStatusReport(pak);
    if (!report) {
        Stato(stored ? QStringLiteral("Rapporto di consegna non leggibile..")
                     : QStringLiteral("Rapporto di consegna non leggibile: ") + pak.left(80) + QStringLiteral(".."));
        return;
    }
    const at::Told told =
        Ricevute.take({report->reference, report->recipient, report->status, report->time, report->date});
    if (told.kind == at::Told::Unmatched) {
        Stato(QStringLiteral("Rapporto di consegna di un SMS non inviato da qui: %1 (%2)..")
                  .arg(RivTesto(0, pak), report->recipient));
        return;
    }
    diConsegna(told, report->recipient);
}

// What a report came to, when there is something to tell: a repeat, and a
// part whose message waits for the others, say nothing.
void Form1::diConsegna(const at::Told& told, const QString& byNetwork)
{
    const QString& number = told.message.number;
    // The number as it was dialled, or as the network writes it ("+39..."
    // for a number dialled without its country code), may be in the book.
    QString who = nameOrNumber(*this, number);
    if (who == number && !byNetwork.isEmpty()) {
        const QString named = nameOrNumber(*this, byNetwork);
        if (named != byNetwork)
            who = named;
    }
    const QString text = at::DeliveryText(who, told);
    if (text.isEmpty())
        return;
    Stato(text);
    if (!isActiveWindow())
        Notifica(QStringLiteral("Rapporto di consegna"), text);
}
