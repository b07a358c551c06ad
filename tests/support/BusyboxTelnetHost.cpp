#include "BusyboxTelnetHost.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace {

// The login program telnetd starts on the pty. Name and password come from
// files, so no value ever needs shell quoting. With the echo left off after
// the password, ash skips line editing: a plain prompt, no escape sequences.
const char loginScript[] = R"(#!/bin/busybox sh
dir='@DIR@'
cr=$(printf '\r')
IFS= read -r want_user < "$dir/expected_user"
IFS= read -r want_pw < "$dir/expected_password"
IFS= read -r host < "$dir/prompt_host"
printf 'login: '
IFS= read -r name || exit 1
name=${name%"$cr"}
printf 'Password:'
/bin/busybox stty -echo
IFS= read -r pw || exit 1
pw=${pw%"$cr"}
printf '\n'
if [ "$name" != "$want_user" ] || [ "$pw" != "$want_pw" ]; then
    printf 'Login incorrect\n'
    exit 1
fi
cd "$dir" || exit 1
unset ENV HISTFILE
export HOME="$dir" PATH="$dir/bin:/usr/bin:/bin" PS1="$host> "
exec /bin/busybox sh -i
)";

// Stands in for mysqldump: one NUL after each argument, so the test sees
// every argv element exactly; the dump goes to standard output like the real one.
const char mysqldumpScript[] = R"(#!/bin/busybox sh
dir='@DIR@'
: > "$dir/mysqldump.args"
for a in "$@"; do
    printf '%s\0' "$a" >> "$dir/mysqldump.args"
done
echo call >> "$dir/mysqldump.calls"
if [ "$1" = --defaults-extra-file=/dev/stdin ]; then
    cat > "$dir/mysqldump.input"
fi
printf -- '-- MySQL dump 10.13  Distrib 8.0.36, for Linux (x86_64)\n--\n'
printf -- '-- Arguments: %s\n' "$*"
if [ -s "$dir/dump_delay" ]; then
    IFS= read -r delay < "$dir/dump_delay"
    /bin/busybox sleep "$delay"
fi
if [ -e "$dir/dump_fails" ]; then
    echo 'mysqldump: Got error: 1045: Access denied for user (using password: YES) when trying to connect' >&2
    exit 2
fi
printf 'CREATE TABLE `t` (`id` int NOT NULL);\nINSERT INTO `t` VALUES (1),(2);\n'
printf -- '-- Dump completed on 2026-12-08 10:00:00\n'
)";

// The test user's shell behind the real login program.
const char bashShell[] = R"(#!/bin/sh
dir='@DIR@'
IFS= read -r host < "$dir/prompt_host"
cd "$dir" || exit 1
export HOME="$dir" PATH="$dir/bin:/usr/bin:/bin" PS1="$host> "
exec /usr/bin/bash --norc --noprofile -i
)";

QByteArray withDir(const char *script, const QString &dir)
{
    return QByteArray(script).replace("@DIR@", dir.toUtf8());
}

} // namespace

BusyboxTelnetHost::BusyboxTelnetHost(QObject *parent) : QObject(parent) {}

BusyboxTelnetHost::~BusyboxTelnetHost()
{
    stop();
}

QString BusyboxTelnetHost::unavailableReason()
{
    const QFileInfo busybox(busyboxPath());
    if (!busybox.isExecutable())
        return QStringLiteral("%1 not found (Debian package busybox-static)").arg(busyboxPath());

    QProcess list;
    list.start(busyboxPath(), {QStringLiteral("--list")});
    if (!list.waitForFinished(3000) || list.exitCode() != 0)
        return QStringLiteral("%1 --list failed").arg(busyboxPath());
    const QStringList applets = QString::fromLatin1(list.readAllStandardOutput()).split(QLatin1Char('\n'));
    for (const char *needed : {"telnetd", "sh", "stty", "sleep"}) {
        if (!applets.contains(QLatin1String(needed)))
            return QStringLiteral("busybox has no %1 applet").arg(QLatin1String(needed));
    }

    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0)
        return QStringLiteral("no pseudo terminal available (/dev/ptmx)");
    const bool ptyUsable = ::grantpt(master) == 0 && ::unlockpt(master) == 0 && ::ptsname(master);
    ::close(master);
    if (!ptyUsable)
        return QStringLiteral("pseudo terminals cannot be set up here (devpts)");
    return {};
}

void BusyboxTelnetHost::setCredentials(const QString &user, const QString &password)
{
    m_user = user;
    m_password = password;
}

void BusyboxTelnetHost::setHostName(const QString &name)
{
    m_hostName = name;
}

QString BusyboxTelnetHost::path() const
{
    return m_dir ? m_dir->path() : QString();
}

bool BusyboxTelnetHost::writeFile(const QString &name, const QByteArray &content, bool executable)
{
    QFile f(m_dir->filePath(name));
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(content) != content.size()) {
        m_error = QStringLiteral("cannot write %1: %2").arg(f.fileName(), f.errorString());
        return false;
    }
    f.close();
    if (executable)
        f.setPermissions(f.permissions() | QFileDevice::ExeOwner | QFileDevice::ExeGroup | QFileDevice::ExeOther);
    return true;
}

bool BusyboxTelnetHost::writeScripts()
{
    const QString dir = m_dir->path();
    // The path is pasted into scripts and into unquoted command lines.
    if (!QRegularExpression(QStringLiteral("^[A-Za-z0-9/._-]+$")).match(dir).hasMatch()) {
        m_error = QStringLiteral("temporary directory %1 has characters a shell would split").arg(dir);
        return false;
    }
    if (m_user.contains(QLatin1Char('\n')) || m_password.contains(QLatin1Char('\n'))
        || !QRegularExpression(QStringLiteral("^[A-Za-z0-9._-]+$")).match(m_hostName).hasMatch()) {
        m_error = QStringLiteral("credentials or host name unusable in a login dialogue");
        return false;
    }
    if (!QDir(dir).mkpath(QStringLiteral("bin")))
        return m_error = QStringLiteral("cannot create %1/bin").arg(dir), false;
    return writeFile(QStringLiteral("expected_user"), m_user.toUtf8() + '\n')
           && writeFile(QStringLiteral("expected_password"), m_password.toUtf8() + '\n')
           && writeFile(QStringLiteral("prompt_host"), m_hostName.toUtf8() + '\n')
           && writeFile(QStringLiteral("issue"), "Debian GNU/Linux (busybox telnetd test host)\n")
           && writeFile(QStringLiteral("login.sh"), withDir(loginScript, dir), true)
           && writeFile(QStringLiteral("bin/mysqldump"), withDir(mysqldumpScript, dir), true)
           && (!m_realLogin || writeRealLogin());
}

bool BusyboxTelnetHost::writeRealLogin()
{
    const QString dir = m_dir->path();
    QProcess openssl;
    openssl.start(QStringLiteral("openssl"), {QStringLiteral("passwd"), QStringLiteral("-1"), m_password});
    if (!openssl.waitForFinished(5000) || openssl.exitCode() != 0)
        return m_error = QStringLiteral("openssl passwd failed"), false;
    const QByteArray hash = openssl.readAllStandardOutput().trimmed();
    const QByteArray user = m_user.toUtf8();
    if (!QFile::link(busyboxPath(), dir + QStringLiteral("/login")))
        return m_error = QStringLiteral("cannot link %1/login").arg(dir), false;
    return writeFile(QStringLiteral("passwd"), "root:x:0:0:root:/root:/bin/sh\n" + user + ":x:0:0::" + dir.toUtf8()
                                                  + ':' + dir.toUtf8() + "/shell.sh\n")
           && writeFile(QStringLiteral("shadow"), "root:*:19000:0:99999:7:::\n" + user + ':' + hash + ":19000:0:99999:7:::\n")
           && writeFile(QStringLiteral("group"), "root:x:0:\n")
           && writeFile(QStringLiteral("shell.sh"), withDir(bashShell, dir), true);
}

bool BusyboxTelnetHost::start(int timeoutMs)
{
    stop();
    m_error = unavailableReason();
    if (!m_error.isEmpty())
        return false;

    m_dir = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/vw-telnetd-XXXXXX"));
    if (!m_dir->isValid()) {
        m_error = QStringLiteral("cannot create a temporary directory: ") + m_dir->errorString();
        return false;
    }
    if (!writeScripts())
        return false;
    setDumpDelaySeconds(m_dumpDelay);
    setDumpFails(m_dumpFails);

    // The free port is found by binding it briefly; another process could
    // take it before telnetd does, so a lost race is tried again.
    for (int attempt = 0; attempt < 3; ++attempt) {
        QTcpServer probe;
        if (!probe.listen(QHostAddress::LocalHost, 0)) {
            m_error = QStringLiteral("no free port on 127.0.0.1: ") + probe.errorString();
            return false;
        }
        m_port = probe.serverPort();
        probe.close();

        m_process = new QProcess(this);
        m_process->setWorkingDirectory(m_dir->path());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("ENV"));
        m_process->setProcessEnvironment(env);
        m_process->setProgram(busyboxPath());
        if (m_realLogin) {
            // The test's accounts over the system's, seen by telnetd and login only.
            const QString d = m_dir->path();
            const QString script =
                QStringLiteral("mount --bind %1/passwd /etc/passwd && mount --bind %1/shadow /etc/shadow && "
                               "mount --bind %1/group /etc/group && exec %2 \"$@\"")
                    .arg(d, busyboxPath());
            m_process->setProgram(QStringLiteral("unshare"));
            m_process->setArguments({QStringLiteral("-m"), QStringLiteral("sh"), QStringLiteral("-c"), script,
                                     QStringLiteral("sh")});
        }
        // No -K: with it telnetd hangs up the moment the login script ends and
        // can drop its last words ("Login incorrect"); without it the session
        // ends once the pty is drained and closed.
        const QStringList telnetd{QStringLiteral("telnetd"), QStringLiteral("-F"),
                                  QStringLiteral("-b"), QStringLiteral("127.0.0.1"),
                                  QStringLiteral("-p"), QString::number(m_port),
                                  QStringLiteral("-l"),
                                  m_dir->filePath(m_realLogin ? QStringLiteral("login") : QStringLiteral("login.sh")),
                                  QStringLiteral("-f"), m_dir->filePath(QStringLiteral("issue"))};
        m_process->setArguments(m_realLogin ? m_process->arguments() + telnetd : telnetd);
        m_process->start();
        if (!m_process->waitForStarted(3000)) {
            m_error = QStringLiteral("cannot start busybox telnetd: ") + m_process->errorString();
            delete m_process;
            m_process = nullptr;
            return false;
        }
        if (waitUntilListening(timeoutMs))
            return true;

        const QByteArray log = serverLog();
        const bool lostRace = m_process->state() == QProcess::NotRunning && log.contains("in use");
        m_error = m_process->state() == QProcess::NotRunning
                      ? QStringLiteral("busybox telnetd ended: ") + QString::fromLocal8Bit(log).trimmed()
                      : QStringLiteral("busybox telnetd did not listen within %1 ms").arg(timeoutMs);
        stop();
        if (!lostRace)
            return false;
    }
    return false;
}

bool BusyboxTelnetHost::isListening() const
{
    // /proc/net/tcp lists listening sockets (state 0A) by hex address:port;
    // reading it avoids a probe connection, which would start a login.
    QFile tcp(QStringLiteral("/proc/net/tcp"));
    if (!tcp.open(QIODevice::ReadOnly)) {
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, m_port);
        return probe.waitForConnected(200);
    }
    const QByteArray local = QByteArray("0100007F:") + QByteArray::number(m_port, 16).toUpper().rightJustified(4, '0');
    for (const QByteArray &line : tcp.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() > 3 && fields.at(1) == local && fields.at(3) == "0A")
            return true;
    }
    return false;
}

bool BusyboxTelnetHost::waitUntilListening(int timeoutMs)
{
    if (isListening())
        return true;
    QEventLoop loop;
    QTimer deadline, check;
    deadline.setSingleShot(true);
    connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    connect(m_process, &QProcess::finished, &loop, &QEventLoop::quit);
    connect(&check, &QTimer::timeout, &loop, [&] {
        if (isListening())
            loop.quit();
    });
    check.start(10);
    deadline.start(timeoutMs);
    loop.exec();
    return m_process->state() == QProcess::Running && isListening();
}

void BusyboxTelnetHost::stop()
{
    if (!m_process)
        return;
    if (m_process->state() != QProcess::NotRunning) {
        m_process->terminate();
        if (!m_process->waitForFinished(2000)) {
            m_process->kill();
            m_process->waitForFinished(1000);
        }
    }
    m_log = m_process->readAllStandardError();
    delete m_process;
    m_process = nullptr;
}

bool BusyboxTelnetHost::isRunning() const
{
    return m_process && m_process->state() == QProcess::Running;
}

QByteArray BusyboxTelnetHost::serverLog() const
{
    if (m_process)
        m_log += m_process->readAllStandardError();
    return m_log;
}

QByteArray BusyboxTelnetHost::readFile(const QString &name) const
{
    if (!m_dir)
        return {};
    QFile f(m_dir->filePath(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList BusyboxTelnetHost::lastDumpArguments() const
{
    // Every argument is followed by a NUL, so "" and no argument differ.
    QList<QByteArray> parts = readFile(QStringLiteral("mysqldump.args")).split('\0');
    parts.removeLast();
    QStringList args;
    for (const QByteArray &a : parts)
        args.append(QString::fromUtf8(a));
    return args;
}

QByteArray BusyboxTelnetHost::lastDumpInput() const
{
    return readFile(QStringLiteral("mysqldump.input"));
}

int BusyboxTelnetHost::dumpCallCount() const
{
    return int(readFile(QStringLiteral("mysqldump.calls")).count('\n'));
}

void BusyboxTelnetHost::setDumpDelaySeconds(int seconds)
{
    if (m_dir)
        writeFile(QStringLiteral("dump_delay"), seconds > 0 ? QByteArray::number(seconds) + '\n' : QByteArray());
    m_dumpDelay = seconds;
}

void BusyboxTelnetHost::setDumpFails(bool fails)
{
    if (m_dir) {
        if (fails)
            writeFile(QStringLiteral("dump_fails"), "1\n");
        else
            QFile::remove(m_dir->filePath(QStringLiteral("dump_fails")));
    }
    m_dumpFails = fails;
}
