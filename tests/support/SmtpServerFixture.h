#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include "FtpServerFixture.h"

// A real SMTP server (aiosmtpd) on 127.0.0.1 that keeps every mail it accepts.
class SmtpServerFixture {
public:
    struct Settings {
        QString user;       // non-empty: login required
        QString password;
        bool startTls = false;  // STARTTLS with a fresh certificate for 127.0.0.1
    };
    struct Mail {
        QByteArray data;    // as received
        QString sender;
        QString recipients;
        QString login;
    };

    SmtpServerFixture() : SmtpServerFixture(Settings{}) {}
    explicit SmtpServerFixture(Settings settings);

    // false with errorString() when the server cannot run here.
    bool start();
    QString errorString() const { return m_error.isEmpty() ? m_server.errorString() : m_error; }
    quint16 port() const { return m_server.port(); }
    // The certificate to trust for STARTTLS.
    QString certificateFile() const;

    // Mails received so far, in order.
    QList<Mail> mails() const;

private:
    Settings m_settings;
    QTemporaryDir m_dir;
    LoopbackServerProcess m_server;
    QString m_error;
};
