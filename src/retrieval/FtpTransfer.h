#pragma once

#include <QDateTime>
#include <QString>

#include "retrieval/RetrievalOptions.h"
#include "retrieval/TransferProgress.h"
#include "retrieval/DownloadFailure.h"
#include "storage/StoredDumpWriter.h"

// What an FTP transfer shows while it runs. Called on the transfer's thread.
class FtpTransferObserver {
public:
    virtual ~FtpTransferObserver() = default;
    virtual void transferStarted() = 0;                        // bar range 0..100 at 0
    virtual void transferProgress(const FtpProgressStep &) = 0;
    virtual void retryingPassive() = 0;                        // active data connection failed
    virtual void transferEnded() = 0;                          // bar back to 0
};

struct FtpTransferRequest {
    QString server;
    QString userName;
    QString password;
    quint16 port = 21;
    QString remoteDir;     // empty: stay in the login directory
    QString remoteFile;
    QString localFile;     // replaced only by a complete, accepted download
    StoreOptions store;    // compression suffix appended to localFile
    bool requireCompletedDump = true;
    // Delete remoteFile on the server (DELE, same connection) once the
    // download is stored; only a run's own dump is removed.
    bool removeAfter = false;
    // Start of the run the dump was made for: an older file is refused.
    // Invalid: whatever the host holds is wanted (manual download).
    QDateTime runStart;
    // Explicit TLS (AUTH TLS) for the login and the data, with the server's
    // certificate verified; a server without it fails before the password goes.
    bool useTls = false;
    RetrievalOptions options;
};

// Where an FTP retrieval stopped. The first four have an error dialog.

struct FtpTransferResult {
    DownloadFailure failure = DownloadFailure::None;
    qint64 listedSize = -1;  // -1: not listed
    qint64 received = 0;
    bool retriedPassive = false;
    int curlCode = 0;        // libcurl's code of the failed step
    StoredDumpWriter::Failure storeFailure = StoredDumpWriter::Failure::None;  // why LocalFile
    QString detail;          // libcurl's message, for diagnostics
    bool removeFailed = false;  // stored, but the server kept remoteFile
};

// Logs in, enters remoteDir, lists remoteFile's size and fetches it in binary
// mode over an active data connection (once more passively when that
// connection cannot be made), into a temporary file beside localFile that
// replaces it only when the download is whole. Blocks; run it off the window
// thread.
FtpTransferResult FetchPerFtp(const FtpTransferRequest &request, FtpTransferObserver &observer);
