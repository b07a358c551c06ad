#include "storage/RetentionPolicy.h"

#include <algorithm>
#include <functional>

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
