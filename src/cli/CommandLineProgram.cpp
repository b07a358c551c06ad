#include "cli/CommandLineProgram.h"

#include <QDir>

#include "cli/TaskListing.h"
#include "engine/SessionEndWatcher.h"
#include "restore/BackupCheck.h"
#include "restore/HostRestore.h"
#include "run/RunMessage.h"
#include "run/RunQueue.h"
#include "secrets/Keyring.h"
#include "secrets/SecretMigration.h"
#include "secrets/SecretTexts.h"
#include "secrets/TaskSecrets.h"
#include "schedule/BackupSchedule.h"
#include "storage/StoredBackups.h"
#include "tasks/AppSettings.h"
#include "tasks/TaskStore.h"

CommandLineProgram::CommandLineProgram(CommandLineRequest request, TaskStore &store, int language,
                                       CommandLineOptions options, FILE *out, FILE *err, QObject *parent)
    : QObject(parent), m_request(std::move(request)), m_store(store), m_options(std::move(options)), m_out(out),
      m_err(err)
{
    m_texts.Language = language;
    m_texts.refill();
    m_lockPoll.setInterval(m_options.lockPollMs);
    m_lockPoll.setSingleShot(true);
    connect(&m_lockPoll, &QTimer::timeout, this, &CommandLineProgram::tryStart);
}

CommandLineProgram::~CommandLineProgram()
{
    // A run the engine breaks off as it goes reports to nobody here.
    if (m_engine) {
        disconnect(m_engine.get(), nullptr, this, nullptr);
        disconnect(&m_engine->events(), nullptr, this, nullptr);
        m_engine.reset();
    }
}

QString CommandLineProgram::pick(const QString &english, const QString &german) const
{
    return m_texts.pick(english, german);
}

bool CommandLineProgram::write(FILE *stream, const QString &text)
{
    // Output to a file or pipe that fails (full disk, closed reader) must not
    // pass for a complete answer.
    const QByteArray bytes = text.toUtf8();
    return std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream) == size_t(bytes.size())
           && std::fflush(stream) == 0;
}

void CommandLineProgram::say(const QString &english, const QString &german)
{
    write(m_err, pick(english, german) + QLatin1Char('\n'));
}

int CommandLineProgram::start()
{
    switch (m_request.mode) {
    case CommandLineRequest::Help:
        return write(m_out, CommandLine::helpText(m_texts.german())) ? ExitStatus::Stored : ExitStatus::Failed;
    case CommandLineRequest::Version:
        return write(m_out, CommandLine::versionText()) ? ExitStatus::Stored : ExitStatus::Failed;
    case CommandLineRequest::List:
        return list();
    case CommandLineRequest::Run:
    case CommandLineRequest::RunDue: {
        // The tray program's engine, its records kept here.
        BackupServiceOptions engine = m_options.engine;
        engine.schedule = false;
        engine.lockDirectory = lockDirectory();
        m_engine = std::make_unique<BackupService>(engine, m_store, m_texts);
        m_lines = std::make_unique<HeadlessRun>([this](const QString &line) {
            if (!write(m_out, line + QLatin1Char('\n')))
                m_status = ExitStatus::Failed;
        });
        m_engine->log().setView(m_lines.get());
        // Nobody is there to see a dialog: its text belongs in the protocol.
        connect(&m_engine->events(), &RunEvents::retrievalError, this,
                [this](RetrievalError, const QString &text) { m_engine->log().AddStatus(text); });
        // A scheduled start is recorded once its run begins, before anything of it can end.
        connect(m_engine.get(), &BackupService::runStarted, this, [this](const QString &name) {
            if (m_recordAttempts && !m_engine->records().recordAttempt(name))
                sayRecordNotSaved(name);
        });
        connect(m_engine.get(), &BackupService::runFinished, this, &CommandLineProgram::runFinished);
        watchSignals();
        // An unknown task is a usage error, said before anything else.
        if (m_request.mode == CommandLineRequest::Run && storedTaskName().isEmpty())
            return ExitStatus::Usage;
        // Passwords still in the file move to the keyring before the runs.
        m_secrets = std::make_unique<SecretMigration>(m_store, m_texts.german());
        connect(m_secrets.get(), &SecretMigration::protocolLine, this,
                [this](const QString &line) { m_engine->log().AddStatus(line); });
        connect(m_secrets.get(), &SecretMigration::finished, this, [this] {
            if (m_interrupted || m_finished)
                return;
            const int status = m_request.mode == CommandLineRequest::Run ? startRun() : startRunDue();
            if (status >= 0) {
                m_status = status;
                finish();
            }
        });
        m_secrets->start();
        return -1;
    }
    case CommandLineRequest::Verify:
        watchSignals();
        return startVerify();
    case CommandLineRequest::Restore:
        watchSignals();
        return startRestore();
    case CommandLineRequest::UsageError:
    case CommandLineRequest::Window:
        break;
    }
    write(m_err, m_request.error + QLatin1Char('\n'));
    say(QStringLiteral("Try --help."), QStringLiteral("Siehe --help."));
    return ExitStatus::Usage;
}

int CommandLineProgram::list()
{
    const TaskListing::Listing listing = TaskListing::read(m_store);
    const bool written = m_request.json ? write(m_out, QString::fromUtf8(TaskListing::json(listing.tasks)))
                                        : write(m_out, TaskListing::table(listing.tasks));
    for (const QString &name : listing.unreadable)
        say(QStringLiteral("The task \"%1\" could not be read.").arg(name),
            QStringLiteral("Die Aufgabe \"%1\" konnte nicht gelesen werden.").arg(name));
    // Where the passwords are, beside the list and never in it.
    const bool german = m_texts.german();
    const bool chosen = AppSettings(m_store).ReadKeepPasswordsInFile();
    const bool keyring = !chosen && Keyring::reachable();
    write(m_err, (keyring ? SecretTexts::inKeyring(german)
                          : SecretTexts::inFile(QDir::toNativeSeparators(m_store.fileName()), chosen, german))
                     + QLatin1Char('\n'));
    if (!keyring && !chosen)
        for (const BackupTask &t : listing.tasks)
            if (t.secrets == QLatin1String(TaskSecrets::InKeyring))
                write(m_err, SecretTexts::notAtHand(t.name, german) + QLatin1Char('\n'));
    return written && listing.unreadable.isEmpty() ? ExitStatus::Stored : ExitStatus::Failed;
}

void CommandLineProgram::watchSignals()
{
    if (!m_options.watchSignals)
        return;
    m_signals = std::make_unique<SessionEndWatcher>();
    connect(m_signals.get(), &SessionEndWatcher::sessionEnding, this, &CommandLineProgram::interrupt);
}

QString CommandLineProgram::storedTaskName()
{
    // Names compare without regard to case; the run goes by the stored spelling.
    QString name;
    for (const QString &stored : m_store.ListTaskNames())
        if (stored.compare(m_request.taskName, Qt::CaseInsensitive) == 0)
            name = stored;
    if (name.isEmpty())
        say(QStringLiteral("There is no task \"%1\".").arg(m_request.taskName),
            QStringLiteral("Es gibt keine Aufgabe \"%1\".").arg(m_request.taskName));
    return name;
}

QString CommandLineProgram::lockDirectory() const
{
    return m_options.engine.lockDirectory.isEmpty() ? m_options.lockDirectory : m_options.engine.lockDirectory;
}

bool CommandLineProgram::loadTask(const QString &name, BackupTask &task)
{
    try {
        task = m_store.LoadTask(name);
        return true;
    } catch (const std::exception &) {
        say(QStringLiteral("The task \"%1\" could not be read.").arg(name),
            QStringLiteral("Die Aufgabe \"%1\" konnte nicht gelesen werden.").arg(name));
        return false;
    }
}

bool CommandLineProgram::chooseBackup(BackupTask &task, QString &file, int &status)
{
    const QString name = storedTaskName();
    if (name.isEmpty()) {
        status = ExitStatus::Usage;
        return false;
    }
    status = ExitStatus::Failed;
    if (!loadTask(name, task))
        return false;
    file = m_request.backupFile;
    if (file.isEmpty()) {
        const QList<StoredBackup> stored = StoredBackupsOf(task);
        if (stored.isEmpty()) {
            say(QStringLiteral("There is no stored backup of \"%1\" in %2.").arg(name, task.localdir),
                QStringLiteral("Es gibt keine gespeicherte Sicherung von \"%1\" in %2.").arg(name, task.localdir));
            return false;
        }
        file = stored.constFirst().path;
    }
    // A task with several databases restores each file into its own.
    task = StoredBackupTask(task, file);
    return true;
}

int CommandLineProgram::startRestore()
{
    BackupTask task;
    QString file;
    int status = ExitStatus::Failed;
    if (!chooseBackup(task, file, status))
        return status;
    if (!m_request.confirmed) {
        say(QStringLiteral("This would overwrite %1 with %2. Add --yes to do it.")
                .arg(HostRestore::target(task, false), file),
            QStringLiteral("Das würde %1 mit %2 überschreiben. Mit --yes geschieht es.")
                .arg(HostRestore::target(task, true), file));
        return ExitStatus::Usage;
    }
    m_restore = std::make_unique<HostRestore>(m_options.engine.ssh, m_texts.german(), lockDirectory());
    connect(m_restore.get(), &HostRestore::protocolLine, this, &CommandLineProgram::printLine);
    connect(m_restore.get(), &HostRestore::finished, this, &CommandLineProgram::endAfter);
    m_restore->start(task, file);
    return -1;
}

void CommandLineProgram::printLine(const QString &line)
{
    if (!write(m_out, line + QLatin1Char('\n')))
        m_status = ExitStatus::Failed;
}

void CommandLineProgram::endAfter(bool succeeded)
{
    if (!succeeded)
        m_status = ExitStatus::Failed;
    // The check or restore is still on the stack of its signal.
    QTimer::singleShot(0, this, &CommandLineProgram::finish);
}

int CommandLineProgram::startVerify()
{
    BackupTask task;
    QString file;
    int status = ExitStatus::Failed;
    if (!chooseBackup(task, file, status))
        return status;
    m_check = std::make_unique<BackupCheck>(AppSettings(m_store).ReadRestoreOptions(m_options.engine.restore),
                                            m_texts.german());
    connect(m_check.get(), &BackupCheck::protocolLine, this, &CommandLineProgram::printLine);
    connect(m_check.get(), &BackupCheck::finished, this, &CommandLineProgram::endAfter);
    m_check->start(file);
    return -1;
}

int CommandLineProgram::startRun()
{
    const QString name = storedTaskName();
    if (name.isEmpty())
        return ExitStatus::Usage;
    BackupTask task;
    if (!loadTask(name, task))
        return ExitStatus::Failed;
    m_pending = {task};
    m_waitForBusy = true;
    m_engine->records().reload(m_store.ReadTaskList());
    QTimer::singleShot(0, this, &CommandLineProgram::runNext);
    return -1;
}

int CommandLineProgram::startRunDue()
{
    const TaskListing::Listing listing = TaskListing::read(m_store);
    for (const QString &name : listing.unreadable)
        say(QStringLiteral("The task \"%1\" could not be read.").arg(name),
            QStringLiteral("Die Aufgabe \"%1\" konnte nicht gelesen werden.").arg(name));
    if (!listing.unreadable.isEmpty())
        m_status = ExitStatus::Failed;
    // The first tick of a program: the current minute is on time, and slots
    // missed since the last recorded run are made up, as the tray does.
    m_engine->records().reload(m_store.ReadTaskList());
    QList<ScheduleRowInput> rows;
    for (const BackupTask &t : listing.tasks)
        rows.append({t.name, t.run, t.backuptime});
    const SchedulePlan plan = m_engine->records().tick(rows);
    for (int i : plan.invalid)
        say(QStringLiteral("The task \"%1\" has no valid daily time.").arg(rows[i].name),
            QStringLiteral("Die Aufgabe \"%1\" hat keine gültige tägliche Zeit.").arg(rows[i].name));
    for (const PlannedStart &start : plan.starts)
        m_pending.append(listing.tasks.at(start.row));
    m_recordAttempts = true;
    // Another run of a due task is that task's backup already.
    m_waitForBusy = false;
    QTimer::singleShot(0, this, &CommandLineProgram::runNext);
    return -1;
}

void CommandLineProgram::interrupt()
{
    m_status = ExitStatus::Failed;
    // A second signal does not wait for the run to wind down.
    if (m_interrupted) {
        finish();
        return;
    }
    m_interrupted = true;
    say(QStringLiteral("Ended by a signal: the run is broken off."),
        QStringLiteral("Durch ein Signal beendet: der Lauf wird abgebrochen."));
    if (m_check) {
        // Its end (failed) finishes the program, once the server is gone.
        m_check->cancel();
        return;
    }
    if (m_restore) {
        m_restore->cancel();
        return;
    }
    if (m_running) {
        // Only the running task is left; its end (failed) finishes the program.
        m_pending = {m_pending.constFirst()};
        m_engine->shutdown();
        return;
    }
    m_lockPoll.stop();
    m_pending.clear();
    QTimer::singleShot(0, this, &CommandLineProgram::runNext);
}

void CommandLineProgram::runNext()
{
    if (m_pending.isEmpty() || (m_interrupted && !m_running)) {
        m_pending.clear();
        finish();
        return;
    }
    const int waitMs = m_options.busyWaitMs >= 0 ? m_options.busyWaitMs : BackupService::runLimitMs(m_options.engine);
    m_lockDeadline = QDeadlineTimer(m_waitForBusy ? waitMs : 0);
    tryStart();
}

void CommandLineProgram::tryStart()
{
    // A copy: a run may end before start() returns, and its end moves on.
    const BackupTask task = m_pending.constFirst();
    m_running = true;
    const BackupService::StartResult result = m_engine->start(task);
    if (result.status != BackupService::Start::Started)
        m_running = false;
    if (result.status == BackupService::Start::Busy) {
        if (!m_lockDeadline.hasExpired()) {
            if (!m_waitSaid)
                say(QStringLiteral("The task \"%1\" is running elsewhere; waiting for it to end.").arg(task.name),
                    QStringLiteral("Die Aufgabe \"%1\" läuft gerade anderswo; warte auf ihr Ende.").arg(task.name));
            m_waitSaid = true;
            m_lockPoll.start();
            return;
        }
        m_waitSaid = false;
        const QString name = m_pending.takeFirst().name;
        say(QStringLiteral("The task \"%1\" is busy: another run of it has not ended.").arg(name),
            QStringLiteral("Die Aufgabe \"%1\" ist beschäftigt: ein anderer Lauf ist nicht beendet.").arg(name));
        if (m_status == ExitStatus::Stored)
            m_status = ExitStatus::Busy;
        runNext();
        return;
    }
    m_waitSaid = false;
    if (result.status == BackupService::Start::Failed) {
        const QString fileName = m_engine->lockFileName(task.name);
        say(QStringLiteral("The lock file %1 could not be made.").arg(fileName),
            QStringLiteral("Die Sperrdatei %1 konnte nicht angelegt werden.").arg(fileName));
        // The run did not happen: its record says so, as for a failed run.
        const QString message = RunMessage(m_texts, m_engine->log(), false, result.reason);
        write(m_out, task.name + QStringLiteral(": ") + message + QLatin1Char('\n'));
        recordOutcome(task.name, false, message);
        m_status = ExitStatus::Failed;
        m_pending.removeFirst();
        runNext();
        return;
    }
}

void CommandLineProgram::recordOutcome(const QString &taskName, bool stored, const QString &message)
{
    if (!m_engine->records().recordOutcome(taskName, stored, message))
        sayRecordNotSaved(taskName);
}

void CommandLineProgram::sayRecordNotSaved(const QString &taskName)
{
    say(QStringLiteral("The run record of \"%1\" could not be saved.").arg(taskName),
        QStringLiteral("Der Laufeintrag von \"%1\" konnte nicht gespeichert werden.").arg(taskName));
}

void CommandLineProgram::runFinished(const RunOutcome &outcome)
{
    const QString name = m_pending.constFirst().name;
    if (!outcome.message.isEmpty())
        write(m_out, name + QStringLiteral(": ") + outcome.message + QLatin1Char('\n'));
    // The record before the lock goes: whoever runs the task next sees it.
    recordOutcome(name, outcome.success, outcome.message);
    m_running = false;
    m_pending.removeFirst();
    // A backup that does not restore is no backup to rely on.
    if (!outcome.proven() || m_interrupted)
        m_status = ExitStatus::Failed;
    // The engine is still on the stack of its signal.
    QTimer::singleShot(0, this, &CommandLineProgram::runNext);
}

void CommandLineProgram::finish()
{
    if (m_finished)
        return;
    // The health-check service hears of the run before the process ends;
    // each ping has its own time limit.
    if (m_engine && m_engine->pingsPending() > 0) {
        connect(m_engine.get(), &BackupService::pingsSettled, this, &CommandLineProgram::finish, Qt::SingleShotConnection);
        return;
    }
    m_finished = true;
    emit finished(m_status);
}
