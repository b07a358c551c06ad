#include "tasks/TargetPath.h"

#include <QDir>
#include <algorithm>

#include "engine/ServerText.h"
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

namespace {

bool hasControl(const QString &text)
{
    return std::any_of(text.begin(), text.end(), isControlCharacter);
}

// The text as a message may show it: control characters as "?".
QString printable(QString text)
{
    for (QChar &c : text)
        if (isControlCharacter(c))
            c = QLatin1Char('?');
    return text;
}

} // namespace

QString BackupFileNameProblem(const QString &backupfile, bool german)
{
    if (!backupfile.contains(QLatin1Char('/')) && !backupfile.contains(QLatin1Char('\\'))
        && !backupfile.contains(QStringLiteral("..")) && !backupfile.startsWith(QLatin1Char('-'))
        && !hasControl(backupfile))
        return QString();
    if (german)
        return QStringLiteral("Der Name der Backup-Datei \"%1\" ist nicht erlaubt: er darf weder \"/\", \"\\\", "
                              "\"..\" noch Steuerzeichen enthalten und nicht mit \"-\" beginnen.")
            .arg(printable(backupfile));
    return QStringLiteral("The backup file name \"%1\" is not allowed: it must not contain \"/\", \"\\\", \"..\" "
                          "or control characters, nor begin with \"-\".")
        .arg(printable(backupfile));
}

QString LocalDirectoryProblem(const QString &localdir, bool german)
{
    if (!hasControl(localdir))
        return QString();
    if (german)
        return QStringLiteral("Das lokale Verzeichnis \"%1\" ist nicht erlaubt: es darf keine Steuerzeichen enthalten.")
            .arg(printable(localdir));
    return QStringLiteral("The local directory \"%1\" is not allowed: it must not contain control characters.")
        .arg(printable(localdir));
}
