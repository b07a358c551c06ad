#include "FtpServerFixture.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QStandardPaths>
#include <QTcpServer>

namespace {
QString readText(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(f.readAll());
}
}

QString LoopbackServerProcess::scriptPath(const QString &scriptName)
{
    // The scripts sit beside this source file; the directory comes from the
    // build, since __FILE__ may be relative (compiler caches rewrite it).
    return QDir(QStringLiteral(VW_TEST_SUPPORT_DIR)).filePath(scriptName);
}

quint16 LoopbackServerProcess::unusedPort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

bool LoopbackServerProcess::start(const QString &scriptName, const QStringList &arguments,
                                  const QString &stderrPath, int timeoutMs)
{
    stop();
    m_error.clear();
    m_stderrPath = stderrPath;
    m_process.setProgram(QStringLiteral("/usr/bin/python3"));
    m_process.setArguments(QStringList{scriptPath(scriptName)} + arguments);
    m_process.setStandardErrorFile(stderrPath);
    m_process.start();
    if (!m_process.waitForStarted(timeoutMs)) {
        m_error = QStringLiteral("cannot start /usr/bin/python3: ") + m_process.errorString();
        return false;
    }
    const QDeadlineTimer deadline(timeoutMs);
    QByteArray seen;
    while (!deadline.hasExpired()) {
        while (m_process.canReadLine()) {
            const QByteArray line = m_process.readLine().trimmed();
            seen += line + '\n';
            if (line.startsWith("READY ")) {
                m_port = quint16(line.mid(6).toUInt());
                if (m_port != 0)
                    return true;
            }
        }
        if (m_process.state() == QProcess::NotRunning)
            break;
        // Blocks until output arrives or the time is up; no spinning.
        m_process.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
    }
    m_error = QStringLiteral("%1 did not become ready:\n%2%3")
                  .arg(scriptName, QString::fromUtf8(seen), readText(stderrPath));
    stop();
    return false;
}

void LoopbackServerProcess::stop()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    m_port = 0;
}

FtpServerFixture::FtpServerFixture() : FtpServerFixture(Settings{}) {}

FtpServerFixture::FtpServerFixture(Settings settings) : m_settings(std::move(settings))
{
    QDir(m_dir.path()).mkpath(QStringLiteral("root"));
}

QString FtpServerFixture::rootPath() const
{
    return QDir(m_dir.path()).filePath(QStringLiteral("root"));
}

bool FtpServerFixture::start()
{
    if (!m_dir.isValid())
        return false;
    const char *mode = m_settings.active == ActiveMode::Refuse ? "refuse"
        : m_settings.active == ActiveMode::Silent             ? "silent"
                                                               : "normal";
    QStringList args{QStringLiteral("--root"), rootPath(),
                     QStringLiteral("--user"), m_settings.user,
                     QStringLiteral("--password"), m_settings.password,
                     QStringLiteral("--log"), QDir(m_dir.path()).filePath(QStringLiteral("commands.log")),
                     QStringLiteral("--active"), QString::fromLatin1(mode)};
    if (!m_settings.cutOffFile.isEmpty())
        args << QStringLiteral("--cut-off") << m_settings.cutOffFile;
    if (!m_settings.shortSizeFile.isEmpty())
        args << QStringLiteral("--short-size") << m_settings.shortSizeFile;
    if (m_settings.tls) {
        const QString key = QDir(m_dir.path()).filePath(QStringLiteral("key.pem"));
        QString error;
        if (!QFileInfo::exists(certificatePath()) && !LoopbackServerProcess::makeCertificate(certificatePath(), key, &error)) {
            m_certificateError = error;
            return false;
        }
        args << QStringLiteral("--cert") << certificatePath() << QStringLiteral("--key") << key;
    }
    return m_server.start(QStringLiteral("ftp_server.py"), args,
                          QDir(m_dir.path()).filePath(QStringLiteral("server.err")));
}

QString FtpServerFixture::errorString() const
{
    if (!m_certificateError.isEmpty())
        return m_certificateError;
    return m_dir.isValid() ? m_server.errorString() : QStringLiteral("no temporary directory");
}

QString FtpServerFixture::certificatePath() const
{
    return QDir(m_dir.path()).filePath(QStringLiteral("cert.pem"));
}

bool LoopbackServerProcess::makeCertificate(const QString &certPath, const QString &keyPath, QString *error)
{
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("openssl"));
    if (tool.isEmpty()) {
        *error = QStringLiteral("openssl is needed to make the test certificate");
        return false;
    }
    QProcess openssl;
    openssl.setProcessChannelMode(QProcess::MergedChannels);
    openssl.start(tool, {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"), QStringLiteral("rsa:2048"),
                         QStringLiteral("-nodes"), QStringLiteral("-days"), QStringLiteral("2"),
                         QStringLiteral("-subj"), QStringLiteral("/CN=127.0.0.1"),
                         QStringLiteral("-addext"), QStringLiteral("subjectAltName=IP:127.0.0.1"),
                         QStringLiteral("-keyout"), keyPath, QStringLiteral("-out"), certPath});
    if (!openssl.waitForFinished(30000) || openssl.exitCode() != 0) {
        *error = QStringLiteral("openssl failed: ") + QString::fromUtf8(openssl.readAll());
        return false;
    }
    return true;
}

bool FtpServerFixture::putFile(const QString &relativePath, const QByteArray &content)
{
    const QString path = QDir(rootPath()).filePath(relativePath);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(content) == content.size();
}

QStringList FtpServerFixture::commands() const
{
    return readText(QDir(m_dir.path()).filePath(QStringLiteral("commands.log")))
        .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

void FtpServerFixture::clearCommands()
{
    QFile::resize(QDir(m_dir.path()).filePath(QStringLiteral("commands.log")), 0);
}

QString FtpServerFixture::serverOutput() const
{
    return readText(QDir(m_dir.path()).filePath(QStringLiteral("server.err")));
}
