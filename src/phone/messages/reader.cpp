// SPDX-License-Identifier: GPL-3.0-or-later
#include "phone/messages/reader.h"

#include "at/cpbr.h"
#include "at/cpms.h"
#include "link/phonelink.h"

#include <algorithm>

namespace store {

const std::vector<Store>& Stores()
{
    static const std::vector<Store> stores = {
        {true, QStringLiteral("+CPMS=SM"), QStringLiteral("SM"), QStringLiteral("Lettura elenco sms sim in corso.."),
         QStringLiteral("Cancellazione elenco sms sim in corso..")},
        {false, QStringLiteral("+CPMS=ME"), QStringLiteral("ME"),
         QStringLiteral("Lettura elenco sms cellulare in corso.."),
         QStringLiteral("Cancellazione elenco sms cellulare in corso..")},
    };
    return stores;
}

const Store& StoreOf(bool sim) { return Stores()[sim ? 0 : 1]; }

QString NotSelectable(bool sim)
{
    return sim ? QStringLiteral("memoria SIM non selezionabile..")
               : QStringLiteral("memoria cellulare non selezionabile..");
}

QString SizeNotRead(bool sim)
{
    return sim ? QStringLiteral("dimensione memoria SIM non letta..")
               : QStringLiteral("dimensione memoria cellulare non letta..");
}

QString Capitalized(QString text)
{
    if (!text.isEmpty())
        text[0] = text.at(0).toUpper();
    return text;
}

Step StoreReader::ask(const QString& command, QString* answer, QString* errorLine)
{
    return m_session.ask(m_operation, command, answer, errorLine);
}

Step StoreReader::select(const Store& store, bool& selected, QString* answer)
{
    QString got;
    const Step step = ask(store.select, &got);
    selected = step == Step::Answered && at::CpmsSelected(got);
    if (answer)
        *answer = got;
    return step;
}

bool StoreReader::NoPhoneStore(const Store& store, const QString& answer)
{
    return !store.sim && answer == QLatin1String("ERROR");
}

Step StoreReader::capacity(const Store& store, std::optional<int>& capacity, std::optional<int>* used)
{
    QString stores;
    const Step step = ask(QStringLiteral("+CPMS?"), &stores);
    capacity = step == Step::Answered ? at::CpmsCapacity(stores, store.name) : std::nullopt;
    if (used)
        *used = capacity ? at::CpmsUsed(stores, store.name) : std::nullopt;
    return step;
}

Step StoreReader::widths()
{
    QString widths;
    const Step step = ask(QStringLiteral("+CPBR=?"), &widths);
    if (step != Step::Answered)
        return step;
    if (const at::CpbrRange range = at::ParseCpbrRange(widths); range.valid) {
        m_session.numberWidth = range.numberLength;
        m_session.nameWidth = range.nameLength;
    }
    return step;
}

Step StoreReader::list(int capacity, std::optional<int> used, Listing& listing)
{
    QString answer;
    const Step step = ask(QStringLiteral("+CMGL=4"), &answer);
    listing = Listing();
    if (step != Step::Answered)
        return step;
    if (used)
        listing.stands = at::ParseCmglStore(answer, capacity, *used);
    listing.given = at::ParseCmgl(answer);
    return step;
}

Step StoreReader::read(int slot, Slot& got, const Listing* listing)
{
    QString errorLine;
    const Step step = ask(QStringLiteral("+CMGR=") + QString::number(slot), &got.text, &errorLine);
    got.answer = at::ParseCmgr(got.text, errorLine);
    // The listing marked what it gave read (GSM 07.05 3.4.2): the same
    // message, read after it, was unread until then.
    if (listing && got.answer.kind == at::CmgrAnswer::Message && got.answer.tipo == 1) {
        for (const at::CmglEntry& entry : listing->given) {
            if (entry.index == slot && entry.tipo == 0 && entry.pak == got.answer.pak)
                got.answer.tipo = 0;
        }
    }
    return step;
}

std::vector<const at::CmglEntry*> BySlotIndex(const std::vector<at::CmglEntry>& listed, int capacity)
{
    std::vector<const at::CmglEntry*> bySlot(size_t(std::max(capacity, 0)) + 1, nullptr);
    for (const at::CmglEntry& entry : listed) {
        if (entry.index >= 1 && entry.index <= capacity)
            bySlot[size_t(entry.index)] = &entry;
    }
    return bySlot;
}

} // namespace store
