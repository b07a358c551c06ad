#include "restore/ServerRestore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>

#include "engine/ClientOptionValue.h"
#include "restore/RestorePrograms.h"
#include "restore/RestoreTexts.h"

ServerRestore::ServerRestore(RestoreOptions options, bool german, QObject *parent)
    : RestoreJob(parent), m_options(std::move(options)), m_german(german), m_feed(german)
{
    connect(&m_feed, &ClientFeed::progress, this, &ServerRestore::progress);
    connect(&m_feed, &ClientFeed::finished, this, &ServerRestore::end);
}

ServerRestore::~ServerRestore()
{
    m_feed.cancel();
}

QString ServerRestore::target(const ServerTarget &target, bool german)
{
    const QString host = target.host.isEmpty() ? QStringLiteral("localhost") : target.host;
    return RestoreTexts::hostTarget(target.database, host + QLatin1Char(':') + QString::number(target.port), german);
}

void ServerRestore::start(const ServerTarget &server, const QString &storedFile)
{
    m_target = target(server, m_german);
    const QString client = RestorePrograms::findClient(m_options.serverProgram);
    QString error;
    if (client.isEmpty())
        error = RestoreTexts::noClient(m_german);
    else if (server.database.isEmpty())
        error = RestoreTexts::noDatabase(m_german);
    else
        writeOptionFile(server, &error);
    if (!error.isEmpty()) {
        QTimer::singleShot(0, this, [this, error] { end(false, error); });
        return;
    }
    // The option file first: the client reads no option before it.
    m_arguments = QStringList{QStringLiteral("--defaults-extra-file=") + m_folder->filePath(QStringLiteral("client.cnf")),
                              server.database};
    emit protocolLine(RestoreTexts::restoring(QFileInfo(storedFile).fileName(), m_target, m_german));
    m_feed.start(client, m_arguments, storedFile);
}

bool ServerRestore::writeOptionFile(const ServerTarget &server, QString *error)
{
    const QString root = m_options.tempRoot.isEmpty() ? QDir::tempPath() : m_options.tempRoot;
    m_folder = std::make_unique<QTemporaryDir>(QDir(root).filePath(QStringLiteral("vaultwick-client-XXXXXX")));
    QByteArray text = "[client]\n";
    if (!server.host.isEmpty())
        text += "host=" + ClientOptionValue(server.host) + "\n";
    text += "port=" + QByteArray::number(server.port) + "\n";
    if (!server.user.isEmpty())
        text += "user=" + ClientOptionValue(server.user) + "\n";
    text += "password=" + ClientOptionValue(server.password) + "\n";
    QFile file(m_folder->filePath(QStringLiteral("client.cnf")));
    // Made readable by the user alone before the password goes in.
    const bool written = m_folder->isValid()
        && file.open(QIODevice::WriteOnly | QIODevice::NewOnly, QFileDevice::ReadOwner | QFileDevice::WriteOwner)
        && file.write(text) == text.size() && file.flush();
    if (!written) {
        *error = RestoreTexts::optionFileUnwritable(root, m_german);
        m_folder.reset();
    }
    return written;
}

void ServerRestore::cancel()
{
    if (concluded())
        return;
    m_feed.cancel();
    end(false, RestoreTexts::cancelled(m_german));
}

void ServerRestore::end(bool restored, const QString &reason)
{
    // The password leaves the disk as soon as the client is done with it.
    m_folder.reset();
    conclude(restored, reason, m_target, m_german);
}
