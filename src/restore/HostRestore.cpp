#include "restore/HostRestore.h"

#include <QFileInfo>
#include <QTimer>
#include <atomic>

#include "engine/TaskRunLock.h"
#include "restore/RestoreTexts.h"
#include "secrets/SecretTexts.h"
#include "secrets/TaskSecrets.h"
#include "ssh/DumpSink.h"
#include "ssh/SshDumpCommand.h"
#include "ssh/SshJobRunner.h"
#include "ssh/SshTexts.h"
#include "storage/StoredDumpReader.h"

HostRestore::HostRestore(SshClientSettings settings, bool german, QString lockDirectory, QObject *parent)
    : RestoreJob(parent), m_settings(std::move(settings)), m_german(german), m_lockDirectory(std::move(lockDirectory))
{
}

HostRestore::~HostRestore() = default;

QString HostRestore::target(const BackupTask &task, bool german)
{
    return RestoreTexts::hostTarget(task.database, task.host, german);
}

void HostRestore::start(const BackupTask &task, const QString &storedFile)
{
    m_task = task;
    if (!task.usesSsh()) {
        const QString why = RestoreTexts::restoreNeedsSsh(task.name, m_german);
        QTimer::singleShot(0, this, [this, why] { end(false, why); });
        return;
    }
    m_lock = std::make_unique<TaskRunLock>(task.name, m_lockDirectory);
    if (!m_lock->tryLock()) {
        const QString why = RestoreTexts::taskRunning(task.name, m_german);
        QTimer::singleShot(0, this, [this, why] { end(false, why); });
        return;
    }
    if (m_task.secrets != QLatin1String(TaskSecrets::InKeyring)) {
        send(storedFile);
        return;
    }
    // The login's password from the keyring first, as for a run.
    TaskSecrets::fetch(m_task, m_german, this, [this, storedFile](const QString &problem) {
        if (problem.isEmpty())
            send(storedFile);
        else
            end(false, SecretTexts::runFailed(m_german));
    });
}

void HostRestore::send(const QString &storedFile)
{
    const BackupTask &task = m_task;
    auto reader = std::make_shared<StoredDumpReader>();
    if (!reader->open(storedFile)) {
        const QString why = RestoreTexts::cannotRead(storedFile, reader->errorString(), m_german);
        QTimer::singleShot(0, this, [this, why] { end(false, why); });
        return;
    }
    SshDumpRequest request = SshVersionCheckRequestFor(task, m_settings);
    request.standardInput = SshDumpOptionFile(task);
    request.command = SshRestoreCommand(task, request.standardInput.size());
    request.expectDump = false;
    // The reader lives on the SSH thread; only how far it got comes back.
    auto permille = std::make_shared<std::atomic<int>>(0);
    request.inputStream = [reader, permille](QByteArray &chunk) {
        chunk = reader->read();
        const qint64 size = reader->fileSize();
        *permille = size > 0 ? int(1000 * reader->filePosition() / size) : 1000;
        return !reader->failed();
    };
    emit protocolLine(RestoreTexts::restoring(QFileInfo(storedFile).fileName(), target(task, m_german), m_german));
    m_runner = std::make_unique<SshJobRunner>();
    connect(m_runner.get(), &SshJobRunner::sent, this, [this, permille](qint64 sent) { emit progress(sent, *permille); });
    const QString host = request.host;
    const quint16 port = request.port;
    connect(m_runner.get(), &SshJobRunner::finished, this, [this, reader, host, port](const SshDumpResult &result) {
        if (result.succeeded()) {
            end(true, QString());
            return;
        }
        SshDumpResult said = result;
        if (said.failure == SshFailure::LocalRead)
            said.detail = reader->errorString();
        end(false, SshTexts::failure(said, host, port, m_german));
    });
    // The client says nothing when all went in; what it says otherwise is
    // kept short in memory for the protocol.
    m_runner->start(request, std::make_shared<MemorySink>(1024 * 1024));
}

void HostRestore::cancel()
{
    if (m_runner && m_runner->isRunning()) {
        m_runner->cancel();
        SshDumpResult cancelled;
        cancelled.failure = SshFailure::Cancelled;
        const QString why = SshTexts::failure(cancelled, m_task.host, 22, m_german);
        QTimer::singleShot(0, this, [this, why] { end(false, why); });
    }
}

void HostRestore::end(bool restored, const QString &reason)
{
    if (concluded())
        return;
    if (m_lock)
        m_lock->unlock();
    conclude(restored, reason, target(m_task, m_german), m_german);
}
