#pragma once

#include <QDate>
#include <QMetaType>
#include <QObject>
#include <QString>
#include <memory>

#include "offsite/OffsiteDestination.h"
#include "tasks/BackupTask.h"

// What the off-site stage came to.
struct OffsiteResult {
    bool ok = false;
    QString reason;      // why the copy failed, in the interface language
    int copied = 0;      // stored backups copied in this run
    int removed = 0;     // old copies the destination's keep counts let go
    bool checked = false;  // a repository check passed today
};

Q_DECLARE_METATYPE(OffsiteResult)

// The off-site stage of a run: after the stored backup is proven, the
// destination's list; then that backup and every stored one the
// destination lacks (newest first, only those its keep counts would keep);
// then the destination's retention and, when due, its check. The local
// backups are only read. finished() follows exactly once unless stopped.
class OffsiteCopy : public QObject {
    Q_OBJECT
public:
    OffsiteCopy(const BackupTask &task, bool german, QObject *parent = nullptr);
    ~OffsiteCopy() override;

    // storedFile: the backup this run stored (empty: only the catch-up).
    void start(const QString &storedFile, const QDate &today);
    // "Cancel": the tool is stopped; finished() says so.
    void cancel();
    // The program is closing: the tool is stopped; nothing follows.
    void stopNow();

    // Which stored backups go, newest first: the one just stored, then those
    // the destination lacks and its keep counts would keep, one per name and
    // day. Pure, for tests.
    static QList<StoredBackup> toCopy(const QList<StoredBackup> &local, const QString &justStored,
                                      const QList<OffsiteBackup> &remote, OffsiteTarget::Kind kind,
                                      const RetentionPolicy &policy, const QDate &today);

signals:
    void protocolLine(const QString &text);
    void caption(const QString &text);
    void finished(const OffsiteResult &result);

private:
    void listed(const QList<OffsiteBackup> &remote, const QString &error);
    void copyNext();
    void retain();
    void end(const QString &error);

    BackupTask m_task;
    OffsiteTarget m_target;
    bool m_german;
    std::unique_ptr<OffsiteDestination> m_destination;
    QString m_storedFile;
    QDate m_today;
    QList<StoredBackup> m_queue;
    // What the destination holds: its list, and each copy made since.
    QList<OffsiteBackup> m_remote;
    OffsiteResult m_result;
    bool m_done = false;
};
