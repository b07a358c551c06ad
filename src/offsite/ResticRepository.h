#pragma once

#include <QElapsedTimer>
#include <atomic>
#include <memory>
#include <thread>

#include "offsite/OffsiteDestination.h"
#include "tasks/BackupTask.h"

class ToolProcess;
struct ToolResult;

// A restic repository. Each stored backup becomes one snapshot of its dump,
// unpacked, on restic's input (host and tag: the task), dated as the backup
// was stored. restic keeps a snapshot of whatever its input held, so the
// stored file's checksum is proven before the first byte goes in, and a read
// that fails on the way kills restic instead of ending its input.
class ResticRepository final : public OffsiteDestination {
    Q_OBJECT
public:
    ResticRepository(const BackupTask &task, const QString &program, bool german, QObject *parent = nullptr);
    ~ResticRepository() override;

    void list(Listed done) override;
    void put(const StoredBackup &local, Done done) override;
    void keep(const RetentionPolicy &policy, const QDate &today, const QList<OffsiteBackup> &listed,
              Removed done) override;
    bool checkDue(const QString &lastCheckDay, const QDate &today) const override;
    void check(const QDate &today, Done done) override;
    void cancel() override;
    void stopNow() override;

    // The repository, its password file and the bandwidth limit.
    static QStringList commonArguments(const OffsiteTarget &target);
    // Variables of the user's that would override the task's repository or password.
    static QStringList overridingVariables();
    // The task as restic's host and tag (a tag cannot hold a comma).
    static QString hostOf(const BackupTask &task);
    static QString tagOf(const BackupTask &task);
    // The task's snapshots in `restic snapshots --json`'s answer, newest first.
    static QList<OffsiteBackup> snapshotsIn(const QByteArray &json);

private:
    void checksummed(int state, const QString &detail);
    void backup();
    void joinWorker();

    BackupTask m_task;
    OffsiteTarget m_target;
    bool m_german;
    std::unique_ptr<ToolProcess> m_tool;
    std::thread m_worker;
    StoredBackup m_local;
    OffsiteBackup m_remote;
    Done m_done;
    QString m_snapshot;
    qint64 m_processed = 0;
    qint64 m_added = 0;
    double m_seconds = 0;
    QElapsedTimer m_clock;
};
