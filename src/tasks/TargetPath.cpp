#include "tasks/TargetPath.h"

#include <QDir>

namespace {
bool endsWithSeparator(const QString &dir)
{
#ifdef Q_OS_WIN
    if (dir.endsWith(QLatin1Char('\\')))
        return true;
#endif
    return dir.endsWith(QLatin1Char('/'));
}
}

QString LocalTargetPath(const QString &localdir, const QString &backupfile)
{
    if (localdir.isEmpty())
        return QString();
    if (endsWithSeparator(localdir))
        return localdir + backupfile;
    return localdir + QDir::separator() + backupfile;
}

bool SameLocalTarget(const QString &a, const QString &b)
{
#ifdef Q_OS_WIN
    return QDir::toNativeSeparators(a).compare(QDir::toNativeSeparators(b), Qt::CaseInsensitive) == 0;
#else
    return a == b;
#endif
}
