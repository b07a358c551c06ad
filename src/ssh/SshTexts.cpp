#include "ssh/SshTexts.h"

#include <QFileInfo>
#include <QStringList>

#include "retrieval/ByteCount.h"
#include "storage/StoreTexts.h"
#include "tasks/DumpOptions.h"

namespace SshTexts {

namespace {
QString pick(bool german, const QString &english, const QString &germanText)
{
    return german ? germanText : english;
}

QString hostPort(const QString &host, quint16 port)
{
    return port == 22 ? host : QStringLiteral("%1:%2").arg(host).arg(port);
}

QString withDetail(const QString &text, const QString &detail)
{
    return detail.isEmpty() ? text : text + QStringLiteral(": ") + detail;
}
} // namespace

QString connecting(const QString &host, quint16 port, bool german)
{
    return pick(german, QStringLiteral("SSH: connecting to %1 port %2"), QStringLiteral("SSH: Verbinde mit %1 Port %2"))
        .arg(host)
        .arg(port);
}

QString hostKeyVerified(const QString &fingerprint, bool german)
{
    return pick(german, QStringLiteral("SSH: host key verified (%1)"), QStringLiteral("SSH: Host-Schlüssel bestätigt (%1)"))
        .arg(fingerprint);
}

QString authMethod(SshAuthMethod method, const QString &keyName, bool german)
{
    switch (method) {
    case SshAuthMethod::KeyFile:
        return pick(german, QStringLiteral("key file"), QStringLiteral("Schlüsseldatei"));
    case SshAuthMethod::Agent:
        return pick(german, QStringLiteral("SSH agent"), QStringLiteral("SSH-Agent"));
    case SshAuthMethod::DefaultKey:
        return pick(german, QStringLiteral("default key %1"), QStringLiteral("Standardschlüssel %1")).arg(keyName);
    case SshAuthMethod::Password:
        return pick(german, QStringLiteral("password"), QStringLiteral("Passwort"));
    case SshAuthMethod::KeyboardInteractive:
        return pick(german, QStringLiteral("keyboard-interactive password"), QStringLiteral("Passwort (keyboard-interactive)"));
    case SshAuthMethod::None:
        break;
    }
    return pick(german, QStringLiteral("no authentication"), QStringLiteral("ohne Anmeldung"));
}

QString loggedIn(const QString &user, SshAuthMethod method, const QString &keyName, bool german)
{
    return pick(german, QStringLiteral("SSH: logged in as %1 with %2"), QStringLiteral("SSH: Angemeldet als %1 mit %2"))
        .arg(user, authMethod(method, keyName, german));
}

QString dumpStarted(bool german)
{
    return pick(german, QStringLiteral("SSH: dump started"), QStringLiteral("SSH: Dump gestartet"));
}

QString dumpFinished(qint64 bytes, bool german)
{
    return pick(german, QStringLiteral("SSH: dump finished, %1 received"), QStringLiteral("SSH: Dump beendet, %1 empfangen"))
        .arg(FormatByteCount(bytes));
}

QString receivedCaption(qint64 bytes, bool german)
{
    return pick(german, QStringLiteral("SSH: %1 received"), QStringLiteral("SSH: %1 empfangen")).arg(FormatByteCount(bytes));
}

QString failure(const SshDumpResult &result, const QString &host, quint16 port, bool german)
{
    const QString where = hostPort(host, port);
    switch (result.failure) {
    case SshFailure::None:
        return QString();
    case SshFailure::Connect:
        return withDetail(pick(german, QStringLiteral("SSH: no connection to %1"), QStringLiteral("SSH: Keine Verbindung zu %1"))
                              .arg(where),
                          result.detail);
    case SshFailure::HostKeyUnknown:
        return pick(german,
                    QStringLiteral("SSH: the host key of %1 is unknown (%2 %3); confirm it with \"Test connection\" "
                                   "in the task editor"),
                    QStringLiteral("SSH: Der Host-Schlüssel von %1 ist unbekannt (%2 %3); bestätigen Sie ihn mit "
                                   "\"Verbindung testen\" im Task-Editor"))
            .arg(where, result.keyType, result.fingerprint);
    case SshFailure::HostKeyChanged:
        return pick(german,
                    QStringLiteral("SSH: WARNING: the host key of %1 has CHANGED (now %2 %3). Someone may be "
                                   "intercepting the connection; nothing was sent. Trust the new key only when the "
                                   "host's operator confirms it."),
                    QStringLiteral("SSH: WARNUNG: Der Host-Schlüssel von %1 hat sich GEÄNDERT (jetzt %2 %3). Jemand "
                                   "könnte die Verbindung abhören; es wurde nichts gesendet. Vertrauen Sie dem neuen "
                                   "Schlüssel nur, wenn der Betreiber des Hosts ihn bestätigt."))
            .arg(where, result.keyType, result.fingerprint);
    case SshFailure::HostKeyCheck:
        return withDetail(pick(german, QStringLiteral("SSH: known_hosts cannot be read"),
                               QStringLiteral("SSH: known_hosts kann nicht gelesen werden")),
                          result.detail);
    case SshFailure::Authentication: {
        QStringList tried;
        for (SshAuthMethod method : result.authTried)
            tried << (method == SshAuthMethod::DefaultKey
                          ? pick(german, QStringLiteral("default keys"), QStringLiteral("Standardschlüssel"))
                          : authMethod(method, QString(), german));
        QString text = pick(german, QStringLiteral("SSH: login refused by %1"), QStringLiteral("SSH: Anmeldung von %1 abgelehnt"))
                           .arg(where);
        if (!tried.isEmpty())
            text += pick(german, QStringLiteral(" (tried: %1)"), QStringLiteral(" (versucht: %1)")).arg(tried.join(QStringLiteral(", ")));
        else if (result.detail.isEmpty())
            text += pick(german, QStringLiteral(" (no key and no password to offer)"),
                         QStringLiteral(" (kein Schlüssel und kein Passwort anzubieten)"));
        if (result.keyFileUnusable)
            text += pick(german, QStringLiteral("; the key file cannot be read or needs a passphrase (load it into the SSH agent)"),
                         QStringLiteral("; die Schlüsseldatei ist nicht lesbar oder braucht eine Passphrase (laden Sie sie in den SSH-Agenten)"));
        return withDetail(text, result.detail);
    }
    case SshFailure::Channel:
        return withDetail(pick(german, QStringLiteral("SSH: the command could not be started"),
                               QStringLiteral("SSH: Der Befehl konnte nicht gestartet werden")),
                          result.detail);
    case SshFailure::LocalWrite:
        // The store's words, as for a download; a sink without a file (a
        // check's output in memory) has only its own.
        if (result.localFile.isEmpty())
            return withDetail(pick(german, QStringLiteral("SSH: the local file cannot be written"),
                                   QStringLiteral("SSH: Die lokale Datei kann nicht geschrieben werden")),
                              result.detail);
        return withDetail(QStringLiteral("SSH: ") + StoreTexts::notWritten(result.storeFailure, result.localFile, false, german),
                          result.detail);
    case SshFailure::LocalRead:
        return withDetail(pick(german, QStringLiteral("SSH: the stored backup cannot be read"),
                               QStringLiteral("SSH: Die gespeicherte Sicherung kann nicht gelesen werden")),
                          result.detail);
    case SshFailure::ExitStatus: {
        QString text = result.exitStatusKnown
            ? pick(german, QStringLiteral("SSH: mysqldump ended with exit status %1"),
                   QStringLiteral("SSH: mysqldump endete mit Status %1"))
                  .arg(result.exitStatus)
            : result.exitSignal.isEmpty()
            ? pick(german, QStringLiteral("SSH: mysqldump ended without exit status"),
                   QStringLiteral("SSH: mysqldump endete ohne Status"))
            : pick(german, QStringLiteral("SSH: mysqldump was ended by signal %1"),
                   QStringLiteral("SSH: mysqldump wurde durch Signal %1 beendet"))
                  .arg(result.exitSignal);
        const QString line = result.lastStderrLine();
        const QString fix = DumpOptions::fixFor(line, german);
        return withDetail(text, line) + (fix.isEmpty() ? QString() : QStringLiteral(" - ") + fix);
    }
    case SshFailure::StreamCut:
        return withDetail(pick(german, QStringLiteral("SSH: the connection broke during the dump"),
                               QStringLiteral("SSH: Die Verbindung brach während des Dumps ab")),
                          result.detail);
    case SshFailure::Incomplete:
        if (!result.localFile.isEmpty())
            return QStringLiteral("SSH: ") + StoreTexts::incompleteDump(QFileInfo(result.localFile).fileName(), german);
        return pick(german, QStringLiteral("SSH: the dump is incomplete (no completion line) - not saved"),
                    QStringLiteral("SSH: Der Dump ist unvollständig (keine Abschlusszeile) - nicht gespeichert"));
    case SshFailure::TimeLimit:
        return pick(german, QStringLiteral("SSH: the dump took longer than allowed - broken off"),
                    QStringLiteral("SSH: Der Dump dauerte länger als erlaubt - abgebrochen"));
    case SshFailure::TooLarge:
        return pick(german,
                    QStringLiteral("SSH: the dump is larger than the limit of %1 - not saved, the previous backup is kept")
                        .arg(FormatByteCount(result.byteLimit)),
                    QStringLiteral("SSH: Der Dump ist größer als die Grenze von %1 - nicht gespeichert, die bisherige Sicherung bleibt erhalten")
                        .arg(FormatByteCount(result.byteLimit)));
    case SshFailure::Cancelled:
        return pick(german, QStringLiteral("SSH: cancelled by the user"), QStringLiteral("SSH: Vom Benutzer abgebrochen"));
    }
    return QString();
}

} // namespace SshTexts
