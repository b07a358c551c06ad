#pragma once

#include <QList>
#include <QWidget>
#include <memory>

#include "offsite/OffsiteTarget.h"
#include "tasks/BackupTask.h"

class OffsiteInventory;
class OffsiteRetrieve;
class QLabel;
class QPushButton;
class QTemporaryDir;
class QTreeWidget;
struct StoredBackup;

// The stored backups window's view of a task's destination: asks it what it
// holds (never blocking the window), says per stored backup whether it is
// there and, for a restic repository, lists the task's snapshots and brings
// one's dump home into a private temporary file for a restore.
class OffsiteBackupsView : public QWidget {
    Q_OBJECT
public:
    OffsiteBackupsView(const BackupTask &task, bool german, QWidget *parent = nullptr);
    ~OffsiteBackupsView() override;

    void start();
    bool isListed() const { return m_state != State::Checking; }
    // The off-site column's text for a stored backup: still checking, "yes",
    // "no", or why the destination could not say.
    QString cellFor(const StoredBackup &local) const;
    QString error() const { return m_error; }

    // restic's snapshots of the task, newest first (empty for rclone).
    QList<OffsiteBackup> snapshots() const;
    // The snapshot chosen in the list; false: none.
    bool selectedSnapshot(OffsiteBackup &snapshot) const;
    // The task a snapshot's dump restores into: for a task with several
    // databases, the one its file name names.
    BackupTask taskOf(const OffsiteBackup &snapshot) const;

    // Brings the snapshot's dump into the temporary folder; retrieved()
    // follows once. false: another is under way, or there is no folder.
    bool retrieve(const OffsiteBackup &snapshot);
    bool isRetrieving() const { return bool(m_retrieve); }
    // Removes a retrieved file once the restore is done with it.
    void discard(const QString &file);
    // The restore button waits while the window is busy.
    void setBusy(bool busy);

signals:
    void listed();
    void restoreRequested(const OffsiteBackup &snapshot);
    void retrieveProgress(qint64 bytes);
    // file: the dump, when ok; reason: restic's words otherwise.
    void retrieved(bool ok, const QString &file, const QString &reason);

private:
    void take(const QList<OffsiteBackup> &backups, const QString &error);
    void updateButton();
    QString pick(const char *english, const char *german) const;

    enum class State { Checking, Listed, Failed };
    BackupTask m_task;
    OffsiteTarget m_target;
    bool m_german;
    State m_state = State::Checking;
    QList<OffsiteBackup> m_remote;
    QString m_error;
    bool m_busy = false;
    QLabel *m_heading = nullptr;
    QTreeWidget *m_list = nullptr;
    QPushButton *m_restore = nullptr;
    std::unique_ptr<OffsiteInventory> m_inventory;
    OffsiteRetrieve *m_retrieve = nullptr;  // while a dump comes home
    std::unique_ptr<QTemporaryDir> m_temporary;
};
