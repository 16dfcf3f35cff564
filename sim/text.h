// SPDX-License-Identifier: GPL-3.0-or-later
// Small text helpers of the simulator: splitting, numbers, hex, and the
// character sets of +CSCS.
#pragma once

#include <string>
#include <vector>

namespace phonesim {

std::string trim(const std::string& s);
std::string upper(std::string s);
std::string lower(std::string s);
std::vector<std::string> split(const std::string& s, char sep);
std::vector<std::string> splitWords(const std::string& s);
// Split AT parameters at commas outside double quotes; quotes are kept.
std::vector<std::string> splitParams(const std::string& s);
// Remove one pair of surrounding double quotes (and blanks around them).
std::string unquote(const std::string& s);
bool isQuoted(const std::string& s);
// A whole decimal number, blanks around allowed.
bool parseInt(const std::string& s, int& out);
// The values a test command offers for each parameter, as "(0-2),(0,1,3),0":
// a group in parentheses lists values and ranges, a bare number is one value.
// false when the text is not of that form.
bool parseValueGroups(const std::string& text, std::vector<std::vector<int>>& groups);

bool isHex(const std::string& s);
// A stored or submitted PDU: even hex, a service-centre part that fits, a TPDU.
bool validPdu(const std::string& hex, std::string& error);
// Octets of the TPDU: all octets minus the service-centre part.
int tpduLength(const std::string& hex);
int hexOctet(const std::string& hex, size_t pos);

// The character sets of +CSCS: "GSM", "IRA", "8859-1", "UCS2".
bool charsetKnown(const std::string& charset);
std::string encodeText(const std::string& utf8, const std::string& charset);
// false when the text is not valid in the character set.
bool decodeText(const std::string& text, const std::string& charset, std::string& utf8);
// Characters of a UTF-8 text (code points).
size_t utf8Length(const std::string& utf8);
// What a name takes on the SIM (GSM 11.11 10.5.1 and Annex B): a name of
// characters of the GSM default alphabet one byte a character (one of its
// extension table two, the escape and the code); any other name its UCS2
// form, one byte more than two a UTF-16 code unit.
int simNameLength(const std::string& utf8);

// Printable form of raw bytes: \r \n \t \\ \" and \xHH for the rest.
std::string escapeBytes(const std::string& bytes);

} // namespace phonesim
