#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <memory>

#include "offsite/OffsiteTarget.h"
#include "tasks/BackupTask.h"

class OffsiteDestination;
class ToolProcess;

// What the destination holds of a task: rclone, its files there (the task's
// own naming, no others); restic, the task's snapshots. listed() follows
// exactly once unless cancelled.
class OffsiteInventory : public QObject {
    Q_OBJECT
public:
    OffsiteInventory(const BackupTask &task, bool german, QObject *parent = nullptr);
    ~OffsiteInventory() override;
    void start();
    void cancel();

signals:
    // error: empty when the list is complete (an empty destination lists
    // nothing); the tool's own words otherwise. Newest first.
    void listed(const QList<OffsiteBackup> &backups, const QString &error);

private:
    BackupTask m_task;
    OffsiteTarget m_target;
    bool m_german;
    std::unique_ptr<OffsiteDestination> m_destination;
    bool m_done = false;
};

// Brings one restic snapshot's dump home into a local file, for the restore
// path local files take: written under a temporary name, moved to target
// only when restic ended well. finished() follows exactly once unless
// cancelled.
class OffsiteRetrieve : public QObject {
    Q_OBJECT
public:
    OffsiteRetrieve(const BackupTask &task, bool german, QObject *parent = nullptr);
    ~OffsiteRetrieve() override;
    // target: a plain file name (the dump is not compressed).
    void start(const OffsiteBackup &snapshot, const QString &target);
    void cancel();

signals:
    void progress(qint64 bytes);
    void finished(bool ok, const QString &reason);

private:
    BackupTask m_task;
    OffsiteTarget m_target;
    bool m_german;
    std::unique_ptr<ToolProcess> m_tool;
    QString m_file;
    QString m_partial;
    bool m_done = false;
};
