#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <memory>

#include "storage/StreamCompressor.h"
#include "storage/StreamUnpacker.h"

// Reads a stored backup back as the dump it holds, chunk by chunk, unpacking
// ".gz" and ".zst" files on the fly (by their name, as they were stored), so
// a dump of any size never has to fit in memory or be unpacked to disk.
//
//   StoredDumpReader in;
//   if (!in.open(path)) ... in.errorString()
//   while (!in.atEnd()) { QByteArray chunk = in.read(); if (in.failed()) ... }
//
// A cut-off or damaged compressed file is a failure, never a short dump.
class StoredDumpReader {
public:
    StoredDumpReader();
    ~StoredDumpReader();

    bool open(const QString &path);
    // Up to about maxBytes of the dump; empty at the end or on failure.
    QByteArray read(qint64 maxBytes = 256 * 1024);
    bool atEnd() const { return m_end; }
    bool failed() const { return !m_error.isEmpty(); }
    QString errorString() const { return m_error; }
    // Of the stored file, for progress.
    qint64 fileSize() const { return m_file.size(); }
    qint64 filePosition() const { return m_file.pos(); }

    static Compression compressionOf(const QString &path);

private:
    QFile m_file;
    std::unique_ptr<StreamUnpacker> m_unpacker;
    bool m_end = false;
    QString m_error;
};
