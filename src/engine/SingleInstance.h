#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

// One copy of the program per user: the first copy listens on a local socket
// named for the user; a later copy finds it, asks it to come to the front, and
// ends.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    explicit SingleInstance(QString serverName = defaultServerName(), QObject *parent = nullptr);
    ~SingleInstance() override;

    // true: this is the only copy and now answers later ones. false: another
    // copy runs and has been asked to come to the front.
    bool claim();

    static QString defaultServerName();

signals:
    void activationRequested();

private:
    QString m_name;
    QLocalServer *m_server = nullptr;
};
