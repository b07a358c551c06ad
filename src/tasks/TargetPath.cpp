#include "tasks/TargetPath.h"

#include <QDir>

#include "retrieval/LocalTarget.h"

QString LocalTargetPath(const QString &localdir, const QString &backupfile)
{
    if (localdir.isEmpty())
        return QString();
    // Joined exactly as retrieval joins them, so equal targets are one file.
    return WithClosingSeparator(localdir) + backupfile;
}

QString LocalTargetKey(const QString &target)
{
#ifdef Q_OS_WIN
    return QDir::toNativeSeparators(target).toCaseFolded();
#else
    return target;
#endif
}

bool SameLocalTarget(const QString &a, const QString &b)
{
    return LocalTargetKey(a) == LocalTargetKey(b);
}
