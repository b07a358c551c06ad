#pragma once

#include <QObject>
#include <QStringList>

class TaskStore;

// At a program's start: says once where the passwords are, and where a
// keyring is reachable (and the user did not choose the settings file)
// moves every password still in the file into it. Each is read back from
// the keyring before the file loses it; a task whose move fails keeps its
// passwords in the file, and that is said.
class SecretMigration : public QObject {
    Q_OBJECT
public:
    SecretMigration(const TaskStore &store, bool german, QObject *parent = nullptr);

    // Answers by protocolLine and, at the end, finished(); never at once.
    void start();
    bool isRunning() const { return m_running; }

signals:
    void protocolLine(const QString &line);
    void finished();

private:
    void begin();
    void nextTask();
    void moveMailPassword();
    void end();

    const TaskStore &m_store;
    bool m_german;
    bool m_running = false;
    QStringList m_pending;
};
