#include "KeyringFixture.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDeadlineTimer>
#include <QStandardPaths>
#include <QThread>

KeyringFixture::~KeyringFixture()
{
    for (QProcess *p : {&m_keyring, &m_bus}) {
        if (p->state() != QProcess::NotRunning) {
            p->kill();
            p->waitForFinished(5000);
        }
    }
}

QProcessEnvironment KeyringFixture::environment() const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), m_home.path());
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_home.path());
    env.insert(QStringLiteral("XDG_DATA_HOME"), m_home.filePath(QStringLiteral("data")));
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_address);
    // No display: the daemon must not look for a prompter there.
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    return env;
}

bool KeyringFixture::start()
{
    for (const char *tool : {"dbus-daemon", "gnome-keyring-daemon", "secret-tool"}) {
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty()) {
            m_error = QStringLiteral("%1 is not installed").arg(QString::fromLatin1(tool));
            return false;
        }
    }
    if (!m_home.isValid()) {
        m_error = QStringLiteral("no temporary directory");
        return false;
    }
    m_home.setAutoRemove(true);
    m_bus.setProgram(QStringLiteral("dbus-daemon"));
    m_bus.setArguments({QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
    m_bus.start();
    while (m_bus.waitForReadyRead(10000) && !m_bus.canReadLine()) {
    }
    m_address = QString::fromUtf8(m_bus.readLine()).trimmed();
    if (m_address.isEmpty()) {
        m_error = QStringLiteral("dbus-daemon gave no address: ") + QString::fromUtf8(m_bus.readAllStandardError());
        return false;
    }
    qputenv("DBUS_SESSION_BUS_ADDRESS", m_address.toUtf8());

    m_keyring.setProcessEnvironment(environment());
    m_keyring.setProgram(QStringLiteral("gnome-keyring-daemon"));
    m_keyring.setArguments({QStringLiteral("--foreground"), QStringLiteral("--unlock"),
                            QStringLiteral("--components=secrets")});
    m_keyring.start();
    if (!m_keyring.waitForStarted(10000)) {
        m_error = QStringLiteral("gnome-keyring-daemon: ") + m_keyring.errorString();
        return false;
    }
    // The login collection's password on standard input makes it, unlocked.
    m_keyring.write("fixture-login");
    m_keyring.waitForBytesWritten(5000);
    m_keyring.closeWriteChannel();

    // A connection of its own: the application's session bus may have been
    // tried before the address was set.
    QDBusConnection bus = QDBusConnection::connectToBus(m_address, QStringLiteral("vw-keyring-fixture"));
    const QDeadlineTimer deadline(15000);
    while (!deadline.hasExpired()) {
        if (bus.isConnected() && bus.interface()->isServiceRegistered(QStringLiteral("org.freedesktop.secrets")))
            break;
        if (m_keyring.state() == QProcess::NotRunning)
            break;
        QThread::msleep(20);
    }
    if (!bus.isConnected() || !bus.interface()->isServiceRegistered(QStringLiteral("org.freedesktop.secrets"))) {
        m_error = QStringLiteral("the Secret Service did not appear on %1 (%2, daemon %3): %4")
                      .arg(m_address, bus.isConnected() ? QStringLiteral("connected") : bus.lastError().message(),
                           m_keyring.state() == QProcess::Running ? QStringLiteral("running") : QStringLiteral("ended"),
                           QString::fromUtf8(m_keyring.readAllStandardError() + m_keyring.readAllStandardOutput()));
        return false;
    }
    // Proof that it answers: a stored secret reads back.
    QProcess store;
    store.setProcessEnvironment(environment());
    store.start(QStringLiteral("secret-tool"), {QStringLiteral("store"), QStringLiteral("--label=fixture"),
                                                QStringLiteral("fixture"), QStringLiteral("probe")});
    store.waitForStarted(5000);
    store.write("probe-secret");
    store.waitForBytesWritten(5000);
    store.closeWriteChannel();
    store.waitForFinished(15000);
    QProcess read;
    read.setProcessEnvironment(environment());
    read.start(QStringLiteral("secret-tool"), {QStringLiteral("lookup"), QStringLiteral("fixture"), QStringLiteral("probe")});
    read.waitForFinished(15000);
    if (read.readAllStandardOutput() != "probe-secret") {
        m_error = QStringLiteral("the Secret Service does not keep a secret: ")
                  + QString::fromUtf8(store.readAllStandardError() + read.readAllStandardError());
        return false;
    }
    return true;
}

QString KeyringFixture::lookup(const QString &key, const QString &label) const
{
    QProcess p;
    p.setProcessEnvironment(environment());
    p.start(QStringLiteral("secret-tool"),
            {QStringLiteral("lookup"), QStringLiteral("user"), key, QStringLiteral("server"), label});
    p.waitForFinished(15000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

bool KeyringFixture::lock()
{
    QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.secrets"),
                                                       QStringLiteral("/org/freedesktop/secrets"),
                                                       QStringLiteral("org.freedesktop.Secret.Service"),
                                                       QStringLiteral("Lock"));
    call << QVariant::fromValue(QList<QDBusObjectPath>{QDBusObjectPath("/org/freedesktop/secrets/collection/login")});
    const QDBusMessage reply = QDBusConnection(QStringLiteral("vw-keyring-fixture")).call(call, QDBus::Block, 15000);
    return reply.type() == QDBusMessage::ReplyMessage;
}
