#include "tasks/RecordTime.h"

namespace RecordTime {

QString format(const QDateTime &t)
{
    if (!t.isValid())
        return QString();
    // With the offset even for UTC (Qt writes "Z" there), so every record
    // reads the same way.
    QString text = t.toOffsetFromUtc(t.offsetFromUtc()).toString(Qt::ISODate);
    if (text.endsWith(QLatin1Char('Z')))
        text.replace(text.size() - 1, 1, QStringLiteral("+00:00"));
    return text;
}

QDateTime parse(const QString &text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return QDateTime();
    return QDateTime::fromString(trimmed, Qt::ISODate);
}

}  // namespace RecordTime
