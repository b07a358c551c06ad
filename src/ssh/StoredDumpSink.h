#pragma once

#include "ssh/DumpSink.h"
#include "storage/StoredDumpWriter.h"

// The task's stored backup as a sink: compressed, checksummed and put in
// place (rotating earlier copies) only on commit, like a download.
class StoredDumpSink : public DumpSink {
public:
    StoredDumpSink(QString targetFile, StoreOptions options) : m_target(std::move(targetFile)), m_options(options) {}

    bool open() override { return m_writer.open(m_target, m_options); }
    bool write(const char *data, qint64 size) override { return m_writer.write(data, size); }
    // A stream is this run's by its nature: only its completeness is checked.
    bool commit() override { return m_writer.verifyAndCommit({true, {}, -1}).stored(); }
    void abort() override { m_writer.abort(); }
    QString errorString() const override { return m_writer.errorString(); }

    StoredDumpWriter::Failure failure() const { return m_writer.failure(); }
    QString storedPath() const { return m_writer.storedPath(); }

private:
    QString m_target;
    StoreOptions m_options;
    StoredDumpWriter m_writer;
};
