#include "retrieval/RemovalWarning.h"

QString NotRemovedText(const QString &remoteFile, bool german)
{
    return german ? QStringLiteral("Warnung: die Dump-Datei %1 konnte nicht vom Host entfernt werden").arg(remoteFile)
                  : QStringLiteral("Warning: the dump file %1 could not be removed from the host").arg(remoteFile);
}
