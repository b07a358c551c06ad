#pragma once

#include <memory>

#include <QDateTime>
#include <QString>

#include "retrieval/DumpCompletion.h"
#include "storage/DurableFile.h"
#include "storage/Sha256.h"
#include "storage/StreamCompressor.h"
#include "storage/StreamUnpacker.h"

struct BackupTask;

// What a task asks of its stored file.
struct StoreOptions {
    Compression compression = Compression::None;
    // Previous copies kept as NAME.1 ... NAME.n; only without day
    // subdirectories, where keepdaily counts the current file too.
    int rotatedCopies = 0;

    static StoreOptions ForTask(const BackupTask &task);
};

// Stores a dump as it streams in, from any transport (FTP, HTTP, SSH ...),
// on the transport's own thread: compressed while it is written, with a
// checksum file beside it. The previous backup is replaced only by a whole,
// complete, durably written and verified file; anything else leaves it and
// its checksum file untouched.
//
//   StoredDumpWriter out;
//   if (!out.open(targetPath, Compression::Gzip, rotatedCopies)) ...
//   while (chunk) if (!out.write(d, n)) ...   // false: stop the transfer
//   out.commit(requireCompletedDump)          // or out.abort()
//
// open(): targetPath is the backup file as the task names it; the file is
// stored as targetPath + ".gz"/".zst" (storedPath()), its checksum as
// storedPath() + ".sha256" in sha256sum's format. Temporary files are made
// beside them.
// write(): feeds the uncompressed data; every write is checked, a failure is
// kept in failure() (DiskFull when the disk or quota is exhausted) and every
// later call fails.
// commit(): checks the completion line on the uncompressed data, ends the
// compressed stream, forces the file to the disk, reads it back against the
// SHA-256 computed while writing, writes the checksum file, shifts earlier
// copies (rotatedCopies > 0: storedPath().1 ... .N, each with its checksum
// file), then renames file and checksum over the previous ones and syncs the
// directory. Returns Failure::None only when all of that held.
// abort(), or destroying an uncommitted writer, removes the temporary files.
//
// verifyAndCommit() is the end every transport's download shares: the dump
// must be complete and this run's before commit() may replace the backup.
class StoredDumpWriter {
public:
    enum class Failure {
        None,
        CannotCreate,      // a temporary file could not be made
        DiskFull,          // a write or the final flush met a full disk
        WriteError,        // any other write or flush error, or a compressor error
        IncompleteDump,    // the data lacks mysqldump's completion line
        ChecksumMismatch,  // the file on disk is not what was written
        CannotReplace,     // the finished files could not be put in place
    };

    bool open(const QString &targetPath, Compression compression = Compression::None, int rotatedCopies = 0);
    bool open(const QString &targetPath, const StoreOptions &options)
    {
        return open(targetPath, options.compression, options.rotatedCopies);
    }
    bool write(const char *data, qint64 size);
    // Before the first write: the data comes packed (the host compressed
    // it). In the stored format it is stored as it comes, else unpacked and
    // stored as the task asks; either way the checks see the unpacked dump,
    // and a stream whose packing did not end is not whole.
    void setIncoming(Compression incoming);
    Failure commit(bool requireCompletedDump);

    // What a dump must be before it replaces the backup.
    struct CommitChecks {
        bool requireCompletedDump = true;
        QDateTime runStart;          // invalid: a dump of any age (no run made it)
        qint64 serverFileTime = -1;  // seconds since the epoch; -1: the server gave none
    };
    // How storing ended, whoever brought the dump.
    struct StoreResult {
        enum class Verdict { Stored, Incomplete, Stale, NotStored };
        Verdict verdict = Verdict::NotStored;
        Failure failure = Failure::None;  // NotStored: why
        QString detail;
        bool stored() const { return verdict == Verdict::Stored; }
    };
    // Neither an incomplete nor a stale dump is committed: the previous
    // backup stays and the temporary files go.
    StoreResult verifyAndCommit(const CommitChecks &checks);
    void abort();

    Failure failure() const { return m_failure; }
    QString errorString() const { return m_error; }
    QString storedPath() const { return m_stored; }
    QByteArray sha256Hex() const { return m_sha256Hex; }  // after a commit
    qint64 received() const { return m_received; }         // uncompressed bytes
    qint64 storedBytes() const { return m_storedBytes; }
    bool completed() const { return m_completion.completed(); }
    // The last bytes received, uncompressed (for the dump's completion time).
    const QByteArray &receivedTail() const { return m_completion.tail(); }

private:
    bool fail(Failure failure, const DurableFile &file);
    bool store(const QByteArray &bytes);
    bool verifyWritten();
    bool writePlain(const char *data, qint64 size);

    QString m_stored;
    int m_rotatedCopies = 0;
    std::unique_ptr<DurableFile> m_file;
    std::unique_ptr<StreamCompressor> m_compressor;
    std::unique_ptr<StreamUnpacker> m_unpacker;  // packed data coming in
    bool m_storePacked = false;                  // ... and stored as it came
    QByteArray m_plain;
    Sha256 m_hash;
    QByteArray m_sha256Hex;
    QByteArray m_buffer;
    DumpCompletionCheck m_completion;
    qint64 m_received = 0;
    qint64 m_storedBytes = 0;
    Failure m_failure = Failure::None;
    QString m_error;
};
