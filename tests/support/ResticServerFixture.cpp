#include "ResticServerFixture.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

ResticServerFixture::ResticServerFixture()
{
    QFile pw(passwordFile());
    if (pw.open(QIODevice::WriteOnly))
        pw.write("correct horse battery staple\n");
    // restic's cache goes with the fixture, not into the user's home.
    qputenv("RESTIC_CACHE_DIR", QDir(m_dir.path()).filePath(QStringLiteral("cache")).toUtf8());
}

ResticServerFixture::~ResticServerFixture()
{
    if (m_server.state() != QProcess::NotRunning) {
        m_server.kill();
        m_server.waitForFinished(5000);
    }
}

QString ResticServerFixture::missingTools()
{
    for (const char *tool : {"rclone", "restic"}) {
        if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty())
            return QStringLiteral("%1 is not installed").arg(QLatin1String(tool));
    }
    return {};
}

QString ResticServerFixture::passwordFile() const
{
    return QDir(m_dir.path()).filePath(QStringLiteral("password"));
}

QString ResticServerFixture::url() const
{
    return QStringLiteral("rest:http://127.0.0.1:%1/").arg(m_port);
}

bool ResticServerFixture::start()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost)) {
        m_error = probe.errorString();
        return false;
    }
    m_port = probe.serverPort();
    probe.close();
    const QString root = QDir(m_dir.path()).filePath(QStringLiteral("rest"));
    QDir().mkpath(root);
    m_server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_server.start(QStringLiteral("rclone"), {QStringLiteral("serve"), QStringLiteral("restic"), QStringLiteral("--addr"),
                                              QStringLiteral("127.0.0.1:%1").arg(m_port), root});
    if (!m_server.waitForStarted(10000)) {
        m_error = m_server.errorString();
        return false;
    }
    for (int i = 0; i < 200; ++i) {
        QTcpSocket s;
        s.connectToHost(QHostAddress::LocalHost, m_port);
        if (s.waitForConnected(100))
            return true;
        if (m_server.state() == QProcess::NotRunning)
            break;
        QThread::msleep(50);
    }
    m_error = QStringLiteral("rclone serve restic did not listen");
    return false;
}

QByteArray ResticServerFixture::restic(const QString &repository, const QStringList &arguments, int *exitCode) const
{
    QProcess p;
    p.setStandardInputFile(QProcess::nullDevice());
    p.start(QStringLiteral("restic"),
            QStringList{QStringLiteral("-r"), repository, QStringLiteral("--password-file"), passwordFile()} + arguments);
    p.waitForFinished(120000);
    if (exitCode)
        *exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    if (p.exitCode() != 0)
        m_error = QString::fromUtf8(p.readAllStandardError());
    return p.readAllStandardOutput();
}

bool ResticServerFixture::init(const QString &repository)
{
    int code = -1;
    restic(repository, {QStringLiteral("init")}, &code);
    return code == 0;
}
