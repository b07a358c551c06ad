#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

// What the planner needs of one task-list row.
struct PlannerRow {
    QString name;
    bool active = false;      // the run flag is exactly 1
    QString backuptime;       // "hh:mm" as the editor holds it
    QDateTime lastattempt;    // invalid: no run recorded
    QDateTime saved;          // invalid: never saved by the editor
};

struct PlannedStart {
    int row = -1;
    QDateTime slot;           // the daily time this start serves
    bool catchUp = false;     // the slot was missed, not met by this tick
};

struct SchedulePlan {
    QList<PlannedStart> starts;  // in row order
    QList<int> invalid;          // rows whose time cannot be read
};

struct NextBackup {
    int row = -1;
    QString name;
    QDateTime at;
    bool isValid() const { return row >= 0; }
};

// Decides which tasks start at a tick. Pure: the caller supplies the rows,
// the time and the previous tick, and records each start's attempt before the
// next call, since the attempt is what keeps a slot from running twice.
namespace SchedulePlanner {

// More than this between two ticks means the computer slept or the clock was
// set: only the current minute then counts as "on time".
constexpr qint64 ClockJumpSeconds = 120;
// Slots further back are not made up.
constexpr qint64 CatchUpLimitSeconds = 24 * 60 * 60;

// Reads a daily time such as "12:00", " 9:30" or "09:30". false for anything
// that is not a time of day (e.g. "25:70" or a blank field).
bool parseBackupTime(const QString &text, int &hour, int &minute);

// The latest daily slot at hour:minute not after now: today's when it has
// come, otherwise yesterday's. In now's time zone.
QDateTime latestSlot(int hour, int minute, const QDateTime &now);

// previousTick is invalid at start-up. A slot met by this tick (it lies
// between the previous tick and now, or in the current minute after a clock
// jump or at start-up) starts unless an attempt for it is recorded. A missed
// slot is made up when the task has a recorded attempt or save, the slot lies
// after both and is at most a day old. A task with neither is only started
// on time.
SchedulePlan plan(const QList<PlannerRow> &rows, const QDateTime &now, const QDateTime &previousTick);

// The active task whose daily time comes next after now (row order on ties).
NextBackup next(const QList<PlannerRow> &rows, const QDateTime &now);

}  // namespace SchedulePlanner
