#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A server script from this directory, run under Debian's /usr/bin/python3
// (the one that has the server packages), listening on a free loopback port
// that the script picks and announces with a "READY <port>" line.
class LoopbackServerProcess {
public:
    LoopbackServerProcess() = default;
    ~LoopbackServerProcess() { stop(); }
    LoopbackServerProcess(const LoopbackServerProcess &) = delete;
    LoopbackServerProcess &operator=(const LoopbackServerProcess &) = delete;

    // Starts the script and waits, at most timeoutMs, for its ready line.
    bool start(const QString &scriptName, const QStringList &arguments, const QString &stderrPath,
               int timeoutMs = 60000);
    void stop();
    bool running() const { return m_process.state() != QProcess::NotRunning; }
    quint16 port() const { return m_port; }
    QString errorString() const { return m_error; }

    static QString scriptPath(const QString &scriptName);
    // A loopback port on which nothing listens (taken and released at once).
    static quint16 unusedPort();
    // A self-signed certificate for 127.0.0.1 made with the openssl tool.
    static bool makeCertificate(const QString &certPath, const QString &keyPath, QString *error);

private:
    QProcess m_process;
    quint16 m_port = 0;
    QString m_error;
    QString m_stderrPath;
};

// A real FTP server (pyftpdlib) on 127.0.0.1 with one user, serving a fresh
// temporary directory. Stopped when the fixture goes.
class FtpServerFixture {
public:
    enum class ActiveMode {
        Normal,  // PORT/EPRT work: the server connects back
        Refuse,  // PORT/EPRT are answered with an error
        Silent,  // PORT/EPRT are accepted but the server never connects back
    };
    struct Settings {
        QString user = QStringLiteral("127.0.0.1");
        QString password = QStringLiteral("s3cret:@/pw");
        ActiveMode active = ActiveMode::Normal;
        QString cutOffFile;  // RETR of this name sends half, then drops the line
        QString shortSizeFile;  // SIZE of this name is 100 bytes short
        bool tls = false;    // explicit TLS required, with a self-signed certificate
    };

    FtpServerFixture();
    explicit FtpServerFixture(Settings settings);

    bool start();
    void stop() { m_server.stop(); }
    QString errorString() const;

    quint16 port() const { return m_server.port(); }
    const Settings &settings() const { return m_settings; }
    QString rootPath() const;
    // Puts a file below the served root, making directories as needed.
    bool putFile(const QString &relativePath, const QByteArray &content);

    // The command verbs the server received, in order (USER, PASS, EPRT, ...).
    QStringList commands() const;
    void clearCommands();
    QString serverOutput() const;
    // The certificate to trust for the TLS server.
    QString certificatePath() const;

private:
    Settings m_settings;
    QString m_certificateError;
    QTemporaryDir m_dir;
    LoopbackServerProcess m_server;
};
