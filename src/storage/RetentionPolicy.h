#pragma once

#include <QDate>
#include <QList>

// How many backups of a task are kept: the newest `daily` backup days, the
// newest backup of each of the last `weekly` ISO weeks and of each of the
// last `monthly` months that have one (the usual keep-daily/weekly/monthly
// rules). Zero in all three keeps everything.
struct RetentionPolicy {
    int daily = 0;
    int weekly = 0;
    int monthly = 0;

    bool keepsEverything() const { return daily <= 0 && weekly <= 0 && monthly <= 0; }
};

struct RetentionDecision {
    QList<QDate> keep;    // newest first
    QList<QDate> remove;  // newest first
};

// Sorts the backup days into kept and removed. Days after today (a clock set
// back) are always kept and count for nothing; duplicates count once.
RetentionDecision DecideRetention(QList<QDate> dates, const RetentionPolicy &policy, const QDate &today);
