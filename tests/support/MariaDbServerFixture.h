#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// A real MariaDB server on 127.0.0.1 with a user that logs in with a
// password, as a user's own development server is. Stopped when the
// fixture goes.
class MariaDbServerFixture {
public:
    MariaDbServerFixture() = default;
    ~MariaDbServerFixture();

    // false with errorString() when the server cannot run here.
    bool start(const QString &user, const QString &password);
    QString errorString() const { return m_error; }
    quint16 port() const { return m_port; }

    // Runs statements as the server's root, over its socket; the output in
    // batch form, or a null array with errorString() on failure.
    QByteArray sql(const QByteArray &statements);

private:
    QTemporaryDir m_dir;
    QProcess m_server;
    QString m_client;
    quint16 m_port = 0;
    QString m_error;
};
