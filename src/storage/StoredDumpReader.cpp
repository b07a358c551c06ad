#include "storage/StoredDumpReader.h"

#include <zlib.h>
#include <zstd.h>

// One compressed format's stream; finished() once its trailer was read.
class StoredDumpReader::Unpacker {
public:
    virtual ~Unpacker() = default;
    virtual bool feed(const char *data, qint64 size, QByteArray &out) = 0;
    virtual bool finished() const = 0;
};

namespace {
constexpr qint64 OutChunk = 256 * 1024;

class GzipUnpacker final : public StoredDumpReader::Unpacker {
public:
    GzipUnpacker() { m_ok = inflateInit2(&m_z, 15 + 16) == Z_OK; }
    ~GzipUnpacker() override { inflateEnd(&m_z); }
    bool feed(const char *data, qint64 size, QByteArray &out) override
    {
        if (!m_ok)
            return false;
        m_z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data));
        m_z.avail_in = uInt(size);
        while (m_z.avail_in > 0) {
            if (m_done) {
                // gzip allows members one after another; start the next.
                if (inflateReset(&m_z) != Z_OK)
                    return false;
                m_done = false;
            }
            const qsizetype before = out.size();
            out.resize(before + OutChunk);
            m_z.next_out = reinterpret_cast<Bytef *>(out.data() + before);
            m_z.avail_out = uInt(OutChunk);
            const int rc = inflate(&m_z, Z_NO_FLUSH);
            out.resize(before + (OutChunk - m_z.avail_out));
            if (rc == Z_STREAM_END)
                m_done = true;
            else if (rc != Z_OK && rc != Z_BUF_ERROR)
                return false;
            else if (rc == Z_BUF_ERROR && m_z.avail_out != 0)
                return false;
        }
        return true;
    }
    bool finished() const override { return m_done; }

private:
    z_stream m_z {};
    bool m_ok = false;
    bool m_done = false;
};

class ZstdUnpacker final : public StoredDumpReader::Unpacker {
public:
    ZstdUnpacker() : m_z(ZSTD_createDStream()) {}
    ~ZstdUnpacker() override { ZSTD_freeDStream(m_z); }
    bool feed(const char *data, qint64 size, QByteArray &out) override
    {
        if (!m_z)
            return false;
        ZSTD_inBuffer in {data, size_t(size), 0};
        while (in.pos < in.size) {
            const qsizetype before = out.size();
            out.resize(before + OutChunk);
            ZSTD_outBuffer o {out.data() + before, size_t(OutChunk), 0};
            const size_t rc = ZSTD_decompressStream(m_z, &o, &in);
            out.resize(before + qsizetype(o.pos));
            if (ZSTD_isError(rc))
                return false;
            m_frameEnded = rc == 0;
        }
        return true;
    }
    bool finished() const override { return m_frameEnded; }

private:
    ZSTD_DStream *m_z;
    bool m_frameEnded = false;
};
} // namespace

StoredDumpReader::StoredDumpReader() = default;
StoredDumpReader::~StoredDumpReader() = default;

Compression StoredDumpReader::compressionOf(const QString &stored)
{
    // A rotated copy (NAME.gz.2) is packed as its original.
    QString path = stored;
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    bool number = false;
    if (dot > 0)
        path.mid(dot + 1).toInt(&number);
    if (number)
        path.truncate(dot);
    if (path.endsWith(QLatin1String(".gz")))
        return Compression::Gzip;
    if (path.endsWith(QLatin1String(".zst")))
        return Compression::Zstd;
    return Compression::None;
}

bool StoredDumpReader::open(const QString &path)
{
    m_file.setFileName(path);
    m_end = false;
    m_error.clear();
    if (!m_file.open(QIODevice::ReadOnly)) {
        m_error = m_file.errorString();
        return false;
    }
    switch (compressionOf(path)) {
    case Compression::Gzip: m_unpacker = std::make_unique<GzipUnpacker>(); break;
    case Compression::Zstd: m_unpacker = std::make_unique<ZstdUnpacker>(); break;
    case Compression::None: m_unpacker.reset(); break;
    }
    return true;
}

QByteArray StoredDumpReader::read(qint64 maxBytes)
{
    QByteArray out;
    while (!m_end && !failed() && out.size() < maxBytes) {
        const QByteArray raw = m_file.read(m_unpacker ? qMin<qint64>(maxBytes, 16 * 1024) : maxBytes - out.size());
        if (raw.isEmpty()) {
            if (m_file.error() != QFileDevice::NoError)
                m_error = m_file.errorString();
            else if (m_unpacker && !m_unpacker->finished())
                m_error = QStringLiteral("the compressed file is cut off");
            m_end = true;
            break;
        }
        if (!m_unpacker) {
            out += raw;
            continue;
        }
        if (!m_unpacker->feed(raw.constData(), raw.size(), out))
            m_error = QStringLiteral("the compressed file is damaged");
    }
    if (failed()) {
        m_end = true;
        return {};
    }
    return out;
}
