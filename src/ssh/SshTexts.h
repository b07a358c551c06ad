#pragma once

#include <QString>

#include "ssh/SshDumpTypes.h"

// The protocol lines and messages of SSH runs, in English or German. None of
// them carries a password, a passphrase or the option file.
namespace SshTexts {

QString connecting(const QString &host, quint16 port, bool german);
QString hostKeyVerified(const QString &fingerprint, bool german);
QString authMethod(SshAuthMethod method, const QString &keyName, bool german);
QString loggedIn(const QString &user, SshAuthMethod method, const QString &keyName, bool german);
QString dumpStarted(bool german);
QString dumpFinished(qint64 bytes, bool german);
QString receivedCaption(qint64 bytes, bool german);  // "SSH: 1,54 Mb received"
// Why a run failed, for the protocol and the Message; "" for a success.
QString failure(const SshDumpResult &result, const QString &host, quint16 port, bool german);

}
