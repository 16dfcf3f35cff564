// SPDX-License-Identifier: GPL-3.0-or-later
// AT+CUSD (GSM 07.07 7.15) and the network behind it: a few services of
// an Italian operator, a menu two levels deep, and the three ways modems
// pass the strings (README: "USSD").
#include "phone.h"
#include "text.h"

#include <cstdio>

namespace phonesim {

namespace {

const char* const kMainMenu = "Menu\n1 Credito\n2 Offerte\n0 Esci";
const char* const kOffersMenu = "Offerte\n1 Giga 50: 9,99 EUR\n2 Minuti 500: 5 EUR\n9 Indietro";

// Septets packed seven bits each, the first in the low bits (TS 23.038
// 6.1.2.1.1); 7 spare bits at the end are filled with a CR (6.1.2.3.1).
std::string packedHex(std::string septets)
{
    if (septets.size() % 8 == 7)
        septets += '\r';
    std::string hex;
    unsigned acc = 0;
    int bits = 0;
    char octet[3];
    for (const char s : septets) {
        acc |= (static_cast<unsigned>(s) & 0x7F) << bits;
        bits += 7;
        while (bits >= 8) {
            std::snprintf(octet, sizeof octet, "%02X", acc & 0xFF);
            hex += octet;
            acc >>= 8;
            bits -= 8;
        }
    }
    if (bits > 0) {
        std::snprintf(octet, sizeof octet, "%02X", acc & 0xFF);
        hex += octet;
    }
    return hex;
}

std::string unpacked(const std::string& hex)
{
    std::string septets;
    const size_t octets = hex.size() / 2;
    unsigned acc = 0;
    int bits = 0;
    for (size_t i = 0; i < octets; ++i) {
        acc |= static_cast<unsigned>(hexOctet(hex, i * 2)) << bits;
        bits += 8;
        while (bits >= 7) {
            septets += static_cast<char>(acc & 0x7F);
            acc >>= 7;
            bits -= 7;
        }
    }
    if (octets % 7 == 0 && !septets.empty() && septets.back() == '\r')
        septets.pop_back();
    return septets;
}

} // namespace

std::vector<std::string> Phone::takeUssd()
{
    std::vector<std::string> due;
    due.swap(m_ussdDue);
    return due;
}

Phone::Result Phone::ussd(const Request& q)
{
    Result r;
    const UssdDialect dialect = m_state.dialect.ussd;
    if (dialect == UssdDialect::None) {
        r.kind = Kind::Error;
        return r;
    }
    if (q.read()) {
        r.info.push_back("+CUSD: " + std::to_string(m_cusd));
        return r;
    }
    if (q.test()) {
        r.info.push_back("+CUSD: (0-2)");
        return r;
    }
    const std::vector<std::string> p = splitParams(q.arg());
    int n = 0;
    if (!q.set() || p.empty() || !parseInt(p[0], n) || n < 0 || n > 2 || p.size() > 3) {
        r.kind = Kind::Error;
        return r;
    }
    if (n == 2) {
        m_ussdMenu = 0; // the session ends; nothing more comes
        return r;
    }
    m_cusd = n;
    if (p.size() < 2 || trim(p[1]).empty())
        return r;
    int dcs = 15;
    if (!isQuoted(p[1]) || (p.size() == 3 && !parseInt(p[2], dcs))) {
        r.kind = Kind::Error;
        return r;
    }
    const std::string str = unquote(p[1]);
    std::string text;
    if (dialect == UssdDialect::PackedHex) {
        // A code that is not hex goes nowhere.
        if (str.empty() || str.size() % 2 != 0 || !isHex(str) || !decodeText(unpacked(str), "GSM", text)) {
            r.kind = Kind::Cme;
            r.code = 100;
            return r;
        }
    } else if (!decodeText(str, m_charset, text)) {
        r.kind = Kind::Cme;
        r.code = 100;
        return r;
    }
    ussdNetwork(text);
    return r;
}

std::string Phone::cusdLine(int m, const std::string& utf8, bool ucs2) const
{
    std::string str;
    int dcs = 15;
    if (ucs2 || m_state.dialect.ussd == UssdDialect::Ucs2) {
        str = encodeText(utf8, "UCS2");
        dcs = 72;
    } else if (m_state.dialect.ussd == UssdDialect::PackedHex) {
        str = packedHex(encodeText(utf8, "GSM"));
    } else {
        // Line ends stay in the string: each becomes a line end of the code.
        str = encodeText(utf8, m_charset);
    }
    if (m_state.dialect.lowerHex && str.find_first_not_of("0123456789ABCDEF") == std::string::npos)
        str = lower(str);
    return "+CUSD: " + std::to_string(m) + ",\"" + str + "\"," + std::to_string(dcs);
}

void Phone::ussdNetwork(const std::string& text)
{
    // A code starts afresh whatever menu was open.
    if (!text.empty() && (text[0] == '*' || text[0] == '#'))
        m_ussdMenu = 0;
    // What each menu does with a choice: the next menu (0 none), the
    // answer's <m> and its text; an empty text is a bare "+CUSD: <m>".
    struct Step {
        int menu;
        int m;
        std::string text;
    };
    Step step{0, 4, std::string()}; // no such service
    const std::string invalid = "Scelta non valida\n";
    if (m_ussdMenu == 0) {
        if (text == "*123#")
            step = {0, 0, "Credito residuo: 12,50 EUR. Scadenza 31/12/2026."};
        else if (text == "*124#")
            step = {0, 0, "Promo [GIGA]: {50 Giga} a 9,99€ ~ solo oggi | ^_^"};
        else if (text == "*100#")
            step = {1, 1, kMainMenu};
    } else if (m_ussdMenu == 1) {
        if (text == "1")
            step = {0, 0, "Credito residuo: 12,50 EUR."};
        else if (text == "2")
            step = {2, 1, kOffersMenu};
        else if (text == "0")
            step = {0, 2, std::string()}; // the network ends the session
        else
            step = {1, 1, invalid + kMainMenu};
    } else {
        if (text == "1")
            step = {0, 0, "Offerta Giga 50 attivata."};
        else if (text == "9")
            step = {1, 1, kMainMenu};
        else
            step = {2, 1, invalid + kOffersMenu};
    }
    m_ussdMenu = step.menu;
    // "*144#" answers in Cyrillic, as UCS2 whatever the dialect.
    if (m_ussdMenu == 0 && text == "*144#")
        m_ussdDue.push_back(cusdLine(0, "Баланс: 100,50 ₽", true));
    else if (step.text.empty())
        m_ussdDue.push_back("+CUSD: " + std::to_string(step.m));
    else
        m_ussdDue.push_back(cusdLine(step.m, step.text, false));
}

} // namespace phonesim
