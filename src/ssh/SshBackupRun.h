#pragma once

#include <QObject>
#include <QString>
#include <memory>

#include "ssh/SshDumpTypes.h"
#include "tasks/BackupTask.h"

class Clock;
class LanguageTexts;
class ProtocolLog;
class SshJobRunner;

// One backup of an SSH task: the dump command runs on the host and its output
// streams into the task's local target (its day subdirectory when asked),
// replacing the previous backup only when the dump is whole. Reports each
// step as a protocol line in the current language and the progress positions
// of the backup bar; the caller writes the outcome into the task list.
class SshBackupRun : public QObject {
    Q_OBJECT
public:
    SshBackupRun(const BackupTask &task, ProtocolLog &log, const LanguageTexts &texts, const Clock &clock,
                 SshClientSettings settings = {}, QObject *parent = nullptr);
    ~SshBackupRun() override;

    void start();
    // "Cancel Telnet-Session": breaks the run off; finished(false) follows.
    void cancel();
    bool isRunning() const { return m_running; }

    const BackupTask &task() const { return m_task; }
    const SshDumpResult &result() const { return m_result; }
    // Why the run failed, as the protocol says it; empty after a success.
    QString failureText() const { return m_failureText; }

signals:
    void progress(int position);    // the backup bar: 10, 25, 35, 40, 60, then 0
    void received(qint64 bytes);    // bytes of the dump so far (the total is unknown)
    void finished(bool success);

private:
    void finish(const SshDumpResult &result);
    void fail(const QString &text);

    BackupTask m_task;
    ProtocolLog &m_log;
    const LanguageTexts &m_texts;
    const Clock &m_clock;
    SshClientSettings m_settings;
    std::unique_ptr<SshJobRunner> m_runner;
    QString m_target;
    SshDumpResult m_result;
    QString m_failureText;
    bool m_running = false;
    bool m_cancelled = false;
};
