#include "tasks/DatabaseList.h"

#include <QRegularExpression>

namespace DatabaseList {

bool isAll(const QString &database)
{
    return database.trimmed() == QLatin1String("*");
}

QStringList names(const QString &database)
{
    static const QRegularExpression separators(QStringLiteral("[\\s,]+"));
    QStringList out;
    for (const QString &name : database.split(separators, Qt::SkipEmptyParts)) {
        if (!out.contains(name))
            out.append(name);
    }
    return out;
}

bool isSeveral(const QString &database)
{
    return isAll(database) || names(database).size() > 1;
}

bool isSystemSchema(const QString &name)
{
    for (const char *schema : {"information_schema", "performance_schema", "mysql", "sys"}) {
        if (name.compare(QLatin1String(schema), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

QStringList fromListing(const QByteArray &output)
{
    QStringList out;
    for (QByteArray line : output.split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        const QString name = QString::fromUtf8(line);
        if (!name.trimmed().isEmpty() && !isSystemSchema(name) && !out.contains(name))
            out.append(name);
    }
    return out;
}

QString fileFor(const QString &backupfile, const QString &database)
{
    QString part;
    for (const QChar c : database)
        part += c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('-') ? c : QLatin1Char('_');
    const auto [before, after] = fileNameParts(backupfile);
    return before + part + after;
}

std::pair<QString, QString> fileNameParts(const QString &backupfile)
{
    const qsizetype dot = backupfile.lastIndexOf(QLatin1Char('.'));
    if (dot <= 0)
        return {backupfile + QLatin1Char('-'), QString()};
    return {backupfile.left(dot) + QLatin1Char('-'), backupfile.mid(dot)};
}

BackupTask taskFor(const BackupTask &task, const QString &database)
{
    BackupTask one = task;
    one.database = database;
    one.backupfile = fileFor(task.backupfile, database);
    return one;
}

QString listingStarted(bool german)
{
    return german ? QStringLiteral("Liste die Datenbanken auf dem Host auf")
                  : QStringLiteral("Listing the databases on the host");
}

QString listingFailed(const QString &error, bool german)
{
    QString text = german ? QStringLiteral("Die Datenbanken auf dem Host konnten nicht aufgelistet werden - kein Dump")
                          : QStringLiteral("The databases on the host could not be listed - no dump");
    if (!error.isEmpty())
        text += QStringLiteral(": ") + error;
    return text;
}

QString listed(const QStringList &names, bool german)
{
    if (names.isEmpty())
        return german ? QStringLiteral("Keine Datenbank auf dem Host gefunden - kein Dump")
                      : QStringLiteral("No database found on the host - no dump");
    return (german ? QStringLiteral("Datenbanken auf dem Host: %1") : QStringLiteral("Databases on the host: %1"))
        .arg(names.join(QStringLiteral(", ")));
}

QString databaseStarting(int number, int total, const QString &name, bool german)
{
    return (german ? QStringLiteral("Datenbank %1 von %2: %3") : QStringLiteral("Database %1 of %2: %3"))
        .arg(number)
        .arg(total)
        .arg(name);
}

QString storedCount(int stored, int total, bool german)
{
    return (german ? QStringLiteral("%1 von %2 Datenbanken gespeichert") : QStringLiteral("%1 of %2 databases stored"))
        .arg(stored)
        .arg(total);
}

} // namespace DatabaseList
