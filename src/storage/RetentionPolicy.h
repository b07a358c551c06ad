#pragma once

#include <QDate>
#include <QList>
#include <QString>

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

// The most backups a keep count may ask for (the editor's limit). Counts
// from elsewhere are bounded to 0 ... MaxKeepCount before use, so a huge
// stored number cannot make a run rotate billions of copies.
constexpr int MaxKeepCount = 9999;
inline int BoundedKeepCount(int count)
{
    return count < 0 ? 0 : count > MaxKeepCount ? MaxKeepCount : count;
}

// In words, for the task editor: what a task with these keep counts keeps.
// With daily subdirectories the policy ("keeps 7 daily, 4 weekly and 6
// monthly backups"); without them only keepdaily counts, as the number of
// copies in all.
QString DescribeRetention(const RetentionPolicy &policy, bool dailySubdirectories, bool german);

struct RetentionDecision {
    QList<QDate> keep;    // newest first
    QList<QDate> remove;  // newest first
};

// Sorts the backup days into kept and removed. Days after today (a clock set
// back) are always kept and count for nothing; duplicates count once.
RetentionDecision DecideRetention(QList<QDate> dates, const RetentionPolicy &policy, const QDate &today);
