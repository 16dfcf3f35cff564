// SPDX-License-Identifier: GPL-3.0-or-later
// The one way the message handlers talk to a message store: selecting it
// (checked), its capacity, the widths of the number columns, its slots read
// by one listing or one by one. Every command goes through ask(), which
// tells a lost line and a silent phone apart from an answer in one place.
#pragma once

#include "at/cmgr.h"
#include "phone/session.h"

#include <QString>

#include <optional>
#include <vector>

namespace store {

using phone::Step;

// The two message stores, in the order they are listed and deleted.
struct Store {
    bool sim;
    QString select;   // the store selection command
    QString name;     // as +CPMS? names it
    QString reading;  // panel 2 while the list is read
    QString deleting; // panel 2 while it is deleted
};
const std::vector<Store>& Stores();
const Store& StoreOf(bool sim);

// The failures of a store as parts of a status text ("memoria SIM non
// selezionabile..") or a status of their own ("Memoria SIM non
// selezionabile..").
QString NotSelectable(bool sim);
QString SizeNotRead(bool sim);
QString Capitalized(QString text);

// One slot as the store gave it: a message, an empty slot, or no message
// (the answer, kept to be shown).
struct Slot {
    at::CmgrAnswer answer;
    QString text; // what the phone answered, for a slot without a message
};

// One listing of a store ("+CMGL=4"). `stands` holds the messages when they
// stand for the store's slots, and is absent when they cannot: the phone
// refused the listing, listed what no slot holds, fewer or more messages
// than +CPMS counts (one left out, a stray "OK" that ended it early), or a
// PDU that is not its <length>; the store is then read slot by slot.
// `given` is every message it gave all the same, with the status it had
// before the listing marked it read.
struct Listing {
    std::optional<std::vector<at::CmglEntry>> stands;
    std::vector<at::CmglEntry> given;
};

class StoreReader {
public:
    explicit StoreReader(const phone::Operation& operation) : m_session(operation.session()), m_operation(operation) {}

    // Sends `command`; `answer` gets the answer and `errorLine` the extended
    // error that ended it.
    Step ask(const QString& command, QString* answer = nullptr, QString* errorLine = nullptr);

    // Selects `store`: `selected` tells whether the phone confirmed it,
    // `answer` what it said.
    Step select(const Store& store, bool& selected, QString* answer = nullptr);
    // A phone without a store of its own refuses to select it with "ERROR".
    static bool NoPhoneStore(const Store& store, const QString& answer);

    // The capacity of the selected `store`, and with `used` the slots in
    // use; none when the answer has none.
    Step capacity(const Store& store, std::optional<int>& capacity, std::optional<int>* used = nullptr);

    // The widths of the number and name columns from the phone book the
    // phone has selected, into the session's values; an answer without them
    // leaves them as they are.
    Step widths();

    // One listing of the selected store, checked against its `capacity` and
    // the `used` slots +CPMS counts (none: it cannot be checked).
    Step list(int capacity, std::optional<int> used, Listing& listing);

    // Slot `slot` of the selected store, read alone; with `listing`, a
    // message it gave unread shows unread.
    Step read(int slot, Slot& got, const Listing* listing = nullptr);

private:
    phone::Session& m_session;
    const phone::Operation& m_operation;
};

// The listed messages by slot index, 1..capacity.
std::vector<const at::CmglEntry*> BySlotIndex(const std::vector<at::CmglEntry>& listed, int capacity);

} // namespace store
