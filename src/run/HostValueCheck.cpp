#include "run/HostValueCheck.h"

#include <algorithm>
#include <utility>

#include "engine/ServerText.h"
#include "tasks/BackupTask.h"
#include "tasks/DumpOptions.h"

namespace {
// C1 as well: a UTF-8 terminal acts on those too.
bool hasControlCharacter(const QString &value)
{
    return std::any_of(value.begin(), value.end(), isControlCharacter);
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
    return DumpValueRefusal(task, german);
}

QString DumpValueRefusal(const BackupTask &task, bool german)
{
    const QString name = DatabaseNameRefusal(task.database, german);
    if (!name.isEmpty())
        return name;
    const QString program = DumpOptions::programRefusal(task.dumpprogram, german);
    if (!program.isEmpty())
        return program;
    const DumpOptions::Parsed options = DumpOptions::parse(task.dumpoptions, german);
    if (options.ok())
        return QString();
    return options.error + (german ? QStringLiteral(" - kein Dump") : QStringLiteral(" - no dump"));
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
