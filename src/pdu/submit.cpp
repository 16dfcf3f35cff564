// SPDX-License-Identifier: GPL-3.0-or-later
// Encoding of SMS-SUBMIT (TS 23.040 9.2.2.2) with the 7-bit default alphabet,
// as the hex text given to the phone after +CMGS= (TS 27.005 3.5.1).
#include "pdu/pdu.h"

#include "pdu/alphabet.h"

#include <QList>

namespace {

constexpr int kMaxSeptets = 160;
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

// Maps `text` to septets: up to `capacity` of them into `out`; returns how
// many the whole text needs. A combining mark that no composed character
// takes up is dropped, like the accents of base letters.
int mapText(const QString& text, uint8_t* out, int capacity)
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
    int count = 0;
    auto put = [&](uint8_t septet) {
        if (count < capacity)
            out[count] = septet;
        ++count;
    };
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
            if (isMark(c))
                continue;
            code = baseLetterCode(c);
        }
        if (code == gsm::kNone)
            code = u'?';
        if (code & gsm::kEscapeFlag) {
            put(uint8_t(gsm::kEscape));
            put(code & 0x7F);
        } else {
            put(code);
        }
    }
    return count;
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

} // namespace

int GsmSeptets(const QString& text) { return mapText(text, nullptr, 0); }

SubmitPdu EncodeSubmit(const QString& serviceCentre, const QString& recipient, const QString& text, bool flash,
                       bool statusReport)
{
    SubmitPdu r;
    Address da;
    Address sc;
    if (!parseAddress(recipient, da)) {
        r.error = SubmitPdu::Error::BadRecipient;
        return r;
    }
    if (!parseAddress(serviceCentre, sc)) {
        r.error = SubmitPdu::Error::BadServiceCentre;
        return r;
    }
    uint8_t septets[kMaxSeptets];
    r.septets = mapText(text, septets, kMaxSeptets);
    if (r.septets > kMaxSeptets) {
        r.error = SubmitPdu::Error::TooLong;
        return r;
    }

    const int scLength = 1 + addressOctets(sc); // type octet and digits
    const int udOctets = (7 * r.septets + 7) / 8;
    const int tpduOctets = 4 + addressOctets(da) + 4 + udOctets;
    r.pdu = QString(2 * (1 + scLength + tpduOctets), Qt::Uninitialized);
    HexWriter w{r.pdu.data()};
    w.octet(scLength);                       // service-centre length, octets
    w.octet(sc.international ? 0x91 : 0x81); // type: international/unknown, ISDN plan
    w.semiOctets(sc.digits);
    w.octet(statusReport ? 0x31 : 0x11); // SMS-SUBMIT, TP-VPF relative, TP-SRR
    w.octet(0xF3);                       // TP-MR
    w.octet(int(da.digits.size()));      // TP-DA length, digits
    w.octet(da.international ? 0x91 : 0x81);
    w.semiOctets(da.digits);
    w.octet(0x00);                // TP-PID
    w.octet(flash ? 0xF0 : 0x00); // TP-DCS: default alphabet, class 0 if flash
    w.octet(0xFF);                // TP-VP: relative, the longest
    w.octet(r.septets);           // TP-UDL, septets
    unsigned acc = 0;             // TP-UD: septet k at bits 7k..7k+6
    int bits = 0;
    for (int k = 0; k < r.septets; ++k) {
        acc |= unsigned(septets[k] & 0x7F) << bits;
        bits += 7;
        if (bits >= 8) {
            w.octet(int(acc & 0xFF));
            acc >>= 8;
            bits -= 8;
        }
    }
    if (bits > 0)
        w.octet(int(acc & 0xFF));
    r.cmgsLength = tpduOctets;
    return r;
}
