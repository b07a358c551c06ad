#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>
#include "RequirePeer.h"

class QProcess;
class QTemporaryDir;

// A real telnet server for tests: the telnetd of Debian's busybox-static on a
// free port of 127.0.0.1, with a login script that asks "login: " and
// "Password:", checks them, and starts busybox sh with the prompt
// "localhost> " (host name configurable). A stand-in mysqldump comes first on
// the shell's PATH; it records its arguments and writes a small dump to its
// standard output, which the shell redirects as the command line says.
//
// The shell runs with the terminal's echo off: busybox ash then reads plain
// lines and prints its prompt without line-editing escape sequences, so a
// chunk ends exactly in "localhost> ". Typed commands are therefore not echoed.
//
//     BusyboxTelnetHost host;
//     if (!host.start())
//         VW_SKIP(qPrintable(host.errorString()));
//     ... connect to host.address():host.port(), log in with host.user() and
//     host.password(), send "mysqldump ... > " + host.remoteDir() + "dump.sql"
//     QCOMPARE(host.lastDumpArguments(), ...);
class BusyboxTelnetHost : public QObject {
    Q_OBJECT
public:
    explicit BusyboxTelnetHost(QObject *parent = nullptr);
    ~BusyboxTelnetHost() override;

    static QString busyboxPath() { return QStringLiteral("/bin/busybox"); }
    // Empty when busybox telnetd can run here, else why not.
    static QString unavailableReason();

    // Set before start().
    void setCredentials(const QString &user, const QString &password);  // default "webuser" / "secret"
    void setHostName(const QString &name);                               // default "localhost"
    // Instead of the login script: busybox's own login program with a test
    // user (uid 0) in a private mount namespace whose /etc/passwd, shadow and
    // group are the test's, and bash --norc as that user's shell, line
    // editing on (its prompt comes with ESC [?2004h). Needs unshare and openssl.
    void setRealLogin(bool real) { m_realLogin = real; }
    QString user() const { return m_user; }
    QString password() const { return m_password; }
    QString hostName() const { return m_hostName; }
    QByteArray shellPrompt() const { return m_hostName.toUtf8() + "> "; }

    // Starts telnetd and waits until it listens. false: errorString() says why.
    bool start(int timeoutMs = 5000);
    void stop();
    bool isRunning() const;
    QString errorString() const { return m_error; }
    // What telnetd wrote to its standard error so far.
    QByteArray serverLog() const;

    QString address() const { return QStringLiteral("127.0.0.1"); }
    quint16 port() const { return m_port; }
    // The temporary directory (the shell's working directory); remoteDir()
    // is the same with a trailing "/", as a task's remote directory is written.
    QString path() const;
    QString remoteDir() const { return path() + QLatin1Char('/'); }
    QByteArray readFile(const QString &name) const;  // a file in path()

    // Each argument of the last mysqldump call, exactly as the shell passed it.
    // What the last call read on its standard input (its option file).
    QByteArray lastDumpInput() const;
    QStringList lastDumpArguments() const;
    int dumpCallCount() const;
    // Take effect for the next mysqldump call, also while a session runs.
    void setDumpDelaySeconds(int seconds);  // sleeps before the dump ends
    void setDumpFails(bool fails);          // error on stderr, exit 2, dump without its last line

    // The last line of a successful dump.
    static QByteArray completionLine() { return "-- Dump completed on 2026-12-08 10:00:00"; }

private:
    bool writeFile(const QString &name, const QByteArray &content, bool executable = false);
    bool writeScripts();
    bool writeRealLogin();
    bool waitUntilListening(int timeoutMs);
    bool isListening() const;

    std::unique_ptr<QTemporaryDir> m_dir;
    QProcess *m_process = nullptr;
    QString m_user = QStringLiteral("webuser");
    QString m_password = QStringLiteral("secret");
    QString m_hostName = QStringLiteral("localhost");
    quint16 m_port = 0;
    QString m_error;
    mutable QByteArray m_log;
    int m_dumpDelay = 0;
    bool m_dumpFails = false;
    bool m_realLogin = false;
};
