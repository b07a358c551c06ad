#pragma once

#include <QString>

class TaskStore;

// Where failure mail goes. Kept as text values in the settings' "Options"
// group beside the program's other settings; the password too (the store is
// private to the user) unless it is in the keyring.
struct MailSettings {
    enum Security { None = 0, StartTls = 1, Tls = 2 };

    QString server;
    int port = 25;
    int security = None;
    QString user;             // empty: no login
    QString password;
    QString sender;
    QString recipient;
    // The user confirmed that the login may go without TLS (security None).
    bool plainPassword = false;
    // The password is in the keyring (TaskSecrets::mailPassword), not in the
    // file; it is empty here until fetched.
    bool passwordInKeyring = false;

    // Mail is off until a server, a sender and a recipient are given.
    bool isSet() const;
    // A login (user name and password) would cross the network in clear.
    bool loginInClear() const;
    // The port a security mode usually listens on.
    static int defaultPort(int security);

    // Absent values read as the defaults above (mail off).
    static MailSettings read(const TaskStore &store);
    // Writes every value in one replacement of the store; false when the
    // store refused it.
    bool save(const TaskStore &store) const;
    // The password is in the keyring now: the file loses it, provided it
    // still holds this one. false when it did not, or the store refused.
    static bool movePasswordToKeyring(const TaskStore &store, const QString &password);

    bool operator==(const MailSettings &) const = default;
};
