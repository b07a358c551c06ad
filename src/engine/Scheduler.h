#pragma once

#include <QString>

struct BackupTask;

// The tray hint the tick sets from the current task's run flag. Which tasks
// start at a tick is the schedule's business (schedule/SchedulePlanner).
QString SchedulerHint(const BackupTask &currentTask);
