#include "MariaDbServerFixture.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QThread>

#include "FtpServerFixture.h"
#include "restore/RestorePrograms.h"
#include "restore/ThrowawayServer.h"

namespace {
QByteArray sqlString(const QString &value)
{
    QByteArray s = value.toUtf8();
    s.replace("\\", "\\\\").replace("'", "\\'");
    return "'" + s + "'";
}
} // namespace

MariaDbServerFixture::~MariaDbServerFixture()
{
    if (m_server.state() != QProcess::NotRunning) {
        m_server.kill();
        m_server.waitForFinished(10000);
    }
}

bool MariaDbServerFixture::start(const QString &user, const QString &password)
{
    const RestorePrograms programs = RestorePrograms::find();
    if (!programs.found() || programs.installer.isEmpty()) {
        m_error = QStringLiteral("no mariadbd with mariadb-install-db and its client");
        return false;
    }
    m_client = programs.client;
    const QString data = m_dir.filePath(QStringLiteral("data"));
    QProcess install;
    install.setProcessChannelMode(QProcess::MergedChannels);
    install.start(programs.installer, QStringList{QStringLiteral("--no-defaults"), QStringLiteral("--datadir=") + data,
                                                  QStringLiteral("--auth-root-authentication-method=normal"),
                                                  QStringLiteral("--skip-test-db")}
                                          + ThrowawayServer::userArguments());
    if (!install.waitForFinished(120000) || install.exitCode() != 0) {
        m_error = QStringLiteral("mariadb-install-db failed: ") + QString::fromUtf8(install.readAll().right(2000));
        return false;
    }
    m_port = LoopbackServerProcess::unusedPort();
    const QString socket = m_dir.filePath(QStringLiteral("sock"));
    m_server.setProcessChannelMode(QProcess::MergedChannels);
    m_server.setStandardOutputFile(m_dir.filePath(QStringLiteral("server.log")));
    m_server.start(programs.server,
                   QStringList{QStringLiteral("--no-defaults"), QStringLiteral("--datadir=") + data,
                               QStringLiteral("--socket=") + socket, QStringLiteral("--port=%1").arg(m_port),
                               QStringLiteral("--bind-address=127.0.0.1"), QStringLiteral("--skip-log-bin"),
                               QStringLiteral("--pid-file=") + m_dir.filePath(QStringLiteral("pid")),
                               QStringLiteral("--innodb-buffer-pool-size=64M")}
                       + ThrowawayServer::userArguments());
    const QDeadlineTimer deadline(60000);
    while (!QFileInfo::exists(socket)) {
        if (deadline.hasExpired() || m_server.state() == QProcess::NotRunning) {
            QFile log(m_dir.filePath(QStringLiteral("server.log")));
            log.open(QIODevice::ReadOnly);
            m_error = QStringLiteral("mariadbd did not start: ") + QString::fromUtf8(log.readAll().right(2000));
            return false;
        }
        QThread::msleep(50);
    }
    const QByteArray who = sqlString(user) + "@'127.0.0.1'";
    return !sql("CREATE USER " + who + " IDENTIFIED BY " + sqlString(password) + ";\nGRANT ALL ON *.* TO " + who + ";\n")
                .isNull();
}

QByteArray MariaDbServerFixture::sql(const QByteArray &statements)
{
    QProcess client;
    client.start(m_client, QStringList{QStringLiteral("--no-defaults"), QStringLiteral("--socket=") + m_dir.filePath(QStringLiteral("sock")),
                                       QStringLiteral("--user=root"), QStringLiteral("--batch"),
                                       QStringLiteral("--skip-column-names")});
    client.write(statements);
    client.closeWriteChannel();
    if (!client.waitForFinished(60000) || client.exitCode() != 0) {
        m_error = QString::fromUtf8(client.readAllStandardError());
        return QByteArray();
    }
    const QByteArray out = client.readAllStandardOutput();
    return out.isNull() ? QByteArray("") : out;
}
