#pragma once

#include <QDateTime>
#include <QString>

#include "retrieval/RetrievalOptions.h"
#include "retrieval/DownloadFailure.h"
#include "storage/StoredDumpWriter.h"

// What an HTTP transfer shows while it runs. Called on the transfer's thread.
class HttpTransferObserver {
public:
    virtual ~HttpTransferObserver() = default;
    // Bytes so far against the announced total (0 while unknown).
    virtual void transferProgress(qint64 received, qint64 total) = 0;
};

struct HttpTransferRequest {
    QString url;           // used as it stands: the task's prefix and file name
    QString localFile;     // replaced only by a complete, accepted download
    StoreOptions store;    // compression suffix appended to localFile
    bool requireCompletedDump = true;
    // Start of the run the dump was made for: an older file is refused.
    // Invalid: whatever the host holds is wanted (manual download).
    QDateTime runStart;
    RetrievalOptions options;
};


struct HttpTransferResult {
    DownloadFailure failure = DownloadFailure::None;
    long status = 0;
    qint64 received = 0;
    int curlCode = 0;  // libcurl's code of a failed transfer
    StoredDumpWriter::Failure storeFailure = StoredDumpWriter::Failure::None;  // why LocalFile
    QString detail;  // libcurl's message, for diagnostics
};

// Fetches url (http or https, certificates verified, redirects followed up to
// the limit) into a temporary file beside localFile that replaces it only
// when the download is whole. Blocks; run it off the window thread.
HttpTransferResult FetchPerHttp(const HttpTransferRequest &request, HttpTransferObserver &observer);
