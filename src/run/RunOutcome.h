#pragma once

#include <QDateTime>
#include <QMetaType>
#include <QString>

// What a finished run reports to whoever shows runs (window, command line).
struct RunOutcome {
    QString taskName;
    bool success = false;
    QString reason;       // why it failed, in the interface language; empty on success
    QString storedFile;   // the local file that now holds the backup; empty on failure
    QString message;      // the task's Message text: the mark, the time, and what to add
    QDateTime started;
};
Q_DECLARE_METATYPE(RunOutcome)
