// SPDX-License-Identifier: GPL-3.0-or-later
#include "at/unsolicited.h"

#include <QRegularExpression>

namespace at {

namespace {

// Result codes of GSM 07.07 and GSM 07.05 that a phone sends unasked, and
// the common ones of modems. Each is "+NAME:" (or the word alone).
const char* const kNamed[] = {
    "+CRING",  "+CLIP", "+CCWA", "+CSSI", "+CSSU", "+CUSD", "+CIEV", "+CREG", "+CGREG", "+CEREG",
    "+C5GREG", "+CGEV", "+CMTI", "+CDSI", "+CBMI", "+CMT",  "+CDS",  "+CBM",  "+CTZV",  "+CTZE",
    "+CTZEU",  "+CPIN", "+CFUN", "+QIND", "+STIN", "+CALV", "+NITZ", "+CCCM",
};

// Codes that are whole words, with no parameters.
const char* const kWords[] = {"RING", "NO CARRIER", "BUSY", "NO ANSWER", "NO DIALTONE", "+PBREADY"};

// What common modems send when they have just started: SIMCom, Quectel and
// u-blox ("RDY", "+CFUN: 1", "+CPIN: READY", "Call Ready", "SMS Ready", "PB
// DONE"), Siemens and Cinterion ("^SYSSTART"). Upper case, no blank after a
// colon.
const char* const kRestarts[] = {"RDY", "^SYSSTART", "+CFUN:1", "+CPIN:READY", "SMS READY", "CALL READY", "PB DONE"};

// Codes followed by one more line (the PDU in PDU mode, the text otherwise).
const char* const kWithData[] = {"+CMT", "+CDS", "+CBM"};

// The name a command line asks about: "AT+CREG?" and "+CREG=2" give "+CREG",
// "AT^SYSINFO" gives "^SYSINFO"; anything else gives an empty name.
QString commandName(const QString& command)
{
    QString name = command.trimmed().toUpper();
    if (name.startsWith(QLatin1String("AT")))
        name.remove(0, 2);
    if (!name.startsWith(QLatin1Char('+')) && !name.startsWith(QLatin1Char('^')))
        return QString();
    qsizetype end = 1;
    while (end < name.size() && (name.at(end).isLetterOrNumber()))
        ++end;
    return name.left(end);
}

// The "+NAME" or "^NAME" a line starts with, up to its colon; empty when
// the line has no such head.
QString lineName(const QString& line)
{
    static const QRegularExpression head(QStringLiteral("^([+^][A-Z0-9]+)\\s*:"),
                                         QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = head.match(line);
    return match.hasMatch() ? match.captured(1).toUpper() : QString();
}

bool hasData(const QString& line)
{
    const QString name = lineName(line.trimmed());
    for (const char* code : kWithData)
        if (name == QLatin1String(code))
            return true;
    return false;
}

bool isLineEnd(QChar c) { return c == QLatin1Char('\r') || c == QLatin1Char('\n'); }

} // namespace

bool IsRestart(const QString& line)
{
    static const QRegularExpression afterColon(QStringLiteral(":\\s+"));
    const QString text = line.trimmed().toUpper().replace(afterColon, QStringLiteral(":"));
    for (const char* restart : kRestarts)
        if (text == QLatin1String(restart))
            return true;
    return false;
}

bool IsUnsolicited(const QString& line, const QString& command)
{
    const QString text = line.trimmed().toUpper();
    if (text.isEmpty())
        return false;
    const QString asked = commandName(command);
    // "+CPIN: READY" is the answer to AT+CPIN?, and a restart line otherwise.
    if (IsRestart(text))
        return lineName(text).isEmpty() || lineName(text) != asked;
    for (const char* word : kWords) {
        if (text == QLatin1String(word)) {
            // Dialling and answering end on these words themselves.
            const QString sent = command.trimmed().toUpper();
            return !sent.startsWith(QLatin1String("ATD")) && !sent.startsWith(QLatin1String("ATA"));
        }
    }
    const QString name = lineName(text);
    if (name.isEmpty() || name == asked)
        return false;
    if (name.startsWith(QLatin1Char('^')))
        return true; // ^BOOT, ^MODE, ^RSSI, ^HCSQ, ^SRVST, ^SIMST, ^DSFLOWRPT...
    for (const char* code : kNamed)
        if (name == QLatin1String(code))
            return true;
    return false;
}

Unsolicited RemoveUnsolicited(const QString& text, const QString& command)
{
    Unsolicited result;
    result.kept.reserve(text.size());
    qsizetype pos = 0;
    const qsizetype size = text.size();
    // The end of the line starting at `from` and the start of the next one;
    // -1 while the line is unfinished.
    const auto lineAt = [&](qsizetype from, qsizetype& end, qsizetype& next) {
        end = from;
        while (end < size && !isLineEnd(text.at(end)))
            ++end;
        // A CR that ends the text waits for the LF that may follow it.
        if (end == size || (text.at(end) == QLatin1Char('\r') && end + 1 == size))
            return false;
        next = end + 1;
        if (text.at(end) == QLatin1Char('\r') && text.at(next) == QLatin1Char('\n'))
            ++next;
        return true;
    };
    while (pos < size) {
        if (isLineEnd(text.at(pos))) {
            result.kept += text.at(pos++);
            continue;
        }
        qsizetype end = 0;
        qsizetype next = 0;
        if (!lineAt(pos, end, next)) {
            result.kept += QStringView(text).mid(pos);
            break;
        }
        const QString line = text.mid(pos, end - pos);
        if (!IsUnsolicited(line, command)) {
            result.kept += QStringView(text).mid(pos, next - pos);
            pos = next;
            continue;
        }
        if (lineName(line.trimmed()) == QLatin1String("+CUSD") && line.count(QLatin1Char('"')) % 2 == 1) {
            // The string's lines, up to the one with its closing quote.
            QString joined = line.trimmed();
            qsizetype at = next;
            bool open = true;
            bool complete = true;
            while (open && joined.size() < kLongestUssd) {
                qsizetype lineEnd = 0;
                qsizetype lineNext = 0;
                if (at >= size || !lineAt(at, lineEnd, lineNext)) {
                    complete = false;
                    break;
                }
                const QString more = text.mid(at, lineEnd - at);
                joined += QLatin1Char('\n') + more;
                open = more.count(QLatin1Char('"')) % 2 == 0;
                at = lineNext;
            }
            if (!complete) {
                result.unfinished = result.kept.size();
                result.kept += QStringView(text).mid(pos);
                break;
            }
            result.removed << (open ? line.trimmed() : joined.trimmed());
            pos = open ? next : at;
            continue;
        }
        if (!hasData(line)) {
            result.removed << line.trimmed();
            pos = next;
            continue;
        }
        // The data line: the first line after the header that is not blank.
        qsizetype dataStart = next;
        while (dataStart < size && (isLineEnd(text.at(dataStart)) || text.at(dataStart) == QLatin1Char(' ')))
            ++dataStart;
        qsizetype dataEnd = 0;
        qsizetype dataNext = 0;
        if (dataStart >= size || !lineAt(dataStart, dataEnd, dataNext)) {
            result.unfinished = result.kept.size();
            result.kept += QStringView(text).mid(pos); // judged when the data line is complete
            break;
        }
        result.removed << line.trimmed() + QLatin1String("\r\n") + text.mid(dataStart, dataEnd - dataStart).trimmed();
        pos = dataNext;
    }
    return result;
}

} // namespace at
