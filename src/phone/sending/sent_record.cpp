// SPDX-License-Identifier: GPL-3.0-or-later
#include "phone/sending/sent_record.h"

#include "pdu/tp_status.h"
#include "phone/savefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include <QStringList>

#include <algorithm>

namespace phone {

namespace {

using State = SentPartRecord::State;

// The states as the file names them.
constexpr std::pair<State, const char*> kStates[] = {
    {State::NotSent, "non-inviata"},        {State::Sent, "inviata"},      {State::Refused, "rifiutata"},
    {State::Unconfirmed, "non-confermata"}, {State::Pending, "in-attesa"}, {State::Reported, "rapporto"},
};

QString stateName(State state)
{
    for (const auto& [s, name] : kStates) {
        if (s == state)
            return QLatin1String(name);
    }
    return QString();
}

std::optional<State> stateOf(const QString& name)
{
    for (const auto& [s, n] : kStates) {
        if (name == QLatin1String(n))
            return s;
    }
    return std::nullopt;
}

// A file larger than this is no record of ours.
constexpr qint64 kMaxFileBytes = 64 * 1024 * 1024;

// A report must be matched to a message of the last days only.
bool mayStillBeReported(const SentEntry& entry)
{
    if (!entry.statusReport || !entry.sent.isValid())
        return false;
    if (entry.sent.secsTo(QDateTime::currentDateTime()) > qint64(SentRecord::kReportDays) * 24 * 3600)
        return false;
    return std::any_of(entry.parts.begin(), entry.parts.end(), [](const SentPartRecord& part) {
        return (part.state == State::Sent || part.state == State::Pending) && part.reference >= 0;
    });
}

// The entry as the ledger keeps a message.
at::SentMessage ledgerMessage(const SentEntry& entry)
{
    at::SentMessage message;
    message.number = entry.number;
    for (const SentPartRecord& part : entry.parts) {
        at::PartRecord record;
        record.reference = part.reference;
        record.status = part.status;
        record.time = part.time;
        record.date = part.date;
        switch (part.state) {
        case State::Sent:
        case State::Pending:
            record.state = part.reference >= 0 ? at::PartState::Sent : at::PartState::NoReference;
            break;
        case State::Reported:
            record.state = at::PartState::Reported;
            break;
        case State::Unconfirmed:
            record.state = at::PartState::Unconfirmed;
            break;
        case State::NotSent:
        case State::Refused:
            record.state = at::PartState::NotSent;
            break;
        }
        message.parts.push_back(record);
    }
    return message;
}

// Where to put a file that cannot be read: beside it, a name not taken.
QString asideName(const QString& fileName)
{
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString aside = fileName + QStringLiteral(".illeggibile-") + stamp;
    for (int n = 2; QFileInfo::exists(aside); ++n)
        aside = fileName + QStringLiteral(".illeggibile-") + stamp + QLatin1Char('-') + QString::number(n);
    return aside;
}

} // namespace

QByteArray SentFile(const std::deque<SentEntry>& entries)
{
    QJsonArray messages;
    for (const SentEntry& entry : entries) {
        QJsonArray parts;
        for (const SentPartRecord& part : entry.parts) {
            QJsonObject p;
            p[QStringLiteral("stato")] = stateName(part.state);
            p[QStringLiteral("riferimento")] = part.reference;
            if (part.state == State::Reported || part.state == State::Pending) {
                p[QStringLiteral("esito")] = part.status;
                p[QStringLiteral("ora")] = part.time;
                p[QStringLiteral("data")] = part.date;
            }
            if (!part.reason.isEmpty())
                p[QStringLiteral("motivo")] = part.reason;
            parts.append(p);
        }
        QJsonObject m;
        m[QStringLiteral("id")] = entry.id;
        m[QStringLiteral("inviato")] = entry.sent.toString(Qt::ISODate);
        m[QStringLiteral("numero")] = entry.number;
        m[QStringLiteral("nome")] = entry.name;
        m[QStringLiteral("testo")] = entry.text;
        m[QStringLiteral("flash")] = entry.flash;
        m[QStringLiteral("ricevuta")] = entry.statusReport;
        m[QStringLiteral("parti")] = parts;
        messages.append(m);
    }
    QJsonObject root;
    root[QStringLiteral("zircalo-inviati")] = 1;
    root[QStringLiteral("messaggi")] = messages;
    return QJsonDocument(root).toJson(QJsonDocument::Compact);
}

std::optional<std::deque<SentEntry>> ReadSentFile(const QByteArray& bytes)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const QJsonObject root = document.object();
    if (root.value(QStringLiteral("zircalo-inviati")).toInt() != 1 || !root.value(QStringLiteral("messaggi")).isArray())
        return std::nullopt;
    std::deque<SentEntry> entries;
    for (const QJsonValue& value : root.value(QStringLiteral("messaggi")).toArray()) {
        if (!value.isObject())
            return std::nullopt;
        const QJsonObject m = value.toObject();
        SentEntry entry;
        entry.id = m.value(QStringLiteral("id")).toInt();
        entry.sent = QDateTime::fromString(m.value(QStringLiteral("inviato")).toString(), Qt::ISODate);
        entry.number = m.value(QStringLiteral("numero")).toString();
        entry.name = m.value(QStringLiteral("nome")).toString();
        entry.text = m.value(QStringLiteral("testo")).toString();
        entry.flash = m.value(QStringLiteral("flash")).toBool();
        entry.statusReport = m.value(QStringLiteral("ricevuta")).toBool();
        if (entry.id <= 0 || !entry.sent.isValid() || !m.value(QStringLiteral("parti")).isArray())
            return std::nullopt;
        for (const QJsonValue& partValue : m.value(QStringLiteral("parti")).toArray()) {
            const QJsonObject p = partValue.toObject();
            const std::optional<State> state = stateOf(p.value(QStringLiteral("stato")).toString());
            if (!partValue.isObject() || !state)
                return std::nullopt;
            SentPartRecord part;
            part.state = *state;
            part.reference = std::clamp(p.value(QStringLiteral("riferimento")).toInt(-1), -1, 255);
            part.status = std::clamp(p.value(QStringLiteral("esito")).toInt(), 0, 255);
            part.time = p.value(QStringLiteral("ora")).toString();
            part.date = p.value(QStringLiteral("data")).toString();
            part.reason = p.value(QStringLiteral("motivo")).toString();
            entry.parts.push_back(part);
        }
        if (entry.parts.empty())
            return std::nullopt;
        entries.push_back(entry);
    }
    return entries;
}

QString DeliveryState(const SentEntry& entry)
{
    const std::vector<SentPartRecord>& parts = entry.parts;
    const bool several = parts.size() > 1;
    const auto partWords = [&](size_t i) { return QStringLiteral("parte %1").arg(i + 1); };
    QStringList troubles;
    int delivered = 0;
    int waiting = 0;
    const SentPartRecord* last = nullptr;
    for (size_t i = 0; i < parts.size(); ++i) {
        const SentPartRecord& part = parts[i];
        const QString which = several ? partWords(i) + QLatin1Char(' ') : QString();
        switch (part.state) {
        case State::NotSent:
            troubles << (several ? which + QStringLiteral("non inviata") : QStringLiteral("non inviato"));
            break;
        case State::Refused:
            troubles << (several ? which + QStringLiteral("non inviata") : QStringLiteral("non inviato"))
                            + (part.reason.isEmpty() ? QString() : QStringLiteral(": ") + part.reason);
            break;
        case State::Unconfirmed:
            troubles << which + QStringLiteral("forse non inviat") + (several ? QLatin1Char('a') : QLatin1Char('o'));
            break;
        case State::Pending:
            troubles << which + QStringLiteral("non ancora consegnat") + (several ? QLatin1Char('a') : QLatin1Char('o'))
                            + QStringLiteral(": ") + StatusWords(part.status);
            break;
        case State::Reported:
            if (OutcomeOf(part.status) == DeliveryOutcome::Delivered) {
                ++delivered;
                if (!last
                    || part.date.right(2) + part.date.mid(3, 2) + part.date.left(2) + part.time
                           >= last->date.right(2) + last->date.mid(3, 2) + last->date.left(2) + last->time)
                    last = &part;
            } else {
                troubles << which + QStringLiteral("non consegnat") + (several ? QLatin1Char('a') : QLatin1Char('o'))
                                + QStringLiteral(": ") + StatusWords(part.status);
            }
            break;
        case State::Sent:
            ++waiting;
            break;
        }
    }
    if (!troubles.isEmpty())
        return troubles.join(QStringLiteral("; "));
    if (delivered == int(parts.size()) && last)
        return QStringLiteral("consegnato alle ") + last->time.left(5);
    if (!entry.statusReport)
        return QStringLiteral("inviato");
    if (delivered > 0)
        return QStringLiteral("%1 di %2 parti consegnate, in attesa delle altre ricevute")
            .arg(delivered)
            .arg(parts.size());
    return QStringLiteral("in attesa della ricevuta");
}

SentRecord::SentRecord(QObject* parent) : QObject(parent) {}

QString SentRecord::DefaultFile()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/inviati.json");
}

QString SentRecord::open(const QString& fileName, at::DeliveryLedger& ledger)
{
    m_fileName = fileName;
    m_entries.clear();
    m_lastId = 0;
    if (fileName.isEmpty() || !QFileInfo::exists(fileName))
        return QString();
    const std::optional<QByteArray> bytes = ReadRegularFile(fileName, kMaxFileBytes);
    std::optional<std::deque<SentEntry>> entries = bytes ? ReadSentFile(*bytes) : std::nullopt;
    if (!entries) {
        // Kept for the user, out of the way of the next save.
        const QString aside = asideName(fileName);
        if (!QFile::rename(fileName, aside)) {
            m_fileName.clear(); // neither read nor written over: this run keeps its record in memory
            return QStringLiteral("Registro degli sms inviati non leggibile (%1): questa volta non viene aggiornato..")
                .arg(fileName);
        }
        return QStringLiteral("Registro degli sms inviati non leggibile: messo da parte come %1..").arg(aside);
    }
    m_entries = std::move(*entries);
    for (SentEntry& entry : m_entries) {
        m_lastId = std::max(m_lastId, entry.id);
        if (mayStillBeReported(entry))
            entry.ledgerId = ledger.restore(ledgerMessage(entry));
    }
    return QString();
}

SentEntry& SentRecord::add(SentEntry entry)
{
    entry.id = ++m_lastId;
    m_entries.push_back(std::move(entry));
    emit changed();
    return m_entries.back();
}

SentEntry* SentRecord::byId(int id)
{
    const auto found =
        std::find_if(m_entries.begin(), m_entries.end(), [id](const SentEntry& entry) { return entry.id == id; });
    return found == m_entries.end() ? nullptr : &*found;
}

bool SentRecord::save()
{
    emit changed();
    if (m_fileName.isEmpty())
        return true;
    const QString folder = QFileInfo(m_fileName).absolutePath();
    const bool created = !QFileInfo::exists(folder);
    if (!QDir().mkpath(folder))
        return false;
    // A folder made here is the user's alone, so that the file is never
    // readable by others, not even while it is being written.
    if (created)
        QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    if (!SaveVerified(m_fileName, SentFile(m_entries)))
        return false;
    // The texts of the user's messages: for the user's eyes only.
    QFile::setPermissions(m_fileName, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    return true;
}

void SentRecord::told(const at::Told& told)
{
    if (told.message.id == 0)
        return;
    const auto found = std::find_if(m_entries.begin(), m_entries.end(),
                                    [&](const SentEntry& entry) { return entry.ledgerId == told.message.id; });
    if (found == m_entries.end())
        return;
    SentEntry& entry = *found;
    switch (told.kind) {
    case at::Told::Pending:
        if (told.part >= 1 && size_t(told.part) <= entry.parts.size()) {
            SentPartRecord& part = entry.parts[size_t(told.part - 1)];
            part.state = State::Pending;
            part.status = told.status;
        }
        break;
    case at::Told::Waiting:
    case at::Told::Complete:
        for (size_t i = 0; i < entry.parts.size() && i < told.message.parts.size(); ++i) {
            const at::PartRecord& kept = told.message.parts[i];
            if (kept.state != at::PartState::Reported)
                continue;
            SentPartRecord& part = entry.parts[i];
            part.state = State::Reported;
            part.status = kept.status;
            part.time = kept.time;
            part.date = kept.date;
        }
        break;
    case at::Told::Unmatched:
    case at::Told::Repeat:
        return;
    }
    save();
}

} // namespace phone
