// SPDX-License-Identifier: GPL-3.0-or-later
#include "phone/arrivals.h"

#include "at/cmgr.h"
#include "at/cnmi.h"
#include "at/cpms.h"
#include "at/errors.h"
#include "at/numbers.h"
#include "at/unsolicited.h"
#include "pdu/pdu.h"
#include "phone/messages/messages.h"
#include "phone/phonebook/phonebook.h"
#include "phone/sending/sender.h"

#include <QMetaObject>

#include <algorithm>

namespace phone {

using namespace store;

namespace {

// Notices noted at most: with one a slot, more than any store holds.
constexpr size_t kMaxWaiting = 1024;

// What the status calls a store: "SIM", "cellulare", or its own name.
QString storeWords(const QString& store)
{
    if (store == QLatin1String("SM"))
        return QStringLiteral("SIM");
    if (store == QLatin1String("ME"))
        return QStringLiteral("cellulare");
    return store;
}

// A stored message or report that could not be read: nothing changes, and
// the status says where it is, so that nothing is lost to the user.
QString notRead(const QString& store, int slot, const QString& why)
{
    return QStringLiteral("Nuovo SMS in memoria %1, posizione %2: non letto (%3)..")
        .arg(storeWords(store))
        .arg(slot)
        .arg(why);
}

// The phone started again and forgot its set-up, indications included.
// ("+CPIN: READY" alone is also what a modem says when it has just taken
// the PIN.)
bool restarted(const QString& line)
{
    return at::IsRestart(line) && !line.trimmed().startsWith(QLatin1String("+CPIN"), Qt::CaseInsensitive);
}

} // namespace

Arrivals::Arrivals(Session& session, Messages& messages, const Phonebook& phonebook, Sender& sender,
                   std::function<Columns()> columns, QObject* parent)
    : QObject(parent), m_session(session), m_messages(messages), m_phonebook(phonebook), m_sender(sender),
      m_columns(std::move(columns))
{
    session.listen({QStringLiteral("+CMTI:"), QStringLiteral("+CDSI:"), QStringLiteral("+CDS:")},
                   [this](const QString& line) { noted(line); });
    session.listen(restarted, [this](const QString& line) { noted(line); });
    // A notice that came during a long operation, or during a transaction
    // outside any (the connection's own), is handled once it is over.
    connect(&session, &Session::operationEnded, this, &Arrivals::post);
    connect(&session.link(), &PhoneLink::busyChanged, this, [this](bool busy) {
        if (!busy)
            post();
    });
    // A message whose send stopped may be told at once.
    connect(&sender, &Sender::told, this, [this](const at::Told& told) { tell(told); });
}

// New-message indications (GSM 07.05 3.4.1), within what the phone
// offers: a message is stored and told with +CMTI, never routed past the
// phone's stores; a status report comes with +CDS, or stored with +CDSI.
void Arrivals::activate()
{
    const std::optional<at::CnmiOffer> offer = at::ParseCnmiTest(m_session.transaction(QStringLiteral("+CNMI=?")));
    if (!m_session.portOpen())
        return;
    if (const std::optional<QString> setting = offer ? at::CnmiSetting(*offer) : std::nullopt)
        m_session.transaction(QStringLiteral("+CNMI=") + *setting);
    // A phone that refuses may still tell of its messages on its own.
    active = m_session.portOpen();
    post();
}

void Arrivals::forget()
{
    active = false;
    m_waiting.clear();
    m_dropped = 0;
}

void Arrivals::noted(const QString& line)
{
    Notice notice;
    if (const std::optional<at::StoredIndication> stored = at::ParseStoredIndication(line)) {
        notice.kind = stored->report ? Notice::StoredReport : Notice::Message;
        notice.store = stored->store;
        notice.slot = stored->slot;
    } else if (const std::optional<QString> pdu = at::ParseCdsPdu(line)) {
        notice.kind = Notice::Report;
        notice.pdu = *pdu;
    } else if (restarted(line)) {
        notice.kind = Notice::Restart;
    } else {
        return;
    }
    // A flood of notices for one slot costs one read.
    if (std::find(m_waiting.begin(), m_waiting.end(), notice) == m_waiting.end()) {
        if (m_waiting.size() < kMaxWaiting)
            m_waiting.push_back(notice);
        else
            ++m_dropped;
    }
    post();
}

void Arrivals::post()
{
    if ((m_waiting.empty() && m_dropped == 0) || m_posted)
        return;
    m_posted = true;
    QMetaObject::invokeMethod(this, &Arrivals::handleWaiting, Qt::QueuedConnection);
}

void Arrivals::handleWaiting()
{
    m_posted = false;
    // Kept until the phone is free: the end of the long operation or of
    // the transaction that holds it asks again.
    if (!active || !m_session.portOpen() || !m_session.commandFree || !m_session.lineFree)
        return;
    if (m_dropped > 0) {
        m_session.feedback().status(QStringLiteral("Troppi avvisi dal cellulare: %1 ignorati..").arg(m_dropped));
        m_dropped = 0;
    }
    if (m_waiting.empty())
        return;
    Operation operation(m_session);
    if (!operation.taken())
        return;
    // Within one run a slot is read once, however many notices name it.
    std::vector<Notice> done;
    while (!m_waiting.empty()) {
        const Notice notice = m_waiting.front();
        m_waiting.pop_front();
        if (std::find(done.begin(), done.end(), notice) != done.end())
            continue;
        done.push_back(notice);
        if (!handle(notice, operation))
            return; // the line is lost: the status says so already
    }
}

// One notice; false when the line was lost meanwhile.
bool Arrivals::handle(const Notice& notice, const Operation& operation)
{
    Feedback& feedback = m_session.feedback();
    if (notice.kind == Notice::Report) {
        report(notice.pdu, false);
        return true;
    }
    if (notice.kind == Notice::Restart) {
        // The set-up again, without the reset that would lose what the
        // restart kept; then the indications.
        for (const QString& command : Session::SetUpCommands()) {
            if (m_session.ask(operation, command) == Step::LineLost)
                return false;
        }
        activate();
        if (operation.lineLost())
            return false;
        feedback.status(QStringLiteral("Il cellulare si è riavviato: impostazioni ripristinate.."));
        return true;
    }
    const bool sim = notice.store == QLatin1String("SM");
    const bool listed = sim || notice.store == QLatin1String("ME");
    const Messages::Place row = listed ? m_messages.placeOf(sim, notice.slot) : Messages::Place();
    // A slot that the store, as the list shows it, does not have.
    if (row.capacity > 0 && (notice.slot < 1 || notice.slot > row.capacity)) {
        feedback.status(QStringLiteral("Avviso ignorato: la memoria %1 non ha la posizione %2..")
                            .arg(storeWords(notice.store))
                            .arg(notice.slot));
        return true;
    }

    StoreReader reader(operation);
    QString selection;
    Step step = reader.ask(listed ? StoreOf(sim).select : QStringLiteral("+CPMS=") + notice.store, &selection);
    if (step == Step::LineLost)
        return false;
    if (step == Step::Silent || !at::CpmsSelected(selection)) {
        feedback.status(notRead(notice.store, notice.slot,
                                step == Step::Silent ? phonelink::GiveUpText(m_session.link().whyGivenUp())
                                                     : QStringLiteral("memoria non selezionabile")));
        return true;
    }
    Slot got;
    step = reader.read(notice.slot, got);
    if (step == Step::LineLost)
        return false;
    if (step == Step::Silent) {
        feedback.status(notRead(notice.store, notice.slot, phonelink::GiveUpText(m_session.link().whyGivenUp())));
        return true;
    }
    switch (got.answer.kind) {
    case at::CmgrAnswer::Empty:
        return true; // gone before it was read: nothing to show
    case at::CmgrAnswer::Unreadable:
    case at::CmgrAnswer::NoMessage: {
        const QString reason = at::ErrorReason(m_session.link().lastError());
        feedback.status(
            notRead(notice.store, notice.slot, reason.isEmpty() ? QStringLiteral("risposta non leggibile") : reason));
        return true;
    }
    case at::CmgrAnswer::Message:
        break;
    }
    if (row.position >= 0)
        m_messages.rewrite(row.position, got, m_columns());

    const auto tipo = int16_t(got.answer.tipo);
    const QString& pak = got.answer.pak;
    if (PduKind(pak) == SmsKind::StatusReport) {
        report(pak, true);
        return true;
    }
    const QString number = RivNumMT(tipo, pak);
    const QString who = number.isEmpty() ? QStringLiteral("mittente sconosciuto") : number;
    QString text = QStringLiteral("Nuovo SMS da ") + nameOrNumber(who);
    if (const std::optional<ConcatPart> part = ConcatInfo(tipo, pak); part && part->total > 1)
        text += QStringLiteral(" (parte %1 di %2)").arg(part->index).arg(part->total);
    feedback.status(text);
    feedback.notify(text, RivTesto(tipo, pak).left(200));
    return true;
}

// A status report, routed (+CDS) or read from its slot (`stored`): the
// message it is about, when this run sent it with "Ricevuta", is told
// delivered or not once the last of its parts is reported. A report that
// matches nothing is told as it is; its row, when stored, shows it as any
// stored report.
void Arrivals::report(const QString& pak, bool stored)
{
    const std::optional<StatusReport> report = ReadStatusReport(pak);
    if (!report) {
        m_session.feedback().status(stored ? QStringLiteral("Rapporto di consegna non leggibile..")
                                           : QStringLiteral("Rapporto di consegna non leggibile: ") + pak.left(80)
                                                 + QStringLiteral(".."));
        return;
    }
    const at::Told told =
        m_sender.ledger.take({report->reference, report->recipient, report->status, report->time, report->date});
    m_sender.reported(told);
    if (told.kind == at::Told::Unmatched) {
        m_session.feedback().status(QStringLiteral("Rapporto di consegna di un SMS non inviato da qui: %1 (%2)..")
                                        .arg(RivTesto(0, pak), report->recipient));
        return;
    }
    tell(told, report->recipient);
}

// What a report came to, when there is something to tell: a repeat, and a
// part whose message waits for the others, say nothing.
void Arrivals::tell(const at::Told& told, const QString& byNetwork)
{
    const QString& number = told.message.number;
    // The number as it was dialled, or as the network writes it ("+39..."
    // for a number dialled without its country code), may be in the book.
    QString who = nameOrNumber(number);
    if (who == number && !byNetwork.isEmpty()) {
        const QString named = nameOrNumber(byNetwork);
        if (named != byNetwork)
            who = named;
    }
    const QString text = at::DeliveryText(who, told);
    if (text.isEmpty())
        return;
    m_session.feedback().status(text);
    m_session.feedback().notify(QStringLiteral("Rapporto di consegna"), text);
}

// The name the phone book gives `number`, without the blanks of its
// column, or the number itself.
QString Arrivals::nameOrNumber(const QString& number) const
{
    const std::optional<QString> name = m_phonebook.nameOf(number);
    return name && !at::TrimSpaces(*name).isEmpty() ? at::TrimSpaces(*name) : number;
}

} // namespace phone
