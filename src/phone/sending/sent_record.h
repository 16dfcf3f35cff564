// SPDX-License-Identifier: GPL-3.0-or-later
// What was sent from here, kept across runs: each message with its time,
// recipient, text, parts, the reference the network gave each part and
// what its delivery report said. One JSON file in the user's data folder,
// written whole in place of the old one (a save that cannot complete
// leaves the old file). The messages whose reports may still come wait
// again on the delivery ledger at the next start, so that a report that
// comes after a restart is matched.
#pragma once

#include "at/delivery.h"

#include <QByteArray>
#include <QDateTime>
#include <QObject>
#include <QString>

#include <deque>
#include <optional>
#include <vector>

namespace phone {

// One part of a message sent.
struct SentPartRecord {
    enum class State {
        NotSent,     // the send stopped before it
        Sent,        // the network took it; its report, if asked for, has not come
        Refused,     // the phone or the network refused it: `reason`
        Unconfirmed, // the phone went silent while it was sent: it may have gone
        Pending,     // a report said the centre still tries (`status`)
        Reported,    // its final report came: `status`, `time`, `date`
    };
    State state = State::NotSent;
    int reference = -1; // TP-MR the network gave it; -1 none
    int status = 0;     // TP-ST of its report
    QString time;       // TP-DT of its report, "hh:mm:ss"
    QString date;       // "dd/mm/yy"
    QString reason;     // why it was refused, in words
};

// One message to one recipient.
struct SentEntry {
    int id = 0;
    QDateTime sent; // when its first part went, with the zone of that moment
    QString number; // as dialled
    QString name;   // as the recipient was named when it was sent; may be empty
    QString text;
    bool flash = false;
    bool statusReport = false;
    std::vector<SentPartRecord> parts;
    int ledgerId = 0; // its message on this run's delivery ledger; 0 none (not kept)
};

// The entries as the file holds them, and back. ReadSentFile gives nothing
// for bytes that are not such a file.
QByteArray SentFile(const std::deque<SentEntry>& entries);
std::optional<std::deque<SentEntry>> ReadSentFile(const QByteArray& bytes);

// Where a message sent stands, as the conversation shows it: "inviato",
// "in attesa della ricevuta", "consegnato alle 15:30", "non consegnato:
// periodo di validità scaduto, stato 70", "non inviato: ...", and for a
// message in parts the parts that differ ("parte 2 non inviata").
QString DeliveryState(const SentEntry& entry);

class SentRecord : public QObject {
    Q_OBJECT
public:
    explicit SentRecord(QObject* parent = nullptr);

    // The file in the user's data folder.
    static QString DefaultFile();
    // Reads `fileName` (none yet is an empty record) and puts the messages
    // whose reports may still come on `ledger`. A file that cannot be read
    // is moved aside, never overwritten: the text returned says where it
    // went (empty when all went well). An empty name keeps the record in
    // memory only.
    QString open(const QString& fileName, at::DeliveryLedger& ledger);
    QString fileName() const { return m_fileName; }

    const std::deque<SentEntry>& entries() const { return m_entries; }
    // A new message; its id is given here.
    SentEntry& add(SentEntry entry);
    SentEntry* byId(int id);
    // Writes the file; false when it could not (the old file stays).
    bool save();

    // What a report on the ledger came to, kept and saved.
    void told(const at::Told& told);

    // A report waits this long at most after its message was sent: older
    // messages are not put back on the ledger at the start, so that a
    // reference the network has long since given again matches nothing old.
    static constexpr int kReportDays = 7;

signals:
    // An entry was added or changed.
    void changed();

private:
    std::deque<SentEntry> m_entries;
    QString m_fileName;
    int m_lastId = 0;
};

} // namespace phone
