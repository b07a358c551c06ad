#include "retrieval/DownloadDispatcher.h"

#include "engine/Clock.h"
#include "engine/ProtocolLog.h"
#include "retrieval/CurlSupport.h"
#include "retrieval/FtpTransfer.h"
#include "retrieval/HttpTransfer.h"
#include "retrieval/LocalTarget.h"
#include "retrieval/ProgressMailbox.h"
#include "retrieval/RetrievalHost.h"
#include "retrieval/TransferProgress.h"
#include "retrieval/WindowThreadRelay.h"
#include "shell/LanguageTexts.h"
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

DownloadDispatcher::DownloadDispatcher(ProtocolLog &log, const LanguageTexts &texts, RetrievalHost &host,
                                       const Clock &clock, RetrievalOptions options)
    : m_log(log), m_texts(texts), m_host(host), m_clock(clock), m_options(std::move(options))
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

QString DownloadDispatcher::LocalTargetFile(const BackupTask &task) const
{
    return ::LocalTargetFile(task, m_clock.now().date());
}

bool DownloadDispatcher::RetrieveBackupFile(const BackupTask &task)
{
    // A copy: the current task may be reloaded while the transfer runs.
    const BackupTask t = task;
    if (t.usesHttp())
        return DownloadPerHttp(t);
    return DownloadPerFtp(t.host, t.host, t.hostpw, m_options.ftpPort, t.ftpdir, t.backupfile,
                          LocalTargetFile(t));
}

bool DownloadDispatcher::DownloadPerFtp(const QString &server, const QString &userName, const QString &password,
                                        quint16 port, const QString &remoteDir, const QString &remoteFile,
                                        const QString &localFile)
{
    FtpTransferRequest request;
    request.server = server;
    request.userName = userName;
    request.password = password;
    request.port = port;
    request.remoteDir = remoteDir;
    request.remoteFile = remoteFile;
    request.localFile = localFile;
    request.options = m_options;

    WindowThreadRelay relay;
    ProgressMailbox progress(m_host, m_options.progressIntervalMs);
    RelayedFtpDisplay display(relay, progress, [this] { m_log.AddStatus(PassiveRetryText()); });
    FtpTransferResult result;
    relay.run([&] { result = FetchPerFtp(request, display); });
    progress.flush();

    // The dialogs do not wait for an answer: the failure is reported at once.
    switch (result.failure) {
    case FtpFailure::None:
        return true;
    case FtpFailure::Session:
        m_host.showRetrievalError(FtpSessionErrorText());
        break;
    case FtpFailure::HostOrLogin:
        m_host.showRetrievalError(FtpHostErrorText(server));
        break;
    case FtpFailure::Directory:
        m_host.showRetrievalError(FtpDirectoryErrorText(remoteDir));
        break;
    case FtpFailure::RemoteFile:
        m_host.showRetrievalError(FtpFileErrorText(remoteFile));
        break;
    case FtpFailure::IncompleteDump:
        m_log.AddStatus(IncompleteDumpText(remoteFile));
        break;
    case FtpFailure::OpenRemote:
    case FtpFailure::LocalFile:
    case FtpFailure::Transfer:
        break;
    }
    return false;
}

bool DownloadDispatcher::DownloadPerHttp(const BackupTask &task)
{
    HttpTransferRequest request;
    request.url = task.httpath + task.backupfile;
    request.localFile = LocalTargetFile(task);
    request.options = m_options;

    WindowThreadRelay relay;
    ProgressMailbox progress(m_host, m_options.progressIntervalMs);
    RelayedHttpDisplay display(progress);
    HttpTransferResult result;
    relay.run([&] { result = FetchPerHttp(request, display); });
    progress.flush();

    if (result.failure == HttpFailure::None) {
        m_log.AddStatus(task.backupfile + m_texts.SavedSuffix);
        return true;
    }
    if (result.failure == HttpFailure::IncompleteDump)
        m_log.AddStatus(IncompleteDumpText(task.backupfile));
    m_log.AddStatus(QStringLiteral("HTTP-") + m_texts.DownloadFailed);
    return false;
}
