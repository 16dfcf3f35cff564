#include "link/atlog.h"

#include <QFile>

#include <memory>

// Debug messages of the category are off until a logging rule turns them on.
Q_LOGGING_CATEGORY(lcAt, "zircalo.at", QtInfoMsg)

namespace atlog {

namespace {

std::unique_ptr<QFile>& logFile()
{
    static std::unique_ptr<QFile> file;
    return file;
}

void emitLine(const QString& line)
{
    qCDebug(lcAt).noquote() << line;
    if (QFile* file = logFile().get()) {
        file->write(line.toUtf8() + '\n');
        file->flush();
    }
}

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

void Record(Direction direction, const QByteArray& bytes)
{
    if (bytes.isEmpty() || (!lcAt().isDebugEnabled() && !logFile()))
        return;
    const QDateTime now = QDateTime::currentDateTime();
    qsizetype start = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const bool lineEnd = bytes.at(i) == '\n' || (direction == Direction::ToPhone && bytes.at(i) == '\r');
        if (!lineEnd)
            continue;
        emitLine(Line(now, direction, bytes.mid(start, i + 1 - start)));
        start = i + 1;
    }
    if (start < bytes.size())
        emitLine(Line(now, direction, bytes.mid(start)));
}

bool OpenFile(const QString& fileName, QString* error)
{
    auto file = std::make_unique<QFile>(fileName);
    if (!file->open(QIODevice::WriteOnly | QIODevice::Append)) {
        if (error)
            *error = file->errorString();
        return false;
    }
    logFile() = std::move(file);
    return true;
}

void CloseFile() { logFile().reset(); }

} // namespace atlog
