// SPDX-License-Identifier: GPL-3.0-or-later
// The framing of the AT dialogue: how a command line goes on the wire, how
// phones' framings are brought to one, when a collected answer is complete,
// and how the answer is cleaned. Pure functions of their arguments.
#include "link/framing.h"

#include "at/numbers.h"
#include "at/unsolicited.h"

#include <QRegularExpression>

namespace phonelink {

using at::TrimSpaces;

QString withPrefix(const QString& command)
{
    if (command.startsWith(QLatin1Char('+')) || command.startsWith(QLatin1Char('^')))
        return QStringLiteral("AT") + command;
    return command;
}

QByteArray wireLine(const QString& command)
{
    // Commands and PDUs are ASCII; toLatin1 keeps any other code 0..255 as one byte.
    return (TrimSpaces(command) + QLatin1Char('\r')).toLatin1();
}

namespace {

// The extended commands that may be sent again when the phone stays
// silent, by the forms that may: the bare command ("AT+CGMM") and the set
// form ("AT+CPMS=SM"). The read and test forms of every command ("?",
// "=?") change nothing and may always be sent again. A command that is not
// here goes out once.
struct Repeatable {
    const char* name;
    bool bare;
    bool set;
};
// clang-format off
const Repeatable kRepeatable[] = {
    // name      bare   set
    {"+CGMI",    true,  false}, // who the phone is
    {"+CGMM",    true,  false},
    {"+CGMR",    true,  false},
    {"+CGSN",    true,  false},
    {"+CIMI",    true,  false},
    {"+CSQ",     true,  false},
    {"+CPINR",   true,  true},  // the PIN tries left: a read
    {"+CSCS",    false, true},  // settings
    {"+CMEE",    false, true},
    {"+CMGF",    false, true},
    {"+CNMI",    false, true},
    {"+CPMS",    false, true},  // selections
    {"+CPBS",    false, true},
    {"+CMGR",    false, true},  // reads
    {"+CMGL",    true,  true},
    {"+CPBR",    false, true},
};
// clang-format on

// The basic commands that may be sent again: the reset and the framing of
// answers ("ATZ", "ATE0", "ATQ0", "ATV1", "AT&F").
bool repeatableBasic(const QString& line)
{
    static const QRegularExpression basic(QStringLiteral("^AT(Z|E|Q|V|&F)?[0-9]?$"));
    return basic.match(line).hasMatch();
}

} // namespace

Command classify(const QString& command)
{
    Command classified;
    classified.line = withPrefix(command);
    // The command as the phone reads it: blanks and line ends off its ends
    // ("AT+CMGS=14" CR is the send's own form), letter case ignored.
    QString text = TrimSpaces(classified.line);
    if (text.endsWith(QLatin1Char(kCtrlZ))) {
        classified.kind = Command::Kind::Pdu;
        return classified;
    }
    while (text.endsWith(QLatin1Char('\r')) || text.endsWith(QLatin1Char('\n')) || text.endsWith(QLatin1Char(' ')))
        text.chop(1);
    text = text.toUpper();
    if (!text.startsWith(QLatin1String("AT+")) && !text.startsWith(QLatin1String("AT^"))) {
        classified.repeatable = repeatableBasic(text);
        return classified;
    }
    // Several commands on one line are judged as none is.
    if (text.contains(QLatin1Char(';')))
        return classified;
    const qsizetype end = text.indexOf(QRegularExpression(QStringLiteral("[=?]")));
    const QString name = text.mid(2, end < 0 ? -1 : end - 2);
    const QString suffix = end < 0 ? QString() : text.mid(end);
    if (suffix == QLatin1String("?") || suffix == QLatin1String("=?")) {
        classified.repeatable = true;
        return classified;
    }
    const bool set = suffix.startsWith(QLatin1Char('='));
    if (set && (name == QLatin1String("+CMGS") || name == QLatin1String("+CMGW"))) {
        classified.kind = Command::Kind::Prompt;
        return classified;
    }
    if (name == QLatin1String("+CMGL") || (name == QLatin1String("+CPBR") && set && suffix.contains(QLatin1Char(','))))
        classified.kind = Command::Kind::Listing;
    // The deletion of one slot, "+CMGD=<index>", leaves it as empty however
    // often it is sent.
    static const QRegularExpression oneSlot(QStringLiteral("^= *[0-9]+ *$"));
    if (name == QLatin1String("+CMGD")) {
        classified.repeatable = oneSlot.match(suffix).hasMatch();
        return classified;
    }
    for (const Repeatable& known : kRepeatable) {
        if (name == QLatin1String(known.name)) {
            classified.repeatable = set ? known.set : suffix.isEmpty() && known.bare;
            break;
        }
    }
    return classified;
}

bool FinalWatch::feed(QStringView got)
{
    // What follows a possible final line may be what completes it: a CR
    // ends a line once any character comes after it.
    bool candidate = m_pending && !got.isEmpty();
    for (const QChar c : got) {
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            // A line that begins as the prompt ends the answer as the prompt does.
            if (isFinalLine(m_line) || m_line.trimmed().startsWith(QLatin1Char('>')))
                candidate = m_pending = true;
            else if (!m_line.trimmed().isEmpty())
                m_pending = false;
            m_line.clear();
        } else if (c != QChar(0) && m_line.size() < kLongestFinal) {
            m_line += c;
        }
    }
    // The prompt "> " has no line end.
    return candidate || m_pending || m_line.trimmed().startsWith(QLatin1Char('>'));
}

bool isFinalLine(const QString& line)
{
    const QString text = line.trimmed();
    return text.compare(QLatin1String("OK"), Qt::CaseInsensitive) == 0
           || text.compare(QLatin1String("ERROR"), Qt::CaseInsensitive) == 0
           || text.startsWith(QLatin1String("+CME ERROR:"), Qt::CaseInsensitive)
           || text.startsWith(QLatin1String("+CMS ERROR:"), Qt::CaseInsensitive) || text == QLatin1String(">");
}

qsizetype afterFinalLine(const QString& collected)
{
    qsizetype start = 0;
    for (qsizetype pos = 0; pos < collected.size(); ++pos) {
        const QChar c = collected.at(pos);
        if (c != QLatin1Char('\r') && c != QLatin1Char('\n'))
            continue;
        const QString line = collected.mid(start, pos - start).trimmed();
        qsizetype next = pos + 1;
        if (c == QLatin1Char('\r') && next < collected.size() && collected.at(next) == QLatin1Char('\n'))
            ++next;
        if (!line.isEmpty() && line != QLatin1String(">") && isFinalLine(line))
            return next;
        start = next;
        pos = next - 1;
    }
    return -1;
}

bool endsInsideLine(const QString& text)
{
    for (qsizetype pos = text.size() - 1; pos >= 0; --pos) {
        const QChar c = text.at(pos);
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n'))
            return false;
        if (!c.isSpace() && c != QChar(0))
            return true;
    }
    return false;
}

namespace {

bool isLineEnd(QChar c) { return c == QLatin1Char('\r') || c == QLatin1Char('\n'); }

// Some phones send NULs between lines; inside a line a NUL is a character:
// the "@" of a name in the GSM character set is code 0.
QString withoutStrayNuls(const QString& text)
{
    if (!text.contains(QChar(0)))
        return text;
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size();) {
        if (text.at(i) != QChar(0)) {
            out += text.at(i++);
            continue;
        }
        qsizetype end = i;
        while (end < text.size() && text.at(end) == QChar(0))
            ++end;
        const bool lineStart = out.isEmpty() || isLineEnd(out.back());
        const bool lineEnd = end == text.size() || isLineEnd(text.at(end));
        if (!lineStart && !lineEnd)
            out += text.mid(i, end - i);
        i = end;
    }
    return out;
}

bool isEchoOf(const QString& line, const QString& command)
{
    const QString sent = TrimSpaces(command).section(QLatin1Char('\r'), 0, 0);
    return !sent.isEmpty() && line.trimmed().compare(sent, Qt::CaseInsensitive) == 0;
}

} // namespace

QString normalise(const QString& collected, const QString& command, QStringList* removed)
{
    const at::Unsolicited filtered = at::RemoveUnsolicited(withoutStrayNuls(collected), command);
    if (removed)
        *removed = filtered.removed;
    const QString& kept = filtered.kept;

    // Complete lines, the echo (the first line, when no line end came before
    // it) and the unfinished rest.
    QString echo;
    bool hasEcho = false;
    bool framed = false; // a line end has come
    QStringList lines;
    QString rest;
    const qsizetype size = kept.size();
    for (qsizetype pos = 0; pos < size;) {
        if (isLineEnd(kept.at(pos))) {
            framed = true;
            ++pos;
            continue;
        }
        qsizetype end = pos;
        while (end < size && !isLineEnd(kept.at(end)))
            ++end;
        if (end == size || (kept.at(end) == QLatin1Char('\r') && end + 1 == size)) {
            rest = kept.mid(pos, end - pos);
            break;
        }
        const QString line = kept.mid(pos, end - pos);
        pos = end;
        if (line.trimmed().isEmpty()) {
            framed = true;
            continue;
        }
        // The echo is the first line; an unsolicited line taken out before
        // it leaves a line end in front of it. A first line that is not the
        // command is the tail of a line that began before the command was
        // sent (the end of a "NO CARRIER" whose start was discarded).
        if (!framed && !command.isEmpty() && !isEchoOf(line, command)) {
            framed = true;
            continue;
        }
        if (!framed || (!hasEcho && lines.isEmpty() && isEchoOf(line, command))) {
            echo = line;
            hasEcho = true;
        } else {
            lines << line;
        }
        framed = true;
    }

    static const QLatin1String crLf("\r\n");
    QString out = hasEcho ? echo + QLatin1Char('\r') : QString();
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (!isFinalLine(lines.at(i)))
            continue;
        if (i > 0)
            out += crLf + lines.mid(0, i).join(crLf) + crLf;
        const QString final = lines.at(i).trimmed();
        out += final == QLatin1String(">") ? QStringLiteral("\r\n> ") : crLf + final + crLf;
        return out;
    }
    if (!lines.isEmpty())
        out += crLf + lines.join(crLf) + crLf;
    if (!framed)
        out += rest; // an echo still coming
    else if (!rest.trimmed().isEmpty() || rest.startsWith(QLatin1Char('>')))
        out += crLf + rest;
    return out;
}

AnswerEnd answerEnd(const QString& collected)
{
    if (collected.contains(QLatin1String("\r\nOK\r\n"), Qt::CaseInsensitive)
        || collected.contains(QLatin1String("\r\nERROR\r\n"), Qt::CaseInsensitive)
        || collected.contains(QLatin1String("\r\n> "), Qt::CaseInsensitive))
        return AnswerEnd::Final;
    // The final result codes of GSM 07.07 9.2 and GSM 07.05 3.2.5.
    static const QRegularExpression extended(QStringLiteral("\r\n\\+CM[ES] ERROR:[^\r\n]*\r\n"),
                                             QRegularExpression::CaseInsensitiveOption);
    if (collected.contains(QLatin1String("ERROR:"), Qt::CaseInsensitive) && collected.contains(extended))
        return AnswerEnd::ExtendedError;
    return AnswerEnd::None;
}

QString cleanAnswer(const QString& collected)
{
    static const QLatin1String crLf("\r\n");
    QString answer = TrimSpaces(collected);
    if (answer.startsWith(crLf))
        answer.remove(0, 2);
    if (answer.endsWith(crLf))
        answer.chop(2);
    if (answer == QLatin1String(">") || answer == QLatin1String("OK")
        || answer.compare(QLatin1String("ERROR"), Qt::CaseInsensitive) == 0)
        return answer;
    if (answer.size() < 6)
        return answer;
    answer.chop(6);
    return answer;
}

} // namespace phonelink
