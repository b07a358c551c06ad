#include "storage/StreamCompressor.h"

#include <QThread>
#include <zlib.h>
#include <zstd.h>

Compression CompressionFromSetting(int compress)
{
    switch (compress) {
    case 1:
        return Compression::Gzip;
    case 2:
        return Compression::Zstd;
    default:
        return Compression::None;
    }
}

QString CompressionSuffix(Compression compression)
{
    switch (compression) {
    case Compression::Gzip:
        return QStringLiteral(".gz");
    case Compression::Zstd:
        return QStringLiteral(".zst");
    case Compression::None:
        break;
    }
    return QString();
}

QString StoredFileName(const QString &backupfile, int compress)
{
    return backupfile + CompressionSuffix(CompressionFromSetting(compress));
}

namespace {

constexpr qsizetype OutStep = 128 * 1024;

class GzipCompressor final : public StreamCompressor {
public:
    GzipCompressor()
    {
        // 15 + 16: the largest window, wrapped as a gzip file.
        m_ready = deflateInit2(&m_z, 6, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) == Z_OK;
    }
    ~GzipCompressor() override
    {
        if (m_ready)
            deflateEnd(&m_z);
    }
    bool feed(const char *data, qint64 size, QByteArray &out) override
    {
        while (size > 0) {
            // zlib counts in 32 bits.
            const uInt piece = uInt(qMin<qint64>(size, 1 << 30));
            if (!run(data, piece, Z_NO_FLUSH, out))
                return false;
            data += piece;
            size -= piece;
        }
        return m_ready;
    }
    bool finish(QByteArray &out) override { return run(nullptr, 0, Z_FINISH, out); }

private:
    bool run(const char *data, uInt size, int flush, QByteArray &out)
    {
        if (!m_ready)
            return false;
        m_z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data));
        m_z.avail_in = size;
        for (;;) {
            const qsizetype before = out.size();
            out.resize(before + OutStep);
            m_z.next_out = reinterpret_cast<Bytef *>(out.data() + before);
            m_z.avail_out = uInt(OutStep);
            const int rc = deflate(&m_z, flush);
            out.resize(before + OutStep - qsizetype(m_z.avail_out));
            if (rc == Z_STREAM_END)
                return true;
            if (rc != Z_OK && rc != Z_BUF_ERROR)
                return m_ready = false;
            // Done with this input once zlib left output room unused.
            if (m_z.avail_out != 0 && m_z.avail_in == 0 && flush == Z_NO_FLUSH)
                return true;
        }
    }

    z_stream m_z {};
    bool m_ready = false;
};

class ZstdCompressor final : public StreamCompressor {
public:
    ZstdCompressor() : m_cctx(ZSTD_createCCtx())
    {
        m_ready = m_cctx && !ZSTD_isError(ZSTD_CCtx_setParameter(m_cctx, ZSTD_c_compressionLevel, 3))
            && !ZSTD_isError(ZSTD_CCtx_setParameter(m_cctx, ZSTD_c_checksumFlag, 1));
        // Compression on libzstd's own worker threads, so the thread that
        // receives and hashes is not held by it. A library built without
        // them refuses, and compresses on this thread as before.
        if (m_ready && QThread::idealThreadCount() > 1)
            ZSTD_CCtx_setParameter(m_cctx, ZSTD_c_nbWorkers, qMin(QThread::idealThreadCount(), 4));
    }
    ~ZstdCompressor() override { ZSTD_freeCCtx(m_cctx); }
    bool feed(const char *data, qint64 size, QByteArray &out) override
    {
        return run(data, size, ZSTD_e_continue, out);
    }
    bool finish(QByteArray &out) override { return run(nullptr, 0, ZSTD_e_end, out); }

private:
    bool run(const char *data, qint64 size, ZSTD_EndDirective mode, QByteArray &out)
    {
        if (!m_ready)
            return false;
        ZSTD_inBuffer in {data, size_t(size), 0};
        for (;;) {
            const qsizetype before = out.size();
            out.resize(before + OutStep);
            ZSTD_outBuffer o {out.data() + before, size_t(OutStep), 0};
            const size_t left = ZSTD_compressStream2(m_cctx, &o, &in, mode);
            out.resize(before + qsizetype(o.pos));
            if (ZSTD_isError(left))
                return m_ready = false;
            const bool done = mode == ZSTD_e_end ? left == 0 : in.pos == in.size;
            if (done)
                return true;
        }
    }

    ZSTD_CCtx *m_cctx;
    bool m_ready = false;
};

} // namespace

std::unique_ptr<StreamCompressor> StreamCompressor::create(Compression compression)
{
    switch (compression) {
    case Compression::Gzip:
        return std::make_unique<GzipCompressor>();
    case Compression::Zstd:
        return std::make_unique<ZstdCompressor>();
    case Compression::None:
        break;
    }
    return nullptr;
}
