#include "retrieval/TransferProgress.h"

#include <limits>

#include "retrieval/ByteCount.h"

QString FtpProgressStep::caption() const
{
    return QStringLiteral("%1 of %2 / %3 %")
        .arg(FormatByteCount(received), FormatByteCount(size))
        .arg(percent);
}

int FtpBlockProgress::percent(qint64 received, qint64 size, bool ended)
{
    if (size <= 0)
        return ended ? 100 : 0;
    if (received <= 0)
        return 0;
    if (received >= size)
        return 100;
    // Here received < size; shrink both alike should 100 * received not fit.
    quint64 r = quint64(received), s = quint64(size);
    while (r > std::numeric_limits<quint64>::max() / 100) {
        r >>= 1;
        s >>= 1;
    }
    const quint64 scaled = 100 * r;
    quint64 q = scaled / s;
    const quint64 rest = scaled % s;
    if (2 * rest > s || (2 * rest == s && (q & 1)))
        ++q;
    return int(q);
}

FtpProgressStep FtpBlockProgress::step(qint64 received, bool ended) const
{
    return {received, m_size, percent(received, m_size, ended)};
}

QList<FtpProgressStep> FtpBlockProgress::add(qint64 bytes)
{
    QList<FtpProgressStep> steps;
    if (bytes <= 0)
        return steps;
    m_received += bytes;
    while (m_received - m_shown >= BlockSize) {
        m_shown += BlockSize;
        steps.append(step(m_shown, false));
    }
    return steps;
}

QList<FtpProgressStep> FtpBlockProgress::finish()
{
    QList<FtpProgressStep> steps;
    if (m_received > m_shown) {
        m_shown = m_received;
        steps.append(step(m_received, true));
    }
    steps.append(step(m_received, true));
    return steps;
}

BarValues ScaleForBar(qint64 position, qint64 maximum)
{
    if (position < 0)
        position = 0;
    if (maximum < 0)
        maximum = 0;
    constexpr qint64 limit = std::numeric_limits<int>::max();
    while (position > limit || maximum > limit) {
        position >>= 1;
        maximum >>= 1;
    }
    return {int(position), int(maximum)};
}
