// SPDX-License-Identifier: GPL-3.0-or-later
#include "phone/savefile.h"

#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

VerifiedSave::VerifiedSave(const QString& fileName) : m_file(fileName) {}

VerifiedSave::~VerifiedSave()
{
    if (m_file.isOpen())
        m_file.cancelWriting();
}

bool VerifiedSave::open()
{
    m_ok = m_file.open(QIODevice::WriteOnly);
    return m_ok;
}

bool VerifiedSave::write(const QByteArray& bytes)
{
    if (!m_ok)
        return false;
    const qint64 written = m_file.write(bytes);
    m_ok = written == bytes.size();
    m_written += written > 0 ? written : 0;
    return m_ok;
}

bool VerifiedSave::commit()
{
    // The buffered tail goes to the disk here, where a failure can still
    // be seen, not inside commit().
    if (m_ok)
        m_ok = m_file.flush() && m_file.error() == QFileDevice::NoError;
#ifdef Q_OS_UNIX
    if (m_ok) {
        struct stat status {};
        const int fd = m_file.handle();
        m_ok = fd >= 0 && ::fstat(fd, &status) == 0 && qint64(status.st_size) == m_written && ::fsync(fd) == 0;
    }
#endif
    if (!m_ok) {
        if (m_file.isOpen())
            m_file.cancelWriting();
        return false;
    }
    m_ok = m_file.commit();
    return m_ok;
}

bool SaveVerified(const QString& fileName, const QByteArray& bytes)
{
    VerifiedSave save(fileName);
    return save.open() && save.write(bytes) && save.commit();
}

std::optional<QByteArray> ReadRegularFile(const QString& fileName, qint64 maxBytes)
{
    QFile file;
#ifdef Q_OS_UNIX
    // Opened without blocking (a FIFO without a writer would wait forever),
    // then judged by what was opened, not by a name that may change.
    const int fd = ::open(QFile::encodeName(fileName).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || qint64(status.st_size) > maxBytes
        || !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return std::nullopt;
    }
#else
    const QFileInfo info(fileName);
    if (!info.isFile() || info.size() > maxBytes)
        return std::nullopt;
    file.setFileName(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
#endif
    // Read to the end, stopping past the limit: the file may have grown
    // since it was sized.
    constexpr qint64 kChunk = 64 * 1024;
    QByteArray bytes;
    for (;;) {
        const QByteArray chunk = file.read(kChunk);
        if (file.error() != QFileDevice::NoError)
            return std::nullopt;
        if (chunk.isEmpty())
            return bytes;
        bytes += chunk;
        if (bytes.size() > maxBytes)
            return std::nullopt;
    }
}

QString WithSuffix(const QString& chosen, const QString& suffix)
{
    return QFileInfo(chosen).suffix().isEmpty() ? chosen + QLatin1Char('.') + suffix : chosen;
}
