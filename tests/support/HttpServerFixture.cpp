#include "HttpServerFixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

HttpServerFixture::HttpServerFixture(bool tls) : m_tls(tls)
{
    QDir(m_dir.path()).mkpath(QStringLiteral("root"));
}

bool HttpServerFixture::tlsAvailable()
{
    return !QStandardPaths::findExecutable(QStringLiteral("openssl")).isEmpty();
}

QString HttpServerFixture::rootPath() const
{
    return QDir(m_dir.path()).filePath(QStringLiteral("root"));
}

QString HttpServerFixture::certificatePath() const
{
    return QDir(m_dir.path()).filePath(QStringLiteral("cert.pem"));
}

bool HttpServerFixture::makeCertificate()
{
    return LoopbackServerProcess::makeCertificate(certificatePath(),
                                                  QDir(m_dir.path()).filePath(QStringLiteral("key.pem")), &m_error);
}

bool HttpServerFixture::start()
{
    m_error.clear();
    if (!m_dir.isValid()) {
        m_error = QStringLiteral("no temporary directory");
        return false;
    }
    QStringList args{QStringLiteral("--root"), rootPath(),
                     QStringLiteral("--log"), QDir(m_dir.path()).filePath(QStringLiteral("requests.log"))};
    if (m_tls) {
        if (!QFileInfo::exists(certificatePath()) && !makeCertificate())
            return false;
        args << QStringLiteral("--cert") << certificatePath()
             << QStringLiteral("--key") << QDir(m_dir.path()).filePath(QStringLiteral("key.pem"));
    }
    return m_server.start(QStringLiteral("http_server.py"), args,
                          QDir(m_dir.path()).filePath(QStringLiteral("server.err")));
}

QString HttpServerFixture::errorString() const
{
    return m_error.isEmpty() ? m_server.errorString() : m_error;
}

bool HttpServerFixture::putFile(const QString &relativePath, const QByteArray &content)
{
    const QString path = QDir(rootPath()).filePath(relativePath);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(content) == content.size();
}

QString HttpServerFixture::url(const QString &path) const
{
    return QStringLiteral("%1://127.0.0.1:%2/%3")
        .arg(m_tls ? QStringLiteral("https") : QStringLiteral("http"))
        .arg(port())
        .arg(path);
}

QList<QByteArray> HttpServerFixture::postBodies() const
{
    QFile f(QDir(m_dir.path()).filePath(QStringLiteral("requests.log.bodies")));
    QList<QByteArray> bodies;
    if (!f.open(QIODevice::ReadOnly))
        return bodies;
    const QByteArray all = f.readAll();
    // Each body after a line with its length.
    for (qsizetype at = 0; at < all.size();) {
        const qsizetype end = all.indexOf('\n', at);
        if (end < 0)
            break;
        const qsizetype length = all.mid(at, end - at).toLongLong();
        bodies << all.mid(end + 1, length);
        at = end + 1 + length;
    }
    return bodies;
}

QStringList HttpServerFixture::requests() const
{
    QFile f(QDir(m_dir.path()).filePath(QStringLiteral("requests.log")));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}
