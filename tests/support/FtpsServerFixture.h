#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// A real FTPS server (pure-ftpd, explicit TLS required for login and data)
// on 127.0.0.1 with one virtual user, serving a fresh temporary directory.
// Stopped when the fixture goes.
class FtpsServerFixture {
public:
    FtpsServerFixture(QString user, QString password);
    ~FtpsServerFixture();
    FtpsServerFixture(const FtpsServerFixture &) = delete;
    FtpsServerFixture &operator=(const FtpsServerFixture &) = delete;

    bool start();
    quint16 port() const { return m_port; }
    QString errorString() const { return m_error; }
    QString certificatePath() const { return m_dir.filePath(QStringLiteral("cert.pem")); }
    // Puts a file below the served root, making directories as needed.
    bool putFile(const QString &relativePath, const QByteArray &content);

private:
    bool fail(const QString &why);
    QTemporaryDir m_dir;
    QString m_user;
    QString m_password;
    QProcess m_server;
    quint16 m_port = 0;
    QString m_error;
};
