#pragma once

#include <QString>

// Unpacks a stored backup into a plain SQL file, durably and atomically:
// the target appears only whole, and a full disk or a damaged file leaves
// whatever was there before. Blocking: call it off the window thread.
// error: why not, for the user.
bool ExportDump(const QString &storedFile, const QString &target, QString *error = nullptr);
