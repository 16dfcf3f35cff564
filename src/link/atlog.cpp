// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/atlog.h"

#include <QFile>

#include <memory>

#ifndef ZIRCALO_VERSION
#define ZIRCALO_VERSION "0"
#endif

// Debug messages of the category are off until a logging rule turns them on.
Q_LOGGING_CATEGORY(lcAt, "zircalo.at", QtInfoMsg)

namespace atlog {

namespace {

std::unique_ptr<QFile>& logFile()
{
    static std::unique_ptr<QFile> file;
    return file;
}

bool listening() { return lcAt().isDebugEnabled() || logFile(); }

void emitLine(const QString& line)
{
    qCDebug(lcAt).noquote() << line;
    if (QFile* file = logFile().get()) {
        file->write(line.toUtf8() + '\n');
        file->flush();
    }
}

// The start of a line of the dialogue whose line end has not come yet.
struct Unfinished {
    QByteArray bytes;
    QDateTime since; // when its first byte came
};

Unfinished& unfinished(Direction direction)
{
    static Unfinished pending[2];
    return pending[direction == Direction::ToPhone ? 0 : 1];
}

void flush(Direction direction)
{
    Unfinished& line = unfinished(direction);
    if (line.bytes.isEmpty())
        return;
    emitLine(Line(line.since, direction, line.bytes));
    line.bytes.clear();
}

void flushBoth()
{
    flush(Direction::ToPhone);
    flush(Direction::FromPhone);
}

// A line that never ends (a phone gone mad) is logged in pieces this long.
constexpr qsizetype kLongestLine = 4096;

} // namespace

QString Escaped(const QByteArray& bytes)
{
    QString out;
    out.reserve(bytes.size());
    for (const char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
        case '\r':
            out += QLatin1String("\\r");
            break;
        case '\n':
            out += QLatin1String("\\n");
            break;
        case '\t':
            out += QLatin1String("\\t");
            break;
        case '\\':
            out += QLatin1String("\\\\");
            break;
        case '"':
            out += QLatin1String("\\\"");
            break;
        default:
            if (c >= 0x20 && c < 0x7F)
                out += QLatin1Char(char(c));
            else
                out += QLatin1String("\\x") + QString::number(c, 16).toUpper().rightJustified(2, QLatin1Char('0'));
        }
    }
    return out;
}

QString Line(const QDateTime& when, Direction direction, const QByteArray& bytes)
{
    return when.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz"))
           + (direction == Direction::ToPhone ? QLatin1String(" -> \"") : QLatin1String(" <- \"")) + Escaped(bytes)
           + QLatin1Char('"');
}

QString EventLine(const QDateTime& when, const QString& text)
{
    return when.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz")) + QLatin1String(" -- ") + text;
}

void Record(Direction direction, const QByteArray& bytes)
{
    if (bytes.isEmpty() || !listening())
        return;
    const Direction other = direction == Direction::ToPhone ? Direction::FromPhone : Direction::ToPhone;
    flush(other);
    const QDateTime now = QDateTime::currentDateTime();
    Unfinished& line = unfinished(direction);
    for (const char c : bytes) {
        if (line.bytes.isEmpty())
            line.since = now;
        line.bytes += c;
        const bool lineEnd = c == '\n' || (direction == Direction::ToPhone && c == '\r');
        if (lineEnd || line.bytes.size() >= kLongestLine)
            flush(direction);
    }
}

void Event(const QString& text)
{
    if (!listening())
        return;
    flushBoth();
    emitLine(EventLine(QDateTime::currentDateTime(), text));
}

bool OpenFile(const QString& fileName, QString* error)
{
    auto file = std::make_unique<QFile>(fileName);
    if (!file->open(QIODevice::WriteOnly | QIODevice::Append)) {
        if (error)
            *error = file->errorString();
        return false;
    }
    flushBoth();
    logFile() = std::move(file);
    Event(QStringLiteral("zircalo %1: dialogo AT con il cellulare (contiene numeri e testi dei messaggi)")
              .arg(QStringLiteral(ZIRCALO_VERSION)));
    return true;
}

void CloseFile()
{
    flushBoth();
    logFile().reset();
}

} // namespace atlog
