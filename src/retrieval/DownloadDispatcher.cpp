#include "retrieval/DownloadDispatcher.h"

#include <QFileInfo>
#include <QPointer>
#include <QStorageInfo>

#include "engine/Clock.h"
#include "engine/ProtocolLog.h"
#include "retrieval/ByteCount.h"
#include "retrieval/CurlSupport.h"
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

const QString CancelledLine = QStringLiteral("\rThe backup-task will be cancelled.");

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

QString DownloadDispatcher::FtpSessionErrorText()
{
    return QStringLiteral("The Connection to WinInet.Dll cannot be established.") + CancelledLine;
}

QString DownloadDispatcher::FtpHostErrorText(const QString &server)
{
    return QStringLiteral("FTP Host \"%1\" is not available.").arg(server) + CancelledLine;
}

QString DownloadDispatcher::FtpDirectoryErrorText(const QString &directory)
{
    return QStringLiteral("The directory Verzeichnis %1 does not exist.").arg(directory) + CancelledLine;
}

QString DownloadDispatcher::FtpFileErrorText(const QString &file)
{
    return QStringLiteral("File not available: ") + file + CancelledLine;
}

QString DownloadDispatcher::IncompleteDumpText(const QString &file) const
{
    return m_texts.pick(
        QStringLiteral("Dump incomplete: %1 does not end with mysqldump's completion line; the previous backup is kept")
            .arg(file),
        QStringLiteral("Dump unvollständig: %1 endet nicht mit der Abschlusszeile von mysqldump; die bisherige Sicherung bleibt erhalten")
            .arg(file));
}

QString DownloadDispatcher::PassiveRetryText() const
{
    return m_texts.pick(QStringLiteral("Active FTP data connection failed, trying once more in passive mode"),
                        QStringLiteral("Aktive FTP-Datenverbindung gescheitert, neuer Versuch im passiven Modus"));
}

QString DownloadDispatcher::StaleDumpText() const
{
    return m_texts.pick(QStringLiteral("Dump file on the host is older than this run - not saved"),
                        QStringLiteral("Dump-Datei auf dem Host ist älter als dieser Lauf - nicht gespeichert"));
}

QString DownloadDispatcher::reasonLine(const QString &english, const QString &german) const
{
    return m_texts.pick(QStringLiteral("Reason: ") + english, QStringLiteral("Grund: ") + german);
}

QString DownloadDispatcher::LocalFileReason(const QString &localFile, qint64 expectedSize,
                                            StoredDumpWriter::Failure failure) const
{
    if (failure == StoredDumpWriter::Failure::ChecksumMismatch)
        return reasonLine(QStringLiteral("%1 on disk does not match its checksum").arg(localFile),
                          QStringLiteral("%1 auf dem Datenträger passt nicht zu seiner Prüfsumme").arg(localFile));
    // The writer knows a full disk; otherwise a disk that still has no room
    // for the whole dump is what made the write fail.
    const QStorageInfo volume(QFileInfo(localFile).absolutePath());
    if (failure == StoredDumpWriter::Failure::DiskFull
        || (volume.isValid() && volume.bytesAvailable() <= expectedSize + 64 * 1024))
        return reasonLine(QStringLiteral("disk full - %1 could not be written").arg(localFile),
                          QStringLiteral("Datenträger voll - %1 konnte nicht geschrieben werden").arg(localFile));
    return reasonLine(QStringLiteral("the local file %1 could not be written").arg(localFile),
                      QStringLiteral("die lokale Datei %1 konnte nicht geschrieben werden").arg(localFile));
}

QString DownloadDispatcher::TransferReason(qint64 received, int curlCode) const
{
    if (received > 0)
        return reasonLine(QStringLiteral("transfer cut off after %1").arg(FormatByteCount(received)),
                          QStringLiteral("Übertragung abgebrochen nach %1").arg(FormatByteCount(received)));
    // libcurl's own short description; it never holds the address or a password.
    const QString what = QString::fromUtf8(curl_easy_strerror(CURLcode(curlCode)));
    return reasonLine(QStringLiteral("transfer failed: %1").arg(what),
                      QStringLiteral("Übertragung gescheitert: %1").arg(what));
}

QString DownloadDispatcher::TooLargeReason(const QString &file) const
{
    const QString limit = FormatByteCount(m_options.maxDownloadBytes);
    return reasonLine(
        QStringLiteral("%1 is larger than the download limit of %2 - not saved, the previous backup is kept").arg(file, limit),
        QStringLiteral("%1 ist größer als die Download-Grenze von %2 - nicht gespeichert, die bisherige Sicherung bleibt erhalten")
            .arg(file, limit));
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
            m_log.AddStatus(PassiveRetryText());
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
    // The dialogs do not wait for an answer: the failure is reported at once.
    switch (result.failure) {
    case FtpFailure::None:
        if (result.removeFailed)
            m_warning = NotRemovedText(remoteFile, m_texts.german());
        return true;
    case FtpFailure::Session:
        emit m_events.retrievalError(RetrievalError::Session, FtpSessionErrorText());
        m_reason = reasonLine(QStringLiteral("libcurl cannot be used"), QStringLiteral("libcurl ist nicht nutzbar"));
        break;
    case FtpFailure::HostOrLogin:
        emit m_events.retrievalError(RetrievalError::Host, FtpHostErrorText(server));
        if (result.curlCode == CURLE_USE_SSL_FAILED)
            m_reason = reasonLine(QStringLiteral("%1 does not offer FTP with TLS - the password was not sent").arg(server),
                                  QStringLiteral("%1 bietet kein FTP mit TLS an - das Passwort wurde nicht gesendet").arg(server));
        else if (result.curlCode == CURLE_PEER_FAILED_VERIFICATION)
            m_reason = reasonLine(QStringLiteral("the TLS certificate of %1 could not be verified").arg(server),
                                  QStringLiteral("das TLS-Zertifikat von %1 konnte nicht bestätigt werden").arg(server));
        else if (result.curlCode == CURLE_LOGIN_DENIED)
            m_reason = reasonLine(QStringLiteral("login refused by %1").arg(server),
                                  QStringLiteral("Anmeldung von %1 abgewiesen").arg(server));
        else
            m_reason = reasonLine(QStringLiteral("no connection to %1 (refused or not reachable)").arg(server),
                                  QStringLiteral("keine Verbindung zu %1 (abgewiesen oder nicht erreichbar)").arg(server));
        break;
    case FtpFailure::Directory:
        emit m_events.retrievalError(RetrievalError::Directory, FtpDirectoryErrorText(remoteDir));
        m_reason = reasonLine(QStringLiteral("directory %1 not found on the host").arg(remoteDir),
                              QStringLiteral("Verzeichnis %1 auf dem Host nicht gefunden").arg(remoteDir));
        break;
    case FtpFailure::RemoteFile:
        emit m_events.retrievalError(RetrievalError::File, FtpFileErrorText(remoteFile));
        [[fallthrough]];
    case FtpFailure::OpenRemote:
        m_reason = reasonLine(QStringLiteral("file %1 not found on the host").arg(remoteFile),
                              QStringLiteral("Datei %1 auf dem Host nicht gefunden").arg(remoteFile));
        break;
    case FtpFailure::IncompleteDump:
        m_reason = IncompleteDumpText(remoteFile);
        break;
    case FtpFailure::StaleDump:
        m_reason = StaleDumpText();
        break;
    case FtpFailure::LocalFile:
        m_reason = LocalFileReason(localFile, qMax(result.listedSize, result.received), result.storeFailure);
        break;
    case FtpFailure::Grew:
        m_reason = reasonLine(
            QStringLiteral("%1 on the host grew past its listed size of %2 - not saved, the previous backup is kept")
                .arg(remoteFile, FormatByteCount(result.listedSize)),
            QStringLiteral("%1 auf dem Host wuchs über die gemeldete Größe von %2 hinaus - nicht gespeichert, die bisherige Sicherung bleibt erhalten")
                .arg(remoteFile, FormatByteCount(result.listedSize)));
        break;
    case FtpFailure::TooLarge:
        m_reason = TooLargeReason(remoteFile);
        break;
    case FtpFailure::Transfer:
        m_reason = TransferReason(result.received, result.curlCode);
        break;
    }
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
    if (result.failure == HttpFailure::None) {
        m_log.AddStatus(task.backupfile + m_texts.SavedSuffix);
        return true;
    }
    switch (result.failure) {
    case HttpFailure::None:
        break;
    case HttpFailure::IncompleteDump:
        m_reason = IncompleteDumpText(task.backupfile);
        break;
    case HttpFailure::StaleDump:
        m_reason = StaleDumpText();
        break;
    case HttpFailure::HttpStatus:
        m_reason = reasonLine(QStringLiteral("the server answered with HTTP status %1").arg(result.status),
                              QStringLiteral("der Server antwortete mit HTTP-Status %1").arg(result.status));
        break;
    case HttpFailure::LocalFile:
        m_reason = LocalFileReason(localFile, result.received, result.storeFailure);
        break;
    case HttpFailure::TooLarge:
        m_reason = TooLargeReason(task.backupfile);
        break;
    case HttpFailure::Transfer:
        if (result.received == 0
            && (result.curlCode == CURLE_COULDNT_CONNECT || result.curlCode == CURLE_COULDNT_RESOLVE_HOST
                || result.curlCode == CURLE_OPERATION_TIMEDOUT))
            m_reason = reasonLine(QStringLiteral("no connection to the server (refused or not reachable)"),
                                  QStringLiteral("keine Verbindung zum Server (abgewiesen oder nicht erreichbar)"));
        else
            m_reason = TransferReason(result.received, result.curlCode);
        break;
    }
    m_log.AddStatus(QStringLiteral("HTTP-") + m_texts.DownloadFailed);
    return false;
}
