#pragma once

#include <QString>
#include <QtGlobal>
#include <optional>

#include "engine/RunEvents.h"
#include "retrieval/DownloadFailure.h"
#include "storage/StoredDumpWriter.h"

// What a failed download is called, in one table: the protocol's reason
// line in the interface language, and the error dialog it opens (FTP's
// dialogs are English in both languages). Why storing failed is worded by
// StoreTexts, for every transport alike.
namespace DownloadTexts {

// Everything a reason may name.
struct Failed {
    DownloadFailure failure = DownloadFailure::None;
    bool http = false;
    int curlCode = 0;
    long httpStatus = 0;
    qint64 received = 0;
    qint64 listedSize = -1;
    qint64 maxBytes = 0;
    QString server;
    QString remoteDir;
    QString remoteFile;  // as the host names it (HTTP: the task's backup file)
    QString localFile;
    StoredDumpWriter::Failure storeFailure = StoredDumpWriter::Failure::None;
    bool diskFull = false;  // the local disk has no room for the dump
};

// The "Reason: ..." line; empty for None.
QString reason(const Failed &failed, bool german);
// The dialog a failure opens, none for most.
std::optional<RetrievalError> dialogFor(DownloadFailure failure);
QString dialogText(RetrievalError kind, const Failed &failed);

QString passiveRetry(bool german);

} // namespace DownloadTexts
