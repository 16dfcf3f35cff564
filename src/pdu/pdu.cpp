// SPDX-License-Identifier: GPL-3.0-or-later
// Decoding of stored PDUs: the field walk, the bit helpers, the five decoders.
// Each decoder walks `pak` from its first character to the field it needs;
// nothing is kept between calls. Positions are 1-based characters of pak;
// L is the service-centre length octet, V the address length rounded up to
// even (the address's characters, filler included). The layout is chosen by
// the message type in the first octet (TP-MTI, TS 23.040 9.2.3.1), never by
// the stored status: base = 2L + 4 for SMS-DELIVER, 2L + 6 for SMS-SUBMIT
// and SMS-STATUS-REPORT (both carry a message reference first).
//
//   SMS-DELIVER                 SMS-SUBMIT                SMS-STATUS-REPORT
//   base-1   first octet        base-3 first octet        base-3 first octet
//                               base-1 message reference  base-1 message reference
//   base+1   originator length  destination length        recipient length
//   base+3   type of address    type of address           type of address
//   base+5   semi-octets (V)    semi-octets (V)           semi-octets (V)
//   base+V+5 protocol id        protocol id               centre time stamp (14)
//   base+V+7 coding scheme      coding scheme
//   base+V+9 time stamp (14)    validity (0, 2, 14)
//   base+V+19                                             discharge time (14)
//   base+V+23 user-data length  then the user-data length
//   base+V+25 user data         and the user data
//   base+V+33                                             status
#include "pdu/pdu.h"

#include "pdu/alphabet.h"
#include "pdu/tp_status.h"

#include <QVarLengthArray>

#include <algorithm>
#include <array>

namespace {

using Text = QVarLengthArray<char16_t, 512>;

QString toQString(const Text& t, qsizetype from = 0)
{
    return QString(reinterpret_cast<const QChar*>(t.constData() + from), t.size() - from);
}

constexpr std::array<int8_t, 128> makeHexDigits()
{
    std::array<int8_t, 128> d{};
    for (auto& v : d)
        v = -1;
    for (int i = 0; i < 10; ++i)
        d['0' + i] = int8_t(i);
    for (int i = 0; i < 6; ++i) {
        d['A' + i] = int8_t(10 + i);
        d['a' + i] = int8_t(10 + i);
    }
    return d;
}
constexpr std::array<int8_t, 128> kHexDigits = makeHexDigits();

int hexDigit(char16_t c) { return c < 128 ? kHexDigits[c] : -1; }

// The octet written at position p: the leading hex digits of the (at most)
// two characters there; none gives 0, a lone last digit its own value.
int pairAt(QStringView pak, qsizetype p)
{
    if (p < 1 || p > pak.size())
        return 0;
    const int hi = hexDigit(pak[p - 1].unicode());
    if (hi < 0)
        return 0;
    const int lo = p < pak.size() ? hexDigit(pak[p].unicode()) : -1;
    return lo < 0 ? hi : hi * 16 + lo;
}

// The `count` characters from position p, fewer where pak ends first.
QStringView midAt(QStringView pak, qsizetype p, qsizetype count)
{
    if (p < 1 || p > pak.size() || count <= 0)
        return {};
    return pak.mid(p - 1, qMin(count, pak.size() - p + 1));
}

// A hex letter as the phone should have sent it: lower-case PDUs decode as
// upper-case ones, filler and all.
char16_t upperHex(char16_t c) { return c >= u'a' && c <= u'f' ? char16_t(c - (u'a' - u'A')) : c; }

// The message type of the first octet (TS 23.040 9.2.3.1); a text that ends
// before the first octet holds no message at all.
SmsKind kindOf(QStringView pak)
{
    const qsizetype first = 2 * pairAt(pak, 1) + 3;
    if (first > pak.size())
        return SmsKind::Unknown;
    switch (pairAt(pak, first) & 3) {
    case 0:
        return SmsKind::Deliver;
    case 1:
        return SmsKind::Submit;
    case 2:
        return SmsKind::StatusReport;
    default:
        return SmsKind::Unknown;
    }
}

// The walk shared by all decoders but RivNumCS. SMS-DELIVER: base = 2L + 4;
// SMS-SUBMIT and SMS-STATUS-REPORT: base = 2L + 6 (message reference).
// The address length at base+1 counts semi-octets; V rounds it up to even.
struct Walk {
    SmsKind kind = SmsKind::Unknown;
    int base = 0;
    int v = 0;
};

bool walkTo(QStringView pak, Walk& w)
{
    w.kind = kindOf(pak);
    const int l = pairAt(pak, 1);
    switch (w.kind) {
    case SmsKind::Deliver:
        w.base = 2 * l + 4;
        break;
    case SmsKind::Submit:
    case SmsKind::StatusReport:
        w.base = 2 * l + 6;
        break;
    case SmsKind::Unknown:
        return false;
    }
    w.v = pairAt(pak, w.base + 1);
    w.v += w.v & 1;
    return true;
}

// Semi-octets in reading order: skip the type octet (first two characters),
// then each pair low digit first.
void appendSwapped(QStringView f, Text& out)
{
    for (qsizetype i = 2; i < f.size(); i += 2) {
        if (i + 1 < f.size())
            out.append(upperHex(f[i + 1].unicode()));
        out.append(upperHex(f[i].unicode()));
    }
}

// Septet k of packed 7-bit data occupies bits 7k..7k+6, least significant
// bit first (TS 23.038 6.1.2.1.1). Only septets wholly inside the octets.
int septetCount(int octets) { return octets * 8 / 7; }

char16_t septetAt(const uint8_t* oct, int k)
{
    const int bit = 7 * k;
    const int i = bit / 8;
    const int shift = bit % 8;
    unsigned v = oct[i] >> shift;
    if (shift > 1)
        v |= unsigned(oct[i + 1]) << (8 - shift);
    return char16_t(v & 0x7F);
}

// Codes to characters with the alphabet table; 27 followed by a code of the
// extension table gives one character, any other 27 stays the escape.
// Characters at or above 128 (picture texts never are) pass unchanged.
QString mapCodes(const char16_t* codes, qsizetype n)
{
    QString text(n, Qt::Uninitialized);
    char16_t* out = reinterpret_cast<char16_t*>(text.data());
    char16_t* const start = out;
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = codes[i];
        if (c == gsm::kEscape && i + 1 < n) {
            if (const char16_t e = gsm::escapeChar(codes[i + 1])) {
                *out++ = e;
                ++i;
                continue;
            }
        }
        *out++ = c < 128 ? gsm::kDefault[c] : c;
    }
    text.truncate(out - start);
    return text;
}

// Alphanumeric address (type of number 101, TS 23.040 9.1.2.5): packed 7-bit
// text in the address octets, semi-octets * 4 / 7 characters of it.
QString alphanumericAddress(QStringView pak, const Walk& w)
{
    const int semiOctets = pairAt(pak, w.base + 1);
    uint8_t oct[128];
    int n = 0;
    for (qsizetype p = w.base + 5; n < w.v / 2 && p <= pak.size(); p += 2)
        oct[n++] = uint8_t(pairAt(pak, p));
    const int count = qMin(semiOctets * 4 / 7, septetCount(n));
    char16_t codes[160];
    for (int k = 0; k < count; ++k)
        codes[k] = septetAt(oct, k);
    return mapCodes(codes, count);
}

enum class Alphabet { Gsm7, Eight, Ucs2 };

// TS 23.038 4: the general groups (00xx, 01xx), the message-waiting groups
// (1100 to 1110) and 1111. Reserved codings are read as the default alphabet;
// compressed data cannot be shown as text, so it is shown as its octets.
Alphabet alphabetOf(int dcs)
{
    switch (dcs >> 4) {
    case 0x0:
    case 0x1:
    case 0x2:
    case 0x3:
    case 0x4:
    case 0x5:
    case 0x6:
    case 0x7:
        if (dcs & 0x20)
            return Alphabet::Eight;
        switch ((dcs >> 2) & 3) {
        case 1:
            return Alphabet::Eight;
        case 2:
            return Alphabet::Ucs2;
        default:
            return Alphabet::Gsm7;
        }
    case 0xE:
        return Alphabet::Ucs2;
    case 0xF:
        return (dcs & 0x04) ? Alphabet::Eight : Alphabet::Gsm7;
    default:
        return Alphabet::Gsm7;
    }
}

// Validity-period octets of a stored SMS-SUBMIT by TP-VPF, first octet bits
// 4 and 3 (TS 23.040 9.2.3.3): none, relative (1), enhanced or absolute (7).
int validityOctets(int firstOctet)
{
    switch ((firstOctet >> 3) & 3) {
    case 0:
        return 0;
    case 2:
        return 1;
    default:
        return 7;
    }
}

constexpr int kMaxOctets = 256; // more than any user-data length can use

// User data as octets, read as pairs backwards from the end of pak down to
// position a + 2: for an even-length pak these are the pairs from a + 3;
// for an odd one the pairs are counted from the end.
int userDataOctets(QStringView pak, qsizetype a, uint8_t* oct, int& available)
{
    const qsizetype len = pak.size();
    qsizetype first = a + 2;
    if ((first - (len - 1)) & 1)
        ++first;
    const qsizetype n = len - 1 < first ? 0 : (len - 1 - first) / 2 + 1;
    available = int(qMin<qsizetype>(n, 1 << 20));
    const int taken = int(qMin<qsizetype>(n, kMaxOctets));
    // Both characters of each pair lie inside pak (the last pair ends at its
    // last character), so the pairs are read straight from the text.
    const QChar* c = pak.data() + (first - 1);
    for (int k = 0; k < taken; ++k, c += 2) {
        const int hi = hexDigit(c[0].unicode());
        const int lo = hexDigit(c[1].unicode());
        oct[k] = uint8_t(hi < 0 ? 0 : lo < 0 ? hi : hi * 16 + lo);
    }
    return taken;
}

void appendCp1252(const uint8_t* oct, int from, int to, Text& out)
{
    for (int i = from; i < to; ++i)
        out.append(gsm::cp1252(oct[i]));
}

// UTF-16 big-endian; a surrogate without its partner becomes U+FFFD.
void appendUcs2(const uint8_t* oct, int from, int to, Text& out)
{
    for (int i = from; i + 1 < to; i += 2) {
        const char16_t u = char16_t(oct[i] << 8 | oct[i + 1]);
        if (QChar::isHighSurrogate(u) && i + 3 < to) {
            const char16_t next = char16_t(oct[i + 2] << 8 | oct[i + 3]);
            if (QChar::isLowSurrogate(next)) {
                out.append(u);
                out.append(next);
                i += 2;
                continue;
            }
        }
        out.append(QChar::isSurrogate(u) ? char16_t(0xFFFD) : u);
    }
}

// Without a user-data header: a text beginning with the codes 4, 26, 8 is
// a header 04 0D 02 pp nn read as septets. The fourth code holds the
// position (pp mod 16) * 8, the fifth and sixth the animation number; the
// six codes make way for the picture text after the first `pos` characters.
void spliceSeptetPicture(Text& codes)
{
    if (codes.size() < 6 || codes[0] != 4 || codes[1] != 26 || codes[2] != 8)
        return;
    const int pos = codes[3] / 8;
    const int p = codes[4];
    const int d = codes[5];
    if (d > 1 || p % 16 != 0 || (d == 1 && p == 112))
        return;
    const char16_t* picture = gsm::kPicture[8 * d + p / 16];
    const qsizetype rest = codes.size() - 6;
    const qsizetype before = qMin<qsizetype>(pos, rest);
    Text out;
    out.append(codes.constData() + 6, before);
    for (const char16_t* c = picture; *c; ++c)
        out.append(*c);
    out.append(codes.constData() + 6 + before, rest - before);
    codes = out;
}

struct Picture {
    int pos;
    int number;
};

// Predefined-animation elements (identifier 0x0D, TS 23.040 9.2.3.24.10.1.3)
// of the header octets oct[1..udhl]; an element running past the header ends
// the walk.
int headerPictures(const uint8_t* oct, int octets, int udhl, Picture* out)
{
    int count = 0;
    const int end = qMin(udhl + 1, octets);
    for (int i = 1; i + 1 < end;) {
        const int iei = oct[i];
        const int iedl = oct[i + 1];
        if (i + 2 + iedl > end)
            break;
        if (iei == 0x0D && iedl >= 2 && oct[i + 3] < 15)
            out[count++] = Picture{oct[i + 2], oct[i + 3]};
        i += 2 + iedl;
    }
    return count;
}

// Inserts the pictures after `pos` characters of text (a surrogate pair is
// one character), at the end when pos lies beyond it; equal positions keep
// the header's order.
void insertPictures(QStringView text, Picture* pictures, int count, Text& out)
{
    for (int i = 1; i < count; ++i)
        for (int j = i; j > 0 && pictures[j - 1].pos > pictures[j].pos; --j)
            std::swap(pictures[j - 1], pictures[j]);
    int next = 0;
    int chars = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        const bool atCharStart =
            i == text.size() || i == 0 || !text[i].isLowSurrogate() || !text[i - 1].isHighSurrogate();
        if (atCharStart) {
            while (next < count && (pictures[next].pos <= chars || i == text.size())) {
                for (const char16_t* c = gsm::kPicture[pictures[next].number]; *c; ++c)
                    out.append(*c);
                ++next;
            }
            ++chars;
        }
        if (i < text.size())
            out.append(text[i].unicode());
    }
}

// A time stamp (TS 23.040 9.2.3.11): year, month, day, hour, minute,
// second, each octet low digit first; the zone is not read. Three octets
// from `at`, each shown with its digits swapped, in their own order or
// reversed.
QString stampAt(QStringView pak, qsizetype at, char16_t separator, bool reversed)
{
    const QStringView s = midAt(pak, at, 6);
    Text out;
    for (int k = 0; k < 3; ++k) {
        if (k > 0)
            out.append(separator);
        const int first = 2 * (reversed ? 2 - k : k); // 0-based
        if (first + 1 < s.size())
            out.append(upperHex(s[first + 1].unicode()));
        if (first < s.size())
            out.append(upperHex(s[first].unicode()));
    }
    return toQString(out);
}

// The date, or the time when `time`, of the service-centre stamp of an
// SMS-DELIVER or of the discharge time of a status report; a stored
// SMS-SUBMIT has no stamp.
QString stampField(const QString& pak, bool time)
{
    Walk w;
    if (!walkTo(pak, w))
        return QString();
    const int stamp = w.kind == SmsKind::Deliver ? 9 : 19; // from base + V
    switch (w.kind) {
    case SmsKind::Submit:
        return QStringLiteral("        ");
    case SmsKind::Deliver:
    case SmsKind::StatusReport:
        if (time)
            return stampAt(pak, w.base + w.v + stamp + 6, u':', false); // hh:mm:ss
        return stampAt(pak, w.base + w.v + stamp, u'/', true);          // dd/mm/yy
    case SmsKind::Unknown:
        break;
    }
    return QString();
}

// The first octet of the message (TP-MTI, TP-UDHI ...), after the message
// reference in an SMS-SUBMIT.
int firstOctetOf(QStringView pak, const Walk& w) { return pairAt(pak, w.base - (w.kind == SmsKind::Submit ? 3 : 1)); }

// The position of the user-data length of an SMS-DELIVER or SMS-SUBMIT; the
// user data follows it.
qsizetype userDataLengthAt(const Walk& w, int firstOctet)
{
    return w.kind == SmsKind::Submit ? w.base + w.v + 9 + 2 * validityOctets(firstOctet) : w.base + w.v + 23;
}

bool isHexPair(QStringView pak, qsizetype p)
{
    return p >= 1 && p + 1 <= pak.size() && hexDigit(pak[p - 1].unicode()) >= 0 && hexDigit(pak[p].unicode()) >= 0;
}

// The outcome of a status report (TP-ST, TS 23.040 9.2.3.15) in words, the
// status code after every outcome but a plain delivery, then the reference
// of the message it reports on (TP-MR).
QString statusReportText(QStringView pak, const Walk& w)
{
    const qsizetype statusAt = w.base + w.v + 33;
    QString text;
    if (!isHexPair(pak, statusAt)) {
        text = QStringLiteral("Esito sconosciuto");
    } else {
        const int status = pairAt(pak, statusAt);
        switch (OutcomeOf(status)) {
        case DeliveryOutcome::Delivered:
            text = QStringLiteral("Consegnato");
            break;
        case DeliveryOutcome::Pending:
            text = QStringLiteral("In attesa di consegna");
            break;
        case DeliveryOutcome::Failed:
            text = QStringLiteral("Non consegnato");
            break;
        }
        if (status != 0)
            text += QStringLiteral(" (stato %1)").arg(status);
    }
    return text + QStringLiteral(", rif. %1").arg(pairAt(pak, w.base - 1));
}

} // namespace

QString DecBin(int16_t value)
{
    const unsigned v = uint16_t(value) & 0xFF;
    char16_t bits[8];
    for (int i = 0; i < 8; ++i)
        bits[i] = (v >> (7 - i)) & 1 ? u'1' : u'0';
    return QString(reinterpret_cast<const QChar*>(bits), 8);
}

int16_t BinDec(const QString& text)
{
    // Shorter texts have leading zeros, which add nothing.
    const qsizetype n = qMin<qsizetype>(text.size(), 8);
    int v = 0;
    for (qsizetype i = 0; i < n; ++i)
        v = 2 * v + (text[i] == u'1' ? 1 : 0);
    return int16_t(v);
}

QChar GsmChar(int code) { return QChar(code >= 0 && code < 128 ? gsm::kDefault[code] : char16_t(0xFFFD)); }

QChar GsmEscapeChar(int code) { return code >= 0 ? QChar(gsm::escapeChar(unsigned(code))) : QChar(); }

QString GsmText(const QString& septets)
{
    // The decoder's own mapping: the phone's GSM set is the unpacked alphabet.
    return mapCodes(reinterpret_cast<const char16_t*>(septets.utf16()), septets.size());
}

QByteArray UnpackSeptets(const QByteArray& octets)
{
    const auto* oct = reinterpret_cast<const uint8_t*>(octets.constData());
    const int count = septetCount(int(octets.size()));
    QByteArray septets(count, Qt::Uninitialized);
    for (int k = 0; k < count; ++k)
        septets[k] = char(septetAt(oct, k));
    return septets;
}

QString RivNumCS(const QString& pak)
{
    const int l = pairAt(pak, 1);
    Text out;
    out.append(u'+');
    appendSwapped(midAt(pak, 3, 2 * l), out);
    if (out.size() > 1 && out.back() == u'F')
        out.removeLast();
    const bool international = midAt(pak, 3, 2) == u"91";
    return toQString(out, international ? 0 : 1);
}

QString RivNumMT(int16_t, const QString& pak)
{
    Walk w;
    if (!walkTo(pak, w))
        return QString();
    if (((pairAt(pak, w.base + 3) >> 4) & 7) == 5)
        return alphanumericAddress(pak, w);
    Text out;
    out.append(u'+');
    appendSwapped(midAt(pak, w.base + 3, w.v + 2), out);
    if (out.size() > 1 && out.back() == u'F')
        out.resize(qMin<qsizetype>(out.size(), w.v)); // the '+' and V - 1 digits
    const bool international = midAt(pak, w.base + 3, 2) == u"91";
    return toQString(out, international ? 0 : 1);
}

QString RivOra(int16_t, const QString& pak) { return stampField(pak, true); }

QString RivData(int16_t, const QString& pak) { return stampField(pak, false); }

QString RivZona(int16_t, const QString& pak)
{
    Walk w;
    if (!walkTo(pak, w) || (w.kind != SmsKind::Deliver && w.kind != SmsKind::StatusReport))
        return QString();
    const int stamp = w.kind == SmsKind::Deliver ? 9 : 19; // from base + V
    const QStringView zone = midAt(pak, w.base + w.v + stamp + 12, 2);
    if (zone.size() < 2)
        return QString();
    // TS 23.040 9.2.3.11: quarters of an hour, digits swapped as in the
    // rest of the stamp; the top bit of the tens digit is the sign.
    const int units = hexDigit(zone[0].unicode());
    const int tens = hexDigit(zone[1].unicode());
    if (units < 0 || units > 9 || tens < 0)
        return QString();
    const int quarters = (tens & 7) * 10 + units;
    return QStringLiteral("%1%2:%3")
        .arg(QChar((tens & 8) ? u'-' : u'+'))
        .arg(quarters / 4, 2, 10, QLatin1Char('0'))
        .arg(quarters % 4 * 15, 2, 10, QLatin1Char('0'));
}

SmsKind PduKind(const QString& pak) { return kindOf(pak); }

QString RivTesto(int16_t, const QString& pak)
{
    Walk w;
    if (!walkTo(pak, w))
        return QString();
    if (w.kind == SmsKind::StatusReport)
        return statusReportText(pak, w);
    const int firstOctet = firstOctetOf(pak, w);
    const int dcs = pairAt(pak, w.base + w.v + 7);
    const qsizetype a = userDataLengthAt(w, firstOctet) - 1;
    const int udl = pairAt(pak, a + 1);
    uint8_t oct[kMaxOctets];
    int available = 0;
    const int n = userDataOctets(pak, a, oct, available);
    const Alphabet alphabet = alphabetOf(dcs);

    // Without a header the whole user data is text.
    const bool header = (firstOctet & 0x40) != 0;
    const int udhl = header && n > 0 ? oct[0] : 0;
    const int textStart = header ? udhl + 1 : 0; // in octets

    QString text;
    if (alphabet == Alphabet::Gsm7) {
        const int total = qMin(udl, septetCount(available));
        const int skip = header ? (textStart * 8 + 6) / 7 : 0; // fill bits skipped
        Text codes(qMax(total - skip, 0));
        for (int k = skip; k < total; ++k)
            codes[k - skip] = septetAt(oct, k);
        if (!header)
            spliceSeptetPicture(codes);
        text = mapCodes(codes.constData(), codes.size());
    } else {
        const int end = qMin(udl, n);
        Text chars;
        if (alphabet == Alphabet::Eight)
            appendCp1252(oct, textStart, end, chars);
        else
            appendUcs2(oct, textStart, end, chars);
        text = toQString(chars);
    }
    if (!header)
        return text;

    Picture pictures[kMaxOctets / 4];
    const int count = headerPictures(oct, n, udhl, pictures);
    if (count == 0)
        return text;
    Text out;
    insertPictures(text, pictures, count, out);
    return toQString(out);
}

std::optional<StatusReport> ReadStatusReport(const QString& pak)
{
    if (pak.size() % 2 != 0 || !std::all_of(pak.begin(), pak.end(), [](QChar c) { return hexDigit(c.unicode()) >= 0; }))
        return std::nullopt;
    Walk w;
    if (!walkTo(pak, w) || w.kind != SmsKind::StatusReport || w.v > 20)
        return std::nullopt;
    const qsizetype statusAt = w.base + w.v + 33;
    if (!isHexPair(pak, statusAt))
        return std::nullopt;
    StatusReport report;
    report.reference = pairAt(pak, w.base - 1);
    report.recipient = RivNumMT(0, pak);
    report.time = RivOra(0, pak);
    report.date = RivData(0, pak);
    report.status = pairAt(pak, statusAt);
    return report;
}

std::optional<ConcatPart> ConcatInfo(int16_t, const QString& pak)
{
    Walk w;
    if (!walkTo(pak, w) || w.kind == SmsKind::StatusReport)
        return std::nullopt;
    const int firstOctet = firstOctetOf(pak, w);
    if ((firstOctet & 0x40) == 0) // TP-UDHI: no header
        return std::nullopt;
    // The header as RivTesto skips it: the same octets, the same length.
    uint8_t oct[kMaxOctets];
    int available = 0;
    const int n = userDataOctets(pak, userDataLengthAt(w, firstOctet) - 1, oct, available);
    if (n == 0)
        return std::nullopt;
    const int end = qMin(oct[0] + 1, n);
    // TS 23.040 9.2.3.24: of an element that may not repeat, the last one
    // counts; one with a total of 0 or an index outside 1..total is ignored.
    std::optional<ConcatPart> found;
    for (int i = 1; i + 1 < end;) {
        const int iei = oct[i];
        const int iedl = oct[i + 1];
        if (i + 2 + iedl > end)
            break;
        const uint8_t* e = oct + i + 2;
        ConcatPart part;
        if (iei == 0x00 && iedl == 3) // 9.2.3.24.1: 8-bit reference
            part = ConcatPart{e[0], e[1], e[2], false};
        else if (iei == 0x08 && iedl == 4) // 9.2.3.24.8: 16-bit reference
            part = ConcatPart{e[0] << 8 | e[1], e[2], e[3], true};
        if (part.total > 0 && part.index >= 1 && part.index <= part.total)
            found = part;
        i += 2 + iedl;
    }
    return found;
}
