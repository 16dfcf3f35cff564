// SPDX-License-Identifier: GPL-3.0-or-later
#include "pdu.h"

#include "text.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace phonesim {

namespace {

// Where the TPDU begins, in hex digits; npos when the service-centre part
// does not fit.
size_t tpduStart(const std::string& pdu)
{
    const int sc = hexOctet(pdu, 0);
    const size_t start = sc < 0 ? std::string::npos : 2 * (static_cast<size_t>(sc) + 1);
    return start < pdu.size() ? start : std::string::npos;
}

// The octets of an address field (TS 23.040 9.1.2.5) whose length octet
// is at pos: the length counts digits, the type and digits follow.
size_t addressOctets(const std::string& pdu, size_t pos)
{
    const int digits = hexOctet(pdu, pos);
    return digits < 0 ? 0 : 2 + (static_cast<size_t>(digits) + 1) / 2;
}

// Digits as semi-octets, each pair swapped, an odd one padded with F.
std::string semiOctets(const std::string& digits)
{
    std::string out;
    for (size_t i = 0; i < digits.size(); i += 2) {
        out += i + 1 < digits.size() ? digits[i + 1] : 'F';
        out += digits[i];
    }
    return out;
}

// The semi-octet of a dialled character: 0-9, and * # as A B.
std::string bcdDigits(const std::string& number)
{
    std::string out;
    for (char c : number) {
        if (std::isdigit(static_cast<unsigned char>(c)))
            out += c;
        else if (c == '*')
            out += 'A';
        else if (c == '#')
            out += 'B';
    }
    return out;
}

std::string hexByte(int value)
{
    char buf[3];
    std::snprintf(buf, sizeof buf, "%02X", value & 0xFF);
    return buf;
}

} // namespace

DeliverClass deliverClass(const std::string& pdu)
{
    DeliverClass c;
    const size_t tpdu = tpduStart(pdu);
    if (tpdu == std::string::npos || (hexOctet(pdu, tpdu) & 0x03) != 0)
        return c;
    // First octet, originating address, TP-PID, then TP-DCS.
    const int dcs = hexOctet(pdu, tpdu + 2 * (1 + addressOctets(pdu, tpdu + 2) + 1));
    if (dcs < 0)
        return c;
    const int group = dcs >> 4;
    if (group <= 7) { // general data coding: a class when bit 4 says so
        if (dcs & 0x10)
            c.messageClass = dcs & 0x03;
    } else if (group == 0x0F) { // data coding and message class
        c.messageClass = dcs & 0x03;
    } else if (group == 0x0D || group == 0x0E) { // message waiting, store message
        c.storeGroup = true;
    }
    return c;
}

bool readSubmit(const std::string& pdu, Submitted& out)
{
    const size_t tpdu = tpduStart(pdu);
    if (tpdu == std::string::npos)
        return false;
    const int first = hexOctet(pdu, tpdu);
    // First octet, TP-MR, TP-DA.
    const size_t da = tpdu + 4;
    const size_t daOctets = addressOctets(pdu, da);
    if (first < 0 || daOctets == 0 || da + 2 * daOctets > pdu.size())
        return false;
    out.reportAsked = (first & 0x20) != 0;
    out.destination = upper(pdu.substr(da, 2 * daOctets));
    out.part = 0;
    if (!(first & 0x40)) // no user-data header
        return true;
    // TP-PID, TP-DCS, TP-VP (none, relative, enhanced or absolute), TP-UDL.
    static const size_t kValidity[] = {0, 7, 1, 7};
    const size_t udh = da + 2 * (daOctets + 2 + kValidity[(first >> 3) & 0x03] + 1);
    const int headerLength = hexOctet(pdu, udh);
    if (headerLength < 0)
        return false;
    // The information elements: 00 (8-bit reference) and 08 (16-bit) carry
    // the part's number last.
    size_t at = udh + 2;
    const size_t end = at + 2 * static_cast<size_t>(headerLength);
    while (at + 4 <= end) {
        const int iei = hexOctet(pdu, at);
        const int length = hexOctet(pdu, at + 2);
        if (iei < 0 || length < 0 || at + 4 + 2 * static_cast<size_t>(length) > std::min(end, pdu.size()))
            break;
        if ((iei == 0x00 && length == 3) || (iei == 0x08 && length == 4))
            out.part = hexOctet(pdu, at + 4 + 2 * static_cast<size_t>(length - 1));
        at += 4 + 2 * static_cast<size_t>(length);
    }
    return true;
}

std::string addressDigits(const std::string& field)
{
    const int count = hexOctet(field, 0);
    std::string digits;
    for (size_t i = 4; i + 1 < field.size() && count > 0 && digits.size() < static_cast<size_t>(count); i += 2) {
        digits += field[i + 1];
        if (digits.size() < static_cast<size_t>(count))
            digits += field[i];
    }
    return digits;
}

std::string addressField(const std::string& number)
{
    const std::string digits = bcdDigits(number);
    const bool international = !number.empty() && number[0] == '+';
    return hexByte(static_cast<int>(digits.size())) + (international ? "91" : "81") + semiOctets(digits);
}

std::string serviceCentreField(const std::string& number, int type)
{
    const std::string digits = bcdDigits(number);
    if (digits.empty())
        return "00";
    return hexByte(static_cast<int>(1 + (digits.size() + 1) / 2)) + hexByte(type) + semiOctets(digits);
}

WallTime localWallTime(std::time_t t)
{
    WallTime w;
    localtime_r(&t, &w.tm);
    w.quarters = static_cast<int>(w.tm.tm_gmtoff / 900);
    return w;
}

bool parseWallTime(const std::string& text, WallTime& out)
{
    if (text.size() < 12)
        return false;
    int fields[6];
    for (int i = 0; i < 6; ++i) {
        const std::string two = text.substr(static_cast<size_t>(2 * i), 2);
        if (!std::isdigit(static_cast<unsigned char>(two[0])) || !std::isdigit(static_cast<unsigned char>(two[1])))
            return false;
        fields[i] = std::stoi(two);
    }
    int quarters = 0;
    const std::string zone = text.substr(12);
    if (!zone.empty() && ((zone[0] != '+' && zone[0] != '-') || !parseInt(zone.substr(1), quarters)))
        return false;
    if (!zone.empty() && zone[0] == '-')
        quarters = -quarters;
    if (fields[1] < 1 || fields[1] > 12 || fields[2] < 1 || fields[2] > 31 || fields[3] > 23 || fields[4] > 59
        || fields[5] > 59 || quarters < -79 || quarters > 79) {
        return false;
    }
    WallTime w;
    w.tm.tm_year = 100 + fields[0];
    w.tm.tm_mon = fields[1] - 1;
    w.tm.tm_mday = fields[2];
    w.tm.tm_hour = fields[3];
    w.tm.tm_min = fields[4];
    w.tm.tm_sec = fields[5];
    w.quarters = quarters;
    out = w;
    return true;
}

WallTime secondsLater(const WallTime& t, int seconds)
{
    // The wall-clock time counted as if it were UTC: the zone stays as it is.
    std::tm tm = t.tm;
    const std::time_t later = timegm(&tm) + seconds;
    WallTime w;
    gmtime_r(&later, &w.tm);
    w.quarters = t.quarters;
    return w;
}

std::string timeStampField(const WallTime& t)
{
    char digits[64];
    std::snprintf(digits, sizeof digits, "%02d%02d%02d%02d%02d%02d", t.tm.tm_year % 100, t.tm.tm_mon + 1, t.tm.tm_mday,
                  t.tm.tm_hour, t.tm.tm_min, t.tm.tm_sec);
    // The zone: two semi-octets swapped, bit 3 of the octet for west of UTC.
    const int q = t.quarters < 0 ? -t.quarters : t.quarters;
    const int zone = ((q % 10) << 4) | (q / 10) | (t.quarters < 0 ? 0x08 : 0);
    return semiOctets(digits) + hexByte(zone);
}

std::string statusReportPdu(const std::string& serviceCentre, int reference, const std::string& recipient,
                            const WallTime& received, const WallTime& done, int status)
{
    return serviceCentre + "06" + hexByte(reference) + upper(recipient) + timeStampField(received)
           + timeStampField(done) + hexByte(status);
}

} // namespace phonesim
