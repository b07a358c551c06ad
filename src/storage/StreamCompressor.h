#pragma once

#include <memory>

#include <QByteArray>
#include <QString>

// How a stored backup is compressed: the task's "compress" value.
enum class Compression { None = 0, Gzip = 1, Zstd = 2 };

// Unknown values store uncompressed, as before the setting existed.
Compression CompressionFromSetting(int compress);
// ".gz", ".zst" or "" appended to the backup file name.
QString CompressionSuffix(Compression compression);
// The name the backup is stored under: backupfile plus the suffix.
QString StoredFileName(const QString &backupfile, int compress);

// Compresses a stream chunk by chunk (gzip level 6 or zstd level 3), so a
// dump is compressed while it arrives, never in a second pass. Output is
// appended to out; false on a library error.
class StreamCompressor {
public:
    virtual ~StreamCompressor() = default;
    virtual bool feed(const char *data, qint64 size, QByteArray &out) = 0;
    // Ends the stream: the rest of the output and the format's trailer.
    virtual bool finish(QByteArray &out) = 0;

    // Null for Compression::None.
    static std::unique_ptr<StreamCompressor> create(Compression compression);
};
