// The table scan reads a dump the host wrote, and its names go into the
// statements that count rows. Fed in any chunks, it finds the same tables as
// fed whole, never an empty name, and a name quoted for a statement never
// ends its quotes early.
#include <QByteArray>
#include <cstdlib>

#include "restore/DumpTableScan.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size)
{
    if (size < 1)
        return 0;
    const qsizetype step = qsizetype(bytes[0]) % 64 + 1;
    const QByteArray stream(reinterpret_cast<const char *>(bytes + 1), qsizetype(size - 1));

    DumpTableScan whole;
    whole.feed(stream);
    whole.finish();
    DumpTableScan pieces;
    for (qsizetype at = 0; at < stream.size(); at += step)
        pieces.feed(stream.mid(at, step));
    pieces.finish();
    if (pieces.tables() != whole.tables())
        std::abort();

    for (const DumpTableScan::Table &t : whole.tables()) {
        if (t.name.isEmpty())
            std::abort();
        for (const QString &name : {t.name, t.database}) {
            const QString q = DumpTableScan::quoted(name);
            if (q.size() < 2 || q.front() != QLatin1Char('`') || q.back() != QLatin1Char('`'))
                std::abort();
            // Inside, backquotes come only in pairs.
            const QString inner = q.mid(1, q.size() - 2);
            for (qsizetype i = 0; i < inner.size(); ++i) {
                if (inner.at(i) != QLatin1Char('`'))
                    continue;
                if (i + 1 >= inner.size() || inner.at(i + 1) != QLatin1Char('`'))
                    std::abort();
                ++i;
            }
        }
    }
    return 0;
}
