#include "retrieval/DownloadDispatcher.h"

#include <QFileInfo>
#include <QPointer>
#include <QStorageInfo>

#include "engine/Clock.h"
#include "engine/ProtocolLog.h"
#include "retrieval/CurlSupport.h"
#include "retrieval/DownloadTexts.h"
#include "retrieval/FtpTransfer.h"
#include "retrieval/HttpTransfer.h"
#include "retrieval/LocalTarget.h"
#include "retrieval/ProgressMailbox.h"
#include "retrieval/RemovalWarning.h"
#include "engine/RunEvents.h"
#include "retrieval/TransferProgress.h"
#include "retrieval/WindowThreadRelay.h"
#include "shell/LanguageTexts.h"
#include "storage/StreamCompressor.h"
#include "tasks/BackupTask.h"

namespace {

// Forwards the FTP transfer's display to the window thread: the progress
// through the mailbox, the passive retry's protocol line through the relay.
class RelayedFtpDisplay final : public FtpTransferObserver {
public:
    RelayedFtpDisplay(WindowThreadRelay &relay, ProgressMailbox &progress, std::function<void()> noteRetry)
        : m_relay(relay), m_progress(progress), m_noteRetry(std::move(noteRetry))
    {
    }
    void transferStarted() override { m_progress.setBar(0, 100); }
    void transferProgress(const FtpProgressStep &step) override { m_progress.setFtpStep(step); }
    void retryingPassive() override { m_relay.post(m_noteRetry); }
    void transferEnded() override { m_progress.setBar(0, 100); }

private:
    WindowThreadRelay &m_relay;
    ProgressMailbox &m_progress;
    std::function<void()> m_noteRetry;
};

class RelayedHttpDisplay final : public HttpTransferObserver {
public:
    explicit RelayedHttpDisplay(ProgressMailbox &progress) : m_progress(progress) {}
    void transferProgress(qint64 received, qint64 total) override
    {
        const BarValues bar = ScaleForBar(received, total);
        m_progress.setBar(bar.position, bar.maximum);
    }

private:
    ProgressMailbox &m_progress;
};

} // namespace

DownloadDispatcher::DownloadDispatcher(ProtocolLog &log, const LanguageTexts &texts, RunEvents &events,
                                       const Clock &clock, RetrievalOptions options)
    : m_log(log), m_texts(texts), m_events(events), m_clock(clock), m_options(std::move(options))
{
    // Before any transfer thread exists.
    EnsureCurlReady();
}

bool DownloadDispatcher::diskHasNoRoomFor(const QString &localFile, qint64 expectedSize)
{
    // A disk that still has no room for the whole dump is what made the write fail.
    const QStorageInfo volume(QFileInfo(localFile).absolutePath());
    return volume.isValid() && volume.bytesAvailable() <= expectedSize + 64 * 1024;
}

QString DownloadDispatcher::LocalTargetFile(const BackupTask &task) const
{
    return ::LocalTargetFile(task, m_clock.now().date());
}

DownloadDispatcher::~DownloadDispatcher()
{
    AbortRetrievals();
    // Each relay joins its thread, which the cancel flag ends within about a second.
    for (const Running &r : std::as_const(m_running))
        delete r.relay;
}

void DownloadDispatcher::AbortRetrievals()
{
    for (const Running &r : std::as_const(m_running))
        r.cancel->store(true);
}

WindowThreadRelay *DownloadDispatcher::newRelay(RetrievalOptions &options)
{
    auto *relay = new WindowThreadRelay();
    options.cancel = std::make_shared<std::atomic<bool>>(false);
    m_running.append({relay, options.cancel});
    return relay;
}

void DownloadDispatcher::release(WindowThreadRelay *relay)
{
    for (qsizetype i = 0; i < m_running.size(); ++i) {
        if (m_running.at(i).relay == relay) {
            m_running.removeAt(i);
            break;
        }
    }
    relay->deleteLater();
}

void DownloadDispatcher::StartRetrieval(const BackupTask &task, const QDateTime &runStart, QObject *context,
                                        RetrievalDone done)
{
    // A copy: the current task may be reloaded while the transfer runs.
    const BackupTask t = task;
    RetrievalDone stored = [t, done = std::move(done)](bool ok, const QString &file) {
        if (!ok) {
            done(false, QString());
            return;
        }
        // The file as stored, with the suffix of its compression.
        done(true, QFileInfo(file).absolutePath() + QLatin1Char('/') + StoredFileName(t.backupfile, t.compress));
    };
    if (t.usesHttp()) {
        DownloadPerHttp(t, runStart, context, std::move(stored));
        return;
    }
    // A run's own dump is fetched under its name on the host and removed after.
    const bool runsDump = !t.remotefile.isEmpty();
    DownloadPerFtp(t.host, t.host, t.hostpw, m_options.ftpPort, t.ftpdir, runsDump ? t.remotefile : t.backupfile,
                   LocalTargetFile(t), runStart, context, std::move(stored), StoreOptions::ForTask(t), t.ftptls,
                   runsDump);
}

void DownloadDispatcher::DownloadPerFtp(const QString &server, const QString &userName, const QString &password,
                                        quint16 port, const QString &remoteDir, const QString &remoteFile,
                                        const QString &localFile, const QDateTime &runStart, QObject *context,
                                        RetrievalDone done, const StoreOptions &store, bool useTls,
                                        bool removeAfter)
{
    m_reason.clear();
    m_warning.clear();
    FtpTransferRequest request;
    request.server = server;
    request.userName = userName;
    request.password = password;
    request.port = port;
    request.remoteDir = remoteDir;
    request.remoteFile = remoteFile;
    request.localFile = localFile;
    request.runStart = runStart;
    request.store = store;
    request.useTls = useTls;
    request.removeAfter = removeAfter;
    request.options = m_options;

    WindowThreadRelay *relay = newRelay(request.options);
    const QPointer<QObject> owner(context);
    // Shared with the transfer thread's work, which the relay keeps until it is deleted.
    auto progress = std::make_shared<ProgressMailbox>(m_events, m_options.progressIntervalMs);
    auto display = std::make_shared<RelayedFtpDisplay>(*relay, *progress, [this, owner] {
        if (owner)
            m_log.AddStatus(DownloadTexts::passiveRetry(m_texts.german()));
    });
    auto shared = std::make_shared<FtpTransferResult>();
    relay->start([request, progress, display, shared] { *shared = FetchPerFtp(request, *display); },
                 [this, relay, owner, progress, shared, server, remoteDir, remoteFile, localFile,
                  done = std::move(done)] {
        progress->flush();
        release(relay);
        if (!owner)
            return;  // the run has gone; its result has no one to go to
        const bool ok = reportFtp(*shared, server, remoteDir, remoteFile, localFile);
        done(ok, ok ? localFile : QString());
    });
}

bool DownloadDispatcher::reportFtp(const FtpTransferResult &result, const QString &server, const QString &remoteDir,
                                   const QString &remoteFile, const QString &localFile)
{
    m_reason.clear();
    m_warning.clear();
    if (result.failure == DownloadFailure::None) {
        if (result.removeFailed)
            m_warning = NotRemovedText(remoteFile, m_texts.german());
        return true;
    }
    DownloadTexts::Failed failed;
    failed.failure = result.failure;
    failed.curlCode = result.curlCode;
    failed.received = result.received;
    failed.listedSize = result.listedSize;
    failed.maxBytes = m_options.maxDownloadBytes;
    failed.server = server;
    failed.remoteDir = remoteDir;
    failed.remoteFile = remoteFile;
    failed.localFile = localFile;
    failed.storeFailure = result.storeFailure;
    if (result.failure == DownloadFailure::LocalFile)
        failed.diskFull = diskHasNoRoomFor(localFile, qMax(result.listedSize, result.received));
    // The dialogs do not wait for an answer: the failure is reported at once.
    if (const auto dialog = DownloadTexts::dialogFor(result.failure))
        emit m_events.retrievalError(*dialog, DownloadTexts::dialogText(*dialog, failed));
    m_reason = DownloadTexts::reason(failed, m_texts.german());
    return false;
}

void DownloadDispatcher::DownloadPerHttp(const BackupTask &task, const QDateTime &runStart, QObject *context,
                                         RetrievalDone done)
{
    m_reason.clear();
    m_warning.clear();
    HttpTransferRequest request;
    // A run's dump lies in web space under a name of that run only.
    request.url = task.httpath + (task.remotefile.isEmpty() ? task.backupfile : task.remotefile);
    request.localFile = LocalTargetFile(task);
    request.runStart = runStart;
    request.store = StoreOptions::ForTask(task);
    request.options = m_options;

    WindowThreadRelay *relay = newRelay(request.options);
    const QPointer<QObject> owner(context);
    auto progress = std::make_shared<ProgressMailbox>(m_events, m_options.progressIntervalMs);
    auto display = std::make_shared<RelayedHttpDisplay>(*progress);
    auto shared = std::make_shared<HttpTransferResult>();
    relay->start([request, progress, display, shared] { *shared = FetchPerHttp(request, *display); },
                 [this, relay, owner, progress, shared, task, localFile = request.localFile,
                  done = std::move(done)] {
        progress->flush();
        release(relay);
        if (!owner)
            return;
        const bool ok = reportHttp(*shared, task, localFile);
        done(ok, ok ? localFile : QString());
    });
}

bool DownloadDispatcher::reportHttp(const HttpTransferResult &result, const BackupTask &task, const QString &localFile)
{
    m_reason.clear();
    if (result.failure == DownloadFailure::None) {
        m_log.AddStatus(task.backupfile + m_texts.SavedSuffix);
        return true;
    }
    DownloadTexts::Failed failed;
    failed.failure = result.failure;
    failed.http = true;
    failed.curlCode = result.curlCode;
    failed.httpStatus = result.status;
    failed.received = result.received;
    failed.maxBytes = m_options.maxDownloadBytes;
    failed.remoteFile = task.backupfile;
    failed.localFile = localFile;
    failed.storeFailure = result.storeFailure;
    if (result.failure == DownloadFailure::LocalFile)
        failed.diskFull = diskHasNoRoomFor(localFile, result.received);
    m_reason = DownloadTexts::reason(failed, m_texts.german());
    m_log.AddStatus(QStringLiteral("HTTP-") + m_texts.DownloadFailed);
    return false;
}
