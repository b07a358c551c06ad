#include "retrieval/LocalTarget.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

#include "tasks/BackupTask.h"

QString DailySubdirectoryName(const QDate &date)
{
    return QStringLiteral("%1-%2-%3").arg(date.year()).arg(date.month()).arg(date.day());
}

QDate DayOfSubdirectory(const QString &name)
{
    const QStringList parts = name.split(QLatin1Char('-'));
    if (parts.size() != 3)
        return QDate();
    const QDate date(parts[0].toInt(), parts[1].toInt(), parts[2].toInt());
    return date.isValid() && DailySubdirectoryName(date) == name ? date : QDate();
}

bool EndsWithSeparator(const QString &path)
{
#ifdef Q_OS_WIN
    return path.endsWith(QLatin1Char('/')) || path.endsWith(QLatin1Char('\\'));
#else
    return path.endsWith(QLatin1Char('/'));
#endif
}

QString WithClosingSeparator(const QString &path)
{
    return EndsWithSeparator(path) ? path : path + QDir::separator();
}

QString MakeDailySubdirectory(const QString &base, const QDate &date)
{
    if (base.isEmpty() || !date.isValid())
        return base;
    const QString path = WithClosingSeparator(base) + DailySubdirectoryName(date);
    const QFileInfo existing(path);
    // A link in the day's place could lead the backup out of the local
    // directory: then the base it is.
    if (existing.isSymLink() || existing.isJunction())
        return base;
    if (existing.isDir())
        return path;
    // One level only: a missing base is not made up here. Owner-only, like
    // the backups it will hold, whatever the umask.
    if (QDir().mkdir(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner))
        return path;
    return base;
}

QString LocalTargetDirectory(const BackupTask &task, const QDate &date)
{
    QString dir = task.localdir;
    if (dir.isEmpty())
        return QString();
    if (task.subdirectory)
        dir = MakeDailySubdirectory(dir, date);
    return WithClosingSeparator(dir);
}

QString LocalTargetFile(const BackupTask &task, const QDate &date)
{
    const QString dir = LocalTargetDirectory(task, date);
    return dir.isEmpty() ? QString() : dir + task.backupfile;
}
