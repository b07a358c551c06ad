#include "retrieval/DumpFreshness.h"

#include <QRegularExpression>

QDateTime DumpFreshness::CompletionTime(const QByteArray &tail)
{
    static const QRegularExpression line(QStringLiteral(
        "-- Dump completed on (\\d{4})-(\\d{1,2})-(\\d{1,2})\\s+(\\d{1,2}):(\\d{2}):(\\d{2})\\s*$"));
    const QRegularExpressionMatch m = line.match(QString::fromLatin1(tail.trimmed()));
    if (!m.hasMatch())
        return QDateTime();
    const QDate date(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    const QTime time(m.captured(4).toInt(), m.captured(5).toInt(), m.captured(6).toInt());
    return QDateTime(date, time);
}

bool DumpFreshness::IsStale(const QDateTime &runStart, qint64 fileTime, const QDateTime &completedAt)
{
    if (!runStart.isValid())
        return false;
    const qint64 start = runStart.toSecsSinceEpoch();
    if (fileTime >= 0)
        return fileTime < start - FileTimeToleranceS;
    if (completedAt.isValid())
        return completedAt.toSecsSinceEpoch() < start - CompletionToleranceS;
    return false;
}
