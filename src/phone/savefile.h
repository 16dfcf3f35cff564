// SPDX-License-Identifier: GPL-3.0-or-later
// Writing and reading whole files without trusting the disk or the name.
// A save replaces the old file only once every byte is known to be on the
// disk; a load reads only a regular file of bounded size and never blocks.
#pragma once

#include <QByteArray>
#include <QSaveFile>
#include <QString>

#include <optional>

// One file written in place of the old one. Write in as many pieces as
// wanted, then commit: the old file stays byte for byte unless every write,
// the flush, the size on disk and the sync all succeed. A VerifiedSave
// destroyed without a successful commit leaves the old file as it was.
//
// QSaveFile alone is not enough: its commit() can report success although
// the last buffered bytes never reached the disk (a full disk, a file-size
// limit), which put a cut file in place of a good one.
class VerifiedSave {
public:
    explicit VerifiedSave(const QString& fileName);
    ~VerifiedSave();
    VerifiedSave(const VerifiedSave&) = delete;
    VerifiedSave& operator=(const VerifiedSave&) = delete;

    // Creates the new file beside the old one; false when it cannot.
    bool open();
    // Appends `bytes`; false at the first failure and after it.
    bool write(const QByteArray& bytes);
    // Flush, compare the size on disk with the bytes written, sync, then
    // put the file in place. False, with the old file untouched, on any
    // failure (also after a failed open or write).
    bool commit();

private:
    QSaveFile m_file;
    qint64 m_written = 0;
    bool m_ok = false;
};

// The whole of `bytes` as the file `fileName`, through a VerifiedSave.
bool SaveVerified(const QString& fileName, const QByteArray& bytes);

// The bytes of `fileName` when it is a regular file (a link to one counts)
// of at most `maxBytes`; nothing for a FIFO, a device, a folder, a larger
// file or one that cannot be opened or read. A FIFO is refused without
// waiting for a writer.
std::optional<QByteArray> ReadRegularFile(const QString& fileName, qint64 maxBytes);

// The name an export is written to: the one chosen, with `suffix` added
// when it has none.
QString WithSuffix(const QString& chosen, const QString& suffix);
