#include <QTimeZone>
#include <QtTest>

#include "RequirePeer.h"
#include "schedule/OverdueWatch.h"
#include "schedule/SchedulePlanner.h"
#include "schedule/ScheduleTexts.h"
#include "tasks/RecordTime.h"

namespace {
QDateTime at(int day, const char *hhmmss)
{
    return QDateTime(QDate(2026, 12, day), QTime::fromString(QString::fromLatin1(hhmmss), QStringLiteral("HH:mm:ss")),
                     Qt::UTC);
}

PlannerRow row(const char *name, const char *time, QDateTime lastattempt = {}, QDateTime saved = {})
{
    return {QString::fromLatin1(name), true, QString::fromLatin1(time), lastattempt, saved};
}

// Ticks the planner the way the main window does: every start records its
// attempt before the next tick.
struct Ticker {
    QList<PlannerRow> rows;
    QDateTime previous;
    QStringList started;  // "name slot" or "name slot caught-up"

    QList<PlannedStart> tick(const QDateTime &now)
    {
        const SchedulePlan plan = SchedulePlanner::plan(rows, now, previous);
        for (const PlannedStart &s : plan.starts) {
            rows[s.row].lastattempt = now;
            started << rows[s.row].name + QLatin1Char(' ') + s.slot.toString(QStringLiteral("dd HH:mm"))
                           + (s.catchUp ? QStringLiteral(" caught-up") : QString());
        }
        previous = now;
        return plan.starts;
    }
    void tickEvery55s(const QDateTime &from, const QDateTime &to)
    {
        for (QDateTime t = from; t <= to; t = t.addSecs(55))
            tick(t);
    }
};
}

class TestSchedulePlanner : public QObject {
    Q_OBJECT
private slots:
    void doubleTickInOneMinuteStartsOnce()
    {
        // A tick in the minute's first five seconds is followed by a second
        // one in the same minute; a task recorded yesterday and one with no
        // record at all start once each.
        Ticker t;
        t.rows = {row("Shop", "12:00", at(6, "12:00:03")), row("Old", "12:00")};
        t.tick(at(7, "11:59:08"));
        t.tick(at(7, "12:00:03"));
        t.tick(at(7, "12:00:58"));
        t.tickEvery55s(at(7, "12:01:53"), at(7, "12:10:00"));
        QCOMPARE(t.started, (QStringList{"Shop 07 12:00", "Old 07 12:00"}));

        // A late timer that skips the minute still meets the slot.
        Ticker late;
        late.rows = {row("Old", "12:00")};
        late.tick(at(7, "11:59:59"));
        late.tick(at(7, "12:01:01"));
        QCOMPARE(late.started, QStringList{"Old 07 12:00"});
    }

    void missedSlotIsMadeUpOnceAtStartAndNeverAgain()
    {
        Ticker t;
        t.rows = {row("Shop", "12:00", at(6, "12:00:05"))};
        const QList<PlannedStart> first = t.tick(at(7, "12:07:00"));  // start-up: no previous tick
        QCOMPARE(first.size(), 1);
        QVERIFY(first[0].catchUp);
        QCOMPARE(first[0].slot, at(7, "12:00:00"));
        // A day of ticks adds only the next day's own run.
        t.tickEvery55s(at(7, "12:07:55"), at(8, "12:05:00"));
        QCOMPARE(t.started, (QStringList{"Shop 07 12:00 caught-up", "Shop 08 12:00"}));
        // A restart after that run finds nothing to make up.
        QVERIFY(SchedulePlanner::plan(t.rows, at(8, "13:00:00"), {}).starts.isEmpty());
    }

    void onlyTheLatestSlotWithinADayIsMadeUp()
    {
        // Three days off: one run, for yesterday's slot, not one per day.
        Ticker t;
        t.rows = {row("Shop", "12:00", at(4, "12:00:05"))};
        t.tick(at(7, "09:00:00"));
        QCOMPARE(t.started, QStringList{"Shop 06 12:00 caught-up"});

        // Across the end of summer time yesterday's slot lies 24.5 hours back.
        const QTimeZone berlin("Europe/Berlin");
        if (!berlin.isValid())
            VW_SKIP("no time zone data for Europe/Berlin");
        const QDateTime now(QDate(2026, 10, 25), QTime(11, 30), berlin);
        const QList<PlannerRow> rows{row("Shop", "12:00", QDateTime(QDate(2026, 10, 22), QTime(12, 0), berlin))};
        QVERIFY(SchedulePlanner::plan(rows, now, {}).starts.isEmpty());
        QCOMPARE(SchedulePlanner::plan(rows, now.addSecs(-3600), {}).starts.size(), 1);
    }

    void aTimeInTheSkippedSpringHourStillRunsThatDay()
    {
        const QTimeZone berlin("Europe/Berlin");
        if (!berlin.isValid())
            VW_SKIP("no time zone data for Europe/Berlin");
        // On 29 March 2026 the clocks go from 02:00 to 03:00: 02:30 is read
        // as 03:30 summer time, once, and announced as the next backup.
        const QDateTime before(QDate(2026, 3, 28), QTime(12, 0), berlin);
        const NextBackup next = SchedulePlanner::next({row("Shop", "02:30")}, before);
        QVERIFY(next.isValid());
        QCOMPARE(next.at, QDateTime(QDate(2026, 3, 29), QTime(3, 30), berlin));

        Ticker t;
        t.rows = {row("Shop", "02:30", QDateTime(QDate(2026, 3, 28), QTime(2, 30), berlin))};
        t.tickEvery55s(QDateTime(QDate(2026, 3, 29), QTime(1, 50), berlin),
                       QDateTime(QDate(2026, 3, 29), QTime(4, 30), berlin));
        QCOMPARE(t.started, QStringList{"Shop 29 03:30"});
    }

    void savedAfterItsSlotOrNeverRecordedIsNotMadeUp()
    {
        const QList<PlannerRow> rows{
            row("Edited", "12:00", at(6, "12:00:05"), at(7, "12:30:00")),  // saved after today's slot
            row("New", "12:00", {}, at(7, "12:30:00")),
            row("Old", "12:00"),                                          // neither value
            row("Fresh", "12:00", {}, at(7, "11:00:00")),                 // saved before the slot: made up
        };
        const SchedulePlan plan = SchedulePlanner::plan(rows, at(7, "13:00:00"), {});
        QCOMPARE(plan.starts.size(), 1);
        QCOMPARE(plan.starts[0].row, 3);
        // An inactive task is never made up.
        QList<PlannerRow> inactive{rows[3]};
        inactive[0].active = false;
        QVERIFY(SchedulePlanner::plan(inactive, at(7, "13:00:00"), {}).starts.isEmpty());
    }

    void clockJumpMakesUpTheSlotItPassed()
    {
        Ticker t;
        t.rows = {row("Shop", "12:00", at(6, "12:00:05")), row("Old", "12:00")};
        t.tick(at(7, "11:50:00"));
        t.tick(at(7, "11:52:30"));     // a short gap passes nothing
        QVERIFY(t.started.isEmpty());
        t.tick(at(7, "12:30:00"));     // woke from sleep
        QCOMPARE(t.started, QStringList{"Shop 07 12:00 caught-up"});
        // The clock set back an hour does not run the slot again; the task
        // that was not made up meets it on time.
        t.tickEvery55s(at(7, "11:30:00"), at(7, "12:20:00"));
        QCOMPARE(t.started, (QStringList{"Shop 07 12:00 caught-up", "Old 07 12:00"}));
    }

    void missedTasksQueueInRowOrderAndBadTimesHoldNothingUp()
    {
        const QList<PlannerRow> rows{row("B", "11:00", at(6, "11:00:01")), row("Broken", "25:70", at(6, "10:00:00")),
                                     row("A", "10:00", at(6, "10:00:01"))};
        const SchedulePlan plan = SchedulePlanner::plan(rows, at(7, "12:00:00"), {});
        QCOMPARE(plan.starts.size(), 2);
        QCOMPARE(plan.starts[0].row, 0);
        QCOMPARE(plan.starts[1].row, 2);
        QCOMPARE(plan.invalid, QList<int>{1});
    }

    void recordTimesAndFarFutureRecords()
    {
        const QDateTime t(QDate(2026, 12, 7), QTime(12, 0, 3), QTimeZone(3600));
        QCOMPARE(RecordTime::format(t), QStringLiteral("2026-12-07T12:00:03+01:00"));
        QCOMPARE(RecordTime::parse(QStringLiteral("2026-12-07T12:00:03+01:00")), t);
        QCOMPARE(RecordTime::format(t.toUTC()), QStringLiteral("2026-12-07T11:00:03+00:00"));
        QVERIFY(!RecordTime::parse(QStringLiteral("yesterday")).isValid());
        // An attempt recorded under a clock a year ahead does not block the task.
        const QList<PlannerRow> rows{row("Shop", "12:00", at(7, "12:00:00").addYears(1))};
        QCOMPARE(SchedulePlanner::plan(rows, at(7, "12:00:10"), at(7, "11:59:15")).starts.size(), 1);
    }

    void textsAndNextBackup()
    {
        QList<PlannerRow> rows{row("Late", "18:00"), row("Off", "13:00"), row("Early", "09:00")};
        rows[1].active = false;
        NextBackup next = SchedulePlanner::next(rows, at(7, "12:00:00"));
        QCOMPARE(ScheduleTexts::nextBackup(true, next), QStringLiteral("Next backup: Late at 18:00"));
        next = SchedulePlanner::next(rows, at(7, "18:00:00"));
        QCOMPARE(ScheduleTexts::nextBackup(false, next), QStringLiteral("Nächstes Backup: Early um 09:00"));
        QVERIFY(ScheduleTexts::nextBackup(true, SchedulePlanner::next({}, at(7, "12:00:00"))).isEmpty());

        QCOMPARE(ScheduleTexts::catchUpLine(true, "Shop", at(7, "12:00:00"), at(7, "12:07:00")),
                 QStringLiteral("Catching up the backup due at 12:00 (Shop)"));
        QCOMPARE(ScheduleTexts::catchUpLine(false, "Shop", at(6, "12:00:00"), at(7, "09:00:00")),
                 QStringLiteral("Hole das Backup von 12:00 am 06.12.2026 nach (Shop)"));
        QCOMPARE(ScheduleTexts::catchUpLine(true, "Shop", at(6, "12:00:00"), at(7, "09:00:00")),
                 QStringLiteral("Catching up the backup due at 12:00 on 12/06/2026 (Shop)"));
    }

    void overdueAfterTheSetDaysAndNoticedOnceADay()
    {
        const QDateTime success = at(4, "12:00:00");
        const QDateTime since = OverdueWatch::since(success, at(1, "09:00:00"));
        QCOMPARE(since, success);
        QVERIFY(!OverdueWatch::isOverdue(true, since, at(6, "12:00:00"), 2));  // exactly two days
        QVERIFY(OverdueWatch::isOverdue(true, since, at(6, "12:00:01"), 2));
        QVERIFY(!OverdueWatch::isOverdue(false, since, at(7, "12:00:00"), 2));
        QVERIFY(!OverdueWatch::isOverdue(true, since, at(7, "12:00:00"), 0));  // 0: off
        QVERIFY(!OverdueWatch::isOverdue(true, OverdueWatch::since({}, {}), at(7, "12:00:00"), 2));
        // Never succeeded: counted from the save.
        QCOMPARE(OverdueWatch::since({}, at(1, "09:00:00")), at(1, "09:00:00"));
        QCOMPARE(ScheduleTexts::overdueMessage(true, since), QStringLiteral("!!! No successful backup since 12/04/2026"));
        QCOMPARE(ScheduleTexts::overdueMessage(false, since), QStringLiteral("!!! Kein erfolgreiches Backup seit 04.12.2026"));

        OverdueWatch watch;
        QVERIFY(watch.takeNotice("Shop", QDate(2026, 12, 7)));
        QVERIFY(!watch.takeNotice("shop", QDate(2026, 12, 7)));
        QVERIFY(watch.takeNotice("Other", QDate(2026, 12, 7)));
        QVERIFY(watch.takeNotice("Shop", QDate(2026, 12, 8)));
        watch.clear("Shop");
        QVERIFY(watch.takeNotice("Shop", QDate(2026, 12, 8)));
    }
};

QTEST_GUILESS_MAIN(TestSchedulePlanner)
#include "tst_scheduleplanner.moc"
