#pragma once

#include <QElapsedTimer>
#include <memory>

#include "offsite/OffsiteDestination.h"
#include "tasks/BackupTask.h"

class ToolProcess;
struct ToolResult;

// An rclone destination. A file goes up under a temporary name beside its
// final one (".NAME.vw-part"), with its checksum file; the copy's hash (the
// remote's SHA-256, else another hash the remote keeps, else read back) is
// compared with the stored backup's before both move to their final names.
class RcloneDestination final : public OffsiteDestination {
    Q_OBJECT
public:
    RcloneDestination(const BackupTask &task, const QString &program, bool german, QObject *parent = nullptr);
    ~RcloneDestination() override;

    void list(Listed done) override;
    void put(const StoredBackup &local, Done done) override;
    void keep(const RetentionPolicy &policy, const QDate &today, const QList<OffsiteBackup> &listed,
              Removed done) override;
    void cancel() override;
    void stopNow() override;

    // The arguments of every call: the configuration file, no prompt, and
    // the bandwidth limit.
    static QStringList commonArguments(const OffsiteTarget &target);
    // The temporary name an upload of relative goes to first.
    static QString partialName(const QString &relative);

private:
    struct Upload {
        StoredBackup local;
        OffsiteBackup remote;
        QString expected;  // the stored backup's SHA-256
        QString hashName;  // another hash type the remote keeps
        QElapsedTimer clock;
        Done done;
    };
    void expectedHash();
    void uploadFile();
    void uploadChecksum();
    void verifySha256();
    void verifyOwnHash();
    void compareOwnHash(const QString &remoteHash);
    void verifyByReading();
    void compare(const QString &hash, const QString &how);
    void moveIntoPlace();
    void finishUpload(const QString &error);
    void removeNext(QStringList paths, int removed, Removed done);
    QString failure(const ToolResult &result) const;

    BackupTask m_task;
    OffsiteTarget m_target;
    bool m_german;
    std::unique_ptr<ToolProcess> m_tool;
    Upload m_up;
    QStringList m_stale;  // temporary names a broken-off upload left
};
