#pragma once

#include <QString>
#include <QStringList>

#include "offsite/OffsiteTarget.h"

// Where the rclone and restic programs are, and the arguments every call of
// them gets. Tests point the search elsewhere.
namespace OffsiteTools {
// The program's full path, found on PATH (or the test's search path);
// empty when it is not installed.
QString find(OffsiteTarget::Kind kind);
// Why a copy to the target cannot start: its values, or its program not
// installed; empty when it can, with the program's path in program.
QString problemWith(const OffsiteTarget &target, bool german, QString *program);
// For tests: look only in these folders; empty: PATH again.
void setSearchPath(const QStringList &folders);
// "rclone is not installed (Debian package rclone)", in the interface language.
QString missingText(OffsiteTarget::Kind kind, bool german);
// The bandwidth limit (KiB/s, 0: none) for copies started after this call.
void setUploadLimit(int kibPerSecond);
int uploadLimit();
}
