#pragma once

#include <QObject>
#include <QString>
#include <memory>

class QLocalServer;
class QLockFile;

// One copy of the program per user: a lock file beside the per-user socket
// decides which copy runs, so two copies started at once cannot both win. The
// winner listens on the socket; a later copy asks it to come to the front and
// ends. A copy that finds the lock held but nobody answering (the winner is
// just closing) waits for the lock and runs.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    explicit SingleInstance(QString serverName = defaultServerName(), QObject *parent = nullptr);
    ~SingleInstance() override;

    // true: this is the only copy and now answers later ones. false: another
    // copy runs and has been asked to come to the front.
    bool claim();
    // The program is about to end: later copies are no longer sent to this
    // one but wait for the lock.
    void stopAnswering();
    // The program ends: the lock goes to whichever copy waits for it.
    void release();

    static QString defaultServerName();
    // The lock file of a server name, in the per-user runtime directory.
    static QString lockFilePath(const QString &serverName);

signals:
    void activationRequested();

private:
    QString m_name;
    bool askWinnerToComeForward();

    QLocalServer *m_server = nullptr;
    bool m_closing = false;
    std::unique_ptr<QLockFile> m_lock;
};
