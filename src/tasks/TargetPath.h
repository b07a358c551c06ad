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
