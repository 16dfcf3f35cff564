// SPDX-License-Identifier: GPL-3.0-or-later
#include "pdu/ussd.h"

#include "pdu/alphabet.h"
#include "pdu/pdu.h"

#include <QByteArray>

#include <algorithm>
#include <vector>

namespace {

int hexValue(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    return -1;
}

// The octets of an even run of hex digits; none for anything else.
std::optional<QByteArray> hexOctets(QStringView str)
{
    if (str.isEmpty() || str.size() % 2 != 0)
        return std::nullopt;
    QByteArray octets(str.size() / 2, Qt::Uninitialized);
    for (qsizetype i = 0; i < str.size(); i += 2) {
        const int hi = hexValue(str[i]);
        const int lo = hexValue(str[i + 1]);
        if (hi < 0 || lo < 0)
            return std::nullopt;
        octets[i / 2] = char(hi << 4 | lo);
    }
    return octets;
}

QString septetText(const QByteArray& septets)
{
    QString codes(septets.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < septets.size(); ++i)
        codes[i] = QChar(char16_t(uchar(septets[i]) & 0x7F));
    return GsmText(codes);
}

// Packed septets: 7n octets hold 8n septets, and a text of 8n - 1 has
// its last 7 bits padded with CR (TS 23.038 6.1.2.3.1); many modems pad
// with zeros, which would read as a trailing "@".
QString packedText(const QByteArray& octets)
{
    QByteArray septets = UnpackSeptets(octets);
    if (octets.size() % 7 == 0 && !septets.isEmpty() && (septets.back() == '\r' || septets.back() == '\0'))
        septets.chop(1);
    return septetText(septets);
}

std::optional<QString> unpackedText(const QByteArray& octets)
{
    for (const char octet : octets)
        if (uchar(octet) >= 0x80)
            return std::nullopt;
    return septetText(octets);
}

std::optional<QString> ucs2Text(const QByteArray& octets)
{
    if (octets.size() % 2 != 0)
        return std::nullopt;
    QString text(octets.size() / 2, Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i)
        text[i] = QChar(char16_t(uchar(octets[2 * i]) << 8 | uchar(octets[2 * i + 1])));
    return text;
}

QString eightBitText(const QByteArray& octets)
{
    QString text(octets.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < octets.size(); ++i)
        text[i] = QChar(gsm::cp1252(uchar(octets[i])));
    return text;
}

// A text that could be what an operator wrote: no control character but
// the line ends and tabs, no lone escape or half surrogate pair, no code
// point that is unassigned or private.
bool readable(const QString& text)
{
    if (text.isEmpty())
        return false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            if (QChar::category(QChar::surrogateToUcs4(c, text.at(i + 1))) == QChar::Other_NotAssigned)
                return false;
            ++i;
            continue;
        }
        if (c == u'\r' || c == u'\n' || c == u'\t')
            continue;
        switch (c.category()) {
        case QChar::Other_Control:
        case QChar::Other_Surrogate:
        case QChar::Other_PrivateUse:
        case QChar::Other_NotAssigned:
            return false;
        default:
            break;
        }
        if (c == QChar::ReplacementCharacter)
            return false;
    }
    return true;
}

// The share of a text's characters that words and numbers are made of:
// letters, digits, blanks and the punctuation of sentences and menus.
// Septets read in the wrong form come out as a scatter of signs.
double wordlike(const QString& text)
{
    static const QString kPunctuation = QStringLiteral(".,:;!?'()/%+-*#=<>€£$&_\"[]{}~^|\\");
    qsizetype good = 0;
    for (const QChar c : text)
        if (c.isLetterOrNumber() || c.isSpace() || c.isLowSurrogate() || kPunctuation.contains(c))
            ++good;
    return text.isEmpty() ? 0.0 : double(good) / double(text.size());
}

constexpr double kWordlike = 0.85;

// The letters of one text come from one or two scripts (Cyrillic and the
// Latin of "EUR"; Han with the Japanese kana): octets read as UCS2 that
// were never UCS2 scatter over Hangul, Han, Arabic and more.
bool oneWriting(const QString& text)
{
    std::vector<QChar::Script> scripts;
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t c = text.at(i).unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            c = QChar::surrogateToUcs4(text.at(i).unicode(), text.at(i + 1).unicode());
            ++i;
        }
        if (!QChar::isLetter(c))
            continue;
        QChar::Script script = QChar::script(c);
        if (script == QChar::Script_Hiragana || script == QChar::Script_Katakana)
            script = QChar::Script_Han;
        if (script == QChar::Script_Common || script == QChar::Script_Inherited)
            continue;
        if (std::find(scripts.begin(), scripts.end(), script) == scripts.end())
            scripts.push_back(script);
    }
    return scripts.size() <= 2;
}

struct Candidate {
    QString text;
    bool coded; // in the alphabet <dcs> names
};

} // namespace

UssdAlphabet UssdAlphabetOf(int dcs)
{
    if (dcs < 0 || dcs > 255)
        return UssdAlphabet::Gsm7;
    const int group = dcs >> 4;
    if (dcs == 0x11)
        return UssdAlphabet::Ucs2; // UCS2 after a language in two septets
    if (group == 0x4 || group == 0x5 || group == 0x6 || group == 0x7 || group == 0x9) {
        switch ((dcs >> 2) & 3) {
        case 1:
            return UssdAlphabet::EightBit;
        case 2:
            return UssdAlphabet::Ucs2;
        default:
            return UssdAlphabet::Gsm7;
        }
    }
    if (group == 0xF)
        return (dcs & 0x04) ? UssdAlphabet::EightBit : UssdAlphabet::Gsm7;
    return UssdAlphabet::Gsm7;
}

UssdText DecodeUssd(const QString& str, std::optional<int> dcs)
{
    if (str.isEmpty())
        return {};
    const UssdAlphabet alphabet = dcs ? UssdAlphabetOf(*dcs) : UssdAlphabet::Gsm7;
    const std::optional<QByteArray> octets = hexOctets(str);
    if (!octets) {
        // Text in the phone's character set: the phone has decoded it.
        const QString text = GsmText(str);
        if (!readable(text))
            return {str, UssdReading::AsSent};
        return {text, alphabet == UssdAlphabet::Gsm7 ? UssdReading::AsCoded : UssdReading::OtherForm};
    }

    // Hex: each form the string may be in, those of <dcs>'s alphabet first.
    std::vector<Candidate> candidates;
    const auto add = [&](UssdAlphabet form) {
        const bool coded = form == alphabet;
        switch (form) {
        case UssdAlphabet::Gsm7:
            candidates.push_back({packedText(*octets), coded});
            if (const std::optional<QString> text = unpackedText(*octets))
                candidates.push_back({*text, coded});
            break;
        case UssdAlphabet::Ucs2: {
            // 0x11: a language in two packed septets before the text.
            const bool language = coded && dcs == 0x11 && octets->size() >= 2;
            if (const std::optional<QString> text = ucs2Text(language ? octets->mid(2) : *octets))
                candidates.push_back({*text, coded});
            break;
        }
        case UssdAlphabet::EightBit:
            candidates.push_back({eightBitText(*octets), coded});
            break;
        }
    };
    // Any octets read as 8-bit text, so that form is only taken when named.
    add(alphabet);
    for (const UssdAlphabet form : {UssdAlphabet::Gsm7, UssdAlphabet::Ucs2})
        if (form != alphabet)
            add(form);

    // The best of <dcs>'s forms when one reads as words; else the best of the others.
    for (const bool coded : {true, false}) {
        const Candidate* best = nullptr;
        double bestScore = 0;
        for (const Candidate& candidate : candidates) {
            if (candidate.coded != coded || !readable(candidate.text) || !oneWriting(candidate.text))
                continue;
            const double score = wordlike(candidate.text);
            if (!best || score > bestScore) {
                best = &candidate;
                bestScore = score;
            }
        }
        if (best && bestScore >= kWordlike)
            return {best->text, coded ? UssdReading::AsCoded : UssdReading::OtherForm};
    }
    return {str, UssdReading::AsSent};
}

std::optional<QString> EncodeUssd(const QString& text, UssdForm form)
{
    std::optional<QByteArray> septets = GsmSeptetsExact(text);
    if (!septets || septets->isEmpty() || septets->size() > kUssdMaxSeptets)
        return std::nullopt;
    if (form == UssdForm::Text) {
        // One byte a character on the command line: only what reads the
        // same in ASCII, and never the quote that ends the string.
        if (septets->size() != text.size())
            return std::nullopt;
        for (qsizetype i = 0; i < text.size(); ++i) {
            const char16_t c = text.at(i).unicode();
            if (c < 0x20 || c > 0x7E || c == u'"' || char16_t(uchar(septets->at(i))) != c)
                return std::nullopt;
        }
        return text;
    }
    // 8n - 1 septets leave 7 spare bits: a CR fills them (TS 23.038 6.1.2.3.1).
    if (septets->size() % 8 == 7)
        septets->append('\r');
    return QString::fromLatin1(PackSeptets(*septets).toHex().toUpper());
}
