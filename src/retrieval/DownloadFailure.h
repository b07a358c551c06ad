#pragma once

#include "storage/StoredDumpWriter.h"

// Why a download (FTP or HTTP) did not store the backup.
enum class DownloadFailure {
    None,
    Session,        // libcurl unusable
    HostOrLogin,    // unreachable, refused or login denied (FTP)
    Directory,      // the remote directory cannot be entered (FTP)
    RemoteFile,     // the remote file is not listed (FTP)
    OpenRemote,     // the server would not send the file (FTP)
    LocalFile,      // the local file cannot be written or put in place
    Transfer,       // the data broke off, fell short, or never began
    HttpStatus,     // a reply other than 2xx: an error page is no backup
    IncompleteDump, // complete transfer of a dump without its completion line
    StaleDump,      // the file on the host is older than the run
    Grew,           // more bytes arrived than the listed size (FTP)
    TooLarge,       // the file exceeds the retrieval's size limit
};

// What the verify-and-commit step's verdict makes of a whole download.
inline DownloadFailure FailureOf(const StoredDumpWriter::StoreResult &stored)
{
    using Verdict = StoredDumpWriter::StoreResult::Verdict;
    switch (stored.verdict) {
    case Verdict::Stored: return DownloadFailure::None;
    case Verdict::Incomplete: return DownloadFailure::IncompleteDump;
    case Verdict::Stale: return DownloadFailure::StaleDump;
    case Verdict::NotStored: break;
    }
    return DownloadFailure::LocalFile;
}

// The verdict into a transfer's result (FTP's or HTTP's: failure,
// storeFailure, detail).
template <typename TransferResult>
void TakeStoreResult(TransferResult &result, const StoredDumpWriter::StoreResult &stored)
{
    result.failure = FailureOf(stored);
    result.storeFailure = stored.failure;
    if (result.failure == DownloadFailure::LocalFile)
        result.detail = stored.detail;
}
