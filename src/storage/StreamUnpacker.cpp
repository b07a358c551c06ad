#include "storage/StreamUnpacker.h"

#include <zlib.h>
#include <zstd.h>

namespace {
constexpr qint64 OutChunk = 256 * 1024;

class GzipUnpacker final : public StreamUnpacker {
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

class ZstdUnpacker final : public StreamUnpacker {
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

std::unique_ptr<StreamUnpacker> StreamUnpacker::create(Compression compression)
{
    switch (compression) {
    case Compression::Gzip: return std::make_unique<GzipUnpacker>();
    case Compression::Zstd: return std::make_unique<ZstdUnpacker>();
    case Compression::None: break;
    }
    return nullptr;
}

Compression StreamUnpacker::formatOf(const QByteArray &start)
{
    if (start.startsWith("\x28\xb5\x2f\xfd"))
        return Compression::Zstd;
    if (start.startsWith("\x1f\x8b"))
        return Compression::Gzip;
    return Compression::None;
}
