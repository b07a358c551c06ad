#pragma once

#include <QString>

#include "storage/StoredDumpWriter.h"

// Why a dump was not stored, in one table for every transport, in English or
// German. The callers put their own frame around it ("Reason: ", "SSH: ").
namespace StoreTexts {

// The local file could not be made, written, verified or put in place.
// diskFull: the disk was seen to lack room before the first byte.
QString notWritten(StoredDumpWriter::Failure failure, const QString &localFile, bool diskFull, bool german);
// dumpFile: the dump as the host names it.
QString incompleteDump(const QString &dumpFile, bool german);
QString staleDump(bool german);

} // namespace StoreTexts
