#pragma once

#include <QDialog>
#include <memory>
#include <thread>

#include "restore/RestoreOptions.h"
#include "restore/ServerRestore.h"
#include "ssh/SshDumpTypes.h"
#include "storage/StoredBackups.h"
#include "tasks/BackupTask.h"

class BackupCheck;
class OffsiteBackupsView;
struct OffsiteBackup;
class RestoreJob;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTreeWidget;

// A task's stored backups, as the program's own naming finds them: when,
// which file, how large, what its checksum and test restore said. Checks
// one (checksum and test restore), unpacks one into a plain SQL file,
// restores one into a database, opens its folder. Long work runs off the
// window thread; the window only shows.
class StoredBackupsWindow : public QDialog {
    Q_OBJECT
public:
    StoredBackupsWindow(const BackupTask &task, RestoreOptions restore, bool german, QWidget *parent = nullptr,
                        SshClientSettings ssh = {}, QString lockDirectory = QString());
    ~StoredBackupsWindow() override;

    // Lists the task's backups afresh.
    void reload();
    QString selectedFile() const;
    // "Check" on the selected backup.
    void checkSelected();
    // "Save as SQL..." into target, without asking where.
    void saveSelectedAs(const QString &target);
    // "Restore into database..." once the user typed typedName: only the
    // target database's own name lets it overwrite. false: not started.
    // Into the task's own database, over its SSH login:
    bool restoreSelected(const QString &typedName);
    // Into a server the user names:
    bool restoreSelectedInto(const ServerTarget &server, const QString &typedName);
    // The question that asks for the task's database name.
    QString restoreQuestion() const;
    // A restic snapshot's dump, fetched into a temporary file first, into a
    // server the user names. false: not started.
    bool restoreSnapshotInto(const OffsiteBackup &snapshot, const ServerTarget &server, const QString &typedName);
    // The destination's side; null for a task without one.
    OffsiteBackupsView *offsiteView() const { return m_offsite; }

signals:
    // A check or an export ended (for whoever waits on it).
    void checkFinished(bool passed);
    void saveFinished(bool saved);
    void restoreFinished(bool restored);

private:
    void askAndSave();
    void askAndRestore();
    void openFolder();
    void askAndRestoreSnapshot(const OffsiteBackup &snapshot);
    // server null: into the task's own database over its SSH login.
    bool restoreSnapshot(const OffsiteBackup &snapshot, const ServerTarget *server, const QString &typedName);
    void showOffsite();
    // The typed name is the database's, there is a file, and nothing else is under way.
    bool mayRestore(const QString &database, const QString &typedName, const QString &file);
    // Takes the job, shows what it says; the caller starts it.
    void watchRestore(RestoreJob *job);
    void setBusy(bool busy);
    void say(const QString &line);
    QString pick(const char *english, const char *german) const;

    BackupTask m_task;
    RestoreOptions m_restore;
    bool m_german;
    QList<StoredBackup> m_backups;
    QLabel *m_heading = nullptr;
    QTreeWidget *m_list = nullptr;
    QPushButton *m_check = nullptr;
    QPushButton *m_save = nullptr;
    QPushButton *m_folder = nullptr;
    QPushButton *m_restoreButton = nullptr;
    QProgressBar *m_progress = nullptr;
    QPlainTextEdit *m_lines = nullptr;
    OffsiteBackupsView *m_offsite = nullptr;
    SshClientSettings m_ssh;
    QString m_lockDirectory;  // the tasks' run locks, which a restore holds
    std::unique_ptr<BackupCheck> m_running;
    std::unique_ptr<RestoreJob> m_restoring;
    std::thread m_export;
};
