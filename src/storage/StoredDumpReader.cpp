#include "storage/StoredDumpReader.h"


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
    m_unpacker = StreamUnpacker::create(compressionOf(path));
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
