// SPDX-License-Identifier: GPL-3.0-or-later
#include "at/cpbr.h"

#include "at/unsolicited.h"

#include <algorithm>
#include <optional>

namespace at {

namespace {

constexpr int kMaxLastIndex = 10000;
constexpr int kMaxNumberLength = 80;
constexpr int kMaxNameLength = 250;
constexpr int kMaxType = 255; // one octet, GSM 04.08 10.5.4.7

const QLatin1String kPrefix("+CPBR:");

bool isBlank(QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); }

// The line of `answer` that starts with "+CPBR:" (blanks before it allowed),
// from just after the prefix; nothing when no line does.
std::optional<QStringView> prefixedLine(const QString& answer)
{
    qsizetype start = 0;
    while (start <= answer.size()) {
        qsizetype end = start;
        while (end < answer.size() && answer.at(end) != QLatin1Char('\r') && answer.at(end) != QLatin1Char('\n'))
            ++end;
        QStringView line = QStringView(answer).mid(start, end - start);
        while (!line.isEmpty() && isBlank(line.front()))
            line = line.mid(1);
        if (line.startsWith(kPrefix, Qt::CaseInsensitive))
            return line.mid(kPrefix.size());
        start = end + 1;
    }
    return std::nullopt;
}

// Reads an answer left to right; every read skips the blanks before it.
class Cursor {
public:
    explicit Cursor(QStringView text) : m_text(text) {}

    void skipBlanks()
    {
        while (m_pos < m_text.size() && isBlank(m_text.at(m_pos)))
            ++m_pos;
    }
    bool atEnd()
    {
        skipBlanks();
        return m_pos >= m_text.size();
    }
    // Whether a quoted field comes next.
    bool quoted()
    {
        skipBlanks();
        return m_pos < m_text.size() && m_text.at(m_pos) == QLatin1Char('"');
    }
    bool take(QChar c)
    {
        skipBlanks();
        if (m_pos >= m_text.size() || m_text.at(m_pos) != c)
            return false;
        ++m_pos;
        return true;
    }
    // Decimal digits worth at most `max`; nothing for no digits or more.
    std::optional<int> number(int max)
    {
        skipBlanks();
        long long value = 0;
        const qsizetype begin = m_pos;
        for (; m_pos < m_text.size() && m_text.at(m_pos).isDigit() && m_text.at(m_pos).unicode() < 0x80; ++m_pos) {
            value = value * 10 + (m_text.at(m_pos).unicode() - '0');
            if (value > max)
                return std::nullopt;
        }
        if (m_pos == begin)
            return std::nullopt;
        return int(value);
    }
    // One field up to its comma (not taken) or the end. A quoted field ends
    // at the quote that only blanks separate from a comma or the end, so a
    // name may hold commas and quotes; an unquoted one is trimmed of blanks.
    std::optional<QString> field()
    {
        skipBlanks();
        if (m_pos < m_text.size() && m_text.at(m_pos) == QLatin1Char('"')) {
            for (qsizetype close = m_pos + 1; close < m_text.size(); ++close) {
                if (m_text.at(close) != QLatin1Char('"'))
                    continue;
                qsizetype after = close + 1;
                while (after < m_text.size() && isBlank(m_text.at(after)))
                    ++after;
                if (after == m_text.size() || m_text.at(after) == QLatin1Char(',')) {
                    const QString value = m_text.mid(m_pos + 1, close - m_pos - 1).toString();
                    m_pos = after;
                    return value;
                }
            }
            return std::nullopt; // no closing quote
        }
        const qsizetype begin = m_pos;
        while (m_pos < m_text.size() && m_text.at(m_pos) != QLatin1Char(','))
            ++m_pos;
        QStringView value = m_text.mid(begin, m_pos - begin);
        while (!value.isEmpty() && isBlank(value.back()))
            value.chop(1);
        return value.toString();
    }

private:
    QStringView m_text;
    qsizetype m_pos = 0;
};

// A number as phones keep it: dial digits (0-9 * # + A-D, GSM 07.07 6.2),
// pauses, blanks, or the hex of a UCS2 read; empty too.
bool isNumber(const QString& field)
{
    static const QString dial = QStringLiteral("0123456789+*#pPwW ABCDEFabcdef");
    return std::all_of(field.begin(), field.end(), [](QChar c) { return dial.contains(c); });
}

// <number>,<type>,<text>, then the end or further fields (hidden, group, a
// date...), which are passed over.
bool readFields(Cursor& cursor, CpbrEntry& entry)
{
    const std::optional<QString> number = cursor.field();
    if (!number || !cursor.take(QLatin1Char(',')))
        return false;
    const std::optional<QString> typeField = cursor.field();
    if (!typeField || !cursor.take(QLatin1Char(',')))
        return false;
    int type = 0;
    if (!typeField->isEmpty()) {
        Cursor typeCursor(*typeField);
        const std::optional<int> value = typeCursor.number(kMaxType);
        if (!value || !typeCursor.atEnd())
            return false;
        type = *value;
    }
    const std::optional<QString> name = cursor.field();
    if (!name || (!cursor.atEnd() && !cursor.take(QLatin1Char(','))))
        return false;
    entry.number = *number;
    entry.type = type;
    entry.name = *name;
    return true;
}

} // namespace

CpbrRange ParseCpbrRange(const QString& answer)
{
    CpbrRange range;
    const std::optional<QStringView> line = prefixedLine(answer);
    if (!line)
        return range;
    Cursor cursor(*line);
    if (!cursor.take(QLatin1Char('(')))
        return range;
    const std::optional<int> first = cursor.number(kMaxLastIndex);
    if (!first || !cursor.take(QLatin1Char('-')))
        return range;
    const std::optional<int> last = cursor.number(kMaxLastIndex);
    if (!last || !cursor.take(QLatin1Char(')')) || !cursor.take(QLatin1Char(',')))
        return range;
    const std::optional<int> numberLength = cursor.number(kMaxNumberLength);
    if (!numberLength || !cursor.take(QLatin1Char(',')))
        return range;
    const std::optional<int> nameLength = cursor.number(kMaxNameLength);
    if (!nameLength || !(cursor.atEnd() || cursor.take(QLatin1Char(','))))
        return range;
    if (*last < 1 || *first > *last)
        return range;
    range.valid = true;
    range.first = *first;
    range.last = *last;
    range.numberLength = *numberLength;
    range.nameLength = *nameLength;
    return range;
}

CpbrEntry ParseCpbrEntry(const QString& line)
{
    CpbrEntry entry;
    const std::optional<QStringView> rest = prefixedLine(line);
    if (!rest)
        return entry;
    Cursor cursor(*rest);
    const std::optional<int> index = cursor.number(kMaxLastIndex);
    if (!index || !cursor.take(QLatin1Char(',')))
        return entry;
    // Some phones leave the field after the index empty and give the number
    // after it: '1,,"+31234657899",145,"Mama GSM","2007/11/02,09:27"'. A
    // <type> is never quoted (GSM 07.07 8.12: an integer), so an empty field
    // and a quoted number after it are read so, and only they.
    Cursor gap = cursor;
    bool gapped = gap.take(QLatin1Char(',')) && gap.quoted();
    if (gapped) {
        Cursor probe = gap;
        const std::optional<QString> number = probe.field();
        gapped = number && isNumber(*number);
    }
    if (!readFields(gapped ? gap : cursor, entry))
        return entry;
    entry.valid = true;
    entry.index = *index;
    return entry;
}

std::optional<std::vector<CpbrEntry>> ParseCpbrEntries(const QString& answer, int first, int last)
{
    const QString echo = QStringLiteral("AT+CPBR=%1,%2").arg(first).arg(last);
    std::vector<CpbrEntry> entries;
    qsizetype start = 0;
    while (start < answer.size()) {
        qsizetype end = start;
        while (end < answer.size() && answer.at(end) != QLatin1Char('\r') && answer.at(end) != QLatin1Char('\n'))
            ++end;
        const QStringView line = QStringView(answer).mid(start, end - start).trimmed();
        start = end + 1;
        if (line.isEmpty() || line.compare(echo, Qt::CaseInsensitive) == 0 || IsUnsolicited(line.toString(), echo))
            continue;
        // Any other line that is no entry (an error, an entry line whose
        // start was lost) may stand for an entry: the answer is no list.
        if (!line.startsWith(kPrefix, Qt::CaseInsensitive))
            return std::nullopt;
        const CpbrEntry entry = ParseCpbrEntry(line.toString());
        if (!entry.valid)
            return std::nullopt;
        const int floor = entries.empty() ? first : entries.back().index + 1;
        if (entry.index < floor || entry.index > last)
            return std::nullopt;
        entries.push_back(entry);
    }
    return entries;
}

} // namespace at
