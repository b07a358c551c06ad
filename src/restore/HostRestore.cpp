#include "restore/HostRestore.h"

#include <QFileInfo>
#include <QTimer>

#include "engine/TaskRunLock.h"
#include "retrieval/ByteCount.h"
#include "ssh/DumpSink.h"
#include "ssh/SshDumpCommand.h"
#include "ssh/SshJobRunner.h"
#include "ssh/SshTexts.h"
#include "storage/StoredDumpReader.h"

namespace {
QString pick(bool german, const QString &english, const QString &inGerman)
{
    return german ? inGerman : english;
}
} // namespace

HostRestore::HostRestore(SshClientSettings settings, bool german, QString lockDirectory, QObject *parent)
    : QObject(parent), m_settings(std::move(settings)), m_german(german), m_lockDirectory(std::move(lockDirectory))
{
}

HostRestore::~HostRestore() = default;

QString HostRestore::target(const BackupTask &task, bool german)
{
    return pick(german, QStringLiteral("database %1 on %2"), QStringLiteral("Datenbank %1 auf %2"))
        .arg(task.database, task.host);
}

void HostRestore::start(const BackupTask &task, const QString &storedFile)
{
    m_task = task;
    if (!task.usesSsh()) {
        const QString why = pick(m_german,
                                 QStringLiteral("Restoring into the host's database needs SSH: the task %1 uses telnet. "
                                                "Save the backup as SQL and load it with the host's own tools.")
                                     .arg(task.name),
                                 QStringLiteral("Das Wiederherstellen in die Datenbank des Hosts braucht SSH: die Aufgabe %1 "
                                                "nutzt Telnet. Speichern Sie die Sicherung als SQL und laden Sie sie mit den "
                                                "Werkzeugen des Hosts.")
                                     .arg(task.name));
        QTimer::singleShot(0, this, [this, why] { end(false, why); });
        return;
    }
    m_lock = std::make_unique<TaskRunLock>(task.name, m_lockDirectory);
    if (!m_lock->tryLock()) {
        const QString why = pick(m_german, QStringLiteral("the task %1 is running; restore after its run"),
                                 QStringLiteral("die Aufgabe %1 läuft gerade; stellen Sie nach ihrem Lauf wieder her"))
                                .arg(task.name);
        QTimer::singleShot(0, this, [this, why] { end(false, why); });
        return;
    }
    auto reader = std::make_shared<StoredDumpReader>();
    if (!reader->open(storedFile)) {
        const QString why = pick(m_german, QStringLiteral("%1 cannot be read: %2"), QStringLiteral("%1 kann nicht gelesen werden: %2"))
                                .arg(storedFile, reader->errorString());
        QTimer::singleShot(0, this, [this, why] { end(false, why); });
        return;
    }
    SshDumpRequest request = SshVersionCheckRequestFor(task, m_settings);
    request.standardInput = SshDumpOptionFile(task);
    request.command = SshRestoreCommand(task, request.standardInput.size());
    request.expectDump = false;
    request.inputStream = [reader](QByteArray &chunk) {
        chunk = reader->read();
        return !reader->failed();
    };
    emit protocolLine(pick(m_german, QStringLiteral("Restoring %1 into %2"), QStringLiteral("Stelle %1 in %2 wieder her"))
                          .arg(QFileInfo(storedFile).fileName(), target(task, m_german)));
    m_runner = std::make_unique<SshJobRunner>();
    connect(m_runner.get(), &SshJobRunner::sent, this, &HostRestore::progress);
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
    if (m_done)
        return;
    m_done = true;
    if (m_lock)
        m_lock->unlock();
    emit protocolLine(restored ? pick(m_german, QStringLiteral("Restored into %1"), QStringLiteral("Wiederhergestellt in %1"))
                                     .arg(target(m_task, m_german))
                               : pick(m_german, QStringLiteral("Restore failed: %1"),
                                      QStringLiteral("Wiederherstellung gescheitert: %1"))
                                     .arg(reason));
    emit finished(restored, reason);
}
