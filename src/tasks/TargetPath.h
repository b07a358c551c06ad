#pragma once

#include <QString>

// Where a task's fetched file lands: the local directory and the file name
// joined with the platform's separator unless the directory already ends
// with one ("/" everywhere, also "\" on Windows). Empty when there is no
// local directory: nothing is fetched then.
QString LocalTargetPath(const QString &localdir, const QString &backupfile);

// Whether two target paths name the same file: letter case counts except on
// Windows, where "/" and "\" are also the same separator.
bool SameLocalTarget(const QString &a, const QString &b);

// A key equal for exactly the targets SameLocalTarget finds equal, for hashing.
QString LocalTargetKey(const QString &target);

// Why the backup file name cannot be used, in English or German; empty when
// it can. The name is joined to the local directory and sent to the host, so
// it must stay one plain name there: no "/" or "\", no "..", no control
// character, no leading "-" (an option to the commands it is given to).
QString BackupFileNameProblem(const QString &backupfile, bool german);
// Why the local directory cannot be used (a control character in it); empty
// when it can.
QString LocalDirectoryProblem(const QString &localdir, bool german);
