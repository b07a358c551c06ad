#include "ssh/DurableFileSink.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstring>

#ifdef Q_OS_WIN
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {
QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

#ifndef Q_OS_WIN
// The rename itself must survive a power loss too.
void syncDirectory(const QString &dir)
{
    const int fd = ::open(QFile::encodeName(dir).constData(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}
#endif
} // namespace

bool SyncFileToDisk(QFile &file, QString *error)
{
    if (!file.flush()) {
        *error = file.errorString();
        return false;
    }
#ifdef Q_OS_WIN
    const int rc = ::_commit(file.handle());
#else
    const int rc = ::fsync(file.handle());
#endif
    if (rc != 0) {
        *error = systemError();
        return false;
    }
    return true;
}

bool ReplaceFile(const QString &source, const QString &target, QString *error)
{
#ifdef Q_OS_WIN
    if (!MoveFileExW(reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(source).utf16()),
                     reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(target).utf16()),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        *error = QStringLiteral("rename failed (error %1)").arg(GetLastError());
        return false;
    }
#else
    if (::rename(QFile::encodeName(source).constData(), QFile::encodeName(target).constData()) != 0) {
        *error = systemError();
        return false;
    }
    syncDirectory(QFileInfo(target).absolutePath());
#endif
    return true;
}

DurableFileSink::DurableFileSink(const QString &targetFile, bool requireCompletion)
    : m_target(targetFile), m_requireCompletion(requireCompletion)
{
}

DurableFileSink::~DurableFileSink()
{
    abort();
}

bool DurableFileSink::fail(const QString &error)
{
    m_error = error;
    abort();
    return false;
}

bool DurableFileSink::open()
{
    abort();
    m_completion.reset();
    if (m_target.isEmpty())
        return fail(QStringLiteral("no local target"));
    // A name of our own beside the target, so the rename stays on one file system.
    const QString temp = m_target + QStringLiteral(".part-%1")
                             .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
    m_file.setFileName(temp);
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered)) {
        m_error = m_file.errorString();
        m_file.setFileName(QString());
        return false;
    }
    return true;
}

bool DurableFileSink::write(const char *data, qint64 size)
{
    if (!m_file.isOpen())
        return fail(QStringLiteral("not open"));
    while (size > 0) {
        const qint64 n = m_file.write(data, size);
        if (n <= 0)
            return fail(m_file.errorString());
        m_completion.add(data, n);
        data += n;
        size -= n;
    }
    return true;
}

bool DurableFileSink::commit()
{
    if (!m_file.isOpen())
        return fail(QStringLiteral("not open"));
    if (m_requireCompletion && !m_completion.completed())
        return fail(QStringLiteral("incomplete dump"));
    QString error;
    if (!SyncFileToDisk(m_file, &error))
        return fail(error);
    m_file.close();
    if (m_file.error() != QFileDevice::NoError)
        return fail(m_file.errorString());
    if (!ReplaceFile(m_file.fileName(), m_target, &error))
        return fail(error);
    m_file.setFileName(QString());
    return true;
}

void DurableFileSink::abort()
{
    if (m_file.fileName().isEmpty())
        return;
    m_file.close();
    m_file.remove();
    m_file.setFileName(QString());
}
