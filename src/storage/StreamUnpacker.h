#pragma once

#include <QByteArray>
#include <memory>

#include "storage/StreamCompressor.h"

// Unpacks one compressed format's stream chunk by chunk; finished() once
// its trailer was read, so a cut-off stream is told from a whole one.
class StreamUnpacker {
public:
    virtual ~StreamUnpacker() = default;
    // Appends what the chunk unpacks to; false on damaged data.
    virtual bool feed(const char *data, qint64 size, QByteArray &out) = 0;
    virtual bool finished() const = 0;

    // Null for Compression::None.
    static std::unique_ptr<StreamUnpacker> create(Compression compression);
    // The format a stream's first bytes (at least four) announce: zstd's or
    // gzip's magic number; None for anything else, such as a plain dump.
    static Compression formatOf(const QByteArray &start);
};
