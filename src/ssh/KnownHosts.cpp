#include "ssh/KnownHosts.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "ssh/DurableFileSink.h"

bool AcceptHostKey(const QString &knownHostsFile, const QByteArray &entry, QString *error)
{
    error->clear();
    const QByteArray line = entry.trimmed();
    if (line.isEmpty() || line.contains('\n') || line.contains('\r')) {
        *error = QStringLiteral("no host key entry");
        return false;
    }
    const QFileInfo info(knownHostsFile);
    if (!info.dir().exists()) {
        if (!QDir().mkpath(info.absolutePath())) {
            *error = QStringLiteral("cannot create %1").arg(info.absolutePath());
            return false;
        }
        QFile::setPermissions(info.absolutePath(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    const bool existed = info.exists();
    QFile file(knownHostsFile);
    if (!file.open(QIODevice::ReadWrite | QIODevice::Unbuffered)) {
        *error = file.errorString();
        return false;
    }
    if (!existed)
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    const qint64 size = file.size();
    QByteArray text = line + '\n';
    if (size > 0) {
        // A last line without its line break must not swallow ours.
        char last = '\n';
        if (!file.seek(size - 1) || file.read(&last, 1) != 1) {
            *error = file.errorString();
            return false;
        }
        if (last != '\n')
            text.prepend('\n');
    }
    if (!file.seek(size) || file.write(text) != text.size() || !SyncFileToDisk(file, error)) {
        if (error->isEmpty())
            *error = file.errorString();
        file.resize(size);  // no half line that would spoil the file
        return false;
    }
    return true;
}
