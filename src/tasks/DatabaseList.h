#pragma once

#include <QString>
#include <QStringList>
#include <utility>

#include "tasks/BackupTask.h"

// A task's `database` value: one name (the dump as it always was), several
// separated by blanks or commas, or "*" for every database the host's user
// may see, listed at run time. Each database of several is stored in a file
// of its own, named after the task's backup file.
namespace DatabaseList {

// "*" (blanks around it ignored).
bool isAll(const QString &database);
// The names as the user typed them, in order, without repeats.
QStringList names(const QString &database);
// More than one database, or "*": the run goes through them one by one.
bool isSeveral(const QString &database);

// The user's databases in the output of SHOW DATABASES (one per line),
// without the server's own schemas.
QStringList fromListing(const QByteArray &output);
bool isSystemSchema(const QString &name);

// The stored file's name for one database of several: the database's name
// before the backup file's extension ("shop.sql", "orders": "shop-orders.sql").
// Characters a file name should not hold become "_".
QString fileFor(const QString &backupfile, const QString &database);
// What comes before and after the database's name in those files.
std::pair<QString, QString> fileNameParts(const QString &backupfile);

// The protocol's line as the listing starts.
QString listingStarted(bool german);
// The run's line and reason when the list could not be had; error: the
// client's or the connection's own words, if any.
QString listingFailed(const QString &error, bool german);
// The protocol's line of what a listing found.
QString listed(const QStringList &names, bool german);
// The line before each database's part of a run: "Database 2 of 3: orders".
QString databaseStarting(int number, int total, const QString &name, bool german);

// The task of one database's run: that database, its own file name.
BackupTask taskFor(const BackupTask &task, const QString &database);

// The Message's count: "3 of 3 databases stored".
QString storedCount(int stored, int total, bool german);

} // namespace DatabaseList
