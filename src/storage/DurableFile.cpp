#include "storage/DurableFile.h"

#include <cerrno>
#include <cstring>

#include <QFileInfo>
#include <QRandomGenerator>

#ifdef Q_OS_WIN
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

DurableFile::DurableFile(QString target) : m_target(std::move(target)) {}

DurableFile::~DurableFile()
{
    if (!m_placed)
        discard();
}

bool DurableFile::fail(int error)
{
#ifdef EDQUOT
    m_diskFull = error == ENOSPC || error == EDQUOT;
#else
    m_diskFull = error == ENOSPC;
#endif
    m_error = error ? QString::fromLocal8Bit(std::strerror(error)) : m_file.errorString();
    return false;
}

bool DurableFile::open()
{
    m_diskFull = false;
    m_placed = false;
    if (m_target.isEmpty()) {
        m_error = QStringLiteral("no file name");
        return false;
    }
    // A fresh name each time: two runs into one directory never share a file.
    for (int attempt = 0; attempt < 16; ++attempt) {
        const QString name = m_target + TemporaryInfix
            + QString::number(QRandomGenerator::global()->generate(), 36);
        m_file.setFileName(name);
        errno = 0;
        // Owner-only from the first byte, whatever the umask: dumps, their
        // checksums and the log hold a whole database or its traces.
        if (m_file.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered, PrivateFileMode)) {
            QFileDevice::Permissions mode = PrivateFileMode;
            // A file the user made stricter stays so when it is replaced; the
            // owner keeps reading it, as the check after writing must.
            const QFileInfo previous(m_target);
            if (previous.exists() && !previous.isSymLink())
                mode = (mode & previous.permissions()) | QFileDevice::ReadOwner;
            if (!m_file.setPermissions(mode)) {
                const int error = errno;
                m_file.close();
                QFile::remove(name);
                return fail(error);
            }
            return true;
        }
        if (QFileInfo::exists(name))
            continue;
        return fail(errno);
    }
    m_error = QStringLiteral("no free temporary name");
    return false;
}

bool DurableFile::write(const char *data, qint64 size)
{
    if (!m_file.isOpen())
        return false;
#ifdef Q_OS_WIN
    if (m_file.write(data, size) != size) {
        m_error = m_file.errorString();
        // Windows reports a full disk as ERROR_DISK_FULL; Qt keeps only the text.
        m_diskFull = GetLastError() == ERROR_DISK_FULL || GetLastError() == ERROR_HANDLE_DISK_FULL;
        return false;
    }
    return true;
#else
    const int fd = m_file.handle();
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size_t(size));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return fail(errno);
        }
        if (n == 0)
            return fail(ENOSPC);
        data += n;
        size -= n;
    }
    return true;
#endif
}

bool DurableFile::finish()
{
    if (!m_file.isOpen())
        return false;
#ifdef Q_OS_WIN
    const bool synced = _commit(m_file.handle()) == 0;
#else
    const bool synced = ::fsync(m_file.handle()) == 0;
#endif
    const int error = errno;
    m_file.close();
    if (!synced)
        return fail(error);
    return true;
}

bool DurableFile::replaceTarget()
{
    if (m_file.isOpen() || m_file.fileName().isEmpty())
        return false;
    errno = 0;
    if (!RenameReplacing(m_file.fileName(), m_target))
        return fail(errno);
    m_placed = true;
    SyncDirectory(QFileInfo(m_target).absolutePath());
    return true;
}

void DurableFile::discard()
{
    if (m_file.isOpen())
        m_file.close();
    if (!m_placed && !m_file.fileName().isEmpty())
        QFile::remove(m_file.fileName());
    m_file.setFileName(QString());
}

bool DurableFile::WriteWhole(const QString &path, const QByteArray &bytes, bool *diskFull)
{
    DurableFile file(path);
    const bool ok = file.open() && file.write(bytes) && file.finish() && file.replaceTarget();
    if (diskFull)
        *diskFull = file.diskFull();
    return ok;
}

bool DurableFile::RenameReplacing(const QString &from, const QString &to)
{
#ifdef Q_OS_WIN
    return MoveFileExW(reinterpret_cast<const wchar_t *>(from.utf16()), reinterpret_cast<const wchar_t *>(to.utf16()),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
#else
    return ::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
#endif
}

bool DurableFile::SyncDirectory(const QString &directory)
{
#ifdef Q_OS_WIN
    Q_UNUSED(directory);
    return true;  // MOVEFILE_WRITE_THROUGH already waited for the rename
#else
    const int fd = ::open(QFile::encodeName(directory).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
#endif
}
