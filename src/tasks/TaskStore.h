#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>

#include "tasks/BackupTask.h"
#include "tasks/StoreFile.h"

class QSettings;

// A stored value that is not text.
class TaskStoreReadError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
    QString key;  // the value's key, when the store knows it
};

// What the task list shows of a task.
struct TaskRowValues {
    int run = 0;
    QString host;
    QString backupfile;
    QString backuptime;
};

// A task's run record and save time as stored (empty when absent).
struct StoredRunRecord {
    QString name;
    QString lastattempt;
    QString lastsuccess;
    QString lastmessage;
    QString saved;
};

// A task as the task list, the shared-target check and the schedule see it.
struct TaskListEntry {
    QString name;
    TaskRowValues row;
    QString localdir;
    int compress = 0;
    // The first of these values that is not text, empty when all are; such
    // a value reads as its default, and the task cannot be loaded.
    QString unreadableKey;
    // The run's own record, so the schedule needs no second read of the store.
    StoredRunRecord record;
};

// What a run writes about itself; values left empty stay as stored.
struct RunRecord {
    std::optional<QString> lastattempt;
    std::optional<QString> lastsuccess;
    std::optional<QString> lastmessage;
    std::optional<QString> lastrestoretest;
    std::optional<QString> lastrestorecounts;
    std::optional<QString> lastoffsite;
    std::optional<QString> lastoffsitetime;
    std::optional<QString> lastoffsitecheck;
};

// The tasks in the per-user settings store, one group per task below "tasks",
// its values below "Options". Every operation opens the store for its own
// duration. Task names compare without regard to letter case.
class TaskStore {
public:
    // The user's store: organisation "Korvane", application "Vaultwick".
    TaskStore();
    // A store in the given file (tests).
    explicit TaskStore(const QString &iniFile);

    // Fills task from the stored values (defaults for absent ones). Throws
    // TaskStoreReadError at a value that is not text; values read before stay.
    void LoadTask(const QString &name, BackupTask &task) const;
    BackupTask LoadTask(const QString &name) const;
    // Writes the sixteen values under name. false when the store refused,
    // including names that would nest keys ("/" or "\").
    bool SaveTask(const QString &name, const BackupTask &task) const;
    void DeleteTask(const QString &name) const;
    // The task's passwords now are in the keyring: the file loses them and
    // records so, provided it still holds exactly these (nobody changed
    // them meanwhile). false when it did not, or the store refused.
    bool MoveSecretsToKeyring(const QString &name, const QString &hostpw, const QString &dbpw) const;
    // Writes the run's record of an existing task, never touching the values
    // the editor owns. false when the task is gone (deleted during its run:
    // a record alone must not bring it back) or the store refused.
    bool SaveRunRecord(const QString &name, const RunRecord &record) const;
    // Every task's record in store order, through one settings object. A
    // value that is not text reads as absent.
    // Ascending, case-insensitive.
    QStringList ListTaskNames() const;

    TaskRowValues ReadRow(const QString &name) const;
    // Every task in store order with its row values and local directory,
    // through one settings object: a large store is parsed once, not once
    // per value. A value that is not text marks only its own task.
    QList<TaskListEntry> ReadTaskList() const;
    // backupfile (default "backup.sql") and localdir (default as the task's).
    QString ReadBackupFile(const QString &name) const;
    QString ReadLocalDir(const QString &name) const;

    // The store's settings object; application settings share it.
    std::unique_ptr<QSettings> open() const;
    // The file the settings live in (empty for the Windows registry).
    QString fileName() const;
    // After a write: flush, keep the file private, report success.
    static bool finishWrite(QSettings &settings);
    // Writes value under key unless the store holds it already. true when set.
    static bool setIfChanged(QSettings &settings, const QString &key, const QString &value);

    // Every change goes through here: it lands whole or not at all, and a
    // store kept as damaged is not written. false when nothing was saved.
    bool write(const std::function<bool(QSettings &)> &change) const;
    // Why the last write of this store object failed (empty after success).
    QString writeError() const { return m_writeError; }
    // How long a write waits for another process's write of the same file.
    void setLockTimeout(int ms) { m_lockTimeoutMs = ms; }
    // Writes those of the values (full key, text) that the store does not
    // hold already; true at once when it holds them all, so an unchanged save
    // needs no room on the disk. The keys in removed go from the store.
    bool writeValues(const QList<std::pair<QString, QString>> &values, const QStringList &removed = {}) const;

    // Before the first use: a store that cannot be read whole is restored
    // from its backup copy, or else kept untouched (no later write replaces it).
    StoreFile::Health CheckAtStartup();
    bool keptAsDamaged() const { return m_keptDamaged; }

    static bool isValidName(const QString &name);

private:
    static QStringList sortedNames(QSettings &settings);
    // LoadTask's reading, into an open settings object.
    void loadFrom(QSettings &settings, const QString &group, BackupTask &task) const;
    // The stored spelling of name, or name itself when there is no such task.
    QString storedName(QSettings &settings, const QString &name) const;
    QString readText(QSettings &settings, const QString &group, const QString &key,
                     const QString &fallback) const;

    QString m_iniFile;
    bool m_keptDamaged = false;
    int m_lockTimeoutMs = StoreFile::DefaultLockTimeoutMs;
    mutable QString m_writeError;
};
