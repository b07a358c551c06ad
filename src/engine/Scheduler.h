#pragma once

#include <QList>
#include <QString>
#include <QTime>

struct BackupTask;

// What the scheduler sees of one task-list row.
struct ScheduleRow {
    QString name;
    int imageIndex = 0;   // the task's run flag; exactly 1 is active
    QString timeText;     // "hh:mm" as the editor holds it
};

struct DueRows {
    QList<int> due;       // rows to start now, in row order
    QList<int> invalid;   // rows whose time cannot be read
};

// Reads a daily time such as "12:00", " 9:30" or "09:30". false for anything
// that is not a time of day (e.g. "25:70" or a blank field).
bool ParseBackupTime(const QString &text, int &hour, int &minute);

// The rows due at this hour and minute. A row with an unreadable time is
// reported and skipped; it does not hold up the others.
DueRows FindDueRows(const QList<ScheduleRow> &rows, const QTime &now);

// The tray hint the tick sets from the current task's run flag.
QString SchedulerHint(const BackupTask &currentTask);
