#pragma once

#include <QString>

// Without daily subdirectories the previous backups are kept beside the
// current one as NAME.1 (newest) ... NAME.copies (oldest). Shifts every copy
// one place up, the oldest dropped, and NAME to NAME.1, each with its
// checksum file (rewritten to name the copy, so sha256sum -c still checks
// it). Regular files only; symbolic links are neither followed nor moved.
// Called just before a new NAME is put in place.
bool RotatePreviousCopies(const QString &storedPath, int copies);

// The name of copy n of a stored file: "backup.sql.gz.2".
QString RotatedCopyPath(const QString &storedPath, int n);
