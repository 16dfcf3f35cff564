// SPDX-License-Identifier: GPL-3.0-or-later
#include "pdu/tp_status.h"

#include <iterator>

namespace {

struct StatusRange {
    int first;
    int last;
    DeliveryOutcome outcome;
    const char* words; // UTF-8
};

using O = DeliveryOutcome;

// A reserved value is taken as "service rejected" with no more tries
// (0x63), and so as a failure, but told with its own number.
constexpr const char* kReserved = "valore riservato, inteso come servizio rifiutato";
constexpr const char* kCentreOwn = "esito proprio del centro servizi";

// TS 23.040 9.2.3.15, every value 0..255 once, in order.
constexpr StatusRange kStatuses[] = {
    // Short message transaction completed
    {0x00, 0x00, O::Delivered, "ricevuto dal destinatario"},
    {0x01, 0x01, O::Delivered, "inoltrato al destinatario, consegna non confermata"},
    {0x02, 0x02, O::Delivered, "sostituito dal centro servizi"},
    {0x03, 0x0F, O::Failed, kReserved},
    {0x10, 0x1F, O::Delivered, kCentreOwn},
    // Temporary error, the centre still trying to transfer it
    {0x20, 0x20, O::Pending, "rete congestionata"},
    {0x21, 0x21, O::Pending, "destinatario occupato"},
    {0x22, 0x22, O::Pending, "il destinatario non risponde"},
    {0x23, 0x23, O::Pending, "servizio rifiutato"},
    {0x24, 0x24, O::Pending, "qualità del servizio non disponibile"},
    {0x25, 0x25, O::Pending, "errore nel destinatario"},
    {0x26, 0x2F, O::Failed, kReserved},
    {0x30, 0x3F, O::Pending, kCentreOwn},
    // Permanent error, no more attempts
    {0x40, 0x40, O::Failed, "errore di procedura remota"},
    {0x41, 0x41, O::Failed, "destinazione incompatibile"},
    {0x42, 0x42, O::Failed, "connessione rifiutata dal destinatario"},
    {0x43, 0x43, O::Failed, "destinatario non raggiungibile"},
    {0x44, 0x44, O::Failed, "qualità del servizio non disponibile"},
    {0x45, 0x45, O::Failed, "nessuna interconnessione disponibile"},
    {0x46, 0x46, O::Failed, "periodo di validità scaduto"},
    {0x47, 0x47, O::Failed, "cancellato dal mittente"},
    {0x48, 0x48, O::Failed, "cancellato dal centro servizi"},
    {0x49, 0x49, O::Failed, "messaggio sconosciuto al centro servizi"},
    {0x4A, 0x4F, O::Failed, kReserved},
    {0x50, 0x5F, O::Failed, kCentreOwn},
    // Temporary error, no more attempts
    {0x60, 0x60, O::Failed, "rete congestionata, nessun altro tentativo"},
    {0x61, 0x61, O::Failed, "destinatario occupato, nessun altro tentativo"},
    {0x62, 0x62, O::Failed, "il destinatario non risponde, nessun altro tentativo"},
    {0x63, 0x63, O::Failed, "servizio rifiutato, nessun altro tentativo"},
    {0x64, 0x64, O::Failed, "qualità del servizio non disponibile, nessun altro tentativo"},
    {0x65, 0x65, O::Failed, "errore nel destinatario, nessun altro tentativo"},
    {0x66, 0x6F, O::Failed, kReserved},
    {0x70, 0x7F, O::Failed, kCentreOwn},
    // Bit 7 is reserved
    {0x80, 0xFF, O::Failed, kReserved},
};

const StatusRange& rangeOf(int status)
{
    for (const StatusRange& range : kStatuses) {
        if (status >= range.first && status <= range.last)
            return range;
    }
    return kStatuses[std::size(kStatuses) - 1]; // outside one octet: reserved
}

} // namespace

DeliveryOutcome OutcomeOf(int status) { return rangeOf(status).outcome; }

QString StatusWords(int status)
{
    return QString::fromUtf8(rangeOf(status).words) + QStringLiteral(", stato %1").arg(status);
}
