// SPDX-License-Identifier: GPL-3.0-or-later
// The message archive as a file: what it writes reads back the same, a
// sender's text cannot make a line of its own, and a file that is no whole
// archive is refused with the line that is wrong.
#include "phone/messages/archive.h"

#include <gtest/gtest.h>

namespace {

using store::ArchivedMessage;

QString u(const char* utf8) { return QString::fromUtf8(utf8); }

const char* const Deliver =
    "0791933395066900040C9193431732547600004230518124704032C374F81D020DD3207B999C0EB7DFA0393D3C2FCB"
    "C3A0309B5D06C960BA190C146683E66F769AFE0689C3F21F";
const char* const Submit =
    "079193339506690011000C919333131122220000AA3241B93C6D7F83E8F230889C2E8FD3A076DA5DA7A759A0F01C5E"
    "A6D3C3ED34881CB687DDF43428CC0689C37217";

TEST(ArchiveFormat, WhatIsWrittenReadsBackTheSame)
{
    const std::vector<ArchivedMessage> messages = {
        {true, 1, 1, Deliver, {u("Da: +393471234567 (Marco Rossi)"), u("Testo: Ciao! è già l'ora")}},
        {true, 20, 0, Deliver, {}},
        {false, 150, 3, Submit, {u("A: +393331112222")}},
        {false, 7, -1, "0001000081000000", {}}, // no status given
        {true, 2, 255, "00040B0000", {}},       // a status no phone should give, kept as given
        // A sender's text that tries to make lines of its own.
        {false, 1, 2, Submit, {u("Testo: riga\nsms SM 1 1 0011\r\nfine 1\rZIRCALO\x0b x\u2028sms ME 2 0 00")}},
    };
    const QByteArray text = store::ArchiveText(messages);
    EXPECT_TRUE(text.startsWith("ZIRCALO archivio sms 1\n"));
    EXPECT_TRUE(text.endsWith("\nfine 6\n"));
    // Every line a sender wrote is a note.
    for (const QByteArray& line : text.split('\n')) {
        EXPECT_TRUE(line.isEmpty() || line.startsWith("#") || line.startsWith("sms ") || line.startsWith("fine ")
                    || line.startsWith("ZIRCALO"))
            << line.toStdString();
    }
    EXPECT_TRUE(text.contains("\n#   sms SM 1 1 0011\n")) << text.toStdString();
    const store::ArchiveRead read = store::ReadArchive(text);
    ASSERT_TRUE(read.ok) << read.why.toStdString();
    ASSERT_EQ(read.messages.size(), messages.size());
    for (size_t i = 0; i < messages.size(); ++i) {
        EXPECT_TRUE(store::SameArchived(read.messages[i], messages[i])) << i;
        EXPECT_TRUE(read.messages[i].notes.isEmpty());
    }
    // An archive of no message is one too.
    const store::ArchiveRead none = store::ReadArchive(store::ArchiveText({}));
    EXPECT_TRUE(none.ok);
    EXPECT_TRUE(none.messages.empty());
}

TEST(ArchiveFormat, WhatIsNoWholeArchiveIsRefused)
{
    const QByteArray head = "ZIRCALO archivio sms 1\n";
    const QByteArray one = "sms SM 3 1 0011000081000000\n";
    struct Case {
        const char* name;
        QByteArray file;
        const char* why; // empty: read
    } const cases[] = {
        {"whole", head + one + "fine 1\n", ""},
        {"CR LF line ends", "ZIRCALO archivio sms 1\r\nsms ME 1 - 0011000081000000\r\nfine 1\r\n", ""},
        {"a byte-order mark", "\xEF\xBB\xBF" + head + "fine 0\n", ""},
        {"notes after the count", head + one + "fine 1\n# fine\n", ""},
        {"empty file", "", "non è un archivio sms"},
        {"a CSV export", "Memoria;Posizione\n", "non è un archivio sms"},
        {"cut before the count", head + one, "archivio incompleto"},
        {"a count that is not the messages'", head + one + "fine 2\n", "riga 3 non leggibile"},
        {"a message after the count", head + "fine 0\n" + one, "riga 3 non leggibile"},
        {"another store", head + "sms SR 1 1 0011000081000000\nfine 1\n", "riga 2 non leggibile"},
        {"slot 0", head + "sms SM 0 1 0011000081000000\nfine 1\n", "riga 2 non leggibile"},
        {"status 256", head + "sms SM 1 256 0011000081000000\nfine 1\n", "riga 2 non leggibile"},
        {"a sign in the slot", head + "sms SM +1 1 0011000081000000\nfine 1\n", "riga 2 non leggibile"},
        {"an odd PDU", head + "sms SM 1 1 001100008100000\nfine 1\n", "riga 2 non leggibile"},
        {"lower-case hex", head + "sms SM 1 1 0011000081000a00\nfine 1\n", "riga 2 non leggibile"},
        {"only a service centre", head + "sms SM 1 1 0191\nfine 1\n", "riga 2 non leggibile"},
        {"two blanks", head + "sms SM  1 1 0011000081000000\nfine 1\n", "riga 2 non leggibile"},
        {"a field more", head + "sms SM 1 1 0011000081000000 x\nfine 1\n", "riga 2 non leggibile"},
    };
    for (const Case& c : cases) {
        const store::ArchiveRead read = store::ReadArchive(c.file);
        EXPECT_EQ(read.ok, QByteArray(c.why).isEmpty()) << c.name;
        EXPECT_EQ(read.why, u(c.why)) << c.name;
        if (!read.ok) {
            EXPECT_TRUE(read.messages.empty()) << c.name;
        }
    }
}

// "+CMGW=<length>" counts the octets after the service-centre part (GSM
// 07.05 3.5.3).
TEST(ArchiveFormat, LengthOfTheWrite)
{
    const std::vector<std::pair<QString, int>> cases = {
        {Deliver, 63}, {Submit, 58}, {"0001000081000000", 7}, {"0011", 1}, {"0191", -1}, {"07919333", -1}, {"001", -1},
        {"", -1},      {"00XX", -1},
    };
    for (const auto& [pdu, length] : cases)
        EXPECT_EQ(store::TpduLength(pdu), length) << pdu.toStdString();
}

} // namespace
