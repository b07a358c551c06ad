#pragma once

#include <QString>

// The warning for a fetched dump that could not be removed from the host,
// where it stays readable to whoever can reach it there.
QString NotRemovedText(const QString &remoteFile, bool german);
