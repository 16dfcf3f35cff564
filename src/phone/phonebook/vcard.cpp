// SPDX-License-Identifier: GPL-3.0-or-later
#include "phone/phonebook/vcard.h"

#include "at/glyphs.h"
#include "phone/phonebook/book_rows.h"

namespace {

// Cuts a line into pieces of at most 75 octets, the later ones after CR LF
// and a blank (RFC 2425 5.8.1), never inside a UTF-8 character.
QByteArray folded(const QString& line)
{
    const QByteArray bytes = line.toUtf8();
    QByteArray out;
    qsizetype start = 0;
    qsizetype limit = 75;
    while (bytes.size() - start > limit) {
        qsizetype cut = start + limit;
        while (cut > start && (uchar(bytes.at(cut)) & 0xC0) == 0x80)
            --cut; // a continuation byte: the character starts earlier
        out += bytes.mid(start, cut - start) + "\r\n ";
        start = cut;
        limit = 74; // the blank counts
    }
    out += bytes.mid(start) + "\r\n";
    return out;
}

} // namespace

std::vector<PhonebookEntry> EntriesOfRows(const QStringList& rows)
{
    std::vector<PhonebookEntry> entries;
    for (const QString& row : rows) {
        const std::optional<BookRowFields> fields = BookRowFieldsOf(row);
        if (fields && (!fields->number.isEmpty() || !fields->name.isEmpty()))
            entries.push_back({fields->name, fields->number});
    }
    return entries;
}

QString VCardText(const QString& value)
{
    QString out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value.at(i);
        if (c == QLatin1Char('\\') || c == QLatin1Char(',') || c == QLatin1Char(';')) {
            out += QLatin1Char('\\');
            out += c;
        } else if (c == QLatin1Char('\r')) {
            out += QLatin1String("\\n");
            if (i + 1 < value.size() && value.at(i + 1) == QLatin1Char('\n'))
                ++i;
        } else if (c == QLatin1Char('\n')) {
            out += QLatin1String("\\n");
        } else {
            out += c;
        }
    }
    return out;
}

QByteArray VCards(const std::vector<PhonebookEntry>& entries)
{
    QByteArray out;
    for (const PhonebookEntry& entry : entries) {
        const QString shown = VCardText(entry.name.isEmpty() ? entry.number : entry.name);
        out += folded(QStringLiteral("BEGIN:VCARD"));
        out += folded(QStringLiteral("VERSION:3.0"));
        out += folded(QStringLiteral("FN:") + shown);
        out += folded(QStringLiteral("N:") + VCardText(entry.name) + QStringLiteral(";;;;"));
        if (!entry.number.isEmpty())
            out += folded(QStringLiteral("TEL;TYPE=VOICE:") + VCardText(entry.number));
        out += folded(QStringLiteral("END:VCARD"));
    }
    return out;
}
