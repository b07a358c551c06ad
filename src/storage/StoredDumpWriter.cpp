#include "storage/StoredDumpWriter.h"

#include <QFileInfo>

#include "retrieval/DumpFreshness.h"
#include "storage/BackupRotation.h"
#include "storage/RetentionPolicy.h"
#include "storage/StoredDumpReader.h"
#include "tasks/BackupTask.h"

StoreOptions StoreOptions::ForTask(const BackupTask &task)
{
    StoreOptions options;
    options.compression = CompressionFromSetting(task.compress);
    const int keep = BoundedKeepCount(task.keepdaily);
    if (!task.subdirectory && keep > 1)
        options.rotatedCopies = keep - 1;
    return options;
}

bool StoredDumpWriter::fail(Failure failure, const DurableFile &file)
{
    if (failure == Failure::WriteError && file.diskFull())
        failure = Failure::DiskFull;
    m_failure = failure;
    m_error = file.errorString();
    return false;
}

bool StoredDumpWriter::open(const QString &targetPath, Compression compression, int rotatedCopies)
{
    abort();
    m_stored = targetPath + CompressionSuffix(compression);
    m_rotatedCopies = qMax(0, rotatedCopies);
    m_received = 0;
    m_storedBytes = 0;
    m_completion.reset();
    m_hash.reset();
    m_sha256Hex.clear();
    m_failure = Failure::None;
    m_error.clear();
    m_compressor = StreamCompressor::create(compression);
    m_unpacker.reset();
    m_storePacked = false;
    m_file = std::make_unique<DurableFile>(m_stored);
    if (targetPath.isEmpty() || !m_file->open())
        return fail(m_file->diskFull() ? Failure::DiskFull : Failure::CannotCreate, *m_file);
    return true;
}

bool StoredDumpWriter::store(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return true;
    if (!m_file->write(bytes))
        return fail(Failure::WriteError, *m_file);
    m_hash.addData(bytes);
    m_storedBytes += bytes.size();
    return true;
}

void StoredDumpWriter::setIncoming(Compression incoming)
{
    m_unpacker = StreamUnpacker::create(incoming);
    m_storePacked = m_unpacker && incoming == StoredDumpReader::compressionOf(m_stored);
    if (m_storePacked)
        m_compressor.reset();
}

bool StoredDumpWriter::write(const char *data, qint64 size)
{
    if (!m_file || m_failure != Failure::None)
        return false;
    if (!m_unpacker)
        return writePlain(data, size);
    m_plain.clear();
    if (!m_unpacker->feed(data, size, m_plain)) {
        m_failure = Failure::WriteError;
        m_error = QStringLiteral("the compressed stream is damaged");
        return false;
    }
    if (!m_storePacked)
        return writePlain(m_plain.constData(), m_plain.size());
    if (!store(QByteArray::fromRawData(data, qsizetype(size))))
        return false;
    m_completion.add(m_plain.constData(), m_plain.size());
    m_received += m_plain.size();
    return true;
}

bool StoredDumpWriter::writePlain(const char *data, qint64 size)
{
    if (m_compressor) {
        m_buffer.clear();
        if (!m_compressor->feed(data, size, m_buffer)) {
            m_failure = Failure::WriteError;
            m_error = QStringLiteral("compressor error");
            return false;
        }
        if (!store(m_buffer))
            return false;
    } else {
        if (!m_file->write(data, size))
            return fail(Failure::WriteError, *m_file);
        m_hash.addData(QByteArrayView(data, size));
        m_storedBytes += size;
    }
    m_completion.add(data, size);
    m_received += size;
    return true;
}

// Reads the finished file back: what the disk holds must be what was hashed.
bool StoredDumpWriter::verifyWritten()
{
    QFile file(m_file->temporaryPath());
    if (!file.open(QIODevice::ReadOnly))
        return false;
    if (file.size() != m_storedBytes)
        return false;
    Sha256 hash;
    return hash.addData(file) && hash.hexResult() == m_sha256Hex;
}

StoredDumpWriter::StoreResult StoredDumpWriter::verifyAndCommit(const CommitChecks &checks)
{
    StoreResult result;
    if (checks.requireCompletedDump && !completed()) {
        result.verdict = StoreResult::Verdict::Incomplete;
        abort();
    } else if (DumpFreshness::IsStale(checks.runStart, checks.serverFileTime,
                                      DumpFreshness::CompletionTime(receivedTail()))) {
        result.verdict = StoreResult::Verdict::Stale;
        abort();
    } else if ((result.failure = commit(checks.requireCompletedDump)) != Failure::None) {
        result.detail = errorString();
    } else {
        result.verdict = StoreResult::Verdict::Stored;
    }
    return result;
}

StoredDumpWriter::Failure StoredDumpWriter::commit(bool requireCompletedDump)
{
    if (!m_file)
        return m_failure == Failure::None ? Failure::CannotCreate : m_failure;
    DurableFile sum(m_stored + QStringLiteral(".sha256"));
    if (m_failure == Failure::None) {
        m_buffer.clear();
        if ((requireCompletedDump && !m_completion.completed()) || (m_unpacker && !m_unpacker->finished())) {
            m_failure = Failure::IncompleteDump;
        } else if (m_compressor && !m_compressor->finish(m_buffer)) {
            m_failure = Failure::WriteError;
            m_error = QStringLiteral("compressor error");
        } else if (!store(m_buffer) || !m_file->finish()) {
            fail(Failure::WriteError, *m_file);
        } else if (m_sha256Hex = m_hash.hexResult(); !verifyWritten()) {
            m_failure = Failure::ChecksumMismatch;
        } else if (!sum.open() || !sum.write(m_sha256Hex + "  " + QFileInfo(m_stored).fileName().toUtf8() + '\n')
                   || !sum.finish()) {
            fail(Failure::WriteError, sum);
        } else if (m_rotatedCopies > 0 && !RotatePreviousCopies(m_stored, m_rotatedCopies)) {
            m_failure = Failure::CannotReplace;
            m_error = QStringLiteral("previous copies could not be rotated");
        } else if (!m_file->replaceTarget()) {
            fail(Failure::CannotReplace, *m_file);
        } else if (!sum.replaceTarget()) {
            // The new file is in place; a stale checksum beside it would
            // claim a mismatch, so it goes.
            QFile::remove(sum.target());
            fail(Failure::CannotReplace, sum);
        }
    }
    m_file.reset();  // removes the temporary file unless it was placed
    m_compressor.reset();
    return m_failure;
}

void StoredDumpWriter::abort()
{
    m_file.reset();
    m_compressor.reset();
    m_unpacker.reset();
}
