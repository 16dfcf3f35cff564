#include "phonebook/rows.h"

#include "phonebook/windows1252.h"

#include <climits>
#include <cstdlib>

namespace {

// Widths beyond this are not a phone's answer; they would only make
// rows of megabytes.
constexpr long long kMaxWidth = 1000;

// The index written in D digits with leading zeros, "/" and the last index.
QString indexColumn(const PhonebookSize& size, int index)
{
    const QString last = QString::number(size.lastIndex);
    return QStringLiteral("%1/%2").arg(index, int(last.size()), 10, QLatin1Char('0')).arg(last);
}

QString padded(const QString& field, int width)
{
    return field + QString(std::abs(width - int(field.size())), QLatin1Char(' '));
}

QString frameRow(const PhonebookSize& size, QChar joint)
{
    const int digits = int(QString::number(size.lastIndex).size());
    return QString(2 * digits + 2, kDash) + joint + QString(size.numberLength + 2, kDash) + joint
           + QString(2 * size.numberLength, kDash);
}

} // namespace


PhonebookSize ParsePhonebookSize(const QString& answer)
{
    PhonebookSize size;
    const qsizetype open = answer.indexOf(QLatin1Char('('));
    const qsizetype close = answer.indexOf(QLatin1Char(')'));
    if (open < 0 || close < open)
        return size;
    const QString range = answer.mid(open + 1, close - open - 1);
    const qsizetype dash = range.indexOf(QLatin1Char('-'));
    // The number length starts two characters after ")" (past its comma).
    const qsizetype comma = answer.indexOf(QLatin1Char(','), close + 2);
    if (dash < 0 || comma < 0)
        return size;
    const long long last = LeadingNumber(range.mid(dash + 1));
    const long long numberLength = LeadingNumber(answer.mid(close + 2, comma - close - 2));
    const long long nameLength = LeadingNumber(answer.mid(comma + 1));
    if (last < 1 || last > INT_MAX || numberLength < 0 || numberLength > kMaxWidth
        || nameLength < 0 || nameLength > kMaxWidth)
        return size;
    size.valid = true;
    size.lastIndex = int(last);
    size.numberLength = int(numberLength);
    size.nameLength = int(nameLength);
    return size;
}

PhonebookEntry ParsePhonebookEntry(const QString& answer)
{
    static const QString commaQuote = QStringLiteral(",\"");
    static const QString quoteComma = QStringLiteral("\",");
    PhonebookEntry entry;
    const qsizetype beforeNumber = answer.indexOf(commaQuote);
    if (beforeNumber < 0)
        return entry;
    const qsizetype numberStart = beforeNumber + 2;
    const qsizetype afterNumber = answer.indexOf(quoteComma, numberStart);
    if (afterNumber < 0)
        return entry;
    // The type lies between the number and the name; skip it.
    const qsizetype beforeName = answer.indexOf(commaQuote, afterNumber + 1);
    if (beforeName < 0)
        return entry;
    const qsizetype nameStart = beforeName + 2;
    const qsizetype afterName = answer.indexOf(QLatin1Char('"'), nameStart);
    if (afterName < 0)
        return entry;
    entry.valid = true;
    entry.number = answer.mid(numberStart, afterNumber - numberStart);
    entry.name = answer.mid(nameStart, afterName - nameStart);
    return entry;
}

QString HeaderRow(const PhonebookSize& size) { return frameRow(size, kTop); }

QString FooterRow(const PhonebookSize& size) { return frameRow(size, kBottom); }

QString EntryRow(const PhonebookSize& size, int index, const QString& number, const QString& name)
{
    return indexColumn(size, index) + QStringLiteral(" ") + kTee + QStringLiteral(" ")
           + padded(number, size.numberLength) + QStringLiteral(" ") + kBar + QStringLiteral(" ")
           + padded(name, size.nameLength);
}

QString EmptySlotRow(const PhonebookSize& size, int index)
{
    return EntryRow(size, index, QString(), QString());
}

std::optional<QString> PickedRecipient(const QString& row)
{
    if (row.startsWith(kDash))
        return std::nullopt;
    const qsizetype tee = row.indexOf(kTee);
    if (tee < 0)
        return std::nullopt;
    return row.mid(tee + 2);
}

bool IsRdsName(const QString& fileName)
{
    return Windows1252Upper(fileName).contains(QLatin1String(".RDS"));
}

QString RdsSaveName(const QString& fileName)
{
    return IsRdsName(fileName) ? fileName : fileName + QStringLiteral(".rds");
}

QByteArray RdsLine(const QString& row) { return ToWindows1252(row) + "\r\n"; }

QStringList RdsRows(const QByteArray& bytes)
{
    QStringList rows;
    qsizetype start = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char c = bytes.at(i);
        if (c != '\r' && c != '\n')
            continue;
        rows.append(FromWindows1252(bytes.mid(start, i - start)));
        if (c == '\r' && i + 1 < bytes.size() && bytes.at(i + 1) == '\n')
            ++i;
        start = i + 1;
    }
    if (start < bytes.size())
        rows.append(FromWindows1252(bytes.mid(start)));
    return rows;
}
