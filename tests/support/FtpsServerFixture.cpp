#include "FtpsServerFixture.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTcpSocket>
#include <QThread>

#include <unistd.h>

#include "FtpServerFixture.h"

FtpsServerFixture::FtpsServerFixture(QString user, QString password)
    : m_user(std::move(user)), m_password(std::move(password))
{
}

FtpsServerFixture::~FtpsServerFixture()
{
    if (m_server.state() != QProcess::NotRunning) {
        m_server.terminate();
        if (!m_server.waitForFinished(5000))
            m_server.kill();
        m_server.waitForFinished(2000);
    }
}

bool FtpsServerFixture::fail(const QString &why)
{
    m_error = why;
    return false;
}

bool FtpsServerFixture::start()
{
    const QString server = QStandardPaths::findExecutable(QStringLiteral("pure-ftpd"), {QStringLiteral("/usr/sbin")});
    const QString pw = QStandardPaths::findExecutable(QStringLiteral("pure-pw"));
    if (server.isEmpty() || pw.isEmpty())
        return fail(QStringLiteral("pure-ftpd is not installed"));
    if (!m_dir.isValid())
        return fail(QStringLiteral("no temporary directory"));
    // The server drops to the virtual user's ids, which must reach the root.
    QFile::setPermissions(m_dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                                            | QFileDevice::ReadGroup | QFileDevice::ExeGroup
                                            | QFileDevice::ReadOther | QFileDevice::ExeOther);
    const QString root = m_dir.filePath(QStringLiteral("root"));
    QDir().mkpath(root);

    QString error;
    const QString key = m_dir.filePath(QStringLiteral("key.pem"));
    if (!LoopbackServerProcess::makeCertificate(certificatePath(), key, &error))
        return fail(error);
    // pure-ftpd reads certificate and key from one file.
    QFile both(m_dir.filePath(QStringLiteral("both.pem")));
    QFile cert(certificatePath()), k(key);
    if (!cert.open(QIODevice::ReadOnly) || !k.open(QIODevice::ReadOnly) || !both.open(QIODevice::WriteOnly)
        || both.write(cert.readAll() + k.readAll()) < 0)
        return fail(QStringLiteral("cannot write the server's certificate file"));
    both.close();

    const bool asRoot = ::geteuid() == 0;
    QProcess add;
    add.setProcessChannelMode(QProcess::MergedChannels);
    add.start(pw, {QStringLiteral("useradd"), m_user, QStringLiteral("-u"),
                   asRoot ? QStringLiteral("nobody") : QString::number(::geteuid()), QStringLiteral("-g"),
                   asRoot ? QStringLiteral("nogroup") : QString::number(::getegid()), QStringLiteral("-d"), root,
                   QStringLiteral("-f"), m_dir.filePath(QStringLiteral("passwd")), QStringLiteral("-m"),
                   QStringLiteral("-F"), m_dir.filePath(QStringLiteral("users.pdb"))});
    add.write((m_password + QLatin1Char('\n') + m_password + QLatin1Char('\n')).toUtf8());
    add.closeWriteChannel();
    if (!add.waitForFinished(10000) || add.exitCode() != 0)
        return fail(QStringLiteral("pure-pw failed: ") + QString::fromUtf8(add.readAll()));

    m_port = LoopbackServerProcess::unusedPort();
    m_server.setProcessChannelMode(QProcess::MergedChannels);
    m_server.setStandardOutputFile(m_dir.filePath(QStringLiteral("server.log")));
    // -Y 2: TLS for everything; -E: no anonymous logins.
    m_server.start(server, {QStringLiteral("-l"), QStringLiteral("puredb:") + m_dir.filePath(QStringLiteral("users.pdb")),
                            QStringLiteral("-S"), QStringLiteral("127.0.0.1,%1").arg(m_port), QStringLiteral("-Y"),
                            QStringLiteral("2"), QStringLiteral("-2"), both.fileName(), QStringLiteral("-E")});
    if (!m_server.waitForStarted(10000))
        return fail(QStringLiteral("pure-ftpd did not start"));
    const QDeadlineTimer deadline(10000);
    while (!deadline.hasExpired()) {
        QTcpSocket probe;
        probe.connectToHost(QStringLiteral("127.0.0.1"), m_port);
        if (probe.waitForConnected(500))
            return true;
        if (m_server.state() == QProcess::NotRunning)
            break;
        QThread::msleep(50);
    }
    return fail(QStringLiteral("pure-ftpd does not listen"));
}

bool FtpsServerFixture::putFile(const QString &relativePath, const QByteArray &content)
{
    const QString path = m_dir.filePath(QStringLiteral("root/") + relativePath);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(content) != content.size())
        return false;
    f.close();
    if (::geteuid() == 0) {
        // The virtual user (nobody) reads it, and may remove it.
        for (QString p = path; p.startsWith(m_dir.filePath(QStringLiteral("root"))); p = QFileInfo(p).absolutePath())
            if (::chown(QFile::encodeName(p).constData(), 65534, 65534) != 0)
                return false;
    }
    return true;
}
