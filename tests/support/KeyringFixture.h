#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// A real Secret Service for this test process: a private session bus
// (dbus-daemon) and gnome-keyring-daemon on it, its login collection made
// and unlocked with a password of its own. start() points
// DBUS_SESSION_BUS_ADDRESS at that bus, so it must come before anything in
// the process talks to a session bus. Nothing reaches the user's own keyring.
class KeyringFixture {
public:
    KeyringFixture() = default;
    ~KeyringFixture();

    // false with errorString() when the service cannot run here.
    bool start();
    QString errorString() const { return m_error; }

    // The secret stored under the entry (QtKeychain's attributes), as
    // secret-tool finds it; empty when there is none.
    QString lookup(const QString &key, const QString &label) const;
    // Locks the login collection, as the desktop does on a screen lock.
    bool lock();

private:
    QProcessEnvironment environment() const;

    QTemporaryDir m_home;
    QProcess m_bus;
    QProcess m_keyring;
    QString m_address;
    QString m_error;
};
