#pragma once

#include <QString>
#include <QStringList>

struct BackupTask;

// The options a task adds to mysqldump's command line. Each word is checked
// against the long options of mysqldump (and mariadb-dump) this program
// passes on, and a value may hold no character a shell acts on: the field
// can never run anything else on the host, nor redirect the dump, nor
// replace the login the program gives.
namespace DumpOptions {

// What new tasks start with: one consistent snapshot without locking the
// live site's tables, rows streamed, the stored code, binary columns and
// text that survive the restore.
QString recommended();

struct Parsed {
    QStringList words;
    QString error;  // why the text is refused, in the interface language; empty: taken
    bool ok() const { return error.isEmpty(); }
};
Parsed parse(const QString &text, bool german);

// The words for a command line: each after a blank, shell-quoted; empty for none.
QString commandPart(const QStringList &words);

// The programs a task may dump with: "mysqldump", "mariadb-dump" (MariaDB
// 11 warns about the old name), and "auto", mariadb-dump where the host has it.
QStringList programs();
// Why the task's program cannot be used (a store edited by hand); empty: it can.
QString programRefusal(const QString &program, bool german);
// The dump command without its redirection: the program, its option file on
// standard input, the server, the user, the options, the database. "auto"
// is POSIX sh: where the login shell may be another, sh runs it.
QString invocation(const BackupTask &task);
// The host's client running one statement with the task's database login,
// its password read as an option file from standard input like the dump's;
// its answer in plain rows, no headings. The client goes with the dump
// program: mysql, mariadb, or (auto) whichever the host has.
QString clientInvocation(const BackupTask &task, const QString &statement);

// For an error line of mysqldump that today's hosts are known to give, what
// to change in the dump options ("add --no-tablespaces ..."); empty otherwise.
QString fixFor(const QString &errorLine, bool german);

} // namespace DumpOptions
