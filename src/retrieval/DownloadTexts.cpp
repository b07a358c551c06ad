#include "retrieval/DownloadTexts.h"

#include <curl/curl.h>

#include "retrieval/ByteCount.h"
#include "storage/StoreTexts.h"

namespace DownloadTexts {

namespace {
const QString CancelledLine = QStringLiteral("\rThe backup-task will be cancelled.");

QString line(bool german, const QString &english, const QString &inGerman)
{
    return german ? QStringLiteral("Grund: ") + inGerman : QStringLiteral("Reason: ") + english;
}

QString pick(bool german, const QString &english, const QString &inGerman)
{
    return german ? inGerman : english;
}

QString localFileReason(const Failed &f, bool german)
{
    const QString words = StoreTexts::notWritten(f.storeFailure, f.localFile, f.diskFull, german);
    return german ? QStringLiteral("Grund: ") + words : QStringLiteral("Reason: ") + words;
}

QString transferReason(const Failed &f, bool german)
{
    if (f.http && f.received == 0
        && (f.curlCode == CURLE_COULDNT_CONNECT || f.curlCode == CURLE_COULDNT_RESOLVE_HOST
            || f.curlCode == CURLE_OPERATION_TIMEDOUT))
        return line(german, QStringLiteral("no connection to the server (refused or not reachable)"),
                    QStringLiteral("keine Verbindung zum Server (abgewiesen oder nicht erreichbar)"));
    if (f.received > 0)
        return line(german, QStringLiteral("transfer cut off after %1").arg(FormatByteCount(f.received)),
                    QStringLiteral("Übertragung abgebrochen nach %1").arg(FormatByteCount(f.received)));
    // libcurl's own short description; it never holds the address or a password.
    const QString what = QString::fromUtf8(curl_easy_strerror(CURLcode(f.curlCode)));
    return line(german, QStringLiteral("transfer failed: %1").arg(what),
                QStringLiteral("Übertragung gescheitert: %1").arg(what));
}

QString hostReason(const Failed &f, bool german)
{
    const QString &server = f.server;
    switch (f.curlCode) {
    case CURLE_USE_SSL_FAILED:
        return line(german, QStringLiteral("%1 does not offer FTP with TLS - the password was not sent").arg(server),
                    QStringLiteral("%1 bietet kein FTP mit TLS an - das Passwort wurde nicht gesendet").arg(server));
    case CURLE_PEER_FAILED_VERIFICATION:
        return line(german, QStringLiteral("the TLS certificate of %1 could not be verified").arg(server),
                    QStringLiteral("das TLS-Zertifikat von %1 konnte nicht bestätigt werden").arg(server));
    case CURLE_LOGIN_DENIED:
        return line(german, QStringLiteral("login refused by %1").arg(server),
                    QStringLiteral("Anmeldung von %1 abgewiesen").arg(server));
    default:
        return line(german, QStringLiteral("no connection to %1 (refused or not reachable)").arg(server),
                    QStringLiteral("keine Verbindung zu %1 (abgewiesen oder nicht erreichbar)").arg(server));
    }
}
} // namespace

QString passiveRetry(bool german)
{
    return pick(german, QStringLiteral("Active FTP data connection failed, trying once more in passive mode"),
                QStringLiteral("Aktive FTP-Datenverbindung gescheitert, neuer Versuch im passiven Modus"));
}

QString reason(const Failed &f, bool german)
{
    switch (f.failure) {
    case DownloadFailure::None:
        return QString();
    case DownloadFailure::Session:
        return line(german, QStringLiteral("libcurl cannot be used"), QStringLiteral("libcurl ist nicht nutzbar"));
    case DownloadFailure::HostOrLogin:
        return hostReason(f, german);
    case DownloadFailure::Directory:
        return line(german, QStringLiteral("directory %1 not found on the host").arg(f.remoteDir),
                    QStringLiteral("Verzeichnis %1 auf dem Host nicht gefunden").arg(f.remoteDir));
    case DownloadFailure::RemoteFile:
    case DownloadFailure::OpenRemote:
        return line(german, QStringLiteral("file %1 not found on the host").arg(f.remoteFile),
                    QStringLiteral("Datei %1 auf dem Host nicht gefunden").arg(f.remoteFile));
    case DownloadFailure::IncompleteDump:
        return StoreTexts::incompleteDump(f.remoteFile, german);
    case DownloadFailure::StaleDump:
        return StoreTexts::staleDump(german);
    case DownloadFailure::HttpStatus:
        return line(german, QStringLiteral("the server answered with HTTP status %1").arg(f.httpStatus),
                    QStringLiteral("der Server antwortete mit HTTP-Status %1").arg(f.httpStatus));
    case DownloadFailure::LocalFile:
        return localFileReason(f, german);
    case DownloadFailure::Grew:
        return line(
            german,
            QStringLiteral("%1 on the host grew past its listed size of %2 - not saved, the previous backup is kept")
                .arg(f.remoteFile, FormatByteCount(f.listedSize)),
            QStringLiteral("%1 auf dem Host wuchs über die gemeldete Größe von %2 hinaus - nicht gespeichert, die bisherige Sicherung bleibt erhalten")
                .arg(f.remoteFile, FormatByteCount(f.listedSize)));
    case DownloadFailure::TooLarge: {
        const QString limit = FormatByteCount(f.maxBytes);
        return line(
            german,
            QStringLiteral("%1 is larger than the download limit of %2 - not saved, the previous backup is kept")
                .arg(f.remoteFile, limit),
            QStringLiteral("%1 ist größer als die Download-Grenze von %2 - nicht gespeichert, die bisherige Sicherung bleibt erhalten")
                .arg(f.remoteFile, limit));
    }
    case DownloadFailure::Transfer:
        return transferReason(f, german);
    }
    return QString();
}

std::optional<RetrievalError> dialogFor(DownloadFailure failure)
{
    switch (failure) {
    case DownloadFailure::Session: return RetrievalError::Session;
    case DownloadFailure::HostOrLogin: return RetrievalError::Host;
    case DownloadFailure::Directory: return RetrievalError::Directory;
    case DownloadFailure::RemoteFile: return RetrievalError::File;
    default: return std::nullopt;
    }
}

QString dialogText(RetrievalError kind, const Failed &f)
{
    switch (kind) {
    case RetrievalError::Session:
        return QStringLiteral("The Connection to WinInet.Dll cannot be established.") + CancelledLine;
    case RetrievalError::Host:
        return QStringLiteral("FTP Host \"%1\" is not available.").arg(f.server) + CancelledLine;
    case RetrievalError::Directory:
        return QStringLiteral("The directory Verzeichnis %1 does not exist.").arg(f.remoteDir) + CancelledLine;
    case RetrievalError::File:
        return QStringLiteral("File not available: ") + f.remoteFile + CancelledLine;
    }
    return QString();
}

} // namespace DownloadTexts
