#pragma once

#include <QString>
#include <QStringList>
#include <memory>

#include "restore/ClientFeed.h"
#include "restore/RestoreJob.h"
#include "restore/RestoreOptions.h"

class QTemporaryDir;

// A MySQL or MariaDB server the user names: a local development server, say.
struct ServerTarget {
    QString host = QStringLiteral("localhost");
    int port = 3306;
    QString user;
    QString password;
    QString database;
};

// Loads a stored backup into a server the user names, through the local
// client program. The login goes to the client in an option file that only
// the user can read, in a folder only the user can enter, removed when the
// restore ends: never on a command line, in the process list or the protocol.
class ServerRestore : public RestoreJob {
    Q_OBJECT
public:
    // options: where the option file's folder goes, which client is used.
    ServerRestore(RestoreOptions options, bool german, QObject *parent = nullptr);
    ~ServerRestore() override;

    void start(const ServerTarget &target, const QString &storedFile);
    void cancel() override;

    // The client's command line, as anyone on this machine may see it.
    QStringList clientArguments() const { return m_arguments; }

    // "database shop_dev on localhost:3306", for the question and the lines.
    static QString target(const ServerTarget &target, bool german);

private:
    bool writeOptionFile(const ServerTarget &target, QString *error);
    void end(bool restored, const QString &reason);

    RestoreOptions m_options;
    bool m_german;
    QString m_target;
    QStringList m_arguments;
    std::unique_ptr<QTemporaryDir> m_folder;
    ClientFeed m_feed;
};
