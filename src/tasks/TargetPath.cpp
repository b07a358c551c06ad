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

bool SameLocalTarget(const QString &a, const QString &b)
{
#ifdef Q_OS_WIN
    return QDir::toNativeSeparators(a).compare(QDir::toNativeSeparators(b), Qt::CaseInsensitive) == 0;
#else
    return a == b;
#endif
}
