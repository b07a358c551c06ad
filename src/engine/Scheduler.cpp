#include "engine/Scheduler.h"

#include "tasks/BackupTask.h"

QString SchedulerHint(const BackupTask &currentTask)
{
    return QStringLiteral("Vaultwick Task\r")
           + (currentTask.run == 0 ? QStringLiteral("No Automatic Backup")
                                   : QStringLiteral("Automatic Backup active"));
}
