#include "schedule/BackupSchedule.h"

#include "engine/Clock.h"
#include "schedule/ScheduleTexts.h"
#include "shell/LanguageTexts.h"
#include "tasks/RecordTime.h"
#include "tasks/TaskStore.h"

BackupSchedule::BackupSchedule(const TaskStore &store, const Clock &clock) : m_store(store), m_clock(clock) {}

QDateTime BackupSchedule::now() const
{
    return m_clock.now();
}

void BackupSchedule::reload(const QList<TaskListEntry> &entries)
{
    QHash<QString, Record> fresh;
    for (const TaskListEntry &entry : entries) {
        const StoredRunRecord &stored = entry.record;
        Record r = record(stored.name);
        // A record the store refused stays as memory knows it.
        if (!r.unsaved) {
            r.lastattempt = RecordTime::parse(stored.lastattempt);
            r.lastsuccess = RecordTime::parse(stored.lastsuccess);
            r.lastmessage = stored.lastmessage;
        }
        r.saved = RecordTime::parse(stored.saved);
        fresh.insert(stored.name.toLower(), r);
    }
    m_records = fresh;
    m_overdueDays = OverdueWatch::readDays(m_store);
}

QList<PlannerRow> BackupSchedule::plannerRows(const QList<ScheduleRowInput> &rows) const
{
    QList<PlannerRow> result;
    result.reserve(rows.size());
    for (const ScheduleRowInput &row : rows) {
        const Record r = record(row.name);
        result.append({row.name, row.run == 1, row.backuptime, r.lastattempt, r.saved});
    }
    return result;
}

SchedulePlan BackupSchedule::tick(const QList<ScheduleRowInput> &rows)
{
    const QDateTime now = m_clock.now();
    const SchedulePlan plan = SchedulePlanner::plan(plannerRows(rows), now, m_previousTick);
    m_previousTick = now;
    return plan;
}

bool BackupSchedule::recordAttempt(const QString &name)
{
    const QDateTime now = m_clock.now();
    Record &r = m_records[name.toLower()];
    r.lastattempt = now;
    RunRecord attempt;
    attempt.lastattempt = RecordTime::format(now);
    const bool saved = m_store.SaveRunRecord(name, attempt);
    r.unsaved = r.unsaved || !saved;
    return saved;
}

bool BackupSchedule::recordOutcome(const QString &name, bool success, const QString &message)
{
    const QDateTime now = m_clock.now();
    Record &r = m_records[name.toLower()];
    r.lastmessage = message;
    RunRecord stored;
    stored.lastmessage = message;
    if (success) {
        r.lastsuccess = now;
        stored.lastsuccess = RecordTime::format(now);
        m_overdue.clear(name);
    }
    const bool saved = m_store.SaveRunRecord(name, stored);
    r.unsaved = r.unsaved || !saved;
    return saved;
}

bool BackupSchedule::isOverdue(const QString &name, bool active) const
{
    return OverdueWatch::isOverdue(active, overdueSince(name), m_clock.now(), m_overdueDays);
}

QDateTime BackupSchedule::overdueSince(const QString &name) const
{
    const Record r = record(name);
    return OverdueWatch::since(r.lastsuccess, r.saved);
}

QString BackupSchedule::rowMessage(const QString &name, bool active, bool english) const
{
    if (isOverdue(name, active))
        return ScheduleTexts::overdueMessage(english, overdueSince(name));
    return record(name).lastmessage;
}

QStringList BackupSchedule::takeOverdueNotices(const QList<ScheduleRowInput> &rows)
{
    QStringList due;
    const QDate today = m_clock.now().date();
    for (const ScheduleRowInput &row : rows) {
        if (!isOverdue(row.name, row.run == 1))
            m_overdue.clear(row.name);
        else if (m_overdue.takeNotice(row.name, today))
            due.append(row.name);
    }
    return due;
}

int BackupSchedule::failedCount(const QList<ScheduleRowInput> &rows) const
{
    int failed = 0;
    for (const ScheduleRowInput &row : rows) {
        const QString message = record(row.name).lastmessage;
        if (row.run == 1 && message.size() > WarningPrefix.size() && message.startsWith(WarningPrefix))
            ++failed;
    }
    return failed;
}

NextBackup BackupSchedule::next(const QList<ScheduleRowInput> &rows) const
{
    return SchedulePlanner::next(plannerRows(rows), m_clock.now());
}
