#pragma once

#include <QByteArray>
#include <QString>

// Trusts a host key: appends the entry a run reported for an unknown key to
// the known_hosts file, creating the file (0600) and its directory (0700) as
// needed. Called only on the user's confirmation, never by a run itself.
// false with the reason when the line could not be written whole; the file
// then stays as it was.
bool AcceptHostKey(const QString &knownHostsFile, const QByteArray &entry, QString *error);
