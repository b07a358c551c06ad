#pragma once

#include "FtpServerFixture.h"

// A real HTTP server (Python's http.server) on 127.0.0.1 serving a fresh
// temporary directory, optionally over TLS with a self-signed certificate
// made for the run. Besides files it answers /redirect/N/PATH (N redirects),
// /to/URL (a redirect to that absolute address),
// /cut/PATH (half the announced body, then the line drops) and
// /status/CODE/ (an error page).
class HttpServerFixture {
public:
    explicit HttpServerFixture(bool tls = false);

    // TLS needs the openssl tool to make the certificate.
    static bool tlsAvailable();

    bool start();
    void stop() { m_server.stop(); }
    QString errorString() const;

    quint16 port() const { return m_server.port(); }
    QString rootPath() const;
    bool putFile(const QString &relativePath, const QByteArray &content);
    // "http://127.0.0.1:<port>/" (or https) followed by path.
    QString url(const QString &path = QString()) const;
    // The certificate to trust for the TLS server.
    QString certificatePath() const;
    // The request lines the server logged.
    QStringList requests() const;
    // The bodies of the POST requests, in order.
    QList<QByteArray> postBodies() const;

private:
    bool makeCertificate();

    bool m_tls;
    QTemporaryDir m_dir;
    LoopbackServerProcess m_server;
    QString m_error;
};
