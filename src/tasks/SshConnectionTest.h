#pragma once

#include <QObject>
#include <QPointer>
#include <memory>

#include "ssh/SshDumpTypes.h"
#include "tasks/BackupTask.h"

class LanguageTexts;
class MemorySink;
class QMessageBox;
class QWidget;
class SshJobRunner;

// The task editor's "Test connection" for SSH tasks: connects, checks the host
// key (offering an unknown one to the user, who alone may trust it), logs in,
// asks the host's dump programs and its database server (HostProbe), says
// what happened in a message box and offers the settings that fit the server. Runs on
// a worker thread; the boxes open without blocking the editor or the runs.
class SshConnectionTest : public QObject {
    Q_OBJECT
public:
    SshConnectionTest(QWidget *window, const LanguageTexts &language);
    ~SshConnectionTest() override;

    void setSettings(const SshClientSettings &settings) { m_settings = settings; }
    const SshClientSettings &settings() const { return m_settings; }

    void start(const BackupTask &task);
    // Breaks a test off and closes its box (the editor was closed).
    void cancel();
    bool isRunning() const;

signals:
    void runningChanged(bool running);
    // The user took the offered settings.
    void settingsOffered(bool noTablespaces, bool mariadbDump);

private:
    void finished(const SshDumpResult &result);
    void show(int icon, const QString &text, bool question = false);
    void offerHostKey(const SshDumpResult &result);
    QString pick(const QString &english, const QString &german) const;

    QWidget *m_window;
    const LanguageTexts &m_language;
    SshClientSettings m_settings;
    BackupTask m_task;
    std::unique_ptr<SshJobRunner> m_runner;
    std::shared_ptr<MemorySink> m_output;
    QPointer<QMessageBox> m_box;
};
