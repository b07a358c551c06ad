#pragma once

#include <QList>
#include <QString>

#include "retrieval/RetrievalOptions.h"
#include "retrieval/Retriever.h"
#include "storage/StoredDumpWriter.h"

class Clock;
class LanguageTexts;
class ProtocolLog;
class RunEvents;
class WindowThreadRelay;
struct FtpTransferResult;
struct HttpTransferResult;

// Fetches a task's dump file per FTP (method 0) or HTTP into its local target
// directory. The caller writes the outcome line and the Message text; the
// HTTP retrieval writes its own line, and the lines for an incomplete dump and
// for the passive retry are written here.
class DownloadDispatcher final : public Retriever {
public:
    DownloadDispatcher(ProtocolLog &log, const LanguageTexts &texts, RunEvents &events,
                       const Clock &clock, RetrievalOptions options = {});

    ~DownloadDispatcher() override;

    void StartRetrieval(const BackupTask &task, const QDateTime &runStart, QObject *context,
                        RetrievalDone done) override;
    void AbortRetrievals() override;
    QString FailureReason() const override { return m_reason; }
    QString RemovalWarning() const override { return m_warning; }

    // The FTP retrieval with its non-blocking error dialogs. The progress is
    // reported as download progress and status caption.
    void DownloadPerFtp(const QString &server, const QString &userName, const QString &password,
                        quint16 port, const QString &remoteDir, const QString &remoteFile,
                        const QString &localFile, const QDateTime &runStart, QObject *context, RetrievalDone done,
                        const StoreOptions &store = {}, bool useTls = false, bool removeAfter = false);
    // The HTTP retrieval of the task's httpath + backupfile into its local
    // target; writes "HTTP-" + DownloadFailed or backupfile + SavedSuffix.
    void DownloadPerHttp(const BackupTask &task, const QDateTime &runStart, QObject *context, RetrievalDone done);

    // The task's local target file for today, with the day's subdirectory made
    // when the task asks for one. Empty when the task has no local directory.
    QString LocalTargetFile(const BackupTask &task) const;

    const RetrievalOptions &options() const { return m_options; }

private:
    // A transfer's result as its dialogs, protocol lines and reason; true when stored.
    bool reportFtp(const FtpTransferResult &result, const QString &server, const QString &remoteDir,
                   const QString &remoteFile, const QString &localFile);
    bool reportHttp(const HttpTransferResult &result, const BackupTask &task, const QString &localFile);
    // A relay for one transfer, with its own cancel flag in the options.
    WindowThreadRelay *newRelay(RetrievalOptions &options);
    void release(WindowThreadRelay *relay);

    static bool diskHasNoRoomFor(const QString &localFile, qint64 expectedSize);

    ProtocolLog &m_log;
    const LanguageTexts &m_texts;
    RunEvents &m_events;
    const Clock &m_clock;
    RetrievalOptions m_options;
    QString m_reason;
    QString m_warning;
    struct Running {
        WindowThreadRelay *relay;
        std::shared_ptr<std::atomic<bool>> cancel;
    };
    QList<Running> m_running;
};
