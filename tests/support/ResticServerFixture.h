#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// A restic REST server for tests: `rclone serve restic` over a folder of its
// own, on a free port of 127.0.0.1. Also makes restic repositories and a
// password file, with restic's cache kept out of the user's home.
class ResticServerFixture {
public:
    ResticServerFixture();
    ~ResticServerFixture();

    // Whether rclone and restic are installed; else why not.
    static QString missingTools();
    bool start();
    QString errorString() const { return m_error; }
    QString url() const;  // "rest:http://127.0.0.1:PORT/"
    QString passwordFile() const;
    // `restic init` of repository with passwordFile(); false with errorString().
    bool init(const QString &repository);
    // restic's standard output for the arguments (after -r and the password file).
    QByteArray restic(const QString &repository, const QStringList &arguments, int *exitCode = nullptr) const;

private:
    QTemporaryDir m_dir;
    QProcess m_server;
    quint16 m_port = 0;
    mutable QString m_error;
};
