#include "run/HostValueCheck.h"

#include <utility>

#include "tasks/BackupTask.h"

namespace {
bool hasControlCharacter(const QString &value)
{
    for (QChar c : value) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return true;
    }
    return false;
}
} // namespace

QString TelnetValueRefusal(const BackupTask &task, bool german)
{
    // By store key: the value itself may be a password.
    const std::pair<const char *, const QString *> sent[] = {
        {"hostuser", &task.hostuser}, {"hostpw", &task.hostpw},     {"mysql", &task.mysql},
        {"dbuser", &task.dbuser},     {"dbpw", &task.dbpw},         {"database", &task.database},
        {"remotedir", &task.remotedir}, {"backupfile", &task.backupfile},
    };
    for (const auto &[key, value] : sent) {
        if (!hasControlCharacter(*value))
            continue;
        const QString name = QString::fromLatin1(key);
        return german ? QStringLiteral("Abgewiesen: der Wert %1 der Aufgabe enthält ein Steuerzeichen "
                                       "(etwa Tabulator oder Zeilenumbruch) - nichts an den Host gesendet")
                            .arg(name)
                      : QStringLiteral("Refused: the task's value %1 holds a control character "
                                       "(such as a tab or a line break) - nothing sent to the host")
                            .arg(name);
    }
    return DatabaseNameRefusal(task.database, german);
}

QString DatabaseNameRefusal(const QString &database, bool german)
{
    if (!database.startsWith(QLatin1Char('-')))
        return QString();
    return german ? QStringLiteral("Abgewiesen: der Datenbankname \"%1\" beginnt mit \"-\" und wäre für "
                                   "mysqldump eine Option - kein Dump")
                        .arg(database)
                  : QStringLiteral("Refused: the database name \"%1\" begins with \"-\" and would be an option "
                                   "to mysqldump - no dump")
                        .arg(database);
}
