#pragma once

#include <QByteArray>
#include <QString>

#include "ssh/SshDumpTypes.h"

struct BackupTask;

// The remote command of an SSH run: the telnet session's mysqldump line with
// its quoting, minus the redirection (the output streams back) and minus the
// password, which would show in every user's `ps` on a shared host. mysqldump
// reads it instead from the option file on its standard input, named first
// because mysqldump only honours that option in first place.
// With the task's hostcompress "auto", the host compresses the dump with
// zstd (else gzip, else not at all) and the command's exit status is
// mysqldump's own, or the compressor's when that failed.
QString SshDumpCommand(const BackupTask &task);

// The option file for the command's standard input: "[client]" and the
// database password, quoted so that "#", quotes, backslashes and blanks at
// either end reach mysqldump unchanged.
QByteArray SshDumpOptionFile(const BackupTask &task);

// The remote command that loads a dump into the task's database: the host's
// mysql client, its password in an option file that exists only for the
// load, owner-only, read from the first optionFileSize bytes of the
// command's standard input (exactly, a byte at a time, so none of the dump
// after it is lost); the dump follows on the same input.
QString SshRestoreCommand(const BackupTask &task, qsizetype optionFileSize);

// The request of a task's SSH run: its host, SSH port, host user, host
// password and key file, the dump command and its option file.
SshDumpRequest SshDumpRequestFor(const BackupTask &task, const SshClientSettings &settings);
// The same login, listing the databases the task's database login may see
// (SHOW DATABASES through the host's client, its option file on standard input).
SshDumpRequest SshListingRequestFor(const BackupTask &task, const SshClientSettings &settings);
// The same login, asking the host's dump programs and its server's version
// (HostProbe): the editor's connection test.
SshDumpRequest SshProbeRequestFor(const BackupTask &task, const SshClientSettings &settings);
// The same login, running only "mysqldump --version".
SshDumpRequest SshVersionCheckRequestFor(const BackupTask &task, const SshClientSettings &settings);
