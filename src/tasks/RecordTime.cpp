#include "tasks/RecordTime.h"

namespace RecordTime {

QString format(const QDateTime &t)
{
    if (!t.isValid())
        return QString();
    // With the offset even for UTC, so every record reads the same way.
    return t.toOffsetFromUtc(t.offsetFromUtc()).toString(Qt::ISODate);
}

QDateTime parse(const QString &text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return QDateTime();
    return QDateTime::fromString(trimmed, Qt::ISODate);
}

}  // namespace RecordTime
