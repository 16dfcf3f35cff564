// SPDX-License-Identifier: GPL-3.0-or-later
#include "phone/phonebook/book_rows.h"

#include "at/glyphs.h"
#include "at/numbers.h"
#include "at/windows1252.h"
#include "pdu/pdu.h"

#include <QRegularExpression>

#include <cstdlib>

namespace {

const QByteArray kUtf8Mark("\xEF\xBB\xBF");

// The index written in D digits with leading zeros, "/" and the last index.
QString indexColumn(const at::CpbrRange& size, int index)
{
    const QString last = QString::number(size.last);
    return QStringLiteral("%1/%2").arg(index, int(last.size()), 10, QLatin1Char('0')).arg(last);
}

QString padded(const QString& field, int width)
{
    return field + QString(std::abs(width - int(field.size())), QLatin1Char(' '));
}

QString frameRow(const at::CpbrRange& size, QChar joint)
{
    const int digits = int(QString::number(size.last).size());
    return QString(2 * digits + 2, at::kDash) + joint + QString(size.numberLength + 2, at::kDash) + joint
           + QString(2 * size.numberLength, at::kDash);
}

int hexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    return -1;
}

bool dialable(QChar c)
{
    return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('+') || c == QLatin1Char('*')
           || c == QLatin1Char('#');
}

} // namespace

QString HeaderRow(const at::CpbrRange& size) { return frameRow(size, at::kTop); }

QString FooterRow(const at::CpbrRange& size) { return frameRow(size, at::kBottom); }

QString EntryRow(const at::CpbrRange& size, int index, const QString& number, const QString& name)
{
    return indexColumn(size, index) + QStringLiteral(" ") + at::kTee + QStringLiteral(" ")
           + padded(WithoutControls(number), size.numberLength) + QStringLiteral(" ") + at::kBar + QStringLiteral(" ")
           + padded(WithoutControls(name), size.nameLength);
}

QString WithoutControls(const QString& text)
{
    QString blanked = text;
    for (QChar& c : blanked) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            c = QLatin1Char(' ');
    }
    return blanked;
}

bool IsBookRow(const QString& row)
{
    if (row.isEmpty())
        return true;
    // Header and footer: 2D+2 dashes, a joint, W+2 dashes, the same joint,
    // 2W dashes.
    static const QRegularExpression frame(QStringLiteral("^\u00C4+([\u00C2\u00C1])\u00C4+\\1\u00C4*$"));
    // Entry and empty slot: "007/250 ´ " number " ³ " name.
    static const QRegularExpression entry(QStringLiteral("^[0-9]+/[0-9]+ \u00B4 .* \u00B3 "));
    if (row.front() == at::kDash)
        return frame.match(row).hasMatch();
    return entry.match(row).hasMatch() && WithoutControls(row) == row;
}

QString EmptySlotRow(const at::CpbrRange& size, int index) { return EntryRow(size, index, QString(), QString()); }

std::optional<QString> Ucs2Hex(const QString& hex)
{
    if (hex.size() % 4 != 0)
        return std::nullopt;
    QString text;
    text.reserve(hex.size() / 4);
    for (qsizetype i = 0; i < hex.size(); i += 4) {
        char16_t unit = 0;
        for (const QChar c : QStringView(hex).mid(i, 4)) {
            const int digit = hexDigit(c);
            if (digit < 0)
                return std::nullopt;
            unit = char16_t(unit << 4 | digit);
        }
        text.append(QChar(unit));
    }
    return text;
}

std::optional<QString> PhonebookName(const QString& field, bool ucs2)
{
    if (!ucs2)
        return GsmText(field);
    return Ucs2Hex(field);
}

QString PhonebookNumber(const QString& field, bool ucs2)
{
    if (!ucs2 || field.isEmpty())
        return field;
    const std::optional<QString> decoded = Ucs2Hex(field);
    if (!decoded)
        return field;
    for (const QChar c : *decoded) {
        if (!dialable(c))
            return field;
    }
    return *decoded;
}

QString BookReadStatus(int unread, int undecoded, bool charsetRestored)
{
    QStringList missing;
    if (unread > 0)
        missing << (unread == 1 ? QStringLiteral("1 voce non letta") : QStringLiteral("%1 voci non lette").arg(unread));
    if (undecoded > 0)
        missing << (undecoded == 1 ? QStringLiteral("1 nome non decodificato, mostrato come inviato")
                                   : QStringLiteral("%1 nomi non decodificati, mostrati come inviati").arg(undecoded));
    if (missing.isEmpty())
        return charsetRestored ? QStringLiteral("Lettura rubriche terminata..")
                               : QStringLiteral("Lettura rubriche terminata, ma il cellulare non torna al set GSM..");
    if (!charsetRestored)
        missing << QStringLiteral("il cellulare non torna al set GSM");
    return (unread > 0 ? QStringLiteral("Lettura rubriche incompleta: ")
                       : QStringLiteral("Lettura rubriche terminata, ma "))
           + missing.join(QStringLiteral("; ")) + QStringLiteral("..");
}

std::optional<QString> NameInRow(const QString& row, const QString& needle, int lungNumero, int lungNome)
{
    // Only the number column counts: found anywhere else in the row (inside
    // a name such as "Info TIM", or in the index column) the text would give
    // whatever stands lungNumero + 3 characters further on as the name.
    const qsizetype bar = row.indexOf(QStringLiteral("\u00B4 "));
    if (bar < 0)
        return std::nullopt;
    const qsizetype at = bar + 2;
    if (QStringView(row).mid(at, needle.size()).compare(needle, Qt::CaseInsensitive) != 0)
        return std::nullopt;
    const qsizetype start = at + lungNumero + 3;
    if (lungNome <= 0 || start >= row.size())
        return QString();
    return row.mid(start, lungNome);
}

std::optional<BookRowFields> BookRowFieldsOf(const QString& row)
{
    if (row.startsWith(at::kDash))
        return std::nullopt;
    const QString tee = QString(at::kTee) + QLatin1Char(' ');
    const QString bar = QLatin1Char(' ') + QString(at::kBar) + QLatin1Char(' ');
    const qsizetype head = row.indexOf(tee);
    if (head < 0)
        return std::nullopt;
    const qsizetype start = head + tee.size();
    const qsizetype split = row.indexOf(bar, start);
    if (split < 0)
        return std::nullopt;
    BookRowFields fields;
    fields.index = int(at::LeadingNumber(row));
    fields.number = row.mid(start, split - start).trimmed();
    fields.name = row.mid(split + bar.size());
    while (fields.name.endsWith(QLatin1Char(' ')))
        fields.name.chop(1);
    return fields;
}

std::optional<QString> PickedRecipient(const QString& row)
{
    if (row.startsWith(at::kDash))
        return std::nullopt;
    const qsizetype tee = row.indexOf(at::kTee);
    if (tee < 0)
        return std::nullopt;
    return row.mid(tee + 2);
}

bool IsRdsName(const QString& fileName) { return Windows1252Upper(fileName).contains(QLatin1String(".RDS")); }

QString RdsSaveName(const QString& fileName)
{
    return IsRdsName(fileName) ? fileName : fileName + QStringLiteral(".rds");
}

RdsEncoding RdsEncodingFor(const QStringList& rows)
{
    for (const QString& row : rows) {
        for (const QChar c : row) {
            if (!InWindows1252(c))
                return RdsEncoding::Utf8;
        }
    }
    return RdsEncoding::Windows1252;
}

QByteArray RdsPreamble(RdsEncoding encoding) { return encoding == RdsEncoding::Utf8 ? kUtf8Mark : QByteArray(); }

QByteArray RdsLine(const QString& row, RdsEncoding encoding)
{
    return (encoding == RdsEncoding::Utf8 ? row.toUtf8() : ToWindows1252(row)) + "\r\n";
}

QStringList RdsRows(const QByteArray& bytes)
{
    const bool utf8 = bytes.startsWith(kUtf8Mark);
    const auto decode = [utf8](QByteArrayView line) {
        return utf8 ? QString::fromUtf8(line) : FromWindows1252(line.toByteArray());
    };
    QStringList rows;
    qsizetype start = utf8 ? kUtf8Mark.size() : 0;
    for (qsizetype i = start; i < bytes.size(); ++i) {
        const char c = bytes.at(i);
        if (c != '\r' && c != '\n')
            continue;
        rows.append(decode(QByteArrayView(bytes).sliced(start, i - start)));
        if (c == '\r' && i + 1 < bytes.size() && bytes.at(i + 1) == '\n')
            ++i;
        start = i + 1;
    }
    if (start < bytes.size())
        rows.append(decode(QByteArrayView(bytes).sliced(start)));
    return rows;
}
