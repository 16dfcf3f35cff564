// SPDX-License-Identifier: GPL-3.0-or-later
// The stored messages as the phone gives them in PDU mode: the answer to
// "+CMGR=<index>" and the list answer to "+CMGL" (GSM 07.05 3.4.2, 3.4.3).
#pragma once

#include <QString>
#include <QStringView>

#include <optional>
#include <vector>

namespace at {

// The answer to "+CMGR=<index>" as the link returns it.
struct CmgrAnswer {
    enum Kind {
        NoMessage,  // anything but a "+CMGR:" line: "ERROR" in any letter case
                    // (the link's give-up "error" too), an unknown answer
        Empty,      // an empty slot: "+CMGR: 0,,0", "+CMS ERROR: 321", or a
                    // bare "OK" (nothing at that index)
        Message,    // "+CMGR: <stat>,[<alpha>],<length>", then the PDU line
        Unreadable, // a "+CMGR:" heading whose PDU line is missing, cut or
                    // garbled: not the <length> octets it announces
    };
    Kind kind = NoMessage;
    int tipo = -1;   // <stat>, 0..255; -1 when missing or no number
    QString alpha;   // <alpha>, without its quotes
    int length = -1; // <length>: the TPDU's octets, or the whole PDU's; -1 when missing
    QString pak;     // the PDU line (PduLine); empty when there is none
};

// `errorLine` is the extended error that ended the transaction (the link's
// "+CMS ERROR: n" of an answer it returns as "ERROR"): 321, an invalid
// index, is how most phones answer an empty slot.
CmgrAnswer ParseCmgr(const QString& answer, const QString& errorLine = QString());

// A PDU line as the decoders take it: the hex digits in upper case, any
// other characters at both ends (a closing quote, a blank) dropped.
QString PduLine(QStringView line);

// Whether `pak` holds what a <length> of +CMGR or +CMGL announces: hex
// digits only, two an octet, the service-centre part (its length octet and
// that many octets) and then exactly `length` octets (GSM 07.05 3.4.3: the
// <length> of a PDU counts the octets after the service centre), or, as
// some phones count it, exactly `length` octets in all, the service-centre
// part among them. Any other length, and a PDU shorter than both, is a PDU
// cut or garbled. With an empty service-centre part ("00") the two counts
// are one apart, so a PDU that lost its last octet reads as counted whole.
bool PduHasLength(QStringView pak, int length);

// One message of the list answer to "+CMGL".
struct CmglEntry {
    int index = 0;   // the slot, 1..kMaxStoreCapacity
    int tipo = -1;   // <stat> as in CmgrAnswer
    int length = -1; // <length>; -1 when missing
    QString pak;     // the PDU line (PduLine)
};

// The list answer: per message '+CMGL: <index>,<stat>,[<alpha>],<length>'
// and the PDU line. A heading without a readable index is skipped with its
// PDU line; a heading without a PDU line gives an empty pak.
std::vector<CmglEntry> ParseCmgl(const QString& answer);

// The list answer to "+CMGL=4" as the read of a whole store of `capacity`
// slots, `used` of them in use (+CPMS), takes it, the messages in the order
// listed. A bare "OK" is a store with no message; otherwise every line is a
// heading with an index from 1 to `capacity`, no index twice, each followed
// by a PDU line that holds its <length>, and there are `used` of them.
// Absent for anything else ("ERROR", "error", an index beyond the capacity,
// a heading without its PDU, a PDU cut short, a message fewer or more than
// the store holds, a line of another kind, a <length> that counts the TPDU
// where another of the listing counts the whole PDU): the store is then
// read slot by slot, which a listing cannot stand in for.
std::optional<std::vector<CmglEntry>> ParseCmglStore(const QString& answer, int capacity, int used);

// A listed message as the answer to "+CMGR=<index>" gives it.
CmgrAnswer AsCmgr(const CmglEntry& entry);

} // namespace at
