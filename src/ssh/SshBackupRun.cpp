#include "ssh/SshBackupRun.h"

#include <QTimer>

#include "engine/Clock.h"
#include "engine/ProtocolLog.h"
#include "retrieval/LocalTarget.h"
#include "shell/LanguageTexts.h"
#include "ssh/DurableFileSink.h"
#include "ssh/SshDumpCommand.h"
#include "ssh/SshJobRunner.h"
#include "ssh/SshTexts.h"

SshBackupRun::SshBackupRun(const BackupTask &task, ProtocolLog &log, const LanguageTexts &texts, const Clock &clock,
                           SshClientSettings settings, QObject *parent)
    : QObject(parent), m_task(task), m_log(log), m_texts(texts), m_clock(clock), m_settings(std::move(settings))
{
}

SshBackupRun::~SshBackupRun() = default;

void SshBackupRun::start()
{
    if (m_running)
        return;
    m_running = true;
    const SshDumpRequest request = SshDumpRequestFor(m_task, m_settings);
    emit progress(10);
    // Only the command: its password travels in the option file, which no log sees.
    m_log.AddSent(request.command);
    m_target = LocalTargetFile(m_task, m_clock.now().date());
    if (m_target.isEmpty() || request.host.isEmpty()) {
        // Reported from the event loop, like every other end of a run.
        const QString text = request.host.isEmpty()
            ? QStringLiteral("Unknown host - no connection")
            : m_texts.pick(QStringLiteral("No local storage directory - nothing to store into"),
                           QStringLiteral("Kein lokales Sicherungsverzeichnis - nichts zu speichern"));
        QTimer::singleShot(0, this, [this, text] { fail(text); });
        return;
    }
    m_log.AddStatus(SshTexts::connecting(request.host, request.port, m_texts.german()));

    m_runner = std::make_unique<SshJobRunner>();
    connect(m_runner.get(), &SshJobRunner::connected, this, [this] {
        emit progress(25);
        m_log.AddStatus(QStringLiteral("Connection established"));
    });
    connect(m_runner.get(), &SshJobRunner::hostKeyVerified, this, [this](const QString &fingerprint) {
        m_log.AddStatus(SshTexts::hostKeyVerified(fingerprint, m_texts.german()));
    });
    connect(m_runner.get(), &SshJobRunner::authenticated, this, [this](SshAuthMethod method, const QString &key) {
        emit progress(35);
        m_log.AddStatus(SshTexts::loggedIn(m_task.hostuser, method, key, m_texts.german()));
    });
    connect(m_runner.get(), &SshJobRunner::commandStarted, this, [this] {
        emit progress(40);
        m_log.AddStatus(SshTexts::dumpStarted(m_texts.german()));
    });
    connect(m_runner.get(), &SshJobRunner::received, this, &SshBackupRun::received);
    connect(m_runner.get(), &SshJobRunner::finished, this, &SshBackupRun::finish);
    m_runner->start(request, std::make_shared<DurableFileSink>(m_target));
}

void SshBackupRun::cancel()
{
    if (!m_running || m_cancelled)
        return;
    m_cancelled = true;
    m_log.AddStatus(m_texts.pick(QStringLiteral("SSH: cancelled by the user"),
                                 QStringLiteral("SSH: Vom Benutzer abgebrochen")));
    if (m_runner)
        m_runner->cancel();  // its late result is dropped: report here
    SshDumpResult cancelled;
    cancelled.failure = SshFailure::Cancelled;
    QTimer::singleShot(0, this, [this, cancelled] { finish(cancelled); });
}

void SshBackupRun::finish(const SshDumpResult &result)
{
    if (!m_running)
        return;
    m_result = result;
    const bool german = m_texts.german();
    if (result.failure == SshFailure::None || result.streamEnded)
        emit progress(60);
    if (result.failure == SshFailure::None) {
        m_log.AddStatus(SshTexts::dumpFinished(result.bytes, german));
        m_log.AddStatus(m_task.backupfile + m_texts.SavedSuffix);
        m_running = false;
        emit progress(0);
        emit finished(true);
        return;
    }
    if (result.failure == SshFailure::Cancelled && m_cancelled) {
        m_failureText = SshTexts::failure(result, m_task.host, quint16(m_task.sshport), german);
        m_running = false;
        emit progress(0);
        emit finished(false);
        return;
    }
    fail(SshTexts::failure(result, m_task.host, SshDumpRequestFor(m_task, m_settings).port, german));
}

void SshBackupRun::fail(const QString &text)
{
    if (!m_running)
        return;
    m_failureText = text;
    m_log.AddStatus(text);
    m_running = false;
    emit progress(0);
    emit finished(false);
}
