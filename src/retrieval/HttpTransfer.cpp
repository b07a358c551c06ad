#include "retrieval/HttpTransfer.h"

#include "engine/ServerText.h"
#include "retrieval/CurlSupport.h"
#include "retrieval/DumpIntake.h"
#include "storage/StoredDumpWriter.h"

namespace {

struct DownloadSink {
    DumpIntake intake;  // no listed size: HTTP's may be false or absent
    HttpTransferObserver *observer = nullptr;
    TransferGuard *guard = nullptr;
    curl_off_t shownNow = -1;
    curl_off_t shownTotal = -1;
};

size_t onData(char *data, size_t size, size_t count, void *userData)
{
    auto *sink = static_cast<DownloadSink *>(userData);
    return sink->intake.take(data, qint64(size * count)) ? size * count : 0;
}

int onProgress(void *userData, curl_off_t total, curl_off_t now, curl_off_t, curl_off_t)
{
    auto *sink = static_cast<DownloadSink *>(userData);
    // libcurl calls this often without news; pass on changes only.
    if (now != sink->shownNow || total != sink->shownTotal) {
        sink->shownNow = now;
        sink->shownTotal = total;
        sink->observer->transferProgress(now, total);
    }
    return sink->guard->check(now) ? 1 : 0;
}

} // namespace

HttpTransferResult FetchPerHttp(const HttpTransferRequest &request, HttpTransferObserver &observer)
{
    HttpTransferResult result;
    CurlEasy easy = NewCurlEasy();
    if (!easy) {
        result.failure = DownloadFailure::Transfer;
        result.detail = QStringLiteral("libcurl unavailable");
        return result;
    }
    CURL *h = easy.get();

    StoredDumpWriter out;
    if (request.localFile.isEmpty() || !out.open(request.localFile, request.store)) {
        result.failure = DownloadFailure::LocalFile;
        result.storeFailure = out.failure();
        result.detail = out.errorString();
        return result;
    }

    const QByteArray url = request.url.toUtf8();
    const QByteArray caFile = request.options.caCertificateFile.toLocal8Bit();
    char errorText[CURL_ERROR_SIZE] = {};
    DownloadSink sink;
    sink.intake.out = &out;
    sink.observer = &observer;
    const RetrievalOptions &o = request.options;
    sink.intake.limit = o.maxDownloadBytes;

    curl_easy_setopt(h, CURLOPT_URL, url.constData());
    // A task's address may not turn into a local file or another protocol.
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
    // What TLS protects must not go on in clear: an https address follows
    // https redirects only.
    const bool secure = request.url.trimmed().startsWith(QLatin1String("https:"), Qt::CaseInsensitive);
    curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, secure ? "https" : "http,https");
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(h, CURLOPT_MAXREDIRS, long(o.maxRedirects));
    // Refused before the body when the announced size is already too large.
    curl_easy_setopt(h, CURLOPT_MAXFILESIZE_LARGE, curl_off_t(o.maxDownloadBytes));
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!caFile.isEmpty())
        curl_easy_setopt(h, CURLOPT_CAINFO, caFile.constData());
    // Stop at an error reply before its page reaches the file.
    curl_easy_setopt(h, CURLOPT_FAILONERROR, 1L);
    // The agent text the program announces to web servers.
    curl_easy_setopt(h, CURLOPT_USERAGENT, "Program_Name");
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_BUFFERSIZE, CurlReceiveBufferSize);
    curl_easy_setopt(h, CURLOPT_ERRORBUFFER, errorText);
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, long(o.connectTimeoutMs));
    TransferGuard guard(o);
    sink.guard = &guard;
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, o.lowSpeedBytesPerS);
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, long(o.lowSpeedTimeS));
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, onData);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &sink);
    curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, onProgress);
    curl_easy_setopt(h, CURLOPT_XFERINFODATA, &sink);
    curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
    // A cache between here and the host must not hand out yesterday's dump.
    curl_slist *headers = curl_slist_append(nullptr, "Cache-Control: no-cache");
    headers = curl_slist_append(headers, "Pragma: no-cache");
    curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers);
    // Last-Modified tells a fresh dump from one left by an earlier day.
    curl_easy_setopt(h, CURLOPT_FILETIME, request.runStart.isValid() ? 1L : 0L);

    const CURLcode code = curl_easy_perform(h);
    curl_easy_setopt(h, CURLOPT_HTTPHEADER, static_cast<curl_slist *>(nullptr));
    curl_slist_free_all(headers);
    curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &result.status);
    result.curlCode = code;
    result.received = sink.intake.received;
    result.detail = cleanServerText(QString::fromUtf8(errorText));

    if (code != CURLE_OK) {
        if (sink.intake.writeFailed) {
            result.failure = DownloadFailure::LocalFile;
            result.storeFailure = out.failure();
            result.detail = out.errorString();
        } else if (sink.intake.tooLarge || code == CURLE_FILESIZE_EXCEEDED) {
            result.failure = DownloadFailure::TooLarge;
        } else if (code == CURLE_HTTP_RETURNED_ERROR) {
            result.failure = DownloadFailure::HttpStatus;
        } else {
            result.failure = DownloadFailure::Transfer;
        }
        return result;
    }
    if (result.status < 200 || result.status > 299) {
        result.failure = DownloadFailure::HttpStatus;
        return result;
    }
    curl_off_t fileTime = -1;
    curl_easy_getinfo(h, CURLINFO_FILETIME_T, &fileTime);
    const StoredDumpWriter::StoreResult stored =
        out.verifyAndCommit({request.requireCompletedDump, request.runStart, qint64(fileTime)});
    TakeStoreResult(result, stored);
    return result;
}
