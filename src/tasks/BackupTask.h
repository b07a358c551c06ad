#pragma once

#include <QString>

// One backup task: its name and the sixteen values, named by their store keys.
struct BackupTask {
    QString name;
    QString host;
    QString hostuser;
    QString hostpw;
    QString ftpdir;
    QString mysql;
    QString database;
    QString dbuser;
    QString dbpw;
    QString backupfile;
    QString remotedir;
    QString localdir;
    QString httpath;
    QString backuptime;
    int run = 0;              // 0 inactive, 1 active; other stored values load as they are
    bool subdirectory = false;
    int method = 0;           // 0 FTP; anything else HTTP

    // Values added after the sixteen; absent in older stores, whose defaults
    // behave exactly as before.
    int transport = 0;        // 0 telnet, 1 SSH
    int sshport = 22;
    QString sshkey;           // empty: agent, default keys, then the host password
    // Written by the program after runs, not by the editor (ISO 8601 with offset).
    QString lastattempt;
    QString lastsuccess;
    QString lastmessage;
    QString saved;            // when the editor last saved the task
    // The last test restore, written by the run: "passed" or "failed: why",
    // and "TABLES ROWS".
    QString lastrestoretest;
    QString lastrestorecounts;
    int compress = 0;         // 0 none, 1 gzip, 2 zstd
    int keepdaily = 0;        // 0 in all three keeps everything
    int keepweekly = 0;
    int keepmonthly = 0;
    bool ftptls = false;      // FTP with explicit TLS (FTPS); off: plain FTP as before
    bool testrestore = false; // load each stored backup into a throwaway local server
    QString dumpoptions;      // added to mysqldump's command line (DumpOptions); empty: none
    QString dumpprogram = QStringLiteral("mysqldump");  // or "mariadb-dump", "auto" (DumpOptions::programs)
    QString pingurl;          // a health-check service's address (HealthPing); empty: none
    // SSH: "auto" has the host compress the dump (zstd, else gzip) and SSH's
    // own compression off; "off" (stored tasks) streams it as before.
    QString hostcompress = QStringLiteral("off");
    // Where hostpw and dbpw are kept: empty, the settings file (as before);
    // "keyring", the desktop's keyring (TaskSecrets), the file holding neither.
    QString secrets;
    // A second copy of each stored backup off this machine (OffsiteTarget):
    // empty, none (as before); an rclone destination ("remote:path" or a
    // local path) or "restic:" and a restic repository.
    QString offsite;
    // The rclone configuration file, or restic's password file; empty:
    // rclone's own default configuration.
    QString offsiteconfig;
    // "same": the local keep counts; else "DAILY WEEKLY MONTHLY" of its own.
    QString offsitekeep = QStringLiteral("same");
    // Written by the run: "copied" or "failed: why", when, and the day of the
    // last restic check.
    QString lastoffsite;
    QString lastoffsitetime;
    QString lastoffsitecheck;

    // Not stored: set by a run whose dump went to the host under this name in
    // remotedir. Retrieval fetches it instead of backupfile and removes it
    // from the host once stored; empty (a download without a run): backupfile,
    // which stays there.
    QString remotefile;

    // A task with every value at its default and the given name.
    static BackupTask withDefaults(const QString &name = QString());
    bool isActive() const { return run == 1; }
    bool usesHttp() const { return method != 0; }
    bool usesSsh() const { return transport == 1; }

    bool operator==(const BackupTask &) const = default;
};

namespace TaskDefaults {
// A short database server name without domain: most hosts run MySQL locally.
inline const char *const mysql = "localhost";
inline const char *const backupfile = "backup.sql";
inline const char *const backuptime = "12:00";
QString localdir();  // "C:" on Windows, the home directory elsewhere
}
