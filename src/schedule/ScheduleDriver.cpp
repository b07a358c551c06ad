#include "schedule/ScheduleDriver.h"

#include "engine/ProtocolLog.h"
#include "notify/FailureMail.h"
#include "run/RunMessage.h"
#include "schedule/TaskBoard.h"
#include "schedule/ScheduleTexts.h"
#include "secrets/Keyring.h"
#include "secrets/SecretTexts.h"
#include "secrets/TaskSecrets.h"
#include "shell/LanguageTexts.h"
#include "tasks/BackupTask.h"
#include "tasks/TaskStore.h"

const QString ScheduleDriver::Title = QStringLiteral("Vaultwick Task");

ScheduleDriver::ScheduleDriver(TaskBoard &board, BackupSchedule &records, Starter start, const TaskStore &store,
                               ProtocolLog &log, const LanguageTexts &texts, QObject *parent)
    : QObject(parent), m_board(board), m_start(std::move(start)), m_store(store), m_log(log), m_texts(texts),
      m_schedule(records)
{
    connect(&m_mail, &MailSender::finished, this, [this](const QString &recipient, bool ok, const QString &error) {
        // A mail that cannot go out is worth a line, never a failed backup.
        const bool en = m_texts.englishChecked();
        m_log.AddStatus(ok ? FailureMail::sentLine(en, recipient) : FailureMail::notSentLine(en, error));
    });
    reloadMailSettings();
}

void ScheduleDriver::reloadMailSettings()
{
    m_mailSettings = MailSettings::read(m_store);
}

void ScheduleDriver::listRebuilt(const QList<TaskListEntry> &entries)
{
    const QList<ScheduleRowInput> rows = m_board.scheduleRows();
    m_schedule.reload(entries);
    const bool en = m_texts.englishChecked();
    for (int i = 0; i < rows.size(); ++i) {
        if (m_board.message(i).isEmpty())
            m_board.setMessage(i, m_schedule.rowMessage(rows[i].name, rows[i].run == 1, en));
    }
    refreshState();
}

void ScheduleDriver::tick()
{
    const QList<ScheduleRowInput> rows = m_board.scheduleRows();
    const SchedulePlan plan = m_schedule.tick(rows);
    const bool en = m_texts.englishChecked();
    for (int i : plan.invalid) {
        m_board.setMessage(i, WarningPrefix + m_texts.pick(QStringLiteral("Invalid backup time: ") + rows[i].backuptime,
                                                             QStringLiteral("Ungültige Backup-Zeit: ") + rows[i].backuptime));
    }
    for (const PlannedStart &start : plan.starts) {
        const QString &name = rows[start.row].name;
        if (start.catchUp)
            m_log.AddStatus(ScheduleTexts::catchUpLine(en, name, start.slot, m_schedule.now()));
        // Recorded before the start, so no later tick starts this slot again.
        if (!m_schedule.recordAttempt(name))
            recordNotSaved(name);
        // An error for one task must not keep the tasks after it from starting.
        QString reason;
        try {
            reason = m_start(name);
        } catch (const std::exception &e) {
            reason = QString::fromLocal8Bit(e.what());
        } catch (...) {
            reason = m_texts.pick(QStringLiteral("unknown error"), QStringLiteral("unbekannter Fehler"));
        }
        if (!reason.isEmpty())
            startFailed(name, reason);
    }
    overdueNotices(rows);
    refreshState();
}

void ScheduleDriver::overdueNotices(const QList<ScheduleRowInput> &rows)
{
    const bool en = m_texts.englishChecked();
    for (const QString &name : m_schedule.takeOverdueNotices(rows)) {
        const QDateTime since = m_schedule.overdueSince(name);
        const QString warning = ScheduleTexts::overdueMessage(en, since);
        for (int i = 0; i < rows.size(); ++i) {
            // The shared-target warning keeps the column.
            if (rows[i].name == name && !m_board.message(i).startsWith(WarningPrefix))
                m_board.setMessage(i, warning);
        }
        alert(name + QLatin1Char('\n') + warning.mid(WarningPrefix.size()));
        if (m_mailSettings.isSet()) {
            QString host;
            try {
                host = m_store.LoadTask(name).host;
            } catch (const std::exception &) {
            }
            sendMail(FailureMail::overdue(en, name, host, since, m_schedule.now()));
        }
    }
}

void ScheduleDriver::runFinished(const BackupTask &task, bool success, const QString &message, const QString &reason,
                                 const QString &warning, bool offsiteWarning)
{
    if (!m_schedule.recordOutcome(task.name, success, message))
        recordNotSaved(task.name);
    const bool unproven = success && !warning.isEmpty();
    if (!success || unproven) {
        const bool en = m_texts.englishChecked();
        const QString what = unproven && offsiteWarning
            ? m_texts.pick(QStringLiteral("Backup of %1 stored locally, but its off-site copy failed"),
                           QStringLiteral("Backup von %1 lokal gespeichert, aber die externe Kopie scheiterte"))
            : unproven
            ? m_texts.pick(QStringLiteral("Backup of %1 stored, but its test restore failed"),
                           QStringLiteral("Backup von %1 gespeichert, aber die Testwiederherstellung scheiterte"))
            : m_texts.pick(QStringLiteral("Backup of %1 failed"), QStringLiteral("Backup von %1 gescheitert"));
        const QString why = unproven ? warning : reason;
        alert(what.arg(task.name) + QLatin1Char('\n') + why);
        if (m_mailSettings.isSet()) {
            const FailedRunReport report{task.name, task.host, m_schedule.now(), why, m_log.recentLines(),
                                         {task.hostpw, task.dbpw, m_mailSettings.password}, unproven,
                                         unproven && offsiteWarning};
            sendMail(FailureMail::failedRun(en, report));
        }
    }
    refreshState();
}

void ScheduleDriver::startFailed(const QString &taskName, const QString &reason)
{
    m_log.AddStatus(m_texts.pick(QStringLiteral("%1 could not be started: %2"),
                                 QStringLiteral("%1 konnte nicht gestartet werden: %2"))
                        .arg(taskName, reason));
    const QString message = RunMessage(m_texts, m_log, false, reason);
    m_board.setMessageForTask(taskName, message);
    BackupTask task = BackupTask::withDefaults(taskName);
    try {
        task = m_store.LoadTask(taskName);
    } catch (const std::exception &) {
        // Unreadable: the mail names the task without its host.
    }
    runFinished(task, false, message, reason);
}

void ScheduleDriver::recordNotSaved(const QString &name)
{
    // Memory keeps it for this program run; the store will not have it.
    m_log.AddStatus(m_texts.pick(QStringLiteral("The run record of %1 could not be saved").arg(name),
                                 QStringLiteral("Der Lauf von %1 konnte nicht vermerkt werden").arg(name)));
}

void ScheduleDriver::alert(const QString &text)
{
    emit notificationRequested(Title, text);
    // Without a notification area the status bar carries it.
    m_lastAlert = WarningPrefix + QString(text).replace(QLatin1Char('\n'), QStringLiteral(": "));
}

void ScheduleDriver::sendMail(const MailMessage &mail)
{
    if (!m_mailSettings.passwordInKeyring || m_mailSettings.user.isEmpty()) {
        m_mail.send(m_mailSettings, FailureMail::compose(m_mailSettings, mail, m_schedule.now()), m_mailSettings.recipient);
        return;
    }
    // The login's password from the keyring, read for this mail only.
    const QDateTime now = m_schedule.now();
    Keyring::read(TaskSecrets::mailPassword(), this, [this, mail, now](Keyring::Result result, const QString &password) {
        if (result != Keyring::Result::Done) {
            m_log.AddStatus(FailureMail::notSentLine(m_texts.englishChecked(),
                                                     SecretTexts::lockedOrUnreachable(m_texts.german())));
            return;
        }
        MailSettings settings = m_mailSettings;
        settings.password = password;
        m_mail.send(settings, FailureMail::compose(settings, mail, now), settings.recipient);
    });
}

void ScheduleDriver::refreshState()
{
    const QList<ScheduleRowInput> rows = m_board.scheduleRows();
    const bool en = m_texts.englishChecked();
    const QString next = ScheduleTexts::nextBackup(en, m_schedule.next(rows));
    const int failed = m_schedule.failedCount(rows);
    const QString failedText =
        m_texts.pick(QStringLiteral("Failed tasks: %1"), QStringLiteral("Gescheiterte Tasks: %1")).arg(failed);
    QStringList tip;
    if (!next.isEmpty())
        tip << next;
    if (failed > 0)
        tip << failedText;
    bool overdue = false;
    for (const ScheduleRowInput &row : rows)
        overdue = overdue || m_schedule.rowMessage(row.name, row.run == 1, en).startsWith(WarningPrefix);
    if (failed == 0 && !overdue)
        m_lastAlert.clear();
    QString warning = m_lastAlert;
    if (warning.isEmpty() && failed > 0)
        warning = WarningPrefix + failedText;
    emit stateChanged({tip, next, failed, warning});
}
