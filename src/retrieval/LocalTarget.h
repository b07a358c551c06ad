#pragma once

#include <QDate>
#include <QString>

struct BackupTask;

// Per-day subdirectory name: year-month-day without leading zeros (2026-12-7).
QString DailySubdirectoryName(const QDate &date);
// The day a directory of that name stands for; invalid for any other name.
QDate DayOfSubdirectory(const QString &name);

// True when the path already ends with a directory separator: "/" or "\" on
// Windows, "/" elsewhere.
bool EndsWithSeparator(const QString &path);
// The path with a closing separator, the native one when one is appended.
QString WithClosingSeparator(const QString &path);

// The day's subdirectory of base, created (one level) when missing; base
// unchanged when it cannot be made. Reports nothing.
QString MakeDailySubdirectory(const QString &base, const QDate &date);

// The directory the task's file goes into, ending with a separator: localdir,
// or its subdirectory of the day when the task asks for one. Empty when the
// task names no local directory, so that nothing lands in a root directory
// by accident.
QString LocalTargetDirectory(const BackupTask &task, const QDate &date);
// LocalTargetDirectory followed by backupfile; empty without a local directory.
QString LocalTargetFile(const BackupTask &task, const QDate &date);
