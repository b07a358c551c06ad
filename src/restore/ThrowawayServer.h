#pragma once

#include <QObject>
#include <QProcess>
#include <QTimer>
#include <memory>

#include "restore/RestoreOptions.h"
#include "restore/RestorePrograms.h"

class QTemporaryDir;

// A private MariaDB or MySQL server for one test restore: a fresh data
// folder in a temporary folder only this user can enter, no network, its
// socket in that folder, no grant tables (nobody else can reach it). stop()
// or destroying it ends the server and removes the folder, whatever state
// it is in.
class ThrowawayServer : public QObject {
    Q_OBJECT
public:
    // german: the language of the reasons failed() gives.
    ThrowawayServer(RestorePrograms programs, RestoreOptions options, bool german, QObject *parent = nullptr);
    ~ThrowawayServer() override;

    // Initialises the data folder and starts the server; ready() or failed() follows.
    void start();
    // Shuts the server down (killed after the stop limit) and removes the
    // folder; stopped() follows, also when nothing was running.
    void stop();

    QString folder() const;
    QString socketPath() const;
    // The client's arguments for this server, then database (may be empty).
    QStringList clientArguments(const QString &database = QString()) const;
    const RestorePrograms &programs() const { return m_programs; }

signals:
    void ready();
    void failed(const QString &reason);
    void stopped();

public:
    // What a server started by root must be told to run as root.
    static QStringList userArguments();

private:
    void installed(int exitCode, QProcess::ExitStatus status);
    void startServer();
    void poll();
    void serverEnded();
    void fail(const QString &reason);
    void removeFolder();
    // text, then the program's own words for why: the last line of its log
    // in the folder that holds marker (empty: any), after the marker.
    QString withLastLine(const QString &text, const QString &logName, const QByteArray &marker) const;
    QString pick(const char *english, const char *german) const;

    RestorePrograms m_programs;
    RestoreOptions m_options;
    std::unique_ptr<QTemporaryDir> m_dir;
    QProcess m_install;
    QProcess m_server;
    QTimer m_poll;
    QTimer m_limit;
    bool m_german = false;
    bool m_ready = false;
    bool m_stopping = false;
    bool m_failed = false;
};
