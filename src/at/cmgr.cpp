// SPDX-License-Identifier: GPL-3.0-or-later
#include "at/cmgr.h"

#include "at/cpms.h"
#include "at/errors.h"

#include <QStringList>

#include <algorithm>

namespace at {

namespace {

constexpr int kMaxStat = 255;         // <stat> is one octet
constexpr int kMaxPduLength = 100000; // far above the 164 octets of a TPDU

bool isHex(QChar c)
{
    return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || (c >= QLatin1Char('A') && c <= QLatin1Char('F'))
           || (c >= QLatin1Char('a') && c <= QLatin1Char('f'));
}

// The answer's lines without their line ends; blank lines left out.
std::vector<QStringView> linesOf(const QString& answer)
{
    std::vector<QStringView> lines;
    for (QStringView line : QStringView(answer).split(QLatin1Char('\n'))) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (!line.trimmed().isEmpty())
            lines.push_back(line);
    }
    return lines;
}

bool isHeading(QStringView line, QLatin1String prefix)
{
    return line.trimmed().startsWith(prefix, Qt::CaseInsensitive);
}

QStringView parametersOf(QStringView line, QLatin1String prefix)
{
    line = line.trimmed();
    return line.mid(prefix.size());
}

int statOf(const QString& field) { return FieldNumber(field, kMaxStat).value_or(-1); }

// <length>, the last of at least `least` fields; -1 when there is none.
int lengthOf(const QStringList& fields, qsizetype least)
{
    return fields.size() >= least ? FieldNumber(fields.last(), kMaxPduLength).value_or(-1) : -1;
}

int hexValue(QChar c)
{
    const char16_t u = c.unicode();
    return u <= '9' ? u - '0' : (u | 0x20) - 'a' + 10;
}

// What a <length> counts of `pak`: the TPDU, as GSM 07.05 3.4.3 has it, or
// the whole PDU with its service-centre part, as some phones count it.
// Never both, the service-centre part being an octet at least; a PDU that
// is only its service-centre part counts nothing whole.
enum class Counted { Nothing, Tpdu, WholePdu };

Counted countedBy(QStringView pak, int length)
{
    if (length < 0 || pak.size() % 2 != 0 || pak.size() < 2 || !std::all_of(pak.begin(), pak.end(), isHex))
        return Counted::Nothing;
    const qsizetype octets = pak.size() / 2;
    const int serviceCentre = 1 + hexValue(pak.at(0)) * 16 + hexValue(pak.at(1));
    if (octets - serviceCentre == length)
        return Counted::Tpdu;
    if (octets == length && octets > serviceCentre)
        return Counted::WholePdu;
    return Counted::Nothing;
}

} // namespace

QString PduLine(QStringView line)
{
    qsizetype begin = 0;
    qsizetype end = line.size();
    while (begin < end && !isHex(line.at(begin)))
        ++begin;
    while (end > begin && !isHex(line.at(end - 1)))
        --end;
    return line.mid(begin, end - begin).toString().toUpper();
}

bool PduHasLength(QStringView pak, int length) { return countedBy(pak, length) != Counted::Nothing; }

CmgrAnswer ParseCmgr(const QString& answer, const QString& errorLine)
{
    static const QLatin1String prefix("+CMGR:");
    CmgrAnswer parsed;
    const bool invalidIndex = CmsError(answer) == kCmsInvalidIndex
                              || (answer.compare(QLatin1String("ERROR"), Qt::CaseInsensitive) == 0
                                  && CmsError(errorLine) == kCmsInvalidIndex);
    if (invalidIndex || answer.trimmed() == QLatin1String("OK")) {
        parsed.kind = CmgrAnswer::Empty;
        return parsed;
    }
    const std::vector<QStringView> lines = linesOf(answer);
    if (lines.empty() || !isHeading(lines.front(), prefix))
        return parsed;

    // <stat>,[<alpha>],<length>; a phone that leaves <alpha> out gives two.
    const QStringList fields = InfoFields(parametersOf(lines.front(), prefix));
    parsed.tipo = statOf(fields.value(0));
    if (fields.size() >= 3)
        parsed.alpha = fields.at(1);
    parsed.length = lengthOf(fields, 2);
    if (lines.size() >= 2)
        parsed.pak = PduLine(lines.at(1));
    if (parsed.length == 0 && parsed.pak.isEmpty())
        parsed.kind = CmgrAnswer::Empty;
    else
        parsed.kind = PduHasLength(parsed.pak, parsed.length) ? CmgrAnswer::Message : CmgrAnswer::Unreadable;
    return parsed;
}

std::vector<CmglEntry> ParseCmgl(const QString& answer)
{
    static const QLatin1String prefix("+CMGL:");
    std::vector<CmglEntry> entries;
    const std::vector<QStringView> lines = linesOf(answer);
    for (size_t i = 0; i < lines.size(); ++i) {
        if (!isHeading(lines[i], prefix))
            continue;
        const QStringList fields = InfoFields(parametersOf(lines[i], prefix));
        const std::optional<int> index = FieldNumber(fields.value(0), kMaxStoreCapacity);
        CmglEntry entry;
        if (i + 1 < lines.size() && !isHeading(lines[i + 1], prefix))
            entry.pak = PduLine(lines[++i]);
        if (!index)
            continue;
        entry.index = *index;
        entry.tipo = statOf(fields.value(1));
        entry.length = lengthOf(fields, 3);
        entries.push_back(entry);
    }
    return entries;
}

std::optional<std::vector<CmglEntry>> ParseCmglStore(const QString& answer, int capacity, int used)
{
    static const QLatin1String prefix("+CMGL:");
    std::vector<CmglEntry> entries;
    if (answer.trimmed() == QLatin1String("OK")) {
        if (used != 0)
            return std::nullopt;
        return entries;
    }
    const std::vector<QStringView> lines = linesOf(answer);
    if (lines.empty() || lines.size() % 2 != 0)
        return std::nullopt;
    std::vector<bool> seen(size_t(std::max(capacity, 0)) + 1, false);
    // A phone counts every <length> of its listing the same way: a PDU that
    // holds the other count is one cut short (or run long) to fit it.
    Counted counted = Counted::Nothing;
    for (size_t i = 0; i < lines.size(); i += 2) {
        if (!isHeading(lines[i], prefix) || isHeading(lines[i + 1], prefix))
            return std::nullopt;
        const QStringList fields = InfoFields(parametersOf(lines[i], prefix));
        const std::optional<int> index = FieldNumber(fields.value(0), std::min(capacity, kMaxStoreCapacity));
        if (fields.size() < 2 || !index || *index < 1 || seen[size_t(*index)])
            return std::nullopt;
        seen[size_t(*index)] = true;
        CmglEntry entry;
        entry.index = *index;
        entry.tipo = statOf(fields.at(1));
        entry.length = lengthOf(fields, 3);
        entry.pak = PduLine(lines[i + 1]);
        const Counted count = countedBy(entry.pak, entry.length);
        if (count == Counted::Nothing || (counted != Counted::Nothing && count != counted))
            return std::nullopt;
        counted = count;
        entries.push_back(entry);
    }
    // A message left out, or a stray final line that ended the listing early.
    if (entries.size() != size_t(std::max(used, 0)))
        return std::nullopt;
    return entries;
}

CmgrAnswer AsCmgr(const CmglEntry& entry)
{
    CmgrAnswer answer;
    answer.kind = CmgrAnswer::Message;
    answer.tipo = entry.tipo;
    answer.length = entry.length;
    answer.pak = entry.pak;
    return answer;
}

} // namespace at
