#pragma once

#include <QDate>
#include <QList>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>

#include "offsite/OffsiteTarget.h"
#include "storage/RetentionPolicy.h"
#include "storage/StoredBackups.h"

struct BackupTask;

// The steps an off-site copy takes with one destination, each a call of the
// tool that ends in its callback; one step at a time. Errors are the tool's
// own last line, or the program's words.
class OffsiteDestination : public QObject {
    Q_OBJECT
public:
    using Listed = std::function<void(const QList<OffsiteBackup> &backups, const QString &error)>;
    using Done = std::function<void(const QString &error)>;
    using Removed = std::function<void(int removed, const QString &error)>;

    using QObject::QObject;
    // The task's backups there, newest first; a destination not made yet
    // holds none.
    virtual void list(Listed done) = 0;
    // Copies one stored backup there and proves the copy; only a proven
    // copy is left under its final name.
    virtual void put(const StoredBackup &local, Done done) = 0;
    // Removes what the policy does not keep, from the list just read.
    virtual void keep(const RetentionPolicy &policy, const QDate &today, const QList<OffsiteBackup> &listed,
                      Removed done) = 0;
    // Whether a check of the destination is due, and the check; for
    // destinations without one, never due.
    virtual bool checkDue(const QString &lastCheckDay, const QDate &today) const
    {
        Q_UNUSED(lastCheckDay);
        Q_UNUSED(today);
        return false;
    }
    virtual void check(const QDate &today, Done done) { Q_UNUSED(today); done({}); }
    virtual void cancel() = 0;
    virtual void stopNow() = 0;

signals:
    void protocolLine(const QString &text);
    void caption(const QString &text);
};

// The task's destination, rclone's or restic's, run by program.
std::unique_ptr<OffsiteDestination> MakeOffsiteDestination(const BackupTask &task, const QString &program, bool german);
