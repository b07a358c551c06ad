#include "engine/Scheduler.h"

#include "tasks/BackupTask.h"

bool ParseBackupTime(const QString &text, int &hour, int &minute)
{
    const QStringList parts = text.trimmed().split(QLatin1Char(':'));
    if (parts.size() != 2)
        return false;
    bool okH = false, okM = false;
    const QString h = parts[0].trimmed(), m = parts[1].trimmed();
    if (h.isEmpty() || m.isEmpty() || h.size() > 2 || m.size() > 2)
        return false;
    hour = h.toInt(&okH);
    minute = m.toInt(&okM);
    return okH && okM && hour >= 0 && hour <= 23 && minute >= 0 && minute <= 59;
}

DueRows FindDueRows(const QList<ScheduleRow> &rows, const QTime &now)
{
    DueRows result;
    for (int i = 0; i < rows.size(); ++i) {
        int h = 0, m = 0;
        if (!ParseBackupTime(rows[i].timeText, h, m)) {
            result.invalid.append(i);
            continue;
        }
        if (h == now.hour() && m == now.minute() && rows[i].imageIndex == 1)
            result.due.append(i);
    }
    return result;
}

QString SchedulerHint(const BackupTask &currentTask)
{
    return QStringLiteral("Vaultwick Task\r")
           + (currentTask.run == 0 ? QStringLiteral("No Automatic Backup")
                                   : QStringLiteral("Automatic Backup active"));
}
