// The daily time comes from the store, which anyone may have edited. Any
// text reads as a time of day or as none, the time written back the editor's
// way reads the same, and the day's slot for it never lies after now nor
// more than a day (and a summer-time hour) before it.
#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <cstdlib>
#include <cstring>

#include "schedule/SchedulePlanner.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size)
{
    qint64 nowSecs = 0;
    if (size >= 8) {
        std::memcpy(&nowSecs, bytes, 8);
        bytes += 8;
        size -= 8;
    }
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(bytes), qsizetype(size));
    int hour = -1, minute = -1;
    if (!SchedulePlanner::parseBackupTime(text, hour, minute))
        return 0;
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59)
        std::abort();
    int h = -1, m = -1;
    const QString written = QStringLiteral("%1:%2").arg(hour, 2, 10, QLatin1Char('0')).arg(minute, 2, 10, QLatin1Char('0'));
    if (!SchedulePlanner::parseBackupTime(written, h, m) || h != hour || m != minute)
        std::abort();

    // Any moment from 1970 to about 2100, local time.
    const QDateTime now = QDateTime::fromSecsSinceEpoch(qint64(quint64(nowSecs) % 4102444800u));
    const QDateTime slot = SchedulePlanner::latestSlot(hour, minute, now);
    if (!slot.isValid() || slot > now || slot.secsTo(now) > 25 * 3600)
        std::abort();
    return 0;
}
