// The freshness check reads the date of the dump's last line, written by
// the host. Any tail gives a valid local time that is the line's own date,
// or none; and no run start or server file time makes the check misbehave.
#include <QByteArray>
#include <QDateTime>
#include <cstdlib>
#include <cstring>

#include "retrieval/DumpFreshness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size)
{
    qint64 fileTime = -1, startSecs = 0;
    if (size >= 16) {
        std::memcpy(&fileTime, bytes, 8);
        std::memcpy(&startSecs, bytes + 8, 8);
        bytes += 16;
        size -= 16;
    }
    const QByteArray tail(reinterpret_cast<const char *>(bytes), qsizetype(size));
    const QDateTime completed = DumpFreshness::CompletionTime(tail);
    if (completed.isValid()) {
        const int year = completed.date().year();
        if (!tail.contains("-- Dump completed on ") || completed.timeSpec() != Qt::LocalTime || year < 1
            || year > 9999)
            std::abort();
    }
    // Run starts within what QDateTime holds (about +-292 million years).
    const QDateTime runStart = QDateTime::fromSecsSinceEpoch(startSecs % (qint64(1) << 52));
    const bool stale = DumpFreshness::IsStale(runStart, fileTime, completed);
    // A file time at or after the run start is never stale.
    if (runStart.isValid() && fileTime >= 0 && fileTime >= runStart.toSecsSinceEpoch() && stale)
        std::abort();
    return 0;
}
