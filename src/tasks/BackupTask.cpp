#include "tasks/BackupTask.h"

#include <QDir>

QString TaskDefaults::localdir()
{
#ifdef Q_OS_WIN
    return QStringLiteral("C:");
#else
    return QDir::homePath();
#endif
}

BackupTask BackupTask::withDefaults(const QString &name)
{
    BackupTask t;
    t.name = name;
    t.mysql = QString::fromLatin1(TaskDefaults::mysql);
    t.backupfile = QString::fromLatin1(TaskDefaults::backupfile);
    t.localdir = TaskDefaults::localdir();
    t.backuptime = QString::fromLatin1(TaskDefaults::backuptime);
    return t;
}
