// SPDX-License-Identifier: GPL-3.0-or-later
// Encoding of SMS-SUBMIT (TS 23.040 9.2.2.2) with the 7-bit default alphabet,
// as the hex text given to the phone after +CMGS= (TS 27.005 3.5.1).
#include "pdu/pdu.h"

#include "pdu/alphabet.h"

#include <QByteArray>
#include <QList>

#include <algorithm>
#include <vector>

namespace {

constexpr int kMaxDigits = 20; // TP-DA and RP-SC address fields (TS 23.040 9.1.2.5)

struct Address {
    bool international = false;
    QStringView digits;
};

// An optional "+" followed by digits, blanks around it ignored. A lone "+"
// is an international number without digits.
bool parseAddress(const QString& text, Address& a)
{
    QStringView s(text);
    while (!s.isEmpty() && s.front() == u' ')
        s = s.mid(1);
    while (!s.isEmpty() && s.back() == u' ')
        s.chop(1);
    if (s.isEmpty())
        return false;
    a.international = s.front() == u'+';
    a.digits = a.international ? s.mid(1) : s;
    if (a.digits.size() > kMaxDigits)
        return false;
    for (QChar c : a.digits)
        if (c < u'0' || c > u'9')
            return false;
    return true;
}

bool isMark(char32_t c) { return c >= 0x300 && QChar::isMark(c); }

// A character neither table carries goes out as its base letter when it has
// one: its canonical decomposition without the combining marks. Latin-1
// letters have theirs in the table already.
uint8_t baseLetterCode(char32_t c)
{
    if (c < 0x100)
        return gsm::kNone;
    const QString decomposed = QString::fromUcs4(&c, 1).normalized(QString::NormalizationForm_D);
    char32_t base = 0;
    int bases = 0;
    for (char32_t d : decomposed.toUcs4()) {
        if (isMark(d))
            continue;
        base = d;
        ++bases;
    }
    return bases == 1 && base != c ? gsm::codeFor(base) : gsm::kNone;
}

// Calls `f(c, code)` for each character `c` of `text`, with the code the
// encoder sends for it (kLatin1Codes' form): its own, its base letter's or
// "?"; kNone for a combining mark that no composed character takes up,
// which goes like the accents of base letters. A lone surrogate is U+FFFD.
template <typename F> void forEachMapped(const QString& text, F f)
{
    QStringView s(text);
    QString composed;
    for (QChar c : s) {
        if (c.unicode() >= 0x300 && c.isMark()) {
            composed = text.normalized(QString::NormalizationForm_C);
            s = composed;
            break;
        }
    }
    for (qsizetype i = 0; i < s.size(); ++i) {
        char32_t c = s[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < s.size() && s[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(s[i].unicode(), s[i + 1].unicode());
            ++i;
        } else if (QChar::isSurrogate(c)) {
            c = 0xFFFD;
        }
        uint8_t code = gsm::codeFor(c);
        if (code == gsm::kNone) {
            if (isMark(c)) {
                f(c, gsm::kNone);
                continue;
            }
            code = baseLetterCode(c);
        }
        f(c, code == gsm::kNone ? uint8_t(u'?') : code);
    }
}

// The septets `text` goes out as: an escape pair is two.
std::vector<uint8_t> septetsOf(const QString& text)
{
    std::vector<uint8_t> septets;
    septets.reserve(size_t(text.size()));
    forEachMapped(text, [&](char32_t, uint8_t code) {
        if (code == gsm::kNone)
            return;
        if (code & gsm::kEscapeFlag) {
            septets.push_back(uint8_t(gsm::kEscape));
            septets.push_back(code & 0x7F);
        } else {
            septets.push_back(code);
        }
    });
    return septets;
}

// Whether every character of `text` goes out as itself in the default alphabet.
bool carriedExactly(const QString& text)
{
    bool exact = true;
    forEachMapped(text, [&](char32_t c, uint8_t) { exact = exact && gsm::carriesExactly(c); });
    return exact;
}

// The UTF-16 units of `text` for UCS2, a lone surrogate as U+FFFD.
std::vector<char16_t> utf16Of(const QString& text)
{
    std::vector<char16_t> units(size_t(text.size()));
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        const bool paired = c.isHighSurrogate()  ? i + 1 < text.size() && text.at(i + 1).isLowSurrogate()
                            : c.isLowSurrogate() ? i > 0 && text.at(i - 1).isHighSurrogate()
                                                 : true;
        units[size_t(i)] = paired ? c.unicode() : char16_t(0xFFFD);
    }
    return units;
}

constexpr int kSingleSeptets = 160;
constexpr int kPartSeptets = 153; // 160 less the concatenation header and its fill bit
constexpr int kSingleUcs2 = 70;
constexpr int kPartUcs2 = 67; // 140 octets less the 6 of the header, halved

// The sizes of the parts `n` units are cut into: one part up to `single`,
// otherwise `perPart` at most each, a part never ending on a unit `joined`
// to the next (the escape of a pair, the high half of a surrogate pair).
template <typename T, typename Joined>
std::vector<int> cutInto(const std::vector<T>& units, int single, int perPart, Joined joined)
{
    const int n = int(units.size());
    if (n <= single)
        return {n};
    std::vector<int> sizes;
    for (int start = 0; start < n;) {
        int size = std::min(perPart, n - start);
        if (start + size < n && joined(units[size_t(start + size - 1)]))
            --size;
        sizes.push_back(size);
        start += size;
    }
    return sizes;
}

// A text as a long SMS goes out: its coding, its units and how they are cut.
struct Segmented {
    SmsCoding coding = SmsCoding::Gsm7;
    std::vector<uint8_t> septets; // Gsm7
    std::vector<char16_t> utf16;  // Ucs2
    std::vector<int> sizes;
    int units() const { return int(coding == SmsCoding::Gsm7 ? septets.size() : utf16.size()); }
};

Segmented segment(const QString& text)
{
    Segmented s;
    if (carriedExactly(text)) {
        s.septets = septetsOf(text);
        s.sizes = cutInto(s.septets, kSingleSeptets, kPartSeptets, [](uint8_t u) { return u == gsm::kEscape; });
    } else {
        s.coding = SmsCoding::Ucs2;
        s.utf16 = utf16Of(text);
        s.sizes = cutInto(s.utf16, kSingleUcs2, kPartUcs2, [](char16_t u) { return QChar::isHighSurrogate(u); });
    }
    return s;
}

// Septets packed seven bits each, the first septet in the low bits of the
// first octet (TS 23.038 6.1.2.1.1), after `fillBits` zero bits.
QByteArray packSeptets(const uint8_t* septets, int count, int fillBits)
{
    QByteArray out;
    out.reserve((fillBits + 7 * count + 7) / 8);
    unsigned acc = 0; // septet k at bits fill+7k..fill+7k+6
    int bits = fillBits;
    for (int k = 0; k < count; ++k) {
        acc |= unsigned(septets[k] & 0x7F) << bits;
        bits += 7;
        if (bits >= 8) {
            out.append(char(acc & 0xFF));
            acc >>= 8;
            bits -= 8;
        }
    }
    if (bits > 0)
        out.append(char(acc & 0xFF));
    return out;
}

constexpr char16_t kHex[] = u"0123456789ABCDEF";

struct HexWriter {
    QChar* p;
    void octet(int v)
    {
        *p++ = QChar(kHex[(v >> 4) & 15]);
        *p++ = QChar(kHex[v & 15]);
    }
    // Digits in pairs, each pair swapped; an odd last digit pairs with "F".
    void semiOctets(QStringView digits)
    {
        for (qsizetype i = 0; i < digits.size(); i += 2) {
            *p++ = i + 1 < digits.size() ? digits[i + 1] : QChar(u'F');
            *p++ = digits[i];
        }
    }
};

int addressOctets(const Address& a) { return int(a.digits.size() + 1) / 2; }

// The fields of an SMS-SUBMIT that change with the text.
struct Tpdu {
    int firstOctet;
    int dcs;
    int udl;       // TP-UDL: septets, or octets for UCS2
    QByteArray ud; // TP-UD, header included
};

SubmitPdu writeSubmit(const Address& sc, const Address& da, const Tpdu& t)
{
    SubmitPdu r;
    const int scLength = 1 + addressOctets(sc); // type octet and digits
    const int tpduOctets = 4 + addressOctets(da) + 4 + int(t.ud.size());
    r.pdu = QString(2 * (1 + scLength + tpduOctets), Qt::Uninitialized);
    HexWriter w{r.pdu.data()};
    w.octet(scLength);                       // service-centre length, octets
    w.octet(sc.international ? 0x91 : 0x81); // type: international/unknown, ISDN plan
    w.semiOctets(sc.digits);
    w.octet(t.firstOctet);          // SMS-SUBMIT, TP-VPF relative, TP-SRR, TP-UDHI
    w.octet(0xF3);                  // TP-MR
    w.octet(int(da.digits.size())); // TP-DA length, digits
    w.octet(da.international ? 0x91 : 0x81);
    w.semiOctets(da.digits);
    w.octet(0x00);  // TP-PID
    w.octet(t.dcs); // TP-DCS
    w.octet(0xFF);  // TP-VP: relative, the longest
    w.octet(t.udl); // TP-UDL
    for (char octet : t.ud)
        w.octet(uint8_t(octet));
    r.cmgsLength = tpduOctets;
    return r;
}

// Both numbers, the recipient first; `error` is None when both are good.
SubmitPdu::Error parseAddresses(const QString& serviceCentre, const QString& recipient, Address& sc, Address& da)
{
    if (!parseAddress(recipient, da))
        return SubmitPdu::Error::BadRecipient;
    if (!parseAddress(serviceCentre, sc))
        return SubmitPdu::Error::BadServiceCentre;
    return SubmitPdu::Error::None;
}

constexpr int kFirstOctet = 0x11;   // SMS-SUBMIT, TP-VPF relative
constexpr int kStatusReport = 0x20; // TP-SRR
constexpr int kHeader = 0x40;       // TP-UDHI

// The character shown for the septet code `code` (kLatin1Codes' form).
QString shownAs(uint8_t code)
{
    if (code == gsm::kNone)
        return QString();
    if (code & gsm::kEscapeFlag)
        return QString(QChar(gsm::escapeChar(code & 0x7F)));
    return QString(QChar(gsm::kDefault[code]));
}

} // namespace

int GsmSeptets(const QString& text) { return int(septetsOf(text).size()); }

std::optional<QByteArray> GsmSeptetsExact(const QString& text)
{
    if (!carriedExactly(text))
        return std::nullopt;
    const std::vector<uint8_t> septets = septetsOf(text);
    return QByteArray(reinterpret_cast<const char*>(septets.data()), qsizetype(septets.size()));
}

QByteArray PackSeptets(const QByteArray& septets)
{
    return packSeptets(reinterpret_cast<const uint8_t*>(septets.constData()), int(septets.size()), 0);
}

SubmitPdu EncodeSubmit(const QString& serviceCentre, const QString& recipient, const QString& text, bool flash,
                       bool statusReport)
{
    SubmitPdu r;
    Address da;
    Address sc;
    r.error = parseAddresses(serviceCentre, recipient, sc, da);
    if (r.error != SubmitPdu::Error::None)
        return r;
    const std::vector<uint8_t> septets = septetsOf(text);
    r.septets = int(septets.size());
    if (r.septets > kSingleSeptets) {
        r.error = SubmitPdu::Error::TooLong;
        return r;
    }
    const Tpdu t{statusReport ? kFirstOctet | kStatusReport : kFirstOctet,
                 flash ? 0xF0 : 0x00, // default alphabet, class 0 if flash
                 r.septets, packSeptets(septets.data(), r.septets, 0)};
    SubmitPdu written = writeSubmit(sc, da, t);
    written.septets = r.septets;
    return written;
}

SmsSegments SegmentText(const QString& text)
{
    const Segmented s = segment(text);
    SmsSegments r;
    r.coding = s.coding;
    r.units = s.units();
    r.parts = int(s.sizes.size());
    const bool gsm = s.coding == SmsCoding::Gsm7;
    r.perPart = r.parts == 1 ? (gsm ? kSingleSeptets : kSingleUcs2) : (gsm ? kPartSeptets : kPartUcs2);
    return r;
}

QList<Replacement> ReplacedCharacters(const QString& text)
{
    QList<Replacement> replaced;
    forEachMapped(text, [&](char32_t c, uint8_t code) {
        if (gsm::carriesExactly(c))
            return;
        const QString character = QString::fromUcs4(&c, 1);
        for (const Replacement& seen : replaced)
            if (seen.character == character)
                return;
        replaced.append({character, shownAs(code)});
    });
    return replaced;
}

SubmitParts EncodeSubmitParts(const QString& serviceCentre, const QString& recipient, const QString& text, bool flash,
                              bool statusReport, uint8_t reference)
{
    SubmitParts r;
    Address da;
    Address sc;
    r.error = parseAddresses(serviceCentre, recipient, sc, da);
    if (r.error != SubmitPdu::Error::None)
        return r;
    const Segmented s = segment(text);
    r.coding = s.coding;
    r.units = s.units();
    const int total = int(s.sizes.size());
    if (total > kMaxParts) {
        r.error = SubmitPdu::Error::TooLong;
        return r;
    }
    const bool gsm = s.coding == SmsCoding::Gsm7;
    const bool concatenated = total > 1;
    int firstOctet = statusReport ? kFirstOctet | kStatusReport : kFirstOctet;
    if (concatenated)
        firstOctet |= kHeader;
    // Default alphabet or UCS2 (TS 23.038 4), class 0 if flash.
    const int dcs = gsm ? (flash ? 0xF0 : 0x00) : (flash ? 0x18 : 0x08);
    int start = 0;
    for (int index = 0; index < total; ++index) {
        const int size = s.sizes[size_t(index)];
        QByteArray header;
        if (concatenated) {
            // UDHL, then the concatenation element with an 8-bit reference
            // (TS 23.040 9.2.3.24.1): IEI 00, length 3, reference, parts, this part.
            const char element[] = {5, 0, 3, char(reference), char(total), char(index + 1)};
            header = QByteArray(element, sizeof element);
        }
        Tpdu t{firstOctet, dcs, 0, header};
        if (gsm) {
            // The text begins at a septet boundary: 48 header bits and one fill bit.
            const int headerSeptets = (8 * int(header.size()) + 6) / 7;
            const int fillBits = 7 * headerSeptets - 8 * int(header.size());
            t.udl = headerSeptets + size;
            t.ud += packSeptets(s.septets.data() + start, size, fillBits);
        } else {
            t.udl = int(header.size()) + 2 * size;
            for (int k = start; k < start + size; ++k) {
                t.ud.append(char(s.utf16[size_t(k)] >> 8));
                t.ud.append(char(s.utf16[size_t(k)] & 0xFF));
            }
        }
        SubmitPdu part = writeSubmit(sc, da, t);
        part.septets = size;
        r.parts.append(part);
        start += size;
    }
    return r;
}
