#pragma once

#include <QByteArray>
#include <QString>

struct BackupTask;

// What "Test connection" learns of the host's dump programs and the
// database server, and the settings that fit them.
struct HostProbe {
    QString mysqldumpVersion;    // the programs' --version lines; empty: not on the host
    QString mariadbDumpVersion;
    QString serverVersion;       // SELECT VERSION(), e.g. "8.4.3" or "10.11.6-MariaDB-0+deb12u1"
    QString serverError;         // the client's words when it could not ask
    QString packer;              // "zstd" or "gzip": what would compress on the host; empty: neither

    // The host command that asks all of it: the client's password is read
    // from standard input as an option file, as the dump's is.
    static QString command(const BackupTask &task);
    static HostProbe parse(const QByteArray &output);

    bool isMariaDb() const;
    // "MySQL 8.4", "MariaDB 10.11"; empty when the server was not reached.
    QString serverName() const;
    // MySQL 8.0.21 and later refuse a user without PROCESS the tablespaces.
    bool needsNoTablespaces() const;
    // MariaDB 11 warns about the old program name.
    bool prefersMariadbDump() const;

    // What to change in the task: nothing when it already fits.
    bool offerNoTablespaces(const BackupTask &task) const;
    bool offerMariadbDump(const BackupTask &task) const;
    // The lines of the report, and the question when something is offered.
    QString report(const BackupTask &task, bool german) const;
    QString offer(const BackupTask &task, bool german) const;
};
