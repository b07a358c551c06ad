#pragma once

#include <QDateTime>
#include <QString>

// The time stamps of a task's run record and save: ISO 8601 with the UTC
// offset, e.g. "2026-12-07T12:00:03+01:00".
namespace RecordTime {

QString format(const QDateTime &t);
// An empty or unreadable text gives an invalid time.
QDateTime parse(const QString &text);

}  // namespace RecordTime
