#include "restore/ThrowawayServer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#ifdef Q_OS_UNIX
#include <signal.h>
#include <unistd.h>

#include <QThread>
#endif

namespace {
// Kills the process and everything it started (the installer runs a
// bootstrap server of its own), and waits until they are gone, so that no
// server outlives the test and its folder can go.
void killAll(QProcess &process)
{
    if (process.state() == QProcess::NotRunning)
        return;
#ifdef Q_OS_UNIX
    const pid_t group = pid_t(process.processId());
    if (group > 0)
        ::kill(-group, SIGKILL);
#endif
    process.kill();
    process.waitForFinished(5000);
#ifdef Q_OS_UNIX
    for (int i = 0; group > 0 && i < 100 && ::kill(-group, 0) == 0; ++i)
        QThread::msleep(20);
#endif
}
} // namespace

ThrowawayServer::ThrowawayServer(RestorePrograms programs, RestoreOptions options, bool german, QObject *parent)
    : QObject(parent), m_programs(std::move(programs)), m_options(std::move(options)), m_german(german)
{
#ifdef Q_OS_UNIX
    // Each in a process group of its own, so killAll reaches its children.
    for (QProcess *p : {&m_install, &m_server})
        p->setChildProcessModifier([] { ::setpgid(0, 0); });
#endif
    m_poll.setInterval(100);
    connect(&m_poll, &QTimer::timeout, this, &ThrowawayServer::poll);
    m_limit.setSingleShot(true);
    connect(&m_install, &QProcess::finished, this, &ThrowawayServer::installed);
    connect(&m_install, &QProcess::errorOccurred, this, [this](QProcess::ProcessError e) {
        if (e == QProcess::FailedToStart)
            fail(pick("%1 cannot be started", "%1 kann nicht gestartet werden").arg(m_install.program()));
    });
    connect(&m_server, &QProcess::finished, this, &ThrowawayServer::serverEnded);
    connect(&m_server, &QProcess::errorOccurred, this, [this](QProcess::ProcessError e) {
        if (e == QProcess::FailedToStart)
            fail(pick("%1 cannot be started", "%1 kann nicht gestartet werden").arg(m_server.program()));
    });
}

QString ThrowawayServer::pick(const char *english, const char *german) const
{
    return QString::fromUtf8(m_german ? german : english);
}

ThrowawayServer::~ThrowawayServer()
{
    // The program is ending: no server of ours may outlive it.
    for (QProcess *p : {&m_install, &m_server}) {
        disconnect(p, nullptr, this, nullptr);
        killAll(*p);
    }
    removeFolder();
}

QString ThrowawayServer::folder() const
{
    return m_dir ? m_dir->path() : QString();
}

QString ThrowawayServer::socketPath() const
{
    return folder() + QStringLiteral("/mysql.sock");
}

QStringList ThrowawayServer::userArguments()
{
#ifdef Q_OS_UNIX
    // Both servers refuse to run as root unless told to.
    if (::geteuid() == 0)
        return {QStringLiteral("--user=root")};
#endif
    return {};
}

QStringList ThrowawayServer::clientArguments(const QString &database) const
{
    QStringList args{QStringLiteral("--no-defaults"), QStringLiteral("--socket=") + socketPath(),
                     QStringLiteral("--user=root"), QStringLiteral("--default-character-set=utf8mb4")};
    if (!database.isEmpty())
        args << database;
    return args;
}

void ThrowawayServer::start()
{
    const QString root = m_options.tempRoot.isEmpty() ? QDir::tempPath() : m_options.tempRoot;
    m_dir = std::make_unique<QTemporaryDir>(QDir(root).filePath(QStringLiteral("vaultwick-restore-XXXXXX")));
    if (!m_dir->isValid()) {
        const QString reason = pick("no temporary folder can be made in %1", "in %1 kann kein temporärer Ordner angelegt werden").arg(root);
        m_dir.reset();
        QTimer::singleShot(0, this, [this, reason] { fail(reason); });
        return;
    }
    // QTemporaryDir makes it 0700: nobody else can reach the socket inside.
    QFile::setPermissions(m_dir->path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    const QString data = folder() + QStringLiteral("/data");
    m_limit.disconnect();
    connect(&m_limit, &QTimer::timeout, this, [this] { fail(pick("the local server did not start in time", "der lokale Server startete nicht rechtzeitig")); });
    m_limit.start(m_options.startLimitMs);
    m_install.setWorkingDirectory(folder());
    m_install.setProcessChannelMode(QProcess::MergedChannels);
    m_install.setStandardOutputFile(folder() + QStringLiteral("/install.log"));
    if (!m_programs.installer.isEmpty()) {
        m_install.start(m_programs.installer,
                        QStringList{QStringLiteral("--no-defaults"), QStringLiteral("--datadir=") + data,
                                    QStringLiteral("--auth-root-authentication-method=socket"),
                                    QStringLiteral("--skip-test-db")}
                            + userArguments());
    } else {
        m_install.start(m_programs.server, QStringList{QStringLiteral("--no-defaults"),
                                                       QStringLiteral("--initialize-insecure"),
                                                       QStringLiteral("--datadir=") + data}
                                               + userArguments());
    }
}

void ThrowawayServer::installed(int exitCode, QProcess::ExitStatus status)
{
    if (m_failed || m_stopping)
        return;
    if (status != QProcess::NormalExit || exitCode != 0) {
        fail(withLastLine(pick("the local server's data folder could not be initialised",
                               "der Datenordner des lokalen Servers konnte nicht angelegt werden"),
                          QStringLiteral("install.log"), QByteArray()));
        return;
    }
    startServer();
}

void ThrowawayServer::startServer()
{
    const QString f = folder();
    m_server.setWorkingDirectory(f);
    m_server.setProcessChannelMode(QProcess::MergedChannels);
    m_server.setStandardOutputFile(f + QStringLiteral("/server.out"));
    m_server.start(m_programs.server,
                   QStringList{QStringLiteral("--no-defaults"), QStringLiteral("--datadir=") + f + QStringLiteral("/data"),
                               QStringLiteral("--socket=") + socketPath(), QStringLiteral("--skip-networking"),
                               QStringLiteral("--skip-grant-tables"), QStringLiteral("--skip-log-bin"),
                               QStringLiteral("--pid-file=") + f + QStringLiteral("/server.pid"),
                               QStringLiteral("--log-error=") + f + QStringLiteral("/error.log"),
                               QStringLiteral("--innodb-buffer-pool-size=64M")}
                       + userArguments());
    m_poll.start();
}

void ThrowawayServer::poll()
{
    if (m_ready || m_stopping)
        return;
    // The socket appears once the server takes connections.
    if (QFileInfo(socketPath()).exists()) {
        m_poll.stop();
        m_limit.stop();
        m_ready = true;
        emit ready();
    }
}

void ThrowawayServer::serverEnded()
{
    m_poll.stop();
    if (m_stopping) {
        m_limit.stop();
        removeFolder();
        m_stopping = false;
        emit stopped();
        return;
    }
    fail(withLastLine(pick("the local server stopped", "der lokale Server wurde beendet"), QStringLiteral("error.log"),
                      QByteArrayLiteral("[ERROR]")));
}

QString ThrowawayServer::withLastLine(const QString &text, const QString &logName, const QByteArray &marker) const
{
    QFile log(folder() + QLatin1Char('/') + logName);
    QString last;
    if (log.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : log.readAll().split('\n')) {
            const qsizetype at = marker.isEmpty() ? 0 : line.indexOf(marker);
            const QByteArray words = at < 0 ? QByteArray() : line.mid(at + marker.size()).trimmed();
            if (!words.isEmpty())
                last = QString::fromUtf8(words);
        }
    }
    return last.isEmpty() ? text : text + QStringLiteral(": ") + last;
}

void ThrowawayServer::fail(const QString &reason)
{
    if (m_failed || m_stopping)
        return;
    m_failed = true;
    m_poll.stop();
    m_limit.stop();
    emit failed(reason);
}

void ThrowawayServer::stop()
{
    if (m_stopping)
        return;
    m_poll.stop();
    m_stopping = true;
    killAll(m_install);
    if (m_server.state() == QProcess::NotRunning) {
        removeFolder();
        QTimer::singleShot(0, this, [this] {
            m_stopping = false;
            emit stopped();
        });
        return;
    }
    m_limit.disconnect();
    connect(&m_limit, &QTimer::timeout, this, [this] { killAll(m_server); });
    m_limit.start(m_options.stopLimitMs);
    m_server.terminate();
}

void ThrowawayServer::removeFolder()
{
    if (m_dir) {
        m_dir->remove();
        m_dir.reset();
    }
}
