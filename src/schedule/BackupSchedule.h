#pragma once

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include "schedule/OverdueWatch.h"
#include "schedule/SchedulePlanner.h"

class Clock;
class TaskStore;

// What the schedule sees of a task-list row.
struct ScheduleRowInput {
    QString name;
    int run = 0;
    QString backuptime;
};

struct TaskListEntry;

// The schedule between the task board and the runs: keeps each task's run
// record (read from the store after every rebuild, written as runs start
// and end), asks the planner at each tick, and answers what is shown about
// it. No widgets; whoever shows it does the showing.
class BackupSchedule {
public:
    BackupSchedule(const TaskStore &store, const Clock &clock);

    // After the list was rebuilt: every task's record, afresh, from the
    // entries the list was built from.
    void reload(const QList<TaskListEntry> &entries);

    // The starts due now; the tick's time becomes the previous tick. The
    // caller records each start with recordAttempt before the next tick.
    SchedulePlan tick(const QList<ScheduleRowInput> &rows);
    QDateTime now() const;

    // A scheduled or made-up run starts / a run ended. Kept in memory even
    // when the store refuses, so a slot still runs only once; false then.
    bool recordAttempt(const QString &name);
    bool recordOutcome(const QString &name, bool success, const QString &message);

    // What the Message column shows for a task after a rebuild: the overdue
    // warning, else the last outcome's message.
    QString rowMessage(const QString &name, bool active, bool english) const;
    // Active tasks that are overdue and not yet reported today, in row
    // order; each is reported once a day.
    QStringList takeOverdueNotices(const QList<ScheduleRowInput> &rows);
    QDateTime overdueSince(const QString &name) const;
    // Active tasks whose last run failed.
    int failedCount(const QList<ScheduleRowInput> &rows) const;
    NextBackup next(const QList<ScheduleRowInput> &rows) const;

    // The overdue limit in days (re-read with the records).
    int overdueDays() const { return m_overdueDays; }

private:
    struct Record {
        QDateTime lastattempt;
        QDateTime lastsuccess;
        QDateTime saved;
        QString lastmessage;
        bool unsaved = false;  // the store refused part of it
    };
    QList<PlannerRow> plannerRows(const QList<ScheduleRowInput> &rows) const;
    Record record(const QString &name) const { return m_records.value(name.toLower()); }
    bool isOverdue(const QString &name, bool active) const;

    const TaskStore &m_store;
    const Clock &m_clock;
    QHash<QString, Record> m_records;  // by name in lower case
    QDateTime m_previousTick;
    OverdueWatch m_overdue;
    int m_overdueDays = OverdueWatch::DefaultDays;
};
