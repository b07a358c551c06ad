#include "SmtpServerFixture.h"

#include <QDir>
#include <QFile>
#include <QProcess>

SmtpServerFixture::SmtpServerFixture(Settings settings) : m_settings(std::move(settings)) {}

QString SmtpServerFixture::certificateFile() const
{
    return QDir(m_dir.path()).filePath(QStringLiteral("cert.pem"));
}

bool SmtpServerFixture::start()
{
    if (!m_dir.isValid()) {
        m_error = QStringLiteral("no temporary directory");
        return false;
    }
    const QDir dir(m_dir.path());
    dir.mkpath(QStringLiteral("mail"));
    QStringList args{QStringLiteral("--dir"), dir.filePath(QStringLiteral("mail"))};
    if (!m_settings.user.isEmpty())
        args << QStringLiteral("--user") << m_settings.user << QStringLiteral("--password") << m_settings.password;
    if (m_settings.startTls) {
        const QString key = dir.filePath(QStringLiteral("key.pem"));
        QProcess openssl;
        openssl.start(QStringLiteral("openssl"),
                      {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"), QStringLiteral("rsa:2048"),
                       QStringLiteral("-nodes"), QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-subj"),
                       QStringLiteral("/CN=127.0.0.1"), QStringLiteral("-addext"), QStringLiteral("subjectAltName=IP:127.0.0.1"),
                       QStringLiteral("-keyout"), key, QStringLiteral("-out"), certificateFile()});
        if (!openssl.waitForFinished(30000) || openssl.exitCode() != 0) {
            m_error = QStringLiteral("openssl cannot make a certificate: ") + QString::fromUtf8(openssl.readAllStandardError());
            return false;
        }
        args << QStringLiteral("--cert") << certificateFile() << QStringLiteral("--key") << key;
    }
    return m_server.start(QStringLiteral("smtp_server.py"), args, dir.filePath(QStringLiteral("server.err")));
}

QList<SmtpServerFixture::Mail> SmtpServerFixture::mails() const
{
    QList<Mail> result;
    const QDir dir(QDir(m_dir.path()).filePath(QStringLiteral("mail")));
    for (int n = 1;; ++n) {
        QFile env(dir.filePath(QStringLiteral("mail-%1.env").arg(n)));
        QFile eml(dir.filePath(QStringLiteral("mail-%1.eml").arg(n)));
        if (!env.open(QIODevice::ReadOnly) || !eml.open(QIODevice::ReadOnly))
            break;
        const QStringList lines = QString::fromUtf8(env.readAll()).split(QLatin1Char('\n'));
        result.append({eml.readAll(), lines.value(0), lines.value(1), lines.value(2)});
    }
    return result;
}
