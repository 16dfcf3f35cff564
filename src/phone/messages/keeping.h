// SPDX-License-Identifier: GPL-3.0-or-later
// Keeping messages safe: both stores read whole for an archive, an archive
// written back with "+CMGW", a message copied or moved between the SIM and
// the phone, the archived messages of a store deleted, and how full the
// stores are. Every write is read back and compared before anything is
// taken as done; a move deletes its original only then. The rows of List1
// follow what the phone holds, as a list read would show it.
#pragma once

#include "phone/messages/archive.h"
#include "phone/messages/messages.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace phone {

class Keeping {
public:
    Keeping(Session& session, Messages& messages, const Phonebook& phonebook);

    // Every message of both stores, as the phone holds it. A store that
    // cannot be read whole ends it with `failure`; a slot whose message
    // cannot be read is named in `unread` ("S:03") and left out.
    struct Archived {
        bool lineLost = false;
        QString failure;
        std::vector<store::ArchivedMessage> messages;
        QStringList unread;
    };
    Archived readStores(const Operation& operation);

    // Writes `messages` back, each to the store it came from, or all to the
    // SIM (`intoSim` true) or the phone (false). A message the store holds
    // already (the same PDU) is not written again; a message goes to its
    // own slot when that is free. A full store, a refusal or silence stops
    // the restore there.
    struct Restored {
        bool lineLost = false;
        int written = 0;    // written, read back and found the same
        int already = 0;    // on the phone before
        int notWritten = 0; // the rest
        QString why;        // why the rest was not written: "memoria SIM piena"
    };
    Restored restore(const Operation& operation, const std::vector<store::ArchivedMessage>& messages,
                     std::optional<bool> intoSim, const store::Columns& columns);

    // The message of row `position` written to the other store and read
    // back; with `move` then deleted where it was. The status says what
    // was done or why nothing was.
    struct Copied {
        bool lineLost = false;
        bool done = false;
        QString status;
    };
    Copied copy(const Operation& operation, int position, bool move, const store::Columns& columns);

    // Deletes from the SIM (`sim`) or the phone the slots of `archived`
    // that still hold the message archived there, each deletion confirmed.
    struct Cleared {
        bool lineLost = false;
        int deleted = 0;
        int kept = 0; // not deleted: changed since, or refused
        QString why;
    };
    Cleared clear(const Operation& operation, bool sim, const std::vector<store::ArchivedMessage>& archived,
                  const store::Columns& columns);

    // How full a store is, as the rows of List1 show it; none when the list
    // holds no row of it read from the phone.
    struct Use {
        int used = 0;
        int capacity = 0;
    };
    std::optional<Use> useOf(bool sim) const;

private:
    struct Written;
    Step select(const Operation& operation, bool sim, bool& selected, bool forWriting);
    Step write(const Operation& operation, const QString& pdu, int status, Written& written);
    Step held(const Operation& operation, int capacity, std::optional<int> used, std::vector<at::CmglEntry>& messages);
    void showSlots(bool sim, const std::vector<at::CmglEntry>& held, const std::vector<int>& places,
                   const store::Columns& columns);
    QStringList notes(const at::CmgrAnswer& slot) const;

    Session& m_session;
    Messages& m_messages;
    const Phonebook& m_phonebook;
};

// The status "+CMGW" writes a message with: its own when it is one of the
// four a phone stores (0..3), else what its PDU is: received read (1) for
// a message or report received, stored unsent (2) for one to send.
int WriteStatus(int status, const QString& pdu);

// "SIM 18/20, cellulare 12/150", of the stores the list shows.
QString UseText(const std::optional<Keeping::Use>& sim, const std::optional<Keeping::Use>& phone);

// A store with 90% of its slots or more in use.
bool NearlyFull(const Keeping::Use& use);

} // namespace phone
