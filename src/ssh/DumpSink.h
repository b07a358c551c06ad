#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

// Where a streamed dump goes. open() before the first byte; commit() makes
// the stream the new backup, durably; abort() drops it and leaves the
// previous backup untouched. Every call reports failure, so a full disk is a
// failed run and never a half file.
class DumpSink {
public:
    virtual ~DumpSink() = default;
    virtual bool open() = 0;
    virtual bool write(const char *data, qint64 size) = 0;
    virtual bool commit() = 0;
    virtual void abort() = 0;
    virtual QString errorString() const = 0;
    // A sink that unpacks what the host compressed judges the dump's
    // completion line itself, on the unpacked data.
    virtual bool unpacks() const { return false; }
    virtual bool completed() const { return false; }
};

// Keeps the stream in memory: short outputs such as a version check.
class MemorySink : public DumpSink {
public:
    explicit MemorySink(qsizetype limit = 64 * 1024) : m_limit(limit) {}
    bool open() override { m_data.clear(); return true; }
    bool write(const char *data, qint64 size) override
    {
        if (m_data.size() + size > m_limit)
            return false;
        m_data.append(data, qsizetype(size));
        return true;
    }
    bool commit() override { return true; }
    void abort() override {}
    QString errorString() const override { return QStringLiteral("output too long"); }
    const QByteArray &data() const { return m_data; }

private:
    qsizetype m_limit;
    QByteArray m_data;
};
