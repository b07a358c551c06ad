#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A real OpenSSH server for tests: Debian's /usr/sbin/sshd with its own
// configuration and host key on a free port of 127.0.0.1.
//
// As root, where a mount namespace can be made, sshd runs in one with its own
// /etc/passwd, /etc/shadow and PAM file: the users "vwdump" (key, agent,
// default keys and password login) and "vwkbd" (keyboard-interactive only),
// both with password(). Elsewhere it runs as the current user, which can then
// log in with a key only (hasPasswordLogin() false).
//
// A stand-in mysqldump comes first on the sessions' PATH (sshd's SetEnv). It
// records its arguments, its standard input and its environment, and acts by
// its last argument: "--version" prints a version line; "broken" writes an
// error to standard error and exits with 2; "escapes" does so with terminal
// escape sequences and control characters in the error; "cutoff" writes part of the dump
// and then kills its sshd session, so the connection breaks mid-stream;
// "endless" writes lines until its output is closed; anything else writes
// setDump()'s bytes. A stand-in client (mysql and mariadb) answers SELECT VERSION()
// with the text of the file "server-version" and SHOW DATABASES with four
// names, two of them the server's own.
class SshServerFixture {
public:
    SshServerFixture();
    ~SshServerFixture();

    bool start(int timeoutMs = 5000);
    void stop();
    QString errorString() const { return m_error; }
    QByteArray serverLog();

    QString host() const { return QStringLiteral("127.0.0.1"); }
    quint16 port() const { return m_port; }
    QString path() const { return m_dir.path(); }

    bool hasPasswordLogin() const { return m_namespace; }
    QString user() const;                 // logs in with clientKey() or password()
    QString keyboardInteractiveUser() const { return QStringLiteral("vwkbd"); }
    QString password() const { return QStringLiteral("pw#\"x y\\z'"); }
    QString clientKey() const;            // private key in authorized_keys
    QString unauthorizedKey() const;      // a key the server does not know
    // A known_hosts line for this server: its own host key, or another one.
    QByteArray knownHostsLine(bool otherKey = false) const;
    QString hostKeyFingerprint() const;   // "SHA256:..."

    // Starts an ssh-agent holding clientKey(); its socket path, empty on failure.
    QString startAgent();

    void setDump(const QByteArray &dump);
    void setServerVersion(const QByteArray &version) { writeFile(QStringLiteral("server-version"), version + '\n'); }
    QByteArray lastClientInput() const { return readFile(QStringLiteral("record/client-stdin")); }
    QStringList lastArguments() const;
    QByteArray lastStandardInput() const { return readFile(QStringLiteral("record/stdin")); }
    QByteArray lastEnvironment() const { return readFile(QStringLiteral("record/env")); }
    int callCount() const { return int(readFile(QStringLiteral("record/calls")).count('\n')); }

private:
    bool prepare();
    bool writeFile(const QString &name, const QByteArray &content, bool executable = false) const;
    QByteArray readFile(const QString &name) const;
    bool keygen(const QString &name) const;

    QTemporaryDir m_dir;
    QProcess m_sshd;
    QProcess m_agent;
    QByteArray m_log;
    quint16 m_port = 0;
    bool m_namespace = false;
    QString m_error;
};
