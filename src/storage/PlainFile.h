#pragma once

#include <QFileInfo>

// A regular file, reached without a symbolic link or junction: the only kind
// the storage code moves, removes or lists as a backup.
inline bool IsPlainFile(const QFileInfo &info)
{
    return info.isFile() && !info.isSymLink() && !info.isJunction();
}
