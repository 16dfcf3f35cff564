// SPDX-License-Identifier: GPL-3.0-or-later
#include "text.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>

namespace phonesim {

std::string trim(const std::string& s)
{
    const size_t b = s.find_first_not_of(" \t\r\n");
    if (b == std::string::npos)
        return std::string();
    const size_t e = s.find_last_not_of(" \t\r\n");
    return s.substr(b, e - b + 1);
}

std::string upper(std::string s)
{
    for (char& c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

std::string lower(std::string s)
{
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::vector<std::string> split(const std::string& s, char sep)
{
    std::vector<std::string> out;
    size_t start = 0;
    for (;;) {
        const size_t p = s.find(sep, start);
        out.push_back(s.substr(start, p == std::string::npos ? std::string::npos : p - start));
        if (p == std::string::npos)
            return out;
        start = p + 1;
    }
}

std::vector<std::string> splitWords(const std::string& s)
{
    std::vector<std::string> out;
    size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i])))
            ++i;
        const size_t b = i;
        while (i < s.size() && !std::isspace(static_cast<unsigned char>(s[i])))
            ++i;
        if (i > b)
            out.push_back(s.substr(b, i - b));
    }
    return out;
}

std::vector<std::string> splitParams(const std::string& s)
{
    std::vector<std::string> out;
    if (trim(s).empty())
        return out;
    std::string field;
    bool quoted = false;
    // A quote closes a quoted field only when a comma or the end follows it,
    // so that a name may hold both commas and quotes.
    for (size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        if (c == '"') {
            if (!quoted) {
                quoted = true;
            } else {
                size_t j = i + 1;
                while (j < s.size() && s[j] == ' ')
                    ++j;
                if (j == s.size() || s[j] == ',')
                    quoted = false;
            }
            field += c;
        } else if (c == ',' && !quoted) {
            out.push_back(trim(field));
            field.clear();
        } else {
            field += c;
        }
    }
    out.push_back(trim(field));
    return out;
}

bool isQuoted(const std::string& s)
{
    const std::string t = trim(s);
    return t.size() >= 2 && t.front() == '"' && t.back() == '"';
}

std::string unquote(const std::string& s)
{
    const std::string t = trim(s);
    return isQuoted(t) ? t.substr(1, t.size() - 2) : t;
}

bool parseInt(const std::string& s, int& out)
{
    const std::string t = trim(s);
    if (t.empty() || t.size() > 9)
        return false;
    size_t i = t[0] == '-' ? 1 : 0;
    if (i == t.size())
        return false;
    for (size_t k = i; k < t.size(); ++k) {
        if (!std::isdigit(static_cast<unsigned char>(t[k])))
            return false;
    }
    out = std::atoi(t.c_str());
    return true;
}

bool parseValueGroups(const std::string& text, std::vector<std::vector<int>>& groups)
{
    std::vector<std::vector<int>> out;
    size_t i = 0;
    while (i < text.size()) {
        const bool listed = text[i] == '(';
        const size_t end = listed ? text.find(')', i) : text.find(',', i);
        if (listed && end == std::string::npos)
            return false;
        const std::string group = listed ? text.substr(i + 1, end - i - 1) : text.substr(i, end - i);
        std::vector<int> values;
        for (const std::string& item : split(group, ',')) {
            const size_t dash = item.find('-', 1);
            int first = 0;
            int last = 0;
            if (!parseInt(item.substr(0, dash), first))
                return false;
            if (dash == std::string::npos)
                last = first;
            else if (!parseInt(item.substr(dash + 1), last))
                return false;
            if (first < 0 || last < first || last > 255)
                return false;
            for (int v = first; v <= last; ++v)
                values.push_back(v);
        }
        out.push_back(values);
        i = listed ? end + 1 : end;
        if (i < text.size() && text[i] != ',')
            return false;
        if (i < text.size() && ++i == text.size())
            return false; // a comma with no group after it
    }
    if (out.empty())
        return false;
    groups = out;
    return true;
}

bool isHex(const std::string& s)
{
    for (char c : s) {
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return false;
    }
    return true;
}

int hexOctet(const std::string& hex, size_t pos)
{
    if (pos + 2 > hex.size())
        return -1;
    return static_cast<int>(std::strtol(hex.substr(pos, 2).c_str(), nullptr, 16));
}

int tpduLength(const std::string& hex)
{
    const int sc = hexOctet(hex, 0);
    return sc < 0 ? -1 : static_cast<int>(hex.size() / 2) - (sc + 1);
}

bool validPdu(const std::string& hex, std::string& error)
{
    if (hex.empty() || hex.size() % 2 != 0 || !isHex(hex)) {
        error = "a PDU is an even number of hex digits";
        return false;
    }
    if (tpduLength(hex) < 1) {
        error = "the service-centre part leaves no TPDU";
        return false;
    }
    return true;
}

namespace {

// GSM 03.38 default alphabet as Unicode code points, 8 a row.
const char32_t kGsmBasic[128] = {
    0x40,  0xA3,  0x24,  0xA5,  0xE8,  0xE9,  0xF9,  0xEC,  // 0x00 @ £ $ ¥ è é ù ì
    0xF2,  0xC7,  0x0A,  0xD8,  0xF8,  0x0D,  0xC5,  0xE5,  // 0x08 ò Ç LF Ø ø CR Å å
    0x394, 0x5F,  0x3A6, 0x393, 0x39B, 0x3A9, 0x3A0, 0x3A8, // 0x10 Δ _ Φ Γ Λ Ω Π Ψ
    0x3A3, 0x398, 0x39E, 0x1B,  0xC6,  0xE6,  0xDF,  0xC9,  // 0x18 Σ Θ Ξ ESC Æ æ ß É
    0x20,  0x21,  0x22,  0x23,  0xA4,  0x25,  0x26,  0x27,  // 0x20 SP ! " # ¤ % & '
    0x28,  0x29,  0x2A,  0x2B,  0x2C,  0x2D,  0x2E,  0x2F,  // 0x28 ( ) * + , - . /
    0x30,  0x31,  0x32,  0x33,  0x34,  0x35,  0x36,  0x37,  // 0x30 0-7
    0x38,  0x39,  0x3A,  0x3B,  0x3C,  0x3D,  0x3E,  0x3F,  // 0x38 8 9 : ; < = > ?
    0xA1,  0x41,  0x42,  0x43,  0x44,  0x45,  0x46,  0x47,  // 0x40 ¡ A-G
    0x48,  0x49,  0x4A,  0x4B,  0x4C,  0x4D,  0x4E,  0x4F,  // 0x48 H-O
    0x50,  0x51,  0x52,  0x53,  0x54,  0x55,  0x56,  0x57,  // 0x50 P-W
    0x58,  0x59,  0x5A,  0xC4,  0xD6,  0xD1,  0xDC,  0xA7,  // 0x58 X Y Z Ä Ö Ñ Ü §
    0xBF,  0x61,  0x62,  0x63,  0x64,  0x65,  0x66,  0x67,  // 0x60 ¿ a-g
    0x68,  0x69,  0x6A,  0x6B,  0x6C,  0x6D,  0x6E,  0x6F,  // 0x68 h-o
    0x70,  0x71,  0x72,  0x73,  0x74,  0x75,  0x76,  0x77,  // 0x70 p-w
    0x78,  0x79,  0x7A,  0xE4,  0xF6,  0xF1,  0xFC,  0xE0,  // 0x78 x y z ä ö ñ ü à
};

// The extension table: escape 0x1B, then the code.
struct Extension {
    unsigned char code;
    char32_t ch;
};
const Extension kGsmExtension[] = {
    {0x0A, 0x0C},   // form feed
    {0x14, 0x5E},   // ^
    {0x28, 0x7B},   // {
    {0x29, 0x7D},   // }
    {0x2F, 0x5C},   // backslash
    {0x3C, 0x5B},   // [
    {0x3D, 0x7E},   // ~
    {0x3E, 0x5D},   // ]
    {0x40, 0x7C},   // |
    {0x65, 0x20AC}, // €
};

std::vector<char32_t> decodeUtf8(const std::string& s)
{
    std::vector<char32_t> out;
    for (size_t i = 0; i < s.size();) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        const int extra = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : -1;
        if (extra < 0 || i + static_cast<size_t>(extra) >= s.size()) { // bad or cut short
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        char32_t cp = extra == 0 ? c : c & (0x3F >> extra);
        for (int k = 1; k <= extra; ++k)
            cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
        out.push_back(cp);
        i += static_cast<size_t>(extra) + 1;
    }
    return out;
}

void appendUtf8(std::string& out, char32_t cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

void appendHex16(std::string& out, unsigned v)
{
    char buf[5];
    std::snprintf(buf, sizeof buf, "%04X", v & 0xFFFF);
    out += buf;
}

} // namespace

bool charsetKnown(const std::string& charset)
{
    return charset == "GSM" || charset == "IRA" || charset == "8859-1" || charset == "UCS2";
}

size_t utf8Length(const std::string& utf8) { return decodeUtf8(utf8).size(); }

int simNameLength(const std::string& utf8)
{
    const std::vector<char32_t> text = decodeUtf8(utf8);
    int septets = 0;
    int units = 0;
    bool gsm = true;
    for (char32_t cp : text) {
        units += cp >= 0x10000 ? 2 : 1;
        if (!gsm)
            continue;
        if (cp != 0x1B && std::find(std::begin(kGsmBasic), std::end(kGsmBasic), cp) != std::end(kGsmBasic)) {
            septets += 1;
        } else if (std::any_of(std::begin(kGsmExtension), std::end(kGsmExtension),
                               [cp](const Extension& e) { return e.ch == cp; })) {
            septets += 2;
        } else {
            gsm = false;
        }
    }
    if (text.empty())
        return 0;
    return gsm ? septets : 1 + 2 * units;
}

std::string encodeText(const std::string& utf8, const std::string& charset)
{
    std::string out;
    for (char32_t cp : decodeUtf8(utf8)) {
        if (charset == "UCS2") {
            if (cp >= 0x10000) { // a surrogate pair
                appendHex16(out, 0xD800 + ((cp - 0x10000) >> 10));
                appendHex16(out, 0xDC00 + ((cp - 0x10000) & 0x3FF));
            } else {
                appendHex16(out, static_cast<unsigned>(cp));
            }
        } else if (charset == "8859-1") {
            out += cp < 0x100 ? static_cast<char>(cp) : '?';
        } else if (charset == "IRA") {
            out += cp < 0x80 ? static_cast<char>(cp) : '?';
        } else { // GSM: one byte a septet
            bool found = false;
            for (int code = 0; code < 128 && !found; ++code) {
                if (kGsmBasic[code] == cp && code != 0x1B) {
                    out += static_cast<char>(code);
                    found = true;
                }
            }
            for (const Extension& e : kGsmExtension) {
                if (!found && e.ch == cp) {
                    out += '\x1B';
                    out += static_cast<char>(e.code);
                    found = true;
                }
            }
            if (!found)
                out += '?';
        }
    }
    return out;
}

bool decodeText(const std::string& text, const std::string& charset, std::string& utf8)
{
    utf8.clear();
    if (charset == "UCS2") {
        if (text.size() % 4 != 0 || !isHex(text))
            return false;
        for (size_t i = 0; i < text.size(); i += 4) {
            char32_t unit = static_cast<char32_t>(std::strtoul(text.substr(i, 4).c_str(), nullptr, 16));
            if (unit >= 0xD800 && unit < 0xDC00) { // a surrogate pair
                const char32_t low =
                    i + 8 <= text.size()
                        ? static_cast<char32_t>(std::strtoul(text.substr(i + 4, 4).c_str(), nullptr, 16))
                        : 0;
                if (low < 0xDC00 || low > 0xDFFF)
                    return false;
                unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
                i += 4;
            }
            appendUtf8(utf8, unit);
        }
        return true;
    }
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (charset == "8859-1" || charset == "IRA") {
            if (charset == "IRA" && c >= 0x80)
                return false;
            appendUtf8(utf8, c);
        } else if (c == 0x1B && i + 1 < text.size()) {
            char32_t cp = 0;
            for (const Extension& e : kGsmExtension) {
                if (e.code == static_cast<unsigned char>(text[i + 1]))
                    cp = e.ch;
            }
            if (cp == 0)
                return false;
            appendUtf8(utf8, cp);
            ++i;
        } else if (c < 0x80) {
            appendUtf8(utf8, kGsmBasic[c]);
        } else {
            return false;
        }
    }
    return true;
}

std::string escapeBytes(const std::string& bytes)
{
    std::string out;
    for (char ch : bytes) {
        const unsigned char c = static_cast<unsigned char>(ch);
        switch (c) {
        case '\r':
            out += "\\r";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '"':
            out += "\\\"";
            break;
        default:
            if (c >= 0x20 && c < 0x7F) {
                out += static_cast<char>(c);
            } else {
                char buf[5];
                std::snprintf(buf, sizeof buf, "\\x%02X", c);
                out += buf;
            }
        }
    }
    return out;
}

} // namespace phonesim
