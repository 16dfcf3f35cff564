// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target for the codec. Input: one selector byte, then
//  - selector even: two bytes of `tipo` (little-endian) and `pak` as Latin-1
//    characters; all five decoders run on it;
//  - selector odd: service centre, recipient and text (UTF-8) separated by
//    newlines; bit 1 asks for flash, bit 2 for a status report; the text
//    also goes through the USSD encoder.
// Besides the sanitizers' checks, each result must keep its shape, and a
// PDU of hex digits decodes the same in either case.
#include "pdu/pdu.h"
#include "pdu/ussd.h"

#include <QString>

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void check(bool ok)
{
    if (!ok)
        std::abort();
}

bool allHex(const QString& pak)
{
    for (QChar c : pak)
        if (!isxdigit(c.unicode() < 128 ? c.unicode() : 0))
            return false;
    return true;
}

void decode(const uint8_t* data, size_t size)
{
    if (size < 2)
        return;
    const auto tipo = int16_t(data[0] | data[1] << 8);
    const QString pak = QString::fromLatin1(reinterpret_cast<const char*>(data + 2), qsizetype(size - 2));
    const QString time = RivOra(tipo, pak);
    const QString date = RivData(tipo, pak);
    const QString number = RivNumMT(tipo, pak);
    const QString text = RivTesto(tipo, pak);
    const QString serviceCentre = RivNumCS(pak);
    switch (PduKind(pak)) {
    case SmsKind::Deliver:
    case SmsKind::StatusReport:
        // Six characters of pak at most, around the two separators.
        check(time.size() >= 2 && time.size() <= 8 && date.size() >= 2 && date.size() <= 8);
        break;
    case SmsKind::Submit:
        check(time == u"        " && date == u"        ");
        break;
    case SmsKind::Unknown:
        check(time.isEmpty() && date.isEmpty() && number.isEmpty() && text.isEmpty());
        break;
    }
    // At most 255 characters and a picture text per four header octets.
    check(text.size() <= 255 + 64 * 24);
    // A part of a concatenated message is one of its parts; a status report
    // or a text without a message is none.
    const std::optional<ConcatPart> part = ConcatInfo(tipo, pak);
    if (part) {
        check(part->total >= 1 && part->total <= 255 && part->index >= 1 && part->index <= part->total);
        check(part->reference >= 0 && part->reference <= (part->wideReference ? 0xFFFF : 0xFF));
        check(PduKind(pak) == SmsKind::Deliver || PduKind(pak) == SmsKind::Submit);
    }
    // A report read whole is a status report, its fields as the decoders
    // give them, its status one octet.
    if (const std::optional<StatusReport> report = ReadStatusReport(pak)) {
        check(PduKind(pak) == SmsKind::StatusReport && allHex(pak) && pak.size() % 2 == 0);
        check(report->reference >= 0 && report->reference <= 255 && report->status >= 0 && report->status <= 255);
        check(report->recipient == number && report->time == time && report->date == date);
    }
    if (allHex(pak)) {
        const QString upper = pak.toUpper();
        const auto other = int16_t(tipo ^ 1); // another stored status: no matter
        check(RivOra(other, upper) == time && RivData(other, upper) == date && RivNumMT(other, upper) == number
              && RivTesto(other, upper) == text && RivNumCS(upper) == serviceCentre && PduKind(upper) == PduKind(pak));
        const std::optional<ConcatPart> again = ConcatInfo(other, upper);
        check(again.has_value() == part.has_value()
              && (!part
                  || (again->reference == part->reference && again->total == part->total && again->index == part->index
                      && again->wideReference == part->wideReference)));
    }
}

QString field(const uint8_t*& p, const uint8_t* end)
{
    const uint8_t* start = p;
    while (p < end && *p != '\n')
        ++p;
    const QString s = QString::fromUtf8(reinterpret_cast<const char*>(start), p - start);
    if (p < end)
        ++p;
    return s;
}

bool isHex(QChar c) { return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F'); }

void encode(uint8_t flags, const uint8_t* data, size_t size)
{
    const uint8_t* p = data;
    const uint8_t* end = data + size;
    const QString serviceCentre = field(p, end);
    const QString recipient = field(p, end);
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(p), end - p);
    const SubmitPdu r = EncodeSubmit(serviceCentre, recipient, text, flags & 2, flags & 4);
    if (r.error != SubmitPdu::Error::None) {
        check(r.pdu.isEmpty() && r.cmgsLength == 0);
        if (r.error == SubmitPdu::Error::TooLong)
            check(r.septets > 160 && r.septets == GsmSeptets(text));
        return;
    }
    check(r.septets <= 160 && r.septets == GsmSeptets(text));
    check(r.pdu.size() % 2 == 0);
    for (QChar c : r.pdu)
        check(isHex(c));
    const int scOctets = r.pdu.left(2).toInt(nullptr, 16);
    check(r.cmgsLength == r.pdu.size() / 2 - (scOctets + 1));
    // Read back as a stored SMS-SUBMIT: the numbers as given, without blanks.
    check(RivNumCS(r.pdu) == serviceCentre.trimmed());
    check(RivNumMT(2, r.pdu) == recipient.trimmed());
    check(r.pdu.mid(r.pdu.size() - 2 * ((7 * r.septets + 7) / 8) - 2, 2).toInt(nullptr, 16) == r.septets);

    // The same text as a long SMS: at most ten parts, each a whole PDU of
    // at most 140 octets of user data, whose texts are the text's units.
    const SubmitParts long_ = EncodeSubmitParts(serviceCentre, recipient, text, flags & 2, flags & 4, flags);
    check(long_.error == SubmitPdu::Error::None || long_.error == SubmitPdu::Error::TooLong);
    check(long_.parts.size() <= kMaxParts);
    int units = 0;
    for (const SubmitPdu& part : long_.parts) {
        const int octets = part.pdu.left(2).toInt(nullptr, 16);
        check(part.cmgsLength == part.pdu.size() / 2 - (octets + 1));
        check(part.septets <= (long_.coding == SmsCoding::Gsm7 ? 160 : 70));
        units += part.septets;
    }
    check(long_.error == SubmitPdu::Error::TooLong || units == long_.units);

    // The text as a USSD string: packed hex of at most 160 octets, or the
    // text itself on the command line, printable and without quotes.
    if (const std::optional<QString> packed = EncodeUssd(text, UssdForm::PackedHex)) {
        check(packed->size() % 2 == 0 && packed->size() <= 2 * 160);
        for (QChar c : *packed)
            check(isHex(c));
    }
    if (const std::optional<QString> plain = EncodeUssd(text, UssdForm::Text)) {
        check(*plain == text);
        for (QChar c : *plain)
            check(c.unicode() >= 0x20 && c.unicode() < 0x7F && c != u'"');
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    if (data[0] & 1)
        encode(data[0], data + 1, size - 1);
    else
        decode(data + 1, size - 1);
    return 0;
}
