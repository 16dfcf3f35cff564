// SPDX-License-Identifier: GPL-3.0-or-later
// The AT dialogue log: every byte the link writes to the phone or reads from
// it, one line of the dialogue per log line, with the time to the
// millisecond and the direction; and what happened to the port (opened with
// its settings, closed, failed). It goes to the logging category
// "zircalo.at" (off unless QT_LOGGING_RULES turns "zircalo.at.debug" on)
// and, once a file is opened, to that file, flushed line by line, so that a
// log survives a crash and can go with a bug report. It holds numbers and
// texts of messages in the clear; a PIN never (Masked).
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QLoggingCategory>
#include <QObject>
#include <QString>

Q_DECLARE_LOGGING_CATEGORY(lcAt)

namespace atlog {

enum class Direction { ToPhone, FromPhone };

// The bytes as one readable, reversible text: printable ASCII as it is,
// \r \n \t \\ \" for those, \xHH for every other byte.
QString Escaped(const QByteArray& bytes);

// A line of the dialogue with the digits of a PIN given with "AT+CPIN="
// (in either direction, an echo too) as "*": the log never holds the PIN.
QByteArray Masked(const QByteArray& line);

// One line of the log without its line end:
//   2024-05-01 12:34:56.789 -> "AT+CMGR=1\r"
//   2024-05-01 12:34:56.801 <- "\r\n+CMGR: 1,,23\r\n"
QString Line(const QDateTime& when, Direction direction, const QByteArray& bytes);

// A line of the log that tells what happened, not what was said:
//   2024-05-01 12:34:56.789 -- porta /dev/ttyUSB0 aperta: 19200 baud, 8N1
QString EventLine(const QDateTime& when, const QString& text);

// Logs what the link wrote or read, one log line per line of the dialogue
// whatever pieces the bytes came in: a line ends after its LF (and, going
// to the phone, after its CR), and is stamped with the time its first byte
// came. What waits for its line end is logged when the other direction
// speaks, an event is logged, or the file closes (the "> " prompt has no
// line end). Does nothing when no one listens.
void Record(Direction direction, const QByteArray& bytes);

// Logs an event: the port opened, closed or failed.
void Event(const QString& text);

// Also writes the log to `fileName`, appended to what it holds, beginning
// with a header that names the program and its version; false, with the
// system's reason in `error`, when it cannot be opened. The file is closed
// by CloseFile() or at exit.
// Only a regular file or a terminal is taken, opened without waiting (a
// FIFO is refused, it would block the program); a file that cannot take
// the header (a full disk) is refused too. A write that fails later stops
// the file's log: Notifier tells it once, and so does standard error.
bool OpenFile(const QString& fileName, QString* error = nullptr);
void CloseFile();
// Whether a file takes the log now.
bool Writing();

// Tells whoever shows the program's state that the log stopped.
class Notifier : public QObject {
    Q_OBJECT
signals:
    void failed(const QString& reason);
};
Notifier& Notices();

} // namespace atlog
