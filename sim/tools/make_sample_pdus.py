#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Builds the TS 23.040 PDUs of the simulator's sample phones.

Prints state-file lines ("sms.SM.3 = 0 0791...") for the messages listed at
the bottom; the samples under sim/samples were made with it.
  make_sample_pdus.py               italian.state
  make_sample_pdus.py real-phones   real-phones.state
  make_sample_pdus.py long-messages the additions of long-messages.state
  make_sample_pdus.py unsolicited   the +CMT and +CDS lines of the "urc" fault  Every PDU is
checked by reading it back with gammu (the sim_gammu test).
"""
import sys

# GSM 03.38 default alphabet, 8 entries a row, code of the row's first entry.
GSM_BASIC = (
    "@£$¥èéùì"   # 0x00
    "òÇ\nØø\rÅå"  # 0x08
    "Δ_ΦΓΛΩΠΨ"   # 0x10
    "ΣΘΞ\x1bÆæßÉ"  # 0x18
    " !\"#¤%&'"  # 0x20
    "()*+,-./"   # 0x28
    "01234567"   # 0x30
    "89:;<=>?"   # 0x38
    "¡ABCDEFG"   # 0x40
    "HIJKLMNO"   # 0x48
    "PQRSTUVW"   # 0x50
    "XYZÄÖÑÜ§"   # 0x58
    "¿abcdefg"   # 0x60
    "hijklmno"   # 0x68
    "pqrstuvw"   # 0x70
    "xyzäöñüà"   # 0x78
)
GSM_EXTENSION = {"\f": 0x0A, "^": 0x14, "{": 0x28, "}": 0x29, "\\": 0x2F,
                 "[": 0x3C, "~": 0x3D, "]": 0x3E, "|": 0x40, "€": 0x65}


def septets(text):
    out = []
    for ch in text:
        if ch in GSM_EXTENSION:
            out += [0x1B, GSM_EXTENSION[ch]]
        else:
            code = GSM_BASIC.find(ch)
            if code < 0 or ch == "\x1b":
                raise ValueError("not in the GSM alphabet: %r" % ch)
            out.append(code)
    return out


def pack7(codes, fill_bits=0):
    """TS 23.038 6.1.2.1: septet k at bit 7k (+ fill bits), LSB first."""
    acc, nbits, out = 0, fill_bits, bytearray()
    for c in codes:
        acc |= c << nbits
        nbits += 7
        while nbits >= 8:
            out.append(acc & 0xFF)
            acc >>= 8
            nbits -= 8
    if nbits:
        out.append(acc & 0xFF)
    return bytes(out)


def semi_octets(digits):
    if len(digits) % 2:
        digits += "F"
    return "".join(digits[i + 1] + digits[i] for i in range(0, len(digits), 2))


def address(number):
    """TS 23.040 9.1.2.5: length in semi-octets, type of address, digits."""
    if number.startswith("+"):
        return "%02X91%s" % (len(number) - 1, semi_octets(number[1:]))
    if number.isdigit():
        return "%02X81%s" % (len(number), semi_octets(number))
    packed = pack7(septets(number))           # alphanumeric, type D0
    useful = (len(septets(number)) * 7 + 3) // 4
    return "%02XD0%s" % (useful, packed.hex().upper())


def smsc(number):
    digits = semi_octets(number.lstrip("+"))
    kind = "91" if number.startswith("+") else "81"
    return "%02X%s%s" % (len(digits) // 2 + 1, kind, digits)


def timestamp(stamp, quarters):
    """yymmddhhmmss and the zone in quarters of an hour (TS 23.040 9.2.3.11)."""
    zone = abs(quarters) // 10 * 1 + abs(quarters) % 10 * 16
    if quarters < 0:
        zone |= 0x08
    return semi_octets(stamp) + "%02X" % zone


def user_data(text, ucs2=False, header=b""):
    """User-data length and user data; a header is packed in front of 7-bit text."""
    if ucs2:
        body = header + text.encode("utf-16-be")
        return "%02X%s" % (len(body), body.hex().upper())
    codes = septets(text)
    if not header:
        return "%02X%s" % (len(codes), pack7(codes).hex().upper())
    header_bits = len(header) * 8
    fill = (7 - header_bits % 7) % 7
    header_septets = (header_bits + fill) // 7
    packed = header + pack7(codes, fill)
    return "%02X%s" % (header_septets + len(codes), packed.hex().upper())


def deliver(centre, sender, stamp, quarters, text, ucs2=False, header=b"",
            pid=0x00, dcs=None):
    first = 0x04 | (0x40 if header else 0)  # TP-MTI deliver, TP-MMS, TP-UDHI
    if dcs is None:
        dcs = 0x08 if ucs2 else 0x00
    return (smsc(centre) + "%02X" % first + address(sender) + "%02X%02X" % (pid, dcs)
            + timestamp(stamp, quarters) + user_data(text, ucs2, header))


def submit(centre, recipient, text, reference=0, ucs2=False, header=b""):
    first = 0x11 | (0x40 if header else 0)  # submit, relative validity period
    return (smsc(centre) + "%02X%02X" % (first, reference) + address(recipient)
            + "00%02X" % (0x08 if ucs2 else 0x00) + "AA" + user_data(text, ucs2, header))


def status_report(centre, recipient, reference, sent, delivered, quarters, status):
    """SMS-STATUS-REPORT (TS 23.040 9.2.2.3): TP-MTI 10, no more messages,
    the reference of the message reported on, its recipient, when the centre
    took it (TP-SCTS), when it was delivered or failed (TP-DT), TP-ST."""
    return (smsc(centre) + "06%02X" % reference + address(recipient)
            + timestamp(sent, quarters) + timestamp(delivered, quarters) + "%02X" % status)


CENTRE = "+393359609600"

LONG_PART = ("Ciao Giulia, ti scrivo per la cena di sabato: abbiamo prenotato da "
             "Mario alle 20:30, siamo in otto. Porta tu il dolce? Io penso al vino "
             "e ai fiori, ok? B")

MESSAGES = [
    ("SM", 1, 1, deliver(CENTRE, "+393471234567", "240315184207", 4,
                         "Ciao! Ci vediamo stasera alle 20:30 al solito bar?")),
    ("SM", 2, 0, deliver(CENTRE, "+393401234567", "240316092311", 4,
                         "Il pranzo costa 12€ a testa, perché non vieni anche tu? "
                         "E' già tutto pronto")),
    ("SM", 3, 1, deliver(CENTRE, "+390123456789", "240316121500", 4,
                         "Lista spesa:\npane\nlatte\nuova\ncaffè")),
    ("SM", 5, 0, deliver(CENTRE, "TIM", "240317080001", 4,
                         "Gentile cliente, il credito residuo è di 5,20€. "
                         "Grazie per aver scelto TIM.")),
    ("SM", 7, 1, deliver(CENTRE, "+393471234567", "240318220512", 4, "Ciao amore",
                         header=bytes([0x04, 0x0D, 0x02, 0x04, 0x09]))),
    ("SM", 8, 1, deliver(CENTRE, "+393281234567", "240319101010", 4,
                         "Buon compleanno! 🎂🎉", ucs2=True)),
    ("SM", 10, 0, deliver(CENTRE, "+393401234567", "240320193344", 4, LONG_PART,
                          header=bytes([0x05, 0x00, 0x03, 0xA7, 0x02, 0x01]))),
    ("SM", 12, 2, submit(CENTRE, "+393331112222",
                         "Arrivo tra dieci minuti, aspettami davanti al bar.")),
    ("SM", 14, 3, submit(CENTRE, "+393479876543", "Grazie mille per ieri sera!", 0x2A)),
    ("ME", 1, 1, deliver(CENTRE, "+393391122334", "231224203000", 4,
                         "Auguri di buon Natale e felice anno nuovo! Nonna")),
    ("ME", 2, 0, deliver(CENTRE, "+393281234567", "240321070215", 4,
                         "Domani sciopero dei treni: ti passo a prendere io alle 7:45.")),
    ("ME", 3, 3, submit(CENTRE, "+393471234567", "Sì, arrivo subito.", 0x2B)),
    ("ME", 4, 2, submit(CENTRE, "3401234567", "Ricordati di comprare il pane")),
    ("ME", 6, 1, deliver(CENTRE, "3331234567", "240322134501", 4,
                         "Ho trovato le chiavi, erano in macchina :-)")),
]

# samples/long-messages.state: the Italian phone with messages that came in
# parts.  The second half of the message at SM 10 (reference 167) is stored
# before it, at SM 9; the same sender's next message (reference 168) at SM
# 11 and 13; a message in three parts with a 16-bit reference spread over
# both stores, part 1 at ME 5, part 2 at SM 4, part 3 at ME 7.
LONG_MESSAGES = [
    ("SM", 9, 0, deliver(CENTRE, "+393401234567", "240320193349", 4, "aci, Marta",
                         header=bytes([0x05, 0x00, 0x03, 0xA7, 0x02, 0x02]))),
    ("SM", 11, 1, deliver(CENTRE, "+393401234567", "240320194510", 4,
                          "Dimenticavo: il tavolo è a nome Bianchi, ",
                          header=bytes([0x05, 0x00, 0x03, 0xA8, 0x02, 0x01]))),
    ("SM", 13, 0, deliver(CENTRE, "+393401234567", "240320194512", 4,
                          "chiedi di Mario all'ingresso.",
                          header=bytes([0x05, 0x00, 0x03, 0xA8, 0x02, 0x02]))),
    ("ME", 5, 1, deliver(CENTRE, "+393471234567", "240323101500", 4,
                         "Ciao, sono Marco: domani la riunione ",
                         header=bytes([0x06, 0x08, 0x04, 0x12, 0x34, 0x03, 0x01]))),
    ("SM", 4, 0, deliver(CENTRE, "+393471234567", "240323101502", 4,
                         "è spostata alle 15:00 in sala B, ",
                         header=bytes([0x06, 0x08, 0x04, 0x12, 0x34, 0x03, 0x02]))),
    ("ME", 7, 0, deliver(CENTRE, "+393471234567", "240323101503", 4,
                         "porta i conti del trimestre. A dopo!",
                         header=bytes([0x06, 0x08, 0x04, 0x12, 0x34, 0x03, 0x03]))),
]

# samples/real-phones.state: what real phones store.  Status reports kept
# as received messages (stat 0/1), an SMS-SUBMIT kept as "REC READ", an
# SMS-DELIVER kept as "STO SENT", and stats no standard names (4, 24).
REAL_PHONES = [
    ("SM", 1, 0, status_report(CENTRE, "+393471234567", 0x2A, "240401101500", "240401101512", 8, 0x00)),
    ("SM", 2, 1, status_report(CENTRE, "+393401234567", 0x2B, "240402183000", "240402183005", 8, 0x20)),
    ("SM", 3, 1, status_report(CENTRE, "3331234567", 0x2C, "240403090000", "240404090001", 8, 0x46)),
    ("SM", 4, 1, submit(CENTRE, "+393479876543", "Ti chiamo appena arrivo a casa.", 0x2D)),
    ("SM", 5, 3, deliver(CENTRE, "+393281234567", "240405121314", 8, "Ok, a domani allora!")),
    ("SM", 6, 4, deliver(CENTRE, "+390123456789", "240406080910", 8, "Riunione spostata alle 15:00.")),
    ("SM", 7, 24, submit(CENTRE, "+393331112222", "Prenotato per le 21.", 0x2E)),
    ("SM", 9, 1, deliver(CENTRE, "+393471234567", "240407200000", 8, "Ciao, tutto bene?")),
    ("ME", 1, 1, status_report(CENTRE, "+393479876543", 0x2D, "240408110000", "240408110003", 8, 0x00)),
]

# The PDUs of the unsolicited +CMT and +CDS of the "urc" fault: 24 and 25
# octets after the service centre.
UNSOLICITED = [
    ("+CMT: ,24", deliver(CENTRE, "+393471234567", "240405101500", 8, "Ciao!")),
    ("+CDS: 25", status_report(CENTRE, "+393471234567", 0x2A, "240405101500", "240405101502", 8, 0x00)),
]

if __name__ == "__main__":
    which = sys.argv[1] if len(sys.argv) > 1 else "italian"
    if which == "unsolicited":
        for line, pdu in UNSOLICITED:
            assert int(line.split(",")[-1].split()[-1]) == len(pdu) // 2 - int(pdu[:2], 16) - 1
            print(line)
            print(pdu)
        sys.exit(0)
    messages = {"real-phones": REAL_PHONES, "long-messages": LONG_MESSAGES}.get(which, MESSAGES)
    for mem, index, stat, pdu in messages:
        print("sms.%s.%d = %d %s" % (mem, index, stat, pdu))
    sys.exit(0)
