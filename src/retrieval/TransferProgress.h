#pragma once

#include <QList>
#include <QString>

// One update of the FTP progress display: ProgressBar1 on the range 0..100
// and the caption of the status frame.
struct FtpProgressStep {
    qint64 received = 0;
    qint64 size = 0;
    int percent = 0;

    QString caption() const;  // "8,19 Kb of 10,00 Kb / 82 %"
    bool operator==(const FtpProgressStep &) const = default;
};

// The FTP display moves in 4 096-byte blocks, one update per block plus one
// for the final empty read, whatever chunk sizes the network delivers: a
// 10 000-byte file always shows 41 %, 82 %, 100 %, 100 %.
class FtpBlockProgress {
public:
    static constexpr qint64 BlockSize = 4096;

    explicit FtpBlockProgress(qint64 listedSize) : m_size(listedSize < 0 ? 0 : listedSize) {}

    // Bytes just received; returns a step for every block they complete.
    QList<FtpProgressStep> add(qint64 bytes);
    // The data has ended: the last partial block, if any, then the empty read.
    QList<FtpProgressStep> finish();

    qint64 received() const { return m_received; }
    qint64 size() const { return m_size; }

    // round(100 * received / size), halves to even, exact for 64-bit counts,
    // never above 100. A size of 0 is known only as 100 % at the end.
    static int percent(qint64 received, qint64 size, bool ended);

private:
    FtpProgressStep step(qint64 received, bool ended) const;

    qint64 m_size;
    qint64 m_received = 0;
    qint64 m_shown = 0;  // count of the last block step
};

// ProgressBar1 holds int; larger HTTP counts are scaled down together so the
// bar still shows the right proportion.
struct BarValues {
    int position = 0;
    int maximum = 0;
    bool operator==(const BarValues &) const = default;
};
BarValues ScaleForBar(qint64 position, qint64 maximum);
