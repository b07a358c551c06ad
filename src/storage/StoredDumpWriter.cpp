#include "storage/StoredDumpWriter.h"

bool StoredDumpWriter::fail(Failure failure, const DurableFile &file)
{
    if (failure == Failure::WriteError && file.diskFull())
        failure = Failure::DiskFull;
    m_failure = failure;
    m_error = file.errorString();
    return false;
}

bool StoredDumpWriter::open(const QString &targetPath)
{
    abort();
    m_target = targetPath;
    m_received = 0;
    m_completion.reset();
    m_failure = Failure::None;
    m_error.clear();
    m_file = std::make_unique<DurableFile>(targetPath);
    if (!m_file->open())
        return fail(m_file->diskFull() ? Failure::DiskFull : Failure::CannotCreate, *m_file);
    return true;
}

bool StoredDumpWriter::write(const char *data, qint64 size)
{
    if (!m_file || m_failure != Failure::None)
        return false;
    if (!m_file->write(data, size))
        return fail(Failure::WriteError, *m_file);
    m_completion.add(data, size);
    m_received += size;
    return true;
}

StoredDumpWriter::Failure StoredDumpWriter::commit(bool requireCompletedDump)
{
    if (!m_file)
        return m_failure == Failure::None ? Failure::CannotCreate : m_failure;
    if (m_failure == Failure::None) {
        if (requireCompletedDump && !m_completion.completed())
            m_failure = Failure::IncompleteDump;
        else if (!m_file->finish())
            fail(Failure::WriteError, *m_file);
        else if (!m_file->replaceTarget())
            fail(Failure::CannotReplace, *m_file);
    }
    m_file.reset();  // removes the temporary file unless it was placed
    return m_failure;
}

void StoredDumpWriter::abort()
{
    m_file.reset();
}
