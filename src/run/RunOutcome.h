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
    // Stored, but not proven: why the test restore failed. Raised like a
    // failed run (notification, mail), though the backup is in place.
    QString warning;
    // The test restore for the run record: "passed" or "failed: why";
    // counts: "TABLES ROWS". Empty: no test ran.
    QString restoreTest;
    QString restoreCounts;
    // What the warning is about: the test restore, or the off-site copy.
    enum class Warning { TestRestore, Offsite };
    Warning warningKind = Warning::TestRestore;
    // The off-site copy for the run record: "copied" or "failed: why";
    // empty: the task has none. offsiteChecked: the destination's check
    // passed in this run.
    QString offsite;
    bool offsiteChecked = false;

    // Stored, and nothing raised against it: what a monitor counts as success.
    bool proven() const { return success && warning.isEmpty(); }
};
Q_DECLARE_METATYPE(RunOutcome)
