#include "storage/RetentionPolicy.h"

#include <algorithm>
#include <functional>

#include <QStringList>

namespace {

struct Rule {
    int count;
    std::function<int(const QDate &)> bucket;
};

int isoWeek(const QDate &d)
{
    int year = 0;
    const int week = d.weekNumber(&year);
    return year * 100 + week;
}

} // namespace

QString DescribeRetention(const RetentionPolicy &policy, bool dailySubdirectories, bool german)
{
    if (!dailySubdirectories) {
        const int older = policy.daily - 1;
        if (older <= 0)
            return german ? QStringLiteral("behält nur das neueste Backup") : QStringLiteral("keeps only the latest backup");
        if (german)
            return QStringLiteral("behält das neueste Backup und %1 %2").arg(older)
                .arg(older == 1 ? QStringLiteral("ältere Kopie") : QStringLiteral("ältere Kopien"));
        return QStringLiteral("keeps the latest backup and %1 %2").arg(older)
            .arg(older == 1 ? QStringLiteral("older copy") : QStringLiteral("older copies"));
    }
    if (policy.keepsEverything())
        return german ? QStringLiteral("behält alle Backups") : QStringLiteral("keeps every backup");
    struct Count {
        int count;
        const char *word;     // before a plural noun
        const char *single;   // before a singular one
    };
    const Count counts[] = {
        {policy.daily, german ? "tägliche" : "daily", german ? "tägliches" : "daily"},
        {policy.weekly, german ? "wöchentliche" : "weekly", german ? "wöchentliches" : "weekly"},
        {policy.monthly, german ? "monatliche" : "monthly", german ? "monatliches" : "monthly"},
    };
    QStringList parts;
    bool single = false;
    for (const Count &c : counts) {
        if (c.count <= 0)
            continue;
        single = parts.isEmpty() && c.count == 1;
        parts << QString::number(c.count) + QLatin1Char(' ') + QString::fromUtf8(c.count == 1 ? c.single : c.word);
    }
    single = single && parts.size() == 1;
    const QString last = parts.takeLast();
    const QString listed = parts.isEmpty() ? last
        : parts.join(QStringLiteral(", ")) + (german ? QStringLiteral(" und ") : QStringLiteral(" and ")) + last;
    if (german)
        return QStringLiteral("behält %1 %2").arg(listed, single ? QStringLiteral("Backup") : QStringLiteral("Backups"));
    return QStringLiteral("keeps %1 %2").arg(listed, single ? QStringLiteral("backup") : QStringLiteral("backups"));
}

RetentionDecision DecideRetention(QList<QDate> dates, const RetentionPolicy &policy, const QDate &today)
{
    std::sort(dates.begin(), dates.end(), std::greater<QDate>());
    dates.erase(std::unique(dates.begin(), dates.end()), dates.end());
    RetentionDecision decision;
    if (policy.keepsEverything()) {
        decision.keep = dates;
        return decision;
    }
    Rule rules[] = {
        {policy.daily, [](const QDate &d) { return int(d.toJulianDay()); }},
        {policy.weekly, isoWeek},
        {policy.monthly, [](const QDate &d) { return d.year() * 100 + d.month(); }},
    };
    int lastBucket[3] = {-1, -1, -1};
    for (const QDate &date : std::as_const(dates)) {
        bool kept = today.isValid() && date > today;
        if (!kept) {
            for (int r = 0; r < 3; ++r) {
                // The newest day of each bucket is the one kept for it.
                const int bucket = rules[r].bucket(date);
                if (rules[r].count > 0 && bucket != lastBucket[r]) {
                    lastBucket[r] = bucket;
                    --rules[r].count;
                    kept = true;
                }
            }
        }
        (kept ? decision.keep : decision.remove).append(date);
    }
    return decision;
}
