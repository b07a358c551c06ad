#pragma once

#include <QDateTime>
#include <QString>

struct NextBackup;

// The schedule's own lines and hints, in the interface language (English
// when english is true, German otherwise).
namespace ScheduleTexts {

// A date as the protocol writes it: "MM/dd/yyyy" or "dd.MM.yyyy".
QString date(bool english, const QDate &day);

// "Catching up the backup due at 12:00 (TASK)", with the slot's date when it
// lies on an earlier day than now.
QString catchUpLine(bool english, const QString &task, const QDateTime &slot, const QDateTime &now);

// "Next backup: TASK at 12:00"; empty when no task is active.
QString nextBackup(bool english, const NextBackup &next);

// "!!! No successful backup since DATE".
QString overdueMessage(bool english, const QDateTime &since);

}  // namespace ScheduleTexts
