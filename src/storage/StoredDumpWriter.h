#pragma once

#include <memory>

#include <QString>

#include "retrieval/DumpCompletion.h"
#include "storage/DurableFile.h"

// Stores a dump as it streams in, from any transport (FTP, HTTP, SSH ...),
// on the transport's own thread. The previous backup is replaced only by a
// whole, complete, durably written file; anything else leaves it untouched.
//
//   StoredDumpWriter out;
//   if (!out.open(targetPath)) ...      // temporary file beside the target
//   while (chunk) if (!out.write(d, n)) ...   // false: stop the transfer
//   out.commit(requireCompletedDump)    // or out.abort() on a failed transfer
//
// Each write is checked; a failure is kept in failure() (DiskFull when the
// disk or quota is exhausted) and every later call fails. commit() checks the
// completion line of the data as received, forces the file to the disk and
// renames it over the target. abort(), or destroying an uncommitted writer,
// removes the temporary file.
class StoredDumpWriter {
public:
    enum class Failure {
        None,
        CannotCreate,    // the temporary file could not be made
        DiskFull,        // a write or the final flush met a full disk
        WriteError,      // any other write or flush error
        IncompleteDump,  // the data lacks mysqldump's completion line
        CannotReplace,   // the finished file could not be put in place
    };

    bool open(const QString &targetPath);
    bool write(const char *data, qint64 size);
    Failure commit(bool requireCompletedDump);
    void abort();

    Failure failure() const { return m_failure; }
    QString errorString() const { return m_error; }
    QString storedPath() const { return m_target; }
    qint64 received() const { return m_received; }
    bool completed() const { return m_completion.completed(); }
    // The last bytes received, uncompressed (for the dump's completion time).
    const QByteArray &receivedTail() const { return m_completion.tail(); }

private:
    bool fail(Failure failure, const DurableFile &file);

    QString m_target;
    std::unique_ptr<DurableFile> m_file;
    DumpCompletionCheck m_completion;
    qint64 m_received = 0;
    Failure m_failure = Failure::None;
    QString m_error;
};
