// The AT dialogue log: every byte the link writes to the phone or reads from
// it, with the time to the millisecond and the direction. It goes to the
// logging category "zircalo.at" (off unless QT_LOGGING_RULES turns
// "zircalo.at.debug" on) and, once a file is opened, to that file, flushed
// line by line, so that a log survives a crash and can go with a bug report.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QLoggingCategory>
#include <QString>

Q_DECLARE_LOGGING_CATEGORY(lcAt)

namespace atlog {

enum class Direction { ToPhone, FromPhone };

// The bytes as one readable, reversible text: printable ASCII as it is,
// \r \n \t \\ \" for those, \xHH for every other byte.
QString Escaped(const QByteArray& bytes);

// One line of the log without its line end:
//   2024-05-01 12:34:56.789 -> "AT+CMGR=1\r"
//   2024-05-01 12:34:56.801 <- "\r\n+CMGR: 1,,23\r\n"
QString Line(const QDateTime& when, Direction direction, const QByteArray& bytes);

// Logs what the link wrote or read: a piece of bytes is cut after each LF
// (and, going to the phone, after each CR) so that every log line holds at
// most one line of the dialogue. Does nothing when no one listens.
void Record(Direction direction, const QByteArray& bytes);

// Also writes the log to `fileName`, appended to what it holds; false, with
// the system's reason in `error`, when it cannot be opened. The file is
// closed by CloseFile() or at exit.
bool OpenFile(const QString& fileName, QString* error = nullptr);
void CloseFile();

} // namespace atlog
