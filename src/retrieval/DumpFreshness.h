#pragma once

#include <QByteArray>
#include <QDateTime>

// A failed dump leaves the host's older file in place; fetched after a run it
// would pass for today's backup. Server clocks differ from ours, so the file's
// time is allowed some slack; the dump's own completion date (host local time,
// zone unknown) only a day and a bit.
struct DumpFreshness {
    static constexpr qint64 FileTimeToleranceS = 15 * 60;
    static constexpr qint64 CompletionToleranceS = 26 * 3600;

    // The date of a "-- Dump completed on YYYY-MM-DD hh:mm:ss" line at the end
    // of tail, read as local time; invalid when the line carries none.
    static QDateTime CompletionTime(const QByteArray &tail);

    // True when a dump fetched for a run that began at runStart is older than
    // the run. fileTime: seconds since the epoch as the server gave them, -1
    // when it gave none; then the completion date decides, and a dump that
    // has no date is taken.
    static bool IsStale(const QDateTime &runStart, qint64 fileTime, const QDateTime &completedAt);
};
