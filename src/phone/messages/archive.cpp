// SPDX-License-Identifier: GPL-3.0-or-later
#include "phone/messages/archive.h"

#include <algorithm>

namespace store {

namespace {

const QLatin1String kFirstLine("ZIRCALO archivio sms 1");
const QLatin1String kEnd("fine ");
constexpr int kMaxSlot = 10000;
// A PDU holds at most a service-centre part of 12 octets and a TPDU of 164.
constexpr int kMaxPduDigits = 2 * (12 + 164);

bool isHex(const QString& text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) {
        return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || (c >= QLatin1Char('A') && c <= QLatin1Char('F'));
    });
}

// A number of plain digits from 0 to `max`; -1 for anything else.
int plainNumber(const QString& text, int max)
{
    if (text.isEmpty() || text.size() > 6
        || !std::all_of(text.begin(), text.end(), [](QChar c) { return c.isDigit() && c.unicode() < 128; }))
        return -1;
    const int value = text.toInt();
    return value <= max ? value : -1;
}

// A note as "#" lines: one a line of its text, every control character
// (a line break among them) ending a line, so that no text of a sender
// can start a line of its own.
void writeNote(QByteArray& out, const QString& note)
{
    QString line;
    bool first = true;
    QChar before;
    for (const QChar c : note) {
        const char16_t u = c.unicode();
        const bool breaks = u < 0x20 || (u >= 0x7F && u < 0xA0) || u == 0x2028 || u == 0x2029;
        if (breaks && !(u == u'\n' && before == QLatin1Char('\r'))) {
            out += (first ? "# " : "#   ") + line.toUtf8() + "\n";
            line.clear();
            first = false;
        } else if (!breaks) {
            line += c;
        }
        before = c;
    }
    out += (first ? "# " : "#   ") + line.toUtf8() + "\n";
}

} // namespace

bool SameArchived(const ArchivedMessage& a, const ArchivedMessage& b)
{
    return a.sim == b.sim && a.slot == b.slot && a.status == b.status && a.pdu == b.pdu;
}

QByteArray ArchiveText(const std::vector<ArchivedMessage>& messages)
{
    QByteArray out = QByteArray(kFirstLine.data(), kFirstLine.size()) + "\n";
    out += "# Una riga \"sms\" per messaggio: memoria (SM la SIM, ME il cellulare), posizione, stato\n"
           "# (0 nuovo, 1 letto, 2 da inviare, 3 inviato, - nessuno), il PDU com'era sul cellulare.\n"
           "# Le righe che cominciano con # sono per chi legge e non vengono rilette.\n";
    for (const ArchivedMessage& message : messages) {
        out += "\nsms " + QByteArray(message.sim ? "SM" : "ME") + " " + QByteArray::number(message.slot) + " "
               + (message.status < 0 ? QByteArray("-") : QByteArray::number(message.status)) + " "
               + message.pdu.toLatin1() + "\n";
        for (const QString& note : message.notes)
            writeNote(out, note);
    }
    out += "\n" + QByteArray(kEnd.data(), kEnd.size()) + QByteArray::number(qsizetype(messages.size())) + "\n";
    return out;
}

ArchiveRead ReadArchive(const QByteArray& bytes)
{
    ArchiveRead read;
    QString text = QString::fromUtf8(bytes);
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    const QStringList lines = text.split(QLatin1Char('\n'));
    const auto fail = [&](const QString& why) {
        read.messages.clear();
        read.why = why;
        return read;
    };
    const auto unreadable = [&](qsizetype line) { return fail(QStringLiteral("riga %1 non leggibile").arg(line + 1)); };
    const auto lineAt = [&](qsizetype i) {
        QString line = lines.at(i);
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        return line;
    };
    if (lines.isEmpty() || lineAt(0) != kFirstLine)
        return fail(QStringLiteral("non è un archivio sms"));
    bool ended = false;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QString line = lineAt(i);
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        if (ended)
            return unreadable(i); // nothing but notes after the count
        if (line.startsWith(kEnd)) {
            if (plainNumber(line.mid(kEnd.size()), 1000000) != int(read.messages.size()))
                return unreadable(i);
            ended = true;
            continue;
        }
        const QStringList fields = line.split(QLatin1Char(' '));
        if (fields.size() != 5 || fields[0] != QLatin1String("sms"))
            return unreadable(i);
        ArchivedMessage message;
        if (fields[1] == QLatin1String("SM"))
            message.sim = true;
        else if (fields[1] == QLatin1String("ME"))
            message.sim = false;
        else
            return unreadable(i);
        message.slot = plainNumber(fields[2], kMaxSlot);
        message.status = fields[3] == QLatin1String("-") ? -1 : plainNumber(fields[3], 255);
        message.pdu = fields[4];
        if (message.slot < 1 || (message.status < 0 && fields[3] != QLatin1String("-"))
            || message.pdu.size() > kMaxPduDigits || !isHex(message.pdu) || TpduLength(message.pdu) < 1)
            return unreadable(i);
        read.messages.push_back(message);
    }
    if (!ended)
        return fail(QStringLiteral("archivio incompleto"));
    read.ok = true;
    return read;
}

int TpduLength(const QString& pdu)
{
    if (pdu.size() < 2 || pdu.size() % 2 != 0 || !isHex(pdu))
        return -1;
    bool ok = false;
    const int serviceCentre = pdu.left(2).toInt(&ok, 16);
    const int octets = int(pdu.size() / 2);
    const int tpdu = octets - 1 - serviceCentre;
    return ok && tpdu > 0 ? tpdu : -1;
}

} // namespace store
