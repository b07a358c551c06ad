#include "schedule/SchedulePlanner.h"

#include <QStringList>
#include <QTimeZone>

namespace SchedulePlanner {

namespace {
// A record far ahead of now was written under a wrong clock; trusting it
// would hold the task back until that day comes.
QDateTime plausible(const QDateTime &record, const QDateTime &now)
{
    if (record.isValid() && now.secsTo(record) > CatchUpLimitSeconds)
        return QDateTime();
    return record;
}

bool after(const QDateTime &slot, const QDateTime &record)
{
    return !record.isValid() || slot > record;
}

QDateTime wallTime(const QDate &day, const QTime &time, const QDateTime &zoneOf)
{
    if (zoneOf.timeSpec() == Qt::TimeZone)
        return QDateTime(day, time, zoneOf.timeZone());
    return QDateTime(day, time, zoneOf.timeSpec(), zoneOf.offsetFromUtc());
}

// The daily time on day, in now's zone. On the day the clocks skip the hour
// that holds it, the time does not exist; read with the offset before the
// change (02:30 becomes 03:30 summer time) the day still has its slot.
QDateTime slotOn(const QDate &day, int hour, int minute, const QDateTime &now)
{
    const QDateTime slot = wallTime(day, QTime(hour, minute), now);
    if (slot.isValid())
        return slot;
    const int offsetBefore = wallTime(day.addDays(-1), QTime(12, 0), now).offsetFromUtc();
    const QDateTime instant = QDateTime(day, QTime(hour, minute), Qt::UTC).addSecs(-offsetBefore);
    return now.timeSpec() == Qt::TimeZone ? instant.toTimeZone(now.timeZone()) : instant.toLocalTime();
}

// Whether this tick meets the slot itself.
bool metByTick(const QDateTime &slot, const QDateTime &now, const QDateTime &previousTick)
{
    if (slot > now)
        return false;
    const qint64 sincePrevious = previousTick.isValid() ? previousTick.secsTo(now) : -1;
    if (sincePrevious >= 0 && sincePrevious <= ClockJumpSeconds)
        return slot > previousTick;
    // Start-up or a clock jump: the current minute only.
    return slot.secsTo(now) < 60;
}
}

bool parseBackupTime(const QString &text, int &hour, int &minute)
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

QDateTime latestSlot(int hour, int minute, const QDateTime &now)
{
    QDateTime slot = slotOn(now.date(), hour, minute, now);
    if (slot > now)
        slot = slotOn(now.date().addDays(-1), hour, minute, now);
    return slot;
}

SchedulePlan plan(const QList<PlannerRow> &rows, const QDateTime &now, const QDateTime &previousTick)
{
    SchedulePlan result;
    for (int i = 0; i < rows.size(); ++i) {
        const PlannerRow &row = rows[i];
        int h = 0, m = 0;
        if (!parseBackupTime(row.backuptime, h, m)) {
            result.invalid.append(i);
            continue;
        }
        if (!row.active)
            continue;
        const QDateTime slot = latestSlot(h, m, now);
        const QDateTime attempt = plausible(row.lastattempt, now);
        const QDateTime saved = plausible(row.saved, now);
        if (!after(slot, attempt))
            continue;  // this slot has had its run
        if (metByTick(slot, now, previousTick)) {
            result.starts.append({i, slot, false});
            continue;
        }
        // A task never run nor saved has no record to tell a missed slot
        // from one that was never meant for it.
        if (!attempt.isValid() && !saved.isValid())
            continue;
        if (after(slot, saved) && slot.secsTo(now) <= CatchUpLimitSeconds)
            result.starts.append({i, slot, true});
    }
    return result;
}

NextBackup next(const QList<PlannerRow> &rows, const QDateTime &now)
{
    NextBackup best;
    for (int i = 0; i < rows.size(); ++i) {
        int h = 0, m = 0;
        if (!rows[i].active || !parseBackupTime(rows[i].backuptime, h, m))
            continue;
        const QDateTime at = slotOn(latestSlot(h, m, now).date().addDays(1), h, m, now);
        if (!best.isValid() || at < best.at)
            best = {i, rows[i].name, at};
    }
    return best;
}

}  // namespace SchedulePlanner
