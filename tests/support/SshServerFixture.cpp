#include "SshServerFixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <pwd.h>
#include <unistd.h>

#include "FtpServerFixture.h"

namespace {

const char sshdProgram[] = "/usr/sbin/sshd";

// The host's client: the server's version (the file server-version), or
// the databases, after reading its option file like the real one.
const char clientScript[] = R"sh(#!/bin/sh
cat > '@DIR@/record/client-stdin'
case "$*" in
*'SELECT VERSION()'*) cat '@DIR@/server-version' ;;
*'SHOW DATABASES'*) printf 'information_schema\nshop\nmysql\nblog\n' ;;
*) exit 1 ;;
esac
)sh";

const char mysqldumpScript[] = R"sh(#!/bin/sh
dir='@DIR@/record'
: > "$dir/args"
for a in "$@"; do
    printf '%s\0' "$a" >> "$dir/args"
    last=$a
done
cat > "$dir/stdin"
env > "$dir/env"
echo call >> "$dir/calls"
case "$last" in
--version)
    echo 'mysqldump  Ver 10.19 Distrib 10.11.6-MariaDB, for debian-linux-gnu (x86_64)' ;;
broken)
    printf -- '-- MySQL dump 10.19\n'
    echo "mysqldump: Got error: 1045: \"Access denied for user 'shop'@'localhost' (using password: YES)\" when trying to connect" >&2
    exit 2 ;;
tablespaces)
    printf -- '-- MySQL dump 10.13\nINSERT INTO t VALUES (1);\n-- Dump completed on 2027-03-05  3:00:00\n'
    echo "mysqldump: Error: 'Access denied; you need (at least one of) the PROCESS privilege(s) for this operation' when trying to dump tablespaces" >&2
    exit 2 ;;
escapes)
    printf 'mysqldump: \033[1;31mGot error\033[0m\033]0;owned\007: 1045\033[2J\033P+q\033\\\r\tAccess\177 denied\302\233K\n' >&2
    exit 2 ;;
cutoff)
    head -c 65536 '@DIR@/dump.sql'
    sleep 0.2
    p=$PPID
    while [ "$p" -gt 1 ] && [ "$(cat /proc/$p/comm)" != sshd ]; do
        p=$(cut -d' ' -f4 /proc/$p/stat)
    done
    kill -9 "$p"
    sleep 1 ;;
endless)
    while echo 'INSERT INTO `t` VALUES (1),(2),(3);'; do sleep 0.02; done ;;
*)
    cat '@DIR@/dump.sql' ;;
esac
)sh";

const char pamFile[] = "auth required pam_unix.so\naccount required pam_unix.so\n"
                       "session required pam_permit.so\npassword required pam_deny.so\n";

bool run(const QString &program, const QStringList &args, QByteArray *out = nullptr,
         const QByteArray &input = QByteArray(), const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment())
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(program, args);
    if (!p.waitForStarted(3000))
        return false;
    p.write(input);
    p.closeWriteChannel();
    if (!p.waitForFinished(10000))
        return false;
    if (out)
        *out = p.readAllStandardOutput();
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

} // namespace

SshServerFixture::SshServerFixture()
{
    m_sshd.setProcessChannelMode(QProcess::MergedChannels);
}

SshServerFixture::~SshServerFixture()
{
    stop();
    if (m_agent.state() != QProcess::NotRunning) {
        m_agent.terminate();
        m_agent.waitForFinished(2000);
    }
}

QString SshServerFixture::user() const
{
    if (m_namespace)
        return QStringLiteral("vwdump");
    const passwd *entry = ::getpwuid(::geteuid());
    return entry ? QString::fromLocal8Bit(entry->pw_name) : QString();
}

QString SshServerFixture::clientKey() const { return m_dir.filePath(QStringLiteral("client_key")); }
QString SshServerFixture::unauthorizedKey() const { return m_dir.filePath(QStringLiteral("stranger_key")); }

bool SshServerFixture::writeFile(const QString &name, const QByteArray &content, bool executable) const
{
    QFile f(m_dir.filePath(name));
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(content) != content.size())
        return false;
    f.close();
    if (executable)
        f.setPermissions(f.permissions() | QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther);
    return f.error() == QFile::NoError;
}

QByteArray SshServerFixture::readFile(const QString &name) const
{
    QFile f(m_dir.filePath(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool SshServerFixture::keygen(const QString &name) const
{
    return run(QStringLiteral("ssh-keygen"),
               {QStringLiteral("-q"), QStringLiteral("-t"), QStringLiteral("ed25519"), QStringLiteral("-N"), QString(),
                QStringLiteral("-C"), name, QStringLiteral("-f"), m_dir.filePath(name)});
}

void SshServerFixture::setDump(const QByteArray &dump)
{
    writeFile(QStringLiteral("dump.sql"), dump);
}

QStringList SshServerFixture::lastArguments() const
{
    QStringList args;
    for (const QByteArray &a : readFile(QStringLiteral("record/args")).split('\0'))
        args << QString::fromUtf8(a);
    if (!args.isEmpty())
        args.removeLast();  // after the last NUL
    return args;
}

QByteArray SshServerFixture::knownHostsLine(bool otherKey) const
{
    const QByteArray key = readFile(otherKey ? QStringLiteral("other_host_key.pub") : QStringLiteral("host_key.pub"));
    const QList<QByteArray> fields = key.simplified().split(' ');
    if (fields.size() < 2)
        return QByteArray();
    return "[127.0.0.1]:" + QByteArray::number(m_port) + ' ' + fields[0] + ' ' + fields[1];
}

QString SshServerFixture::hostKeyFingerprint() const
{
    QByteArray out;
    run(QStringLiteral("ssh-keygen"), {QStringLiteral("-l"), QStringLiteral("-E"), QStringLiteral("sha256"),
                                      QStringLiteral("-f"), m_dir.filePath(QStringLiteral("host_key.pub"))}, &out);
    const QList<QByteArray> fields = out.split(' ');
    return fields.size() > 1 ? QString::fromLatin1(fields[1]) : QString();
}

QString SshServerFixture::startAgent()
{
    const QString socket = m_dir.filePath(QStringLiteral("agent.sock"));
    m_agent.start(QStringLiteral("ssh-agent"), {QStringLiteral("-D"), QStringLiteral("-a"), socket});
    if (!m_agent.waitForStarted(3000))
        return QString();
    for (int i = 0; i < 50 && !QFileInfo::exists(socket); ++i)
        QThread::msleep(50);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("SSH_AUTH_SOCK"), socket);
    return run(QStringLiteral("ssh-add"), {QStringLiteral("-q"), clientKey()}, nullptr, QByteArray(), env) ? socket
                                                                                                          : QString();
}

bool SshServerFixture::prepare()
{
    const QString dir = m_dir.path();
    if (!QDir(dir).mkpath(QStringLiteral("bin")) || !QDir(dir).mkpath(QStringLiteral("record")))
        return false;
    QFile::setPermissions(m_dir.filePath(QStringLiteral("record")), QFile::Permissions(0x7777));
    if (!keygen(QStringLiteral("host_key")) || !keygen(QStringLiteral("other_host_key"))
        || !keygen(QStringLiteral("client_key")) || !keygen(QStringLiteral("stranger_key"))) {
        m_error = QStringLiteral("ssh-keygen failed");
        return false;
    }
    if (!writeFile(QStringLiteral("authorized_keys"), readFile(QStringLiteral("client_key.pub")))
        || !writeFile(QStringLiteral("bin/mysqldump"), QByteArray(mysqldumpScript).replace("@DIR@", dir.toUtf8()), true)
        || !writeFile(QStringLiteral("bin/mariadb"), QByteArray(clientScript).replace("@DIR@", dir.toUtf8()), true)
        || !writeFile(QStringLiteral("bin/mysql"), QByteArray(clientScript).replace("@DIR@", dir.toUtf8()), true)
        || !writeFile(QStringLiteral("server-version"), "10.11.6-MariaDB-0+deb12u1\n")
        || !writeFile(QStringLiteral("dump.sql"), "-- Dump completed on 2026-12-08 10:00:00\n"))
        return false;

    const bool root = ::geteuid() == 0;
    m_namespace = root && run(QStringLiteral("unshare"), {QStringLiteral("--mount"), QStringLiteral("true")});
    if (!m_namespace) {
        // sshd runs the command through the user's login shell.
        const passwd *me = ::getpwuid(::geteuid());
        const QString shell = me ? QString::fromLocal8Bit(me->pw_shell) : QString();
        if (shell.isEmpty() || shell.endsWith(QLatin1String("nologin")) || shell.endsWith(QLatin1String("false"))) {
            m_error = QStringLiteral("the current user has no login shell for sshd to run commands with");
            return false;
        }
    }
    QByteArray hash;
    if (m_namespace) {
        if (!run(QStringLiteral("openssl"), {QStringLiteral("passwd"), QStringLiteral("-6"), QStringLiteral("-stdin")},
                 &hash, password().toUtf8() + '\n')) {
            m_error = QStringLiteral("openssl passwd failed");
            return false;
        }
        QFile passwd(QStringLiteral("/etc/passwd"));
        QFile shadow(QStringLiteral("/etc/shadow"));
        if (!passwd.open(QIODevice::ReadOnly) || !shadow.open(QIODevice::ReadOnly))
            return false;
        QByteArray users = passwd.readAll();
        QByteArray secrets = shadow.readAll();
        for (const char *name : {"vwdump", "vwkbd"}) {
            users += QByteArray(name) + ":x:0:0:test:" + dir.toUtf8() + ":/bin/sh\n";
            secrets += QByteArray(name) + ':' + hash.trimmed() + ":19000:0:99999:7:::\n";
        }
        if (!writeFile(QStringLiteral("passwd"), users) || !writeFile(QStringLiteral("shadow"), secrets)
            || !writeFile(QStringLiteral("pam_sshd"), pamFile))
            return false;
    }
    const QByteArray d = dir.toUtf8();
    QByteArray config = "Port " + QByteArray::number(m_port) + "\nListenAddress 127.0.0.1\n"
        "HostKey " + d + "/host_key\nPidFile none\nAuthorizedKeysFile " + d + "/authorized_keys\n"
        "StrictModes no\nPubkeyAuthentication yes\nLogLevel VERBOSE\n"
        "SetEnv PATH=" + d + "/bin:/usr/bin:/bin\nSubsystem sftp internal-sftp\n";
    if (m_namespace)
        config += "UsePAM yes\nPermitRootLogin yes\nPasswordAuthentication yes\nKbdInteractiveAuthentication yes\n"
                  "Match User vwkbd\n  AuthenticationMethods keyboard-interactive\n";
    else
        config += "UsePAM no\nPermitRootLogin prohibit-password\nPasswordAuthentication no\n"
                  "KbdInteractiveAuthentication no\n";
    return writeFile(QStringLiteral("sshd_config"), config);
}

bool SshServerFixture::start(int timeoutMs)
{
    m_error.clear();
    if (!QFileInfo(QString::fromLatin1(sshdProgram)).isExecutable()) {
        m_error = QStringLiteral("no %1 (Debian package openssh-server)").arg(QLatin1String(sshdProgram));
        return false;
    }
    m_port = LoopbackServerProcess::unusedPort();
    if (!m_dir.isValid() || m_port == 0 || !prepare()) {
        if (m_error.isEmpty())
            m_error = QStringLiteral("cannot prepare the sshd fixture");
        return false;
    }
    const QString config = m_dir.filePath(QStringLiteral("sshd_config"));
    if (m_namespace) {
        const QString d = m_dir.path();
        // The bind mounts exist only in sshd's own mount namespace.
        const QString script = QStringLiteral(
            "mkdir -p -m 0755 /run/sshd && mount --bind '%1/passwd' /etc/passwd && "
            "mount --bind '%1/shadow' /etc/shadow && mount --bind '%1/pam_sshd' /etc/pam.d/sshd && "
            "exec %2 -D -e -f '%3'").arg(d, QLatin1String(sshdProgram), config);
        m_sshd.start(QStringLiteral("unshare"), {QStringLiteral("--mount"), QStringLiteral("--propagation"),
                                                 QStringLiteral("private"), QStringLiteral("/bin/sh"),
                                                 QStringLiteral("-c"), script});
    } else {
        m_sshd.start(QString::fromLatin1(sshdProgram), {QStringLiteral("-D"), QStringLiteral("-e"), QStringLiteral("-f"), config});
    }
    if (!m_sshd.waitForStarted(3000)) {
        m_error = QStringLiteral("sshd does not start: ") + m_sshd.errorString();
        return false;
    }
    for (int waited = 0; waited < timeoutMs && !m_log.contains("Server listening"); waited += 50) {
        if (m_sshd.state() == QProcess::NotRunning)
            break;
        m_sshd.waitForReadyRead(50);
        m_log += m_sshd.readAll();
    }
    if (!m_log.contains("Server listening")) {
        m_error = QStringLiteral("sshd is not listening: ") + QString::fromLocal8Bit(m_log);
        stop();
        return false;
    }
    // Without its own user database sshd may refuse the current user (a
    // locked account, say): find out with OpenSSH's own client.
    if (!m_namespace
        && !run(QStringLiteral("ssh"), {QStringLiteral("-o"), QStringLiteral("BatchMode=yes"), QStringLiteral("-o"),
                                        QStringLiteral("StrictHostKeyChecking=no"), QStringLiteral("-o"),
                                        QStringLiteral("UserKnownHostsFile=/dev/null"), QStringLiteral("-i"), clientKey(),
                                        QStringLiteral("-p"), QString::number(m_port), user() + QStringLiteral("@127.0.0.1"),
                                        QStringLiteral("true")})) {
        m_sshd.waitForReadyRead(500);
        m_log += m_sshd.readAll();
        const QList<QByteArray> lines = m_log.trimmed().split('\n');
        m_error = QStringLiteral("sshd refuses a key login of the current user: ") + QString::fromLocal8Bit(lines.last());
        stop();
        return false;
    }
    return true;
}

void SshServerFixture::stop()
{
    if (m_sshd.state() == QProcess::NotRunning)
        return;
    m_sshd.terminate();
    if (!m_sshd.waitForFinished(2000)) {
        m_sshd.kill();
        m_sshd.waitForFinished(1000);
    }
    m_log += m_sshd.readAll();
}

QByteArray SshServerFixture::serverLog()
{
    m_log += m_sshd.readAll();
    return m_log;
}
