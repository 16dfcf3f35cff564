// SPDX-License-Identifier: GPL-3.0-or-later
// New-message indications (GSM 07.05 3.4.1): what a phone offers in its
// answer to +CNMI=?, the setting the program asks for within that, and the
// indications that follow: a message stored ("+CMTI: "SM",3"), a status
// report stored ("+CDSI: "SR",1") or routed as it is ("+CDS: 25" and the
// PDU on the next line).
#pragma once

#include <QString>

#include <optional>
#include <set>
#include <vector>

namespace at {

// The values each parameter takes, in the order <mode>, <mt>, <bm>, <ds>,
// <bfr>; a phone may offer fewer than five.
using CnmiOffer = std::vector<std::set<int>>;

// The ranges of "+CNMI: (0-2),(0-3),(0,2),(0,1),(0,1)": lists, ranges and
// single values, with or without parentheses and blanks; nullopt for an
// answer without a +CNMI line or with a group that is no list of numbers.
std::optional<CnmiOffer> ParseCnmiTest(const QString& answer);

// The setting to send after "+CNMI=" so that a message that arrives is
// stored and told with +CMTI, and a status report told with +CDS (or
// stored and told with +CDSI), within what the phone offers: <mode> 2
// (buffered while the line is busy), else 1, else 3; <mt> 1 only, for a
// message routed with +CMT would live nowhere but in the program; <bm> 0;
// <ds> 1, else 2, else 0; <bfr> 0 where offered. "2,1,0,1,0"; only as many
// values as the phone offers parameters. Nullopt when the phone offers
// neither a stored-message indication nor status reports, or no mode that
// sends indications at all.
std::optional<QString> CnmiSetting(const CnmiOffer& offer);

// A stored-message or stored-report indication: the store and the slot.
struct StoredIndication {
    bool report = false; // +CDSI: a status report
    QString store;       // "SM", "ME", "SR", "MT"..., upper case
    int slot = 0;
};
// "+CMTI: "SM",3" or "+CDSI: "SR",1" (quotes, blanks and letter case not
// counted); nullopt for any other line, a store that is not named, or a
// slot that is no number from 0 to 65535.
std::optional<StoredIndication> ParseStoredIndication(const QString& line);

// The PDU of a routed status report, "+CDS: 25" CR LF and the PDU, as the
// link keeps it; nullopt when the line is no +CDS or has no PDU line. The
// PDU begins with the service-centre address, as a stored one does ("00"
// put in front when the phone left it out, its <length> being the whole
// PDU); whether it decodes is for the codec to say.
std::optional<QString> ParseCdsPdu(const QString& notice);

} // namespace at
