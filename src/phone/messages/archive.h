// SPDX-License-Identifier: GPL-3.0-or-later
// The message archive: every message of both stores as the phone holds it,
// in a UTF-8 text file that puts each one back byte for byte. The first
// line names the format; then one line a message,
//   sms SM 3 1 0791933395066900040C91...
// (store, slot, status as the phone gave it or "-" for none, the PDU in
// hex as read); lines that begin with "#" are for a person (the sender,
// time and text of the message above them) and are never read back; the
// last line counts the messages ("fine 14"), so that a file cut short is
// told from a whole one. Pure functions, no widgets, no phone.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

namespace store {

struct ArchivedMessage {
    bool sim = true;   // the store it came from: "SM" or "ME"
    int slot = 0;      // its slot there
    int status = -1;   // <stat> as the phone gave it, 0..255; -1 none
    QString pdu;       // upper-case hex, the service-centre part included
    QStringList notes; // for a person: "Da: Mario", "Testo: ..."; line breaks allowed
};

// The store, slot, status and PDU of both are the same (the notes are not data).
bool SameArchived(const ArchivedMessage& a, const ArchivedMessage& b);

// The file's text.
QByteArray ArchiveText(const std::vector<ArchivedMessage>& messages);

// What a file gives back: the messages, or why it is no archive ("riga 12
// non leggibile", "archivio incompleto").
struct ArchiveRead {
    bool ok = false;
    QString why;
    std::vector<ArchivedMessage> messages; // without their notes
};
ArchiveRead ReadArchive(const QByteArray& bytes);

// The octets after the service-centre part, for "+CMGW=<length>"; -1 for a
// PDU that is not whole octets of hex or holds no more than that part.
int TpduLength(const QString& pdu);

} // namespace store
