#pragma once

#include "ssh/DumpSink.h"
#include "storage/StoredDumpWriter.h"

#include <utility>

// The task's stored backup as a sink: compressed, checksummed and put in
// place (rotating earlier copies) only on commit, like a download. With
// hostPacked, the stream may come compressed by the host: its first bytes
// tell the format (zstd's or gzip's magic number, else a plain dump).
class StoredDumpSink : public DumpSink {
public:
    StoredDumpSink(QString targetFile, StoreOptions options, bool hostPacked = false)
        : m_target(std::move(targetFile)), m_options(options), m_hostPacked(hostPacked), m_detect(hostPacked) {}

    bool open() override
    {
        m_head.clear();
        m_detect = m_hostPacked;
        return m_writer.open(m_target, m_options);
    }
    bool write(const char *data, qint64 size) override
    {
        if (!m_detect)
            return m_writer.write(data, size);
        m_head.append(data, qsizetype(size));
        return m_head.size() < 4 || flushHead();
    }
    // A stream is this run's by its nature: only its completeness is checked.
    bool commit() override
    {
        return (!m_detect || flushHead()) && m_writer.verifyAndCommit({true, {}, -1}).stored();
    }
    void abort() override { m_writer.abort(); }
    QString errorString() const override { return m_writer.errorString(); }

    bool unpacks() const override { return m_hostPacked; }
    bool completed() const override { return m_writer.completed(); }

    StoredDumpWriter::Failure failure() const { return m_writer.failure(); }
    QString storedPath() const { return m_writer.storedPath(); }

private:
    bool flushHead()
    {
        m_detect = false;
        m_writer.setIncoming(StreamUnpacker::formatOf(m_head));
        const QByteArray head = std::exchange(m_head, QByteArray());
        return m_writer.write(head.constData(), head.size());
    }

    QString m_target;
    StoreOptions m_options;
    bool m_hostPacked;
    bool m_detect;
    QByteArray m_head;  // the stream's first bytes, until they tell its format
    StoredDumpWriter m_writer;
};
