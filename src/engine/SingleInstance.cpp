#include "engine/SingleInstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>

SingleInstance::SingleInstance(QString serverName, QObject *parent)
    : QObject(parent), m_name(std::move(serverName))
{
}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::lockFilePath(const QString &serverName)
{
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty())
        dir = QDir::tempPath();
    return dir + QLatin1Char('/') + serverName + QStringLiteral(".lock");
}

bool SingleInstance::askWinnerToComeForward()
{
    QLocalSocket probe;
    probe.connectToServer(m_name);
    if (!probe.waitForConnected(1000))
        return false;
    probe.write("activate\n");
    probe.waitForBytesWritten(1000);
    // The winner answers while it goes on running; a copy that is closing
    // does not, and this one then takes over.
    const bool answered = probe.waitForReadyRead(1000) && probe.readAll().startsWith("ok");
    probe.disconnectFromServer();
    return answered;
}

QString SingleInstance::defaultServerName()
{
    QString user = qEnvironmentVariable("USER");
    if (user.isEmpty())
        user = qEnvironmentVariable("USERNAME");
    // The home directory tells users of the same name on shared machines apart.
    const QByteArray key = (user + QLatin1Char('|') + QDir::homePath()).toUtf8();
    return QStringLiteral("vaultwick-")
           + QString::fromLatin1(QCryptographicHash::hash(key, QCryptographicHash::Sha1).toHex().left(16));
}

bool SingleInstance::claim()
{
    m_lock = std::make_unique<QLockFile>(lockFilePath(m_name));
    m_lock->setStaleLockTime(0);  // a crashed copy's lock is found by its process id
    if (!m_lock->tryLock(0)) {
        // The winner may still be starting: give it time to listen.
        for (int attempt = 0; attempt < 10; ++attempt) {
            if (askWinnerToComeForward())
                return false;
            if (m_lock->tryLock(500))
                break;
        }
        if (!m_lock->isLocked() && !m_lock->tryLock(10000))
            return false;
    }
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    // Holding the lock, a socket of that name can only be a crashed copy's.
    QLocalServer::removeServer(m_name);
    m_server->listen(m_name);
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *s = m_server->nextPendingConnection()) {
            connect(s, &QLocalSocket::disconnected, s, &QObject::deleteLater);
            if (m_closing) {
                s->disconnectFromServer();
                continue;
            }
            s->write("ok\n");
            s->flush();
            emit activationRequested();
        }
    });
    return true;
}

void SingleInstance::stopAnswering()
{
    // A copy started from now on takes over instead of being swallowed.
    m_closing = true;
    if (m_server)
        m_server->close();
}

void SingleInstance::release()
{
    stopAnswering();
    if (m_lock)
        m_lock->unlock();
}
