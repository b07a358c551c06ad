#include "run/BackupRun.h"

#include <QFileInfo>
#include <QTimer>

#include "engine/Clock.h"
#include "engine/ProtocolLog.h"
#include "engine/RunEvents.h"
#include "offsite/OffsiteCopy.h"
#include "offsite/OffsiteTexts.h"
#include "retrieval/Retriever.h"
#include "retrieval/RemovalWarning.h"
#include "restore/RestoreTexts.h"
#include "restore/TestRestore.h"
#include "run/RunMessage.h"
#include "secrets/SecretTexts.h"
#include "secrets/TaskSecrets.h"
#include "shell/LanguageTexts.h"
#include "storage/RetentionSweeper.h"
#include "tasks/TargetPath.h"

BackupRun::BackupRun(const BackupTask &task, std::unique_ptr<Transport> transport, Retriever &retriever,
                     ProtocolLog &log, const LanguageTexts &texts, RunEvents &events, QObject *parent)
    : TaskRun(parent), m_task(task), m_transport(std::move(transport)), m_retriever(retriever), m_log(log),
      m_texts(texts), m_events(events)
{
    m_outcome.taskName = task.name;
    if (!m_transport)
        return;
    connect(m_transport.get(), &Transport::protocolLine, this, [this](const QString &l) { m_log.AddStatus(l); });
    connect(m_transport.get(), &Transport::lineSent, this, [this](const QString &l) { m_log.AddSent(l); });
    connect(m_transport.get(), &Transport::progress, this, [this](int p) { emit m_events.sessionProgress(p); });
    connect(m_transport.get(), &Transport::negotiation, this,
            [this](const QString &t) { emit m_events.negotiationText(t); });
    connect(m_transport.get(), &Transport::finished, this, &BackupRun::transportFinished);
}

BackupRun::~BackupRun() = default;

void BackupRun::start()
{
    m_runStart = m_log.clock().now();
    m_outcome.started = m_runStart;
    // A stored task the editor would refuse never reaches the host or the disk.
    QString refused = BackupFileNameProblem(m_task.backupfile, m_texts.german());
    if (refused.isEmpty())
        refused = LocalDirectoryProblem(m_task.localdir, m_texts.german());
    if (!refused.isEmpty()) {
        m_log.AddStatus(refused);
        m_failureMessage = refused;
        QTimer::singleShot(0, this, [this, refused] { conclude(false, refused, {}); });
        return;
    }
    // File times are the real clock's, whatever the log's clock says.
    RemoveStaleTemporaryFiles(m_task, QDateTime::currentDateTime());
    if (m_task.secrets != QLatin1String(TaskSecrets::InKeyring)) {
        begin();
        return;
    }
    // The passwords first: a keyring that cannot give them fails the run
    // here, before any host is asked, and nothing waits for its prompt.
    m_fetchingSecrets = true;
    TaskSecrets::fetch(m_task, m_texts.german(), this, [this](const QString &problem) {
        m_fetchingSecrets = false;
        if (m_secretsCancelled) {
            const QString reason = SecretTexts::cancelled(m_texts.german());
            m_log.AddStatus(reason);
            m_failureMessage = reason;
            conclude(false, reason, {});
            return;
        }
        if (problem.isEmpty()) {
            begin();
            return;
        }
        const QString reason = SecretTexts::runFailed(m_texts.german());
        m_log.AddStatus(reason);
        if (problem != SecretTexts::lockedOrUnreachable(m_texts.german()))
            m_log.AddStatus(problem);
        m_failureMessage = reason;
        conclude(false, reason, {});
    });
}

void BackupRun::begin()
{
    if (!m_transport) {
        // Without a run, no start time: any dump on the host is taken.
        m_retriever.StartRetrieval(m_task, QDateTime(), this,
                                   [this](bool ok, const QString &file) { retrieved(ok, file); });
        return;
    }
    m_sessionShown = true;
    emit m_events.sessionStarting();
    m_transport->start(m_task);
}

void BackupRun::transportFinished(const TransportResult &result)
{
    if (m_removing) {
        m_removing = false;
        removalFinished(result.dumpCompleted);
        return;
    }
    m_sessionOpened = result.sessionOpened;
    m_failureMessage = result.message;
    if (!result.dumpCompleted) {
        if (result.sessionOpened)
            m_log.AddStatus(result.reason);
        conclude(false, result.reason, {});
        return;
    }
    if (!result.storedFile.isEmpty()) {
        retrieved(true, result.storedFile);
        return;
    }
    // Fetched from where the transport left it, and removed from there after.
    m_task.remotefile = result.remoteFile;
    // A dump older than this run is not the run's.
    m_retriever.StartRetrieval(m_task, m_runStart, this,
                               [this](bool ok, const QString &file) { retrieved(ok, file); });
}

void BackupRun::retrieved(bool ok, const QString &storedFile)
{
    if (ok) {
        stored();
        m_log.AddStatus(m_task.backupfile + m_texts.SavedSuffix);
        const QString warning = m_retriever.RemovalWarning();
        if (!warning.isEmpty())
            warnNotRemoved(warning);
        // The HTTP server cannot delete; a second session does.
        if (m_transport && m_task.usesHttp() && !m_task.remotefile.isEmpty()) {
            m_storedFile = storedFile;
            m_removing = true;
            if (m_transport->startRemoval(m_task, m_task.remotefile))
                return;
            m_removing = false;
        }
        prove(storedFile);
        return;
    }
    // The manual download has no session, so no "FTP-" before its line.
    m_log.AddStatus(m_transport ? QStringLiteral("FTP-") + m_texts.DownloadFailed : m_texts.DownloadFailed);
    const QString reason = m_retriever.FailureReason();
    if (!reason.isEmpty())
        m_log.AddStatus(reason);
    conclude(false, reason.isEmpty() ? m_texts.DownloadFailed : reason, {});
}

void BackupRun::stored()
{
    // Whatever brought the backup home: once it is stored, the task's copies
    // its keep counts no longer cover go.
    const int removed = RemoveOldTaskBackups(m_task, m_log.clock().now().date());
    if (removed > 0)
        m_log.AddStatus(OldBackupsRemovedText(removed, !m_texts.englishChecked()));
}

void BackupRun::removalFinished(bool removed)
{
    if (!removed)
        warnNotRemoved(NotRemovedText(m_task.remotefile, m_texts.german()));
    prove(m_storedFile);
}

void BackupRun::prove(const QString &storedFile)
{
    if (!m_task.testrestore || !m_restoreOptions || storedFile.isEmpty()) {
        copyOffsite(storedFile);
        return;
    }
    m_storedFile = storedFile;
    const bool german = m_texts.german();
    const QString started = RestoreTexts::started(QFileInfo(storedFile).fileName(), german);
    m_log.AddStatus(started);
    emit m_events.statusCaption(started);
    m_test = std::make_unique<TestRestore>(*m_restoreOptions, german);
    connect(m_test.get(), &TestRestore::progress, this,
            [this](qint64, int permille) { emit m_events.downloadProgress(permille, 1000); });
    connect(m_test.get(), &TestRestore::finished, this, &BackupRun::proven);
    m_test->start(storedFile);
}

void BackupRun::proven(const TestRestoreResult &result)
{
    // No server program to prove with, or a cancelled test: said, and the run stands as it is.
    m_log.AddStatus(TestRestoreLine(result, m_texts.german()));
    if (result.passed()) {
        m_outcome.restoreTest = QStringLiteral("passed");
        m_outcome.restoreCounts = QStringLiteral("%1 %2").arg(result.tables).arg(result.rows);
    } else if (result.status == TestRestoreResult::Status::Failed) {
        m_outcome.restoreTest = QStringLiteral("failed: ") + result.reason;
        m_outcome.warning = result.reason;
    }
    emit m_events.statusCaptionReset();
    copyOffsite(m_storedFile);
}

void BackupRun::copyOffsite(const QString &storedFile)
{
    m_storedFile = storedFile;
    if (m_task.offsite.trimmed().isEmpty() || storedFile.isEmpty()) {
        conclude(true, {}, storedFile);
        return;
    }
    const bool german = m_texts.german();
    // Only a proven backup goes off site; the test restore's warning stands.
    if (!m_outcome.warning.isEmpty()) {
        m_log.AddStatus(OffsiteTexts::failed(OffsiteTexts::notProven(german), german));
        m_outcome.offsite = QStringLiteral("failed: ") + OffsiteTexts::notProven(german);
        conclude(true, {}, storedFile);
        return;
    }
    m_offsite = std::make_unique<OffsiteCopy>(m_task, german);
    connect(m_offsite.get(), &OffsiteCopy::protocolLine, this, [this](const QString &l) { m_log.AddStatus(l); });
    connect(m_offsite.get(), &OffsiteCopy::caption, this, [this](const QString &text) {
        if (text.isEmpty())
            emit m_events.statusCaptionReset();
        else
            emit m_events.statusCaption(text);
    });
    connect(m_offsite.get(), &OffsiteCopy::finished, this, &BackupRun::copiedOffsite);
    m_offsite->start(storedFile, m_log.clock().now().date());
}

void BackupRun::copiedOffsite(const OffsiteResult &result)
{
    m_outcome.offsiteChecked = result.checked;
    if (result.ok) {
        m_outcome.offsite = QStringLiteral("copied");
    } else {
        // Stored here all the same: a warning raised like a failed run.
        m_outcome.offsite = QStringLiteral("failed: ") + result.reason;
        m_outcome.warning = result.reason;
        m_outcome.warningKind = RunOutcome::Warning::Offsite;
    }
    conclude(true, {}, m_storedFile);
}

void BackupRun::warnNotRemoved(const QString &warning)
{
    m_log.AddStatus(warning);
    m_warning = warning;
}

void BackupRun::conclude(bool ok, const QString &reason, const QString &storedFile)
{
    if (m_done)
        return;
    m_done = true;
    // A stored backup with a warning is stored all the same; the user has to clear the host.
    m_outcome.message = RunMessage(m_texts, m_log, ok, ok ? m_warning : m_failureMessage);
    if (ok && !m_outcome.warning.isEmpty()) {
        m_outcome.message = m_outcome.warningKind == RunOutcome::Warning::Offsite
            ? OffsiteTexts::storedButFailed(m_log.Timestamp(), m_outcome.warning, m_texts.german())
            : RestoreTexts::storedButFailed(m_log.Timestamp(), m_outcome.warning, m_texts.german());
        if (!m_warning.isEmpty())
            m_outcome.message += QStringLiteral(" - ") + m_warning;
    }
    if (m_transport) {
        emit m_events.sessionProgress(0);
        if (m_sessionOpened) {
            emit m_events.statusCaptionReset();
            emit m_events.negotiationText(QString());
        }
        if (m_sessionShown)
            emit m_events.sessionEnded();
    }
    m_outcome.success = ok;
    m_outcome.reason = reason;
    m_outcome.storedFile = storedFile;
    emit finished(m_outcome);
}

void BackupRun::cancelSession()
{
    // Nothing has started yet: the run ends when the keyring has answered.
    if (m_fetchingSecrets) {
        m_secretsCancelled = true;
        return;
    }
    // The latest stage that has begun is the one running.
    if (m_offsite) {
        m_offsite->cancel();
        return;
    }
    if (m_test) {
        m_test->cancel();
        return;
    }
    if (m_transport)
        m_transport->cancel();
}

void BackupRun::abort()
{
    if (m_fetchingSecrets)
        m_secretsCancelled = true;
    if (m_test)
        m_test->cancel();
    // No tool goes on after the program; its temporary name holds what it
    // sent. The run still ends, so whoever waits for it (the command line) can.
    if (m_offsite && !m_done) {
        m_offsite->stopNow();
        QTimer::singleShot(0, this, [this] {
            if (m_done)
                return;
            OffsiteResult stopped;
            stopped.reason = OffsiteTexts::cancelled(m_texts.german());
            m_log.AddStatus(OffsiteTexts::failed(stopped.reason, m_texts.german()));
            copiedOffsite(stopped);
        });
    }
    if (m_transport)
        m_transport->cancel();
    m_retriever.AbortRetrievals();
}
