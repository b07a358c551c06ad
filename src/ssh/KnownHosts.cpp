#include "ssh/KnownHosts.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "storage/DurableFile.h"

bool AcceptHostKey(const QString &knownHostsFile, const QByteArray &entry, QString *error)
{
    error->clear();
    const QByteArray line = entry.trimmed();
    if (line.isEmpty() || line.contains('\n') || line.contains('\r')) {
        *error = QStringLiteral("no host key entry");
        return false;
    }
    // A known_hosts that is a link (to a dotfiles repository, say) is written where it points.
    const QFileInfo info(knownHostsFile);
    const QString path = info.isSymLink() ? info.canonicalFilePath() : info.absoluteFilePath();
    const QString dir = QFileInfo(path).absolutePath();
    if (!QDir(dir).exists()) {
        if (!QDir().mkpath(dir)) {
            *error = QStringLiteral("cannot create %1").arg(dir);
            return false;
        }
        QFile::setPermissions(dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    QByteArray text;
    QFile existing(path);
    if (existing.exists()) {
        if (!existing.open(QIODevice::ReadOnly)) {
            *error = existing.errorString();
            return false;
        }
        text = existing.readAll();
        existing.close();
        // A last line without its line break must not swallow ours.
        if (!text.isEmpty() && !text.endsWith('\n'))
            text += '\n';
    }
    text += line + '\n';
    // Written beside and renamed over: the file is never left half written.
    bool diskFull = false;
    if (!DurableFile::WriteWhole(path, text, &diskFull)) {
        *error = diskFull ? QStringLiteral("disk full") : QStringLiteral("cannot write %1").arg(path);
        return false;
    }
    if (!existing.exists())
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    return true;
}
