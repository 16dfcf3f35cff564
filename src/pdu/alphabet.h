// SPDX-License-Identifier: GPL-3.0-or-later
// The character tables of the codec: the GSM 7-bit default alphabet as this
// program shows it, its extension (escape) table, the picture texts of the
// predefined animations, and the upper half of Windows-1252 for 8-bit data.
// Internal to pdu/, and read by at/cpbw.cpp (which decides which names a
// "GSM" command line carries) without linking the codec; the public lookups
// are in pdu.h.
#pragma once

#include <array>
#include <cstdint>

namespace gsm {

constexpr char16_t kEscape = 27;

// Code to character, TS 23.038 6.2.1 with this program's own readings:
// 0x09 is the small ç, the Greek capitals show as "?" except 0x17 ("¥"),
// 0x40 stays "@" and 0x60 stays "`".
// clang-format off
inline constexpr char16_t kDefault[128] = {
    // 0x00  @ £ $ ¥ è é ù ì
    u'@', u'£', u'$', u'¥', u'è', u'é', u'ù', u'ì',
    // 0x08  ò ç LF Ø ø CR Å å
    u'ò', u'ç', u'\n', u'Ø', u'ø', u'\r', u'Å', u'å',
    // 0x10  ? _ ? ? ? ? ? ¥
    u'?', u'_', u'?', u'?', u'?', u'?', u'?', u'¥',
    // 0x18  ? ? ? ESC Æ æ ß É
    u'?', u'?', u'?', kEscape, u'Æ', u'æ', u'ß', u'É',
    // 0x20  SP ! " # ¤ % & '
    u' ', u'!', u'"', u'#', u'¤', u'%', u'&', u'\'',
    // 0x28  ( ) * + , - . /
    u'(', u')', u'*', u'+', u',', u'-', u'.', u'/',
    // 0x30  0 1 2 3 4 5 6 7
    u'0', u'1', u'2', u'3', u'4', u'5', u'6', u'7',
    // 0x38  8 9 : ; < = > ?
    u'8', u'9', u':', u';', u'<', u'=', u'>', u'?',
    // 0x40  @ A B C D E F G
    u'@', u'A', u'B', u'C', u'D', u'E', u'F', u'G',
    // 0x48  H I J K L M N O
    u'H', u'I', u'J', u'K', u'L', u'M', u'N', u'O',
    // 0x50  P Q R S T U V W
    u'P', u'Q', u'R', u'S', u'T', u'U', u'V', u'W',
    // 0x58  X Y Z Ä Ö Ñ Ü §
    u'X', u'Y', u'Z', u'Ä', u'Ö', u'Ñ', u'Ü', u'§',
    // 0x60  ` a b c d e f g
    u'`', u'a', u'b', u'c', u'd', u'e', u'f', u'g',
    // 0x68  h i j k l m n o
    u'h', u'i', u'j', u'k', u'l', u'm', u'n', u'o',
    // 0x70  p q r s t u v w
    u'p', u'q', u'r', u's', u't', u'u', u'v', u'w',
    // 0x78  x y z ä ö ñ ü à
    u'x', u'y', u'z', u'ä', u'ö', u'ñ', u'ü', u'à',
};

struct Pair {
    uint8_t code;
    char16_t ch;
};

// The extension table, TS 23.038 6.2.1.1: 27 followed by `code`.
inline constexpr Pair kExtension[] = {
    {0x0A, u'\f'}, {0x14, u'^'}, {0x28, u'{'}, {0x29, u'}'},
    {0x2F, u'\\'}, {0x3C, u'['}, {0x3D, u'~'}, {0x3E, u']'},
    {0x40, u'|'},  {0x65, u'€'},
};

// What the default alphabet itself means at the codes that kDefault shows
// otherwise. The recipient's phone reads the standard, so the encoder sends
// these characters at these codes.
inline constexpr Pair kStandardOnly[] = {
    {0x09, u'Ç'}, {0x10, u'Δ'}, {0x12, u'Φ'}, {0x13, u'Γ'}, {0x14, u'Λ'},
    {0x15, u'Ω'}, {0x16, u'Π'}, {0x17, u'Ψ'}, {0x18, u'Σ'}, {0x19, u'Θ'},
    {0x1A, u'Ξ'}, {0x40, u'¡'}, {0x60, u'¿'},
};
// clang-format on

// Encoder's view of a character below U+0100: a code 0..127, an escape pair
// (kEscapeFlag | second code), or kNone.
constexpr uint8_t kNone = 0xFF;
constexpr uint8_t kEscapeFlag = 0x80;

// Base letters of U+00C0..U+00FF: the canonical decomposition without its
// accent, "." where there is none. A letter that the tables lack goes out as
// its base letter (È as E).
// clang-format off
inline constexpr char kLatin1Base[] =
    "AAAAAA.CEEEEIIII"  // 0xC0  À Á Â Ã Ä Å Æ Ç È É Ê Ë Ì Í Î Ï
    ".NOOOOO..UUUUY.."  // 0xD0  Ð Ñ Ò Ó Ô Õ Ö × Ø Ù Ú Û Ü Ý Þ ß
    "aaaaaa.ceeeeiiii"  // 0xE0  à á â ã ä å æ ç è é ê ë ì í î ï
    ".nooooo..uuuuy.y"; // 0xF0  ð ñ ò ó ô õ ö ÷ ø ù ú û ü ý þ ÿ
// clang-format on

// Derived from the tables above: the first code showing a character wins
// ("@" is 0x00, "¥" 0x03). Left out: the "?" stand-ins for Greek letters,
// the lone escape, and 0x40 and 0x60, whose standard characters are "¡" and
// "¿" (so "`" has no code). Accented letters without a code of their own
// take their base letter's unless `exactOnly`.
constexpr std::array<uint8_t, 256> makeLatin1Codes(bool exactOnly = false)
{
    std::array<uint8_t, 256> codes{};
    for (auto& c : codes)
        c = kNone;
    for (int code = 0; code < 128; ++code) {
        const char16_t ch = kDefault[code];
        if (code == kEscape || code == 0x40 || code == 0x60 || (ch == u'?' && code != 0x3F))
            continue;
        if (ch < 256 && codes[ch] == kNone)
            codes[ch] = static_cast<uint8_t>(code);
    }
    for (const Pair& p : kExtension)
        if (p.ch < 256 && codes[p.ch] == kNone)
            codes[p.ch] = static_cast<uint8_t>(kEscapeFlag | p.code);
    for (const Pair& p : kStandardOnly)
        if (p.ch < 256)
            codes[p.ch] = p.code;
    for (int ch = 0xC0; ch < 0x100 && !exactOnly; ++ch)
        if (codes[ch] == kNone && kLatin1Base[ch - 0xC0] != '.')
            codes[ch] = codes[uint8_t(kLatin1Base[ch - 0xC0])];
    return codes;
}
inline constexpr std::array<uint8_t, 256> kLatin1Codes = makeLatin1Codes();
inline constexpr std::array<uint8_t, 256> kLatin1ExactCodes = makeLatin1Codes(true);

// The encoder's code for a code point, in kLatin1Codes' form; kNone when
// neither table carries it.
constexpr uint8_t codeFor(char32_t ch)
{
    if (ch < 256)
        return kLatin1Codes[ch];
    for (const Pair& p : kStandardOnly)
        if (p.ch == ch)
            return p.code;
    for (const Pair& p : kExtension)
        if (p.ch == ch)
            return static_cast<uint8_t>(kEscapeFlag | p.code);
    return kNone;
}

// Whether the default alphabet carries `ch` as itself (an escape pair
// included), not as a base letter or a stand-in.
constexpr bool carriesExactly(char32_t ch) { return ch < 256 ? kLatin1ExactCodes[ch] != kNone : codeFor(ch) != kNone; }

// The character of the escape pair 27, `code`; 0 when not translated.
constexpr char16_t escapeChar(unsigned code)
{
    for (const Pair& p : kExtension)
        if (p.code == code)
            return p.ch;
    return 0;
}

// Picture texts of the predefined animations 0..14 (TS 23.040 9.2.3.24.10.1.3).
// clang-format off
inline constexpr const char16_t* kPicture[15] = {
    u" img:Sono ironico ",       // 0
    u" img:Sono Felice ",        // 1
    u" img:Sono Scettico ",      // 2
    u" img:Sono Triste ",        // 3
    u" img:WOW! ",               // 4
    u" img:Sto Piangendo ",      // 5
    u" img:Ammiccare ",          // 6
    u" img:Sto ridendo ",        // 7
    u" img:Sono indifferente ",  // 8
    u" img:Amore / Baci ",       // 9
    u" img:Sono Confuso ",       // 10
    u" img:Sono Ko ",            // 11
    u" img:Sono Arrabbiato ",    // 12
    u" img:Indossa Occhiali ",   // 13
    u" img:Diabolico ",          // 14
};
// clang-format on

// Windows-1252 0x80..0x9F; the five unassigned codes keep their own value.
// clang-format off
inline constexpr char16_t kCp1252High[32] = {
    // 0x80  € . ‚ ƒ „ … † ‡
    u'€', 0x81, u'‚', u'ƒ', u'„', u'…', u'†', u'‡',
    // 0x88  ˆ ‰ Š ‹ Œ . Ž .
    u'ˆ', u'‰', u'Š', u'‹', u'Œ', 0x8D, u'Ž', 0x8F,
    // 0x90  . ‘ ’ “ ” • – —
    0x90, u'‘', u'’', u'“', u'”', u'•', u'–', u'—',
    // 0x98  ˜ ™ š › œ . ž Ÿ
    u'˜', u'™', u'š', u'›', u'œ', 0x9D, u'ž', u'Ÿ',
};
// clang-format on

constexpr char16_t cp1252(uint8_t b) { return (b >= 0x80 && b < 0xA0) ? kCp1252High[b - 0x80] : char16_t(b); }

} // namespace gsm
