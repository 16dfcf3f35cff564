// SPDX-License-Identifier: GPL-3.0-or-later
// The SMS codec: decoding of stored PDUs (hex text as the phone returns it
// after +CMGR) and encoding of SMS-SUBMIT. Pure functions of their arguments:
// no widgets, no event processing, no global state, nothing thrown.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstdint>
#include <optional>

// A byte value as eight "0"/"1" characters, most significant bit first.
// Values of 256 or more give their low eight bits, negative values those of
// their two's complement.
QString DecBin(int16_t value);
// Up to eight "0"/"1" characters back to 0..255: shorter texts are taken as
// having leading zeros, characters after the eighth are ignored, any
// character other than "1" counts as 0.
int16_t BinDec(const QString& text);

// `pak` is a stored message as the phone returns it after +CMGR: the PDU as
// hex text (either case), beginning with the service-centre length octet.
// The message type in its first octet (TP-MTI, TS 23.040 9.2.3.1) chooses
// the layout. `tipo`, the status the phone stored with the message (0..3,
// or whatever a phone sends: 4, 24, -1 when it gave none), is not used for
// the layout nor for anything else; the callers keep passing it. So an
// SMS-SUBMIT stored as read decodes as an SMS-SUBMIT. Any text
// is accepted: a pair that is not hex reads as its leading hex digits
// (none: 0), a pair beyond the end as 0; a text that ends before the first
// octet is of Unknown kind.
enum class SmsKind { Deliver, Submit, StatusReport, Unknown };
// The message type: 0 SMS-DELIVER, 1 SMS-SUBMIT, 2 SMS-STATUS-REPORT,
// 3 (reserved) Unknown.
SmsKind PduKind(const QString& pak);

// The decoders by kind (Unknown gives empty texts from all but RivNumCS):
// RivNumCS: the service-centre number, "+" in front for type 91.
// RivNumMT: the originator of an SMS-DELIVER, the destination of an
//   SMS-SUBMIT, the recipient a status report is about (TP-RA); "+" in front
//   for type 91, an alphanumeric address as its text.
// RivOra, RivData: "hh:mm:ss" and "dd/mm/yy" of the service-centre stamp of
//   an SMS-DELIVER, of the discharge time (TP-DT) of a status report: when
//   the message was delivered, or the last try; eight blanks for an
//   SMS-SUBMIT, which has no stamp.
// RivTesto: the text by the data coding scheme (7-bit with the escape pairs,
//   8-bit as Windows-1252, UCS2 as UTF-16), without the user-data header;
//   predefined animations become picture texts (" img:Sono Felice ").
//   For a status report, the outcome (TP-ST, TS 23.040 9.2.3.15) and the
//   reference of the reported message (TP-MR) in words:
//     "Consegnato, rif. 12"                         0: received
//     "Consegnato (stato 2), rif. 12"               1..31: completed otherwise
//     "In attesa di consegna (stato 48), rif. 12"   32..63: still trying
//     "Non consegnato (stato 65), rif. 12"          64..127: failed, no more tries
//     "Esito sconosciuto (stato 200), rif. 12"      128..255: reserved
//     "Esito sconosciuto, rif. 12"                  the status octet is missing
//   The status code follows every outcome but a plain delivery, since it
//   names the reason; the reference is decimal.
QString RivNumCS(const QString& pak);
QString RivNumMT(int16_t tipo, const QString& pak);
QString RivOra(int16_t tipo, const QString& pak);
QString RivData(int16_t tipo, const QString& pak);
// The zone of that stamp as "+01:00" or "-03:30" (quarters of an hour);
// empty for an SMS-SUBMIT, a stamp cut short or a zone that is no number.
QString RivZona(int16_t tipo, const QString& pak);
QString RivTesto(int16_t tipo, const QString& pak);

// A status report as the program matches it to a message it sent (TS
// 23.040 9.2.2.3). None when `pak` is no SMS-STATUS-REPORT, holds a
// character that is no hex digit or an odd number of them, has a recipient
// address longer than 20 digits, or ends before its status octet.
struct StatusReport {
    int reference = 0; // TP-MR, of the message reported on
    QString recipient; // TP-RA, as RivNumMT gives it
    QString time;      // TP-DT, "hh:mm:ss": when it was delivered, or the last try
    QString date;      // "dd/mm/yy"
    int status = 0;    // TP-ST: 0..31 delivered, 32..63 still trying, more: failed
};
std::optional<StatusReport> ReadStatusReport(const QString& pak);

// Where a message stands in a concatenated one: the concatenation element
// of the user-data header of an SMS-DELIVER or stored SMS-SUBMIT (TS 23.040
// 9.2.3.24.1, "00 03 ref total index", and 9.2.3.24.8, "08 04 refhi reflo
// total index"), read from the header RivTesto skips. None for a message
// without one, for a status report, and for an element whose total is 0
// or whose index is not 1..total (which the standard says to ignore); of
// several elements the last one counts. `tipo` is not used.
struct ConcatPart {
    int reference = 0;
    int total = 0;
    int index = 0;
    bool wideReference = false; // the 16-bit reference element
};
std::optional<ConcatPart> ConcatInfo(int16_t tipo, const QString& pak);

// The alphabet table (TS 23.038 6.2.1 as this program shows it).
// GsmChar: the character shown for a code 0..127; other values give U+FFFD.
QChar GsmChar(int code);
// GsmEscapeChar: the character of the escape pair 27, `code` (the extension
// table, TS 23.038 6.2.1.1), or a null QChar when the pair is not translated.
QChar GsmEscapeChar(int code);
// GsmSeptets: how many septets EncodeSubmit sends for `text`; an escape pair
// counts two.
int GsmSeptets(const QString& text);
// GsmText: a text in the phone's GSM character set (AT+CSCS="GSM": one
// septet a character, unpacked, the extension as escape pairs) as the
// characters it stands for. Codes above 127 are kept as they are.
QString GsmText(const QString& septets);
// The septets of `text` in the default alphabet, an extension character as
// its escape pair; none when a character has no code of its own there
// (EncodeSubmit would send a stand-in for it).
std::optional<QByteArray> GsmSeptetsExact(const QString& text);
// Septets packed seven bits each, the first in the low bits of the first
// octet (TS 23.038 6.1.2.1.1), and back: every septet wholly inside the octets.
QByteArray PackSeptets(const QByteArray& septets);
QByteArray UnpackSeptets(const QByteArray& octets);

// The result of building an SMS-SUBMIT.
struct SubmitPdu {
    enum class Error {
        None,
        BadServiceCentre, // not an optional "+" followed by digits only
        BadRecipient,     // the same for the recipient
        TooLong,          // more than 160 septets after mapping
    };
    Error error = Error::None;
    QString pdu;        // upper-case hex, service-centre address included
    int cmgsLength = 0; // octets after the service-centre address, for +CMGS=
    int septets = 0;    // septets of the mapped text (of a long SMS's part: its septets or UTF-16 units)
};

// serviceCentre and recipient are trimmed numbers, each an optional "+"
// followed by digits. `flash` asks for message class 0 (DCS F0), and
// `statusReport` for a delivery report (first octet 31 instead of 11).
// Blanks around a number are ignored; a lone "+" is an international number
// without digits; more than 20 digits do not fit an address field
// (TS 23.040 9.1.2.5) and count as a bad number. The recipient is checked
// first, then the service centre, then the length; on any error `pdu` is
// empty and `cmgsLength` 0 (`septets` is still counted for TooLong).
SubmitPdu EncodeSubmit(const QString& serviceCentre, const QString& recipient, const QString& text, bool flash,
                       bool statusReport);

// ---- Long messages ("SMS lungo") ----

// The alphabet a long SMS goes out in: the default one when every
// character has a code of its own there (escape pairs included), UCS2
// (UTF-16, TS 23.038 4) otherwise.
enum class SmsCoding { Gsm7, Ucs2 };

// A long SMS takes at most this many parts.
constexpr int kMaxParts = 10;

// What a text costs as a long SMS.
struct SmsSegments {
    SmsCoding coding = SmsCoding::Gsm7;
    int units = 0;     // septets (an escape pair counts two) or UTF-16 units
    int parts = 1;     // the SMS it takes, more than kMaxParts when too long
    int perPart = 160; // one SMS: 160 septets or 70 units; each part of more: 153 or 67
};
SmsSegments SegmentText(const QString& text);

// A character EncodeSubmit does not send as itself, and what it sends
// instead: its base letter ("ć" as "c"), "?" ("😀"), or nothing (a
// combining mark left alone).
struct Replacement {
    QString character;
    QString replacement;
};
// Each such character of `text` once, in the order they first come.
QList<Replacement> ReplacedCharacters(const QString& text);

// The parts of a long SMS, each with its own PDU and +CMGS length, in order.
struct SubmitParts {
    SubmitPdu::Error error = SubmitPdu::Error::None;
    SmsCoding coding = SmsCoding::Gsm7;
    int units = 0; // of the whole text, as SegmentText counts them
    QList<SubmitPdu> parts;
};

// `text` as a long SMS: one SMS-SUBMIT when it fits one (160 septets or 70
// UTF-16 units; then as EncodeSubmit builds it, data coding scheme 08, 18
// with `flash`, for UCS2), otherwise a concatenated message (TS 23.040
// 9.2.3.24.1): TP-UDHI set and the header 05 00 03 `reference` total index
// in every part, 153 septets (after one fill bit) or 67 units a part, a
// part never ending inside an escape pair or a surrogate pair. `flash` and
// `statusReport` apply to every part. The caller picks `reference`, one a
// message, so that the recipient's phone joins the right parts. Errors as
// EncodeSubmit's; TooLong beyond kMaxParts parts (`units` still counted).
SubmitParts EncodeSubmitParts(const QString& serviceCentre, const QString& recipient, const QString& text, bool flash,
                              bool statusReport, uint8_t reference);
