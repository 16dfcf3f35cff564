// SPDX-License-Identifier: GPL-3.0-or-later
// The messages of both stores: one record a slot, in the order the list
// shows them (the SIM's slots, then the phone's), each with the row that
// draws it. The record is what the phone gave for the slot (its status and
// PDU as read, or an empty slot, or what the phone answered instead) and
// the part its message is of a message in parts; the row is built from it
// by the pure row builders with the columns chosen when it was read. The
// list read, the detail read, the refresh, the deletions, the export's
// read and a message that arrives all go through here.
#pragma once

#include "at/cmgr.h"
#include "phone/messages/csv.h"
#include "phone/messages/message_rows.h"
#include "phone/messages/parts.h"
#include "phone/messages/reader.h"
#include "phone/rows.h"
#include "phone/session.h"

#include <QString>

#include <functional>
#include <map>
#include <optional>
#include <vector>

namespace phone {

class Phonebook;

// One row of the message list and the slot it shows.
struct MessageRecord {
    store::RowPlace place;                  // store, slot, capacity, the head's length
    std::optional<at::CmgrAnswer> answer;   // the slot as the phone gave it; none for a row given as text
    QString said;                           // what the phone answered for a slot without a message
    std::optional<store::MessagePart> part; // the part its message is of a message in parts
    store::Columns columns;                 // the columns the row was drawn with
    int numberWidth = 0;                    // and the width of its number columns
};

// How an operation on the messages ended: on a lost line (the status keeps
// the connection's error, nothing more is said), or with a status to show.
struct Ended {
    bool lineLost = false;
    QString status;
};

// A message read for the detail view, as the window shows it.
struct Detail {
    Step step = Step::Answered;
    at::CmgrAnswer slot; // kind NoMessage or Unreadable: `said` holds the answer
    QString said;        // the answer when it holds no message; "NONE" for an empty slot
    // Of a message:
    QString serviceCentre;
    QString party;      // "Mario ³ +39..." or "+39... ³ Non in rubrica.."
    QString partyLabel; // "Mittente =", "Destinatario =" or ""
    QString status;     // "Nuovo", "Letto"...
    QString time;
    QString date;
    QString text; // the message's text, of every part when it came in parts
    // The slots of a message in parts, for the status ("SMS in 2 parti: S:10, S:09").
    std::optional<QString> partsStatus;
};

class Messages : public RowModel {
    Q_OBJECT
public:
    Messages(Session& session, const Phonebook& phonebook, QObject* parent = nullptr);

    // The record of a row; an empty one outside the rows.
    const MessageRecord& record(int position) const;

    // "Leggi elenco SMS da cellulare": every slot of the SIM's store, then of
    // the phone's own, one row each, with the columns chosen; `header` gets
    // the header line of each store as it is read.
    Ended readList(const Operation& operation, const store::Columns& columns,
                   const std::function<void(const QString&)>& header);

    // Reads slot `slot` of the store the phone has selected, as Leggi_SMS
    // does: the message with its party named by the phone book. It takes no
    // long operation: its caller holds one.
    Detail readSlot(int slot);

    // A click on row `position`: its store selected, its slot read, the row
    // marked read, the other parts of a message in parts read and joined.
    // A store that cannot be selected ends with `failure` set.
    struct Opened {
        Detail detail;
        bool read = false;      // the slot was read: `detail` holds what the phone gave
        QString failure;        // why the store could not be selected
        bool lineLost = false;  // before the row changed
        bool partsLost = false; // the line was lost while the other parts were read
    };
    Opened open(const Operation& operation, int position);

    // "Aggiorna": the rows that show an empty slot with the columns chosen
    // now, read again. `failure` gets why a store could not be selected.
    Ended refresh(const Operation& operation, const store::Columns& columns, QString& failure);

    // "Cancella SMS selezionato": the slot of row `position`; its row shows
    // an empty slot once the phone confirmed. `failure` as for open().
    struct Deleted {
        bool lineLost = false;
        bool deleted = false;
        QString failure; // the store could not be selected
    };
    Deleted deleteOne(const Operation& operation, int position, const store::Columns& columns);

    // "Cancella tutta la memoria": every slot of both stores, each row with
    // the columns chosen when it is written. `failure` gets why a store
    // could not be deleted at all.
    Ended deleteAll(const Operation& operation, const std::function<store::Columns()>& columns, QString& failure);

    // The export's read: every listed message read again, the part each
    // is; `unread` counts the listed messages that could not be read.
    struct ReadAgain {
        bool lineLost = false;
        std::vector<store::ExportedMessage> messages;
        std::vector<std::optional<store::MessagePart>> parts;
        int unread = 0;
    };
    ReadAgain readAgain(const Operation& operation);

    // A slot read after a notice: the row that shows it, when the list has
    // one, and the capacity the rows of that store were read with (0: the
    // list holds none of its rows).
    struct Place {
        int position = -1;
        int capacity = 0;
    };
    Place placeOf(bool sim, int slot) const;
    // Rewrites row `position` with `slot` as read, with the columns it has.
    void rewrite(int position, const store::Slot& slot, const store::Columns& columns);

    // The search of the messages as the user types (search.cpp): whether
    // the message of a row holds every word of `typed` in its number, the
    // phone-book name of it or its whole text, whatever the columns show;
    // a row without a message holds none. Every row holds a text without
    // words. found() answers for every row, holds() for one.
    std::vector<bool> found(const QString& typed) const;
    bool holds(int position, const QString& typed) const;

signals:
    // Row `position` and its record were written anew: a slot read,
    // refreshed, deleted or arrived, or a row given as text.
    void recordWritten(int position);

protected:
    void textWritten(int row) override;
    void textsReset() override;

private:
    class Haystack;
    QString body(const store::Columns& columns, const at::CmgrAnswer& slot, const QString& said) const;
    void write(int position, const store::RowPlace& place, const at::CmgrAnswer& slot, const QString& said,
               const store::Columns& columns);
    void markRead(int position);
    std::optional<QString> nameOf(const QString& number) const;

    struct PassEnd;
    PassEnd listStore(const Operation& operation, store::StoreReader& reader, const store::Store& store,
                      const store::Columns& columns, const std::function<void(const QString&)>& header, int& offset);
    PassEnd writeListed(const Operation& operation, const store::Store& store, int capacity, int offset,
                        const std::vector<at::CmglEntry>& listed, const store::Columns& columns);
    PassEnd readSlots(const Operation& operation, store::StoreReader& reader, const store::Store& store, int capacity,
                      int offset, const store::Listing& listing, const store::Columns& columns);
    bool showWhole(const Operation& operation, int position, const store::MessagePart& part, Detail& detail);

    Session& m_session;
    const Phonebook& m_phonebook;
    std::vector<MessageRecord> m_records;
};

} // namespace phone
