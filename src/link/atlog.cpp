// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/atlog.h"

#include <QFile>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

#include <memory>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

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

// Its name as given: a file opened by its descriptor has none of its own.
QString& logName()
{
    static QString name;
    return name;
}

bool listening() { return lcAt().isDebugEnabled() || logFile(); }

// Writes one line to the file; false, with the reason, when it cannot.
bool writeLine(QFile& file, const QString& line, QString* error)
{
    const QByteArray bytes = line.toUtf8() + '\n';
    errno = 0;
    if (file.write(bytes) == bytes.size() && file.flush())
        return true;
    // The system's reason names a full disk; Qt's may not.
    if (error)
        *error = errno != 0 ? QString::fromLocal8Bit(std::strerror(errno)) : file.errorString();
    return false;
}

void emitLine(const QString& line)
{
    qCDebug(lcAt).noquote() << line;
    QFile* file = logFile().get();
    QString error;
    if (!file || writeLine(*file, line, &error))
        return;
    // A full disk, a reader of a pipe gone: the log stops, and says so once.
    std::fprintf(stderr, "zircalo: il log %s non si scrive più: %s\n", logName().toLocal8Bit().constData(),
                 error.toLocal8Bit().constData());
    logFile().reset();
    emit Notices().failed(error);
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
    emitLine(Line(line.since, direction, Masked(line.bytes)));
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

QByteArray Masked(const QByteArray& line)
{
    static const QByteArray kPinCommand = QByteArrayLiteral("+CPIN=");
    QByteArray out = line;
    const QByteArray upper = line.toUpper();
    for (qsizetype at = upper.indexOf(kPinCommand); at >= 0; at = upper.indexOf(kPinCommand, at + 1)) {
        for (qsizetype i = at + kPinCommand.size(); i < out.size() && out[i] != '\r' && out[i] != '\n'; ++i) {
            if (out[i] >= '0' && out[i] <= '9')
                out[i] = '*';
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
#ifdef Q_OS_UNIX
    // A FIFO without a reader would block the opening, and a slow one every
    // line: the log never waits. A reader that goes away must not end the
    // program with SIGPIPE: the write fails instead, and the log stops.
    std::signal(SIGPIPE, SIG_IGN);
    const int fd =
        ::open(QFile::encodeName(fileName).constData(), O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0644);
    if (fd < 0) {
        if (error)
            *error =
                errno == ENXIO ? QStringLiteral("nessuno legge la FIFO") : QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    struct stat status {};
    if (::fstat(fd, &status) != 0 || (!S_ISREG(status.st_mode) && !::isatty(fd))) {
        ::close(fd);
        if (error)
            *error = QStringLiteral("non è un file né un terminale");
        return false;
    }
    // O_APPEND appends: a FIFO cannot seek to its end.
    const bool opened = file->open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle);
#else
    const bool opened = file->open(QIODevice::WriteOnly | QIODevice::Append);
#endif
    if (!opened) {
        if (error)
            *error = file->errorString();
        return false;
    }
    flushBoth();
    // The header must reach the file: a full disk says so now.
    const QString header =
        EventLine(QDateTime::currentDateTime(),
                  QStringLiteral("zircalo %1: dialogo AT con il cellulare (contiene numeri e testi dei messaggi)")
                      .arg(QStringLiteral(ZIRCALO_VERSION)));
    if (!writeLine(*file, header, error))
        return false;
    logFile() = std::move(file);
    logName() = fileName;
    return true;
}

bool Writing() { return bool(logFile()); }

Notifier& Notices()
{
    static Notifier notifier;
    return notifier;
}

void CloseFile()
{
    flushBoth();
    logFile().reset();
}

} // namespace atlog
