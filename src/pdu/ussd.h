// SPDX-License-Identifier: GPL-3.0-or-later
// The text of a USSD string (GSM 07.07 7.15 "+CUSD", its coding by the
// cell-broadcast data coding scheme of TS 23.038 5), as modems give it and
// take it: the 7-bit alphabet as plain text in the phone's GSM character
// set, as hex of packed septets (Huawei and the modems like it) or of
// unpacked ones, UCS2 as hex, 8-bit as hex. Pure functions.
#pragma once

#include <QString>

#include <optional>

// The alphabet a USSD <dcs> names (TS 23.038 5); a reserved coding is the
// 7-bit default alphabet, as the standard says to take it.
enum class UssdAlphabet { Gsm7, EightBit, Ucs2 };
UssdAlphabet UssdAlphabetOf(int dcs);

// How a string was read.
enum class UssdReading {
    AsCoded,   // as its <dcs> says
    OtherForm, // it did not fit its <dcs>, another form did
    AsSent     // no form fits: the string as it came
};
struct UssdText {
    QString text;
    UssdReading reading = UssdReading::AsCoded;
};
// The text of `str`, coded as `dcs` says (none: the phone gave no <dcs>).
// A string that does not fit its coding is tried in the other forms; one
// that fits none is given as it came, never as characters made up of it.
UssdText DecodeUssd(const QString& str, std::optional<int> dcs);

// The forms a code or a reply goes to the network in, within AT+CUSD=1,
// "<str>",15: as text in the GSM character set, or as hex of the packed
// septets (what Huawei modems want).
enum class UssdForm { Text, PackedHex };
// The most characters a USSD string holds: 160 octets of packed septets
// (TS 23.038 6.1.2.3.1).
constexpr int kUssdMaxSeptets = 182;
// `text` in `form`; none when it cannot go that way: a character the
// default alphabet does not carry, more than kUssdMaxSeptets septets, or,
// as text, a character whose GSM code is not its ASCII one or that would
// end the quoted string ("@", "$", "_", a double quote, an accented
// letter): those go as packed hex.
std::optional<QString> EncodeUssd(const QString& text, UssdForm form);
// The other form.
inline UssdForm OtherUssdForm(UssdForm form) { return form == UssdForm::Text ? UssdForm::PackedHex : UssdForm::Text; }
