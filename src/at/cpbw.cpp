// SPDX-License-Identifier: GPL-3.0-or-later
#include "at/cpbw.h"

#include "at/cpbr.h"
#include "at/numbers.h"
// The codec's tables themselves, header only: the answers' fuzzer builds the
// files of at/ without the codec's library.
#include "pdu/alphabet.h"

#include <vector>

namespace at {

namespace {

bool isDigit(QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }

// The pauses a phone book keeps inside a number: "p" (or ",") a pause, "w"
// a wait for the dial tone (GSM 07.07 6.2 names "," and "W"; phones write
// "p" and "w").
bool isPause(QChar c)
{
    return c == QLatin1Char('p') || c == QLatin1Char('P') || c == QLatin1Char('w') || c == QLatin1Char('W')
           || c == QLatin1Char(',');
}

bool isDialChar(QChar c) { return isDigit(c) || c == QLatin1Char('*') || c == QLatin1Char('#') || isPause(c); }

// The type of number is international when its TON bits (6..4) are 001,
// GSM 04.08 10.5.4.7: 145 and its plan-less 144.
bool isInternational(int type) { return (type & 0x70) == 0x10; }

// The code byte of `c` on a "GSM" command line: its code in the default
// alphabet when that is a printable byte other than the quote (the phone
// takes 0x08 as a backspace, 0x0D as the end of the command, 0x7F may
// delete too, and the escape pairs start at 0x1B), and when this program
// reads that byte back as `c` ("¡" is 0x40, which it shows as "@").
std::optional<char16_t> commandLineCode(char32_t c)
{
    if (!gsm::carriesExactly(c))
        return std::nullopt;
    const uint8_t code = gsm::codeFor(c);
    if ((code & gsm::kEscapeFlag) || code < 0x20 || code >= 0x7F || code == '"' || gsm::kDefault[code] != c)
        return std::nullopt;
    return char16_t(code);
}

// The character at `at` as a reason names it: a surrogate pair whole.
QString shown(const QString& text, qsizetype at)
{
    if (text.at(at).isHighSurrogate() && at + 1 < text.size())
        return text.mid(at, 2);
    return text.mid(at, 1);
}

} // namespace

std::optional<ContactNumber> ContactNumberOf(const QString& written, QString* why)
{
    const auto refuse = [why](const QString& reason) -> std::optional<ContactNumber> {
        if (why)
            *why = reason;
        return std::nullopt;
    };
    const QString number = DialledNumber(written);
    ContactNumber contact;
    qsizetype start = 0;
    if (number.startsWith(QLatin1Char('+'))) {
        contact.type = 145;
        start = 1;
    }
    if (number.size() == start)
        return refuse(start == 0 ? QStringLiteral("il numero è vuoto") : QStringLiteral("dopo il «+» manca il numero"));
    for (qsizetype i = start; i < number.size(); ++i) {
        const QChar c = number.at(i);
        if (c == QLatin1Char('+'))
            return refuse(QStringLiteral("il «+» può stare solo all'inizio del numero"));
        if (!isDialChar(c))
            return refuse(QStringLiteral("il numero contiene «%1», che non si compone").arg(shown(number, i)));
    }
    if (isPause(number.at(start)))
        return refuse(QStringLiteral("il numero comincia con una pausa"));
    contact.digits = number.mid(start);
    return contact;
}

QString ContactNumberText(const QString& number, int type)
{
    if (!isInternational(type))
        return number;
    qsizetype plus = 0;
    while (plus < number.size() && number.at(plus) == QLatin1Char('+'))
        ++plus;
    if (plus == number.size())
        return number; // no digits: nothing to put a "+" in front of
    return QLatin1Char('+') + number.mid(plus);
}

int NameCost(const QString& name)
{
    int septets = 0;
    for (const QChar c : name) {
        const uint8_t code = gsm::carriesExactly(c.unicode()) ? gsm::codeFor(c.unicode()) : gsm::kNone;
        if (code == gsm::kNone)
            return 2 * int(name.size()) + 1; // the SIM's UCS2 form: a tag byte, then UTF-16 (TS 11.11 annex B)
        septets += (code & gsm::kEscapeFlag) ? 2 : 1;
    }
    return septets;
}

std::optional<QString> PhonebookNameArgument(const QString& name, const QString& charset, QString* why)
{
    if (charset.compare(QLatin1String("UCS2"), Qt::CaseInsensitive) == 0) {
        QString hex;
        hex.reserve(name.size() * 4);
        for (const QChar c : name)
            hex += QStringLiteral("%1").arg(c.unicode(), 4, 16, QLatin1Char('0')).toUpper();
        return hex;
    }
    if (charset.compare(QLatin1String("GSM"), Qt::CaseInsensitive) != 0) {
        if (why)
            *why =
                QStringLiteral("il cellulare usa il set di caratteri «%1», che il programma non scrive").arg(charset);
        return std::nullopt;
    }
    QString line;
    line.reserve(name.size());
    for (qsizetype i = 0; i < name.size(); ++i) {
        const std::optional<char16_t> code = commandLineCode(name.at(i).unicode());
        if (!code) {
            if (why)
                *why = QStringLiteral("il nome contiene «%1», che il cellulare non accetta senza UCS2")
                           .arg(shown(name, i));
            return std::nullopt;
        }
        line += QChar(*code);
    }
    return line;
}

std::optional<BookLimits> ParseBookLimits(const QString& answer)
{
    // The answer to "+CPBW=?" is that of "+CPBR=?" with the list of types
    // between the widths (GSM 07.07 8.14): "(1-250),40,(129,145),18".
    const QLatin1String cpbw("+CPBW:");
    qsizetype start = 0;
    QString line;
    while (start <= answer.size() && line.isEmpty()) {
        qsizetype end = start;
        while (end < answer.size() && answer.at(end) != QLatin1Char('\r') && answer.at(end) != QLatin1Char('\n'))
            ++end;
        const QString candidate = answer.mid(start, end - start).trimmed();
        if (candidate.startsWith(cpbw, Qt::CaseInsensitive)
            || candidate.startsWith(QLatin1String("+CPBR:"), Qt::CaseInsensitive))
            line = candidate;
        start = end + 1;
    }
    if (line.startsWith(cpbw, Qt::CaseInsensitive)) {
        // The types are the parenthesised field after the second comma
        // outside parentheses; it goes, and the rest reads as "+CPBR:".
        std::vector<qsizetype> commas; // those outside parentheses
        int depth = 0;
        for (qsizetype i = cpbw.size(); i < line.size(); ++i) {
            const QChar c = line.at(i);
            if (c == QLatin1Char('('))
                ++depth;
            else if (c == QLatin1Char(')'))
                --depth;
            else if (c == QLatin1Char(',') && depth == 0)
                commas.push_back(i);
        }
        const qsizetype typesStart = commas.size() >= 3 ? commas[1] : -1;
        const qsizetype typesEnd = commas.size() >= 3 ? commas[2] : -1;
        if (typesStart < 0 || typesEnd < 0
            || !line.mid(typesStart + 1, typesEnd - typesStart - 1).trimmed().startsWith(u'('))
            return std::nullopt;
        line = QLatin1String("+CPBR:") + line.mid(cpbw.size(), typesStart - cpbw.size()) + line.mid(typesEnd);
    }
    const CpbrRange range = ParseCpbrRange(line);
    if (!range.valid)
        return std::nullopt;
    return BookLimits{range.first, range.last, range.numberLength, range.nameLength};
}

QString CpbwWriteCommand(int index, const ContactNumber& number, const QString& nameArgument)
{
    const QString where = index > 0 ? QString::number(index) : QString();
    return QStringLiteral("+CPBW=%1,\"%2\",%3,\"%4\"")
        .arg(where, number.digits, QString::number(number.type), nameArgument);
}

QString CpbwDeleteCommand(int index) { return QStringLiteral("+CPBW=%1").arg(index); }

} // namespace at
