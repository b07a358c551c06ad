#include "retrieval/FtpTransfer.h"

#include <algorithm>

#include <QByteArray>
#include <QUrl>

#include "engine/ServerText.h"
#include "retrieval/CurlSupport.h"
#include "retrieval/DumpIntake.h"
#include "storage/StoredDumpWriter.h"

namespace {

// The last FTP command libcurl sent tells which step a failure belongs to.
struct CommandTrace {
    QByteArray lastVerb;
};

int onDebug(CURL *, curl_infotype type, char *data, size_t size, void *userData)
{
    if (type == CURLINFO_HEADER_OUT) {
        auto *trace = static_cast<CommandTrace *>(userData);
        const QByteArray line = QByteArray(data, qsizetype(size)).trimmed();
        const qsizetype space = line.indexOf(' ');
        trace->lastVerb = (space < 0 ? line : line.left(space)).toUpper();
    }
    return 0;
}

struct DownloadSink {
    DumpIntake intake;
    FtpBlockProgress *progress = nullptr;
    FtpTransferObserver *observer = nullptr;
};

// Nothing of the listing's header-like lines is kept.
size_t discard(char *, size_t size, size_t count, void *)
{
    return size * count;
}

size_t onData(char *data, size_t size, size_t count, void *userData)
{
    auto *sink = static_cast<DownloadSink *>(userData);
    const qint64 length = qint64(size * count);
    if (!sink->intake.take(data, length))
        return 0;
    for (const FtpProgressStep &step : sink->progress->add(length))
        sink->observer->transferProgress(step);
    return size * count;
}

bool hasControlCharacters(const QString &text)
{
    return std::any_of(text.begin(), text.end(), isControlCharacter);
}

// A server name fit for the URL: IDN in ASCII form, IPv6 literals bracketed.
QByteArray urlHost(const QString &server)
{
    if (server.isEmpty() || hasControlCharacters(server))
        return QByteArray();
    for (QChar c : QStringLiteral("/?#@[] \\"))
        if (server.contains(c))
            return QByteArray();
    if (server.contains(QLatin1Char(':')))
        return '[' + server.toLatin1() + ']';
    return QUrl::toAce(server);
}

// URL path for "CWD remoteDir" followed by "RETR remoteFile". libcurl
// (single-CWD method) changes into everything before the last "/"; a leading
// "/" of the directory is kept as %2F so the change is absolute.
QByteArray urlPath(const QString &remoteDir, const QString &remoteFile)
{
    QByteArray path;
    if (!remoteDir.isEmpty()) {
        QString core = remoteDir;
        const bool absolute = core.startsWith(QLatin1Char('/'));
        while (core.startsWith(QLatin1Char('/')))
            core.remove(0, 1);
        while (core.endsWith(QLatin1Char('/')))
            core.chop(1);
        if (absolute)
            path += "%2F";
        if (!core.isEmpty())
            path += QUrl::toPercentEncoding(core, "/") + '/';
    }
    // The name goes to the server as it stands, "/" included.
    path += QUrl::toPercentEncoding(remoteFile);
    return path;
}

bool activeDataConnectionFailed(CURLcode code, long responseCode)
{
    switch (code) {
    case CURLE_FTP_PORT_FAILED:
    case CURLE_FTP_ACCEPT_FAILED:
    case CURLE_FTP_ACCEPT_TIMEOUT:
        return true;
    case CURLE_FTP_COULDNT_RETR_FILE:
        return responseCode == 425;  // the server could not connect back
    default:
        return false;
    }
}

DownloadFailure classifyBeforeTransfer(CURLcode code, const QByteArray &lastVerb)
{
    if (code == CURLE_LOGIN_DENIED)
        return DownloadFailure::HostOrLogin;
    if (code == CURLE_REMOTE_FILE_NOT_FOUND)
        return DownloadFailure::RemoteFile;
    if (lastVerb == "CWD")
        return DownloadFailure::Directory;
    if (lastVerb == "TYPE" || lastVerb == "SIZE" || lastVerb == "MDTM" || lastVerb == "REST")
        return DownloadFailure::RemoteFile;
    return DownloadFailure::HostOrLogin;
}

// The stored dump's file goes from the server over the connection that
// fetched it: a request without data whose POSTQUOTE runs once libcurl stands
// in the file's directory, so DELE names exactly the fetched file.
bool removeRemoteFile(CURL *h, const QString &remoteFile)
{
    const QByteArray command = "DELE " + remoteFile.toUtf8();
    curl_slist *commands = curl_slist_append(nullptr, command.constData());
    curl_easy_setopt(h, CURLOPT_FRESH_CONNECT, 0L);
    curl_easy_setopt(h, CURLOPT_NOBODY, 1L);
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, discard);
    curl_easy_setopt(h, CURLOPT_POSTQUOTE, commands);
    const CURLcode code = curl_easy_perform(h);
    curl_easy_setopt(h, CURLOPT_POSTQUOTE, static_cast<curl_slist *>(nullptr));
    curl_slist_free_all(commands);
    return code == CURLE_OK;
}

} // namespace

FtpTransferResult FetchPerFtp(const FtpTransferRequest &request, FtpTransferObserver &observer)
{
    FtpTransferResult result;
    CurlEasy easy = NewCurlEasy();
    if (!easy) {
        result.failure = DownloadFailure::Session;
        return result;
    }
    CURL *h = easy.get();

    const QByteArray host = urlHost(request.server);
    if (host.isEmpty()) {
        result.failure = DownloadFailure::HostOrLogin;
        return result;
    }
    // libcurl refuses control characters in a path; name the step they spoil.
    if (hasControlCharacters(request.remoteDir)) {
        result.failure = DownloadFailure::Directory;
        return result;
    }
    if (request.remoteFile.isEmpty() || hasControlCharacters(request.remoteFile)) {
        result.failure = DownloadFailure::RemoteFile;
        return result;
    }

    const QByteArray url = "ftp://" + host + ':' + QByteArray::number(request.port) + '/'
        + urlPath(request.remoteDir, request.remoteFile);
    const QByteArray user = request.userName.toUtf8();
    const QByteArray password = request.password.toUtf8();
    char errorText[CURL_ERROR_SIZE] = {};
    CommandTrace trace;
    const RetrievalOptions &o = request.options;

    curl_easy_setopt(h, CURLOPT_URL, url.constData());
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "ftp");
    const QByteArray caFile = o.caCertificateFile.toLocal8Bit();
    if (request.useTls) {
        curl_easy_setopt(h, CURLOPT_USE_SSL, long(CURLUSESSL_ALL));
        curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 1L);
        curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 2L);
        if (!caFile.isEmpty())
            curl_easy_setopt(h, CURLOPT_CAINFO, caFile.constData());
    }
    // Given apart from the URL, so no character of them needs escaping.
    curl_easy_setopt(h, CURLOPT_USERNAME, user.constData());
    curl_easy_setopt(h, CURLOPT_PASSWORD, password.constData());
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_BUFFERSIZE, CurlReceiveBufferSize);
    curl_easy_setopt(h, CURLOPT_ERRORBUFFER, errorText);
    curl_easy_setopt(h, CURLOPT_FTP_FILEMETHOD, long(CURLFTPMETHOD_SINGLECWD));
    curl_easy_setopt(h, CURLOPT_TRANSFERTEXT, 0L);
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, long(o.connectTimeoutMs));
    curl_easy_setopt(h, CURLOPT_ACCEPTTIMEOUT_MS, long(o.acceptTimeoutMs));
    curl_easy_setopt(h, CURLOPT_SERVER_RESPONSE_TIMEOUT, long(o.stallTimeoutS));
    TransferGuard guard(o);
    guard.install(h);
    curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, discard);
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, discard);
    curl_easy_setopt(h, CURLOPT_DEBUGFUNCTION, onDebug);
    curl_easy_setopt(h, CURLOPT_DEBUGDATA, &trace);
    curl_easy_setopt(h, CURLOPT_VERBOSE, 1L);  // feeds onDebug only; nothing is printed

    // Log in, change directory and list the size, without a data connection.
    curl_easy_setopt(h, CURLOPT_NOBODY, 1L);
    // MDTM: the file's time tells a fresh dump from one left by an earlier day.
    if (request.runStart.isValid())
        curl_easy_setopt(h, CURLOPT_FILETIME, 1L);
    CURLcode code = curl_easy_perform(h);
    if (code != CURLE_OK) {
        result.failure = classifyBeforeTransfer(code, trace.lastVerb);
        result.curlCode = code;
        result.detail = cleanServerText(QString::fromUtf8(errorText));
        return result;
    }
    curl_off_t listed = -1;
    curl_easy_getinfo(h, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &listed);
    result.listedSize = listed;
    curl_off_t fileTime = -1;
    curl_easy_getinfo(h, CURLINFO_FILETIME_T, &fileTime);
    curl_easy_setopt(h, CURLOPT_FILETIME, 0L);

    StoredDumpWriter out;
    if (request.localFile.isEmpty() || !out.open(request.localFile, request.store)) {
        result.failure = DownloadFailure::LocalFile;
        result.storeFailure = out.failure();
        result.detail = out.errorString();
        return result;
    }

    FtpBlockProgress progress(listed < 0 ? 0 : listed);
    DownloadSink sink;
    sink.intake.out = &out;
    sink.progress = &progress;
    sink.observer = &observer;
    sink.intake.listed = listed;
    sink.intake.limit = o.maxDownloadBytes;
    observer.transferStarted();
    if (listed > o.maxDownloadBytes) {
        result.failure = DownloadFailure::TooLarge;
        observer.transferEnded();
        return result;
    }

    curl_easy_setopt(h, CURLOPT_NOBODY, 0L);
    // libcurl would stop quietly at the listed size; read to the end so a
    // file that grew is seen (onData) instead of stored cut short.
    curl_easy_setopt(h, CURLOPT_IGNORE_CONTENT_LENGTH, 1L);
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, onData);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &sink);
    // Active mode, from the address the control connection uses. Over TLS
    // no router can read the PORT command to open the way back, and servers
    // differ in who starts the data connection's handshake: FTPS goes
    // passive from the start.
    if (!request.useTls)
        curl_easy_setopt(h, CURLOPT_FTPPORT, "-");
    errorText[0] = '\0';
    code = curl_easy_perform(h);

    long responseCode = 0;
    curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &responseCode);
    // Without the listed size libcurl cannot tell a data connection that
    // never came from an empty file: nothing of a listed non-empty file counts as failed too.
    const bool nothingCame = !request.useTls && sink.intake.received == 0
        && (code != CURLE_OK ? activeDataConnectionFailed(code, responseCode) : listed > 0);
    if (nothingCame) {
        // Routers that do not let the server connect back are common; a
        // passive data connection goes out from here instead.
        observer.retryingPassive();
        result.retriedPassive = true;
        curl_easy_setopt(h, CURLOPT_FTPPORT, static_cast<const char *>(nullptr));
        // The server may still hold the failed transfer on the old control
        // connection; start over on a new one.
        curl_easy_setopt(h, CURLOPT_FRESH_CONNECT, 1L);
        errorText[0] = '\0';
        code = curl_easy_perform(h);
    }
    result.received = sink.intake.received;

    if (code != CURLE_OK) {
        if (sink.intake.writeFailed) {
            result.failure = DownloadFailure::LocalFile;
            result.storeFailure = out.failure();
        } else if (sink.intake.grew) {
            result.failure = DownloadFailure::Grew;
        } else if (sink.intake.tooLarge) {
            result.failure = DownloadFailure::TooLarge;
        } else if (sink.intake.received == 0 && (code == CURLE_REMOTE_FILE_NOT_FOUND || code == CURLE_FTP_COULDNT_RETR_FILE)) {
            result.failure = DownloadFailure::OpenRemote;
        } else {
            result.failure = DownloadFailure::Transfer;
        }
        result.curlCode = code;
        result.detail = sink.intake.writeFailed ? out.errorString() : cleanServerText(QString::fromUtf8(errorText));
        observer.transferEnded();
        return result;  // file is discarded: the earlier backup stays
    }
    if (listed > 0 && sink.intake.received < listed) {
        result.failure = DownloadFailure::Transfer;
        result.detail = QStringLiteral("%1 of %2 bytes received").arg(sink.intake.received).arg(listed);
        observer.transferEnded();
        return result;
    }

    for (const FtpProgressStep &step : progress.finish())
        observer.transferProgress(step);

    const StoredDumpWriter::StoreResult stored =
        out.verifyAndCommit({request.requireCompletedDump, request.runStart, qint64(fileTime)});
    TakeStoreResult(result, stored);
    if (stored.stored() && request.removeAfter)
        result.removeFailed = !removeRemoteFile(h, request.remoteFile);
    observer.transferEnded();
    return result;
}
