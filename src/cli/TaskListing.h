#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include "tasks/BackupTask.h"

class TaskStore;

// The tasks as the command line lists them. The words in the fields are the
// same in both interface languages, so scripts can read them.
namespace TaskListing {

struct Listing {
    QList<BackupTask> tasks;      // in store order
    QStringList unreadable;       // tasks whose values could not be read
};

Listing read(const TaskStore &store);

// One line per task: name, "active"/"inactive", daily time, "telnet"/"ssh",
// "ftp"/"http", last outcome. Tabs and line breaks inside a field become blanks.
QString table(const QList<BackupTask> &tasks);
// A JSON array of objects with the same values, the run record and where
// the task's passwords are ("file" or "keyring"), never the passwords.
QByteArray json(const QList<BackupTask> &tasks);

}
