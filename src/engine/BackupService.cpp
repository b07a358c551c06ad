#include "engine/BackupService.h"

#include <QDir>
#include <limits>

#include "engine/Clock.h"
#include "offsite/OffsiteTools.h"
#include "retrieval/DownloadDispatcher.h"
#include "run/RunQueue.h"
#include "run/SshExec.h"
#include "schedule/MetricsFile.h"
#include "schedule/ScheduleDriver.h"
#include "shell/LanguageTexts.h"
#include "ssh/SshTexts.h"
#include "tasks/AppSettings.h"
#include "tasks/TaskStore.h"
#include "telnet/TelnetClient.h"

BackupService::BackupService(BackupServiceOptions options, TaskStore &store, const LanguageTexts &texts,
                             QObject *parent)
    : QObject(parent),
      m_options(std::move(options)),
      m_store(store),
      m_texts(texts),
      m_clock(m_options.clock ? *m_options.clock : Clock::system()),
      m_log(texts, m_clock),
      m_records(store, m_clock),
      m_runLocks(m_options.lockDirectory)
{
    m_telnet = new TTelnetClient(this);
    m_telnet->setObjectName(QStringLiteral("Telnet1"));
    m_telnet->setRemotePort(m_options.telnetPort);
    m_telnet->FirewallPort = 80;

    m_retriever = std::make_unique<DownloadDispatcher>(m_log, m_texts, m_events, m_clock, m_options.retrieval);
    // Each run gets the transport its task asks for.
    m_queue = std::make_unique<RunQueue>(
        [this](const BackupTask &task) -> std::unique_ptr<Transport> {
            if (task.usesSsh()) {
                auto ssh = std::make_unique<SshExec>(m_texts, m_clock, m_options.ssh);
                // A streamed dump's size is unknown until it ends: the caption
                // says the bytes so far, the bar fills towards its end.
                connect(ssh.get(), &SshExec::received, this, [this](qint64 bytes) {
                    emit m_events.statusCaption(SshTexts::receivedCaption(bytes, m_texts.german()));
                    const double mb = double(bytes) / 1e6;
                    emit m_events.downloadProgress(int(1000.0 * mb / (mb + 50.0)), 1000);
                });
                return ssh;
            }
            return std::make_unique<TelnetDialogue>(*m_telnet, m_texts, m_options.pacing);
        },
        m_log, m_texts, m_events, *m_retriever);
    m_queue->setTestRestore([this] { return AppSettings(m_store).ReadRestoreOptions(m_options.restore); });
    connect(m_queue.get(), &RunQueue::runStarted, this, &BackupService::runStarted);
    connect(m_queue.get(), &RunQueue::runStarted, this,
            [this](const QString &name) { ping(storedTask(name), HealthPing::Kind::Start); });
    connect(m_queue.get(), &RunQueue::runFinished, this, &BackupService::finished);

    if (m_options.schedule)
        m_schedule = std::make_unique<ScheduleDriver>(
            m_board, m_records, [this](const QString &name) { return startTask(name); }, m_store, m_log, m_texts);
}

BackupService::~BackupService()
{
    // A broken-off run is no failure to report: the schedule goes first.
    // Then the runs, which use the telnet client, and then a transfer thread
    // that is breaking off.
    m_schedule.reset();
    m_queue->abortAll();
    m_queue.reset();
    m_retriever.reset();
}

int BackupService::runLimitMs(const BackupServiceOptions &options)
{
    const qint64 ms = qint64(options.pacing.connectWaitMs) + options.pacing.loginLimitMs + options.pacing.dumpLimitMs
                      + options.pacing.exitCloseMs + qint64(options.retrieval.connectTimeoutMs)
                      + options.retrieval.acceptTimeoutMs;
    return int(qMin<qint64>(ms, std::numeric_limits<int>::max()));
}

QString BackupService::lockFileName(const QString &taskName) const
{
    return TaskRunLock::lockFileName(m_runLocks.directory(), taskName);
}

BackupService::StartResult BackupService::start(const BackupTask &task, bool downloadOnly)
{
    // A run of this task in another process writes the same files; it makes
    // this one's backup.
    if (!m_runLocks.acquire(task.name)) {
        if (!m_runLocks.lastFailedOtherwise())
            return {Start::Busy, {}};
        return {Start::Failed, m_texts.pick(QStringLiteral("its run lock cannot be made in %1"),
                                            QStringLiteral("seine Laufsperre kann in %1 nicht angelegt werden"))
                                   .arg(QDir::toNativeSeparators(m_runLocks.directory()))};
    }
    // Read at each start, so a changed limit holds from the next copy on.
    OffsiteTools::setUploadLimit(AppSettings(m_store).ReadOffsiteLimit());
    const bool queued = downloadOnly ? m_queue->RequestDownload(task) : m_queue->RequestRun(task);
    if (!queued)
        m_runLocks.release(task.name);
    return {};
}

QString BackupService::startTask(const QString &name, bool downloadOnly)
{
    BackupTask task = BackupTask::withDefaults();
    try {
        m_store.LoadTask(name, task);
    } catch (const TaskStoreReadError &e) {
        if (!e.key.isEmpty())
            return TaskBoard::unreadableWarning(m_texts, e.key).mid(WarningPrefix.size());
        return QString::fromLocal8Bit(e.what());
    } catch (const std::exception &e) {
        return QString::fromLocal8Bit(e.what());
    }
    emit taskLoaded(task);
    const StartResult result = start(task, downloadOnly);
    if (result.status == Start::Busy)
        m_log.AddStatus(m_texts.pick(QStringLiteral("%1: running in another process; not started").arg(task.name),
                                     QStringLiteral("%1: läuft in einem anderen Prozess; nicht gestartet").arg(task.name)));
    return result.reason;
}

void BackupService::runTask(const QString &name, bool downloadOnly)
{
    const QString reason = startTask(name, downloadOnly);
    if (!reason.isEmpty())
        m_schedule->startFailed(name, reason);
}

void BackupService::cancelSession()
{
    m_queue->CancelTelnetsession();
}

void BackupService::shutdown()
{
    m_queue->abortAll();
}

void BackupService::rebuildBoard()
{
    // One read of the store serves the board and the schedule's records.
    const QList<TaskListEntry> entries = m_store.ReadTaskList();
    m_board.rebuild(entries, m_texts);
    if (m_schedule)
        m_schedule->listRebuilt(entries);
}

void BackupService::finished(const RunOutcome &outcome)
{
    m_board.setMessageForTask(outcome.taskName, outcome.message);
    // What the test restore found belongs to the record, for the window
    // and the command line alike.
    if (!outcome.restoreTest.isEmpty() || !outcome.offsite.isEmpty()) {
        RunRecord record;
        if (!outcome.restoreTest.isEmpty()) {
            record.lastrestoretest = outcome.restoreTest;
            record.lastrestorecounts = outcome.restoreCounts;
        }
        if (!outcome.offsite.isEmpty()) {
            record.lastoffsite = outcome.offsite;
            record.lastoffsitetime = m_clock.now().toString(Qt::ISODate);
        }
        if (outcome.offsiteChecked)
            record.lastoffsitecheck = m_clock.now().date().toString(Qt::ISODate);
        m_store.SaveRunRecord(outcome.taskName, record);
    }
    const BackupTask task = storedTask(outcome.taskName);
    if (m_schedule)
        m_schedule->runFinished(task, outcome.success, outcome.message, outcome.reason, outcome.warning,
                                 outcome.warningKind == RunOutcome::Warning::Offsite);
    const QString metrics = AppSettings(m_store).ReadMetricsFile();
    if (!metrics.isEmpty() && !MetricsFile::write(metrics, MetricsFile::collect(m_store, &outcome, m_clock.now())))
        m_log.AddStatus(m_texts.pick(QStringLiteral("The metrics file %1 could not be written"),
                                     QStringLiteral("Die Metrikdatei %1 konnte nicht geschrieben werden"))
                            .arg(metrics));
    // A backup that did not restore is no success to report either.
    ping(task, outcome.proven() ? HealthPing::Kind::Success : HealthPing::Kind::Fail);
    emit runFinished(outcome);
    // Whoever runs the task next sees its record.
    m_runLocks.release(outcome.taskName);
}

HealthPing &BackupService::pings()
{
    if (!m_pings) {
        m_pings = std::make_unique<HealthPing>();
        connect(m_pings.get(), &HealthPing::settled, this, &BackupService::pingsSettled);
        connect(m_pings.get(), &HealthPing::finished, this, [this](const QString &task, bool ok, const QString &error) {
            // Said, and nothing more: the run's outcome stands.
            if (!ok)
                m_log.AddStatus(m_texts.pick(QStringLiteral("Health check ping for %1 failed: %2"),
                                             QStringLiteral("Ping an die Überwachung für %1 gescheitert: %2"))
                                    .arg(task, error));
        });
    }
    return *m_pings;
}

int BackupService::pingsPending() const
{
    return m_pings ? m_pings->pending() : 0;
}

BackupTask BackupService::storedTask(const QString &name) const
{
    try {
        return m_store.LoadTask(name);
    } catch (const std::exception &) {
        // Unreadable now: the record and the mail go by its name, no ping.
        return BackupTask::withDefaults(name);
    }
}

void BackupService::ping(const BackupTask &task, HealthPing::Kind kind)
{
    const QString url = task.pingurl.trimmed();
    if (url.isEmpty())
        return;
    // The run's own protocol, whose passwords are masked.
    const QByteArray body = kind == HealthPing::Kind::Start ? QByteArray()
                                                            : m_log.recentLines().join(QLatin1Char('\n')).toUtf8();
    pings().ping(url, kind, body, task.name);
}
