#pragma once

#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QString>

class TaskStore;

// When an active task has gone too long without a successful backup, and
// the rule that the user hears about it once a day.
class OverdueWatch {
public:
    static constexpr int DefaultDays = 2;
    static const QString DaysKey;  // "Options/overduedays"

    // The setting: absent, unreadable or negative gives the default; 0 turns
    // the warning off.
    static int readDays(const TaskStore &store);
    // false when the store refused.
    static bool saveDays(const TaskStore &store, int days);

    // Since when the task has been without success: its last success, else
    // when it was saved (a task that never succeeded). Invalid when neither
    // is known: such a task is not judged.
    static QDateTime since(const QDateTime &lastsuccess, const QDateTime &saved);
    static bool isOverdue(bool active, const QDateTime &since, const QDateTime &now, int days);

    // True the first time on a calendar day that an overdue task is
    // reported; false for further reports that day.
    bool takeNotice(const QString &task, const QDate &today);
    // The task is no longer overdue: its next overdue spell notifies at once.
    void clear(const QString &task);

private:
    QHash<QString, QDate> m_noticed;  // by name in lower case
};
